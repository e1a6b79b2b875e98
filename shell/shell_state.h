// The main window's state that the other windows read (screen orientation,
// layouts, fonts, the run flags, the child windows) and the shell helpers
// every dialog is wrapped in.
//
// One record for the process, written by the main window and read by the
// other windows, all on the user-interface thread.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string_view>

#include "shell/screen_layout.h"
#include "platform/drawing.h"
#include "platform/messages.h"
#include "platform/window_types.h"

namespace tq {

// Control ids of the main window's full-screen children.
inline constexpr int kMonitorGpsWindowId = 3;
inline constexpr int kLoggingWindowId = 4;
inline constexpr int kViewFilesWindowId = 8;

// The colour picker of the display options, when the machine has one.
using ChooseColorFunction = std::optional<ColorRef> (*)(WindowHandle owner, ColorRef initial);

struct ShellState {
  int32_t Portrait = 1;
  int32_t ScreenWidth = 240;
  int32_t ScreenHeight = 320;
  int32_t PlotBottom = 298;
  int32_t PlotLeft = 4;
  int32_t PlotTop = 0;
  int32_t PlotRight = 232;
  int32_t DefaultButton = 1;
  // The program's run flag; the KeepAwake thread is stopped (through its
  // stop token) whenever it drops to 0.
  int32_t KeepAlive = 0;
  // 1 while a logging run owns the screen; the main window then ignores keys.
  int32_t LoggingActive = 0;
  int32_t UptimeExceeded = 0;
  Font NormalFont{14, FW_NORMAL};
  Font BoldFont{14, FW_BOLD};
  int32_t TextHeight = 0;
  int32_t TextAveWidth = 0;
  int32_t RecordLength = 26;
  WindowHandle MainWindow = nullptr;
  WindowHandle LoggingWindow = nullptr;
  WindowHandle MonitorGpsWindow = nullptr;
  WindowHandle ViewFilesWindow = nullptr;
  std::array<WindowHandle, kMainButtonCount> Buttons{};
  ChooseColorFunction ChooseColorFn = nullptr;
};

// The process-wide shell state.
extern ShellState Shell;

// Puts every field of Shell back to its start value (for a new main window).
void ResetShellState();

// What ShowInputPanelButton asks of the input-panel button: shown or hidden,
// or nothing at all. Only a "Storage" build has the button; it is shown in
// portrait only.
std::optional<bool> InputPanelButtonRequest(bool show, int32_t storage_root, int32_t portrait);

// Shows (true) or hides (false) the input-panel button around a dialog.
void ShowInputPanelButton(bool show);

// Whether HideTaskBarFor asks for a full screen without the task bar.
bool HidesTaskBar(int32_t storage_root, int32_t portrait);

// Shows `window` full-screen with the task bar hidden, where the build and
// screen call for it; called after every dialog.
void HideTaskBarFor(WindowHandle window);

// Refuses what was typed into field `id` of `dialog`: the "WARNING" box with
// `text` (from the checks of survey/typed_fields.h), then the operator is
// taken back to the field with its text selected for the correction.
void RefuseDialogField(WindowHandle dialog, int id, std::string_view text);

}  // namespace tq
