#include "gps/nmea_line.h"

#include <algorithm>

namespace tq {

bool NmeaLineAssembler::Push(uint8_t byte, uint32_t tick) {
  if (byte == '$') {
    buffer_[0] = '$';
    length_ = 1;
    tick_ = tick;
    return false;
  }
  if (byte == '\n') {
    size_t end = length_;
    // Only a carriage return is dropped: a receiver that ends its lines with
    // a bare line feed keeps its last checksum digit.
    if (end > 0 && buffer_[end - 1] == '\r') --end;
    std::copy_n(buffer_.begin(), end, line_.begin());
    line_length_ = end;
    line_tick_ = tick_;
    length_ = 0;
    return true;
  }
  if (length_ > kNmeaLineMax && !(byte == '\r' && length_ == kNmeaLineMax + 1)) length_ = 0;
  // A line without "$" is stamped with the tick of its own first byte, not
  // with that of an older sentence.
  if (length_ == 0) tick_ = tick;
  buffer_[length_++] = static_cast<char>(byte);
  return false;
}

}  // namespace tq
