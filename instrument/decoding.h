// Decoding of instrument frames into readings and their profile channels.
//
// Pure functions over the frame bytes (the `LastFrame` bytes: start letter,
// status byte, data) and the few settings values they need. Nothing here can
// fail: bytes that are missing or not numbers read as 0, and a garbled frame
// simply yields odd values.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

namespace tq {

inline constexpr size_t kProfileChannelCount = 8;

// One plot channel of a reading: a value and whether the reading has one.
struct ProfileChannel {
  float value = 0.0f;
  bool present = false;
};

// The eight channels a reading contributes to a profile (trace slots 0..7).
using ProfileChannels = std::array<ProfileChannel, kProfileChannelCount>;

// One decoded frame; the meaning of each value depends on the kind.
struct Reading {
  float conductivity = 0.0f;
  float inphase = 0.0f;
  float conductivity2 = 0.0f;  // kind 7, second coil pair
  float inphase2 = 0.0f;       // kind 7, second coil pair
  char dipole = 'V';           // 'V' or 'H'
  char marker = 'N';           // 'M' or 'N'
  int16_t range = 0;
  int16_t range2 = 0;          // kind 1: range of the inphase
  int32_t quantity = 0;        // kinds 2, 3: 2 conductivity frame, 1 inphase frame
  bool battery = false;        // kind 0: the frame carries battery voltages
  std::array<uint16_t, 6> rawWords{};  // kind 7: words A..F
  ProfileChannels channels{};
};

// What the status byte of an ASCII frame says.
struct StatusFields {
  bool battery = false;
  char marker = 'N';
  char dipole = 'H';
  double divider = 1.0;     // 8 when the x8 range bit is set (kinds 0-3, 5)
  int32_t rangeCode = 0;    // normally 0..7; a status of exactly 128 leaves 8
  double separation = 0.0;  // kind 4: coil separation in metres
  int32_t modeIndex = 0;    // kind 4: 0..5 = V10, V20, V40, H10, H20, H40
};

inline constexpr int32_t kSurveyModeAuto = 0;
inline constexpr int32_t kSurveyModeWheel = 1;
inline constexpr int32_t kSurveyModeManual = 2;

// Peels the status byte of an ASCII frame of `kind` (0..5). In Manual mode the
// marker always reads 'N'.
StatusFields DecodeStatusByte(uint8_t status, int32_t kind, int32_t survey_mode);

// The settings values the ASCII decoders read.
struct AsciiDecodeSettings {
  int32_t kind = 0;
  int32_t survey_mode = kSurveyModeAuto;  // as in force now (Auto while averaging)
  int32_t component = 0;                  // Component: 0 Both, 1 Inphase, 2 Conductivity
  int32_t tq62_variant = 0;               // Tq62Variant
};

// The number in the `length`-character field at `start` (spaces, sign,
// digits, read up to a 0 byte or the end of the frame); 0 when none.
int32_t ReadFrameNumber(std::span<const uint8_t> frame, size_t start, size_t length);

// Offsets of the two 5-character fields of an ASCII frame.
inline constexpr size_t kAsciiField1 = 2;
inline constexpr size_t kAsciiField2 = 7;
inline constexpr size_t kAsciiFieldLength = 5;

// Decodes an ASCII frame of kinds 0..5, or an ice frame of kind 6.
Reading DecodeAsciiFrame(std::span<const uint8_t> frame, const AsciiDecodeSettings& settings);

// The calibration offsets O1..O6 (Mk2Calibration entries 0..5).
using Mk2Offsets = std::array<float, 6>;

// The word indexes of rawWords, and each word's first byte in the frame.
enum Mk2Word : size_t { kWordA, kWordB, kWordC, kWordD, kWordE, kWordF };
inline constexpr std::array<size_t, 6> kMk2WordOffset = {6, 8, 2, 4, 10, 12};

// u(w): a 16-bit word of a binary frame as a value of about -1280..+1280.
double ConvertMk2Word(uint16_t word);

// Decodes a 14-byte binary frame (kind 7) with the calibration offsets.
Reading DecodeBinaryFrame(std::span<const uint8_t> frame, const Mk2Offsets& offsets);

}  // namespace tq
