// Line assembly from the GPS port's bytes: line ends, restarts at "$", and
// a stream without line ends never grows a line past its bound.
#include "gps/nmea_line.h"

#include <gtest/gtest.h>

#include <string>
#include <string_view>
#include <vector>

namespace tq {
namespace {

// Every completed line of `bytes`, in order.
std::vector<std::string> LinesOf(std::string_view bytes) {
  NmeaLineAssembler assembler;
  std::vector<std::string> lines;
  for (char c : bytes) {
    if (assembler.Push(static_cast<uint8_t>(c)) == NmeaLineAssembler::Event::kLine) {
      lines.emplace_back(assembler.Line());
    }
  }
  return lines;
}

TEST(NmeaLineAssemblerTest, LineEndsAndRestarts) {
  struct Case {
    std::string_view bytes;
    std::vector<std::string> lines;
  };
  const Case cases[] = {
      {"$GPGSA,A*1E\r\n", {"$GPGSA,A*1E"}},
      {"$GPGSA,A*1E\n", {"$GPGSA,A*1E"}},     // a bare line feed keeps the last digit
      {"tail of a line\r\n$A\r\n", {"tail of a line", "$A"}},
      {"$GPG$GPGSA*00\r\n", {"$GPGSA*00"}},    // "$" starts the sentence again
      {"\n\r\n", {"", ""}},
  };
  for (const Case& c : cases) EXPECT_EQ(LinesOf(c.bytes), c.lines) << c.bytes;
}

TEST(NmeaLineAssemblerTest, AStreamWithoutLineEndsStartsOverPastTheBound) {
  // A line of the bound with its CR still fits whole.
  std::string longest(kNmeaLineMax, 'x');
  std::vector<std::string> lines = LinesOf(longest + "\r\n");
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_EQ(lines[0], longest);
  lines = LinesOf(longest + "x" + "abc\r\n");
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_EQ(lines[0], "abc");
}

}  // namespace
}  // namespace tq
