// The main window's full-screen children: the logging window, the Monitor
// GPS window and the file viewer. The viewer shows a light grey screen and
// takes the messages posted to it, so far.
#pragma once

namespace tq {

// Registers "MonitorGPSWnd", "LoggingWnd" and "ViewFilesWnd" in that order;
// false at the first that cannot be registered.
bool RegisterChildWindowClasses();

}  // namespace tq
