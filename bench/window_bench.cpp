#include "bench/window_bench.h"

#include <benchmark/benchmark.h>

#include <array>
#include <cstdlib>

#include "shell/shell_state.h"
#include "settings/build_config.h"
#include "settings/settings.h"

namespace tq::bench {
namespace {

intptr_t OnParentCreate(WindowHandle, uint32_t, uintptr_t, intptr_t) { return 0; }
constexpr std::array<MessageEntry, 1> kParentMessages = {{{WM_CREATE, OnParentCreate}}};

}  // namespace

void UsePortraitScreen() {
  Shell.Portrait = 1;
  Shell.ScreenWidth = 240;
  Shell.ScreenHeight = 320;
  Shell.PlotLeft = 4;
  Shell.PlotTop = 41;
  Shell.PlotRight = 232;
  Settings.PlotHeight = 216;
  UpdatePixelFactors(Settings, Build());
}

WindowHandle CreateBenchParent() {
  static const bool registered = RegisterClass(WindowClass{"BenchParent", kParentMessages, Rgb(255, 255, 255), true});
  if (!registered) return nullptr;
  return CreateWindow("BenchParent", "", WS_VISIBLE, 0, 0, 240, 320, nullptr, 0);
}

int RunWindowBenchmarks(int argc, char** argv) {
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  if (!StartWindowing(argc, argv)) return 1;
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}

}  // namespace tq::bench

// The system's font configuration library keeps caches for the life of the
// process; they are not this program's leaks.
extern "C" const char* __lsan_default_suppressions() { return "leak:libfontconfig.so\n"; }
