#include "platform/modal_responder.h"

#include <QAbstractButton>
#include <QApplication>
#include <QCoreApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMouseEvent>
#include <QWidget>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <utility>

#include "platform/window_internal.h"

namespace tq {
namespace window_detail {
namespace {

ModalResponder* g_responder = nullptr;
bool g_person_at_keys = false;  // ExpectPersonOnInvisibleDisplay

std::function<void(const std::string&)>& FailureHandler() {
  static std::function<void(const std::string&)> handler;
  return handler;
}

bool SameName(std::string_view a, std::string_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return std::toupper(static_cast<unsigned char>(x)) == std::toupper(static_cast<unsigned char>(y));
         });
}

// The widget a key goes to: `window`'s, else the one with the focus.
QWidget* KeyTarget(WindowHandle window) {
  if (window != nullptr) {
    Window* w = Resolve(window);
    return w != nullptr ? w->widget.data() : nullptr;
  }
  QWidget* target = QApplication::focusWidget();
  return target != nullptr ? target : QApplication::activeWindow();
}

void SendKey(QWidget* target, QEvent::Type type, const QtKeyPress& key, bool shift, bool repeat) {
  Qt::KeyboardModifiers modifiers = shift ? Qt::ShiftModifier : Qt::NoModifier;
  if (key.keypad) modifiers |= Qt::KeypadModifier;
  QKeyEvent event(type, key.key, modifiers, key.text, repeat);
  QCoreApplication::sendEvent(target, &event);
}

bool Tappable(const Window* w) {
  QWidget* widget = w->widget.data();
  return widget != nullptr && widget->isEnabled() && widget->isVisibleTo(widget->window()) &&
         !widget->isHidden();
}

void SendMouse(QWidget* target, QPoint at) {
  QPointF local(at);
  QPointF global(target->mapToGlobal(at));
  QMouseEvent press(QEvent::MouseButtonPress, local, global, Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
  QCoreApplication::sendEvent(target, &press);
  QMouseEvent release(QEvent::MouseButtonRelease, local, global, Qt::LeftButton, Qt::NoButton, Qt::NoModifier);
  QCoreApplication::sendEvent(target, &release);
}

}  // namespace

ModalResponder* CurrentResponder() { return g_responder; }

bool InPlaceOfPerson() { return g_responder != nullptr || (DisplayIsInvisible() && !g_person_at_keys); }

}  // namespace window_detail

using namespace window_detail;

ModalResponder* InstallModalResponder(ModalResponder* responder) {
  return std::exchange(g_responder, responder);
}

void ExpectPersonOnInvisibleDisplay() { g_person_at_keys = true; }

void SetModalFailureHandler(std::function<void(const std::string&)> handler) {
  FailureHandler() = std::move(handler);
}

void ReportModalFailure(const std::string& what) {
  if (FailureHandler()) {
    FailureHandler()(what);
    return;
  }
  std::fprintf(stderr, "modal call failed: %s\n", what.c_str());
  std::abort();
}

ScriptedResponder& ScriptedResponder::OnMessageBox(std::string caption, int answer) {
  steps_.push_back(Step{ModalKind::kMessageBox, std::move(caption), ModalAnswer{answer, {}, {}}, {}});
  return *this;
}

ScriptedResponder& ScriptedResponder::OnDialog(std::string template_name, DialogScript script, int command) {
  steps_.push_back(Step{ModalKind::kDialog, std::move(template_name), ModalAnswer{command, {}, {}}, std::move(script)});
  return *this;
}

ScriptedResponder& ScriptedResponder::OnMenu(int menu_id, int command) {
  steps_.push_back(Step{ModalKind::kMenu, std::to_string(menu_id), ModalAnswer{command, {}, {}}, {}});
  return *this;
}

ScriptedResponder& ScriptedResponder::OnOpenFile(std::optional<std::string> path) {
  steps_.push_back(Step{ModalKind::kOpenFile, "", ModalAnswer{0, std::move(path), {}}, {}});
  return *this;
}

ScriptedResponder& ScriptedResponder::OnSaveFile(std::optional<std::string> path) {
  steps_.push_back(Step{ModalKind::kSaveFile, "", ModalAnswer{0, std::move(path), {}}, {}});
  return *this;
}

ScriptedResponder& ScriptedResponder::OnColor(std::optional<ColorRef> color) {
  steps_.push_back(Step{ModalKind::kColor, "", ModalAnswer{0, {}, color}, {}});
  return *this;
}

std::optional<ModalAnswer> ScriptedResponder::Answer(const ModalRequest& request) {
  requests_.push_back(request);
  if (steps_.empty()) return std::nullopt;
  const Step& next = steps_.front();
  // File dialogs and the colour picker are matched by kind alone.
  bool named = next.kind == ModalKind::kMessageBox || next.kind == ModalKind::kDialog ||
               next.kind == ModalKind::kMenu;
  if (next.kind != request.kind || (named && !SameName(next.name, request.name))) return std::nullopt;
  // Taken off first: the script may open further modal calls.
  Step step = std::move(steps_.front());
  steps_.pop_front();
  if (step.script && request.window != nullptr) step.script(request.window);
  return step.answer;
}

bool ClickButton(WindowHandle button) {
  Window* w = Resolve(button);
  if (w == nullptr || !Tappable(w)) return false;
  if (w->control != ControlKind::kPushButton && w->control != ControlKind::kCheckBox &&
      w->control != ControlKind::kOwnerDraw) {
    return false;
  }
  static_cast<QAbstractButton*>(w->widget.data())->click();
  return true;
}

bool ChooseComboItem(WindowHandle combo, int index) {
  Window* w = ResolveControl(combo, ControlKind::kCombo);
  return w != nullptr && Tappable(w) && ChooseComboEntry(w, index);
}

bool ChooseListItem(WindowHandle list, int index) {
  Window* w = ResolveControl(list, ControlKind::kList);
  return w != nullptr && Tappable(w) && ChooseListEntry(w, index);
}

bool TypeText(WindowHandle edit, std::string_view text) {
  Window* w = ResolveControl(edit, ControlKind::kEdit);
  if (w == nullptr || !Tappable(w)) return false;
  auto* line = static_cast<QLineEdit*>(w->widget.data());
  if (line->isReadOnly()) return false;
  line->setText(ToQt(text));
  return true;
}

bool PressKey(int virtual_key, WindowHandle window, bool shift) {
  if (!OnUiThread()) return false;
  QWidget* target = KeyTarget(window);
  QtKeyPress key = QtKeyFromVirtual(virtual_key, shift);
  if (target == nullptr || key.key == 0) return false;
  SendKey(target, QEvent::KeyPress, key, shift, false);
  SendKey(target, QEvent::KeyRelease, key, shift, false);
  return true;
}

bool HoldKey(int virtual_key, int repeats, WindowHandle window, bool already_down) {
  if (!OnUiThread()) return false;
  QtKeyPress key = QtKeyFromVirtual(virtual_key, false);
  if (key.key == 0 || KeyTarget(window) == nullptr) return false;
  auto send = [&](QEvent::Type type, bool repeat) {
    if (QWidget* target = KeyTarget(window)) SendKey(target, type, key, false, repeat);
    ProcessPendingMessages();
  };
  if (!already_down) send(QEvent::KeyPress, false);
  for (int i = 0; i < repeats; ++i) {
    send(QEvent::KeyRelease, true);
    send(QEvent::KeyPress, true);
  }
  send(QEvent::KeyRelease, false);
  return true;
}

bool TapWindow(WindowHandle window, int x, int y) {
  Window* w = Resolve(window);
  if (w == nullptr || !Tappable(w)) return false;
  QWidget* widget = w->widget.data();
  QPoint at(x + w->border, y + w->border);
  // The tap lands on whatever child lies under the point, as a finger's would.
  QWidget* target = widget->childAt(at);
  if (target == nullptr) target = widget;
  SendMouse(target, target->mapFrom(widget, at));
  return true;
}

bool PressTitleButton(WindowHandle dialog, int command) {
  Window* w = Resolve(dialog);
  if (w == nullptr || w->kind != WindowKind::kDialog || w->modal.ended) return false;
  PressTitleCommand(w, command);
  return true;
}

}  // namespace tq
