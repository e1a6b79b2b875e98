// Key codes between Qt and the system, and which held keys repeat.
#include <QAbstractSpinBox>
#include <QApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTextEdit>
#include <Qt>

#include <algorithm>

#include "platform/window_internal.h"

namespace tq::window_detail {
namespace {

struct KeyPair {
  int qt;
  int vk;
};

// Keys of their own; the first pair of a code is the key a code presses.
constexpr KeyPair kKeys[] = {
    {Qt::Key_Backspace, VK_BACK},   {Qt::Key_Tab, VK_TAB},           {Qt::Key_Backtab, VK_TAB},
    {Qt::Key_Return, VK_RETURN},    {Qt::Key_Enter, VK_RETURN},      {Qt::Key_Shift, VK_SHIFT},
    {Qt::Key_Control, VK_CONTROL},  {Qt::Key_Alt, VK_MENU},          {Qt::Key_AltGr, VK_MENU},
    {Qt::Key_Escape, VK_ESCAPE},    {Qt::Key_Space, VK_SPACE},       {Qt::Key_PageUp, VK_PRIOR},
    {Qt::Key_PageDown, VK_NEXT},    {Qt::Key_End, VK_END},           {Qt::Key_Home, VK_HOME},
    {Qt::Key_Left, VK_LEFT},        {Qt::Key_Up, VK_UP},             {Qt::Key_Right, VK_RIGHT},
    {Qt::Key_Down, VK_DOWN},        {Qt::Key_Insert, VK_INSERT},     {Qt::Key_Delete, VK_DELETE},
    {Qt::Key_Clear, VK_CLEAR},      {Qt::Key_Pause, VK_PAUSE},       {Qt::Key_CapsLock, VK_CAPITAL},
    {Qt::Key_Select, VK_SELECT},    {Qt::Key_Printer, VK_PRINT},     {Qt::Key_Execute, VK_EXECUTE},
    {Qt::Key_Print, VK_SNAPSHOT},   {Qt::Key_Help, VK_HELP},         {Qt::Key_Meta, VK_LWIN},
    {Qt::Key_Super_L, VK_LWIN},     {Qt::Key_Super_R, VK_RWIN},      {Qt::Key_Menu, VK_APPS},
    {Qt::Key_Sleep, VK_SLEEP},      {Qt::Key_NumLock, VK_NUMLOCK},   {Qt::Key_ScrollLock, VK_SCROLL},
};

// Punctuation, by the key of the usual (US) layout that carries it, shifted
// or not; the first pair of a code is its unshifted character.
constexpr KeyPair kPunctuation[] = {
    {Qt::Key_Semicolon, VK_OEM_1},     {Qt::Key_Colon, VK_OEM_1},
    {Qt::Key_Equal, VK_OEM_PLUS},      {Qt::Key_Plus, VK_OEM_PLUS},
    {Qt::Key_Comma, VK_OEM_COMMA},     {Qt::Key_Less, VK_OEM_COMMA},
    {Qt::Key_Minus, VK_OEM_MINUS},     {Qt::Key_Underscore, VK_OEM_MINUS},
    {Qt::Key_Period, VK_OEM_PERIOD},   {Qt::Key_Greater, VK_OEM_PERIOD},
    {Qt::Key_Slash, VK_OEM_2},         {Qt::Key_Question, VK_OEM_2},
    {Qt::Key_QuoteLeft, VK_OEM_3},     {Qt::Key_AsciiTilde, VK_OEM_3},
    {Qt::Key_BracketLeft, VK_OEM_4},   {Qt::Key_BraceLeft, VK_OEM_4},
    {Qt::Key_Backslash, VK_OEM_5},     {Qt::Key_Bar, VK_OEM_5},
    {Qt::Key_BracketRight, VK_OEM_6},  {Qt::Key_BraceRight, VK_OEM_6},
    {Qt::Key_Apostrophe, VK_OEM_7},    {Qt::Key_QuoteDbl, VK_OEM_7},
};

// The keypad's operators; its digits stay digits, since the digit keys of a
// handheld's keypad are the ones the logging run treats as digits.
constexpr KeyPair kKeypad[] = {
    {Qt::Key_Asterisk, VK_MULTIPLY}, {Qt::Key_Plus, VK_ADD},     {Qt::Key_Comma, VK_SEPARATOR},
    {Qt::Key_Minus, VK_SUBTRACT},    {Qt::Key_Period, VK_DECIMAL}, {Qt::Key_Slash, VK_DIVIDE},
};

bool IsLetterOrDigit(int code) { return (code >= 'A' && code <= 'Z') || (code >= '0' && code <= '9'); }

template <size_t N>
int VirtualOf(const KeyPair (&pairs)[N], int qt_key) {
  for (const KeyPair& k : pairs) {
    if (k.qt == qt_key) return k.vk;
  }
  return 0;
}

// The n-th Qt key (0: the first) that gives `vk`, or 0.
template <size_t N>
int QtOf(const KeyPair (&pairs)[N], int vk, int n = 0) {
  for (const KeyPair& k : pairs) {
    if (k.vk == vk && n-- == 0) return k.qt;
  }
  return 0;
}

bool IsTextEditor(const QWidget* widget) {
  return qobject_cast<const QLineEdit*>(widget) != nullptr ||
         qobject_cast<const QAbstractSpinBox*>(widget) != nullptr ||
         qobject_cast<const QTextEdit*>(widget) != nullptr ||
         qobject_cast<const QPlainTextEdit*>(widget) != nullptr;
}

// Keys that move a selection, a cursor or the focus, and nothing else.
bool IsMovingKey(int vk) {
  switch (vk) {
    case VK_TAB:
    case VK_PRIOR:
    case VK_NEXT:
    case VK_END:
    case VK_HOME:
    case VK_LEFT:
    case VK_UP:
    case VK_RIGHT:
    case VK_DOWN:
      return true;
    default:
      return false;
  }
}

// Decided anew at each widget a key press passes on its way up, so that
// what one widget lets through its parent may still drop.
bool RepeatWanted(const QWidget* widget, const QKeyEvent& e) {
  const int vk = VirtualKeyFromQt(e.key(), e.modifiers().testFlag(Qt::KeypadModifier));
  if (const Window* w = WindowOfWidget(widget); w != nullptr && w->widget == widget &&
                                                w->kind == WindowKind::kClassWindow) {
    const std::vector<int>& wanted = w->window_class->repeating_keys;
    return std::find(wanted.begin(), wanted.end(), vk) != wanted.end();
  }
  // Enter and Escape answer a dialog, whichever control has the focus.
  if (IsTextEditor(widget)) return vk != VK_RETURN && vk != VK_ESCAPE;
  return IsMovingKey(vk);
}

class KeyRepeatFilter : public QObject {
 public:
  using QObject::QObject;

 protected:
  bool eventFilter(QObject* receiver, QEvent* event) override {
    if (event->type() != QEvent::KeyPress) return false;
    const auto* key = static_cast<const QKeyEvent*>(event);
    const auto* widget = qobject_cast<const QWidget*>(receiver);
    return key->isAutoRepeat() && widget != nullptr && !RepeatWanted(widget, *key);
  }
};

}  // namespace

void DropCommandKeyRepeats(QApplication* app) { app->installEventFilter(new KeyRepeatFilter(app)); }

int VirtualKeyFromQt(int qt_key, bool keypad) {
  if (qt_key == 0) return 0;
  // Qt's letters and digits already carry the system's codes.
  if (IsLetterOrDigit(qt_key)) return qt_key;
  if (qt_key >= Qt::Key_F1 && qt_key <= Qt::Key_F24) return VK_F1 + (qt_key - Qt::Key_F1);
  if (keypad) {
    if (int vk = VirtualOf(kKeypad, qt_key)) return vk;
  }
  if (int vk = VirtualOf(kKeys, qt_key)) return vk;
  if (int vk = VirtualOf(kPunctuation, qt_key)) return vk;
  // Whatever else a keyboard sends (shifted digits, accented letters, media
  // keys) is still a key press, never nothing.
  return VK_NONAME;
}

QtKeyPress QtKeyFromVirtual(int virtual_key, bool shift) {
  QtKeyPress press;
  if (IsLetterOrDigit(virtual_key)) {
    press.key = virtual_key;
    if (virtual_key >= 'A' && virtual_key <= 'Z') {
      press.text = QChar(shift ? virtual_key : virtual_key - 'A' + 'a');
    } else {
      press.text = QChar(virtual_key);
    }
  } else if (virtual_key >= VK_NUMPAD0 && virtual_key <= VK_NUMPAD0 + 9) {
    press.key = Qt::Key_0 + (virtual_key - VK_NUMPAD0);
    press.keypad = true;
    press.text = QChar(press.key);
  } else if (virtual_key >= VK_F1 && virtual_key < VK_F1 + 24) {
    press.key = Qt::Key_F1 + (virtual_key - VK_F1);
  } else if (int keypad = QtOf(kKeypad, virtual_key)) {
    press.key = keypad;
    press.keypad = true;
    press.text = QChar(keypad);
  } else if (int punctuation = QtOf(kPunctuation, virtual_key, shift ? 1 : 0)) {
    press.key = punctuation;
    press.text = QChar(punctuation);
  } else if (int key = QtOf(kKeys, virtual_key)) {
    press.key = key;
    switch (virtual_key) {
      case VK_SPACE: press.text = " "; break;
      case VK_RETURN: press.text = "\r"; break;
      case VK_TAB: press.text = "\t"; break;
      case VK_ESCAPE: press.text = QChar(27); break;
      case VK_BACK: press.text = QChar(8); break;
      default: break;
    }
  } else if (virtual_key == VK_NONAME) {
    press.key = Qt::Key_unknown;
  }
  return press;
}

}  // namespace tq::window_detail
