#include "tools/tqsim/command_line.h"

#include <charconv>
#include <cstdint>
#include <cmath>
#include <functional>
#include <map>
#include <set>
#include <type_traits>
#include <vector>

#include "settings/build_config.h"

namespace tq::sim {
namespace {

// Whole text as a number of type T, or false.
template <typename T>
bool ParseNumber(std::string_view text, T* out) {
  if (text.empty() || text.front() == '+') return false;
  auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), *out);
  if (ec != std::errc() || end != text.data() + text.size()) return false;
  if constexpr (std::is_floating_point_v<T>) return std::isfinite(*out);
  return true;
}

std::string Quoted(std::string_view text) { return "\"" + std::string(text) + "\""; }

struct Parser {
  TqsimOptions options;
  std::string error;
  bool saw_silence_after = false;
  bool saw_silence_for = false;
  bool saw_frame_length = false;
  std::set<std::string_view> seen;  // every option given

  bool Fail(std::string_view option, std::string_view expected, std::string_view value) {
    error = std::string(option) + ": expected " + std::string(expected) + ", got " + Quoted(value);
    return false;
  }

  template <typename T>
  bool Whole(std::string_view option, std::string_view value, T low, T high, T* out,
             std::string expected = "") {
    T n{};
    if (!ParseNumber(value, &n) || n < low || n > high) {
      if (expected.empty()) {
        expected = "a whole number " + std::to_string(low) + ".." + std::to_string(high);
      }
      return Fail(option, expected, value);
    }
    *out = n;
    return true;
  }

  bool Rate(std::string_view option, std::string_view value, double* out) {
    double r = 0.0;
    if (!ParseNumber(value, &r) || r < 0.0 || r > 1.0) {
      return Fail(option, "a rate between 0 and 1", value);
    }
    *out = r;
    return true;
  }

  bool Seconds(std::string_view option, std::string_view value, double* out) {
    double s = 0.0;
    if (!ParseNumber(value, &s) || s < 0.0) return Fail(option, "seconds, 0 or more", value);
    *out = s;
    return true;
  }

  bool Path(std::string_view option, std::string_view value, std::filesystem::path* out) {
    if (value.empty()) return Fail(option, "a path", value);
    *out = std::filesystem::path(value);
    return true;
  }

  using Handler = std::function<bool(std::string_view option, std::string_view value)>;

  // The options that take a value; each handler stores it or sets `error`.
  std::map<std::string_view, Handler> Handlers() {
    SimulatorOptions& sim = options.simulator;
    return {
        {"--kind",
         [&](auto o, auto v) {
           options.kind_given = true;
           if (const std::optional<int32_t> kind = KindFromName(v)) {
             sim.kind = *kind;
             return true;
           }
           return Whole(o, v, 0, kKindCount - 1, &sim.kind);
         }},
        {"--replay", [&](auto o, auto v) { return Path(o, v, &options.replay_file); }},
        {"--speed",
         [&](auto o, auto v) {
           double speed = 0.0;
           if (!ParseNumber(v, &speed) || speed <= 0.0 || speed > 1000.0) {
             return Fail(o, "a factor above 0 and at most 1000", v);
           }
           options.replay.speed = speed;
           return true;
         }},
        {"--lead-in", [&](auto o, auto v) { return Seconds(o, v, &options.replay.lead_in_s); }},
        {"--instrument", [&](auto o, auto v) { return Path(o, v, &options.instrument_link); }},
        {"--gps", [&](auto o, auto v) { return Path(o, v, &options.gps_link); }},
        {"--frame-length",
         [&](auto o, auto v) {
           saw_frame_length = true;
           if (v != "7" && v != "12") return Fail(o, "7 or 12", v);
           sim.frame_length = v == "7" ? 7 : 12;
           return true;
         }},
        {"--readings",
         [&](auto o, auto v) {
           return Whole<uint64_t>(o, v, 1, UINT64_MAX, &sim.readings, "a whole number 1 or more");
         }},
        {"--seed",
         [&](auto o, auto v) {
           return Whole<uint64_t>(o, v, 0, UINT64_MAX, &sim.faults.seed,
                                  "a whole number 0 or more");
         }},
        {"--garbage", [&](auto o, auto v) { return Rate(o, v, &sim.faults.garbage_rate); }},
        {"--drop", [&](auto o, auto v) { return Rate(o, v, &sim.faults.drop_rate); }},
        {"--bad-checksum",
         [&](auto o, auto v) { return Rate(o, v, &sim.faults.bad_checksum_rate); }},
        {"--silence-after",
         [&](auto o, auto v) {
           saw_silence_after = true;
           return Seconds(o, v, &sim.faults.silence_after_s);
         }},
        {"--silence-for",
         [&](auto o, auto v) {
           saw_silence_for = true;
           return Seconds(o, v, &sim.faults.silence_for_s);
         }},
        {"--marker-every",
         [&](auto o, auto v) { return Whole(o, v, 0, 1000000, &sim.walk.marker_every); }},
        {"--pace",
         [&](auto o, auto v) {
           double pace = 0.0;
           if (!ParseNumber(v, &pace) || pace <= 0.0 || pace > 20.0) {
             return Fail(o, "metres per second above 0 and at most 20", v);
           }
           sim.walk.pace_mps = pace;
           return true;
         }},
        {"--turn-after", [&](auto o, auto v) { return Seconds(o, v, &sim.walk.turn_after_s); }},
        {"--fix-quality",
         [&](auto o, auto v) {
           std::vector<int>& schedule = sim.gps.fix_schedule;
           schedule.clear();
           std::string_view rest = v;
           for (;;) {
             const size_t comma = rest.find(',');
             int quality = 0;
             if (!ParseNumber(rest.substr(0, comma), &quality) || quality < 0 || quality > 8) {
               return Fail(o, "fix qualities 0..8 separated by commas", v);
             }
             schedule.push_back(quality);
             if (comma == std::string_view::npos) break;
             rest.remove_prefix(comma + 1);
           }
           sim.gps.fix_quality = schedule.front();
           return true;
         }},
        {"--satellites",
         [&](auto o, auto v) { return Whole(o, v, 0, 99, &sim.gps.satellites); }},
        {"--dipole",
         [&](auto o, auto v) {
           if (v != "V" && v != "H") return Fail(o, "V or H", v);
           sim.walk.vertical = v == "V";
           return true;
         }},
    };
  }

  // Options that make the walk and have no place in a replay, and the
  // replay's own options.
  static constexpr std::string_view kWalkOnly[] = {
      "--frame-length", "--dipole", "--turn-after", "--marker-every",
      "--pace",         "--readings", "--fix-quality", "--satellites"};
  static constexpr std::string_view kReplayOnly[] = {"--speed", "--lead-in", "--step"};

  bool CheckReplay() {
    for (std::string_view option : kWalkOnly) {
      if (seen.contains(option)) {
        error = std::string(option) + " does not apply to --replay: the file's frames are sent";
        return false;
      }
    }
    if (options.instrument_link.empty()) {
      error = "--replay needs --instrument";
      return false;
    }
    if (!options.gps_link.empty() && options.instrument_link == options.gps_link) {
      error = "--instrument and --gps name the same path";
      return false;
    }
    if (saw_silence_after != saw_silence_for) {
      error = "--silence-after and --silence-for go together";
      return false;
    }
    return true;
  }

  // Rules that tie options together, checked once all are read.
  bool CheckCombination() {
    const SimulatorOptions& sim = options.simulator;
    if (!options.replay_file.empty()) return CheckReplay();
    for (std::string_view option : kReplayOnly) {
      if (seen.contains(option)) {
        error = std::string(option) + " applies to --replay only";
        return false;
      }
    }
    if (options.instrument_link.empty() && options.gps_link.empty()) {
      error = "nothing to simulate: give --instrument PATH, --gps PATH or both";
    } else if (!options.gps_link.empty() && options.instrument_link == options.gps_link) {
      error = "--instrument and --gps name the same path";
    } else if (sim.readings > 0 && options.instrument_link.empty()) {
      error = "--readings counts instrument frames and needs --instrument";
    } else if (saw_frame_length && sim.kind != kKindTq68) {
      error = "--frame-length applies to kind 3 only";
    } else if (saw_silence_after != saw_silence_for) {
      error = "--silence-after and --silence-for go together";
    }
    return error.empty();
  }
};

}  // namespace

ParsedCommandLine ParseCommandLine(std::span<const std::string_view> args) {
  Parser parser;
  const auto handlers = parser.Handlers();
  for (size_t i = 0; i < args.size(); ++i) {
    std::string_view arg = args[i];
    if (arg == "--help" || arg == "-h") {
      parser.options.help = true;
      return {parser.options, ""};
    }
    if (!arg.starts_with("--")) {
      parser.error = "unexpected argument " + Quoted(arg);
      break;
    }
    if (arg == "--step") {
      parser.seen.insert("--step");
      parser.options.replay.step = true;
      continue;
    }
    std::string_view option = arg;
    std::string_view value;
    size_t eq = arg.find('=');
    if (eq != std::string_view::npos) option = arg.substr(0, eq);
    auto handler = handlers.find(option);
    if (handler == handlers.end()) {
      parser.error = option == "--step" ? "--step takes no value" : "unknown option " + Quoted(option);
      break;
    }
    parser.seen.insert(handler->first);
    if (eq != std::string_view::npos) {
      value = arg.substr(eq + 1);
    } else if (i + 1 < args.size()) {
      value = args[++i];
    } else {
      parser.error = std::string(option) + ": missing value";
      break;
    }
    if (!handler->second(option, value)) break;
  }
  if (parser.error.empty()) parser.CheckCombination();
  return {parser.options, parser.error};
}

std::string HelpText() {
  return R"(Usage: tqsim --instrument PATH [--gps PATH] [options]
       tqsim --replay FILE --instrument PATH [--gps PATH] [--kind K]
             [--speed N] [--lead-in S] [--step] [fault options]

Simulates a ground-conductivity instrument and a GPS receiver on
pseudo-terminals, so the logger can run without hardware. Each port is a new
pseudo-terminal linked at PATH (folders are created, a stale link is
replaced); point the logger's data root at ROOT and use ROOT/ports/COMn.
The links are removed when tqsim ends (Ctrl-C, SIGTERM or --readings).

The operator walks a 100 m line back and forth; conductivity and inphase vary
smoothly with position. Frames come at the instrument's own period: 91 ms for
12-character frames, 72 ms for 7-character frames, 47 ms for kind 7, one a
second for kind 6. The receiver sends GGA, GSA and RMC once a second.

Ports:
  --instrument PATH     link for the instrument's port, e.g. ROOT/ports/COM1
  --gps PATH            link for the GPS receiver's port, e.g. ROOT/ports/COM2

Instrument:
  --kind K              0 TQ62, 1 TQ68B, 2 TQ68-DD (conductivity and inphase
                        frames alternate), 3 TQ68 (likewise), 4 TQ64-3 (20 m),
                        5 TQ93, 6 FRZ62 ice frames, 7 TQ68-MK2 binary (default);
                        the number or the model name
  --frame-length 7|12   kind 3 only: frame length (default 12)
  --dipole V|H          dipole orientation the instrument reports (default V)
  --turn-after S        turn the instrument to the other dipole S seconds
                        after the start (a calibration needs both)
  --marker-every N      press the marker every N frames, 0 never (default 25;
                        kinds 6 and 7 send no marker bit)
  --pace M              walking pace in metres per second (default 1)
  --readings N          stop after N instrument frames, once the logger has
                        read them (or 3 s have passed)

Receiver:
  --fix-quality Q[,Q..] GGA fix quality 0..8 (default 1); a list gives each
                        second the next one in turn, e.g. 0,1,2,3,4
  --satellites N        satellites in use, 0..99 (default 8)

Faults (all off by default; the same --seed gives the same damage):
  --garbage RATE        chance per byte that a random byte follows it
  --drop RATE           chance per byte that it is lost
  --bad-checksum RATE   chance per NMEA sentence that its checksum is wrong
  --silence-after S     go quiet S seconds after the start ...
  --silence-for S       ... for S seconds (both ports); give both or neither
  --seed N              seed of the fault generator (default 1)

  -h, --help            show this text
  --version             show the version

RATE is a number from 0 to 1. Options take their value as the next argument
or after "=". A bad option prints one line and exits with status 2.

Replay: a stored data file played back through the logger
  --replay FILE         send what the instrument and the receiver sent while
                        FILE was logged, on the file's own time line
  --kind K              with --replay: the kind FILE must be (its header
                        tells the kind; another kind is refused)
  --speed N             play N times as fast: above 0, e.g. 10 or 0.5
                        (default 1); below about 0.3 the frames come further
                        apart than the logger's connection check allows
  --lead-in S           hold the first frame S seconds before the first run,
                        time to press Go (default 3; with --step the first
                        run waits for its line instead)
  --step                before each logging run of FILE wait for a line on
                        standard input ("run 2 of 3 waits, quiet: ..."):
                        "quiet" stops the frames, "hold" holds the run's
                        first frame, any other line (or an empty one) plays
                        the run; at the end of the input the run plays, and
                        the runs after it keep the file's own pauses. The
                        first run waits holding; every later one waits
                        quiet, since the logger is still logging the run
                        before and would store held frames as its
                        readings. After the last run the end waits quiet
                        too ("hold" holds the last frame, so the logger can
                        be left), and any other line ends
  --frame-length, --dipole, --turn-after, --marker-every, --pace, --readings,
  --fix-quality and --satellites have no place in a replay and are refused;
  the fault options damage the replay as they damage the walk.

  Each stored reading goes out as the frame it holds, FramesPerReading
  times one frame period apart, the last copy at its recorded tick, so a
  logger with the same settings stores the same readings again: in Auto
  mode FramesPerReading follows from the reading interval in the file's
  second header record (0.2 s at 91 ms frames: 2); Wheel mode, and the
  FRZ62 in any mode, take every frame; in Manual mode each reading is an
  unmarked frame, then the marked one that triggers it (then the further
  samples of an averaged reading), with unmarked frames between readings.
  The frames are the stored bytes: "T", status and fields, CR (a kind-3
  file whose second field is blank: 7 characters); FRZ62 the 8-character
  ice frame; TQ68-MK2 the 14 bytes, then 0xFF 0xFF. GPS lines go out on
  --gps as text with CR LF, their "$" at their recorded tick; a file that
  holds GPS lines and no --gps plays the instrument only (said once).
  Between runs, while the file was paused, and during the lead-in the next
  run's first frame is held at the frame period, so the logger sees a live
  instrument. Damaged bytes are skipped where tqexport skips them and named
  on standard error; a file cut short plays up to the cut. tqsim prints a
  line as each run starts ("run 2 of 3: 140 readings") and at the end
  ("replayed N readings, M GPS sentences, K damaged records skipped"),
  removes its links after the last record and exits with status 0.

  What a replay cannot give back:
  - frames the logger passed over between readings: they come back as
    copies of the stored one; frames outside logging runs were never stored;
  - the logger counts frames from its Go: only a run started on the first
    frame lines the groups up exactly (below); with Go pressed while a frame
    is held the same frames are stored, but a held copy may be taken first
    and the ticks move within their groups (Wheel mode: every held frame
    after Go is stored);
  - the start byte where the logger wrote a marker digit (a TQ68-MK2 "t"
    comes back as "T"), and the digits after a reading the damage took;
  - averaged Manual readings: the samples come back as copies of the stored
    average, so the stored fields are the same and the values shown while
    averaging are not;
  - TQ68-MK2 marker bits: the stored statuses hold the marker line (16) and
    soft key (8) bits the logger added, and the logger adds its own again:
    leave its marker line and soft key alone during a replay;
  - GPS lines lose trailing spaces and always end in CR LF; a line that
    began before Go is sent as the run starts;
  - a reading interval of more than three decimals: the file holds it
    rounded, and FramesPerReading is worked out from that.

  Stepping so that the new file holds the old one's readings and run notes:
  the logger looks at the line every 0.3 s (FRZ62 2 s) and, while a file is
  open, notes "$CONN BREAK" each time the last frame is older than that; the
  sixth time in a row it ends the logging run. So no silence may last longer:
  1. Create the file while tqsim holds the first frame ("run 1 of N waits,
     holding its first frame").
  2. "quiet"; about 0.1 s later Go; as soon as "$STARTED" is in the new
     file, an empty line: the run plays, its first frame at once.
  3. When tqsim says "run K of N waits, quiet" (or "the end waits, quiet"),
     pause the logger as soon as the run's last reading is in the file and,
     as soon as "$PAUSED" is in it, "hold": from the run's last frame to the
     held one at most 0.3 s (FRZ62 2 s). Later, every reading still comes back and none is added, but the
     file gains "$CONN BREAK" notes, and after about 2 s (FRZ62 12 s) the
     logger gives the run up.
  4. For the next run step 2 again; after the last, Exit, then a line.

Exit status: 0 done, or stopped by Ctrl-C or SIGTERM; 2 a bad option, or a
--replay FILE that is no readable data file or not of the --kind given (one
line on standard error, nothing linked); 1 a port could not be made or FILE
could not be read to its end; 3 FILE was played, but damaged bytes or a last
record cut short were passed over (named on standard error, as tqexport
names them).
)";
}

}  // namespace tq::sim
