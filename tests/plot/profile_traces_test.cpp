#include "plot/profile_traces.h"

#include <gtest/gtest.h>

#include <utility>

namespace tq {
namespace {

using Kind = LiveStep::Trace::Kind;

ProfileRows Rows(std::initializer_list<std::pair<size_t, int32_t>> present) {
  ProfileRows rows{};
  for (auto [trace, y] : present) rows[trace] = {y, true};
  return rows;
}

constexpr std::array<int32_t, 8> kTracesZeroAndTwo = {1, 0, 1, 0, 0, 0, 0, 0};

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

}  // namespace
}  // namespace tq
