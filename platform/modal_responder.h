// Answers for modal calls in place of a person, and the person's own actions
// (taps, keys, choices), for tests.
//
// With a responder installed, every message box, dialog, pop-up menu, file
// dialog and colour picker asks it instead of waiting for the operator. A
// dialog is created, initialised and shown first; the responder may work its
// controls (the functions below) and then names the title-bar command to
// press. A call nobody answers is reported through the failure handler
// (default: print and abort) instead of hanging: also when no responder is
// installed and the display is one no person can see (offscreen, minimal).
#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/dialogs.h"
#include "platform/messages.h"
#include "platform/resource_script.h"
#include "platform/window_types.h"

namespace tq {

enum class ModalKind { kMessageBox, kDialog, kMenu, kOpenFile, kSaveFile, kColor };

struct ModalRequest {
  ModalKind kind = ModalKind::kMessageBox;
  // Message-box caption, template name (as asked), menu id in decimal, file
  // dialog title, "Color".
  std::string name;
  std::string text;    // message-box text
  uint32_t flags = 0;  // message-box type, menu TPM_ flags
  WindowHandle window = nullptr;  // the open dialog or message box
  std::vector<MenuItem> menu_items;
  FileDialogOptions file;
  ColorRef color = 0;  // the colour picker's starting colour
};

struct ModalAnswer {
  // Message box: IDOK, IDYES or IDNO. Dialog: the title-bar command to press
  // (IDOK or IDCANCEL), 0 when the responder closed the dialog itself. Menu:
  // the command id, 0 for none.
  intptr_t result = 0;
  std::optional<std::string> path;  // file dialogs: nothing means cancelled
  // Colour picker: nothing means cancelled. A picker that keys or taps
  // closed before the answer keeps their choice.
  std::optional<ColorRef> color;
};

class ModalResponder {
 public:
  virtual ~ModalResponder() = default;
  // The answer, or nothing when this request was not expected.
  virtual std::optional<ModalAnswer> Answer(const ModalRequest& request) = 0;
  // Told about every MessageBeep.
  virtual void Beep(uint32_t type) { (void)type; }
};

// Installs `responder` (null removes it); returns the one before.
ModalResponder* InstallModalResponder(ModalResponder* responder);

// Says that a person drives this program even on a display nobody sees (the
// logger on the offscreen display with its keys from an evdev keyboard):
// modal calls without a responder then wait for the person's keys as on a
// screen, instead of being reported unanswered. Test programs leave it unset.
void ExpectPersonOnInvisibleDisplay();

// Where unanswered calls and other test faults are reported; null restores
// the default (print to stderr and abort).
void SetModalFailureHandler(std::function<void(const std::string&)> handler);
void ReportModalFailure(const std::string& what);

// Answers from a script, in order. A request that does not match the next
// step (kind and name, names compared without case) is reported as a failure
// and dismissed (IDCANCEL, no path, no colour, no command).
class ScriptedResponder : public ModalResponder {
 public:
  using DialogScript = std::function<void(WindowHandle dialog)>;

  ScriptedResponder& OnMessageBox(std::string caption, int answer);
  // Runs `script` on the open dialog, then presses `command` unless the
  // script closed the dialog.
  ScriptedResponder& OnDialog(std::string template_name, DialogScript script, int command = IDOK);
  ScriptedResponder& OnMenu(int menu_id, int command);
  ScriptedResponder& OnOpenFile(std::optional<std::string> path);
  ScriptedResponder& OnSaveFile(std::optional<std::string> path);
  ScriptedResponder& OnColor(std::optional<ColorRef> color);

  std::optional<ModalAnswer> Answer(const ModalRequest& request) override;
  void Beep(uint32_t type) override { beeps_.push_back(type); }

  // Every request seen, in order.
  const std::vector<ModalRequest>& Requests() const { return requests_; }
  const std::vector<uint32_t>& Beeps() const { return beeps_; }
  // Steps not used yet.
  size_t PendingSteps() const { return steps_.size(); }

 private:
  struct Step {
    ModalKind kind;
    std::string name;
    ModalAnswer answer;
    DialogScript script;
  };
  std::deque<Step> steps_;
  std::vector<ModalRequest> requests_;
  std::vector<uint32_t> beeps_;
};

// Installs a responder for the life of the object.
class ScopedModalResponder {
 public:
  explicit ScopedModalResponder(ModalResponder* responder)
      : previous_(InstallModalResponder(responder)) {}
  ~ScopedModalResponder() { InstallModalResponder(previous_); }
  ScopedModalResponder(const ScopedModalResponder&) = delete;
  ScopedModalResponder& operator=(const ScopedModalResponder&) = delete;

 private:
  ModalResponder* previous_;
};

// What the operator does. Each goes through the control as a tap or a key
// would, so the same notifications follow.
// Taps a push, check or owner-drawn button; false when disabled or hidden.
bool ClickButton(WindowHandle button);
// Picks entry `index` from a combo box's list or a list box.
bool ChooseComboItem(WindowHandle combo, int index);
bool ChooseListItem(WindowHandle list, int index);
// Replaces an edit's text as typing would.
bool TypeText(WindowHandle edit, std::string_view text);
// Presses and releases a key (VK_ code; letters 'A'..'Z') on the window that
// has the focus, or on `window` when given; `shift` gives lower case letters
// their upper-case character and punctuation keys their shifted one. The
// VK_NUMPAD and keypad operator codes press the keypad's keys.
bool PressKey(int virtual_key, WindowHandle window = nullptr, bool shift = false);
// Holds a key down while the keyboard repeats it `repeats` times, then lets
// it go: its press, each repeat as the X server sends one (a release and a
// press, both marked as repeats), its release; what waits is handled after
// each. With `already_down` the press happened before (on another window):
// only the repeats and the release come. Each goes to `window` when given,
// else to the window that has the focus at that moment.
bool HoldKey(int virtual_key, int repeats, WindowHandle window = nullptr, bool already_down = false);
// Taps client point (x, y) of a window.
bool TapWindow(WindowHandle window, int x, int y);
// The title bar's "OK" (IDOK) or close box (IDCANCEL) of an open dialog.
bool PressTitleButton(WindowHandle dialog, int command);

}  // namespace tq
