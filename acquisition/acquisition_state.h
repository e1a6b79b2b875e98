// The record shared by the reader threads and the logging window, and the
// reading messages that tie them together.
//
// Reader threads write it; the window thread reads it and resets some fields.
// Single-word fields are atomics. The frame bytes sit behind a small mutex
// that is only ever held to copy a few bytes, so the reader never waits on
// the window.
#pragma once

#include <array>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <span>

#include "platform/messages.h"
#include "platform/posted_queue.h"

namespace tq {

// Window messages posted to the logging window, both parameters 0.
inline constexpr uint32_t WM_INSTRUMENT_READING = 1034;
inline constexpr uint32_t WM_GPS_SENTENCE = 1035;
inline constexpr uint32_t WM_ICE_READING = 1036;
inline constexpr uint32_t WM_BINARY_READING = 1037;

// Room for the longest frame (14 bytes) and its terminating 0.
inline constexpr size_t kLastFrameSize = 16;
inline constexpr size_t kMaxFrameLength = kLastFrameSize - 2;

using FrameBytes = std::array<uint8_t, kLastFrameSize>;

// One posted reading: the frame it announced (terminated by 0) and the tick at
// which the frame was accepted.
struct PostedFrame {
  FrameBytes bytes{};
  uint32_t length = 0;
  uint32_t tick = 0;
};

// Readings posted but not yet taken by the window. A window that falls this
// far behind has readings dropped (and counted) rather than the reader held.
inline constexpr size_t kPostedFrameCapacity = 64;

class AcquisitionState {
 public:
  std::atomic<int32_t> FrameLength{12};
  std::atomic<int32_t> FrameCounter{0};
  std::atomic<int32_t> FramesPerReading{1};
  std::atomic<uint32_t> LastFrameTick{0};
  std::atomic<int32_t> MissedTicks{0};
  std::atomic<int32_t> ExtMarkerLine{0};
  std::atomic<int32_t> SoftMarkerDown{0};
  std::atomic<int32_t> CalibrationState{0};
  // Readings that could not be queued because the window was too far behind.
  std::atomic<uint32_t> DroppedReadings{0};

  // The newest accepted frame, `FrameLength` bytes and a terminating 0.
  FrameBytes LastFrame() const;
  // Replaces LastFrame with `frame` (cut to kMaxFrameLength) and a 0 byte.
  void StoreLastFrame(std::span<const uint8_t> frame);
  // Marks the newest frame as handled by clearing its start letter.
  void ClearLastFrameStart();

  // Counts one frame and wraps the counter at FramesPerReading; returns true
  // when an accepted frame completes a reading that must be posted. A reset
  // made meanwhile by the window thread is never lost.
  bool AdvanceFrameCounter(bool accepted);

  // Queues a copy of a reading and posts `message` to `window`. Returns false,
  // with nothing queued, when the queue is full (the reading is counted in
  // DroppedReadings) or the window refuses the message.
  bool PostReading(WindowHandle window, uint32_t message, std::span<const uint8_t> frame,
                   uint32_t tick);
  // Takes the oldest queued reading, one per reading message handled; false
  // when none is queued.
  bool TakeReading(PostedFrame* out);
  // Forgets queued readings; a reader calls it when it starts.
  void ClearReadings();
  size_t QueuedReadings() const;

 private:
  mutable std::mutex mutex_;
  FrameBytes last_frame_{};
  PostedQueue<PostedFrame, kPostedFrameCapacity> readings_;
};

// The process-wide record the readers and the logging window share.
extern AcquisitionState Acquisition;

}  // namespace tq
