// The main window's full-screen children: the logging window, the Monitor
// GPS window and the file viewer. The Monitor GPS window and the viewer show
// a light grey screen and take the messages posted to them, so far.
#pragma once

namespace tq {

// Registers "MonitorGPSWnd", "LoggingWnd" and "ViewFilesWnd" in that order;
// false at the first that cannot be registered.
bool RegisterChildWindowClasses();

}  // namespace tq
