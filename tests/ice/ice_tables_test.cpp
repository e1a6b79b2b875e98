// The stored tables: measured values kept exactly, every table usable for a
// lookup (strictly decreasing), and the limits equal to the table ends.
#include <gtest/gtest.h>

#include <array>

#include "ice/ice_tables.h"
#include "ice/ice_thickness.h"

namespace tq {
namespace {

constexpr std::array<int, 10> kKnotEntries = {0, 5, 10, 20, 30, 35, 40, 50, 60, 70};
using KnotRow = std::array<double, 10>;

// Measured values at 0.0, 0.5, 1.0, 2.0, 3.0, 3.5, 4.0, 5.0, 6.0, 7.0 m.
constexpr std::array<KnotRow, 11> kStandardKnots = {{
    {1024.2, 697.896, 471.421, 225.331, 119.257, 90.188, 69.866, 44.825, 31.187, 23.317},
    {1054.8, 717.723, 483.721, 229.941, 121.023, 91.288, 70.55, 45.076, 31.26, 23.317},
    {1084.3, 736.776, 495.504, 234.31, 122.672, 92.306, 71.175, 45.298, 31.318, 23.31},
    {1112.7, 755.095, 506.799, 238.457, 124.214, 93.249, 71.747, 45.493, 31.363, 23.296},
    {1140, 772.715, 517.634, 242.394, 125.658, 94.123, 72.272, 45.665, 31.397, 23.276},
    {1166.2, 789.67, 528.033, 246.137, 127.011, 94.935, 72.753, 45.815, 31.42, 23.252},
    {1191.5, 805.992, 538.019, 249.697, 128.279, 95.688, 73.194, 45.946, 31.434, 23.224},
    {1215.8, 821.709, 547.614, 253.087, 129.47, 96.389, 73.598, 46.06, 31.44, 23.193},
    {1239.3, 836.848, 556.837, 256.315, 130.588, 97.04, 73.968, 46.158, 31.439, 23.158},
    {1261.8, 851.435, 565.705, 259.392, 131.639, 97.645, 74.308, 46.242, 31.431, 23.121},
    {1283.5, 865.493, 574.237, 262.328, 132.626, 98.209, 74.619, 46.313, 31.418, 23.081},
}};

constexpr std::array<KnotRow, 11> kShortKnots = {{
    {1428, 760.1, 423.9, 165.7, 81.69, 61.11, 47.34, 31.08, 22.58, 17.8},
    {1486, 788.3, 437.8, 169.7, 83.07, 61.94, 47.84, 31.26, 22.63, 17.81},
    {1542, 815.8, 451.3, 173.6, 84.37, 62.72, 48.31, 31.43, 22.68, 17.81},
    {1598, 842.8, 464.5, 177.3, 85.6, 63.45, 48.75, 31.58, 22.73, 17.81},
    {1653, 869.3, 477.4, 180.9, 86.76, 64.14, 49.15, 31.72, 22.76, 17.81},
    {1707, 895.3, 490, 184.3, 87.87, 64.78, 49.53, 31.84, 22.79, 17.8},
    {1760, 920.8, 502.2, 187.6, 88.91, 65.39, 49.88, 31.95, 22.81, 17.79},
    {1813, 945.9, 514.2, 190.8, 89.91, 65.96, 50.21, 32.04, 22.83, 17.78},
    {1865, 970.5, 525.9, 193.9, 90.86, 66.49, 50.51, 32.13, 22.84, 17.76},
    {1916, 994.6, 537.3, 196.9, 91.76, 67, 50.8, 32.21, 22.85, 17.75},
    {1966, 1018, 548.4, 199.8, 92.61, 67.48, 51.06, 32.28, 22.85, 17.73},
}};

constexpr IceTable kStandard2000 = {
    1024.2, 950.41, 880.897, 815.665, 754.69, 697.896, 645.165, 596.343, 551.247, 509.677,
    471.421, 436.258, 403.971, 374.345, 347.171, 322.25, 299.397, 278.436, 259.202, 241.547,
    225.331, 210.428, 196.72, 184.104, 172.481, 161.766, 151.878, 142.745, 134.303, 126.492,
    119.257, 112.552, 106.33, 100.553, 95.183, 90.188, 85.537, 81.204, 77.162, 73.39,
    69.866, 66.572, 63.49, 60.605, 57.901, 55.366, 52.987, 50.754, 48.655, 46.682,
    44.825, 43.077, 41.431, 39.879, 38.415, 37.034, 35.729, 34.497, 33.332, 32.23,
    31.187, 30.2, 29.265, 28.378, 27.538, 26.741, 25.984, 25.265, 24.583, 23.934,
    23.317};

constexpr IceTable kShort2000 = {
    1428, 1260, 1110, 977.3, 861.2, 760.1, 672.4, 596.3, 530.5, 473.4,
    423.9, 380.7, 343.1, 310.2, 281.3, 255.8, 233.3, 213.4, 195.6, 179.8,
    165.7, 153, 141.6, 131.3, 122.1, 113.6, 106, 99.07, 92.75, 86.97,
    81.69, 76.85, 72.41, 68.33, 64.58, 61.11, 57.92, 54.96, 52.23, 49.69,
    47.34, 45.15, 43.12, 41.23, 39.47, 37.82, 36.29, 34.85, 33.51, 32.25,
    31.08, 29.97, 28.94, 27.96, 27.05, 26.19, 25.38, 24.61, 23.89, 23.22,
    22.58, 21.97, 21.4, 20.86, 20.35, 19.87, 19.41, 18.97, 18.56, 18.17,
    17.8};

struct Family {
  int32_t variant;
  const char* name;
  const std::array<KnotRow, 11>* knots;
};

constexpr std::array<Family, 2> kFamilies = {{
    {0, "Standard", &kStandardKnots},
    {1, "Short", &kShortKnots},
}};

TEST(StoredIceTables, HoldEveryMeasuredValueExactly) {
  for (const Family& family : kFamilies) {
    for (uint32_t index = 0; index < kSeaWaterIndexCount; ++index) {
      const IceTable* table = FindStoredIceTable(family.variant, index);
      ASSERT_NE(table, nullptr);
      for (size_t k = 0; k < kKnotEntries.size(); ++k) {
        EXPECT_EQ((*table)[static_cast<size_t>(kKnotEntries[k])], (*family.knots)[index][k])
            << family.name << " " << 2000 + 100 * index << " mS/m, entry " << kKnotEntries[k];
      }
    }
  }
}

TEST(StoredIceTables, MeasuredTwoThousandTablesAreStoredWhole) {
  EXPECT_EQ(*FindStoredIceTable(0, 0), kStandard2000);
  EXPECT_EQ(*FindStoredIceTable(1, 0), kShort2000);
}

TEST(StoredIceTables, EveryTableDecreasesStrictly) {
  for (const Family& family : kFamilies) {
    for (uint32_t index = 0; index < kSeaWaterIndexCount; ++index) {
      const IceTable& table = *FindStoredIceTable(family.variant, index);
      for (size_t i = 1; i < table.size(); ++i) {
        EXPECT_LT(table[i], table[i - 1])
            << family.name << " " << 2000 + 100 * index << " mS/m, entry " << i;
      }
    }
  }
}

// Filled entries follow the measured curve: between two knots each one stays
// within the range its neighbouring knots allow, and up to 6 m a saltier sea
// reads above the 2000 mS/m table, as every measured value there does.
TEST(StoredIceTables, FilledEntriesLieBetweenTheirKnots) {
  for (const Family& family : kFamilies) {
    for (uint32_t index = 1; index < kSeaWaterIndexCount; ++index) {
      const IceTable& table = *FindStoredIceTable(family.variant, index);
      const IceTable& base = *FindStoredIceTable(family.variant, 0);
      for (size_t k = 0; k + 1 < kKnotEntries.size(); ++k) {
        const auto a = static_cast<size_t>(kKnotEntries[k]);
        const auto b = static_cast<size_t>(kKnotEntries[k + 1]);
        for (size_t i = a + 1; i < b; ++i) {
          EXPECT_LT(table[i], table[a]);
          EXPECT_GT(table[i], table[b]);
          if (b <= 60) {
            EXPECT_GT(table[i], base[i]) << family.name << " index " << index;
          }
        }
      }
    }
  }
}

TEST(StoredIceTables, NoTableAboveIndexTen) {
  EXPECT_EQ(FindStoredIceTable(0, 11), nullptr);
  EXPECT_EQ(FindStoredIceTable(1, 0xFFFFFFFFu), nullptr);
  EXPECT_FALSE(FindIceLimits(0, 11).has_value());
}

TEST(StoredIceTables, UnknownVariantReadsTheStandardFamily) {
  EXPECT_EQ(FindStoredIceTable(2, 4), FindStoredIceTable(0, 4));
  EXPECT_EQ(FindStoredIceTable(-1, 4), FindStoredIceTable(0, 4));
}

TEST(IceLimits, AreTheEndsOfTheirTable) {
  for (const Family& family : kFamilies) {
    for (uint32_t index = 0; index < kSeaWaterIndexCount; ++index) {
      const std::optional<IceLimits> limits = FindIceLimits(family.variant, index);
      ASSERT_TRUE(limits.has_value());
      EXPECT_EQ(limits->upper, (*family.knots)[index].front());
      EXPECT_EQ(limits->lower, (*family.knots)[index].back());
    }
  }
}

}  // namespace
}  // namespace tq
