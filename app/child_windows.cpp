#include "app/child_windows.h"

#include "app/monitor_gps_window.h"
#include "logging/logging_window.h"
#include "viewer/view_files_wnd.h"

namespace tq {

bool RegisterChildWindowClasses() {
  return RegisterMonitorGpsWindowClass() && RegisterLoggingWindowClass() &&
         RegisterViewFilesWindowClass();
}

}  // namespace tq
