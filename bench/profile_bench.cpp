// The live profile's step per logged reading on the offscreen display: a
// 2-pixel scroll by block copy, three erased columns, the grid stubs and one
// segment for each of the TQ68-MK2's four shown traces.
#include <benchmark/benchmark.h>

#include <array>
#include <cstdlib>

#include "app/shell_state.h"
#include "platform/window.h"
#include "plot/curve_wnd.h"
#include "settings/build_config.h"
#include "settings/settings.h"

namespace tq {
namespace {

intptr_t OnParentCreate(WindowHandle, uint32_t, uintptr_t, intptr_t) { return 0; }
constexpr std::array<MessageEntry, 1> kParentMessages = {{{WM_CREATE, OnParentCreate}}};

void BM_UpdateLiveProfile(benchmark::State& bench) {
  Build().InstrumentKind = kKindTq68Mk2;
  Shell.Portrait = 1;
  Shell.PlotLeft = 4;
  Shell.PlotTop = 41;
  Shell.PlotRight = 232;
  Settings.PlotHeight = 216;
  UpdatePixelFactors(Settings, Build());
  ApplyDisplaySelection(Settings, Build());
  RegisterClass(WindowClass{"ProfileBenchParent", kParentMessages, Rgb(255, 255, 255), true});
  RegisterCurveWindowClass();
  WindowHandle parent = CreateWindow("ProfileBenchParent", "", WS_VISIBLE, 0, 0, 240, 320, nullptr, 0);
  WindowHandle curve = CreateCurveWindow(parent);
  InvalidateRect(curve, nullptr, true);
  UpdateWindow(curve);
  ProfileChannels channels{};
  int step = 0;
  for (auto _ : bench) {
    ++step;
    for (size_t i = 0; i < channels.size(); ++i) {
      channels[i] = {static_cast<float>((step * 7 + static_cast<int>(i) * 13) % 50) - 25.0f, true};
    }
    UpdateLiveProfile(curve, channels, true);
  }
  bench.SetItemsProcessed(bench.iterations());
  DestroyWindow(parent);
}
BENCHMARK(BM_UpdateLiveProfile);

}  // namespace
}  // namespace tq

// The system's font configuration library keeps caches for the life of the
// process; they are not this program's leaks.
extern "C" const char* __lsan_default_suppressions() { return "leak:libfontconfig.so\n"; }

int main(int argc, char** argv) {
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  if (!tq::StartWindowing(argc, argv)) return 1;
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
