// Threads and the suspend gate a reader checks before each read.
#pragma once

#include <chrono>
#include <condition_variable>
#include <mutex>

namespace tq {

// Suspend and resume for a reader thread: the reader calls WaitWhileSuspended()
// before each read; another thread calls Suspend() and Resume().
class SuspendGate {
 public:
  void Suspend();
  void Resume();
  // Blocks while suspended; returns at once otherwise.
  void WaitWhileSuspended();
  // Waits at most `timeout` for a resume; true when not suspended (any more).
  bool WaitWhileSuspendedFor(std::chrono::milliseconds timeout);
  bool IsSuspended() const;

 private:
  mutable std::mutex mutex_;
  std::condition_variable resumed_;
  bool suspended_ = false;
};

}  // namespace tq
