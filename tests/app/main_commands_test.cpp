// What buttons and keys do in the main window, the default-button ring, and
// the up-time stop.
#include "app/main_commands.h"

#include <gtest/gtest.h>

#include <initializer_list>

#include "platform/window_types.h"

namespace tq {
namespace {

constexpr int32_t kIdle = 0;
constexpr int32_t kLogging = 1;

MainAction ActionOfKey(int key) { return ResolveMainCommand(static_cast<uintptr_t>(key), kIdle, 1).action; }

TEST(MainKeysTest, EachButtonsLetterSelectsItInEitherCase) {
  struct KeyRow {
    int key;
    MainAction action;
  };
  const KeyRow rows[] = {
      {'L', MainAction::kMonitorLog},    {108, MainAction::kMonitorLog},
      {'S', MainAction::kSurveySetup},   {115, MainAction::kSurveySetup},
      {'O', MainAction::kLoggerSetup},   {111, MainAction::kLoggerSetup},
      {'G', MainAction::kGpsPortSetup},  {103, MainAction::kGpsPortSetup},
      {'D', MainAction::kDisplayOptions}, {100, MainAction::kDisplayOptions},
      {'V', MainAction::kViewFiles},     {118, MainAction::kViewFiles},
      {'E', MainAction::kExit},          {'X', MainAction::kExit},
      {101, MainAction::kExit},          {120, MainAction::kExit},
  };
  for (const KeyRow& row : rows) EXPECT_EQ(ActionOfKey(row.key), row.action) << row.key;
}

TEST(MainKeysTest, OtherKeysRunNothing) {
  for (int key : std::initializer_list<int>{'A', 'Z', '1', VK_SPACE, VK_ESCAPE, VK_TAB, VK_LEFT}) {
    EXPECT_EQ(ActionOfKey(key), MainAction::kNone) << key;
  }
}

TEST(MainKeysTest, ButtonIdsRunTheirButtons) {
  for (int i = 0; i < 7; ++i) {
    MainCommand command = ResolveMainCommand(MAKEWPARAM(420 + i, BN_CLICKED), kIdle, 1);
    EXPECT_EQ(command.action, static_cast<MainAction>(i));
    EXPECT_EQ(command.DefaultButton, 1);
  }
  EXPECT_EQ(ResolveMainCommand(419, kIdle, 1).action, MainAction::kNone);
  EXPECT_EQ(ResolveMainCommand(427, kIdle, 1).action, MainAction::kNone);
}

TEST(DefaultButtonRingTest, TabRightAndDownMoveToTheNextButtonAndWrap) {
  for (int key : {VK_TAB, VK_RIGHT, VK_DOWN}) {
    EXPECT_EQ(ResolveMainCommand(static_cast<uintptr_t>(key), kIdle, 1).DefaultButton, 2) << key;
    MainCommand from_exit = ResolveMainCommand(static_cast<uintptr_t>(key), kIdle, 6);
    EXPECT_EQ(from_exit.DefaultButton, 0) << key;  // "E&xit" to "Monitor/&Log"
    EXPECT_EQ(from_exit.action, MainAction::kNone);
  }
}

TEST(DefaultButtonRingTest, LeftAndUpMoveToThePreviousButtonAndWrap) {
  for (int key : {VK_LEFT, VK_UP}) {
    EXPECT_EQ(ResolveMainCommand(static_cast<uintptr_t>(key), kIdle, 3).DefaultButton, 2) << key;
    MainCommand from_log = ResolveMainCommand(static_cast<uintptr_t>(key), kIdle, 0);
    EXPECT_EQ(from_log.DefaultButton, 6) << key;  // "Monitor/&Log" to "E&xit"
    EXPECT_EQ(from_log.action, MainAction::kNone);
  }
}

TEST(DefaultButtonRingTest, EnterRunsTheDefaultButton) {
  EXPECT_EQ(ResolveMainCommand(VK_RETURN, kIdle, 1).action, MainAction::kSurveySetup);
  EXPECT_EQ(ResolveMainCommand(VK_RETURN, kIdle, 6).action, MainAction::kExit);
  EXPECT_EQ(ResolveMainCommand(VK_RETURN, kIdle, 0).action, MainAction::kMonitorLog);
}

TEST(LoggingActiveTest, KeysDoNothingWhileALoggingRunIsActive) {
  for (int key : std::initializer_list<int>{'L', 'S', 'X', 115, VK_RETURN, VK_TAB, VK_LEFT, VK_DOWN}) {
    MainCommand command = ResolveMainCommand(static_cast<uintptr_t>(key), kLogging, 4);
    EXPECT_EQ(command.action, MainAction::kNone) << key;
    EXPECT_EQ(command.DefaultButton, 4) << key;
  }
}

TEST(LoggingActiveTest, ButtonIdsStillNameTheirButtons) {
  EXPECT_EQ(ResolveMainCommand(MAKEWPARAM(421, BN_CLICKED), kLogging, 1).action,
            MainAction::kSurveySetup);
}

TEST(UptimeTest, StopsOnlyAfterMoreThanTwentyDays) {
  EXPECT_FALSE(UptimeExceededAt(0));
  EXPECT_FALSE(UptimeExceededAt(1728000000u));
  EXPECT_TRUE(UptimeExceededAt(1728000001u));
  EXPECT_TRUE(UptimeExceededAt(0xFFFFFFFFu));
}

TEST(UptimeTest, ProgramStopTextIsFiveLinesJoinedByCrLf) {
  EXPECT_EQ(ProgramStopText(),
            "Windows has run for more than 20 days.\r\n"
            "To assure accurate clock operation\r\n"
            "please restart the system.\r\n"
            "Press and hold On/Off key till blue screen\r\n"
            "and \"Warm Reset Detected\" is displayed.");
}

}  // namespace
}  // namespace tq
