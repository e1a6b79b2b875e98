// Per-kind defaults and the pixel factors of the profile scales.
#include <gtest/gtest.h>

#include <cmath>

#include "settings/settings.h"

namespace tq {
namespace {

struct KindDefaultsRow {
  int32_t kind;
  int32_t component;
  int32_t dipole_mode;
};

class ApplyKindDefaultsTest : public ::testing::TestWithParam<KindDefaultsRow> {};

TEST_P(ApplyKindDefaultsTest, SetsComponentAndDipoleOfTheKind) {
  const KindDefaultsRow& row = GetParam();
  SettingsStore s;
  s.Component = 1;
  s.DipoleMode = 1;
  ApplyKindDefaults(s, {row.kind, 1, 0});
  EXPECT_EQ(s.Component, row.component);
  EXPECT_EQ(s.DipoleMode, row.dipole_mode);
}

INSTANTIATE_TEST_SUITE_P(AllKinds, ApplyKindDefaultsTest,
                         ::testing::Values(KindDefaultsRow{0, 0, 0}, KindDefaultsRow{1, 0, 0},
                                           KindDefaultsRow{2, 2, 2}, KindDefaultsRow{3, 2, 0},
                                           KindDefaultsRow{4, 2, 0}, KindDefaultsRow{5, 0, 0},
                                           KindDefaultsRow{6, 0, 0}, KindDefaultsRow{7, 0, 0}));

TEST(ApplyKindDefaultsScalesTest, OrdinaryKindsKeepTheirScalesAndGetTheirFactors) {
  SettingsStore s;
  ApplyKindDefaults(s, {kKindTq68Mk2, 1, 0});
  EXPECT_EQ(s.CondScaleMax, 500.0f);
  EXPECT_FLOAT_EQ(s.CondPixelsPerUnit, 180.0f / 500.0f);
  EXPECT_FLOAT_EQ(s.InphasePixelsPerUnit, 180.0f / 50.0f);
}

TEST(ApplyKindDefaultsScalesTest, IceMeterUsesThicknessAndInphaseScales) {
  SettingsStore s;
  ApplyKindDefaults(s, {kKindFrz62, 1, 0});
  EXPECT_EQ(s.CondScaleMin, 0.0f);
  EXPECT_EQ(s.CondScaleMax, 10.0f);
  EXPECT_EQ(s.InphaseScaleMin, 0.0f);
  EXPECT_EQ(s.InphaseScaleMax, 20.0f);
  EXPECT_FLOAT_EQ(s.CondPixelsPerUnit, 18.0f);
  EXPECT_FLOAT_EQ(s.InphasePixelsPerUnit, 9.0f);
}

TEST(ApplyKindDefaultsScalesTest, Tq62WithIceOptionGetsTheIceFactor) {
  SettingsStore s;
  ApplyKindDefaults(s, {kKindTq62, 1, 1});
  EXPECT_FLOAT_EQ(s.IcePixelsPerUnit, 180.0f / 5.0f);
}

TEST(UpdatePixelFactorsTest, FollowsPlotHeightAndScales) {
  SettingsStore s;
  s.PlotHeight = 240;
  s.CondScaleMin = 100.0f;
  s.CondScaleMax = 300.0f;
  s.IceScaleMax = 2.0f;
  UpdatePixelFactors(s, {kKindTq62, 1, 1});
  EXPECT_FLOAT_EQ(s.CondPixelsPerUnit, 1.2f);
  EXPECT_FLOAT_EQ(s.InphasePixelsPerUnit, 4.8f);
  EXPECT_FLOAT_EQ(s.IcePixelsPerUnit, 120.0f);
}

TEST(UpdatePixelFactorsTest, ScaleWithTopEqualToBottomGivesZeroNotInfinity) {
  SettingsStore s;
  s.CondScaleMin = s.CondScaleMax = 50.0f;
  s.InphaseScaleMin = s.InphaseScaleMax = 0.0f;
  s.IceScaleMin = s.IceScaleMax = -1.0f;
  UpdatePixelFactors(s, {kKindTq62, 1, 1});
  EXPECT_EQ(s.CondPixelsPerUnit, 0.0f);
  EXPECT_EQ(s.InphasePixelsPerUnit, 0.0f);
  EXPECT_EQ(s.IcePixelsPerUnit, 0.0f);
}

TEST(PixelsPerUnitTest, ExtremeScalesStayFinite) {
  EXPECT_TRUE(std::isfinite(PixelsPerUnit(180, -3.0e38f, 3.0e38f)));
  EXPECT_TRUE(std::isfinite(PixelsPerUnit(180, 0.0f, 1.0e-44f)));
  EXPECT_FLOAT_EQ(PixelsPerUnit(180, 25.0f, -25.0f), -3.6f);  // a flipped scale draws upside down
}

}  // namespace
}  // namespace tq
