#include "app/child_windows.h"

#include <array>

#include "platform/drawing.h"
#include "platform/window.h"
#include "viewer/view_files_wnd.h"

namespace tq {
namespace {

intptr_t OnChildCreate(WindowHandle, uint32_t, uintptr_t, intptr_t) { return 0; }

constexpr std::array<MessageEntry, 1> kChildMessages = {{{WM_CREATE, OnChildCreate}}};

constexpr const char* kChildClasses[] = {"MonitorGPSWnd", "LoggingWnd"};

}  // namespace

bool RegisterChildWindowClasses() {
  for (const char* name : kChildClasses) {
    WindowClass window_class{name, kChildMessages, kLightGrayBrush.color, true};
    if (!RegisterClass(window_class)) return false;
  }
  return RegisterViewFilesWindowClass();
}

}  // namespace tq
