#include "tools/sim/fault_filter.h"

#include <algorithm>

namespace tq::sim {
namespace {

// A checksummed sentence: "$", body, "*", two hex digits.
bool FindChecksum(std::span<const uint8_t> message, size_t* star) {
  if (message.empty() || message[0] != '$') return false;
  auto it = std::find(message.begin(), message.end(), uint8_t{'*'});
  if (it == message.end() || message.end() - it < 3) return false;
  *star = static_cast<size_t>(it - message.begin());
  return true;
}

char HexDigit(int value) { return "0123456789ABCDEF"[value & 0xF]; }

int HexValue(uint8_t c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return 0;
}

}  // namespace

bool IsClean(const FaultOptions& options) {
  return options.garbage_rate <= 0.0 && options.drop_rate <= 0.0 &&
         options.bad_checksum_rate <= 0.0 &&
         (options.silence_after_s < 0.0 || options.silence_for_s <= 0.0);
}

uint64_t Random::Next() {
  // SplitMix64: tiny, well mixed, and fully specified.
  uint64_t z = (state_ += 0x9E3779B97F4A7C15ull);
  z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
  z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
  return z ^ (z >> 31);
}

double Random::Unit() { return static_cast<double>(Next() >> 11) * 0x1.0p-53; }

FaultFilter::FaultFilter(const FaultOptions& options, uint64_t stream)
    : options_(options), random_(options.seed ^ (stream * 0xD1B54A32D192ED03ull)) {}

std::vector<uint8_t> FaultFilter::Apply(std::span<const uint8_t> message, double elapsed_s) {
  if (options_.silence_after_s >= 0.0 && elapsed_s >= options_.silence_after_s &&
      elapsed_s < options_.silence_after_s + options_.silence_for_s) {
    return {};
  }
  std::vector<uint8_t> bytes(message.begin(), message.end());
  size_t star = 0;
  if (FindChecksum(bytes, &star) && random_.Chance(options_.bad_checksum_rate)) {
    // Any non-zero change keeps the digits hexadecimal and the sum wrong.
    int wrong = (HexValue(bytes[star + 1]) << 4 | HexValue(bytes[star + 2])) ^
                static_cast<int>(1 + random_.Next() % 255);
    bytes[star + 1] = static_cast<uint8_t>(HexDigit(wrong >> 4));
    bytes[star + 2] = static_cast<uint8_t>(HexDigit(wrong));
  }
  if (options_.garbage_rate <= 0.0 && options_.drop_rate <= 0.0) return bytes;
  std::vector<uint8_t> out;
  out.reserve(bytes.size() + bytes.size() / 4);
  for (uint8_t b : bytes) {
    if (!random_.Chance(options_.drop_rate)) out.push_back(b);
    if (random_.Chance(options_.garbage_rate)) out.push_back(static_cast<uint8_t>(random_.Next()));
  }
  return out;
}

}  // namespace tq::sim
