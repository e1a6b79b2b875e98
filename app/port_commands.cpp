#include "app/port_commands.h"

#include <cstdio>
#include <system_error>

#include "platform/files.h"
#include "platform/serial.h"
#include "platform/serial_devices.h"

namespace tq {
namespace {

namespace fs = std::filesystem;

std::string AccessText(const fs::path& device) {
  DeviceAccess access = CheckDeviceAccess(device);
  if (!access.exists) return "missing";
  if (access.openable) return "present, can be opened";
  std::string text = "present, permission denied";
  if (!access.group.empty() && !access.in_group) text += " (not in group " + access.group + ")";
  return text;
}

}  // namespace

std::optional<PortAssignment> ReadPortAssignment(std::string_view text) {
  size_t equals = text.find('=');
  if (equals == std::string_view::npos) return std::nullopt;
  std::optional<int> number = PortNumber(text.substr(0, equals));
  if (!number) return std::nullopt;
  return PortAssignment{*number, std::string(text.substr(equals + 1))};
}

int ShowPorts() {
  std::printf("Ports (data root %s):\n", DataRoot().c_str());
  for (int n = 1; n <= kListedPorts; ++n) {
    const std::string name = "COM" + std::to_string(n);
    const fs::path device = DevicePathForPort(name + ":");
    const PortLink link = ReadPortLink(PortLinkPath(n));
    const bool linked = link.kind == PortLinkKind::kSymbolicLink || link.kind == PortLinkKind::kFile;
    std::printf("  %-5s %s %s: %s%s\n", name.c_str(), linked ? "->" : "  ",
                (linked ? link.device : device).c_str(), AccessText(device).c_str(),
                link.kind == PortLinkKind::kFile ? " (link file)" : "");
  }
  std::printf("Serial devices:\n");
  std::vector<SerialDevice> devices = ListSerialDevices();
  if (devices.empty()) std::printf("  none found\n");
  for (const SerialDevice& d : devices) {
    std::printf("  %s", d.path.c_str());
    if (!d.target.empty()) std::printf(" -> %s", d.target.c_str());
    if (!d.vendor.empty()) std::printf("  USB %s", d.vendor.c_str());
    if (!d.serial.empty()) std::printf("  serial %s", d.serial.c_str());
    std::printf("  (%s)\n", AccessText(d.path).c_str());
  }
  std::printf("Assign one with: tqlog --port COM1=DEVICE   (remove with: tqlog --port COM1=)\n");
  return 0;
}

int AssignPort(const PortAssignment& assignment) {
  const fs::path link = PortLinkPath(assignment.number);
  const std::string name = "COM" + std::to_string(assignment.number);
  std::error_code ec;
  if (assignment.device.empty()) {
    const PortLinkKind kind = ReadPortLink(link).kind;
    if (kind != PortLinkKind::kSymbolicLink && kind != PortLinkKind::kFile) {
      std::printf("%s had no link; it opens %s\n", name.c_str(), DevicePathForPort(name + ":").c_str());
      return 0;
    }
    fs::remove(link, ec);
    if (ec) {
      std::fprintf(stderr, "tqlog: %s: %s\n", link.c_str(), ec.message().c_str());
      return 1;
    }
    std::printf("%s: link removed; it opens %s\n", name.c_str(), DevicePathForPort(name + ":").c_str());
    return 0;
  }
  fs::path device = assignment.device;
  std::string why;
  if (!IsSerialDevice(device, &why)) {
    std::fprintf(stderr, "tqlog: %s cannot be %s: %s; see tqlog --ports\n", device.c_str(), name.c_str(),
                 why.c_str());
    return 1;
  }
  // ttyUSB and ttyACM numbers follow the order adapters were plugged in;
  // the by-id name stays with the adapter.
  const std::string leaf = fs::weakly_canonical(device, ec).filename().string();
  if (leaf.starts_with("ttyUSB") || leaf.starts_with("ttyACM")) {
    fs::path stable = StableNameFor(device);
    if (!stable.empty() && stable != device) {
      std::printf("%s is linked by its stable name %s, since ttyUSB/ttyACM numbers change when adapters are replugged\n",
                  device.c_str(), stable.c_str());
      device = stable;
    }
  }
  std::string error;
  bool as_file = false;
  if (!WritePortLink(link, fs::absolute(device), &error, &as_file)) {
    std::fprintf(stderr, "tqlog: %s\n", error.c_str());
    return 1;
  }
  std::printf("%s -> %s%s\n", name.c_str(), fs::absolute(device).c_str(),
              as_file ? " (a link file: this file system holds no symbolic links)" : "");
  return 0;
}

}  // namespace tq
