// The handheld shell's calls on a desktop, and the single running instance.
#include "platform/shell.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <unistd.h>

#include <filesystem>
#include <string>

#include "platform/window.h"
#include "tests/support/temp_dir.h"
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
  testing::ScopedDataRoot root;
  std::string name = "TQTEST" + std::to_string(::getpid());
  EXPECT_TRUE(ClaimSingleInstance(name));
  EXPECT_FALSE(ClaimSingleInstance(name));  // as a second program would find it
  EXPECT_TRUE(ClaimSingleInstance(name + "B"));
}

TEST(Shell, AnInstanceStillStartingKeepsASecondOneOut) {
  testing::ScopedDataRoot root;
  // The first program holds the lock but does not listen yet; probing the
  // socket alone would find nobody and let the second one run beside it.
  // (A lock belongs to its open file, so this one counts as another program's.)
  std::filesystem::create_directories(root.path() / "run");
  const auto lock = root.path() / "run" / "TQSTARTING.lock";
  const int first = ::open(lock.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
  ASSERT_GE(first, 0);
  ASSERT_EQ(::flock(first, LOCK_EX | LOCK_NB), 0);
  EXPECT_FALSE(ClaimSingleInstance("TqStarting"));
  ::close(first);
  EXPECT_TRUE(ClaimSingleInstance("TqStarting"));  // it ended: the next one runs
}

}  // namespace
}  // namespace tq
