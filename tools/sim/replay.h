// Plays a replay plan on the simulator's ports: run after run, holding the
// instrument's first frame while the logger waits, and stepping from run to
// run on the operator's word when asked.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <string>

#include "tools/sim/fault_filter.h"
#include "tools/sim/replay_plan.h"
#include "tools/sim/simulator.h"

namespace tq::sim {

struct ReplayOptions {
  double speed = 1.0;      // the file's time line runs this many times faster
  double lead_in_s = 3.0;  // the first frame held this long before the first run
  bool step = false;       // wait for a line before each run
  FaultOptions faults;     // damage to both lines, as for the simulated walk
};

// What the operator said at a run boundary (--step).
enum class StepInput { kNothing, kQuiet, kHold, kPlay, kEnd };

struct ReplayIo {
  SendBytes instrument;
  SendBytes gps;  // empty: the GPS lines are not sent
  // Waits at most the given time for a line of input: kQuiet for "quiet",
  // kHold for "hold", kPlay for any other, kEnd at its end, kNothing when
  // none came.
  std::function<StepInput(std::chrono::milliseconds)> read_step;
  // True once the replay should end early (a signal).
  std::function<bool()> stopped;
  // One line for the operator ("run 2 of 3: 140 readings").
  std::function<void(const std::string&)> say;
};

struct ReplayResult {
  bool completed = false;  // every run was played
  int64_t readings = 0;    // readings of the runs played
  int64_t gps_sentences = 0;  // GPS lines sent
};

// Plays `plan` through `io`; returns when it is done or io.stopped() says so.
ReplayResult PlayReplay(const ReplayPlan& plan, const ReplayOptions& options, ReplayIo& io);

// "run 2 of 3: 140 readings", ", 35 GPS sentences" added when it has some
// and they are sent.
std::string RunStartLine(const ReplayPlan& plan, size_t run, bool with_gps);

// "replayed N readings, M GPS sentences, K damaged records skipped".
std::string SummaryLine(const ReplayResult& result, int64_t damaged_records);

}  // namespace tq::sim
