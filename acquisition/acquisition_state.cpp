#include "acquisition/acquisition_state.h"

#include <algorithm>

#include "instrument/framers.h"

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
  PostedFrame copy;
  size_t n = std::min(frame.size(), kMaxFrameLength);
  std::copy_n(frame.begin(), n, copy.bytes.begin());
  copy.length = static_cast<uint32_t>(n);
  copy.tick = tick;
  return readings_.Post(window, message, copy, DroppedReadings);
}

bool AcquisitionState::TakeReading(PostedFrame* out) { return readings_.Take(out); }

void AcquisitionState::ClearReadings() { readings_.Clear(); }

size_t AcquisitionState::QueuedReadings() const { return readings_.size(); }

}  // namespace tq
