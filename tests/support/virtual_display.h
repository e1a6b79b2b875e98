// tqlog shown on a virtual display (Xvfb) of its own and driven by real key
// events (xdotool), for the tests that run it as a person would.
#pragma once

#include <chrono>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "tests/support/child_process.h"

namespace tq::testing {

inline constexpr const char* kXvfb = "/usr/bin/Xvfb";
inline constexpr const char* kXdotool = "/usr/bin/xdotool";
// How long a process test waits for anything tqlog or a tool should do.
inline constexpr std::chrono::milliseconds kProcessPatience{20000};

// Polls `done` every 50 ms; false when it is still false after `timeout`.
bool WaitUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout = kProcessPatience);

// Runs `tool` with `args` to its end; its standard output, kept in `dir`.
std::string RunTool(const std::filesystem::path& dir, const char* tool, const std::vector<std::string>& args);

class VirtualDisplay {
 public:
  VirtualDisplay() = default;
  ~VirtualDisplay();
  VirtualDisplay(const VirtualDisplay&) = delete;
  VirtualDisplay& operator=(const VirtualDisplay&) = delete;

  // Starts Xvfb with its output in `dir`, and makes it the display of this
  // process and of the programs it starts, which show themselves on it
  // rather than offscreen. False, with Xvfb's complaint in Error(), when no
  // display came up.
  bool Start(const std::filesystem::path& dir);
  std::string Error() const;

  std::string Xdotool(const std::vector<std::string>& args) const { return RunTool(dir_, kXdotool, args); }
  void Key(const std::string& key) const { Xdotool({"key", key}); }
  // Waits until the window titled `title` has the keyboard.
  bool WaitForFocus(const std::string& title, std::chrono::milliseconds timeout = kProcessPatience) const;
  // Presses `key` until the window `title` takes the keyboard: on a busy
  // machine the window meant for the key may not be up yet, and the key
  // then does nothing.
  bool PressUntilFocus(const std::string& key, const std::string& title) const;

 private:
  std::filesystem::path dir_;
  std::optional<ChildProcess> xvfb_;
};

}  // namespace tq::testing
