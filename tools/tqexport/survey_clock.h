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

#include "survey/record_tick.h"

namespace tq::exporter {

// Milliseconds since 1970-01-01 00:00 on the handheld's local calendar (the
// files carry no time zone).
using LocalMs = int64_t;

// Local milliseconds of a calendar date and time; nullopt when a field is
// out of range.
std::optional<LocalMs> MakeLocalMs(int year, int month, int day, int hour, int minute,
                                   int second, int millisecond);

// Appends "YYYY-MM-DDTHH:MM:SS.mmm".
void AppendLocalTime(LocalMs time, std::string& out);

// The local date and time a "Z" record holds; nullopt when it holds no
// valid date and time.
std::optional<LocalMs> DateTimeOf(std::span<const uint8_t> record);

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
