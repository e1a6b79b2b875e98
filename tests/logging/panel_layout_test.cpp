// Where the panel's fields lie, from the placement rules: fixed x positions
// and widths measured in the panel fonts. The measure here is a monospaced
// one (label 6 pixels a character, value 7), so every width is countable.
#include "logging/panel_layout.h"

#include <gtest/gtest.h>

#include "settings/build_config.h"

namespace tq {
namespace {

int Mono(PanelFont font, std::string_view text) {
  return static_cast<int>(text.size()) * (font == PanelFont::kValue ? 7 : 6);
}

PanelInputs Screen(bool portrait) {
  PanelInputs in;
  in.portrait = portrait;
  in.kind = kKindTq68Mk2;
  in.screen_width = portrait ? 240 : 320;
  in.text_height = 13;
  in.plot_top = portrait ? 41 : 28;
  in.plot_height = portrait ? 216 : 162;
  return in;
}

Rect Row(int x0, int x1, int y) { return Rect{x0, y, x1, y + 15}; }

TEST(PanelLayout, LandscapeTopRowsAndReadings) {
  PanelLayout p = ComputePanelLayout(Screen(false), Mono);
  // "Stand By" is the widest state text: 48 pixels.
  EXPECT_EQ(p.state.rect, Row(320 - 92, 280, 1));
  EXPECT_EQ(p.battery.rect, Row(280, 320, 0));
  EXPECT_EQ(p.instrument_mode.rect, Row(175, 227, 1));
  EXPECT_EQ(p.mode_at, (Point{130, 1}));
  EXPECT_EQ(p.line.rect, Row(18 + 6, 129, 14));
  EXPECT_EQ(p.station_label, "Stn:");
  EXPECT_EQ(p.marker.rect, Row(131 + 24, 131 + 24 + 7, 14));
  EXPECT_EQ(p.dipole.rect, Row(320 - 21 - 5, 320, 14));
  EXPECT_EQ(p.station.rect, Row(131 + 24 + 8, 294, 14));
  EXPECT_EQ(p.readings_row, 190);
  EXPECT_EQ(p.message.rect, Row(5, 320, 190));
  EXPECT_EQ(p.conductivity.rect, Row(5, 84, 190));
  EXPECT_EQ(p.inphase.rect, Row(85, 165, 190));
  EXPECT_EQ(p.conductivity2.rect, Row(165, 245, 190));
  EXPECT_EQ(p.inphase2.rect, Row(245, 320, 190));
  EXPECT_EQ(p.gps_row, 203);
}

TEST(PanelLayout, PortraitThirdRowAndCentredValues) {
  PanelLayout p = ComputePanelLayout(Screen(true), Mono);
  EXPECT_EQ(p.state.rect, Row(5, 53, 27));
  EXPECT_EQ(p.battery.rect, Row(200, 240, 27));
  EXPECT_EQ(p.dipole.rect, Row(130, 151, 27));
  EXPECT_EQ(p.instrument_mode.rect, Row(175, 240, 1));
  EXPECT_EQ(p.station.rect.right, 240);
  EXPECT_EQ(p.readings_row, 257);
  EXPECT_EQ(p.extra_row, 270);
  EXPECT_EQ(p.gps_row, 283);
  // "C:-2000.00mS/m" is 98 pixels, centred in the left half.
  EXPECT_EQ(p.conductivity.rect, Row(11, 109, 257));
  // "I:-2000.00ppt" is 91 pixels, centred in the right half.
  EXPECT_EQ(p.inphase.rect, Row(134, 225, 257));
  EXPECT_EQ(p.conductivity2.rect, Row(11, 109, 270));
}

TEST(PanelLayout, ManualModeCountsReadingsBetweenSAndColon) {
  PanelInputs in = Screen(true);
  in.survey_mode = 2;
  PanelLayout p = ComputePanelLayout(in, Mono);
  EXPECT_EQ(p.station_label, "S  :");
  EXPECT_EQ(p.station_count.rect, Row(137, 143, 14));
  in.kind = kKindFrz62;
  EXPECT_EQ(ComputePanelLayout(in, Mono).station_label, "Stn:");
}

TEST(PanelLayout, IceOptionPutsThicknessBeforeTheRangeInLandscape) {
  PanelInputs in = Screen(false);
  in.kind = kKindTq62;
  in.ice_option = 1;
  PanelLayout p = ComputePanelLayout(in, Mono);
  // "T[ft]:12.97" is 77 pixels.
  EXPECT_EQ(p.thickness.rect, Row(165, 242, 190));
  EXPECT_EQ(p.range.rect, Row(185 + 77, 320, 190));
  in.ice_option = 0;
  EXPECT_EQ(ComputePanelLayout(in, Mono).range.rect, Row(165, 320, 190));
}

TEST(PanelLayout, GpsRowByScreen) {
  PanelLayout landscape = ComputePanelLayout(Screen(false), Mono);
  const GpsRowLayout& g = landscape.gps;
  EXPECT_EQ(g.pos_label, (Point{5, 203}));
  EXPECT_EQ(g.activity.rect, Row(24, 30, 203));
  EXPECT_EQ(g.hash_label, (Point{31, 203}));
  EXPECT_EQ(g.counter.rect, Row(39, 69, 203));
  EXPECT_EQ(g.fix.rect, Row(110, 146, 203));
  EXPECT_EQ(g.pdop_label, (Point{180, 203}));
  // Sized for "100.0": "%4.1f" of the 99.99 a receiver sends without a fix.
  EXPECT_EQ(g.pdop.rect, Row(211, 244, 203));
  EXPECT_EQ(g.sat_label, (Point{260, 203}));
  EXPECT_EQ(g.satellites.rect, Row(285, 300, 203));
  EXPECT_EQ(g.disabled_at, (Point{(320 - 120) / 2, 203}));

  PanelLayout portrait = ComputePanelLayout(Screen(true), Mono);
  EXPECT_EQ(portrait.gps.fix.rect, Row(71, 107, 283));
  EXPECT_EQ(portrait.gps.pdop_label, (Point{112, 283}));
  EXPECT_EQ(portrait.gps.pdop.rect, Row(143, 176, 283));
  EXPECT_EQ(portrait.gps.sat_label, (Point{181, 283}));
  EXPECT_EQ(portrait.gps.satellites.rect, Row(206, 221, 283));
}

}  // namespace
}  // namespace tq
