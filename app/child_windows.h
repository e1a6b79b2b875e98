// The main window's full-screen children: the logging window, the Monitor
// GPS window and the file viewer. Their classes are registered here: the
// logging and Monitor GPS windows with the handling they have so far (a
// light grey screen that takes the messages posted to them), the viewer
// with its own (viewer/view_files_wnd.h).
#pragma once

namespace tq {

// Registers "MonitorGPSWnd", "LoggingWnd" and "ViewFilesWnd" in that order;
// false at the first that cannot be registered.
bool RegisterChildWindowClasses();

}  // namespace tq
