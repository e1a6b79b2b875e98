// The Monitor GPS window ("MonitorGPSWnd"): the raw lines of the GPS
// receiver in a list, Go and Pause, a command line sent to the receiver, and
// Exit. User-interface thread only.
#pragma once

#include "platform/messages.h"

namespace tq {

// Registers "MonitorGPSWnd"; false when the name is taken.
bool RegisterMonitorGpsWindowClass();

// Starts the monitor reader on the open GPS port (Ports.gps) for `window`,
// running; nothing when no port is open or a reader already runs.
void StartGpsMonitorReader(WindowHandle window);

// Ends the monitor as its Exit does: closes the GPS port, ends the reader
// (also a paused one), leaves the monitor running for the next showing and
// hides `window`. Harmless when nothing runs.
void StopGpsMonitor(WindowHandle window);

// Shows the window with the focus.
void ShowMonitorGpsWindow(WindowHandle window);

}  // namespace tq
