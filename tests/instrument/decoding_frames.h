// Frames for the decoding and reading-step tests.
#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

namespace tq::testing {

// The bytes of an ASCII or ice frame as written.
inline std::vector<uint8_t> FrameBytes(std::string_view text) { return {text.begin(), text.end()}; }

// A binary frame: start byte, status, then the words C, D, A, B, E, F high
// byte first, as the instrument sends them.
inline std::vector<uint8_t> Mk2Frame(uint8_t start, uint8_t status, uint16_t a, uint16_t b,
                                     uint16_t c, uint16_t d, uint16_t e, uint16_t f) {
  std::vector<uint8_t> frame = {start, status};
  for (uint16_t w : {c, d, a, b, e, f}) {
    frame.push_back(static_cast<uint8_t>(w >> 8));
    frame.push_back(static_cast<uint8_t>(w & 0xFF));
  }
  return frame;
}

}  // namespace tq::testing
