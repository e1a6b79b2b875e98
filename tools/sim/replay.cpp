#include "tools/sim/replay.h"

#include <algorithm>
#include <cmath>
#include <memory>
#include <optional>
#include <thread>
#include <utility>
#include <vector>

#include "tools/sim/paced_sender.h"

namespace tq::sim {
namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

// How often a wait looks at the operator and the stop signal.
constexpr milliseconds kPoll{20};
// Separate fault sequences for the two lines, as the simulated walk has.
constexpr uint64_t kInstrumentFaults = 1;
constexpr uint64_t kGpsFaults = 2;

int64_t Scaled(int64_t ms, double speed) {
  return static_cast<int64_t>(std::llround(static_cast<double>(ms) / speed));
}

// One line to the logger, damaged as asked, timed from the replay's start.
class Line {
 public:
  Line(SendBytes send, const FaultOptions& faults, uint64_t stream, Clock::time_point start)
      : send_(std::move(send)), filter_(faults, stream), start_(start) {}
  bool connected() const { return static_cast<bool>(send_); }
  // A send function for a paced stream; one stream uses it at a time.
  SendBytes Sender() {
    return [this](std::span<const uint8_t> bytes) {
      const std::chrono::duration<double> elapsed = Clock::now() - start_;
      const std::vector<uint8_t> out = filter_.Apply(bytes, elapsed.count());
      return out.empty() || send_(out);  // a silent line sends nothing
    };
  }

 private:
  SendBytes send_;
  FaultFilter filter_;
  Clock::time_point start_;
};

// The instrument showing `frame` at its frame period until the sender goes.
std::unique_ptr<PacedSender> Hold(const std::vector<uint8_t>& frame, int32_t period_ms,
                                  Line& line) {
  if (frame.empty()) return nullptr;
  PacedStream stream;
  stream.period_ms = period_ms;
  stream.next = [frame](uint64_t) { return frame; };
  stream.send = line.Sender();
  std::vector<PacedStream> streams;
  streams.push_back(std::move(stream));
  return std::make_unique<PacedSender>(std::move(streams));
}

// Waits `time` out; false when stopped first.
bool Wait(milliseconds time, ReplayIo& io) {
  const Clock::time_point until = Clock::now() + time;
  while (!io.stopped()) {
    const Clock::time_point now = Clock::now();
    if (now >= until) return true;
    std::this_thread::sleep_for(std::min<Clock::duration>(kPoll, until - now));
  }
  return false;
}

enum class StepOutcome { kPlay, kInputEnded, kStopped };

// Waits until the operator says go on; "quiet" stops the holding and "hold"
// holds `frame` again.
StepOutcome WaitForStep(ReplayIo& io, std::unique_ptr<PacedSender>& hold,
                        const std::vector<uint8_t>& frame, int32_t period_ms, Line& instrument) {
  while (!io.stopped()) {
    switch (io.read_step(kPoll)) {
      case StepInput::kNothing:
        break;
      case StepInput::kQuiet:
        hold.reset();
        break;
      case StepInput::kHold:
        if (!hold && instrument.connected()) hold = Hold(frame, period_ms, instrument);
        break;
      case StepInput::kPlay:
        return StepOutcome::kPlay;
      case StepInput::kEnd:
        return StepOutcome::kInputEnded;
    }
  }
  return StepOutcome::kStopped;
}

// A paced stream over the sends of one port in [first, end), timed from
// `from_ms` of the run's time line.
PacedStream RunStream(const ReplayPlan& plan, const ReplayRun& run, ReplayPort port,
                      int64_t from_ms, double speed, Line& line) {
  auto picked = std::make_shared<std::vector<const ReplaySend*>>();
  for (size_t i = run.first_send; i < run.end_send; ++i) {
    if (plan.sends[i].port == port) picked->push_back(&plan.sends[i]);
  }
  PacedStream stream;
  stream.limit = picked->size();
  stream.next = [picked](uint64_t index) { return (*picked)[static_cast<size_t>(index)]->bytes; };
  stream.due_ms = [picked, from_ms, speed](uint64_t index) {
    return Scaled((*picked)[static_cast<size_t>(index)]->at_ms - from_ms, speed);
  };
  stream.send = line.Sender();
  return stream;
}

// Sends one run's frames and lines at their times from `from_ms`; false
// when stopped.
bool PlayRun(const ReplayPlan& plan, const ReplayRun& run, int64_t from_ms, double speed,
             Line& instrument, Line& gps, ReplayIo& io, int64_t& gps_sent) {
  std::vector<PacedStream> streams;
  std::optional<size_t> gps_stream;
  for (ReplayPort port : {ReplayPort::kInstrument, ReplayPort::kGps}) {
    Line& line = port == ReplayPort::kInstrument ? instrument : gps;
    if (!line.connected()) continue;
    PacedStream stream = RunStream(plan, run, port, from_ms, speed, line);
    // A stream without a limit would never end.
    if (stream.limit == 0) continue;
    if (port == ReplayPort::kGps) gps_stream = streams.size();
    streams.push_back(std::move(stream));
  }
  if (streams.empty()) return true;
  PacedSender sender(std::move(streams));
  bool finished = sender.WaitFinished(kPoll);
  while (!finished && !io.stopped()) finished = sender.WaitFinished(kPoll);
  sender.Stop();
  if (gps_stream) gps_sent += static_cast<int64_t>(sender.SentCount(*gps_stream));
  return finished;
}

// The last frame the instrument sent, for the hold at the end.
std::vector<uint8_t> LastFrame(const ReplayPlan& plan) {
  for (auto send = plan.sends.rbegin(); send != plan.sends.rend(); ++send) {
    if (send->port == ReplayPort::kInstrument) return send->bytes;
  }
  return {};
}

std::string RunName(const ReplayPlan& plan, size_t run) {
  return "run " + std::to_string(run + 1) + " of " + std::to_string(plan.runs.size());
}

}  // namespace

std::string RunStartLine(const ReplayPlan& plan, size_t run, bool with_gps) {
  const ReplayRun& r = plan.runs[run];
  std::string line = RunName(plan, run) + ": " + std::to_string(r.readings) + " readings";
  if (with_gps && r.gps_sentences > 0) {
    line += ", " + std::to_string(r.gps_sentences) + " GPS sentences";
  }
  return line;
}

std::string SummaryLine(const ReplayResult& result, int64_t damaged_records) {
  return "replayed " + std::to_string(result.readings) + " readings, " +
         std::to_string(result.gps_sentences) + " GPS sentences, " +
         std::to_string(damaged_records) + " damaged records skipped";
}

ReplayResult PlayReplay(const ReplayPlan& plan, const ReplayOptions& options, ReplayIo& io) {
  ReplayResult result;
  const Clock::time_point start = Clock::now();
  Line instrument(io.instrument, options.faults, kInstrumentFaults, start);
  Line gps(io.gps, options.faults, kGpsFaults, start);
  bool step = options.step;
  // After the last send of a run the file may go on logging for a while.
  int64_t rest_of_run_ms = 0;
  size_t played = 0;
  for (; played < plan.runs.size(); ++played) {
    const ReplayRun& run = plan.runs[played];
    // Stepped, a run after the first waits quiet: the logger is still logging
    // the run before, and would store held frames as its readings.
    const bool quiet_first = step && played > 0;
    if (step) {
      io.say(RunName(plan, played) +
             (quiet_first ? " waits, quiet: pause the logger at once, then \"hold\" holds the "
                            "run's first frame; \"quiet\" stops it, any other line plays the run"
                          : " waits, holding its first frame: \"quiet\" stops it, \"hold\" holds "
                            "it again, any other line plays the run"));
    }
    std::unique_ptr<PacedSender> hold = instrument.connected() && !quiet_first
                                            ? Hold(run.hold_frame, plan.frame_period_ms, instrument)
                                            : nullptr;
    bool waited = false;
    if (step) {
      const StepOutcome said = WaitForStep(io, hold, run.hold_frame, plan.frame_period_ms, instrument);
      if (said == StepOutcome::kStopped) break;
      // Without input the remaining runs keep the file's own pauses.
      step = said == StepOutcome::kPlay;
      waited = true;
    }
    if (!waited) {
      const int64_t hold_ms =
          played == 0 ? std::llround(options.lead_in_s * 1000.0)
                      : rest_of_run_ms + Scaled(run.pause_before_ms, options.speed);
      if (!Wait(milliseconds(hold_ms), io)) break;
    }
    hold.reset();
    // A run the operator starts is logged already: the time before its first
    // send would only be silence, which the logger counts as a break.
    const int64_t from_ms =
        waited && run.end_send > run.first_send ? plan.sends[run.first_send].at_ms : 0;
    io.say(RunStartLine(plan, played, gps.connected()));
    if (!PlayRun(plan, run, from_ms, options.speed, instrument, gps, io, result.gps_sentences)) {
      break;
    }
    result.readings += run.readings;
    const int64_t last_ms = run.end_send > run.first_send ? plan.sends[run.end_send - 1].at_ms : 0;
    rest_of_run_ms = Scaled(run.length_ms, options.speed) - Scaled(last_ms, options.speed);
  }
  result.completed = played == plan.runs.size();
  // The operator may still need a live instrument to pause and leave the
  // logger: the end waits too, quiet at first so that nothing follows the
  // last reading until the logger is paused.
  if (step && result.completed && !plan.runs.empty()) {
    io.say("the end waits, quiet: pause the logger at once, then \"hold\" holds the last frame; "
           "\"quiet\" stops it, any other line ends");
    std::unique_ptr<PacedSender> hold;
    WaitForStep(io, hold, LastFrame(plan), plan.frame_period_ms, instrument);
  }
  return result;
}

}  // namespace tq::sim
