// Panel texts a reading draws, per kind and in both screen orientations.
#include <gtest/gtest.h>

#include <string_view>

#include "acquisition/reading_steps.h"
#include "ice/ice_thickness.h"
#include "tests/instrument/decoding_frames.h"

namespace tq {
namespace {

class PanelTextTest : public ::testing::Test {
 protected:
  PanelUpdate Monitor(int32_t kind, std::string_view frame, bool portrait) {
    run.InstrumentKind = kind;
    run.logging = LoggingState::Monitor;
    run.Portrait = portrait;
    return DecideInstrumentReading(testing::FrameBytes(frame), run, state, position).panel;
  }

  SettingsStore s;
  StationGroup group;
  SurveyPosition position{s, group};
  ReadingHandlerState state;
  ReadingRun run;
};

TEST_F(PanelTextTest, Tq62VerticalReading) {
  PanelUpdate p = Monitor(kKindTq62, "T6-0400+0200", true);
  EXPECT_EQ(p.instrument_mode.view(), "Mode:V");
  EXPECT_EQ(p.conductivity.view(), "C:100.00  mS/m");
  EXPECT_EQ(p.inphase.view(), "I:-0.50   ppt");
  EXPECT_EQ(p.range.view(), "Vertical Dipoles   Range:1000");
  EXPECT_FALSE(p.thickness.drawn());
  EXPECT_EQ(p.marker.view(), " ");

  PanelUpdate l = Monitor(kKindTq62, "T6-0400+0200", false);
  EXPECT_EQ(l.conductivity.view(), "C:100.00  ");
  EXPECT_EQ(l.inphase.view(), "I:-0.50   ");
  EXPECT_EQ(l.range.view(), "Vertical  G1000");
}

TEST_F(PanelTextTest, Tq62HorizontalSmallRange) {
  // 0x02: horizontal, range code 2 -> range 10.
  EXPECT_EQ(Monitor(kKindTq62, "T\x02-0400+0000", true).range.view(),
            "Horizontal Dipoles   Range:10  ");
  EXPECT_EQ(Monitor(kKindTq62, "T\x02-0400+0000", false).range.view(), "Horizontal  G10  ");
}

TEST_F(PanelTextTest, Tq62BatteryFrame) {
  PanelUpdate p = Monitor(kKindTq62, "T7-0400+0200", true);
  EXPECT_EQ(p.conductivity.view(), "B:1.00    Volt");
  EXPECT_EQ(p.inphase.view(), "B:-0.50   Volt");
  EXPECT_EQ(p.range.view(), "Battery Levels");
  PanelUpdate l = Monitor(kKindTq62, "T7-0400+0200", false);
  EXPECT_EQ(l.conductivity.view(), "B:1.00    ");
  EXPECT_EQ(l.range.view(), "Battery Levels");
}

TEST_F(PanelTextTest, Tq62InphaseComponentLeavesConductivityAlone) {
  s.Component = 1;
  PanelUpdate p = Monitor(kKindTq62, "T6-0400+0200", true);
  EXPECT_FALSE(p.conductivity.drawn());
  EXPECT_EQ(p.inphase.view(), "I:25.00   ppt");
}

TEST_F(PanelTextTest, ModeFieldFollowsTheKindsList) {
  s.DipoleMode = 2;
  EXPECT_EQ(Monitor(kKindTq62, "T6-0400+0200", true).instrument_mode.view(), "Mode:B");
  s.Component = 2;
  EXPECT_EQ(Monitor(kKindTq68dd, "T'-0100+0050", true).instrument_mode.view(), "Mode:C");
  EXPECT_FALSE(Monitor(kKindTq93, "T$-0040+0100", true).instrument_mode.drawn());
  s.DipoleMode = 7;  // a damaged settings file: no table is read past its end
  EXPECT_EQ(Monitor(kKindTq68b, "T1-1000-0800", true).instrument_mode.view(), "Mode:?");
}

TEST_F(PanelTextTest, Tq64ModeFieldDependsOnHowTheRunBegan) {
  s.DipoleMode = 3;
  EXPECT_EQ(Monitor(kKindTq64, "T\x13-1000", true).instrument_mode.view(), "M:H10");
  run.began_manual = true;
  EXPECT_EQ(Monitor(kKindTq64, "T\x13-1000", true).instrument_mode.view(), "Rdgs:4");
}

TEST_F(PanelTextTest, Tq68bShowsBothRanges) {
  PanelUpdate p = Monitor(kKindTq68b, "T1-1000-0800", false);
  EXPECT_EQ(p.conductivity.view(), "C:100.00  ");
  EXPECT_EQ(p.inphase.view(), "I:0.36    ");
  EXPECT_EQ(p.range.view(), "Vertical G1000,100 ");
  EXPECT_EQ(Monitor(kKindTq68b, "T\x02-0100-0100", true).range.view(), "Horizontal G100 ,1000");
}

TEST_F(PanelTextTest, Tq68ddQuantities) {
  PanelUpdate c = Monitor(kKindTq68dd, "T'-0100+0050", true);
  EXPECT_EQ(c.conductivity.view(), "CV:100.00  ");
  EXPECT_EQ(c.inphase.view(), "CH:-50.00  ");
  EXPECT_EQ(c.range.view(), "Conductivity [mS/m]  Range:1000");
  EXPECT_EQ(Monitor(kKindTq68dd, "T'-0100+0050", false).range.view(), "Conductivity  G1000");
  PanelUpdate i = Monitor(kKindTq68dd, "T#-1000+0500", true);
  EXPECT_EQ(i.conductivity.view(), "IV:28.80   ");
  EXPECT_EQ(i.inphase.view(), "IH:-14.40  ");
  EXPECT_EQ(i.range.view(), "      Inphase [ppt]  Range:1000");
  EXPECT_EQ(Monitor(kKindTq68dd, "T#-1000+0500", false).range.view(), "Inphase  G1000");
}

TEST_F(PanelTextTest, Tq68InphaseFrameUsesTheFirstLine) {
  PanelUpdate p = Monitor(kKindTq68, "T\x13-1000", true);
  EXPECT_EQ(p.conductivity.view(), "I:3.60    ppt");
  EXPECT_FALSE(p.inphase.drawn());
  EXPECT_EQ(p.range.view(), "Horizontal Dipoles   Range:1000");
  EXPECT_EQ(Monitor(kKindTq68, "T\x13-1000", false).conductivity.view(), "I:3.60    ");
}

TEST_F(PanelTextTest, Tq64ShowsTheSeparation) {
  PanelUpdate p = Monitor(kKindTq64, "T\x13-1000", true);
  EXPECT_EQ(p.conductivity.view(), "C:7.50    mS/m");
  EXPECT_EQ(p.inphase.view(), "Sep:10 m");
  EXPECT_EQ(p.range.view(), "Vertical Dipoles   Range:30  ");
  EXPECT_EQ(Monitor(kKindTq64, "T\x13-1000", false).range.view(), "Vertical  G30  ");
}

TEST_F(PanelTextTest, Tq93HasNoRangeLine) {
  PanelUpdate p = Monitor(kKindTq93, "T$-0040+0100", true);
  EXPECT_EQ(p.conductivity.view(), "C:100.00  ");
  EXPECT_EQ(p.inphase.view(), "Sep:-25.00   m");
  EXPECT_FALSE(p.range.drawn());
}

TEST_F(PanelTextTest, MarkerFieldReducesTheStatusBeforeTesting) {
  // 'v' = 0x36 + 64: marked.
  EXPECT_EQ(Monitor(kKindTq62, "Tv-0400+0200", true).marker.view(), "M");
  // Exactly 128 decodes as marked but reduces to 0 for the marker field.
  EXPECT_EQ(Monitor(kKindTq62, "T\x80-0400+0000", true).marker.view(), " ");
  EXPECT_EQ(Monitor(kKindTq62, "T\xc0-0400+0000", true).marker.view(), "M");
}

class IceOptionPanelTest : public PanelTextTest {
 protected:
  void SetUp() override {
    s.IceOption = 1;
    s.Tq62Variant = 0;
    s.SeaWaterIndex = 0;  // Standard, 2000 mS/m
    LoadIceThicknessTable(0, s);
  }
  // 0x16: horizontal, range code 6, k = -0.25: field 1 of -2000 reads 500 mS/m.
  static constexpr std::string_view kHorizontal500 = "T\x16-2000+0000";
};

TEST_F(IceOptionPanelTest, ThicknessInMetresAndFeet) {
  PanelUpdate p = Monitor(kKindTq62, kHorizontal500, true);
  EXPECT_EQ(p.thickness.view(), "Th: 0.93    m");  // 500 mS/m is 0.9253 m
  EXPECT_EQ(p.range.view(), "Mode:H  R:1000");
  PanelUpdate l = Monitor(kKindTq62, kHorizontal500, false);
  EXPECT_EQ(l.thickness.view(), "T[m]:0.93    ");
  EXPECT_EQ(l.range.view(), "H G1000");
  s.Units = 1;
  EXPECT_EQ(Monitor(kKindTq62, kHorizontal500, true).thickness.view(), "Th: 3.04    ft");
  EXPECT_EQ(Monitor(kKindTq62, kHorizontal500, false).thickness.view(), "T[ft]:3.04    ");
}

TEST_F(IceOptionPanelTest, VerticalAndOutOfRangeReadings) {
  PanelUpdate v = Monitor(kKindTq62, "T6-2000+0000", true);
  EXPECT_EQ(v.thickness.view(), "Th: N/A in mode V");
  EXPECT_EQ(v.range.view(), "Mode:V  R:1000");
  EXPECT_EQ(Monitor(kKindTq62, "T6-2000+0000", false).thickness.view(), "T:N/A in V");
  // 1100 mS/m lies above the 1024.2 of 0.0 m.
  EXPECT_EQ(Monitor(kKindTq62, "T\x16-4400+0000", true).thickness.view(), "T: Out of Range");
  EXPECT_EQ(Monitor(kKindTq62, "T\x16-4400+0000", false).thickness.view(), "T:Off Range");
  EXPECT_FALSE(Monitor(kKindTq62, "T7-2000+0000", true).thickness.drawn());  // battery frame
}

TEST_F(IceOptionPanelTest, ThicknessIsPlottedOnlyInRange) {
  s.ShowProfile = 1;
  s.IcePixelsPerUnit = 36.0f;  // 0..5 m over 180 pixels
  s.SurveyMode = kSurveyModeAuto;
  run.InstrumentKind = kKindTq62;
  run.logging = LoggingState::Logging;
  auto in_range = testing::FrameBytes(kHorizontal500);
  ReadingStep step = DecideInstrumentReading(in_range, run, state, position);
  EXPECT_NEAR(step.thickness, 0.9253f, 1e-4f);
  EXPECT_TRUE(step.reading.channels[4].present);
  EXPECT_TRUE(step.profile_rows[4].present);
  EXPECT_EQ(step.profile_rows[4].y, 146);  // (5 - 0.9253) x 36
  EXPECT_FALSE(step.profile_rows[1].present);

  auto too_thin = testing::FrameBytes("T\x16-4400+0000");
  ReadingStep out = DecideInstrumentReading(too_thin, run, state, position);
  EXPECT_LT(out.thickness, 0.0f);
  EXPECT_FALSE(out.reading.channels[4].present);
  EXPECT_FALSE(out.profile_rows[4].present);

  auto vertical = testing::FrameBytes("T6-2000+0000");
  ReadingStep v = DecideInstrumentReading(vertical, run, state, position);
  EXPECT_EQ(v.thickness, -99.0f);
  EXPECT_FALSE(v.reading.channels[4].present);
}

class Mk2PanelTest : public PanelTextTest {
 protected:
  PanelUpdate Binary(uint8_t status, bool portrait) {
    run.InstrumentKind = kKindTq68Mk2;
    run.logging = LoggingState::Monitor;
    run.Portrait = portrait;
    // A = B = 33792 (u = 40), C = 34816 (u = 80), D = 35840 (u = 120).
    auto frame = testing::Mk2Frame('T', status, 33792, 33792, 34816, 35840, 0, 0);
    return DecideBinaryReading(frame, run, state, position).panel;
  }
};

TEST_F(Mk2PanelTest, BothCoilPairsInBothOrientations) {
  PanelUpdate p = Binary(6, true);
  EXPECT_EQ(p.instrument_mode.view(), "Mode:V");
  EXPECT_EQ(p.dipole.view(), "Ver");
  EXPECT_EQ(p.conductivity.view(), "C:40.00   mS/m");
  EXPECT_EQ(p.inphase.view(), "I:1.15    ppt");     // 40 x 0.028819
  EXPECT_EQ(p.conductivity2.view(), "c:80.00   mS/m");
  EXPECT_EQ(p.inphase2.view(), "i:0.86    ppt");    // 120 x 0.00720475
  EXPECT_EQ(p.marker.view(), " ");
  PanelUpdate l = Binary(2, false);
  EXPECT_EQ(l.dipole.view(), "Hor");
  EXPECT_EQ(l.conductivity.view(), "C:40.00   ");
  EXPECT_EQ(l.inphase2.view(), "i:0.86    ");
}

TEST_F(Mk2PanelTest, OneCoilPairVariantAndMarker) {
  s.Mk2Variant = 1;
  PanelUpdate p = Binary(22, true);
  EXPECT_FALSE(p.conductivity2.drawn());
  EXPECT_FALSE(p.inphase2.drawn());
  EXPECT_EQ(p.marker.view(), "M");
}

}  // namespace
}  // namespace tq
