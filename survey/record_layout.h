// The fixed-length records of a data file: their lengths, the first letters
// that tell their kinds, and where every field sits. The writers and every
// reader build on this one header, so a layout changes in one place.
//
// Every record is RecordLength bytes and ends in LF; there is no CR. Readers
// take whole records and never look for line ends, because a TQ68-MK2
// reading carries raw binary bytes that may include 0x0A. Byte positions
// count from 0.
#pragma once

#include <cstddef>
#include <cstdint>

#include "settings/build_config.h"

namespace tq {

inline constexpr size_t kShortRecordLength = 24;  // kinds 0..6
inline constexpr size_t kLongRecordLength = 26;   // TQ68-MK2
inline constexpr size_t kMaxRecordLength = kLongRecordLength;

// RecordLength of a data file of `kind`.
constexpr size_t RecordLengthFor(int32_t kind) {
  return kind == kKindTq68Mk2 ? kLongRecordLength : kShortRecordLength;
}

// The two positions the long layout inserts before its tick or its trailing
// spaces; 0 in the short layout.
constexpr size_t LongLayoutShift(size_t record_length) {
  return record_length - kShortRecordLength;
}

// What a record is. Headers are told by their place (records 0 and 1), all
// others by their first byte.
enum class RecordKind : uint8_t {
  kHeader1,              // record 0: instrument and setup
  kHeader2,              // record 1, "H": file name and mode value
  kLineName,             // "L"
  kStartStation,         // "B"
  kDirection,            // "A": direction and station increment
  kDateTime,             // "Z"
  kCalibration,          // "O1".."O6" (TQ68-MK2)
  kNewStation,           // "S"
  kTimeMark,             // "*"
  kComment,              // "C"
  kRunNote,              // "X"
  kStationReading,       // "T" or "t": the reading that opens a station
  kFurtherReading,       // "2".."6": a further reading at the same station
  kGpsFirst,             // "@": first piece of a sentence with a good checksum
  kGpsContinuation,      // "#"
  kGpsBadFirst,          // "?": first piece of a line with a bad or no checksum
  kGpsBadContinuation,   // '"'
  kGpsTick,              // "!": tick of the sentence just written
  kOther,                // anything else; readers skip it
};

// First letters.
inline constexpr char kHeader2Letter = 'H';
inline constexpr char kLineNameLetter = 'L';
inline constexpr char kStartStationLetter = 'B';
inline constexpr char kDirectionLetter = 'A';
inline constexpr char kDateTimeLetter = 'Z';
inline constexpr char kCalibrationLetter = 'O';
inline constexpr char kNewStationLetter = 'S';
inline constexpr char kTimeMarkLetter = '*';
inline constexpr char kCommentLetter = 'C';
inline constexpr char kRunNoteLetter = 'X';
inline constexpr char kGpsFirstLetter = '@';
inline constexpr char kGpsContinuationLetter = '#';
inline constexpr char kGpsBadFirstLetter = '?';
inline constexpr char kGpsBadContinuationLetter = '"';
inline constexpr char kGpsTickLetter = '!';
// Records whose first byte is below this are never readings.
inline constexpr uint8_t kLowestReadingLetter = '2';

// A field: its first byte and its width.
struct RecordField {
  size_t at;
  size_t width;
};

// Tick fields: the 32-bit counter, unsigned, right-aligned in the 10
// positions right before the LF.
inline constexpr size_t kTickWidth = 10;
constexpr size_t TickAt(size_t record_length) { return record_length - 1 - kTickWidth; }

// Header 1 (record 0).
inline constexpr RecordField kIdentifierField{0, 15};
inline constexpr size_t kModelFieldWidth = 8;     // then a 4-character version, 3-character type
inline constexpr size_t kIceBuiltMarkAt = 7;      // "i" on TQ62 builds with the ice option
inline constexpr size_t kSurveyTypeAt = 12;       // "GRD" or "GPS"
inline constexpr size_t kUnitsAt = 15;
inline constexpr size_t kDipoleModeAt = 16;
inline constexpr size_t kSurveyModeAt = 17;
inline constexpr size_t kComponentAt = 18;
inline constexpr size_t kIceOptionAt = 19;        // short layout, TQ62 with the ice option
inline constexpr size_t kSeaWaterIndexAt = 20;    // ditto; "A" stands for 10
inline constexpr size_t kMk2VariantAt = 19;       // long layout
constexpr size_t LoggerCodeAt(size_t record_length) { return record_length - 2; }

// Header 2 (record 1).
inline constexpr RecordField kBaseNameField{2, 9};
inline constexpr size_t kModeValueAt = 11;        // "%7.3f" or "%7d"

// Line start group.
inline constexpr RecordField kLineNameField{1, 8};
inline constexpr RecordField kStartStationField{1, 11};      // "%11.2f"
inline constexpr size_t kDirectionLetterAt = 1;              // "W", "S", "N", "E"
inline constexpr RecordField kStationIncrementField{8, 11};  // "%11.3f"
inline constexpr size_t kStationIncrementParseAt = 2;        // readers parse from here
inline constexpr size_t kDayAt = 1;                          // "%02d"
inline constexpr size_t kMonthAt = 3;                        // "%02d"
inline constexpr size_t kYearAt = 5;                         // "%04d"
inline constexpr RecordField kClockTimeField{10, 8};         // "hh:mm:ss"

// "O" calibration value (long layout only).
inline constexpr size_t kCalibrationChannelAt = 1;        // "1".."6"
inline constexpr RecordField kCalibrationOffsetField{2, 10};    // "%10.3f", what readers use
inline constexpr RecordField kCalibrationPreviousField{13, 10};  // "%10.3f"
inline constexpr int32_t kCalibrationChannels = 6;

// "S" new station.
inline constexpr RecordField kNewStationField{1, 11};      // "%11.2f"
inline constexpr RecordField kNewStationTimeField{13, 8};  // hhmmsscc

// "*" time mark: "hh:mm:ss.mmm", then the tick.
inline constexpr RecordField kTimeMarkClockField{1, 12};

// "C" comment and "X" run note.
inline constexpr RecordField kNoteTextField{1, 11};

// Reading records. Short layout: bytes 0..11 are the frame text (byte 0 the
// frame's "T" or the marker digit), 12 a space. Long layout: bytes 0..13 are
// the binary frame, 14 a space.
inline constexpr size_t kAsciiFrameTextLength = 13;  // as the reading handler prepares it
inline constexpr size_t kAsciiReadingPart = 12;      // what decoding reads
inline constexpr size_t kBinaryReadingPart = 14;
constexpr size_t ReadingPartLength(size_t record_length) {
  return record_length == kLongRecordLength ? kBinaryReadingPart : kAsciiReadingPart;
}

// GPS records: a prefix and a piece of L - 2 sentence characters, then LF.
constexpr size_t GpsPieceLength(size_t record_length) { return record_length - 2; }

}  // namespace tq
