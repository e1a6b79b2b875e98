// Posting window messages between threads.
//
// A window is anything that can take a posted message; the window layer's
// windows deliver them on the user-interface thread, and MessageQueue keeps
// them for a thread (or a test) that waits for them.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <mutex>

namespace tq {

struct Message {
  uint32_t number = 0;
  uintptr_t wparam = 0;
  intptr_t lparam = 0;
};

// The receiving side of PostMessage.
class MessageTarget {
 public:
  virtual ~MessageTarget() = default;
  // Queues `message` without blocking; false when it cannot be delivered.
  virtual bool Deliver(const Message& message) = 0;
};

using WindowHandle = MessageTarget*;

// Posts a message from any thread; false when `window` is null or refuses it.
bool PostMessage(WindowHandle window, uint32_t number, uintptr_t wparam = 0, intptr_t lparam = 0);

// Messages kept in posting order for whoever waits on them.
class MessageQueue : public MessageTarget {
 public:
  bool Deliver(const Message& message) override;
  // Takes the oldest message, waiting up to `timeout_ms`; false when none came.
  bool Wait(Message* message, int timeout_ms);
  size_t Size() const;

 private:
  mutable std::mutex mutex_;
  std::condition_variable ready_;
  std::deque<Message> messages_;
};

}  // namespace tq
