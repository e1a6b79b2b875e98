// Converting a conductivity reading into an ice thickness: the worked values,
// the limits in single precision, the out-of-range results, the profile
// channel, and what happens when the table in use belongs to another index.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "ice/ice_thickness.h"

namespace tq {
namespace {

constexpr double kFourDecimals = 0.00005;
constexpr uint32_t kSea2000 = 0;
constexpr uint32_t kSea3000 = 10;

SettingsStore StoreFor(int32_t variant, int32_t show_profile = 0) {
  SettingsStore s;
  s.Tq62Variant = variant;
  s.ShowProfile = show_profile;
  return s;
}

// Each test loads its own table into the process-wide one.
class IceConversion : public ::testing::Test {
 protected:
  float Convert(float c, uint32_t index, const SettingsStore& s) {
    return ConductivityToIceThickness(c, index, s, nullptr);
  }
  float LoadAndConvert(float c, uint32_t index, const SettingsStore& s) {
    LoadIceThicknessTable(index, s);
    return Convert(c, index, s);
  }
};

TEST_F(IceConversion, StandardTwoThousandWorkedValues) {
  const SettingsStore s = StoreFor(0);
  EXPECT_NEAR(LoadAndConvert(90.188f, kSea2000, s), 3.5, kFourDecimals);
  EXPECT_NEAR(LoadAndConvert(500.0f, kSea2000, s), 0.9253, kFourDecimals);
  EXPECT_NEAR(LoadAndConvert(100.0f, kSea2000, s), 3.3103, kFourDecimals);
  EXPECT_NEAR(LoadAndConvert(30.0f, kSea2000, s), 6.1214, kFourDecimals);
}

TEST_F(IceConversion, MidwayBetweenEntriesGivesTheMidpointThickness) {
  EXPECT_NEAR(LoadAndConvert(987.305f, kSea2000, StoreFor(0)), 0.05, kFourDecimals);
}

TEST_F(IceConversion, ShortThreeThousandWorkedValues) {
  const SettingsStore s = StoreFor(1);
  EXPECT_EQ(LoadAndConvert(1966.0f, kSea3000, s), 0.0f);
  EXPECT_NEAR(LoadAndConvert(1000.0f, kSea3000, s), 0.5146, kFourDecimals);
  EXPECT_EQ(LoadAndConvert(17.7f, kSea3000, s), kIceThickerThanTable);
}

TEST_F(IceConversion, ThicknessGrowsAsConductivityFalls) {
  const SettingsStore s = StoreFor(0);
  LoadIceThicknessTable(kSea2000, s);
  float previous = -1.0f;
  for (float c = 1024.0f; c > 23.4f; c -= 0.5f) {
    const float t = Convert(c, kSea2000, s);
    ASSERT_GE(t, previous) << "at " << c;
    ASSERT_LE(t, 7.0f);
    previous = t;
  }
}

TEST_F(IceConversion, ExactTableEntriesGiveTheirTenthsOfAMetre) {
  const SettingsStore s = StoreFor(1);
  LoadIceThicknessTable(kSea2000, s);
  // 61.11 is the entry where the search splits (3.5 m). The float nearest the
  // last entry, 17.8, lies below it, so 7.0 m is reached from the next float up.
  EXPECT_NEAR(Convert(760.1f, kSea2000, s), 0.5, kFourDecimals);
  EXPECT_NEAR(Convert(61.11f, kSea2000, s), 3.5, kFourDecimals);
  EXPECT_NEAR(Convert(47.34f, kSea2000, s), 4.0, kFourDecimals);
  EXPECT_NEAR(Convert(std::nextafter(17.8f, 100.0f), kSea2000, s), 7.0, kFourDecimals);
}

TEST(IceLimitsInSinglePrecision, NearestFloatToLowerLimitFallsBelowIt) {
  ASSERT_LT(static_cast<double>(23.317f), 23.317);
  const SettingsStore s = StoreFor(0);
  LoadIceThicknessTable(kSea2000, s);
  EXPECT_EQ(ConductivityToIceThickness(23.317f, kSea2000, s, nullptr), kIceThickerThanTable);
}

TEST(IceLimitsInSinglePrecision, NearestFloatToUpperLimitStaysInside) {
  ASSERT_LT(static_cast<double>(1024.2f), 1024.2);
  const SettingsStore s = StoreFor(0);
  LoadIceThicknessTable(kSea2000, s);
  const float t = ConductivityToIceThickness(1024.2f, kSea2000, s, nullptr);
  EXPECT_GE(t, 0.0f);
  EXPECT_NEAR(t, 0.0, kFourDecimals);
}

TEST(IceOutOfRange, AboveUpperLimitIsThinnerThanTheTable) {
  const SettingsStore s = StoreFor(0);
  LoadIceThicknessTable(kSea2000, s);
  EXPECT_EQ(ConductivityToIceThickness(1024.3f, kSea2000, s, nullptr), -999.0f);
}

TEST(IceOutOfRange, BelowLowerLimitIsThickerThanTheTable) {
  const SettingsStore s = StoreFor(0);
  LoadIceThicknessTable(kSea2000, s);
  EXPECT_EQ(ConductivityToIceThickness(23.3f, kSea2000, s, nullptr), -99.0f);
}

TEST(IceOutOfRange, NotANumberIsNeverAThickness) {
  const SettingsStore s = StoreFor(0);
  LoadIceThicknessTable(kSea2000, s);
  EXPECT_LT(ConductivityToIceThickness(std::numeric_limits<float>::quiet_NaN(), kSea2000,
                                       s, nullptr),
            0.0f);
}

TEST(IceProfileChannel, ShowingIceThicknessStoresEveryResult) {
  const SettingsStore s = StoreFor(0, /*show_profile=*/1);
  LoadIceThicknessTable(kSea2000, s);
  IceProfileSlot channel4;
  EXPECT_NEAR(ConductivityToIceThickness(500.0f, kSea2000, s, &channel4), 0.9253,
              kFourDecimals);
  EXPECT_TRUE(channel4.present);
  EXPECT_NEAR(channel4.value, 0.9253, kFourDecimals);

  // Out-of-range results go to the channel as they are.
  IceProfileSlot out_of_range;
  ConductivityToIceThickness(2000.0f, kSea2000, s, &out_of_range);
  EXPECT_TRUE(out_of_range.present);
  EXPECT_EQ(out_of_range.value, -999.0f);
}

TEST(IceProfileChannel, ShowingConductivityLeavesTheChannelAlone) {
  const SettingsStore s = StoreFor(0, /*show_profile=*/0);
  LoadIceThicknessTable(kSea2000, s);
  IceProfileSlot channel4{12.5f, false};
  ConductivityToIceThickness(500.0f, kSea2000, s, &channel4);
  EXPECT_FALSE(channel4.present);
  EXPECT_EQ(channel4.value, 12.5f);
}

TEST(IceTableLoading, FollowsTheVariantInTheSettings) {
  IceThicknessTable.fill(0.0);
  LoadIceThicknessTable(kSea3000, StoreFor(1));
  EXPECT_EQ(IceThicknessTable[0], 1966.0);
  EXPECT_EQ(IceThicknessTable[5], 1018.0);
  LoadIceThicknessTable(kSea3000, StoreFor(0));
  EXPECT_EQ(IceThicknessTable[0], 1283.5);
  EXPECT_EQ(IceThicknessTable[70], 23.081);
}

TEST(IceTableLoading, IndexAboveTenLeavesTheTableUnchanged) {
  LoadIceThicknessTable(3, StoreFor(1));
  const IceTable before = IceThicknessTable;
  LoadIceThicknessTable(11, StoreFor(0));
  LoadIceThicknessTable(0xFFFFFFFFu, StoreFor(0));
  EXPECT_EQ(IceThicknessTable, before);
  EXPECT_EQ(IceThicknessTable[0], 1598.0);
}

// The operator changed the sea water in the settings but the table was not
// reloaded: the limits come from the new index, the lookup from the old table.
TEST(IceIndexChangedWithoutReload, LookupStillUsesTheLoadedTable) {
  const SettingsStore s = StoreFor(0);
  LoadIceThicknessTable(kSea3000, s);
  // 574.237 is the 1.0 m value of the 3000 mS/m table; the 2000 mS/m table
  // would put it between 0.7 and 0.8 m.
  EXPECT_NEAR(ConductivityToIceThickness(574.237f, kSea2000, s, nullptr), 1.0, kFourDecimals);
}

TEST(IceIndexChangedWithoutReload, LimitsFollowTheNewIndex) {
  const SettingsStore s = StoreFor(0);
  LoadIceThicknessTable(kSea3000, s);
  // Inside the loaded table (up to 1283.5) but above the 2000 mS/m limit.
  EXPECT_EQ(ConductivityToIceThickness(1100.0f, kSea2000, s, nullptr), kIceThinnerThanTable);
  // Inside the loaded table (down to 23.081) but below the 2000 mS/m limit.
  EXPECT_EQ(ConductivityToIceThickness(23.2f, kSea2000, s, nullptr), kIceThickerThanTable);
}

TEST(IceIndexChangedWithoutReload, ReadingTheOldTableCannotPlaceIsOutOfRange) {
  const SettingsStore s = StoreFor(0);
  LoadIceThicknessTable(kSea2000, s);
  // Both pass the 3000 mS/m limits but lie beyond the 2000 mS/m table's ends.
  EXPECT_EQ(ConductivityToIceThickness(1100.0f, kSea3000, s, nullptr), kIceThinnerThanTable);
  EXPECT_EQ(ConductivityToIceThickness(23.2f, kSea3000, s, nullptr), kIceThickerThanTable);
}

TEST(IceIndexAboveTen, OnlyTheLoadedTableBoundsTheReading) {
  const SettingsStore s = StoreFor(0);
  LoadIceThicknessTable(kSea2000, s);
  EXPECT_NEAR(ConductivityToIceThickness(500.0f, 11, s, nullptr), 0.9253, kFourDecimals);
  EXPECT_EQ(ConductivityToIceThickness(1100.0f, 11, s, nullptr), kIceThinnerThanTable);
  EXPECT_EQ(ConductivityToIceThickness(20.0f, 11, s, nullptr), kIceThickerThanTable);
}

TEST(PureIceThickness, UsesOnlyTheTableAndLimitsItIsGiven) {
  const IceTable& table = *FindStoredIceTable(0, kSea2000);
  EXPECT_NEAR(ComputeIceThickness(100.0f, table, FindIceLimits(0, kSea2000)), 3.3103,
              kFourDecimals);
  EXPECT_NEAR(ComputeIceThickness(30.0f, table, std::nullopt), 6.1214, kFourDecimals);
  EXPECT_EQ(ComputeIceThickness(30.0f, table, IceLimits{1024.2, 31.0}), kIceThickerThanTable);
}

}  // namespace
}  // namespace tq
