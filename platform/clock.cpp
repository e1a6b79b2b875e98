#include "platform/clock.h"

#include <chrono>
#include <ctime>
#include <thread>

namespace tq {
namespace {

// The system's wall clock broken down as local time or as UTC.
LocalTime ReadSystemTime(bool utc) {
  timespec ts{};
  clock_gettime(CLOCK_REALTIME, &ts);
  tm broken{};
  if (utc) {
    gmtime_r(&ts.tv_sec, &broken);
  } else {
    localtime_r(&ts.tv_sec, &broken);
  }
  LocalTime t;
  t.year = broken.tm_year + 1900;
  t.month = broken.tm_mon + 1;
  t.day = broken.tm_mday;
  t.day_of_week = broken.tm_wday;
  t.hour = broken.tm_hour;
  t.minute = broken.tm_min;
  t.second = broken.tm_sec;
  t.millisecond = static_cast<int>(ts.tv_nsec / 1000000);
  return t;
}

class RealClock : public ClockSource {
 public:
  RealClock() : start_(std::chrono::steady_clock::now()) {}

  uint32_t Tick() override {
    auto elapsed = std::chrono::steady_clock::now() - start_;
    auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(elapsed).count();
    return static_cast<uint32_t>(static_cast<uint64_t>(ms));
  }

  LocalTime Now() override { return ReadSystemTime(false); }

 private:
  std::chrono::steady_clock::time_point start_;
};

// Constructed on first use, which is as early as anything can ask for a tick.
RealClock& TheRealClock() {
  static RealClock clock;
  return clock;
}

std::atomic<ClockSource*> installed{nullptr};

ClockSource& Current() {
  ClockSource* source = installed.load(std::memory_order_acquire);
  return source != nullptr ? *source : TheRealClock();
}

// Start the real tick at program start rather than at the first call.
[[maybe_unused]] const bool started = (TheRealClock(), true);

}  // namespace

uint32_t Tick() { return Current().Tick(); }

LocalTime GetLocalTime() { return Current().Now(); }

LocalTime GetUtcTime() { return ReadSystemTime(true); }

void InstallClock(ClockSource* source) { installed.store(source, std::memory_order_release); }

void WaitMs(uint32_t ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

uint32_t FakeClock::Tick() { return tick_.load(); }

LocalTime FakeClock::Now() {
  std::lock_guard lock(mutex_);
  return now_;
}

void FakeClock::SetTick(uint32_t tick) { tick_.store(tick); }

void FakeClock::Advance(uint32_t ms) { tick_.fetch_add(ms); }

void FakeClock::SetNow(const LocalTime& now) {
  std::lock_guard lock(mutex_);
  now_ = now;
}

}  // namespace tq
