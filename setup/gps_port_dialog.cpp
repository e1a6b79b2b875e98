// The GPS port setup dialog.
#include <array>

#include "platform/dialogs.h"
#include "settings/settings.h"
#include "setup/dialog_lists.h"
#include "setup/gps_port_setup.h"
#include "setup/setup_dialogs.h"

namespace tq {
namespace {

constexpr int kFirstList = 720;  // 720..725 in the order of GpsPortListEntries
constexpr int kMonitorButton = 729;

std::array<int32_t, kGpsPortListCount> ChosenPositions(WindowHandle dialog) {
  std::array<int32_t, kGpsPortListCount> positions{};
  for (size_t i = 0; i < kGpsPortListCount; ++i) {
    positions[i] = DialogListPosition(dialog, kFirstList + static_cast<int>(i));
  }
  return positions;
}

}  // namespace

intptr_t RunGpsPortSetupDialog(WindowHandle owner, std::string_view template_name) {
  return OpenDialogTemplate(
      template_name, owner, [](WindowHandle dialog, uint32_t message, uintptr_t wparam, intptr_t) -> intptr_t {
        if (message == WM_INITDIALOG) {
          std::array<int32_t, kGpsPortListCount> selected = GpsPortSelections(Settings);
          for (size_t i = 0; i < kGpsPortListCount; ++i) {
            FillDialogList(dialog, kFirstList + static_cast<int>(i), GpsPortListEntries(i), selected[i]);
          }
          return 1;
        }
        if (message != WM_COMMAND) return 0;
        switch (LOWORD(wparam)) {
          case IDOK:
            ApplyGpsPortSetup(Settings, ChosenPositions(dialog));
            SaveSettings(Settings, Build());
            EndDialog(dialog, 0);
            break;
          case IDCANCEL:
            EndDialog(dialog, 0);
            break;
          case kMonitorButton:
            // Applied for the monitor only; the file keeps the old values
            // until the next save.
            ApplyGpsPortSetup(Settings, ChosenPositions(dialog));
            EndDialog(dialog, kGpsPortMonitor);
            break;
          default:
            break;
        }
        return 1;
      });
}

}  // namespace tq
