#include "tools/sim/simulator.h"

#include <memory>
#include <string>

#include "tools/sim/instrument_readings.h"

namespace tq::sim {
namespace {

// Separate random sequences, so adding GPS does not change instrument faults.
constexpr uint64_t kInstrumentFaults = 1;
constexpr uint64_t kGpsFaults = 2;

void AppendBytes(std::vector<uint8_t>& out, const std::vector<uint8_t>& bytes) {
  out.insert(out.end(), bytes.begin(), bytes.end());
}

std::span<const uint8_t> BytesOf(const std::string& text) {
  return {reinterpret_cast<const uint8_t*>(text.data()), text.size()};
}

}  // namespace

PacedStream MakeInstrumentStream(const SimulatorOptions& options, SendBytes send) {
  PacedStream stream;
  stream.period_ms = FramePeriodMs(options.kind, options.frame_length);
  stream.limit = options.readings;
  stream.send = std::move(send);
  auto filter = std::make_shared<FaultFilter>(options.faults, kInstrumentFaults);
  stream.next = [options, filter, period = stream.period_ms](uint64_t index) {
    double elapsed_s = static_cast<double>(index) * period / 1000.0;
    WalkSample sample = SampleWalk(options.walk, elapsed_s, index);
    return filter->Apply(EncodeReading(options.kind, options.frame_length, sample, index),
                         elapsed_s);
  };
  return stream;
}

PacedStream MakeGpsStream(const SimulatorOptions& options, SendBytes send, UtcClock utc) {
  PacedStream stream;
  stream.period_ms = 1000;
  stream.send = std::move(send);
  auto filter = std::make_shared<FaultFilter>(options.faults, kGpsFaults);
  stream.next = [options, filter, utc = std::move(utc)](uint64_t index) {
    double elapsed_s = static_cast<double>(index);
    WalkSample sample = SampleWalk(options.walk, elapsed_s, index);
    LocalTime now = utc();
    GpsStatus status = options.gps;
    const std::vector<int>& schedule = status.fix_schedule;
    if (!schedule.empty()) status.fix_quality = schedule[static_cast<size_t>(index % schedule.size())];
    std::vector<uint8_t> out;
    for (const std::string& sentence : {FormatGga(sample, now, status), FormatGsa(status),
                                        FormatRmc(sample, now, status)}) {
      AppendBytes(out, filter->Apply(BytesOf(sentence), elapsed_s));
    }
    return out;
  };
  return stream;
}

}  // namespace tq::sim
