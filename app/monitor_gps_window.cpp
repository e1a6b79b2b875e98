#include "app/monitor_gps_window.h"

#include <array>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <thread>

#include "acquisition/acquisition_state.h"
#include "gps/gps_monitor_reader.h"
#include "acquisition/serial_ports.h"
#include "app/monitor_gps.h"
#include "shell/shell_state.h"
#include "platform/clock.h"
#include "platform/controls.h"
#include "platform/dialogs.h"
#include "platform/drawing.h"
#include "platform/threads.h"
#include "platform/text.h"
#include "platform/window.h"
#include "settings/settings.h"

namespace tq {
namespace {

constexpr int kFirstButtonId = 440;
constexpr int kListId = 222;
constexpr int kEditId = 452;
constexpr int kMessageField = 854;
constexpr const char* kDefaultMessage = "$PASHS,NME,SAT,A,ON";
// Settling waits around a command sent to the receiver.
constexpr uint32_t kPurgeWaitMs = 3;
constexpr uint32_t kWriteWaitMs = 6;

struct MonitorGpsState {
  int32_t running = 1;
  int32_t ring = 1;
  std::array<WindowHandle, 4> buttons{};
  WindowHandle list = nullptr;
  WindowHandle edit = nullptr;
  GpsMonitorFeed feed;
  SuspendGate pause;
};

MonitorGpsState Monitor;

Port* GpsPort() { return Ports.gps.port.get(); }

void MoveRing(int32_t to) {
  SetButtonState(Monitor.buttons[static_cast<size_t>(Monitor.ring)], false);
  Monitor.ring = to;
  SetButtonState(Monitor.buttons[static_cast<size_t>(to)], true);
}

void ShowButton(size_t index, bool show) {
  ShowWindow(Monitor.buttons[index], show ? SW_SHOW : SW_HIDE);
  EnableWindow(Monitor.buttons[index], show);
}

// "&Pause" in place of "&Go" while running, the reverse while paused.
void SetRunning(bool running) {
  Monitor.running = running ? 1 : 0;
  ShowButton(0, !running);
  ShowButton(1, running);
  MoveRing(MonitorRingAfter(Monitor.ring, running));
}

void Purge(bool transmit, bool receive) {
  if (Port* port = GpsPort()) {
    if (transmit) port->PurgeTransmit();
    if (receive) port->PurgeReceive();
  }
}

void Go() {
  Purge(true, true);
  Monitor.pause.Resume();
  SetRunning(true);
}

void Pause() {
  Monitor.pause.Suspend();
  Purge(true, true);
  SetRunning(false);
}

std::optional<std::string> AskMessage(WindowHandle window, const std::string& text) {
  auto chosen = std::make_shared<std::optional<std::string>>();
  OpenDialogTemplate("GETGPSMESSAGE", window,
                     [chosen, text](WindowHandle dialog, uint32_t message, uintptr_t wparam, intptr_t) -> intptr_t {
                       if (message == WM_INITDIALOG) {
                         SetDlgItemText(dialog, kMessageField, text);
                         return 1;
                       }
                       if (message != WM_COMMAND) return 0;
                       if (LOWORD(wparam) == IDOK) {
                         const std::string typed = GetDlgItemText(dialog, kMessageField);
                         if (std::optional<std::string> refused = CheckGpsMessage(typed)) {
                           RefuseDialogField(dialog, kMessageField, *refused);
                           return 1;
                         }
                         *chosen = CutGpsMessage(typed);
                         EndDialog(dialog, IDOK);
                       } else if (LOWORD(wparam) == IDCANCEL) {
                         EndDialog(dialog, IDCANCEL);
                       }
                       return 1;
                     });
  return *chosen;
}

void Send(WindowHandle window) {
  std::optional<std::string> message = AskMessage(window, GetWindowText(Monitor.edit));
  if (message) {
    SetWindowText(Monitor.edit, *message);
    // The receiver reads 8-bit characters, not the UTF-8 the window holds.
    const std::string line = GpsMessageBytes(*message);
    if (Monitor.running == 1) {
      Monitor.pause.Suspend();
      WaitMs(kPurgeWaitMs);
    }
    Purge(true, false);
    WaitMs(kPurgeWaitMs);
    Purge(false, true);
    WaitMs(kPurgeWaitMs);
    if (Port* port = GpsPort()) {
      port->Write(std::span(reinterpret_cast<const uint8_t*>(line.data()), line.size()));
    }
    WaitMs(kWriteWaitMs);
    Monitor.pause.Resume();
    SetRunning(true);
  }
  SetFocus(window);
}

void Exit(WindowHandle window) {
  StopGpsMonitor(window);
  if (Shell.MainWindow != nullptr) SetFocus(Shell.MainWindow);
}

void Run(WindowHandle window, MonitorCommand command) {
  if (command == MonitorCommand::kRunRing) command = static_cast<MonitorCommand>(Monitor.ring);
  switch (command) {
    case MonitorCommand::kGo: Go(); break;
    case MonitorCommand::kPause: Pause(); break;
    case MonitorCommand::kSend: Send(window); break;
    case MonitorCommand::kExit: Exit(window); break;
    case MonitorCommand::kNextRing: MoveRing(NextMonitorRing(Monitor.ring, Monitor.running == 1)); break;
    default: break;
  }
}

intptr_t OnCreate(WindowHandle window, uint32_t, uintptr_t, intptr_t) {
  const bool portrait = Shell.Portrait == 1;
  const int s = Shell.ScreenHeight;
  const int width = portrait ? 76 : 104;
  const std::array<int, 4> x = {2, 2, portrait ? 82 : 108, portrait ? 162 : 214};
  const std::array<const char*, 4> texts = {"&Go", "&Pause", "&Send", "E&xit"};
  Monitor.running = 1;
  for (size_t i = 0; i < Monitor.buttons.size(); ++i) {
    uint32_t style = WS_CHILD | BS_PUSHBUTTON | BS_CENTER | (i == 0 ? WS_DISABLED : WS_VISIBLE);
    Monitor.buttons[i] = CreateWindow("BUTTON", texts[i], style, x[i], s - 28, width, 24, window,
                                      kFirstButtonId + static_cast<int>(i));
    if (Monitor.buttons[i] == nullptr) return -1;
  }
  Monitor.list = CreateWindow("LISTBOX", "", WS_CHILD | WS_VISIBLE | WS_BORDER | WS_VSCROLL | LBS_EXTENDEDSEL, 2, 2,
                              portrait ? 236 : 316, portrait ? 260 : 178, window, kListId);
  Monitor.edit = CreateWindow("EDIT", kDefaultMessage, WS_CHILD | WS_VISIBLE | WS_BORDER | ES_AUTOHSCROLL, 2,
                              s - 54, portrait ? 236 : 316, 22, window, kEditId);
  if (Monitor.list == nullptr || Monitor.edit == nullptr) return -1;
  Monitor.ring = 1;
  SetButtonState(Monitor.buttons[1], true);
  return 0;
}

// Each repaint takes the keyboard back from the list or the edit a tap gave
// it to, or P and X would reach only those; never from a dialog or a box
// open over the window.
void TakeFocusBack(WindowHandle window) {
  if (!IsWindowVisible(window)) return;
  WindowHandle focus = GetFocus();
  if (focus == nullptr || focus == window || GetParent(focus) == window) SetFocus(window);
}

// Lines from the reader go to the list, the newest at the top of the view.
// A line is a repaint of the window, so it takes the focus back too.
intptr_t OnSentence(WindowHandle window, uint32_t, uintptr_t, intptr_t) {
  for (const std::string& line : Monitor.feed.TakeAll()) {
    if (Settings.GpsInput != 1) continue;
    // The receiver's bytes are 8-bit characters, as the data file keeps them.
    int index = AddListString(Monitor.list, WidenFrom8Bit(line));
    if (index == LB_ERR) continue;
    // The latest lines are kept, so a long watch cannot use up the memory.
    while (GetListCount(Monitor.list) > kMonitorListMax) {
      DeleteListString(Monitor.list, 0);
      --index;
    }
    SetListTopIndex(Monitor.list, index);
  }
  TakeFocusBack(window);
  return 0;
}

intptr_t OnPaint(WindowHandle window, uint32_t, uintptr_t, intptr_t) {
  PaintInfo paint;
  if (DcHandle dc = BeginPaint(window, &paint)) {
    SetBkMode(dc, TRANSPARENT);
    DrawText(dc, "  ", GetClientRect(window), DT_CENTER | DT_VCENTER | DT_SINGLELINE);
    EndPaint(window, paint);
  }
  TakeFocusBack(window);
  return 0;
}

intptr_t OnCommand(WindowHandle window, uint32_t, uintptr_t wparam, intptr_t) {
  int id = LOWORD(wparam) - kFirstButtonId;
  if (id >= 0 && id <= 3) Run(window, static_cast<MonitorCommand>(id));
  return 0;
}

intptr_t OnChar(WindowHandle window, uint32_t, uintptr_t character, intptr_t) {
  Run(window, MonitorCommandOfChar(character));
  return 0;
}

intptr_t OnSize(WindowHandle, uint32_t, uintptr_t, intptr_t) { return 0; }

constexpr std::array<MessageEntry, 6> kMonitorMessages = {{
    {WM_CREATE, OnCreate},
    {WM_PAINT, OnPaint},
    {WM_COMMAND, OnCommand},
    {WM_CHAR, OnChar},
    {WM_SIZE, OnSize},
    {WM_GPS_SENTENCE, OnSentence},
}};

}  // namespace

bool RegisterMonitorGpsWindowClass() {
  return RegisterClass(WindowClass{"MonitorGPSWnd", kMonitorMessages, kLightGrayBrush.color, true});
}

void StartGpsMonitorReader(WindowHandle window) {
  if (!Ports.gps.port || Ports.gps.reader.joinable()) return;
  Monitor.feed.TakeAll();
  Monitor.pause.Resume();
  if (Monitor.running == 0) SetRunning(true);
  Ports.gps.reader = std::thread(GpsMonitorReader,
                                 GpsMonitorContext{Ports.gps.port.get(), &Monitor.feed, &Monitor.pause, window, Tick()});
}

void StopGpsMonitor(WindowHandle window) {
  // The reader looks at its port between pauses, so closing it ends a paused
  // reader too.
  if (Ports.gps.port) Ports.gps.port->Close();
  Monitor.pause.Resume();
  if (Ports.gps.reader.joinable()) Ports.gps.reader.join();
  Ports.gps.port.reset();
  if (Monitor.running == 0) SetRunning(true);
  ShowWindow(window, SW_HIDE);
}

void ShowMonitorGpsWindow(WindowHandle window) {
  ShowWindow(window, SW_SHOW);
  SetFocus(window);
}

}  // namespace tq
