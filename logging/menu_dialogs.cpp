#include "logging/menu_dialogs.h"

#include "shell/shell_state.h"
#include "plot/curve_wnd.h"
#include "plot/profile_scale.h"
#include "plot/scale_dialog.h"
#include "settings/settings.h"
#include "setup/display_options.h"
#include "setup/setup_dialogs.h"

namespace tq {

void RunScaleMenuCommand(WindowHandle owner) {
  const BuildConfig& build = Build();
  RunProfileScaleDialog(owner, ProfileScaleTemplate(build, Settings.IceOption, Shell.Portrait == 1));
  ClearProfileScroll();
}

void RunDisplayOptionsMenuCommand(WindowHandle owner) {
  RunDisplayOptionsDialog(owner, DisplayOptionsTemplate(Build()));
}

}  // namespace tq
