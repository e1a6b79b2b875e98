// Readings of the walk as each kind sends them, and the walk itself.
#include "tools/sim/instrument_readings.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <numbers>
#include <string>
#include <vector>

#include "tools/sim/survey_walk.h"

namespace tq::sim {
namespace {

std::string Text(const std::vector<uint8_t>& bytes) { return {bytes.begin(), bytes.end()}; }

// A reading with round numbers, so the expected frames can be worked out by
// hand: field = value / factor of the range the instrument would pick.
WalkSample RoundSample() {
  WalkSample s;
  s.conductivity = 30.0;
  s.inphase = 3.0;
  s.conductivity2 = 24.0;
  s.inphase2 = 1.5;
  s.ice_thickness_m = 1.53;
  s.ice_inphase = 407;
  s.vertical = true;
  s.marker = false;
  return s;
}

TEST(InstrumentReadingTest, Tq62PicksTheHundredRangeForThirtyMillisiemens) {
  // 30 / -0.0025 overflows four digits; 30 / -0.025 = -1200 with code 4.
  // Status 32 + 4 = '$'; inphase 3 / -0.0025 = -1200.
  EXPECT_EQ(Text(EncodeReading(0, 12, RoundSample(), 0)), "T$-1200-1200\r");
}

TEST(InstrumentReadingTest, MarkerAndHorizontalDipoleShowInTheStatus) {
  WalkSample s = RoundSample();
  s.marker = true;
  EXPECT_EQ(EncodeReading(0, 12, s, 0)[1], 64 + 32 + 4);
  s.vertical = false;
  EXPECT_EQ(EncodeReading(0, 12, s, 0)[1], 64 + 4);
}

TEST(InstrumentReadingTest, Tq68bSendsInphaseFirstWithItsOwnRange) {
  // Fine ranges: inphase 3 / -0.00288 = -1041.7, conductivity 30 / -0.1.
  EXPECT_EQ(Text(EncodeReading(1, 12, RoundSample(), 0)), "T -1042-0300\r");
  WalkSample big = RoundSample();
  big.conductivity = 1500.0;  // needs -1.0
  big.inphase = 30.0;         // needs -0.0288
  EXPECT_EQ(Text(EncodeReading(1, 12, big, 0)), "T#-1042-1500\r");
}

TEST(InstrumentReadingTest, Tq68ddAlternatesConductivityAndInphaseFrames) {
  // Conductivity frame: code 4, factor -0.1; field 1 vertical, field 2 the
  // second geometry. Inphase frame: code 0, factor -0.00288.
  EXPECT_EQ(Text(EncodeReading(2, 12, RoundSample(), 0)), "T$-0300-0240\r");
  EXPECT_EQ(Text(EncodeReading(2, 12, RoundSample(), 1)), "T -1042-0521\r");
  WalkSample big = RoundSample();
  big.conductivity = 1500.0;
  EXPECT_EQ(Text(EncodeReading(2, 12, big, 2)), "T'-1500-0024\r");
}

TEST(InstrumentReadingTest, Tq68SendsSevenOrTwelveCharacterFrames) {
  EXPECT_EQ(Text(EncodeReading(3, 7, RoundSample(), 0)), "T$-0300\r");
  EXPECT_EQ(Text(EncodeReading(3, 7, RoundSample(), 1)), "T -1042\r");
  EXPECT_EQ(Text(EncodeReading(3, 12, RoundSample(), 0)), "T$-0300-0240\r");
}

TEST(InstrumentReadingTest, Tq64UsesItsOwnRangesAndSeparationBits) {
  // 30 / -0.0075 = -4000 (code 3); V at 20 m sets no dipole or separation bit.
  EXPECT_EQ(Text(EncodeReading(4, 12, RoundSample(), 0)), std::string("T\x03-4000+0000\r"));
  WalkSample h = RoundSample();
  h.vertical = false;
  EXPECT_EQ(EncodeReading(4, 12, h, 0)[1], 32 + 3);
}

TEST(InstrumentReadingTest, Tq93SendsConductivityAndTheSecondValue) {
  // Code 1 is the fine range: 30 / -0.25 = -120; 3 / -0.25 = -12.
  EXPECT_EQ(Text(EncodeReading(5, 12, RoundSample(), 0)), "T!-0120-0012\r");
}

TEST(InstrumentReadingTest, Frz62SendsThicknessInCentimetresAndInphase) {
  EXPECT_EQ(Text(EncodeReading(6, 12, RoundSample(), 0)), "T153I407");
}

TEST(InstrumentReadingTest, Tq68Mk2SendsWordsOfThePhysicalValues) {
  // (30 / 8 + 160) * 1024 / 5 = 33536 = 0x8300; (24 / 8 + 160) * 204.8 =
  // 33382.4 -> 0x8266; 3 / 0.028819 -> 35432.9 -> 0x8A69;
  // 1.5 / 0.00720475 -> 38097.8 -> 0x94D2; E and F at mid-scale 0x8000.
  std::vector<uint8_t> expected = {'T',  6,    0x82, 0x66, 0x94, 0xD2, 0x83, 0x00,
                                   0x8A, 0x69, 0x80, 0x00, 0x80, 0x00, 0xFF, 0xFF};
  EXPECT_EQ(EncodeReading(7, 12, RoundSample(), 0), expected);
}

TEST(InstrumentReadingTest, Tq68Mk2StatusIsSixOrTwoAndCarriesNoMarker) {
  WalkSample s = RoundSample();
  s.marker = true;
  EXPECT_EQ(EncodeReading(7, 12, s, 0)[1], 6);
  s.vertical = false;
  EXPECT_EQ(EncodeReading(7, 12, s, 0)[1], 2);
}

TEST(InstrumentReadingTest, UnknownKindSendsNothing) {
  EXPECT_TRUE(EncodeReading(8, 12, RoundSample(), 0).empty());
  EXPECT_TRUE(EncodeReading(-1, 12, RoundSample(), 0).empty());
}

TEST(FramePeriodTest, FollowsFrameLengthAndKind) {
  EXPECT_EQ(FramePeriodMs(0, 12), 91);
  EXPECT_EQ(FramePeriodMs(5, 12), 91);
  EXPECT_EQ(FramePeriodMs(3, 12), 91);
  EXPECT_EQ(FramePeriodMs(3, 7), 72);
  EXPECT_EQ(FramePeriodMs(7, 12), 47);
  EXPECT_EQ(FramePeriodMs(6, 12), 1000);
}

TEST(SurveyWalkTest, WalksAtPaceAndTurnsAtTheEndOfTheLine) {
  WalkParams p;  // 1 m/s, 100 m, bearing 90
  WalkSample out = SampleWalk(p, 30.0, 0);
  EXPECT_DOUBLE_EQ(out.distance_m, 30.0);
  EXPECT_DOUBLE_EQ(out.course_deg, 90.0);
  WalkSample back = SampleWalk(p, 130.0, 0);
  EXPECT_DOUBLE_EQ(back.distance_m, 70.0);
  EXPECT_DOUBLE_EQ(back.course_deg, 270.0);
  EXPECT_DOUBLE_EQ(SampleWalk(p, 230.0, 0).distance_m, 30.0);
}

TEST(SurveyWalkTest, SameSpotGivesTheSameReadingBothWays) {
  WalkParams p;
  WalkSample out = SampleWalk(p, 30.0, 0);
  WalkSample back = SampleWalk(p, 170.0, 0);
  EXPECT_DOUBLE_EQ(out.conductivity, back.conductivity);
  EXPECT_DOUBLE_EQ(out.inphase2, back.inphase2);
  EXPECT_DOUBLE_EQ(out.longitude, back.longitude);
}

TEST(SurveyWalkTest, ConductivityVariesSmoothlyOverTheLine) {
  WalkParams p;
  double low = 1e9;
  double high = -1e9;
  double biggest_step = 0.0;
  double last = SampleWalk(p, 0.0, 0).conductivity;
  for (int i = 1; i < 2200; ++i) {  // one lap at 47 ms a frame
    double c = SampleWalk(p, i * 0.047, 0).conductivity;
    biggest_step = std::max(biggest_step, std::fabs(c - last));
    low = std::min(low, c);
    high = std::max(high, c);
    last = c;
  }
  EXPECT_GT(high - low, 10.0);
  EXPECT_LT(biggest_step, 0.5);
  EXPECT_GT(low, 0.0);
}

TEST(SurveyWalkTest, EastwardLineMovesLongitudeOnly) {
  WalkParams p;
  WalkSample start = SampleWalk(p, 0.0, 0);
  WalkSample end = SampleWalk(p, 100.0, 0);
  EXPECT_DOUBLE_EQ(start.latitude, 52.0);
  EXPECT_NEAR(end.latitude, 52.0, 1e-12);
  // 100 m east at 52 degrees north is 100 / (111320 cos 52) degrees.
  EXPECT_NEAR(end.longitude - 5.0, 100.0 / (111320.0 * std::cos(52.0 * std::numbers::pi / 180.0)), 1e-9);
}

TEST(SurveyWalkTest, MarkerEveryNthReading) {
  WalkParams p;
  p.marker_every = 25;
  std::vector<uint64_t> marked;
  for (uint64_t i = 0; i < 100; ++i) {
    if (SampleWalk(p, 0.0, i).marker) marked.push_back(i);
  }
  EXPECT_EQ(marked, (std::vector<uint64_t>{24, 49, 74, 99}));
  p.marker_every = 0;
  EXPECT_FALSE(SampleWalk(p, 0.0, 24).marker);
}

}  // namespace
}  // namespace tq::sim
