// The live profile's step per logged reading on the offscreen display: a
// 2-pixel scroll by block copy, three erased columns, the grid stubs and one
// segment for each of the TQ68-MK2's four shown traces.
#include <benchmark/benchmark.h>

#include <array>

#include "bench/window_bench.h"
#include "platform/window.h"
#include "plot/curve_wnd.h"
#include "settings/build_config.h"
#include "settings/settings.h"

namespace tq {
namespace {

void BM_UpdateLiveProfile(benchmark::State& state) {
  Build().InstrumentKind = kKindTq68Mk2;
  bench::UsePortraitScreen();
  ApplyDisplaySelection(Settings, Build());
  RegisterCurveWindowClass();
  WindowHandle parent = bench::CreateBenchParent();
  WindowHandle curve = CreateCurveWindow(parent);
  InvalidateRect(curve, nullptr, true);
  UpdateWindow(curve);
  ProfileChannels channels{};
  int step = 0;
  for (auto _ : state) {
    ++step;
    for (size_t i = 0; i < channels.size(); ++i) {
      channels[i] = {static_cast<float>((step * 7 + static_cast<int>(i) * 13) % 50) - 25.0f, true};
    }
    UpdateLiveProfile(curve, channels, true);
  }
  state.SetItemsProcessed(state.iterations());
  DestroyWindow(parent);
}
BENCHMARK(BM_UpdateLiveProfile);

}  // namespace
}  // namespace tq

int main(int argc, char** argv) { return tq::bench::RunWindowBenchmarks(argc, argv); }
