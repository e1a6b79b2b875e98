// The display options dialog and its colour swatches.
#include <memory>

#include "shell/shell_state.h"
#include "platform/controls.h"
#include "platform/dialogs.h"
#include "platform/drawing.h"
#include "platform/window.h"
#include "settings/settings.h"
#include "setup/dialog_lists.h"
#include "setup/display_options.h"
#include "setup/setup_dialogs.h"

namespace tq {
namespace {

constexpr int kFirstBox = 750;
constexpr int kFirstSwatch = 758;
constexpr int kFirstThickness = 766;
constexpr int kGridList = 775;
constexpr int kShowProfileList = 777;
constexpr int kSlots = 8;

bool InRun(int id, int first) { return id >= first && id < first + kSlots; }

void DrawSwatch(const DrawItem& item) {
  const size_t slot = static_cast<size_t>(item.control_id - kFirstSwatch);
  const Rect r = item.rect;
  const bool pressed = (item.state & ODS_SELECTED) != 0;
  DcHandle dc = item.dc;
  SelectPen(dc, CreatePen(PS_SOLID, 1, Rgb(0, 0, 0)));
  SelectBrush(dc, kWhiteBrush);
  Rectangle(dc, r.left, r.top, r.right, r.bottom);
  const ColorRef light = GetSysColor(pressed ? COLOR_3DDKSHADOW : COLOR_3DLIGHT);
  const ColorRef dark = GetSysColor(pressed ? COLOR_3DLIGHT : COLOR_3DDKSHADOW);
  const int left = r.left + 1, top = r.top + 1, right = r.right - 2, bottom = r.bottom - 2;
  auto edge = [dc](int width, ColorRef color, Point a, Point b, Point c) {
    SelectPen(dc, CreatePen(PS_SOLID, width, color));
    MoveTo(dc, a.x, a.y);
    LineTo(dc, b.x, b.y);
    LineTo(dc, c.x, c.y);
  };
  edge(1, light, {left, bottom}, {left, top}, {right, top});
  edge(3, GetSysColor(COLOR_BTNSHADOW), {left + 2, bottom - 1}, {right - 1, bottom - 1}, {right - 1, top + 2});
  edge(1, dark, {left, bottom}, {right, bottom}, {right, top - 1});
  const SettingsStore& s = Settings;
  SelectPen(dc, CreatePen(PS_SOLID, s.TraceThickness[slot], s.TraceColor[slot]));
  MoveTo(dc, r.left + 3, r.top + (pressed ? 6 : 10));
  LineTo(dc, r.right - 5, r.top + (pressed ? 14 : 10));
  if (item.state & ODS_FOCUS) {
    SelectPen(dc, CreatePen(PS_SOLID, 1, GetSysColor(COLOR_BTNSHADOW)));
    SelectBrush(dc, kNullBrush);
    Rectangle(dc, r.left + 3, r.top + 3, r.right - 4, r.bottom - 4);
  }
}

struct DisplayDialogState {
  TraceLooks looks;
  SetupOutcome outcome;
};

void Initialise(WindowHandle dialog, DisplayDialogState& st) {
  const BuildConfig& build = Build();
  const SettingsStore& s = Settings;
  st.looks = TakeTraceLooks(s);
  const int slots = DisplaySlotCount(build);
  for (int slot = 0; slot < slots; ++slot) {
    FillDialogList(dialog, kFirstThickness + slot, ThicknessEntries(),
                   s.TraceThickness[static_cast<size_t>(slot)] - 1);
    CheckDlgButton(dialog, kFirstBox + slot, s.TraceVisible[static_cast<size_t>(slot)] == 1);
  }
  if (HasIceDisplay(build)) FillDialogList(dialog, kShowProfileList, ShowProfileEntries(), s.ShowProfile);
  // The grid the traces put in force, as OK leaves it: with the ice option
  // built but off, the Ice Thickness profile does not take the grid.
  SettingsStore in_force = s;
  ActivateDisplaySelection(in_force, build);
  std::vector<std::string> grids = GridEntries(build);
  if (!grids.empty()) FillDialogList(dialog, kGridList, grids, in_force.GridFor);
}

void Accept(WindowHandle dialog, DisplayDialogState& st) {
  const BuildConfig& build = Build();
  DisplayOptionsEntry entry;
  for (int slot = 0; slot < kSlots; ++slot) {
    WindowHandle box = GetDlgItem(dialog, kFirstBox + slot);
    entry.visible[static_cast<size_t>(slot)] = box != nullptr && IsButtonChecked(box);
  }
  entry.grid_position = DialogListPosition(dialog, kGridList);
  entry.show_profile_position = DialogListPosition(dialog, kShowProfileList);
  ApplyDisplayOptions(Settings, build, entry);
  // The traces shown may force the grid to their scale: the file keeps the
  // grid in force, not the one the list showed.
  ActivateDisplaySelection(Settings, build);
  st.outcome.accepted = true;
  st.outcome.saved = SaveSettings(Settings, build);
}

void PickTraceColor(WindowHandle dialog, int slot) {
  if (Shell.ChooseColorFn == nullptr) return;
  uint32_t& color = Settings.TraceColor[static_cast<size_t>(slot)];
  if (std::optional<ColorRef> picked = Shell.ChooseColorFn(dialog, color)) color = *picked;
}

intptr_t OnCommand(WindowHandle dialog, DisplayDialogState& st, uintptr_t wparam) {
  const int id = LOWORD(wparam);
  const int code = HIWORD(wparam);
  if (id == IDOK) {
    Accept(dialog, st);
    EndDialog(dialog, 0);
  } else if (id == IDCANCEL) {
    RestoreTraceLooks(Settings, Build(), st.looks);
    EndDialog(dialog, 0);
  } else if (InRun(id, kFirstThickness) && code == CBN_SELCHANGE) {
    const int slot = id - kFirstThickness;
    int position = DialogListPosition(dialog, id);
    if (position >= 0) Settings.TraceThickness[static_cast<size_t>(slot)] = position + 1;
    InvalidateRect(GetDlgItem(dialog, kFirstSwatch + slot), nullptr, true);
    InvalidateRect(dialog, nullptr, true);
  } else if (InRun(id, kFirstSwatch) && code == BN_CLICKED) {
    PickTraceColor(dialog, id - kFirstSwatch);
    InvalidateRect(GetDlgItem(dialog, id), nullptr, true);
  } else if (id == kShowProfileList) {
    int32_t grid = GridForShowProfile(DialogListPosition(dialog, kGridList),
                                      DialogListPosition(dialog, kShowProfileList));
    SetComboSelection(GetDlgItem(dialog, kGridList), grid);
  }
  return 1;
}

}  // namespace

SetupOutcome RunDisplayOptionsDialog(WindowHandle owner, std::string_view template_name) {
  auto st = std::make_shared<DisplayDialogState>();
  OpenDialogTemplate(template_name, owner,
                     [st](WindowHandle dialog, uint32_t message, uintptr_t wparam, intptr_t lparam) -> intptr_t {
                       switch (message) {
                         case WM_INITDIALOG:
                           Initialise(dialog, *st);
                           return 1;
                         case WM_DRAWITEM: {
                           const auto* item = reinterpret_cast<const DrawItem*>(lparam);
                           if (item == nullptr || !InRun(item->control_id, kFirstSwatch)) return 0;
                           DrawSwatch(*item);
                           return 1;
                         }
                         case WM_COMMAND:
                           return OnCommand(dialog, *st, wparam);
                         default:
                           return 0;
                       }
                     });
  return st->outcome;
}

}  // namespace tq
