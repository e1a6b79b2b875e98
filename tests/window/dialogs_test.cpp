// Modal calls answered in place of a person: dialogs from templates, message
// boxes, menus, file dialogs, the colour picker; and what happens to calls
// nobody answers.
#include "platform/dialogs.h"

#include <gtest/gtest.h>

#include "platform/controls.h"
#include "platform/modal_responder.h"
#include "platform/window.h"
#include "tests/window/recording_window.h"

namespace tq {
namespace {

constexpr const char* kAllKinds = R"(
dialog TESTALLKINDS
title "All Kinds"
size 120 110
control 700 static "GPS Input" 4 4 50 10
control 720 combo "" 56 2 60 60 vscroll
control 721 edit "" 56 16 60 12 border
control 722 listbox "" 4 30 50 40 border vscroll
control 750 checkbox "C/V" 56 30 40 10 lefttext
control 758 ownerdraw "" 56 44 40 14
control 729 button "Monitor GPS Output" 4 74 112 14
control 730 button "Hidden" 4 92 50 12 hidden
end

dialog TESTSTUBBORN
title "Enter Scale"
size 60 30
end

dialog TESTENTRY
title "New Line"
size 100 40
control 674 edit "" 4 4 60 12 border
control 675 edit "" 4 20 60 12 border
end
)";

// Reports go to a list instead of failing the test.
class CapturedFailures {
 public:
  CapturedFailures() {
    SetModalFailureHandler([this](const std::string& what) { reports.push_back(what); });
  }
  ~CapturedFailures() {
    SetModalFailureHandler([](const std::string& what) { ADD_FAILURE() << "modal call: " << what; });
  }
  std::vector<std::string> reports;
};

// What the dialog procedure saw and read back on OK.
struct AllKindsState {
  intptr_t init_param = 0;
  std::vector<std::pair<int, int>> commands;
  std::vector<int> drawn;
  std::string edit;
  int combo = -2;
  int list = -2;
  bool checked = true;
};

DialogProc AllKindsProcedure(AllKindsState* state) {
  return [state](WindowHandle d, uint32_t message, uintptr_t wparam, intptr_t lparam) -> intptr_t {
    switch (message) {
      case WM_INITDIALOG: {
        state->init_param = lparam;
        WindowHandle combo = GetDlgItem(d, 720);
        AddComboString(combo, "Disabled");
        AddComboString(combo, "Enabled");
        SetComboSelection(combo, 1);
        for (const char* s : {"a", "b", "c"}) AddListString(GetDlgItem(d, 722), s);
        SetDlgItemText(d, 721, "9600");
        CheckDlgButton(d, 750, true);
        return 1;
      }
      case WM_DRAWITEM:
        state->drawn.push_back(reinterpret_cast<const DrawItem*>(lparam)->control_id);
        return 1;
      case WM_COMMAND:
        state->commands.emplace_back(LOWORD(wparam), HIWORD(wparam));
        if (LOWORD(wparam) == IDOK) {
          state->edit = GetDlgItemText(d, 721);
          state->combo = GetComboSelection(GetDlgItem(d, 720));
          state->list = GetListSelection(GetDlgItem(d, 722));
          state->checked = IsDlgButtonChecked(d, 750);
          EndDialog(d, 1);
        } else if (LOWORD(wparam) == IDCANCEL) {
          EndDialog(d, 2);
        } else if (LOWORD(wparam) == 729) {
          EndDialog(d, 7);
        }
        return 1;
      default:
        return 0;
    }
  };
}

class Dialogs : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    std::string error;
    ASSERT_TRUE(AddResourceScript(kAllKinds, &error)) << error;
  }
  void TearDown() override { test::DestroyTestWindows(); }

  ScriptedResponder responder_;
  AllKindsState state_;
};

TEST_F(Dialogs, EveryControlKindIsDrivenThroughTheResponder) {
  responder_.OnDialog("TestAllKinds", [&](WindowHandle d) {
    EXPECT_EQ(GetWindowText(d), "All Kinds");
    EXPECT_EQ(FindWindow("", "All Kinds"), d);
    // Dialog units at base units 6 and 13.
    EXPECT_EQ(GetWindowRect(GetDlgItem(d, 721)), (Rect{84, 26, 174, 46}));
    EXPECT_EQ(GetWindowRect(GetDlgItem(d, 729)), (Rect{6, 120, 174, 143}));
    EXPECT_EQ(GetDlgItemText(d, 721), "9600");
    EXPECT_EQ(GetComboSelection(GetDlgItem(d, 720)), 1);
    EXPECT_TRUE(TypeText(GetDlgItem(d, 721), "4800"));
    EXPECT_TRUE(ChooseComboItem(GetDlgItem(d, 720), 0));
    EXPECT_TRUE(ChooseListItem(GetDlgItem(d, 722), 2));
    EXPECT_TRUE(ClickButton(GetDlgItem(d, 750)));
    EXPECT_TRUE(ClickButton(GetDlgItem(d, 758)));
    EXPECT_FALSE(ClickButton(GetDlgItem(d, 730)));
    ProcessPendingMessages();
  });
  ScopedModalResponder scope(&responder_);
  EXPECT_EQ(OpenDialogTemplate("TESTALLKINDS", nullptr, AllKindsProcedure(&state_), 1234), 1);
  EXPECT_EQ(state_.init_param, 1234);
  EXPECT_EQ(state_.edit, "4800");
  EXPECT_EQ(state_.combo, 0);
  EXPECT_EQ(state_.list, 2);
  EXPECT_FALSE(state_.checked);
  EXPECT_FALSE(state_.drawn.empty());
  EXPECT_EQ(state_.drawn.front(), 758);
  std::vector<std::pair<int, int>> want = {
      {721, EN_CHANGE},   {721, EN_CHANGE},  // the program's own text, then the typing
      {720, CBN_DROPDOWN}, {720, CBN_SELENDOK}, {720, CBN_CLOSEUP}, {720, CBN_SELCHANGE},
      {722, LBN_SELCHANGE}, {750, BN_CLICKED}, {758, BN_CLICKED},  {IDOK, 0}};
  EXPECT_EQ(state_.commands, want);
  EXPECT_EQ(FindWindow("", "All Kinds"), nullptr);  // gone once it returned
  EXPECT_EQ(responder_.PendingSteps(), 0u);
}

TEST_F(Dialogs, ButtonsInsideADialogReachItsProcedure) {
  responder_.OnDialog("TESTALLKINDS", [](WindowHandle d) { ClickButton(GetDlgItem(d, 729)); });
  ScopedModalResponder scope(&responder_);
  EXPECT_EQ(OpenDialogTemplate("TESTALLKINDS", nullptr, AllKindsProcedure(&state_)), 7);
}

TEST_F(Dialogs, TheCloseBoxCancelsThroughTheDefaultHandling) {
  responder_.OnDialog("TESTALLKINDS", nullptr, IDCANCEL);
  ScopedModalResponder scope(&responder_);
  EXPECT_EQ(OpenDialogTemplate("TESTALLKINDS", nullptr, AllKindsProcedure(&state_)), 2);
  ASSERT_FALSE(state_.commands.empty());
  EXPECT_EQ(state_.commands.back(), (std::pair<int, int>{IDCANCEL, 0}));
}

TEST_F(Dialogs, EnterIsOkAndEscapeIsCancel) {
  responder_.OnDialog("TESTALLKINDS", [](WindowHandle d) { PressKey(VK_ESCAPE, d); });
  responder_.OnDialog("TESTALLKINDS", [](WindowHandle d) { PressKey(VK_RETURN, d); });
  ScopedModalResponder scope(&responder_);
  EXPECT_EQ(OpenDialogTemplate("TESTALLKINDS", nullptr, AllKindsProcedure(&state_)), 2);
  EXPECT_EQ(OpenDialogTemplate("TESTALLKINDS", nullptr, AllKindsProcedure(&state_)), 1);
}

TEST_F(Dialogs, AMissingTemplateOpensNothing) {
  ScopedModalResponder scope(&responder_);
  EXPECT_EQ(OpenDialogTemplate("GetSurveySetup99", nullptr, AllKindsProcedure(&state_)), -1);
  EXPECT_TRUE(responder_.Requests().empty());
}

TEST_F(Dialogs, AnUnansweredDialogIsReportedAndDismissedInsteadOfHanging) {
  CapturedFailures failures;
  {
    ScopedModalResponder scope(&responder_);
    EXPECT_EQ(OpenDialogTemplate("TESTALLKINDS", nullptr, AllKindsProcedure(&state_)), 2);
  }
  ASSERT_EQ(failures.reports.size(), 1u);
  EXPECT_NE(failures.reports[0].find("TESTALLKINDS"), std::string::npos);
  // With no responder at all the offscreen display has nobody to ask either.
  EXPECT_EQ(OpenDialogTemplate("TESTALLKINDS", nullptr, AllKindsProcedure(&state_)), 2);
  EXPECT_EQ(failures.reports.size(), 2u);
}

TEST_F(Dialogs, ADialogThatIgnoresItsAnswerIsReported) {
  CapturedFailures failures;
  responder_.OnDialog("TESTSTUBBORN", nullptr, IDOK);
  ScopedModalResponder scope(&responder_);
  EXPECT_EQ(OpenDialogTemplate("TESTSTUBBORN", nullptr, [](WindowHandle, uint32_t, uintptr_t, intptr_t) -> intptr_t {
              return 1;  // handles everything, ends nothing
            }),
            0);
  ASSERT_EQ(failures.reports.size(), 1u);
  EXPECT_NE(failures.reports[0].find("stayed open"), std::string::npos);
}

intptr_t CloseScaleDialog(WindowHandle window, uint32_t, uintptr_t, intptr_t) {
  KillTimer(window, 1);
  if (WindowHandle dialog = FindWindow("", "Enter Scale")) SendMessage(dialog, WM_CLOSE);
  return 0;
}

TEST_F(Dialogs, ATimerMayCloseAnOpenDialogByItsTitle) {
  constexpr MessageEntry kWatchdog[] = {{WM_TIMER, CloseScaleDialog}};
  RegisterClass(WindowClass{"WatchdogWnd", kWatchdog});
  WindowHandle watchdog = CreateWindow("WatchdogWnd", "", 0, 0, 0, 10, 10, nullptr, 0);
  SetTimer(watchdog, 1, 20);
  responder_.OnDialog("TESTSTUBBORN", [](WindowHandle d) {
    EXPECT_TRUE(RunMessagesUntil([d] { return !IsWindowVisible(d); }, 3000));
  });
  ScopedModalResponder scope(&responder_);
  int cancels = 0;
  intptr_t result = OpenDialogTemplate("TESTSTUBBORN", nullptr,
                                       [&](WindowHandle d, uint32_t m, uintptr_t w, intptr_t) -> intptr_t {
                                         if (m != WM_COMMAND) return 0;
                                         if (LOWORD(w) == IDCANCEL) ++cancels;
                                         return EndDialog(d, LOWORD(w) == IDCANCEL ? 2 : 1);
                                       });
  EXPECT_EQ(result, 2);
  EXPECT_EQ(cancels, 1);
  DestroyWindow(watchdog);
}

TEST_F(Dialogs, MessageBoxesGiveTheAnswerAndShowTheRequest) {
  responder_.OnMessageBox("Confirm Exit", IDNO).OnMessageBox("confirm exit", IDYES).OnMessageBox("WARNING", IDOK);
  ScopedModalResponder scope(&responder_);
  EXPECT_EQ(MessageBox(nullptr, "Exit Logging?", "Confirm Exit", MB_YESNO | MB_ICONQUESTION), IDNO);
  EXPECT_EQ(MessageBox(nullptr, "Exit Logging?", "Confirm Exit", MB_YESNO | MB_ICONQUESTION), IDYES);
  EXPECT_EQ(MessageBox(nullptr, "The file already exisits. Please enter another name", "WARNING",
                       MB_OK | MB_ICONEXCLAMATION),
            IDOK);
  ASSERT_EQ(responder_.Requests().size(), 3u);
  const ModalRequest& first = responder_.Requests()[0];
  EXPECT_EQ(first.kind, ModalKind::kMessageBox);
  EXPECT_EQ(first.text, "Exit Logging?");
  EXPECT_EQ(first.flags, MB_YESNO | MB_ICONQUESTION);
}

TEST_F(Dialogs, AMessageBoxCannotGiveAnAnswerItHasNoButtonFor) {
  CapturedFailures failures;
  responder_.OnMessageBox("Serial Port", IDYES).OnMessageBox("CALIBRATION", IDOK);
  ScopedModalResponder scope(&responder_);
  EXPECT_EQ(MessageBox(nullptr, "Same Port Assigned", "Serial Port", MB_OK), IDOK);
  EXPECT_EQ(MessageBox(nullptr, "Place  TQ68-MK2  on  Monopod", "CALIBRATION", MB_YESNO | MB_ICONINFORMATION),
            IDNO);
  EXPECT_EQ(failures.reports.size(), 2u);
}

TEST_F(Dialogs, AnUnexpectedMessageBoxIsReportedAndDismissed) {
  CapturedFailures failures;
  responder_.OnMessageBox("WARNING", IDOK);
  ScopedModalResponder scope(&responder_);
  EXPECT_EQ(MessageBox(nullptr, "Exit Logging?", "Confirm Exit", MB_YESNO | MB_ICONQUESTION), IDNO);
  ASSERT_EQ(failures.reports.size(), 1u);
  EXPECT_NE(failures.reports[0].find("Confirm Exit"), std::string::npos);
  EXPECT_EQ(responder_.PendingSteps(), 1u);  // the expected box is still to come
}

// Destroys the box it is asked about, as the connection watchdog destroys
// an open "Confirm Exit" question.
class DestroyingResponder : public ModalResponder {
 public:
  std::optional<ModalAnswer> Answer(const ModalRequest& request) override {
    EXPECT_TRUE(DestroyWindow(FindWindow("", request.name)));
    return ModalAnswer{IDYES, {}, {}};
  }
};

TEST_F(Dialogs, ADestroyedMessageBoxAnswersNothing) {
  DestroyingResponder destroyer;
  ScopedModalResponder scope(&destroyer);
  EXPECT_EQ(MessageBox(nullptr, "Exit Logging?", "Confirm Exit", MB_YESNO | MB_ICONQUESTION), 0);
}

TEST_F(Dialogs, BeepsAreToldToTheResponder) {
  ScopedModalResponder scope(&responder_);
  MessageBeep(48);
  MessageBeep(16);
  EXPECT_EQ(responder_.Beeps(), (std::vector<uint32_t>{48, 16}));
}

TEST_F(Dialogs, PopUpMenusReturnTheChosenCommandAndPostItWhenAsked) {
  WindowHandle owner = test::CreateRecordingWindow();
  responder_.OnMenu(1110, 1111).OnMenu(1100, 1101).OnMenu(1100, 0);
  ScopedModalResponder scope(&responder_);
  EXPECT_EQ(TrackPopupMenu(1110, TPM_RIGHTALIGN | TPM_RETURNCMD, 220, 10, owner), 1111);
  ASSERT_EQ(responder_.Requests().size(), 1u);
  EXPECT_EQ(responder_.Requests()[0].menu_items.size(), 7u);  // five commands, two separators
  EXPECT_EQ(responder_.Requests()[0].menu_items[0].text, "&Scale");
  ProcessPendingMessages();
  EXPECT_TRUE(test::RecordedOf(WM_COMMAND).empty());
  EXPECT_EQ(TrackPopupMenu(1100, TPM_LEFTALIGN, 20, 10, owner), 1101);
  ProcessPendingMessages();
  ASSERT_EQ(test::RecordedOf(WM_COMMAND).size(), 1u);
  EXPECT_EQ(LOWORD(test::RecordedOf(WM_COMMAND)[0].wparam), 1101);
  EXPECT_EQ(TrackPopupMenu(1100, TPM_LEFTALIGN, 20, 10, owner), 0);  // dismissed
  EXPECT_EQ(TrackPopupMenu(4242, TPM_LEFTALIGN, 20, 10, owner), 0);  // no such menu: nothing asked
  EXPECT_EQ(responder_.Requests().size(), 3u);
}

TEST_F(Dialogs, AMenuCannotChooseACommandItDoesNotHave) {
  CapturedFailures failures;
  responder_.OnMenu(1100, 1111);  // the calibration commands are in 1110 only
  ScopedModalResponder scope(&responder_);
  EXPECT_EQ(TrackPopupMenu(1100, TPM_RETURNCMD, 0, 0, nullptr), 0);
  EXPECT_EQ(failures.reports.size(), 1u);
}

TEST_F(Dialogs, FileDialogsAddTheDefaultExtensionOrReportCancel) {
  FileDialogOptions options{"Create Data File", "TQ68MK2 Files (*.N68)", "*.N68", "N68", "/tmp/Storage/DATA68MK2",
                      "1207A"};
  responder_.OnSaveFile("/tmp/Storage/DATA68MK2/1207A").OnSaveFile("/tmp/x/LINE.N68").OnOpenFile(std::nullopt);
  ScopedModalResponder scope(&responder_);
  EXPECT_EQ(GetSaveFileName(nullptr, options), "/tmp/Storage/DATA68MK2/1207A.N68");
  EXPECT_EQ(GetSaveFileName(nullptr, options), "/tmp/x/LINE.N68");
  EXPECT_EQ(GetOpenFileName(nullptr, options), std::nullopt);
  ASSERT_EQ(responder_.Requests().size(), 3u);
  EXPECT_EQ(responder_.Requests()[0].kind, ModalKind::kSaveFile);
  EXPECT_EQ(responder_.Requests()[0].name, "Create Data File");
  EXPECT_EQ(responder_.Requests()[0].file.initial_name, "1207A");
  EXPECT_EQ(responder_.Requests()[2].kind, ModalKind::kOpenFile);
}

TEST_F(Dialogs, TheColourPickerGivesAColourOrNothing) {
  responder_.OnColor(Rgb(0, 128, 255)).OnColor(std::nullopt);
  ScopedModalResponder scope(&responder_);
  EXPECT_TRUE(IsColorPickerAvailable());
  EXPECT_EQ(ChooseColor(nullptr, Rgb(255, 0, 0)), Rgb(0, 128, 255));
  EXPECT_EQ(ChooseColor(nullptr, Rgb(255, 0, 0)), std::nullopt);
  EXPECT_EQ(responder_.Requests()[0].color, Rgb(255, 0, 0));
}

// The operator types over a dialog's proposals with real key presses: the
// edit that gets the first focus, and each one Tab reaches, is selected whole.
TEST_F(Dialogs, KeysTypedIntoAFreshDialogReplaceItsProposals) {
  std::string first, second;
  responder_.OnDialog("TESTENTRY", [&](WindowHandle d) {
    ASSERT_EQ(GetFocus(), GetDlgItem(d, 674));
    ASSERT_TRUE(PressKey('7'));
    ASSERT_TRUE(PressKey(VK_TAB));
    ASSERT_TRUE(PressKey('5'));
    first = GetDlgItemText(d, 674);
    second = GetDlgItemText(d, 675);
  });
  ScopedModalResponder scope(&responder_);
  OpenDialogTemplate("TESTENTRY", nullptr, [](WindowHandle d, uint32_t message, uintptr_t wparam, intptr_t) -> intptr_t {
    if (message == WM_INITDIALOG) {
      SetDlgItemText(d, 674, "1.000");
      SetDlgItemText(d, 675, "50");
      return 1;
    }
    if (message == WM_COMMAND && (LOWORD(wparam) == IDOK || LOWORD(wparam) == IDCANCEL)) return EndDialog(d, 1);
    return 0;
  });
  EXPECT_EQ(first, "7");
  EXPECT_EQ(second, "5");
}

// Presses keys on the open box, then gives `fallback`, which counts only if
// the keys did not answer it. `held`: each key went down before the box
// opened; only its repeats and its release reach the box.
class KeyPressingResponder : public ModalResponder {
 public:
  KeyPressingResponder(std::vector<int> keys, intptr_t fallback, bool held = false)
      : keys_(std::move(keys)), fallback_(fallback), held_(held) {}
  std::optional<ModalAnswer> Answer(const ModalRequest&) override {
    for (int key : keys_) held_ ? HoldKey(key, 3, nullptr, true) : PressKey(key);
    return ModalAnswer{fallback_, {}, {}};
  }

 private:
  std::vector<int> keys_;
  intptr_t fallback_;
  bool held_;
};

TEST_F(Dialogs, YesNoBoxesAnswerTheirPlainUnderlinedLetters) {
  struct Case {
    std::vector<int> keys;
    intptr_t fallback;
    int answer;
    bool held = false;  // down since before the box: it answers nothing
  };
  const Case cases[] = {
      {{'N'}, IDYES, IDNO},
      {{'Y'}, IDNO, IDYES},
      {{'Q', 'N'}, IDYES, IDNO},  // a letter no button underlines does nothing
      {{'Q'}, IDYES, IDYES},
      {{'Y'}, IDNO, IDNO, true},
      {{'N'}, IDYES, IDYES, true},
      {{VK_RETURN}, IDNO, IDNO, true},
  };
  for (const Case& c : cases) {
    KeyPressingResponder keys(c.keys, c.fallback, c.held);
    ScopedModalResponder scope(&keys);
    EXPECT_EQ(MessageBox(nullptr, "Exit Logging?", "Confirm Exit", MB_YESNO | MB_ICONQUESTION), c.answer)
        << static_cast<char>(c.keys.back());
  }
}

// A key still held from the press that opened a dialog answers nothing
// there; held typing and a held arrow in a list go on repeating.
TEST_F(Dialogs, HeldKeysRepeatTypingAndSelectionButAnswerNothing) {
  responder_.OnDialog("TESTALLKINDS", [](WindowHandle d) {
    SetDlgItemText(d, 721, "");
    SetFocus(GetDlgItem(d, 721));
    ASSERT_TRUE(HoldKey('7', 3));
    EXPECT_EQ(GetDlgItemText(d, 721), "7777");
    ASSERT_TRUE(HoldKey(VK_RETURN, 3, nullptr, true));
    SetListSelection(GetDlgItem(d, 722), 0);
    SetFocus(GetDlgItem(d, 722));
    ASSERT_TRUE(HoldKey(VK_DOWN, 1));
    EXPECT_EQ(GetListSelection(GetDlgItem(d, 722)), 2);
  }, IDCANCEL);
  ScopedModalResponder scope(&responder_);
  EXPECT_EQ(OpenDialogTemplate("TESTALLKINDS", nullptr, AllKindsProcedure(&state_)), 2);
}

// The connection watchdog closes whatever is open by its title, the save
// dialog included; a name given after that is no choice.
class ClosingFileResponder : public ModalResponder {
 public:
  std::optional<ModalAnswer> Answer(const ModalRequest& request) override {
    open = FindWindow("", request.name);
    shown = IsWindowVisible(open);
    SendMessage(open, WM_CLOSE);
    shown_after_close = IsWindowVisible(open);
    return ModalAnswer{0, "/tmp/Storage/DATA68MK2/LATE.N68", {}};
  }
  WindowHandle open = nullptr;
  bool shown = false;
  bool shown_after_close = true;
};

TEST_F(Dialogs, AFileDialogIsFoundByItsTitleAndClosedLikeTheOthers) {
  FileDialogOptions options{"Create Data File", "TQ68MK2 Files (*.N68)", "*.N68", "N68", "/tmp", ""};
  ClosingFileResponder closer;
  ScopedModalResponder scope(&closer);
  EXPECT_EQ(GetSaveFileName(nullptr, options), std::nullopt);
  EXPECT_NE(closer.open, nullptr);
  EXPECT_TRUE(closer.shown);
  EXPECT_FALSE(closer.shown_after_close);
  EXPECT_EQ(FindWindow("", "Create Data File"), nullptr);
}

// The picker is a window of the screen's size at most, and works from the
// keyboard: arrows move the choice, Enter takes it.
class PickerKeys : public ModalResponder {
 public:
  std::optional<ModalAnswer> Answer(const ModalRequest& request) override {
    rect = GetWindowRect(request.window);
    for (int key : {VK_RIGHT, VK_DOWN, VK_RETURN}) PressKey(key);
    return ModalAnswer{0, {}, Rgb(1, 2, 3)};  // too late: Enter chose already
  }
  Rect rect;
};

TEST_F(Dialogs, TheColourPickerFitsTheScreenAndAnswersTheKeyboard) {
  PickerKeys keys;
  ScopedModalResponder scope(&keys);
  // Red, then its dark neighbour, then the one under that: dark green.
  EXPECT_EQ(ChooseColor(nullptr, Rgb(255, 0, 0)), Rgb(0, 128, 0));
  EXPECT_GT(keys.rect.Width(), 0);
  EXPECT_GE(keys.rect.left, 0);
  EXPECT_GE(keys.rect.top, 0);
  EXPECT_LE(keys.rect.right, GetSystemMetrics(SM_CXSCREEN));
  EXPECT_LE(keys.rect.bottom, GetSystemMetrics(SM_CYSCREEN));
}

// After the picker, the dialog that opened it has the keyboard again.
TEST_F(Dialogs, TheKeyboardReturnsToTheDialogAfterTheColourPicker) {
  responder_.OnDialog("TESTALLKINDS", [this](WindowHandle d) {
    responder_.OnColor(Rgb(0, 0, 255));
    SetFocus(GetDlgItem(d, 758));
    EXPECT_EQ(ChooseColor(d, Rgb(255, 0, 0)), Rgb(0, 0, 255));
    EXPECT_EQ(GetFocus(), GetDlgItem(d, 758));
    PressKey(VK_RETURN);
  }, 0);
  ScopedModalResponder scope(&responder_);
  EXPECT_EQ(OpenDialogTemplate("TESTALLKINDS", nullptr, AllKindsProcedure(&state_)), 1);
}

}  // namespace
}  // namespace tq
