// The logger setup dialog: one procedure for the four templates.
#include <memory>

#include "shell/shell_state.h"
#include "platform/controls.h"
#include "platform/dialogs.h"
#include "platform/window.h"
#include "settings/settings.h"
#include "setup/dialog_lists.h"
#include "setup/logger_setup.h"
#include "setup/setup_dialogs.h"

namespace tq {
namespace {

constexpr int kPortLabel = 803;
constexpr int kVariantList = 810;
constexpr int kExtMarkerList = 813;
constexpr int kSoftMarkerList = 814;
constexpr int kIceList = 816;
constexpr int kSeaWaterList = 818;
constexpr int kShowProfileList = 820;
constexpr int kPortList = 823;
constexpr int kUnitsList = 824;
constexpr int kAudioList = 825;
constexpr int kPauseKeyList = 826;

void EnableIceLists(WindowHandle dialog, bool enable) {
  for (int id : {kSeaWaterList, kShowProfileList}) {
    if (WindowHandle list = GetDlgItem(dialog, id)) EnableWindow(list, enable);
  }
}

void Initialise(WindowHandle dialog) {
  const BuildConfig& build = Build();
  const int32_t kind = build.InstrumentKind;
  const bool portrait = Shell.Portrait == 1;
  const SettingsStore& s = Settings;
  if (kind == kKindTq62 && build.IceOptionBuilt == 1) {
    FillDialogList(dialog, kIceList, {"Disabled", "Enabled"}, s.IceOption);
    FillDialogList(dialog, kSeaWaterList, SeaWaterEntries(), s.SeaWaterIndex);
    FillDialogList(dialog, kShowProfileList, {"Cond./Inphase", "Ice Thickness"}, s.ShowProfile);
    EnableIceLists(dialog, s.IceOption != 0);
  }
  std::vector<std::string> variants = InstrumentVariantEntries(kind);
  if (!variants.empty()) FillDialogList(dialog, kVariantList, variants, InstrumentVariantPosition(s, kind));
  SetTextUnlessEmpty(dialog, kPortLabel, InstrumentPortLabel(kind));
  FillDialogList(dialog, kPortList, ComPortEntries(), s.InstrumentPort);
  if (kind == kKindTq68Mk2) {
    FillDialogList(dialog, kExtMarkerList, ExtMarkerEntries(), s.ExtMarkerPort);
    FillDialogList(dialog, kSoftMarkerList, SoftMarkerEntries(portrait, build.StorageRoot), s.SoftMarker);
  }
  FillDialogList(dialog, kUnitsList, {"meters", "feet"}, s.Units);
  FillDialogList(dialog, kAudioList, {"No", "Yes"}, s.Audio);
  FillDialogList(dialog, kPauseKeyList, PauseKeyEntries(kind, portrait), s.PauseKey);
}

void Accept(WindowHandle dialog) {
  LoggerSetupEntry e;
  e.ice_option = DialogListPosition(dialog, kIceList);
  e.sea_water = DialogListPosition(dialog, kSeaWaterList);
  e.show_profile = DialogListPosition(dialog, kShowProfileList);
  e.variant = DialogListPosition(dialog, kVariantList);
  e.port = DialogListPosition(dialog, kPortList);
  e.ext_marker = DialogListPosition(dialog, kExtMarkerList);
  e.soft_marker = DialogListPosition(dialog, kSoftMarkerList);
  e.units = DialogListPosition(dialog, kUnitsList);
  e.audio = DialogListPosition(dialog, kAudioList);
  e.pause_key = DialogListPosition(dialog, kPauseKeyList);
  ApplyLoggerSetup(Settings, Build(), Shell.Portrait == 1, e);
}

}  // namespace

SetupOutcome RunLoggerSetupDialog(WindowHandle owner, std::string_view template_name) {
  auto outcome = std::make_shared<SetupOutcome>();
  OpenDialogTemplate(template_name, owner,
                     [outcome](WindowHandle dialog, uint32_t message, uintptr_t wparam, intptr_t) -> intptr_t {
                       if (message == WM_INITDIALOG) {
                         Initialise(dialog);
                         return 1;
                       }
                       if (message != WM_COMMAND) return 0;
                       switch (LOWORD(wparam)) {
                         case IDOK:
                           Accept(dialog);
                           outcome->accepted = true;
                           outcome->saved = SaveSettings(Settings, Build());
                           EndDialog(dialog, 0);
                           break;
                         case IDCANCEL:
                           EndDialog(dialog, 0);
                           break;
                         case kIceList:
                           // The ice choices only mean something with the option on.
                           EnableIceLists(dialog, DialogListPosition(dialog, kIceList) == 1);
                           break;
                         case kPauseKeyList:
                           if (PauseKeyFixed(Build().InstrumentKind, Shell.Portrait == 1)) {
                             SetComboSelection(GetDlgItem(dialog, kPauseKeyList), kEnterPauseKey);
                           }
                           break;
                         default:
                           break;
                       }
                       return 1;
                     });
  return *outcome;
}

}  // namespace tq
