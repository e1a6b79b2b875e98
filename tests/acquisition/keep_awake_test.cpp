// The keep-awake thread: resets the idle timer on its period and ends as soon
// as it is told to, not at the end of a 59-second sleep.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "acquisition/readers.h"

namespace tq {
namespace {

using std::chrono::milliseconds;
using SteadyClock = std::chrono::steady_clock;

TEST(KeepAwakeTest, ResetsTheIdleTimerEveryPeriod) {
  std::atomic<int> resets{0};
  std::jthread thread([&](std::stop_token stop) {
    RunKeepAwake(stop, milliseconds(20), [&] { ++resets; });
  });
  auto deadline = SteadyClock::now() + milliseconds(5000);
  while (resets.load() < 3 && SteadyClock::now() < deadline) {
    std::this_thread::sleep_for(milliseconds(5));
  }
  EXPECT_GE(resets.load(), 3);
}

TEST(KeepAwakeTest, StopEndsTheLongWaitAtOnce) {
  std::atomic<int> resets{0};
  std::jthread thread([&](std::stop_token stop) {
    RunKeepAwake(stop, kKeepAwakePeriod, [&] { ++resets; });
  });
  while (resets.load() == 0) std::this_thread::sleep_for(milliseconds(1));
  auto start = SteadyClock::now();
  thread.request_stop();
  thread.join();
  EXPECT_LT(std::chrono::duration_cast<milliseconds>(SteadyClock::now() - start).count(), 1000);
  EXPECT_EQ(resets.load(), 1);
}

TEST(KeepAwakeTest, ProgramThreadRunsAndStops) {
  std::jthread thread(KeepAwake);
  std::this_thread::sleep_for(milliseconds(20));
  auto start = SteadyClock::now();
  thread.request_stop();
  thread.join();
  EXPECT_LT(std::chrono::duration_cast<milliseconds>(SteadyClock::now() - start).count(), 1000);
}

}  // namespace
}  // namespace tq
