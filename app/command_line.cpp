#include "app/command_line.h"

#include <algorithm>
#include <array>

#include "settings/build_config.h"

namespace tq {
namespace {

constexpr std::array<std::string_view, 5> kOwnWithValue = {"--root", "--scale", "--screenshot", "--kind",
                                                          "--port"};
constexpr std::array<std::string_view, 2> kOwnFlags = {"--landscape", "--full-screen"};

// The toolkit's own options, which it takes out of argv when it starts.
constexpr std::array<std::string_view, 17> kToolkitWithValue = {
    "-platform", "-platformpluginpath", "-platformtheme", "-plugin", "-qwindowgeometry", "-geometry",
    "-qwindowicon", "-icon", "-qwindowtitle", "-title", "-session", "-display", "-name", "-style",
    "-stylesheet", "-qmljsdebugger", "-visual"};
constexpr std::array<std::string_view, 5> kToolkitFlags = {"-reverse", "-widgetcount", "-nograb", "-dograb",
                                                           "-sync"};

template <size_t N>
bool In(const std::array<std::string_view, N>& list, std::string_view arg) {
  return std::find(list.begin(), list.end(), arg) != list.end();
}

}  // namespace

LoggerArguments ReadLoggerArguments(const std::vector<std::string_view>& args) {
  LoggerArguments read;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string_view arg = args[i];
    const bool takes_value = In(kOwnWithValue, arg) || In(kToolkitWithValue, arg);
    if (takes_value) {
      if (i + 1 == args.size()) {
        if (read.unknown.empty()) read.unknown = std::string(arg) + " (without its value)";
        break;
      }
      if (arg == "-platform") read.platform_named = true;
      if (arg == "--root") read.root = std::string(args[i + 1]);
      if (arg == "--port") read.port = std::string(args[i + 1]);
      if (arg == "--kind") {
        read.kind = KindFromName(args[i + 1]);
        if (!read.kind && read.unknown.empty()) read.unknown = "--kind " + std::string(args[i + 1]);
      }
      ++i;
    } else if (arg == "--help" || arg == "-h") {
      read.help = true;
    } else if (arg == "--version") {
      read.version = true;
    } else if (arg == "--ports") {
      read.ports = true;
    } else if (!In(kOwnFlags, arg) && !In(kToolkitFlags, arg) && read.unknown.empty()) {
      read.unknown = std::string(arg);
    }
  }
  return read;
}

bool DisplayReachable(bool platform_named, const char* qpa_platform, const char* x_display,
                      const char* wayland_display) {
  auto set = [](const char* value) { return value != nullptr && *value != '\0'; };
  return platform_named || set(qpa_platform) || set(x_display) || set(wayland_display);
}

}  // namespace tq
