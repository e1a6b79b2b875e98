// The command line of tqsim.
#pragma once

#include <filesystem>
#include <span>
#include <string>
#include <string_view>

#include "tools/sim/simulator.h"

namespace tq::sim {

struct TqsimOptions {
  SimulatorOptions simulator;
  std::filesystem::path instrument_link;  // empty: no instrument port
  std::filesystem::path gps_link;         // empty: no GPS port
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
