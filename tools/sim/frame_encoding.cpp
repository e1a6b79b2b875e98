#include "tools/sim/frame_encoding.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace tq::sim {
namespace {

constexpr uint8_t kStart = 'T';
constexpr uint8_t kCarriageReturn = 0x0D;
constexpr long kFieldLimit = 9999;

// Scales the logger applies to the inphase words before its offsets.
constexpr double kInphaseScale = 0.028819;
constexpr double kInphase2Scale = 0.00720475;

void AppendField(std::vector<uint8_t>& frame, long value) {
  std::string text = FormatAsciiField(value);
  frame.insert(frame.end(), text.begin(), text.end());
}

void AppendDigits(std::vector<uint8_t>& frame, int value) {
  char text[4];
  std::snprintf(text, sizeof text, "%03d", std::clamp(value, 0, 999));
  frame.insert(frame.end(), text, text + 3);
}

void PutWord(std::array<uint8_t, kBinaryFrameBytes>& frame, size_t at, uint16_t word) {
  frame[at] = static_cast<uint8_t>(word >> 8);
  frame[at + 1] = static_cast<uint8_t>(word & 0xFF);
}

}  // namespace

uint8_t EncodeAsciiStatus(const AsciiStatus& status) {
  int value = status.range_code & 7;
  if (status.battery) value |= 1;
  if (status.divider8) value += 16;
  if (status.vertical) value += 32;
  if (status.marker) value += 64;
  return static_cast<uint8_t>(value);
}

uint8_t EncodeTq64Status(const Tq64Status& status) {
  int value = status.range_code & 7;
  if (status.separation_m == 10) value += 16;
  if (status.separation_m == 40) value += 24;
  if (!status.vertical) value += 32;
  if (status.marker) value += 64;
  return static_cast<uint8_t>(value);
}

std::string FormatAsciiField(long value) {
  char text[8];
  std::snprintf(text, sizeof text, "%+05ld", std::clamp(value, -kFieldLimit, kFieldLimit));
  return text;
}

std::vector<uint8_t> EncodeAsciiFrame(uint8_t status, long field1) {
  std::vector<uint8_t> frame{kStart, status};
  AppendField(frame, field1);
  frame.push_back(kCarriageReturn);
  return frame;
}

std::vector<uint8_t> EncodeAsciiFrame(uint8_t status, long field1, long field2) {
  std::vector<uint8_t> frame{kStart, status};
  AppendField(frame, field1);
  AppendField(frame, field2);
  frame.push_back(kCarriageReturn);
  return frame;
}

std::vector<uint8_t> EncodeAsciiFrameText(uint8_t status, std::span<const uint8_t> fields) {
  std::vector<uint8_t> frame;
  frame.reserve(fields.size() + 3);
  frame.push_back(kStart);
  frame.push_back(status);
  frame.insert(frame.end(), fields.begin(), fields.end());
  frame.push_back(kCarriageReturn);
  return frame;
}

std::vector<uint8_t> EncodeIceFrame(int thickness_digits, int inphase_digits) {
  std::vector<uint8_t> frame{kStart};
  AppendDigits(frame, thickness_digits);
  frame.push_back('I');
  AppendDigits(frame, inphase_digits);
  return frame;
}

std::array<uint8_t, kBinaryFrameBytes> EncodeBinaryFrame(uint8_t start, uint8_t status,
                                                         const Mk2Words& words) {
  std::array<uint8_t, kBinaryFrameBytes> frame{};
  frame[0] = start;
  frame[1] = status;
  PutWord(frame, 2, words.c);
  PutWord(frame, 4, words.d);
  PutWord(frame, 6, words.a);
  PutWord(frame, 8, words.b);
  PutWord(frame, 10, words.e);
  PutWord(frame, 12, words.f);
  frame[14] = 0xFF;
  frame[15] = 0xFF;
  return frame;
}

uint16_t Mk2WordFor(double value) {
  if (std::isnan(value)) value = 0.0;
  double word = std::round((value / 8.0 + 160.0) * 1024.0 / 5.0);
  return static_cast<uint16_t>(std::clamp(word, 0.0, 65535.0));
}

Mk2Words Mk2WordsFor(const Mk2Values& values, uint16_t e, uint16_t f) {
  Mk2Words words;
  words.a = Mk2WordFor(values.conductivity);
  words.b = Mk2WordFor(values.inphase / kInphaseScale);
  words.c = Mk2WordFor(values.conductivity2);
  words.d = Mk2WordFor(values.inphase2 / kInphase2Scale);
  words.e = e;
  words.f = f;
  return words;
}

}  // namespace tq::sim
