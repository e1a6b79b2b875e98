// Assembles the lines a GPS receiver sends, one byte at a time. Pure: both
// GPS readers (the logging run's and the Monitor GPS window's) feed it the
// bytes of their port.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "gps/nmea.h"

namespace tq {

// "$" always starts a new line, dropping whatever came before it; a line feed
// ends one, dropping a carriage return before it.
class NmeaLineAssembler {
 public:
  // Takes a byte received at `tick`; true when it was a line feed, which
  // completed Line(). The line may be empty: the monitor shows such lines,
  // the logging reader skips them.
  bool Push(uint8_t byte, uint32_t tick);
  // The line completed by the last line feed, held until the next one.
  std::string_view Line() const { return {line_.data(), line_length_}; }
  // The tick of that line's "$", or of its first character when it has none.
  uint32_t LineTick() const { return line_tick_; }

 private:
  // A line holds kNmeaLineMax + 1 characters and its CR; more without a line
  // end is no sentence, and the line starts over, so a stream without line
  // ends never grows it. The CR is no character of the line: were it to start
  // the line over, the longest line would end up empty.
  std::array<char, kNmeaLineMax + 2> buffer_{};
  size_t length_ = 0;
  uint32_t tick_ = 0;
  std::array<char, kNmeaLineMax + 1> line_{};
  size_t line_length_ = 0;
  uint32_t line_tick_ = 0;
};

}  // namespace tq
