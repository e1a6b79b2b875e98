#include "platform/threads.h"

namespace tq {

void SuspendGate::Suspend() {
  std::lock_guard lock(mutex_);
  suspended_ = true;
}

void SuspendGate::Resume() {
  {
    std::lock_guard lock(mutex_);
    suspended_ = false;
  }
  resumed_.notify_all();
}

void SuspendGate::WaitWhileSuspended() {
  std::unique_lock lock(mutex_);
  resumed_.wait(lock, [this] { return !suspended_; });
}

bool SuspendGate::WaitWhileSuspendedFor(std::chrono::milliseconds timeout) {
  std::unique_lock lock(mutex_);
  return resumed_.wait_for(lock, timeout, [this] { return !suspended_; });
}

bool SuspendGate::IsSuspended() const {
  std::lock_guard lock(mutex_);
  return suspended_;
}

}  // namespace tq
