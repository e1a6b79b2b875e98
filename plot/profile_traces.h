// The traces of a profile chart as values: the pen of each trace, the step
// one logged reading adds to the live chart, and the runs a trace's points
// break into where a reading lacks it.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <utility>
#include <vector>

#include "instrument/decoding.h"
#include "instrument/decoding_profile.h"
#include "platform/window_types.h"
#include "settings/settings.h"

namespace tq {

// Colour and width of trace `trace` (0..7) from the settings; a width
// outside 1..4 is held inside it.
struct TracePen {
  ColorRef color = 0;
  int32_t width = 1;
};
TracePen TracePenOf(const SettingsStore& settings, size_t trace);

// What the live chart remembers between readings.
struct LiveProfileState {
  bool scroll = false;  // set by the first reading; cleared by the logging window
  std::array<bool, kProfileChannelCount> has_last{};
  std::array<int32_t, kProfileChannelCount> last_y{};
};

// What one reading draws: an optional scroll, then per trace either nothing,
// a first point at (X0, y), or a segment from (X0 - 2, from_y) to (X0, y).
struct LiveStep {
  bool scroll = false;
  struct Trace {
    enum Kind : uint8_t { kNothing, kPoint, kSegment } kind = kNothing;
    int32_t from_y = 0;
    int32_t y = 0;
  };
  std::array<Trace, kProfileChannelCount> traces{};
};

// The step of a reading with rows `rows` on a chart in `state`, with
// `active` the TraceActive entries; updates `state` to what follows it.
LiveStep PlanLiveStep(LiveProfileState& state, const ProfileRows& rows,
                      const std::array<int32_t, kProfileChannelCount>& active,
                      bool station_complete);

// The runs [first, last) of a trace's points (in drawing order, x falling or
// equal) that are drawn as one polyline each: a run ends wherever the next
// point lies more than 2 pixels away in x.
std::vector<std::pair<size_t, size_t>> SplitTraceRuns(std::span<const Point> points);

}  // namespace tq
