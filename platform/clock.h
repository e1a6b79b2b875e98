// Millisecond tick and local time, replaceable by a fake in tests.
#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>

namespace tq {

// Local date and time with milliseconds, as the system clock reports it.
struct LocalTime {
  int year = 0;
  int month = 0;        // 1..12
  int day = 0;          // 1..31
  int day_of_week = 0;  // 0 = Sunday
  int hour = 0;
  int minute = 0;
  int second = 0;
  int millisecond = 0;
};

// Source of time. The real one is installed by default.
class ClockSource {
 public:
  virtual ~ClockSource() = default;
  virtual uint32_t Tick() = 0;
  virtual LocalTime Now() = 0;
};

// Milliseconds since the program started; wraps after about 49.7 days.
uint32_t Tick();

// Local date and time down to milliseconds.
LocalTime GetLocalTime();

// The wall clock as UTC (what GPS receivers report); never faked.
LocalTime GetUtcTime();

// Routes Tick() and GetLocalTime() to `source`; nullptr restores the real clock.
void InstallClock(ClockSource* source);

// Sleeps for `ms` milliseconds of real time (the handheld busy-waited here).
void WaitMs(uint32_t ms);

// A clock that moves only when told to. Thread-safe.
class FakeClock : public ClockSource {
 public:
  uint32_t Tick() override;
  LocalTime Now() override;
  void SetTick(uint32_t tick);
  void Advance(uint32_t ms);
  void SetNow(const LocalTime& now);

 private:
  std::atomic<uint32_t> tick_{0};
  std::mutex mutex_;
  LocalTime now_;
};

}  // namespace tq
