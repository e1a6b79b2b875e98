#include "survey/record_tick.h"

#include "survey/record_layout.h"

namespace tq {

std::optional<uint32_t> ParseTick(std::span<const uint8_t> record) {
  if (record.size() < kTickWidth + 1) return std::nullopt;
  const size_t end = record.size() - 1;
  size_t at = end - kTickWidth;
  while (at < end && record[at] == ' ') ++at;
  const bool negative = at < end && record[at] == '-';
  if (negative) ++at;
  if (at == end) return std::nullopt;
  int64_t value = 0;
  for (; at < end; ++at) {
    if (record[at] < '0' || record[at] > '9') return std::nullopt;
    value = value * 10 + (record[at] - '0');
  }
  if (negative) value = -value;
  if (value > 0xFFFFFFFFLL || value < INT32_MIN) return std::nullopt;
  return static_cast<uint32_t>(value);
}

}  // namespace tq
