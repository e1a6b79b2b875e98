#include "gps/nmea_line.h"

#include <algorithm>

namespace tq {

NmeaLineAssembler::Event NmeaLineAssembler::Push(uint8_t byte) {
  if (byte == '$') {
    buffer_[0] = '$';
    length_ = 1;
    return Event::kStart;
  }
  if (byte == '\n') {
    size_t end = length_;
    // Only a carriage return is dropped: a receiver that ends its lines with
    // a bare line feed keeps its last checksum digit.
    if (end > 0 && buffer_[end - 1] == '\r') --end;
    std::copy_n(buffer_.begin(), end, line_.begin());
    line_length_ = end;
    length_ = 0;
    return Event::kLine;
  }
  if (length_ > kNmeaLineMax) length_ = 0;
  buffer_[length_++] = static_cast<char>(byte);
  return Event::kNone;
}

}  // namespace tq
