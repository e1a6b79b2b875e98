// What a button, a menu command, a key or a timer tick means to the logging
// window, by run state, instrument kind, screen and settings. Pure functions;
// the window procedure carries out what they decide.
#pragma once

#include <array>
#include <cstdint>
#include <string_view>

#include "acquisition/reading_steps.h"

namespace tq {

// The control ids of the button rows: 460 + index.
inline constexpr int kLoggingButtonFirstId = 460;

// The pop-up menus and their commands.
inline constexpr int kLoggingMenu = 1100;
inline constexpr int kLoggingMenuMk2 = 1110;
inline constexpr int kMenuScale = 1101;
inline constexpr int kMenuDisplayOptions = 1102;
inline constexpr int kMenuHide = 1106;
inline constexpr int kMenuCalibrate = 1111;
inline constexpr int kMenuDeleteCalibration = 1112;

enum class LoggingAction {
  kNone,
  kCreateFile,
  kStartLogging,
  kPause,
  kNewLine,
  kNewStation,
  kComment,
  kMenu,
  kEndRun,
  kScale,
  kDisplayOptions,
  kCalibrate,
  kDeleteCalibration,
};

// What the window knows when a command or key arrives.
struct LoggingKeyContext {
  int32_t kind = kKindTq68Mk2;
  LoggingState state = LoggingState::Monitor;
  int32_t LoggingActive = 1;
  int32_t PauseKey = 0;
  int32_t SoftMarker = 0;
  int32_t SoftMarkerDown = 0;
  bool portrait = true;
  int32_t FocusIndex = 0;
  int32_t NavCount = 2;
  bool calibrating = false;  // CalibrationState -1: the procedure has the offsets
};

struct LoggingCommand {
  LoggingAction action = LoggingAction::kNone;
  bool press_soft_marker = false;  // SoftMarkerDown becomes 1, until this key is released
  int32_t FocusIndex = 0;          // the highlighted button afterwards
  bool refused = false;            // not now: a calibration is under way
};

// WM_COMMAND (wparam: control or menu id in its low word) or WM_KEYDOWN
// (`is_key`, wparam: the key code). Letters count in either case. A stored
// PauseKey 3 pauses on both S and P: its prompts name S, while files of
// older loggers were set up for P.
//
// The soft marker is a held key: the digits (and, logging with PauseKey 2 in
// portrait, the arrows) press it, and only the release of the key that
// pressed it lets it go. In Monitor and Stand By, Tab and the arrows do
// something only on the portrait TQ68-MK2 with SoftMarker 1: they press the
// marker when it is free, else move the highlight along the button row.
//
// While a calibration runs the offsets in force are zeroed or half-made:
// whatever would record them (a new file, line or station) or replace them
// (another calibration, a delete) is refused.
LoggingCommand ResolveLoggingCommand(bool is_key, uintptr_t wparam, const LoggingKeyContext& context);

// The panel's message for a refused command.
inline constexpr std::string_view kCalibratingText = "Calibration running";

// --- Buttons ---------------------------------------------------------------

inline constexpr int kRunButtonCount = 6;
inline constexpr int kPauseButtonCount = 8;

// The Monitor row: 2 buttons, 4 on the TQ68-MK2 (short texts in portrait).
std::array<std::string_view, 4> MonitorButtonTexts(int32_t kind, bool portrait);
int32_t MonitorButtonCount(int32_t kind);

// "&Go", "&Line", "&NStn", "&Cmnt", "&Menu", "E&xit".
std::string_view RunButtonText(int index);

// The text of pause button `index` (0..7) for the screen and kind.
std::string_view PauseButtonText(int index, bool portrait, int32_t kind);

// The pause button shown while logging: PauseKey, plus 4 in Manual mode.
int PauseButtonIndex(int32_t pause_key, int32_t survey_mode);

struct ButtonRow {
  int x0 = 0;            // row origin
  int monitor_width = 0;
  int monitor_spacing = 0;
  int run_width = 0;
  int run_spacing = 0;
  int pause_width = 0;
  int height = 20;
};

// The row geometry for the screen; the TQ68-MK2's four Monitor buttons take
// half the width and spacing.
ButtonRow ButtonRowFor(bool portrait, int32_t kind);

// --- Connection watchdog ---------------------------------------------------

// True when no frame came for longer than `timeout_ms`.
bool FrameOverdue(uint32_t now, uint32_t last_frame_tick, int32_t timeout_ms);

struct WatchdogStep {
  bool write_break = false;         // "$CONN BREAK"
  bool give_up = false;             // "$CONN END  " (when not in Monitor), and the run ends
  bool hold_missed_at_two = false;  // the TQ64-3 never counts past 2
};

// What an overdue check does, `missed_ticks` checks in a row without a frame.
WatchdogStep DecideMissedCheck(int32_t missed_ticks, int32_t kind, LoggingState state);

// Texts of the run.
inline constexpr std::string_view kConfirmExitText = "Exit Logging?";
inline constexpr std::string_view kConfirmExitCaption = "Confirm Exit";
inline constexpr std::string_view kNoConnectionText = "NO CONNECTION Press <ENTER> to STOP";
inline constexpr std::string_view kNoConnectionCaption = "NO CONNECTION";
inline constexpr std::string_view kPleaseWaitText = "Please Wait...";

// "Monitor", "Stand By", "Logging".
std::string_view StateText(LoggingState state);

// "Auto", "Wheel" ("Manual" on the FRZ62), "Manual".
std::string_view SurveyModeText(int32_t survey_mode, int32_t kind);

// The "New Station" template: the landscape handheld has its own.
std::string_view NewStationTemplate(int32_t storage_root, bool portrait);

}  // namespace tq
