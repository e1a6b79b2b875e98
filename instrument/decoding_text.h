// Panel texts of a reading, built without allocation and without the locale
// (Qt sets LC_NUMERIC from the environment; the panel must always show
// "12.50", never "12,50").
#pragma once

#include <array>
#include <cstdint>
#include <string_view>

namespace tq {

// One text for one panel field. A default FieldText means "leave the field as
// it is"; any Append makes it a text to draw (a single space clears a field).
// Text longer than the capacity is cut, never overrun.
class FieldText {
 public:
  static constexpr size_t kCapacity = 63;

  bool drawn() const { return drawn_; }
  std::string_view view() const { return std::string_view(chars_.data(), length_); }

  FieldText& Append(std::string_view text);
  FieldText& Append(char c);
  // printf "%<width>.<precision>f", left-justified when `left` ("%-8.2f").
  FieldText& AppendFixed(double value, int precision, int width, bool left);
  // printf "%<width>d", left-justified when `left` ("%-4d", "%3d").
  FieldText& AppendInt(int64_t value, int width, bool left);
  // printf "%+0<width>d": always a sign, zero-padded ("%+05d" of -400 is "-0400").
  FieldText& AppendSignedZeroPadded(int64_t value, int width);

 private:
  FieldText& AppendPadded(std::string_view digits, int width, bool left);

  std::array<char, kCapacity> chars_{};
  uint8_t length_ = 0;
  bool drawn_ = false;
};

// A text made of a label, a "%-8.2f" value and a unit: "C:" 12.5 "mS/m".
FieldText FormatValueText(std::string_view label, float value, std::string_view unit);

// "%-11.2f": the station field.
FieldText FormatStationText(double station);

// "%3d%c" with "%": the handheld's battery charge.
FieldText FormatBatteryText(int32_t percent);

}  // namespace tq
