// The serial devices of this machine and what a port name would open: for
// the command line that shows and assigns ports, with no display needed.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace tq {

// A serial device found on the machine.
struct SerialDevice {
  std::filesystem::path path;    // /dev/serial/by-id/usb-..., /dev/ttyUSB0, /dev/ttyS0
  std::filesystem::path target;  // what a by-id link points at; empty otherwise
  std::string vendor;            // USB idVendor:idProduct and names, when on USB
  std::string serial;            // USB serial number, when it has one
};

// /dev/serial/by-id/* with their targets, then the ttyUSB*/ttyACM* devices
// no by-id link names, then the ttyS* ports with a UART behind them
// (TIOCGSERIAL reports a type). `dev` is the device folder ("/dev"), `sys`
// the sysfs root ("/sys"), so a test can lay out its own.
std::vector<SerialDevice> ListSerialDevices(const std::filesystem::path& dev = "/dev",
                                            const std::filesystem::path& sys = "/sys");

// What opening a device would meet.
struct DeviceAccess {
  bool exists = false;
  bool openable = false;  // read and write allowed to this user
  std::string group;      // the group that owns it ("dialout")
  bool in_group = false;  // this user belongs to that group
};
DeviceAccess CheckDeviceAccess(const std::filesystem::path& device);

// True when `device` is a terminal device (a serial port, a USB adapter or a
// pseudo-terminal); *why says what it is instead when not.
bool IsSerialDevice(const std::filesystem::path& device, std::string* why);

// The /dev/serial/by-id link that names `device` (by its resolved path);
// empty when none does.
std::filesystem::path StableNameFor(const std::filesystem::path& device,
                                    const std::filesystem::path& dev = "/dev");

}  // namespace tq
