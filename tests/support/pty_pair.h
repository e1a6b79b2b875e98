// A pseudo-terminal pair: the test plays the instrument on the master side and
// the code under test opens the slave side as its serial port.
#pragma once

#include <cstdint>
#include <filesystem>
#include <span>
#include <string_view>

namespace tq::testing {

class PtyPair {
 public:
  PtyPair();
  ~PtyPair();
  PtyPair(const PtyPair&) = delete;
  PtyPair& operator=(const PtyPair&) = delete;

  // The device the code under test opens.
  const std::filesystem::path& slave_path() const { return slave_path_; }
  // Writes bytes as the instrument would; fails the test when it cannot.
  void Send(std::span<const uint8_t> bytes);
  void Send(std::string_view text);
  // Reads what the code under test wrote, waiting up to `timeout_ms` for the
  // first byte; returns the count read.
  size_t Receive(std::span<uint8_t> buffer, int timeout_ms);
  // Closes the master side, as when the device vanishes.
  void Hangup();

 private:
  int master_ = -1;
  int slave_keepalive_ = -1;  // keeps the slave side alive between opens
  std::filesystem::path slave_path_;
};

}  // namespace tq::testing
