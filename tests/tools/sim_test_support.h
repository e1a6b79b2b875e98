// What the simulator should put on the line, worked out from its parts, and
// a reader that collects it as the logger's port would.
#pragma once

#include <chrono>
#include <cstdint>
#include <vector>

#include "platform/serial.h"
#include "tools/sim/instrument_readings.h"
#include "tools/sim/simulator.h"

namespace tq::sim {

// Frames 0 .. count-1 of the walk for `options`, back to back.
inline std::vector<uint8_t> ExpectedFrames(const SimulatorOptions& options, size_t count) {
  std::vector<uint8_t> all;
  int period = FramePeriodMs(options.kind, options.frame_length);
  for (size_t i = 0; i < count; ++i) {
    double elapsed_s = static_cast<double>(i) * period / 1000.0;
    auto f = EncodeReading(options.kind, options.frame_length,
                           SampleWalk(options.walk, elapsed_s, i), i);
    all.insert(all.end(), f.begin(), f.end());
  }
  return all;
}

// Reads from `port` until `window` has passed, `limit` bytes came, or the
// line stayed quiet for one read timeout.
inline std::vector<uint8_t> Collect(Port& port, std::chrono::milliseconds window,
                                    size_t limit = SIZE_MAX) {
  std::vector<uint8_t> bytes;
  auto until = std::chrono::steady_clock::now() + window;
  uint8_t b = 0;
  while (bytes.size() < limit && std::chrono::steady_clock::now() < until &&
         port.ReadByte(&b) == ReadResult::kByte) {
    bytes.push_back(b);
  }
  return bytes;
}

}  // namespace tq::sim
