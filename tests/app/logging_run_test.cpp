// "Monitor/&Log": port checks, the instrument port and its reader over real
// pseudo-terminals, the TQ68 presence probe, marker and GPS ports, and a
// clean stop.
#include "app/logging_run.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "acquisition/acquisition_state.h"
#include "acquisition/serial_ports.h"
#include "app/shell_state.h"
#include "platform/serial.h"
#include "platform/window.h"
#include "settings/settings.h"
#include "tests/acquisition/frame_bytes.h"
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

  // A regular file where a port should be: it opens, but is no serial line.
  void LinkBrokenPort(int com) {
    std::filesystem::path file = root_.path() / ("broken" + std::to_string(com));
    testing::WriteFileBytes(file, "");
    LinkPort(com, file);
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
};

// --- Refusals ---------------------------------------------------------------

TEST_F(LoggingRunTest, GpsOnTheInstrumentPortIsRefusedWithNoPortOpened) {
  PtyPair instrument;
  LinkPort(1, instrument.slave_path());
  ASSERT_NE(OpenMainWindow(), nullptr);
  Settings.GpsInput = 1;
  Settings.GpsPort = 0;
  Settings.InstrumentPort = 0;
  responder_.OnMessageBox("Serial Port", IDOK);
  ClickMainButton(0);
  ASSERT_EQ(responder_.Requests().size(), 1u);
  EXPECT_EQ(responder_.Requests()[0].text, "Same Port Assigned");
  ExpectNothingOpen();
  ExpectDeviceFree(instrument);
}

TEST_F(LoggingRunTest, MarkerOnTheGpsPortIsRefused) {
  PtyPair instrument;
  LinkPort(1, instrument.slave_path());
  ASSERT_NE(OpenMainWindow(), nullptr);
  Settings.GpsInput = 1;
  Settings.GpsPort = 1;       // COM2
  Settings.ExtMarkerPort = 2;  // COM2
  responder_.OnMessageBox("Serial Port", IDOK);
  ClickMainButton(0);
  ASSERT_EQ(responder_.Requests().size(), 1u);
  EXPECT_EQ(responder_.Requests()[0].text, "Same Port Assigned");
  ExpectNothingOpen();
}

TEST_F(LoggingRunTest, AnInstrumentPortThatDoesNotOpenEndsTheStart) {
  LinkBrokenPort(1);
  ASSERT_NE(OpenMainWindow(), nullptr);
  responder_.OnMessageBox("Serial Port", IDOK);
  ClickMainButton(0);
  ASSERT_EQ(responder_.Requests().size(), 1u);
  EXPECT_EQ(responder_.Requests()[0].text, "Cannot open TQ68MK2 port");
  ExpectNothingOpen();
}

TEST_F(LoggingRunTest, ASilentTq68IsReportedOffAndItsPortClosed) {
  Build().InstrumentKind = kKindTq68;
  PtyPair instrument;
  LinkPort(1, instrument.slave_path());
  ASSERT_NE(OpenMainWindow(), nullptr);
  responder_.OnMessageBox("Connection", IDOK);
  ClickMainButton(0);
  ASSERT_EQ(responder_.Requests().size(), 1u);
  EXPECT_EQ(responder_.Requests()[0].text, "Instrument OFF or Disconnected");
  ExpectNothingOpen();
  ExpectDeviceFree(instrument);
}

// --- Starting and stopping --------------------------------------------------

TEST_F(LoggingRunTest, Mk2RunStartsTheBinaryReaderAndStopsCleanly) {
  PtyPair instrument;
  LinkPort(1, instrument.slave_path());
  ASSERT_NE(OpenMainWindow(), nullptr);
  ClickMainButton(0);
  EXPECT_EQ(Shell.LoggingActive, 1);
  EXPECT_TRUE(IsWindowVisible(Shell.LoggingWindow));
  ASSERT_TRUE(Ports.instrument.port);
  EXPECT_TRUE(Ports.instrument.reader.joinable());
  EXPECT_FALSE(Ports.gps.port);
  EXPECT_FALSE(Ports.marker.port);

  Bytes frame = testing::BinaryFrame('T', 0x21, {100, 200, 300, 400, 500, 600});
  instrument.Send(testing::BinaryWire(frame));
  ASSERT_TRUE(RunMessagesUntil([] { return Acquisition.QueuedReadings() > 0; }, 5000));
  FrameBytes last = Acquisition.LastFrame();
  EXPECT_TRUE(std::equal(frame.begin(), frame.end(), last.begin()));
  EXPECT_EQ(Acquisition.FrameLength.load(), 14);

  StopLoggingRun(Shell.LoggingWindow);
  ExpectNothingOpen();
  ExpectDeviceFree(instrument);
}

TEST_F(LoggingRunTest, Tq68ProbesItsFrameLengthBeforeItsReaderStarts) {
  Build().InstrumentKind = kKindTq68;
  PtyPair instrument;
  LinkPort(1, instrument.slave_path());
  ASSERT_NE(OpenMainWindow(), nullptr);
  std::atomic<bool> sending{true};
  std::thread feeder([&] {
    while (sending) {
      instrument.Send(testing::AsciiFrame('T', '0', "00123", "00456") + "\r");
      std::this_thread::sleep_for(std::chrono::milliseconds(91));
    }
  });
  ClickMainButton(0);
  EXPECT_EQ(Shell.LoggingActive, 1);
  EXPECT_EQ(Acquisition.FrameLength.load(), 12);
  EXPECT_FLOAT_EQ(Settings.FramePeriodMs, 91.0f);
  EXPECT_TRUE(RunMessagesUntil([] { return Acquisition.QueuedReadings() > 0; }, 5000));
  sending = false;
  feeder.join();
  StopLoggingRun(Shell.LoggingWindow);
  ExpectNothingOpen();
}

TEST_F(LoggingRunTest, EachRunStartsWithFreshMarkersAndAveraging) {
  PtyPair instrument;
  LinkPort(1, instrument.slave_path());
  ASSERT_NE(OpenMainWindow(), nullptr);
  Settings.SurveyMode = 2;
  Settings.SamplesPerReading = 5;
  Settings.Mk2Variant = 1;
  Acquisition.ExtMarkerLine = 0x10;
  Acquisition.SoftMarkerDown = 1;
  ClickMainButton(0);
  ASSERT_EQ(Shell.LoggingActive, 1);
  EXPECT_EQ(Acquisition.ExtMarkerLine.load(), 0);
  EXPECT_EQ(Acquisition.SoftMarkerDown.load(), 0);
  EXPECT_TRUE(CurrentRun.began_manual);
  EXPECT_EQ(CurrentRun.handlers.AveragingActive, 1);
  EXPECT_EQ(Settings.ReadingsPerSecond, Settings.ReadingsPerStation);
  for (size_t slot = 4; slot < 8; ++slot) EXPECT_EQ(Settings.TraceActive[slot], 0) << slot;
}

TEST_F(LoggingRunTest, GpsPortOpensWithTheRunAndClosesWithIt) {
  PtyPair instrument;
  PtyPair gps;
  LinkPort(1, instrument.slave_path());
  LinkPort(2, gps.slave_path());
  ASSERT_NE(OpenMainWindow(), nullptr);
  Settings.GpsInput = 1;
  Settings.GpsPort = 1;
  ClickMainButton(0);
  EXPECT_EQ(Shell.LoggingActive, 1);
  EXPECT_TRUE(Ports.gps.port);
  StopLoggingRun(Shell.LoggingWindow);
  ExpectNothingOpen();
  ExpectDeviceFree(gps);
}

TEST_F(LoggingRunTest, AGpsPortThatDoesNotOpenIsReportedAndTheRunGoesOn) {
  PtyPair instrument;
  LinkPort(1, instrument.slave_path());
  LinkBrokenPort(2);
  ASSERT_NE(OpenMainWindow(), nullptr);
  Settings.GpsInput = 1;
  Settings.GpsPort = 1;
  responder_.OnMessageBox("Serial Port", IDOK);
  ClickMainButton(0);
  ASSERT_EQ(responder_.Requests().size(), 1u);
  EXPECT_EQ(responder_.Requests()[0].text, "Cannot open GPS port");
  EXPECT_EQ(Shell.LoggingActive, 1);
  EXPECT_TRUE(IsWindowVisible(Shell.LoggingWindow));
}

TEST_F(LoggingRunTest, AMarkerOnTheInstrumentsOwnPortOpensNoSecondPort) {
  PtyPair instrument;
  LinkPort(1, instrument.slave_path());
  ASSERT_NE(OpenMainWindow(), nullptr);
  Settings.ExtMarkerPort = 1;  // COM1, the instrument's
  ClickMainButton(0);
  EXPECT_EQ(Shell.LoggingActive, 1);
  EXPECT_FALSE(Ports.marker.port);
}

TEST_F(LoggingRunTest, AMarkerOnItsOwnPortIsOpenedForTheRun) {
  PtyPair instrument;
  PtyPair marker;
  LinkPort(1, instrument.slave_path());
  LinkPort(7, marker.slave_path());
  ASSERT_NE(OpenMainWindow(), nullptr);
  Settings.ExtMarkerPort = 6;  // COM7
  ClickMainButton(0);
  EXPECT_EQ(Shell.LoggingActive, 1);
  EXPECT_TRUE(Ports.marker.port);
  StopLoggingRun(Shell.LoggingWindow);
  ExpectNothingOpen();
  ExpectDeviceFree(marker);
}

TEST_F(LoggingRunTest, AMarkerPortThatDoesNotOpenIsReportedAndTheRunGoesOn) {
  PtyPair instrument;
  LinkPort(1, instrument.slave_path());
  LinkBrokenPort(3);
  ASSERT_NE(OpenMainWindow(), nullptr);
  Settings.ExtMarkerPort = 3;
  responder_.OnMessageBox("Serial Port", IDOK);
  ClickMainButton(0);
  ASSERT_EQ(responder_.Requests().size(), 1u);
  EXPECT_EQ(responder_.Requests()[0].text, "Cannot open External Marker port");
  EXPECT_EQ(Shell.LoggingActive, 1);
}

TEST_F(LoggingRunTest, ClosingTheMainWindowEndsAnActiveRun) {
  PtyPair instrument;
  LinkPort(1, instrument.slave_path());
  WindowHandle main = OpenMainWindow();
  ASSERT_NE(main, nullptr);
  ClickMainButton(0);
  ASSERT_EQ(Shell.LoggingActive, 1);
  SendMessage(main, WM_CLOSE);
  EXPECT_FALSE(IsWindow(main));
  EXPECT_EQ(Shell.LoggingActive, 0);
  EXPECT_FALSE(Ports.instrument.port);
  EXPECT_FALSE(Ports.instrument.reader.joinable());
  ExpectDeviceFree(instrument);
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
