#include "survey/typed_fields.h"

#include <algorithm>
#include <charconv>
#include <cstdint>
#include <cstdio>

#include "platform/text.h"
#include "settings/settings.h"

namespace tq {
namespace {

constexpr std::string_view kTypographicMinus = "\xE2\x88\x92";  // U+2212

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

std::string_view TrimBlanks(std::string_view text) {
  const size_t first = text.find_first_not_of(" \t");
  if (first == std::string_view::npos) return {};
  return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

size_t TakeDigits(std::string_view text, size_t& at, std::string& into) {
  const size_t from = at;
  while (at < text.size() && IsDigit(text[at])) into += text[at++];
  return at - from;
}

// The shortest decimal text that reads back as `value`, never in exponent form.
std::string ShortestText(double value) {
  char text[400];
  auto result = std::to_chars(text, text + sizeof text, value, std::chars_format::fixed);
  return std::string(text, result.ptr);
}

// The character at `at` as the operator sees it in the box: a printable one
// quoted, and the code point of each, since a look-alike may be what was
// typed.
std::string CharacterName(std::string_view text, size_t at) {
  const uint32_t code = Utf8CharacterAt(text, at);
  char hex[16];
  std::snprintf(hex, sizeof hex, "U+%04X", static_cast<unsigned>(code));
  // Within the 8-bit set, what the files cannot hold is a control character.
  if (code <= 0xFF && !IsStorableCharacter(code)) return std::string("the control character ") + hex;
  return "the character \"" + std::string(text.substr(at, Utf8CharacterBytes(text, at))) + "\" (" + hex + ")";
}

}  // namespace

std::string OutOfRangeText(std::string_view field, NumberRange range) {
  return std::string(field) + " must be from " + ShortestText(range.min) + " to " +
         ShortestText(range.max) + ".";
}

std::optional<TypedNumber> ParseTypedNumber(std::string_view text) {
  text = TrimBlanks(text);
  if (text.empty()) return TypedNumber{};
  // The number rebuilt in the form ParseSettingsNumber reads, so both
  // parsers agree on every value and on the clamp at the double range.
  std::string plain;
  size_t at = 0;
  if (text.starts_with(kTypographicMinus)) {
    plain += '-';
    at = kTypographicMinus.size();
  } else if (text[0] == '+' || text[0] == '-') {
    plain += text[0];
    at = 1;
  }
  const size_t whole = TakeDigits(text, at, plain);
  std::string fraction;
  if (at < text.size() && (text[at] == '.' || text[at] == ',')) {
    ++at;
    TakeDigits(text, at, fraction);
  }
  if (whole + fraction.size() == 0) return std::nullopt;
  plain += '.';
  plain += fraction;
  int64_t exponent = 0;
  if (at < text.size() && (text[at] == 'e' || text[at] == 'E')) {
    std::string digits;
    size_t sign_at = ++at;
    if (at < text.size() && (text[at] == '+' || text[at] == '-')) ++at;
    if (TakeDigits(text, at, digits) == 0) return std::nullopt;
    exponent = ParseSettingsInteger(text.substr(sign_at, at - sign_at));
    plain += 'e';
    plain += text.substr(sign_at, at - sign_at);
  }
  if (at != text.size()) return std::nullopt;
  const size_t kept = fraction.find_last_not_of('0');
  const int64_t fraction_digits = kept == std::string::npos ? 0 : static_cast<int64_t>(kept + 1);
  const int64_t decimals = std::clamp<int64_t>(fraction_digits - exponent, 0, INT32_MAX);
  return TypedNumber{ParseSettingsNumber(plain), static_cast<int>(decimals)};
}

double TypedNumberValue(std::string_view text) {
  if (std::optional<TypedNumber> number = ParseTypedNumber(text)) return number->value;
  return ParseSettingsNumber(text);
}

std::optional<std::string> CheckTypedNumber(std::string_view field, std::string_view text, NumberRule rule) {
  const std::optional<TypedNumber> number = ParseTypedNumber(text);
  if (!number) return std::string(field) + " must be a number.";
  if (rule.decimals == 0 && number->decimals > 0) return std::string(field) + " must be a whole number.";
  if (rule.decimals > 0 && number->decimals > rule.decimals) {
    return std::string(field) + " must have at most " + std::to_string(rule.decimals) + " decimals.";
  }
  if (!rule.range.Holds(number->value)) return OutOfRangeText(field, rule.range);
  if (rule.single_precision && rule.decimals >= 0) {
    const std::string typed = FormatFixed(number->value, rule.decimals);
    const std::string kept = FormatFixed(static_cast<float>(number->value), rule.decimals);
    if (kept != typed) {
      return std::string(field) + " cannot hold " + typed + " exactly: it would be " + kept + ".";
    }
  }
  return std::nullopt;
}

std::optional<std::string> CheckTypedText(std::string_view field, std::string_view text) {
  const std::optional<size_t> at = FindUnstorableCharacter(text);
  if (!at) return std::nullopt;
  return std::string(field) + " cannot hold " + CharacterName(text, *at) + ".";
}

}  // namespace tq
