#include "tests/support/virtual_display.h"

#include <csignal>
#include <cstdlib>
#include <random>
#include <thread>

#include "tests/support/temp_dir.h"

namespace tq::testing {

namespace fs = std::filesystem;
using std::chrono::milliseconds;

bool WaitUntil(const std::function<bool()>& done, milliseconds timeout) {
  auto until = std::chrono::steady_clock::now() + timeout;
  while (!done()) {
    if (std::chrono::steady_clock::now() > until) return false;
    std::this_thread::sleep_for(milliseconds(50));
  }
  return true;
}

std::string RunTool(const fs::path& dir, const char* tool, const std::vector<std::string>& args) {
  std::vector<std::string> argv = {tool};
  argv.insert(argv.end(), args.begin(), args.end());
  const fs::path out = dir / "tool.out";
  ChildProcess run(argv, out, dir / "tool.err");
  run.WaitExit(kProcessPatience);
  return ReadFileBytes(out);
}

bool VirtualDisplay::Start(const fs::path& dir) {
  dir_ = dir;
  // A display number of its own, drawn from a wide range: suites of other
  // checkouts may share /tmp but not our process ids, and an Xvfb that sees a
  // lock whose process it cannot see takes the number over. Xvfb writes the
  // number to -displayfd only once it takes connections on it: a socket that
  // merely exists may be another server's, or one not listening yet. Without
  // -noreset the server resets whenever its last client leaves, and a
  // program connecting just then (tqlog between two xdotool calls) is
  // refused.
  std::random_device random;
  for (int attempt = 0; attempt < 20; ++attempt) {
    const std::string number = std::to_string(1000 + random() % 30000);
    if (fs::exists("/tmp/.X11-unix/X" + number) || fs::exists("/tmp/.X" + number + "-lock")) continue;
    const fs::path out = dir / "xvfb.out";
    xvfb_.emplace(std::vector<std::string>{kXvfb, ":" + number, "-displayfd", "1", "-screen", "0", "640x480x24",
                                           "-nolisten", "tcp", "-noreset"},
                  out, dir / "xvfb.err");
    bool gone = false;
    WaitUntil([&] { return ReadFileBytes(out) == number + "\n" || (gone = xvfb_->WaitExit(milliseconds(0)).has_value()); },
              milliseconds(5000));
    if (!gone && ReadFileBytes(out) == number + "\n") {
      setenv("DISPLAY", (":" + number).c_str(), 1);
      // The suite runs the window tests offscreen; tqlog here shows itself.
      setenv("QT_QPA_PLATFORM", "xcb", 1);
      return true;
    }
    xvfb_.reset();
  }
  return false;
}

VirtualDisplay::~VirtualDisplay() {
  // Asked to end, Xvfb removes its lock and socket; killed, it leaves them.
  if (!xvfb_) return;
  xvfb_->Signal(SIGTERM);
  xvfb_->WaitExit(milliseconds(2000));
}

std::string VirtualDisplay::Error() const { return ReadFileBytes(dir_ / "xvfb.err"); }

bool VirtualDisplay::WaitForFocus(const std::string& title, milliseconds timeout) const {
  return WaitUntil([&] { return Xdotool({"getwindowfocus", "getwindowname"}) == title + "\n"; }, timeout);
}

bool VirtualDisplay::PressUntilFocus(const std::string& key, const std::string& title) const {
  for (int attempt = 0; attempt < 5; ++attempt) {
    Key(key);
    if (WaitForFocus(title, milliseconds(4000))) return true;
  }
  return false;
}

}  // namespace tq::testing
