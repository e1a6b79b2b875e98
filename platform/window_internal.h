// What the window layer's implementation files share. Includes Qt, so only
// platform/*.cpp may include it.
#pragma once

#include <QEventLoop>
#include <QFont>
#include <QImage>
#include <QPointer>
#include <QRect>
#include <QString>
#include <QWidget>

#include <atomic>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/controls.h"
#include "platform/dialogs.h"
#include "platform/drawing.h"
#include "platform/modal_responder.h"
#include "platform/window.h"

class QApplication;

namespace tq::window_detail {

enum class WindowKind { kClassWindow, kDialog, kMessageBox, kControl };
enum class ControlKind { kNone, kPushButton, kCheckBox, kOwnerDraw, kGroupBox, kStatic, kEdit, kCombo, kList };

struct RegisteredClass {
  std::string name;
  std::vector<MessageEntry> messages;
  ColorRef background = 0;
  bool has_background = true;
  std::vector<int> repeating_keys;
};

struct ModalState {
  QEventLoop* loop = nullptr;
  intptr_t result = 0;
  bool ended = false;
};

// One window of any kind. Records are kept for the whole run so that a
// handle held by another thread never dangles; destroying a window empties
// its record and marks it dead.
class Window final : public MessageTarget {
 public:
  bool Deliver(const Message& message) override;

  std::atomic<bool> alive{true};
  WindowKind kind = WindowKind::kClassWindow;
  ControlKind control = ControlKind::kNone;
  std::string class_name;
  std::string text;
  uint32_t style = 0;
  int id = 0;
  Window* parent = nullptr;
  std::vector<Window*> children;
  const RegisteredClass* window_class = nullptr;
  DialogProc dialog_proc;
  QPointer<QWidget> widget;  // the client area (or the control)
  QPointer<QWidget> frame;   // dialogs and message boxes: their top-level frame
  QPointer<QWidget> backdrop;  // "--full-screen": the black top level the screen sits centred in
  QImage image;              // client-area image; empty for most controls
  int border = 0;            // 1 with WS_BORDER on class windows
  Rect rect;                 // in the parent's client coordinates (top-level: screen)
  QRect dirty;               // area waiting for WM_PAINT
  bool erase_pending = false;
  bool paint_queued = false;
  bool begin_paint_called = false;
  ModalState modal;
  Font font;
  DialogBaseUnits base_units;  // dialogs
  bool is_default_button = false;
  bool pressed_look = false;
};

// Lookups; each returns null for a dead window, a foreign handle, or a call
// from another thread than the user-interface thread.
Window* Resolve(WindowHandle handle);
Window* ResolveControl(WindowHandle handle, ControlKind kind);
Window* WindowOfWidget(const QWidget* widget);
bool OnUiThread();

// A new record, kept for the run.
Window* NewWindow(WindowKind kind);
void BindWidget(Window* window, QWidget* widget);

// Calls the window's procedure (table, dialog procedure, default handling).
intptr_t CallProcedure(Window* window, uint32_t message, uintptr_t wparam, intptr_t lparam);
// Queues a message from the user-interface thread (input, deferred work).
void QueueMessage(Window* window, uint32_t message, uintptr_t wparam, intptr_t lparam);
// WM_COMMAND to the control's parent, now.
void NotifyParent(Window* control, int code);

// The client image follows the widget's client size; new area gets `fill`.
void ResizeImage(Window* window, int width, int height);
// The screen shows the image again after drawing.
void ShowImageChanges(Window* window);
// Only `area` (image coordinates) of the window has changed.
void ShowImageChanges(Window* window, const QRect& area);
void MarkDirty(Window* window, const QRect& rect, bool erase);
void SchedulePaint(Window* window);
void PaintNow(Window* window);

// Modal loops: run until EndModal or quit; both are safe to call twice.
intptr_t RunModal(Window* window);
void EndModal(Window* window, intptr_t result);
bool QuitRequested();
// True when no person can see the display (offscreen, minimal).
bool DisplayIsInvisible();

// Start-up pieces (drawing.cpp, dialogs.cpp).
void LoadScreenFont();
void ApplyLook();

// The widget that shows a class window's or a dialog's client image.
QWidget* CreateClientWidget(Window* window, QWidget* parent_widget);
// The top level of `widget` as the program sees it: its window, or the
// handheld's screen where that sits in a full-screen backdrop.
QWidget* ScreenTopOf(QWidget* widget);
// The system's code of a Qt key (`keypad`: it came from the keypad); every
// key has one, 0 only for Qt's key 0.
int VirtualKeyFromQt(int qt_key, bool keypad);
// The Qt key press that gives `virtual_key` (with Shift held when `shift`);
// key 0 when there is none.
struct QtKeyPress {
  int key = 0;
  bool keypad = false;
  QString text;
};
QtKeyPress QtKeyFromVirtual(int virtual_key, bool shift);
// From here on a held key's repeated presses reach only what they move: the
// keys a class window asks for, an edit's typing, the arrow and paging keys
// of lists, menus and the colour picker. Every other repeat is dropped.
void DropCommandKeyRepeats(QApplication* app);

// Fonts. QtFont draws into images at their own pixels; ControlFont is for
// widgets, which Qt draws at the screen's scale: the clone's bitmaps do not
// grow, so a scaled screen gives controls the outline "Tahoma" clone instead.
QFont QtFont(Font font);
QFont ControlFont(Font font);
int ScreenScale();
bool BoldIsSynthetic();
QString ToQt(std::string_view text);
std::string FromQt(const QString& text);
QColor ToQColor(ColorRef color);
ColorRef FromQColor(const QColor& color);
Size ScreenSize();

// Controls (controls.cpp).
QWidget* CreateControlWidget(Window* window, QWidget* parent_widget);
void SetControlGeometry(Window* window);

// Sends WM_DRAWITEM for an owner-drawn button.
void DrawOwnerButton(Window* window);
// What a person's choice in a combo box or list box does; false when the
// entry does not exist or the control is disabled.
bool ChooseComboEntry(Window* combo, int index);
bool ChooseListEntry(Window* list, int index);
// The title bar of an open dialog: IDOK presses "OK", IDCANCEL the close box.
void PressTitleCommand(Window* dialog, int command);

// The installed modal responder, or null (modal_responder.cpp).
ModalResponder* CurrentResponder();
// True when modal calls are answered in place of a person: by the responder,
// or reported unanswered on a display nobody sees unless a person was said
// to be at the keys (modal_responder.cpp).
bool InPlaceOfPerson();

}  // namespace tq::window_detail
