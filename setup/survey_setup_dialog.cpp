// The survey setup dialog: one procedure for every kind's template.
#include <memory>

#include "platform/controls.h"
#include "platform/dialogs.h"
#include "platform/text.h"
#include "platform/window.h"
#include "settings/settings.h"
#include "shell/shell_state.h"
#include "setup/dialog_lists.h"
#include "setup/setup_dialogs.h"
#include "setup/survey_setup.h"

namespace tq {
namespace {

constexpr int kModeLabel = 600;
constexpr int kRateLabel = 601;
constexpr int kDipoleLabel = 603;
constexpr int kIncrementLabel = 609;
constexpr int kModeList = 620;
constexpr int kRate = 621;
constexpr int kComponentList = 622;
constexpr int kDipoleList = 623;
constexpr int kLine = 624;
constexpr int kLineIncrement = 625;
constexpr int kSequenceList = 626;
constexpr int kDirectionList = 627;
constexpr int kStartStation = 628;
constexpr int kStationIncrement = 629;

void ShowRate(WindowHandle dialog, int32_t kind, const SurveySetupCopies& copies, bool opening) {
  RateField field = RateFieldFor(kind, copies, opening);
  SetDlgItemText(dialog, kRateLabel, field.label);
  SetDlgItemText(dialog, kRate, field.text);
  SetEditReadOnly(GetDlgItem(dialog, kRate), field.read_only);
}

void ShowModeLists(WindowHandle dialog, int32_t kind, const SurveySetupCopies& copies) {
  FillDialogList(dialog, kComponentList, ComponentEntries(kind, copies.mode), copies.component_position);
  FillDialogList(dialog, kDipoleList, DipoleEntries(kind, copies.mode), copies.dipole);
  SetTextUnlessEmpty(dialog, kDipoleLabel, DipoleLabel(kind, copies.mode));
}

struct SurveyDialogState {
  int32_t kind = kKindTq68Mk2;
  SurveySetupCopies copies;
  bool ready = false;  // the fields are filled and not yet closing; their notifications count
  StationGroup* group = nullptr;
  SetupOutcome outcome;
};

void Initialise(WindowHandle dialog, SurveyDialogState& st) {
  const SettingsStore& s = Settings;
  st.copies = TakeSurveySetupCopies(s, st.kind);
  SetTextUnlessEmpty(dialog, kModeLabel, SurveyModeLabel(st.kind));
  FillDialogList(dialog, kModeList, SurveyModeEntries(st.kind), PositionOfSurveyMode(st.kind, s.SurveyMode));
  ShowRate(dialog, st.kind, st.copies, true);
  ShowModeLists(dialog, st.kind, st.copies);
  SetDlgItemText(dialog, kLine, s.SurveyLine);
  SetDlgItemText(dialog, kLineIncrement, FormatFixed(s.LineIncrement, 2));
  FillDialogList(dialog, kSequenceList, {"Alternate", "One Way"}, s.Sequence);
  FillDialogList(dialog, kDirectionList, {"West", "South", "North", "East"}, s.Direction);
  SetDlgItemText(dialog, kStartStation, FormatFixed(s.StartStation, 3));
  SetDlgItemText(dialog, kStationIncrement, FormatFixed(s.StationIncrement, 3));
  st.ready = true;
}

void ChangeMode(WindowHandle dialog, SurveyDialogState& st) {
  int32_t new_mode = SurveyModeOfPosition(st.kind, DialogListPosition(dialog, kModeList));
  // What the operator picked in the lists so far goes along with the mode.
  if (int position = DialogListPosition(dialog, kComponentList); position >= 0) {
    st.copies.component_position = position;
  }
  if (int position = DialogListPosition(dialog, kDipoleList); position >= 0) st.copies.dipole = position;
  if (!ChangeSurveyMode(st.copies, st.kind, new_mode)) return;
  ShowModeLists(dialog, st.kind, st.copies);
  SetDlgItemText(dialog, kStationIncrement, FormatFixed(st.copies.increment_shown, 3));
  ShowRate(dialog, st.kind, st.copies, false);
  if (st.kind != kKindFrz62 || new_mode != kSurveyWheel) {
    SetDlgItemText(dialog, kIncrementLabel, IncrementLabel(st.kind, new_mode));
  }
}

int ControlOf(SurveySetupField field) {
  switch (field) {
    case SurveySetupField::kRate: return kRate;
    case SurveySetupField::kLine: return kLine;
    case SurveySetupField::kLineIncrement: return kLineIncrement;
    case SurveySetupField::kStartStation: return kStartStation;
    case SurveySetupField::kStationIncrement: return kStationIncrement;
  }
  return kRate;
}

// Typing changes only the working copies: a field rewritten under the
// operator's fingers turns "0.5" into "1.000.5". What the field's rule makes
// of the text is shown once the operator leaves it.
void EditField(WindowHandle dialog, SurveyDialogState& st, int id, int code) {
  if (code != EN_CHANGE && code != EN_KILLFOCUS) return;
  const std::string text = GetDlgItemText(dialog, id);
  std::optional<std::string> shown =
      id == kRate ? EditRateText(st.copies, st.kind, text) : EditIncrementText(st.copies, text);
  if (code == EN_KILLFOCUS && shown) SetDlgItemText(dialog, id, *shown);
}

// Returns false, with the dialog left open, when a number is refused.
bool Accept(WindowHandle dialog, SurveyDialogState& st) {
  SurveySetupEntry entry;
  entry.mode_position = DialogListPosition(dialog, kModeList);
  entry.rate = GetDlgItemText(dialog, kRate);
  entry.component_position = DialogListPosition(dialog, kComponentList);
  entry.dipole_position = DialogListPosition(dialog, kDipoleList);
  entry.line = GetDlgItemText(dialog, kLine);
  entry.line_increment = GetDlgItemText(dialog, kLineIncrement);
  entry.sequence = DialogListPosition(dialog, kSequenceList);
  entry.direction = DialogListPosition(dialog, kDirectionList);
  entry.start_station = GetDlgItemText(dialog, kStartStation);
  entry.station_increment = GetDlgItemText(dialog, kStationIncrement);
  if (auto refused = CheckSurveySetup(st.kind, entry)) {
    RefuseDialogField(dialog, ControlOf(refused->field), refused->text);
    return false;
  }
  const BuildConfig& build = Build();
  ApplySurveySetup(Settings, build, entry);
  st.group->AdvanceArmed = 0;
  st.outcome.accepted = true;
  st.outcome.saved = SaveSettings(Settings, build);
  return true;
}

intptr_t OnCommand(WindowHandle dialog, SurveyDialogState& st, uintptr_t wparam) {
  const int id = LOWORD(wparam);
  const int code = HIWORD(wparam);
  switch (id) {
    case IDOK:
      if (!Accept(dialog, st)) return 1;
      st.ready = false;
      EndDialog(dialog, 0);
      return 1;
    case IDCANCEL:
      st.ready = false;
      EndDialog(dialog, 0);
      return 1;
    case kModeList:
      if (st.ready) ChangeMode(dialog, st);
      return 1;
    case kRate:
    case kStationIncrement:
      if (st.ready) EditField(dialog, st, id, code);
      return 1;
    default:
      return 1;
  }
}

}  // namespace

SetupOutcome RunSurveySetupDialog(WindowHandle owner, std::string_view template_name, StationGroup& group) {
  auto st = std::make_shared<SurveyDialogState>();
  st->kind = Build().InstrumentKind;
  st->group = &group;
  OpenDialogTemplate(template_name, owner,
                     [st](WindowHandle dialog, uint32_t message, uintptr_t wparam, intptr_t) -> intptr_t {
                       if (message == WM_INITDIALOG) {
                         Initialise(dialog, *st);
                         return 1;
                       }
                       if (message == WM_COMMAND) return OnCommand(dialog, *st, wparam);
                       return 0;
                     });
  return st->outcome;
}

}  // namespace tq
