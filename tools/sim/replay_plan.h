// A stored data file turned back into what the instrument and the GPS
// receiver sent while it was logged: a plan of timed sends, run by run.
//
// The logger stores one frame in FramesPerReading, the last of its group,
// stamped with that frame's tick. So each reading goes out as a group of
// FramesPerReading copies one frame period apart, the last at the recorded
// tick; a logger with the same settings, started on the run's first frame,
// stores the same readings again. In Manual mode a reading needs the edge
// that triggered it: an unmarked copy, then the marked frame, then the
// further samples of an averaged reading, with unmarked frames between the
// readings so the line never goes quiet. The time line comes from every
// tick the file holds; runs are cut at "$STARTED" and "$PAUSED".
//
// Pure: the planner takes records and returns values; LoadReplay reads a
// file with the same cursor, damage handling and header checks as every
// other reader of data files.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "gps/stored_sentences.h"
#include "survey/record_reader.h"

namespace tq::sim {

enum class ReplayPort : uint8_t { kInstrument, kGps };

struct ReplaySend {
  ReplayPort port = ReplayPort::kInstrument;
  int64_t at_ms = 0;  // after the start of its run, before any change of speed
  std::vector<uint8_t> bytes;
};

// One logging run of the file: from its "$STARTED" to its "$PAUSED" (or the
// next "$STARTED", a "$CONN END  " or the end of the file).
struct ReplayRun {
  int64_t pause_before_ms = 0;  // how long logging was paused before it; 0 for the first
  int64_t length_ms = 0;        // to its "$PAUSED", or to its last send when later
  size_t first_send = 0;        // its sends are sends[first_send, end_send), in time order
  size_t end_send = 0;
  int64_t readings = 0;
  int64_t gps_sentences = 0;
  // What the instrument shows while the logger waits for this run: its
  // first frame (in Manual mode an unmarked one). Empty when the file has
  // no reading at all.
  std::vector<uint8_t> hold_frame;
};

struct ReplayPlan {
  int32_t kind = kKindTq68Mk2;
  int32_t frame_length = 14;      // 7 or 12 for kind 3, from its first reading
  int32_t frame_period_ms = 47;   // FramePeriodMs of the kind and frame length
  int32_t survey_mode = 0;        // header 1: 0 Auto, 1 Wheel, 2 Manual
  int32_t frames_per_reading = 1; // what the logger used while logging
  int32_t samples_per_reading = 1;  // Manual mode: frames averaged into one reading
  std::vector<ReplayRun> runs;
  std::vector<ReplaySend> sends;
  int64_t readings = 0;
  int64_t gps_sentences = 0;
  int64_t damaged_records = 0;  // records passed over as damage (by length, at least 1 a range)
};

// What the planner keeps of a record: a run note that opens or closes a
// run, a reading or a GPS line, at its place on the file's time line.
struct ReplayEvent {
  enum class Type : uint8_t { kStarted, kPaused, kReading, kSentence };
  Type type = Type::kReading;
  int64_t time_ms = 0;
  std::vector<uint8_t> bytes;  // the reading part of the record, or the line's text
};

// Builds a plan from the body records of one file, fed in file order.
class ReplayPlanner {
 public:
  // `header` of the file and its header 2 record (empty when unreadable:
  // the reading interval then takes its default, 0.2 s).
  ReplayPlanner(const StoredHeader& header, std::span<const uint8_t> header2);

  // Takes the next body record.
  void Feed(std::span<const uint8_t> record);
  // Takes a range of bytes passed over as damage: a GPS line it cut is lost.
  void Skip(const SkippedRange& range);
  // The plan of everything fed.
  ReplayPlan Finish() const;

 private:
  int64_t TimeOf(std::span<const uint8_t> record);

  StoredHeader header_;
  float reading_interval_s_ = 0.2f;
  int32_t samples_per_reading_ = 1;
  GpsSentenceAssembler sentences_;
  std::optional<uint32_t> last_tick_;
  int64_t now_ms_ = 0;
  int64_t damaged_records_ = 0;
  std::vector<ReplayEvent> events_;
};

// What reading a file for a replay gave.
struct ReplayLoad {
  std::optional<ReplayPlan> plan;   // nullopt on failure
  std::string error;                // one line when there is no plan
  bool read_failed = false;         // the file could not be read (not a bad file)
  std::vector<std::string> warnings;  // damage passed over, a record cut short
};

// Reads the data file at `path` into a plan. The kind comes from header 1;
// `expected_kind`, when given, must match it.
ReplayLoad LoadReplay(const std::filesystem::path& path, std::optional<int32_t> expected_kind);

}  // namespace tq::sim
