#include "plot/profile_traces.h"

#include <gtest/gtest.h>

#include <utility>
#include <vector>

namespace tq {
namespace {

using Kind = LiveStep::Trace::Kind;

ProfileRows Rows(std::initializer_list<std::pair<size_t, int32_t>> present) {
  ProfileRows rows{};
  for (auto [trace, y] : present) rows[trace] = {y, true};
  return rows;
}

constexpr std::array<int32_t, 8> kTracesZeroAndTwo = {1, 0, 1, 0, 0, 0, 0, 0};

TEST(LiveStep, FirstReadingDrawsPointsLaterOnesSegmentsFromTheLastY) {
  LiveProfileState state;
  LiveStep first = PlanLiveStep(state, Rows({{0, 150}, {2, 40}}), kTracesZeroAndTwo, true);
  EXPECT_FALSE(first.scroll);  // nothing on the chart yet to move
  EXPECT_EQ(first.traces[0].kind, Kind::kPoint);
  EXPECT_EQ(first.traces[0].y, 150);
  EXPECT_EQ(first.traces[2].kind, Kind::kPoint);

  LiveStep second = PlanLiveStep(state, Rows({{0, 140}, {2, 50}}), kTracesZeroAndTwo, true);
  EXPECT_TRUE(second.scroll);
  EXPECT_EQ(second.traces[0].kind, Kind::kSegment);
  EXPECT_EQ(second.traces[0].from_y, 150);
  EXPECT_EQ(second.traces[0].y, 140);
  EXPECT_EQ(second.traces[2].from_y, 40);
}

TEST(LiveStep, TracesMissingOrNotActiveDrawNothingAndKeepTheirLastPoint) {
  LiveProfileState state;
  PlanLiveStep(state, Rows({{0, 100}, {1, 70}}), kTracesZeroAndTwo, true);
  EXPECT_FALSE(state.has_last[1]);  // trace 1 is not active
  LiveStep gap = PlanLiveStep(state, Rows({{2, 5}}), kTracesZeroAndTwo, true);
  EXPECT_EQ(gap.traces[0].kind, Kind::kNothing);
  LiveStep back = PlanLiveStep(state, Rows({{0, 90}}), kTracesZeroAndTwo, true);
  EXPECT_EQ(back.traces[0].kind, Kind::kSegment);
  EXPECT_EQ(back.traces[0].from_y, 100);

  state.has_last.fill(false);  // as after a new station
  EXPECT_EQ(PlanLiveStep(state, Rows({{0, 80}}), kTracesZeroAndTwo, true).traces[0].kind,
            Kind::kPoint);
}

TEST(TraceRuns, BreakWhereConsecutivePointsAreMoreThanTwoPixelsApart) {
  const std::vector<Point> points = {{200, 5}, {200, 9}, {198, 7}, {194, 3}, {192, 4}, {186, 1}};
  std::vector<std::pair<size_t, size_t>> expected = {{0, 3}, {3, 5}, {5, 6}};
  EXPECT_EQ(SplitTraceRuns(points), expected);
  EXPECT_TRUE(SplitTraceRuns({}).empty());
}

}  // namespace
}  // namespace tq
