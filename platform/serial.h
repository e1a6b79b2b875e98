// Serial ports over termios, and the port interface the readers use.
//
// "COMn:" maps to <root>/ports/COMn when that exists (usually a symlink to a
// device or to a simulator's pseudo-terminal; on a file system without links
// a small file naming the device), else to /dev/ttyS<n-1>.
#pragma once

#include <pthread.h>

#include <atomic>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <mutex>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace tq {

// Timeouts in the system's terms: a read (write) of n bytes gives up after
// multiplier * n + constant milliseconds; both 0 means no limit. The interval
// timeout is kept for completeness; one-byte reads never meet it.
struct PortTimeouts {
  uint32_t read_interval_ms = 0;
  uint32_t read_multiplier_ms = 0;
  uint32_t read_constant_ms = 0;
  uint32_t write_multiplier_ms = 0;
  uint32_t write_constant_ms = 0;
};

enum class Parity { kNone, kEven, kOdd };

// A modem control output: driven on, driven off, or left as the port has it
// (a receiver powered from one of them must not lose its supply).
enum class ControlLine { kUnchanged, kOn, kOff };

// Line settings of one port. Settings the system leaves "unchanged" keep the
// driver's values; here that means the raw mode every port gets.
struct LineSettings {
  uint32_t baud = 9600;
  int data_bits = 8;  // 7 or 8
  Parity parity = Parity::kNone;
  int stop_bits = 1;  // 1 or 2
  bool xon_xoff = false;     // software flow control in both directions
  bool dsr_out_flow = false; // not available on Linux; recorded only
  ControlLine dtr = ControlLine::kOn;
  ControlLine rts = ControlLine::kOff;
};

// Modem-status bits, as the system numbers them.
enum ModemStatusBits : uint32_t {
  kModemCts = 0x10,
  kModemDsr = 0x20,
  kModemRing = 0x40,
  kModemDcd = 0x80,
};

// Events a port can wait for.
enum PortEvents : uint32_t { kEventRxChar = 0x1, kEventCts = 0x8 };

enum class ReadResult { kByte, kTimeout, kClosed };

// What the readers need of a port. Every call is safe while another thread
// calls Close(), which ends any blocked call at once.
class Port {
 public:
  virtual ~Port() = default;
  // False once Close() was called.
  virtual bool IsOpen() const = 0;
  // Reads one byte, waiting at most the read timeout.
  virtual ReadResult ReadByte(uint8_t* byte) = 0;
  // Reads what has arrived, up to bytes.size(), waiting at most the read
  // timeout for the first byte; *count is how many (0 unless kByte). This
  // one only reads a byte: ports that can do better say so.
  virtual ReadResult ReadSome(std::span<uint8_t> bytes, size_t* count) {
    *count = 0;
    if (bytes.empty()) return ReadResult::kTimeout;
    ReadResult result = ReadByte(bytes.data());
    if (result == ReadResult::kByte) *count = 1;
    return result;
  }
  // Writes all bytes; false on failure or when closed.
  virtual bool Write(std::span<const uint8_t> bytes) = 0;
  // Discards unsent output and unread input.
  virtual void PurgeTransmit() = 0;
  virtual void PurgeReceive() = 0;
  // Waits until one of `events` happens or the port closes; returns the event
  // that happened, 0 when the port closed. A CTS change counts even when the
  // line is back where it was (a short pulse).
  virtual uint32_t WaitEvent(uint32_t events) = 0;
  // The modem-status word; 0 when the device has no modem lines.
  virtual uint32_t ModemStatus() = 0;
  // Closes the port and releases any blocked call. Idempotent.
  virtual void Close() = 0;
};

// A real serial device. When it hangs up (a USB adapter pulled, a
// pseudo-terminal's other side gone) reads wait as on a silent line and try
// the same path again now and then, so a device that comes back under its
// name is read on. A CTS wait on a device with modem lines sleeps in the
// driver; Close() ends it with the signal SIGRTMIN + 4, whose handler (which
// does nothing) the first such wait installs.
class SerialPort : public Port {
 public:
  ~SerialPort() override;

  // Opens `device` exclusively (no other opener, not even this process).
  // Returns nullptr and sets *error on failure.
  static std::unique_ptr<SerialPort> Open(const std::filesystem::path& device,
                                          std::string* error = nullptr);

  // Applies line settings and timeouts; false with *error on failure.
  bool Configure(const LineSettings& line, const PortTimeouts& timeouts,
                 std::string* error = nullptr);

  bool IsOpen() const override;
  ReadResult ReadByte(uint8_t* byte) override;
  ReadResult ReadSome(std::span<uint8_t> bytes, size_t* count) override;
  bool Write(std::span<const uint8_t> bytes) override;
  void PurgeTransmit() override;
  void PurgeReceive() override;
  uint32_t WaitEvent(uint32_t events) override;
  uint32_t ModemStatus() override;
  void Close() override;

 private:
  SerialPort(int fd, int wake_fd, std::filesystem::path device)
      : fd_(fd), wake_fd_(wake_fd), device_(std::move(device)) {}
  // Keeps the descriptor alive across one operation; false when closed.
  bool Enter();
  void Leave();
  // Closes the descriptor; called with mutex_ held once no call uses it.
  void ReleaseDescriptor();
  // Waits on the wake descriptor only; true when the port was closed.
  bool SleepUnlessClosed(int ms);
  enum class CtsWait { kChanged, kClosed, kUnsupported };
  // Sleeps in the driver until CTS changes (TIOCMIWAIT); kUnsupported where
  // the device cannot (a pseudo-terminal), which leaves polling to the caller.
  CtsWait WaitForCtsChange();
  // After a hang-up: waits up to `ms` (-1: until closed) for the device to
  // come back under its path, trying it every kReopenPollMs. True when it
  // did (fd_ then reads the new device), false on timeout or close.
  bool WaitForReturn(int ms);
  // Opens the path again with the line settings of the last Configure and
  // puts it in place of fd_ (same number); false while it is not there.
  bool Reopen();

  std::mutex mutex_;
  int fd_;
  int wake_fd_;
  int users_ = 0;
  std::atomic<bool> closed_{false};
  PortTimeouts timeouts_;
  std::filesystem::path device_;
  std::optional<LineSettings> line_;  // of the last Configure (mutex_)
  // The thread inside TIOCMIWAIT, which only a signal can wake (mutex_).
  bool cts_waiting_ = false;
  pthread_t cts_waiter_{};
  // The driver's CTS change count when the last wait ended; a change counted
  // since then (while the caller read the status) ends the next wait at once.
  std::optional<int> cts_changes_seen_;
};

// True when both paths reach one device (also through different links).
bool IsSameDevice(const std::filesystem::path& a, const std::filesystem::path& b);

// The number of a port name "COM1" to "COM255" (no colon, no leading zero);
// nothing for any other name.
std::optional<int> PortNumber(std::string_view name);

// <root>/ports/COMn: the link that assigns port n a device.
std::filesystem::path PortLinkPath(int number);

// What <root>/ports/COMn is. A memory card's FAT or exFAT holds no symbolic
// links, so there a regular file whose first line is the device's absolute
// path stands in for one.
enum class PortLinkKind {
  kNone,          // nothing has the name
  kSymbolicLink,  // device: the link's target
  kFile,          // device: the file's first line
  kOther,         // a folder, or a file that names no device: not ours
};
struct PortLink {
  PortLinkKind kind = PortLinkKind::kNone;
  std::filesystem::path device;
};
PortLink ReadPortLink(const std::filesystem::path& link);

// Points `link` at `device`, replacing a link or link file in one rename so a
// reader never finds the name missing: a symbolic link where the file system
// allows, else a link file. Refuses to replace anything else. False, with
// *error saying why, on failure; *as_file tells which was made.
bool WritePortLink(const std::filesystem::path& link, const std::filesystem::path& device,
                   std::string* error, bool* as_file = nullptr);

// The device a system port name ("COM3:", COM1 to COM255) maps to, as
// described above; an empty path for any other name ("COM0:", "COM-4:").
std::filesystem::path DevicePathForPort(std::string_view port_name);

}  // namespace tq
