// Narrowing program text to the files' 8-bit characters and back.
#include "platform/text.h"

#include <gtest/gtest.h>

namespace tq {
namespace {

TEST(NarrowingTest, KeepsTheEightBitSetAndPassesBrokenBytes) {
  EXPECT_EQ(NarrowTo8Bit("abc"), "abc");
  EXPECT_EQ(NarrowTo8Bit("\xC3\xA9t\xC3\xA9"), "\xE9t\xE9");
  EXPECT_EQ(NarrowTo8Bit("\xE2\x82\xAC"), "?");  // U+20AC has no 8-bit character; its low byte is not it
  EXPECT_EQ(NarrowTo8Bit("\xD0\x8A" "1"), "?1");  // U+040A, whose low byte is LF
  EXPECT_EQ(NarrowTo8Bit("a\xC3"), "a\xC3");      // cut sequence
  EXPECT_EQ(NarrowTo8Bit("\xFFz"), "\xFFz");
}

TEST(NarrowingTest, WideningGivesBackEveryByteButControlsAsItsCharacter) {
  EXPECT_EQ(WidenFrom8Bit("a\xE9"), "a\xC3\xA9");
  for (int b = 0; b < 256; ++b) {
    std::string byte(1, static_cast<char>(b));
    const bool control = b < 0x20 || (b >= 0x7F && b < 0xA0);
    EXPECT_EQ(NarrowTo8Bit(WidenFrom8Bit(byte)), control ? "?" : byte) << b;
  }
}

TEST(NarrowingTest, CharacterLengthsFollowUtf8) {
  EXPECT_EQ(Utf8CharacterBytes("a", 0), 1u);
  EXPECT_EQ(Utf8CharacterBytes("\xC3\xA9", 0), 2u);
  EXPECT_EQ(Utf8CharacterBytes("\xE2\x82\xAC", 0), 3u);
  EXPECT_EQ(Utf8CharacterBytes("\xF0\x9F\x98\x80", 0), 4u);
  EXPECT_EQ(Utf8CharacterBytes("\xE2\x82", 0), 1u);  // cut short
  EXPECT_EQ(Utf8CharacterBytes("\xC0\x80", 0), 1u);  // overlong lead
}

}  // namespace
}  // namespace tq
