#include "app/main_window.h"

#include <array>
#include <string>
#include <thread>

#include "acquisition/readers.h"
#include "acquisition/serial_ports.h"
#include "app/dialog_choice.h"
#include "app/logging_run.h"
#include "app/main_commands.h"
#include "app/monitor_gps_window.h"
#include "shell/screen_layout.h"
#include "shell/shell_state.h"
#include "platform/clock.h"
#include "platform/controls.h"
#include "platform/dialogs.h"
#include "platform/drawing.h"
#include "platform/shell.h"
#include "platform/window.h"
#include "logging/run_state.h"
#include "settings/settings.h"
#include "setup/setup_dialogs.h"
#include "survey/record_layout.h"

namespace tq {
namespace {

constexpr int32_t kLineGap = 0;
constexpr uint32_t kExitWaitMs = 100;

// Runs for the program's life; stopped when KeepAlive drops.
std::jthread g_keep_awake;

void StopKeepAwake() {
  Shell.KeepAlive = 0;
  g_keep_awake.request_stop();
  if (g_keep_awake.joinable()) g_keep_awake.join();
}

void ApplyScreenLayout(const ScreenLayout& layout) {
  Shell.Portrait = layout.Portrait;
  Shell.ScreenWidth = layout.ScreenWidth;
  Shell.ScreenHeight = layout.ScreenHeight;
  Shell.PlotBottom = layout.PlotBottom;
}

ScreenLayout LayoutOfClient(WindowHandle window, int command_bar_height) {
  Rect client = GetClientRect(window);
  return ScreenLayoutFor(PortraitFor(client.Width(), client.Height() - command_bar_height));
}

// The operator is told, and the program ends: its clock cannot be trusted.
void StopProgram(WindowHandle window) {
  MessageBox(window, ProgramStopText(), kProgramStopCaption, MB_OK | MB_ICONEXCLAMATION);
  DestroyWindow(window);
}

// Every setup dialog is wrapped so: the input panel for typing, and the
// full screen again afterwards.
template <typename Run>
auto AroundSetupDialog(WindowHandle owner, Run run) {
  ShowInputPanelButton(true);
  auto result = run();
  ShowInputPanelButton(false);
  HideTaskBarFor(owner);
  return result;
}

void MoveDefaultButton(int32_t to) {
  SetButtonDefault(Shell.Buttons[static_cast<size_t>(Shell.DefaultButton)], false);
  Shell.DefaultButton = to;
  SetButtonDefault(Shell.Buttons[static_cast<size_t>(to)], true);
}

void MonitorGpsOutput(WindowHandle window) {
  if (Settings.GpsInput == 1 && !Ports.gps.port) {
    std::string error;
    Ports.gps.port = OpenGpsPort(Settings, &error);
    if (!Ports.gps.port) ShowPortMessage(window, GpsOpenFailure(error));
  }
  StartGpsMonitorReader(Shell.MonitorGpsWindow);
  ShowMonitorGpsWindow(Shell.MonitorGpsWindow);
}

void RepaintAfterAction(WindowHandle window) {
  ShowInputPanelButton(false);
  InvalidateRect(window, nullptr, true);
  UpdateWindow(window);
}

void RunAction(WindowHandle window, MainAction action) {
  const BuildConfig& build = Build();
  switch (action) {
    case MainAction::kMonitorLog:
      if (UptimeExceededAt(Tick())) {
        StopProgram(window);
        return;
      }
      // A run opens the GPS port for its own reader; the monitor's must be gone.
      if (IsWindowVisible(Shell.MonitorGpsWindow)) StopGpsMonitor(Shell.MonitorGpsWindow);
      StartLoggingRun(window, Shell.LoggingWindow);
      break;
    case MainAction::kSurveySetup: {
      std::string name = SurveySetupTemplate(build, Shell.Portrait);
      if (!name.empty()) {
        AroundSetupDialog(window, [&] { return RunSurveySetupDialog(window, name, Logging.group); });
      }
      break;
    }
    case MainAction::kLoggerSetup:
      AroundSetupDialog(window, [&] { return RunLoggerSetupDialog(window, LoggerSetupTemplate(build)); });
      RepaintAfterAction(window);
      SetFocus(window);
      return;
    case MainAction::kGpsPortSetup:
      if (AroundSetupDialog(window, [&] { return RunGpsPortSetupDialog(window, GpsPortSetupTemplate()); }) ==
          kGpsPortMonitor) {
        MonitorGpsOutput(window);
        // The monitor keeps the screen and the keys.
        ShowInputPanelButton(false);
        return;
      }
      break;
    case MainAction::kDisplayOptions:
      AroundSetupDialog(window, [&] { return RunDisplayOptionsDialog(window, DisplayOptionsTemplate(build)); });
      break;
    case MainAction::kViewFiles:
      ShowWindow(Shell.ViewFilesWindow, SW_SHOW);
      SetFocus(Shell.ViewFilesWindow);
      return;
    case MainAction::kExit:
      ShowInputPanelButton(true);
      StopKeepAwake();
      WaitMs(kExitWaitMs);
      SendMessage(window, WM_CLOSE);
      return;
    case MainAction::kNone:
      return;
  }
  RepaintAfterAction(window);
}

void DrawTitlePage(DcHandle dc, const TitlePage& page) {
  FillRect(dc, page.grey_panel, CreateSolidBrush(kTitleGrey));
  SelectPen(dc, CreatePen(PS_SOLID, kTitleBarWidth, kTitleBlack));
  MoveTo(dc, page.bar_x, 0);
  LineTo(dc, page.bar_x, page.bar_height);
  SelectPen(dc, CreatePen(PS_SOLID, 1, kTitleDarkGrey));
  for (const std::vector<Point>& line : page.dark_lines) Polyline(dc, line);
  SelectBrush(dc, CreateSolidBrush(kTitleDarkGrey));
  for (Point at : page.circles) {
    Ellipse(dc, at.x, at.y, at.x + kTitleCircleSize, at.y + kTitleCircleSize);
  }
  SetBkMode(dc, TRANSPARENT);
  TextOut(dc, page.version_at.x, page.version_at.y, page.version);
  for (const TitleBitmap& bitmap : page.bitmaps) {
    if (BitmapHandle handle = LoadBitmap(bitmap.name)) DrawBitmap(dc, bitmap.at.x, bitmap.at.y, handle);
  }
}

bool CreateButtons(WindowHandle window) {
  bool all = true;
  for (int i = 0; i < kMainButtonCount; ++i) {
    Rect r = MainButtonRect(i, Shell.Portrait);
    WindowHandle button =
        CreateWindow("BUTTON", MainButtonText(i), WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON,
                     r.left, r.top, r.Width(), r.Height(), window, kMainButtonFirstId + i);
    Shell.Buttons[static_cast<size_t>(i)] = button;
    all = all && button != nullptr;
  }
  return all;
}

WindowHandle CreateFullScreenChild(WindowHandle window, const char* class_name, const char* title,
                                   int id) {
  return CreateWindow(class_name, title, WS_CHILD, 0, 0, Shell.ScreenWidth, Shell.ScreenHeight,
                      window, id);
}

intptr_t OnCreate(WindowHandle window, uint32_t, uintptr_t, intptr_t) {
  const BuildConfig& build = Build();
  Shell.MainWindow = window;
  ApplyScreenLayout(LayoutOfClient(window, 0));
  ShowInputPanelButton(false);
  Shell.RecordLength = static_cast<int32_t>(build.InstrumentKind == kKindTq68Mk2 ? kLongRecordLength
                                                                                 : kShortRecordLength);
  Shell.UptimeExceeded = UptimeExceededAt(Tick()) ? 1 : 0;
  // The portrait keypad has no free key for pausing but Enter.
  if (build.InstrumentKind == kKindTq68Mk2 && Shell.Portrait == 1) Settings.PauseKey = 2;

  Shell.NormalFont = CreateFont(14, FW_NORMAL);
  Shell.BoldFont = CreateFont(14, FW_BOLD);
  DcHandle dc = GetDC(window);
  TextMetrics metrics = GetTextMetrics(dc);
  ReleaseDC(window, dc);
  Shell.TextHeight = metrics.height;
  Shell.TextAveWidth = metrics.ave_char_width;
  PlotLayout plot = PlotLayoutFor(Shell.Portrait, Shell.PlotBottom, Shell.TextHeight, kLineGap);
  Shell.PlotLeft = plot.PlotLeft;
  Shell.PlotTop = plot.PlotTop;
  Shell.PlotRight = plot.PlotRight;
  Settings.PlotHeight = plot.PlotHeight;

  // Siblings made later lie on top: the buttons come first so that the
  // full-screen children cover them when shown.
  bool buttons = CreateButtons(window);
  Shell.LoggingWindow = CreateFullScreenChild(window, "LoggingWnd", "Logging", kLoggingWindowId);
  Shell.MonitorGpsWindow =
      CreateFullScreenChild(window, "MonitorGPSWnd", "Monitor GPS", kMonitorGpsWindowId);
  Shell.ViewFilesWindow = CreateFullScreenChild(window, "ViewFilesWnd", "View Files", kViewFilesWindowId);
  if (!buttons || Shell.LoggingWindow == nullptr || Shell.MonitorGpsWindow == nullptr ||
      Shell.ViewFilesWindow == nullptr) {
    return -1;
  }

  SetButtonDefault(Shell.Buttons[static_cast<size_t>(Shell.DefaultButton)], true);
  Shell.KeepAlive = 1;
  g_keep_awake = std::jthread(KeepAwake);

  UpdateReadingTiming(Settings, build);
  ApplyKindDefaults(Settings, build);
  LoadSettings(Settings, build);
  return 0;
}

intptr_t OnSize(WindowHandle window, uint32_t, uintptr_t, intptr_t) {
  ApplyScreenLayout(LayoutOfClient(window, CommandBarHeight(window)));
  for (WindowHandle child : {Shell.LoggingWindow, Shell.MonitorGpsWindow, Shell.ViewFilesWindow}) {
    if (child != nullptr) SetWindowPos(child, 0, 0, Shell.ScreenWidth, Shell.ScreenHeight, SWP_NOZORDER);
  }
  return 0;
}

intptr_t OnDestroy(WindowHandle, uint32_t, uintptr_t, intptr_t) {
  ShowTaskBar(true);
  // Whatever still reads a port is stopped before the program ends.
  if (Shell.LoggingActive == 1) StopLoggingRun(Shell.LoggingWindow);
  CloseRunPorts(Ports, nullptr, nullptr);
  StopKeepAwake();
  PostQuitMessage(0);
  return 0;
}

intptr_t OnCommandOrKey(WindowHandle window, uint32_t, uintptr_t wparam, intptr_t) {
  MainCommand command = ResolveMainCommand(wparam, Shell.LoggingActive, Shell.DefaultButton);
  if (command.DefaultButton != Shell.DefaultButton) MoveDefaultButton(command.DefaultButton);
  RunAction(window, command.action);
  return 0;
}

intptr_t OnPaint(WindowHandle window, uint32_t, uintptr_t, intptr_t) {
  PaintInfo paint;
  if (DcHandle dc = BeginPaint(window, &paint)) {
    DrawTitlePage(dc, DescribeTitlePage(Build(), Shell.Portrait));
    EndPaint(window, paint);
  }
  SetFocus(window);
  ShowTaskBar(false);
  if (Shell.UptimeExceeded == 1) StopProgram(window);
  return 0;
}

constexpr std::array<MessageEntry, 6> kMainMessages = {{
    {WM_CREATE, OnCreate},
    {WM_SIZE, OnSize},
    {WM_DESTROY, OnDestroy},
    {WM_COMMAND, OnCommandOrKey},
    {WM_KEYDOWN, OnCommandOrKey},
    {WM_PAINT, OnPaint},
}};

// Held, these walk the highlight down or up the button column.
constexpr int kMainRepeatingKeys[] = {VK_TAB, VK_LEFT, VK_UP, VK_RIGHT, VK_DOWN};

}  // namespace

bool RegisterMainWindowClass() {
  return RegisterClass(
      WindowClass{kMainWindowClass, kMainMessages, kLightGrayBrush.color, true, kMainRepeatingKeys});
}

WindowHandle CreateMainWindow(int width, int height) {
  ShowInputPanelButton(false);
  WindowHandle window = CreateWindow(kMainWindowClass, kMainWindowTitle, WS_VISIBLE, CW_USEDEFAULT,
                                     CW_USEDEFAULT, width, height, nullptr, 0);
  if (window == nullptr) return nullptr;
  ApplyScreenLayout(LayoutOfClient(window, 0));
  MoveWindow(window, 0, 0, Shell.ScreenWidth, Shell.ScreenHeight);
  UpdateWindow(window);
  return window;
}

}  // namespace tq
