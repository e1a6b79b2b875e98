// The local time of every record of a data file, from its date records,
// its time marks and the tick counter.
//
// A "Z" record gives the date (and time, to the second) a line started; a
// "*" record pairs a time of day to the millisecond with a tick. A record
// with a tick then happened at the mark's time plus the ticks since the
// mark. Time marks carry no date: a mark is on the day that puts it nearest
// to where the ticks since the mark before it point (or, first after a date
// record, nearest to that record's time), so midnight, a clock set back and
// days without a date record all come out right.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>

namespace tq::exporter {

// Milliseconds since 1970-01-01 00:00 on the handheld's local calendar (the
// files carry no time zone).
using LocalMs = int64_t;

// The tick field of a record (the 10 positions before the LF), as the
// unsigned 32-bit counter; a field printed signed by an older logger wraps
// to the same counter value. nullopt when the field is not a number.
std::optional<uint32_t> ParseTick(std::span<const uint8_t> record);

// `later` minus `earlier` on the 32-bit counter, across one wrap.
constexpr int64_t TickDifference(uint32_t later, uint32_t earlier) {
  return static_cast<int32_t>(later - earlier);
}

// Local milliseconds of a calendar date and time; nullopt when a field is
// out of range.
std::optional<LocalMs> MakeLocalMs(int year, int month, int day, int hour, int minute,
                                   int second, int millisecond);

// Appends "YYYY-MM-DDTHH:MM:SS.mmm".
void AppendLocalTime(LocalMs time, std::string& out);

class SurveyClock {
 public:
  // Takes a "Z" record; one that is not a valid date forgets the date.
  void TakeDateTime(std::span<const uint8_t> record);
  // Takes a "*" record; ignored before any date or when malformed.
  void TakeTimeMark(std::span<const uint8_t> record);
  // The local time at `tick`; nullopt before the first dated time mark.
  std::optional<LocalMs> TimeAt(uint32_t tick) const;

 private:
  std::optional<LocalMs> latest_;  // the last date or dated mark
  bool latest_is_mark_ = false;
  std::optional<LocalMs> mark_time_;
  uint32_t mark_tick_ = 0;
};

}  // namespace tq::exporter
