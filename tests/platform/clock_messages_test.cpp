// The tick, the fake clock, posted messages and the suspend gate.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "platform/clock.h"
#include "platform/messages.h"
#include "platform/threads.h"

namespace tq {
namespace {

TEST(ClockTest, TickStartsNearZeroAndMoves) {
  uint32_t first = Tick();
  EXPECT_LT(first, 60u * 1000u);  // the test program started moments ago
  WaitMs(20);
  uint32_t second = Tick();
  EXPECT_GE(second - first, 19u);
}

TEST(ClockTest, FakeClockReplacesBothClocksUntilRemoved) {
  FakeClock fake;
  fake.SetTick(0xFFFFFFF0u);
  LocalTime t;
  t.year = 2026;
  t.month = 12;
  t.day = 7;
  t.millisecond = 250;
  fake.SetNow(t);
  InstallClock(&fake);
  EXPECT_EQ(Tick(), 0xFFFFFFF0u);
  fake.Advance(0x20);
  EXPECT_EQ(Tick(), 0x10u);  // wraps like the 32-bit counter
  EXPECT_EQ(GetLocalTime().millisecond, 250);
  InstallClock(nullptr);
  EXPECT_GT(GetLocalTime().year, 2000);
}

TEST(MessageQueueTest, MessagesFromAnotherThreadArriveInOrder) {
  MessageQueue queue;
  std::thread poster([&] {
    for (uint32_t i = 0; i < 1000; ++i) PostMessage(&queue, 1034 + (i % 4), i);
  });
  for (uint32_t i = 0; i < 1000; ++i) {
    Message m;
    ASSERT_TRUE(queue.Wait(&m, 5000));
    EXPECT_EQ(m.number, 1034 + (i % 4));
    EXPECT_EQ(m.wparam, i);
  }
  poster.join();
  Message m;
  EXPECT_FALSE(queue.Wait(&m, 10));
  EXPECT_FALSE(PostMessage(nullptr, 1034));
}

TEST(SuspendGateTest, ReaderWaitsWhileSuspended) {
  SuspendGate gate;
  std::atomic<int> passes{0};
  gate.Suspend();
  std::thread reader([&] {
    gate.WaitWhileSuspended();
    ++passes;
  });
  WaitMs(50);
  EXPECT_EQ(passes.load(), 0);
  gate.Resume();
  reader.join();
  EXPECT_EQ(passes.load(), 1);
}

}  // namespace
}  // namespace tq
