// tqsim: an instrument and a GPS receiver on pseudo-terminals.
#include <pthread.h>
#include <signal.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <memory>
#include <algorithm>
#include <string>
#include <string_view>
#include <vector>

#include "build_defaults.h"
#include "settings/build_config.h"
#include "tools/sim/instrument_readings.h"
#include "tools/sim/paced_sender.h"
#include "tools/sim/pseudo_terminal.h"
#include "tools/sim/simulator.h"
#include "tools/tqsim/command_line.h"

namespace tq::sim {
namespace {

constexpr int kExitUsage = 2;
constexpr int kExitFailure = 1;
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

int Run(const TqsimOptions& options) {
  // Signals are taken by sigtimedwait below, never by a handler; the sender
  // thread inherits the mask.
  sigset_t stop_signals;
  sigemptyset(&stop_signals);
  sigaddset(&stop_signals, SIGINT);
  sigaddset(&stop_signals, SIGTERM);
  sigaddset(&stop_signals, SIGHUP);
  pthread_sigmask(SIG_BLOCK, &stop_signals, nullptr);
  signal(SIGPIPE, SIG_IGN);

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
  return tq::sim::Run(parsed.options);
}
