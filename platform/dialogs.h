// Modal dialogs from templates, message boxes, beeps, pop-up menus, the open
// and save file dialogs and the colour picker.
//
// A dialog shows its title in a caption bar with "OK" (WM_COMMAND IDOK) and a
// close box (WM_CLOSE, which the default dialog handling turns into
// WM_COMMAND IDCANCEL); Enter and Escape do the same. The procedure must call
// EndDialog to close it. Every modal call here is answered by the installed
// modal responder (modal_responder.h) when there is one. User-interface
// thread only.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/messages.h"
#include "platform/resource_script.h"
#include "platform/window_types.h"

namespace tq {

// Returns true when it handled the message (for WM_INITDIALOG: true sets the
// focus to the first control that takes it).
using DialogProc =
    std::function<intptr_t(WindowHandle dialog, uint32_t message, uintptr_t wparam, intptr_t lparam)>;

// Runs the template `name` (any case) modally over `owner`: creates its
// controls, sends WM_INITDIALOG with `init_param`, and returns what the
// procedure gave EndDialog; 0 when the dialog was destroyed or the program is
// quitting, -1 when there is no such template.
intptr_t OpenDialogTemplate(std::string_view name, WindowHandle owner, DialogProc procedure,
                            intptr_t init_param = 0);
// Closes the dialog with `result` once its procedure returns.
bool EndDialog(WindowHandle dialog, intptr_t result);

// Base units of a dialog (pixels per 4 horizontal and 8 vertical units).
DialogBaseUnits GetDialogBaseUnits(WindowHandle dialog);

// Every template and menu under resources/, parsed once.
const ResourceScript& LoadedResources();
// "<file>:<line>: <reason>" for each fault found while loading them.
std::vector<std::string> ResourceFileErrors();
// Adds the templates and menus of `script_text` (the same format) to the
// loaded ones, for templates made at run time; false with the reason in
// `error` when it does not parse or redefines a name.
bool AddResourceScript(std::string_view script_text, std::string* error);

// MB_OK or MB_YESNO with MB_ICONINFORMATION, MB_ICONQUESTION or
// MB_ICONEXCLAMATION; returns IDOK, IDYES or IDNO (0 when destroyed).
int MessageBox(WindowHandle owner, std::string_view text, std::string_view caption, uint32_t type);

// Closes every modal window open over `owner` or a window inside it (its
// dialogs, message boxes, pop-up menu, file dialogs and colour picker, and
// what those opened in turn), the last opened first, each as cancelled: a
// dialog gets its procedure's cancel (IDCANCEL), a message box ends with IDNO
// or IDOK, a menu, a file dialog and the picker choose nothing. An answer
// that comes afterwards, from a person or a responder, changes nothing.
// Returns how many were open.
int EndModalWindowsOver(WindowHandle owner);

// 16 (stop) or 48 (exclamation) and friends; the sound is the system bell.
bool MessageBeep(uint32_t type);

// Shows pop-up menu `menu_id` (resources/menus) with its left, centre or
// right (TPM_ flags) at (x, y) of `owner`'s client area. Returns the chosen
// command id, 0 when none was chosen; without TPM_RETURNCMD the choice is
// also posted to `owner` as WM_COMMAND.
int TrackPopupMenu(int menu_id, uint32_t flags, int x, int y, WindowHandle owner);

struct FileDialogOptions {
  std::string title;
  std::string filter_text;        // "TQ68MK2 Files (*.N68)"
  std::string filter_pattern;     // "*.N68"
  std::string default_extension;  // "N68", added when the name has none
  std::string initial_folder;     // a path on this machine
  std::string initial_name;       // preset file name, may be empty
};

// The chosen path, nothing when cancelled. The save dialog does not ask about
// existing files: the caller decides.
std::optional<std::string> GetOpenFileName(WindowHandle owner, const FileDialogOptions& options);
std::optional<std::string> GetSaveFileName(WindowHandle owner, const FileDialogOptions& options);

// Whether a colour picker exists on this machine (always, with this layer).
bool IsColorPickerAvailable();
// The picked colour, nothing when cancelled.
std::optional<ColorRef> ChooseColor(WindowHandle owner, ColorRef initial);

}  // namespace tq
