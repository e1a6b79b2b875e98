// The simulated instrument and receiver: the walk, encoded per kind, damaged
// on request, as paced streams ready to be sent.
#pragma once

#include <cstdint>
#include <functional>
#include <span>

#include "platform/clock.h"
#include "tools/sim/fault_filter.h"
#include "tools/sim/nmea.h"
#include "tools/sim/paced_sender.h"
#include "tools/sim/survey_walk.h"

namespace tq::sim {

struct SimulatorOptions {
  int kind = 7;           // instrument kind 0..7
  int frame_length = 12;  // kind 3 only: 7 or 12
  WalkParams walk;
  GpsStatus gps;
  FaultOptions faults;
  uint64_t readings = 0;  // instrument frames to send; 0 for no end
};

using SendBytes = std::function<bool(std::span<const uint8_t>)>;
using UtcClock = std::function<LocalTime()>;

// The instrument's frames at its frame period, limited to `readings`.
PacedStream MakeInstrumentStream(const SimulatorOptions& options, SendBytes send);

// GGA, GSA and RMC once a second along the same walk, stamped by `utc`;
// checksum faults apply to each sentence on its own.
PacedStream MakeGpsStream(const SimulatorOptions& options, SendBytes send, UtcClock utc = GetUtcTime);

}  // namespace tq::sim
