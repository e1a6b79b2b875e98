// The logger's command line, read before any display is opened, so that
// a mistyped option or a missing display is told in one line and never ends
// inside the window toolkit.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tq {

struct LoggerArguments {
  bool help = false;     // --help or -h
  bool version = false;  // --version
  std::string unknown;   // the first argument nobody takes; empty when none
  bool platform_named = false;  // "-platform X" chooses the display itself
  std::optional<int32_t> kind;  // --kind K: the instrument this run serves
  std::optional<std::string> root;  // --root DIR
  bool ports = false;               // --ports: show them and exit
  std::optional<std::string> port;  // --port COMn=DEVICE: assign and exit
};

// Sorts argv[1..]: the logger's own options (--root DIR, --landscape,
// --scale N, --full-screen, --screenshot FILE, --kind K, --ports,
// --port COMn=DEVICE, --help, --version), the toolkit's single-dash options
// with their values (-platform offscreen, -style X, ...), and the rest,
// which is unknown. A value is never taken for an option: "--root -h" names
// a folder. A kind that is neither 0..7 nor a model name is unknown too.
LoggerArguments ReadLoggerArguments(const std::vector<std::string_view>& args);

// Whether a display can be reached: a platform chosen by option or by
// QT_QPA_PLATFORM, or an X or Wayland display named in the environment.
// Each environment value is passed as read (null when unset).
bool DisplayReachable(bool platform_named, const char* qpa_platform, const char* x_display,
                      const char* wayland_display);

// The one line that says there is none, and how to run headless.
inline constexpr std::string_view kNoDisplayText =
    "tqlog: no display (DISPLAY is not set); on a handheld's framebuffer run "
    "tqlog -platform linuxfb, to try it headless -platform offscreen or scripts/run";

}  // namespace tq
