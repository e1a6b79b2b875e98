// "Monitor/&Log": port checks, the instrument port and its reader over real
// pseudo-terminals, the TQ68 presence probe, marker and GPS ports, and a
// clean stop.
#include "app/logging_run.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <string>
#include <thread>

#include "acquisition/acquisition_state.h"
#include "acquisition/serial_ports.h"
#include "shell/shell_state.h"
#include "platform/serial.h"
#include "platform/window.h"
#include "settings/settings.h"
#include "tests/instrument/frame_bytes.h"
#include "tests/app/main_window_fixture.h"
#include "tests/support/pty_pair.h"

namespace tq {
namespace {

using testing::Bytes;
using testing::PtyPair;

class LoggingRunTest : public testing::MainWindowTest {
 protected:
  void TearDown() override {
    StopLoggingRun(Shell.LoggingWindow);
    MainWindowTest::TearDown();
  }

  // The simulated instrument on COM1, and the main window over it.
  void OpenWithInstrument() {
    // Readings left from an earlier run must not count for this one.
    Acquisition.ClearReadings();
    LinkPort(1, instrument_.slave_path());
    ASSERT_NE(OpenMainWindow(), nullptr);
  }

  // A regular file where a port should be: it opens, but is no serial line.
  void LinkBrokenPort(int com) {
    std::filesystem::path file = root_.path() / ("broken" + std::to_string(com));
    testing::WriteFileBytes(file, "");
    LinkPort(com, file);
  }

  // Presses "Monitor/&Log" expecting one message box with `caption`;
  // returns its text.
  std::string StartAndTakeMessage(const std::string& caption) {
    responder_.OnMessageBox(caption, IDOK);
    ClickMainButton(0);
    if (responder_.Requests().size() != 1) {
      ADD_FAILURE() << responder_.Requests().size() << " modal calls";
      return {};
    }
    return responder_.Requests()[0].text;
  }

  void ExpectNothingOpen() {
    EXPECT_EQ(Shell.LoggingActive, 0);
    EXPECT_FALSE(Ports.instrument.port);
    EXPECT_FALSE(Ports.instrument.reader.joinable());
    EXPECT_FALSE(Ports.gps.port);
    EXPECT_FALSE(Ports.marker.port);
    EXPECT_FALSE(IsWindowVisible(Shell.LoggingWindow));
  }

  // The device is free again: nothing of the run still holds it.
  static void ExpectDeviceFree(const PtyPair& pty) {
    std::string error;
    EXPECT_NE(SerialPort::Open(pty.slave_path(), &error), nullptr) << error;
  }

  // Ends the run and checks that it let go of everything, `device` too.
  void StopAndExpectReleased(const PtyPair& device) {
    StopLoggingRun(Shell.LoggingWindow);
    ExpectNothingOpen();
    ExpectDeviceFree(device);
  }

  // True once the logging window has handled `frame`: the newest frame has
  // its start letter cleared and `frame`'s values (its status may carry a
  // marker the reader added).
  static bool HandledFrame(const Bytes& frame) {
    FrameBytes last = Acquisition.LastFrame();
    return last[0] == 0 && std::equal(frame.begin() + 2, frame.end(), last.begin() + 2);
  }

  PtyPair instrument_;
};

// --- Refusals ---------------------------------------------------------------

TEST_F(LoggingRunTest, GpsOnTheInstrumentPortIsRefusedWithNoPortOpened) {
  OpenWithInstrument();
  Settings.GpsInput = 1;
  Settings.GpsPort = 0;
  Settings.InstrumentPort = 0;
  EXPECT_EQ(StartAndTakeMessage("Serial Port"), "Same Port Assigned");
  ExpectNothingOpen();
  ExpectDeviceFree(instrument_);
}

TEST_F(LoggingRunTest, AMarkerOnTheGpsPortIsRefusedWithNoPortOpened) {
  OpenWithInstrument();
  Settings.GpsInput = 1;
  Settings.GpsPort = 1;        // COM2
  Settings.ExtMarkerPort = 2;  // COM2 as well
  EXPECT_EQ(StartAndTakeMessage("Serial Port"), "Same Port Assigned");
  ExpectNothingOpen();
  ExpectDeviceFree(instrument_);
}

TEST_F(LoggingRunTest, AnInstrumentPortThatDoesNotOpenEndsTheStart) {
  LinkBrokenPort(1);
  ASSERT_NE(OpenMainWindow(), nullptr);
  // The box's second line and standard error say which device and why.
  EXPECT_EQ(StartAndTakeMessage("Serial Port"),
            "Cannot open TQ68MK2 port\n" + (root_.path() / "ports" / "COM1").string() + ": not a serial port");
  ExpectNothingOpen();
}

TEST_F(LoggingRunTest, ASilentTq68IsReportedOffAndItsPortClosed) {
  Build().InstrumentKind = kKindTq68;
  OpenWithInstrument();
  EXPECT_EQ(StartAndTakeMessage("Connection"), "Instrument OFF or Disconnected");
  ExpectNothingOpen();
  ExpectDeviceFree(instrument_);
}

// --- Starting and stopping --------------------------------------------------

TEST_F(LoggingRunTest, Mk2RunStartsTheBinaryReaderAndStopsCleanly) {
  OpenWithInstrument();
  ClickMainButton(0);
  EXPECT_EQ(Shell.LoggingActive, 1);
  EXPECT_TRUE(IsWindowVisible(Shell.LoggingWindow));
  ASSERT_TRUE(Ports.instrument.port);
  EXPECT_TRUE(Ports.instrument.reader.joinable());
  EXPECT_FALSE(Ports.gps.port);
  EXPECT_FALSE(Ports.marker.port);

  Bytes frame = testing::BinaryFrame('T', 0x21, {100, 200, 300, 400, 500, 600});
  instrument_.Send(testing::BinaryWire(frame));
  // The logging window takes the reading and clears the frame's start letter.
  ASSERT_TRUE(RunMessagesUntil([&] { return HandledFrame(frame); }, 5000));
  EXPECT_EQ(Acquisition.FrameLength.load(), 14);
  StopAndExpectReleased(instrument_);
}

TEST_F(LoggingRunTest, Tq68ProbesItsFrameLengthBeforeItsReaderStarts) {
  Build().InstrumentKind = kKindTq68;
  OpenWithInstrument();
  std::atomic<bool> sending{true};
  std::thread feeder([&] {
    while (sending) {
      instrument_.Send(testing::AsciiFrame('T', '0', "00123", "00456") + "\r");
      std::this_thread::sleep_for(std::chrono::milliseconds(91));
    }
  });
  ClickMainButton(0);
  EXPECT_EQ(Shell.LoggingActive, 1);
  EXPECT_EQ(Acquisition.FrameLength.load(), 12);
  EXPECT_FLOAT_EQ(Settings.FramePeriodMs, 91.0f);
  EXPECT_TRUE(RunMessagesUntil([] { return HandledFrame(testing::ToBytes("T00012300456")); }, 5000));
  sending = false;
  feeder.join();
  StopAndExpectReleased(instrument_);
}

TEST_F(LoggingRunTest, EachRunStartsWithFreshMarkersAndAveraging) {
  OpenWithInstrument();
  Settings.SurveyMode = 2;
  Settings.SamplesPerReading = 5;
  Settings.Mk2Variant = 1;
  Settings.DipoleMode = 2;  // both dipoles: two readings make a station in Manual mode
  Acquisition.ExtMarkerLine = 0x10;
  Acquisition.SoftMarkerDown = 1;
  ClickMainButton(0);
  ASSERT_EQ(Shell.LoggingActive, 1);
  EXPECT_EQ(Acquisition.ExtMarkerLine.load(), 0);
  EXPECT_EQ(Acquisition.SoftMarkerDown.load(), 0);
  EXPECT_TRUE(CurrentRun.began_manual);
  EXPECT_EQ(CurrentRun.handlers.AveragingActive, 1);
  // The display selection comes first, so the beep cadence takes its count.
  EXPECT_EQ(Settings.ReadingsPerStation, 2);
  EXPECT_EQ(Settings.ReadingsPerSecond, 2);
  for (size_t slot = 0; slot < 4; ++slot) EXPECT_EQ(Settings.TraceActive[slot], 1) << slot;
  // One coil pair: the 0.5 m traces go off after the selection lit them.
  for (size_t slot = 4; slot < 8; ++slot) EXPECT_EQ(Settings.TraceActive[slot], 0) << slot;
}

TEST_F(LoggingRunTest, AStartCommandDuringARunLeavesThatRunAlone) {
  OpenWithInstrument();
  ClickMainButton(0);
  ASSERT_EQ(Shell.LoggingActive, 1);
  const Port* port = Ports.instrument.port.get();
  Acquisition.SoftMarkerDown = 1;  // held by the operator in the running run
  // The responder has no answer: a second start may show nothing.
  SendMessage(main_window(), WM_COMMAND, MAKEWPARAM(420, BN_CLICKED));
  Settle();
  EXPECT_TRUE(responder_.Requests().empty());
  EXPECT_EQ(Shell.LoggingActive, 1);
  EXPECT_EQ(Ports.instrument.port.get(), port);
  EXPECT_TRUE(Ports.instrument.reader.joinable());
  EXPECT_EQ(Acquisition.SoftMarkerDown.load(), 1);

  Bytes frame = testing::BinaryFrame('T', 0x21, {1, 2, 3, 4, 5, 6});
  instrument_.Send(testing::BinaryWire(frame));
  EXPECT_TRUE(RunMessagesUntil([&] { return HandledFrame(frame); }, 5000));
  StopAndExpectReleased(instrument_);
}

TEST_F(LoggingRunTest, GpsPortOpensWithTheRunAndClosesWithIt) {
  PtyPair gps;
  LinkPort(2, gps.slave_path());
  OpenWithInstrument();
  Settings.GpsInput = 1;
  Settings.GpsPort = 1;
  ClickMainButton(0);
  EXPECT_EQ(Shell.LoggingActive, 1);
  EXPECT_TRUE(Ports.gps.port);
  StopAndExpectReleased(gps);
}

TEST_F(LoggingRunTest, AGpsPortThatDoesNotOpenIsReportedAndTheRunGoesOn) {
  LinkBrokenPort(2);
  OpenWithInstrument();
  Settings.GpsInput = 1;
  Settings.GpsPort = 1;
  EXPECT_EQ(StartAndTakeMessage("Serial Port").substr(0, 21), "Cannot open GPS port\n");
  EXPECT_EQ(Shell.LoggingActive, 1);
  EXPECT_TRUE(IsWindowVisible(Shell.LoggingWindow));
}

TEST_F(LoggingRunTest, AMarkerOnTheInstrumentsOwnPortOpensNoSecondPort) {
  OpenWithInstrument();
  Settings.ExtMarkerPort = 1;  // COM1, the instrument's
  ClickMainButton(0);
  EXPECT_EQ(Shell.LoggingActive, 1);
  EXPECT_FALSE(Ports.marker.port);
  EXPECT_FALSE(Ports.marker.reader.joinable());
}

TEST_F(LoggingRunTest, AMarkerOnItsOwnPortIsOpenedForTheRun) {
  PtyPair marker;
  LinkPort(7, marker.slave_path());
  OpenWithInstrument();
  Settings.ExtMarkerPort = 6;  // COM7
  ClickMainButton(0);
  EXPECT_EQ(Shell.LoggingActive, 1);
  EXPECT_TRUE(Ports.marker.port);
  EXPECT_TRUE(Ports.marker.reader.joinable());
  StopAndExpectReleased(marker);
}

TEST_F(LoggingRunTest, AMarkerPortThatDoesNotOpenIsReportedAndTheRunGoesOn) {
  LinkBrokenPort(3);
  OpenWithInstrument();
  Settings.ExtMarkerPort = 3;
  EXPECT_EQ(StartAndTakeMessage("Serial Port").substr(0, 33), "Cannot open External Marker port\n");
  EXPECT_EQ(Shell.LoggingActive, 1);
}

TEST_F(LoggingRunTest, ClosingTheMainWindowEndsAnActiveRun) {
  OpenWithInstrument();
  ClickMainButton(0);
  ASSERT_EQ(Shell.LoggingActive, 1);
  SendMessage(main_window(), WM_CLOSE);
  EXPECT_FALSE(IsWindow(main_window()));
  EXPECT_EQ(Shell.LoggingActive, 0);
  EXPECT_FALSE(Ports.instrument.port);
  EXPECT_FALSE(Ports.instrument.reader.joinable());
  ExpectDeviceFree(instrument_);
}

// --- Watchdog timing --------------------------------------------------------

TEST(WatchdogTimingTest, ThreeHundredMillisecondsButForTheFrz62) {
  for (int32_t kind : {0, 1, 2, 3, 4, 5, 7}) {
    for (int32_t mode : {0, 1, 2}) {
      WatchdogTiming timing = WatchdogTimingFor(kind, mode);
      EXPECT_EQ(timing.timeout_ms, 300);
      EXPECT_EQ(timing.timer_period_ms, 300u);
    }
  }
  EXPECT_EQ(WatchdogTimingFor(kKindFrz62, 0).timer_period_ms, 2000u);
  EXPECT_EQ(WatchdogTimingFor(kKindFrz62, 2).timeout_ms, 2000);
  EXPECT_FALSE(WatchdogTimingFor(kKindFrz62, 1).timer_period_ms.has_value());
  EXPECT_EQ(WatchdogTimingFor(kKindFrz62, 1).timeout_ms, 2000);
}

}  // namespace
}  // namespace tq
