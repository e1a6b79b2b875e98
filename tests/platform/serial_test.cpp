// Serial ports over real pseudo-terminals.
#include "platform/serial.h"

#include <gtest/gtest.h>
#include <sys/resource.h>

#include <chrono>
#include <filesystem>
#include <memory>
#include <thread>

#include "platform/files.h"
#include "tests/support/pty_pair.h"
#include "tests/support/temp_dir.h"

namespace tq {
namespace {

using testing::PtyPair;
using std::chrono::milliseconds;
using SteadyClock = std::chrono::steady_clock;

PortTimeouts InstrumentTimeouts() { return PortTimeouts{0xFFFF, 1000, 1000, 0, 0}; }
PortTimeouts GpsTimeouts() { return PortTimeouts{100, 100, 100, 100, 100}; }

std::unique_ptr<SerialPort> OpenConfigured(const PtyPair& pty, const PortTimeouts& t) {
  std::string error;
  auto port = SerialPort::Open(pty.slave_path(), &error);
  EXPECT_NE(port, nullptr) << error;
  if (port) {
    EXPECT_TRUE(port->Configure(LineSettings{}, t, &error)) << error;
  }
  return port;
}

long ElapsedMs(SteadyClock::time_point since) {
  return static_cast<long>(
      std::chrono::duration_cast<milliseconds>(SteadyClock::now() - since).count());
}

double ThreadCpuSeconds() {
  rusage usage{};
  getrusage(RUSAGE_THREAD, &usage);
  return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
         static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

TEST(SerialPortTest, ReadsBytesInOrderAndWritesBack) {
  PtyPair pty;
  auto port = OpenConfigured(pty, InstrumentTimeouts());
  pty.Send("T\x36\xff");
  uint8_t b = 0;
  ASSERT_EQ(port->ReadByte(&b), ReadResult::kByte);
  EXPECT_EQ(b, 'T');
  ASSERT_EQ(port->ReadByte(&b), ReadResult::kByte);
  EXPECT_EQ(b, 0x36);
  ASSERT_EQ(port->ReadByte(&b), ReadResult::kByte);
  EXPECT_EQ(b, 0xFF);

  const uint8_t command[] = {'$', 'P', '\r', '\n'};
  ASSERT_TRUE(port->Write(command));
  uint8_t got[8] = {};
  EXPECT_EQ(pty.Receive(got, 1000), 4u);
  EXPECT_EQ(got[0], '$');
}

TEST(SerialPortTest, ReadTimesOutAfterMultiplierPlusConstant) {
  PtyPair pty;
  auto gps = OpenConfigured(pty, GpsTimeouts());
  uint8_t b = 0;
  auto start = SteadyClock::now();
  EXPECT_EQ(gps->ReadByte(&b), ReadResult::kTimeout);
  long elapsed = ElapsedMs(start);
  EXPECT_GE(elapsed, 190);
  EXPECT_LT(elapsed, 1000);
}

TEST(SerialPortTest, SecondOpenOfTheSameDeviceFails) {
  PtyPair pty;
  auto first = OpenConfigured(pty, InstrumentTimeouts());
  std::string error;
  EXPECT_EQ(SerialPort::Open(pty.slave_path(), &error), nullptr);
  EXPECT_FALSE(error.empty());
  first->Close();
  first.reset();
  EXPECT_NE(SerialPort::Open(pty.slave_path()), nullptr);
}

TEST(SerialPortTest, MissingDeviceFailsWithItsName) {
  std::string error;
  EXPECT_EQ(SerialPort::Open("/nonexistent/COM9", &error), nullptr);
  EXPECT_NE(error.find("/nonexistent/COM9"), std::string::npos);
}

TEST(SerialPortTest, CloseFromAnotherThreadReleasesABlockedRead) {
  PtyPair pty;
  auto port = OpenConfigured(pty, InstrumentTimeouts());
  ReadResult result = ReadResult::kByte;
  long elapsed = 0;
  std::thread reader([&] {
    auto start = SteadyClock::now();
    uint8_t b = 0;
    result = port->ReadByte(&b);
    elapsed = ElapsedMs(start);
  });
  std::this_thread::sleep_for(milliseconds(100));
  port->Close();
  reader.join();
  EXPECT_EQ(result, ReadResult::kClosed);
  EXPECT_LT(elapsed, 1000);  // the read timeout is 2000 ms
  EXPECT_FALSE(port->IsOpen());
  uint8_t b = 0;
  EXPECT_EQ(port->ReadByte(&b), ReadResult::kClosed);
}

TEST(SerialPortTest, CloseReleasesAWaitForEvents) {
  PtyPair pty;
  auto port = OpenConfigured(pty, InstrumentTimeouts());
  uint32_t fired = 99;
  std::thread waiter([&] { fired = port->WaitEvent(kEventRxChar | kEventCts); });
  std::this_thread::sleep_for(milliseconds(50));
  port->Close();
  waiter.join();
  EXPECT_EQ(fired, 0u);
}

TEST(SerialPortTest, ReceivedByteEndsAWaitForRxChar) {
  PtyPair pty;
  auto port = OpenConfigured(pty, InstrumentTimeouts());
  std::thread sender([&] {
    std::this_thread::sleep_for(milliseconds(50));
    pty.Send("T");
  });
  EXPECT_EQ(port->WaitEvent(kEventRxChar), static_cast<uint32_t>(kEventRxChar));
  sender.join();
}

TEST(SerialPortTest, PurgeReceiveDropsUnreadInput) {
  PtyPair pty;
  auto port = OpenConfigured(pty, GpsTimeouts());
  pty.Send("garbage");
  std::this_thread::sleep_for(milliseconds(50));
  port->PurgeReceive();
  pty.Send("X");
  uint8_t b = 0;
  ASSERT_EQ(port->ReadByte(&b), ReadResult::kByte);
  EXPECT_EQ(b, 'X');
}

TEST(SerialPortTest, PseudoTerminalReportsNoModemLines) {
  PtyPair pty;
  auto port = OpenConfigured(pty, InstrumentTimeouts());
  EXPECT_EQ(port->ModemStatus(), 0u);
}

TEST(SerialPortTest, VanishedDeviceWaitsOutTheTimeoutWithoutSpinning) {
  PtyPair pty;
  auto port = OpenConfigured(pty, GpsTimeouts());
  pty.Hangup();
  double cpu_before = ThreadCpuSeconds();
  auto start = SteadyClock::now();
  int timeouts = 0;
  while (ElapsedMs(start) < 1000) {
    uint8_t b = 0;
    if (port->ReadByte(&b) == ReadResult::kTimeout) ++timeouts;
  }
  double cpu = ThreadCpuSeconds() - cpu_before;
  // Each read takes its full 200 ms, so about five reads fit in a second.
  EXPECT_LE(timeouts, 6);
  EXPECT_LT(cpu, 0.1);
}

int OpenDescriptorCount() {
  int count = 0;
  for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator("/proc/self/fd")) ++count;
  return count;
}

// A USB adapter pulled and plugged in again: the link to the device goes away
// with it and comes back pointing at a new node.
TEST(SerialPortTest, DeviceThatComesBackUnderItsNameIsReadOn) {
  testing::TempDir dir;
  const std::filesystem::path link = dir.path() / "COM1";
  auto device = std::make_unique<PtyPair>();
  std::filesystem::create_symlink(device->slave_path(), link);
  std::string error;
  auto port = SerialPort::Open(link, &error);
  ASSERT_NE(port, nullptr) << error;
  ASSERT_TRUE(port->Configure(LineSettings{}, GpsTimeouts(), &error)) << error;
  const int descriptors = OpenDescriptorCount();
  for (int cycle = 0; cycle < 100; ++cycle) {
    SCOPED_TRACE(cycle);
    device->Send("T\x06\xff");
    // What has arrived comes in one read.
    uint8_t got[16] = {};
    size_t count = 0;
    ASSERT_EQ(port->ReadSome(got, &count), ReadResult::kByte);
    ASSERT_EQ(count, 3u);
    EXPECT_EQ(got[2], 0xFF);

    device->Hangup();
    std::filesystem::remove(link);
    if (cycle == 0) {
      // Gone: reads wait out their timeout as on a silent line.
      double cpu_before = ThreadCpuSeconds();
      auto start = SteadyClock::now();
      int timeouts = 0;
      while (ElapsedMs(start) < 1000) {
        if (port->ReadSome(got, &count) == ReadResult::kTimeout) ++timeouts;
      }
      EXPECT_LE(timeouts, 6);
      EXPECT_LT(ThreadCpuSeconds() - cpu_before, 0.05);
    }
    device = std::make_unique<PtyPair>();
    std::filesystem::create_symlink(device->slave_path(), link);
    device->Send("Z");
    auto start = SteadyClock::now();
    ReadResult result = ReadResult::kTimeout;
    while (result == ReadResult::kTimeout && ElapsedMs(start) < 3000) result = port->ReadSome(got, &count);
    ASSERT_EQ(result, ReadResult::kByte);
    EXPECT_EQ(got[0], 'Z');
  }
  // The old nodes were let go of, not kept.
  EXPECT_EQ(OpenDescriptorCount(), descriptors);
  port->Close();
  // Nothing is left holding the device: the next run opens it at once.
  EXPECT_NE(SerialPort::Open(link, &error), nullptr) << error;
}

TEST(SerialPortTest, PortNamesMapUnderTheDataRootWhenLinked) {
  testing::ScopedDataRoot root;
  EXPECT_EQ(DevicePathForPort("COM3:"), std::filesystem::path("/dev/ttyS2"));
  std::filesystem::create_directories(root.path() / "ports");
  std::filesystem::create_symlink("/dev/null", root.path() / "ports" / "COM3");
  EXPECT_EQ(DevicePathForPort("COM3:"), root.path() / "ports" / "COM3");
  EXPECT_EQ(DevicePathForPort("COM12:"), std::filesystem::path("/dev/ttyS11"));
  // Nothing else names a port, even where a link of that number exists.
  std::filesystem::create_symlink("/dev/null", root.path() / "ports" / "COM4");
  std::filesystem::create_symlink("/dev/null", root.path() / "ports" / "COM0");
  for (const char* name : {"COM0:", "COM-4:", "COM04:", "COM:", "COM4x:", "LPT4:", "com4:",
                           "COM256:", "COM99999999999:"}) {
    EXPECT_EQ(DevicePathForPort(name), std::filesystem::path()) << name;
  }
}

TEST(SerialPortTest, WhereTheFileSystemHoldsNoLinksALinkFileAssignsThePort) {
  testing::ScopedDataRoot root;
  PtyPair device;
  const std::filesystem::path link = PortLinkPath(1);
  for (const int no_links : {EPERM, ENOSYS, EOPNOTSUPP}) {
    FileFaults faults;
    faults.symlink_error = no_links;
    InjectFileFaults(&faults);
    std::string error;
    bool as_file = false;
    EXPECT_TRUE(WritePortLink(link, device.slave_path(), &error, &as_file)) << error;
    InjectFileFaults(nullptr);
    EXPECT_TRUE(as_file);
    EXPECT_TRUE(std::filesystem::is_regular_file(std::filesystem::symlink_status(link)));
    EXPECT_EQ(testing::ReadFileBytes(link), device.slave_path().string() + "\n");
  }
  // The port opens through the file, as it would through a link.
  EXPECT_EQ(DevicePathForPort("COM1:"), device.slave_path());
  std::string error;
  EXPECT_NE(SerialPort::Open(DevicePathForPort("COM1:"), &error), nullptr) << error;
  // Written elsewhere, with CR LF and more lines: the first line counts.
  testing::WriteFileBytes(link, "/dev/ttyUSB0 \r\nsecond\n");
  EXPECT_EQ(ReadPortLink(link).kind, PortLinkKind::kFile);
  EXPECT_EQ(DevicePathForPort("COM1:"), std::filesystem::path("/dev/ttyUSB0"));
  // Where links work again, a link replaces the file.
  ASSERT_TRUE(WritePortLink(link, device.slave_path(), &error)) << error;
  EXPECT_EQ(ReadPortLink(link).kind, PortLinkKind::kSymbolicLink);
  EXPECT_EQ(DevicePathForPort("COM1:"), link);
  // Another failure is reported, not hidden behind a file.
  FileFaults denied;
  denied.symlink_error = EACCES;
  InjectFileFaults(&denied);
  EXPECT_FALSE(WritePortLink(link, "/dev/ttyS4", &error));
  InjectFileFaults(nullptr);
  EXPECT_NE(error.find("Permission denied"), std::string::npos) << error;
  EXPECT_EQ(ReadPortLink(link).device, device.slave_path());
}

TEST(SerialPortTest, RejectsAFileThatIsNotATerminal) {
  testing::TempDir dir;
  testing::WriteFileBytes(dir.path() / "plain", "x");
  std::string error;
  EXPECT_EQ(SerialPort::Open(dir.path() / "plain", &error), nullptr);
  EXPECT_NE(error.find("not a serial port"), std::string::npos);
}

}  // namespace
}  // namespace tq
