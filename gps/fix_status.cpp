#include "gps/fix_status.h"

#include <charconv>

#include "gps/nmea.h"

namespace tq {
namespace {

constexpr int kGgaQualityField = 7;
constexpr int kGgaSatellitesField = 8;
constexpr int kGsaPdopField = 16;
constexpr size_t kShortestSentence = 5;

// The number at the start of `text`, as the receiver's "08" or "2.5*39" is
// read; 0 when it does not start with one.
template <typename T>
T LeadingNumber(std::string_view text) {
  T value{};
  auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  return error == std::errc() ? value : T{};
}

}  // namespace

std::string_view FixClassOf(std::string_view quality_field) {
  if (quality_field.empty()) return {};
  switch (quality_field[0]) {
    case '0': return "NO FIX";
    case '1': return "AGPS";
    case '2': return "DGPS";
    case '3': return "RTK";
    case '4': return "CODE";
    default: return {};
  }
}

GpsStatusUpdate ComputeGpsStatus(std::string_view sentence, bool valid) {
  GpsStatusUpdate u;
  const bool gga = sentence.find("GGA") != std::string_view::npos;
  const bool gsa = sentence.find("GSA") != std::string_view::npos;
  if (!valid || sentence.size() <= kShortestSentence) {
    if (gga) u.satellites.Append("??");
    if (gsa) u.pdop.Append("??");
    return u;
  }
  if (gga) {
    u.good_gga = true;
    std::string_view satellites = FieldOf(sentence, kGgaSatellitesField).value_or("");
    u.satellites.AppendInt(LeadingNumber<int>(satellites), 2, false);
    std::string_view fix = FixClassOf(FieldOf(sentence, kGgaQualityField).value_or(""));
    if (!fix.empty()) u.fix_class.Append(fix);
  }
  if (gsa) {
    if (std::optional<std::string_view> pdop = FieldOf(sentence, kGsaPdopField)) {
      u.pdop.AppendFixed(LeadingNumber<double>(*pdop), 1, 4, true);
    } else {
      u.pdop.Append("N/A");
    }
  }
  return u;
}

}  // namespace tq
