// Framing of the instrument byte streams, one byte at a time.
//
// Each framer is a small state machine over a fixed buffer: it takes bytes and
// says when a frame is complete, with no port, thread or allocation involved.
// The reader threads only move bytes from the port into them.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

namespace tq {

// Longest line an ASCII or binary framer keeps; one byte more cuts it to the
// few newest bytes that may begin a frame, so a frame across the cut is kept.
inline constexpr size_t kLineCapacity = 181;

enum class FrameEvent : uint8_t {
  kNone,      // byte kept, no frame yet
  kAccepted,  // Frame() holds a complete frame
  kRejected,  // a frame-shaped line with the wrong start letter (counted)
  kOverflow,  // the line grew too long and all but its newest bytes were dropped
  kMalformed, // an ice frame broke its pattern, or noise began (counted once)
};

// CR-terminated ASCII frames: the `frame_length` characters before each
// carriage return form the frame, whatever came earlier on the line.
class AsciiFramer {
 public:
  // `frame_length` is cut to 1..14.
  explicit AsciiFramer(int32_t frame_length);
  // Takes the next byte of the stream; says what it completed, if anything.
  FrameEvent Push(uint8_t byte);
  // The frame of the last kAccepted event, valid until the next Push.
  std::span<const uint8_t> Frame() const;

 private:
  std::array<uint8_t, kLineCapacity> line_{};
  int32_t index_ = -1;  // last byte written
  int32_t frame_length_;
  int32_t frame_start_ = 0;
};

// Ice frames: "T", three digits, "I", three digits, no terminator. After a
// break it skips to the next "T", which may be the byte that broke the frame.
class IceFramer {
 public:
  static constexpr int32_t kFrameLength = 8;
  FrameEvent Push(uint8_t byte);
  // Starts over at the "T" (after a pause in the stream).
  void Reset() { position_ = 0; }
  // The frame of the last kAccepted event, valid until the next Push.
  std::span<const uint8_t> Frame() const { return frame_; }

 private:
  static constexpr int32_t kSkipping = -1;  // after a break, until the next "T"
  std::array<uint8_t, kFrameLength> frame_{};
  int32_t position_ = 0;
};

// Binary frames: "T" or "t", the status byte, twelve data bytes, 0xFF 0xFF.
class BinaryFramer {
 public:
  static constexpr int32_t kFrameLength = 14;
  FrameEvent Push(uint8_t byte);
  // The frame of the last kAccepted event, valid until the next Push.
  std::span<const uint8_t> Frame() const;

 private:
  static constexpr int32_t kLookBack = kFrameLength + 1;
  std::array<uint8_t, kLineCapacity> line_{};
  int32_t index_ = -1;
  int32_t frame_start_ = 0;
};

// The frame counter after one more frame, and whether a reading is posted.
struct FrameCountStep {
  int32_t counter;
  bool post;
};

// Counts a frame: the counter wraps to 0 on reaching `frames_per_reading`
// (taken as 1 when smaller), and an accepted frame that wraps it is posted.
// A counter already past the limit (the limit was lowered) wraps at once.
FrameCountStep CountFrame(int32_t counter, int32_t frames_per_reading, bool accepted);

// Adds the marker bits to a binary frame's status byte (byte 1), modulo 256:
// 16 for an active marker line, 8 for a held soft-marker key.
void AddMarkerBits(std::span<uint8_t> frame, int32_t ext_marker_line, int32_t soft_marker_down);

}  // namespace tq
