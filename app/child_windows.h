// The main window's full-screen children: the logging window, the Monitor
// GPS window and the file viewer, each registered with its own handling.
#pragma once

namespace tq {

// Registers "MonitorGPSWnd", "LoggingWnd" and "ViewFilesWnd" in that order;
// false at the first that cannot be registered.
bool RegisterChildWindowClasses();

}  // namespace tq
