// NMEA 0183 sentences as text: checksums, fields and the GGA fix.
//
// Pure functions over one line as the receiver sent it ("$GPGGA,...*hh",
// with or without its CR LF). Nothing here allocates or reads past the text
// it is given: garbage, truncated and overlong lines are refused, never
// half-parsed.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>

namespace tq {

// The longest line the GPS reader keeps before it restarts its line; a
// "sentence" longer than this is not one.
inline constexpr size_t kNmeaLineMax = 200;

// XOR of the characters of `body` (the text between "$" and "*").
uint8_t NmeaChecksumOf(std::string_view body);

// True when `line` is "$", a body, "*" and two hex digits (either case) that
// equal the body's XOR, optionally followed by CR and/or LF; false for
// anything else, including a line longer than kNmeaLineMax.
bool NmeaChecksumOk(std::string_view line);

// Field `n` of `text` split at `separator`, counting from 1 (field 1 is the
// text before the first separator); nullopt when the text has fewer fields.
// An empty field is an empty view.
std::optional<std::string_view> FieldOf(std::string_view text, int n, char separator = ',');

// The comma-separated fields of a sentence's body: from after "$" up to "*"
// (or the line end). field[0] is the address, e.g. "GPGGA".
struct NmeaFields {
  static constexpr size_t kCapacity = 32;
  std::array<std::string_view, kCapacity> field{};
  size_t count = 0;
};

// Splits `line` into its fields; nullopt when it does not start with "$", is
// longer than kNmeaLineMax or has more than kCapacity fields.
std::optional<NmeaFields> SplitNmeaFields(std::string_view line);

// What a GGA sentence says. Empty fields are absent; quality 0 means no fix.
struct GgaFix {
  std::optional<int32_t> utc_ms;      // UTC time of day in milliseconds
  std::optional<double> latitude;     // decimal degrees, north positive
  std::optional<double> longitude;    // decimal degrees, east positive
  std::optional<int32_t> quality;     // 0 none, 1 GPS, 2 differential, 4 RTK ...
  std::optional<int32_t> satellites;  // in use
  std::optional<double> hdop;
  std::optional<double> altitude;     // metres above mean sea level

  // A usable position: a fix quality above 0 with both coordinates.
  bool HasPosition() const {
    return quality.value_or(0) > 0 && latitude.has_value() && longitude.has_value();
  }
};

// Parses a GGA sentence of any talker ("$GPGGA", "$GNGGA", ...); the
// checksum is not checked here (NmeaChecksumOk does that). nullopt when the
// line is not a GGA, stops before the altitude field, or has a field that is
// present but malformed (a latitude that is not ddmm.mmmm with N or S, a
// longitude that is not dddmm.mmmm with E or W, a time that is not hhmmss,
// a number with other characters in it).
std::optional<GgaFix> ParseGga(std::string_view line);

// Degrees from an NMEA angle "ddmm.mmmm" (latitude, `max_degrees` 90) or
// "dddmm.mmmm" (longitude, 180) and its hemisphere letter; nullopt when
// malformed or out of range.
std::optional<double> ParseNmeaAngle(std::string_view value, std::string_view hemisphere,
                                     char positive, char negative, int32_t max_degrees);

// Milliseconds since midnight from "hhmmss" or "hhmmss.sss"; nullopt when
// malformed.
std::optional<int32_t> ParseNmeaTime(std::string_view value);

}  // namespace tq
