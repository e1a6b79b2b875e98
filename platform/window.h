// Windows and messages.
//
// Every window belongs to a class registered with a fixed table of (message,
// handler) pairs; its procedure scans the table and passes any other message
// to DefWindowProc. All of this runs on the user-interface thread, the thread
// that called StartWindowing. From other threads only PostMessage
// (messages.h), InvalidateRect, UpdateWindow and SendMessage may be used:
// they are queued for the user-interface thread and arrive in posting order.
//
// Handles stay valid for the whole run: a destroyed window refuses what is
// posted to it and makes every function here return its failure value.
#pragma once

#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <string_view>

#include "platform/messages.h"
#include "platform/window_types.h"

namespace tq {

// What a window class's table entry calls; returns the message's result.
using MessageHandler = intptr_t (*)(WindowHandle window, uint32_t message, uintptr_t wparam,
                                    intptr_t lparam);

struct MessageEntry {
  uint32_t message = 0;
  MessageHandler handler = nullptr;
};

struct WindowClass {
  std::string_view name;
  std::span<const MessageEntry> messages;  // a table that lives for the whole run
  ColorRef background = Rgb(255, 255, 255);
  bool has_background = true;  // false: BeginPaint never erases
  // The keys (VK_ codes) whose repeats, while one is held down, reach the
  // window as further WM_KEYDOWN and WM_CHAR messages. Any other held key is
  // one press: a command must not run again for every repeat the keyboard
  // sends. A table that lives for the whole run.
  std::span<const int> repeating_keys = {};
};

// Creates the application (display, screen font, look). Takes the layer's own
// options out of argv: "--scale N" (show N times larger), "--landscape"
// (a 320x240 screen instead of 240x320), "--full-screen" (the main window
// takes the whole display, at the largest whole scale that fits on it),
// "--root DIR" (data root), the hidden "--screenshot FILE" (saves the first
// painted top-level window with its controls as a PNG file, for scripts and
// documentation), and Qt's own ("-platform linuxfb"). False when no display
// could be opened.
bool StartWindowing(int& argc, char** argv);
bool IsWindowingStarted();

// Screen size in pixels (SM_CXSCREEN, SM_CYSCREEN); 0 for other indexes.
int GetSystemMetrics(int index);

// Registers a class; false when the name is taken or the table is empty.
bool RegisterClass(const WindowClass& window_class);
bool UnregisterClass(std::string_view name);

// The default handling: WM_CLOSE destroys the window, WM_PAINT validates it.
intptr_t DefWindowProc(WindowHandle window, uint32_t message, uintptr_t wparam, intptr_t lparam);

// Creates a window of a registered class or a control ("BUTTON", "STATIC",
// "EDIT", "COMBOBOX", "LISTBOX"). Sends WM_CREATE (a result of -1 fails the
// creation) and WM_SIZE; shows it when `style` has WS_VISIBLE. A window
// without a parent is top-level; CW_USEDEFAULT places it at (0, 0) with the
// screen's size. Returns null on failure.
WindowHandle CreateWindow(std::string_view class_name, std::string_view text, uint32_t style,
                          int x, int y, int width, int height, WindowHandle parent, int id);

// Sends WM_DESTROY to the window and then to its children, and removes them.
bool DestroyWindow(WindowHandle window);
// True while the window exists.
bool IsWindow(WindowHandle window);

// SW_SHOW or SW_HIDE; showing a hidden window invalidates it. Returns whether
// it was visible before.
bool ShowWindow(WindowHandle window, int command);
bool IsWindowVisible(WindowHandle window);
// Returns whether it was disabled before.
bool EnableWindow(WindowHandle window, bool enable);
bool IsWindowEnabled(WindowHandle window);

// Moves and sizes in the parent's client coordinates; sends WM_SIZE when the
// size changes.
bool MoveWindow(WindowHandle window, int x, int y, int width, int height, bool repaint = true);
bool SetWindowPos(WindowHandle window, int x, int y, int width, int height, uint32_t flags);
// (0, 0, width, height) of the area inside the border; empty on failure.
Rect GetClientRect(WindowHandle window);
// The window's rectangle in its parent's client coordinates.
Rect GetWindowRect(WindowHandle window);

WindowHandle GetParent(WindowHandle window);
// The child with control id `id`; null when there is none.
WindowHandle GetDlgItem(WindowHandle window, int id);
// The control id given at creation; 0 on failure.
int GetDlgCtrlID(WindowHandle window);

// Title of a top-level window or dialog, text of a control.
bool SetWindowText(WindowHandle window, std::string_view text);
std::string GetWindowText(WindowHandle window);

// Gives the keyboard focus; returns the window that had it (or null).
WindowHandle SetFocus(WindowHandle window);
WindowHandle GetFocus();
bool SetForegroundWindow(WindowHandle window);

// The first top-level window, dialog or message box of this program whose
// class and title match; an empty argument matches anything. Null when none.
WindowHandle FindWindow(std::string_view class_name, std::string_view title);

// Calls the window's procedure and returns its result; from another thread it
// waits until the user-interface thread has handled it. 0 on failure.
intptr_t SendMessage(WindowHandle window, uint32_t message, uintptr_t wparam = 0,
                     intptr_t lparam = 0);

// Starts (or restarts) timer `id`: WM_TIMER with wparam `id` every
// `period_ms`; at most one is waiting at a time. Returns `id`, 0 on failure.
uintptr_t SetTimer(WindowHandle window, uintptr_t id, uint32_t period_ms);
// Stops the timer; a WM_TIMER of it that is still waiting is dropped.
bool KillTimer(WindowHandle window, uintptr_t id);

// Adds `rect` (null: the whole client area) to the area WM_PAINT must redraw;
// `erase` makes BeginPaint fill it with the class background first. WM_PAINT
// comes once nothing else is waiting.
bool InvalidateRect(WindowHandle window, const Rect* rect, bool erase);
// Sends WM_PAINT now when part of the window is invalid.
bool UpdateWindow(WindowHandle window);

// Runs the message loop until PostQuitMessage; returns its code.
int RunMessageLoop();
// Ends the message loop, and any modal loop running inside it, with `code`.
void PostQuitMessage(int code);

// Handles messages until `done` returns true or `timeout_ms` passed; returns
// the last value of `done`. For tests and for waits that must keep windows
// alive.
bool RunMessagesUntil(const std::function<bool()>& done, int timeout_ms);
// Handles everything that is waiting now, without blocking.
void ProcessPendingMessages();

}  // namespace tq
