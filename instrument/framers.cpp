#include "instrument/framers.h"

#include <algorithm>

namespace tq {
namespace {

constexpr int32_t kLastIndex = static_cast<int32_t>(kLineCapacity) - 1;
constexpr uint8_t kCarriageReturn = 0x0D;
constexpr uint8_t kBinaryEnd = 0xFF;
// The longest frame any kind sends; the shared frame buffer is sized for it.
constexpr int32_t kLongestFrame = 14;

bool IsDigit(uint8_t byte) { return byte >= '0' && byte <= '9'; }

// Makes room in a full line by keeping only its newest `keep` bytes, enough
// for the start of a frame whose end has not come yet, and returns the index
// of the last byte kept. Emptying the line instead would lose a good frame
// that happened to straddle the limit after a run of noise.
int32_t KeepNewest(std::array<uint8_t, kLineCapacity>& line, int32_t keep) {
  std::copy(line.end() - keep, line.end(), line.begin());
  return keep - 1;
}

}  // namespace

AsciiFramer::AsciiFramer(int32_t frame_length)
    : frame_length_(std::clamp<int32_t>(frame_length, 1, kLongestFrame)) {}

FrameEvent AsciiFramer::Push(uint8_t byte) {
  const bool cut = index_ >= kLastIndex;
  if (cut) index_ = KeepNewest(line_, frame_length_);
  line_[++index_] = byte;
  if (byte != kCarriageReturn || index_ < frame_length_) {
    return cut ? FrameEvent::kOverflow : FrameEvent::kNone;
  }
  frame_start_ = index_ - frame_length_;
  // A wrong start letter leaves the line alone: the next carriage return
  // looks back from its own position.
  if (line_[frame_start_] != 'T') return FrameEvent::kRejected;
  index_ = -1;
  return FrameEvent::kAccepted;
}

std::span<const uint8_t> AsciiFramer::Frame() const {
  return std::span<const uint8_t>(line_).subspan(frame_start_, frame_length_);
}

FrameEvent IceFramer::Push(uint8_t byte) {
  if (position_ == kSkipping) {
    if (byte != 'T') return FrameEvent::kNone;
    position_ = 0;
  }
  bool fits = position_ == 0 ? byte == 'T' : (position_ == 4 ? byte == 'I' : IsDigit(byte));
  if (!fits) {
    // A "T" never belongs inside a frame, so where it breaks one it is the
    // start of the next: a frame cut short must not take the following one
    // with it. Any other byte starts a run of noise that counts once, however
    // long, up to the next "T".
    if (byte == 'T') {
      frame_[0] = byte;
      position_ = 1;
    } else {
      position_ = kSkipping;
    }
    return FrameEvent::kMalformed;
  }
  frame_[position_++] = byte;
  if (position_ < kFrameLength) return FrameEvent::kNone;
  position_ = 0;
  return FrameEvent::kAccepted;
}

FrameEvent BinaryFramer::Push(uint8_t byte) {
  const bool cut = index_ >= kLastIndex;
  if (cut) index_ = KeepNewest(line_, kLookBack);
  line_[++index_] = byte;
  if (byte != kBinaryEnd || index_ < kLookBack || line_[index_ - 1] != kBinaryEnd) {
    return cut ? FrameEvent::kOverflow : FrameEvent::kNone;
  }
  int32_t start = index_ - kLookBack;
  // Data words may hold 0xFF 0xFF themselves; only a start byte at the right
  // distance makes the pair a terminator. Anything else is not even counted.
  if (line_[start] != 'T' && line_[start] != 't') return FrameEvent::kNone;
  frame_start_ = start;
  index_ = -1;
  return FrameEvent::kAccepted;
}

std::span<const uint8_t> BinaryFramer::Frame() const {
  return std::span<const uint8_t>(line_).subspan(frame_start_, kFrameLength);
}

FrameCountStep CountFrame(int32_t counter, int32_t frames_per_reading, bool accepted) {
  int32_t limit = std::max<int32_t>(frames_per_reading, 1);
  if (counter >= limit - 1) return FrameCountStep{0, accepted};
  return FrameCountStep{counter + 1, false};
}

void AddMarkerBits(std::span<uint8_t> frame, int32_t ext_marker_line, int32_t soft_marker_down) {
  if (frame.size() < 2) return;
  unsigned add = (ext_marker_line > 0 ? 16u : 0u) + (soft_marker_down > 0 ? 8u : 0u);
  frame[1] = static_cast<uint8_t>(frame[1] + add);
}

}  // namespace tq
