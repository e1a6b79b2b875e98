// The serial devices of a machine laid out in a folder of the test's own:
// by-id links, USB attributes in sysfs, and what counts as a serial port.
#include "platform/serial_devices.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "tests/support/pty_pair.h"
#include "tests/support/temp_dir.h"

namespace tq {
namespace {

namespace fs = std::filesystem;

TEST(SerialDevices, AdaptersAreListedByStableNameWithTheirUsbAttributes) {
  testing::TempDir root;
  const fs::path dev = root.path() / "dev", sys = root.path() / "sys";
  for (const char* tty : {"ttyUSB0", "ttyUSB1", "ttyACM0"}) testing::WriteFileBytes(dev / tty, "");
  // ttyUSB0 sits on a USB interface below its device, as sysfs lays it out.
  const fs::path usb = sys / "devices/pci0/usb1/1-2";
  testing::WriteFileBytes(usb / "idVendor", "0403\n");
  testing::WriteFileBytes(usb / "idProduct", "6001\n");
  testing::WriteFileBytes(usb / "product", "USB Serial\n");
  testing::WriteFileBytes(usb / "serial", "A12345\n");
  fs::create_directories(usb / "1-2:1.0/ttyUSB0");
  fs::create_directories(sys / "class/tty/ttyUSB0");
  fs::create_directory_symlink(usb / "1-2:1.0", sys / "class/tty/ttyUSB0/device");
  fs::create_directories(dev / "serial/by-id");
  fs::create_symlink("../../ttyUSB0", dev / "serial/by-id/usb-FTDI_USB_Serial_A12345-if00-port0");

  std::vector<SerialDevice> found = ListSerialDevices(dev, sys);
  ASSERT_EQ(found.size(), 3u);
  EXPECT_EQ(found[0].path.filename(), "usb-FTDI_USB_Serial_A12345-if00-port0");
  EXPECT_EQ(found[0].target, fs::canonical(dev / "ttyUSB0"));
  EXPECT_EQ(found[0].vendor, "0403:6001 USB Serial");
  EXPECT_EQ(found[0].serial, "A12345");
  // The others have no stable name; the one by-id names is not listed twice.
  EXPECT_EQ(found[1].path, dev / "ttyUSB1");
  EXPECT_EQ(found[2].path, dev / "ttyACM0");
  EXPECT_EQ(StableNameFor(dev / "ttyUSB0", dev), dev / "serial/by-id/usb-FTDI_USB_Serial_A12345-if00-port0");
  EXPECT_EQ(StableNameFor(dev / "ttyUSB1", dev), fs::path());
}

TEST(SerialDevices, OnlyTerminalDevicesCountAsSerialPorts) {
  testing::TempDir root;
  testing::WriteFileBytes(root.path() / "file", "x");
  testing::PtyPair pty;
  std::string why;
  EXPECT_TRUE(IsSerialDevice(pty.slave_path(), &why)) << why;
  EXPECT_FALSE(IsSerialDevice("/dev/null", &why));
  EXPECT_EQ(why, "it is not a serial port");
  EXPECT_FALSE(IsSerialDevice(root.path() / "file", &why));
  EXPECT_EQ(why, "it is not a device");
  EXPECT_FALSE(IsSerialDevice(root.path() / "none", &why));
  EXPECT_EQ(why, "No such file or directory");
  DeviceAccess access = CheckDeviceAccess(pty.slave_path());
  EXPECT_TRUE(access.exists);
  EXPECT_TRUE(access.openable);
  EXPECT_FALSE(CheckDeviceAccess(root.path() / "none").exists);
}

}  // namespace
}  // namespace tq
