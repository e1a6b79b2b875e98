#include "plot/profile_grid.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "settings/build_config.h"
#include "settings/settings.h"

namespace tq {
namespace {

struct GridCase {
  const char* name;
  float bottom;
  float top;
  int32_t height;
  std::vector<int32_t> y;  // main line first
  int32_t main_width;
};

// Lines follow from the documented steps: a scale across zero gets its zero
// line and a step of the larger side / 5 (ratio above 4), / n (2..4), or the
// smaller side / 4 (ratio 1); any other scale gets H - p (H + 1).
TEST(GridTable, FollowsTheScaleForEveryShapeOfScale) {
  const std::vector<GridCase> cases = {
      {"zero line low, step 20, nothing below zero", -20, 100, 240, {200, 160, 120, 80, 40}, 2},
      {"no zero in range: 20 % lines", 0, 50, 240, {191, 143, 95, 47}, 1},
      {"all negative: 20 % lines", -50, -10, 200, {159, 119, 79, 39}, 1},
      {"upper part larger, ratio 3", -10, 30, 160, {120, 80, 40}, 2},
      {"lower part larger, ratio 3", -30, 10, 160, {40, 80, 120}, 2},
      {"equal halves, step of a quarter", -25, 25, 200, {100, 75, 50, 25, 125, 150, 175}, 2},
      {"ratio 1.4 fills all nine positions", -10, 14, 240,
       {140, 115, 90, 65, 40, 15, 165, 190, 215}, 2},
  };
  for (const GridCase& c : cases) {
    SCOPED_TRACE(c.name);
    float factor = PixelsPerUnit(c.height, c.bottom, c.top);
    GridTable grid = ComputeGridTable(c.bottom, c.top, factor, c.height);
    std::vector<int32_t> y(grid.y.begin(), grid.y.begin() + grid.count);
    EXPECT_EQ(y, c.y);
    EXPECT_EQ(grid.main_width, c.main_width);
  }
}

TEST(GridTable, ZeroLineOnTheTopEdgeStillGetsFiniteSteps) {
  // t x f truncates to 0: the ratio has no finite value and counts as large.
  float factor = PixelsPerUnit(200, -1000, 1);
  GridTable grid = ComputeGridTable(-1000, 1, factor, 200);
  ASSERT_GE(grid.count, 5);
  EXPECT_EQ(grid.y[0], 0);
  EXPECT_EQ(grid.y[1], 40);
  EXPECT_EQ(grid.y[4], 160);
}

// Six pixels a character, one more in bold: enough to check the placement.
int32_t FakeWidth(std::string_view text, bool bold) {
  return static_cast<int32_t>(text.size()) * 6 + (bold ? 1 : 0);
}

struct LabelCase {
  const char* name;
  int32_t kind;
  int32_t component;
  int32_t grid_for;
  bool ice_shown;
  std::vector<ScaleLabel> labels;
};

TEST(ScaleLabels, GroupsFormatsAndPlacesFollowTheKindAndComponent) {
  const ProfileGeometry g = ProfileGeometryFor(1, 232, 200);
  const int32_t h = 13;
  // W - (width + 3), never left of 202.
  const std::vector<LabelCase> cases = {
      {"both sets, conductivity grid", kKindTq68Mk2, 0, 0, false,
       {{"0", true, 222, 186}, {"500", true, 210, 0}, {"-25", false, 211, 172}, {"25", false, 217, 15}}},
      {"both sets, inphase grid", kKindTq68b, 0, 1, false,
       {{"0", false, 223, 186}, {"500", false, 211, 0}, {"-25", true, 210, 172}, {"25", true, 216, 15}}},
      {"inphase only: its labels take the outer places", kKindTq68dd, 1, 1, false,
       {{"-25", true, 210, 186}, {"25", true, 216, 0}}},
      {"conductivity only", kKindTq64, 2, 0, false, {{"0", true, 222, 186}, {"500", true, 210, 0}}},
      // "500.0" would start at 198: held at Lmin.
      {"FRZ62 thickness with a decimal", kKindFrz62, 0, 0, false,
       {{"0.0", true, 210, 186}, {"500.0", true, 202, 0}, {"-25", false, 211, 172},
        {"25", false, 217, 15}}},
      {"TQ62 ice thickness alone, always bold", kKindTq62, 0, 2, true,
       {{"0.0", true, 210, 186}, {"5.0", true, 210, 0}}},
  };
  for (const LabelCase& c : cases) {
    SCOPED_TRACE(c.name);
    SettingsStore s;
    s.Component = c.component;
    s.GridFor = c.grid_for;
    s.IceOption = c.ice_shown ? 1 : 0;
    s.ShowProfile = c.ice_shown ? 1 : 0;
    std::vector<ScaleLabel> got = LayoutScaleLabels(s, c.kind, g, h, FakeWidth);
    ASSERT_EQ(got.size(), c.labels.size());
    for (size_t i = 0; i < got.size(); ++i) {
      EXPECT_EQ(got[i].text, c.labels[i].text) << i;
      EXPECT_EQ(got[i].bold, c.labels[i].bold) << i;
      EXPECT_EQ(got[i].x, c.labels[i].x) << i;
      EXPECT_EQ(got[i].y, c.labels[i].y) << i;
    }
  }
}

}  // namespace
}  // namespace tq
