#include "shell/shell_state.h"

#include "platform/controls.h"
#include "platform/dialogs.h"
#include "platform/shell.h"
#include "platform/window.h"
#include "settings/build_config.h"
#include "survey/typed_fields.h"

namespace tq {

ShellState Shell;

void ResetShellState() { Shell = ShellState{}; }

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

void RefuseDialogField(WindowHandle dialog, int id, std::string_view text) {
  MessageBox(dialog, text, kWarningCaption, MB_OK | MB_ICONEXCLAMATION);
  WindowHandle field = GetDlgItem(dialog, id);
  SetFocus(field);
  SelectEditText(field);
}

}  // namespace tq
