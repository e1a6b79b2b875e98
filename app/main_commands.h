// What a button or a key does in the main window, and the up-time stop.
// Pure functions; the window procedure runs the action they name.
#pragma once

#include <cstdint>
#include <string>

namespace tq {

// The seven actions, numbered as the buttons.
enum class MainAction : int32_t {
  kNone = -1,
  kMonitorLog = 0,
  kSurveySetup = 1,
  kLoggerSetup = 2,
  kGpsPortSetup = 3,
  kDisplayOptions = 4,
  kViewFiles = 5,
  kExit = 6,
};

struct MainCommand {
  MainAction action = MainAction::kNone;
  int32_t DefaultButton = 1;  // after the command
};

// The command of WM_COMMAND (wparam: the control id in its low word) or
// WM_KEYDOWN (wparam: the key code). Keys count only while no logging run
// is active: the letters of the buttons select them, Tab, Right and Down
// move the default button to the next one and Left and Up to the previous
// one (both wrapping), Enter runs the default button.
MainCommand ResolveMainCommand(uintptr_t wparam, int32_t logging_active, int32_t default_button);

// The button after / before `index` in the column's ring.
int32_t NextMainButton(int32_t index);
int32_t PreviousMainButton(int32_t index);

// The button texts by index; empty outside 0..6.
std::string MainButtonText(int index);

// Twenty days of the program's own tick.
inline constexpr uint32_t kUptimeLimitMs = 1728000000u;

// True when the program has run too long for its clock to be trusted.
bool UptimeExceededAt(uint32_t tick);

// The "PROGRAM STOP" message text: its five lines joined by CR LF.
std::string ProgramStopText();
inline constexpr const char* kProgramStopCaption = "PROGRAM STOP";

}  // namespace tq
