// A synthetic survey: an operator walking a straight line back and forth over
// ground whose conductivity varies smoothly with position.
#pragma once

#include <cstdint>

namespace tq::sim {

struct WalkParams {
  double pace_mps = 1.0;         // walking pace, metres per second
  double line_length_m = 100.0;  // the operator turns at each end
  double start_latitude = 52.0;  // degrees, north positive
  double start_longitude = 5.0;  // degrees, east positive
  double bearing_deg = 90.0;     // direction of the outward leg
  int marker_every = 25;         // readings between marker presses; 0 never
  bool vertical = true;          // dipole orientation the instrument reports
  double turn_after_s = -1.0;    // the instrument turns to the other dipole then; negative never
};

// Everything the instruments and the GPS receiver report at one moment.
struct WalkSample {
  double distance_m = 0.0;      // position along the line
  double latitude = 0.0;        // degrees
  double longitude = 0.0;       // degrees
  double speed_mps = 0.0;
  double course_deg = 0.0;      // 0..360, the way the operator faces
  double conductivity = 0.0;    // mS/m, first coil pair
  double inphase = 0.0;         // ppt, first coil pair
  double conductivity2 = 0.0;   // mS/m, second coil pair or geometry
  double inphase2 = 0.0;        // ppt, second coil pair or geometry
  double ice_thickness_m = 0.0; // sea-ice thickness under the sled
  int ice_inphase = 0;          // the ice instrument's inphase figure, 0..999
  bool marker = false;          // the operator pressed the marker
  bool vertical = true;
};

// The walk `elapsed_s` seconds after the start, as reading `reading_index`
// (0-based, which decides the marker). The values depend on the position
// only, so a spot gives the same readings on the way out and back.
WalkSample SampleWalk(const WalkParams& params, double elapsed_s, uint64_t reading_index);

}  // namespace tq::sim
