#include "platform/dialogs.h"

#include <QAbstractButton>
#include <QApplication>
#include <QCloseEvent>
#include <QDirIterator>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QFontMetrics>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPainter>
#include <QPen>
#include <QPushButton>
#include <QStyle>
#include <QToolButton>
#include <QVBoxLayout>

#include <algorithm>
#include <string>
#include <vector>

#include "platform/modal_responder.h"
#include "platform/window_internal.h"

namespace tq {
namespace window_detail {
namespace {

constexpr ColorRef kCaptionColor = Rgb(0, 0, 128);

struct Resources {
  ResourceScript script;
  std::vector<std::string> errors;
};

Resources LoadResourceFiles() {
  Resources loaded;
  for (const char* folder : {":/resources/dialogs", ":/resources/menus"}) {
    QDirIterator it(folder, {"*.dlg", "*.menu"}, QDir::Files);
    QStringList files;
    while (it.hasNext()) files << it.next();
    files.sort();
    for (const QString& path : files) {
      QFile file(path);
      if (!file.open(QIODevice::ReadOnly)) {
        loaded.errors.push_back(FromQt(path) + ": cannot be read");
        continue;
      }
      std::string text = file.readAll().toStdString();
      std::string error;
      ResourceScript script;
      if (!ParseResourceScript(text, &script, &error)) {
        loaded.errors.push_back(FromQt(QFileInfo(path).fileName()) + ":" + error);
      }
      for (DialogTemplate& d : script.dialogs) {
        if (FindDialogTemplate(loaded.script, d.name) != nullptr) {
          loaded.errors.push_back(FromQt(QFileInfo(path).fileName()) + ": dialog " + d.name + " defined twice");
          continue;
        }
        loaded.script.dialogs.push_back(std::move(d));
      }
      for (MenuTemplate& m : script.menus) {
        if (FindMenuTemplate(loaded.script, m.id) != nullptr) {
          loaded.errors.push_back(FromQt(QFileInfo(path).fileName()) + ": menu " + std::to_string(m.id) +
                                  " defined twice");
          continue;
        }
        loaded.script.menus.push_back(std::move(m));
      }
    }
  }
  return loaded;
}

Resources& AllResources() {
  static Resources resources = LoadResourceFiles();
  return resources;
}

int CaptionHeight() { return QFontMetrics(QtFont(Font{14, FW_BOLD})).height() + 8; }

// The handheld's caption: the title on the left, "OK" and the close box on
// the right (only the close box for message boxes that may be closed).
class CaptionBar : public QWidget {
 public:
  CaptionBar(Window* w, bool ok_button, bool close_box, QWidget* parent) : QWidget(parent), window_(w) {
    setFixedHeight(CaptionHeight());
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(2, 2, 2, 2);
    layout->setSpacing(2);
    layout->addStretch(1);
    if (ok_button) ok_ = AddButton(layout, "OK", [w] { PressTitleCommand(w, IDOK); });
    if (close_box) close_ = AddButton(layout, "\u00D7", [w] { PressTitleCommand(w, IDCANCEL); });
  }
  QToolButton* ok() const { return ok_; }
  QToolButton* close() const { return close_; }

 protected:
  void paintEvent(QPaintEvent*) override {
    QPainter p(this);
    p.fillRect(rect(), ToQColor(kCaptionColor));
    QFont font = ControlFont(Font{14, FW_BOLD});
    p.setFont(font);
    p.setPen(Qt::white);
    QFontMetrics fm(font);
    int y = (height() - fm.height()) / 2 + fm.ascent();
    QString title = ToQt(window_->text);
    p.drawText(4, y, title);
    if (BoldIsSynthetic() && ScreenScale() == 1) p.drawText(5, y, title);
  }

 private:
  template <typename F>
  QToolButton* AddButton(QHBoxLayout* layout, const QString& text, F action) {
    auto* button = new QToolButton(this);
    button->setText(text);
    button->setFocusPolicy(Qt::NoFocus);
    button->setFixedHeight(CaptionHeight() - 4);
    button->setMinimumWidth(CaptionHeight() - 4);
    connect(button, &QToolButton::clicked, action);
    layout->addWidget(button);
    return button;
  }

  Window* window_;
  QToolButton* ok_ = nullptr;
  QToolButton* close_ = nullptr;
};

// The top-level frame of a dialog or message box: a black border around the
// caption and the client area. Closing it asks the procedure instead.
class ModalFrame : public QDialog {
 public:
  ModalFrame(Window* w, QWidget* parent) : QDialog(parent, Qt::Dialog | Qt::FramelessWindowHint), window_(w) {
    setWindowModality(Qt::ApplicationModal);
    setAttribute(Qt::WA_DeleteOnClose, false);
  }
  void reject() override { Close(); }
  void accept() override {}
  CaptionBar* caption = nullptr;

 protected:
  void keyPressEvent(QKeyEvent* e) override {
    if (PressMnemonic(e)) return;
    // Enter is the title bar's OK, in dialogs whose client leaves it to the frame.
    if (window_->kind == WindowKind::kDialog && (e->key() == Qt::Key_Return || e->key() == Qt::Key_Enter)) {
      PressTitleCommand(window_, IDOK);
      return;
    }
    QDialog::keyPressEvent(e);
  }
  void paintEvent(QPaintEvent*) override {
    QPainter p(this);
    p.fillRect(rect(), ToQColor(GetSysColor(COLOR_BTNFACE)));
    p.setPen(Qt::black);
    p.drawRect(0, 0, width() - 1, height() - 1);
  }
  void closeEvent(QCloseEvent* e) override {
    e->ignore();
    Close();
  }

 private:
  void Close() {
    if (window_->alive && !window_->modal.ended) CallProcedure(window_, WM_CLOSE, 0, 0);
  }

  // A letter reaches the frame only when the control with the focus had no
  // use for it (edits, lists and combo boxes take letters): then the plain
  // letter presses the button it underlines, without Alt, as the system's
  // dialogs do.
  bool PressMnemonic(QKeyEvent* e) {
    if (e->modifiers() & (Qt::AltModifier | Qt::ControlModifier | Qt::MetaModifier)) return false;
    if (e->text().size() != 1 || !e->text().at(0).isLetterOrNumber()) return false;
    const QChar letter = e->text().at(0).toUpper();
    for (QAbstractButton* button : findChildren<QAbstractButton*>()) {
      if (!button->isVisible() || !button->isEnabled() || MnemonicOf(button->text()) != letter) continue;
      button->setFocus(Qt::ShortcutFocusReason);
      button->click();
      return true;
    }
    return false;
  }

  static QChar MnemonicOf(const QString& text) {
    for (qsizetype i = 0; i + 1 < text.size(); ++i) {
      if (text[i] != '&') continue;
      if (text[i + 1] == '&') {
        ++i;
        continue;
      }
      return text[i + 1].toUpper();
    }
    return {};
  }

  Window* window_;
};

void PlaceFrame(QWidget* frame, const Window* owner, bool centered, QPoint offset) {
  QRect area(QPoint(0, 0), QSize(ScreenSize().cx, ScreenSize().cy));
  if (owner != nullptr && owner->widget) {
    QWidget* top = ScreenTopOf(owner->widget);
    area = QRect(top->mapToGlobal(QPoint(0, 0)), top->size());
  }
  QPoint at = centered ? area.center() - QPoint(frame->width() / 2, frame->height() / 2)
                       : area.topLeft() + offset;
  frame->move(at);
}

std::string Describe(ModalKind kind) {
  switch (kind) {
    case ModalKind::kMessageBox:
      return "message box";
    case ModalKind::kDialog:
      return "dialog";
    case ModalKind::kMenu:
      return "pop-up menu";
    case ModalKind::kOpenFile:
      return "open-file dialog";
    case ModalKind::kSaveFile:
      return "save-file dialog";
    case ModalKind::kColor:
      return "colour picker";
  }
  return "modal call";
}

// Asks the responder; without one on a display nobody sees, reports the call
// instead of waiting for ever. Nothing means: dismiss it.
std::optional<ModalAnswer> AskInPlaceOfPerson(const ModalRequest& request, bool* handled) {
  ModalResponder* responder = CurrentResponder();
  *handled = InPlaceOfPerson();
  if (!*handled) return std::nullopt;
  std::optional<ModalAnswer> answer;
  if (responder != nullptr) answer = responder->Answer(request);
  if (!answer) {
    ReportModalFailure("nobody answered the " + Describe(request.kind) + " \"" + request.name + "\"" +
                       (request.text.empty() ? "" : ": " + request.text));
  }
  return answer;
}

// A modal window or pop-up menu open now, and the window it was opened over.
struct OpenModal {
  Window* window = nullptr;  // none for a menu
  QMenu* menu = nullptr;     // a menu shown to a person
  Window* owner = nullptr;
  bool closed = false;       // closed from outside: whatever answers it now is too late
};

std::vector<OpenModal*>& OpenModals() {
  static std::vector<OpenModal*> open;  // the last opened last
  return open;
}

// Keeps a modal call on the list while it runs.
class ModalOpen {
 public:
  ModalOpen(Window* window, WindowHandle owner) {
    entry_.window = window;
    entry_.owner = Resolve(owner);
    OpenModals().push_back(&entry_);
  }
  ~ModalOpen() { std::erase(OpenModals(), &entry_); }
  ModalOpen(const ModalOpen&) = delete;
  ModalOpen& operator=(const ModalOpen&) = delete;
  OpenModal& entry() { return entry_; }

 private:
  OpenModal entry_;
};

// True when `m` was opened over `target`, a window inside it, or another
// modal window opened over it.
bool OpenedOver(const OpenModal& m, const Window* target) {
  const Window* w = m.owner;
  while (w != nullptr && w != target) {
    auto opener = std::find_if(OpenModals().begin(), OpenModals().end(),
                               [w](const OpenModal* o) { return o->window == w; });
    w = opener != OpenModals().end() ? (*opener)->owner : w->parent;
  }
  return w != nullptr;
}

// The answer of a box that nobody answered.
intptr_t BoxDismissal(uint32_t type) { return (type & MB_TYPEMASK) == MB_YESNO ? IDNO : IDOK; }

void CloseAsCancelled(OpenModal& m) {
  m.closed = true;
  if (m.menu != nullptr) m.menu->close();
  Window* w = m.window;
  if (w == nullptr || !w->alive || w->modal.ended) return;
  if (w->kind == WindowKind::kMessageBox) {
    EndModal(w, BoxDismissal(w->style));
    DestroyWindow(w);
    return;
  }
  // The dialog's own cancel, so that it undoes what it changed while open.
  PressTitleCommand(w, IDCANCEL);
  if (w->alive && !w->modal.ended) EndModal(w, 0);
}

// The system makes a modal window active, with the keyboard, as it opens;
// Qt would wait for the display to confirm it.
void ShowFrame(Window* w) {
  w->frame->show();
  if (!DisplayIsInvisible()) w->frame->raise();
  w->frame->activateWindow();
  if (!w->frame->isActiveWindow()) QApplication::setActiveWindow(w->frame);
}

std::string WithDefaultExtension(std::string path, const std::string& extension) {
  if (extension.empty()) return path;
  QFileInfo info(ToQt(path));
  if (info.suffix().isEmpty()) path += "." + extension;
  return path;
}

// Without a window manager nobody hands the keyboard back to the owner when a
// modal window goes, while Qt may still count the owner active: ask the
// display (after the modal window's own request, so the owner's comes last),
// and make the owner active at once, which gives the keyboard back to the
// control that had it there.
void ReturnKeyboardTo(WindowHandle owner) {
  Window* o = Resolve(owner);
  if (o == nullptr) return;
  QWidget* top = o->widget->window();
  if (!top->isVisible()) return;
  top->activateWindow();
  if (!top->isActiveWindow()) QApplication::setActiveWindow(top);
}

QFileDialog* BuildFileDialog(QWidget* parent, const FileDialogOptions& options, bool save) {
  auto* dialog = new QFileDialog(parent, ToQt(options.title), ToQt(options.initial_folder));
  dialog->setOption(QFileDialog::DontUseNativeDialog);
  dialog->setOption(QFileDialog::DontConfirmOverwrite);
  QString pattern = ToQt(options.filter_pattern);
  QString filter = ToQt(options.filter_text);
  // Names on this machine keep their case: offer both cases of the pattern,
  // in place of the one the description shows.
  if (!pattern.isEmpty()) {
    if (filter.endsWith(')') && filter.contains('(')) filter = filter.left(filter.lastIndexOf('(')).trimmed();
    filter = filter + " (" + pattern + " " + pattern.toLower() + ")";
  }
  dialog->setNameFilter(filter);
  dialog->setAcceptMode(save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
  dialog->setFileMode(save ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
  if (!options.default_extension.empty()) dialog->setDefaultSuffix(ToQt(options.default_extension));
  if (!options.initial_name.empty()) dialog->selectFile(ToQt(options.initial_name));
  dialog->resize(ScreenSize().cx, ScreenSize().cy);
  return dialog;
}

std::optional<std::string> RunFileDialog(WindowHandle owner, const FileDialogOptions& options, bool save) {
  if (!OnUiThread()) return std::nullopt;
  Window* o = Resolve(owner);
  QWidget* parent = o ? o->widget->window() : nullptr;
  const bool in_place_of_person = InPlaceOfPerson();
  // A window like the program's own dialogs, so that it can be found by its
  // title and closed with WM_CLOSE. In place of a person Qt's dialog is not
  // built: an empty frame holds the place.
  Window* d = NewWindow(WindowKind::kDialog);
  ModalOpen open(d, owner);
  d->class_name = "#32770";
  d->text = options.title;
  QDialog* frame = in_place_of_person ? new QDialog(parent) : BuildFileDialog(parent, options, save);
  frame->setWindowTitle(ToQt(options.title));
  d->frame = frame;
  d->widget = frame;
  BindWidget(d, frame);
  d->dialog_proc = [d](WindowHandle, uint32_t message, uintptr_t wparam, intptr_t) -> intptr_t {
    if (message != WM_COMMAND || LOWORD(wparam) != IDCANCEL) return 0;
    if (auto* dialog = qobject_cast<QDialog*>(d->frame.data()); dialog != nullptr && dialog->isVisible()) {
      dialog->reject();
    }
    EndModal(d, IDCANCEL);
    return 1;
  };

  std::optional<std::string> chosen;
  if (in_place_of_person) {
    ModalRequest request;
    request.kind = save ? ModalKind::kSaveFile : ModalKind::kOpenFile;
    request.name = options.title;
    request.file = options;
    request.window = d;
    frame->resize(ScreenSize().cx, ScreenSize().cy);
    ShowFrame(d);
    bool handled = false;
    std::optional<ModalAnswer> answer = AskInPlaceOfPerson(request, &handled);
    // A dialog closed while it was open chose nothing, whatever came after.
    if (answer && answer->path && d->alive && !d->modal.ended) {
      chosen = WithDefaultExtension(*answer->path, options.default_extension);
    }
  } else {
    QPointer<QFileDialog> dialog = static_cast<QFileDialog*>(frame);
    int result = dialog->exec();
    if (result == QDialog::Accepted && dialog && d->alive && !d->modal.ended && !dialog->selectedFiles().isEmpty()) {
      chosen = WithDefaultExtension(FromQt(dialog->selectedFiles().front()), options.default_extension);
    }
  }
  DestroyWindow(d);
  ReturnKeyboardTo(owner);
  return chosen;
}

QPixmap IconFor(uint32_t type) {
  QStyle* style = QApplication::style();
  switch (type & MB_ICONMASK) {
    case MB_ICONHAND:
      return style->standardIcon(QStyle::SP_MessageBoxCritical).pixmap(32, 32);
    case MB_ICONQUESTION:
      return style->standardIcon(QStyle::SP_MessageBoxQuestion).pixmap(32, 32);
    case MB_ICONEXCLAMATION:
      return style->standardIcon(QStyle::SP_MessageBoxWarning).pixmap(32, 32);
    case MB_ICONINFORMATION:
      return style->standardIcon(QStyle::SP_MessageBoxInformation).pixmap(32, 32);
    default:
      return {};
  }
}

bool ValidBoxAnswer(uint32_t type, intptr_t answer) {
  if ((type & MB_TYPEMASK) == MB_YESNO) return answer == IDYES || answer == IDNO;
  return answer == IDOK;
}

// The message box's body: icon, text, and its buttons.
void BuildMessageBox(Window* box, ModalFrame* frame, std::string_view text, uint32_t type) {
  auto* layout = new QVBoxLayout(frame);
  layout->setContentsMargins(1, 1, 1, 6);
  layout->setSpacing(6);
  frame->caption = new CaptionBar(box, false, (type & MB_TYPEMASK) == MB_OK, frame);
  layout->addWidget(frame->caption);
  auto* body = new QHBoxLayout;
  body->setContentsMargins(8, 4, 8, 4);
  QPixmap icon = IconFor(type);
  if (!icon.isNull()) {
    auto* icon_label = new QLabel(frame);
    icon_label->setPixmap(icon);
    body->addWidget(icon_label, 0, Qt::AlignTop);
  }
  auto* label = new QLabel(ToQt(text).replace("\r\n", "\n"), frame);
  label->setTextFormat(Qt::PlainText);
  label->setWordWrap(true);
  label->setFont(ControlFont(Font{14, FW_NORMAL}));
  label->setMaximumWidth(ScreenSize().cx - 60);
  body->addWidget(label, 1);
  layout->addLayout(body);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch(1);
  auto add = [&](const char* caption, int result, bool is_default) {
    auto* button = new QPushButton(caption, frame);
    button->setFixedSize(60, 22);
    button->setAutoDefault(true);
    button->setDefault(is_default);
    QObject::connect(button, &QPushButton::clicked, [box, result] { EndModal(box, result); });
    buttons->addWidget(button);
    if (is_default) button->setFocus();
  };
  if ((type & MB_TYPEMASK) == MB_YESNO) {
    add("&Yes", IDYES, true);
    add("&No", IDNO, false);
  } else {
    add("OK", IDOK, true);
  }
  buttons->addStretch(1);
  layout->addLayout(buttons);
  frame->adjustSize();
  frame->setFixedSize(frame->sizeHint());
}

// The colours a trace is usually given: the sixteen of the classic palette,
// which hold every default trace colour.
constexpr ColorRef kPickerColors[] = {
    Rgb(0, 0, 0),       Rgb(128, 128, 128), Rgb(192, 192, 192), Rgb(255, 255, 255),
    Rgb(255, 0, 0),     Rgb(128, 0, 0),     Rgb(255, 255, 0),   Rgb(128, 128, 0),
    Rgb(0, 255, 0),     Rgb(0, 128, 0),     Rgb(0, 255, 255),   Rgb(0, 128, 128),
    Rgb(0, 0, 255),     Rgb(0, 0, 128),     Rgb(255, 0, 255),   Rgb(128, 0, 128),
};
constexpr int kPickerColumns = 4;
constexpr QSize kSwatchSize(44, 26);

// One colour of the picker: a tap or the arrow keys choose it.
class ColorSwatch : public QAbstractButton {
 public:
  ColorSwatch(ColorRef c, QWidget* parent) : QAbstractButton(parent), color(c) {
    setCheckable(true);
    setAutoExclusive(true);
    setFocusPolicy(Qt::StrongFocus);
    setFixedSize(kSwatchSize);
  }
  const ColorRef color;

 protected:
  void paintEvent(QPaintEvent*) override {
    QPainter p(this);
    p.fillRect(rect(), ToQColor(GetSysColor(COLOR_BTNFACE)));
    QRect inner = rect().adjusted(4, 4, -5, -5);
    p.fillRect(inner, ToQColor(color));
    p.setPen(Qt::black);
    p.drawRect(inner);
    if (isChecked()) {
      p.setPen(QPen(Qt::black, 2));
      p.drawRect(rect().adjusted(1, 1, -1, -1));
    }
    if (hasFocus()) {
      p.setPen(QPen(Qt::black, 1, Qt::DotLine));
      p.drawRect(rect().adjusted(2, 2, -3, -3));
    }
  }
};

// The picker's body under its caption: a grid of swatches, the starting
// colour checked (added at the end when the palette lacks it, so OK keeps it).
std::vector<ColorSwatch*> BuildColorPicker(Window* picker, ModalFrame* frame, ColorRef initial) {
  auto* layout = new QVBoxLayout(frame);
  layout->setContentsMargins(1, 1, 1, 8);
  layout->setSpacing(6);
  frame->caption = new CaptionBar(picker, true, true, frame);
  layout->addWidget(frame->caption);
  auto* grid = new QGridLayout;
  grid->setContentsMargins(8, 0, 8, 0);
  grid->setSpacing(2);
  std::vector<ColorRef> colors(std::begin(kPickerColors), std::end(kPickerColors));
  if (std::find(colors.begin(), colors.end(), initial) == colors.end()) colors.push_back(initial);
  std::vector<ColorSwatch*> swatches;
  for (size_t i = 0; i < colors.size(); ++i) {
    auto* swatch = new ColorSwatch(colors[i], frame);
    swatch->setChecked(colors[i] == initial);
    grid->addWidget(swatch, static_cast<int>(i) / kPickerColumns, static_cast<int>(i) % kPickerColumns);
    swatches.push_back(swatch);
  }
  layout->addLayout(grid);
  frame->adjustSize();
  frame->setFixedSize(std::max(frame->sizeHint().width(), 160), frame->sizeHint().height());
  return swatches;
}

}  // namespace

void PressTitleCommand(Window* dialog, int command) {
  if (dialog == nullptr || !dialog->alive || dialog->modal.ended) return;
  if (command == IDCANCEL) {
    CallProcedure(dialog, WM_CLOSE, 0, 0);
  } else {
    CallProcedure(dialog, WM_COMMAND, MAKEWPARAM(command, 0), 0);
  }
}

}  // namespace window_detail

using namespace window_detail;

const ResourceScript& LoadedResources() { return AllResources().script; }

std::vector<std::string> ResourceFileErrors() { return AllResources().errors; }

bool AddResourceScript(std::string_view script_text, std::string* error) {
  ResourceScript added;
  if (!ParseResourceScript(script_text, &added, error)) return false;
  ResourceScript& script = AllResources().script;
  for (const DialogTemplate& d : added.dialogs) {
    if (FindDialogTemplate(script, d.name) != nullptr) {
      if (error != nullptr) *error = "dialog " + d.name + " is already defined";
      return false;
    }
  }
  for (const MenuTemplate& m : added.menus) {
    if (FindMenuTemplate(script, m.id) != nullptr) {
      if (error != nullptr) *error = "menu " + std::to_string(m.id) + " is already defined";
      return false;
    }
  }
  for (DialogTemplate& d : added.dialogs) script.dialogs.push_back(std::move(d));
  for (MenuTemplate& m : added.menus) script.menus.push_back(std::move(m));
  return true;
}

intptr_t OpenDialogTemplate(std::string_view name, WindowHandle owner, DialogProc procedure,
                            intptr_t init_param) {
  if (!OnUiThread()) return -1;
  const DialogTemplate* t = FindDialogTemplate(LoadedResources(), name);
  if (t == nullptr) return -1;
  Window* owner_window = owner != nullptr ? Resolve(owner) : nullptr;

  Window* d = NewWindow(WindowKind::kDialog);
  ModalOpen open(d, owner);
  d->class_name = "#32770";
  d->text = t->title;
  d->dialog_proc = std::move(procedure);
  d->font = Font{PointsToPixels(t->font_points), FW_NORMAL};
  QFontMetrics fm(QtFont(d->font));
  d->base_units = BaseUnitsFromFont(
      fm.horizontalAdvance("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"), fm.height());
  int width = DialogUnitsToPixelsX(t->width, d->base_units);
  int height = DialogUnitsToPixelsY(t->height, d->base_units);

  auto* frame = new ModalFrame(d, owner_window ? owner_window->widget->window() : nullptr);
  frame->setWindowTitle(ToQt(t->title));
  d->frame = frame;
  BindWidget(d, frame);
  frame->caption = new CaptionBar(d, true, true, frame);
  frame->caption->setGeometry(1, 1, width, CaptionHeight());
  QWidget* client = CreateClientWidget(d, frame);
  client->setGeometry(1, 1 + CaptionHeight(), width, height);
  ResizeImage(d, width, height);
  frame->setFixedSize(width + 2, height + CaptionHeight() + 2);
  PlaceFrame(frame, owner_window, t->centered,
             QPoint(DialogUnitsToPixelsX(t->x, d->base_units), DialogUnitsToPixelsY(t->y, d->base_units)));
  QPoint at = frame->pos();
  d->rect = Rect{at.x(), at.y(), at.x() + frame->width(), at.y() + frame->height()};

  WindowHandle first_stop = nullptr;
  for (const DialogControl& c : t->controls) {
    WindowHandle control = CreateWindow(c.class_name, c.text, c.style | WS_CHILD,
                                        DialogUnitsToPixelsX(c.x, d->base_units),
                                        DialogUnitsToPixelsY(c.y, d->base_units),
                                        DialogUnitsToPixelsX(c.width, d->base_units),
                                        DialogUnitsToPixelsY(c.height, d->base_units), d, c.id);
    if (control == nullptr) {
      DestroyWindow(d);
      return -1;
    }
    if (first_stop == nullptr && (c.style & WS_TABSTOP) && (c.style & WS_VISIBLE)) first_stop = control;
  }
  intptr_t set_focus = CallProcedure(d, WM_INITDIALOG, reinterpret_cast<uintptr_t>(first_stop), init_param);
  if (d->alive && !d->modal.ended) ShowFrame(d);
  if (d->alive && set_focus != 0 && first_stop != nullptr && IsWindow(first_stop)) {
    SetFocus(first_stop);
    // As the system's dialog manager does with the control it focuses: an
    // edit's proposal is selected whole, so what the operator types
    // replaces it (Tab selects the fields it reaches in the same way).
    if (Window* edit = ResolveControl(first_stop, ControlKind::kEdit)) {
      static_cast<QLineEdit*>(edit->widget.data())->selectAll();
    }
  }
  InvalidateRect(d, nullptr, true);
  for (Window* child : d->children) {
    if (child->control == ControlKind::kOwnerDraw) InvalidateRect(child, nullptr, false);
  }

  ModalRequest request;
  request.kind = ModalKind::kDialog;
  request.name = std::string(name);
  request.window = d;
  bool handled = false;
  if (d->alive && !d->modal.ended) {
    std::optional<ModalAnswer> answer = AskInPlaceOfPerson(request, &handled);
    if (handled) {
      int command = answer ? static_cast<int>(answer->result) : IDCANCEL;
      if (command != 0) PressTitleCommand(d, command);
      if (d->alive && !d->modal.ended) {
        ReportModalFailure("the dialog \"" + request.name + "\" stayed open after its answer");
        EndModal(d, 0);
      }
    } else {
      RunModal(d);
    }
  }
  intptr_t result = d->modal.result;
  DestroyWindow(d);
  ReturnKeyboardTo(owner);
  return result;
}

bool EndDialog(WindowHandle dialog, intptr_t result) {
  Window* w = Resolve(dialog);
  if (w == nullptr || w->kind != WindowKind::kDialog) return false;
  EndModal(w, result);
  return true;
}

DialogBaseUnits GetDialogBaseUnits(WindowHandle dialog) {
  Window* w = Resolve(dialog);
  return (w == nullptr || w->kind != WindowKind::kDialog) ? DialogBaseUnits{} : w->base_units;
}

int MessageBox(WindowHandle owner, std::string_view text, std::string_view caption, uint32_t type) {
  if (!OnUiThread()) return 0;
  Window* owner_window = owner != nullptr ? Resolve(owner) : nullptr;
  Window* box = NewWindow(WindowKind::kMessageBox);
  ModalOpen open(box, owner);
  box->class_name = "#32770";
  box->text = std::string(caption);
  box->style = type;
  auto* frame = new ModalFrame(box, owner_window ? owner_window->widget->window() : nullptr);
  frame->setWindowTitle(ToQt(caption));
  box->frame = frame;
  box->widget = frame;
  BindWidget(box, frame);
  BuildMessageBox(box, frame, text, type);
  PlaceFrame(frame, owner_window, true, QPoint());
  ShowFrame(box);

  ModalRequest request;
  request.kind = ModalKind::kMessageBox;
  request.name = std::string(caption);
  request.text = std::string(text);
  request.flags = type;
  request.window = box;
  bool handled = false;
  std::optional<ModalAnswer> answer = AskInPlaceOfPerson(request, &handled);
  if (handled) {
    intptr_t dismiss = BoxDismissal(type);
    intptr_t result = answer ? answer->result : dismiss;
    if (answer && !ValidBoxAnswer(type, result)) {
      ReportModalFailure("the message box \"" + request.name + "\" cannot answer " + std::to_string(result));
      result = dismiss;
    }
    EndModal(box, result);
  } else {
    RunModal(box);
  }
  intptr_t result = box->modal.result;
  DestroyWindow(box);
  ReturnKeyboardTo(owner);
  return static_cast<int>(result);
}

int EndModalWindowsOver(WindowHandle owner) {
  const Window* target = Resolve(owner);
  if (target == nullptr) return 0;
  std::vector<OpenModal*> over;
  for (OpenModal* m : OpenModals()) {
    if (!m->closed && OpenedOver(*m, target)) over.push_back(m);
  }
  // The last opened first: each one is closed before what it was opened over.
  for (auto it = over.rbegin(); it != over.rend(); ++it) CloseAsCancelled(**it);
  return static_cast<int>(over.size());
}

bool MessageBeep(uint32_t type) {
  if (ModalResponder* responder = OnUiThread() ? CurrentResponder() : nullptr) {
    responder->Beep(type);
  } else if (OnUiThread()) {
    QApplication::beep();
  }
  return true;
}

int TrackPopupMenu(int menu_id, uint32_t flags, int x, int y, WindowHandle owner) {
  if (!OnUiThread()) return 0;
  const MenuTemplate* menu = FindMenuTemplate(LoadedResources(), menu_id);
  Window* o = owner != nullptr ? Resolve(owner) : nullptr;
  if (menu == nullptr) return 0;
  ModalRequest request;
  request.kind = ModalKind::kMenu;
  request.name = std::to_string(menu_id);
  request.flags = flags;
  request.menu_items = menu->items;
  request.window = o;
  ModalOpen open(nullptr, owner);
  bool handled = false;
  std::optional<ModalAnswer> answer = AskInPlaceOfPerson(request, &handled);
  int chosen = 0;
  if (handled) {
    chosen = answer && !open.entry().closed ? static_cast<int>(answer->result) : 0;
    bool exists = std::any_of(menu->items.begin(), menu->items.end(),
                              [&](const MenuItem& item) { return item.id != 0 && item.id == chosen; });
    if (chosen != 0 && !exists) {
      ReportModalFailure("menu " + request.name + " has no command " + std::to_string(chosen));
      chosen = 0;
    }
  } else {
    QMenu popup(o ? o->widget.data() : nullptr);
    popup.setFont(ControlFont(Font{14, FW_NORMAL}));
    for (const MenuItem& item : menu->items) {
      if (item.id == 0) {
        popup.addSeparator();
      } else {
        popup.addAction(ToQt(item.text))->setData(item.id);
      }
    }
    QPoint at(x, y);
    if (o != nullptr) at = o->widget->mapToGlobal(at + QPoint(o->border, o->border));
    int menu_width = popup.sizeHint().width();
    if (flags & TPM_RIGHTALIGN) at.rx() -= menu_width;
    if (flags & TPM_CENTERALIGN) at.rx() -= menu_width / 2;
    open.entry().menu = &popup;
    QAction* action = popup.exec(at);
    open.entry().menu = nullptr;
    chosen = action != nullptr && !open.entry().closed ? action->data().toInt() : 0;
  }
  if (chosen != 0 && !(flags & TPM_RETURNCMD) && o != nullptr) {
    QueueMessage(o, WM_COMMAND, MAKEWPARAM(chosen, 0), 0);
  }
  return chosen;
}

std::optional<std::string> GetOpenFileName(WindowHandle owner, const FileDialogOptions& options) {
  return RunFileDialog(owner, options, false);
}

std::optional<std::string> GetSaveFileName(WindowHandle owner, const FileDialogOptions& options) {
  return RunFileDialog(owner, options, true);
}

bool IsColorPickerAvailable() { return true; }

std::optional<ColorRef> ChooseColor(WindowHandle owner, ColorRef initial) {
  if (!OnUiThread()) return std::nullopt;
  Window* owner_window = Resolve(owner);
  Window* picker = NewWindow(WindowKind::kDialog);
  ModalOpen open(picker, owner);
  picker->class_name = "#32770";
  picker->text = "Color";
  auto* frame = new ModalFrame(picker, owner_window ? owner_window->widget->window() : nullptr);
  frame->setWindowTitle("Color");
  picker->frame = frame;
  picker->widget = frame;
  BindWidget(picker, frame);
  picker->dialog_proc = [picker](WindowHandle, uint32_t message, uintptr_t wparam, intptr_t) -> intptr_t {
    if (message != WM_COMMAND || (LOWORD(wparam) != IDOK && LOWORD(wparam) != IDCANCEL)) return 0;
    EndModal(picker, LOWORD(wparam));
    return 1;
  };
  std::vector<ColorSwatch*> swatches = BuildColorPicker(picker, frame, initial);
  PlaceFrame(frame, owner_window, true, QPoint());
  const QPoint at = frame->pos();
  picker->rect = Rect{at.x(), at.y(), at.x() + frame->width(), at.y() + frame->height()};
  ShowFrame(picker);
  for (ColorSwatch* swatch : swatches) {
    if (swatch->isChecked()) swatch->setFocus(Qt::OtherFocusReason);
  }

  ModalRequest request;
  request.kind = ModalKind::kColor;
  request.name = "Color";
  request.color = initial;
  request.window = picker;
  bool handled = false;
  std::optional<ModalAnswer> answer = AskInPlaceOfPerson(request, &handled);
  // The answer counts unless the picker was already closed by keys or taps.
  if (handled && !picker->modal.ended) {
    EndModal(picker, IDCANCEL);
    DestroyWindow(picker);
    ReturnKeyboardTo(owner);
    return answer ? answer->color : std::nullopt;
  }
  if (!handled) RunModal(picker);
  std::optional<ColorRef> chosen;
  if (picker->alive && picker->modal.result == IDOK) {
    for (ColorSwatch* swatch : swatches) {
      if (swatch->isChecked()) chosen = swatch->color;
    }
  }
  DestroyWindow(picker);
  ReturnKeyboardTo(owner);
  return chosen;
}

}  // namespace tq
