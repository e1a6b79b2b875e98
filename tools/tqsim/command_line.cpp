#include "tools/tqsim/command_line.h"

#include <charconv>
#include <cstdint>
#include <cmath>
#include <functional>
#include <map>
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
        {"--kind", [&](auto o, auto v) { return Whole(o, v, 0, kKindCount - 1, &sim.kind); }},
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

  // Rules that tie options together, checked once all are read.
  bool CheckCombination() {
    const SimulatorOptions& sim = options.simulator;
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
    std::string_view option = arg;
    std::string_view value;
    size_t eq = arg.find('=');
    if (eq != std::string_view::npos) option = arg.substr(0, eq);
    auto handler = handlers.find(option);
    if (handler == handlers.end()) {
      parser.error = "unknown option " + Quoted(option);
      break;
    }
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
                        5 TQ93, 6 FRZ62 ice frames, 7 TQ68-MK2 binary (default)
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
)";
}

}  // namespace tq::sim
