#include "tools/sim/pseudo_terminal.h"

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <thread>

#include "platform/serial.h"

namespace tq::sim {
namespace {

namespace fs = std::filesystem;

void SetError(std::string* error, const std::string& text) {
  if (error != nullptr) *error = text;
}

}  // namespace

std::unique_ptr<PseudoTerminal> PseudoTerminal::Open(std::string* error) {
  int master = -1;
  int slave = -1;
  char name[256] = {};
  termios raw{};
  ::cfmakeraw(&raw);
  if (::openpty(&master, &slave, name, &raw, nullptr) != 0) {
    SetError(error, std::string("openpty: ") + std::strerror(errno));
    return nullptr;
  }
  ::fcntl(master, F_SETFD, FD_CLOEXEC);
  ::fcntl(slave, F_SETFD, FD_CLOEXEC);
  ::fcntl(master, F_SETFL, ::fcntl(master, F_GETFL) | O_NONBLOCK);
  return std::unique_ptr<PseudoTerminal>(new PseudoTerminal(master, slave, name));
}

PseudoTerminal::~PseudoTerminal() {
  ::close(master_);
  ::close(slave_);
}

void PseudoTerminal::ReleaseAbandonedExclusivity() {
  // A port opener marks the line exclusive and holds a lock on it. The mark
  // normally dies with the last open descriptor, but ours keeps the line
  // alive, so once the lock is free again nobody has the port and the mark
  // would only lock out the next opener.
  int exclusive = 0;
  if (::ioctl(slave_, TIOCGEXCL, &exclusive) != 0 || exclusive == 0) return;
  if (::flock(slave_, LOCK_EX | LOCK_NB) != 0) return;
  ::ioctl(slave_, TIOCNXCL);
  ::flock(slave_, LOCK_UN);
}

bool PseudoTerminal::Send(std::span<const uint8_t> bytes) {
  ReleaseAbandonedExclusivity();
  size_t done = 0;
  bool flushed = false;
  while (done < bytes.size()) {
    ssize_t n = ::write(master_, bytes.data() + done, bytes.size() - done);
    if (n > 0) {
      done += static_cast<size_t>(n);
      continue;
    }
    if (n < 0 && errno == EINTR) continue;
    if (n < 0 && errno != EAGAIN) return false;
    if (!flushed) {
      // Start the message again after the flush, so the reader never gets
      // the tail of a frame whose head was thrown away.
      ::tcflush(slave_, TCIFLUSH);
      flushed = true;
      done = 0;
      continue;
    }
    // Still full right after a flush: the line is stopped; give it a moment.
    pollfd p{master_, POLLOUT, 0};
    if (::poll(&p, 1, 100) <= 0) return false;
  }
  return true;
}

size_t PseudoTerminal::DiscardIncoming() {
  size_t total = 0;
  uint8_t buffer[256];
  for (;;) {
    ssize_t n = ::read(master_, buffer, sizeof buffer);
    if (n > 0) {
      total += static_cast<size_t>(n);
      continue;
    }
    if (n < 0 && errno == EINTR) continue;
    return total;
  }
}

size_t PseudoTerminal::Unread() const {
  int queued = 0;
  if (::ioctl(slave_, FIONREAD, &queued) != 0 || queued < 0) return 0;
  return static_cast<size_t>(queued);
}

bool PseudoTerminal::WaitDrained(std::chrono::milliseconds timeout) const {
  using Clock = std::chrono::steady_clock;
  // The kernel hands written bytes to the reader's queue a moment later, so a
  // queue that is empty right after a write may only mean they are on their
  // way; closing then would throw them away. Drained is empty for a while.
  constexpr std::chrono::milliseconds kSettle{50};
  const Clock::time_point deadline = Clock::now() + timeout;
  Clock::time_point empty_since = Clock::now();
  for (;;) {
    const Clock::time_point now = Clock::now();
    if (Unread() > 0) {
      empty_since = now;
    } else if (now - empty_since >= kSettle) {
      return true;
    }
    if (now >= deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
}

bool LinkPort(const fs::path& link, const fs::path& target, std::string* error) {
  return WritePortLink(link, target, error);
}

bool UnlinkPort(const fs::path& link, const fs::path& target) {
  const PortLink found = ReadPortLink(link);
  if (found.kind != PortLinkKind::kSymbolicLink && found.kind != PortLinkKind::kFile) return false;
  if (found.device != target) return false;
  std::error_code ec;
  return fs::remove(link, ec);
}

}  // namespace tq::sim
