#include "tests/app/main_window_fixture.h"

#include "acquisition/serial_ports.h"
#include "app/child_windows.h"
#include "app/logging_run.h"
#include "app/main_window.h"
#include "shell/shell_state.h"
#include "platform/clock.h"
#include "platform/modal_responder.h"
#include "settings/settings.h"

namespace tq::testing {

void MainWindowTest::SetUp() {
  // Classes stay registered for the test program's life.
  static const bool registered = RegisterMainWindowClass() && RegisterChildWindowClasses();
  ASSERT_TRUE(registered);
  saved_build_ = Build();
  Build() = BuildConfig{kKindTq68Mk2, 1, 0};
  Settings = SettingsStore{};
  ResetShellState();
  scoped_ = std::make_unique<ScopedModalResponder>(&responder_);
}

void MainWindowTest::TearDown() {
  if (IsWindow(main_)) DestroyWindow(main_);
  // Every way the main window goes asks the message loop to end; take that
  // request here so the next test starts with a loop that runs.
  PostQuitMessage(0);
  RunMessageLoop();
  scoped_.reset();
  EXPECT_EQ(responder_.PendingSteps(), 0u) << "modal calls expected but not made";
  InstallClock(nullptr);
  Build() = saved_build_;
}

WindowHandle MainWindowTest::OpenMainWindow(int width, int height) {
  main_ = CreateMainWindow(width, height);
  Settle();
  return main_;
}

void MainWindowTest::ClickMainButton(int index) {
  ASSERT_TRUE(ClickButton(Shell.Buttons[static_cast<size_t>(index)])) << index;
  Settle();
}

void MainWindowTest::Settle() {
  ProcessPendingMessages();
}

std::filesystem::path MainWindowTest::PortLink(int com) const {
  return root_.path() / "ports" / ("COM" + std::to_string(com));
}

void MainWindowTest::LinkPort(int com, const std::filesystem::path& device) const {
  std::filesystem::create_directories(root_.path() / "ports");
  std::filesystem::create_symlink(device, PortLink(com));
}

}  // namespace tq::testing
