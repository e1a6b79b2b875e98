// The reader threads over real pseudo-terminals: framing, counting, posting,
// marker bits, and how they end.
#include "acquisition/readers.h"

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "platform/clock.h"
#include "tests/instrument/frame_bytes.h"
#include "tests/acquisition/reader_rig.h"

namespace tq {
namespace {

using std::chrono::milliseconds;
using SteadyClock = std::chrono::steady_clock;
using testing::AsciiFrame;
using testing::BinaryFrame;
using testing::BinaryWire;
using testing::Bytes;
using testing::Concat;
using testing::Filler;
using testing::ReaderRig;
using testing::ToBytes;

std::string Text(const Bytes& bytes) { return std::string(bytes.begin(), bytes.end()); }

std::string LastFrameText(const AcquisitionState& state) {
  FrameBytes frame = state.LastFrame();
  return std::string(reinterpret_cast<const char*>(frame.data()));
}

// --- ASCII reader --------------------------------------------------------

TEST(AsciiReaderTest, StrayCharactersBeforeAFrameAreIgnored) {
  ReaderRig rig;
  rig.state.FrameLength = 7;  // only kind 3 keeps a measured length
  rig.state.MissedTicks = 4;
  rig.state.LastFrameTick = 0xDEADBEEF;
  rig.Start(&AsciiReader, kKindTq62);
  EXPECT_EQ(rig.port().Purges(), "TR");  // transmit, then receive
  EXPECT_EQ(rig.state.FrameLength.load(), 12);

  std::string frame = AsciiFrame('T', '1', "01234", "-0056");
  rig.Send("#%" + frame + "\r");
  Bytes got;
  ASSERT_TRUE(rig.NextReading(WM_INSTRUMENT_READING, &got));
  EXPECT_EQ(Text(got), frame);
  EXPECT_EQ(LastFrameText(rig.state), frame);
  EXPECT_EQ(rig.state.MissedTicks.load(), 0);
  EXPECT_LE(Tick() - rig.state.LastFrameTick.load(), 5000u);
  EXPECT_EQ(rig.Stop(), 0);
}

TEST(AsciiReaderTest, EarlyCarriageReturnPostsNothing) {
  ReaderRig rig;
  rig.Start(&AsciiReader, kKindTq68b);
  std::string frame = AsciiFrame('T', '0', "00250", "00013");
  rig.Send("T0002\r" + frame + "\r");
  Bytes got;
  ASSERT_TRUE(rig.NextReading(WM_INSTRUMENT_READING, &got));
  EXPECT_EQ(Text(got), frame);
  EXPECT_EQ(rig.window.Size(), 0u);
}

TEST(AsciiReaderTest, WrongStartLettersCountTowardsTheReading) {
  ReaderRig rig;
  rig.state.FramesPerReading = 5;
  rig.state.FrameCounter = 3;  // left from before; the reader starts at 0
  rig.Start(&AsciiReader, kKindTq93);
  std::string goods[8];
  for (int i = 0; i < 8; ++i) goods[i] = AsciiFrame('T', '1', "0000" + std::to_string(i), "00000");
  std::string bad = AsciiFrame('S', '1', "99999", "99999");
  // Three good and two bad: exactly one reading, after the fifth frame.
  rig.Send(goods[0] + "\r" + bad + "\r" + goods[1] + "\r" + bad + "\r" + goods[2] + "\r");
  Bytes got;
  ASSERT_TRUE(rig.NextReading(WM_INSTRUMENT_READING, &got));
  EXPECT_EQ(Text(got), goods[2]);
  // Five more good frames make the next reading, and nothing comes between.
  for (int i = 3; i < 8; ++i) rig.Send(goods[i] + "\r");
  ASSERT_TRUE(rig.NextReading(WM_INSTRUMENT_READING, &got));
  EXPECT_EQ(Text(got), goods[7]);
  EXPECT_EQ(rig.window.Size(), 0u);
  EXPECT_EQ(rig.state.FrameCounter.load(), 0);
}

TEST(AsciiReaderTest, OverlongLineKeepsTheFrameThatStraddlesTheLimit) {
  ReaderRig rig;
  rig.Start(&AsciiReader, kKindTq64);
  std::string straddling = AsciiFrame('T', '1', "11111", "11111");
  std::string next = AsciiFrame('T', '2', "22222", "22222");
  rig.Send(Concat({Filler(172), ToBytes(straddling + "\r" + next + "\r")}));
  Bytes got;
  for (const std::string& expected : {straddling, next}) {
    ASSERT_TRUE(rig.NextReading(WM_INSTRUMENT_READING, &got));
    EXPECT_EQ(Text(got), expected);
  }
}

TEST(AsciiReaderTest, KindThreeKeepsTheMeasuredFrameLength) {
  ReaderRig rig;
  rig.state.FrameLength = 7;
  rig.Start(&AsciiReader, kKindTq68);
  std::string frame = AsciiFrame('T', '4', "00321");
  rig.Send("0000" + frame + "\r");
  Bytes got;
  ASSERT_TRUE(rig.NextReading(WM_INSTRUMENT_READING, &got));
  EXPECT_EQ(Text(got), frame);
  EXPECT_EQ(rig.state.FrameLength.load(), 7);
}

// --- Binary reader -------------------------------------------------------

const Bytes kMk2 = BinaryFrame('T', 0x04, {0x1234, 0x0056, 0xFF00, 0x00FF, 0x7FFF, 0x8000});

TEST(BinaryReaderTest, LowercaseStartIsAcceptedAndALoneFFIsNoEnd) {
  ReaderRig rig;
  rig.Start(&BinaryReader, kKindTq68Mk2);
  EXPECT_EQ(rig.state.FrameLength.load(), 14);
  Bytes lower = BinaryFrame('t', 0x00, {1, 2, 3, 4, 5, 6});
  rig.Send(Concat({kMk2, Bytes{0xFF}, BinaryWire(lower)}));
  Bytes got;
  ASSERT_TRUE(rig.NextReading(WM_BINARY_READING, &got));
  EXPECT_EQ(got, lower);
  EXPECT_EQ(rig.window.Size(), 0u);
}

TEST(BinaryReaderTest, KeepsTheFrameCounterItFinds) {
  ReaderRig rig;
  rig.state.FramesPerReading = 3;
  rig.state.FrameCounter = 2;
  rig.Start(&BinaryReader, kKindTq68Mk2);
  rig.Send(BinaryWire(kMk2));
  Bytes got;
  ASSERT_TRUE(rig.NextReading(WM_BINARY_READING, &got));
  EXPECT_EQ(got, kMk2);
}

TEST(BinaryReaderTest, MarkerLineAndSoftMarkerAddToTheStatusByte) {
  ReaderRig rig;
  rig.Start(&BinaryReader, kKindTq68Mk2);
  struct Step {
    int32_t line, soft;
    uint8_t status;
  };
  const Step steps[] = {{kModemCts, 0, 0x04 + 16}, {0, 1, 0x04 + 8}, {kModemCts, 1, 0x04 + 24},
                        {0, 0, 0x04}};
  for (const Step& s : steps) {
    rig.state.ExtMarkerLine = s.line;
    rig.state.SoftMarkerDown = s.soft;
    rig.Send(BinaryWire(kMk2));
    Bytes got;
    ASSERT_TRUE(rig.NextReading(WM_BINARY_READING, &got));
    EXPECT_EQ(got[1], s.status) << "line " << s.line << " soft " << s.soft;
    EXPECT_EQ(rig.state.LastFrame()[1], s.status);
    got[1] = kMk2[1];
    EXPECT_EQ(got, kMk2);  // nothing else changes
  }
}

TEST(BinaryReaderTest, StatusAdditionWrapsModulo256) {
  ReaderRig rig;
  rig.Start(&BinaryReader, kKindTq68Mk2);
  rig.state.ExtMarkerLine = kModemDcd;
  rig.state.SoftMarkerDown = 1;
  rig.Send(BinaryWire(BinaryFrame('T', 0xF4, {0, 0, 0, 0, 0, 0})));
  Bytes got;
  ASSERT_TRUE(rig.NextReading(WM_BINARY_READING, &got));
  EXPECT_EQ(got[1], 0x0C);
}

TEST(BinaryReaderTest, MarkerOnTheInstrumentPortIsReadFromItsModemLines) {
  ReaderRig rig;
  rig.port().modem_status = kModemCts;
  rig.Start(&BinaryReader, kKindTq68Mk2, /*marker_on_port=*/true);
  rig.Send(BinaryWire(kMk2));
  Bytes got;
  ASSERT_TRUE(rig.NextReading(WM_BINARY_READING, &got));
  EXPECT_EQ(got[1], 0x04 + 16);
  EXPECT_EQ(rig.state.ExtMarkerLine.load(), static_cast<int32_t>(kModemCts));

  rig.port().modem_status = 0;
  rig.Send(BinaryWire(kMk2));
  ASSERT_TRUE(rig.NextReading(WM_BINARY_READING, &got));
  EXPECT_EQ(got[1], 0x04);
}

TEST(BinaryReaderTest, SeparateMarkerPortLeavesTheInstrumentLinesAlone) {
  ReaderRig rig;
  rig.port().modem_status = kModemCts;  // not the marker: must be ignored
  rig.Start(&BinaryReader, kKindTq68Mk2, /*marker_on_port=*/false);
  rig.Send(BinaryWire(kMk2));
  Bytes got;
  ASSERT_TRUE(rig.NextReading(WM_BINARY_READING, &got));
  EXPECT_EQ(got[1], 0x04);
  EXPECT_EQ(rig.state.ExtMarkerLine.load(), 0);
}

TEST(BinaryReaderTest, EachMessageTakesItsOwnFrameWhenTheWindowLags) {
  ReaderRig rig;
  rig.Start(&BinaryReader, kKindTq68Mk2);
  Bytes wire;
  std::vector<Bytes> frames;
  for (uint16_t i = 0; i < 5; ++i) {
    frames.push_back(BinaryFrame('T', 0x00, {i, 0, 0, 0, 0, 0}));
    wire = Concat({wire, BinaryWire(frames.back())});
  }
  rig.Send(wire);
  // The window handles nothing until all five messages are waiting.
  auto deadline = SteadyClock::now() + milliseconds(3000);
  while (rig.window.Size() < 5 && SteadyClock::now() < deadline) {
    std::this_thread::sleep_for(milliseconds(5));
  }
  ASSERT_EQ(rig.window.Size(), 5u);
  EXPECT_EQ(rig.state.LastFrame()[3], 4);  // LastFrame is the newest
  for (const Bytes& expected : frames) {
    Bytes got;
    ASSERT_TRUE(rig.NextReading(WM_BINARY_READING, &got, 0));
    EXPECT_EQ(got, expected);
  }
  PostedFrame none;
  EXPECT_FALSE(rig.state.TakeReading(&none));
}

// --- Ice reader ----------------------------------------------------------

TEST(IceReaderTest, AcceptsBackToBackFrames) {
  ReaderRig rig;
  rig.Start(&IceReader, kKindFrz62);
  EXPECT_EQ(rig.state.FrameLength.load(), 8);
  rig.Send("T123I456T789I012");
  Bytes got;
  ASSERT_TRUE(rig.NextReading(WM_ICE_READING, &got));
  EXPECT_EQ(Text(got), "T123I456");
  ASSERT_TRUE(rig.NextReading(WM_ICE_READING, &got));
  EXPECT_EQ(Text(got), "T789I012");
}

TEST(IceReaderTest, PatternBreakCountsAFrameAndKeepsTheFrameBehindIt) {
  ReaderRig rig;
  rig.state.FramesPerReading = 2;
  rig.Start(&IceReader, kKindFrz62);
  // Each burst holds line noise and then whole frames, all in the port at
  // once: a letter where the third digit belongs (the rest of that frame is
  // skipped, not counted again), a stray byte, half a frame cut short by the
  // next one. Each break counts as one frame, so every second frame is
  // posted, and no good frame may be purged away with the noise.
  rig.Send("T12XI456T789I012");
  rig.Send("#T345I678T90T123I456");
  Bytes got;
  for (const char* expected : {"T789I012", "T345I678", "T123I456"}) {
    ASSERT_TRUE(rig.NextReading(WM_ICE_READING, &got)) << expected;
    EXPECT_EQ(Text(got), expected);
  }
  EXPECT_EQ(rig.port().Purges(), "TR");  // only the one at start
}

// --- Every reader: how it ends --------------------------------------------

struct ReaderCase {
  const char* name;
  ReaderFunction reader;
  int32_t kind;
};

class ReaderLifecycleTest : public ::testing::TestWithParam<ReaderCase> {};

TEST_P(ReaderLifecycleTest, CloseReleasesABlockedReadAtOnce) {
  ReaderRig rig;
  rig.Start(GetParam().reader, GetParam().kind);
  std::this_thread::sleep_for(milliseconds(100));
  auto start = SteadyClock::now();
  EXPECT_EQ(rig.Stop(), 0);
  auto elapsed = std::chrono::duration_cast<milliseconds>(SteadyClock::now() - start);
  EXPECT_LT(elapsed.count(), 1000);  // the read timeout is 2000 ms
}

TEST_P(ReaderLifecycleTest, VanishedDeviceDoesNotSpin) {
  ReaderRig rig;
  rig.Start(GetParam().reader, GetParam().kind);
  rig.pty.Hangup();
  std::this_thread::sleep_for(milliseconds(3000));
  EXPECT_EQ(rig.Stop(), 0);
  // A spinning reader would burn most of the three seconds.
  EXPECT_LT(rig.cpu_seconds(), 0.15);
}

INSTANTIATE_TEST_SUITE_P(Readers, ReaderLifecycleTest,
                         ::testing::Values(ReaderCase{"Ascii", &AsciiReader, kKindTq62},
                                           ReaderCase{"Ice", &IceReader, kKindFrz62},
                                           ReaderCase{"Binary", &BinaryReader, kKindTq68Mk2}),
                         [](const ::testing::TestParamInfo<ReaderCase>& c) { return std::string(c.param.name); });

TEST(ReaderForKindTest, FollowsTheFrameSyntaxOfEachKind) {
  for (int32_t kind = 0; kind <= 5; ++kind) EXPECT_EQ(ReaderForKind(kind), &AsciiReader) << kind;
  EXPECT_EQ(ReaderForKind(kKindFrz62), &IceReader);
  EXPECT_EQ(ReaderForKind(kKindTq68Mk2), &BinaryReader);
}

}  // namespace
}  // namespace tq
