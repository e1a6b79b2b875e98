// The bytes of every data file record, from values. Pure: nothing here
// touches a file or a clock; the writers of data_file.h do that.
//
// Each record is composed field after field as the layout says, padded with
// spaces, and always exactly its record length with LF last: a value too wide
// for its room is cut where the LF begins rather than shifting the LF. A
// record_length other than 24 or 26 is taken as the nearer of the two.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "instrument/decoding.h"
#include "platform/clock.h"
#include "platform/text.h"  // NarrowTo8Bit, WidenFrom8Bit for record text
#include "settings/build_config.h"
#include "settings/settings.h"
#include "survey/record_layout.h"

namespace tq {

// One record: `length` bytes of `bytes`.
struct DataRecord {
  std::array<uint8_t, kMaxRecordLength> bytes{};
  size_t length = 0;

  std::span<const uint8_t> view() const { return std::span(bytes.data(), length); }
  std::string_view text() const {
    return std::string_view(reinterpret_cast<const char*>(bytes.data()), length);
  }
};

// The 15-character identifier of header 1.
std::string HeaderIdentifier(const SettingsStore& settings, const BuildConfig& build);

// Header 1: identifier, Units, DipoleMode, SurveyMode, Component, the ice or
// Mk2Variant bytes and the logger code.
DataRecord FormatHeader1(const SettingsStore& settings, const BuildConfig& build, bool portrait);

// Header 2: "H ", the base name (8-bit characters, DataFileBaseName; cut to
// 9) and the value of the survey mode.
DataRecord FormatHeader2(const SettingsStore& settings, size_t record_length,
                         std::string_view base_name);

DataRecord FormatLineName(size_t record_length, std::string_view line);
DataRecord FormatStartStation(size_t record_length, double start_station);
DataRecord FormatDirection(size_t record_length, int32_t direction, float station_increment);
DataRecord FormatDateTime(size_t record_length, const LocalTime& now);

// "O1".."O6" (long layout): each channel's offset and its previous offset.
std::array<DataRecord, kCalibrationChannels> FormatCalibrationRecords(const Mk2Offsets& offsets,
                                                                      const Mk2Offsets& previous);

// The line start group: "L", "B", "A", "Z", then on TQ68-MK2 "O1".."O6".
std::vector<DataRecord> FormatLineStart(const SettingsStore& settings, int32_t kind,
                                        const LocalTime& now, const Mk2Offsets& previous);

// "S" with the new station and the time of day to the hundredth.
DataRecord FormatStationRecord(size_t record_length, double station, const LocalTime& now);

// "*": the wall clock beside the tick.
DataRecord FormatTimeMark(size_t record_length, uint32_t tick, const LocalTime& now);

// The run notes of a logging run ("X"), exactly as stored.
inline constexpr std::string_view kNoteStarted = "$STARTED";
inline constexpr std::string_view kNotePaused = "$PAUSED";
inline constexpr std::string_view kNoteConnectionBreak = "$CONN BREAK";
inline constexpr std::string_view kNoteConnectionEnd = "$CONN END  ";  // two trailing spaces

// "C" (comment) or "X" (run note): the first 11 characters of `text`.
DataRecord FormatNote(size_t record_length, std::string_view text, char letter, uint32_t tick);

// What refuses a comment whose first 11 characters, the ones "C" keeps, hold
// one that the record cannot (CheckTypedText); nothing when it fits.
std::optional<std::string> CheckComment(std::string_view text);

// Reading record of kinds 0..6 from the frame text (12 bytes used, shorter
// text padded with spaces).
DataRecord FormatReadingRecord(std::span<const uint8_t> frame_text, uint32_t tick);

// Reading record of TQ68-MK2 from the 14-byte binary frame (raw bytes kept).
DataRecord FormatBinaryReadingRecord(std::span<const uint8_t> frame, uint32_t tick);

// The records of one GPS line: the first piece with `first_prefix`, the
// further full pieces and a last (possibly empty) piece with `next_prefix`,
// then "!" with the tick. A line shorter than one piece goes whole into a
// space-padded first record. Appends to `out`.
void FormatGpsRecords(std::string_view line, uint32_t tick, char first_prefix, char next_prefix,
                      size_t record_length, std::vector<DataRecord>& out);

}  // namespace tq
