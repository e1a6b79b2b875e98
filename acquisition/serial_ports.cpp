#include "acquisition/serial_ports.h"

#include <array>
#include <cerrno>
#include <cstring>

#include "platform/serial_devices.h"

namespace tq {

SerialPorts Ports;

namespace {

constexpr char kSerialPortCaption[] = "Serial Port";

constexpr std::array<uint32_t, 6> kGpsBauds = {4800, 9600, 19200, 38400, 57600, 115200};

// The marker list has no COM6, so positions from 6 on are one short.
constexpr int32_t kMarkerListPositions = 11;
constexpr int32_t kMarkerSkippedCom = 6;

// Two port names clash when they resolve to one device (also through two
// links to it). A name that resolves to none clashes with nothing: it fails
// to open on its own.
bool SameDevice(const std::string& a, const std::string& b) {
  const std::filesystem::path one = DevicePathForPort(a);
  const std::filesystem::path two = DevicePathForPort(b);
  return !one.empty() && !two.empty() && IsSameDevice(one, two);
}

bool MarkerInUse(const SettingsStore& s, int32_t kind) {
  return kind == kKindTq68Mk2 && MarkerComNumber(s.ExtMarkerPort) != 0;
}

// The group comes from the device the error names, when it still exists.
std::string ExplainOpenError(std::string_view error) {
  if (error.empty()) return {};
  const size_t colon = error.rfind(": ");
  std::string group;
  if (colon != std::string_view::npos) group = CheckDeviceAccess(std::string(error.substr(0, colon))).group;
  return ExplainPortError(error, group);
}

std::unique_ptr<SerialPort> OpenConfigured(const std::string& name, const LineSettings& line,
                                           const PortTimeouts& timeouts, int attempts,
                                           const PortOpener& open, std::string* error) {
  std::filesystem::path device = DevicePathForPort(name);
  if (device.empty()) {
    if (error != nullptr) *error = "no such port " + name;
    return nullptr;
  }
  std::unique_ptr<SerialPort> port;
  // Failed attempts follow one another at once; only the last one's reason
  // is kept.
  for (int i = 0; i < attempts && port == nullptr; ++i) port = open(device, error);
  if (port == nullptr) return nullptr;
  if (!port->Configure(line, timeouts, error)) return nullptr;
  return port;
}

}  // namespace

std::string PortNameForIndex(int32_t index) { return "COM" + std::to_string(index + 1) + ":"; }

int32_t MarkerComNumber(int32_t list_position) {
  if (list_position <= 0 || list_position > kMarkerListPositions) return 0;
  return list_position < kMarkerSkippedCom ? list_position : list_position + 1;
}

std::string MarkerPortName(int32_t list_position) {
  int32_t com = MarkerComNumber(list_position);
  return com == 0 ? std::string() : "COM" + std::to_string(com) + ":";
}

bool MarkerSharesInstrumentPort(const SettingsStore& s, int32_t kind) {
  return MarkerInUse(s, kind) && MarkerComNumber(s.ExtMarkerPort) == s.InstrumentPort + 1;
}

bool NeedsSeparateMarkerPort(const SettingsStore& s, int32_t kind) {
  return MarkerInUse(s, kind) && MarkerComNumber(s.ExtMarkerPort) != s.InstrumentPort + 1;
}

PortTimeouts InstrumentPortTimeouts() { return PortTimeouts{0xFFFF, 1000, 1000, 0, 0}; }

PortTimeouts GpsPortTimeouts() { return PortTimeouts{100, 100, 100, 100, 100}; }

LineSettings InstrumentLineSettings(int32_t kind) {
  LineSettings line;
  line.baud = kind == kKindTq68Mk2 ? 19200 : 9600;
  line.data_bits = 8;
  line.parity = Parity::kNone;
  line.stop_bits = 1;
  line.xon_xoff = false;
  line.dsr_out_flow = false;
  line.dtr = ControlLine::kOn;
  line.rts = ControlLine::kOff;
  return line;
}

LineSettings MarkerLineSettings(int32_t kind) {
  LineSettings line = InstrumentLineSettings(kind);
  line.dsr_out_flow = true;
  return line;
}

LineSettings GpsLineSettings(const SettingsStore& s) {
  LineSettings line;
  bool baud_known = s.GpsBaud >= 0 && s.GpsBaud < static_cast<int32_t>(kGpsBauds.size());
  line.baud = baud_known ? kGpsBauds[static_cast<size_t>(s.GpsBaud)] : 9600;
  line.data_bits = s.GpsDataBits == 0 ? 7 : 8;
  line.parity = s.GpsParity == 1 ? Parity::kEven : (s.GpsParity == 2 ? Parity::kOdd : Parity::kNone);
  line.stop_bits = s.GpsStopBits == 1 ? 2 : 1;
  line.xon_xoff = true;
  line.dtr = ControlLine::kUnchanged;
  line.rts = ControlLine::kUnchanged;
  return line;
}

std::optional<PortMessage> CheckPortAssignments(const SettingsStore& s, int32_t kind) {
  if (s.GpsInput != 1) return std::nullopt;
  const std::string gps = PortNameForIndex(s.GpsPort);
  const bool marker_on_gps =
      MarkerInUse(s, kind) && SameDevice(MarkerPortName(s.ExtMarkerPort), gps);
  if (marker_on_gps || SameDevice(PortNameForIndex(s.InstrumentPort), gps)) {
    return PortMessage{"Same Port Assigned", kSerialPortCaption};
  }
  return std::nullopt;
}

std::string ExplainPortError(std::string_view error, std::string_view owner_group) {
  std::string text(error);
  if (error.ends_with(std::strerror(EACCES)) && !owner_group.empty()) {
    text += "; add yourself to the " + std::string(owner_group) + " group, then log in again";
  } else if (error.ends_with(std::strerror(ENOENT))) {
    text += "; is it plugged in? tqlog --ports lists the serial devices";
  }
  return text;
}

PortMessage InstrumentOpenFailure(int32_t kind, std::string_view error) {
  return PortMessage{std::string("Cannot open ") + KindInfoFor(kind).port_name + " port",
                     kSerialPortCaption, ExplainOpenError(error)};
}

PortMessage GpsOpenFailure(std::string_view error) {
  return PortMessage{"Cannot open GPS port", kSerialPortCaption, ExplainOpenError(error)};
}

PortMessage MarkerOpenFailure(std::string_view error) {
  return PortMessage{"Cannot open External Marker port", kSerialPortCaption, ExplainOpenError(error)};
}

PortMessage InstrumentOffMessage() {
  return PortMessage{"Instrument OFF or Disconnected", "Connection"};
}

std::unique_ptr<SerialPort> OpenInstrumentPort(const SettingsStore& s, int32_t kind,
                                               std::string* error) {
  return OpenConfigured(PortNameForIndex(s.InstrumentPort), InstrumentLineSettings(kind),
                        InstrumentPortTimeouts(), 1, &SerialPort::Open, error);
}

std::unique_ptr<SerialPort> OpenGpsPort(const SettingsStore& s, std::string* error,
                                        const PortOpener& open) {
  constexpr int kGpsOpenAttempts = 10;
  return OpenConfigured(PortNameForIndex(s.GpsPort), GpsLineSettings(s), GpsPortTimeouts(),
                        kGpsOpenAttempts, open, error);
}

std::unique_ptr<SerialPort> OpenMarkerPort(const SettingsStore& s, int32_t kind,
                                           std::string* error) {
  std::string name = MarkerPortName(s.ExtMarkerPort);
  if (name.empty()) {
    if (error != nullptr) *error = "external marker disabled";
    return nullptr;
  }
  return OpenConfigured(name, MarkerLineSettings(kind), InstrumentPortTimeouts(), 1,
                        &SerialPort::Open, error);
}

std::optional<PortMessage> OpenInstrumentPortForRun(SerialPorts& ports, const SettingsStore& s,
                                                    int32_t kind) {
  if (std::optional<PortMessage> conflict = CheckPortAssignments(s, kind)) return conflict;
  std::string error;
  std::unique_ptr<SerialPort> port = OpenInstrumentPort(s, kind, &error);
  if (port == nullptr) return InstrumentOpenFailure(kind, error);
  ports.instrument.port = std::move(port);
  return std::nullopt;
}

namespace {

// Closes the port first so a blocked reader returns, then waits for the
// reader and lets the port go.
void ClosePortAndJoin(PortHandle& handle) {
  if (handle.port) handle.port->Close();
  if (handle.reader.joinable()) handle.reader.join();
  handle.port.reset();
}

bool WaitForGpsReader(const std::function<bool()>& reader_left, std::chrono::milliseconds limit) {
  using SteadyClock = std::chrono::steady_clock;
  constexpr std::chrono::milliseconds kPoll{10};
  auto deadline = SteadyClock::now() + limit;
  for (;;) {
    if (!reader_left || reader_left()) return true;
    if (SteadyClock::now() >= deadline) return false;
    std::this_thread::sleep_for(kPoll);
  }
}

}  // namespace

bool CloseRunPorts(SerialPorts& ports, const std::function<bool()>& gps_reader_left,
                   const std::function<void()>& stop_timer, std::chrono::milliseconds gps_wait) {
  bool gps_left = true;
  if (ports.gps.port) ports.gps.port->Close();
  if (ports.gps.reader.joinable()) gps_left = WaitForGpsReader(gps_reader_left, gps_wait);
  if (gps_left) {
    ClosePortAndJoin(ports.gps);
  } else {
    // Joining a reader that does not end would hang the window; freeing its
    // port under it would be worse. Whoever joins it frees the port after.
    std::thread([reader = std::move(ports.gps.reader),
                 port = std::move(ports.gps.port)]() mutable {
      reader.join();
      port.reset();
    })
        .detach();
  }
  ClosePortAndJoin(ports.marker);
  if (stop_timer) stop_timer();
  ClosePortAndJoin(ports.instrument);
  return gps_left;
}

}  // namespace tq
