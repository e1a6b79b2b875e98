// What the file viewer shows, as values: the cursor readout per kind and
// orientation, the scale readout, the help text, the traces of a station
// window and where the readout cells go. The window draws what these say.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "platform/window_types.h"
#include "settings/settings.h"
#include "viewer/line_index_cache.h"

namespace tq {

inline constexpr const char* kViewHelpCaption = "View Files Help";

// The cursor readout: the station cell and the channel cells of the kind,
// in drawing order. All texts are empty for an invalid station (a gap, or a
// cursor beyond the line's records), so clearing the cells leaves them blank.
struct StationReadout {
  std::string station;
  std::vector<std::string> channels;
};
// `ice_file`: a TQ62 file recorded with ice thickness; `units` 1 shows it in feet.
StationReadout FormatStationReadout(const StationEntry& entry, int32_t kind, bool portrait,
                                    bool ice_file, int32_t units);

// How many channel cells the readout of a kind has.
size_t ReadoutCellCount(int32_t kind, bool ice_file);

// The widest text each channel cell can show, for sizing its cell.
std::vector<std::string> ReadoutCellTemplates(int32_t kind, bool portrait, bool ice_file,
                                              int32_t units);

// The scale readout cells of a kind (none for the TQ93).
std::vector<std::string> FormatScaleReadout(const SettingsStore& settings, int32_t kind);

// The eleven help lines joined by "\r\n", by storage root.
std::string ViewHelpText(int32_t storage_root);

// The file title the viewer shows: the name without folder and extension,
// at most 8 characters.
std::string ViewFileTitle(std::string_view path);

// The scale set the viewer's grid is drawn for: 1 when GridFor is 1 or 2, else 0.
int32_t ViewGridSet(int32_t grid_for);

// One polyline of one channel: points at x = window index.
struct TraceRun {
  size_t channel = 0;
  std::vector<Point> points;
};

// The runs to draw for window indexes 1..columns, in drawing order: a
// channel's run ends where a station lacks it, every run ends at an invalid
// station, and the runs still open at the end follow. Only the channels the
// kind shows in the viewer take part (kinds 0..3: 0..3, TQ64-3: 0..5,
// FRZ62: 0 and 2, TQ68-MK2: 0..7, TQ93: none), each on its scale set;
// never the thickness trace, and whatever the display flags say.
std::vector<TraceRun> ComputeViewTraceRuns(const StationWindow& window, int32_t columns,
                                           int32_t kind, const SettingsStore& settings);

// A stretch of a row where readout cells may go: [x_from, x_to) at y.
struct ReadoutRowSpace {
  int32_t y = 0;
  int32_t x_from = 0;
  int32_t x_to = 0;
};

// Places cells of the given widths one after another along the row spaces,
// moving to the next space when a cell does not fit the rest of the current
// one. Cells that fit nowhere get an empty rectangle.
std::vector<Rect> LayoutReadoutCells(std::span<const ReadoutRowSpace> spaces,
                                     std::span<const int32_t> widths, int32_t height);

}  // namespace tq
