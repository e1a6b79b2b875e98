#include "tools/sim/nmea.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <ctime>

#include "gps/nmea.h"
#include "platform/text.h"

namespace tq::sim {
namespace {

constexpr double kKnotsPerMps = 3600.0 / 1852.0;

// "ddmm.mmmm" with `degree_digits` digits of degrees, then the hemisphere.
// Rounded in ten-thousandths of a minute so 59.99995' never prints as 60'.
std::string FormatAngle(double degrees, int degree_digits, char positive, char negative) {
  long long units = std::llround(std::fabs(degrees) * 60.0 * 10000.0);
  long long whole = units / 600000;
  long long rest = units % 600000;
  char text[32];
  std::snprintf(text, sizeof text, "%0*lld%02lld.%04lld,%c", degree_digits, whole, rest / 10000,
                rest % 10000, degrees < 0.0 ? negative : positive);
  return text;
}

std::string FormatTime(const LocalTime& t) {
  char text[48];
  std::snprintf(text, sizeof text, "%02d%02d%02d.%02d", t.hour, t.minute, t.second,
                t.millisecond / 10);
  return text;
}

}  // namespace

std::string FinishSentence(std::string_view body) {
  char tail[8];
  std::snprintf(tail, sizeof tail, "*%02X\r\n", NmeaChecksumOf(body));
  std::string sentence = "$";
  sentence.append(body);
  sentence.append(tail);
  return sentence;
}

std::string FormatLatitude(double degrees) { return FormatAngle(degrees, 2, 'N', 'S'); }

std::string FormatLongitude(double degrees) { return FormatAngle(degrees, 3, 'E', 'W'); }

std::string FormatGga(const WalkSample& sample, const LocalTime& utc, const GpsStatus& status) {
  char text[160];
  std::snprintf(text, sizeof text, "GPGGA,%s,%s,%s,%d,%02d,%s,%s,M,%s,M,,",
                FormatTime(utc).c_str(), FormatLatitude(sample.latitude).c_str(),
                FormatLongitude(sample.longitude).c_str(), status.fix_quality,
                std::clamp(status.satellites, 0, 99), FormatFixed(status.hdop, 1).c_str(),
                FormatFixed(status.altitude_m, 1).c_str(),
                FormatFixed(status.geoid_separation_m, 1).c_str());
  return FinishSentence(text);
}

std::string FormatGsa(const GpsStatus& status) {
  std::string body = "GPGSA,A,";
  body += status.fix_quality > 0 ? '3' : '1';
  // Twelve slots for the satellites in use; made-up but plausible numbers.
  static constexpr int kPrns[12] = {2, 5, 7, 9, 13, 15, 18, 20, 24, 27, 29, 30};
  int used = status.fix_quality > 0 ? std::clamp(status.satellites, 0, 12) : 0;
  for (int i = 0; i < 12; ++i) {
    char prn[8] = "";
    if (i < used) std::snprintf(prn, sizeof prn, "%02d", kPrns[i]);
    body += ',';
    body += prn;
  }
  for (double dop : {status.pdop, status.hdop, status.vdop}) body += "," + FormatFixed(dop, 1);
  return FinishSentence(body);
}

std::string FormatRmc(const WalkSample& sample, const LocalTime& utc, const GpsStatus& status) {
  char text[160];
  std::snprintf(text, sizeof text, "GPRMC,%s,%c,%s,%s,%s,%s,%02d%02d%02d,,,%c",
                FormatTime(utc).c_str(), status.fix_quality > 0 ? 'A' : 'V',
                FormatLatitude(sample.latitude).c_str(), FormatLongitude(sample.longitude).c_str(),
                FormatFixed(sample.speed_mps * kKnotsPerMps, 1).c_str(),
                FormatFixed(sample.course_deg, 1).c_str(), utc.day, utc.month,
                utc.year % 100, status.fix_quality > 0 ? (status.fix_quality == 2 ? 'D' : 'A') : 'N');
  return FinishSentence(text);
}

}  // namespace tq::sim
