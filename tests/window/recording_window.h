// A window class for tests that records every message its table lists.
#pragma once

#include <cstdint>
#include <functional>
#include <thread>
#include <vector>

#include "platform/window.h"

namespace tq::test {

struct Recorded {
  WindowHandle window = nullptr;
  uint32_t message = 0;
  uintptr_t wparam = 0;
  intptr_t lparam = 0;
  std::thread::id thread;
};

inline constexpr uint32_t WM_TEST_READING = WM_USER + 10;  // 1034, as a reader posts

// Messages recorded so far, oldest first; cleared by each new window.
std::vector<Recorded>& RecordedMessages();
// Only the messages numbered `message`.
std::vector<Recorded> RecordedOf(uint32_t message);

// WM_USER + 11 answers wparam * 2, for SendMessage.
// Called for WM_PAINT instead of the default; null: BeginPaint/EndPaint only.
void SetPaintHandler(std::function<void(WindowHandle)> handler);

// A top-level (or child) window of class "RecorderWnd", white, visible.
WindowHandle CreateRecordingWindow(int width = 240, int height = 320, WindowHandle parent = nullptr,
                                   int id = 0, uint32_t extra_style = 0);

// Destroys every window the test made.
void DestroyTestWindows();

}  // namespace tq::test
