// tqsim: an instrument and a GPS receiver on pseudo-terminals, simulated or
// replayed from a stored data file.
#include <poll.h>
#include <pthread.h>
#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "build_defaults.h"
#include "settings/build_config.h"
#include "tools/sim/instrument_readings.h"
#include "tools/sim/paced_sender.h"
#include "tools/sim/pseudo_terminal.h"
#include "tools/sim/replay.h"
#include "tools/sim/replay_plan.h"
#include "tools/sim/simulator.h"
#include "tools/tqsim/command_line.h"

namespace tq::sim {
namespace {

constexpr int kExitUsage = 2;
constexpr int kExitFailure = 1;
constexpr int kExitDamaged = 3;  // a replay played, but passed over damage or a cut-off record
// With --readings, how long the last frames may wait for the logger to read
// them before the line goes away with them.
constexpr std::chrono::seconds kDrainTimeout{3};

// One simulated port: a pseudo-terminal and the link that names it.
struct LinkedPort {
  std::filesystem::path link;
  std::unique_ptr<PseudoTerminal> pty;
};

SendBytes SenderTo(PseudoTerminal* pty) {
  return [pty](std::span<const uint8_t> bytes) {
    // The logger may write commands to the receiver; nobody listens to them.
    pty->DiscardIncoming();
    return pty->Send(bytes);
  };
}

void RemoveLinks(const std::vector<LinkedPort*>& ports) {
  for (LinkedPort* port : ports) {
    if (port->pty) UnlinkPort(port->link, port->pty->device());
  }
}

// Opens a pseudo-terminal and links it at port->link; prints why not.
bool OpenPort(LinkedPort* port, const char* role) {
  std::string error;
  port->pty = PseudoTerminal::Open(&error);
  if (port->pty && LinkPort(port->link, port->pty->device(), &error)) {
    std::printf("%s: %s -> %s\n", role, port->link.c_str(), port->pty->device().c_str());
    return true;
  }
  std::fprintf(stderr, "tqsim: %s\n", error.c_str());
  port->pty.reset();
  return false;
}

// The signals that end tqsim. They are taken by sigtimedwait, never by a
// handler; sender threads inherit the mask.
sigset_t BlockStopSignals() {
  sigset_t stop_signals;
  sigemptyset(&stop_signals);
  sigaddset(&stop_signals, SIGINT);
  sigaddset(&stop_signals, SIGTERM);
  sigaddset(&stop_signals, SIGHUP);
  pthread_sigmask(SIG_BLOCK, &stop_signals, nullptr);
  signal(SIGPIPE, SIG_IGN);
  return stop_signals;
}

int Run(const TqsimOptions& options) {
  sigset_t stop_signals = BlockStopSignals();

  const SimulatorOptions& sim = options.simulator;
  LinkedPort instrument{options.instrument_link, nullptr};
  LinkedPort gps{options.gps_link, nullptr};
  std::vector<LinkedPort*> ports;
  std::vector<PacedStream> streams;
  if (!instrument.link.empty()) {
    if (!OpenPort(&instrument, "instrument")) return kExitFailure;
    ports.push_back(&instrument);
    streams.push_back(MakeInstrumentStream(sim, SenderTo(instrument.pty.get())));
  }
  if (!gps.link.empty()) {
    if (!OpenPort(&gps, "gps")) {
      RemoveLinks(ports);
      return kExitFailure;
    }
    ports.push_back(&gps);
    streams.push_back(MakeGpsStream(sim, SenderTo(gps.pty.get())));
  }
  if (instrument.pty) {
    const KindInfo& info = KindInfoFor(sim.kind);
    std::printf("kind %d (%s): a frame every %d ms", sim.kind, info.model,
                FramePeriodMs(sim.kind, sim.frame_length));
    if (sim.readings > 0) std::printf(", %llu frames", static_cast<unsigned long long>(sim.readings));
    std::printf("\n");
  }
  std::printf("streaming; Ctrl-C stops\n");
  std::fflush(stdout);

  PacedSender sender(std::move(streams));
  for (;;) {
    timespec poll_interval{0, 100 * 1000 * 1000};
    int signal_number = sigtimedwait(&stop_signals, nullptr, &poll_interval);
    if (signal_number > 0) break;
    if (sender.Finished()) {
      if (instrument.pty) instrument.pty->WaitDrained(kDrainTimeout);
      break;
    }
  }
  sender.Stop();
  RemoveLinks(ports);
  if (instrument.pty) {
    std::printf("sent %llu instrument frames\n",
                static_cast<unsigned long long>(sender.SentCount(0)));
  }
  return 0;
}

// Lines of standard input, read without blocking for longer than asked.
class InputLines {
 public:
  StepInput Read(std::chrono::milliseconds wait) {
    if (std::optional<std::string> line = TakeLine()) return Meaning(*line);
    if (ended_) return StepInput::kEnd;
    pollfd input{STDIN_FILENO, POLLIN, 0};
    if (poll(&input, 1, static_cast<int>(wait.count())) <= 0) return StepInput::kNothing;
    char buffer[256];
    const ssize_t n = read(STDIN_FILENO, buffer, sizeof buffer);
    if (n > 0) {
      pending_.append(buffer, static_cast<size_t>(n));
    } else if (n == 0 || errno != EINTR) {
      ended_ = true;
      if (!pending_.empty()) pending_.push_back('\n');  // a last line without its end
    }
    if (std::optional<std::string> line = TakeLine()) return Meaning(*line);
    return ended_ ? StepInput::kEnd : StepInput::kNothing;
  }

 private:
  static StepInput Meaning(std::string_view line) {
    while (!line.empty() && std::isspace(static_cast<unsigned char>(line.back()))) {
      line.remove_suffix(1);
    }
    while (!line.empty() && std::isspace(static_cast<unsigned char>(line.front()))) {
      line.remove_prefix(1);
    }
    if (line == "quiet") return StepInput::kQuiet;
    return line == "hold" ? StepInput::kHold : StepInput::kPlay;
  }
  std::optional<std::string> TakeLine() {
    const size_t end = pending_.find('\n');
    if (end == std::string::npos) return std::nullopt;
    std::string line = pending_.substr(0, end);
    pending_.erase(0, end + 1);
    return line;
  }
  std::string pending_;
  bool ended_ = false;
};

// "3 readings", "1 reading".
std::string Count(int64_t n, const char* thing) {
  return std::to_string(n) + " " + thing + (n == 1 ? "" : "s");
}

std::string ModeText(const ReplayPlan& plan) {
  if (plan.kind == kKindFrz62 || plan.survey_mode == kSurveyModeWheel) {
    return std::string(plan.survey_mode == kSurveyModeWheel ? "Wheel" : "FRZ62") +
           ": every frame a reading";
  }
  if (plan.survey_mode == kSurveyModeManual) {
    return "Manual: an unmarked frame, then " + Count(plan.samples_per_reading, "frame") +
           " a reading";
  }
  return "Auto: " + Count(plan.frames_per_reading, "frame") + " a reading";
}

int RunReplay(const TqsimOptions& options) {
  // The file first: a file that cannot be replayed links nothing.
  const std::optional<int32_t> kind =
      options.kind_given ? std::optional<int32_t>(options.simulator.kind) : std::nullopt;
  const ReplayLoad load = LoadReplay(options.replay_file, kind);
  if (!load.plan) {
    std::fprintf(stderr, "tqsim: %s\n", load.error.c_str());
    return load.read_failed ? kExitFailure : kExitUsage;
  }
  for (const std::string& warning : load.warnings) std::fprintf(stderr, "tqsim: %s\n", warning.c_str());
  const ReplayPlan& plan = *load.plan;
  if (plan.gps_sentences > 0 && options.gps_link.empty()) {
    std::fprintf(stderr, "tqsim: %s holds %lld GPS sentences and no --gps port was given: "
                 "playing the instrument only\n",
                 options.replay_file.c_str(), static_cast<long long>(plan.gps_sentences));
  }

  sigset_t stop_signals = BlockStopSignals();
  LinkedPort instrument{options.instrument_link, nullptr};
  LinkedPort gps{options.gps_link, nullptr};
  std::vector<LinkedPort*> ports;
  if (!OpenPort(&instrument, "instrument")) return kExitFailure;
  ports.push_back(&instrument);
  if (!gps.link.empty()) {
    if (!OpenPort(&gps, "gps")) {
      RemoveLinks(ports);
      return kExitFailure;
    }
    ports.push_back(&gps);
  }
  std::printf("replay of %s: kind %d (%s), %s, a frame every %d ms, %s, %s\n",
              options.replay_file.c_str(), plan.kind, KindInfoFor(plan.kind).model,
              ModeText(plan).c_str(), plan.frame_period_ms,
              Count(static_cast<int64_t>(plan.runs.size()), "run").c_str(),
              Count(plan.readings, "reading").c_str());
  std::fflush(stdout);

  bool stop = false;
  InputLines input;
  ReplayIo io;
  io.instrument = SenderTo(instrument.pty.get());
  if (gps.pty) io.gps = SenderTo(gps.pty.get());
  io.read_step = [&input](std::chrono::milliseconds wait) { return input.Read(wait); };
  io.stopped = [&] {
    timespec now{0, 0};
    if (!stop && sigtimedwait(&stop_signals, nullptr, &now) > 0) stop = true;
    return stop;
  };
  io.say = [](const std::string& line) {
    std::printf("%s\n", line.c_str());
    std::fflush(stdout);
  };
  ReplayOptions replay = options.replay;
  replay.faults = options.simulator.faults;
  const ReplayResult result = PlayReplay(plan, replay, io);
  if (result.completed) {
    instrument.pty->WaitDrained(kDrainTimeout);
    if (gps.pty) gps.pty->WaitDrained(kDrainTimeout);
  }
  RemoveLinks(ports);
  std::printf("%s\n", SummaryLine(result, plan.damaged_records).c_str());
  // As tqexport does: what was read is played, and the status says it was not all.
  return load.warnings.empty() ? 0 : kExitDamaged;
}

}  // namespace
}  // namespace tq::sim

int main(int argc, char** argv) {
  std::vector<std::string_view> args(argv + 1, argv + argc);
  if (std::find(args.begin(), args.end(), "--version") != args.end()) {
    std::printf("tqsim %s\n", TQ_VERSION);
    return 0;
  }
  tq::sim::ParsedCommandLine parsed = tq::sim::ParseCommandLine(args);
  if (!parsed.error.empty()) {
    std::fprintf(stderr, "tqsim: %s (see tqsim --help)\n", parsed.error.c_str());
    return tq::sim::kExitUsage;
  }
  if (parsed.options.help) {
    std::fputs(tq::sim::HelpText().c_str(), stdout);
    return 0;
  }
  if (!parsed.options.replay_file.empty()) return tq::sim::RunReplay(parsed.options);
  return tq::sim::Run(parsed.options);
}
