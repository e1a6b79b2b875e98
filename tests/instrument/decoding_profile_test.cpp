// Live profile rows: the per-kind scale sets and the value-to-pixel rule.
#include "instrument/decoding_profile.h"

#include <gtest/gtest.h>

#include <limits>

#include "settings/build_config.h"

namespace tq {
namespace {

TEST(ValueToPixel, TruncatesTowardsZero) {
  // Conductivity 0..500 over 180 pixels: 0.36 pixels per mS/m.
  EXPECT_EQ(ValueToPixel(100.0f, 500.0f, 0.36f), 144);
  EXPECT_EQ(ValueToPixel(0.0f, 500.0f, 0.36f), 180);
  // Inphase -25..25 over 180 pixels: 3.6 per ppt.
  EXPECT_EQ(ValueToPixel(-0.5f, 25.0f, 3.6f), 91);   // 91.8
  EXPECT_EQ(ValueToPixel(25.3f, 25.0f, 3.6f), -1);   // -1.08: towards zero, not -2
  EXPECT_EQ(ValueToPixel(30.0f, 25.0f, 3.6f), -18);  // above the top: not clipped
}

TEST(ValueToPixel, ValuesBeyondAnyScreenAreHeld) {
  EXPECT_EQ(ValueToPixel(-3.0e38f, 500.0f, 1000.0f), 1000000);
  EXPECT_EQ(ValueToPixel(std::numeric_limits<float>::quiet_NaN(), 500.0f, 0.36f), -1000000);
}

TEST(TraceScaleSets, PerKind) {
  using S = ScaleSet;
  EXPECT_EQ(TraceScaleSet(kKindTq62, false, 1), S::kConductivity);
  EXPECT_EQ(TraceScaleSet(kKindTq62, false, 3), S::kInphase);
  EXPECT_EQ(TraceScaleSet(kKindTq62, false, 4), S::kNone);
  EXPECT_EQ(TraceScaleSet(kKindTq62, true, 0), S::kNone);
  EXPECT_EQ(TraceScaleSet(kKindTq62, true, 4), S::kIceThickness);
  EXPECT_EQ(TraceScaleSet(kKindTq64, false, 5), S::kConductivity);
  EXPECT_EQ(TraceScaleSet(kKindTq64, false, 6), S::kNone);
  EXPECT_EQ(TraceScaleSet(kKindFrz62, false, 2), S::kInphase);
  EXPECT_EQ(TraceScaleSet(kKindFrz62, false, 1), S::kNone);
  for (size_t trace : {0u, 1u, 4u, 5u}) {
    EXPECT_EQ(TraceScaleSet(kKindTq68Mk2, false, trace), S::kConductivity);
  }
  for (size_t trace : {2u, 3u, 6u, 7u}) {
    EXPECT_EQ(TraceScaleSet(kKindTq68Mk2, false, trace), S::kInphase);
  }
  EXPECT_EQ(TraceScaleSet(kKindTq68Mk2, false, 8), S::kNone);
}

SettingsStore ScaledStore() {
  SettingsStore s;
  s.CondScaleMax = 500.0f;
  s.CondPixelsPerUnit = 0.36f;
  s.InphaseScaleMax = 25.0f;
  s.InphasePixelsPerUnit = 3.6f;
  s.IceScaleMax = 5.0f;
  s.IcePixelsPerUnit = 36.0f;
  return s;
}

TEST(ProfileRows, Mk2ChannelsLandOnTheirSets) {
  ProfileChannels channels{};
  channels[0] = {100.0f, true};
  channels[2] = {-0.5f, true};
  channels[4] = {0.0f, true};
  channels[6] = {30.0f, true};
  ProfileRows rows = ComputeProfileRows(channels, ScaledStore(), kKindTq68Mk2);
  EXPECT_TRUE(rows[0].present);
  EXPECT_EQ(rows[0].y, 144);
  EXPECT_EQ(rows[2].y, 91);
  EXPECT_EQ(rows[4].y, 180);
  EXPECT_EQ(rows[6].y, -18);
  for (size_t odd : {1u, 3u, 5u, 7u}) EXPECT_FALSE(rows[odd].present);
}

TEST(ProfileRows, Tq62ShowingIceDrawsOnlyTheThickness) {
  SettingsStore s = ScaledStore();
  s.IceOption = 1;
  s.ShowProfile = 1;
  ProfileChannels channels{};
  channels[1] = {500.0f, true};
  channels[3] = {1.0f, true};
  channels[4] = {0.9253f, true};
  ProfileRows rows = ComputeProfileRows(channels, s, kKindTq62);
  EXPECT_FALSE(rows[1].present);
  EXPECT_FALSE(rows[3].present);
  EXPECT_TRUE(rows[4].present);
  EXPECT_EQ(rows[4].y, 146);  // (5 - 0.9253) x 36 = 146.69
}

}  // namespace
}  // namespace tq
