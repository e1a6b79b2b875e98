#include "logging/logging_commands.h"

#include "platform/window_types.h"

namespace tq {
namespace {

// Button indexes j of the action table.
constexpr int kNoButton = -1;

bool IsDigit(int key) { return key >= '0' && key <= '9'; }
bool IsArrow(int key) { return key >= VK_LEFT && key <= VK_DOWN; }

// The upper-case letter of a key code, for letters of either case.
int Letter(int key) {
  if (key >= 'a' && key <= 'z') return key - 'a' + 'A';
  return key;
}

int MonitorLetter(int letter, int32_t kind) {
  switch (letter) {
    case 'C': return 0;
    case 'N': return 2;
    case 'M':
    case 'X': return 4;
    case 'U': return 1;
    case 'A': return kind == kKindTq68Mk2 ? 1 : kNoButton;
    case 'E': return kind == kKindTq68Mk2 ? 2 : kNoButton;
    default: return kNoButton;
  }
}

int StandByLetter(int letter) {
  switch (letter) {
    case 'C': return 3;
    case 'G': return 0;
    case 'L': return 1;
    case 'N': return 2;
    case 'M': return 4;
    case 'X': return 5;
    default: return kNoButton;
  }
}

bool PausesOn(int key, const LoggingKeyContext& c) {
  switch (c.PauseKey) {
    case 0: return !(c.kind == kKindTq68Mk2 && IsDigit(key));
    case 1: return key == VK_SPACE;
    case 2: return key == VK_RETURN;
    case 3: return Letter(key) == 'S' || Letter(key) == 'P';
    default: return false;
  }
}

// Digits (and on the TQ68-MK2's portrait keypad the arrows of PauseKey 2)
// hold the soft marker instead of pausing.
bool HoldsSoftMarkerWhileLogging(int key, const LoggingKeyContext& c) {
  if (c.kind != kKindTq68Mk2) return false;
  if (c.PauseKey == 0) return IsDigit(key);
  if (c.PauseKey == 2) return c.portrait && IsArrow(key);
  return false;
}

LoggingAction MonitorAction(int j) {
  switch (j) {
    case 0: return LoggingAction::kCreateFile;
    case 1:
    case 4: return LoggingAction::kEndRun;
    case 2: return LoggingAction::kNewStation;
    default: return LoggingAction::kNone;
  }
}

LoggingAction StandByAction(int j) {
  switch (j) {
    case 0: return LoggingAction::kStartLogging;
    case 1: return LoggingAction::kNewLine;
    case 2: return LoggingAction::kNewStation;
    case 3: return LoggingAction::kComment;
    case 4: return LoggingAction::kMenu;
    case 5: return LoggingAction::kEndRun;
    default: return LoggingAction::kNone;
  }
}

LoggingCommand RefusedWhileCalibrating(LoggingCommand command, const LoggingKeyContext& c) {
  if (!c.calibrating) return command;
  switch (command.action) {
    case LoggingAction::kCreateFile:
    case LoggingAction::kNewLine:
    case LoggingAction::kNewStation:
    case LoggingAction::kCalibrate:
    case LoggingAction::kDeleteCalibration:
      command.action = LoggingAction::kNone;
      command.refused = true;
      break;
    default:
      break;
  }
  return command;
}

int32_t Wrap(int32_t index, int32_t count) {
  if (count <= 0) return 0;
  return ((index % count) + count) % count;
}

LoggingCommand ResolveCommand(bool is_key, uintptr_t wparam, const LoggingKeyContext& c) {
  LoggingCommand command;
  command.FocusIndex = c.FocusIndex;
  int j = kNoButton;
  if (!is_key) {
    switch (LOWORD(wparam)) {
      case kMenuScale: command.action = LoggingAction::kScale; return command;
      case kMenuDisplayOptions: command.action = LoggingAction::kDisplayOptions; return command;
      case kMenuCalibrate: command.action = LoggingAction::kCalibrate; return command;
      case kMenuDeleteCalibration: command.action = LoggingAction::kDeleteCalibration; return command;
      default: break;
    }
    j = static_cast<int>(LOWORD(wparam)) - kLoggingButtonFirstId;
    if (j < 0 || j >= kPauseButtonCount) return command;
    if (c.state == LoggingState::Logging) j = 0;
  } else if (c.LoggingActive == 1) {
    const int key = static_cast<int>(wparam);
    const bool marker_free = c.SoftMarker == 1 && c.SoftMarkerDown == 0;
    if (c.state == LoggingState::Logging) {
      if (HoldsSoftMarkerWhileLogging(key, c)) {
        command.press_soft_marker = marker_free;
      } else if (PausesOn(key, c)) {
        j = 0;
      }
    } else {
      const bool monitor = c.state == LoggingState::Monitor;
      if (key == VK_RETURN) {
        j = c.FocusIndex;
      } else if (IsDigit(key)) {
        command.press_soft_marker = marker_free;
      } else if (key == VK_TAB || IsArrow(key)) {
        // Only the portrait TQ68-MK2's keypad has them, and there they are
        // marker keys first: a press marks, unless the marker is held already.
        if (c.kind != kKindTq68Mk2 || !c.portrait || c.SoftMarker != 1) return command;
        if (marker_free) {
          command.press_soft_marker = true;
        } else {
          const bool next = key == VK_TAB || key == VK_RIGHT || key == VK_DOWN;
          command.FocusIndex = Wrap(c.FocusIndex + (next ? 1 : -1), c.NavCount);
        }
      } else {
        j = monitor ? MonitorLetter(Letter(key), c.kind) : StandByLetter(Letter(key));
      }
    }
  }
  if (j == kNoButton) return command;
  switch (c.state) {
    case LoggingState::Monitor:
      if (c.kind == kKindTq68Mk2) {
        if (j == 1) { command.action = LoggingAction::kCalibrate; return command; }
        if (j == 2) { command.action = LoggingAction::kDeleteCalibration; return command; }
        if (j == 3) j = 1;
      }
      command.action = MonitorAction(j);
      break;
    case LoggingState::StandBy:
      command.action = StandByAction(j);
      break;
    case LoggingState::Logging:
      if (j == 0) command.action = LoggingAction::kPause;
      break;
  }
  return command;
}

}  // namespace

LoggingCommand ResolveLoggingCommand(bool is_key, uintptr_t wparam, const LoggingKeyContext& c) {
  return RefusedWhileCalibrating(ResolveCommand(is_key, wparam, c), c);
}

std::array<std::string_view, 4> MonitorButtonTexts(int32_t kind, bool portrait) {
  if (kind != kKindTq68Mk2) return {"&Create File", "E&xit", "", ""};
  if (portrait) return {"&Cr. File", "C&alib.", "D&el Cal.", "E&xit"};
  return {"&Create File", "C&alibrate", "D&el Calibr.", "E&xit"};
}

int32_t MonitorButtonCount(int32_t kind) { return kind == kKindTq68Mk2 ? 4 : 2; }

std::string_view RunButtonText(int index) {
  constexpr std::array<std::string_view, kRunButtonCount> kTexts = {"&Go",   "&Line", "&NStn",
                                                                    "&Cmnt", "&Menu", "E&xit"};
  return index >= 0 && index < kRunButtonCount ? kTexts[static_cast<size_t>(index)] : "";
}

std::string_view PauseButtonText(int index, bool portrait, int32_t kind) {
  // Landscape, other kinds; landscape, TQ68-MK2; portrait, other kinds;
  // portrait, TQ68-MK2.
  static constexpr std::array<std::string_view, 32> kPrompts = {
      "TAP ME or press any key to Pause",
      "TAP ME or press SPACE bar to Pause",
      "TAP ME or press ENTER key to Pause",
      "TAP ME or press key S to Pause",
      "Trigger to Log, Tap/any key to Pause",
      "Trigger to Log, Tap or press SPACE bar to Pause",
      "Trigger to Log, Tap or press ENTER key to Pause",
      "Trigger to Log, Tap or press key S to Pause",
      "TAP ME or press any non numeric key to Pause",
      "TAP ME or press SPACE bar to Pause",
      "TAP ME or press ENTER key to Pause",
      "TAP ME or press key S to Pause",
      "Trigger to Log, Tap or non numeric key to Pause",
      "Trigger to Log, Tap or press SPACE bar to Pause",
      "Trigger to Log, Tap or press ENTER key to Pause",
      "Trigger to Log, Tap or press key S to Pause",
      "TAP ME or press any key to Pause",
      "TAP ME or press SPACE bar to Pause",
      "TAP ME or press ENTER key to Pause",
      "TAP ME or press key S to Pause",
      "Trigger to Log, Tap/any key to Pause",
      "Trigger to Log, Tap/SPACE to Pause",
      "Trigger to Log, Tap/ENTER to Pause",
      "Trigger to Log, Tap/<S> to Pause",
      "TAP ME or press any non numeric key to Pause",
      "TAP ME or press SPACE bar to Pause",
      "TAP ME or press ENTER key to Pause",
      "TAP ME or press key S to Pause",
      "Trigger to Log, Tap or press any non numeric key to Pause",
      "Trigger to Log, Tap/SPACE to Pause",
      "Trigger to Log, Tap/ENTER to Pause",
      "Trigger to Log, Tap or press key S to Pause",
  };
  if (index < 0 || index >= kPauseButtonCount) return "";
  int at = index + (portrait ? 16 : 0) + (kind == kKindTq68Mk2 ? 8 : 0);
  return kPrompts[static_cast<size_t>(at)];
}

int PauseButtonIndex(int32_t pause_key, int32_t survey_mode) {
  int key = pause_key >= 0 && pause_key <= 3 ? pause_key : 0;
  return key + (survey_mode == kSurveyModeManual ? 4 : 0);
}

ButtonRow ButtonRowFor(bool portrait, int32_t kind) {
  ButtonRow row;
  row.x0 = portrait ? 2 : 4;
  row.monitor_width = portrait ? 114 : 154;
  row.monitor_spacing = portrait ? 118 : 158;
  if (kind == kKindTq68Mk2) {
    row.monitor_width /= 2;
    row.monitor_spacing /= 2;
  }
  row.run_width = portrait ? 38 : 50;
  row.run_spacing = portrait ? 39 : 52;
  row.pause_width = portrait ? 236 : 312;
  return row;
}

bool FrameOverdue(uint32_t now, uint32_t last_frame_tick, int32_t timeout_ms) {
  // Unsigned difference: the tick may wrap during a long run.
  return static_cast<int64_t>(static_cast<uint32_t>(now - last_frame_tick)) > timeout_ms;
}

WatchdogStep DecideMissedCheck(int32_t missed_ticks, int32_t kind, LoggingState state) {
  WatchdogStep step;
  const bool file_open = state != LoggingState::Monitor;
  if (kind == kKindTq64) {
    // One note per outage, and the run never gives up.
    step.write_break = file_open && missed_ticks == 1;
    step.hold_missed_at_two = true;
  } else if (missed_ticks > 5) {
    step.give_up = true;
  } else {
    step.write_break = file_open;
  }
  return step;
}

std::string_view StateText(LoggingState state) {
  switch (state) {
    case LoggingState::StandBy: return "Stand By";
    case LoggingState::Logging: return "Logging";
    case LoggingState::Monitor: break;
  }
  return "Monitor";
}

std::string_view SurveyModeText(int32_t survey_mode, int32_t kind) {
  switch (survey_mode) {
    case kSurveyModeAuto: return "Auto";
    case kSurveyModeWheel: return kind == kKindFrz62 ? "Manual" : "Wheel";
    case kSurveyModeManual: return "Manual";
    default: return "";
  }
}

std::string_view NewStationTemplate(int32_t storage_root, bool portrait) {
  return storage_root == 1 && !portrait ? "GETNEWSTATIONWM6" : "GETNEWSTATION";
}

}  // namespace tq
