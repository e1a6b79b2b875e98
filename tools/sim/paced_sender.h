// Sends messages on one thread at fixed periods, as the instruments and the
// receiver do, until told to stop or until the limited streams are done.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <span>
#include <thread>
#include <vector>

namespace tq::sim {

struct PacedStream {
  int period_ms = 1000;
  // The bytes of message number `index`, counted from 0; may be empty.
  std::function<std::vector<uint8_t>(uint64_t index)> next;
  // Delivers bytes; false when they could not be sent.
  std::function<bool(std::span<const uint8_t>)> send;
  // Messages to send before this stream is done; 0 for no end.
  uint64_t limit = 0;
  // When set, message n is due this many milliseconds after the start
  // instead of n periods after it (times that never decrease). A late
  // message then goes at once and the ones after it keep their times: a
  // recorded schedule is kept, not smoothed.
  std::function<int64_t(uint64_t index)> due_ms;
};

class PacedSender {
 public:
  // Starts sending at once: message 0 of every stream now, message n of a
  // stream n periods later. A late thread skips ahead rather than bursting.
  explicit PacedSender(std::vector<PacedStream> streams);
  // Stops the thread and waits for it.
  ~PacedSender();
  PacedSender(const PacedSender&) = delete;
  PacedSender& operator=(const PacedSender&) = delete;

  // Stops sending; returns once the thread has ended. Idempotent.
  void Stop();
  // True once every stream that has a limit reached it (never when none has
  // one), or after Stop().
  bool Finished() const { return finished_.load(); }
  // Waits until Finished(), at most `timeout`; returns Finished().
  bool WaitFinished(std::chrono::milliseconds timeout);
  // Messages of stream `stream` handed to its send function so far.
  uint64_t SentCount(size_t stream) const;
  // Sends that reported failure, over all streams.
  uint64_t FailedSends() const { return failed_.load(); }

 private:
  void Run(std::stop_token stop);

  std::vector<PacedStream> streams_;
  std::unique_ptr<std::atomic<uint64_t>[]> sent_;
  std::atomic<uint64_t> failed_{0};
  std::atomic<bool> finished_{false};
  std::mutex mutex_;
  std::condition_variable_any wake_;
  std::jthread thread_;
};

}  // namespace tq::sim
