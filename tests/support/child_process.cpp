#include "tests/support/child_process.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>

#include <cstdint>
#include <fstream>
#include <string_view>
#include <thread>

extern char** environ;

namespace tq::testing {

#ifdef TQ_TARGET_EMULATOR
namespace {

// The ELF machine a program is built for, or 0 for anything else.
uint16_t ElfMachine(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  unsigned char header[20] = {};
  if (!file.read(reinterpret_cast<char*>(header), sizeof header)) return 0;
  if (header[0] != 0x7f || header[1] != 'E' || header[2] != 'L' || header[3] != 'F') return 0;
  return static_cast<uint16_t>(header[18] | header[19] << 8);  // e_machine, little-endian
}

}  // namespace
#endif

std::vector<std::string> HostCommand(std::vector<std::string> argv) {
#ifdef TQ_TARGET_EMULATOR
  // The first word that is a program built like this test (the emulator
  // shows the test its own program as /proc/self/exe) gets the emulator and
  // its options (words apart: "qemu-arm-static -L /"). So
  // "env -u DISPLAY tqlog" runs the machine's env and the emulated tqlog.
  static const uint16_t target = ElfMachine("/proc/self/exe");
  std::vector<std::string> emulator;
  std::string_view list = TQ_TARGET_EMULATOR;
  while (true) {
    const size_t end = list.find(' ');
    emulator.emplace_back(list.substr(0, end));
    if (end == std::string_view::npos) break;
    list.remove_prefix(end + 1);
  }
  for (auto word = argv.begin(); word != argv.end(); ++word) {
    if (ElfMachine(*word) == target) {
      argv.insert(word, emulator.begin(), emulator.end());
      break;
    }
  }
#endif
  return argv;
}

ChildProcess::ChildProcess(std::vector<std::string> argv, const std::filesystem::path& out,
                           const std::filesystem::path& err, const std::filesystem::path& in) {
  argv = HostCommand(std::move(argv));
  std::vector<char*> args;
  for (std::string& a : argv) args.push_back(a.data());
  args.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  if (!in.empty()) posix_spawn_file_actions_addopen(&actions, 0, in.c_str(), O_RDWR, 0);
  if (!out.empty()) {
    posix_spawn_file_actions_addopen(&actions, 1, out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  }
  if (!err.empty()) {
    posix_spawn_file_actions_addopen(&actions, 2, err.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0644);
  }
  EXPECT_EQ(posix_spawn(&pid_, args[0], &actions, nullptr, args.data(), environ), 0);
  posix_spawn_file_actions_destroy(&actions);
}

ChildProcess::~ChildProcess() {
  if (pid_ > 0) {
    kill(pid_, SIGKILL);
    waitpid(pid_, nullptr, 0);
  }
}

std::optional<int> ChildProcess::WaitExit(std::chrono::milliseconds timeout) {
  auto until = std::chrono::steady_clock::now() + timeout;
  while (pid_ > 0) {
    int status = 0;
    if (waitpid(pid_, &status, WNOHANG) == pid_) {
      pid_ = -1;
      return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    }
    if (std::chrono::steady_clock::now() > until) return std::nullopt;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return std::nullopt;
}

void ChildProcess::Signal(int number) {
  if (pid_ > 0) kill(pid_, number);
}

}  // namespace tq::testing
