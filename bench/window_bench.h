// What the benchmarks of windows share: the handheld's portrait screen, a
// parent window for the window measured, and a main that starts the
// offscreen display before the benchmarks run.
#pragma once

#include "platform/window.h"

namespace tq::bench {

// The 240 x 320 portrait screen with its profile area, and the pixel
// factors of the current settings for it.
void UsePortraitScreen();

// A visible 240 x 320 top-level window to create the measured window in.
WindowHandle CreateBenchParent();

// Starts the offscreen display, then runs the benchmarks named on the
// command line; what main returns.
int RunWindowBenchmarks(int argc, char** argv);

}  // namespace tq::bench
