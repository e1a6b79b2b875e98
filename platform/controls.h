// Controls: buttons, static texts, edits, combo boxes and list boxes.
//
// Controls are created with CreateWindow ("BUTTON", "STATIC", "EDIT",
// "COMBOBOX", "LISTBOX" and the BS_, SS_, ES_, CBS_, LBS_ styles) or by a
// dialog template. What the operator does with them reaches the parent's
// procedure as WM_COMMAND with wparam MAKEWPARAM(id, code) and lparam the
// control's handle: BN_CLICKED (push, check and owner-drawn buttons),
// CBN_SELCHANGE, CBN_SELENDOK, CBN_DROPDOWN, CBN_CLOSEUP, CBN_SELENDCANCEL
// (combo boxes), LBN_SELCHANGE (list boxes with LBS_NOTIFY), EN_CHANGE (edits,
// also when the program sets the text), EN_SETFOCUS and EN_KILLFOCUS (edits
// gaining and losing the keyboard focus). Changes the program makes to combo
// boxes, list boxes and check boxes send nothing.
//
// An owner-drawn button (BS_OWNERDRAW) asks its parent to draw it with
// WM_DRAWITEM, lparam pointing at a DrawItem, whenever it is shown, pressed,
// released, focused or invalidated.
//
// Every function fails (returns false, CB_ERR or LB_ERR) on a handle that is
// not a control of the right kind. User-interface thread only.
#pragma once

#include <string>
#include <string_view>

#include "platform/drawing.h"
#include "platform/messages.h"
#include "platform/window_types.h"

namespace tq {

struct DrawItem {
  int control_type = ODT_BUTTON;
  int control_id = 0;
  uint32_t action = ODA_DRAWENTIRE;
  uint32_t state = 0;  // ODS_SELECTED, ODS_FOCUS, ODS_DISABLED
  WindowHandle control = nullptr;
  DcHandle dc = nullptr;  // draws into the button; valid during WM_DRAWITEM only
  Rect rect;
};

bool SetDlgItemText(WindowHandle dialog, int id, std::string_view text);
// The text of control `id`; empty when there is none.
std::string GetDlgItemText(WindowHandle dialog, int id);

// Combo boxes. Indexes are 0-based positions.
int AddComboString(WindowHandle combo, std::string_view text);  // index or CB_ERR
bool ResetComboContent(WindowHandle combo);
int SetComboSelection(WindowHandle combo, int index);  // index, CB_ERR when out of range
int GetComboSelection(WindowHandle combo);             // CB_ERR when none
int GetComboCount(WindowHandle combo);
std::string GetComboString(WindowHandle combo, int index);
bool ShowComboDropDown(WindowHandle combo, bool show);
// Width in pixels of the dropped list, at least the closed box's: wide
// enough for the longest entry.
int GetComboDroppedWidth(WindowHandle combo);

// List boxes.
int AddListString(WindowHandle list, std::string_view text);  // index or LB_ERR
bool ResetListContent(WindowHandle list);
// Removes item `index`; returns the count left, LB_ERR when out of range.
int DeleteListString(WindowHandle list, int index);
int SetListSelection(WindowHandle list, int index);
int GetListSelection(WindowHandle list);
int GetListCount(WindowHandle list);
std::string GetListString(WindowHandle list, int index);
// Scrolls so that item `index` is the top visible line.
bool SetListTopIndex(WindowHandle list, int index);
int GetListTopIndex(WindowHandle list);

// Check boxes.
bool SetButtonCheck(WindowHandle button, bool checked);
bool IsButtonChecked(WindowHandle button);
bool CheckDlgButton(WindowHandle dialog, int id, bool checked);
bool IsDlgButtonChecked(WindowHandle dialog, int id);

// Push buttons: the pressed look (the system's BM_SETSTATE) and the default
// style (a heavier frame; Enter is the window's own business).
bool SetButtonState(WindowHandle button, bool pressed);
bool GetButtonState(WindowHandle button);
bool SetButtonDefault(WindowHandle button, bool is_default);
bool IsButtonDefault(WindowHandle button);

// Edits.
bool SetEditReadOnly(WindowHandle edit, bool read_only);
bool IsEditReadOnly(WindowHandle edit);
// Selects the whole text, as the system's EM_SETSEL with 0 and -1 does.
bool SelectEditText(WindowHandle edit);
// The selected part of the text; empty when nothing is selected.
std::string GetEditSelection(WindowHandle edit);

// Font of a control's text (the screen font unless a template says otherwise).
bool SetControlFont(WindowHandle control, Font font);

}  // namespace tq
