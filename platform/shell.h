// The handheld shell: task bar, input-panel button, full-screen windows, the
// command bar, and a single running instance.
//
// A desktop has no task bar or input panel of the handheld's kind, so those
// calls only remember what was asked (for the tests of the windows that make
// them). User-interface thread only.
#pragma once

#include <cstdint>
#include <string_view>

#include "platform/messages.h"

namespace tq {

inline constexpr uint32_t SHFS_SHOWTASKBAR = 0x1;
inline constexpr uint32_t SHFS_HIDETASKBAR = 0x2;
inline constexpr uint32_t SHFS_SHOWSIPBUTTON = 0x4;
inline constexpr uint32_t SHFS_HIDESIPBUTTON = 0x8;

// Asks the shell to show `window` full-screen; the SHFS_ flags hide or show
// the task bar and input-panel button as well. False for an invalid window.
bool RequestFullScreen(WindowHandle window, uint32_t flags);

void ShowTaskBar(bool show);
bool IsTaskBarShown();
void ShowSipButton(bool show);
bool IsSipButtonShown();

// Height of a command bar child of `window`; a desktop has none, so 0.
int CommandBarHeight(WindowHandle window);

// Makes this process the one that answers to `name` (a window class) for the
// current data root: it holds <root>/run/<NAME>.lock locked until it ends.
// False when another process holds it (also one started at the same moment,
// or on the same root through another path); that one has then been asked to
// bring its window forward.
bool ClaimSingleInstance(std::string_view name);

}  // namespace tq
