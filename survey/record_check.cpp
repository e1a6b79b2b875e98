#include "survey/record_check.h"

#include <array>

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

bool IsControl(uint8_t byte) { return byte < 0x20 || byte == 0x7F; }

// Ten digits or spaces: what "%10lu" prints, and a minus sign for what
// "%10ld" printed once a counter passed its sign bit.
bool TickHasForm(const uint8_t* field) {
  for (size_t at = 0; at < kTickWidth; ++at) {
    const uint8_t c = field[at];
    if ((c < '0' || c > '9') && c != ' ' && c != '-') return false;
  }
  return true;
}

}  // namespace

bool IsWholeRecord(std::span<const uint8_t> record) {
  const size_t length = record.size();
  if ((length != kShortRecordLength && length != kLongRecordLength) || record[length - 1] != '\n') {
    return false;
  }
  const uint8_t* bytes = record.data();
  const size_t tick_at = TickAt(length);
  switch (kShapes[bytes[0]]) {
    case Shape::kNone: return false;
    case Shape::kReading:
    case Shape::kTicked:
      if (bytes[tick_at - 1] != ' ' || !TickHasForm(bytes + tick_at)) return false;
      if (kShapes[bytes[0]] == Shape::kReading) return true;
      break;
    case Shape::kTimeMark:
      if (!TickHasForm(bytes + tick_at)) return false;
      break;
    case Shape::kGpsPiece:
      for (size_t i = 1; i + 1 < length; ++i) {
        if (bytes[i] == '\n') return false;
      }
      return true;
    case Shape::kText: break;
  }
  for (size_t i = 1; i + 1 < length; ++i) {
    if (IsControl(bytes[i])) return false;
  }
  return true;
}

}  // namespace tq
