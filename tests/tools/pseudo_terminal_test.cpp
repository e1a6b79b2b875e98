// Pseudo-terminals as the logger sees them, and the links that name them.
#include "tools/sim/pseudo_terminal.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <chrono>
#include <thread>
#include <vector>

#include "platform/files.h"
#include "platform/serial.h"
#include "tests/support/temp_dir.h"
#include "tests/tools/sim_test_support.h"

namespace tq::sim {
namespace {

namespace fs = std::filesystem;
using testing::TempDir;

std::unique_ptr<SerialPort> OpenAsLogger(const fs::path& device) {
  std::string error;
  auto port = SerialPort::Open(device, &error);
  EXPECT_NE(port, nullptr) << error;
  if (port) {
    EXPECT_TRUE(port->Configure(LineSettings{}, PortTimeouts{0, 0, 200, 0, 0}, &error)) << error;
  }
  return port;
}

// Everything on the line until it stays quiet for one read timeout.
std::vector<uint8_t> ReadAll(Port& port) { return Collect(port, std::chrono::minutes(1)); }

std::vector<uint8_t> Numbered(uint32_t n) {
  std::vector<uint8_t> frame(16, 0x55);
  frame[0] = 'T';
  for (int i = 0; i < 4; ++i) frame[1 + i] = static_cast<uint8_t>(n >> (24 - 8 * i));
  return frame;
}

uint32_t NumberOf(const uint8_t* frame) {
  return uint32_t{frame[1]} << 24 | uint32_t{frame[2]} << 16 | uint32_t{frame[3]} << 8 | frame[4];
}

TEST(PseudoTerminalTest, BytesArriveInOrderAtTheDevice) {
  auto pty = PseudoTerminal::Open();
  ASSERT_NE(pty, nullptr);
  EXPECT_EQ(pty->device().string().rfind("/dev/pts/", 0), 0u);
  auto port = OpenAsLogger(pty->device());
  const std::vector<uint8_t> sent = {'T', 6, 0x00, 0xFF, 0x0D, 0x0A, 0x11, 0x13, 0xFF, 0xFF};
  ASSERT_TRUE(pty->Send(sent));
  EXPECT_EQ(ReadAll(*port), sent);
}

TEST(PseudoTerminalTest, LineSurvivesTheLoggerClosingAndReopening) {
  auto pty = PseudoTerminal::Open();
  ASSERT_NE(pty, nullptr);
  auto first = OpenAsLogger(pty->device());
  ASSERT_TRUE(pty->Send(Numbered(1)));
  EXPECT_EQ(ReadAll(*first), Numbered(1));
  first.reset();
  ASSERT_TRUE(pty->Send(Numbered(2)));
  auto second = OpenAsLogger(pty->device());
  EXPECT_EQ(ReadAll(*second), Numbered(2));
}

// Whether the line is marked exclusive (only root may open it then).
bool MarkedExclusive(const fs::path& device) {
  int fd = ::open(device.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
  EXPECT_GE(fd, 0);
  int exclusive = 0;
  EXPECT_EQ(::ioctl(fd, TIOCGEXCL, &exclusive), 0);
  ::close(fd);
  return exclusive != 0;
}

TEST(PseudoTerminalTest, ClosedPortIsOpenableAgainByOtherUsers) {
  // Our own descriptor keeps the line alive, so the exclusive mark of a
  // closed port would outlive it and lock ordinary users out.
  auto pty = PseudoTerminal::Open();
  ASSERT_NE(pty, nullptr);
  auto port = OpenAsLogger(pty->device());
  ASSERT_TRUE(pty->Send(Numbered(1)));
  EXPECT_TRUE(MarkedExclusive(pty->device()));  // held: stays exclusive
  port.reset();
  ASSERT_TRUE(pty->Send(Numbered(2)));
  EXPECT_FALSE(MarkedExclusive(pty->device()));
}

TEST(PseudoTerminalTest, NobodyReadingLosesTheOldestWholeFramesNotTheNewest) {
  auto pty = PseudoTerminal::Open();
  ASSERT_NE(pty, nullptr);
  const uint32_t kFrames = 20000;  // 320 kB, far more than the line holds
  for (uint32_t n = 0; n < kFrames; ++n) ASSERT_TRUE(pty->Send(Numbered(n))) << n;
  auto port = OpenAsLogger(pty->device());
  std::vector<uint8_t> got = ReadAll(*port);
  ASSERT_GE(got.size(), 16u);
  ASSERT_EQ(got.size() % 16, 0u);
  uint32_t first = NumberOf(got.data());
  EXPECT_GT(first, 0u);
  for (size_t at = 0; at < got.size(); at += 16) {
    ASSERT_EQ(got[at], 'T');
    ASSERT_EQ(NumberOf(&got[at]), first + at / 16);
  }
  EXPECT_EQ(NumberOf(&got[got.size() - 16]), kFrames - 1);
}

TEST(PseudoTerminalTest, UnreadCountsWhatTheLoggerHasNotReadYet) {
  auto pty = PseudoTerminal::Open();
  ASSERT_NE(pty, nullptr);
  auto port = OpenAsLogger(pty->device());
  ASSERT_TRUE(pty->Send(Numbered(7)));
  // Asked at once, before the bytes reach the logger's queue: not drained.
  EXPECT_FALSE(pty->WaitDrained(std::chrono::milliseconds(100)));
  EXPECT_EQ(pty->Unread(), 16u);
  ReadAll(*port);
  EXPECT_EQ(pty->Unread(), 0u);
  EXPECT_TRUE(pty->WaitDrained(std::chrono::milliseconds(300)));
}

TEST(PseudoTerminalTest, WhatTheLoggerWritesIsDiscarded) {
  auto pty = PseudoTerminal::Open();
  ASSERT_NE(pty, nullptr);
  auto port = OpenAsLogger(pty->device());
  const uint8_t command[] = {'$', 'P', 'X', '\r', '\n'};
  ASSERT_TRUE(port->Write(command));
  std::this_thread::sleep_for(std::chrono::milliseconds(20));
  EXPECT_EQ(pty->DiscardIncoming(), 5u);
  EXPECT_EQ(pty->DiscardIncoming(), 0u);
}

TEST(PortLinkTest, CreatesFoldersAndLinksTheDevice) {
  TempDir dir;
  fs::path link = dir.path() / "root" / "ports" / "COM1";
  std::string error;
  ASSERT_TRUE(LinkPort(link, "/dev/pts/77", &error)) << error;
  EXPECT_TRUE(fs::is_symlink(link));
  EXPECT_EQ(fs::read_symlink(link), "/dev/pts/77");
}

TEST(PortLinkTest, ReplacesAStaleLink) {
  TempDir dir;
  fs::path link = dir.path() / "COM2";
  fs::create_symlink("/dev/pts/does-not-exist", link);
  ASSERT_TRUE(LinkPort(link, "/dev/pts/78"));
  EXPECT_EQ(fs::read_symlink(link), "/dev/pts/78");
  EXPECT_EQ(std::distance(fs::directory_iterator(dir.path()), fs::directory_iterator()), 1);
}

TEST(PortLinkTest, RefusesToReplaceARealFile) {
  TempDir dir;
  fs::path path = dir.path() / "COM1";
  testing::WriteFileBytes(path, "keep me");
  std::string error;
  EXPECT_FALSE(LinkPort(path, "/dev/pts/79", &error));
  EXPECT_NE(error.find("not a link"), std::string::npos) << error;
  EXPECT_EQ(testing::ReadFileBytes(path), "keep me");
}

TEST(PortLinkTest, UnlinkRemovesOnlyALinkThatStillPointsAtTheDevice) {
  TempDir dir;
  fs::path link = dir.path() / "COM1";
  // The same with a link file, as on a memory card.
  for (const int symlink_error : {0, EPERM}) {
    FileFaults faults;
    faults.symlink_error = symlink_error;
    InjectFileFaults(&faults);
    ASSERT_TRUE(LinkPort(link, "/dev/pts/80"));
    // Another simulator took the name over meanwhile: leave its link alone.
    ASSERT_TRUE(LinkPort(link, "/dev/pts/81"));
    InjectFileFaults(nullptr);
    EXPECT_EQ(fs::is_symlink(link), symlink_error == 0);
    EXPECT_FALSE(UnlinkPort(link, "/dev/pts/80"));
    EXPECT_TRUE(fs::exists(fs::symlink_status(link)));
    EXPECT_TRUE(UnlinkPort(link, "/dev/pts/81"));
    EXPECT_FALSE(fs::exists(fs::symlink_status(link)));
    EXPECT_FALSE(UnlinkPort(link, "/dev/pts/81"));
  }
}

TEST(PortLinkTest, AFailedLinkSaysWhy) {
  TempDir dir;
  testing::WriteFileBytes(dir.path() / "file", "x");
  std::string error;
  EXPECT_FALSE(LinkPort(dir.path() / "file" / "COM1", "/dev/pts/82", &error));
  EXPECT_NE(error.find("Not a directory"), std::string::npos) << error;
  EXPECT_FALSE(LinkPort("/proc/1/COM1", "/dev/pts/82", &error));
  EXPECT_EQ(error.find("Success"), std::string::npos) << error;
}

}  // namespace
}  // namespace tq::sim
