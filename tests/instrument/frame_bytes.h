// Hand-made instrument frames, built from the documented wire layouts.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace tq::testing {

using Bytes = std::vector<uint8_t>;

inline Bytes ToBytes(const std::string& text) { return Bytes(text.begin(), text.end()); }

inline Bytes Concat(std::initializer_list<Bytes> parts) {
  Bytes all;
  for (const Bytes& p : parts) all.insert(all.end(), p.begin(), p.end());
  return all;
}

// ASCII frame: start letter, status byte, one (7 characters) or two
// (12 characters) 5-character fields; the carriage return is added apart.
inline std::string AsciiFrame(char start, char status, const std::string& field1,
                              const std::string& field2 = "") {
  return std::string(1, start) + status + field1 + field2;
}

// Binary frame body: start byte, status byte, six 16-bit words high byte
// first. The two 0xFF terminator bytes are added by BinaryWire.
inline Bytes BinaryFrame(uint8_t start, uint8_t status, const std::array<uint16_t, 6>& words) {
  Bytes frame{start, status};
  for (uint16_t w : words) {
    frame.push_back(static_cast<uint8_t>(w >> 8));
    frame.push_back(static_cast<uint8_t>(w & 0xFF));
  }
  return frame;
}

inline Bytes BinaryWire(const Bytes& frame) { return Concat({frame, Bytes{0xFF, 0xFF}}); }

inline Bytes Filler(size_t count, uint8_t byte = 'x') { return Bytes(count, byte); }

inline Bytes Span(std::span<const uint8_t> s) { return Bytes(s.begin(), s.end()); }

}  // namespace tq::testing
