// Assembles the lines a GPS receiver sends, one byte at a time. Pure: the
// reader threads feed it the bytes of their port.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "gps/nmea.h"

namespace tq {

class NmeaLineAssembler {
 public:
  enum class Event {
    kNone,
    kStart,  // a "$": a sentence starts here, whatever came before is dropped
    kLine,   // a line feed: Line() holds the line without its CR LF
  };

  Event Push(uint8_t byte);
  // The line completed by the last kLine event.
  std::string_view Line() const { return {line_.data(), line_length_}; }
  // Forgets the line being assembled.
  void Reset() { length_ = 0; }

 private:
  // A line holds kNmeaLineMax characters and its CR; more without a line end
  // is no sentence, and the line starts over, so a stream without line ends
  // never grows it.
  std::array<char, kNmeaLineMax + 1> buffer_{};
  size_t length_ = 0;
  std::array<char, kNmeaLineMax + 1> line_{};
  size_t line_length_ = 0;
};

}  // namespace tq
