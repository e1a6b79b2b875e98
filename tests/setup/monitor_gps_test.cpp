// The Monitor GPS window over a pseudo-terminal that plays the receiver with
// the simulator's sentences: lines appear, Pause stops them, Go brings them
// back, a command reaches the receiver with CR LF, "NO DATA" after silence,
// the focus ring, Exit while paused, and the list's bound.
#include <gtest/gtest.h>

#include <string>

#include "gps/gps_monitor_reader.h"
#include "acquisition/serial_ports.h"
#include "app/monitor_gps.h"
#include "shell/shell_state.h"
#include "platform/clock.h"
#include "platform/controls.h"
#include "platform/modal_responder.h"
#include "platform/window.h"
#include "settings/settings.h"
#include "tests/app/main_window_fixture.h"
#include "tests/support/pty_pair.h"
#include "tools/sim/nmea.h"

namespace tq {
namespace {

class MonitorGpsTest : public testing::MainWindowTest {
 protected:
  // The main window with GPS input on COM2, then "Monitor GPS Output".
  void OpenMonitor() {
    LinkPort(2, receiver_.slave_path());
    ASSERT_NE(OpenMainWindow(), nullptr);
    Settings.GpsInput = 1;
    Settings.GpsPort = 1;
    responder_.OnDialog("GetGPSPortSetup", [](WindowHandle d) { ASSERT_TRUE(ClickButton(GetDlgItem(d, 729))); });
    ClickMainButton(3);
    monitor_ = Shell.MonitorGpsWindow;
    ASSERT_TRUE(IsWindowVisible(monitor_));
    ASSERT_TRUE(Ports.gps.port);
    list_ = GetDlgItem(monitor_, 222);
  }
  WindowHandle Button(int index) const { return GetDlgItem(monitor_, 440 + index); }
  int Lines() const { return GetListCount(list_); }
  bool WaitForLines(int count, int timeout_ms = 5000) {
    return RunMessagesUntil([&] { return Lines() >= count; }, timeout_ms);
  }
  // A finger's tap gives the list the keyboard; the tap a test sends is no
  // input from the display, so the focus is moved as the display would.
  void TapList() {
    ASSERT_TRUE(TapWindow(list_, 10, 5));
    SetFocus(list_);
    Settle();
    ASSERT_EQ(GetFocus(), list_);
  }
  void Press(char key) {
    ASSERT_TRUE(PressKey(key, monitor_));
    Settle();
  }

  testing::PtyPair receiver_;
  WindowHandle monitor_ = nullptr;
  WindowHandle list_ = nullptr;
};

const std::string kGsa = sim::FormatGsa(sim::GpsStatus{});

std::string WithoutLineEnd(std::string line) { return line.substr(0, line.find('\r')); }

TEST_F(MonitorGpsTest, LinesPauseGoAndTheListShowsTheNewest) {
  OpenMonitor();
  EXPECT_FALSE(IsWindowVisible(Button(0)));
  EXPECT_TRUE(GetButtonState(Button(1)));  // the ring starts on "&Pause"
  receiver_.Send(kGsa);
  // A receiver's text is 8-bit: E9 is shown as the "é" it stands for.
  receiver_.Send(sim::FinishSentence("GPTXT,01,01,02,CAF\xE9"));
  ASSERT_TRUE(WaitForLines(2));
  EXPECT_EQ(GetListString(list_, 0), WithoutLineEnd(kGsa));
  EXPECT_EQ(WithoutLineEnd(GetListString(list_, 1)).substr(0, 22), "$GPTXT,01,01,02,CAF\u00e9*");

  Press('P');
  EXPECT_TRUE(IsWindowVisible(Button(0)));
  EXPECT_FALSE(IsWindowVisible(Button(1)));
  EXPECT_TRUE(GetButtonState(Button(0)));  // the ring went with the button
  receiver_.Send(kGsa);
  EXPECT_FALSE(WaitForLines(3, 600));

  Press('G');
  EXPECT_FALSE(IsWindowVisible(Button(0)));
  receiver_.Send(kGsa);
  ASSERT_TRUE(WaitForLines(3));
  EXPECT_EQ(GetListString(list_, 2), WithoutLineEnd(kGsa));
  EXPECT_EQ(Lines(), 3);  // what came while paused was thrown away
}

TEST_F(MonitorGpsTest, SentCommandArrivesWithCrLfAndLeavesTheMonitorRunning) {
  OpenMonitor();
  Press('P');
  EXPECT_EQ(GetWindowText(GetDlgItem(monitor_, 452)), "$PASHS,NME,SAT,A,ON");
  const std::string a99(99, 'A');
  struct Case {
    std::string typed, sent, kept;  // kept: what the edit shows afterwards
  };
  const Case cases[] = {
      {"$PASHQ,PRT", "$PASHQ,PRT\r\n", "$PASHQ,PRT"},
      // 8-bit characters, and the cut at 100 counts characters, not bytes
      {a99 + "\u00e9Z", a99 + "\xe9\r\n", a99 + "\u00e9"},
  };
  std::string previous = "$PASHS,NME,SAT,A,ON";
  uint8_t buffer[128] = {};
  for (const Case& c : cases) {
    responder_.OnDialog("GETGPSMESSAGE", [&](WindowHandle d) {
      EXPECT_EQ(GetDlgItemText(d, 854), previous);
      ASSERT_TRUE(TypeText(GetDlgItem(d, 854), c.typed));
    });
    Press('S');
    size_t got = receiver_.Receive(buffer, 2000);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(buffer), got), c.sent) << c.typed;
    EXPECT_EQ(GetWindowText(GetDlgItem(monitor_, 452)), c.kept);
    previous = c.kept;
  }
  EXPECT_TRUE(IsWindowVisible(Button(1)));
  receiver_.Send(kGsa);
  EXPECT_TRUE(WaitForLines(1));

  responder_.OnDialog("GETGPSMESSAGE", nullptr, IDCANCEL);
  Press('S');
  EXPECT_EQ(receiver_.Receive(buffer, 300), 0u);
}

TEST_F(MonitorGpsTest, AMessageWithACharacterTheReceiverCannotTakeIsRefusedAndNotSent) {
  OpenMonitor();
  responder_.OnDialog("GETGPSMESSAGE", [&](WindowHandle d) {
    // The low byte of U+010D is CR: it would have ended the command early.
    ASSERT_TRUE(TypeText(GetDlgItem(d, 854), "$PASHQ,\u010d"));
    responder_.OnMessageBox("WARNING", IDOK);
    ASSERT_TRUE(PressTitleButton(d, IDOK));
    ASSERT_TRUE(IsWindowVisible(d));
    EXPECT_EQ(responder_.Requests().back().text, "GPS Message cannot hold the character \"\u010d\" (U+010D).");
  }, IDCANCEL);
  Press('S');
  uint8_t buffer[64] = {};
  EXPECT_EQ(receiver_.Receive(buffer, 300), 0u);
  EXPECT_EQ(GetWindowText(GetDlgItem(monitor_, 452)), "$PASHS,NME,SAT,A,ON");
}

TEST_F(MonitorGpsTest, ARepaintTakesTheKeysBackFromTheListButNotFromADialog) {
  OpenMonitor();
  responder_.OnDialog("GETGPSMESSAGE", [&](WindowHandle d) {
    receiver_.Send(kGsa);
    ASSERT_TRUE(WaitForLines(1));
    EXPECT_EQ(GetParent(GetFocus()), d);
  }, IDCANCEL);
  Press('S');
  TapList();
  receiver_.Send(kGsa);  // a line repaints the window
  ASSERT_TRUE(WaitForLines(2));
  ASSERT_TRUE(PressKey('P'));
  Settle();
  EXPECT_TRUE(IsWindowVisible(Button(0))) << "paused";
  TapList();  // paused, no line comes: a repaint of its own
  InvalidateRect(monitor_, nullptr, true);
  UpdateWindow(monitor_);
  ASSERT_TRUE(PressKey('X'));
  Settle();
  EXPECT_FALSE(IsWindowVisible(monitor_));
}

TEST_F(MonitorGpsTest, SilenceGivesNoDataAgainAndAgain) {
  FakeClock clock;
  InstallClock(&clock);
  OpenMonitor();
  clock.Advance(kGpsNoDataMs);
  EXPECT_FALSE(WaitForLines(1, 400));  // not more than 7 s yet
  clock.Advance(1);
  ASSERT_TRUE(WaitForLines(1));
  EXPECT_EQ(GetListString(list_, 0), "NO DATA");
  clock.Advance(kGpsNoDataMs + 1);
  ASSERT_TRUE(WaitForLines(2));
  EXPECT_EQ(GetListString(list_, 1), "NO DATA");
}

TEST_F(MonitorGpsTest, TabSkipsTheHiddenButtonAndExitWhilePausedEndsTheReader) {
  OpenMonitor();
  Press('\t');
  Press('\t');
  EXPECT_TRUE(GetButtonState(Button(3)));
  Press('\t');
  EXPECT_TRUE(GetButtonState(Button(1)));  // past the hidden "&Go"
  EXPECT_FALSE(GetButtonState(Button(0)));
  Press('P');
  Press('X');
  EXPECT_FALSE(IsWindowVisible(monitor_));
  EXPECT_FALSE(Ports.gps.port);
  EXPECT_FALSE(Ports.gps.reader.joinable());
  // Running again for the next showing.
  EXPECT_TRUE(IsWindowEnabled(Button(1)));
  EXPECT_FALSE(IsWindowEnabled(Button(0)));
  EXPECT_EQ(GetFocus(), main_window());
}

TEST_F(MonitorGpsTest, TheListKeepsTheLatestThousandLines) {
  OpenMonitor();
  std::string burst;
  for (int i = 0; i < kMonitorListMax + 5; ++i) burst += sim::FinishSentence("GPTXT,01,01,02," + std::to_string(i));
  receiver_.Send(burst);
  ASSERT_TRUE(RunMessagesUntil(
      [&] { return Lines() == kMonitorListMax && GetListString(list_, kMonitorListMax - 1).find(",1004*") != std::string::npos; },
      20000));
  EXPECT_NE(GetListString(list_, 0).find(",5*"), std::string::npos);
}

TEST(MonitorRingTest, KeysAndRing) {
  EXPECT_EQ(MonitorCommandOfChar('g'), MonitorCommand::kGo);
  EXPECT_EQ(MonitorCommandOfChar('X'), MonitorCommand::kExit);
  EXPECT_EQ(MonitorCommandOfChar('\r'), MonitorCommand::kRunRing);
  EXPECT_EQ(MonitorCommandOfChar('q'), MonitorCommand::kNone);
  EXPECT_EQ(NextMonitorRing(3, true), 1);
  EXPECT_EQ(NextMonitorRing(0, false), 2);
  EXPECT_EQ(NextMonitorRing(3, false), 0);
  EXPECT_EQ(MonitorRingAfter(0, true), 1);
  EXPECT_EQ(MonitorRingAfter(1, false), 0);
  EXPECT_EQ(MonitorRingAfter(2, false), 2);
}

}  // namespace
}  // namespace tq
