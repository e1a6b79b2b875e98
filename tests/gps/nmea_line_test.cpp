// Line assembly from the GPS port's bytes: line ends, restarts at "$", the
// tick each line is stamped with, and a stream without line ends never grows
// a line past its bound.
#include "gps/nmea_line.h"

#include <gtest/gtest.h>

#include <string>
#include <string_view>
#include <vector>

namespace tq {
namespace {

struct Line {
  std::string text;
  uint32_t tick;  // the index of the byte that started it
  bool operator==(const Line&) const = default;
};

void PrintTo(const Line& line, std::ostream* os) { *os << '"' << line.text << "\" @" << line.tick; }

// Every completed line of `bytes`, in order, each byte received at its index.
std::vector<Line> LinesOf(std::string_view bytes) {
  NmeaLineAssembler assembler;
  std::vector<Line> lines;
  for (size_t i = 0; i < bytes.size(); ++i) {
    if (assembler.Push(static_cast<uint8_t>(bytes[i]), static_cast<uint32_t>(i))) {
      lines.push_back({std::string(assembler.Line()), assembler.LineTick()});
    }
  }
  return lines;
}

TEST(NmeaLineAssemblerTest, LineEndsRestartsAndTicks) {
  const std::string gga = "$GPGGA,123519,4807.038,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,*47";
  const std::string overlong(250, 'x');
  struct Case {
    std::string bytes;
    std::vector<Line> lines;
  };
  const Case cases[] = {
      {"$GPGSA,A*1E\r\n", {{"$GPGSA,A*1E", 0}}},
      {"$GPGSA,A*1E\n", {{"$GPGSA,A*1E", 0}}},  // a bare line feed keeps the last digit
      {"tail of a line\r\n$A\r\n", {{"tail of a line", 0}, {"$A", 16}}},
      // text before the first "$" is a line of its own, stamped by its own first byte
      {"1,M,,*47\r\n" + gga + "\r\n", {{"1,M,,*47", 0}, {gga, 10}}},
      {"$GPG$GPGSA*00\r\n", {{"$GPGSA*00", 4}}},  // "$" starts the sentence again
      {"\n\r\n", {{"", 0}, {"", 1}}},  // empty lines are lines; the logging reader skips them
      // 201 characters are kept, then the line starts over with what follows
      {overlong + "\r\n", {{std::string(49, 'x'), 201}}},
      // ... but a CR right after the 201st ends that line, it starts no new one
      {overlong.substr(0, 201) + "\r\n", {{overlong.substr(0, 201), 0}}},
  };
  for (const Case& c : cases) EXPECT_EQ(LinesOf(c.bytes), c.lines) << c.bytes;
}

TEST(NmeaLineAssemblerTest, AStreamWithoutLineEndsStartsOverPastTheBound) {
  // A line of the bound with its CR still fits whole.
  std::string longest(kNmeaLineMax, 'x');
  std::vector<Line> lines = LinesOf(longest + "\r\n");
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_EQ(lines[0].text, longest);
  lines = LinesOf(longest + "x" + "abc\r\n");
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_EQ(lines[0].text, "abc");
}

}  // namespace
}  // namespace tq
