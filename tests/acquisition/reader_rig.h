// A reader thread running over a real pseudo-terminal, as the logger runs it.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <ctime>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "acquisition/acquisition_state.h"
#include "acquisition/readers.h"
#include "platform/serial.h"
#include "tests/instrument/frame_bytes.h"
#include "tests/support/pty_pair.h"

namespace tq::testing {

// The real port, with its purges recorded (so a test sends only after the
// reader's start-up purge) and a modem-status word the test sets, since a
// pseudo-terminal has no modem lines.
class ObservedPort : public Port {
 public:
  explicit ObservedPort(std::unique_ptr<SerialPort> port) : port_(std::move(port)) {}

  bool IsOpen() const override { return port_->IsOpen(); }
  ReadResult ReadByte(uint8_t* byte) override {
    const ReadResult result = port_->ReadByte(byte);
    if (after_read) after_read(result);
    return result;
  }
  ReadResult ReadSome(std::span<uint8_t> bytes, size_t* count) override {
    const ReadResult result = port_->ReadSome(bytes, count);
    if (after_read) after_read(result);
    return result;
  }
  bool Write(std::span<const uint8_t> bytes) override { return port_->Write(bytes); }
  void PurgeTransmit() override {
    Record('T');
    port_->PurgeTransmit();
  }
  void PurgeReceive() override {
    port_->PurgeReceive();
    Record('R');
  }
  uint32_t WaitEvent(uint32_t events) override { return port_->WaitEvent(events); }
  uint32_t ModemStatus() override { return modem_status.load(); }
  void Close() override { port_->Close(); }

  // Waits until `count` receive purges happened; false after 5 s.
  bool WaitForReceivePurges(size_t count) {
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, std::chrono::seconds(5), [&] {
      return static_cast<size_t>(std::count(purges_.begin(), purges_.end(), 'R')) >= count;
    });
  }
  std::string Purges() const {
    std::lock_guard lock(mutex_);
    return purges_;
  }

  std::atomic<uint32_t> modem_status{0};
  // Called after each read, on the reading thread (to move a fake clock).
  std::function<void(ReadResult)> after_read;

 private:
  void Record(char what) {
    {
      std::lock_guard lock(mutex_);
      purges_ += what;
    }
    changed_.notify_all();
  }

  std::unique_ptr<SerialPort> port_;
  mutable std::mutex mutex_;
  std::condition_variable changed_;
  std::string purges_;
};

inline double ThreadCpuSeconds() {
  timespec ts{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
  return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) / 1e9;
}

class ReaderRig {
 public:
  ReaderRig() {
    std::string error;
    auto port = SerialPort::Open(pty.slave_path(), &error);
    EXPECT_NE(port, nullptr) << error;
    if (port) {
      EXPECT_TRUE(port->Configure(LineSettings{}, PortTimeouts{0xFFFF, 1000, 1000, 0, 0}, &error))
          << error;
      port_ = std::make_unique<ObservedPort>(std::move(port));
    }
  }
  ~ReaderRig() { Stop(); }

  // Starts `reader` and waits for its start-up purge.
  void Start(ReaderFunction reader, int32_t kind, bool marker_on_port = false) {
    ReaderContext context;
    context.port = port_.get();
    context.state = &state;
    context.window = &window;
    context.instrument_kind = kind;
    context.marker_on_instrument_port = marker_on_port;
    thread_ = std::thread([this, reader, context] {
      double before = ThreadCpuSeconds();
      result_ = reader(context);
      cpu_seconds_ = ThreadCpuSeconds() - before;
    });
    ASSERT_TRUE(port_->WaitForReceivePurges(1)) << "reader did not purge at start";
  }

  // Closes the port and waits for the reader; returns its result.
  int Stop() {
    if (port_) port_->Close();
    if (thread_.joinable()) thread_.join();
    return result_;
  }

  void Send(const Bytes& bytes) { pty.Send(bytes); }
  void Send(const std::string& text) { pty.Send(text); }

  // The next reading message, after which the test takes its frame.
  bool NextReading(uint32_t expected_message, Bytes* frame, int timeout_ms = 3000) {
    Message m;
    if (!window.Wait(&m, timeout_ms)) return false;
    EXPECT_EQ(m.number, expected_message);
    PostedFrame posted;
    if (!state.TakeReading(&posted)) return false;
    frame->assign(posted.bytes.begin(), posted.bytes.begin() + posted.length);
    EXPECT_EQ(posted.bytes[posted.length], 0);
    return true;
  }

  ObservedPort& port() { return *port_; }
  double cpu_seconds() const { return cpu_seconds_; }
  bool running() const { return thread_.joinable(); }

  PtyPair pty;
  AcquisitionState state;
  MessageQueue window;

 private:
  std::unique_ptr<ObservedPort> port_;
  std::thread thread_;
  int result_ = -1;
  double cpu_seconds_ = 0;
};

}  // namespace tq::testing
