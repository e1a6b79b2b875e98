#include "app/entry_point.h"

#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "app/child_windows.h"
#include "app/command_line.h"
#include "app/port_commands.h"
#include "app/main_window.h"
#include "shell/shell_state.h"
#include "platform/dialogs.h"
#include "platform/files.h"
#include "platform/shell.h"
#include "platform/window.h"
#include "settings/build_config.h"
#include "build_defaults.h"

namespace tq {
namespace {

constexpr const char* kUsage =
    "usage: tqlog [--kind K] [--root DIR] [--landscape] [--scale N | --full-screen] | --ports | --port COMn=DEVICE";

std::string HelpText() {
  const KindInfo& kind = KindInfoFor(Build().InstrumentKind);
  return std::string(kUsage) + "\n\nThe field logger for the " + kind.model +
         " instrument.\n\n"
         "Options:\n"
         "  --root DIR    the data root: the settings and data folders (Storage/...)\n"
         "                live under it, and DIR/ports/COMn, when it exists, is the\n"
         "                device of port COMn (a link, or on FAT a file whose first\n"
         "                line is the device; else /dev/ttyS<n-1>)\n"
         "                default: $XDG_DATA_HOME/tqlog, else ~/.local/share/tqlog\n"
         "                (here " + DefaultDataRoot().string() + ")\n"
         "  --kind K      the instrument: 0..7 or its model, TQ62, TQ68B, TQ68-DD,\n"
         "                TQ68, TQ64-3, TQ93, FRZ62, TQ68-MK2; each kind has its own\n"
         "                settings file and data folder (default " + kind.model + ")\n"
         "  --ports       list COM1..COM12 with the device each opens, and the serial\n"
         "                devices present (USB adapters by their stable by-id names)\n"
         "  --port COMn=DEVICE  link port COMn to DEVICE under the data root\n"
         "                (--port COMn= removes the link)\n"
         "  --landscape   a 320x240 screen instead of the 240x320 portrait one\n"
         "  --scale N     draw every pixel N times as large, for a desktop monitor\n"
         "  --full-screen\n"
         "                take the whole display, the screen drawn at the largest\n"
         "                whole scale that fits on it (for a tablet)\n"
         "  -h, --help    show this text\n"
         "  --version     show the version\n\n"
         "One tqlog runs per data root; a second one brings the first forward.\n"
         "Qt's own options (-platform linuxfb, ...) are accepted as well.\n";
}

}  // namespace

int RunLogger(int argc, char** argv) {
  // Before the window layer: neither the usage nor a mistake needs a display.
  const LoggerArguments args = ReadLoggerArguments(std::vector<std::string_view>(argv + 1, argv + argc));
  if (args.kind) Build().InstrumentKind = *args.kind;
  if (args.help) {
    std::fputs(HelpText().c_str(), stdout);
    return kExitHelp;
  }
  if (args.version) {
    std::printf("tqlog %s\n", TQ_VERSION);
    return kExitHelp;
  }
  if (!args.unknown.empty()) {
    std::fprintf(stderr, "tqlog: unknown argument \"%s\" (see tqlog --help)\n%s\n", args.unknown.c_str(),
                 kUsage);
    return kExitUsage;
  }
  if (args.root) SetDataRoot(*args.root);
  if (args.ports) return ShowPorts();
  if (args.port) {
    std::optional<PortAssignment> assignment = ReadPortAssignment(*args.port);
    if (!assignment) {
      std::fprintf(stderr, "tqlog: --port takes COMn=DEVICE (or COMn= to remove the link), not \"%s\"\n",
                   args.port->c_str());
      return kExitUsage;
    }
    return AssignPort(*assignment);
  }
  // Without one the toolkit would abort with a list of its plugins.
  if (!DisplayReachable(args.platform_named, std::getenv("QT_QPA_PLATFORM"), std::getenv("DISPLAY"),
                        std::getenv("WAYLAND_DISPLAY"))) {
    std::fprintf(stderr, "%s\n", kNoDisplayText.data());
    return kExitNoDisplay;
  }
  if (!StartWindowing(argc, argv)) {
    std::fprintf(stderr, "tqlog: no display could be opened\n");
    return kExitMainWindow;
  }
  if (!ClaimSingleInstance(kMainWindowClass)) return kExitSecondInstance;
  if (!RegisterMainWindowClass()) return kExitMainClass;
  if (!RegisterChildWindowClasses()) return kExitChildClasses;
  Shell.ChooseColorFn = IsColorPickerAvailable() ? &ChooseColor : nullptr;
  if (CreateMainWindow() == nullptr) return kExitMainWindow;
  return RunMessageLoop();
}

}  // namespace tq
