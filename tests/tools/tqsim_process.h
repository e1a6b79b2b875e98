// A tqsim process started by a test, and waiting for the links it makes.
#pragma once

#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "tests/support/temp_dir.h"

extern char** environ;

namespace tq::sim {

namespace fs = std::filesystem;
using std::chrono::milliseconds;

// A running tqsim whose output goes to files; killed if a test leaves it.
class Tqsim {
 public:
  Tqsim(const std::vector<std::string>& args, const fs::path& dir)
      : out_(dir / "tqsim.out"), err_(dir / "tqsim.err") {
    std::vector<std::string> all = {TQSIM_PATH};
    all.insert(all.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (std::string& a : all) argv.push_back(a.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, out_.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_addopen(&actions, 2, err_.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    EXPECT_EQ(posix_spawn(&pid_, argv[0], &actions, nullptr, argv.data(), environ), 0);
    posix_spawn_file_actions_destroy(&actions);
  }
  ~Tqsim() {
    if (pid_ > 0) {
      kill(pid_, SIGKILL);
      waitpid(pid_, nullptr, 0);
    }
  }
  // The exit status, or -1 when it did not end within `timeout`.
  int WaitExit(milliseconds timeout) {
    auto until = std::chrono::steady_clock::now() + timeout;
    while (pid_ > 0) {
      int status = 0;
      if (waitpid(pid_, &status, WNOHANG) == pid_) {
        pid_ = -1;
        return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
      }
      if (std::chrono::steady_clock::now() > until) return -1;
      std::this_thread::sleep_for(milliseconds(10));
    }
    return -1;
  }
  void Signal(int number) { kill(pid_, number); }
  std::string Out() const { return testing::ReadFileBytes(out_); }
  std::string Err() const { return testing::ReadFileBytes(err_); }

 private:
  fs::path out_;
  fs::path err_;
  pid_t pid_ = -1;
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
