#include "tools/tqexport/export_command.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstring>
#include <optional>
#include <system_error>
#include <utility>
#include <vector>

#include "survey/record_reader.h"
#include "tools/tqexport/export_rows.h"
#include "tools/tqexport/export_writers.h"
#include "tools/tqexport/svg_map.h"
#include "tools/tqexport/svg_profile.h"
#include "tools/tqexport/text_out.h"

namespace tq::exporter {
namespace {

namespace fs = std::filesystem;

// Numbers given on the command line stay below this, so that names built
// from them stay plain decimals.
constexpr double kLargestOption = 1e7;
constexpr int64_t kProgressEvery = 1 << 16;  // records

// A strict decimal number: the whole text, finite, within the limits.
std::optional<double> ParseOptionNumber(std::string_view text, bool allow_zero) {
  double value = 0.0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value,
                                            std::chars_format::fixed);
  if (text.empty() || error != std::errc() || end != text.data() + text.size() ||
      !std::isfinite(value) || value < 0.0 || (value == 0.0 && !allow_zero) ||
      value > kLargestOption) {
    return std::nullopt;
  }
  return value;
}

std::optional<Format> ParseFormat(std::string_view text) {
  if (text == "csv") return Format::kCsv;
  if (text == "geojson") return Format::kGeoJson;
  if (text == "records") return Format::kRecords;
  if (text == "emagpy") return Format::kEmagpy;
  if (text == "svg") return Format::kSvg;
  if (text == "map-svg") return Format::kMapSvg;
  return std::nullopt;
}

// One line to `messages`, naming the file.
void Say(std::FILE* messages, const fs::path& file, const std::string& text) {
  std::fprintf(messages, "tqexport: %s: %s\n", file.c_str(), text.c_str());
}

// A percentage on one terminal line, rewritten in place.
class Progress {
 public:
  Progress(std::FILE* messages, const fs::path& file, int64_t records, bool on)
      : messages_(messages), file_(file), records_(records), on_(on && records > 0) {}
  void Show(int64_t done) {
    if (!on_) return;
    const int percent = static_cast<int>(done * 100 / records_);
    if (percent == shown_) return;
    shown_ = percent;
    std::fprintf(messages_, "\rtqexport: %s: %3d%%", file_.c_str(), percent);
    std::fflush(messages_);
  }
  void Done() {
    if (shown_ < 0) return;
    Show(records_);
    std::fputc('\n', messages_);
  }

 private:
  std::FILE* messages_;
  fs::path file_;
  int64_t records_;
  bool on_;
  int shown_ = -1;
};

// A temporary file beside the output that becomes the output on Commit and
// disappears otherwise.
class PendingOutput {
 public:
  PendingOutput() = default;
  PendingOutput(const PendingOutput&) = delete;
  PendingOutput& operator=(const PendingOutput&) = delete;
  ~PendingOutput() {
    if (fd_ >= 0) ::close(fd_);
    if (!temp_.empty()) ::unlink(temp_.c_str());
  }

  bool Create(const fs::path& output, std::string* error) {
    std::error_code ec;
    // Through a symbolic link: the file it names is the one to replace.
    fs::path target = output;
    if (fs::is_symlink(fs::symlink_status(output, ec))) {
      fs::path resolved = fs::canonical(output, ec);
      if (!ec) target = std::move(resolved);
    }
    target_ = target;
    const fs::file_status status = fs::status(target, ec);
    if (fs::exists(status) && !fs::is_regular_file(status) && !fs::is_directory(status)) {
      // A device or a pipe (/dev/null, /dev/stdout) cannot be replaced by a
      // file, only written.
      fd_ = ::open(target.c_str(), O_WRONLY | O_CLOEXEC);
      if (fd_ < 0) {
        *error = std::string("cannot open the output: ") + std::strerror(errno);
        return false;
      }
      return true;
    }
    if (fs::is_regular_file(status)) {
      mode_ = static_cast<mode_t>(status.permissions() & fs::perms::mask);
    }
    const fs::path dir = target.has_parent_path() ? target.parent_path() : fs::path(".");
    std::string name = ".";
    name.append(target.filename().string()).append(".XXXXXX");
    std::string pattern = (dir / name).string();
    fd_ = ::mkstemp(pattern.data());
    if (fd_ < 0) {
      *error = std::string("cannot create a file beside the output: ") + std::strerror(errno);
      return false;
    }
    temp_ = pattern;
    return true;
  }

  int fd() const { return fd_; }

  // Makes the written file the output: to storage, with the permissions of
  // the file it replaces or those a new file gets, renamed over the target.
  // A device or a pipe is only closed.
  bool Commit(std::string* error) {
    if (temp_.empty()) {
      const bool closed = ::close(fd_) == 0;
      fd_ = -1;
      if (!closed) *error = std::string("cannot write the output: ") + std::strerror(errno);
      return closed;
    }
    if (!mode_) {
      const mode_t mask = ::umask(0);
      ::umask(mask);
      mode_ = 0666 & ~mask;
    }
    bool ok = ::fchmod(fd_, *mode_) == 0 && ::fsync(fd_) == 0;
    ok = ::close(fd_) == 0 && ok;
    fd_ = -1;
    if (ok) ok = ::rename(temp_.c_str(), target_.c_str()) == 0;
    if (!ok) {
      *error = std::string("cannot write the output: ") + std::strerror(errno);
      return false;
    }
    temp_.clear();
    return true;
  }

 private:
  fs::path target_;
  std::string temp_;  // empty: writing straight into a device or a pipe
  std::optional<mode_t> mode_;
  int fd_ = -1;
};

// "52,013": byte offsets as the damage report names them.
std::string GroupedNumber(int64_t n) {
  std::string digits = std::to_string(n);
  for (auto at = static_cast<std::ptrdiff_t>(digits.size()) - 3; at > 0; at -= 3) {
    digits.insert(static_cast<size_t>(at), 1, ',');
  }
  return digits;
}

// The progress of an export: shown when asked for and the file is large.
Progress ProgressOf(std::FILE* messages, const fs::path& input, const StoredHeader& header,
                    const RecordCursor& cursor, bool progress) {
  return Progress(messages, input, cursor.record_count(),
                  progress && cursor.record_count() * static_cast<int64_t>(header.record_length) >
                                  kProgressFileBytes);
}

// Names each range passed over as damage, and a last record cut short.
void ReportPassedOver(std::FILE* messages, const fs::path& input, const StoredHeader& header,
                      const RecordCursor& cursor, const std::vector<SkippedRange>& skipped) {
  for (const SkippedRange& range : skipped) {
    Say(messages, input,
        "bytes " + GroupedNumber(range.first) + "-" + GroupedNumber(range.end - 1) +
            " skipped: not records");
  }
  if (cursor.has_torn_tail()) {
    const int64_t tail = cursor.size() - cursor.offset();
    Say(messages, input,
        "warning: the last record is cut short (" + std::to_string(tail) + " of " +
            std::to_string(header.record_length) + " bytes) and was skipped");
  }
}

// Writes each planned line's profile into a document of its own in the
// folder `options.split` (made when missing), each replaced only when it
// was written whole. Returns the exit status.
int WriteSplitProfile(const ExportOptions& options, const StoredHeader& header,
                      RecordCursor& cursor, const ProfilePlan& plan, std::FILE* messages,
                      bool progress) {
  const fs::path& dir = *options.split;
  std::error_code ec;
  fs::create_directories(dir, ec);
  if (ec) {
    Say(messages, dir, "cannot make the folder: " + ec.message());
    return kExitFailure;
  }
  int32_t digits = 3;
  if (!plan.lines.empty()) {
    digits = std::max<int32_t>(digits,
                               static_cast<int32_t>(std::to_string(plan.lines.back().number).size()));
  }
  const std::string stem = options.input.stem().string();
  std::optional<PendingOutput> pending;
  std::optional<TextOut> page;
  fs::path page_path;
  bool failed = false;
  ProfileOutput output;
  output.open_page = [&](const ProfileLine& line) -> TextOut* {
    page_path = dir / SplitFileName(stem, line, digits);
    std::string error;
    pending.emplace();
    if (!pending->Create(page_path, &error)) {
      Say(messages, page_path, error);
      failed = true;
      return nullptr;
    }
    page.emplace(pending->fd());
    return &*page;
  };
  output.close_page = [&](const ProfileLine&) {
    std::string error;
    if (!page->Flush()) {
      Say(messages, page_path, "cannot write: " + page->error());
    } else if (!pending->Commit(&error)) {
      Say(messages, page_path, error);
    } else {
      return true;
    }
    failed = true;
    return false;
  };
  Progress shown = ProgressOf(messages, options.input, header, cursor, progress);
  std::vector<SkippedRange> skipped;
  const bool read =
      WriteProfileSvg(cursor, header, plan, options.input.filename().string(), output,
                      [&shown](int64_t records) { shown.Show(records); }, skipped);
  shown.Done();
  page.reset();
  pending.reset();
  if (!read) {
    Say(messages, options.input, "cannot read: " + cursor.error());
    return kExitFailure;
  }
  ReportPassedOver(messages, options.input, header, cursor, skipped);
  if (failed) return kExitFailure;
  return skipped.empty() ? kExitOk : kExitDamaged;
}

// Feeds the body records to a row builder and every settled row to `write`;
// the ranges the cursor passed over go to `skipped`.
template <typename Write>
void ExportRows(RecordCursor& cursor, const StoredHeader& header, bool positions,
                Progress& progress, const TextOut& out, std::vector<SkippedRange>& skipped,
                Write write) {
  RowBuilder rows(header, positions);
  cursor.Seek(kFirstBodyRecord);
  int64_t index = kFirstBodyRecord;
  while (const std::optional<std::span<const uint8_t>> record = cursor.Next()) {
    if (cursor.skipped()) {
      skipped.push_back(*cursor.skipped());
      rows.Skip(*cursor.skipped());
    }
    rows.Feed(*record, index);
    while (std::optional<ExportRow> row = rows.TakeRow()) write(*row);
    if (++index % kProgressEvery == 0) {
      progress.Show(index);
      if (out.failed()) return;
    }
  }
  if (cursor.skipped()) skipped.push_back(*cursor.skipped());
  rows.Finish();
  while (std::optional<ExportRow> row = rows.TakeRow()) write(*row);
}

// The coil columns that some reading of the file fills; the first pass of
// an emagpy export.
std::vector<CoilColumn> FilledCoils(RecordCursor& cursor, const StoredHeader& header,
                                    const std::vector<CoilColumn>& candidates) {
  std::vector<bool> filled(candidates.size(), false);
  Progress quiet(nullptr, {}, 0, false);
  const TextOut none;
  std::vector<SkippedRange> skipped;  // reported by the pass that writes
  ExportRows(cursor, header, false, quiet, none, skipped, [&](const ExportRow& row) {
    for (size_t i = 0; i < candidates.size(); ++i) {
      if (!filled[i] && FillsCoil(candidates[i], row)) filled[i] = true;
    }
  });
  std::vector<CoilColumn> columns;
  for (size_t i = 0; i < candidates.size(); ++i) {
    if (filled[i]) columns.push_back(candidates[i]);
  }
  return columns;
}

// What the first pass of a drawing found.
struct DrawingPlans {
  std::optional<ProfilePlan> profile;
  std::optional<MapPlan> map;
};

// The whole export into `out`, with the ranges passed over as damage in
// `skipped`; false when reading the file failed.
bool WriteExport(const ExportOptions& options, const StoredHeader& header, RecordCursor& cursor,
                 const std::vector<CoilColumn>& coils, const DrawingPlans& plans, TextOut& out,
                 Progress& progress, std::vector<SkippedRange>& skipped, std::FILE* messages) {
  const auto show = [&progress](int64_t records) { progress.Show(records); };
  const std::string file_name = options.input.filename().string();
  switch (options.format) {
    case Format::kSvg: {
      ProfileOutput output;
      output.one = &out;
      return WriteProfileSvg(cursor, header, *plans.profile, file_name, output, show, skipped);
    }
    case Format::kMapSvg:
      return WriteMapSvg(cursor, header, *plans.map, file_name, out, show, skipped);
    case Format::kCsv: {
      CsvWriter csv(RowColumnsFor(header), out);
      csv.Begin();
      ExportRows(cursor, header, true, progress, out, skipped,
                 [&](const ExportRow& row) { csv.Write(row); });
      break;
    }
    case Format::kGeoJson: {
      GeoJsonWriter json(RowColumnsFor(header), out);
      json.Begin();
      ExportRows(cursor, header, true, progress, out, skipped,
                 [&](const ExportRow& row) { json.Write(row); });
      json.End();
      if (json.features() == 0) {
        Say(messages, options.input,
            header.gps_survey ? "warning: no reading has a GPS position"
                              : "warning: a grid survey has no positions; no features written");
      }
      break;
    }
    case Format::kEmagpy: {
      EmagpyWriter emagpy(coils, header.gps_survey, out);
      emagpy.Begin();
      ExportRows(cursor, header, header.gps_survey, progress, out, skipped,
                 [&](const ExportRow& row) { emagpy.Write(row); });
      emagpy.End();
      if (emagpy.incomplete() > 0) {
        Say(messages, options.input,
            "warning: " + std::to_string(emagpy.incomplete()) +
                " stations without a value for every coil were left out");
      }
      if (emagpy.unplaced() > 0) {
        Say(messages, options.input,
            "warning: " + std::to_string(emagpy.unplaced()) +
                " stations without a GPS position were left out");
      }
      break;
    }
    case Format::kRecords: {
      RecordLister lister(header, out);
      cursor.Seek(0);
      const auto length = static_cast<int64_t>(header.record_length);
      int64_t index = 0;
      while (const std::optional<std::span<const uint8_t>> record = cursor.Next()) {
        if (cursor.skipped()) {
          skipped.push_back(*cursor.skipped());
          lister.Skipped(*cursor.skipped());
        }
        // The headers go by their place in the file, whatever was passed over.
        const int64_t offset = cursor.record_offset();
        lister.List(*record, index, offset < 2 * length ? offset / length : kFirstBodyRecord);
        if (++index % kProgressEvery == 0) {
          progress.Show(index);
          if (out.failed()) break;
        }
      }
      if (cursor.skipped()) {
        skipped.push_back(*cursor.skipped());
        lister.Skipped(*cursor.skipped());
      }
      break;
    }
  }
  return !cursor.failed();
}

}  // namespace

ParsedCommandLine ParseCommandLine(std::span<const std::string_view> args) {
  ParsedCommandLine parsed;
  ExportOptions& o = parsed.options;
  bool have_input = false;
  bool options_end = false;
  std::string profile_option;  // the first option that only the profile takes
  for (size_t i = 0; i < args.size(); ++i) {
    std::string_view arg = args[i];
    if (options_end || arg.empty() || arg[0] != '-' || arg == "-") {
      if (have_input) {
        parsed.error = "more than one FILE given: " + std::string(arg);
        return parsed;
      }
      o.input = std::string(arg);
      have_input = true;
      continue;
    }
    if (arg == "--") {
      options_end = true;
      continue;
    }
    if (arg == "-h" || arg == "--help") {
      o.help = true;
      continue;
    }
    // The option's value: after "=" or the next argument.
    std::string_view name = arg;
    std::optional<std::string_view> value;
    if (const size_t eq = arg.find('='); arg.starts_with("--") && eq != std::string_view::npos) {
      name = arg.substr(0, eq);
      value = arg.substr(eq + 1);
    }
    const bool known = name == "-o" || name == "--output" || name == "--format" ||
                       name == "--coil-separation" || name == "--frequency" ||
                       name == "--height" || name == "--line" || name == "--split" ||
                       name == "--scale" || name == "--colours" || name == "--channel";
    if (!known) {
      parsed.error = "unknown option " + std::string(name) + " (see tqexport --help)";
      return parsed;
    }
    if (!value) {
      if (i + 1 == args.size()) {
        parsed.error = "option " + std::string(name) + " needs a value";
        return parsed;
      }
      value = args[++i];
    }
    if (profile_option.empty() &&
        (name == "--line" || name == "--split" || name == "--scale" || name == "--colours")) {
      profile_option = std::string(name);
    }
    if (name == "-o" || name == "--output") {
      if (value->empty()) {
        parsed.error = "option " + std::string(name) + " needs a file name";
        return parsed;
      }
      o.output = std::string(*value);
    } else if (name == "--format") {
      const std::optional<Format> format = ParseFormat(*value);
      if (!format) {
        parsed.error = "unknown format " + std::string(*value) +
                       " (csv, geojson, records, emagpy, svg or map-svg)";
        return parsed;
      }
      o.format = *format;
    } else if (name == "--line") {
      o.line = std::string(*value);
    } else if (name == "--split" || name == "--channel") {
      if (value->empty()) {
        parsed.error = "option " + std::string(name) + " needs a " +
                       (name == "--split" ? "folder" : "channel name");
        return parsed;
      }
      if (name == "--split") {
        o.split = std::string(*value);
      } else {
        o.channel = std::string(*value);
      }
    } else if (name == "--scale") {
      if (*value != "full" && *value != "robust") {
        parsed.error = "option --scale needs full or robust, not " + std::string(*value);
        return parsed;
      }
      o.style.scale = *value == "robust" ? ProfileScale::kRobust : ProfileScale::kFull;
    } else if (name == "--colours") {
      if (*value != "print" && *value != "logger") {
        parsed.error = "option --colours needs print or logger, not " + std::string(*value);
        return parsed;
      }
      o.style.pens = *value == "logger" ? TracePens::kLogger : TracePens::kPrint;
    } else {
      const bool height = name == "--height";
      const std::optional<double> number = ParseOptionNumber(*value, height);
      if (!number) {
        parsed.error = "option " + std::string(name) + " needs a number " +
                       (height ? "of 0 or more" : "above 0") + ", not " + std::string(*value);
        return parsed;
      }
      (name == "--coil-separation" ? o.naming.separation_m
       : height                    ? o.naming.height_m
                                   : o.naming.frequency_hz) = number;
    }
  }
  if (o.help) return parsed;
  if (!have_input) {
    parsed.error = "no data FILE given (see tqexport --help)";
  } else if (o.format != Format::kEmagpy &&
             (o.naming.separation_m || o.naming.frequency_hz || o.naming.height_m)) {
    parsed.error = "--coil-separation, --frequency and --height go with --format emagpy only";
  } else if (!profile_option.empty() && o.format != Format::kSvg) {
    parsed.error = profile_option + " goes with --format svg only";
  } else if (o.split && !o.output.empty()) {
    parsed.error = "--split writes one file per line into its folder; it goes without -o";
  } else if (o.channel && o.format != Format::kMapSvg) {
    parsed.error = "--channel goes with --format map-svg only";
  } else if (o.naming.height_m && !o.naming.frequency_hz) {
    parsed.error = "--height needs --frequency: EMagPy reads the height after the frequency";
  }
  return parsed;
}

std::string HelpText() {
  return R"(Usage: tqexport FILE [-o OUT] [--format csv|geojson|records|emagpy]
                [--coil-separation M] [--frequency HZ] [--height M]
       tqexport FILE --format svg [--line LINES] [--scale full|robust]
                [--colours print|logger] [-o OUT | --split DIR]
       tqexport FILE --format map-svg [--channel NAME] [-o OUT]

Turns a logger data file of any instrument kind (.R62 .P68 .Q68 .R68 .R64 .R93
.I62 .N68) into CSV (the default), GeoJSON or the CSV that EMagPy reads, lists
its records, or draws its profiles or its GPS track as SVG. The output goes to
standard output unless -o names a file.

Options:
  -o, --output OUT      write OUT; it is replaced only when the whole export
                        succeeds (a temporary file beside it is renamed);
                        a device or a pipe is written straight
  --format FORMAT       csv, geojson, records, emagpy, svg or map-svg
                        (default csv)
  --coil-separation M   emagpy: the coil separation in metres, for the kinds
                        whose files do not tell it (all but TQ64-3, TQ68-MK2)
  --frequency HZ        emagpy: add the frequency to every coil name
  --height M            emagpy: add the height above ground to every coil
                        name; needs --frequency
  --line LINES          svg: draw only these lines: names (as the "L" record
                        holds them, at most 8 characters), FIRST-LAST (the
                        lines whose names are numbers from FIRST to LAST),
                        #N (the Nth line of the file) or #N-#M, separated
                        by commas ("--line 3,7-9,#12"); a line's own name
                        counts before the other readings
  --split DIR           svg: write each line's profile into a file of its
                        own in DIR (made when missing), named by the data
                        file, the line's place and its name
                        (SURVEY-007-A1.svg), instead of one document
  --scale full|robust   svg: each plot from the line's lowest to its highest
                        value (full, the default), or from its 1st to its
                        99th percentile (robust), values beyond drawn on
                        the plot's edge under a small triangle
  --colours print|logger
                        svg: the traces' pens: colours that read on white
                        paper and screens, the same for each channel in
                        every file (print, the default), or the pens of the
                        logger's live profile (logger)
  --channel NAME        map-svg: colour the dots by this channel, named as
                        its csv column (C/H-1m, V-20m, Th, ...)
  -h, --help            show this text
  --version             show the version

csv: a line of column names, then one line per reading record:
  line      the line name of the last "L" record
  station   the station, rebuilt from the line's start and increment, the
            "S" records and the readings' marks (3 decimals)
  reading   1, 2, ... within the station
  tick      the reading's millisecond tick
  time      local time YYYY-MM-DDTHH:MM:SS.mmm: the last "*" time mark (dated
            by the last "Z" record) plus the ticks since it; empty before
            the first time mark
  marker    1 when the reading carries a marker, else 0
  dipole    V (vertical) or H (horizontal)
  then one column per profile channel the kind uses, named as its trace:
    TQ68-MK2   C/V-1m C/H-1m I/V-1m I/H-1m C/V-0.5m C/H-0.5m I/V-0.5m I/H-0.5m
    TQ64-3     V-10m V-20m V-40m H-10m H-20m H-40m
    TQ62, TQ68B, TQ68-DD, TQ68   C/V C/H I/V I/H (TQ62 ice files add Th)
    TQ93       C I (I: the second value, which the logger shows as Sep in m)
    FRZ62      Th I/P
  C is apparent conductivity (mS/m), I inphase (ppt), Th ice thickness (m),
  V and H the dipole; 3 decimals, empty where the reading has no value.
  GPS surveys add lat, lon (decimal degrees, 7 decimals), alt (m), quality,
  sats and hdop from the GGA sentences with good checksums and a fix
  quality above 0 (a receiver without a fix repeats a stale position with
  quality 0; such sentences place nothing): latitude, longitude and
  altitude are interpolated in tick between the fix just before and the
  fix just after the reading, each within 5 s; with a fix on one side
  only, that fix; with none, empty. quality, sats and hdop are those of the
  nearer fix.
  TQ62 files end every row with battery, battery_volts1 and battery_volts2.
  The TQ62 sends its two battery voltages as frames of their own (an odd
  status byte), which the logger stores as readings: such a row has
  battery 1, the two voltages (volts, 3 decimals) and no channel values; other
  rows have battery 0 and empty voltages. The other kinds have no battery
  frames and no such columns.
  Numbers always have a decimal point, whatever the locale.

geojson: a FeatureCollection of Point features ([lon, lat] or [lon, lat,
  alt]), one per reading with a position; the properties are the csv
  columns, numbers as numbers, empty cells as null. Grid surveys have none.

records: one line per record: its number (from 0, counting the records
  read), its kind and its fields (texts as JSON strings), readings decoded
  (TQ62 battery frames as battery-volts1= and battery-volts2=), GPS
  sentences put back together from their pieces.

emagpy: one row per station. First the coordinates: latitude, longitude,
  elevation in GPS surveys (the position of the station's last placed
  reading), x = station and y = 0 in grid surveys. Then one column per coil,
  apparent conductivity in mS/m, named by orientation and separation: the
  vertical dipole is HCP, the horizontal VCP (TQ68-MK2: HCP1.0 VCP1.0 HCP0.5
  VCP0.5; TQ64-3: HCP10 HCP20 HCP40 VCP10 VCP20 VCP40), with f<HZ> and h<M>
  when given (HCP1.0f9000h0.1); then the inphase in ppt under the same names
  with _inph (none for the TQ93, whose second value is no inphase). Coils
  that no reading fills are left out. TQ62 battery frames are left out: a
  station that holds nothing else gives no row.
  The single-pair kinds record V and H as separate readings (both at one
  station in Manual mode, at alternate stations otherwise), so each cell
  holds the coil's latest value taken at the station or at the station
  before it on the same line. A station without a value for every coil, or
  a GPS station without a position, gives no row; standard error counts
  them.

svg: the profile of every survey line, one panel per line, stacked. A
  panel's title names the line, the file, the model, the date and time of
  the line's "Z" record and the number of readings. Under it one plot per
  quantity the kind records (conductivity in mS/m, inphase in ppt, ice
  thickness in m; the TQ93's second value in m), each channel one trace
  (see --colours), labelled as the csv columns in the legend; x is the
  station. A trace stops where its channel has no readings: across
  damage passed over, a pause or the end of a logging run, a change of
  dipole (TQ93), and a station step of more than two increments (so
  readings that take turns with the other dipole still join); a reading
  alone is a dot. A plot spans at least 1 mS/m, 0.1 ppt or 0.1 m, and a margin
  beyond its end ticks. Markers are triangles and comments ticks with
  their text above the plots, where they fall; damage passed over is a
  hatched column through the plots. Each line is reduced to 700 pixel
  columns keeping every column's first, lowest, highest and last value,
  so spikes stay and a panel does not grow with the number of readings; a
  panel shows the text of its first 12 comments, the others as ticks.
  A line list that picks no line for one of its items is refused (status
  2) with the names there are. One document is at most 32,000 pixels tall
  (about 70 lines), which browsers still show: more lines are refused
  (status 2) unless --split DIR writes one file per line.

map-svg: a GPS survey's readings placed as in the geojson export, as dots
  coloured by the first conductivity channel that has values (the FRZ62's
  thickness) through a colour bar of its range, one dot per 4-pixel cell
  (the mean of the readings in it; grey where they have no value), in a
  local metric projection about the track's centre (east = R dlon
  cos(lat0), north = R dlat, the same scale both ways) with axes east and
  north in metres and a grid, each line's name at its first placed
  reading (names that would cover another are left out, and counted), a
  scale bar of a round length and a north arrow. The title says how many
  of the readings were placed. --channel NAME colours by another channel
  (the H dipole's, say). A grid survey, or a GPS survey in which readings
  are but none has a position, is refused (status 2).

files without readings: a file that holds only its header (or line
  starts and notes, but no reading) is no error: csv writes its column
  line, geojson an empty collection, records the records there are, svg
  and map-svg a page that says so (svg --split writes no file), with a
  warning, and the status is 0. emagpy alone refuses it (status 2): it
  has no coil column to write.

damaged files: where bytes inside a file do not make whole records (a
  byte inserted or lost, two files glued together), the reader skips to
  the first place where three records in a row are whole again, and
  everything else is exported. Standard error names each skipped
  range, "bytes 52,013-52,077 skipped: not records" (byte offsets from 0,
  both included), and --format records lists it in its place as
  "skipped bytes=52013-52077 length=65". A station whose first reading was
  lost still counts, so the readings after the damage keep their stations.

Exit status: 0 done; 3 done, but damaged bytes were skipped (see above);
2 bad options, or a FILE that cannot be opened or is not a data file of a
known kind (nothing is written); 1 reading the file or writing the output
failed. A last record cut short is skipped with a warning (status 0).

Examples:
  tqexport LINE7.N68 > line7.csv
  tqexport SURVEY.N68 --format geojson -o survey.geojson
  tqexport SURVEY.N68 --format emagpy --frequency 9000 --height 0.1 -o em.csv
  tqexport SURVEY.R68 --format emagpy --coil-separation 3.66 -o em.csv
  tqexport SURVEY.R64 --format records | less
  tqexport SURVEY.N68 --format svg --line 3 -o line3.svg
  tqexport SURVEY.N68 --format svg --line 10-20 --scale robust -o lines.svg
  tqexport SURVEY.N68 --format svg --split plots/
  tqexport SURVEY.N68 --format map-svg --channel C/H-1m -o map.svg
)";
}

int RunExport(const ExportOptions& options, int out_fd, std::FILE* messages, bool progress) {
  std::string error;
  const std::optional<StoredHeader> header = ReadHeader(options.input, &error);
  if (!header) {
    Say(messages, options.input, error);
    return kExitUsage;
  }
  if (header->kind < 0) {
    Say(messages, options.input,
        "not a data file of a known instrument (identifier \"" + header->identifier + "\")");
    return kExitUsage;
  }
  if (header->record_length != RecordLengthFor(header->kind)) {
    Say(messages, options.input,
        "not a data file: " + std::string(ModelName(header->kind)) + " records are " +
            std::to_string(RecordLengthFor(header->kind)) + " bytes, these are " +
            std::to_string(header->record_length));
    return kExitUsage;
  }
  std::optional<RecordCursor> cursor = RecordCursor::Open(options.input, header->record_length,
                                                          &error);
  if (!cursor) {
    Say(messages, options.input, error);
    return kExitFailure;
  }
  std::vector<CoilColumn> coils;
  if (options.format == Format::kEmagpy) {
    const std::vector<CoilColumn> candidates = CoilColumnsFor(*header, options.naming, &error);
    if (candidates.empty()) {
      Say(messages, options.input, error);
      return kExitUsage;
    }
    if (options.naming.separation_m && KindTellsCoilSeparation(header->kind)) {
      Say(messages, options.input,
          "warning: " + std::string(ModelName(header->kind)) +
              " files tell their coil separations; --coil-separation is not used");
    }
    coils = FilledCoils(*cursor, *header, candidates);
    bool conductivity = false;
    for (const CoilColumn& coil : coils) conductivity = conductivity || !coil.inphase;
    if (!conductivity) {
      Say(messages, options.input, "no reading carries an apparent conductivity for EMagPy");
      return kExitUsage;
    }
  }

  DrawingPlans plans;
  if (options.format == Format::kSvg) {
    plans.profile = PlanProfile(*cursor, *header, options.style, &error);
    if (!plans.profile) {
      Say(messages, options.input, error);
      return kExitFailure;
    }
    if (options.line && !SelectLines(*plans.profile, *options.line, &error)) {
      Say(messages, options.input, error);
      return kExitUsage;
    }
    const double height = ProfileDocumentHeight(*plans.profile);
    if (!options.split && height > kMaxDocumentHeight) {
      Say(messages, options.input,
          "the drawing of " + GroupedNumber(static_cast<int64_t>(plans.profile->lines.size())) +
              " lines would be " + GroupedNumber(std::llround(height)) +
              " pixels tall, more than a browser shows (" +
              GroupedNumber(std::llround(kMaxDocumentHeight)) +
              "); draw one file per line with --split DIR, or fewer lines with --line");
      return kExitUsage;
    }
    if (plans.profile->lines.empty()) {
      Say(messages, options.input,
          options.split ? "warning: the file holds no survey line; no file written"
                        : "warning: the file holds no survey line; the drawing says so");
    }
    if (options.split) return WriteSplitProfile(options, *header, *cursor, *plans.profile,
                                                messages, progress);
  } else if (options.format == Format::kMapSvg) {
    plans.map = PlanMap(*cursor, *header, options.channel, &error);
    if (!plans.map) {
      Say(messages, options.input, error);
      return cursor->failed() ? kExitFailure : kExitUsage;
    }
    if (plans.map->readings == 0) {
      Say(messages, options.input, "warning: the file holds no readings; the map says so");
    }
  }

  PendingOutput pending;
  int fd = out_fd;
  if (!options.output.empty()) {
    std::error_code ec;
    if (fs::equivalent(options.input, options.output, ec)) {
      Say(messages, options.input, "the output would replace the data file itself");
      return kExitUsage;
    }
    if (!pending.Create(options.output, &error)) {
      Say(messages, options.output, error);
      return kExitFailure;
    }
    fd = pending.fd();
  }

  TextOut out(fd);
  Progress shown = ProgressOf(messages, options.input, *header, *cursor, progress);
  std::vector<SkippedRange> skipped;
  const bool read =
      WriteExport(options, *header, *cursor, coils, plans, out, shown, skipped, messages);
  shown.Done();
  if (!read) {
    Say(messages, options.input, "cannot read: " + cursor->error());
    return kExitFailure;
  }
  ReportPassedOver(messages, options.input, *header, *cursor, skipped);
  if (!out.Flush()) {
    Say(messages, options.output.empty() ? fs::path("standard output") : options.output,
        "cannot write: " + out.error());
    return kExitFailure;
  }
  if (!options.output.empty() && !pending.Commit(&error)) {
    Say(messages, options.output, error);
    return kExitFailure;
  }
  return skipped.empty() ? kExitOk : kExitDamaged;
}

}  // namespace tq::exporter
