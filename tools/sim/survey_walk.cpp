#include "tools/sim/survey_walk.h"

#include <cmath>
#include <numbers>

namespace tq::sim {
namespace {

constexpr double kMetresPerDegree = 111320.0;

double Wave(double distance_m, double wavelength_m, double phase) {
  return std::sin(2.0 * std::numbers::pi * distance_m / wavelength_m + phase);
}

double Radians(double degrees) { return degrees * std::numbers::pi / 180.0; }

}  // namespace

WalkSample SampleWalk(const WalkParams& params, double elapsed_s, uint64_t reading_index) {
  WalkSample s;
  double length = params.line_length_m > 0.0 ? params.line_length_m : 1.0;
  double walked = std::fabs(params.pace_mps * elapsed_s);
  double lap = std::fmod(walked, 2.0 * length);
  bool outward = lap < length;
  s.distance_m = outward ? lap : 2.0 * length - lap;
  s.speed_mps = std::fabs(params.pace_mps);
  s.course_deg = std::fmod(params.bearing_deg + (outward ? 0.0 : 180.0) + 360.0, 360.0);

  // A flat-earth offset is plenty over a survey line of a few hundred metres.
  double bearing = Radians(params.bearing_deg);
  s.latitude = params.start_latitude + s.distance_m * std::cos(bearing) / kMetresPerDegree;
  s.longitude = params.start_longitude + s.distance_m * std::sin(bearing) /
                                             (kMetresPerDegree * std::cos(Radians(params.start_latitude)));

  double d = s.distance_m;
  s.conductivity = 30.0 + 12.0 * Wave(d, 40.0, 0.0) + 5.0 * Wave(d, 13.0, 0.7);
  s.inphase = 3.0 + 1.5 * Wave(d, 25.0, 1.3);
  s.conductivity2 = 0.8 * s.conductivity + 4.0 * Wave(d, 60.0, 2.1);
  s.inphase2 = 1.5 + 0.8 * Wave(d, 17.0, 0.4);
  s.ice_thickness_m = 1.5 + 0.8 * Wave(d, 50.0, 0.0);
  s.ice_inphase = static_cast<int>(std::lround(400.0 + 150.0 * Wave(d, 50.0, 0.9)));

  s.marker = params.marker_every > 0 &&
             (reading_index + 1) % static_cast<uint64_t>(params.marker_every) == 0;
  const bool turned = params.turn_after_s >= 0.0 && elapsed_s >= params.turn_after_s;
  s.vertical = params.vertical != turned;
  return s;
}

}  // namespace tq::sim
