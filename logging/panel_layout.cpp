#include "logging/panel_layout.h"

#include <algorithm>
#include <initializer_list>
#include <vector>

#include "acquisition/reading_steps_panel.h"
#include "settings/build_config.h"

namespace tq {
namespace {

constexpr int kLeft = 5;
constexpr int kSecondColumn = 130;
constexpr int kBatteryWidth = 40;

PanelField Field(int x0, int x1, int y, int h, PanelFont font) {
  return PanelField{Rect{x0, y, x1, y + h + 2}, font};
}

int Widest(const MeasureWidth& width, PanelFont font, std::initializer_list<std::string_view> texts) {
  int widest = 0;
  for (std::string_view text : texts) widest = std::max(widest, width(font, text));
  return widest;
}

// Trailing spaces of a "%-8.2f" leave no ink, so a field need not hold them.
int InkWidth(const MeasureWidth& width, PanelFont font, std::string_view text) {
  size_t end = text.find_last_not_of(' ');
  return end == std::string_view::npos ? 0 : width(font, text.substr(0, end + 1));
}

// The widest ink of one reading field over the texts the kind can show.
int WidestOf(const MeasureWidth& width, PanelFont font, const std::vector<PanelUpdate>& texts,
             FieldText PanelUpdate::*field) {
  int widest = 0;
  for (const PanelUpdate& u : texts) widest = std::max(widest, InkWidth(width, font, (u.*field).view()));
  return widest;
}

// A field `w` wide centred in [from, to).
PanelField Centred(int from, int to, int w, int y, int h, PanelFont font) {
  int x0 = from + (to - from - w) / 2;
  return Field(x0, x0 + w, y, h, font);
}

void PlaceGpsRow(const PanelInputs& in, const MeasureWidth& width, PanelLayout& p) {
  const int h = in.text_height;
  const int y = p.gps_row;
  const PanelFont label = PanelFont::kLabel;
  GpsRowLayout& g = p.gps;
  g.disabled_at = Point{(in.screen_width - width(label, "GPS  Input  disabled")) / 2, y};
  g.pos_label = Point{kLeft, y};
  int x = width(label, "Pos") + 6;
  g.activity = Field(x, x + Widest(width, label, {"\\", "/"}), y, h, label);
  g.hash_label = Point{g.activity.rect.right + 1, y};
  x = g.hash_label.x + width(label, "#") + 2;
  g.counter = Field(x, x + width(label, "99999"), y, h, label);
  x = in.portrait ? g.counter.rect.right + 2 : 110;
  g.fix = Field(x, x + Widest(width, label, {"CODE", "DGPS", "RTK", "AGPS", "NO FIX"}), y, h, label);
  g.pdop_label = Point{in.portrait ? g.fix.rect.right + 5 : 180, y};
  x = g.pdop_label.x + width(label, "PDOP:") + 1;
  // A receiver without a fix sends 99.99, which "%4.1f" shows as "100.0".
  g.pdop = Field(x, x + Widest(width, label, {"100.0", "N/A"}) + 3, y, h, label);
  g.sat_label = Point{in.portrait ? g.pdop.rect.right + 5 : 260, y};
  x = g.sat_label.x + width(label, "Sat:") + 1;
  g.satellites = Field(x, x + width(label, "99") + 3, y, h, label);
}

void PlaceReadings(const PanelInputs& in, const MeasureWidth& width, PanelLayout& p) {
  const int h = in.text_height;
  const int w = in.screen_width;
  const PanelFont value = PanelFont::kValue;
  const PanelFont label = PanelFont::kLabel;
  const bool dd = in.kind == kKindTq68dd;
  const bool ice = in.ice_option == 1;
  const std::vector<PanelUpdate> texts = WidestReadingTexts(in.kind, in.portrait, in.ice_option);
  // Each field holds the widest text the kind can show in it, and at least
  // its sample.
  auto sized = [&](PanelFont font, std::string_view sample, FieldText PanelUpdate::*field) {
    return std::max(width(font, sample), WidestOf(width, font, texts, field));
  };
  const int thickness_width = sized(value, "T[ft]:12.97", &PanelUpdate::thickness);
  p.message = Field(kLeft, w, p.readings_row, h, label);
  if (!in.portrait) {
    const int y = p.readings_row;
    p.conductivity = Field(kLeft, 84, y, h, value);
    p.inphase = Field(85, 165, y, h, value);
    p.conductivity2 = Field(165, 245, y, h, value);
    p.inphase2 = Field(245, w, y, h, value);
    p.thickness = Field(165, 165 + thickness_width, y, h, value);
    const int range_x = std::max(185 + width(value, "T[ft]:12.97"), p.thickness.rect.right + 1);
    p.range = Field(ice ? range_x : 165, w, y, h, label);
    return;
  }
  const int half = w / 2;
  // The second coil pair lines up under the first.
  const int cw = std::max(sized(value, dd ? "CH:-2000.00" : "C:-2000.00mS/m", &PanelUpdate::conductivity),
                          WidestOf(width, value, texts, &PanelUpdate::conductivity2));
  const int iw = std::max(sized(value, dd ? "IH:-2000.00" : "I:-2000.00ppt", &PanelUpdate::inphase),
                          WidestOf(width, value, texts, &PanelUpdate::inphase2));
  p.conductivity = Centred(0, half, cw, p.readings_row, h, value);
  p.inphase = Centred(half, w, iw, p.readings_row, h, value);
  // The second coil pair and the thickness share the extra row with the
  // range line, each in its own half.
  p.conductivity2 = Centred(0, half, cw, p.extra_row, h, value);
  p.inphase2 = Centred(half, w, iw, p.extra_row, h, value);
  if (ice) {
    p.range = Centred(0, half, sized(label, "Mode: H R:1000", &PanelUpdate::range), p.extra_row, h, label);
    p.thickness = Centred(half, w, thickness_width, p.extra_row, h, value);
  } else {
    std::string_view sample =
        dd ? "Conductivity [mS/m]  Range:1000" : "Horizontal Dipoles   Range:1000";
    p.range = Centred(0, w, sized(label, sample, &PanelUpdate::range), p.extra_row, h, label);
  }
}

}  // namespace

PanelLayout ComputePanelLayout(const PanelInputs& in, const MeasureWidth& width) {
  PanelLayout p;
  const int h = in.text_height;
  const int w = in.screen_width;
  const PanelFont label = PanelFont::kLabel;
  const PanelFont value = PanelFont::kValue;
  p.top_row = 1;
  p.second_row = h + 1;
  p.third_row = 2 * h + 1;
  p.readings_row = in.plot_top + in.plot_height;
  p.extra_row = p.readings_row + h;
  p.gps_row = p.readings_row + (in.portrait ? 2 * h : h);

  p.file = Field(kLeft, kSecondColumn - 1, p.top_row, h, label);
  const int m = Widest(width, label, {"Stand By", "Logging", "Monitor"});
  p.state = in.portrait ? Field(kLeft, m + kLeft, p.third_row, h, label)
                        : Field(w - (m + 44), w - kBatteryWidth, p.top_row, h, label);
  p.battery = Field(w - kBatteryWidth, w, in.portrait ? p.third_row : 0, h, value);
  p.instrument_mode = Field(175, in.portrait ? w : p.state.rect.left - 1, p.top_row, h, label);
  p.mode_at = Point{kSecondColumn, p.top_row};

  p.line_label_at = Point{kLeft, p.second_row};
  p.line = Field(width(label, "Ln:") + 6, kSecondColumn - 1, p.second_row, h, value);

  const int dipole_width = Widest(width, value, {"Ver", "Hor"});
  p.dipole = in.portrait ? Field(kSecondColumn, kSecondColumn + dipole_width, p.third_row, h, value)
                         : Field(w - dipole_width - 5, w, p.second_row, h, value);

  const bool counted = in.survey_mode == 2 && in.kind != kKindFrz62;
  p.station_label = counted ? "S  :" : "Stn:";
  p.station_label_at = Point{kSecondColumn, p.second_row};
  const int count_x = kSecondColumn + 1 + width(label, "S");
  p.station_count = Field(count_x, count_x + Widest(width, label, {"0", "1", "2", "3", "4", "5", "6"}),
                          p.second_row, h, label);
  const int marker_x = kSecondColumn + 1 + width(label, p.station_label);
  const int marker_width = width(label, "M");
  p.marker = Field(marker_x, marker_x + marker_width + 1, p.second_row, h, label);
  p.station = Field(marker_x + marker_width + 2, in.portrait ? w : p.dipole.rect.left, p.second_row, h,
                    value);

  PlaceReadings(in, width, p);
  PlaceGpsRow(in, width, p);
  return p;
}

}  // namespace tq
