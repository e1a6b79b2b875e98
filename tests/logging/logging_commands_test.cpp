// What buttons, menu commands and keys do in each run state, the pause
// prompts, the button rows and the watchdog's decisions.
#include "logging/logging_commands.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/window_types.h"

namespace tq {
namespace {

using A = LoggingAction;
constexpr LoggingState kMon = LoggingState::Monitor;
constexpr LoggingState kStb = LoggingState::StandBy;
constexpr LoggingState kLog = LoggingState::Logging;

struct KeyCase {
  const char* name;
  int32_t kind;
  LoggingState state;
  bool is_key;
  uintptr_t wparam;
  A action;
  int32_t pause_key = 0;
  bool portrait = true;
  int32_t soft_marker = 0;
  int32_t marker_down = 0;
  int32_t focus = 0;
  bool presses_marker = false;
  int32_t focus_after = -1;  // -1: unchanged
};

uintptr_t Click(int index) { return MAKEWPARAM(kLoggingButtonFirstId + index, BN_CLICKED); }

const std::vector<KeyCase>& KeyCases() {
  static const std::vector<KeyCase> cases = {
      // Monitor, kinds 0..6: Create File and Exit, letters of either case.
      {"MonitorClickCreate", 0, kMon, false, Click(0), A::kCreateFile},
      {"MonitorClickExit", 0, kMon, false, Click(1), A::kEndRun},
      {"MonitorLowerC", 0, kMon, true, 'c', A::kCreateFile},
      {"MonitorN", 0, kMon, true, 'N', A::kNewStation},
      {"MonitorU", 0, kMon, true, 'U', A::kEndRun},
      {"MonitorX", 0, kMon, true, 'x', A::kEndRun},
      {"MonitorM", 0, kMon, true, 'M', A::kEndRun},
      {"MonitorAOnlyMk2", 0, kMon, true, 'A', A::kNone},
      {"MonitorGNothing", 0, kMon, true, 'G', A::kNone},
      {"MonitorEnterFocus1", 0, kMon, true, VK_RETURN, A::kEndRun, 0, true, 0, 0, 1},
      // Monitor, TQ68-MK2: its four buttons are remapped.
      {"Mk2ClickCalibrate", 7, kMon, false, Click(1), A::kCalibrate},
      {"Mk2ClickDelete", 7, kMon, false, Click(2), A::kDeleteCalibration},
      {"Mk2ClickExit", 7, kMon, false, Click(3), A::kEndRun},
      {"Mk2NDeletesCalibration", 7, kMon, true, 'N', A::kDeleteCalibration},
      {"Mk2A", 7, kMon, true, 'a', A::kCalibrate},
      {"Mk2E", 7, kMon, true, 'E', A::kDeleteCalibration},
      {"Mk2U", 7, kMon, true, 'U', A::kCalibrate},
      {"Mk2EnterOnExit", 7, kMon, true, VK_RETURN, A::kEndRun, 0, true, 0, 0, 3},
      // Stand By.
      {"StandByG", 0, kStb, true, 'g', A::kStartLogging},
      {"StandByL", 0, kStb, true, 'L', A::kNewLine},
      {"StandByN", 0, kStb, true, 'N', A::kNewStation},
      {"StandByC", 0, kStb, true, 'C', A::kComment},
      {"StandByM", 0, kStb, true, 'M', A::kMenu},
      {"StandByX", 0, kStb, true, 'X', A::kEndRun},
      {"StandByUNothing", 0, kStb, true, 'U', A::kNone},
      {"StandByClickMenu", 7, kStb, false, Click(4), A::kMenu},
      {"StandByEnterFocus2", 7, kStb, true, VK_RETURN, A::kNewStation, 0, true, 0, 0, 2},
      // Menu commands.
      {"MenuScale", 7, kStb, false, kMenuScale, A::kScale},
      {"MenuDisplay", 7, kStb, false, kMenuDisplayOptions, A::kDisplayOptions},
      {"MenuCalibrate", 7, kStb, false, kMenuCalibrate, A::kCalibrate},
      {"MenuDelete", 7, kStb, false, kMenuDeleteCalibration, A::kDeleteCalibration},
      {"MenuHide", 7, kStb, false, kMenuHide, A::kNone},
      // Logging: any tap pauses; keys by PauseKey.
      {"LoggingTapAnyPrompt", 0, kLog, false, Click(5), A::kPause, 1},
      {"PauseKey0AnyKey", 0, kLog, true, 'Q', A::kPause, 0},
      {"PauseKey0DigitKind0", 0, kLog, true, '5', A::kPause, 0},
      {"PauseKey0DigitMk2", 7, kLog, true, '5', A::kNone, 0},
      {"PauseKey0DigitMk2Marker", 7, kLog, true, '5', A::kNone, 0, true, 1, 0, 0, true},
      {"PauseKey0DigitMk2MarkerHeld", 7, kLog, true, '5', A::kNone, 0, true, 1, 1},
      {"PauseKey1Space", 0, kLog, true, VK_SPACE, A::kPause, 1},
      {"PauseKey1EnterNothing", 0, kLog, true, VK_RETURN, A::kNone, 1},
      {"PauseKey2Enter", 7, kLog, true, VK_RETURN, A::kPause, 2},
      {"PauseKey2SpaceNothing", 7, kLog, true, VK_SPACE, A::kNone, 2},
      {"PauseKey2ArrowMarker", 7, kLog, true, VK_DOWN, A::kNone, 2, true, 1, 0, 0, true},
      {"PauseKey2ArrowLandscape", 7, kLog, true, VK_DOWN, A::kNone, 2, false, 1},
      {"PauseKey3S", 0, kLog, true, 'S', A::kPause, 3},
      {"PauseKey3LowerS", 0, kLog, true, 's', A::kPause, 3},
      {"PauseKey3P", 0, kLog, true, 'P', A::kPause, 3},
      {"PauseKey3QNothing", 0, kLog, true, 'Q', A::kNone, 3},
      // The soft marker and the highlight outside Logging.
      {"DigitHoldsMarker", 0, kStb, true, '3', A::kNone, 0, true, 1, 0, 0, true},
      {"DigitWithoutSoftMarker", 0, kStb, true, '3', A::kNone},
      // Tab and the arrows: on the portrait TQ68-MK2 with the soft marker
      // they mark, or move the highlight while the marker is held; elsewhere
      // they do nothing.
      {"Mk2TabMarks", 7, kMon, true, VK_TAB, A::kNone, 0, true, 1, 0, 0, true},
      {"Mk2DownMarks", 7, kStb, true, VK_DOWN, A::kNone, 0, true, 1, 0, 2, true},
      {"Mk2TabWraps", 7, kMon, true, VK_TAB, A::kNone, 0, true, 1, 1, 3, false, 0},
      {"Mk2LeftWraps", 7, kStb, true, VK_LEFT, A::kNone, 0, true, 1, 1, 0, false, 5},
      {"Mk2DownWithoutSoftMarker", 7, kStb, true, VK_DOWN, A::kNone, 0, true, 0, 0, 0},
      {"TabLandscape", 7, kMon, true, VK_TAB, A::kNone, 0, false, 1, 1},
      {"Kind0UpNothing", 0, kStb, true, VK_UP, A::kNone, 0, true, 1, 1, 2},
  };
  return cases;
}

TEST(LoggingCommands, EachStateMapsButtonsMenusAndKeys) {
  for (const KeyCase& k : KeyCases()) {
    LoggingKeyContext c;
    c.kind = k.kind;
    c.state = k.state;
    c.PauseKey = k.pause_key;
    c.portrait = k.portrait;
    c.SoftMarker = k.soft_marker;
    c.SoftMarkerDown = k.marker_down;
    c.FocusIndex = k.focus;
    c.NavCount = k.state == kStb ? 6 : (k.kind == 7 ? 4 : 2);
    LoggingCommand command = ResolveLoggingCommand(k.is_key, k.wparam, c);
    EXPECT_EQ(command.action, k.action) << k.name;
    EXPECT_EQ(command.press_soft_marker, k.presses_marker) << k.name;
    EXPECT_EQ(command.FocusIndex, k.focus_after < 0 ? k.focus : k.focus_after) << k.name;
  }
}

// A calibration has zeroed the offsets: nothing may record them or start
// over from them, while the rest of the run goes on.
TEST(LoggingCommands, ACalibrationRefusesWhatWouldRecordOrReplaceItsOffsets) {
  struct Case {
    LoggingState state;
    bool is_key;
    uintptr_t wparam;
    A action;  // without a calibration; refused when one of the five
    bool refused;
  } cases[] = {
      {kMon, true, 'C', A::kCreateFile, true},          {kMon, false, Click(1), A::kCalibrate, true},
      {kMon, true, 'E', A::kDeleteCalibration, true},   {kStb, true, 'L', A::kNewLine, true},
      {kStb, true, 'N', A::kNewStation, true},          {kStb, false, kMenuCalibrate, A::kCalibrate, true},
      {kStb, false, kMenuDeleteCalibration, A::kDeleteCalibration, true},
      {kMon, true, 'X', A::kEndRun, false},             {kStb, true, 'G', A::kStartLogging, false},
      {kStb, true, 'C', A::kComment, false},            {kStb, false, kMenuScale, A::kScale, false},
  };
  for (const Case& k : cases) {
    LoggingKeyContext c;
    c.kind = kKindTq68Mk2;
    c.state = k.state;
    c.NavCount = 6;
    EXPECT_EQ(ResolveLoggingCommand(k.is_key, k.wparam, c).action, k.action) << k.wparam;
    c.calibrating = true;
    LoggingCommand during = ResolveLoggingCommand(k.is_key, k.wparam, c);
    EXPECT_EQ(during.refused, k.refused) << k.wparam;
    EXPECT_EQ(during.action, k.refused ? A::kNone : k.action) << k.wparam;
  }
}

TEST(LoggingCommands, KeysDoNothingOnceTheRunIsNoLongerActive) {
  LoggingKeyContext c;
  c.kind = 0;
  c.state = kStb;
  c.LoggingActive = 0;
  EXPECT_EQ(ResolveLoggingCommand(true, 'G', c).action, A::kNone);
  EXPECT_EQ(ResolveLoggingCommand(false, Click(0), c).action, A::kStartLogging);
}

TEST(LoggingButtons, PausePromptFollowsPauseKeyModeScreenAndKind) {
  struct Case {
    int32_t pause_key, survey_mode;
    bool portrait;
    int32_t kind;
    const char* prompt;
  } cases[] = {
      {0, 0, false, 0, "TAP ME or press any key to Pause"},
      {3, 1, false, 0, "TAP ME or press key S to Pause"},
      {0, 2, false, 0, "Trigger to Log, Tap/any key to Pause"},
      {1, 2, false, 0, "Trigger to Log, Tap or press SPACE bar to Pause"},
      {0, 0, false, 7, "TAP ME or press any non numeric key to Pause"},
      {0, 2, false, 7, "Trigger to Log, Tap or non numeric key to Pause"},
      {1, 2, true, 0, "Trigger to Log, Tap/SPACE to Pause"},
      {3, 2, true, 0, "Trigger to Log, Tap/<S> to Pause"},
      {2, 0, true, 7, "TAP ME or press ENTER key to Pause"},
      {0, 2, true, 7, "Trigger to Log, Tap or press any non numeric key to Pause"},
      {3, 2, true, 7, "Trigger to Log, Tap or press key S to Pause"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(PauseButtonText(PauseButtonIndex(c.pause_key, c.survey_mode), c.portrait, c.kind), c.prompt)
        << c.pause_key << " " << c.survey_mode << " " << c.portrait << " " << c.kind;
  }
}

TEST(LoggingButtons, RowsByKindAndScreen) {
  EXPECT_EQ(MonitorButtonCount(0), 2);
  EXPECT_EQ(MonitorButtonCount(7), 4);
  EXPECT_EQ(MonitorButtonTexts(7, false)[2], "D&el Calibr.");
  struct Case {
    bool portrait;
    int32_t kind;
    int x0, monitor_width, monitor_spacing, run_width, run_spacing, pause_width;
  } cases[] = {
      {false, 0, 4, 154, 158, 50, 52, 312},
      {true, 0, 2, 114, 118, 38, 39, 236},
      {false, 7, 4, 77, 79, 50, 52, 312},
      {true, 7, 2, 57, 59, 38, 39, 236},
  };
  for (const Case& c : cases) {
    ButtonRow row = ButtonRowFor(c.portrait, c.kind);
    EXPECT_EQ(row.x0, c.x0);
    EXPECT_EQ(row.monitor_width, c.monitor_width);
    EXPECT_EQ(row.monitor_spacing, c.monitor_spacing);
    EXPECT_EQ(row.run_width, c.run_width);
    EXPECT_EQ(row.run_spacing, c.run_spacing);
    EXPECT_EQ(row.pause_width, c.pause_width);
    EXPECT_EQ(row.height, 20);
  }
}

TEST(LoggingWatchdog, AFrameIsOverdueOnlyPastTheTimeoutEvenAcrossTheTickWrap) {
  EXPECT_FALSE(FrameOverdue(1300, 1000, 300));
  EXPECT_TRUE(FrameOverdue(1301, 1000, 300));
  EXPECT_FALSE(FrameOverdue(0x10u, 0xFFFFFF00u, 300));
  EXPECT_TRUE(FrameOverdue(0x200u, 0xFFFFFF00u, 300));
}

TEST(LoggingWatchdog, SixthMissGivesUpAndEachEarlierMissNotesABreakWithAFileOpen) {
  for (LoggingState state : {kStb, kLog, kMon}) {
    for (int32_t missed = 1; missed <= 6; ++missed) {
      WatchdogStep step = DecideMissedCheck(missed, 7, state);
      EXPECT_EQ(step.give_up, missed == 6) << missed;
      EXPECT_EQ(step.write_break, missed < 6 && state != kMon) << missed;
      EXPECT_FALSE(step.hold_missed_at_two);
    }
  }
}

TEST(LoggingWatchdog, Tq64NotesOneBreakPerOutageAndNeverGivesUp) {
  WatchdogStep first = DecideMissedCheck(1, kKindTq64, kLog);
  EXPECT_TRUE(first.write_break);
  EXPECT_TRUE(first.hold_missed_at_two);
  for (int32_t missed : {3, 6, 7, 100}) {
    WatchdogStep later = DecideMissedCheck(missed, kKindTq64, kLog);
    EXPECT_FALSE(later.write_break) << missed;
    EXPECT_FALSE(later.give_up) << missed;
    EXPECT_TRUE(later.hold_missed_at_two) << missed;
  }
  EXPECT_FALSE(DecideMissedCheck(1, kKindTq64, kMon).write_break);
}

}  // namespace
}  // namespace tq
