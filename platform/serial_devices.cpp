#include "platform/serial_devices.h"

#include <fcntl.h>
#include <grp.h>
#include <linux/serial.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fstream>
#include <set>

namespace tq {
namespace {

namespace fs = std::filesystem;

std::string ReadLine(const fs::path& file) {
  std::ifstream in(file);
  std::string line;
  std::getline(in, line);
  return line;
}

std::vector<fs::path> Sorted(const fs::path& folder, std::string_view prefix = "") {
  std::vector<fs::path> found;
  std::error_code ec;
  for (const fs::directory_entry& e : fs::directory_iterator(folder, ec)) {
    if (e.path().filename().string().starts_with(prefix)) found.push_back(e.path());
  }
  std::sort(found.begin(), found.end());
  return found;
}

// The USB device above a tty in sysfs: the first folder upwards with an
// idVendor file.
void ReadUsbAttributes(const fs::path& sys, const std::string& tty, SerialDevice* device) {
  std::error_code ec;
  fs::path at = fs::canonical(sys / "class" / "tty" / tty / "device", ec);
  for (int up = 0; !ec && up < 6 && !at.empty() && at != at.root_path(); ++up, at = at.parent_path()) {
    if (!fs::exists(at / "idVendor")) continue;
    device->vendor = ReadLine(at / "idVendor") + ":" + ReadLine(at / "idProduct");
    for (const char* name : {"manufacturer", "product"}) {
      std::string text = ReadLine(at / name);
      if (!text.empty()) device->vendor += " " + text;
    }
    device->serial = ReadLine(at / "serial");
    return;
  }
}

// A ttyS port is listed only when a UART answers for it: the kernel creates
// all of them whether or not hardware is there.
bool HasUart(const fs::path& device) {
  int fd = ::open(device.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return false;
  serial_struct info{};
  bool uart = ::ioctl(fd, TIOCGSERIAL, &info) == 0 && info.type != PORT_UNKNOWN;
  ::close(fd);
  return uart;
}

}  // namespace

std::vector<SerialDevice> ListSerialDevices(const fs::path& dev, const fs::path& sys) {
  std::vector<SerialDevice> devices;
  std::set<fs::path> named;
  std::error_code ec;
  for (const fs::path& link : Sorted(dev / "serial" / "by-id")) {
    SerialDevice d;
    d.path = link;
    d.target = fs::weakly_canonical(link, ec);
    named.insert(d.target);
    ReadUsbAttributes(sys, d.target.filename().string(), &d);
    devices.push_back(d);
  }
  for (const char* prefix : {"ttyUSB", "ttyACM"}) {
    for (const fs::path& path : Sorted(dev, prefix)) {
      if (named.contains(path)) continue;
      SerialDevice d;
      d.path = path;
      ReadUsbAttributes(sys, path.filename().string(), &d);
      devices.push_back(d);
    }
  }
  for (const fs::path& path : Sorted(dev, "ttyS")) {
    if (HasUart(path)) devices.push_back(SerialDevice{path, {}, {}, {}});
  }
  return devices;
}

DeviceAccess CheckDeviceAccess(const fs::path& device) {
  DeviceAccess access;
  struct stat st {};
  if (::stat(device.c_str(), &st) != 0) return access;
  access.exists = true;
  access.openable = ::access(device.c_str(), R_OK | W_OK) == 0;
  if (const group* g = ::getgrgid(st.st_gid)) access.group = g->gr_name;
  access.in_group = st.st_gid == ::getegid();
  if (!access.in_group) {
    std::vector<gid_t> groups(static_cast<size_t>(std::max(::getgroups(0, nullptr), 0)));
    int n = ::getgroups(static_cast<int>(groups.size()), groups.data());
    access.in_group = n > 0 && std::find(groups.begin(), groups.begin() + n, st.st_gid) != groups.begin() + n;
  }
  return access;
}

bool IsSerialDevice(const fs::path& device, std::string* why) {
  auto refuse = [why](std::string text) {
    if (why != nullptr) *why = std::move(text);
    return false;
  };
  struct stat st {};
  if (::stat(device.c_str(), &st) != 0) return refuse(std::strerror(errno));
  if (!S_ISCHR(st.st_mode)) return refuse("it is not a device");
  int fd = ::open(device.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) {
    // Not ours to open (yet): a tty the kernel lists counts, anything else
    // cannot be told.
    std::error_code ec;
    fs::path resolved = fs::weakly_canonical(device, ec);
    if (errno == EACCES && fs::exists("/sys/class/tty" / resolved.filename())) return true;
    return refuse(std::strerror(errno));
  }
  termios t{};
  bool tty = ::tcgetattr(fd, &t) == 0;
  ::close(fd);
  return tty ? true : refuse("it is not a serial port");
}

fs::path StableNameFor(const fs::path& device, const fs::path& dev) {
  std::error_code ec;
  fs::path resolved = fs::weakly_canonical(device, ec);
  for (const fs::path& link : Sorted(dev / "serial" / "by-id")) {
    if (fs::weakly_canonical(link, ec) == resolved) return link;
  }
  return {};
}

}  // namespace tq
