// The logging window's tests: a main window fixture with a fresh logging
// run state, a fake clock at 06.12.2009 14:05:07 (tick 5000), a simulated
// instrument's pseudo-terminal, and the run stopped afterwards.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <vector>

#include "app/logging_run.h"
#include "shell/shell_state.h"
#include "logging/run_state.h"
#include "platform/clock.h"
#include "platform/files.h"
#include "platform/drawing.h"
#include "platform/modal_responder.h"
#include "platform/window.h"
#include "tests/app/main_window_fixture.h"
#include "tests/support/pty_pair.h"

namespace tq::testing {

class LoggingWindowFixture : public MainWindowTest {
 protected:
  void SetUp() override {
    MainWindowTest::SetUp();
    Logging = LoggingControl{};
    clock_.SetNow(LocalTime{2009, 12, 6, 0, 14, 5, 7, 0});
    clock_.SetTick(5000);
    InstallClock(&clock_);
  }

  void TearDown() override {
    InjectFileFaults(nullptr);
    StopLoggingRun(Shell.LoggingWindow);
    MainWindowTest::TearDown();
  }

  WindowHandle window() const { return Shell.LoggingWindow; }

  void Key(int key) {
    ASSERT_TRUE(PressKey(key, window())) << key;
    Settle();
  }

  // The colours of `r` in the window, row by row, to compare what a field
  // shows at two moments.
  std::vector<ColorRef> Pixels(const Rect& r) const {
    DcHandle dc = GetDC(window());
    std::vector<ColorRef> pixels;
    for (int y = r.top; y < r.bottom; ++y) {
      for (int x = r.left; x < r.right; ++x) pixels.push_back(GetPixel(dc, x, y));
    }
    ReleaseDC(window(), dc);
    return pixels;
  }

  FakeClock clock_;
  PtyPair instrument_;
  std::filesystem::path path_;
};

}  // namespace tq::testing
