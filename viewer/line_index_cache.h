// The file viewer's line index: a scan of a data file for its lines, and two
// fixed-length text files per line, LINE1.R6X (station and channel presence)
// and LINE2.R6X (station and channel values), one record pair per station,
// that the viewer pages through by record number.
//
// LINE1.R6X record, 29 bytes: station "%12.2f", eight flags "%2d", '\n'.
// LINE2.R6X record, 109 bytes: station "%12.2f", eight values "%12.2f", '\n'.
// Where the station numbering restarts (an "S" record) four gap pairs are
// written: "%12d" of -1, then eight "%2d" of 0 / eight "%12d" of -9999;
// they hold no '.', which is how the reader tells them from stations.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "instrument/decoding.h"
#include "ice/ice_thickness.h"
#include "settings/build_config.h"
#include "settings/settings.h"
#include "survey/record_reader.h"

namespace tq {

inline constexpr size_t kLine1RecordLength = 29;
inline constexpr size_t kLine2RecordLength = 109;
inline constexpr int32_t kGapPairsPerRestart = 4;

// The reader's message box when a cache file cannot be opened.
inline constexpr const char* kInvalidHandle1Text = "invalid handle 1";
inline constexpr const char* kInvalidHandle2Text = "invalid handle 2";
inline constexpr const char* kInvalidHandleCaption = "IHV";

// Where the two cache files live: "FLDINI" under the build's storage root.
struct LineCachePaths {
  std::filesystem::path line1;
  std::filesystem::path line2;
};
LineCachePaths LineCachePathsFor(const BuildConfig& build);

// What the viewer learns when it opens a data file. Lines are kept however
// many the file has.
struct DataFileScan {
  StoredHeader header;
  int32_t kind = kKindTq68Mk2;             // the header's, else the build's
  bool torn_tail = false;                  // a partial record ends the file
  std::vector<int64_t> line_offsets;       // byte offset of each "L" record, as found
                                           // (not always a whole number of records)
  std::vector<std::string> line_names;     // as the line box shows them (UTF-8)
  std::vector<SkippedRange> skipped;       // bytes passed over as damage
  int32_t readings_per_station = 1;
  bool ice_thickness = false;              // a TQ62 file recorded with ice thickness,
                                           // seen in a build with the ice option
  uint32_t sea_water_index = 0;            // of that file
};

// Told now and then how far a long pass through a data file has come:
// bytes done of the bytes it has to read. It may draw and handle messages.
using FilePassProgress = std::function<void(int64_t done, int64_t total)>;

// Scans the data file at `path` for its header and line records. nullopt
// (and `error`) when the file cannot be read or has no whole header.
std::optional<DataFileScan> ScanDataFile(const std::filesystem::path& path,
                                         const BuildConfig& build, std::string* error = nullptr,
                                         const FilePassProgress& progress = {});

// The line box text of an "L" record: the name from its second character up
// to the first blank after it, at most 8 characters, widened to UTF-8.
std::string LineBoxName(std::span<const uint8_t> record);

// Writes "%12.2f" of `value` into `out`, exactly as printf would; false (and
// `out` untouched) when the text would not fit 12 characters or the value is
// not finite.
bool FormatCacheNumber(double value, char* out);

struct LineIndexResult {
  bool ok = false;
  int64_t record_total = 0;  // record pairs written
  std::string error;
};

// Builds both cache files for line `line` (1-based, in file order) of the
// data file at `data_file`, recreating them. Stations come from the station
// rule; a station is written once it has its readings per station, an
// incomplete one when the next station begins or a new station is set (with
// its own number); one still incomplete at the end of the line is not
// written. A station whose number does not fit its 12 characters is written
// as a gap pair, a value that does not fit as an absent channel.
LineIndexResult BuildLineIndexCache(const std::filesystem::path& data_file,
                                    const DataFileScan& scan, int32_t line,
                                    const LineCachePaths& paths,
                                    const FilePassProgress& progress = {});

// One station of the viewer's window.
struct StationEntry {
  bool valid = false;
  float station = 0.0f;
  std::array<int32_t, kProfileChannelCount> flags{};
  std::array<float, kProfileChannelCount> values{};
  float ice_thickness = 0.0f;  // set only for ice files with channel 1 present
};

// The viewer's window, indexed by screen column; grows to the last index loaded.
using StationWindow = std::vector<StationEntry>;

// How to read the window back: the kind (channels 0..5, or all eight on
// TQ68-MK2) and, for ice files, the table that converts channel 1.
struct StationWindowSource {
  LineCachePaths paths;
  int32_t kind = kKindTq68Mk2;
  bool ice_thickness = false;
  IceTable ice_table{};
  std::optional<IceLimits> ice_limits;
};

// The window source for a scanned file: its kind and, for a TQ62 ice file,
// the stored table of its sea-water index in the settings' Tq62Variant.
StationWindowSource StationWindowSourceFor(const DataFileScan& scan, const LineCachePaths& paths,
                                           const SettingsStore& settings);

struct WindowLoadResult {
  bool line1_opened = false;  // false: show kInvalidHandle1Text
  bool line2_opened = false;  // false: show kInvalidHandle2Text
};

// Reads records `record`, `record` + 1, ... (1-based) of both cache files
// into window indexes first..last. Records that are missing, short or gaps
// leave their index invalid with its flags cleared and its values as they were.
WindowLoadResult LoadStationWindow(StationWindow& window, int32_t first, int32_t last,
                                   int64_t record, const StationWindowSource& source);

}  // namespace tq
