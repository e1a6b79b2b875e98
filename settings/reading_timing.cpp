#include <algorithm>
#include <cmath>
#include <cstdint>

#include "settings/settings.h"

namespace tq {

ReadingTiming ComputeReadingTiming(float interval_s, float frame_period_ms,
                                   int32_t max_readings_per_second) {
  ReadingTiming t{frame_period_ms, 1, 1};
  double frames = static_cast<double>(interval_s) * 1000.0 / static_cast<double>(frame_period_ms) + 0.5;
  // Bounded in double first: a huge, negative or NaN interval from a damaged
  // file must not reach a float-to-int conversion out of range.
  if (!(frames >= 1.0)) frames = 1.0;
  t.FramesPerInterval = static_cast<int32_t>(std::min(frames, static_cast<double>(INT32_MAX)));
  // In double precision from the single-precision interval: 0.2f gives 4.
  // An interval of 0 means endlessly many readings a second, so it takes the
  // upper clamp like any tiny interval; negative and NaN intervals take the
  // lower one.
  double per_second = 0.0;
  if (interval_s > 0.0f) {
    per_second = 1.0 / static_cast<double>(interval_s);
  } else if (interval_s == 0.0f && !std::signbit(interval_s)) {
    per_second = static_cast<double>(max_readings_per_second);
  }
  per_second = std::min(per_second, static_cast<double>(max_readings_per_second));
  int32_t whole_per_second = static_cast<int32_t>(per_second);
  if (interval_s > 1.0f) whole_per_second += 1;
  t.ReadingsPerSecond = std::clamp(whole_per_second, 1, max_readings_per_second);
  return t;
}

int32_t MaxReadingsPerSecond(int32_t kind) {
  if (kind == kKindFrz62) return 1;
  return kind == kKindTq68Mk2 ? kBinaryFrame.max_readings_per_second : kLongAsciiFrame.max_readings_per_second;
}

double RealReadingRate(double readings_per_second, float frame_period_ms) {
  const auto interval = static_cast<float>(1.0 / readings_per_second);
  const int32_t frames = ComputeReadingTiming(interval, frame_period_ms, 1).FramesPerInterval;
  return 1000.0 / (static_cast<double>(frames) * static_cast<double>(frame_period_ms));
}

double FastestReadingRate(int32_t kind) {
  if (kind == kKindFrz62) return 1.0;
  const FrameShape& fastest = kind == kKindTq68Mk2 ? kBinaryFrame
                              : kind == kKindTq68  ? kShortAsciiFrame
                                                   : kLongAsciiFrame;
  return 1000.0 / static_cast<double>(fastest.period_ms);
}

void UpdateReadingTiming(SettingsStore& s, const BuildConfig& build) {
  ReadingTiming t{};
  if (build.InstrumentKind == kKindFrz62) {
    s.ReadingInterval = 1.0f;
    t = ReadingTiming{s.FramePeriodMs, 1, 1};
  } else {
    const bool short_frames =
        build.InstrumentKind == kKindTq68 && s.FramePeriodMs == kShortAsciiFrame.period_ms;
    const FrameShape& frames = build.InstrumentKind == kKindTq68Mk2 ? kBinaryFrame
                               : short_frames                       ? kShortAsciiFrame
                                                                    : kLongAsciiFrame;
    t = ComputeReadingTiming(s.ReadingInterval, frames.period_ms, frames.max_readings_per_second);
  }
  s.FramePeriodMs = t.FramePeriodMs;
  s.FramesPerInterval = t.FramesPerInterval;
  s.ReadingsPerSecond = t.ReadingsPerSecond;
}

}  // namespace tq
