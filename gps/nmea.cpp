#include "gps/nmea.h"

#include <charconv>
#include <cmath>

namespace tq {
namespace {

constexpr size_t kGgaAltitudeField = 9;  // fields[9]; field 1 is the address

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// Strips one trailing CR LF, CR or LF.
std::string_view WithoutLineEnd(std::string_view line) {
  if (line.ends_with('\n')) line.remove_suffix(1);
  if (line.ends_with('\r')) line.remove_suffix(1);
  return line;
}

// A plain decimal: optional sign, digits, at most one point, at least one
// digit. from_chars alone would also take "inf", "nan" and exponents.
std::optional<double> ParseDecimal(std::string_view text) {
  size_t at = 0;
  if (!text.empty() && (text[0] == '-' || text[0] == '+')) at = 1;
  bool point = false;
  bool digit = false;
  for (size_t i = at; i < text.size(); ++i) {
    if (IsDigit(text[i])) {
      digit = true;
    } else if (text[i] == '.' && !point) {
      point = true;
    } else {
      return std::nullopt;
    }
  }
  if (!digit) return std::nullopt;
  if (text[0] == '+') text.remove_prefix(1);
  double value = 0.0;
  const auto [end, error] =
      std::from_chars(text.data(), text.data() + text.size(), value, std::chars_format::fixed);
  if (error != std::errc() || end != text.data() + text.size()) return std::nullopt;
  return value;
}

// Digits only, at most nine of them.
std::optional<int32_t> ParseCount(std::string_view text) {
  if (text.empty() || text.size() > 9) return std::nullopt;
  int32_t value = 0;
  for (char c : text) {
    if (!IsDigit(c)) return std::nullopt;
    value = value * 10 + (c - '0');
  }
  return value;
}

// An optional field: absent when empty, `bad` set when present but malformed.
template <typename T, typename Parse>
std::optional<T> OptionalField(std::string_view text, Parse parse, bool& bad) {
  if (text.empty()) return std::nullopt;
  std::optional<T> value = parse(text);
  if (!value) bad = true;
  return value;
}

}  // namespace

uint8_t NmeaChecksumOf(std::string_view body) {
  uint8_t sum = 0;
  for (char c : body) sum = static_cast<uint8_t>(sum ^ static_cast<uint8_t>(c));
  return sum;
}

bool NmeaChecksumOk(std::string_view line) {
  if (line.size() > kNmeaLineMax) return false;
  line = WithoutLineEnd(line);
  if (line.size() < 4 || line[0] != '$') return false;
  const size_t star = line.find('*');
  if (star == std::string_view::npos || star + 3 != line.size()) return false;
  const int high = HexValue(line[star + 1]);
  const int low = HexValue(line[star + 2]);
  if (high < 0 || low < 0) return false;
  return NmeaChecksumOf(line.substr(1, star - 1)) == high * 16 + low;
}

std::optional<std::string_view> FieldOf(std::string_view text, int n, char separator) {
  if (n < 1) return std::nullopt;
  size_t start = 0;
  for (int field = 1; field < n; ++field) {
    const size_t next = text.find(separator, start);
    if (next == std::string_view::npos) return std::nullopt;
    start = next + 1;
  }
  const size_t end = text.find(separator, start);
  return text.substr(start, end == std::string_view::npos ? std::string_view::npos : end - start);
}

std::optional<NmeaFields> SplitNmeaFields(std::string_view line) {
  if (line.size() > kNmeaLineMax) return std::nullopt;
  line = WithoutLineEnd(line);
  if (line.empty() || line[0] != '$') return std::nullopt;
  line.remove_prefix(1);
  std::string_view body = line.substr(0, line.find('*'));
  NmeaFields out;
  for (;;) {
    if (out.count == NmeaFields::kCapacity) return std::nullopt;
    const size_t comma = body.find(',');
    out.field[out.count++] = body.substr(0, comma);
    if (comma == std::string_view::npos) return out;
    body.remove_prefix(comma + 1);
  }
}

std::optional<double> ParseNmeaAngle(std::string_view value, std::string_view hemisphere,
                                     char positive, char negative, int32_t max_degrees) {
  if (hemisphere.size() != 1 || (hemisphere[0] != positive && hemisphere[0] != negative)) {
    return std::nullopt;
  }
  // Two digits of minutes after at least one digit of degrees, and no more
  // degree digits than the largest angle has.
  const size_t whole = value.find('.') == std::string_view::npos ? value.size() : value.find('.');
  const size_t degree_digits = max_degrees >= 100 ? 3 : 2;
  if (whole < 3 || whole > degree_digits + 2 || value[0] == '-' || value[0] == '+') {
    return std::nullopt;
  }
  const std::optional<double> number = ParseDecimal(value);
  if (!number) return std::nullopt;
  const double degrees = std::floor(*number / 100.0);
  const double minutes = *number - degrees * 100.0;
  if (minutes >= 60.0) return std::nullopt;
  const double result = degrees + minutes / 60.0;
  if (result > max_degrees) return std::nullopt;
  return hemisphere[0] == negative ? -result : result;
}

std::optional<int32_t> ParseNmeaTime(std::string_view value) {
  if (value.size() < 6) return std::nullopt;
  for (size_t i = 0; i < 6; ++i) {
    if (!IsDigit(value[i])) return std::nullopt;
  }
  const int32_t hours = (value[0] - '0') * 10 + (value[1] - '0');
  const int32_t minutes = (value[2] - '0') * 10 + (value[3] - '0');
  const int32_t seconds = (value[4] - '0') * 10 + (value[5] - '0');
  if (hours > 23 || minutes > 59 || seconds > 60) return std::nullopt;
  int32_t ms = 0;
  if (value.size() > 6) {
    if (value[6] != '.' || value.size() == 7) return std::nullopt;
    int32_t scale = 100;
    for (size_t i = 7; i < value.size(); ++i) {
      if (!IsDigit(value[i])) return std::nullopt;
      ms += (value[i] - '0') * scale;
      scale /= 10;
    }
  }
  return ((hours * 60 + minutes) * 60 + seconds) * 1000 + ms;
}

std::optional<GgaFix> ParseGga(std::string_view line) {
  const std::optional<NmeaFields> split = SplitNmeaFields(line);
  if (!split || split->count <= kGgaAltitudeField) return std::nullopt;
  const auto& f = split->field;
  if (f[0].size() != 5 || f[0].substr(2) != "GGA") return std::nullopt;

  GgaFix fix;
  bool bad = false;
  fix.utc_ms = OptionalField<int32_t>(f[1], ParseNmeaTime, bad);
  if (!f[2].empty() || !f[3].empty()) {
    fix.latitude = ParseNmeaAngle(f[2], f[3], 'N', 'S', 90);
    bad = bad || !fix.latitude;
  }
  if (!f[4].empty() || !f[5].empty()) {
    fix.longitude = ParseNmeaAngle(f[4], f[5], 'E', 'W', 180);
    bad = bad || !fix.longitude;
  }
  fix.quality = OptionalField<int32_t>(f[6], ParseCount, bad);
  fix.satellites = OptionalField<int32_t>(f[7], ParseCount, bad);
  fix.hdop = OptionalField<double>(f[8], ParseDecimal, bad);
  fix.altitude = OptionalField<double>(f[9], ParseDecimal, bad);
  if (bad) return std::nullopt;
  return fix;
}

}  // namespace tq
