// The logger's own acquisition path against a running tqsim: the instrument
// port opened by its system name, the reader thread, and the posted readings
// with their frame copies, all real.
#include <gtest/gtest.h>

#include <thread>

#include "acquisition/acquisition_state.h"
#include "acquisition/readers.h"
#include "acquisition/serial_ports.h"
#include "platform/messages.h"
#include "settings/settings.h"
#include "tests/tools/sim_test_support.h"
#include "tests/tools/tqsim_process.h"

namespace tq::sim {
namespace {

TEST(LoggerOverTqsimTest, Kind7ReadingsArriveInOrderEachWithItsOwnFrame) {
  testing::ScopedDataRoot root;
  fs::path com1 = root.path() / "ports" / "COM1";
  constexpr size_t kReadings = 25;
  Tqsim sim({"--kind", "7", "--instrument", com1.string(), "--readings", std::to_string(kReadings)},
            root.path());
  ASSERT_TRUE(WaitForLink(com1));

  SettingsStore settings;  // InstrumentPort 0 is "COM1:"
  std::string error;
  std::unique_ptr<SerialPort> port = OpenInstrumentPort(settings, kKindTq68Mk2, &error);
  ASSERT_NE(port, nullptr) << error;

  AcquisitionState state;
  MessageQueue window;
  ReaderContext context{port.get(), &state, &window, kKindTq68Mk2, false};
  std::thread reader([&] { EXPECT_EQ(BinaryReader(context), 0); });

  SimulatorOptions options;
  options.kind = kKindTq68Mk2;
  std::vector<uint8_t> expected = ExpectedFrames(options, kReadings);
  const size_t kWireFrame = 16;  // 14 stored bytes and the two 0xFF
  auto sent_frame = [&](size_t i) {
    auto first = expected.begin() + static_cast<long>(i * kWireFrame);
    return std::vector<uint8_t>(first, first + 14);
  };
  // The simulator starts sending before the port opens and the reader purges
  // what came before it started, so the logger joins the stream part way.
  size_t next = SIZE_MAX;
  size_t seen = 0;
  Message message;
  while (window.Wait(&message, 3000)) {
    ASSERT_EQ(message.number, WM_BINARY_READING);
    PostedFrame frame;
    ASSERT_TRUE(state.TakeReading(&frame));
    ASSERT_EQ(frame.length, 14u);
    std::vector<uint8_t> got(frame.bytes.begin(), frame.bytes.begin() + 14);
    if (next == SIZE_MAX) {
      for (size_t i = 0; i < kReadings && next == SIZE_MAX; ++i) {
        if (sent_frame(i) == got) next = i;
      }
      ASSERT_NE(next, SIZE_MAX) << "first reading matches no frame the simulator sent";
      EXPECT_LE(next, 3u);
    }
    ASSERT_LT(next, kReadings);
    EXPECT_EQ(got, sent_frame(next)) << "reading " << seen << " is not the next frame sent";
    ++next;
    ++seen;
  }
  // Every frame from the first one heard to the last one sent was read.
  EXPECT_EQ(next, kReadings);
  EXPECT_GE(seen, kReadings - 3);
  EXPECT_EQ(state.DroppedReadings.load(), 0u);

  port->Close();
  reader.join();
  EXPECT_EQ(sim.WaitExit(milliseconds(10000)), 0) << sim.Err();
}

}  // namespace
}  // namespace tq::sim
