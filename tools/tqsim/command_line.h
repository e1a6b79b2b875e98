// The command line of tqsim.
#pragma once

#include <filesystem>
#include <span>
#include <string>
#include <string_view>

#include "tools/sim/replay.h"
#include "tools/sim/simulator.h"

namespace tq::sim {

struct TqsimOptions {
  SimulatorOptions simulator;
  std::filesystem::path instrument_link;  // empty: no instrument port
  std::filesystem::path gps_link;         // empty: no GPS port
  std::filesystem::path replay_file;      // empty: simulate the walk
  ReplayOptions replay;                   // its faults are simulator.faults
  bool kind_given = false;                // with --replay, the kind the file must be
  bool help = false;
};

struct ParsedCommandLine {
  TqsimOptions options;
  std::string error;  // empty when the arguments were good
};

// Parses the arguments after the program name; `error` names the first
// problem in one line.
ParsedCommandLine ParseCommandLine(std::span<const std::string_view> args);

// The text that --help prints.
std::string HelpText();

}  // namespace tq::sim
