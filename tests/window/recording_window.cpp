#include "tests/window/recording_window.h"

#include "platform/drawing.h"

namespace tq::test {
namespace {

std::function<void(WindowHandle)>& PaintHandler() {
  static std::function<void(WindowHandle)> handler;
  return handler;
}

std::vector<WindowHandle>& Made() {
  static std::vector<WindowHandle> windows;
  return windows;
}

intptr_t Record(WindowHandle window, uint32_t message, uintptr_t wparam, intptr_t lparam) {
  RecordedMessages().push_back(Recorded{window, message, wparam, lparam, std::this_thread::get_id()});
  if (message == WM_USER + 11) return static_cast<intptr_t>(wparam * 2);
  if (message == WM_PAINT) {
    if (PaintHandler()) {
      PaintHandler()(window);
    } else {
      return DefWindowProc(window, message, wparam, lparam);
    }
  }
  return 0;
}

constexpr MessageEntry kTable[] = {
    {WM_CREATE, Record},     {WM_SIZE, Record},        {WM_PAINT, Record},       {WM_COMMAND, Record},
    {WM_TIMER, Record},      {WM_KEYDOWN, Record},     {WM_KEYUP, Record},       {WM_CHAR, Record},
    {WM_LBUTTONDOWN, Record}, {WM_LBUTTONUP, Record},  {WM_DRAWITEM, Record},    {WM_DESTROY, Record},
    {WM_TEST_READING, Record}, {WM_USER + 11, Record},
};

}  // namespace

std::vector<Recorded>& RecordedMessages() {
  static std::vector<Recorded> messages;
  return messages;
}

std::vector<Recorded> RecordedOf(uint32_t message) {
  std::vector<Recorded> out;
  for (const Recorded& r : RecordedMessages()) {
    if (r.message == message) out.push_back(r);
  }
  return out;
}

void SetPaintHandler(std::function<void(WindowHandle)> handler) { PaintHandler() = std::move(handler); }

WindowHandle CreateRecordingWindow(int width, int height, WindowHandle parent, int id, uint32_t extra_style) {
  RegisterClass(WindowClass{"RecorderWnd", kTable, Rgb(255, 255, 255), true});
  RecordedMessages().clear();
  uint32_t style = WS_VISIBLE | extra_style | (parent ? WS_CHILD : 0);
  WindowHandle w = CreateWindow("RecorderWnd", "Recorder", style, 0, 0, width, height, parent, id);
  if (w != nullptr) Made().push_back(w);
  return w;
}

void DestroyTestWindows() {
  for (WindowHandle w : Made()) DestroyWindow(w);
  Made().clear();
  PaintHandler() = nullptr;
  ProcessPendingMessages();
}

}  // namespace tq::test
