// Small helpers the setup dialogs share for their lists and fields.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "platform/controls.h"
#include "platform/window.h"

namespace tq {

// Refills list `id` of `dialog` with `entries` and selects `selected`; a
// template without the list is left alone.
inline void FillDialogList(WindowHandle dialog, int id, const std::vector<std::string>& entries, int selected) {
  WindowHandle combo = GetDlgItem(dialog, id);
  if (combo == nullptr) return;
  ResetComboContent(combo);
  for (const std::string& entry : entries) AddComboString(combo, entry);
  SetComboSelection(combo, selected);
}

// The selected position of list `id`; -1 when there is no choice or no list.
inline int DialogListPosition(WindowHandle dialog, int id) {
  WindowHandle combo = GetDlgItem(dialog, id);
  if (combo == nullptr) return -1;
  int position = GetComboSelection(combo);
  return position < 0 ? -1 : position;
}

inline void SetTextUnlessEmpty(WindowHandle dialog, int id, std::string_view text) {
  if (!text.empty()) SetDlgItemText(dialog, id, text);
}

}  // namespace tq
