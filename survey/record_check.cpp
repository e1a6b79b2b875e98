#include "survey/record_check.h"

#include <array>
#include <cstring>

#include "survey/record_layout.h"

namespace tq {
namespace {

// What the bytes between the first letter and the LF must look like.
enum class Shape : uint8_t {
  kNone,       // not a record letter
  kText,       // no control characters
  kGpsPiece,   // anything but LF
  kTicked,     // a space, then the tick
  kTimeMark,   // "hh:mm:ss.mmm" (and two spaces in the long layout), then the tick
  kReading,    // frame bytes, a space, then the tick
};

constexpr std::array<Shape, 256> MakeShapes() {
  std::array<Shape, 256> shapes{};
  for (char c : {kHeader2Letter, kLineNameLetter, kStartStationLetter, kDirectionLetter,
                 kDateTimeLetter, kCalibrationLetter, kNewStationLetter}) {
    shapes[static_cast<uint8_t>(c)] = Shape::kText;
  }
  for (char c : {kGpsFirstLetter, kGpsContinuationLetter, kGpsBadFirstLetter,
                 kGpsBadContinuationLetter}) {
    shapes[static_cast<uint8_t>(c)] = Shape::kGpsPiece;
  }
  for (char c : {kCommentLetter, kRunNoteLetter, kGpsTickLetter}) {
    shapes[static_cast<uint8_t>(c)] = Shape::kTicked;
  }
  shapes[static_cast<uint8_t>(kTimeMarkLetter)] = Shape::kTimeMark;
  for (char c : {'T', 't', '2', '3', '4', '5', '6'}) {
    shapes[static_cast<uint8_t>(c)] = Shape::kReading;
  }
  return shapes;
}
constexpr std::array<Shape, 256> kShapes = MakeShapes();

// Sixteen bytes tested at once with the compiler's portable vector types
// (SSE2 on a desktop, NEON on a handheld): every reader pays for the check
// on every record, so it costs a handful of instructions, not one per byte.
using Bytes16 = int8_t __attribute__((vector_size(16)));

Bytes16 Load16(const uint8_t* at) {
  Bytes16 v;
  std::memcpy(&v, at, sizeof v);
  return v;
}

constexpr Bytes16 Splat(int8_t value) {
  return Bytes16{value, value, value, value, value, value, value, value,
                 value, value, value, value, value, value, value, value};
}

// True when a lane of `lanes` is set.
bool AnySet(Bytes16 lanes) {
  uint64_t halves[2];
  std::memcpy(halves, &lanes, sizeof halves);
  return (halves[0] | halves[1]) != 0;
}

// Lanes holding control characters (below 0x20, or 0x7F); bytes from 0x80
// on are 8-bit text, negative as signed lanes.
Bytes16 ControlLanes(Bytes16 v) {
  return ((v >= Splat(0)) & (v < Splat(0x20))) | (v == Splat(0x7F));
}

Bytes16 LineFeedLanes(Bytes16 v) { return v == Splat('\n'); }

// Lanes a tick field may hold: digits, spaces, and a minus sign for what
// "%10ld" printed once a counter passed its sign bit.
Bytes16 TickLanes(Bytes16 v) {
  return ((v >= Splat('0')) & (v <= Splat('9'))) | (v == Splat(' ')) | (v == Splat('-'));
}

// In the last sixteen bytes of a record, space, tick and LF sit in the same
// lanes whatever the record length: lane 4 the space, 5 to 14 the tick,
// 15 the LF.
static_assert(kTickWidth == 10);
constexpr Bytes16 kSpaceBeforeTick{0, 0, 0, 0, -1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0};
constexpr Bytes16 kTickField{0, 0, 0, 0, 0, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, 0};
constexpr Bytes16 kFinalByte{0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, -1};

// Inlined into the loop over a buffer, where nearly all records are tested.
template <size_t kLength>
[[gnu::always_inline]] inline bool IsWhole(const uint8_t* bytes) {
  const Bytes16 end = Load16(bytes + kLength - 16);
  const bool ends_in_lf = !AnySet(~LineFeedLanes(end) & kFinalByte);
  const bool tick = !AnySet(~TickLanes(end) & kTickField);
  const bool spaced = !AnySet(~(end == Splat(' ')) & kSpaceBeforeTick);
  const Shape shape = kShapes[bytes[0]];
  // Readings, most of every file, need nothing of the bytes before their tick.
  if (shape == Shape::kReading) return ends_in_lf && tick && spaced;
  // Bytes 1 to length - 2, in two windows that overlap.
  const Bytes16 head = Load16(bytes + 1);
  const Bytes16 tail = Load16(bytes + kLength - 17);
  const bool printable = !AnySet(ControlLanes(head) | ControlLanes(tail));
  const bool no_lf = !AnySet(LineFeedLanes(head) | LineFeedLanes(tail));
  switch (shape) {
    case Shape::kReading: return ends_in_lf && tick && spaced;
    case Shape::kGpsPiece: return ends_in_lf && no_lf;
    case Shape::kText: return ends_in_lf && printable;
    case Shape::kTicked: return ends_in_lf && printable && tick && spaced;
    case Shape::kTimeMark: return ends_in_lf && printable && tick;
    case Shape::kNone: break;
  }
  return false;
}

}  // namespace

bool IsWholeRecord(std::span<const uint8_t> record) {
  if (record.size() == kShortRecordLength) return IsWhole<kShortRecordLength>(record.data());
  if (record.size() == kLongRecordLength) return IsWhole<kLongRecordLength>(record.data());
  return false;
}

namespace {

template <size_t kLength>
size_t WholeRun(std::span<const uint8_t> bytes) {
  size_t count = 0;
  while ((count + 1) * kLength <= bytes.size() && IsWhole<kLength>(bytes.data() + count * kLength)) {
    ++count;
  }
  return count;
}

}  // namespace

size_t WholeRecordsAt(std::span<const uint8_t> bytes, size_t record_length) {
  if (record_length == kShortRecordLength) return WholeRun<kShortRecordLength>(bytes);
  if (record_length == kLongRecordLength) return WholeRun<kLongRecordLength>(bytes);
  return 0;
}

}  // namespace tq
