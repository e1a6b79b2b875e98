// Frame encoders against frames assembled by hand from the wire layouts.
#include "tools/sim/frame_encoding.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

namespace tq::sim {
namespace {

std::string Text(const std::vector<uint8_t>& bytes) { return {bytes.begin(), bytes.end()}; }

// The logger's conversion of a binary word, written out from its definition.
double WordValue(uint16_t w) { return (w * 5 / 1024.0 - 160.0) * 8.0; }

TEST(AsciiStatusTest, VerticalDividerAndRangeSixGive0x36) {
  AsciiStatus status;
  status.vertical = true;
  status.divider8 = true;
  status.range_code = 6;
  EXPECT_EQ(EncodeAsciiStatus(status), 0x36);
}

TEST(AsciiStatusTest, EachFlagSetsItsOwnBit) {
  AsciiStatus h;
  h.vertical = false;
  EXPECT_EQ(EncodeAsciiStatus(h), 0);
  AsciiStatus marked = h;
  marked.marker = true;
  EXPECT_EQ(EncodeAsciiStatus(marked), 64);
  AsciiStatus battery = h;
  battery.battery = true;
  battery.range_code = 4;
  EXPECT_EQ(EncodeAsciiStatus(battery), 5);
  AsciiStatus all{false, true, true, true, 7};
  EXPECT_EQ(EncodeAsciiStatus(all), 64 + 32 + 16 + 7);
}

TEST(Tq64StatusTest, SeparationBitsFollowTheInstrument) {
  // Vertical is the clear bit on this instrument, and 20 m sets neither
  // separation bit.
  EXPECT_EQ(EncodeTq64Status({false, true, 20, 4}), 4);
  EXPECT_EQ(EncodeTq64Status({false, true, 10, 4}), 16 + 4);
  EXPECT_EQ(EncodeTq64Status({false, true, 40, 4}), 24 + 4);
  EXPECT_EQ(EncodeTq64Status({true, false, 40, 0}), 64 + 32 + 24);
}

TEST(AsciiFieldTest, SignAndFourDigits) {
  EXPECT_EQ(FormatAsciiField(-400), "-0400");
  EXPECT_EQ(FormatAsciiField(0), "+0000");
  EXPECT_EQ(FormatAsciiField(1234), "+1234");
  EXPECT_EQ(FormatAsciiField(-9999), "-9999");
}

TEST(AsciiFieldTest, ValuesBeyondFourDigitsAreHeldAtTheLimit) {
  EXPECT_EQ(FormatAsciiField(10000), "+9999");
  EXPECT_EQ(FormatAsciiField(-123456), "-9999");
}

TEST(AsciiFrameTest, TwelveCharacterFrameEndsInCarriageReturn) {
  EXPECT_EQ(Text(EncodeAsciiFrame(0x36, -400, 25)), "T6-0400+0025\r");
}

TEST(AsciiFrameTest, SevenCharacterFrameHasOneField) {
  EXPECT_EQ(Text(EncodeAsciiFrame(0x27, 1200)), "T'+1200\r");
}

TEST(IceFrameTest, ThreeDigitsEachWithNoTerminator) {
  EXPECT_EQ(Text(EncodeIceFrame(153, 7)), "T153I007");
  EXPECT_EQ(Text(EncodeIceFrame(-5, 4000)), "T000I999");
}

TEST(BinaryFrameTest, WordsGoInWireOrderHighByteFirst) {
  Mk2Words words;
  words.a = 0x1122;
  words.b = 0x3344;
  words.c = 0x5566;
  words.d = 0x7788;
  words.e = 0x99AA;
  words.f = 0xBBCC;
  auto frame = EncodeBinaryFrame('T', kMk2StatusVertical, words);
  const std::array<uint8_t, 16> expected = {'T',  6,    0x55, 0x66, 0x77, 0x88, 0x11, 0x22,
                                            0x33, 0x44, 0x99, 0xAA, 0xBB, 0xCC, 0xFF, 0xFF};
  EXPECT_EQ(frame, expected);
}

TEST(Mk2WordTest, InvertsTheLoggersConversion) {
  for (int w : {0, 1, 1000, 32767, 32768, 33000, 40000, 65534, 65535}) {
    EXPECT_EQ(Mk2WordFor(WordValue(static_cast<uint16_t>(w))), w) << w;
  }
}

TEST(Mk2WordTest, ZeroIsMidScaleAndValuesRoundToTheNearestStep) {
  EXPECT_EQ(Mk2WordFor(0.0), 32768);
  // One step is 5 / 1024 * 8 = 0.0390625.
  EXPECT_EQ(Mk2WordFor(0.0390625 * 0.4), 32768);
  EXPECT_EQ(Mk2WordFor(0.0390625 * 0.6), 32769);
  EXPECT_NEAR(WordValue(Mk2WordFor(37.21)), 37.21, 0.0390625 / 2);
}

TEST(Mk2WordTest, OutOfReachValuesAreHeldAtTheEnds) {
  EXPECT_EQ(Mk2WordFor(5000.0), 65535);
  EXPECT_EQ(Mk2WordFor(-5000.0), 0);
  EXPECT_EQ(Mk2WordFor(std::nan("")), 32768);
}

TEST(Mk2WordsTest, InphaseWordsCarryTheirScales) {
  Mk2Values values{25.0, 2.5, 18.0, 1.2};
  Mk2Words words = Mk2WordsFor(values, 7, 9);
  EXPECT_NEAR(WordValue(words.a), 25.0, 0.02);
  EXPECT_NEAR(WordValue(words.b) * 0.028819, 2.5, 0.02 * 0.028819);
  EXPECT_NEAR(WordValue(words.c), 18.0, 0.02);
  EXPECT_NEAR(WordValue(words.d) * 0.00720475, 1.2, 0.02 * 0.00720475);
  EXPECT_EQ(words.e, 7);
  EXPECT_EQ(words.f, 9);
}

}  // namespace
}  // namespace tq::sim
