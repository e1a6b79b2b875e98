// The main window: the title page, the button column, and what the buttons
// start. Its creation builds the layout, the hidden full-screen children and
// the buttons, starts the KeepAwake thread and loads the settings.
// User-interface thread only.
#pragma once

#include "platform/messages.h"
#include "platform/window_types.h"

namespace tq {

inline constexpr const char* kMainWindowClass = "TQ81";
inline constexpr const char* kMainWindowTitle = "TQ62";

// Registers "TQ81"; false when it cannot (the name is taken).
bool RegisterMainWindowClass();

// Creates the main window at (0, 0) with the given client size (by default
// the screen's), then fits it to the screen of its orientation and paints
// it. Null when the window or one of its children could not be created.
WindowHandle CreateMainWindow(int width = CW_USEDEFAULT, int height = CW_USEDEFAULT);

}  // namespace tq
