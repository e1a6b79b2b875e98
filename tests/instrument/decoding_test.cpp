// Frame decoding per kind, with expected values worked out by hand from the
// documented range tables and factors.
#include "instrument/decoding.h"

#include <gtest/gtest.h>

#include <string_view>
#include <vector>

#include "tests/instrument/decoding_frames.h"

#include "settings/build_config.h"

namespace tq {
namespace {

using testing::FrameBytes;
using testing::Mk2Frame;

Reading DecodeAscii(int32_t kind, std::string_view frame, int32_t component = 0,
                    int32_t variant = 0, int32_t mode = kSurveyModeAuto) {
  auto bytes = FrameBytes(frame);
  return DecodeAsciiFrame(bytes, AsciiDecodeSettings{kind, mode, component, variant});
}

// Present channels as (index, value) pairs, absent ones checked to be clear.
void ExpectChannels(const Reading& r, std::vector<std::pair<size_t, float>> expected) {
  std::array<bool, kProfileChannelCount> want{};
  for (auto [channel, value] : expected) {
    want[channel] = true;
    EXPECT_TRUE(r.channels[channel].present) << "channel " << channel;
    EXPECT_NEAR(r.channels[channel].value, value, 1e-4f) << "channel " << channel;
  }
  for (size_t i = 0; i < kProfileChannelCount; ++i) {
    if (!want[i]) {
      EXPECT_FALSE(r.channels[i].present) << "channel " << i;
      EXPECT_EQ(r.channels[i].value, 0.0f) << "channel " << i;
    }
  }
}

// What a one-quantity frame (kinds 2 and 3) decodes to: which quantity the
// frame carried, its range and both values.
struct QuantityFrame {
  int32_t quantity;
  int16_t range;
  float conductivity;
  float inphase;
};

void ExpectQuantityFrame(const Reading& r, const QuantityFrame& want) {
  EXPECT_EQ(r.quantity, want.quantity);
  EXPECT_EQ(r.range, want.range);
  EXPECT_FLOAT_EQ(r.conductivity, want.conductivity);
  EXPECT_FLOAT_EQ(r.inphase, want.inphase);
}

TEST(StatusByte, Status0x36IsUnmarkedVerticalDividedRangeSix) {
  StatusFields st = DecodeStatusByte(0x36, kKindTq62, kSurveyModeAuto);
  EXPECT_FALSE(st.battery);
  EXPECT_EQ(st.marker, 'N');
  EXPECT_EQ(st.dipole, 'V');
  EXPECT_EQ(st.divider, 8.0);
  EXPECT_EQ(st.rangeCode, 6);
}

TEST(StatusByte, Exactly128IsNotReducedByTheDecoder) {
  StatusFields st = DecodeStatusByte(128, kKindTq62, kSurveyModeAuto);
  EXPECT_EQ(st.marker, 'M');
  EXPECT_EQ(st.dipole, 'V');
  EXPECT_EQ(st.divider, 8.0);
  EXPECT_EQ(st.rangeCode, 8);
}

TEST(StatusByte, AboveOneTwentyEightLosesTheTopBit) {
  // 128 + 64 + 3: marked, horizontal, range 3, battery bit set.
  StatusFields st = DecodeStatusByte(195, kKindTq62, kSurveyModeAuto);
  EXPECT_TRUE(st.battery);
  EXPECT_EQ(st.marker, 'M');
  EXPECT_EQ(st.dipole, 'H');
  EXPECT_EQ(st.divider, 1.0);
  EXPECT_EQ(st.rangeCode, 3);
}

TEST(StatusByte, ManualModeNeverShowsTheMarker) {
  EXPECT_EQ(DecodeStatusByte(64 + 32, kKindTq68b, kSurveyModeManual).marker, 'N');
  EXPECT_EQ(DecodeStatusByte(64 + 32, kKindTq68b, kSurveyModeWheel).marker, 'M');
}

TEST(StatusByte, Tq64SeparationsAndModes) {
  struct Case {
    uint8_t status;
    char dipole;
    double separation;
    int32_t mode;
    int32_t code;
  };
  const Case cases[] = {
      {16 + 3, 'V', 10.0, 0, 3},       // bit 4: 10 m
      {3, 'V', 20.0, 1, 3},            // bits 3 and 4 clear: 20 m, not 10 m
      {8 + 3, 'V', 20.0, 1, 3},        // bit 3 alone: 20 m
      {24 + 3, 'V', 40.0, 2, 3},       // both: 40 m
      {32 + 16 + 3, 'H', 10.0, 3, 3},
      {32 + 3, 'H', 20.0, 4, 3},
      {32 + 24 + 5, 'H', 40.0, 5, 5},
  };
  for (const Case& c : cases) {
    StatusFields st = DecodeStatusByte(c.status, kKindTq64, kSurveyModeAuto);
    EXPECT_EQ(st.dipole, c.dipole) << int{c.status};
    EXPECT_EQ(st.separation, c.separation) << int{c.status};
    EXPECT_EQ(st.modeIndex, c.mode) << int{c.status};
    EXPECT_EQ(st.rangeCode, c.code) << int{c.status};
  }
}

TEST(FrameNumbers, FieldsThatAreNotNumbersReadAsZero) {
  auto frame = FrameBytes("T6ABCDE+0100");
  EXPECT_EQ(ReadFrameNumber(frame, 2, 5), 0);
  EXPECT_EQ(ReadFrameNumber(frame, 7, 5), 100);
  EXPECT_EQ(ReadFrameNumber(frame, 12, 5), 0);  // beyond the frame
  auto cut = FrameBytes(std::string_view("T6-04\0\0+0100", 12));
  EXPECT_EQ(ReadFrameNumber(cut, 2, 5), -4);
}

TEST(Tq62Decoding, Status0x36FieldMinusFourHundredIsOneHundred) {
  Reading r = DecodeAscii(kKindTq62, "T6-0400+0200");
  EXPECT_FLOAT_EQ(r.conductivity, 100.0f);  // -400 x -0.25; the x8 divider is not applied
  EXPECT_FLOAT_EQ(r.inphase, -0.5f);        // 200 x -0.0025
  EXPECT_EQ(r.range, 1000);
  EXPECT_EQ(r.dipole, 'V');
  EXPECT_EQ(r.marker, 'N');
  EXPECT_FALSE(r.battery);
  ExpectChannels(r, {{0, 100.0f}, {2, -0.5f}});
}

TEST(Tq62Decoding, ShortVariantDividesTheInphase) {
  Reading r = DecodeAscii(kKindTq62, "T6-0400+0200", 0, 1);
  EXPECT_FLOAT_EQ(r.inphase, static_cast<float>(-0.5 / 3.35));
}

TEST(Tq62Decoding, HorizontalUsesOddChannels) {
  // 0x16: horizontal, divider bit, range code 6.
  Reading r = DecodeAscii(kKindTq62, "T\x16-0400+0200");
  EXPECT_EQ(r.dipole, 'H');
  ExpectChannels(r, {{1, 100.0f}, {3, -0.5f}});
}

TEST(Tq62Decoding, RangeCodesPickTheirFactors) {
  // Status 32 + code: vertical.
  EXPECT_FLOAT_EQ(DecodeAscii(kKindTq62, "T -0400").conductivity, 100.0f);   // code 0
  EXPECT_FLOAT_EQ(DecodeAscii(kKindTq62, "T\"-0400").conductivity, 1.0f);    // code 2: 10, -0.0025
  EXPECT_EQ(DecodeAscii(kKindTq62, "T\"-0400").range, 10);
  EXPECT_FLOAT_EQ(DecodeAscii(kKindTq62, "T$-0400").conductivity, 10.0f);    // code 4: 100, -0.025
  EXPECT_EQ(DecodeAscii(kKindTq62, "T$-0400").range, 100);
  EXPECT_FLOAT_EQ(DecodeAscii(kKindTq62, "T&-0400").conductivity, 100.0f);   // code 6: 1000, -0.25
  EXPECT_FLOAT_EQ(DecodeAscii(kKindTq62, "T%-0400").conductivity, 1.0f);     // code 5: any other
}

TEST(Tq62Decoding, Status128ReadsAsRangeCodeEight) {
  Reading r = DecodeAscii(kKindTq62, "T\x80-0400+0000");
  EXPECT_EQ(r.dipole, 'V');
  EXPECT_EQ(r.marker, 'M');
  EXPECT_EQ(r.range, 1000);
  EXPECT_FLOAT_EQ(r.conductivity, 1.0f);  // any other code: -0.0025
}

TEST(Tq62Decoding, BatteryFrameScalesBothFieldsByK) {
  // '7' = 0x37: the battery bit stays in the range code, 7: k = -0.0025.
  Reading r = DecodeAscii(kKindTq62, "T7-0400+0200", 0, 1);
  EXPECT_TRUE(r.battery);
  EXPECT_FLOAT_EQ(r.conductivity, 1.0f);
  EXPECT_FLOAT_EQ(r.inphase, -0.5f);  // by k, without the Short variant's 3.35
  // '!' = 0x21: battery, vertical, code 1; '"' = 0x22 is not a battery frame.
  EXPECT_TRUE(DecodeAscii(kKindTq62, "T!-0400+0200").battery);
  EXPECT_FALSE(DecodeAscii(kKindTq62, "T\"-0400+0200").battery);
}

TEST(Tq62Decoding, InphaseComponentKeepsTheRawNumber) {
  Reading r = DecodeAscii(kKindTq62, "T6-0400+0200", 1, 0);
  EXPECT_FLOAT_EQ(r.conductivity, -400.0f);
  EXPECT_FLOAT_EQ(r.inphase, 25.0f);  // -400 x -0.25 x 0.25
  ExpectChannels(r, {{2, 25.0f}});

  Reading short_variant = DecodeAscii(kKindTq62, "T\x16-0400+0200", 1, 1);
  EXPECT_FLOAT_EQ(short_variant.inphase, static_cast<float>(-400 / 3.35));
  ExpectChannels(short_variant, {{3, static_cast<float>(-400 / 3.35)}});
}

TEST(Tq68bDecoding, FieldOneIsInphaseFieldTwoConductivity) {
  // '1' = 49: vertical, x8 divider, code 1 -> 1000, 100, -1.0, -0.00288, both / 8.
  Reading r = DecodeAscii(kKindTq68b, "T1-1000-0800");
  EXPECT_EQ(r.range, 1000);
  EXPECT_EQ(r.range2, 100);
  EXPECT_FLOAT_EQ(r.inphase, 0.36f);          // -1000 x -0.00036
  EXPECT_FLOAT_EQ(r.conductivity, 100.0f);    // -800 x -0.125
  ExpectChannels(r, {{0, 100.0f}, {2, 0.36f}});
}

TEST(Tq68bDecoding, CodesFourAndUpFoldOntoTheFirstFour) {
  // '%' = 37: vertical, code 5 -> 1, no divider.
  Reading r = DecodeAscii(kKindTq68b, "T%-1000-0100");
  EXPECT_EQ(r.range, 1000);
  EXPECT_FLOAT_EQ(r.conductivity, 100.0f);
  // '\x02': horizontal, code 2 -> 100, 1000, -0.1, -0.0288.
  Reading h = DecodeAscii(kKindTq68b, "T\x02-0100-0100");
  EXPECT_EQ(h.range, 100);
  EXPECT_EQ(h.range2, 1000);
  EXPECT_FLOAT_EQ(h.inphase, 2.88f);
  EXPECT_FLOAT_EQ(h.conductivity, 10.0f);
  ExpectChannels(h, {{1, 10.0f}, {3, 2.88f}});
}

TEST(Tq68ddDecoding, ConductivityFrameFillsBothDipoleChannels) {
  // '\'' = 39: code 7 -> conductivity, remaining code 3: -1.0, range 1000.
  Reading r = DecodeAscii(kKindTq68dd, "T'-0100+0050");
  ExpectQuantityFrame(r, {2, 1000, 100.0f, -50.0f});
  ExpectChannels(r, {{0, 100.0f}, {1, -50.0f}});
}

TEST(Tq68ddDecoding, InphaseFrameWithDividerUsesChannelsTwoAndThree) {
  // '3' = 51: divider 8, code 3 -> inphase, -0.0288.
  // Conductivity -1000 / 8 x -0.0288, inphase 500 / 8 x -0.0288.
  Reading r = DecodeAscii(kKindTq68dd, "T3-1000+0500");
  ExpectQuantityFrame(r, {1, 1000, 3.6f, -1.8f});
  ExpectChannels(r, {{2, 3.6f}, {3, -1.8f}});
  // ' ' = 32: code 0 -> inphase, -0.00288, range 100.
  Reading low = DecodeAscii(kKindTq68dd, "T -1000+0000");
  EXPECT_EQ(low.range, 100);
  EXPECT_FLOAT_EQ(low.conductivity, 2.88f);
}

TEST(Tq68Decoding, SevenCharacterConductivityFrame) {
  // '$' = 36: vertical, code 4 -> conductivity, code 0: range 100, -0.1.
  Reading r = DecodeAscii(kKindTq68, "T$-0500");
  ExpectQuantityFrame(r, {2, 100, 50.0f, 0.0f});
  ExpectChannels(r, {{0, 50.0f}});
}

TEST(Tq68Decoding, HorizontalInphaseFrameWithDivider) {
  // 0x13 = 19: horizontal, divider 8, code 3 -> inphase, 1000, -0.0288 / 8.
  Reading r = DecodeAscii(kKindTq68, "T\x13-1000+9999");
  ExpectQuantityFrame(r, {1, 1000, 0.0f, 3.6f});
  ExpectChannels(r, {{3, 3.6f}});
}

TEST(Tq64Decoding, ChannelFollowsTheModeAndInphaseHoldsTheSeparation) {
  struct Case {
    std::string_view frame;
    size_t channel;
    float separation;
  };
  // Code 3 everywhere: range 30, k = -0.0075; -1000 gives 7.5.
  const Case cases[] = {{"T\x13-1000", 0, 10.0f}, {"T\x03-1000", 1, 20.0f},
                        {"T\x1b-1000", 2, 40.0f}, {"T\x33-1000", 3, 10.0f},
                        {"T\x23-1000", 4, 20.0f}, {"T\x3b-1000", 5, 40.0f}};
  for (const Case& c : cases) {
    Reading r = DecodeAscii(kKindTq64, c.frame);
    EXPECT_EQ(r.range, 30);
    EXPECT_FLOAT_EQ(r.conductivity, 7.5f);
    EXPECT_FLOAT_EQ(r.inphase, c.separation);
    ExpectChannels(r, {{c.channel, 7.5f}});
  }
}

TEST(Tq64Decoding, RangeTable) {
  // Vertical, 20 m (bits clear), code in the low bits.
  Reading lowest = DecodeAscii(kKindTq64, std::string_view("T\x00-1000", 7));
  EXPECT_EQ(lowest.range, 3);
  EXPECT_FLOAT_EQ(lowest.conductivity, 0.75f);  // -0.00075
  EXPECT_EQ(DecodeAscii(kKindTq64, "T\x04-1000").range, 100);
  EXPECT_FLOAT_EQ(DecodeAscii(kKindTq64, "T\x05-1000").conductivity, 75.0f);  // 300, -0.075
  EXPECT_EQ(DecodeAscii(kKindTq64, "T\x07-1000").range, 1000);
  EXPECT_FLOAT_EQ(DecodeAscii(kKindTq64, "T\x07-1000").conductivity, 250.0f);
}

TEST(Tq93Decoding, SecondFieldTimesMinusAQuarter) {
  // '$' = 36: code 4 -> 100, -2.5.
  Reading r = DecodeAscii(kKindTq93, "T$-0040+0100");
  EXPECT_EQ(r.range, 100);
  EXPECT_FLOAT_EQ(r.conductivity, 100.0f);
  EXPECT_FLOAT_EQ(r.inphase, -25.0f);
  ExpectChannels(r, {{0, 100.0f}, {2, -25.0f}});
  EXPECT_EQ(DecodeAscii(kKindTq93, "T!-0040+0100").range, 10);  // code 1: 10, -0.25
  EXPECT_FLOAT_EQ(DecodeAscii(kKindTq93, "T!-0040+0100").conductivity, 10.0f);
}

TEST(Frz62Decoding, ThicknessInCentimetresAndInphase) {
  Reading r = DecodeAscii(kKindFrz62, "T123I456");
  EXPECT_FLOAT_EQ(r.conductivity, 1.23f);
  EXPECT_FLOAT_EQ(r.inphase, 456.0f);
  EXPECT_EQ(r.dipole, 'V');
  EXPECT_EQ(r.range, 100);
  EXPECT_EQ(r.marker, 'N');
  ExpectChannels(r, {{0, 1.23f}, {2, 456.0f}});
}

TEST(Mk2Words, ConversionAtKnownWords) {
  EXPECT_DOUBLE_EQ(ConvertMk2Word(0), -1280.0);
  EXPECT_DOUBLE_EQ(ConvertMk2Word(32768), 0.0);           // 32768 x 5 / 1024 = 160
  EXPECT_DOUBLE_EQ(ConvertMk2Word(33792), 40.0);          // 165 - 160 = 5, x 8
  EXPECT_DOUBLE_EQ(ConvertMk2Word(65535), 1279.9609375);  // (319.9951171875 - 160) x 8
}

const Mk2Offsets kOffsets = {1.0f, 2.0f, 3.0f, 4.0f, 5.0f, 6.0f};

TEST(Mk2Decoding, VerticalFrameUsesO1ToO4AndEvenChannels) {
  // A = B = 33792 (u = 40), C = 34816 (u = 80), D = 35840 (u = 120).
  auto frame = Mk2Frame('T', 6, 33792, 33792, 34816, 35840, 7, 8);
  Reading r = DecodeBinaryFrame(frame, kOffsets);
  EXPECT_EQ(r.dipole, 'V');
  EXPECT_EQ(r.marker, 'N');
  EXPECT_FLOAT_EQ(r.conductivity, 41.0f);
  EXPECT_FLOAT_EQ(r.inphase, static_cast<float>(40 * 0.028819 - 3));
  EXPECT_FLOAT_EQ(r.conductivity2, 82.0f);
  EXPECT_FLOAT_EQ(r.inphase2, static_cast<float>(120 * 0.00720475 - 4));
  EXPECT_EQ(r.rawWords, (std::array<uint16_t, 6>{33792, 33792, 34816, 35840, 7, 8}));
  ExpectChannels(r, {{0, 41.0f},
                     {2, static_cast<float>(40 * 0.028819 - 3)},
                     {4, 82.0f},
                     {6, static_cast<float>(120 * 0.00720475 - 4)}});
}

TEST(Mk2Decoding, HorizontalFrameUsesO5AndO6AndOddChannels) {
  auto frame = Mk2Frame('t', 2, 33792, 33792, 34816, 35840, 0, 0);
  Reading r = DecodeBinaryFrame(frame, kOffsets);
  EXPECT_EQ(r.dipole, 'H');
  EXPECT_EQ(r.marker, 'N');
  EXPECT_FLOAT_EQ(r.inphase, static_cast<float>(40 * 0.028819 - 5));
  EXPECT_FLOAT_EQ(r.inphase2, static_cast<float>(120 * 0.00720475 - 6));
  ExpectChannels(r, {{1, 41.0f},
                     {3, static_cast<float>(40 * 0.028819 - 5)},
                     {5, 82.0f},
                     {7, static_cast<float>(120 * 0.00720475 - 6)}});
}

TEST(Mk2Decoding, AddedMarkerBitsMarkTheReading) {
  Reading external_vertical = DecodeBinaryFrame(Mk2Frame('T', 22, 0, 0, 0, 0, 0, 0), kOffsets);
  EXPECT_EQ(external_vertical.marker, 'M');
  EXPECT_EQ(external_vertical.dipole, 'V');
  Reading external_horizontal = DecodeBinaryFrame(Mk2Frame('T', 18, 0, 0, 0, 0, 0, 0), kOffsets);
  EXPECT_EQ(external_horizontal.marker, 'M');
  EXPECT_EQ(external_horizontal.dipole, 'H');
  Reading soft = DecodeBinaryFrame(Mk2Frame('T', 14, 0, 0, 0, 0, 0, 0), kOffsets);
  EXPECT_EQ(soft.marker, 'M');
  EXPECT_EQ(soft.dipole, 'V');
}

TEST(Mk2Decoding, ShortFrameReadsMissingBytesAsZero) {
  std::vector<uint8_t> frame = {'T', 6, 0x80, 0x00};
  Reading r = DecodeBinaryFrame(frame, Mk2Offsets{});
  EXPECT_EQ(r.rawWords[kWordC], 0x8000);
  EXPECT_FLOAT_EQ(r.conductivity2, 0.0f);
  EXPECT_FLOAT_EQ(r.conductivity, -1280.0f);
}

}  // namespace
}  // namespace tq
