// Where every field of the logging window's panel lies: the file, state,
// battery and mode texts on the top rows, the line, station, marker and
// dipole, the reading values under the profile and the GPS status row.
// Pure: widths come from the caller's measure of the two panel fonts.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "platform/window_types.h"

namespace tq {

enum class PanelFont { kLabel, kValue };

// Width in pixels of `text` drawn in `font`.
using MeasureWidth = std::function<int(PanelFont font, std::string_view text)>;

struct PanelInputs {
  bool portrait = true;
  int32_t kind = 7;
  int32_t screen_width = 240;
  int32_t text_height = 13;
  int32_t plot_top = 41;
  int32_t plot_height = 216;
  int32_t survey_mode = 0;
  int32_t ice_option = 0;
  int32_t gps_input = 0;
};

// A field is cleared over its rectangle and drawn at its top-left corner.
struct PanelField {
  Rect rect;
  PanelFont font = PanelFont::kLabel;
};

struct GpsRowLayout {
  Point pos_label;         // "Pos"
  PanelField activity;     // "\" or "/"
  Point hash_label;        // "#"
  PanelField counter;      // "%-5d"
  PanelField fix;          // "NO FIX", "CODE", ...
  Point pdop_label;        // "PDOP:"
  PanelField pdop;         // "%4.1f" or "N/A"
  Point sat_label;         // "Sat:"
  PanelField satellites;   // "%2d"
  Point disabled_at;       // "GPS  Input  disabled"
};

struct PanelLayout {
  int32_t top_row = 1;
  int32_t second_row = 14;
  int32_t third_row = 27;
  int32_t readings_row = 257;
  int32_t extra_row = 270;
  int32_t gps_row = 283;

  PanelField file;
  PanelField state;
  PanelField instrument_mode;
  PanelField battery;
  Point mode_at;
  Point line_label_at;
  PanelField line;
  Point station_label_at;
  std::string station_label;  // "Stn:" or "S  :" (Manual)
  PanelField station_count;   // the reading count between "S" and ":"
  PanelField marker;
  PanelField station;
  PanelField dipole;
  PanelField message;
  PanelField conductivity;
  PanelField inphase;
  PanelField conductivity2;
  PanelField inphase2;
  PanelField range;
  PanelField thickness;
  GpsRowLayout gps;
};

PanelLayout ComputePanelLayout(const PanelInputs& in, const MeasureWidth& width);

}  // namespace tq
