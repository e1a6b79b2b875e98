// The printf-style panel formats, built without the locale.
#include "instrument/decoding_text.h"

#include <gtest/gtest.h>

#include <string>

namespace tq {
namespace {

std::string SignedZeroPadded(int64_t value) {
  FieldText text;
  text.AppendSignedZeroPadded(value, 5);
  return std::string(text.view());
}

TEST(FieldTextFormats, SignedZeroPaddedFieldAlwaysHasASign) {
  EXPECT_EQ(SignedZeroPadded(-400), "-0400");
  EXPECT_EQ(SignedZeroPadded(200), "+0200");
  EXPECT_EQ(SignedZeroPadded(0), "+0000");
  EXPECT_EQ(SignedZeroPadded(-7), "-0007");
  EXPECT_EQ(SignedZeroPadded(12345), "+12345");  // wider than 5, like printf
}

TEST(FieldTextFormats, FixedValuesPadToTheirWidth) {
  EXPECT_EQ(FormatValueText("C:", 12.5f, "mS/m").view(), "C:12.50   mS/m");
  EXPECT_EQ(FormatValueText("I:", -0.5f, "").view(), "I:-0.50   ");
  EXPECT_EQ(FormatValueText("C:", 123456.789f, "").view(), "C:123456.79");
  EXPECT_EQ(FormatValueText("C:", -2000.0f, "").view(), "C:-2000.00");
  FieldText right;
  right.AppendFixed(10.0, 0, 2, false);
  EXPECT_EQ(right.view(), "10");
  FieldText padded;
  padded.AppendFixed(5.4, 0, 2, false);
  EXPECT_EQ(padded.view(), " 5");
}

TEST(FieldTextFormats, IntegersPadLeftOrRight) {
  FieldText left;
  left.AppendInt(10, 4, true).Append('|');
  EXPECT_EQ(left.view(), "10  |");
  EXPECT_EQ(FormatBatteryText(87).view(), " 87%");
  EXPECT_EQ(FormatBatteryText(100).view(), "100%");
}

TEST(FieldTextFormats, StationIsLeftJustifiedInEleven) {
  EXPECT_EQ(FormatStationText(0.0).view(), "0.00       ");
  EXPECT_EQ(FormatStationText(-2.5).view(), "-2.50      ");
  EXPECT_EQ(FormatStationText(12345678.125).view(), "12345678.12");
}

TEST(FieldTextState, OverlongTextIsCutAtCapacity) {
  FieldText huge;
  huge.Append("C:").AppendFixed(1.0e80, 2, 8, true);
  EXPECT_EQ(huge.view().size(), FieldText::kCapacity);
  EXPECT_EQ(huge.view().substr(0, 2), "C:");
}

}  // namespace
}  // namespace tq
