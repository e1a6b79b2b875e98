// The logging window ("LoggingWnd"): the screen of a logging run. It owns the
// run from the moment the main window shows it: the three run states, the
// button rows and keys, the entry dialogs, the reading messages (decoded,
// written and drawn), the connection watchdog and the end of the run.
// User-interface thread only.
#pragma once

#include "platform/messages.h"

namespace tq {

// Registers "LoggingWnd" (and the live profile's class); false when it cannot.
bool RegisterLoggingWindowClass();

// Before the window is shown for a new run: the Monitor state, its button
// row shown and the first button highlighted, the other rows hidden.
void PrepareLoggingWindow(WindowHandle window);

// Ends the logging run: unless `quiet`, asks "Exit Logging?" first when a
// file is open (any answer but Yes keeps the run as it was); closes the data
// file (flushed to storage), the ports and their readers, stops the
// watchdog unless `quiet`, and hides the window in the Monitor state.
void EndLoggingRun(bool quiet);

}  // namespace tq
