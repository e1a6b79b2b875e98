#include "tests/support/pty_pair.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>

namespace tq::testing {

PtyPair::PtyPair() {
  char name[256] = {};
  termios raw{};
  ::cfmakeraw(&raw);
  if (::openpty(&master_, &slave_keepalive_, name, &raw, nullptr) != 0) {
    ADD_FAILURE() << "openpty failed: " << errno;
    return;
  }
  ::fcntl(master_, F_SETFD, FD_CLOEXEC);
  ::fcntl(slave_keepalive_, F_SETFD, FD_CLOEXEC);
  slave_path_ = name;
}

PtyPair::~PtyPair() {
  Hangup();
  if (slave_keepalive_ >= 0) ::close(slave_keepalive_);
}

void PtyPair::Send(std::span<const uint8_t> bytes) {
  size_t done = 0;
  while (done < bytes.size()) {
    ssize_t n = ::write(master_, bytes.data() + done, bytes.size() - done);
    if (n < 0 && errno == EINTR) continue;
    ASSERT_GT(n, 0) << "write to pty master failed: " << errno;
    done += static_cast<size_t>(n);
  }
}

void PtyPair::Send(std::string_view text) {
  Send(std::span(reinterpret_cast<const uint8_t*>(text.data()), text.size()));
}

size_t PtyPair::Receive(std::span<uint8_t> buffer, int timeout_ms) {
  pollfd p{master_, POLLIN, 0};
  if (::poll(&p, 1, timeout_ms) <= 0) return 0;
  ssize_t n = ::read(master_, buffer.data(), buffer.size());
  return n > 0 ? static_cast<size_t>(n) : 0;
}

void PtyPair::Hangup() {
  if (master_ >= 0) {
    ::close(master_);
    master_ = -1;
  }
  // The kept slave descriptor would hold the line up; drop it too.
  if (slave_keepalive_ >= 0) {
    ::close(slave_keepalive_);
    slave_keepalive_ = -1;
  }
}

}  // namespace tq::testing
