// Reading single lines of the settings file and parsing their values.
#include <gtest/gtest.h>

#include <cfloat>
#include <climits>
#include <string>
#include <string_view>

#include "settings/settings.h"

namespace tq {
namespace {

struct Line {
  int length;
  std::string text;
};

Line Take(std::string_view& file, size_t size = kSettingsLineSize) {
  std::string buffer(size, '#');
  int length = ReadSettingsLine(file, std::span<char>(buffer.data(), buffer.size()));
  return Line{length, length < 0 ? std::string() : buffer.substr(0, static_cast<size_t>(length))};
}

TEST(ReadSettingsLineTest, DropsCrLfAndReadsLineByLine) {
  std::string_view file = "CEVer2.11\r\n42\r\n\r\n\n-25.000000\r\n";
  EXPECT_EQ(Take(file).text, "CEVer2.11");
  EXPECT_EQ(Take(file).text, "42");
  Line empty = Take(file);
  EXPECT_EQ(empty.length, 0);
  EXPECT_EQ(Take(file).length, 0);  // a bare LF is an empty line
  EXPECT_EQ(Take(file).text, "-25.000000");
  EXPECT_EQ(Take(file).length, -1);
  EXPECT_EQ(Take(file).length, -1);  // and stays at the end
}

TEST(ReadSettingsLineTest, LastLineWithoutLineFeedIsStillALine) {
  std::string_view file = "1\r\n17";
  EXPECT_EQ(Take(file).text, "1");
  Line last = Take(file);
  EXPECT_EQ(last.length, 2);
  EXPECT_EQ(last.text, "17");
  EXPECT_EQ(Take(file).length, -1);
}

TEST(ReadSettingsLineTest, LineFeedOnlyEndingsKeepTheLastCharacter) {
  std::string_view file = "10\n16711680\n";
  EXPECT_EQ(Take(file).text, "10");
  EXPECT_EQ(Take(file).text, "16711680");
}

TEST(ReadSettingsLineTest, OverlongLineIsCutAndItsRestSkipped) {
  std::string_view file = "ABCDEFGHIJKLMNOP\r\nnext\r\n";
  std::string buffer(8, '#');
  std::string guard = "guard";
  int length = ReadSettingsLine(file, std::span<char>(buffer.data(), 5));
  EXPECT_EQ(length, 4);
  EXPECT_EQ(buffer.substr(0, 5), std::string("ABCD\0", 5));
  EXPECT_EQ(buffer.substr(5), "###");  // nothing written past the span
  EXPECT_EQ(Take(file).text, "next");
}

TEST(ReadSettingsLineTest, OneByteBufferHoldsOnlyTheTerminator) {
  std::string_view file = "123\r\n";
  char buffer[1] = {'#'};
  EXPECT_EQ(ReadSettingsLine(file, buffer), 0);
  EXPECT_EQ(buffer[0], '\0');
  EXPECT_TRUE(file.empty());
}

TEST(ParseSettingsIntegerTest, ReadsTheLeadingDecimalInteger) {
  EXPECT_EQ(ParseSettingsInteger("16711680"), 16711680);
  EXPECT_EQ(ParseSettingsInteger("-3"), -3);
  EXPECT_EQ(ParseSettingsInteger("+5"), 5);
  EXPECT_EQ(ParseSettingsInteger("  7"), 7);
  EXPECT_EQ(ParseSettingsInteger("12abc"), 12);
  EXPECT_EQ(ParseSettingsInteger("2.9"), 2);
}

TEST(ParseSettingsIntegerTest, TextWithoutDigitsIsZero) {
  EXPECT_EQ(ParseSettingsInteger(""), 0);
  EXPECT_EQ(ParseSettingsInteger("abc"), 0);
  EXPECT_EQ(ParseSettingsInteger("-"), 0);
  EXPECT_EQ(ParseSettingsInteger("- 4"), 0);
  EXPECT_EQ(ParseSettingsInteger("0x1F"), 0);
}

TEST(ParseSettingsIntegerTest, OverflowClampsToTheInt32Range) {
  EXPECT_EQ(ParseSettingsInteger("2147483647"), INT32_MAX);
  EXPECT_EQ(ParseSettingsInteger("2147483648"), INT32_MAX);
  EXPECT_EQ(ParseSettingsInteger("-2147483648"), INT32_MIN);
  EXPECT_EQ(ParseSettingsInteger("-2147483649"), INT32_MIN);
  EXPECT_EQ(ParseSettingsInteger("99999999999999999999999999999"), INT32_MAX);
}

TEST(ParseSettingsNumberTest, ReadsPlainDecimalNumbers) {
  EXPECT_DOUBLE_EQ(ParseSettingsNumber("0.200000"), 0.2);
  EXPECT_DOUBLE_EQ(ParseSettingsNumber("-25.000000"), -25.0);
  EXPECT_DOUBLE_EQ(ParseSettingsNumber("12.345000"), 12.345);
  EXPECT_DOUBLE_EQ(ParseSettingsNumber("+3"), 3.0);
  EXPECT_DOUBLE_EQ(ParseSettingsNumber(".5"), 0.5);
  EXPECT_DOUBLE_EQ(ParseSettingsNumber("5."), 5.0);
  EXPECT_DOUBLE_EQ(ParseSettingsNumber(" 1.5e2xyz"), 150.0);
  EXPECT_DOUBLE_EQ(ParseSettingsNumber("2E-1"), 0.2);
  EXPECT_DOUBLE_EQ(ParseSettingsNumber("7e"), 7.0);  // "e" without digits is not an exponent
  EXPECT_DOUBLE_EQ(ParseSettingsNumber("7e+"), 7.0);
}

TEST(ParseSettingsNumberTest, AnythingElseIsZero) {
  EXPECT_EQ(ParseSettingsNumber(""), 0.0);
  EXPECT_EQ(ParseSettingsNumber("."), 0.0);
  EXPECT_EQ(ParseSettingsNumber("-"), 0.0);
  EXPECT_EQ(ParseSettingsNumber("e5"), 0.0);
  EXPECT_EQ(ParseSettingsNumber("abc"), 0.0);
}

TEST(ParseSettingsNumberTest, NeverHexInfinityOrNaN) {
  EXPECT_EQ(ParseSettingsNumber("0x1p4"), 0.0);  // the leading 0, then "x" ends it
  EXPECT_EQ(ParseSettingsNumber("inf"), 0.0);
  EXPECT_EQ(ParseSettingsNumber("-infinity"), 0.0);
  EXPECT_EQ(ParseSettingsNumber("nan"), 0.0);
  EXPECT_EQ(ParseSettingsNumber("NAN(123)"), 0.0);
}

TEST(ParseSettingsNumberTest, OutOfRangeStaysFinite) {
  EXPECT_EQ(ParseSettingsNumber("1e999"), DBL_MAX);
  EXPECT_EQ(ParseSettingsNumber("-1e400"), -DBL_MAX);
  EXPECT_EQ(ParseSettingsNumber("1e-999"), 0.0);
  EXPECT_EQ(ParseSettingsNumber("1" + std::string(400, '0')), DBL_MAX);
  EXPECT_EQ(ParseSettingsNumber("1" + std::string(400, '0') + "e-5"), DBL_MAX);
  EXPECT_EQ(ParseSettingsNumber("0." + std::string(400, '0') + "1"), 0.0);
  EXPECT_EQ(ParseSettingsNumber("1e99999999999999999999"), DBL_MAX);
}

}  // namespace
}  // namespace tq
