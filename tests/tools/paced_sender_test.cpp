// The paced sender over a real pseudo-terminal, read as the logger reads.
#include "tools/sim/paced_sender.h"

#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "platform/serial.h"
#include "tools/sim/pseudo_terminal.h"
#include "tools/sim/simulator.h"
#include "tests/tools/sim_test_support.h"

namespace tq::sim {
namespace {

using std::chrono::milliseconds;
using SteadyClock = std::chrono::steady_clock;

struct Line {
  std::unique_ptr<PseudoTerminal> pty = PseudoTerminal::Open();
  std::unique_ptr<SerialPort> port;

  Line() {
    EXPECT_NE(pty, nullptr);
    if (!pty) return;
    port = SerialPort::Open(pty->device());
    EXPECT_NE(port, nullptr);
    if (port) port->Configure(LineSettings{}, PortTimeouts{0, 0, 300, 0, 0});
  }
  SendBytes Sender() {
    return [p = pty.get()](std::span<const uint8_t> bytes) { return p->Send(bytes); };
  }
};

SimulatorOptions Kind7() {
  SimulatorOptions options;
  options.kind = 7;
  return options;
}

TEST(PacedSenderTest, FramesArriveWholeInOrderAtAboutTheirPeriod) {
  Line line;
  ASSERT_NE(line.port, nullptr);
  SimulatorOptions options = Kind7();
  std::vector<PacedStream> streams;
  streams.push_back(MakeInstrumentStream(options, line.Sender()));
  PacedSender sender(std::move(streams));
  std::vector<uint8_t> got = Collect(*line.port, milliseconds(1500));
  sender.Stop();
  got.resize(got.size() - got.size() % 16);
  size_t frames = got.size() / 16;
  // 1.5 s at 47 ms is about 32 frames; allow a slow machine plenty.
  EXPECT_GE(frames, 15u);
  EXPECT_LE(frames, 40u);
  EXPECT_EQ(got, ExpectedFrames(options, frames));
}

TEST(PacedSenderTest, LimitedStreamSendsExactlyItsLimitAndFinishes) {
  Line line;
  ASSERT_NE(line.port, nullptr);
  SimulatorOptions options = Kind7();
  options.readings = 12;
  std::vector<PacedStream> streams;
  streams.push_back(MakeInstrumentStream(options, line.Sender()));
  PacedSender sender(std::move(streams));
  EXPECT_TRUE(sender.WaitFinished(milliseconds(10000)));
  EXPECT_EQ(sender.SentCount(0), 12u);
  EXPECT_EQ(Collect(*line.port, milliseconds(3000)), ExpectedFrames(options, 12));
}

// One stream of one-byte messages whose sends all succeed or all fail.
std::vector<PacedStream> ByteStream(int period_ms, uint64_t limit, bool sends_succeed = true) {
  std::vector<PacedStream> streams(1);
  streams[0].period_ms = period_ms;
  streams[0].limit = limit;
  streams[0].next = [](uint64_t) { return std::vector<uint8_t>{'x'}; };
  streams[0].send = [sends_succeed](std::span<const uint8_t>) { return sends_succeed; };
  return streams;
}

TEST(PacedSenderTest, StopEndsAWaitAtOnce) {
  PacedSender sender(ByteStream(60000, 0));
  std::this_thread::sleep_for(milliseconds(50));
  auto start = SteadyClock::now();
  sender.Stop();
  EXPECT_LT(SteadyClock::now() - start, milliseconds(5000));
  EXPECT_EQ(sender.SentCount(0), 1u);
  EXPECT_TRUE(sender.Finished());
}

TEST(PacedSenderTest, UnlimitedStreamsNeverFinishOnTheirOwn) {
  PacedSender sender(ByteStream(5, 0));
  EXPECT_FALSE(sender.WaitFinished(milliseconds(200)));
  EXPECT_GT(sender.SentCount(0), 1u);
}

TEST(PacedSenderTest, FailedSendsAreCountedAndSendingGoesOn) {
  PacedSender sender(ByteStream(1, 5, false));
  ASSERT_TRUE(sender.WaitFinished(milliseconds(5000)));
  EXPECT_EQ(sender.FailedSends(), 5u);
}

TEST(PacedSenderTest, GpsSecondsInterleaveWithInstrumentFrames) {
  Line instrument;
  Line gps;
  ASSERT_NE(instrument.port, nullptr);
  ASSERT_NE(gps.port, nullptr);
  SimulatorOptions options = Kind7();
  options.readings = 45;  // a little over two seconds
  LocalTime fixed;
  fixed.year = 2024;
  fixed.month = 1;
  fixed.day = 2;
  std::vector<PacedStream> streams;
  streams.push_back(MakeInstrumentStream(options, instrument.Sender()));
  streams.push_back(MakeGpsStream(options, gps.Sender(), [&] { return fixed; }));
  PacedSender sender(std::move(streams));
  ASSERT_TRUE(sender.WaitFinished(milliseconds(20000)));
  // GPS goes out at 0, 1 and 2 s while the 45 frames take about 2.1 s.
  EXPECT_GE(sender.SentCount(1), 2u);
  EXPECT_LE(sender.SentCount(1), 4u);
  std::vector<uint8_t> text = Collect(*gps.port, milliseconds(2000));
  std::string all(text.begin(), text.end());
  size_t gga = 0;
  for (size_t at = all.find("$GPGGA"); at != std::string::npos; at = all.find("$GPGGA", at + 1)) {
    ++gga;
  }
  EXPECT_EQ(gga, sender.SentCount(1));
  EXPECT_NE(all.find("$GPRMC"), std::string::npos);
  EXPECT_NE(all.find(",020124,"), std::string::npos);
}

}  // namespace
}  // namespace tq::sim
