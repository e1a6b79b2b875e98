// A program started by a test, with its output in files; killed when the
// test leaves it running.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace tq::testing {

// The command line that starts `argv` here: in a cross build, whose programs
// are for another processor, the emulator it runs the tests with comes
// before the first of them.
std::vector<std::string> HostCommand(std::vector<std::string> argv);

class ChildProcess {
 public:
  // Starts `argv` (argv[0] is the program's path); standard output and error
  // go to `out` and `err` when given, and standard input comes from `in` (a
  // named pipe, say), opened for reading and writing so that opening it
  // never waits for a writer.
  explicit ChildProcess(std::vector<std::string> argv, const std::filesystem::path& out = {},
                        const std::filesystem::path& err = {}, const std::filesystem::path& in = {});
  ~ChildProcess();
  ChildProcess(const ChildProcess&) = delete;
  ChildProcess& operator=(const ChildProcess&) = delete;

  // The exit status as the shell sees it (128 + signal when killed), or
  // nothing while it still runs after `timeout`.
  std::optional<int> WaitExit(std::chrono::milliseconds timeout);
  void Signal(int number);

 private:
  pid_t pid_ = -1;
};

}  // namespace tq::testing
