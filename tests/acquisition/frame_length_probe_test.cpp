// DetectFrameLength over a real pseudo-terminal: kind 3 instruments send 7- or
// 12-character frames, and the logger must find out which before reading.
#include <gtest/gtest.h>

#include <chrono>

#include "acquisition/readers.h"
#include "acquisition/serial_ports.h"
#include "platform/clock.h"
#include "tests/instrument/frame_bytes.h"
#include "tests/acquisition/reader_rig.h"
#include "tests/support/pty_pair.h"

namespace tq {
namespace {

using std::chrono::milliseconds;
using SteadyClock = std::chrono::steady_clock;
using testing::AsciiFrame;
using testing::PtyPair;

class FrameLengthProbeTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string error;
    port_ = SerialPort::Open(pty_.slave_path(), &error);
    ASSERT_NE(port_, nullptr) << error;
    ASSERT_TRUE(port_->Configure(InstrumentLineSettings(kKindTq68), InstrumentPortTimeouts(), &error));
    settings_.ReadingInterval = 0.2f;
  }

  int Detect() { return DetectFrameLength(*port_, state_, settings_); }

  long ElapsedMs(SteadyClock::time_point since) {
    return static_cast<long>(
        std::chrono::duration_cast<milliseconds>(SteadyClock::now() - since).count());
  }

  PtyPair pty_;
  std::unique_ptr<SerialPort> port_;
  AcquisitionState state_;
  SettingsStore settings_;
};

TEST_F(FrameLengthProbeTest, TwelveCharacterFrameSetsLengthAndTiming) {
  pty_.Send("00\r" + AsciiFrame('T', '1', "00123", "00045") + "\r");
  EXPECT_EQ(Detect(), 1);
  EXPECT_EQ(state_.FrameLength.load(), 12);
  EXPECT_FLOAT_EQ(settings_.FramePeriodMs, 91.0f);
  EXPECT_EQ(settings_.FramesPerInterval, 2);
  EXPECT_EQ(settings_.ReadingsPerSecond, 4);
}

TEST_F(FrameLengthProbeTest, SevenCharacterFrameSetsLengthAndTiming) {
  pty_.Send("5\r" + AsciiFrame('T', '1', "00123") + "\r");
  EXPECT_EQ(Detect(), 1);
  EXPECT_EQ(state_.FrameLength.load(), 7);
  EXPECT_FLOAT_EQ(settings_.FramePeriodMs, 72.0f);
  EXPECT_EQ(settings_.FramesPerInterval, 3);
  EXPECT_EQ(settings_.ReadingsPerSecond, 4);
}

TEST_F(FrameLengthProbeTest, ReadingsPerSecondIsClampedPerFrameLength) {
  // 20 readings a second are asked for; short frames allow 14, long ones 11.
  settings_.ReadingInterval = 0.05f;
  pty_.Send(AsciiFrame('T', '1', "00123") + "\r");
  ASSERT_EQ(Detect(), 1);
  EXPECT_EQ(settings_.ReadingsPerSecond, 14);
  pty_.Send(AsciiFrame('T', '1', "00123", "00045") + "\r");
  ASSERT_EQ(Detect(), 1);
  EXPECT_EQ(settings_.ReadingsPerSecond, 11);
}

TEST_F(FrameLengthProbeTest, OtherLengthFailsAtOnce) {
  settings_.FramePeriodMs = 47.0f;
  pty_.Send("T12345678\r");
  auto start = SteadyClock::now();
  EXPECT_EQ(Detect(), 0);
  EXPECT_LT(ElapsedMs(start), 1500);
  EXPECT_FLOAT_EQ(settings_.FramePeriodMs, 47.0f);  // untouched
}

TEST_F(FrameLengthProbeTest, NoInstrumentGivesUpAfterTwoSeconds) {
  state_.FrameLength = 12;
  auto start = SteadyClock::now();
  EXPECT_EQ(Detect(), 0);
  long elapsed = ElapsedMs(start);
  EXPECT_GE(elapsed, 1990);
  EXPECT_LT(elapsed, 4500);
  EXPECT_EQ(state_.FrameLength.load(), 7);
}

TEST_F(FrameLengthProbeTest, FrameStartedBeforeTheBoundGetsItsWholeSecond) {
  struct Case {
    uint32_t t_at;
    uint32_t cr_at;
    int expected;
  };
  const Case cases[] = {
      {1950, 2050, 1},  // the carriage return after the 2000 ms bound still counts
      {1950, 2949, 1},
      {1950, 2950, 0},  // a second after its "T": too late
  };
  // The bytes come over the pseudo-terminal; the fake clock says when.
  testing::ObservedPort port(std::move(port_));
  for (const Case& c : cases) {
    FakeClock clock;
    InstallClock(&clock);
    size_t read = 0;
    port.after_read = [&](ReadResult result) {
      if (result != ReadResult::kByte) return clock.Advance(2000);  // silence outlasts all
      // Byte 0 is the "T"; the last digit (6) and the carriage return come later.
      if (read == 0) clock.SetTick(c.t_at);
      if (read == 6) clock.SetTick(c.cr_at);
      ++read;
    };
    pty_.Send(AsciiFrame('T', '1', "00123") + "\r");
    EXPECT_EQ(DetectFrameLength(port, state_, settings_), c.expected) << c.t_at << " " << c.cr_at;
    InstallClock(nullptr);
    port.PurgeReceive();
  }
}

TEST_F(FrameLengthProbeTest, ClosedPortEndsTheProbe) {
  port_->Close();
  EXPECT_EQ(Detect(), 0);
}

}  // namespace
}  // namespace tq
