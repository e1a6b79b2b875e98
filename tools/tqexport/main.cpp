// tqexport: data files to CSV, GeoJSON or EMagPy's CSV, or a listing of
// their records.
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <string_view>
#include <vector>

#include "build_defaults.h"
#include "tools/tqexport/export_command.h"

int main(int argc, char** argv) {
  using namespace tq::exporter;
  const std::vector<std::string_view> args(argv + 1, argv + argc);
  // After "--" it would be the name of a file.
  const auto options_end = std::find(args.begin(), args.end(), "--");
  if (std::find(args.begin(), options_end, "--version") != options_end) {
    std::printf("tqexport %s\n", TQ_VERSION);
    return kExitOk;
  }
  const ParsedCommandLine parsed = ParseCommandLine(args);
  if (parsed.options.help) {
    std::fputs(HelpText().c_str(), stdout);
    return kExitOk;
  }
  if (!parsed.error.empty()) {
    std::fprintf(stderr, "tqexport: %s\n", parsed.error.c_str());
    return kExitUsage;
  }
  // Progress only where it cannot land between the lines of the export.
  const bool progress = isatty(STDERR_FILENO) == 1 &&
                        (!parsed.options.output.empty() || isatty(STDOUT_FILENO) == 0);
  return RunExport(parsed.options, STDOUT_FILENO, stderr, progress);
}
