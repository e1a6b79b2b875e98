// Calibration and GPS sentences through the logging window's own handlers,
// over a fake clock: the questions, the offsets kept or put back, the
// settings file and the calibration records; the GPS row's counter.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <thread>
#include <filesystem>
#include <string>
#include <vector>

#include "acquisition/acquisition_state.h"
#include "app/logging_run.h"
#include "shell/shell_state.h"
#include "gps/gps_fix.h"
#include "logging/calibration_window.h"
#include "logging/live_panel.h"
#include "logging/logging_commands.h"
#include "logging/run_state.h"
#include "platform/clock.h"
#include "platform/files.h"
#include "platform/modal_responder.h"
#include "platform/window.h"
#include "settings/settings.h"
#include "survey/data_file_creation.h"
#include "tests/instrument/frame_bytes.h"
#include "tests/logging/logging_window_fixture.h"
#include "tests/support/pty_pair.h"
#include "tests/support/temp_dir.h"
#include "tools/sim/simulator.h"

namespace tq {
namespace {

using testing::Bytes;
using testing::BinaryFrame;

constexpr uint32_t kFrameMs = 47;
// u(w) = (w - 32768) / 25.6: these words read 10, 20, 40, 80 and 120.
constexpr uint16_t kU10 = 33024, kU20 = 33280, kU40 = 33792, kU80 = 34816, kU120 = 35840;
// Words in the order C, D, A, B, E, F.
const Bytes kVertical = BinaryFrame('T', 6, {kU80, kU120, kU40, kU40, 0, 0});
const Bytes kHorizontal = BinaryFrame('t', 2, {kU20, kU40, kU10, kU80, 0, 0});
// Frames far off the others: counted anywhere, they would show in the offsets.
const Bytes kOddVertical = BinaryFrame('T', 6, {kU120, kU120, kU120, kU120, 0, 0});
const Bytes kOddHorizontal = BinaryFrame('t', 2, {kU120, kU120, kU120, kU120, 0, 0});

const Mk2Offsets kOld = {1.5f, 2.5f, 3.5f, 4.5f, 5.5f, 6.5f};
// Vertical conductivity 40 and 80, horizontal 10 and 20; the inphase means.
const Mk2Offsets kCalibrated = {40.0f - 2 * 10.0f,
                                80.0f - 2 * 20.0f,
                                static_cast<float>(40 * 0.028819),
                                static_cast<float>(120 * 0.00720475),
                                static_cast<float>(80 * 0.028819),
                                static_cast<float>(40 * 0.00720475)};

const char* const kGga = "$GPGGA,123519,4807.038,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,*47";

class CalibrationWindowTest : public testing::LoggingWindowFixture {
 protected:
  void SetUp() override {
    LoggingWindowFixture::SetUp();
    Acquisition.ClearReadings();
    LinkPort(1, instrument_.slave_path());
    ASSERT_NE(OpenMainWindow(), nullptr);
    Settings.Mk2Calibration = kOld;
    ClickMainButton(0);
    ASSERT_EQ(Shell.LoggingActive, 1);
    KillTimer(window(), kWatchdogTimerId);
  }

  void Command(int id) {
    SendMessage(window(), WM_COMMAND, static_cast<uintptr_t>(id));
    Settle();
  }

  void CreateFile() {
    path_ = MapSystemPath(DataFoldersFor(Build()).dialog_folder) / "CAL.N68";
    responder_.OnSaveFile(path_.string());
    Key('C');
    ASSERT_EQ(Logging.state, LoggingState::StandBy);
  }

  // Frames one frame period apart for `ms`, as the reader posts them.
  void Frames(const Bytes& frame, uint32_t ms) {
    for (uint32_t t = 0; t < ms; t += kFrameMs) {
      ASSERT_TRUE(Acquisition.PostReading(window(), WM_BINARY_READING, frame, clock_.Tick()));
      Settle();
      clock_.Advance(kFrameMs);
    }
  }

  std::string SettingsFileBytes() const {
    return testing::ReadFileBytes(MapSystemPath(SettingsFileSystemPath(Build())));
  }

  Mk2Offsets SavedOffsets() const {
    SettingsStore saved;
    EXPECT_TRUE(LoadSettings(saved, Build()));
    return saved.Mk2Calibration;
  }

  // The "O" records of the file: the offset and the previous one of each.
  std::vector<std::pair<std::string, std::string>> CalibrationRecords() const {
    std::string bytes = testing::ReadFileBytes(path_);
    std::vector<std::pair<std::string, std::string>> out;
    for (size_t at = 0; at + Shell.RecordLength <= bytes.size(); at += Shell.RecordLength) {
      if (bytes[at] == 'O') out.emplace_back(bytes.substr(at + 2, 10), bytes.substr(at + 13, 10));
    }
    return out;
  }

  static std::string Field(float value) {
    char text[16];
    std::snprintf(text, sizeof text, "%10.3f", static_cast<double>(value));
    return text;
  }

  void ExpectOffsetsNear(const Mk2Offsets& got, const Mk2Offsets& expected) {
    for (size_t i = 0; i < got.size(); ++i) EXPECT_NEAR(got[i], expected[i], 1e-4) << "O" << i + 1;
  }

};

TEST_F(CalibrationWindowTest, SuccessKeepsSavesAndRecordsTheNewOffsets) {
  CreateFile();
  const size_t line_start_records = CalibrationRecords().size();
  responder_.OnMessageBox("CALIBRATION", IDYES);
  Command(kMenuCalibrate);
  ASSERT_EQ(responder_.Requests().back().text,
            "Place  TQ68-MK2  on  Monopod\r\nin  Vertical  Dipole  Mode\r\nand  press  YES  when  ready\r\n");
  EXPECT_EQ(responder_.Requests().back().flags, MB_YESNO | MB_ICONINFORMATION);
  ASSERT_EQ(Acquisition.CalibrationState.load(), -1);
  EXPECT_EQ(Settings.Mk2Calibration, Mk2Offsets{});

  Frames(kVertical, 2100);
  Frames(kVertical, 5000);  // not turned yet: nothing starts
  // The first horizontal frame starts the 1-second preparation, in which
  // nothing is counted, nor in the frame that ends it.
  Frames(kHorizontal, kFrameMs);
  Frames(kOddHorizontal, 1000);
  // Measuring: vertical frames between the horizontal ones are left out.
  for (uint32_t t = 0; t < 2100; t += 6 * kFrameMs) {
    Frames(kHorizontal, 5 * kFrameMs);
    Frames(kOddVertical, kFrameMs);
  }
  Frames(kHorizontal, 3100);
  EXPECT_EQ(Acquisition.CalibrationState.load(), 0);
  ExpectOffsetsNear(Settings.Mk2Calibration, kCalibrated);
  ExpectOffsetsNear(SavedOffsets(), kCalibrated);
  EXPECT_EQ(Logging.PreviousMk2Offsets, kOld);

  std::vector<std::pair<std::string, std::string>> records = CalibrationRecords();
  ASSERT_EQ(records.size(), line_start_records + 6);
  for (size_t i = 0; i < 6; ++i) {
    EXPECT_EQ(records[line_start_records + i].first, Field(Settings.Mk2Calibration[i])) << i;
    EXPECT_EQ(records[line_start_records + i].second, Field(kOld[i])) << i;
  }
  EXPECT_NE(std::find(responder_.Beeps().begin(), responder_.Beeps().end(), 48u), responder_.Beeps().end());
  EXPECT_EQ(responder_.Beeps().back(), 16u);

  // The readings go to the panel again.
  ASSERT_TRUE(Acquisition.PostReading(window(), WM_BINARY_READING, kVertical, clock_.Tick()));
  Settle();
  EXPECT_EQ(Acquisition.QueuedReadings(), 0u);
  EXPECT_EQ(Settings.Mk2Calibration[0], kCalibrated[0]);
}

TEST_F(CalibrationWindowTest, NoPutsTheOffsetsBack) {
  responder_.OnMessageBox("CALIBRATION", IDNO);
  Key('A');
  EXPECT_EQ(Acquisition.CalibrationState.load(), 0);
  EXPECT_EQ(Settings.Mk2Calibration, kOld);
}

// Each failure: what the operator does wrong, as frames.
struct Failure {
  const char* name;
  std::vector<std::pair<const Bytes*, uint32_t>> frames;
};

class CalibrationFailureTest : public CalibrationWindowTest,
                               public ::testing::WithParamInterface<Failure> {};

TEST_P(CalibrationFailureTest, PutsTheOffsetsBackAndSavesNothing) {
  const std::string settings_before = SettingsFileBytes();
  responder_.OnMessageBox("CALIBRATION", IDYES);
  Key('A');
  ASSERT_EQ(Acquisition.CalibrationState.load(), -1);
  for (const auto& [frame, ms] : GetParam().frames) Frames(*frame, ms);
  EXPECT_EQ(Acquisition.CalibrationState.load(), -1) << "ended before its 3 s of text";
  Frames(kVertical, 3100);
  EXPECT_EQ(Acquisition.CalibrationState.load(), 0);
  EXPECT_EQ(Settings.Mk2Calibration, kOld);
  EXPECT_EQ(Logging.PreviousMk2Offsets, Mk2Offsets{});
  EXPECT_EQ(SettingsFileBytes(), settings_before);
}

INSTANTIATE_TEST_SUITE_P(
    Steps, CalibrationFailureTest,
    ::testing::Values(Failure{"VerticalHeldHorizontal", {{&kHorizontal, 2100}}},
                      Failure{"TurnedBackBeforeMeasuring",
                              {{&kVertical, 2100}, {&kHorizontal, 1100}, {&kVertical, 2100}}},
                      Failure{"NeverTurned", {{&kVertical, 2100}, {&kVertical, 61000}}}),
    [](const auto& test) { return std::string(test.param.name); });

TEST_F(CalibrationWindowTest, ARunEndingDuringACalibrationPutsTheOffsetsBack) {
  responder_.OnMessageBox("CALIBRATION", IDYES);
  Key('A');
  Frames(kVertical, 500);
  StopLoggingRun(window());
  EXPECT_EQ(Acquisition.CalibrationState.load(), 0);
  EXPECT_EQ(Settings.Mk2Calibration, kOld);
}

// Mid-procedure the offsets are zeroed: a file, line or station started now
// would record zeros, and a second start or a delete would lose the backup.
// All are refused with a warning; a failed procedure then puts back the
// stored offsets, which are the ones the file holds.
TEST_F(CalibrationWindowTest, WhatWouldRecordOrLoseTheOffsetsIsRefusedMidProcedure) {
  responder_.OnMessageBox("CALIBRATION", IDYES);
  Key('A');
  Frames(kVertical, 500);
  const size_t asked = responder_.Requests().size();
  for (int key : {'C', 'A', 'E'}) Key(key);  // Create File, Calib., Del Cal.
  EXPECT_EQ(responder_.Requests().size(), asked) << "no dialog or question may open";
  EXPECT_EQ(Logging.state, LoggingState::Monitor);
  EXPECT_EQ(responder_.Beeps().back(), MB_ICONEXCLAMATION);
  Frames(kHorizontal, 5200);  // held wrong: the vertical phase fails, then ends
  ASSERT_EQ(Acquisition.CalibrationState.load(), 0);
  EXPECT_EQ(Settings.Mk2Calibration, kOld);

  CreateFile();
  const size_t records = testing::ReadFileBytes(path_).size();
  responder_.OnMessageBox("CALIBRATION", IDYES);
  Command(kMenuCalibrate);
  Frames(kVertical, 500);
  for (int key : {'L', 'N'}) Key(key);  // New Line, New Station
  Command(kMenuCalibrate);
  Command(kMenuDeleteCalibration);
  EXPECT_EQ(testing::ReadFileBytes(path_).size(), records);
  StopLoggingRun(window());
  EXPECT_EQ(Settings.Mk2Calibration, kOld);
}

TEST_F(CalibrationWindowTest, CalibrationRunningStaysReadableUntilTheProcedureEnds) {
  responder_.OnMessageBox("CALIBRATION", IDYES);
  Key('A');
  Frames(kVertical, 500);
  Key('C');  // refused
  const Rect message = PaintedPanelLayout().message.rect;
  const std::vector<ColorRef> refused = Pixels(message);
  // The horizontal measurement draws its values over 3 s after the refusal.
  Frames(kVertical, 1700);
  Frames(kHorizontal, 2500);
  ASSERT_EQ(Acquisition.CalibrationState.load(), -1);
  EXPECT_EQ(Pixels(message), refused);
  Frames(kHorizontal, 4500);
  EXPECT_EQ(Acquisition.CalibrationState.load(), 0);
  ExpectOffsetsNear(Settings.Mk2Calibration, kCalibrated);
}

TEST_F(CalibrationWindowTest, DeleteAsksAndOnYesZeroesSavesAndRecords) {
  CreateFile();
  const size_t line_start_records = CalibrationRecords().size();
  responder_.OnMessageBox("Delete Calibration", IDNO);
  Command(kMenuDeleteCalibration);
  EXPECT_EQ(responder_.Requests().back().text,
            "Are you sure you want to\r\ndelete Calibration factors ?\r\npress  YES  or  NO\r\n");
  EXPECT_EQ(responder_.Requests().back().flags, MB_YESNO | MB_ICONEXCLAMATION);
  EXPECT_EQ(Settings.Mk2Calibration, kOld);
  EXPECT_EQ(CalibrationRecords().size(), line_start_records);

  responder_.OnMessageBox("Delete Calibration", IDYES);
  Command(kMenuDeleteCalibration);
  EXPECT_EQ(Settings.Mk2Calibration, Mk2Offsets{});
  EXPECT_EQ(SavedOffsets(), Mk2Offsets{});
  std::vector<std::pair<std::string, std::string>> records = CalibrationRecords();
  ASSERT_EQ(records.size(), line_start_records + 6);
  for (size_t i = 0; i < 6; ++i) {
    EXPECT_EQ(records[line_start_records + i].first, "     0.000");
    EXPECT_EQ(records[line_start_records + i].second, Field(kOld[i]));
  }
}

TEST_F(CalibrationWindowTest, OverAPseudoTerminalWithTheSimulatorTurningTheInstrument) {
  InstallClock(nullptr);  // the reader's frames and the steps on one real clock
  responder_.OnMessageBox("CALIBRATION", IDYES);
  Key('A');
  ASSERT_EQ(Acquisition.CalibrationState.load(), -1);
  sim::SimulatorOptions options;
  options.walk.pace_mps = 0.1;
  options.walk.turn_after_s = 4.0;  // after the 2 s vertical phase, well within 60 s
  sim::PacedStream stream = sim::MakeInstrumentStream(options, nullptr);
  std::atomic<bool> sending{true};
  std::thread instrument([&] {
    for (uint64_t i = 0; sending.load(); ++i) {
      std::vector<uint8_t> frame = stream.next(i);
      instrument_.Send(frame);
      std::this_thread::sleep_for(std::chrono::milliseconds(stream.period_ms));
    }
  });
  const bool ended = RunMessagesUntil([] { return Acquisition.CalibrationState.load() == 0; }, 20000);
  sending = false;
  instrument.join();
  ASSERT_TRUE(ended);
  EXPECT_EQ(Logging.PreviousMk2Offsets, kOld) << "the procedure succeeded";
  const Mk2Offsets& o = Settings.Mk2Calibration;
  ExpectOffsetsNear(SavedOffsets(), o);
  // The walk's ground: conductivity about 30 mS/m, inphase 1.5 to 4.5 ppt
  // and 0.7 to 2.3 ppt in either orientation.
  EXPECT_LT(o[0], -10.0f);
  EXPECT_GT(o[0], -50.0f);
  for (size_t i : {2u, 4u}) EXPECT_TRUE(o[i] > 1.4f && o[i] < 4.6f) << "O" << i + 1 << " " << o[i];
  for (size_t i : {3u, 5u}) EXPECT_TRUE(o[i] > 0.6f && o[i] < 2.4f) << "O" << i + 1 << " " << o[i];
}

TEST_F(CalibrationWindowTest, GoodGgaSentencesCountOnlyWhileLogging) {
  CreateFile();
  auto post = [&](std::string_view text, bool valid) {
    ASSERT_TRUE(GpsFix.PostSentence(window(), WM_GPS_SENTENCE, text, valid));
    Settle();
  };
  GpsFix.ActivityMark = '\\';
  post(kGga, true);
  EXPECT_EQ(GpsFix.ActivityMark, '/');
  EXPECT_EQ(GpsFix.SentenceCounter.load(), 0);
  EXPECT_EQ(GpsFix.Recording.load(), 0);
  Key('G');
  ASSERT_EQ(Logging.state, LoggingState::Logging);
  EXPECT_EQ(GpsFix.Recording.load(), 1);
  post(kGga, true);
  post(kGga, false);  // shown as "??", not counted
  EXPECT_EQ(GpsFix.SentenceCounter.load(), 1);
  EXPECT_EQ(GpsFix.ActivityMark, '\\');
  Key(VK_RETURN);
  EXPECT_EQ(GpsFix.Recording.load(), 0);
}

}  // namespace
}  // namespace tq
