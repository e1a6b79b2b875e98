// Decode plus reading step per frame, as the logging window runs them on its
// thread: a TQ62 frame logged in Auto mode and a TQ68-MK2 frame averaged in
// Manual mode.
#include <benchmark/benchmark.h>

#include <array>
#include <cstdint>
#include <string_view>

#include "acquisition/reading_steps.h"

namespace tq {
namespace {

void BM_AsciiReadingLogged(benchmark::State& bench) {
  SettingsStore s;
  s.ReadingsPerStation = 2;
  s.CondPixelsPerUnit = 0.36f;
  s.InphasePixelsPerUnit = 3.6f;
  StationGroup group;
  ReadingRun run{kKindTq62, LoggingState::Logging, false, true, 12, 0};
  ReadingHandlerState state = BeginReadingRun(s, kKindTq62, 0);
  static constexpr std::string_view kFrame = "T6-0400+0200";
  const std::array<uint8_t, 12> frame = [] {
    std::array<uint8_t, 12> f{};
    for (size_t i = 0; i < f.size(); ++i) f[i] = static_cast<uint8_t>(kFrame[i]);
    return f;
  }();
  for (auto _ : bench) {
    ++run.tick;
    ReadingStep step = DecideInstrumentReading(frame, run, state, SurveyPosition{s, group});
    benchmark::DoNotOptimize(step);
  }
  bench.SetItemsProcessed(bench.iterations());
}
BENCHMARK(BM_AsciiReadingLogged);

void BM_BinaryReadingAveraged(benchmark::State& bench) {
  SettingsStore s;
  s.SurveyMode = kSurveyModeManual;
  s.SamplesPerReading = 4;
  s.CondPixelsPerUnit = 0.36f;
  s.InphasePixelsPerUnit = 3.6f;
  StationGroup group;
  ReadingRun run{kKindTq68Mk2, LoggingState::Logging, true, false, 14, 0};
  ReadingHandlerState state = BeginReadingRun(s, kKindTq68Mk2, 0);
  // Marked vertical frames: each completed average re-arms on the next one.
  const std::array<uint8_t, 14> marked = {'T', 22, 0x88, 0, 0x8C, 0, 0x84, 0, 0x84, 0, 1, 2, 3, 4};
  const std::array<uint8_t, 14> plain = {'T', 6, 0x88, 0, 0x8C, 0, 0x84, 0, 0x84, 0, 1, 2, 3, 4};
  bool flip = false;
  for (auto _ : bench) {
    ++run.tick;
    flip = !flip;
    ReadingStep step =
        DecideBinaryReading(flip ? marked : plain, run, state, SurveyPosition{s, group});
    benchmark::DoNotOptimize(step);
  }
  bench.SetItemsProcessed(bench.iterations());
}
BENCHMARK(BM_BinaryReadingAveraged);

}  // namespace
}  // namespace tq
