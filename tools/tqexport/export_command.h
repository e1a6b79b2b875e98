// The tqexport command: its options, its help, and one export from a data
// file to a file or a descriptor.
#pragma once

#include <cstdio>
#include <filesystem>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "tools/tqexport/export_columns.h"
#include "tools/tqexport/svg_profile.h"

namespace tq::exporter {

enum class Format { kCsv, kGeoJson, kRecords, kEmagpy, kSvg, kMapSvg };

struct ExportOptions {
  std::filesystem::path input;
  std::filesystem::path output;  // empty: standard output
  Format format = Format::kCsv;
  CoilNaming naming;             // emagpy only
  std::optional<std::string> line;  // svg only: the lines to draw (SelectLines)
  std::optional<std::filesystem::path> split;  // svg only: one document per line in this folder
  ProfileStyle style;                          // svg only
  std::optional<std::string> channel;          // map-svg only: the channel of the colours
  bool help = false;
};

struct ParsedCommandLine {
  ExportOptions options;
  std::string error;  // one line naming the first problem; empty when good
};

// Parses the arguments after the program name.
ParsedCommandLine ParseCommandLine(std::span<const std::string_view> args);

// What --help prints.
std::string HelpText();

inline constexpr int kExitOk = 0;
inline constexpr int kExitFailure = 1;  // reading the file or writing the output failed
inline constexpr int kExitUsage = 2;    // bad options, or a file that cannot be exported
inline constexpr int kExitDamaged = 3;  // exported, but bytes that were no records were skipped

// Files larger than this show their progress when `progress` is asked for.
inline constexpr int64_t kProgressFileBytes = 4 * 1024 * 1024;

// Exports `options.input` to `options.output`, or to `out_fd` when no output
// is named. A named output is written to a temporary file beside it and
// renamed over it (or over the file its symbolic link names) only when the
// whole export succeeded; on failure it is left as it was. A device or a
// pipe is written straight. Errors and warnings go to `messages` as lines starting
// "tqexport: FILE:", progress too when `progress` is set, and so does every
// range of the file skipped as damage. Returns the exit status.
int RunExport(const ExportOptions& options, int out_fd, std::FILE* messages, bool progress);

}  // namespace tq::exporter
