// NMEA 0183 sentences of a GPS receiver following the walk.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/clock.h"
#include "tools/sim/survey_walk.h"

namespace tq::sim {

// What the receiver reports about its fix.
struct GpsStatus {
  int fix_quality = 1;   // GGA quality: 0 none, 1 GPS, 2 differential, ...
  // When not empty, the fix quality of each second in turn, round and round.
  std::vector<int> fix_schedule;
  int satellites = 8;    // in use, at most 12 are listed in GSA
  double pdop = 1.8;
  double hdop = 0.9;
  double vdop = 1.5;
  double altitude_m = 12.0;
  double geoid_separation_m = 47.0;
};

// "$" body "*" two upper-case hex digits, CR LF.
std::string FinishSentence(std::string_view body);

// Latitude as "ddmm.mmmm,N" and longitude as "dddmm.mmmm,E".
std::string FormatLatitude(double degrees);
std::string FormatLongitude(double degrees);

// The fix sentences at `sample`, stamped with the UTC time `utc`.
std::string FormatGga(const WalkSample& sample, const LocalTime& utc, const GpsStatus& status);
std::string FormatGsa(const GpsStatus& status);
std::string FormatRmc(const WalkSample& sample, const LocalTime& utc, const GpsStatus& status);

}  // namespace tq::sim
