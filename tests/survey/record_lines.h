// Hand-built data file records for tests: a body with its fields at their
// documented positions, padded with spaces up to the LF.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <span>
#include <string>

#include "platform/clock.h"

namespace tq::testing {

// `body` padded with spaces to `length` - 1 characters, then LF.
inline std::string Line(const std::string& body, size_t length) {
  EXPECT_LT(body.size(), length) << body;
  return body + std::string(length - 1 - body.size(), ' ') + "\n";
}

inline std::span<const uint8_t> AsBytes(const std::string& s) {
  return std::span(reinterpret_cast<const uint8_t*>(s.data()), s.size());
}

// 6 December 2009 at the given time of day.
inline LocalTime DecemberSixthAt(int hour, int minute, int second, int millisecond) {
  LocalTime t;
  t.year = 2009;
  t.month = 12;
  t.day = 6;
  t.hour = hour;
  t.minute = minute;
  t.second = second;
  t.millisecond = millisecond;
  return t;
}

}  // namespace tq::testing
