// Controls in a window: what a person's actions send to the parent, what
// the program's own changes do not send, and owner drawing.
#include "platform/controls.h"

#include <gtest/gtest.h>

#include "platform/modal_responder.h"
#include "platform/window.h"
#include "tests/window/recording_window.h"

namespace tq {
namespace {

using test::RecordedMessages;
using test::RecordedOf;

class Controls : public ::testing::Test {
 protected:
  void SetUp() override {
    window_ = test::CreateRecordingWindow(240, 320);
    ProcessPendingMessages();
  }
  void TearDown() override { test::DestroyTestWindows(); }

  WindowHandle Make(const char* cls, const char* text, uint32_t style, int id, int height = 20) {
    WindowHandle h = CreateWindow(cls, text, WS_CHILD | WS_VISIBLE | style, 10, 10, 120, height, window_, id);
    EXPECT_NE(h, nullptr);
    RecordedMessages().clear();
    return h;
  }
  // (id, code) of every WM_COMMAND so far.
  std::vector<std::pair<int, int>> Commands() {
    std::vector<std::pair<int, int>> out;
    for (const auto& r : RecordedOf(WM_COMMAND)) out.emplace_back(LOWORD(r.wparam), HIWORD(r.wparam));
    return out;
  }
  using Commands_t = std::vector<std::pair<int, int>>;

  WindowHandle window_ = nullptr;
};

TEST_F(Controls, APushButtonTapSendsItsIdAndHandle) {
  WindowHandle button = Make("BUTTON", "&Survey Setup", BS_PUSHBUTTON | WS_TABSTOP, 421);
  ASSERT_TRUE(ClickButton(button));
  std::vector<test::Recorded> commands = RecordedOf(WM_COMMAND);
  ASSERT_EQ(commands.size(), 1u);
  EXPECT_EQ(LOWORD(commands[0].wparam), 421);
  EXPECT_EQ(HIWORD(commands[0].wparam), BN_CLICKED);
  EXPECT_EQ(HandleFromParam(commands[0].lparam), button);
  EXPECT_EQ(GetDlgItem(window_, 421), button);
  EXPECT_EQ(GetDlgCtrlID(button), 421);
  EXPECT_EQ(GetWindowText(button), "&Survey Setup");
}

TEST_F(Controls, HiddenOrDisabledButtonsCannotBeTapped) {
  WindowHandle button = Make("BUTTON", "&Go", 0, 460);
  EnableWindow(button, false);
  EXPECT_FALSE(ClickButton(button));
  EnableWindow(button, true);
  ShowWindow(button, SW_HIDE);
  EXPECT_FALSE(ClickButton(button));
  EXPECT_TRUE(Commands().empty());
  WindowHandle hidden_at_birth = CreateWindow("BUTTON", "&Line", WS_CHILD, 0, 0, 10, 10, window_, 461);
  EXPECT_FALSE(IsWindowVisible(hidden_at_birth));
  EXPECT_FALSE(ClickButton(hidden_at_birth));
}

TEST_F(Controls, KeysStayWithTheWindowAfterAButtonTap) {
  WindowHandle button = Make("BUTTON", "E&xit", 0, 426);
  SetFocus(window_);
  ClickButton(button);
  ProcessPendingMessages();
  PressKey('X');
  ProcessPendingMessages();
  ASSERT_EQ(RecordedOf(WM_KEYDOWN).size(), 1u);
  EXPECT_EQ(RecordedOf(WM_KEYDOWN)[0].window, window_);
}

TEST_F(Controls, DefaultStyleAndPressedLookMoveBetweenButtons) {
  WindowHandle a = Make("BUTTON", "A", BS_DEFPUSHBUTTON, 1);
  WindowHandle b = Make("BUTTON", "B", BS_PUSHBUTTON, 2);
  EXPECT_TRUE(IsButtonDefault(a));
  EXPECT_FALSE(IsButtonDefault(b));
  SetButtonDefault(a, false);
  SetButtonDefault(b, true);
  EXPECT_FALSE(IsButtonDefault(a));
  EXPECT_TRUE(IsButtonDefault(b));
  EXPECT_TRUE(SetButtonState(b, true));
  EXPECT_TRUE(GetButtonState(b));
  EXPECT_FALSE(GetButtonState(a));
  SetButtonState(b, false);
  EXPECT_FALSE(GetButtonState(b));
  EXPECT_TRUE(Commands().empty());
}

TEST_F(Controls, CheckBoxesToggleThemselvesWhenTappedOnly) {
  WindowHandle box = Make("BUTTON", "C/V", BS_AUTOCHECKBOX | BS_LEFTTEXT, 750);
  EXPECT_FALSE(IsButtonChecked(box));
  ASSERT_TRUE(ClickButton(box));
  EXPECT_TRUE(IsButtonChecked(box));
  EXPECT_EQ(Commands(), (Commands_t{{750, BN_CLICKED}}));
  RecordedMessages().clear();
  EXPECT_TRUE(CheckDlgButton(window_, 750, false));
  EXPECT_FALSE(IsDlgButtonChecked(window_, 750));
  EXPECT_TRUE(Commands().empty());
  WindowHandle manual = Make("BUTTON", "M", BS_CHECKBOX, 751);
  ClickButton(manual);
  EXPECT_FALSE(IsButtonChecked(manual));  // the program decides
  EXPECT_EQ(Commands(), (Commands_t{{751, BN_CLICKED}}));
}

TEST_F(Controls, ComboBoxesReportAChoiceButNotTheProgramsChanges) {
  WindowHandle combo = Make("COMBOBOX", "", CBS_DROPDOWNLIST | WS_VSCROLL, 620, 80);
  EXPECT_EQ(AddComboString(combo, "Auto"), 0);
  EXPECT_EQ(AddComboString(combo, "Wheel"), 1);
  EXPECT_EQ(AddComboString(combo, "Manual"), 2);
  EXPECT_EQ(GetComboSelection(combo), CB_ERR);  // adding selects nothing
  EXPECT_EQ(SetComboSelection(combo, 1), 1);
  EXPECT_EQ(GetDlgItemText(window_, 620), "Wheel");
  EXPECT_TRUE(Commands().empty());
  ASSERT_TRUE(ChooseComboItem(combo, 2));
  EXPECT_EQ(GetComboSelection(combo), 2);
  Commands_t got = Commands();
  EXPECT_EQ(got, (Commands_t{{620, CBN_DROPDOWN}, {620, CBN_SELENDOK}, {620, CBN_CLOSEUP}, {620, CBN_SELCHANGE}}));
  EXPECT_EQ(GetComboCount(combo), 3);
  EXPECT_EQ(GetComboString(combo, 1), "Wheel");
  EXPECT_FALSE(ChooseComboItem(combo, 3));
}

TEST_F(Controls, AnOutOfRangeSelectionClearsTheComboBox) {
  WindowHandle combo = Make("COMBOBOX", "", CBS_DROPDOWNLIST, 826, 80);
  AddComboString(combo, "any key");
  SetComboSelection(combo, 0);
  EXPECT_EQ(SetComboSelection(combo, 3), CB_ERR);
  EXPECT_EQ(GetComboSelection(combo), CB_ERR);
  EXPECT_TRUE(ResetComboContent(combo));
  EXPECT_EQ(GetComboCount(combo), 0);
}

TEST_F(Controls, ADroppedListIsWideEnoughForItsLongestEntry) {
  // The pause-key list of the logger setup: 56 dialog units, 84 pixels.
  WindowHandle narrow = CreateWindow("COMBOBOX", "", WS_CHILD | WS_VISIBLE | CBS_DROPDOWNLIST, 10, 10, 84, 80,
                                     window_, 826);
  for (const char* entry : {"any non numeric key", "<Space Bar>", "<Enter>", "<P>"}) AddComboString(narrow, entry);
  WindowHandle wide = Make("COMBOBOX", "", CBS_DROPDOWNLIST, 827, 80);
  for (const char* entry : {"Auto", "Manual"}) AddComboString(wide, entry);
  DcHandle dc = GetDC(window_);
  SelectFont(dc, CreateFont(14, FW_NORMAL));
  const int longest = GetTextExtent(dc, "any non numeric key").cx;
  ReleaseDC(window_, dc);
  ASSERT_GT(longest, 84);  // wider than the closed box: it would be cut
  ASSERT_TRUE(ShowComboDropDown(narrow, true));
  EXPECT_GE(GetComboDroppedWidth(narrow), longest);
  EXPECT_LE(GetComboDroppedWidth(narrow), GetSystemMetrics(SM_CXSCREEN));
  ShowComboDropDown(narrow, false);
  ASSERT_TRUE(ShowComboDropDown(wide, true));
  EXPECT_EQ(GetComboDroppedWidth(wide), 120);  // short entries keep the box's width
  ShowComboDropDown(wide, false);
}

TEST_F(Controls, SortedCombosPlaceNewEntriesInOrderAndKeepTheSelection) {
  WindowHandle combo = Make("COMBOBOX", "", CBS_DROPDOWNLIST | CBS_SORT, 5, 80);
  AddComboString(combo, "North");
  SetComboSelection(combo, 0);
  EXPECT_EQ(AddComboString(combo, "East"), 0);
  EXPECT_EQ(AddComboString(combo, "West"), 2);
  EXPECT_EQ(GetComboSelection(combo), 1);
  EXPECT_EQ(GetDlgItemText(window_, 5), "North");
}

TEST_F(Controls, ListBoxesNotifyOnlyWhenAskedAndOnlyForAPersonsChoice) {
  WindowHandle list = Make("LISTBOX", "", LBS_NOTIFY | WS_VSCROLL | WS_BORDER | LBS_EXTENDEDSEL, 222, 100);
  for (int i = 0; i < 40; ++i) EXPECT_EQ(AddListString(list, "$GPGGA," + std::to_string(i)), i);
  SetListSelection(list, 3);
  EXPECT_TRUE(Commands().empty());
  ASSERT_TRUE(ChooseListItem(list, 5));
  EXPECT_EQ(GetListSelection(list), 5);
  EXPECT_EQ(Commands(), (Commands_t{{222, LBN_SELCHANGE}}));
  EXPECT_TRUE(SetListTopIndex(list, 30));
  EXPECT_EQ(GetListTopIndex(list), 30);
  EXPECT_EQ(GetListString(list, 39), "$GPGGA,39");
  EXPECT_EQ(GetListCount(list), 40);

  WindowHandle quiet = Make("LISTBOX", "", 0, 223, 100);
  AddListString(quiet, "a");
  AddListString(quiet, "b");
  ChooseListItem(quiet, 1);
  EXPECT_TRUE(Commands().empty());
}

TEST_F(Controls, EditsReportEveryChangeIncludingTheProgramsOwn) {
  WindowHandle edit = Make("EDIT", "$PASHS,NME,SAT,A,ON", WS_BORDER | ES_AUTOHSCROLL, 452);
  EXPECT_EQ(GetWindowText(edit), "$PASHS,NME,SAT,A,ON");
  EXPECT_TRUE(Commands().empty());  // the text given at creation is no change
  ASSERT_TRUE(TypeText(edit, "500"));
  EXPECT_EQ(GetDlgItemText(window_, 452), "500");
  EXPECT_EQ(Commands(), (Commands_t{{452, EN_CHANGE}}));
  RecordedMessages().clear();
  SetDlgItemText(window_, 452, "1.00");
  EXPECT_EQ(Commands(), (Commands_t{{452, EN_CHANGE}}));
  SetEditReadOnly(edit, true);
  EXPECT_TRUE(IsEditReadOnly(edit));
  EXPECT_FALSE(TypeText(edit, "x"));
  EXPECT_EQ(GetWindowText(edit), "1.00");
}

TEST_F(Controls, StaticTextsShowTheirTextLiterally) {
  WindowHandle label = Make("STATIC", "<Enter> & more", SS_CENTER, -1);
  EXPECT_EQ(GetWindowText(label), "<Enter> & more");
  SetWindowText(label, "Not Available");
  EXPECT_EQ(GetWindowText(label), "Not Available");
}

TEST_F(Controls, ControlFunctionsRefuseTheWrongKindOfControl) {
  WindowHandle button = Make("BUTTON", "x", 0, 1);
  EXPECT_EQ(AddComboString(button, "x"), CB_ERR);
  EXPECT_EQ(AddListString(button, "x"), LB_ERR);
  EXPECT_FALSE(SetButtonCheck(button, true));
  EXPECT_FALSE(SetEditReadOnly(button, true));
  EXPECT_EQ(GetDlgItem(window_, 999), nullptr);
  EXPECT_FALSE(SetDlgItemText(window_, 999, "x"));
  EXPECT_EQ(CreateWindow("BUTTON", "orphan", WS_CHILD, 0, 0, 5, 5, nullptr, 3), nullptr);
}

// A swatch that paints itself in its parent's colours: the pressed state
// shows as a filled square.
void PaintSwatch(WindowHandle, const DrawItem& item) {
  ColorRef fill = (item.state & ODS_SELECTED) ? Rgb(0, 0, 255) : Rgb(255, 255, 255);
  FillRect(item.dc, item.rect, CreateSolidBrush(fill));
  SelectPen(item.dc, CreatePen(PS_SOLID, 2, Rgb(255, 0, 0)));
  MoveTo(item.dc, item.rect.left + 3, item.rect.top + 10);
  LineTo(item.dc, item.rect.right - 5, item.rect.top + 10);
}

TEST_F(Controls, OwnerDrawnButtonsAskTheirParentToDrawThem) {
  Make("BUTTON", "", BS_OWNERDRAW, 758, 20);
  ProcessPendingMessages();
  std::vector<test::Recorded> draws = RecordedOf(WM_DRAWITEM);
  ASSERT_FALSE(draws.empty());
  EXPECT_EQ(draws.back().wparam, 758u);

  // Draw for real through a handler that keeps the state it was given.
  static uint32_t last_state = 0xFFFF;
  constexpr MessageEntry kTable[] = {{WM_DRAWITEM, [](WindowHandle w, uint32_t, uintptr_t, intptr_t l) -> intptr_t {
                                        const auto* d = reinterpret_cast<const DrawItem*>(l);
                                        last_state = d->state;
                                        PaintSwatch(w, *d);
                                        return 1;
                                      }}};
  RegisterClass(WindowClass{"SwatchHostWnd", kTable});
  WindowHandle host = CreateWindow("SwatchHostWnd", "", WS_VISIBLE, 0, 0, 100, 100, nullptr, 0);
  WindowHandle drawn = CreateWindow("BUTTON", "", WS_CHILD | WS_VISIBLE | BS_OWNERDRAW, 5, 5, 40, 20, host, 759);
  ProcessPendingMessages();
  EXPECT_EQ(last_state & ODS_SELECTED, 0u);
  DcHandle dc = GetDC(drawn);
  EXPECT_EQ(GetPixel(dc, 1, 1), Rgb(255, 255, 255));
  EXPECT_EQ(GetPixel(dc, 10, 10), Rgb(255, 0, 0));
  ReleaseDC(drawn, dc);
  SetButtonState(drawn, true);
  ProcessPendingMessages();
  EXPECT_NE(last_state & ODS_SELECTED, 0u);
  dc = GetDC(drawn);
  EXPECT_EQ(GetPixel(dc, 1, 1), Rgb(0, 0, 255));
  ReleaseDC(drawn, dc);
  DestroyWindow(host);
}

}  // namespace
}  // namespace tq
