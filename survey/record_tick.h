// The tick field that most records carry, read back, and the distance
// between two ticks of the 32-bit counter.
#pragma once

#include <cstdint>
#include <optional>
#include <span>

namespace tq {

// The tick field of a record (the 10 positions before the LF), as the
// unsigned 32-bit counter; a field printed signed by an older logger wraps
// to the same counter value. nullopt when the field is not a number.
std::optional<uint32_t> ParseTick(std::span<const uint8_t> record);

// `later` minus `earlier` on the 32-bit counter, across one wrap.
constexpr int64_t TickDifference(uint32_t later, uint32_t earlier) {
  return static_cast<int32_t>(later - earlier);
}

}  // namespace tq
