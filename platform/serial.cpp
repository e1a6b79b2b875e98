#include "platform/serial.h"

#include <fcntl.h>
#include <linux/serial.h>
#include <poll.h>
#include <signal.h>
#include <sys/eventfd.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <mutex>
#include <string>
#include <thread>

#include "platform/files.h"

namespace tq {
namespace {

using Clock = std::chrono::steady_clock;

// How often a hung-up device's path is tried again.
constexpr int kReopenPollMs = 250;

void SetError(std::string* error, const std::string& text) {
  if (error != nullptr) *error = text;
}

bool BaudConstant(uint32_t baud, speed_t* out) {
  switch (baud) {
    case 4800: *out = B4800; return true;
    case 9600: *out = B9600; return true;
    case 19200: *out = B19200; return true;
    case 38400: *out = B38400; return true;
    case 57600: *out = B57600; return true;
    case 115200: *out = B115200; return true;
    default: return false;
  }
}

// Modem lines: a pseudo-terminal has none, which is not an error.
void SetControlLine(int fd, int bit, ControlLine state) {
  if (state == ControlLine::kUnchanged) return;
  ::ioctl(fd, state == ControlLine::kOn ? TIOCMBIS : TIOCMBIC, &bit);
}

// The driver's count of CTS changes; nothing where the device keeps none.
std::optional<int> CtsChangeCount(int fd) {
  serial_icounter_struct counts{};
  if (::ioctl(fd, TIOCGICOUNT, &counts) != 0) return std::nullopt;
  return counts.cts;
}

// The signal that ends a TIOCMIWAIT for Close(). Its handler does nothing and
// is installed without SA_RESTART, so the ioctl returns with EINTR.
int CtsWakeSignal() {
  static const int number = [] {
    const int signal_number = SIGRTMIN + 4;
    struct sigaction action {};
    action.sa_handler = [](int) {};
    sigemptyset(&action.sa_mask);
    ::sigaction(signal_number, &action, nullptr);
    return signal_number;
  }();
  return number;
}

// Opens `device` for this process alone; -1 with *error on failure.
int OpenExclusive(const std::filesystem::path& device, std::string* error) {
  int fd = ::open(device.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) {
    SetError(error, device.string() + ": " + std::strerror(errno));
    return -1;
  }
  // Exclusive like the system's share mode 0: a second opener fails.
  if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
    SetError(error, device.string() + ": port in use");
    ::close(fd);
    return -1;
  }
  termios tio{};
  if (::tcgetattr(fd, &tio) != 0) {
    SetError(error, device.string() + ": not a serial port");
    ::close(fd);
    return -1;
  }
  ::ioctl(fd, TIOCEXCL);
  return fd;
}

bool ApplyLineSettings(int fd, const LineSettings& line, std::string* error) {
  termios tio{};
  speed_t speed = B9600;
  if (!BaudConstant(line.baud, &speed)) {
    SetError(error, "unsupported baud rate " + std::to_string(line.baud));
    return false;
  }
  bool ok = ::tcgetattr(fd, &tio) == 0;
  if (ok) {
    ::cfmakeraw(&tio);
    ::cfsetispeed(&tio, speed);
    ::cfsetospeed(&tio, speed);
    tio.c_cflag &= ~static_cast<tcflag_t>(CSIZE | PARENB | PARODD | CSTOPB | CRTSCTS);
    tio.c_cflag |= CLOCAL | CREAD | (line.data_bits == 7 ? CS7 : CS8);
    if (line.parity != Parity::kNone) tio.c_cflag |= PARENB;
    if (line.parity == Parity::kOdd) tio.c_cflag |= PARODD;
    if (line.stop_bits == 2) tio.c_cflag |= CSTOPB;
    tio.c_iflag &= ~static_cast<tcflag_t>(IXON | IXOFF | IXANY);
    if (line.xon_xoff) tio.c_iflag |= IXON | IXOFF;
    tio.c_cc[VMIN] = 0;
    tio.c_cc[VTIME] = 0;
    ok = ::tcsetattr(fd, TCSANOW, &tio) == 0;
  }
  if (!ok) {
    SetError(error, std::string("termios: ") + std::strerror(errno));
    return false;
  }
  SetControlLine(fd, TIOCM_DTR, line.dtr);
  SetControlLine(fd, TIOCM_RTS, line.rts);
  return true;
}

// Milliseconds left until `deadline`, or -1 for no deadline.
int Remaining(const Clock::time_point* deadline) {
  if (deadline == nullptr) return -1;
  auto left = std::chrono::duration_cast<std::chrono::milliseconds>(*deadline - Clock::now());
  return left.count() > 0 ? static_cast<int>(left.count()) : 0;
}

}  // namespace

std::optional<int> PortNumber(std::string_view name) {
  // Strict: a damaged setting ("COM0", "COM-4", "COM01") must not name some
  // other port.
  constexpr std::string_view kPrefix = "COM";
  constexpr int kHighestPort = 255;
  if (!name.starts_with(kPrefix)) return std::nullopt;
  std::string_view digits = name.substr(kPrefix.size());
  if (digits.empty() || digits.size() > 3 || digits.front() == '0') return std::nullopt;
  int number = 0;
  for (char c : digits) {
    if (c < '0' || c > '9') return std::nullopt;
    number = number * 10 + (c - '0');
  }
  if (number > kHighestPort) return std::nullopt;
  return number;
}

std::filesystem::path PortLinkPath(int number) { return DataRoot() / "ports" / ("COM" + std::to_string(number)); }

PortLink ReadPortLink(const std::filesystem::path& link) {
  namespace fs = std::filesystem;
  std::error_code ec;
  const fs::file_status status = fs::symlink_status(link, ec);
  if (!fs::exists(status)) return {};
  if (fs::is_symlink(status)) return {PortLinkKind::kSymbolicLink, fs::read_symlink(link, ec)};
  if (!fs::is_regular_file(status)) return {PortLinkKind::kOther, {}};
  // A device path is short; anything longer is some other file.
  constexpr size_t kLongestLinkFile = 4096;
  File file = File::Open(link, OpenMode::kOpenExisting, kRead);
  std::string text(kLongestLinkFile, '\0');
  const long got = file.Read(std::span(reinterpret_cast<uint8_t*>(text.data()), text.size()));
  text.resize(got > 0 ? static_cast<size_t>(got) : 0);
  text = text.substr(0, text.find('\n'));
  // Written on another system, the line may end in CR or blanks.
  while (!text.empty() && (text.back() == '\r' || text.back() == ' ' || text.back() == '\t')) {
    text.pop_back();
  }
  if (!text.starts_with('/')) return {PortLinkKind::kOther, {}};
  return {PortLinkKind::kFile, text};
}

bool WritePortLink(const std::filesystem::path& link, const std::filesystem::path& device,
                   std::string* error, bool* as_file) {
  namespace fs = std::filesystem;
  auto fail = [&](const std::string& why) {
    SetError(error, link.string() + ": " + why);
    return false;
  };
  if (ReadPortLink(link).kind == PortLinkKind::kOther) return fail("exists and is not a link; left alone");
  std::error_code ec;
  if (link.has_parent_path()) {
    fs::create_directories(link.parent_path(), ec);
    if (ec) return fail("cannot make its folder: " + ec.message());
  }
  fs::path temporary = link;
  temporary += ".new-" + std::to_string(::getpid());
  fs::remove(temporary, ec);
  const int link_error = MakeSymbolicLink(device, temporary);
  if (link_error == 0) {
    fs::rename(temporary, link, ec);
    if (!ec) {
      if (as_file != nullptr) *as_file = false;
      return true;
    }
    const std::string why = ec.message();  // before the clean-up overwrites it
    fs::remove(temporary, ec);
    return fail(why);
  }
  if (link_error != EPERM && link_error != ENOSYS && link_error != EOPNOTSUPP) {
    return fail(std::strerror(link_error));
  }
  if (!ReplaceFileAtomically(link, device.string() + "\n")) return fail(std::strerror(errno));
  if (as_file != nullptr) *as_file = true;
  return true;
}

std::filesystem::path DevicePathForPort(std::string_view port_name) {
  if (port_name.ends_with(':')) port_name.remove_suffix(1);
  std::optional<int> number = PortNumber(port_name);
  if (!number) return {};
  std::filesystem::path mapped = PortLinkPath(*number);
  const PortLink link = ReadPortLink(mapped);
  // A link is opened by its own name, so a device that comes back behind it
  // is found again; a link file can only say where the device was.
  if (link.kind == PortLinkKind::kFile) return link.device;
  if (link.kind != PortLinkKind::kNone) return mapped;
  return "/dev/ttyS" + std::to_string(*number - 1);
}

bool IsSameDevice(const std::filesystem::path& a, const std::filesystem::path& b) {
  if (a == b) return true;
  struct stat one {};
  struct stat two {};
  if (::stat(a.c_str(), &one) != 0 || ::stat(b.c_str(), &two) != 0) return false;
  if (S_ISCHR(one.st_mode) && S_ISCHR(two.st_mode)) return one.st_rdev == two.st_rdev;
  return one.st_dev == two.st_dev && one.st_ino == two.st_ino;
}

std::unique_ptr<SerialPort> SerialPort::Open(const std::filesystem::path& device,
                                             std::string* error) {
  int fd = OpenExclusive(device, error);
  if (fd < 0) return nullptr;
  int wake = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
  if (wake < 0) {
    SetError(error, std::string("eventfd: ") + std::strerror(errno));
    ::close(fd);
    return nullptr;
  }
  return std::unique_ptr<SerialPort>(new SerialPort(fd, wake, device));
}

SerialPort::~SerialPort() {
  Close();
  ::close(wake_fd_);
}

bool SerialPort::Configure(const LineSettings& line, const PortTimeouts& timeouts,
                           std::string* error) {
  if (!Enter()) {
    SetError(error, "port closed");
    return false;
  }
  if (!ApplyLineSettings(fd_, line, error)) {
    Leave();
    return false;
  }
  {
    std::lock_guard lock(mutex_);
    timeouts_ = timeouts;
    line_ = line;
  }
  Leave();
  return true;
}

bool SerialPort::Enter() {
  std::lock_guard lock(mutex_);
  if (closed_.load()) return false;
  ++users_;
  return true;
}

void SerialPort::Leave() {
  std::lock_guard lock(mutex_);
  if (--users_ == 0 && closed_.load()) ReleaseDescriptor();
}

void SerialPort::ReleaseDescriptor() {
  if (fd_ < 0) return;
  // The exclusive mark outlives this descriptor when another program keeps
  // the device open (a simulator does); clear it so the next run can open.
  ::ioctl(fd_, TIOCNXCL);
  ::close(fd_);
  fd_ = -1;
}

bool SerialPort::IsOpen() const { return !closed_.load(); }

bool SerialPort::SleepUnlessClosed(int ms) {
  pollfd p{wake_fd_, POLLIN, 0};
  int rc = ::poll(&p, 1, ms);
  return rc > 0 || closed_.load();
}

void SerialPort::Close() {
  {
    std::lock_guard lock(mutex_);
    if (closed_.exchange(true)) return;
    uint64_t one = 1;
    [[maybe_unused]] ssize_t n = ::write(wake_fd_, &one, sizeof one);
    if (users_ == 0) ReleaseDescriptor();
  }
  // A thread asleep in TIOCMIWAIT hears nothing of the wake descriptor. The
  // signal is repeated because one sent just before it entered the ioctl
  // would be lost.
  for (;;) {
    {
      std::lock_guard lock(mutex_);
      if (!cts_waiting_) return;
      ::pthread_kill(cts_waiter_, CtsWakeSignal());
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
}

SerialPort::CtsWait SerialPort::WaitForCtsChange() {
  std::optional<int> before = CtsChangeCount(fd_);
  if (!before) return CtsWait::kUnsupported;
  if (cts_changes_seen_ && *before != *cts_changes_seen_) {
    cts_changes_seen_ = before;
    return CtsWait::kChanged;
  }
  CtsWakeSignal();
  for (;;) {
    {
      std::lock_guard lock(mutex_);
      if (closed_.load()) return CtsWait::kClosed;
      cts_waiting_ = true;
      cts_waiter_ = ::pthread_self();
    }
    const int rc = ::ioctl(fd_, TIOCMIWAIT, TIOCM_CTS);
    const int error = errno;
    {
      std::lock_guard lock(mutex_);
      cts_waiting_ = false;
    }
    cts_changes_seen_ = CtsChangeCount(fd_);
    if (closed_.load()) return CtsWait::kClosed;
    if (rc == 0) return CtsWait::kChanged;
    // Another signal: wait on. A change it hid still shows in the count.
    if (error == EINTR) {
      if (cts_changes_seen_ && *cts_changes_seen_ != *before) return CtsWait::kChanged;
      continue;
    }
    return CtsWait::kUnsupported;
  }
}

ReadResult SerialPort::ReadByte(uint8_t* byte) {
  size_t count = 0;
  return ReadSome(std::span(byte, 1), &count);
}

ReadResult SerialPort::ReadSome(std::span<uint8_t> bytes, size_t* count) {
  *count = 0;
  if (!Enter()) return ReadResult::kClosed;
  PortTimeouts t;
  {
    std::lock_guard lock(mutex_);
    t = timeouts_;
  }
  uint32_t limit = t.read_multiplier_ms + t.read_constant_ms;
  Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(limit);
  const Clock::time_point* until = limit == 0 ? nullptr : &deadline;
  ReadResult result = ReadResult::kTimeout;
  for (;;) {
    pollfd p[2] = {{fd_, POLLIN, 0}, {wake_fd_, POLLIN, 0}};
    int rc = ::poll(p, 2, Remaining(until));
    if (rc < 0 && errno == EINTR) continue;
    if (closed_.load() || (p[1].revents & POLLIN) != 0) {
      result = ReadResult::kClosed;
      break;
    }
    if (rc == 0) break;  // timeout
    if (rc < 0) {
      // poll itself failed: treat it like a silent line, never as a spin.
      if (SleepUnlessClosed(until == nullptr ? -1 : Remaining(until))) result = ReadResult::kClosed;
      break;
    }
    if ((p[0].revents & POLLIN) != 0 && !bytes.empty()) {
      ssize_t n = ::read(fd_, bytes.data(), bytes.size());
      if (n > 0) {
        *count = static_cast<size_t>(n);
        result = ReadResult::kByte;
        break;
      }
      if (n < 0 && (errno == EAGAIN || errno == EINTR)) continue;
    }
    // The device vanished or hung up (EIO, end of file, POLLHUP): behave like
    // a silent line so the reader does not spin, and read on if it comes
    // back under its name in the meantime.
    if (WaitForReturn(until == nullptr ? -1 : Remaining(until))) continue;
    if (closed_.load()) result = ReadResult::kClosed;
    break;
  }
  Leave();
  return result;
}

bool SerialPort::WaitForReturn(int ms) {
  const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(std::max(ms, 0));
  for (;;) {
    if (Reopen()) return true;
    int slice = kReopenPollMs;
    if (ms >= 0) {
      slice = std::min(slice, Remaining(&deadline));
      if (slice <= 0) return false;
    }
    if (SleepUnlessClosed(slice)) return false;
  }
}

bool SerialPort::Reopen() {
  std::optional<LineSettings> line;
  {
    std::lock_guard lock(mutex_);
    line = line_;
  }
  if (closed_.load()) return false;
  int fd = OpenExclusive(device_, nullptr);
  if (fd < 0) return false;
  // The old node may still answer under the path (our descriptor keeps it
  // alive) but is hung up as well: that is not the device coming back.
  pollfd p{fd, POLLIN, 0};
  const bool hung_up = ::poll(&p, 1, 0) > 0 && (p.revents & (POLLHUP | POLLERR | POLLNVAL)) != 0;
  if (hung_up || (line && !ApplyLineSettings(fd, *line, nullptr))) {
    ::close(fd);
    return false;
  }
  // The same descriptor number reads the new device from now on, so a call
  // of another thread that holds fd_ never sees it closed under it.
  const bool swapped = ::dup3(fd, fd_, O_CLOEXEC) >= 0;
  ::close(fd);
  return swapped;
}

bool SerialPort::Write(std::span<const uint8_t> bytes) {
  if (!Enter()) return false;
  PortTimeouts t;
  {
    std::lock_guard lock(mutex_);
    t = timeouts_;
  }
  uint32_t limit = t.write_multiplier_ms * static_cast<uint32_t>(bytes.size()) + t.write_constant_ms;
  Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(limit);
  const Clock::time_point* until = limit == 0 ? nullptr : &deadline;
  size_t done = 0;
  bool ok = true;
  while (done < bytes.size()) {
    ssize_t n = ::write(fd_, bytes.data() + done, bytes.size() - done);
    if (n > 0) {
      done += static_cast<size_t>(n);
      continue;
    }
    if (n < 0 && errno != EAGAIN && errno != EINTR) {
      ok = false;
      break;
    }
    pollfd p[2] = {{fd_, POLLOUT, 0}, {wake_fd_, POLLIN, 0}};
    int rc = ::poll(p, 2, Remaining(until));
    if (rc < 0 && errno == EINTR) continue;
    if (rc <= 0 || closed_.load() || (p[0].revents & (POLLERR | POLLHUP)) != 0) {
      ok = false;
      break;
    }
  }
  Leave();
  return ok;
}

void SerialPort::PurgeTransmit() {
  if (!Enter()) return;
  ::tcflush(fd_, TCOFLUSH);
  Leave();
}

void SerialPort::PurgeReceive() {
  if (!Enter()) return;
  ::tcflush(fd_, TCIFLUSH);
  Leave();
}

uint32_t SerialPort::ModemStatus() {
  if (!Enter()) return 0;
  int bits = 0;
  uint32_t status = 0;
  if (::ioctl(fd_, TIOCMGET, &bits) == 0) {
    if ((bits & TIOCM_CTS) != 0) status |= kModemCts;
    if ((bits & TIOCM_DSR) != 0) status |= kModemDsr;
    if ((bits & TIOCM_RI) != 0) status |= kModemRing;
    if ((bits & TIOCM_CD) != 0) status |= kModemDcd;
  }
  Leave();
  return status;
}

uint32_t SerialPort::WaitEvent(uint32_t events) {
  if (!Enter()) return 0;
  // A CTS-only wait (the marker line) sleeps in the driver, where it sees
  // every edge; other devices and mixed waits poll below.
  if (events == kEventCts) {
    const CtsWait waited = WaitForCtsChange();
    if (waited != CtsWait::kUnsupported) {
      Leave();
      return waited == CtsWait::kChanged ? uint32_t{kEventCts} : 0u;
    }
  }
  int bits = 0;
  bool has_modem_lines = ::ioctl(fd_, TIOCMGET, &bits) == 0;
  bool watch_cts = (events & kEventCts) != 0 && has_modem_lines;
  int last_cts = bits & TIOCM_CTS;
  uint32_t fired = 0;
  // Here CTS changes are sampled every few milliseconds, so the wait stays
  // interruptible by Close(); a device without modem lines never reports one.
  const int kCtsPollMs = 5;
  while (fired == 0 && !closed_.load()) {
    pollfd p[2] = {{fd_, (events & kEventRxChar) != 0 ? short(POLLIN) : short(0), 0},
                   {wake_fd_, POLLIN, 0}};
    int rc = ::poll(p, 2, watch_cts ? kCtsPollMs : -1);
    if (rc < 0 && errno == EINTR) continue;
    if (rc < 0) {
      // poll itself failed: pause as a read would before trying again.
      if (SleepUnlessClosed(1000)) break;
      continue;
    }
    if ((p[1].revents & POLLIN) != 0) break;
    if ((p[0].revents & POLLIN) != 0) {
      fired = kEventRxChar;
    } else if ((p[0].revents & (POLLHUP | POLLERR)) != 0) {
      // Hung up: wait as long as a read would, then let the reader find out.
      PortTimeouts t;
      {
        std::lock_guard lock(mutex_);
        t = timeouts_;
      }
      uint32_t limit = t.read_multiplier_ms + t.read_constant_ms;
      if (SleepUnlessClosed(limit == 0 ? 1000 : static_cast<int>(limit))) break;
      fired = events & kEventRxChar;
      if (fired == 0) continue;
    }
    if (watch_cts && ::ioctl(fd_, TIOCMGET, &bits) == 0 && (bits & TIOCM_CTS) != last_cts) {
      fired |= kEventCts;
    }
  }
  Leave();
  return fired;
}

}  // namespace tq
