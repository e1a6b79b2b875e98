#include "platform/messages.h"

#include <chrono>

namespace tq {

bool PostMessage(WindowHandle window, uint32_t number, uintptr_t wparam, intptr_t lparam) {
  if (window == nullptr) return false;
  return window->Deliver(Message{number, wparam, lparam});
}

bool MessageQueue::Deliver(const Message& message) {
  {
    std::lock_guard lock(mutex_);
    messages_.push_back(message);
  }
  ready_.notify_one();
  return true;
}

bool MessageQueue::Wait(Message* message, int timeout_ms) {
  std::unique_lock lock(mutex_);
  if (!ready_.wait_for(lock, std::chrono::milliseconds(timeout_ms),
                       [this] { return !messages_.empty(); })) {
    return false;
  }
  *message = messages_.front();
  messages_.pop_front();
  return true;
}

size_t MessageQueue::Size() const {
  std::lock_guard lock(mutex_);
  return messages_.size();
}

}  // namespace tq
