#include "platform/text.h"

#include <array>
#include <charconv>
#include <cstdint>

namespace tq {

size_t Utf8CharacterBytes(std::string_view text, size_t at) {
  const auto lead = static_cast<uint8_t>(text[at]);
  size_t follow = 0;
  if (lead >= 0xC2 && lead < 0xE0) follow = 1;
  if (lead >= 0xE0 && lead < 0xF0) follow = 2;
  if (lead >= 0xF0 && lead < 0xF5) follow = 3;
  for (size_t k = 1; k <= follow; ++k) {
    if (at + k >= text.size() || (static_cast<uint8_t>(text[at + k]) & 0xC0) != 0x80) return 1;
  }
  return follow + 1;
}

uint32_t Utf8CharacterAt(std::string_view text, size_t at) {
  const size_t n = Utf8CharacterBytes(text, at);
  uint32_t code = static_cast<uint8_t>(text[at]);
  if (n > 1) code &= 0x7Fu >> n;
  for (size_t k = 1; k < n; ++k) code = code << 6 | (static_cast<uint8_t>(text[at + k]) & 0x3Fu);
  return code;
}

bool IsStorableCharacter(uint32_t code) {
  return (code >= 0x20 && code < 0x7F) || (code >= 0xA0 && code <= 0xFF);
}

std::optional<size_t> FindUnstorableCharacter(std::string_view utf8) {
  for (size_t at = 0; at < utf8.size(); at += Utf8CharacterBytes(utf8, at)) {
    if (!IsStorableCharacter(Utf8CharacterAt(utf8, at))) return at;
  }
  return std::nullopt;
}

std::string NarrowTo8Bit(std::string_view utf8) {
  std::string out;
  out.reserve(utf8.size());
  for (size_t at = 0; at < utf8.size(); at += Utf8CharacterBytes(utf8, at)) {
    const uint32_t code = Utf8CharacterAt(utf8, at);
    out += IsStorableCharacter(code) ? static_cast<char>(code) : '?';
  }
  return out;
}

std::string_view FirstCharacters(std::string_view utf8, size_t count) {
  size_t end = 0;
  for (size_t characters = 0; end < utf8.size() && characters < count; ++characters) {
    end += Utf8CharacterBytes(utf8, end);
  }
  return utf8.substr(0, end);
}

std::string WidenFrom8Bit(std::string_view bytes) {
  std::string out;
  out.reserve(bytes.size());
  for (char c : bytes) {
    const auto b = static_cast<uint8_t>(c);
    if (b < 0x80) {
      out += c;
    } else {
      out += static_cast<char>(0xC0 | (b >> 6));
      out += static_cast<char>(0x80 | (b & 0x3F));
    }
  }
  return out;
}

std::string FormatFixed(double value, int precision, int width) {
  std::array<char, 400> digits{};  // any double in fixed notation fits
  const auto result = std::to_chars(digits.data(), digits.data() + digits.size(), value,
                                    std::chars_format::fixed, precision);
  const size_t length = static_cast<size_t>(result.ptr - digits.data());
  const size_t wanted = width > 0 ? static_cast<size_t>(width) : 0;
  std::string text(wanted > length ? wanted - length : 0, ' ');
  text.append(digits.data(), length);
  return text;
}

}  // namespace tq
