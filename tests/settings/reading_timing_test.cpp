// Frames per reading interval and whole readings per second.
#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>

#include "settings/settings.h"

namespace tq {
namespace {

TEST(ComputeReadingTimingTest, FifthOfASecondAtThreeFramePeriods) {
  EXPECT_EQ(ComputeReadingTiming(0.2f, 72.0f, 20).FramesPerInterval, 3);
  EXPECT_EQ(ComputeReadingTiming(0.2f, 91.0f, 11).FramesPerInterval, 2);
  EXPECT_EQ(ComputeReadingTiming(0.2f, 47.0f, 20).FramesPerInterval, 4);
  // 1 / 0.2f in double is just under 5.
  EXPECT_EQ(ComputeReadingTiming(0.2f, 91.0f, 11).ReadingsPerSecond, 4);
  EXPECT_EQ(ComputeReadingTiming(0.05f, 47.0f, 20).ReadingsPerSecond, 19);
}

TEST(ComputeReadingTimingTest, OneSecondOrLongerGivesOneReadingPerSecond) {
  ReadingTiming one = ComputeReadingTiming(1.0f, 91.0f, 11);
  EXPECT_EQ(one.ReadingsPerSecond, 1);
  EXPECT_EQ(one.FramesPerInterval, 11);
  ReadingTiming two = ComputeReadingTiming(2.0f, 91.0f, 11);
  EXPECT_EQ(two.ReadingsPerSecond, 1);
  EXPECT_EQ(two.FramesPerInterval, 22);
  EXPECT_EQ(ComputeReadingTiming(1.5f, 47.0f, 20).ReadingsPerSecond, 1);
}

TEST(ComputeReadingTimingTest, ClampsToTheKindsRange) {
  EXPECT_EQ(ComputeReadingTiming(0.05f, 91.0f, 11).ReadingsPerSecond, 11);
  EXPECT_EQ(ComputeReadingTiming(0.01f, 47.0f, 20).ReadingsPerSecond, 20);
  EXPECT_EQ(ComputeReadingTiming(0.01f, 47.0f, 20).FramesPerInterval, 1);
  // 1 / 0 has no upper bound, so a zero interval takes the upper clamp like
  // any tiny one, and one frame makes a reading (0.5 rounds down to 0, then 1).
  EXPECT_EQ(ComputeReadingTiming(0.0f, 91.0f, 11).ReadingsPerSecond, 11);
  EXPECT_EQ(ComputeReadingTiming(0.0f, 47.0f, 20).ReadingsPerSecond, 20);
  EXPECT_EQ(ComputeReadingTiming(0.0f, 91.0f, 11).FramesPerInterval, 1);
}

TEST(ComputeReadingTimingTest, DamagedIntervalsGiveBoundedCounts) {
  ReadingTiming huge = ComputeReadingTiming(FLT_MAX, 47.0f, 20);
  EXPECT_EQ(huge.FramesPerInterval, INT32_MAX);
  EXPECT_EQ(huge.ReadingsPerSecond, 1);
  EXPECT_EQ(ComputeReadingTiming(-5.0f, 91.0f, 11).FramesPerInterval, 1);
  EXPECT_EQ(ComputeReadingTiming(-5.0f, 91.0f, 11).ReadingsPerSecond, 1);
  EXPECT_EQ(ComputeReadingTiming(1.0e-44f, 91.0f, 11).ReadingsPerSecond, 11);
  EXPECT_EQ(ComputeReadingTiming(std::nanf(""), 91.0f, 11).FramesPerInterval, 1);
}

TEST(UpdateReadingTimingTest, FramePeriodAndLimitsFollowTheKind) {
  SettingsStore mk2;
  mk2.ReadingInterval = 0.04f;
  UpdateReadingTiming(mk2, {kKindTq68Mk2, 1, 0});
  EXPECT_EQ(mk2.FramePeriodMs, 47.0f);
  EXPECT_EQ(mk2.FramesPerInterval, 1);
  EXPECT_EQ(mk2.ReadingsPerSecond, 20);

  SettingsStore tq68;
  tq68.ReadingInterval = 0.05f;
  UpdateReadingTiming(tq68, {kKindTq68, 1, 0});
  EXPECT_EQ(tq68.FramePeriodMs, 91.0f);
  EXPECT_EQ(tq68.ReadingsPerSecond, 11);
}

TEST(UpdateReadingTimingTest, ATq68KeepsTheShortFramesItsInstrumentWasSeenSending) {
  SettingsStore tq68;
  tq68.FramePeriodMs = 72.0f;  // as the frame length probe leaves it
  tq68.ReadingInterval = 0.08f;
  UpdateReadingTiming(tq68, {kKindTq68, 1, 0});
  EXPECT_EQ(tq68.FramePeriodMs, 72.0f);
  EXPECT_EQ(tq68.FramesPerInterval, 1);
  EXPECT_EQ(tq68.ReadingsPerSecond, 12);  // the short frames' clamp is 14, not 11
}

TEST(UpdateReadingTimingTest, IceMeterIsFixedAtOneReadingPerSecond) {
  SettingsStore s;
  s.ReadingInterval = 0.2f;
  UpdateReadingTiming(s, {kKindFrz62, 1, 0});
  EXPECT_EQ(s.ReadingInterval, 1.0f);
  EXPECT_EQ(s.FramesPerInterval, 1);
  EXPECT_EQ(s.ReadingsPerSecond, 1);
}

}  // namespace
}  // namespace tq
