#include "plot/profile_traces.h"

#include <algorithm>
#include <cstdlib>

namespace tq {
namespace {

constexpr int32_t kMinPenWidth = 1;
constexpr int32_t kMaxPenWidth = 4;
constexpr int32_t kColumnStep = 2;

}  // namespace

TracePen TracePenOf(const SettingsStore& s, size_t trace) {
  if (trace >= kProfileChannelCount) return {};
  return {s.TraceColor[trace], std::clamp(s.TraceThickness[trace], kMinPenWidth, kMaxPenWidth)};
}

LiveStep PlanLiveStep(LiveProfileState& state, const ProfileRows& rows,
                      const std::array<int32_t, kProfileChannelCount>& active,
                      bool station_complete) {
  LiveStep step;
  step.scroll = state.scroll && station_complete;
  state.scroll = true;
  for (size_t i = 0; i < kProfileChannelCount; ++i) {
    if (!rows[i].present || active[i] == 0) continue;
    LiveStep::Trace& t = step.traces[i];
    t.y = rows[i].y;
    if (state.has_last[i]) {
      t.kind = LiveStep::Trace::kSegment;
      t.from_y = state.last_y[i];
    } else {
      t.kind = LiveStep::Trace::kPoint;
      state.has_last[i] = true;
    }
    state.last_y[i] = rows[i].y;
  }
  return step;
}

std::vector<std::pair<size_t, size_t>> SplitTraceRuns(std::span<const Point> points) {
  std::vector<std::pair<size_t, size_t>> runs;
  size_t first = 0;
  for (size_t i = 1; i < points.size(); ++i) {
    if (std::abs(points[i].x - points[i - 1].x) > kColumnStep) {
      runs.emplace_back(first, i);
      first = i;
    }
  }
  if (first < points.size()) runs.emplace_back(first, points.size());
  return runs;
}

}  // namespace tq
