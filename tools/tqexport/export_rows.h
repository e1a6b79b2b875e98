// From the records of a data file to one row per reading: its line, its
// rebuilt station, its place in the station, its tick and local time, its
// decoded channels and, in GPS surveys, its position.
//
// Pure: the caller reads the records and hands them over in file order;
// memory stays small whatever the file's length (GPS surveys hold back only
// the readings whose position the next few seconds of the file may change).
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <optional>
#include <span>
#include <string>

#include "instrument/decoding.h"
#include "ice/ice_thickness.h"
#include "survey/record_reader.h"
#include "tools/tqexport/gps_positions.h"
#include "tools/tqexport/survey_clock.h"

namespace tq::exporter {

struct ExportRow {
  int64_t record = 0;         // index of the reading record in the file
  std::string line;           // name from the last "L" record, trailing spaces removed
  int32_t line_number = 0;    // "L" records so far
  int64_t station_group = 0;  // counts stations across the file: new at every reading 1
  double station = 0.0;
  int32_t reading = 0;        // 1.. within the station
  uint32_t tick = 0;
  bool has_tick = false;      // the tick field was a number
  std::optional<LocalMs> time;
  bool marker = false;
  char dipole = 'V';
  ProfileChannels channels{};  // TQ62 ice files: slot 4 holds the thickness
  // A TQ62 battery frame: the instrument's two battery voltages, and no
  // channel has a value.
  bool battery = false;
  std::array<float, 2> battery_volts{};
  std::optional<Position> position;
};

// Readings held back at most, whatever the ticks say, before they are given
// the position the fixes known so far allow.
inline constexpr size_t kMaxHeldRows = 1 << 16;

class RowBuilder {
 public:
  // `header` of the file. `positions` false: rows are never held back and
  // carry no position (a listing of the records, a grid survey).
  RowBuilder(const StoredHeader& header, bool positions);

  // Takes the next body record (from record 2 on) with its index.
  void Feed(std::span<const uint8_t> record, int64_t index);
  // Takes a range of bytes the cursor passed over between two records: the
  // stations it cut still count, the GPS line it cut is dropped.
  void Skip(const SkippedRange& range);
  // The file has ended: every held row gets its position.
  void Finish();
  // The next row in file order whose position is settled; nullopt when none.
  std::optional<ExportRow> TakeRow();

  const StationTracker& stations() const { return stations_; }
  // The GPS line closed by the last record fed, if it closed one.
  const std::optional<StoredSentence>& last_sentence() const { return last_sentence_; }
  // Rows held back for their position now.
  size_t held_rows() const { return rows_.size() - settled_; }

 private:
  void AddReading(std::span<const uint8_t> record, int64_t index);
  void TakeGps(std::span<const uint8_t> record);
  void Settle(bool all);

  StoredHeader header_;
  bool positions_;
  StoredDecoding decoding_;
  StationTracker stations_;
  SurveyClock clock_;
  GpsSentenceAssembler sentences_;
  FixWindow fixes_;
  std::optional<StoredSentence> last_sentence_;
  std::string line_;
  int32_t reading_ = 0;
  int64_t station_group_ = 0;
  std::optional<uint32_t> last_reading_tick_;
  bool battery_frames_ = false;
  bool ice_ = false;
  IceTable ice_table_{};
  std::optional<IceLimits> ice_limits_;
  std::deque<ExportRow> rows_;
  size_t settled_ = 0;  // rows at the front of rows_ that are ready
};

}  // namespace tq::exporter
