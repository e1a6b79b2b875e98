#include "platform/controls.h"

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QFontMetrics>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPainter>
#include <QPushButton>
#include <QPalette>
#include <QStyle>
#include <QStyleFactory>
#include <QTimer>

#include <algorithm>

#include "platform/window_internal.h"

namespace tq {
namespace window_detail {
namespace {

// Restyles a widget after a dynamic property its style sheet reads changed.
void Repolish(QWidget* widget) {
  widget->style()->unpolish(widget);
  widget->style()->polish(widget);
  widget->update();
}

class OwnerDrawButton : public QAbstractButton {
 public:
  OwnerDrawButton(Window* w, QWidget* parent) : QAbstractButton(parent), window_(w) {
    connect(this, &QAbstractButton::pressed, [this] { Redraw(); });
    connect(this, &QAbstractButton::released, [this] { Redraw(); });
  }

 protected:
  void paintEvent(QPaintEvent*) override {
    QPainter p(this);
    p.drawImage(0, 0, window_->image);
  }
  void focusInEvent(QFocusEvent* e) override {
    QAbstractButton::focusInEvent(e);
    Redraw();
  }
  void focusOutEvent(QFocusEvent* e) override {
    QAbstractButton::focusOutEvent(e);
    Redraw();
  }

 private:
  void Redraw() {
    if (window_->alive) InvalidateRect(window_, nullptr, false);
  }
  Window* window_;
};

// A combo box that reports its list opening and closing. Qt closes the list
// before it reports the choice, so the close is reported once it is known
// whether a choice followed.
class ComboBox : public QComboBox {
 public:
  ComboBox(Window* w, QWidget* parent) : QComboBox(parent), window_(w) {
    connect(this, &QComboBox::activated, [this](int) { OnChosen(); });
  }

  void Choose(int index) {
    showPopup();
    setCurrentIndex(index);
    hidePopup();
    OnChosen();
  }

  void showPopup() override {
    NotifyParent(window_, CBN_DROPDOWN);
    popup_open_ = true;
    closing_ = false;
    // The dropped list takes the width of its longest entry, which the
    // narrow closed box would cut.
    view()->setMinimumWidth(ListWidth());
    QComboBox::showPopup();
  }

  // What the dropped list's view needs to show every entry whole.
  int ListWidth() const {
    QAbstractItemView* list = view();
    int width = list->sizeHintForColumn(0) + 2 * list->frameWidth();
    if (count() > maxVisibleItems()) width += list->style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, list);
    return width;
  }

  // The width of the dropped list: the open one's, or the one it will have.
  int DroppedWidth() const {
    QWidget* popup = view()->window();
    if (popup != nullptr && popup != window() && popup->isVisible()) return popup->width();
    return std::max(width(), ListWidth());
  }

  void hidePopup() override {
    QComboBox::hidePopup();
    if (!popup_open_) return;
    popup_open_ = false;
    closing_ = true;
    QTimer::singleShot(0, this, [this] {
      if (!closing_) return;
      closing_ = false;
      NotifyParent(window_, CBN_SELENDCANCEL);
      NotifyParent(window_, CBN_CLOSEUP);
    });
  }

 private:
  void OnChosen() {
    if (!window_->alive) return;
    NotifyParent(window_, CBN_SELENDOK);
    if (closing_) {
      closing_ = false;
      NotifyParent(window_, CBN_CLOSEUP);
    }
    NotifyParent(window_, CBN_SELCHANGE);
  }

  Window* window_;
  bool popup_open_ = false;
  bool closing_ = false;
};

// An edit that tells its parent when it gains and loses the keyboard focus,
// so that a dialog can act on a finished entry rather than on each keystroke.
class Edit : public QLineEdit {
 public:
  Edit(Window* w, const QString& text, QWidget* parent) : QLineEdit(text, parent), window_(w) {}

 protected:
  void focusInEvent(QFocusEvent* e) override {
    QLineEdit::focusInEvent(e);
    NotifyParent(window_, EN_SETFOCUS);
  }
  void focusOutEvent(QFocusEvent* e) override {
    QLineEdit::focusOutEvent(e);
    NotifyParent(window_, EN_KILLFOCUS);
  }

 private:
  Window* window_;
};

class ListBox : public QListWidget {
 public:
  ListBox(Window* w, QWidget* parent) : QListWidget(parent), window_(w) {
    if (w->style & LBS_NOTIFY) {
      connect(this, &QListWidget::currentRowChanged, [this](int) {
        if (!silent) NotifyParent(window_, LBN_SELCHANGE);
      });
      connect(this, &QListWidget::itemDoubleClicked, [this](QListWidgetItem*) {
        NotifyParent(window_, LBN_DBLCLK);
      });
    }
  }
  bool silent = false;

 private:
  Window* window_;
};

ControlKind KindOf(const std::string& class_name, uint32_t style) {
  if (class_name == "STATIC") return ControlKind::kStatic;
  if (class_name == "EDIT") return ControlKind::kEdit;
  if (class_name == "COMBOBOX") return ControlKind::kCombo;
  if (class_name == "LISTBOX") return ControlKind::kList;
  switch (style & BS_TYPEMASK) {
    case BS_CHECKBOX:
    case BS_AUTOCHECKBOX:
      return ControlKind::kCheckBox;
    case BS_OWNERDRAW:
      return ControlKind::kOwnerDraw;
    case BS_GROUPBOX:
      return ControlKind::kGroupBox;
    default:
      return ControlKind::kPushButton;
  }
}

Qt::Alignment AlignmentOf(uint32_t style) {
  switch (style & 0x3) {
    case 1:
      return Qt::AlignHCenter | Qt::AlignVCenter;
    case 2:
      return Qt::AlignRight | Qt::AlignVCenter;
    default:
      return Qt::AlignLeft | Qt::AlignVCenter;
  }
}

// Rows of dialogs sit 11 dialog units (18 pixels) apart; a closed box fits one.
int ClosedComboHeight(const Window* w) { return QFontMetrics(QtFont(w->font)).height() + 4; }

QWidget* MakeWidget(Window* w, QWidget* parent) {
  const bool in_dialog = w->parent->kind == WindowKind::kDialog;
  const QString text = ToQt(w->text);
  switch (w->control) {
    case ControlKind::kPushButton: {
      auto* button = new QPushButton(text, parent);
      button->setAutoDefault(in_dialog);
      // Outside dialogs a tap leaves the keyboard with the window, whose
      // handlers drive the buttons' actions from keys as well.
      if (!in_dialog) button->setFocusPolicy(Qt::NoFocus);
      w->is_default_button = (w->style & BS_TYPEMASK) == BS_DEFPUSHBUTTON;
      button->setProperty("tqDefault", w->is_default_button);
      QObject::connect(button, &QPushButton::clicked, [w] { NotifyParent(w, BN_CLICKED); });
      return button;
    }
    case ControlKind::kCheckBox: {
      auto* box = new QCheckBox(text, parent);
      if (w->style & BS_LEFTTEXT) box->setLayoutDirection(Qt::RightToLeft);
      const bool automatic = (w->style & BS_TYPEMASK) == BS_AUTOCHECKBOX;
      QObject::connect(box, &QCheckBox::clicked, [w, box, automatic](bool checked) {
        if (!automatic) box->setChecked(!checked);
        NotifyParent(w, BN_CLICKED);
      });
      return box;
    }
    case ControlKind::kOwnerDraw: {
      auto* button = new OwnerDrawButton(w, parent);
      QObject::connect(button, &QAbstractButton::clicked, [w] { NotifyParent(w, BN_CLICKED); });
      return button;
    }
    case ControlKind::kGroupBox:
      return new QGroupBox(text, parent);
    case ControlKind::kStatic: {
      auto* label = new QLabel(text, parent);
      label->setTextFormat(Qt::PlainText);
      label->setAlignment(AlignmentOf(w->style));
      return label;
    }
    case ControlKind::kEdit: {
      auto* edit = new Edit(w, text, parent);
      edit->setFrame((w->style & WS_BORDER) != 0);
      edit->setReadOnly((w->style & ES_READONLY) != 0);
      edit->setAlignment(AlignmentOf(w->style));
      QObject::connect(edit, &QLineEdit::textChanged, [w](const QString&) { NotifyParent(w, EN_CHANGE); });
      return edit;
    }
    case ControlKind::kCombo: {
      auto* combo = new ComboBox(w, parent);
      combo->setEditable((w->style & 0x3) == CBS_DROPDOWN);
      return combo;
    }
    case ControlKind::kList: {
      auto* list = new ListBox(w, parent);
      list->setSelectionMode((w->style & LBS_EXTENDEDSEL) ? QAbstractItemView::ExtendedSelection
                                                         : QAbstractItemView::SingleSelection);
      list->setFrameShape((w->style & WS_BORDER) ? QFrame::Box : QFrame::NoFrame);
      list->setVerticalScrollBarPolicy((w->style & WS_VSCROLL) ? Qt::ScrollBarAsNeeded : Qt::ScrollBarAlwaysOff);
      list->setHorizontalScrollBarPolicy((w->style & WS_HSCROLL) ? Qt::ScrollBarAsNeeded
                                                                : Qt::ScrollBarAlwaysOff);
      list->setUniformItemSizes(true);
      return list;
    }
    case ControlKind::kNone:
      break;
  }
  return nullptr;
}

// Index where `text` goes in a sorted list.
template <typename Count, typename At>
int SortedPosition(const QString& text, Count count, At at) {
  int n = count();
  for (int i = 0; i < n; ++i) {
    if (QString::compare(text, at(i), Qt::CaseInsensitive) < 0) return i;
  }
  return n;
}

QComboBox* ComboOf(WindowHandle handle) {
  Window* w = ResolveControl(handle, ControlKind::kCombo);
  return w ? static_cast<QComboBox*>(w->widget.data()) : nullptr;
}

ListBox* ListOf(WindowHandle handle) {
  Window* w = ResolveControl(handle, ControlKind::kList);
  return w ? static_cast<ListBox*>(w->widget.data()) : nullptr;
}

QPushButton* PushButtonOf(WindowHandle handle) {
  Window* w = ResolveControl(handle, ControlKind::kPushButton);
  return w ? static_cast<QPushButton*>(w->widget.data()) : nullptr;
}

}  // namespace

QWidget* CreateControlWidget(Window* w, QWidget* parent_widget) {
  w->control = KindOf(w->class_name, w->style);
  w->font = w->parent->kind == WindowKind::kDialog ? w->parent->font : Font{14, FW_NORMAL};
  QWidget* widget = MakeWidget(w, parent_widget);
  if (widget == nullptr) return nullptr;
  widget->setFont(ControlFont(w->font));
  w->widget = widget;
  BindWidget(w, widget);
  if (!(w->style & WS_TABSTOP) && w->control != ControlKind::kEdit && w->control != ControlKind::kCombo &&
      w->control != ControlKind::kList && w->parent->kind == WindowKind::kDialog) {
    widget->setFocusPolicy(Qt::NoFocus);
  }
  return widget;
}

void SetControlGeometry(Window* w) {
  const Rect& r = w->rect;
  QPoint origin(r.left + w->parent->border, r.top + w->parent->border);
  int height = r.Height();
  if (w->control == ControlKind::kCombo) {
    // The given height is the dropped list's; the closed box follows the font.
    auto* combo = static_cast<QComboBox*>(w->widget.data());
    int closed = ClosedComboHeight(w);
    int item = QFontMetrics(QtFont(w->font)).height() + 2;
    int visible = (w->style & WS_VSCROLL) ? std::max(1, (height - closed) / item) : 100;
    combo->setMaxVisibleItems(visible);
    height = closed;
  }
  w->widget->setGeometry(QRect(origin, QSize(r.Width(), height)));
  if (w->control == ControlKind::kOwnerDraw) ResizeImage(w, r.Width(), r.Height());
}

void DrawOwnerButton(Window* w) {
  if (w->parent == nullptr || !w->parent->alive) return;
  auto* button = static_cast<QAbstractButton*>(w->widget.data());
  DcHandle dc = GetDC(w);
  if (dc == nullptr) return;
  DrawItem item;
  item.control_type = ODT_BUTTON;
  item.control_id = w->id;
  item.action = ODA_DRAWENTIRE;
  if (button->isDown()) item.state |= ODS_SELECTED;
  if (button->hasFocus()) item.state |= ODS_FOCUS;
  if (!button->isEnabled()) item.state |= ODS_DISABLED;
  item.control = w;
  item.dc = dc;
  item.rect = Rect{0, 0, w->image.width(), w->image.height()};
  CallProcedure(w->parent, WM_DRAWITEM, static_cast<uintptr_t>(w->id), reinterpret_cast<intptr_t>(&item));
  ReleaseDC(w, dc);
  ShowImageChanges(w);
}

}  // namespace window_detail

using namespace window_detail;

bool SetDlgItemText(WindowHandle dialog, int id, std::string_view text) {
  Window* w = Resolve(GetDlgItem(dialog, id));
  if (w == nullptr) return false;
  w->text = std::string(text);
  QString q = ToQt(text);
  switch (w->control) {
    case ControlKind::kPushButton:
    case ControlKind::kCheckBox:
      static_cast<QAbstractButton*>(w->widget.data())->setText(q);
      break;
    case ControlKind::kGroupBox:
      static_cast<QGroupBox*>(w->widget.data())->setTitle(q);
      break;
    case ControlKind::kStatic:
      static_cast<QLabel*>(w->widget.data())->setText(q);
      break;
    case ControlKind::kEdit:
      static_cast<QLineEdit*>(w->widget.data())->setText(q);
      break;
    case ControlKind::kCombo: {
      auto* combo = static_cast<QComboBox*>(w->widget.data());
      if (combo->isEditable()) combo->setEditText(q);
      break;
    }
    case ControlKind::kOwnerDraw:
      InvalidateRect(w, nullptr, false);
      break;
    case ControlKind::kList:
    case ControlKind::kNone:
      break;
  }
  return true;
}

std::string GetDlgItemText(WindowHandle dialog, int id) {
  Window* w = Resolve(GetDlgItem(dialog, id));
  if (w == nullptr) return {};
  switch (w->control) {
    case ControlKind::kEdit:
      return FromQt(static_cast<QLineEdit*>(w->widget.data())->text());
    case ControlKind::kCombo:
      return FromQt(static_cast<QComboBox*>(w->widget.data())->currentText());
    default:
      return w->text;
  }
}

int AddComboString(WindowHandle handle, std::string_view text) {
  QComboBox* combo = ComboOf(handle);
  if (combo == nullptr) return CB_ERR;
  QString q = ToQt(text);
  int index = combo->count();
  if (Resolve(handle)->style & CBS_SORT) {
    index = SortedPosition(q, [&] { return combo->count(); }, [&](int i) { return combo->itemText(i); });
  }
  int selected = combo->currentIndex();
  combo->insertItem(index, q);
  // A new entry never selects itself.
  combo->setCurrentIndex(selected >= index && selected >= 0 ? selected + 1 : selected);
  return index;
}

bool ResetComboContent(WindowHandle handle) {
  QComboBox* combo = ComboOf(handle);
  if (combo == nullptr) return false;
  combo->clear();
  return true;
}

int SetComboSelection(WindowHandle handle, int index) {
  QComboBox* combo = ComboOf(handle);
  if (combo == nullptr) return CB_ERR;
  if (index < 0 || index >= combo->count()) {
    combo->setCurrentIndex(-1);
    return CB_ERR;
  }
  combo->setCurrentIndex(index);
  return index;
}

int GetComboSelection(WindowHandle handle) {
  QComboBox* combo = ComboOf(handle);
  if (combo == nullptr || combo->currentIndex() < 0) return CB_ERR;
  return combo->currentIndex();
}

int GetComboCount(WindowHandle handle) {
  QComboBox* combo = ComboOf(handle);
  return combo == nullptr ? CB_ERR : combo->count();
}

std::string GetComboString(WindowHandle handle, int index) {
  QComboBox* combo = ComboOf(handle);
  if (combo == nullptr || index < 0 || index >= combo->count()) return {};
  return FromQt(combo->itemText(index));
}

int GetComboDroppedWidth(WindowHandle handle) {
  Window* w = ResolveControl(handle, ControlKind::kCombo);
  return w == nullptr ? CB_ERR : static_cast<ComboBox*>(w->widget.data())->DroppedWidth();
}

bool ShowComboDropDown(WindowHandle handle, bool show) {
  QComboBox* combo = ComboOf(handle);
  if (combo == nullptr) return false;
  if (show) {
    combo->showPopup();
  } else {
    combo->hidePopup();
  }
  return true;
}

int AddListString(WindowHandle handle, std::string_view text) {
  ListBox* list = ListOf(handle);
  if (list == nullptr) return LB_ERR;
  QString q = ToQt(text);
  int index = list->count();
  if (Resolve(handle)->style & LBS_SORT) {
    index = SortedPosition(q, [&] { return list->count(); }, [&](int i) { return list->item(i)->text(); });
  }
  list->silent = true;
  list->insertItem(index, q);
  list->silent = false;
  return index;
}

bool ResetListContent(WindowHandle handle) {
  ListBox* list = ListOf(handle);
  if (list == nullptr) return false;
  list->silent = true;
  list->clear();
  list->silent = false;
  return true;
}

int DeleteListString(WindowHandle handle, int index) {
  ListBox* list = ListOf(handle);
  if (list == nullptr || index < 0 || index >= list->count()) return LB_ERR;
  list->silent = true;
  delete list->takeItem(index);
  list->silent = false;
  return list->count();
}

int SetListSelection(WindowHandle handle, int index) {
  ListBox* list = ListOf(handle);
  if (list == nullptr) return LB_ERR;
  list->silent = true;
  bool ok = index >= 0 && index < list->count();
  list->setCurrentRow(ok ? index : -1);
  if (!ok) list->clearSelection();
  list->silent = false;
  return ok ? index : LB_ERR;
}

int GetListSelection(WindowHandle handle) {
  ListBox* list = ListOf(handle);
  if (list == nullptr || list->currentRow() < 0) return LB_ERR;
  return list->currentRow();
}

int GetListCount(WindowHandle handle) {
  ListBox* list = ListOf(handle);
  return list == nullptr ? LB_ERR : list->count();
}

std::string GetListString(WindowHandle handle, int index) {
  ListBox* list = ListOf(handle);
  if (list == nullptr || index < 0 || index >= list->count()) return {};
  return FromQt(list->item(index)->text());
}

bool SetListTopIndex(WindowHandle handle, int index) {
  ListBox* list = ListOf(handle);
  if (list == nullptr || index < 0 || index >= list->count()) return false;
  list->scrollToItem(list->item(index), QAbstractItemView::PositionAtTop);
  return true;
}

int GetListTopIndex(WindowHandle handle) {
  ListBox* list = ListOf(handle);
  if (list == nullptr) return LB_ERR;
  QModelIndex top = list->indexAt(QPoint(1, 1));
  return top.isValid() ? top.row() : 0;
}

bool SetButtonCheck(WindowHandle handle, bool checked) {
  Window* w = ResolveControl(handle, ControlKind::kCheckBox);
  if (w == nullptr) return false;
  static_cast<QCheckBox*>(w->widget.data())->setChecked(checked);
  return true;
}

bool IsButtonChecked(WindowHandle handle) {
  Window* w = ResolveControl(handle, ControlKind::kCheckBox);
  return w != nullptr && static_cast<QCheckBox*>(w->widget.data())->isChecked();
}

bool CheckDlgButton(WindowHandle dialog, int id, bool checked) {
  return SetButtonCheck(GetDlgItem(dialog, id), checked);
}

bool IsDlgButtonChecked(WindowHandle dialog, int id) { return IsButtonChecked(GetDlgItem(dialog, id)); }

bool SetButtonState(WindowHandle handle, bool pressed) {
  Window* w = Resolve(handle);
  if (w == nullptr || (w->control != ControlKind::kPushButton && w->control != ControlKind::kOwnerDraw)) {
    return false;
  }
  static_cast<QAbstractButton*>(w->widget.data())->setDown(pressed);
  if (w->control == ControlKind::kOwnerDraw) InvalidateRect(w, nullptr, false);
  return true;
}

bool GetButtonState(WindowHandle handle) {
  Window* w = Resolve(handle);
  if (w == nullptr || (w->control != ControlKind::kPushButton && w->control != ControlKind::kOwnerDraw)) {
    return false;
  }
  return static_cast<QAbstractButton*>(w->widget.data())->isDown();
}

bool SetButtonDefault(WindowHandle handle, bool is_default) {
  QPushButton* button = PushButtonOf(handle);
  if (button == nullptr) return false;
  Window* w = Resolve(handle);
  w->is_default_button = is_default;
  w->style = (w->style & ~BS_TYPEMASK) | (is_default ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON);
  button->setProperty("tqDefault", is_default);
  Repolish(button);
  return true;
}

bool IsButtonDefault(WindowHandle handle) {
  Window* w = ResolveControl(handle, ControlKind::kPushButton);
  return w != nullptr && w->is_default_button;
}

bool SetEditReadOnly(WindowHandle handle, bool read_only) {
  Window* w = ResolveControl(handle, ControlKind::kEdit);
  if (w == nullptr) return false;
  static_cast<QLineEdit*>(w->widget.data())->setReadOnly(read_only);
  if (read_only) {
    w->style |= ES_READONLY;
  } else {
    w->style &= ~ES_READONLY;
  }
  return true;
}

bool IsEditReadOnly(WindowHandle handle) {
  Window* w = ResolveControl(handle, ControlKind::kEdit);
  return w != nullptr && static_cast<QLineEdit*>(w->widget.data())->isReadOnly();
}

bool SelectEditText(WindowHandle handle) {
  Window* w = ResolveControl(handle, ControlKind::kEdit);
  if (w == nullptr) return false;
  static_cast<QLineEdit*>(w->widget.data())->selectAll();
  return true;
}

std::string GetEditSelection(WindowHandle handle) {
  Window* w = ResolveControl(handle, ControlKind::kEdit);
  return w == nullptr ? std::string() : FromQt(static_cast<QLineEdit*>(w->widget.data())->selectedText());
}

bool SetControlFont(WindowHandle handle, Font font) {
  Window* w = Resolve(handle);
  if (w == nullptr || w->kind != WindowKind::kControl) return false;
  w->font = font;
  w->widget->setFont(ControlFont(font));
  SetControlGeometry(w);
  return true;
}

// Person-side operations used by the modal responder's helpers.
namespace window_detail {

bool ChooseComboEntry(Window* w, int index) {
  auto* combo = static_cast<ComboBox*>(w->widget.data());
  if (index < 0 || index >= combo->count() || !combo->isEnabled()) return false;
  combo->Choose(index);
  return true;
}

bool ChooseListEntry(Window* w, int index) {
  auto* list = static_cast<ListBox*>(w->widget.data());
  if (index < 0 || index >= list->count() || !list->isEnabled()) return false;
  list->setCurrentRow(index);
  return true;
}

}  // namespace window_detail

}  // namespace tq

namespace tq::window_detail {

// The handheld's classic grey look, with pixel fonts and plain frames, the
// same on every desktop theme.
void ApplyLook() {
  QApplication::setStyle(QStyleFactory::create("Fusion"));
  QPalette palette;
  palette.setColor(QPalette::Window, ToQColor(GetSysColor(COLOR_BTNFACE)));
  palette.setColor(QPalette::Button, ToQColor(GetSysColor(COLOR_BTNFACE)));
  palette.setColor(QPalette::Base, Qt::white);
  palette.setColor(QPalette::Text, Qt::black);
  palette.setColor(QPalette::WindowText, Qt::black);
  palette.setColor(QPalette::ButtonText, Qt::black);
  palette.setColor(QPalette::Highlight, QColor(0, 0, 128));
  palette.setColor(QPalette::HighlightedText, Qt::white);
  palette.setColor(QPalette::Disabled, QPalette::Text, QColor(128, 128, 128));
  palette.setColor(QPalette::Disabled, QPalette::ButtonText, QColor(128, 128, 128));
  palette.setColor(QPalette::Disabled, QPalette::WindowText, QColor(128, 128, 128));
  QApplication::setPalette(palette);
  QApplication::setFont(ControlFont(Font{14, FW_NORMAL}));
  qApp->setStyleSheet(
      "QPushButton { background-color: #c0c0c0; border: 1px solid black; padding: 0px; }"
      "QPushButton:pressed { background-color: #808080; color: white; }"
      "QPushButton:disabled { color: #808080; border-color: #808080; }"
      "QPushButton[tqDefault=\"true\"] { border: 2px solid black; }"
      "QComboBox { combobox-popup: 0; }");
}

}  // namespace tq::window_detail
