#include "tools/tqexport/survey_clock.h"

#include <string_view>

#include "survey/record_layout.h"

namespace tq::exporter {
namespace {

constexpr int64_t kMsPerDay = 24LL * 60 * 60 * 1000;

struct CivilDate {
  int64_t year;
  int month;
  int day;
};

// Days since 1970-01-01 of a proleptic Gregorian date (valid for any year).
int64_t DaysFromCivil(int64_t year, int month, int day) {
  year -= month <= 2 ? 1 : 0;
  const int64_t era = (year >= 0 ? year : year - 399) / 400;
  const int64_t year_of_era = year - era * 400;
  const int64_t day_of_year = (153 * (month > 2 ? month - 3 : month + 9) + 2) / 5 + day - 1;
  const int64_t day_of_era = year_of_era * 365 + year_of_era / 4 - year_of_era / 100 + day_of_year;
  return era * 146097 + day_of_era - 719468;
}

CivilDate CivilFromDays(int64_t days) {
  days += 719468;
  const int64_t era = (days >= 0 ? days : days - 146096) / 146097;
  const int64_t day_of_era = days - era * 146097;
  const int64_t year_of_era =
      (day_of_era - day_of_era / 1460 + day_of_era / 36524 - day_of_era / 146096) / 365;
  const int64_t day_of_year = day_of_era - (365 * year_of_era + year_of_era / 4 - year_of_era / 100);
  const int64_t mp = (5 * day_of_year + 2) / 153;
  const int day = static_cast<int>(day_of_year - (153 * mp + 2) / 5 + 1);
  const int month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
  return {year_of_era + era * 400 + (month <= 2 ? 1 : 0), month, day};
}

// The number in `width` digits at `at`; -1 when any of them is no digit.
int Digits(std::span<const uint8_t> record, size_t at, size_t width) {
  if (at + width > record.size()) return -1;
  int value = 0;
  for (size_t i = at; i < at + width; ++i) {
    if (record[i] < '0' || record[i] > '9') return -1;
    value = value * 10 + (record[i] - '0');
  }
  return value;
}

bool CharAt(std::span<const uint8_t> record, size_t at, char c) {
  return at < record.size() && record[at] == static_cast<uint8_t>(c);
}

// "hh:mm:ss" at `at`, as milliseconds of the day; -1 when malformed.
int64_t ClockAt(std::span<const uint8_t> record, size_t at) {
  const int hour = Digits(record, at, 2);
  const int minute = Digits(record, at + 3, 2);
  const int second = Digits(record, at + 6, 2);
  if (!CharAt(record, at + 2, ':') || !CharAt(record, at + 5, ':') || hour < 0 || hour > 23 ||
      minute < 0 || minute > 59 || second < 0 || second > 59) {
    return -1;
  }
  return ((hour * 60LL + minute) * 60 + second) * 1000;
}

// Writes `value` as `width` digits ending just before `end`.
void WriteDigits(int64_t value, int width, char* end) {
  for (int i = 0; i < width; ++i) {
    *--end = static_cast<char>('0' + value % 10);
    value /= 10;
  }
}

}  // namespace

std::optional<LocalMs> MakeLocalMs(int year, int month, int day, int hour, int minute,
                                   int second, int millisecond) {
  if (year < 1 || year > 9999 || month < 1 || month > 12 || day < 1 || day > 31 || hour < 0 ||
      hour > 23 || minute < 0 || minute > 59 || second < 0 || second > 59 || millisecond < 0 ||
      millisecond > 999) {
    return std::nullopt;
  }
  const int64_t days = DaysFromCivil(year, month, day);
  if (CivilFromDays(days).day != day) return std::nullopt;  // 31 April and the like
  return days * kMsPerDay + ((hour * 60LL + minute) * 60 + second) * 1000 + millisecond;
}

void AppendLocalTime(LocalMs time, std::string& out) {
  int64_t days = time / kMsPerDay;
  int64_t ms = time % kMsPerDay;
  if (ms < 0) {
    ms += kMsPerDay;
    --days;
  }
  const CivilDate date = CivilFromDays(days);
  char text[] = "0000-00-00T00:00:00.000";
  WriteDigits(date.year, 4, text + 4);
  WriteDigits(date.month, 2, text + 7);
  WriteDigits(date.day, 2, text + 10);
  WriteDigits(ms / 3600000, 2, text + 13);
  WriteDigits(ms / 60000 % 60, 2, text + 16);
  WriteDigits(ms / 1000 % 60, 2, text + 19);
  WriteDigits(ms % 1000, 3, text + 23);
  out.append(text, sizeof text - 1);
}

std::optional<LocalMs> DateTimeOf(std::span<const uint8_t> record) {
  const int64_t clock = ClockAt(record, kClockTimeField.at);
  if (clock < 0) return std::nullopt;
  const int year = Digits(record, kYearAt, 4);
  const int month = Digits(record, kMonthAt, 2);
  const int day = Digits(record, kDayAt, 2);
  const std::optional<LocalMs> midnight = MakeLocalMs(year, month, day, 0, 0, 0, 0);
  if (!midnight) return std::nullopt;
  return *midnight + clock;
}

void SurveyClock::TakeDateTime(std::span<const uint8_t> record) {
  latest_ = DateTimeOf(record);
  latest_is_mark_ = false;
}

void SurveyClock::TakeTimeMark(std::span<const uint8_t> record) {
  const int64_t clock = ClockAt(record, kTimeMarkClockField.at);
  const int ms = Digits(record, kTimeMarkClockField.at + 9, 3);
  const std::optional<uint32_t> tick = ParseTick(record);
  if (!latest_ || clock < 0 || !CharAt(record, kTimeMarkClockField.at + 8, '.') || ms < 0 ||
      !tick) {
    return;
  }
  const LocalMs expected =
      latest_is_mark_ ? *mark_time_ + TickDifference(*tick, mark_tick_) : *latest_;
  const LocalMs day_start = expected - (expected % kMsPerDay + kMsPerDay) % kMsPerDay;
  LocalMs time = day_start + clock + ms;
  if (time - expected > kMsPerDay / 2) time -= kMsPerDay;
  if (expected - time > kMsPerDay / 2) time += kMsPerDay;
  latest_ = time;
  latest_is_mark_ = true;
  mark_time_ = time;
  mark_tick_ = *tick;
}

std::optional<LocalMs> SurveyClock::TimeAt(uint32_t tick) const {
  if (!mark_time_) return std::nullopt;
  return *mark_time_ + TickDifference(tick, mark_tick_);
}

}  // namespace tq::exporter
