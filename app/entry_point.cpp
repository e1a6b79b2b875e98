#include "app/entry_point.h"

#include <cstdio>

#include "app/child_windows.h"
#include "app/main_window.h"
#include "app/shell_state.h"
#include "platform/dialogs.h"
#include "platform/shell.h"
#include "platform/window.h"

namespace tq {

int RunLogger(int argc, char** argv) {
  if (!StartWindowing(argc, argv)) {
    std::fprintf(stderr, "tqlog: no display could be opened\n");
    return kExitMainWindow;
  }
  if (argc > 1) {
    std::fprintf(stderr, "tqlog: unknown argument \"%s\"\nusage: tqlog [--root DIR] [--landscape] [--scale N]\n",
                 argv[1]);
    return kExitUsage;
  }
  if (!ClaimSingleInstance(kMainWindowClass)) return kExitSecondInstance;
  if (!RegisterMainWindowClass()) return kExitMainClass;
  if (!RegisterChildWindowClasses()) return kExitChildClasses;
  Shell.ChooseColorFn = IsColorPickerAvailable() ? &ChooseColor : nullptr;
  if (CreateMainWindow() == nullptr) return kExitMainWindow;
  return RunMessageLoop();
}

}  // namespace tq
