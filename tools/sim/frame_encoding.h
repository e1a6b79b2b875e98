// The frames the instruments put on the wire, byte for byte.
//
// Pure functions: values in, bytes out. The per-kind choice of range and
// scale lives in instrument_readings.h; this header only knows the layouts.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace tq::sim {

// Status byte of an ASCII frame for kinds 0..3 and 5.
struct AsciiStatus {
  bool battery = false;   // kind 0: the fields carry battery voltages (low bit)
  bool marker = false;    // the instrument's marker key is down (64)
  bool vertical = true;   // dipole orientation (32 when vertical)
  bool divider8 = false;  // the x8 range divider (16)
  int range_code = 0;     // 0..7
};

// The status byte for `status`; the range code is taken modulo 8.
uint8_t EncodeAsciiStatus(const AsciiStatus& status);

// Status byte of a kind-4 frame, whose dipole and separation bits differ.
struct Tq64Status {
  bool marker = false;
  bool vertical = true;  // kind 4 sets 32 for horizontal
  int separation_m = 20; // 10, 20 or 40; anything else encodes as 20
  int range_code = 0;    // 0..7
};

// The status byte for `status`.
uint8_t EncodeTq64Status(const Tq64Status& status);

// A numeric field as the instrument prints it: a sign and four digits
// ("-0400", "+0000"); values beyond four digits are held at +-9999.
std::string FormatAsciiField(long value);

// "T", status, one field, CR: the 7-character frame and its terminator.
std::vector<uint8_t> EncodeAsciiFrame(uint8_t status, long field1);

// "T", status, two fields, CR: the 12-character frame and its terminator.
std::vector<uint8_t> EncodeAsciiFrame(uint8_t status, long field1, long field2);

// "T", the status, the field characters exactly as given, CR: a frame put
// back on the wire from its stored text, whatever its fields hold.
std::vector<uint8_t> EncodeAsciiFrameText(uint8_t status, std::span<const uint8_t> fields);

// "T", three digits, "I", three digits; each value held at 0..999.
std::vector<uint8_t> EncodeIceFrame(int thickness_digits, int inphase_digits);

// The six words of a binary frame, named as the decoder names them.
struct Mk2Words {
  uint16_t a = 0;  // conductivity
  uint16_t b = 0;  // inphase
  uint16_t c = 0;  // conductivity of the second coil pair
  uint16_t d = 0;  // inphase of the second coil pair
  uint16_t e = 0;  // recorded, not displayed
  uint16_t f = 0;  // recorded, not displayed
};

inline constexpr uint8_t kMk2StatusVertical = 6;
inline constexpr uint8_t kMk2StatusHorizontal = 2;
inline constexpr size_t kBinaryFrameBytes = 16;  // 14 bytes of frame, 0xFF 0xFF

// Start byte, status, the words in wire order C D A B E F (high byte first),
// then 0xFF 0xFF.
std::array<uint8_t, kBinaryFrameBytes> EncodeBinaryFrame(uint8_t start, uint8_t status,
                                                         const Mk2Words& words);

// The word w whose value (w * 5 / 1024 - 160) * 8 is nearest to `value`;
// values outside the word's reach (about +-1280) are held at its ends.
uint16_t Mk2WordFor(double value);

// Physical values of one binary reading, before the logger's calibration
// offsets.
struct Mk2Values {
  double conductivity = 0.0;   // mS/m
  double inphase = 0.0;        // ppt
  double conductivity2 = 0.0;  // mS/m
  double inphase2 = 0.0;       // ppt
};

// Words A..D that decode to `values` (inphase words carry their own scale);
// E and F are passed through.
Mk2Words Mk2WordsFor(const Mk2Values& values, uint16_t e, uint16_t f);

}  // namespace tq::sim
