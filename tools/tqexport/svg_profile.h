// The profile drawing of a data file (tqexport --format svg): one panel per
// survey line, stacked, each with one plot per quantity the kind records
// (conductivity, inphase, ice thickness) against the station, every channel
// as a polyline in the logger's trace colour, the markers and comments where
// they fall, and a legend.
//
// Two passes over the file keep memory flat in the number of readings: the
// first finds the lines and their station and value ranges, the second
// reduces each line to a fixed number of pixel columns (ColumnTrace) and
// writes its panel when the line ends.
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

// What the first pass found out about one survey line.
struct ProfileLine {
  int32_t number = 0;  // "L" records up to it; 0 for readings before any
  std::string name;
  std::optional<std::string> date;  // of its "Z" record
  ValueRange stations;              // of its readings and comments
  std::array<ValueRange, kQuantityCount> values;
  std::array<bool, kProfileChannelCount> channel_seen{};  // a reading had a value of it
  int64_t readings = 0;
};

struct ProfilePlan {
  std::vector<ChannelTrace> traces;
  std::vector<ProfileLine> lines;  // in file order
};

// The first pass: the file's lines and their ranges. nullopt when reading
// failed (`error` says why).
std::optional<ProfilePlan> PlanProfile(RecordCursor& cursor, const StoredHeader& header,
                                       std::string* error);

// Keeps the lines named `name` only. False, with `error` naming the lines
// there are, when no line has that name.
bool KeepLinesNamed(ProfilePlan& plan, std::string_view name, std::string* error);

// The second pass: writes the SVG document of the planned lines to `out`,
// `file_name` in every panel's title. The ranges passed over as damage go to
// `skipped`. False when reading failed.
bool WriteProfileSvg(RecordCursor& cursor, const StoredHeader& header, const ProfilePlan& plan,
                     std::string_view file_name, TextOut& out,
                     const std::function<void(int64_t records)>& progress,
                     std::vector<SkippedRange>& skipped);

}  // namespace tq::exporter
