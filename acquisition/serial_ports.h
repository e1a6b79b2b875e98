// The logger's serial ports: which device each one is, its line settings, the
// checks made before a logging run opens any, the messages for ports that
// cannot be opened, and the order in which a run closes them.
#pragma once

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <thread>

#include "platform/serial.h"
#include "settings/settings.h"

namespace tq {

// An open port and the thread reading it. An empty `port` is the closed
// (invalid) handle; a reader stops when its port is closed.
struct PortHandle {
  std::unique_ptr<Port> port;
  std::thread reader;
};

struct SerialPorts {
  PortHandle instrument;
  PortHandle gps;
  PortHandle marker;
};

// The process-wide handles, used by the window thread only; readers get
// their port when they start.
extern SerialPorts Ports;

// A message box the window code shows: text and caption, and the reason a
// port would not open (its device and what the system said), shown on a
// second line and written to standard error.
struct PortMessage {
  std::string text;
  std::string caption;
  std::string reason = {};  // empty when there is nothing to add
  bool operator==(const PortMessage&) const = default;
};

// --- Names --------------------------------------------------------------

// "COM%d:" for a 0-based port list index (instrument and GPS ports).
std::string PortNameForIndex(int32_t index);

// The COM number of a marker list position: 1..5 as they stand, 6..11 one
// more (the list skips COM6); 0 for "Disabled" and anything out of range.
int32_t MarkerComNumber(int32_t list_position);

// "COM%d:" of the marker list position; empty when disabled.
std::string MarkerPortName(int32_t list_position);

// Kind 7 with a marker on the instrument port's own COM number.
bool MarkerSharesInstrumentPort(const SettingsStore& s, int32_t kind);

// Kind 7 with a marker on a COM number of its own.
bool NeedsSeparateMarkerPort(const SettingsStore& s, int32_t kind);

// --- Line settings and timeouts -------------------------------------------

PortTimeouts InstrumentPortTimeouts();  // also the marker port's
PortTimeouts GpsPortTimeouts();
LineSettings InstrumentLineSettings(int32_t kind);
LineSettings MarkerLineSettings(int32_t kind);
// From GpsBaud, GpsDataBits, GpsParity and GpsStopBits; an index outside its
// list gives that setting's default (9600 baud, 8 data bits, no parity, one
// stop bit) rather than an undefined line.
LineSettings GpsLineSettings(const SettingsStore& s);

// --- Checks and messages --------------------------------------------------

// "Same Port Assigned" when the GPS port's name resolves to the device of the
// instrument's or the marker's; nothing when the run may open its ports.
std::optional<PortMessage> CheckPortAssignments(const SettingsStore& s, int32_t kind);

// The boxes of a port that would not open, with ExplainPortError(error).
PortMessage InstrumentOpenFailure(int32_t kind, std::string_view error = {});  // "Cannot open TQ68MK2 port"
PortMessage GpsOpenFailure(std::string_view error = {});                     // "Cannot open GPS port"
PortMessage MarkerOpenFailure(std::string_view error = {});  // "Cannot open External Marker port"
PortMessage InstrumentOffMessage();  // frame length probe found nothing

// What the operator can do about an open error ("DEVICE: system text"):
// a permission refused names the group `owner_group` to join, a missing
// device points to tqlog --ports. The error as it is otherwise.
std::string ExplainPortError(std::string_view error, std::string_view owner_group);

// --- Opening --------------------------------------------------------------

using PortOpener =
    std::function<std::unique_ptr<SerialPort>(const std::filesystem::path&, std::string*)>;

// Opens and configures the instrument port; nullptr (with *error) on failure,
// including a port that refuses its line settings.
std::unique_ptr<SerialPort> OpenInstrumentPort(const SettingsStore& s, int32_t kind,
                                               std::string* error = nullptr);

// Opens the GPS port with up to ten attempts in a row through `open`, then
// configures it; nullptr on failure.
std::unique_ptr<SerialPort> OpenGpsPort(const SettingsStore& s, std::string* error = nullptr,
                                        const PortOpener& open = &SerialPort::Open);

// Opens the separate marker port; nullptr when disabled or on failure.
std::unique_ptr<SerialPort> OpenMarkerPort(const SettingsStore& s, int32_t kind,
                                           std::string* error = nullptr);

// The start of a logging run up to its instrument port: checks the port
// assignments, then opens the instrument port into `ports.instrument`.
// Returns the message to show when the run must not start; nothing is open
// then.
std::optional<PortMessage> OpenInstrumentPortForRun(SerialPorts& ports, const SettingsStore& s,
                                                    int32_t kind);

// --- Closing --------------------------------------------------------------

inline constexpr std::chrono::milliseconds kGpsLeaveWait{5000};

// Ends a logging run's ports in order: the GPS port, waiting at most
// `gps_wait` for `gps_reader_left` to report that its reader ended; the
// marker port; then `stop_timer` (may be empty); then the instrument port.
// Each port is closed before its reader is joined and its handle emptied.
// Returns false when the GPS reader did not report in time; its thread and
// port are then let go and freed once that thread ends, never joined here.
bool CloseRunPorts(SerialPorts& ports, const std::function<bool()>& gps_reader_left,
                   const std::function<void()>& stop_timer,
                   std::chrono::milliseconds gps_wait = kGpsLeaveWait);

}  // namespace tq
