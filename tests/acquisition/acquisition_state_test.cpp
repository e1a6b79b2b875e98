// The shared record: the newest frame, the frame counter, and the copies of
// posted readings that the window takes one per message.
#include "acquisition/acquisition_state.h"

#include <gtest/gtest.h>

#include <thread>

#include "tests/instrument/frame_bytes.h"

namespace tq {
namespace {

using testing::Bytes;
using testing::ToBytes;

class RefusingWindow : public MessageTarget {
 public:
  bool Deliver(const Message&) override { return false; }
};

TEST(LastFrameTest, HoldsTheNewestFrameWithATerminatingZero) {
  AcquisitionState state;
  state.StoreLastFrame(ToBytes("T1012340005600"));
  state.StoreLastFrame(ToBytes("T3004170"));
  FrameBytes frame = state.LastFrame();
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(frame.data())), "T3004170");
  state.ClearLastFrameStart();
  EXPECT_EQ(state.LastFrame()[0], 0);
  EXPECT_EQ(state.LastFrame()[1], '3');
}

TEST(LastFrameTest, OverlongInputIsCutToTheBuffer) {
  AcquisitionState state;
  state.StoreLastFrame(Bytes(40, 'A'));
  FrameBytes frame = state.LastFrame();
  EXPECT_EQ(frame[kMaxFrameLength - 1], 'A');
  EXPECT_EQ(frame[kMaxFrameLength], 0);
}

TEST(PostedReadingTest, EachMessageTakesItsOwnFrameAndTick) {
  AcquisitionState state;
  MessageQueue window;
  ASSERT_TRUE(state.PostReading(&window, WM_BINARY_READING, ToBytes("T1aaaaaaaaaaaa"), 100));
  ASSERT_TRUE(state.PostReading(&window, WM_BINARY_READING, ToBytes("T2bbbbbbbbbbbb"), 147));
  ASSERT_TRUE(state.PostReading(&window, WM_BINARY_READING, ToBytes("T3cccccccccccc"), 194));
  // The window was busy: three messages wait, each with its own copy.
  const char* expected[] = {"T1aaaaaaaaaaaa", "T2bbbbbbbbbbbb", "T3cccccccccccc"};
  const uint32_t ticks[] = {100, 147, 194};
  for (int i = 0; i < 3; ++i) {
    Message m;
    ASSERT_TRUE(window.Wait(&m, 0));
    EXPECT_EQ(m.number, WM_BINARY_READING);
    EXPECT_EQ(m.wparam, 0u);
    EXPECT_EQ(m.lparam, 0);
    PostedFrame frame;
    ASSERT_TRUE(state.TakeReading(&frame));
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(frame.bytes.data())), expected[i]);
    EXPECT_EQ(frame.length, 14u);
    EXPECT_EQ(frame.tick, ticks[i]);
  }
  PostedFrame none;
  EXPECT_FALSE(state.TakeReading(&none));
}

TEST(PostedReadingTest, FullQueueDropsAndCountsWithoutPosting) {
  AcquisitionState state;
  MessageQueue window;
  for (size_t i = 0; i < kPostedFrameCapacity; ++i) {
    ASSERT_TRUE(state.PostReading(&window, WM_ICE_READING, ToBytes("T123I456"), 0));
  }
  EXPECT_FALSE(state.PostReading(&window, WM_ICE_READING, ToBytes("T999I999"), 0));
  EXPECT_EQ(state.DroppedReadings.load(), 1u);
  // No message without a copy behind it, so later messages stay matched.
  EXPECT_EQ(window.Size(), kPostedFrameCapacity);
  PostedFrame frame;
  ASSERT_TRUE(state.TakeReading(&frame));
  EXPECT_TRUE(state.PostReading(&window, WM_ICE_READING, ToBytes("T000I001"), 7));
  EXPECT_EQ(state.QueuedReadings(), kPostedFrameCapacity);
}

TEST(PostedReadingTest, RefusedMessageLeavesNoCopyBehind) {
  AcquisitionState state;
  RefusingWindow refusing;
  EXPECT_FALSE(state.PostReading(&refusing, WM_INSTRUMENT_READING, ToBytes("T1012340005600"), 0));
  EXPECT_FALSE(state.PostReading(nullptr, WM_INSTRUMENT_READING, ToBytes("T1012340005600"), 0));
  EXPECT_EQ(state.QueuedReadings(), 0u);
  MessageQueue window;
  ASSERT_TRUE(state.PostReading(&window, WM_INSTRUMENT_READING, ToBytes("T2000000000000"), 5));
  PostedFrame frame;
  ASSERT_TRUE(state.TakeReading(&frame));
  EXPECT_EQ(frame.bytes[1], '2');
}

TEST(PostedReadingTest, WindowTakingWhileTheReaderPostsSeesEveryFrameOnce) {
  AcquisitionState state;
  MessageQueue window;
  constexpr int kFrames = 2000;
  std::thread reader([&] {
    for (int i = 0; i < kFrames; ++i) {
      Bytes frame = ToBytes("T0000000000000");
      frame[2] = static_cast<uint8_t>(i >> 8);
      frame[3] = static_cast<uint8_t>(i & 0xFF);
      while (!state.PostReading(&window, WM_BINARY_READING, frame, static_cast<uint32_t>(i))) {
        std::this_thread::yield();  // the window is behind; try the next "frame" later
      }
    }
  });
  for (int i = 0; i < kFrames; ++i) {
    Message m;
    ASSERT_TRUE(window.Wait(&m, 5000));
    PostedFrame frame;
    ASSERT_TRUE(state.TakeReading(&frame));
    EXPECT_EQ(frame.tick, static_cast<uint32_t>(i));
    EXPECT_EQ((frame.bytes[2] << 8) | frame.bytes[3], i);
  }
  reader.join();
}

TEST(FrameCounterTest, PostsEveryFramesPerReadingAcceptedFrames) {
  AcquisitionState state;
  state.FramesPerReading = 3;
  EXPECT_FALSE(state.AdvanceFrameCounter(true));
  EXPECT_FALSE(state.AdvanceFrameCounter(false));
  EXPECT_TRUE(state.AdvanceFrameCounter(true));
  EXPECT_EQ(state.FrameCounter.load(), 0);
}

TEST(FrameCounterTest, LoweredFramesPerReadingStillPosts) {
  AcquisitionState state;
  state.FramesPerReading = 10;
  for (int i = 0; i < 6; ++i) state.AdvanceFrameCounter(true);
  // Changed without resetting the counter: the next frame must still post.
  state.FramesPerReading = 1;
  EXPECT_TRUE(state.AdvanceFrameCounter(true));
  EXPECT_TRUE(state.AdvanceFrameCounter(true));
}

}  // namespace
}  // namespace tq
