// The map drawing of a GPS survey (tqexport --format map-svg): the readings
// placed by their GPS fixes (as the GeoJSON export places them), as dots
// coloured by a channel (the first conductivity channel that has values,
// unless one is asked for), in a local metric projection about the track's
// centre with east and north axes in metres and a grid, each line's name at
// its start, a colour bar, a scale bar and a north arrow.
//
// Two passes keep memory flat in the number of readings: the first finds
// the track's extent and the value range, the second averages the readings
// into a fixed grid of map cells.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "survey/record_reader.h"
#include "tools/tqexport/svg_parts.h"
#include "tools/tqexport/text_out.h"

namespace tq::exporter {

// The map's side and the side of one cell, pixels.
inline constexpr int32_t kMapPixels = 720;
inline constexpr int32_t kMapCellPixels = 4;
// The smallest extent a map shows, metres: a track that stood still.
inline constexpr double kMapMinExtentM = 20.0;

// Where a survey line's first placed reading lies.
struct MapLineStart {
  std::string name;
  int32_t number = 0;  // "L" records up to it; 0 for readings before any
  double latitude = 0.0;
  double longitude = 0.0;
};

// What the first pass found out.
struct MapPlan {
  std::optional<ChannelTrace> channel;  // the colours' channel; none when no placed reading has one
  ValueRange values;                    // of that channel over the placed readings
  double lat0 = 0.0;                    // centre of the track, degrees
  double lon0 = 0.0;
  LocalMetres low;                      // corners of the track about the centre, metres
  LocalMetres high;
  int64_t placed = 0;                   // readings with a position
  int64_t readings = 0;                 // all readings
  std::optional<std::string> date;      // of the first "Z" record
  std::vector<MapLineStart> line_starts;  // of the lines with a placed reading, in file order
};

// The first pass; `channel` names the channel that colours the dots (as
// the CSV column), none for the first conductivity channel that has values.
// nullopt, with `error` saying why, when the file is no GPS survey, no
// channel has that name, readings are there but none has a position, or
// reading failed. A file without readings gives an empty plan.
std::optional<MapPlan> PlanMap(RecordCursor& cursor, const StoredHeader& header,
                               const std::optional<std::string>& channel, std::string* error);

// Pixels per metre and the centre that fit a plan's track into the map
// with a margin; the extent is at least kMapMinExtentM.
struct MapFit {
  double pixels_per_metre = 1.0;
  LocalMetres centre;
};
MapFit FitMap(const LocalMetres& low, const LocalMetres& high);

// The second pass: writes the SVG document to `out`, `file_name` in its
// title. The ranges passed over as damage go to `skipped`. False when
// reading failed.
bool WriteMapSvg(RecordCursor& cursor, const StoredHeader& header, const MapPlan& plan,
                 std::string_view file_name, TextOut& out,
                 const std::function<void(int64_t records)>& progress,
                 std::vector<SkippedRange>& skipped);

}  // namespace tq::exporter
