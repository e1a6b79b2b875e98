// The modem lines of a port whose device has them: its CTS wait and its DTR
// and RTS outputs. Pseudo-terminals have none, so this program answers the
// modem ioctls of one pseudo-terminal as a UART driver does (output bits, a
// CTS change count whose parity is the level, a wait for a change that a
// signal ends) and passes the rest to the C library.
#include <dlfcn.h>
#include <gtest/gtest.h>
#include <linux/serial.h>
#include <sys/ioctl.h>
#include <sys/stat.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdarg>
#include <ctime>
#include <thread>

#include "platform/serial.h"
#include "tests/support/pty_pair.h"

namespace {

std::atomic<dev_t> uart_device{0};  // the pseudo-terminal acting as the UART
std::atomic<int> cts_changes{0};
std::atomic<int> status_reads{0};
std::atomic<int> sleepers{0};  // threads inside TIOCMIWAIT
std::atomic<int> outputs{0};   // TIOCM_DTR, TIOCM_RTS

bool IsUart(int fd) {
  struct stat info {};
  return uart_device.load() != 0 && ::fstat(fd, &info) == 0 && S_ISCHR(info.st_mode) &&
         info.st_rdev == uart_device.load();
}

int SleepUntilCtsChanges() {
  const int start = cts_changes.load();
  ++sleepers;
  int result = 0;
  while (cts_changes.load() == start) {
    const timespec tick{0, 1000000};
    if (::nanosleep(&tick, nullptr) != 0 && errno == EINTR) {
      result = -1;  // errno stays EINTR, as the driver's does
      break;
    }
  }
  --sleepers;
  return result;
}

}  // namespace

extern "C" int ioctl(int fd, unsigned long request, ...) noexcept {
  va_list args;
  va_start(args, request);
  void* arg = va_arg(args, void*);
  va_end(args);
  if (IsUart(fd)) {
    switch (request) {
      case TIOCMGET:
        ++status_reads;
        *static_cast<int*>(arg) = cts_changes.load() % 2 == 1 ? TIOCM_CTS : 0;
        return 0;
      case TIOCGICOUNT:
        *static_cast<serial_icounter_struct*>(arg) = serial_icounter_struct{};
        static_cast<serial_icounter_struct*>(arg)->cts = cts_changes.load();
        return 0;
      case TIOCMIWAIT: return SleepUntilCtsChanges();
      case TIOCMBIS: outputs |= *static_cast<int*>(arg); return 0;
      case TIOCMBIC: outputs &= ~*static_cast<int*>(arg); return 0;
      default: break;
    }
  }
  using Ioctl = int (*)(int, unsigned long, ...);
  static const auto real = reinterpret_cast<Ioctl>(::dlsym(RTLD_NEXT, "ioctl"));
  return real(fd, request, arg);
}

namespace tq {
namespace {

using std::chrono::milliseconds;

class ModemLinesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    struct stat info {};
    ASSERT_EQ(::stat(pty_.slave_path().c_str(), &info), 0);
    uart_device = info.st_rdev;
    port_ = SerialPort::Open(pty_.slave_path());
    ASSERT_NE(port_, nullptr);
  }
  void TearDown() override {
    if (waiter_.joinable()) {
      port_->Close();
      waiter_.join();
    }
    uart_device = 0;
  }

  // Starts a CTS wait on another thread; true once it sleeps in the driver.
  bool StartWaiting() {
    waiter_ = std::thread([this] { fired_ = port_->WaitEvent(kEventCts); });
    for (int ms = 0; ms < 2000 && sleepers.load() == 0; ++ms) {
      std::this_thread::sleep_for(milliseconds(1));
    }
    return sleepers.load() == 1;
  }

  testing::PtyPair pty_;
  std::unique_ptr<SerialPort> port_;
  std::thread waiter_;
  std::atomic<uint32_t> fired_{99};
};

TEST_F(ModemLinesTest, ShortPulseEndsASleepingWaitAndOneBetweenWaitsIsNotLost) {
  ASSERT_TRUE(StartWaiting()) << "the wait does not sleep in the driver";
  const int reads = status_reads.load();
  std::this_thread::sleep_for(milliseconds(200));
  EXPECT_LE(status_reads.load() - reads, 1) << "the wait polls the line";
  cts_changes += 2;  // up and straight down again
  waiter_.join();
  EXPECT_EQ(fired_.load(), static_cast<uint32_t>(kEventCts));
  cts_changes += 2;  // while the caller reads the status, before its next wait
  EXPECT_EQ(port_->WaitEvent(kEventCts), static_cast<uint32_t>(kEventCts));
}

TEST_F(ModemLinesTest, OutputsLeftUnchangedKeepTheirLevel) {
  // A receiver powered from RTS, with DTR off.
  outputs = TIOCM_RTS;
  LineSettings untouched;
  untouched.dtr = ControlLine::kUnchanged;
  untouched.rts = ControlLine::kUnchanged;
  ASSERT_TRUE(port_->Configure(untouched, PortTimeouts{}));
  EXPECT_EQ(outputs.load(), TIOCM_RTS);
  ASSERT_TRUE(port_->Configure(LineSettings{}, PortTimeouts{}));  // DTR on, RTS off
  EXPECT_EQ(outputs.load(), TIOCM_DTR);
}

TEST_F(ModemLinesTest, CloseEndsAWaitInTheDriver) {
  ASSERT_TRUE(StartWaiting());
  const auto start = std::chrono::steady_clock::now();
  port_->Close();
  waiter_.join();
  EXPECT_EQ(fired_.load(), 0u);
  EXPECT_LT(std::chrono::steady_clock::now() - start, milliseconds(500));
}

}  // namespace
}  // namespace tq
