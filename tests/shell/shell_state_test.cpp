// The input-panel button and task-bar requests around every dialog.
#include "shell/shell_state.h"

#include <gtest/gtest.h>

namespace tq {
namespace {

TEST(InputPanelButtonTest, OnlyAStorageBuildHasOneAndShowsItOnlyInPortrait) {
  EXPECT_EQ(InputPanelButtonRequest(false, 1, 1), false);
  EXPECT_EQ(InputPanelButtonRequest(false, 1, 0), false);
  EXPECT_EQ(InputPanelButtonRequest(true, 1, 1), true);
  EXPECT_EQ(InputPanelButtonRequest(true, 1, 0), std::nullopt);
  EXPECT_EQ(InputPanelButtonRequest(true, 0, 1), std::nullopt);
  EXPECT_EQ(InputPanelButtonRequest(false, 0, 1), std::nullopt);
}

TEST(TaskBarTest, HiddenAfterDialogsOnlyInAPortraitStorageBuild) {
  EXPECT_TRUE(HidesTaskBar(1, 1));
  EXPECT_FALSE(HidesTaskBar(1, 0));
  EXPECT_FALSE(HidesTaskBar(0, 1));
}

}  // namespace
}  // namespace tq
