// The main window's creation, its children and buttons, keys and the
// default-button ring, the setup buttons' templates, the settings load, Exit
// and the up-time stop.
#include "app/main_window.h"

#include <gtest/gtest.h>

#include <initializer_list>
#include <string>
#include <vector>

#include "acquisition/serial_ports.h"
#include "app/child_windows.h"
#include "app/dialog_choice.h"
#include "app/entry_point.h"
#include "app/main_commands.h"
#include "shell/shell_state.h"
#include "platform/clock.h"
#include "platform/controls.h"
#include "platform/dialogs.h"
#include "platform/files.h"
#include "platform/modal_responder.h"
#include "platform/shell.h"
#include "platform/window.h"
#include "settings/settings.h"
#include "platform/serial.h"
#include "tests/app/main_window_fixture.h"
#include "tests/support/pty_pair.h"
#include "tests/support/temp_dir.h"

namespace tq {
namespace {

using MainWindowCreation = testing::MainWindowTest;
using MainWindowKeys = testing::MainWindowTest;
using SetupButtons = testing::MainWindowTest;
using SettingsAtStart = testing::MainWindowTest;
using ProgramEnd = testing::MainWindowTest;
using EntryPoint = testing::MainWindowTest;

int DefaultButtonIndex() {
  int found = -1;
  for (int i = 0; i < 7; ++i) {
    if (IsButtonDefault(Shell.Buttons[static_cast<size_t>(i)])) {
      if (found != -1) return -2;  // two default buttons
      found = i;
    }
  }
  return found;
}

// --- Creation ---------------------------------------------------------------

TEST_F(MainWindowCreation, ButtonsCarryTheirIdsAndTextsAndSurveySetupIsDefault) {
  WindowHandle main = OpenMainWindow();
  ASSERT_NE(main, nullptr);
  EXPECT_EQ(GetWindowText(main), "TQ62");
  EXPECT_EQ(FindWindow("TQ81", ""), main);
  const char* texts[] = {"Monitor/&Log", "&Survey Setup", "L&ogger Setup", "Set &GPS Port",
                         "&Display Options", "&View Files", "E&xit"};
  for (int i = 0; i < 7; ++i) {
    WindowHandle button = GetDlgItem(main, 420 + i);
    ASSERT_NE(button, nullptr) << i;
    EXPECT_EQ(button, Shell.Buttons[static_cast<size_t>(i)]);
    EXPECT_EQ(GetWindowText(button), texts[i]);
    EXPECT_TRUE(IsWindowVisible(button));
  }
  EXPECT_EQ(Shell.DefaultButton, 1);
  EXPECT_EQ(DefaultButtonIndex(), 1);
}

TEST_F(MainWindowCreation, ThreeHiddenFullScreenChildren) {
  WindowHandle main = OpenMainWindow();
  ASSERT_NE(main, nullptr);
  struct Child {
    WindowHandle window;
    int id;
    const char* title;
  };
  for (const Child& child : {Child{Shell.LoggingWindow, 4, "Logging"},
                             Child{Shell.MonitorGpsWindow, 3, "Monitor GPS"},
                             Child{Shell.ViewFilesWindow, 8, "View Files"}}) {
    SCOPED_TRACE(child.title);
    ASSERT_NE(child.window, nullptr);
    EXPECT_EQ(GetDlgItem(main, child.id), child.window);
    EXPECT_EQ(GetParent(child.window), main);
    EXPECT_EQ(GetWindowText(child.window), child.title);
    EXPECT_FALSE(IsWindowVisible(child.window));
    EXPECT_EQ(GetWindowRect(child.window), (Rect{0, 0, 240, 320}));
  }
}

// What the main window of one orientation lays out: the screen, the live
// profile's area below `text_rows` lines of text, the first and last button.
struct ScreenCase {
  int32_t portrait;
  int screen_width, screen_height;
  int plot_bottom, plot_right, text_rows;
  Rect first_button, last_button;
};

void ExpectScreenLayout(const ScreenCase& c) {
  EXPECT_EQ(Shell.Portrait, c.portrait);
  EXPECT_EQ(Shell.ScreenWidth, c.screen_width);
  EXPECT_EQ(Shell.ScreenHeight, c.screen_height);
  EXPECT_EQ(Shell.PlotBottom, c.plot_bottom);
  EXPECT_EQ(Shell.PlotLeft, 4);
  EXPECT_EQ(Shell.PlotRight, c.plot_right);
  ASSERT_GT(Shell.TextHeight, 0);
  EXPECT_EQ(Shell.PlotTop, c.text_rows * Shell.TextHeight + 2);
  EXPECT_EQ(Settings.PlotHeight, c.plot_bottom - 2 * c.text_rows * Shell.TextHeight - 4);
  EXPECT_EQ(GetWindowRect(Shell.LoggingWindow), (Rect{0, 0, c.screen_width, c.screen_height}));
  EXPECT_EQ(GetWindowRect(Shell.Buttons[0]), c.first_button);
  EXPECT_EQ(GetWindowRect(Shell.Buttons[6]), c.last_button);
}

TEST_F(MainWindowCreation, PortraitScreenProfileAreaAndButtonColumn) {
  ASSERT_NE(OpenMainWindow(240, 320), nullptr);
  ExpectScreenLayout({1, 240, 320, 298, 232, 3, {100, 82, 220, 108}, {100, 262, 220, 288}});
}

TEST_F(MainWindowCreation, ASquareClientAreaIsPortraitAndTheWindowTakesThePortraitScreen) {
  WindowHandle main = OpenMainWindow(240, 240);
  ASSERT_NE(main, nullptr);
  EXPECT_EQ(Shell.Portrait, 1);
  EXPECT_EQ(GetClientRect(main), (Rect{0, 0, 240, 320}));
  EXPECT_EQ(GetWindowRect(Shell.LoggingWindow), (Rect{0, 0, 240, 320}));
}

TEST_F(MainWindowCreation, AChildWindowThatCannotBeCreatedTakesTheMainWindowWithIt) {
  for (const char* name : {"MonitorGPSWnd", "LoggingWnd", "CurveWnd", "ViewFilesWnd"}) {
    ASSERT_TRUE(UnregisterClass(name)) << name;
  }
  EXPECT_EQ(CreateMainWindow(240, 320), nullptr);
  EXPECT_EQ(FindWindow("TQ81", ""), nullptr);
  EXPECT_EQ(Shell.KeepAlive, 0);  // KeepAwake never started
  ASSERT_TRUE(RegisterChildWindowClasses());
}

TEST_F(MainWindowCreation, LandscapeLayoutFontsAndRecordLength) {
  ASSERT_NE(OpenMainWindow(320, 240), nullptr);
  ExpectScreenLayout({0, 320, 240, 218, 312, 2, {180, 18, 300, 44}, {180, 198, 300, 224}});
  EXPECT_EQ(Shell.NormalFont, (Font{14, FW_NORMAL}));
  EXPECT_EQ(Shell.BoldFont, (Font{14, FW_BOLD}));
  EXPECT_EQ(Shell.RecordLength, 26);
}

TEST_F(MainWindowCreation, ResizingToLandscapeRefitsTheFullScreenChildren) {
  WindowHandle main = OpenMainWindow();
  ASSERT_NE(main, nullptr);
  MoveWindow(main, 0, 0, 320, 240);
  EXPECT_EQ(Shell.Portrait, 0);
  EXPECT_EQ(GetWindowRect(Shell.LoggingWindow), (Rect{0, 0, 320, 240}));
  EXPECT_EQ(GetWindowRect(Shell.MonitorGpsWindow), (Rect{0, 0, 320, 240}));
}

TEST_F(MainWindowCreation, FirstPaintHidesTheTaskBarAndTakesTheFocus) {
  ShowTaskBar(true);
  WindowHandle main = OpenMainWindow();
  ASSERT_NE(main, nullptr);
  EXPECT_FALSE(IsTaskBarShown());
  EXPECT_FALSE(IsSipButtonShown());
  EXPECT_EQ(GetFocus(), main);
  EXPECT_EQ(Shell.KeepAlive, 1);
}

// --- Keys -------------------------------------------------------------------

TEST_F(MainWindowKeys, TabFromExitWrapsToMonitorLog) {
  WindowHandle main = OpenMainWindow();
  ASSERT_NE(main, nullptr);
  for (int i = 0; i < 5; ++i) ASSERT_TRUE(PressKey(VK_DOWN, main));
  Settle();
  EXPECT_EQ(Shell.DefaultButton, 6);
  EXPECT_EQ(DefaultButtonIndex(), 6);
  ASSERT_TRUE(PressKey(VK_TAB, main));
  Settle();
  EXPECT_EQ(Shell.DefaultButton, 0);
  EXPECT_EQ(DefaultButtonIndex(), 0);
}

TEST_F(MainWindowKeys, LeftFromMonitorLogWrapsToExit) {
  WindowHandle main = OpenMainWindow();
  ASSERT_NE(main, nullptr);
  ASSERT_TRUE(PressKey(VK_UP, main));
  Settle();
  EXPECT_EQ(DefaultButtonIndex(), 0);
  ASSERT_TRUE(PressKey(VK_LEFT, main));
  Settle();
  EXPECT_EQ(Shell.DefaultButton, 6);
  EXPECT_EQ(DefaultButtonIndex(), 6);
}

TEST_F(MainWindowKeys, EnterAndLettersOpenTheirDialogs) {
  WindowHandle main = OpenMainWindow();
  ASSERT_NE(main, nullptr);
  responder_.OnDialog("GetSurveySetup68B", nullptr, IDCANCEL)
      .OnDialog("GetOptions68mk2", nullptr, IDCANCEL)
      .OnDialog("GetLoggerSetup68MK2", nullptr, IDCANCEL);
  ASSERT_TRUE(PressKey(VK_RETURN, main));
  Settle();
  ASSERT_TRUE(PressKey('D', main));
  Settle();
  SendMessage(main, WM_KEYDOWN, 111);  // 'o'
  EXPECT_EQ(responder_.PendingSteps(), 0u);
}

TEST_F(MainWindowKeys, KeysAreIgnoredWhileLoggingIsActive) {
  WindowHandle main = OpenMainWindow();
  ASSERT_NE(main, nullptr);
  Shell.LoggingActive = 1;
  // No dialog may open: the responder has no answer for any.
  for (int key : std::initializer_list<int>{'S', 'G', 'X', VK_RETURN, VK_TAB, VK_LEFT}) {
    ASSERT_TRUE(PressKey(key, main));
  }
  SendMessage(main, WM_KEYDOWN, 115);
  Settle();
  EXPECT_TRUE(responder_.Requests().empty());
  EXPECT_EQ(DefaultButtonIndex(), 1);
  EXPECT_TRUE(IsWindow(main));
  Shell.LoggingActive = 0;
}

// --- Setup buttons ----------------------------------------------------------

TEST_F(SetupButtons, EachOpensItsTemplateModallyAndRestoresTheShell) {
  ASSERT_NE(OpenMainWindow(), nullptr);
  bool sip_shown_in_dialog = false;
  auto note_sip = [&](WindowHandle) { sip_shown_in_dialog = IsSipButtonShown(); };
  responder_.OnDialog("GetSurveySetup68B", note_sip, IDOK)
      .OnDialog("GetLoggerSetup68MK2", nullptr, IDCANCEL)
      .OnDialog("GetGPSPortSetup", nullptr, IDOK)
      .OnDialog("GetOptions68mk2", nullptr, IDOK);
  ShowTaskBar(true);
  ClickMainButton(1);
  EXPECT_TRUE(sip_shown_in_dialog);
  EXPECT_FALSE(IsSipButtonShown());
  EXPECT_FALSE(IsTaskBarShown());
  ClickMainButton(2);
  ClickMainButton(3);
  ClickMainButton(4);
  EXPECT_EQ(responder_.PendingSteps(), 0u);
  EXPECT_FALSE(IsWindowVisible(Shell.MonitorGpsWindow));
  EXPECT_EQ(GetFocus(), main_window());
}

TEST_F(SetupButtons, LandscapeSurveySetupOfATq62) {
  Build().InstrumentKind = kKindTq62;
  ASSERT_NE(OpenMainWindow(320, 240), nullptr);
  responder_.OnDialog("GetSurveySetup62H", nullptr, IDCANCEL);
  ClickMainButton(1);
}

TEST_F(SetupButtons, Tq93HasNoSurveySetupDialog) {
  Build().InstrumentKind = kKindTq93;
  ASSERT_NE(OpenMainWindow(), nullptr);
  ClickMainButton(1);
  EXPECT_TRUE(responder_.Requests().empty());
}

TEST_F(SetupButtons, MonitorGpsOutputShowsTheMonitorWindowWithoutAPortWhenGpsIsOff) {
  ASSERT_NE(OpenMainWindow(), nullptr);
  ASSERT_EQ(Settings.GpsInput, 0);
  responder_.OnDialog("GetGPSPortSetup", [](WindowHandle dialog) { EndDialog(dialog, 1); });
  ClickMainButton(3);
  EXPECT_TRUE(IsWindowVisible(Shell.MonitorGpsWindow));
}

TEST_F(SetupButtons, MonitorGpsOutputOpensTheGpsPortWhenGpsIsOn) {
  testing::PtyPair gps;
  LinkPort(2, gps.slave_path());
  WindowHandle main = OpenMainWindow();
  ASSERT_NE(main, nullptr);
  Settings.GpsInput = 1;
  Settings.GpsPort = 1;  // COM2
  responder_.OnDialog("GetGPSPortSetup", [](WindowHandle dialog) { EndDialog(dialog, 1); });
  ClickMainButton(3);
  EXPECT_TRUE(Ports.gps.port);
  EXPECT_TRUE(IsWindowVisible(Shell.MonitorGpsWindow));
  // The program's end lets go of it.
  SendMessage(main, WM_CLOSE);
  EXPECT_FALSE(Ports.gps.port);
  std::string error;
  EXPECT_NE(SerialPort::Open(gps.slave_path(), &error), nullptr) << error;
}

TEST_F(SetupButtons, MonitorGpsOutputReportsAGpsPortThatDoesNotOpen) {
  testing::WriteFileBytes(root_.path() / "not-a-port", "");
  LinkPort(2, root_.path() / "not-a-port");
  ASSERT_NE(OpenMainWindow(), nullptr);
  Settings.GpsInput = 1;
  Settings.GpsPort = 1;
  responder_.OnDialog("GetGPSPortSetup", [](WindowHandle dialog) { EndDialog(dialog, 1); })
      .OnMessageBox("Serial Port", IDOK);
  ClickMainButton(3);
  ASSERT_EQ(responder_.Requests().size(), 2u);
  EXPECT_EQ(responder_.Requests()[1].text.substr(0, 21), "Cannot open GPS port\n");
  EXPECT_FALSE(Ports.gps.port);
  EXPECT_TRUE(IsWindowVisible(Shell.MonitorGpsWindow));
}

TEST_F(SetupButtons, ViewFilesShowsTheViewerWithTheFocus) {
  ASSERT_NE(OpenMainWindow(), nullptr);
  ClickMainButton(5);
  EXPECT_TRUE(IsWindowVisible(Shell.ViewFilesWindow));
  EXPECT_EQ(GetFocus(), Shell.ViewFilesWindow);
}

TEST(TemplateResourcesTest, EveryChosenTemplateIsAmongTheResources) {
  for (int32_t kind = 0; kind < kKindCount; ++kind) {
    for (int32_t root : {0, 1}) {
      for (int32_t ice : {0, 1}) {
        BuildConfig build{kind, root, ice};
        SCOPED_TRACE(::testing::Message() << "kind " << kind << " root " << root << " ice " << ice);
        std::vector<std::string> names = {LoggerSetupTemplate(build), GpsPortSetupTemplate(),
                                          DisplayOptionsTemplate(build)};
        for (int32_t portrait : {0, 1}) {
          std::string survey = SurveySetupTemplate(build, portrait);
          if (kind != kKindTq93) names.push_back(survey);
        }
        for (const std::string& name : names) {
          EXPECT_NE(FindDialogTemplate(LoadedResources(), name), nullptr) << name;
        }
      }
    }
  }
}

// --- Settings ---------------------------------------------------------------

SettingsStore ReadSettingsFile() {
  SettingsStore read;
  read.PauseKey = -1;
  EXPECT_TRUE(LoadSettings(read, Build()));
  return read;
}

TEST_F(SettingsAtStart, FirstStartInPortraitWritesTheMk2FileWithEnterAsPauseKey) {
  auto file = MapSystemPath(SettingsFileSystemPath(Build()));
  ASSERT_FALSE(std::filesystem::exists(file));
  ASSERT_NE(OpenMainWindow(), nullptr);
  ASSERT_TRUE(std::filesystem::exists(file)) << file;
  EXPECT_EQ(file.filename(), "TQ68MK2.INI");
  EXPECT_EQ(Settings.PauseKey, 2);
  EXPECT_EQ(ReadSettingsFile().PauseKey, 2);
}

TEST_F(SettingsAtStart, LandscapeKeepsThePauseKeyDefault) {
  ASSERT_NE(OpenMainWindow(320, 240), nullptr);
  EXPECT_EQ(Settings.PauseKey, 0);
  EXPECT_EQ(ReadSettingsFile().PauseKey, 0);
}

TEST_F(SettingsAtStart, AnExistingFileIsReadNotRewritten) {
  SettingsStore stored;
  stored.GpsInput = 1;
  stored.GpsPort = 4;
  stored.PauseKey = 3;
  ASSERT_TRUE(SaveSettings(stored, Build()));
  ASSERT_NE(OpenMainWindow(), nullptr);
  EXPECT_EQ(Settings.GpsInput, 1);
  EXPECT_EQ(Settings.GpsPort, 4);
  EXPECT_EQ(Settings.PauseKey, 3);
}

// --- Entry point ------------------------------------------------------------

int RunLoggerWithoutArguments() {
  char name[] = "tqlog";
  char* argv[] = {name, nullptr};
  int argc = 1;
  return RunLogger(argc, argv);
}

// The fixture has registered every class, as a running program would have.
TEST_F(EntryPoint, AMainClassThatCannotBeRegisteredExitsWithOne) {
  EXPECT_EQ(RunLoggerWithoutArguments(), 1);
  EXPECT_EQ(FindWindow("TQ81", ""), nullptr);
}

TEST_F(EntryPoint, AChildClassThatCannotBeRegisteredExitsWithTwo) {
  ASSERT_TRUE(UnregisterClass("TQ81"));
  EXPECT_EQ(RunLoggerWithoutArguments(), 2);
  EXPECT_EQ(FindWindow("TQ81", ""), nullptr);
}

// --- Exit and the up-time stop ----------------------------------------------

TEST_F(ProgramEnd, ExitClosesTheWindowAndShowsTheTaskBarAgain) {
  WindowHandle main = OpenMainWindow();
  ASSERT_NE(main, nullptr);
  ClickMainButton(6);
  EXPECT_FALSE(IsWindow(main));
  EXPECT_EQ(Shell.KeepAlive, 0);
  EXPECT_TRUE(IsTaskBarShown());
  EXPECT_TRUE(IsSipButtonShown());
  EXPECT_EQ(RunMessageLoop(), 0);
}

TEST_F(ProgramEnd, MonitorLogAfterTwentyDaysStopsTheProgram) {
  FakeClock clock;
  InstallClock(&clock);
  WindowHandle main = OpenMainWindow();
  ASSERT_NE(main, nullptr);
  clock.SetTick(kUptimeLimitMs + 1);
  responder_.OnMessageBox("PROGRAM STOP", IDOK);
  ClickMainButton(0);
  ASSERT_EQ(responder_.Requests().size(), 1u);
  EXPECT_EQ(responder_.Requests()[0].text, ProgramStopText());
  EXPECT_EQ(responder_.Requests()[0].flags & MB_ICONMASK, MB_ICONEXCLAMATION);
  EXPECT_FALSE(IsWindow(main));
  EXPECT_EQ(Shell.LoggingActive, 0);
}

TEST_F(ProgramEnd, ExactlyTwentyDaysStillLogs) {
  FakeClock clock;
  InstallClock(&clock);
  ASSERT_NE(OpenMainWindow(), nullptr);
  clock.SetTick(kUptimeLimitMs);
  // COM1 is no serial device, so the run ends at the port; the up-time did
  // not stop it.
  testing::WriteFileBytes(root_.path() / "not-a-port", "");
  LinkPort(1, root_.path() / "not-a-port");
  responder_.OnMessageBox("Serial Port", IDOK);
  ClickMainButton(0);
  EXPECT_TRUE(IsWindow(main_window()));
}

TEST_F(ProgramEnd, StartedAfterTwentyDaysTheFirstPaintStopsTheProgram) {
  FakeClock clock;
  clock.SetTick(kUptimeLimitMs + 5000);
  InstallClock(&clock);
  responder_.OnMessageBox("PROGRAM STOP", IDOK);
  WindowHandle main = OpenMainWindow();
  EXPECT_EQ(Shell.UptimeExceeded, 1);
  EXPECT_FALSE(IsWindow(main));
}

}  // namespace
}  // namespace tq
