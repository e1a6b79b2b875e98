#include "platform/window.h"

#include <QAbstractButton>
#include <QApplication>
#include <QCloseEvent>
#include <QDeadlineTimer>
#include <QEvent>
#include <QFocusEvent>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QPixmap>
#include <QSaveFile>
#include <QScreen>
#include <QTimer>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <future>
#include <map>
#include <memory>
#include <mutex>
#include <thread>
#include <unordered_map>

#include "platform/files.h"
#include "platform/window_internal.h"

namespace tq {
namespace window_detail {
namespace {

const QEvent::Type kWakeEvent = static_cast<QEvent::Type>(QEvent::registerEventType());
const QEvent::Type kPaintEvent = static_cast<QEvent::Type>(QEvent::registerEventType());

struct QueuedItem {
  enum class Kind { kMessage, kInvalidate, kUpdate, kSend, kTimer } kind = Kind::kMessage;
  Window* window = nullptr;
  Message message;
  bool has_rect = false;
  Rect rect;
  bool erase = false;
  std::promise<intptr_t>* reply = nullptr;
};

struct TimerState {
  QTimer* timer = nullptr;
  bool waiting = false;  // a WM_TIMER of it is queued
};

class PaintRequest : public QEvent {
 public:
  explicit PaintRequest(Window* w) : QEvent(kPaintEvent), window(w) {}
  Window* window;
};

class Dispatcher : public QObject {
 public:
  bool event(QEvent* e) override;
};

// Everything the layer keeps. The queue is shared with other threads; the
// rest belongs to the user-interface thread.
struct UiState {
  std::thread::id ui_thread;
  std::atomic<bool> started{false};  // set once ui_thread is written
  QApplication* app = nullptr;
  Dispatcher* dispatcher = nullptr;
  Size screen{240, 320};
  int scale = 1;
  bool full_screen = false;  // "--full-screen"
  std::vector<std::unique_ptr<Window>> windows;
  std::unordered_map<const QWidget*, Window*> widget_windows;
  std::vector<std::unique_ptr<RegisteredClass>> classes;
  std::map<std::pair<Window*, uintptr_t>, TimerState> timers;
  std::vector<QEventLoop*> loops;
  bool quit_requested = false;
  int quit_code = 0;
  std::string screenshot_path;  // "--screenshot FILE"
  bool screenshot_taken = false;

  std::mutex queue_mutex;
  std::deque<QueuedItem> queue;
  bool wake_posted = false;
};

UiState& Ui() {
  static UiState* state = new UiState;  // lives past static destruction: threads may still post
  return *state;
}

std::string Upper(std::string_view text) {
  std::string s(text);
  for (char& c : s) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return s;
}

void PostWakeLocked(UiState& ui) {
  if (ui.wake_posted || ui.dispatcher == nullptr) return;
  ui.wake_posted = true;
  QCoreApplication::postEvent(ui.dispatcher, new QEvent(kWakeEvent));
}

void Enqueue(QueuedItem item) {
  UiState& ui = Ui();
  std::lock_guard lock(ui.queue_mutex);
  ui.queue.push_back(std::move(item));
  PostWakeLocked(ui);
}

// Work another thread asks of the user-interface thread, queued behind its
// posted messages.
bool QueueForWindow(WindowHandle window, QueuedItem item) {
  auto* w = dynamic_cast<Window*>(window);
  if (w == nullptr || !w->alive) return false;
  item.window = w;
  Enqueue(std::move(item));
  return true;
}

bool IsShown(const Window* w) { return w->widget && w->widget->isVisible(); }

void InvalidateNow(Window* w, const Rect* rect, bool erase) {
  QRect client(0, 0, w->image.width(), w->image.height());
  QRect area = rect ? QRect(rect->left, rect->top, rect->right - rect->left, rect->bottom - rect->top)
                    : client;
  if (w->control == ControlKind::kOwnerDraw) area = client;
  MarkDirty(w, area.intersected(client), erase);
  SchedulePaint(w);
}

void UpdateNow(Window* w) {
  if (!w->dirty.isEmpty() && IsShown(w)) PaintNow(w);
}

void DispatchTimer(Window* w, uintptr_t id) {
  UiState& ui = Ui();
  auto it = ui.timers.find({w, id});
  if (it == ui.timers.end()) return;  // killed while waiting
  it->second.waiting = false;
  CallProcedure(w, WM_TIMER, id, 0);
}

void DispatchItem(QueuedItem& item) {
  Window* w = item.window;
  bool alive = w != nullptr && w->alive.load();
  switch (item.kind) {
    case QueuedItem::Kind::kMessage:
      if (alive) CallProcedure(w, item.message.number, item.message.wparam, item.message.lparam);
      break;
    case QueuedItem::Kind::kInvalidate:
      if (alive) InvalidateNow(w, item.has_rect ? &item.rect : nullptr, item.erase);
      break;
    case QueuedItem::Kind::kUpdate:
      if (alive) UpdateNow(w);
      break;
    case QueuedItem::Kind::kSend:
      item.reply->set_value(
          alive ? CallProcedure(w, item.message.number, item.message.wparam, item.message.lparam) : 0);
      break;
    case QueuedItem::Kind::kTimer:
      if (alive) DispatchTimer(w, item.message.wparam);
      break;
  }
}

// One queued item per wake, so a handler that runs a modal loop lets the
// rest of the queue go on inside it.
void DrainOne() {
  UiState& ui = Ui();
  QueuedItem item;
  {
    std::lock_guard lock(ui.queue_mutex);
    ui.wake_posted = false;
    if (ui.queue.empty()) return;
    item = std::move(ui.queue.front());
    ui.queue.pop_front();
    if (!ui.queue.empty()) PostWakeLocked(ui);
  }
  DispatchItem(item);
}

void RunPaint(Window* w) {
  w->paint_queued = false;
  if (!w->alive || w->dirty.isEmpty() || !IsShown(w)) return;
  PaintNow(w);
}

bool Dispatcher::event(QEvent* e) {
  if (e->type() == kWakeEvent) {
    DrainOne();
    return true;
  }
  if (e->type() == kPaintEvent) {
    RunPaint(static_cast<PaintRequest*>(e)->window);
    return true;
  }
  return QObject::event(e);
}

void SchedulePaintTree(Window* w) {
  if (!w->dirty.isEmpty()) SchedulePaint(w);
  for (Window* child : w->children) SchedulePaintTree(child);
}

void KillTimersOf(Window* w) {
  UiState& ui = Ui();
  for (auto it = ui.timers.begin(); it != ui.timers.end();) {
    if (it->first.first == w) {
      delete it->second.timer;
      it = ui.timers.erase(it);
    } else {
      ++it;
    }
  }
}

// The widget of class windows and dialog client areas: shows the image and
// turns input into messages.
class ClientWidget : public QWidget {
 public:
  ClientWidget(Window* w, QWidget* parent) : QWidget(parent), window_(w) {
    setAttribute(Qt::WA_OpaquePaintEvent);
    setFocusPolicy(Qt::NoFocus);
  }

 protected:
  void paintEvent(QPaintEvent* event) override {
    QPainter p(this);
    const int border = window_->border;
    const QRect inside(border, border, width() - 2 * border, height() - 2 * border);
    if (border > 0 && !inside.contains(event->region().boundingRect())) {
      p.setPen(Qt::black);
      p.drawRect(0, 0, width() - 1, height() - 1);
    }
    // One rectangle at a time: clipped to a region of several, Qt blends the
    // image span by span and hands tall areas to worker threads, which costs
    // thread switches on every reading; within one rectangle it is a copy.
    for (const QRect& area : event->region()) {
      p.setClipRect(area);
      p.drawImage(border, border, window_->image);
    }
  }

  // Keys belong to the window: Tab is the window's own business, except in
  // dialogs, where it moves between controls.
  bool focusNextPrevChild(bool next) override {
    if (window_->kind == WindowKind::kDialog) return QWidget::focusNextPrevChild(next);
    return false;
  }

  void keyPressEvent(QKeyEvent* e) override {
    if (!window_->alive) return;
    if (window_->kind == WindowKind::kDialog) {
      if (e->key() == Qt::Key_Return || e->key() == Qt::Key_Enter) {
        CallProcedure(window_, WM_COMMAND, MAKEWPARAM(IDOK, 0), 0);
      } else if (e->key() == Qt::Key_Escape) {
        CallProcedure(window_, WM_CLOSE, 0, 0);
      } else {
        e->ignore();
      }
      return;
    }
    int vk = VirtualKeyFromQt(e->key(), e->modifiers().testFlag(Qt::KeypadModifier));
    if (vk != 0) QueueMessage(window_, WM_KEYDOWN, static_cast<uintptr_t>(vk), 1);
    QString text = e->text();
    if (text.size() == 1) QueueMessage(window_, WM_CHAR, text.at(0).unicode(), 1);
  }

  void keyReleaseEvent(QKeyEvent* e) override {
    if (!window_->alive || window_->kind == WindowKind::kDialog) {
      e->ignore();
      return;
    }
    // A held key repeats its presses only: its one release comes when it is
    // let go, so what is held (the soft marker) stays held in between.
    if (e->isAutoRepeat()) return;
    int vk = VirtualKeyFromQt(e->key(), e->modifiers().testFlag(Qt::KeypadModifier));
    if (vk != 0) QueueMessage(window_, WM_KEYUP, static_cast<uintptr_t>(vk), static_cast<intptr_t>(0xC0000001u));
  }

  void mousePressEvent(QMouseEvent* e) override { QueueMouse(WM_LBUTTONDOWN, e); }
  void mouseReleaseEvent(QMouseEvent* e) override { QueueMouse(WM_LBUTTONUP, e); }

  void focusInEvent(QFocusEvent*) override { QueueMessage(window_, WM_SETFOCUS, 0, 0); }
  void focusOutEvent(QFocusEvent*) override { QueueMessage(window_, WM_KILLFOCUS, 0, 0); }

  void closeEvent(QCloseEvent* e) override {
    e->ignore();
    QueueMessage(window_, WM_CLOSE, 0, 0);
  }

 private:
  void QueueMouse(uint32_t message, QMouseEvent* e) {
    if (e->button() != Qt::LeftButton || !window_->alive) return;
    QPoint p = e->position().toPoint() - QPoint(window_->border, window_->border);
    QueueMessage(window_, message, message == WM_LBUTTONDOWN ? 1 : 0, MAKELPARAM(p.x(), p.y()));
  }

  Window* window_;
};

// With "--full-screen" the main window's screen sits centred in a black top
// level that fills the display: a window manager makes that full screen, and
// without one (a handheld that starts straight into the logger) its geometry
// is the display's. Keys and close requests that reach it belong to the screen.
class Backdrop : public QWidget {
 public:
  Backdrop() {
    setWindowFlag(Qt::FramelessWindowHint);
    setAttribute(Qt::WA_OpaquePaintEvent);
    if (const QScreen* screen = QGuiApplication::primaryScreen()) setGeometry(screen->geometry());
  }
  QWidget* screen_widget() const {
    return findChild<QWidget*>(QString(), Qt::FindDirectChildrenOnly);
  }
  void CentreScreen() {
    if (QWidget* screen = screen_widget()) {
      screen->move((width() - screen->width()) / 2, (height() - screen->height()) / 2);
    }
  }

 protected:
  void paintEvent(QPaintEvent* event) override { QPainter(this).fillRect(event->rect(), Qt::black); }
  void resizeEvent(QResizeEvent*) override { CentreScreen(); }
  void keyPressEvent(QKeyEvent* e) override { Forward(e); }
  void keyReleaseEvent(QKeyEvent* e) override { Forward(e); }
  void closeEvent(QCloseEvent* e) override {
    e->ignore();
    Forward(e);
  }
  void mousePressEvent(QMouseEvent*) override {
    // A tap on the black border leaves the keys with the screen.
    if (QWidget* screen = screen_widget()) screen->setFocus(Qt::MouseFocusReason);
  }

 private:
  void Forward(QEvent* e) {
    if (QWidget* screen = screen_widget()) QCoreApplication::sendEvent(screen, e);
  }
};

const RegisteredClass* FindClass(std::string_view name) {
  std::string key = Upper(name);
  for (const auto& c : Ui().classes) {
    if (c->name == key) return c.get();
  }
  return nullptr;
}

bool IsControlClass(const std::string& upper) {
  return upper == "BUTTON" || upper == "STATIC" || upper == "EDIT" || upper == "COMBOBOX" ||
         upper == "LISTBOX";
}

QPoint ClientOrigin(const Window* parent) {
  return parent ? QPoint(parent->border, parent->border) : QPoint(0, 0);
}

void ApplyGeometry(Window* w) {
  if (w->kind == WindowKind::kControl) {
    SetControlGeometry(w);
    return;
  }
  const Rect& r = w->rect;
  if (w->parent == nullptr) {
    w->widget->setFixedSize(r.Width(), r.Height());
    if (auto* backdrop = dynamic_cast<Backdrop*>(w->backdrop.data())) {
      backdrop->CentreScreen();
    } else {
      w->widget->move(r.left, r.top);
    }
  } else {
    w->widget->setGeometry(QRect(QPoint(r.left, r.top) + ClientOrigin(w->parent), QSize(r.Width(), r.Height())));
  }
  ResizeImage(w, std::max(0, r.Width() - 2 * w->border), std::max(0, r.Height() - 2 * w->border));
}

Window* CreateRecord(std::string_view class_name, std::string_view text, uint32_t style, Window* parent,
                     int id) {
  std::string upper = Upper(class_name);
  Window* w = nullptr;
  if (IsControlClass(upper)) {
    w = NewWindow(WindowKind::kControl);
  } else {
    const RegisteredClass* cls = FindClass(class_name);
    if (cls == nullptr) return nullptr;
    w = NewWindow(WindowKind::kClassWindow);
    w->window_class = cls;
  }
  w->class_name = upper;
  w->text = std::string(text);
  w->style = style;
  w->id = id;
  w->parent = parent;
  return w;
}

}  // namespace

bool Window::Deliver(const Message& message) {
  if (!alive.load()) return false;
  QueuedItem item;
  item.window = this;
  item.message = message;
  Enqueue(std::move(item));
  return true;
}

bool OnUiThread() {
  UiState& ui = Ui();
  return ui.started && std::this_thread::get_id() == ui.ui_thread;
}

Window* Resolve(WindowHandle handle) {
  if (handle == nullptr || !OnUiThread()) return nullptr;
  auto* w = dynamic_cast<Window*>(handle);
  return (w != nullptr && w->alive.load()) ? w : nullptr;
}

Window* ResolveControl(WindowHandle handle, ControlKind kind) {
  Window* w = Resolve(handle);
  return (w != nullptr && w->control == kind) ? w : nullptr;
}

Window* WindowOfWidget(const QWidget* widget) {
  UiState& ui = Ui();
  for (const QWidget* p = widget; p != nullptr; p = p->parentWidget()) {
    auto it = ui.widget_windows.find(p);
    if (it != ui.widget_windows.end() && it->second->alive) return it->second;
  }
  return nullptr;
}

Window* NewWindow(WindowKind kind) {
  auto w = std::make_unique<Window>();
  w->kind = kind;
  Window* raw = w.get();
  Ui().windows.push_back(std::move(w));
  return raw;
}

void BindWidget(Window* window, QWidget* widget) { Ui().widget_windows[widget] = window; }

QWidget* ScreenTopOf(QWidget* widget) {
  QWidget* top = widget->window();
  if (auto* backdrop = dynamic_cast<Backdrop*>(top)) {
    if (QWidget* screen = backdrop->screen_widget()) return screen;
  }
  return top;
}

QWidget* CreateClientWidget(Window* window, QWidget* parent_widget) {
  auto* widget = new ClientWidget(window, parent_widget);
  window->widget = widget;
  BindWidget(window, widget);
  return widget;
}

intptr_t CallProcedure(Window* w, uint32_t message, uintptr_t wparam, intptr_t lparam) {
  if (w == nullptr || !w->alive) return 0;
  switch (w->kind) {
    case WindowKind::kClassWindow:
      for (const MessageEntry& entry : w->window_class->messages) {
        if (entry.message == message) return entry.handler(w, message, wparam, lparam);
      }
      return DefWindowProc(w, message, wparam, lparam);
    case WindowKind::kDialog: {
      intptr_t handled = w->dialog_proc ? w->dialog_proc(w, message, wparam, lparam) : 0;
      if (handled != 0 || message == WM_INITDIALOG) return handled;
      // The default dialog handling: closing is cancelling.
      if (message == WM_CLOSE) return CallProcedure(w, WM_COMMAND, MAKEWPARAM(IDCANCEL, 0), 0);
      if (message == WM_PAINT) return DefWindowProc(w, message, wparam, lparam);
      return 0;
    }
    case WindowKind::kMessageBox:
      if (message == WM_CLOSE && (w->style & MB_TYPEMASK) == MB_OK) EndModal(w, IDOK);
      return 0;
    case WindowKind::kControl:
      return 0;
  }
  return 0;
}

void QueueMessage(Window* window, uint32_t message, uintptr_t wparam, intptr_t lparam) {
  if (window == nullptr || !window->alive) return;
  QueuedItem item;
  item.window = window;
  item.message = Message{message, wparam, lparam};
  Enqueue(std::move(item));
}

void NotifyParent(Window* control, int code) {
  if (control == nullptr || !control->alive || control->parent == nullptr) return;
  CallProcedure(control->parent, WM_COMMAND, MAKEWPARAM(control->id, code), ParamFromHandle(control));
}

void ResizeImage(Window* w, int width, int height) {
  if (w->image.width() == width && w->image.height() == height && !w->image.isNull()) return;
  ColorRef fill = Rgb(255, 255, 255);
  if (w->window_class != nullptr && w->window_class->has_background) fill = w->window_class->background;
  if (w->kind == WindowKind::kDialog) fill = GetSysColor(COLOR_BTNFACE);
  QImage image(std::max(width, 0), std::max(height, 0), QImage::Format_RGB32);
  image.fill(ToQColor(fill));
  if (!w->image.isNull()) {
    QPainter p(&image);
    p.drawImage(0, 0, w->image);
  }
  w->image = image;
  ShowImageChanges(w);
}

void ShowImageChanges(Window* w) {
  if (w->widget) w->widget->update();
}

void ShowImageChanges(Window* w, const QRect& area) {
  if (w->widget) w->widget->update(area.translated(w->border, w->border));
}

void MarkDirty(Window* w, const QRect& rect, bool erase) {
  if (rect.isEmpty()) return;
  w->dirty = w->dirty.united(rect);
  if (erase) w->erase_pending = true;
}

void SchedulePaint(Window* w) {
  UiState& ui = Ui();
  if (w->paint_queued || w->dirty.isEmpty() || !ui.started) return;
  w->paint_queued = true;
  QCoreApplication::postEvent(ui.dispatcher, new PaintRequest(w), Qt::LowEventPriority);
}

namespace {

// Saves the first painted top-level window with its controls, once, as a
// PNG file that appears whole (written aside, then renamed).
void SaveScreenshotOnce(Window* w) {
  UiState& ui = Ui();
  if (ui.screenshot_path.empty() || ui.screenshot_taken) return;
  if (w->parent != nullptr || w->kind != WindowKind::kClassWindow || !w->alive) return;
  ui.screenshot_taken = true;
  QPointer<QWidget> widget = w->widget;
  QString path = ToQt(ui.screenshot_path);
  // Once the controls' own paints have run too.
  QTimer::singleShot(0, widget, [widget, path] {
    if (!widget) return;
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || !widget->grab().toImage().save(&file, "PNG") ||
        !file.commit()) {
      std::fprintf(stderr, "cannot save the screenshot %s\n", path.toLocal8Bit().constData());
    }
  });
}

}  // namespace

void PaintNow(Window* w) {
  if (w->control == ControlKind::kOwnerDraw) {
    w->dirty = QRect();
    w->erase_pending = false;
    DrawOwnerButton(w);
    return;
  }
  w->begin_paint_called = false;
  CallProcedure(w, WM_PAINT, 0, 0);
  if (w->alive && !w->begin_paint_called) {
    // A handler that never validates would be called for ever.
    w->dirty = QRect();
    w->erase_pending = false;
  }
  SaveScreenshotOnce(w);
}

intptr_t RunModal(Window* w) {
  UiState& ui = Ui();
  if (w->modal.ended || ui.quit_requested) return w->modal.result;
  QEventLoop loop;
  w->modal.loop = &loop;
  ui.loops.push_back(&loop);
  loop.exec();
  ui.loops.pop_back();
  w->modal.loop = nullptr;
  return w->modal.result;
}

void EndModal(Window* w, intptr_t result) {
  if (w->modal.ended) return;
  w->modal.ended = true;
  w->modal.result = result;
  if (w->frame) w->frame->hide();
  if (w->modal.loop != nullptr) w->modal.loop->exit(0);
}

bool QuitRequested() { return Ui().quit_requested; }

bool DisplayIsInvisible() {
  QString platform = QGuiApplication::platformName();
  return platform == "offscreen" || platform == "minimal";
}

Size ScreenSize() { return Ui().screen; }

int ScreenScale() { return Ui().scale; }

}  // namespace window_detail

using namespace window_detail;

namespace {

// Takes "--scale N", "--landscape", "--full-screen", "--root DIR" and
// "--screenshot FILE" out of argv.
void TakeLayerOptions(int& argc, char** argv, int* scale, bool* landscape, bool* full_screen) {
  int out = 1;
  for (int i = 1; i < argc; ++i) {
    std::string_view arg = argv[i];
    if (arg == "--scale" && i + 1 < argc) {
      *scale = std::max(1, std::atoi(argv[++i]));
    } else if (arg == "--landscape") {
      *landscape = true;
    } else if (arg == "--full-screen") {
      *full_screen = true;
    } else if (arg == "--root" && i + 1 < argc) {
      SetDataRoot(argv[++i]);
    } else if (arg == "--screenshot" && i + 1 < argc) {
      Ui().screenshot_path = argv[++i];
    } else {
      argv[out++] = argv[i];
    }
  }
  argc = out;
  argv[argc] = nullptr;
}

// The largest whole scale at which `screen` fits on `display`; whole, so
// that every pixel of the handheld's screen stays square and sharp.
int ScaleToFill(Size display, Size screen) {
  return std::max(1, std::min(display.cx / screen.cx, display.cy / screen.cy));
}

// The size of the display Qt would open, from an application of its own: the
// scale must be set before the one that draws is created.
Size DisplaySize(int argc, char** argv) {
  std::vector<char*> args(argv, argv + argc + 1);
  QGuiApplication probe(argc, args.data());
  const QScreen* screen = probe.primaryScreen();
  if (screen == nullptr) return Size{0, 0};
  return Size{screen->geometry().width(), screen->geometry().height()};
}

}  // namespace

bool StartWindowing(int& argc, char** argv) {
  UiState& ui = Ui();
  if (ui.started) return true;
  int scale = 1;
  bool landscape = false;
  bool full_screen = false;
  TakeLayerOptions(argc, argv, &scale, &landscape, &full_screen);
  ui.screen = landscape ? Size{320, 240} : Size{240, 320};
  if (full_screen && QCoreApplication::instance() == nullptr) {
    scale = ScaleToFill(DisplaySize(argc, argv), ui.screen);
  }
  ui.full_screen = full_screen;
  // Qt scales widgets and images alike, so drawing keeps its logical pixels.
  if (scale > 1) qputenv("QT_SCALE_FACTOR", QByteArray::number(scale));
  ui.scale = scale;
  if (QCoreApplication::instance() == nullptr) {
    ui.app = new QApplication(argc, argv);
  } else {
    ui.app = qobject_cast<QApplication*>(QCoreApplication::instance());
    if (ui.app == nullptr) return false;
  }
  ui.app->setQuitOnLastWindowClosed(false);
  ui.ui_thread = std::this_thread::get_id();
  ui.started = true;
  LoadScreenFont();
  ApplyLook();
  DropCommandKeyRepeats(ui.app);
  // Threads may already be posting; from here on their wake-ups reach the
  // dispatcher.
  std::lock_guard lock(ui.queue_mutex);
  ui.dispatcher = new Dispatcher;
  if (!ui.queue.empty()) PostWakeLocked(ui);
  return true;
}

bool IsWindowingStarted() { return Ui().started; }

int GetSystemMetrics(int index) {
  Size s = ScreenSize();
  if (index == SM_CXSCREEN) return s.cx;
  if (index == SM_CYSCREEN) return s.cy;
  return 0;
}

bool RegisterClass(const WindowClass& window_class) {
  if (window_class.name.empty() || window_class.messages.empty()) return false;
  std::string upper = window_detail::Upper(window_class.name);
  if (window_detail::FindClass(upper) != nullptr || window_detail::IsControlClass(upper)) return false;
  auto cls = std::make_unique<RegisteredClass>();
  cls->name = upper;
  cls->messages.assign(window_class.messages.begin(), window_class.messages.end());
  cls->background = window_class.background;
  cls->has_background = window_class.has_background;
  cls->repeating_keys.assign(window_class.repeating_keys.begin(), window_class.repeating_keys.end());
  Ui().classes.push_back(std::move(cls));
  return true;
}

bool UnregisterClass(std::string_view name) {
  auto& classes = Ui().classes;
  std::string upper = window_detail::Upper(name);
  for (auto it = classes.begin(); it != classes.end(); ++it) {
    if ((*it)->name != upper) continue;
    for (const auto& w : Ui().windows) {
      if (w->alive && w->window_class == it->get()) return false;  // still in use
    }
    // Dead windows keep pointing at the class; keep its storage.
    (*it)->name.clear();
    return true;
  }
  return false;
}

intptr_t DefWindowProc(WindowHandle window, uint32_t message, uintptr_t wparam, intptr_t lparam) {
  (void)wparam;
  (void)lparam;
  Window* w = Resolve(window);
  if (w == nullptr) return 0;
  if (message == WM_CLOSE) {
    DestroyWindow(window);
  } else if (message == WM_PAINT) {
    PaintInfo paint;
    if (BeginPaint(window, &paint) != nullptr) EndPaint(window, paint);
  }
  return 0;
}

WindowHandle CreateWindow(std::string_view class_name, std::string_view text, uint32_t style, int x,
                          int y, int width, int height, WindowHandle parent_handle, int id) {
  if (!OnUiThread()) return nullptr;
  Window* parent = nullptr;
  if (parent_handle != nullptr) {
    parent = Resolve(parent_handle);
    if (parent == nullptr) return nullptr;
  }
  Window* w = CreateRecord(class_name, text, style, parent, id);
  if (w == nullptr) return nullptr;
  if (w->kind == WindowKind::kControl && parent == nullptr) {
    w->alive = false;
    return nullptr;
  }
  Size screen = ScreenSize();
  if (x == CW_USEDEFAULT) x = 0;
  if (y == CW_USEDEFAULT) y = 0;
  if (width == CW_USEDEFAULT) width = parent ? 0 : screen.cx;
  if (height == CW_USEDEFAULT) height = parent ? 0 : screen.cy;
  w->rect = Rect{x, y, x + width, y + height};
  QWidget* parent_widget = parent ? parent->widget.data() : nullptr;

  if (w->kind == WindowKind::kControl) {
    if (CreateControlWidget(w, parent_widget) == nullptr) {
      w->alive = false;
      return nullptr;
    }
  } else {
    w->border = (style & WS_BORDER) ? 1 : 0;
    if (parent == nullptr && Ui().full_screen) {
      w->backdrop = new Backdrop;
      parent_widget = w->backdrop;
    }
    QWidget* widget = CreateClientWidget(w, parent_widget);
    if (parent == nullptr) widget->window()->setWindowTitle(ToQt(text));
  }
  if (parent) parent->children.push_back(w);
  ApplyGeometry(w);
  w->widget->setVisible(false);
  if (style & WS_DISABLED) w->widget->setEnabled(false);

  if (w->kind == WindowKind::kClassWindow) {
    if (CallProcedure(w, WM_CREATE, 0, 0) == -1) {
      DestroyWindow(w);
      return nullptr;
    }
    if (!w->alive) return nullptr;
    Rect client = GetClientRect(w);
    CallProcedure(w, WM_SIZE, 0, MAKELPARAM(client.right, client.bottom));
    if (!w->alive) return nullptr;
  }
  if (style & WS_VISIBLE) ShowWindow(w, SW_SHOW);
  return w;
}

bool DestroyWindow(WindowHandle window) {
  Window* w = Resolve(window);
  if (w == nullptr) return false;
  UiState& ui = Ui();
  if (w->kind == WindowKind::kDialog || w->kind == WindowKind::kMessageBox) EndModal(w, w->modal.result);
  CallProcedure(w, WM_DESTROY, 0, 0);
  std::vector<Window*> children = w->children;
  for (Window* child : children) DestroyWindow(child);
  if (!w->alive) return true;  // WM_DESTROY's handler got there first
  KillTimersOf(w);
  w->alive = false;
  if (w->parent != nullptr) std::erase(w->parent->children, w);
  w->children.clear();
  for (QPointer<QWidget>* widget : {&w->frame, &w->widget}) {
    if (!*widget) continue;
    ui.widget_windows.erase(widget->data());
  }
  QWidget* top = w->backdrop ? w->backdrop.data() : w->frame ? w->frame.data() : w->widget.data();
  if (top != nullptr) {
    top->hide();
    top->deleteLater();
  }
  w->image = QImage();
  w->text.clear();
  w->dirty = QRect();
  return true;
}

bool IsWindow(WindowHandle window) { return Resolve(window) != nullptr; }

bool ShowWindow(WindowHandle window, int command) {
  Window* w = Resolve(window);
  if (w == nullptr) return false;
  QWidget* widget = w->frame ? w->frame.data() : w->widget.data();
  bool was_visible = !widget->isHidden();
  if (command == SW_HIDE) {
    widget->hide();
    if (w->backdrop) w->backdrop->hide();
    return was_visible;
  }
  widget->show();
  // The main window takes the whole display, above the desktop's panels.
  if (w->backdrop) {
    w->backdrop->setWindowState(w->backdrop->windowState() | Qt::WindowFullScreen);
    w->backdrop->show();
  }
  if (QWidget* top = widget->window(); top == widget || top == w->backdrop) {
    if (!DisplayIsInvisible()) top->raise();
    top->activateWindow();
  }
  if (!was_visible && w->kind != WindowKind::kControl) InvalidateRect(w, nullptr, true);
  if (w->control == ControlKind::kOwnerDraw && !was_visible) InvalidateRect(w, nullptr, false);
  SchedulePaintTree(w);
  return was_visible;
}

bool IsWindowVisible(WindowHandle window) {
  Window* w = Resolve(window);
  if (w == nullptr) return false;
  QWidget* widget = w->frame ? w->frame.data() : w->widget.data();
  return widget->isVisible();
}

bool EnableWindow(WindowHandle window, bool enable) {
  Window* w = Resolve(window);
  if (w == nullptr) return false;
  bool was_disabled = !w->widget->isEnabled();
  w->widget->setEnabled(enable);
  if (w->control == ControlKind::kOwnerDraw) InvalidateRect(w, nullptr, false);
  return was_disabled;
}

bool IsWindowEnabled(WindowHandle window) {
  Window* w = Resolve(window);
  return w != nullptr && w->widget->isEnabled();
}

bool MoveWindow(WindowHandle window, int x, int y, int width, int height, bool repaint) {
  Window* w = Resolve(window);
  if (w == nullptr) return false;
  Rect old = w->rect;
  w->rect = Rect{x, y, x + width, y + height};
  if (w->frame) {
    w->frame->move(x, y);
  } else {
    ApplyGeometry(w);
  }
  if (old.Width() != width || old.Height() != height) {
    Rect client = GetClientRect(w);
    if (w->kind == WindowKind::kClassWindow) {
      CallProcedure(w, WM_SIZE, 0, MAKELPARAM(client.right, client.bottom));
    }
  }
  if (repaint && w->kind == WindowKind::kClassWindow) InvalidateRect(w, nullptr, true);
  return true;
}

bool SetWindowPos(WindowHandle window, int x, int y, int width, int height, uint32_t flags) {
  Window* w = Resolve(window);
  if (w == nullptr) return false;
  if (flags & SWP_NOMOVE) {
    x = w->rect.left;
    y = w->rect.top;
  }
  if (flags & SWP_NOSIZE) {
    width = w->rect.Width();
    height = w->rect.Height();
  }
  return MoveWindow(window, x, y, width, height, true);
}

Rect GetClientRect(WindowHandle window) {
  Window* w = Resolve(window);
  if (w == nullptr) return Rect{};
  if (!w->image.isNull() || w->kind != WindowKind::kControl) {
    return Rect{0, 0, w->image.width(), w->image.height()};
  }
  return Rect{0, 0, w->rect.Width(), w->rect.Height()};
}

Rect GetWindowRect(WindowHandle window) {
  Window* w = Resolve(window);
  return w == nullptr ? Rect{} : w->rect;
}

WindowHandle GetParent(WindowHandle window) {
  Window* w = Resolve(window);
  return (w == nullptr || w->parent == nullptr || !w->parent->alive) ? nullptr : w->parent;
}

WindowHandle GetDlgItem(WindowHandle window, int id) {
  Window* w = Resolve(window);
  if (w == nullptr) return nullptr;
  for (Window* child : w->children) {
    if (child->alive && child->id == id) return child;
  }
  return nullptr;
}

int GetDlgCtrlID(WindowHandle window) {
  Window* w = Resolve(window);
  return w == nullptr ? 0 : w->id;
}

WindowHandle SetFocus(WindowHandle window) {
  WindowHandle previous = GetFocus();
  if (!OnUiThread()) return nullptr;
  if (window == nullptr) {
    if (QWidget* focus = QApplication::focusWidget()) focus->clearFocus();
    return previous;
  }
  Window* w = Resolve(window);
  if (w == nullptr) return nullptr;
  QWidget* top = w->widget->window();
  // While a modal window is open its owner is disabled and takes no keyboard:
  // the control is only remembered for when the owner is active again. (A
  // key's release reaching the owner after the press opened a dialog would
  // else take the keys from the dialog where the display does not hand them
  // over itself, as offscreen with an evdev keyboard.)
  QWidget* modal = QApplication::activeModalWidget();
  const bool blocked = modal != nullptr && modal != top && !modal->isAncestorOf(top);
  if (!blocked && !top->isActiveWindow() && top->isVisible()) {
    // The system makes the window's top-level active at once; Qt would wait
    // for the display to confirm it, and keep the focus until then.
    top->activateWindow();
    QApplication::setActiveWindow(top);
  }
  w->widget->setFocus(Qt::OtherFocusReason);
  return previous;
}

WindowHandle GetFocus() {
  if (!OnUiThread()) return nullptr;
  QWidget* focus = QApplication::focusWidget();
  return focus ? WindowOfWidget(focus) : nullptr;
}

bool SetForegroundWindow(WindowHandle window) {
  Window* w = Resolve(window);
  if (w == nullptr) return false;
  QWidget* top = (w->frame ? w->frame.data() : w->widget.data())->window();
  if (!DisplayIsInvisible()) top->raise();
  top->activateWindow();
  return true;
}

bool SetWindowText(WindowHandle window, std::string_view text) {
  Window* w = Resolve(window);
  if (w == nullptr) return false;
  w->text = std::string(text);
  if (w->kind == WindowKind::kControl) return SetDlgItemText(w->parent, w->id, text);
  QWidget* top = w->backdrop ? w->backdrop.data() : w->frame ? w->frame.data() : w->widget.data();
  if (top->isWindow()) top->setWindowTitle(ToQt(text));
  if (w->frame) {
    for (QWidget* part : w->frame->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) part->update();
  }
  return true;
}

std::string GetWindowText(WindowHandle window) {
  Window* w = Resolve(window);
  if (w == nullptr) return {};
  // Edits and combo boxes keep their text in the widget. Asking the parent
  // by id is safe for them only: sibling buttons may share an id.
  const bool text_in_widget = w->control == ControlKind::kEdit || w->control == ControlKind::kCombo;
  if (w->kind == WindowKind::kControl && text_in_widget && w->parent != nullptr) {
    return GetDlgItemText(w->parent, w->id);
  }
  return w->text;
}

WindowHandle FindWindow(std::string_view class_name, std::string_view title) {
  if (!OnUiThread()) return nullptr;
  std::string upper = window_detail::Upper(class_name);
  for (const auto& w : Ui().windows) {
    if (!w->alive || w->kind == WindowKind::kControl) continue;
    if (w->parent != nullptr && w->kind == WindowKind::kClassWindow) continue;
    if (!class_name.empty() && w->class_name != upper) continue;
    if (!title.empty() && w->text != title) continue;
    return w.get();
  }
  return nullptr;
}

intptr_t SendMessage(WindowHandle window, uint32_t message, uintptr_t wparam, intptr_t lparam) {
  if (OnUiThread()) {
    Window* w = Resolve(window);
    return w == nullptr ? 0 : CallProcedure(w, message, wparam, lparam);
  }
  if (!Ui().started) return 0;
  std::promise<intptr_t> reply;
  std::future<intptr_t> result = reply.get_future();
  QueuedItem item;
  item.kind = QueuedItem::Kind::kSend;
  item.message = Message{message, wparam, lparam};
  item.reply = &reply;
  if (!QueueForWindow(window, std::move(item))) return 0;
  return result.get();
}

uintptr_t SetTimer(WindowHandle window, uintptr_t id, uint32_t period_ms) {
  Window* w = Resolve(window);
  if (w == nullptr || id == 0) return 0;
  UiState& ui = Ui();
  TimerState& state = ui.timers[{w, id}];
  if (state.timer == nullptr) {
    state.timer = new QTimer(ui.dispatcher);
    state.timer->setTimerType(Qt::PreciseTimer);
    QObject::connect(state.timer, &QTimer::timeout, [w, id] {
      auto it = Ui().timers.find({w, id});
      if (it == Ui().timers.end() || it->second.waiting || !w->alive) return;
      it->second.waiting = true;
      QueuedItem item;
      item.kind = QueuedItem::Kind::kTimer;
      item.window = w;
      item.message = Message{WM_TIMER, id, 0};
      Enqueue(std::move(item));
    });
  }
  state.timer->start(static_cast<int>(std::max<uint32_t>(period_ms, 1)));
  return id;
}

bool KillTimer(WindowHandle window, uintptr_t id) {
  Window* w = Resolve(window);
  if (w == nullptr) return false;
  UiState& ui = Ui();
  auto it = ui.timers.find({w, id});
  if (it == ui.timers.end()) return false;
  delete it->second.timer;
  ui.timers.erase(it);
  return true;
}

bool InvalidateRect(WindowHandle window, const Rect* rect, bool erase) {
  if (OnUiThread()) {
    Window* w = Resolve(window);
    if (w == nullptr) return false;
    InvalidateNow(w, rect, erase);
    return true;
  }
  QueuedItem item;
  item.kind = QueuedItem::Kind::kInvalidate;
  item.has_rect = rect != nullptr;
  if (rect) item.rect = *rect;
  item.erase = erase;
  return QueueForWindow(window, std::move(item));
}

bool UpdateWindow(WindowHandle window) {
  if (OnUiThread()) {
    Window* w = Resolve(window);
    if (w == nullptr) return false;
    UpdateNow(w);
    return true;
  }
  QueuedItem item;
  item.kind = QueuedItem::Kind::kUpdate;
  return QueueForWindow(window, std::move(item));
}

int RunMessageLoop() {
  UiState& ui = Ui();
  if (!OnUiThread()) return -1;
  if (!ui.quit_requested) {
    QEventLoop loop;
    ui.loops.push_back(&loop);
    loop.exec();
    ui.loops.pop_back();
  }
  ui.quit_requested = false;
  return ui.quit_code;
}

void PostQuitMessage(int code) {
  UiState& ui = Ui();
  if (!OnUiThread()) return;
  ui.quit_requested = true;
  ui.quit_code = code;
  for (QEventLoop* loop : ui.loops) loop->exit(code);
}

bool RunMessagesUntil(const std::function<bool()>& done, int timeout_ms) {
  if (!OnUiThread()) return done();
  QDeadlineTimer deadline(timeout_ms, Qt::PreciseTimer);
  // Keeps WaitForMoreEvents from sleeping past the deadline.
  QTimer tick;
  tick.setInterval(5);
  tick.start();
  while (!done()) {
    if (deadline.hasExpired()) return done();
    QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
  }
  return true;
}

void ProcessPendingMessages() {
  if (!OnUiThread()) return;
  // Each round hands out what was posted before it, one queued message per
  // wake, and posted work can post more (a paint after a message): go round
  // until the queue is empty. The bound only stops a handler that posts to
  // itself for ever.
  for (int round = 0; round < 100000; ++round) {
    bool queued;
    {
      std::lock_guard lock(Ui().queue_mutex);
      queued = !Ui().queue.empty();
    }
    QCoreApplication::processEvents(QEventLoop::AllEvents);
    if (!queued) break;
  }
  QCoreApplication::processEvents(QEventLoop::AllEvents);
}

}  // namespace tq
