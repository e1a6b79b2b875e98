// A main window of a kind-7 "Storage" build on the offscreen display, over a
// fresh data root, with the shell, settings and ports as a new program has
// them.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>

#include "platform/modal_responder.h"
#include "platform/window.h"
#include "settings/build_config.h"
#include "tests/support/temp_dir.h"

namespace tq::testing {

class MainWindowTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  // Creates the main window with a client area of `width` x `height`.
  WindowHandle OpenMainWindow(int width = 240, int height = 320);
  WindowHandle main_window() const { return main_; }
  // Clicks button `index` of the column.
  void ClickMainButton(int index);
  // Handles what is waiting, so queued input reaches the windows.
  void Settle();
  // <root>/ports/COMn, which the serial layer opens for "COMn:".
  std::filesystem::path PortLink(int com) const;
  void LinkPort(int com, const std::filesystem::path& device) const;

  ScopedDataRoot root_;
  ScriptedResponder responder_;

 private:
  WindowHandle main_ = nullptr;
  BuildConfig saved_build_{};
  std::unique_ptr<ScopedModalResponder> scoped_;
};

}  // namespace tq::testing
