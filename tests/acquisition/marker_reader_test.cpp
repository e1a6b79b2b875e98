// The external marker on a port of its own. A pseudo-terminal carries no
// modem lines, so the marker port is a fake whose CTS line the test switches;
// the instrument's frames still come over a real pseudo-terminal.
#include <gtest/gtest.h>

#include <condition_variable>
#include <mutex>
#include <thread>

#include "tests/acquisition/reader_rig.h"

namespace tq {
namespace {

using testing::BinaryFrame;
using testing::BinaryWire;
using testing::Bytes;
using testing::ReaderRig;

// A marker switch on the CTS line: WaitEvent returns at each change of the
// line, or 0 once closed.
class MarkerSwitchPort : public Port {
 public:
  // A change counts only for a reader already waiting, as with the real line.
  void SetCts(bool on) {
    {
      std::unique_lock lock(mutex_);
      changed_.wait(lock, [&] { return waiting_ > 0; });
      status_ = on ? uint32_t{kModemCts} : 0u;
      ++changes_;
    }
    changed_.notify_all();
  }

  bool IsOpen() const override { return !closed_.load(); }
  ReadResult ReadByte(uint8_t*) override { return ReadResult::kClosed; }
  bool Write(std::span<const uint8_t>) override { return false; }
  void PurgeTransmit() override {}
  void PurgeReceive() override {}
  uint32_t WaitEvent(uint32_t events) override {
    EXPECT_EQ(events, kEventCts);
    std::unique_lock lock(mutex_);
    const uint64_t seen = changes_;
    ++waiting_;
    changed_.notify_all();
    changed_.wait(lock, [&] { return changes_ != seen || closed_.load(); });
    --waiting_;
    return closed_.load() ? 0u : uint32_t{kEventCts};
  }
  uint32_t ModemStatus() override {
    std::lock_guard lock(mutex_);
    return status_;
  }
  void Close() override {
    {
      std::lock_guard lock(mutex_);
      closed_ = true;
    }
    changed_.notify_all();
  }

 private:
  std::mutex mutex_;
  std::condition_variable changed_;
  uint32_t status_ = 0;
  uint64_t changes_ = 0;
  int waiting_ = 0;
  std::atomic<bool> closed_{false};
};

bool WaitForLine(const AcquisitionState& state, int32_t value) {
  for (int i = 0; i < 300; ++i) {
    if (state.ExtMarkerLine.load() == value) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return false;
}

TEST(MarkerReaderTest, TheSwitchAddsSixteenTheKeyEightAndBothTwentyFour) {
  ReaderRig rig;
  rig.Start(&BinaryReader, kKindTq68Mk2);
  MarkerSwitchPort marker;
  ReaderContext context{&marker, &rig.state, nullptr, kKindTq68Mk2, false};
  std::thread marker_thread(&MarkerReader, context);
  const Bytes vertical = BinaryFrame('T', 0x06, {1, 2, 3, 4, 5, 6});

  auto statuses_of_three = [&] {
    std::vector<uint8_t> got;
    for (int i = 0; i < 3; ++i) {
      rig.Send(BinaryWire(vertical));
      Bytes frame;
      if (!rig.NextReading(WM_BINARY_READING, &frame)) break;
      got.push_back(frame[1]);
    }
    return got;
  };

  marker.SetCts(true);
  ASSERT_TRUE(WaitForLine(rig.state, kModemCts));
  EXPECT_EQ(statuses_of_three(), (std::vector<uint8_t>{6 + 16, 6 + 16, 6 + 16}));
  rig.state.SoftMarkerDown = 1;
  EXPECT_EQ(statuses_of_three(), (std::vector<uint8_t>{6 + 24, 6 + 24, 6 + 24}));
  marker.SetCts(false);
  ASSERT_TRUE(WaitForLine(rig.state, 0));
  EXPECT_EQ(statuses_of_three(), (std::vector<uint8_t>{6 + 8, 6 + 8, 6 + 8}));

  marker.Close();
  marker_thread.join();  // a pending wait ends with the port
}

}  // namespace
}  // namespace tq
