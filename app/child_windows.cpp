#include "app/child_windows.h"

#include <array>

#include "app/monitor_gps_window.h"
#include "logging/logging_window.h"
#include "platform/drawing.h"
#include "platform/window.h"

namespace tq {
namespace {

intptr_t OnChildCreate(WindowHandle, uint32_t, uintptr_t, intptr_t) { return 0; }

constexpr std::array<MessageEntry, 1> kChildMessages = {{{WM_CREATE, OnChildCreate}}};

bool RegisterPlainChild(const char* name) {
  return RegisterClass(WindowClass{name, kChildMessages, kLightGrayBrush.color, true});
}

}  // namespace

bool RegisterChildWindowClasses() {
  return RegisterMonitorGpsWindowClass() && RegisterLoggingWindowClass() &&
         RegisterPlainChild("ViewFilesWnd");
}

}  // namespace tq
