// The main window's full-screen children: the logging window, the Monitor
// GPS window and the file viewer. Their classes are registered here with the
// handling each has so far: they show a light grey screen and take the
// messages posted to them.
#pragma once

namespace tq {

// Registers "MonitorGPSWnd", "LoggingWnd" and "ViewFilesWnd" in that order;
// false at the first that cannot be registered.
bool RegisterChildWindowClasses();

}  // namespace tq
