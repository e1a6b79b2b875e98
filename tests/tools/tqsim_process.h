// A tqsim process started by a test, and waiting for the links it makes.
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "tests/support/child_process.h"
#include "tests/support/temp_dir.h"

namespace tq::sim {

namespace fs = std::filesystem;
using std::chrono::milliseconds;

// A running tqsim whose output goes to files; killed if a test leaves it.
class Tqsim {
 public:
  Tqsim(const std::vector<std::string>& args, const fs::path& dir)
      : out_(dir / "tqsim.out"), err_(dir / "tqsim.err"), process_(Argv(args), out_, err_) {}
  // The exit status, or -1 when it did not end within `timeout`.
  int WaitExit(milliseconds timeout) { return process_.WaitExit(timeout).value_or(-1); }
  void Signal(int number) { process_.Signal(number); }
  std::string Out() const { return testing::ReadFileBytes(out_); }
  std::string Err() const { return testing::ReadFileBytes(err_); }

 private:
  static std::vector<std::string> Argv(const std::vector<std::string>& args) {
    std::vector<std::string> all = {TQSIM_PATH};
    all.insert(all.end(), args.begin(), args.end());
    return all;
  }
  fs::path out_;
  fs::path err_;
  testing::ChildProcess process_;
};

// Waits until `link` is a link to a pseudo-terminal that exists.
inline bool WaitForLink(const fs::path& link) {
  for (int i = 0; i < 1000; ++i) {
    std::error_code ec;
    if (fs::read_symlink(link, ec).string().starts_with("/dev/pts/") && fs::exists(link, ec)) {
      return true;
    }
    std::this_thread::sleep_for(milliseconds(10));
  }
  return false;
}

}  // namespace tq::sim
