// Commits a data file to storage every little while from a thread of its own.
#pragma once

#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <optional>
#include <stop_token>
#include <thread>

#include "survey/data_file.h"

namespace tq {

// A run's records would otherwise reach the storage only at Pause or at the
// end of the run: a flat battery could take minutes of them, and a storage
// failure that only the commit reports would go unseen until then. The
// commit runs off the window's thread, so a slow card never holds up a
// reading.
inline constexpr std::chrono::milliseconds kDataFileSyncPeriod{500};

class DataFileSyncer {
 public:
  DataFileSyncer() = default;
  ~DataFileSyncer() { Stop(); }
  DataFileSyncer(const DataFileSyncer&) = delete;
  DataFileSyncer& operator=(const DataFileSyncer&) = delete;

  // Commits `file` every `period` until Stop. A failed commit is kept for
  // TakeFailure and `failed` is called on the syncer's thread (to post a
  // message to a window). Starting again first stops the last start.
  void Start(DataFile& file, std::function<void()> failed,
             std::chrono::milliseconds period = kDataFileSyncPeriod);
  // Ends the thread and waits for a commit under way.
  void Stop();
  // The failure kept since the last call, if any.
  std::optional<WriteResult> TakeFailure();

 private:
  void Run(std::stop_token stop, DataFile* file, std::function<void()> failed,
           std::chrono::milliseconds period);

  std::mutex mutex_;
  std::condition_variable_any wake_;
  std::optional<WriteResult> failure_;
  std::jthread thread_;
};

}  // namespace tq
