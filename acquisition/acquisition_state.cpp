#include "acquisition/acquisition_state.h"

#include <algorithm>

#include "acquisition/framers.h"

namespace tq {

AcquisitionState Acquisition;

FrameBytes AcquisitionState::LastFrame() const {
  std::lock_guard lock(mutex_);
  return last_frame_;
}

void AcquisitionState::StoreLastFrame(std::span<const uint8_t> frame) {
  size_t n = std::min(frame.size(), kMaxFrameLength);
  std::lock_guard lock(mutex_);
  std::copy_n(frame.begin(), n, last_frame_.begin());
  last_frame_[n] = 0;
}

void AcquisitionState::ClearLastFrameStart() {
  std::lock_guard lock(mutex_);
  last_frame_[0] = 0;
}

bool AcquisitionState::AdvanceFrameCounter(bool accepted) {
  int32_t counter = FrameCounter.load();
  FrameCountStep step{};
  do {
    step = CountFrame(counter, FramesPerReading.load(), accepted);
  } while (!FrameCounter.compare_exchange_weak(counter, step.counter));
  return step.post;
}

bool AcquisitionState::PostReading(WindowHandle window, uint32_t message,
                                   std::span<const uint8_t> frame, uint32_t tick) {
  uint64_t sequence = 0;
  {
    std::lock_guard lock(mutex_);
    if (count_ == queue_.size()) {
      DroppedReadings.fetch_add(1);
      return false;
    }
    Entry& entry = queue_[(head_ + count_) % queue_.size()];
    size_t n = std::min(frame.size(), kMaxFrameLength);
    entry.frame.bytes.fill(0);
    std::copy_n(frame.begin(), n, entry.frame.bytes.begin());
    entry.frame.length = static_cast<uint32_t>(n);
    entry.frame.tick = tick;
    entry.sequence = sequence = next_sequence_++;
    ++count_;
  }
  // Queued first so the window finds the copy whatever moment it handles the
  // message; taken back when no message will come for it.
  if (PostMessage(window, message)) return true;
  std::lock_guard lock(mutex_);
  if (count_ > 0 && queue_[(head_ + count_ - 1) % queue_.size()].sequence == sequence) --count_;
  return false;
}

bool AcquisitionState::TakeReading(PostedFrame* out) {
  std::lock_guard lock(mutex_);
  if (count_ == 0) return false;
  *out = queue_[head_].frame;
  head_ = (head_ + 1) % queue_.size();
  --count_;
  return true;
}

void AcquisitionState::ClearReadings() {
  std::lock_guard lock(mutex_);
  head_ = 0;
  count_ = 0;
}

size_t AcquisitionState::QueuedReadings() const {
  std::lock_guard lock(mutex_);
  return count_;
}

}  // namespace tq
