// The profile drawing of a data file (tqexport --format svg): one panel per
// survey line, stacked, each with one plot per quantity the kind records
// (conductivity, inphase, ice thickness) against the station, every channel
// as a trace that stops where the channel has no readings, the markers,
// comments and damage where they fall, and a legend. The panels go into one
// document, or each into a document of its own.
//
// Two passes over the file keep memory flat in the number of readings: the
// first finds the lines and their station and value ranges (and, for the
// robust scale, their percentiles), the second reduces each line to a fixed
// number of pixel columns (ColumnTrace) and writes its panel when the line
// ends.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "instrument/decoding.h"
#include "survey/record_reader.h"
#include "tools/tqexport/svg_parts.h"
#include "tools/tqexport/text_out.h"

namespace tq::exporter {

// Pixel columns of a profile plot: the most points a trace keeps per line
// is four times this.
inline constexpr int32_t kProfileColumns = 700;
// Comments whose text a panel shows; further ones are ticks only.
inline constexpr size_t kCommentTextsPerPanel = 12;
// The tallest document drawn, pixels: browsers give up on taller pictures
// (32,767 pixels is the common limit of a canvas side).
inline constexpr double kMaxDocumentHeight = 32000.0;

// How a plot's values are scaled. kFull: from the lowest to the highest
// value of the line. kRobust: from the 1st to the 99th percentile, so a few
// wild values do not flatten the rest; values beyond are drawn at the edge
// with a mark.
enum class ProfileScale : uint8_t { kFull, kRobust };

struct ProfileStyle {
  ProfileScale scale = ProfileScale::kFull;
  TracePens pens = TracePens::kPrint;
};

// What the first pass found out about one survey line.
struct ProfileLine {
  int32_t number = 0;  // "L" records up to it, its place in the file; 0 for readings before any
  std::string name;
  std::optional<std::string> date;  // of its "Z" record
  ValueRange stations;              // of its readings and comments
  std::array<ValueRange, kQuantityCount> values;
  std::array<ValueRange, kQuantityCount> central;  // 1st to 99th percentile (kRobust only)
  std::array<bool, kProfileChannelCount> channel_seen{};  // a reading had a value of it
  int64_t readings = 0;
};

struct ProfilePlan {
  ProfileStyle style;
  std::vector<ChannelTrace> traces;
  std::vector<ProfileLine> lines;  // in file order
};

// The first pass: the file's lines and their ranges. nullopt when reading
// failed (`error` says why).
std::optional<ProfilePlan> PlanProfile(RecordCursor& cursor, const StoredHeader& header,
                                       const ProfileStyle& style, std::string* error);

// Keeps the lines that `list` picks: items separated by commas, each a
// line's name, "FIRST-LAST" (the lines whose names are numbers from FIRST
// to LAST), "#N" (the line at place N in the file) or "#N-#M"; an item
// that some line is named picks that line, whatever it looks like. False,
// with `error` naming the lines there are, when an item picks no line.
bool SelectLines(ProfilePlan& plan, std::string_view list, std::string* error);

// The height of the document of the planned lines, pixels.
double ProfileDocumentHeight(const ProfilePlan& plan);

// The file name of one line's own document: the data file's stem, the
// line's place padded to `digits`, and its name with every character but
// letters, digits, "-" and "_" as "_" ("SURVEY-007-A_1.svg"; the readings
// before the first line "SURVEY-000.svg").
std::string SplitFileName(std::string_view stem, const ProfileLine& line, int32_t digits);

// Where the panels go: all into the document `one`, or, when it is null,
// each into a document of its own that `open_page` gives (null: it could
// not be made, and no further page is drawn) and `close_page` finishes
// (false: writing it failed, and no further page is drawn).
struct ProfileOutput {
  TextOut* one = nullptr;
  std::function<TextOut*(const ProfileLine& line)> open_page;
  std::function<bool(const ProfileLine& line)> close_page;
};

// The second pass: writes the SVG of the planned lines, `file_name` in
// every panel's title. A plan without lines gives one document that says
// so, or no page. The ranges passed over as damage go to `skipped`. False
// when reading failed.
bool WriteProfileSvg(RecordCursor& cursor, const StoredHeader& header, const ProfilePlan& plan,
                     std::string_view file_name, const ProfileOutput& output,
                     const std::function<void(int64_t records)>& progress,
                     std::vector<SkippedRange>& skipped);

}  // namespace tq::exporter
