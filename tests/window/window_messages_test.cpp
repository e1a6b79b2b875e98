// Table-driven windows: creation, posted and sent messages, timers, painting
// order, keys and taps, quitting.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "platform/drawing.h"
#include "platform/modal_responder.h"
#include "platform/window.h"
#include "tests/window/recording_window.h"

namespace tq {
namespace {

using test::CreateRecordingWindow;
using test::RecordedMessages;
using test::RecordedOf;
using test::WM_TEST_READING;

class WindowMessages : public ::testing::Test {
 protected:
  void TearDown() override { test::DestroyTestWindows(); }
};

TEST_F(WindowMessages, CreationSendsCreateThenSizeWithTheClientArea) {
  WindowHandle w = CreateRecordingWindow(240, 320);
  ASSERT_NE(w, nullptr);
  ASSERT_GE(RecordedMessages().size(), 2u);
  EXPECT_EQ(RecordedMessages()[0].message, WM_CREATE);
  EXPECT_EQ(RecordedMessages()[1].message, WM_SIZE);
  EXPECT_EQ(GET_X_LPARAM(RecordedMessages()[1].lparam), 240);
  EXPECT_EQ(GET_Y_LPARAM(RecordedMessages()[1].lparam), 320);
  EXPECT_EQ(GetClientRect(w), (Rect{0, 0, 240, 320}));
}

intptr_t Ignore(WindowHandle, uint32_t, uintptr_t, intptr_t) { return 0; }

TEST_F(WindowMessages, DefaultSizeIsTheHandheldScreen) {
  EXPECT_FALSE(RegisterClass(WindowClass{"EmptyWnd", std::span<const MessageEntry>()}));  // needs a table
  constexpr MessageEntry kNothing[] = {{WM_USER + 99, Ignore}};
  ASSERT_TRUE(RegisterClass(WindowClass{"PlainWnd", kNothing, Rgb(192, 192, 192)}));
  WindowHandle w = CreateWindow("PlainWnd", "Plain", 0, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT,
                                CW_USEDEFAULT, nullptr, 0);
  ASSERT_NE(w, nullptr);
  EXPECT_EQ(GetClientRect(w), (Rect{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)}));
  EXPECT_EQ(GetSystemMetrics(SM_CXSCREEN), 240);
  EXPECT_EQ(GetSystemMetrics(SM_CYSCREEN), 320);
  EXPECT_FALSE(RegisterClass(WindowClass{"plainwnd", kNothing}));  // names ignore case
  DestroyWindow(w);
}

intptr_t RefuseCreation(WindowHandle, uint32_t, uintptr_t, intptr_t) { return -1; }

TEST_F(WindowMessages, CreateReturningMinusOneFailsTheCreation) {
  constexpr MessageEntry kRefuse[] = {{WM_CREATE, RefuseCreation}};
  RegisterClass(WindowClass{"RefusingWnd", kRefuse});
  EXPECT_EQ(CreateWindow("RefusingWnd", "", WS_VISIBLE, 0, 0, 10, 10, nullptr, 0), nullptr);
  EXPECT_EQ(CreateWindow("NoSuchWnd", "", WS_VISIBLE, 0, 0, 10, 10, nullptr, 0), nullptr);
}

TEST_F(WindowMessages, PostedMessagesFromAnotherThreadArriveInOrderOnTheWindowThread) {
  WindowHandle w = CreateRecordingWindow();
  constexpr int kCount = 2000;
  std::thread reader([w] {
    for (int i = 0; i < kCount; ++i) ASSERT_TRUE(PostMessage(w, WM_TEST_READING, static_cast<uintptr_t>(i)));
  });
  EXPECT_TRUE(RunMessagesUntil([] { return RecordedOf(WM_TEST_READING).size() == kCount; }, 10000));
  reader.join();
  std::vector<test::Recorded> got = RecordedOf(WM_TEST_READING);
  ASSERT_EQ(got.size(), static_cast<size_t>(kCount));
  for (int i = 0; i < kCount; ++i) {
    EXPECT_EQ(got[i].wparam, static_cast<uintptr_t>(i));
    EXPECT_EQ(got[i].thread, std::this_thread::get_id());
  }
}

TEST_F(WindowMessages, ADestroyedWindowRefusesPostsAndLosesWhatWasWaiting) {
  WindowHandle w = CreateRecordingWindow();
  ASSERT_TRUE(PostMessage(w, WM_TEST_READING, 1));
  ASSERT_TRUE(DestroyWindow(w));
  EXPECT_FALSE(PostMessage(w, WM_TEST_READING, 2));
  ProcessPendingMessages();
  EXPECT_TRUE(RecordedOf(WM_TEST_READING).empty());
  EXPECT_FALSE(IsWindow(w));
  EXPECT_EQ(GetClientRect(w), Rect{});
}

TEST_F(WindowMessages, SendMessageReturnsTheHandlersResultFromAnyThread) {
  WindowHandle w = CreateRecordingWindow();
  EXPECT_EQ(SendMessage(w, WM_USER + 11, 21), 42);
  std::atomic<intptr_t> from_thread{0};
  std::atomic<bool> done{false};
  std::thread other([&] {
    from_thread = SendMessage(w, WM_USER + 11, 50);
    done = true;
  });
  EXPECT_TRUE(RunMessagesUntil([&] { return done.load(); }, 5000));
  other.join();
  EXPECT_EQ(from_thread.load(), 100);
  EXPECT_EQ(RecordedOf(WM_USER + 11).back().thread, std::this_thread::get_id());
}

TEST_F(WindowMessages, TimersFireWithTheirIdsUntilKilled) {
  WindowHandle w = CreateRecordingWindow();
  EXPECT_EQ(SetTimer(w, 1, 20), 1u);
  EXPECT_EQ(SetTimer(w, 2, 30), 2u);
  auto count = [](uintptr_t id) {
    int n = 0;
    for (const auto& r : RecordedOf(WM_TIMER)) n += r.wparam == id ? 1 : 0;
    return n;
  };
  EXPECT_TRUE(RunMessagesUntil([&] { return count(1) >= 3 && count(2) >= 2; }, 5000));
  EXPECT_TRUE(KillTimer(w, 1));
  EXPECT_FALSE(KillTimer(w, 1));
  int ones = count(1);
  RunMessagesUntil([&] { return count(2) >= 5; }, 5000);
  EXPECT_EQ(count(1), ones);
  EXPECT_EQ(SetTimer(w, 0, 10), 0u);  // id 0 is not a timer
}

TEST_F(WindowMessages, WaitingForAConditionEndsAtItsTimeout) {
  WindowHandle w = CreateRecordingWindow();
  SetTimer(w, 1, 10);
  EXPECT_FALSE(RunMessagesUntil([] { return false; }, 60));
  EXPECT_FALSE(RecordedOf(WM_TIMER).empty());  // the wait kept the window alive
}

TEST_F(WindowMessages, CloseByDefaultDestroysTheWindowAndItsChildren) {
  WindowHandle parent = CreateRecordingWindow();
  WindowHandle child = CreateWindow("RecorderWnd", "", WS_CHILD | WS_VISIBLE, 10, 10, 50, 50, parent, 5);
  ASSERT_NE(child, nullptr);
  EXPECT_EQ(GetDlgItem(parent, 5), child);
  EXPECT_EQ(GetParent(child), parent);
  RecordedMessages().clear();
  SendMessage(parent, WM_CLOSE);
  EXPECT_FALSE(IsWindow(parent));
  EXPECT_FALSE(IsWindow(child));
  std::vector<test::Recorded> destroyed = RecordedOf(WM_DESTROY);
  ASSERT_EQ(destroyed.size(), 2u);
  EXPECT_EQ(destroyed[0].window, parent);  // the parent hears it first
  EXPECT_EQ(destroyed[1].window, child);
}

intptr_t QuitOnTimer(WindowHandle window, uint32_t, uintptr_t, intptr_t) {
  KillTimer(window, 1);
  PostQuitMessage(3);
  return 0;
}

TEST_F(WindowMessages, PostQuitMessageEndsTheLoopWithItsCode) {
  constexpr MessageEntry kQuitter[] = {{WM_TIMER, QuitOnTimer}};
  RegisterClass(WindowClass{"QuitterWnd", kQuitter});
  WindowHandle w = CreateWindow("QuitterWnd", "", 0, 0, 0, 10, 10, nullptr, 0);
  SetTimer(w, 1, 10);
  EXPECT_EQ(RunMessageLoop(), 3);
  DestroyWindow(w);
}

TEST_F(WindowMessages, FindWindowMatchesTopLevelTitleAndClassOnly) {
  WindowHandle w = CreateRecordingWindow();
  SetWindowText(w, "Logging");
  WindowHandle child = CreateWindow("RecorderWnd", "Logging", WS_CHILD, 0, 0, 5, 5, w, 3);
  EXPECT_EQ(FindWindow("", "Logging"), w);
  EXPECT_EQ(FindWindow("recorderwnd", ""), w);
  EXPECT_EQ(FindWindow("RecorderWnd", "Other"), nullptr);
  EXPECT_EQ(GetWindowText(w), "Logging");
  DestroyWindow(w);
  EXPECT_EQ(FindWindow("", "Logging"), nullptr);
  EXPECT_FALSE(IsWindow(child));
}

TEST_F(WindowMessages, InvalidationsAreMergedIntoOnePaintOnceTheQueueIsEmpty) {
  WindowHandle w = CreateRecordingWindow();
  ProcessPendingMessages();
  RecordedMessages().clear();
  Rect a{0, 0, 10, 10};
  Rect b{50, 50, 60, 60};
  InvalidateRect(w, &a, false);
  InvalidateRect(w, &b, false);
  PostMessage(w, WM_TEST_READING, 7);
  ProcessPendingMessages();
  ASSERT_EQ(RecordedMessages().size(), 2u);
  EXPECT_EQ(RecordedMessages()[0].message, WM_TEST_READING);  // posted work comes before painting
  EXPECT_EQ(RecordedMessages()[1].message, WM_PAINT);
}

TEST_F(WindowMessages, UpdateWindowPaintsAtOnceAndOnlyWhenSomethingIsInvalid) {
  WindowHandle w = CreateRecordingWindow();
  ProcessPendingMessages();
  RecordedMessages().clear();
  UpdateWindow(w);
  EXPECT_TRUE(RecordedOf(WM_PAINT).empty());
  InvalidateRect(w, nullptr, true);
  UpdateWindow(w);
  EXPECT_EQ(RecordedOf(WM_PAINT).size(), 1u);
  ProcessPendingMessages();
  EXPECT_EQ(RecordedOf(WM_PAINT).size(), 1u);
}

TEST_F(WindowMessages, HiddenWindowsPaintWhenShown) {
  WindowHandle w = CreateRecordingWindow();
  ShowWindow(w, SW_HIDE);
  ProcessPendingMessages();
  RecordedMessages().clear();
  InvalidateRect(w, nullptr, true);
  ProcessPendingMessages();
  EXPECT_TRUE(RecordedOf(WM_PAINT).empty());
  EXPECT_FALSE(ShowWindow(w, SW_SHOW));
  EXPECT_TRUE(IsWindowVisible(w));
  ProcessPendingMessages();
  EXPECT_EQ(RecordedOf(WM_PAINT).size(), 1u);
}

TEST_F(WindowMessages, AnotherThreadMayInvalidateAndUpdate) {
  WindowHandle w = CreateRecordingWindow();
  ProcessPendingMessages();
  RecordedMessages().clear();
  std::thread monitor([w] {
    InvalidateRect(w, nullptr, true);
    UpdateWindow(w);
  });
  monitor.join();
  EXPECT_TRUE(RunMessagesUntil([] { return !RecordedOf(WM_PAINT).empty(); }, 2000));
}

struct KeyCase {
  int virtual_key;
  bool shift;
  uintptr_t key_code;
  int character;  // 0: none
};

class WindowKeys : public WindowMessages, public ::testing::WithParamInterface<KeyCase> {};

TEST_P(WindowKeys, ArriveAsKeyDownCharacterAndKeyUp) {
  WindowHandle w = CreateRecordingWindow();
  SetFocus(w);
  ProcessPendingMessages();
  RecordedMessages().clear();
  const KeyCase& k = GetParam();
  ASSERT_TRUE(PressKey(k.virtual_key, w, k.shift));
  ProcessPendingMessages();
  std::vector<test::Recorded> down = RecordedOf(WM_KEYDOWN);
  std::vector<test::Recorded> chars = RecordedOf(WM_CHAR);
  std::vector<test::Recorded> up = RecordedOf(WM_KEYUP);
  ASSERT_EQ(down.size(), 1u);
  EXPECT_EQ(down[0].wparam, k.key_code);
  ASSERT_EQ(up.size(), 1u);
  EXPECT_EQ(up[0].wparam, k.key_code);
  if (k.character == 0) {
    EXPECT_TRUE(chars.empty());
  } else {
    ASSERT_EQ(chars.size(), 1u);
    EXPECT_EQ(chars[0].wparam, static_cast<uintptr_t>(k.character));
  }
}

INSTANTIATE_TEST_SUITE_P(
    Codes, WindowKeys,
    ::testing::Values(KeyCase{VK_RETURN, false, 13, 13}, KeyCase{VK_TAB, false, 9, 9},
                      KeyCase{VK_ESCAPE, false, 27, 27}, KeyCase{VK_SPACE, false, 32, 32},
                      KeyCase{VK_LEFT, false, 37, 0}, KeyCase{VK_UP, false, 38, 0}, KeyCase{VK_RIGHT, false, 39, 0},
                      KeyCase{VK_DOWN, false, 40, 0}, KeyCase{VK_HOME, false, 36, 0}, KeyCase{VK_END, false, 35, 0},
                      KeyCase{VK_PRIOR, false, 33, 0}, KeyCase{VK_NEXT, false, 34, 0},
                      KeyCase{'L', false, 76, 108}, KeyCase{'L', true, 76, 76}, KeyCase{'7', false, '7', '7'},
                      // Punctuation has the codes of its keys, shifted or not.
                      KeyCase{VK_OEM_PERIOD, false, 0xBE, '.'}, KeyCase{VK_OEM_PERIOD, true, 0xBE, '>'},
                      KeyCase{VK_OEM_MINUS, false, 0xBD, '-'}, KeyCase{VK_OEM_COMMA, false, 0xBC, ','},
                      KeyCase{VK_OEM_2, false, 0xBF, '/'}, KeyCase{VK_OEM_1, false, 0xBA, ';'},
                      KeyCase{VK_OEM_7, false, 0xDE, '\''}, KeyCase{VK_OEM_4, false, 0xDB, '['},
                      KeyCase{VK_OEM_PLUS, false, 0xBB, '='}, KeyCase{VK_OEM_PLUS, true, 0xBB, '+'},
                      KeyCase{VK_OEM_5, false, 0xDC, '\\'}, KeyCase{VK_OEM_3, false, 0xC0, '`'},
                      // The keypad: operators of their own, digits as the digit keys.
                      KeyCase{VK_DECIMAL, false, 0x6E, '.'}, KeyCase{VK_ADD, false, 0x6B, '+'},
                      KeyCase{VK_NUMPAD0 + 7, false, '7', '7'},
                      // A key with no code of its own still arrives.
                      KeyCase{VK_NONAME, false, 0xFC, 0}));

TEST_F(WindowMessages, KeysGoToTheWindowThatWasGivenTheFocus) {
  WindowHandle parent = CreateRecordingWindow();
  WindowHandle child = CreateWindow("RecorderWnd", "", WS_CHILD | WS_VISIBLE, 0, 0, 50, 50, parent, 4);
  SetFocus(parent);
  EXPECT_EQ(SetFocus(child), parent);
  EXPECT_EQ(GetFocus(), child);
  ProcessPendingMessages();
  RecordedMessages().clear();
  ASSERT_TRUE(PressKey(VK_DOWN));
  ProcessPendingMessages();
  ASSERT_EQ(RecordedOf(WM_KEYDOWN).size(), 1u);
  EXPECT_EQ(RecordedOf(WM_KEYDOWN)[0].window, child);
}

TEST_F(WindowMessages, TapsArriveInClientCoordinatesInsideTheBorder) {
  WindowHandle parent = CreateRecordingWindow();
  WindowHandle child = CreateWindow("RecorderWnd", "", WS_CHILD | WS_VISIBLE | WS_BORDER, 20, 30, 100, 80, parent, 9);
  EXPECT_EQ(GetClientRect(child), (Rect{0, 0, 98, 78}));
  RecordedMessages().clear();
  ASSERT_TRUE(TapWindow(child, 12, 34));
  ProcessPendingMessages();
  std::vector<test::Recorded> down = RecordedOf(WM_LBUTTONDOWN);
  ASSERT_EQ(down.size(), 1u);
  EXPECT_EQ(down[0].window, child);
  EXPECT_EQ(GET_X_LPARAM(down[0].lparam), 12);
  EXPECT_EQ(GET_Y_LPARAM(down[0].lparam), 34);
  EXPECT_EQ(RecordedOf(WM_LBUTTONUP).size(), 1u);
}

TEST_F(WindowMessages, MovingAWindowResizesItsImageAndSaysSo) {
  WindowHandle parent = CreateRecordingWindow();
  WindowHandle child = CreateWindow("RecorderWnd", "", WS_CHILD | WS_VISIBLE, 0, 0, 50, 50, parent, 4);
  RecordedMessages().clear();
  ASSERT_TRUE(MoveWindow(child, 5, 6, 70, 40));
  EXPECT_EQ(GetWindowRect(child), (Rect{5, 6, 75, 46}));
  EXPECT_EQ(GetClientRect(child), (Rect{0, 0, 70, 40}));
  std::vector<test::Recorded> sized = RecordedOf(WM_SIZE);
  ASSERT_EQ(sized.size(), 1u);
  EXPECT_EQ(GET_X_LPARAM(sized[0].lparam), 70);
  ASSERT_TRUE(SetWindowPos(child, 0, 0, 30, 30, SWP_NOSIZE | SWP_NOZORDER));
  EXPECT_EQ(GetWindowRect(child), (Rect{0, 0, 70, 40}));
}

}  // namespace
}  // namespace tq
