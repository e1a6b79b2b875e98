// tqlog --port: the links under the data root that assign ports.
#include "app/port_commands.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "platform/files.h"
#include "platform/serial.h"
#include "tests/support/pty_pair.h"
#include "tests/support/temp_dir.h"

namespace tq {
namespace {

namespace fs = std::filesystem;

TEST(PortCommands, AssignmentsReadAsComNumberAndDevice) {
  EXPECT_EQ(ReadPortAssignment("COM3=/dev/ttyUSB0")->number, 3);
  EXPECT_EQ(ReadPortAssignment("COM12=/dev/ttyUSB0")->device, "/dev/ttyUSB0");
  EXPECT_EQ(ReadPortAssignment("COM1=")->device, "");
  for (const char* bad : {"COM0=x", "COM=x", "com1=x", "COM1", "COM256=x", "COM01=x", "COMx=a"}) {
    EXPECT_FALSE(ReadPortAssignment(bad)) << bad;
  }
}

TEST(PortCommands, ALinkIsMadeForASerialDeviceOnlyAndRemovedOnRequest) {
  testing::ScopedDataRoot root;
  testing::PtyPair device;
  const fs::path link = root.path() / "ports" / "COM3";
  ASSERT_EQ(AssignPort({3, device.slave_path().string()}), 0);
  EXPECT_EQ(fs::read_symlink(link), device.slave_path());
  // A refusal leaves the link that was there.
  EXPECT_EQ(AssignPort({3, "/dev/null"}), 1);
  EXPECT_EQ(fs::read_symlink(link), device.slave_path());
  EXPECT_EQ(AssignPort({4, (root.path() / "nothing").string()}), 1);
  EXPECT_FALSE(fs::exists(fs::symlink_status(root.path() / "ports" / "COM4")));
  EXPECT_EQ(AssignPort({3, ""}), 0);
  EXPECT_FALSE(fs::exists(fs::symlink_status(link)));
  // On a card that holds no links: a link file, removed the same way.
  FileFaults fat;
  fat.symlink_error = EPERM;
  InjectFileFaults(&fat);
  ASSERT_EQ(AssignPort({3, device.slave_path().string()}), 0);
  InjectFileFaults(nullptr);
  EXPECT_EQ(ReadPortLink(link).kind, PortLinkKind::kFile);
  EXPECT_EQ(DevicePathForPort("COM3:"), device.slave_path());
  EXPECT_EQ(AssignPort({3, ""}), 0);
  EXPECT_FALSE(fs::exists(fs::symlink_status(link)));
}

}  // namespace
}  // namespace tq
