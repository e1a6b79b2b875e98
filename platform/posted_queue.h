// A bounded queue of copies that a reader thread hands to a window: each post
// queues its own copy before the window message goes out, so the window never
// reads a buffer the reader is already overwriting, and a window that falls
// behind costs counted drops instead of a held reader.
#pragma once

#include <array>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <mutex>

#include "platform/messages.h"

namespace tq {

template <typename T, size_t Capacity>
class PostedQueue {
 public:
  // Queues `item` and posts `message` to `window`. False, with nothing
  // queued, when the queue is full (counted in `dropped`) or the window
  // refuses the message.
  bool Post(WindowHandle window, uint32_t message, const T& item, std::atomic<uint32_t>& dropped) {
    uint64_t sequence = 0;
    {
      std::lock_guard lock(mutex_);
      if (count_ == entries_.size()) {
        dropped.fetch_add(1);
        return false;
      }
      Entry& entry = entries_[(head_ + count_) % entries_.size()];
      entry.item = item;
      entry.sequence = sequence = next_sequence_++;
      ++count_;
    }
    // Queued first so the window finds the copy whatever moment it handles
    // the message; taken back when no message will come for it, but only if
    // the window has not taken it already.
    if (PostMessage(window, message)) return true;
    std::lock_guard lock(mutex_);
    if (count_ > 0 && entries_[(head_ + count_ - 1) % entries_.size()].sequence == sequence) --count_;
    return false;
  }

  // Takes the oldest queued item; false when none is queued.
  bool Take(T* out) {
    std::lock_guard lock(mutex_);
    if (count_ == 0) return false;
    *out = entries_[head_].item;
    head_ = (head_ + 1) % entries_.size();
    --count_;
    return true;
  }

  void Clear() {
    std::lock_guard lock(mutex_);
    head_ = 0;
    count_ = 0;
  }

  size_t size() const {
    std::lock_guard lock(mutex_);
    return count_;
  }

 private:
  struct Entry {
    T item{};
    uint64_t sequence = 0;
  };

  mutable std::mutex mutex_;
  std::array<Entry, Capacity> entries_{};
  size_t head_ = 0;   // oldest entry
  size_t count_ = 0;  // entries queued
  uint64_t next_sequence_ = 0;
};

}  // namespace tq
