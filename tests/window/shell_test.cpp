// The handheld shell's calls on a desktop, and the single running instance.
#include "platform/shell.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <string>

#include "platform/window.h"
#include "tests/window/recording_window.h"

namespace tq {
namespace {

TEST(Shell, FullScreenRequestsHideAndShowTheTaskBar) {
  WindowHandle w = test::CreateRecordingWindow();
  ASSERT_TRUE(RequestFullScreen(w, SHFS_HIDETASKBAR | SHFS_HIDESIPBUTTON));
  EXPECT_FALSE(IsTaskBarShown());
  EXPECT_FALSE(IsSipButtonShown());
  ASSERT_TRUE(RequestFullScreen(w, SHFS_SHOWTASKBAR));
  EXPECT_TRUE(IsTaskBarShown());
  ShowSipButton(true);
  EXPECT_TRUE(IsSipButtonShown());
  EXPECT_EQ(CommandBarHeight(w), 0);
  test::DestroyTestWindows();
  EXPECT_FALSE(RequestFullScreen(w, SHFS_HIDETASKBAR));  // no window, no request
  EXPECT_TRUE(IsTaskBarShown());
}

TEST(Shell, OnlyOneInstanceAnswersToAClassName) {
  std::string name = "TQTEST" + std::to_string(::getpid());
  EXPECT_TRUE(ClaimSingleInstance(name));
  EXPECT_FALSE(ClaimSingleInstance(name));  // as a second program would find it
  EXPECT_TRUE(ClaimSingleInstance(name + "B"));
}

}  // namespace
}  // namespace tq
