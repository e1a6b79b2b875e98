// Pseudo-terminals that stand in for serial lines, and the links under the
// data root through which the logger finds them.
#pragma once

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <span>
#include <string>

namespace tq::sim {

// The instrument's end of a pseudo-terminal. The device side stays open here
// too, so the line survives the logger closing and reopening it.
class PseudoTerminal {
 public:
  // A new pair in raw mode; nullptr with *error on failure.
  static std::unique_ptr<PseudoTerminal> Open(std::string* error = nullptr);
  ~PseudoTerminal();
  PseudoTerminal(const PseudoTerminal&) = delete;
  PseudoTerminal& operator=(const PseudoTerminal&) = delete;

  // The device the logger opens ("/dev/pts/N").
  const std::filesystem::path& device() const { return device_; }

  // Sends all of `bytes`. When the line's buffer is full because nobody
  // reads, the unread backlog is discarded first, as a real line would have
  // lost it. A port closed by its last user is made openable again, as a
  // real device would be. False when the bytes could not be written.
  bool Send(std::span<const uint8_t> bytes);

  // Discards whatever the logger wrote to the instrument; returns the count.
  size_t DiscardIncoming();

  // Bytes sent but not yet read by the logger.
  size_t Unread() const;

  // Waits until the logger has read everything sent, at most `timeout`;
  // true when nothing has been left unread for a short settling time.
  bool WaitDrained(std::chrono::milliseconds timeout) const;

 private:
  PseudoTerminal(int master, int slave, std::filesystem::path device)
      : master_(master), slave_(slave), device_(std::move(device)) {}
  // Clears the exclusive mark a port user left behind when it closed.
  void ReleaseAbandonedExclusivity();
  int master_;
  int slave_;
  std::filesystem::path device_;
};

// Makes `link` name `target` as the logger's port links do (a symbolic link,
// or a link file where the file system has none), creating its folders and
// replacing an old link. Refuses, with *error, to replace anything that is
// not a link. False on failure.
bool LinkPort(const std::filesystem::path& link, const std::filesystem::path& target,
              std::string* error = nullptr);

// Removes `link` if it still points at `target`; false when it was left alone.
bool UnlinkPort(const std::filesystem::path& link, const std::filesystem::path& target);

}  // namespace tq::sim
