// tqlog --ports and --port COMn=DEVICE: which device each port name opens,
// the serial devices present, and the links under <root>/ports that assign
// them. No display is needed.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace tq {

inline constexpr int kListedPorts = 12;  // COM1..COM12, as the setup dialogs offer

// "COM3=/dev/ttyUSB0" (or "COM3=" to remove the link): the port number and
// the device; nothing when the text is not of that form.
struct PortAssignment {
  int number = 0;
  std::string device;  // empty: remove the link
};
std::optional<PortAssignment> ReadPortAssignment(std::string_view text);

// Prints the ports and the devices to stdout; returns the exit status.
int ShowPorts();

// Makes, replaces or removes the link <root>/ports/COMn, saying what it did
// on stdout and why not on stderr; returns the exit status (0 done, 1 refused).
int AssignPort(const PortAssignment& assignment);

}  // namespace tq
