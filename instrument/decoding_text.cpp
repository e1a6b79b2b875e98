#include "instrument/decoding_text.h"

#include <algorithm>
#include <charconv>

namespace tq {
namespace {

// Room for any double in fixed notation (about 309 digits before the point).
constexpr size_t kNumberBuffer = 400;

}  // namespace

FieldText& FieldText::Append(std::string_view text) {
  drawn_ = true;
  size_t room = kCapacity - length_;
  size_t n = std::min(room, text.size());
  std::copy_n(text.data(), n, chars_.data() + length_);
  length_ = static_cast<uint8_t>(length_ + n);
  return *this;
}

FieldText& FieldText::Append(char c) { return Append(std::string_view(&c, 1)); }

FieldText& FieldText::AppendPadded(std::string_view digits, int width, bool left) {
  size_t pad = width > 0 && static_cast<size_t>(width) > digits.size()
                   ? static_cast<size_t>(width) - digits.size()
                   : 0;
  constexpr std::string_view kSpaces = "                                ";
  if (!left) Append(kSpaces.substr(0, std::min(pad, kSpaces.size())));
  Append(digits);
  if (left) Append(kSpaces.substr(0, std::min(pad, kSpaces.size())));
  return *this;
}

FieldText& FieldText::AppendFixed(double value, int precision, int width, bool left) {
  std::array<char, kNumberBuffer> buffer{};
  auto result = std::to_chars(buffer.data(), buffer.data() + buffer.size(), value,
                              std::chars_format::fixed, precision);
  return AppendPadded(std::string_view(buffer.data(), result.ptr), width, left);
}

FieldText& FieldText::AppendInt(int64_t value, int width, bool left) {
  std::array<char, 24> buffer{};
  auto result = std::to_chars(buffer.data(), buffer.data() + buffer.size(), value);
  return AppendPadded(std::string_view(buffer.data(), result.ptr), width, left);
}

FieldText& FieldText::AppendSignedZeroPadded(int64_t value, int width) {
  Append(value < 0 ? '-' : '+');
  uint64_t magnitude = value < 0 ? 0 - static_cast<uint64_t>(value) : static_cast<uint64_t>(value);
  std::array<char, 24> buffer{};
  auto result = std::to_chars(buffer.data(), buffer.data() + buffer.size(), magnitude);
  size_t digits = static_cast<size_t>(result.ptr - buffer.data());
  for (size_t n = digits + 1; n < static_cast<size_t>(std::max(width, 0)); ++n) Append('0');
  return Append(std::string_view(buffer.data(), digits));
}

FieldText FormatValueText(std::string_view label, float value, std::string_view unit) {
  FieldText text;
  text.Append(label).AppendFixed(static_cast<double>(value), 2, 8, true).Append(unit);
  return text;
}

FieldText FormatStationText(double station) {
  FieldText text;
  text.AppendFixed(station, 2, 11, true);
  return text;
}

FieldText FormatBatteryText(int32_t percent) {
  FieldText text;
  text.AppendInt(percent, 3, false).Append('%');
  return text;
}

}  // namespace tq
