#include "app/shell_state.h"

#include "platform/shell.h"
#include "settings/build_config.h"

namespace tq {

ShellState Shell;

void ResetShellState() {
  Shell.Portrait = 1;
  Shell.ScreenWidth = 240;
  Shell.ScreenHeight = 320;
  Shell.PlotBottom = 298;
  Shell.PlotLeft = 4;
  Shell.PlotTop = 0;
  Shell.PlotRight = 232;
  Shell.DefaultButton = 1;
  Shell.KeepAlive = 0;
  Shell.LoggingActive = 0;
  Shell.UptimeExceeded = 0;
  Shell.NormalFont = Font{14, FW_NORMAL};
  Shell.BoldFont = Font{14, FW_BOLD};
  Shell.TextHeight = 0;
  Shell.TextAveWidth = 0;
  Shell.RecordLength = 26;
  Shell.MainWindow = nullptr;
  Shell.LoggingWindow = nullptr;
  Shell.MonitorGpsWindow = nullptr;
  Shell.ViewFilesWindow = nullptr;
  Shell.Buttons = {};
  Shell.ChooseColorFn = nullptr;
}

std::optional<bool> InputPanelButtonRequest(bool show, int32_t storage_root, int32_t portrait) {
  if (storage_root != 1) return std::nullopt;
  if (!show) return false;
  if (portrait != 1) return std::nullopt;
  return true;
}

void ShowInputPanelButton(bool show) {
  if (std::optional<bool> shown = InputPanelButtonRequest(show, Build().StorageRoot, Shell.Portrait)) {
    ShowSipButton(*shown);
  }
}

bool HidesTaskBar(int32_t storage_root, int32_t portrait) {
  return storage_root == 1 && portrait == 1;
}

void HideTaskBarFor(WindowHandle window) {
  if (HidesTaskBar(Build().StorageRoot, Shell.Portrait)) RequestFullScreen(window, SHFS_HIDETASKBAR);
}

}  // namespace tq
