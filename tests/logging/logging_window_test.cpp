// The logging window over a simulated TQ68-MK2 on a pseudo-terminal: the
// operator's keys from Monitor to Exit, the records they leave in the data
// file, the dialogs, the connection watchdog and writes that fail.
#include "logging/logging_window.h"

#include <gtest/gtest.h>

#include <array>
#include <chrono>
#include <filesystem>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "acquisition/acquisition_state.h"
#include "acquisition/serial_ports.h"
#include "app/logging_run.h"
#include "shell/shell_state.h"
#include "gps/gps_fix.h"
#include "logging/live_panel.h"
#include "logging/run_state.h"
#include "platform/clock.h"
#include "platform/controls.h"
#include "platform/drawing.h"
#include "platform/files.h"
#include "platform/modal_responder.h"
#include "platform/window.h"
#include "settings/settings.h"
#include "survey/data_file_creation.h"
#include "tests/instrument/frame_bytes.h"
#include "tests/logging/logging_window_fixture.h"
#include "tests/support/pty_pair.h"
#include "tests/support/temp_dir.h"
#include "tests/support/virtual_display.h"

namespace tq {
namespace {

using testing::Bytes;

constexpr size_t kLong = 26;
const ColorRef kPanelGrey = Rgb(192, 192, 192);

class LoggingWindowTest : public testing::LoggingWindowFixture {
 protected:
  // "Monitor/&Log" with the simulated instrument on COM1; the main window
  // of the first run starts the next ones too.
  void StartRun() {
    Acquisition.ClearReadings();
    if (main_window() == nullptr) {
      LinkPort(1, instrument_.slave_path());
      ASSERT_NE(OpenMainWindow(), nullptr);
    }
    ClickMainButton(0);
    ASSERT_EQ(Shell.LoggingActive, 1);
    ASSERT_TRUE(IsWindowVisible(window()));
    KillTimer(window(), kWatchdogTimerId);
  }

  std::filesystem::path DataPath(const std::string& name) const {
    return MapSystemPath(DataFoldersFor(Build()).dialog_folder) / name;
  }


  // Create File, accepting `name` in the save dialog.
  void CreateFile(const std::string& name) {
    responder_.OnSaveFile(DataPath(name).string());
    Key('C');
    ASSERT_EQ(Logging.state, LoggingState::StandBy);
    path_ = DataPath(name);
  }

  void PostFrame(const Bytes& frame, uint32_t tick, uint32_t message = WM_BINARY_READING) {
    ASSERT_TRUE(Acquisition.PostReading(window(), message, frame, tick));
    Settle();
  }

  // The timer check, `times` times in a row. The real timer is stopped after
  // each, so that only these checks count misses on the fake clock.
  void Watchdog(int times) {
    for (int i = 0; i < times; ++i) {
      SendMessage(window(), WM_TIMER, kWatchdogTimerId);
      KillTimer(window(), kWatchdogTimerId);
    }
    Settle();
  }

  // A frame reaches the reader: what it does to the watchdog's fields.
  void FrameArrives() {
    Acquisition.MissedTicks = 0;
    Acquisition.LastFrameTick = clock_.Tick();
  }

  std::vector<std::string> Records() const {
    std::string bytes = testing::ReadFileBytes(path_);
    EXPECT_EQ(bytes.size() % Shell.RecordLength, 0u) << "a torn record";
    std::vector<std::string> records;
    for (size_t at = 0; at + Shell.RecordLength <= bytes.size(); at += Shell.RecordLength) {
      records.push_back(bytes.substr(at, Shell.RecordLength));
    }
    return records;
  }

  // The run notes ("X") and comments ("C") of the file, text only.
  std::vector<std::string> Notes(char letter = 'X') const {
    std::vector<std::string> notes;
    std::vector<std::string> records = Records();
    for (size_t i = 2; i < records.size(); ++i) {
      if (records[i][0] == letter) notes.push_back(records[i].substr(1, 11));
    }
    return notes;
  }

  // True when a field shows anything but the panel's grey.
  bool FieldHasInk(const Rect& r) {
    DcHandle dc = GetDC(window());
    bool ink = false;
    for (int y = r.top; y < r.bottom && !ink; ++y) {
      for (int x = r.left; x < r.right && !ink; ++x) ink = GetPixel(dc, x, y) != kPanelGrey;
    }
    ReleaseDC(window(), dc);
    return ink;
  }


  bool Beeped(uint32_t type) const {
    for (uint32_t b : responder_.Beeps()) {
      if (b == type) return true;
    }
    return false;
  }

};

Bytes VerticalFrame(uint16_t a) { return testing::BinaryFrame('T', 6, {a, 600, 700, 800, 900, 1000}); }

// The reading record of the long layout: the frame, a space, the tick in ten
// places, LF.
std::string ReadingRecord(const Bytes& frame, uint32_t tick) {
  char ticks[16];
  std::snprintf(ticks, sizeof ticks, "%10u", tick);
  return std::string(frame.begin(), frame.end()) + " " + ticks + "\n";
}

// --- A run from Monitor to Exit -------------------------------------------------

TEST_F(LoggingWindowTest, AWholeRunFromMonitorToExitWritesEveryRecordInOrder) {
  StartRun();
  EXPECT_EQ(Logging.state, LoggingState::Monitor);
  const char* monitor[] = {"&Cr. File", "C&alib.", "D&el Cal.", "E&xit"};
  for (size_t i = 0; i < 4; ++i) {
    EXPECT_EQ(GetWindowText(Logging.StandbyButtons[i]), monitor[i]);
    EXPECT_TRUE(IsWindowVisible(Logging.StandbyButtons[i]));
    EXPECT_EQ(IsButtonDefault(Logging.StandbyButtons[i]), i == 0);
    EXPECT_EQ(GetWindowRect(Logging.StandbyButtons[i]), (Rect{2 + 59 * static_cast<int>(i), 298,
                                                               2 + 59 * static_cast<int>(i) + 57, 318}));
  }
  for (WindowHandle b : Logging.RunButtons) EXPECT_FALSE(IsWindowVisible(b));

  CreateFile("RUN1.N68");
  for (WindowHandle b : Logging.StandbyButtons) EXPECT_FALSE(IsWindowVisible(b));
  for (size_t i = 0; i < 6; ++i) {
    EXPECT_TRUE(IsWindowVisible(Logging.RunButtons[i]));
    EXPECT_EQ(IsButtonDefault(Logging.RunButtons[i]), i == 0);
  }
  EXPECT_EQ(Logging.NavCount, 6);

  Key('G');
  ASSERT_EQ(Logging.state, LoggingState::Logging);
  for (WindowHandle b : Logging.RunButtons) EXPECT_FALSE(IsWindowVisible(b));
  // The portrait TQ68-MK2 pauses on Enter.
  WindowHandle prompt = Logging.PauseButtons[2];
  EXPECT_TRUE(IsWindowVisible(prompt));
  EXPECT_EQ(GetWindowText(prompt), "TAP ME or press ENTER key to Pause");

  const Bytes frames[] = {VerticalFrame(100), VerticalFrame(200), VerticalFrame(300)};
  for (size_t i = 0; i < 3; ++i) PostFrame(frames[i], 7000 + 100 * static_cast<uint32_t>(i));
  Key('Q');  // not the pause key
  EXPECT_EQ(Logging.state, LoggingState::Logging);
  Key(VK_RETURN);
  ASSERT_EQ(Logging.state, LoggingState::StandBy);
  EXPECT_TRUE(IsWindowVisible(Logging.RunButtons[0]));
  EXPECT_FALSE(IsWindowVisible(prompt));

  responder_.OnMessageBox("Confirm Exit", IDYES);
  Key('X');
  EXPECT_FALSE(IsWindowVisible(window()));
  EXPECT_EQ(Shell.LoggingActive, 0);
  EXPECT_FALSE(DataFileHandle.IsOpen());
  EXPECT_EQ(Logging.state, LoggingState::Monitor);

  std::vector<std::string> r = Records();
  ASSERT_EQ(r.size(), 18u);
  EXPECT_EQ(r[1].substr(0, 6), "H RUN1");
  std::string letters;
  for (size_t i = 2; i < 13; ++i) letters += r[i][0];
  EXPECT_EQ(letters, "LBAZOOOOOO*");
  EXPECT_EQ(r[13].substr(0, 12), "X$STARTED   ");
  for (size_t i = 0; i < 3; ++i) EXPECT_EQ(r[14 + i], ReadingRecord(frames[i], 7000 + 100 * static_cast<uint32_t>(i)));
  EXPECT_EQ(r[17].substr(0, 12), "X$PAUSED    ");
}

// The second file since start-up: its line start says station 0, and the
// panel counts from there, not from where the first file ended.
TEST_F(LoggingWindowTest, ANewFilesStationsStartWhereItsLineStartSays) {
  Settings.SurveyMode = kSurveyModeAuto;
  Settings.FramesPerInterval = 1;
  Settings.ReadingsPerStation = 1;
  Settings.StartStation = 0.0;
  Settings.StationIncrement = 1.0f;
  StartRun();
  CreateFile("FIRST.N68");
  Key('G');
  for (uint32_t i = 0; i < 3; ++i) PostFrame(VerticalFrame(100), 7000 + 100 * i);
  ASSERT_EQ(Settings.CurrentStation, 2.0);
  Key(VK_RETURN);
  responder_.OnMessageBox("Confirm Exit", IDYES);
  Key('X');
  ASSERT_EQ(Shell.LoggingActive, 0);

  ClickMainButton(0);
  ASSERT_EQ(Shell.LoggingActive, 1);
  KillTimer(window(), kWatchdogTimerId);
  CreateFile("SECOND.N68");
  EXPECT_EQ(Settings.CurrentStation, 0.0);
  clock_.SetTick(9000);
  Key('G');
  PostFrame(VerticalFrame(100), 9100);
  PostFrame(VerticalFrame(100), 9200);
  EXPECT_EQ(Settings.CurrentStation, 1.0);
}

TEST_F(LoggingWindowTest, ReadingsInMonitorAndStandByAreShownButNeverWritten) {
  StartRun();
  PostFrame(VerticalFrame(100), 6000);
  EXPECT_TRUE(FieldHasInk(PaintedPanelLayout().conductivity.rect));
  CreateFile("SHOWN.N68");
  size_t before = Records().size();
  PostFrame(VerticalFrame(200), 6100);
  EXPECT_EQ(Records().size(), before);

  // A frame that arrived in Stand By but is handled after Go stays out of
  // the file: its tick would come before the "$STARTED" note's.
  clock_.SetTick(7000);
  Key('G');
  before = Records().size();
  PostFrame(VerticalFrame(300), 6990);
  EXPECT_EQ(Records().size(), before);
  PostFrame(VerticalFrame(400), 7010);
  ASSERT_EQ(Records().size(), before + 1);
  EXPECT_EQ(Records().back(), ReadingRecord(VerticalFrame(400), 7010));
}

TEST_F(LoggingWindowTest, ExitAnsweredNoKeepsTheStateTheFileAndTheRun) {
  StartRun();
  CreateFile("KEEP.N68");
  responder_.OnMessageBox("Confirm Exit", IDNO);
  Key('X');
  EXPECT_EQ(Logging.state, LoggingState::StandBy);
  EXPECT_TRUE(IsWindowVisible(window()));
  EXPECT_TRUE(DataFileHandle.IsOpen());
  EXPECT_EQ(Shell.LoggingActive, 1);
  clock_.Advance(301);
  Watchdog(1);
  EXPECT_EQ(Notes(), std::vector<std::string>{"$CONN BREAK"});
}

TEST_F(LoggingWindowTest, ExitFromMonitorAsksNothing) {
  StartRun();
  Key('X');
  EXPECT_FALSE(IsWindowVisible(window()));
  EXPECT_EQ(Shell.LoggingActive, 0);
}

// --- Create File ------------------------------------------------------------------

TEST_F(LoggingWindowTest, AnExistingNameIsRefusedAndAFreshNameProposed) {
  StartRun();
  testing::WriteFileBytes(DataPath("TAKEN.N68"), "");
  responder_.OnSaveFile(DataPath("TAKEN.N68").string())
      .OnMessageBox("WARNING", IDOK)
      .OnSaveFile(DataPath("FRESH.N68").string());
  Key('C');
  EXPECT_EQ(Logging.state, LoggingState::StandBy);
  EXPECT_EQ(testing::ReadFileBytes(DataPath("TAKEN.N68")), "");
  EXPECT_FALSE(testing::ReadFileBytes(DataPath("FRESH.N68")).empty());
  const std::vector<ModalRequest>& asked = responder_.Requests();
  ASSERT_EQ(asked.size(), 3u);
  EXPECT_EQ(asked[1].text, "The file already exisits. Please enter another name");
  // 6 December at 14 h, and no file of that hour yet.
  EXPECT_EQ(asked[0].file.initial_name, "120614A");
  EXPECT_EQ(asked[2].file.initial_name, "120614A");
  EXPECT_EQ(asked[0].file.title, "Create Data File");
  EXPECT_EQ(asked[0].file.filter_pattern, "*.N68");
  EXPECT_EQ(Logging.DataFileBaseName, "FRESH");
}

TEST_F(LoggingWindowTest, ACancelledSaveDialogStaysInMonitorWithNoFile) {
  StartRun();
  responder_.OnSaveFile(std::nullopt);
  Key('C');
  EXPECT_EQ(Logging.state, LoggingState::Monitor);
  EXPECT_FALSE(DataFileHandle.IsOpen());
  EXPECT_TRUE(IsWindowVisible(Logging.StandbyButtons[0]));
}

TEST_F(LoggingWindowTest, AFileThatCannotBeCommittedIsReportedAndNotKept) {
  StartRun();
  FileFaults faults;
  faults.fail_folder_sync = true;
  InjectFileFaults(&faults);
  responder_.OnSaveFile(DataPath("CUT.N68").string());
  Key('C');
  InjectFileFaults(nullptr);
  EXPECT_EQ(Logging.state, LoggingState::Monitor);
  EXPECT_FALSE(DataFileHandle.IsOpen());
  EXPECT_FALSE(PathExists(DataPath("CUT.N68")));
  EXPECT_TRUE(Beeped(MB_ICONEXCLAMATION));
  const Rect message = PaintedPanelLayout().message.rect;
  EXPECT_TRUE(FieldHasInk(Rect{message.left, message.top, message.left + 5, message.bottom}));
}

// --- New Line, New Station, Comment -----------------------------------------------

TEST_F(LoggingWindowTest, NewLineWritesALineStartAndNewStationItsStation) {
  StartRun();
  Settings.SurveyLine = "7";
  CreateFile("LINES.N68");
  Settings.CurrentStation = 40.0;  // as readings would have left it
  size_t before = Records().size();
  responder_.OnDialog("GETNEWLINE", [](WindowHandle d) {
    EXPECT_EQ(GetDlgItemText(d, 651), "7");
    EXPECT_EQ(GetDlgItemText(d, 653), "40.000");
    EXPECT_EQ(GetDlgItemText(d, 674), "8.00");
    TypeText(GetDlgItem(d, 674), "12");
  });
  Key('L');
  EXPECT_EQ(Settings.SurveyLine, "12");
  std::vector<std::string> r = Records();
  ASSERT_EQ(r.size(), before + 11);
  EXPECT_EQ(r[before].substr(0, 3), "L12");
  EXPECT_EQ(r[before + 10][0], '*');

  responder_.OnDialog("GETNEWSTATION", [](WindowHandle d) {
    EXPECT_EQ(GetDlgItemText(d, 864), "40.000");
    TypeText(GetDlgItem(d, 865), "50");
  });
  Key('N');
  EXPECT_EQ(Settings.CurrentStation, 50.0);
  EXPECT_EQ(Logging.group.AdvanceArmed, 0);
  r = Records();
  ASSERT_EQ(r.size(), before + 13);
  EXPECT_EQ(r[before + 11].substr(0, 12), "S      50.00");
  EXPECT_EQ(r[before + 12][0], '*');

  responder_.OnDialog("GETNEWLINE", [](WindowHandle) {}, IDCANCEL);
  Key('L');
  EXPECT_EQ(Records().size(), before + 13);
}

// Set in Monitor, the station waits for the file: it follows the line start
// as the file's station record, where every reader of the file finds it.
TEST_F(LoggingWindowTest, NewStationFromMonitorWritesNothingUntilTheFileStartsThere) {
  // "N" in Monitor is "New Station" on every kind but the TQ68-MK2.
  Build().InstrumentKind = kKindTq68b;
  StartRun();
  responder_.OnDialog("GETNEWSTATION", [](WindowHandle d) { TypeText(GetDlgItem(d, 865), "50"); });
  Key('N');
  EXPECT_EQ(Settings.CurrentStation, 50.0);
  EXPECT_FALSE(DataFileHandle.IsOpen());
  CreateFile("FROM50.P68");
  EXPECT_EQ(Settings.CurrentStation, 50.0);
  std::vector<std::string> r = Records();
  ASSERT_EQ(r.size(), 9u);  // headers, "L", "B", "A", "Z", "*", then the station
  EXPECT_EQ(r[3].substr(0, 12), "B       0.00");
  EXPECT_EQ(r[7].substr(0, 13), "S      50.00 ");
  EXPECT_EQ(r[8][0], '*');
}

TEST_F(LoggingWindowTest, CommentsKeepTheirFirstElevenCharacters) {
  StartRun();
  CreateFile("NOTES.N68");
  responder_.OnDialog("GETCOMMENT", [](WindowHandle d) { TypeText(GetDlgItem(d, 851), "Line end at fence"); })
      .OnDialog("GETCOMMENT", [](WindowHandle) {})
      .OnDialog("GETCOMMENT", [](WindowHandle d) { TypeText(GetDlgItem(d, 851), "dropped"); }, IDCANCEL);
  Key('C');
  Key('C');
  Key('C');
  EXPECT_EQ(Notes('C'), (std::vector<std::string>{"Line end at", std::string(11, ' ')}));
}

// --- Connection watchdog ----------------------------------------------------------

TEST_F(LoggingWindowTest, FiveMissesThenAFrameKeepTheRunAndSixMoreEndIt) {
  StartRun();
  CreateFile("WATCH.N68");
  clock_.Advance(300);
  Watchdog(1);
  EXPECT_TRUE(Notes().empty()) << "300 ms is not late yet";
  clock_.Advance(1);
  Watchdog(5);
  EXPECT_EQ(Notes().size(), 5u);
  EXPECT_TRUE(FieldHasInk(PaintedPanelLayout().message.rect));  // "Please Wait..."
  FrameArrives();
  Watchdog(1);
  EXPECT_EQ(Shell.LoggingActive, 1);
  EXPECT_EQ(Logging.state, LoggingState::StandBy);

  clock_.Advance(301);
  Watchdog(5);
  EXPECT_EQ(Shell.LoggingActive, 1);
  responder_.OnMessageBox("NO CONNECTION", IDOK);
  Watchdog(1);
  EXPECT_EQ(Shell.LoggingActive, 0);
  EXPECT_FALSE(IsWindowVisible(window()));
  EXPECT_FALSE(DataFileHandle.IsOpen());
  std::vector<std::string> expected(10, "$CONN BREAK");
  expected.push_back("$CONN END  ");
  EXPECT_EQ(Notes(), expected);
  EXPECT_EQ(responder_.Requests().back().text, "NO CONNECTION Press <ENTER> to STOP");
}

// Given up while logging in Auto mode, a run used to leave its frames per
// reading behind: the next run's Monitor showed every fourth frame and its
// calibration, which wants 30 readings in 2 s, failed.
TEST_F(LoggingWindowTest, ARunGivenUpWhileLoggingLeavesTheNextRunEveryFrame) {
  Settings.SurveyMode = kSurveyModeAuto;
  Settings.FramesPerInterval = 4;
  StartRun();
  CreateFile("AUTO.N68");
  Key('G');
  ASSERT_EQ(Acquisition.FramesPerReading.load(), 4);
  clock_.Advance(301);
  responder_.OnMessageBox("NO CONNECTION", IDOK);
  Watchdog(6);
  ASSERT_EQ(Shell.LoggingActive, 0);
  ClickMainButton(0);
  ASSERT_EQ(Shell.LoggingActive, 1);
  KillTimer(window(), kWatchdogTimerId);
  EXPECT_EQ(Acquisition.FramesPerReading.load(), 1);
  EXPECT_EQ(Acquisition.FrameCounter.load(), 0);
}

TEST_F(LoggingWindowTest, GivingUpClosesAnOpenDialogFirst) {
  StartRun();
  CreateFile("CLOSE.N68");
  clock_.Advance(301);
  Watchdog(5);
  // While "Enter Comment" is open the sixth check gives up and closes it.
  responder_.OnDialog(
      "GETCOMMENT",
      [this](WindowHandle comment) {
        responder_.OnMessageBox("NO CONNECTION", IDOK);
        SendMessage(window(), WM_TIMER, kWatchdogTimerId);
        EXPECT_FALSE(IsWindowVisible(comment));
      },
      IDOK);
  Key('C');
  EXPECT_EQ(Shell.LoggingActive, 0);
  EXPECT_EQ(Notes().back(), "$CONN END  ");
}

// While "NO CONNECTION" waits, the run is out of Logging: the GPS reader,
// which goes on until the run ends, must record nothing more.
class GpsRecordingAtGiveUp : public ModalResponder {
 public:
  std::optional<ModalAnswer> Answer(const ModalRequest& request) override {
    if (request.name == "NO CONNECTION") recording = GpsFix.Recording.load();
    ModalAnswer answer;
    answer.result = IDOK;
    return answer;
  }
  int32_t recording = -1;
};

TEST_F(LoggingWindowTest, GivingUpWhileLoggingStopsTheGpsRecordsBeforeTheBox) {
  StartRun();
  CreateFile("GPSEND.N68");
  Key('G');
  ASSERT_EQ(GpsFix.Recording.load(), 1);
  GpsRecordingAtGiveUp answers;
  ScopedModalResponder scoped(&answers);
  clock_.Advance(301);
  Watchdog(6);
  EXPECT_EQ(answers.recording, 0);
  EXPECT_EQ(Shell.LoggingActive, 0);
}

TEST_F(LoggingWindowTest, TheGpsCounterKeepsItsCountWhenADialogRepaintsThePanel) {
  testing::PtyPair receiver;
  LinkPort(2, receiver.slave_path());
  Settings.GpsInput = 1;
  Settings.GpsPort = 1;  // COM2
  StartRun();
  ASSERT_TRUE(Ports.gps.port);
  CreateFile("GPSCOUNT.N68");
  Key('G');
  for (int i = 0; i < 6; ++i) receiver.Send("$GPGGA,123519,4807.038,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,*47\r\n");
  ASSERT_TRUE(RunMessagesUntil([] { return GpsFix.SentenceCounter.load() == 6; }, 5000));
  Settle();
  const Rect counter = PaintedPanelLayout().gps.counter.rect;
  const std::vector<ColorRef> counted = Pixels(counter);  // "6"

  Key(VK_RETURN);
  ASSERT_EQ(Logging.state, LoggingState::StandBy);
  responder_.OnDialog("GETCOMMENT", [](WindowHandle) {}, IDCANCEL);
  Key('C');
  EXPECT_EQ(GpsFix.SentenceCounter.load(), 6);
  EXPECT_EQ(Pixels(counter), counted) << "the repaint shows the count of the run";
}

// The instrument goes quiet while the save dialog is open: the run ends, and
// the name chosen afterwards creates no file.
class QuietDuringSave : public ModalResponder {
 public:
  QuietDuringSave(FakeClock& clock, std::filesystem::path path) : clock_(clock), path_(std::move(path)) {}
  std::optional<ModalAnswer> Answer(const ModalRequest& request) override {
    ModalAnswer answer;
    if (request.kind == ModalKind::kMessageBox) {
      answer.result = IDOK;
    } else {
      save_dialog = FindWindow("", "Create Data File");
      clock_.Advance(301);
      for (int i = 0; i < 6; ++i) SendMessage(Shell.LoggingWindow, WM_TIMER, kWatchdogTimerId);
      save_dialog_shown_after = IsWindowVisible(save_dialog);
      answer.path = path_.string();
    }
    return answer;
  }
  WindowHandle save_dialog = nullptr;
  bool save_dialog_shown_after = true;

 private:
  FakeClock& clock_;
  std::filesystem::path path_;
};

TEST_F(LoggingWindowTest, ANameChosenAfterTheRunEndedCreatesNoFile) {
  StartRun();
  QuietDuringSave quiet(clock_, DataPath("LATE.N68"));
  ScopedModalResponder scoped(&quiet);
  Key('C');
  EXPECT_EQ(Shell.LoggingActive, 0);
  EXPECT_NE(quiet.save_dialog, nullptr);
  EXPECT_FALSE(quiet.save_dialog_shown_after) << "the give-up left the save dialog open";
  EXPECT_FALSE(std::filesystem::exists(DataPath("LATE.N68")));
  EXPECT_FALSE(DataFileHandle.IsOpen());
  EXPECT_EQ(Logging.state, LoggingState::Monitor);
}

// The instrument goes quiet while "Exit Logging?" waits for an answer.
class QuietDuringQuestion : public ModalResponder {
 public:
  explicit QuietDuringQuestion(FakeClock& clock) : clock_(clock) {}
  std::optional<ModalAnswer> Answer(const ModalRequest& request) override {
    ModalAnswer answer;
    answer.result = IDOK;
    if (request.name == "Confirm Exit") {
      clock_.Advance(301);
      for (int i = 0; i < 6; ++i) SendMessage(Shell.LoggingWindow, WM_TIMER, kWatchdogTimerId);
      question_left_open = IsWindow(request.window);
      answer.result = IDNO;
    }
    return answer;
  }
  bool question_left_open = true;

 private:
  FakeClock& clock_;
};

TEST_F(LoggingWindowTest, GivingUpTakesAwayTheExitQuestion) {
  StartRun();
  CreateFile("QUESTION.N68");
  QuietDuringQuestion quiet(clock_);
  ScopedModalResponder scoped(&quiet);
  Key('X');
  EXPECT_FALSE(quiet.question_left_open);
  EXPECT_EQ(Shell.LoggingActive, 0);
  EXPECT_FALSE(IsWindowVisible(window()));
  EXPECT_EQ(Notes().back(), "$CONN END  ");
}

// A script's answers, but while the request named `at` is open the
// instrument goes quiet for good: the watchdog gives up ("NO CONNECTION"
// answered OK), and the script's answer to `at` comes after that.
class GiveUpDuring : public ScriptedResponder {
 public:
  GiveUpDuring(FakeClock& clock, std::string at) : clock_(clock), at_(std::move(at)) {}
  std::optional<ModalAnswer> Answer(const ModalRequest& request) override {
    if (request.name == "NO CONNECTION") return ModalAnswer{IDOK, {}, {}};
    if (request.name == at_ && !open_after) {
      clock_.Advance(301);
      for (int i = 0; i < 6; ++i) SendMessage(Shell.LoggingWindow, WM_TIMER, kWatchdogTimerId);
      open_after = IsWindowVisible(request.window);
    }
    return ScriptedResponder::Answer(request);
  }
  std::optional<bool> open_after;  // once the watchdog gave up

 private:
  FakeClock& clock_;
  std::string at_;
};

// Whatever the run has open when it gives up closes as cancelled, and an
// answer given to it afterwards changes nothing.
TEST_F(LoggingWindowTest, GivingUpCancelsWhatIsOpenAndALateAnswerChangesNothing) {
  const Mk2Offsets offsets = {1, 2, 3, 4, 5, 6};
  const struct {
    const char* at;
    bool standby;  // a file is created first
    int key;
    std::function<void(ScriptedResponder&)> steps;
  } cases[] = {
      {"CALIBRATION", false, 'A', [](ScriptedResponder& r) { r.OnMessageBox("CALIBRATION", IDYES); }},
      {"Delete Calibration", false, 'E', [](ScriptedResponder& r) { r.OnMessageBox("Delete Calibration", IDYES); }},
      {"Color", true, 'M', [](ScriptedResponder& r) {
         r.OnMenu(1110, 1102)
             .OnDialog("GetOptions68mk2", [](WindowHandle d) { ClickButton(GetDlgItem(d, 758)); })
             .OnColor(Rgb(0, 0, 255));
       }},
      {"1110", true, 'M', [](ScriptedResponder& r) { r.OnMenu(1110, 1102); }},
      {"WARNING", true, 'N', [](ScriptedResponder& r) {
         r.OnDialog("GETNEWSTATION", [](WindowHandle d) { TypeText(GetDlgItem(d, 865), "123456789012"); })
             .OnMessageBox("WARNING", IDOK);
       }},
      {"WARNING", false, 'C', [this](ScriptedResponder& r) {
         r.OnSaveFile(DataPath("TAKEN.N68").string()).OnMessageBox("WARNING", IDOK);
       }},
  };
  Shell.ChooseColorFn = &ChooseColor;
  testing::WriteFileBytes(DataPath("TAKEN.N68"), "");
  for (const auto& c : cases) {
    StartRun();
    Settings.Mk2Calibration = offsets;
    Settings.TraceColor[0] = Rgb(255, 0, 0);
    if (c.standby) CreateFile("UP" + std::to_string(&c - cases) + ".N68");
    const size_t records = c.standby ? Records().size() : 0;
    GiveUpDuring quiet(clock_, c.at);
    c.steps(quiet);
    {
      ScopedModalResponder scoped(&quiet);
      Key(c.key);
    }
    EXPECT_EQ(quiet.open_after, false) << c.at;
    EXPECT_EQ(quiet.PendingSteps(), 0u) << c.at;
    EXPECT_EQ(Shell.LoggingActive, 0) << c.at;
    EXPECT_EQ(Acquisition.CalibrationState.load(), 0) << c.at;
    EXPECT_EQ(Settings.Mk2Calibration, offsets) << c.at;
    EXPECT_EQ(Settings.TraceColor[0], Rgb(255, 0, 0)) << c.at;
    EXPECT_FALSE(DataFileHandle.IsOpen()) << c.at;
    // Nothing but the watchdog's five breaks and its end.
    if (c.standby) { EXPECT_EQ(Records().size(), records + 6) << c.at; }
  }
}

int OpenDescriptorCount() {
  int count = 0;
  for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator("/proc/self/fd")) ++count;
  return count;
}

// A USB adapter pulled out: its node and the link to it go away. The window
// cannot tell it from a silent line, and a start on the same name once it is
// back must find nothing of the old run in the way.
TEST_F(LoggingWindowTest, APulledOutInstrumentEndsTheRunAsASilentOneAndItsNameOpensAgainAtOnce) {
  StartRun();
  CreateFile("PULLED.N68");
  auto pull_out = [&](testing::PtyPair& device) {
    device.Hangup();
    std::filesystem::remove(PortLink(1));
    clock_.Advance(301);
    Watchdog(5);
    responder_.OnMessageBox("NO CONNECTION", IDOK);
    Watchdog(1);
  };
  pull_out(instrument_);
  EXPECT_EQ(Shell.LoggingActive, 0);
  EXPECT_FALSE(DataFileHandle.IsOpen());
  std::vector<std::string> expected(5, "$CONN BREAK");
  expected.push_back("$CONN END  ");
  EXPECT_EQ(Notes(), expected);  // and whole records only (Records)

  const int descriptors = OpenDescriptorCount();
  for (int cycle = 0; cycle < 100; ++cycle) {
    SCOPED_TRACE(cycle);
    testing::PtyPair device;
    LinkPort(1, device.slave_path());
    ClickMainButton(0);
    ASSERT_EQ(Shell.LoggingActive, 1);
    KillTimer(window(), kWatchdogTimerId);
    pull_out(device);
    ASSERT_EQ(Shell.LoggingActive, 0);
  }
  EXPECT_EQ(OpenDescriptorCount(), descriptors);
}

TEST_F(LoggingWindowTest, AnInstrumentPluggedBackInWhileTheWatchdogCountsIsReadOn) {
  StartRun();
  CreateFile("REPLUG.N68");
  instrument_.Hangup();
  std::filesystem::remove(PortLink(1));
  clock_.Advance(301);
  Watchdog(3);
  testing::PtyPair device;
  LinkPort(1, device.slave_path());
  const Bytes frame = VerticalFrame(500);
  // The port tries the name again a few times a second; frames sent before
  // it has the new device wait in it.
  device.Send(testing::BinaryWire(frame));
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
  while (Acquisition.MissedTicks.load() != 0 && std::chrono::steady_clock::now() < deadline) {
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
    Settle();
  }
  EXPECT_EQ(Acquisition.MissedTicks.load(), 0);
  Watchdog(5);
  EXPECT_EQ(Shell.LoggingActive, 1) << "the run went on";
  EXPECT_EQ(Notes(), std::vector<std::string>(3, "$CONN BREAK"));
}

TEST_F(LoggingWindowTest, Tq64WritesOneBreakPerOutageAndNeverGivesUp) {
  Build().InstrumentKind = kKindTq64;
  StartRun();
  CreateFile("OUTAGE.R64");
  clock_.Advance(301);
  Watchdog(12);
  EXPECT_EQ(Notes(), std::vector<std::string>{"$CONN BREAK"});
  FrameArrives();
  clock_.Advance(301);
  Watchdog(12);
  EXPECT_EQ(Notes(), std::vector<std::string>(2, "$CONN BREAK"));
  EXPECT_EQ(Shell.LoggingActive, 1);
  EXPECT_TRUE(IsWindowVisible(window()));
}

// --- Writes that fail -------------------------------------------------------------

TEST_F(LoggingWindowTest, AFailedWriteIsShownAndLoggingGoesOn) {
  StartRun();
  CreateFile("FULL.N68");
  Key('G');
  const Rect message = PaintedPanelLayout().message.rect;
  EXPECT_FALSE(FieldHasInk(Rect{message.left, message.top, message.left + 5, message.bottom}));
  size_t before = Records().size();

  FileFaults full;
  full.write_budget = 0;
  InjectFileFaults(&full);
  PostFrame(VerticalFrame(100), 8000);
  EXPECT_TRUE(Beeped(MB_ICONEXCLAMATION));
  // The warning starts where only the message field starts.
  EXPECT_TRUE(FieldHasInk(Rect{message.left, message.top, message.left + 5, message.bottom}));
  EXPECT_EQ(Logging.state, LoggingState::Logging);

  InjectFileFaults(nullptr);
  const Bytes after = VerticalFrame(200);
  PostFrame(after, 8100);
  std::vector<std::string> r = Records();
  ASSERT_EQ(r.size(), before + 1);
  EXPECT_EQ(r.back(), ReadingRecord(after, 8100));
  EXPECT_EQ(r[before - 1].substr(0, 9), "X$STARTED");
}

TEST_F(LoggingWindowTest, AFailedFlushAtPauseIsShown) {
  StartRun();
  CreateFile("SYNC.N68");
  Key('G');
  FileFaults faults;
  faults.fail_sync = true;
  InjectFileFaults(&faults);
  Key(VK_RETURN);
  EXPECT_EQ(Logging.state, LoggingState::StandBy);
  EXPECT_TRUE(Beeped(MB_ICONEXCLAMATION));
  InjectFileFaults(nullptr);
  // The close at the end reports the lost flush too.
  responder_.OnMessageBox("Confirm Exit", IDYES).OnMessageBox("WARNING", IDOK);
  Key('X');
  EXPECT_EQ(Shell.LoggingActive, 0);
}

// A card that fails only when asked to commit: the operator hears of it
// while logging, not at the next Pause.
TEST_F(LoggingWindowTest, AFailedCommitWhileLoggingIsShownWithinASecond) {
  StartRun();
  CreateFile("COMMIT.N68");
  Key('G');
  FileFaults faults;
  faults.fail_sync = true;
  InjectFileFaults(&faults);
  PostFrame(VerticalFrame(100), 8000);
  const auto posted = std::chrono::steady_clock::now();
  EXPECT_TRUE(testing::WaitUntil([&] {
    ProcessPendingMessages();
    return Beeped(MB_ICONEXCLAMATION);
  }, std::chrono::seconds(1)));
  EXPECT_LT(std::chrono::steady_clock::now() - posted, std::chrono::seconds(1));
  EXPECT_EQ(Logging.state, LoggingState::Logging);
  InjectFileFaults(nullptr);
  // The commit that failed is not forgotten by the close.
  responder_.OnMessageBox("Confirm Exit", IDYES).OnMessageBox("WARNING", IDOK);
  Key(VK_RETURN);
  Key('X');
  EXPECT_EQ(Shell.LoggingActive, 0);
  EXPECT_EQ(responder_.PendingSteps(), 0u) << "the close warned";
}

TEST_F(LoggingWindowTest, DroppedReadingsAreShownWhileLogging) {
  StartRun();
  CreateFile("DROP.N68");
  Acquisition.DroppedReadings += 1;
  PostFrame(VerticalFrame(100), 8000);
  EXPECT_FALSE(Beeped(MB_ICONEXCLAMATION)) << "nothing is lost in Stand By";
  Key('G');
  Acquisition.DroppedReadings += 2;
  PostFrame(VerticalFrame(100), 8100);
  EXPECT_TRUE(Beeped(MB_ICONEXCLAMATION));
}

// --- Live profile -----------------------------------------------------------------

// True when the columns from `x0` to `x1` of the profile show a trace:
// anything but the white ground and the grey grid lines.
bool ColumnsHaveTrace(int x0, int x1) {
  DcHandle dc = GetDC(Logging.curve);
  bool trace = false;
  for (int x = x0; x <= x1; ++x) {
    for (int y = 0; y < GetClientRect(Logging.curve).Height() && !trace; ++y) {
      ColorRef c = GetPixel(dc, x, y);
      trace = c != Rgb(255, 255, 255) && c != kPanelGrey;
    }
  }
  ReleaseDC(Logging.curve, dc);
  return trace;
}

TEST_F(LoggingWindowTest, LoggedReadingsReachTheProfileAndANewLineClearsIt) {
  StartRun();
  ASSERT_NE(Logging.curve, nullptr);
  EXPECT_EQ(GetWindowRect(Logging.curve).left, Shell.PlotLeft - 1);
  CreateFile("CHART.N68");
  Key('G');
  // A first word of 39000 is about 243 mS/m on the second coil pair, inside
  // the default 0..500 scale.
  for (uint32_t i = 0; i < 3; ++i) PostFrame(VerticalFrame(39000), 9000 + 100 * i);
  // The three stations end at the newest column, 200 in portrait (a thin
  // pen leaves a line's last pixel out).
  EXPECT_TRUE(ColumnsHaveTrace(196, 200));
  Key(VK_RETURN);
  // A comment repaints the chart from the file: the readings come back.
  responder_.OnDialog("GETCOMMENT", [](WindowHandle) {});
  Key('C');
  EXPECT_TRUE(ColumnsHaveTrace(196, 200));
  responder_.OnDialog("GETNEWLINE", [](WindowHandle) {});
  Key('L');
  EXPECT_FALSE(ColumnsHaveTrace(190, 200));
}

// A new run's chart starts clear: the last run's traces would otherwise stay
// and the new readings would continue them.
TEST_F(LoggingWindowTest, ANewRunStartsWithAClearChart) {
  StartRun();
  CreateFile("FIRST.N68");
  Key('G');
  for (uint32_t i = 0; i < 3; ++i) PostFrame(VerticalFrame(39000), 9000 + 100 * i);
  ASSERT_TRUE(ColumnsHaveTrace(196, 200));
  responder_.OnMessageBox("Confirm Exit", IDYES);
  Key(VK_RETURN);
  Key('X');
  ClickMainButton(0);
  KillTimer(window(), kWatchdogTimerId);
  EXPECT_FALSE(ColumnsHaveTrace(0, 200));
  CreateFile("SECOND.N68");
  Key('G');
  PostFrame(VerticalFrame(39000), 9500);
  EXPECT_FALSE(ColumnsHaveTrace(0, 196)) << "the first reading continued an old trace";
}

// --- Panel fields -----------------------------------------------------------------

TEST_F(LoggingWindowTest, AnEightBitFileNameShowsItsOwnCharacters) {
  StartRun();
  CreateFile("Z\xC3\xBCrichstrasse1.N68");
  ASSERT_EQ(Logging.DataFileBaseName, "Z\xFCrichstrasse1");
  const PanelField& file = PaintedPanelLayout().file;
  const std::vector<ColorRef> shown = Pixels(file.rect);
  DrawPanelField(window(), file, "File:Z\xC3\xBCrichst");
  EXPECT_EQ(Pixels(file.rect), shown);
}

// A field's widest text by the kind's formats at the sample values (-2000.00,
// range 1000, PDOP 99.99 shown as "100.0"), then a shorter one.
struct FieldCase {
  bool portrait;
  int32_t kind;
  int32_t ice;
  std::string_view field;
  const char* widest;
  const char* shorter;
};
constexpr FieldCase kFieldCases[] = {
    {true, 0, 0, "range", "Horizontal Dipoles   Range:1000", "Vertical Dipoles   Range:100 "},
    {true, 0, 0, "inphase", "B:-2000.00Volt", "I:1.00    ppt"},
    {true, 0, 1, "thickness", "Th: N/A in mode V", "Th: 1.00    m"},
    {true, 2, 0, "inphase", "CH:-2000.00", "IH:1.00    "},
    {true, 2, 0, "range", "Conductivity [mS/m]  Range:1000", "      Inphase [ppt]  Range:100 "},
    {true, 3, 0, "range", "Horizontal Dipoles   Range:1000", "Horizontal Dipoles   Range:100 "},
    {true, 5, 0, "inphase", "Sep:-2000.00 m", "Sep:1.00     m"},
    {true, 6, 0, "conductivity", "Th:-2000.00", "Th:1.00    "},
    {true, 7, 0, "pdop", "100.0", "1.2 "},
    {false, 0, 1, "thickness", "T:Off Range", "T[m]:1.00    "},
    {false, 7, 0, "pdop", "100.0", "1.2 "},
};

const PanelField& FieldNamed(const PanelLayout& p, std::string_view name) {
  if (name == "pdop") return p.gps.pdop;
  if (name == "range") return p.range;
  if (name == "thickness") return p.thickness;
  return name == "inphase" ? p.inphase : p.conductivity;
}

// The widest text fits its field, and a shorter one drawn after it leaves no
// ink of it behind, in both screen orientations.
TEST_F(LoggingWindowTest, PanelFieldsHoldTheirWidestTextsAndClearThem) {
  for (bool portrait : {true, false}) {
    ASSERT_NE(portrait ? OpenMainWindow(240, 320) : OpenMainWindow(320, 240), nullptr);
    ShowWindow(window(), SW_SHOW);
    for (const FieldCase& c : kFieldCases) {
      if (c.portrait != portrait) continue;
      Build().InstrumentKind = c.kind;
      Settings.IceOption = c.ice;
      PlacePanelFields();
      const PanelField& field = FieldNamed(PaintedPanelLayout(), c.field);
      const Font font = field.font == PanelFont::kValue ? Shell.BoldFont : Shell.NormalFont;
      const int wide = MeasureText(font, c.widest).cx;
      SCOPED_TRACE(std::to_string(c.kind) + ": " + c.widest);
      EXPECT_LE(wide, field.rect.Width());
      EXPECT_LE(field.rect.right, Shell.ScreenWidth);
      DrawPanelField(window(), field, c.widest);
      DrawPanelField(window(), field, c.shorter);
      const int from = field.rect.left + MeasureText(font, c.shorter).cx;
      const int to = std::min(field.rect.left + wide + 2, Shell.ScreenWidth);
      EXPECT_FALSE(FieldHasInk(Rect{from, field.rect.top, to, field.rect.bottom}));
    }
    // The next screen needs a main window of its own.
    DestroyWindow(main_window());
    PostQuitMessage(0);
    RunMessageLoop();
  }
}

// --- Keys -------------------------------------------------------------------------

// The soft marker is held only while the key that pressed it is down,
// whatever the key and the screen; Go starts with it let go; Tab and the
// arrows outside Logging mark while it is free and else move the highlight.
TEST_F(LoggingWindowTest, TheSoftMarkerIsHeldOnlyWhileItsKeyIsDown) {
  Settings.SoftMarker = 1;
  Settings.PauseKey = 2;
  StartRun();
  CreateFile("MARK.N68");
  Key('3');  // a tap: pressed and released
  EXPECT_EQ(Acquisition.SoftMarkerDown.load(), 0);
  Key(VK_TAB);
  EXPECT_EQ(Acquisition.SoftMarkerDown.load(), 0);
  EXPECT_EQ(Logging.FocusIndex, 0);
  SendMessage(window(), WM_KEYDOWN, '3');  // still down at Go
  EXPECT_EQ(Acquisition.SoftMarkerDown.load(), 1);
  Key(VK_TAB);
  Key(VK_TAB);
  EXPECT_EQ(Acquisition.SoftMarkerDown.load(), 1);
  EXPECT_EQ(Logging.FocusIndex, 2);
  Key(VK_LEFT);
  Key(VK_LEFT);
  ASSERT_EQ(Logging.FocusIndex, 0);
  Key('G');
  ASSERT_EQ(Logging.state, LoggingState::Logging);
  EXPECT_EQ(Acquisition.SoftMarkerDown.load(), 0);

  // Logging, PauseKey 2 in portrait: an arrow holds it; another key's
  // release leaves it held, its own lets go.
  SendMessage(window(), WM_KEYDOWN, VK_DOWN);
  EXPECT_EQ(Acquisition.SoftMarkerDown.load(), 1);
  SendMessage(window(), WM_KEYUP, VK_UP);
  EXPECT_EQ(Acquisition.SoftMarkerDown.load(), 1);
  SendMessage(window(), WM_KEYUP, VK_DOWN);
  EXPECT_EQ(Acquisition.SoftMarkerDown.load(), 0);

  // PauseKey 0: a digit tapped while logging marks nothing after its release.
  Settings.PauseKey = 0;
  Key('5');
  EXPECT_EQ(Acquisition.SoftMarkerDown.load(), 0);
  EXPECT_EQ(Logging.state, LoggingState::Logging);
}

// "any non numeric key": punctuation and the keypad's operators pause too;
// the keypad's digits are digits.
TEST_F(LoggingWindowTest, WithPauseKeyZeroEveryKeyButTheDigitsPauses) {
  StartRun();
  CreateFile("ANYKEY.N68");
  Settings.PauseKey = 0;
  for (int key : {VK_OEM_PERIOD, VK_OEM_MINUS, VK_OEM_COMMA, VK_OEM_2, VK_OEM_1, VK_OEM_7, VK_OEM_4, VK_OEM_PLUS,
                  VK_OEM_5, VK_OEM_3, VK_DECIMAL, VK_ADD}) {
    Key('G');
    ASSERT_EQ(Logging.state, LoggingState::Logging);
    Key(key);
    EXPECT_EQ(Logging.state, LoggingState::StandBy) << key;
  }
  Key('G');
  Key(VK_NUMPAD0 + 5);
  EXPECT_EQ(Logging.state, LoggingState::Logging);
}

// The keyboard repeats a held key; each command runs once all the same. And
// an arrow leaves the highlight on "&Go", the soft marker on or off: Enter
// logs again after it.
TEST_F(LoggingWindowTest, AHeldKeyActsOnceAndAnArrowMovesNoHighlight) {
  StartRun();
  path_ = DataPath("HELD.N68");
  responder_.OnSaveFile(path_.string());
  ASSERT_TRUE(HoldKey('C', 10, window()));  // Create File, then no comment
  Settings.PauseKey = 0;                    // any key pauses
  ASSERT_TRUE(HoldKey('G', 15, window()));
  EXPECT_EQ(Logging.state, LoggingState::Logging);
  Settings.PauseKey = 2;
  ASSERT_TRUE(HoldKey(VK_RETURN, 23, window()));
  EXPECT_EQ(Logging.state, LoggingState::StandBy);
  for (int32_t soft_marker : {0, 1}) {
    Settings.SoftMarker = soft_marker;
    Key(VK_DOWN);
    Key(VK_RETURN);
    EXPECT_EQ(Logging.state, LoggingState::Logging) << soft_marker;
    Key(VK_RETURN);
  }
  EXPECT_EQ(Notes().size(), 6u);  // "$STARTED" and "$PAUSED", three times
}

TEST_F(LoggingWindowTest, TheMenuOpensAtItsCornerAndItsCommandsComeBack) {
  StartRun();
  CreateFile("MENU.N68");
  responder_.OnMenu(1110, 1106);
  Key('M');
  ASSERT_FALSE(responder_.Requests().empty());
  const ModalRequest& menu = responder_.Requests().back();
  EXPECT_EQ(menu.name, "1110");
  EXPECT_EQ(menu.flags & TPM_RIGHTALIGN, 0u);
  EXPECT_EQ(Logging.state, LoggingState::StandBy);
}

}  // namespace
}  // namespace tq
