// Deterministic damage to the byte stream, for testing how the logger copes
// with a bad cable or a confused receiver.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

namespace tq::sim {

struct FaultOptions {
  double garbage_rate = 0.0;       // chance per byte that a random byte follows it
  double drop_rate = 0.0;          // chance per byte that it is lost
  double bad_checksum_rate = 0.0;  // chance per NMEA sentence that its checksum is wrong
  double silence_after_s = -1.0;   // when the line goes quiet; negative: never
  double silence_for_s = 0.0;      // how long it stays quiet
  uint64_t seed = 1;
};

// True when `options` asks for no damage at all.
bool IsClean(const FaultOptions& options);

// A small seeded generator whose sequence is the same on every platform.
class Random {
 public:
  explicit Random(uint64_t seed) : state_(seed) {}
  uint64_t Next();
  // Uniform in [0, 1).
  double Unit();
  // True with probability `rate`.
  bool Chance(double rate) { return rate > 0.0 && Unit() < rate; }

 private:
  uint64_t state_;
};

// Applies the faults to one message (a frame or a sentence) at a time, so the
// same seed and the same messages always give the same bytes.
class FaultFilter {
 public:
  // `stream` separates the instrument's and the receiver's random sequences.
  FaultFilter(const FaultOptions& options, uint64_t stream);

  // The bytes to send for `message`, sent `elapsed_s` after the start.
  // Empty while the line is silent.
  std::vector<uint8_t> Apply(std::span<const uint8_t> message, double elapsed_s);

 private:
  FaultOptions options_;
  Random random_;
};

}  // namespace tq::sim
