#include "logging/logging_window.h"

#include <array>
#include <optional>
#include <span>
#include <string>

#include "acquisition/acquisition_state.h"
#include "acquisition/serial_ports.h"
#include "shell/shell_state.h"
#include "gps/gps_fix.h"
#include "logging/calibration_window.h"
#include "logging/entry_dialogs.h"
#include "logging/gps_panel.h"
#include "logging/live_panel.h"
#include "logging/logging_commands.h"
#include "logging/menu_dialogs.h"
#include "logging/run_state.h"
#include "platform/clock.h"
#include "platform/controls.h"
#include "platform/dialogs.h"
#include "platform/drawing.h"
#include "platform/power.h"
#include "platform/window.h"
#include "plot/curve_wnd.h"
#include "settings/settings.h"
#include "survey/data_records.h"

namespace tq {
namespace {

// A warning stays over the reading values this long, so that it is read.
constexpr uint32_t kWarningHoldMs = 3000;
// MessageBeep type of a logged reading and of a warning.
constexpr uint32_t kReadingBeep = MB_ICONHAND;
constexpr uint32_t kWarningBeep = MB_ICONEXCLAMATION;
constexpr uint32_t kStartBeep = MB_OK;

constexpr int kMenuPortraitX = 20;
constexpr int kMenuLandscapeX = 220;
constexpr int kMenuY = 10;

bool Portrait() { return Shell.Portrait == 1; }
int32_t Kind() { return Build().InstrumentKind; }

// --- Button rows -------------------------------------------------------------

std::span<WindowHandle> VisibleRow() {
  switch (Logging.state) {
    case LoggingState::Monitor:
      return std::span(Logging.StandbyButtons).first(static_cast<size_t>(MonitorButtonCount(Kind())));
    case LoggingState::StandBy:
      return std::span(Logging.RunButtons);
    case LoggingState::Logging:
      break;
  }
  return {};
}

void ShowRow(std::span<WindowHandle> row, bool show) {
  for (WindowHandle button : row) {
    if (button != nullptr) ShowWindow(button, show ? SW_SHOW : SW_HIDE);
  }
}

void SetHighlight(std::span<WindowHandle> row, int32_t index, bool on) {
  if (index >= 0 && static_cast<size_t>(index) < row.size()) SetButtonDefault(row[static_cast<size_t>(index)], on);
}

void MoveHighlight(int32_t to) {
  std::span<WindowHandle> row = VisibleRow();
  SetHighlight(row, Logging.FocusIndex, false);
  Logging.FocusIndex = to;
  SetHighlight(row, to, true);
}

// The Stand By row with "&Go" highlighted.
void ShowRunButtons() {
  ShowRow(Logging.RunButtons, true);
  Logging.NavCount = kRunButtonCount;
  Logging.FocusIndex = 0;
  for (size_t i = 0; i < Logging.RunButtons.size(); ++i) SetHighlight(Logging.RunButtons, static_cast<int32_t>(i), i == 0);
}

WindowHandle MakeButton(WindowHandle window, std::string_view text, int x, int width, int id, bool visible) {
  uint32_t style = WS_CHILD | BS_PUSHBUTTON | (visible ? WS_VISIBLE : 0u);
  return CreateWindow("BUTTON", text, style, x, Shell.PlotBottom, width, ButtonRow{}.height, window, id);
}

// --- Panel ---------------------------------------------------------------------

const PanelLayout& Panel() { return PaintedPanelLayout(); }

void DrawState(WindowHandle window) { DrawPanelField(window, Panel().state, StateText(Logging.state)); }

void ClearMessage(WindowHandle window) {
  ClearPanelField(window, Panel().message);
  Logging.message = PanelMessage::kNone;
}

// A warning in the message field with a beep; logging goes on.
void ShowWarning(WindowHandle window, const std::string& text) {
  DrawPanelField(window, Panel().message, text);
  Logging.message = PanelMessage::kWarning;
  Logging.warning_shown_at = Tick();
  Logging.warning_held_by_calibration = false;
  MessageBeep(kWarningBeep);
}

// "Not saved: No space left on device" of "write: No space left on device".
void ShowFailure(WindowHandle window, std::string_view what, const std::string& error) {
  size_t colon = error.rfind(": ");
  std::string reason = colon == std::string::npos ? error : error.substr(colon + 2);
  ShowWarning(window, std::string(what) + ": " + reason);
}

void ShowWriteFailure(WindowHandle window, const WriteResult& result) {
  if (!result) ShowFailure(window, "Not saved", result.error);
}

bool WarningHeld() {
  if (Logging.message != PanelMessage::kWarning) return false;
  if (Logging.warning_held_by_calibration && Acquisition.CalibrationState.load() == -1) return true;
  return static_cast<uint32_t>(Tick() - Logging.warning_shown_at) < kWarningHoldMs;
}

void DrawLineAndStation(WindowHandle window) {
  DrawPanelField(window, Panel().line, Settings.SurveyLine);
  DrawPanelField(window, Panel().station, FormatStationText(Settings.CurrentStation).view());
}

void ClearReadingDisplay(WindowHandle window) {
  const PanelLayout& p = Panel();
  for (const PanelField* field : {&p.conductivity, &p.inphase, &p.conductivity2, &p.inphase2, &p.range,
                                  &p.thickness, &p.message}) {
    ClearPanelField(window, *field);
  }
}

// --- Live profile ----------------------------------------------------------------

// The profile repainted: grid first, then the traces of the current line from
// the file.
void RepaintProfile() {
  if (Logging.curve == nullptr) return;
  InvalidateRect(Logging.curve, nullptr, true);
  UpdateWindow(Logging.curve);
  RedrawProfileFromFile(Logging.curve, DataFileHandle);
}

void RepaintWindowAndProfile(WindowHandle window) {
  InvalidateRect(window, nullptr, true);
  UpdateWindow(window);
  RepaintProfile();
}

WindowHandle DialogOwner(WindowHandle window) { return Logging.curve != nullptr ? Logging.curve : window; }

// --- Actions -----------------------------------------------------------------------

void CreateFile(WindowHandle window) {
  DialogOutcome created = RunCreateFileDialog(window);
  if (!created.accepted) {
    InvalidateRect(window, nullptr, true);
    UpdateWindow(window);
    // Left in Monitor, the operator must see why no file was made (a full
    // card, a folder that could not be committed).
    if (!created.create_error.empty()) ShowFailure(window, "Not created", created.create_error);
    return;
  }
  if (DataFileHandle.IsOpen()) {
    DataFileCommits.Start(DataFileHandle, [window] { PostMessage(window, WM_STORAGE_FAILED); });
  }
  // The new file's line start says where its stations begin; the panel
  // counts from there, not from where the last file ended. A station set in
  // Monitor waited for this file: its record follows the line start, so
  // that readers of the file place the readings where the panel does.
  WriteResult station;
  if (Logging.station_before_file) {
    station = WriteStationRecord(DataFileHandle, Settings.CurrentStation);
    if (station) station = WriteTimeMark(DataFileHandle);
  } else {
    Settings.CurrentStation = Settings.StartStation;
  }
  Logging.station_before_file = false;
  Logging.group = StationGroup{};
  Logging.state = LoggingState::StandBy;
  DrawFileField(window, Logging.DataFileBaseName);
  DrawState(window);
  DrawLineAndStation(window);
  ShowRow(Logging.StandbyButtons, false);
  ShowRunButtons();
  ShowInputPanelButton(false);
  ShowWriteFailure(window, created.write_error.empty() ? station : WriteResult{false, created.write_error});
}

void StartLoggingNow(WindowHandle window) {
  const SettingsStore& s = Settings;
  Logging.state = LoggingState::Logging;
  DrawState(window);
  SetHighlight(Logging.RunButtons, Logging.FocusIndex, false);
  ShowRow(Logging.RunButtons, false);
  WindowHandle prompt = Logging.PauseButtons[static_cast<size_t>(PauseButtonIndex(s.PauseKey, s.SurveyMode))];
  ShowWindow(prompt, SW_SHOW);
  SetButtonDefault(prompt, true);
  if (s.SurveyMode != kSurveyModeManual) Settings.SurveyDialogMode = s.SurveyMode;
  Acquisition.FrameCounter = 0;
  // A marker key that was pressed before Go marks nothing of this run.
  Acquisition.SoftMarkerDown = 0;
  Logging.logging_since = Tick();
  StartLogging(CurrentRun.handlers);
  Acquisition.FramesPerReading = s.SurveyMode == kSurveyModeAuto ? s.FramesPerInterval : 1;
  MessageBeep(kStartBeep);
  GpsFix.Recording = 1;
  ClearProfileScroll();
  ForgetProfileLastPoints();
  ClearMessage(window);
  ShowWriteFailure(window, WriteNote(DataFileHandle, kNoteStarted, 'X'));
}

void PauseNow(WindowHandle window) {
  GpsFix.Recording = 0;
  WriteResult noted = WriteNote(DataFileHandle, kNotePaused, 'X');
  // Everything written so far goes to storage now, not when the system
  // gets round to it.
  WriteResult flushed = DataFileHandle.Flush();
  Logging.state = LoggingState::StandBy;
  DrawState(window);
  for (WindowHandle prompt : Logging.PauseButtons) {
    SetButtonDefault(prompt, false);
    ShowWindow(prompt, SW_HIDE);
  }
  ShowRunButtons();
  Acquisition.FramesPerReading = 1;
  Acquisition.FrameCounter = 0;
  if (Settings.SurveyMode == kSurveyModeWheel) Settings.SurveyDialogMode = 0;
  ShowWriteFailure(window, noted ? flushed : noted);
}

void NewLine(WindowHandle window) {
  ShowInputPanelButton(true);
  DialogOutcome outcome = RunNewLineDialog(DialogOwner(window));
  ShowInputPanelButton(false);
  if (!outcome.accepted) {
    RepaintProfile();
    return;
  }
  DrawLineAndStation(window);
  Logging.group.AdvanceArmed = 0;
  ForgetProfileLastPoints();
  WriteResult line = WriteLineStart(DataFileHandle, Settings, Kind(), Logging.PreviousMk2Offsets);
  WriteResult mark = WriteTimeMark(DataFileHandle);
  RepaintProfile();
  ShowWriteFailure(window, line ? mark : line);
  if (!outcome.write_error.empty()) ShowWarning(window, "Settings not saved");
}

void NewStation(WindowHandle window) {
  ShowInputPanelButton(true);
  DialogOutcome outcome =
      RunNewStationDialog(DialogOwner(window), NewStationTemplate(Build().StorageRoot, Portrait()));
  if (outcome.accepted) {
    ForgetProfileLastPoints();
    if (DataFileHandle.IsOpen()) {
      DrawPanelField(window, Panel().station, FormatStationText(Settings.CurrentStation).view());
    } else {
      Logging.station_before_file = true;
    }
  }
  RepaintProfile();
  if (!outcome.write_error.empty()) ShowWriteFailure(window, WriteResult{false, outcome.write_error});
}

void Comment(WindowHandle window) {
  ShowInputPanelButton(true);
  DialogOutcome outcome = RunCommentDialog(DialogOwner(window));
  ShowInputPanelButton(false);
  RepaintWindowAndProfile(window);
  if (!outcome.write_error.empty()) ShowWriteFailure(window, WriteResult{false, outcome.write_error});
}

void PopUpMenu(WindowHandle window) {
  int menu = Kind() == kKindTq68Mk2 ? kLoggingMenuMk2 : kLoggingMenu;
  if (Portrait()) {
    TrackPopupMenu(menu, TPM_LEFTALIGN, kMenuPortraitX, kMenuY, window);
  } else {
    TrackPopupMenu(menu, TPM_RIGHTALIGN, kMenuLandscapeX, kMenuY, window);
  }
  RepaintProfile();
}

// Every menu command ends so.
void AfterMenuCommand(WindowHandle window) {
  ShowInputPanelButton(false);
  RepaintProfile();
  SetFocus(window);
}

void RunAction(WindowHandle window, LoggingAction action) {
  switch (action) {
    case LoggingAction::kCreateFile: CreateFile(window); break;
    case LoggingAction::kStartLogging: StartLoggingNow(window); break;
    case LoggingAction::kPause: PauseNow(window); break;
    case LoggingAction::kNewLine: NewLine(window); break;
    case LoggingAction::kNewStation: NewStation(window); break;
    case LoggingAction::kComment: Comment(window); break;
    case LoggingAction::kMenu: PopUpMenu(window); break;
    case LoggingAction::kEndRun: EndLoggingRun(false); break;
    case LoggingAction::kScale:
      RunScaleMenuCommand(DialogOwner(window));
      AfterMenuCommand(window);
      break;
    case LoggingAction::kDisplayOptions:
      RunDisplayOptionsMenuCommand(window);
      AfterMenuCommand(window);
      break;
    case LoggingAction::kCalibrate:
      StartCalibration(window);
      AfterMenuCommand(window);
      break;
    case LoggingAction::kDeleteCalibration:
      if (!DeleteCalibration(window)) ShowWarning(window, "Calibration not saved");
      AfterMenuCommand(window);
      break;
    case LoggingAction::kNone: break;
  }
}

// --- Readings ----------------------------------------------------------------------

void DrawReadingTexts(WindowHandle window, const PanelUpdate& u) {
  const PanelLayout& p = Panel();
  bool values = u.conductivity.drawn() || u.inphase.drawn() || u.range.drawn();
  // The values take the row back from a passing message, not from a warning
  // that has yet to be read.
  if (values && Logging.message == PanelMessage::kTransient) ClearMessage(window);
  if (Logging.message == PanelMessage::kWarning && !WarningHeld()) ClearMessage(window);
  const bool row_free = !WarningHeld();
  struct Item {
    const FieldText& text;
    const PanelField& field;
    bool reading_row;  // shares the row with the message field
  };
  const Item items[] = {
      {u.instrument_mode, p.instrument_mode, false}, {u.dipole, p.dipole, false},
      {u.conductivity, p.conductivity, true},         {u.inphase, p.inphase, true},
      {u.conductivity2, p.conductivity2, !Portrait()}, {u.inphase2, p.inphase2, !Portrait()},
      {u.range, p.range, !Portrait()},                 {u.thickness, p.thickness, !Portrait()},
      {u.station, p.station, false},                   {u.station_count, p.station_count, false},
      {u.marker, p.marker, false},
  };
  for (const Item& item : items) {
    if (!item.text.drawn() || (item.reading_row && !row_free)) continue;
    DrawChangedPanelField(window, item.field, item.text.view());
  }
  if (u.sample.drawn() && row_free) {
    DrawPanelField(window, p.message, u.sample.view());
    Logging.message = PanelMessage::kTransient;
  }
  if (u.battery_due) {
    DrawPanelField(window, p.battery, FormatBatteryText(BatteryPercent()).view());
  }
}

void ReportDroppedReadings(WindowHandle window) {
  uint32_t dropped = Acquisition.DroppedReadings.load();
  if (dropped == Logging.reported_dropped) return;
  uint32_t newly = dropped - Logging.reported_dropped;
  Logging.reported_dropped = dropped;
  // Only a logging run loses records by it.
  if (Logging.state == LoggingState::Logging) {
    ShowWarning(window, "Readings dropped: " + std::to_string(newly));
  }
}

intptr_t OnReading(WindowHandle window, uint32_t message, uintptr_t, intptr_t) {
  PostedFrame posted;
  if (!Acquisition.TakeReading(&posted)) return 0;
  const int32_t kind = Kind();
  std::span<const uint8_t> frame(posted.bytes.data(), posted.length);
  // A frame that arrived before Go was taken in Stand By: it is shown, not
  // recorded after the "$STARTED" note with a tick older than the note's.
  const bool before_go = static_cast<int32_t>(posted.tick - Logging.logging_since) < 0;
  const LoggingState state =
      Logging.state == LoggingState::Logging && before_go ? LoggingState::StandBy : Logging.state;
  ReadingRun run{kind, state, CurrentRun.began_manual, Portrait(), Acquisition.FrameLength.load(), Tick()};
  SurveyPosition position{Settings, Logging.group};
  ReadingStep step;
  if (message == WM_BINARY_READING) {
    // A calibration takes the frames for itself.
    if (Acquisition.CalibrationState.load() == -1) {
      if (!CalibrationOnFrame(window, frame, !WarningHeld())) ShowWarning(window, "Calibration not saved");
      Acquisition.ClearLastFrameStart();
      return 0;
    }
    step = DecideBinaryReading(frame, run, CurrentRun.handlers, position);
  } else if (message == WM_ICE_READING) {
    step = DecideIceReading(frame, run, CurrentRun.handlers, position);
  } else {
    step = DecideInstrumentReading(frame, run, CurrentRun.handlers, position);
  }
  if (step.write_record) {
    WriteResult written = message == WM_BINARY_READING
                              ? WriteBinaryReadingRecord(DataFileHandle, step.record.view(), posted.tick)
                              : WriteReadingRecord(DataFileHandle, step.record.view(), posted.tick);
    ShowWriteFailure(window, written);
    // The chart shows what the file holds, as its rebuild from the file will.
    if (written && step.profile_step && Logging.curve != nullptr) {
      UpdateLiveProfile(Logging.curve, step.profile_rows, step.completes_station);
    }
  }
  if (step.beep) MessageBeep(kReadingBeep);
  DrawReadingTexts(window, step.panel);
  ReportDroppedReadings(window);
  Acquisition.ClearLastFrameStart();
  return 0;
}

// The storage refused a commit of records already written: they may be lost.
intptr_t OnStorageFailed(WindowHandle window, uint32_t, uintptr_t, intptr_t) {
  if (std::optional<WriteResult> failed = DataFileCommits.TakeFailure()) ShowWriteFailure(window, *failed);
  return 0;
}

intptr_t OnGpsSentence(WindowHandle window, uint32_t, uintptr_t, intptr_t) {
  PostedSentence sentence;
  if (!GpsFix.TakeSentence(&sentence)) return 0;
  DrawGpsSentence(window, sentence, Logging.state == LoggingState::Logging);
  if (GpsFix.FailedWrites.exchange(0) > 0) ShowWarning(window, "Not saved: GPS sentence");
  return 0;
}

// --- Watchdog ----------------------------------------------------------------------

intptr_t OnTimer(WindowHandle window, uint32_t, uintptr_t id, intptr_t) {
  if (id != kWatchdogTimerId) return 0;
  const int32_t timeout = CurrentRun.WatchdogTimeoutMs;
  if (!FrameOverdue(Tick(), Acquisition.LastFrameTick.load(), timeout)) return 0;
  // The readers reset the count on every frame; an increment never undoes that.
  int32_t missed = Acquisition.MissedTicks.fetch_add(1) + 1;
  KillTimer(window, kWatchdogTimerId);
  WatchdogStep step = DecideMissedCheck(missed, Kind(), Logging.state);
  if (step.give_up) {
    // Out of Logging, the GPS reader records nothing more while the box waits.
    GpsFix.Recording = 0;
    if (Logging.state != LoggingState::Monitor) WriteNote(DataFileHandle, kNoteConnectionEnd, 'X');
    Logging.state = LoggingState::StandBy;
    ClearMessage(window);
    MessageBox(window, kNoConnectionText, kNoConnectionCaption, MB_OK | MB_ICONEXCLAMATION);
    // Whatever the run had open goes as if cancelled, before the run ends
    // under it: an answer given to it later would act on a run that is over.
    EndModalWindowsOver(window);
    EndLoggingRun(true);
    return 0;
  }
  if (step.write_break) ShowWriteFailure(window, WriteNote(DataFileHandle, kNoteConnectionBreak, 'X'));
  if (step.hold_missed_at_two) Acquisition.MissedTicks.compare_exchange_strong(missed, 2);
  ClearReadingDisplay(window);
  DrawPanelField(window, Panel().message, kPleaseWaitText);
  Logging.message = PanelMessage::kTransient;
  SetTimer(window, kWatchdogTimerId, static_cast<uint32_t>(timeout));
  SetFocus(window);
  return 0;
}

// --- Messages ----------------------------------------------------------------------

intptr_t OnCreate(WindowHandle window, uint32_t, uintptr_t, intptr_t) {
  const int32_t kind = Kind();
  Logging.curve = CreateCurveWindow(window);
  if (Logging.curve == nullptr) return -1;
  const bool portrait = Portrait();
  const ButtonRow row = ButtonRowFor(portrait, kind);
  std::array<std::string_view, 4> monitor = MonitorButtonTexts(kind, portrait);
  for (int i = 0; i < MonitorButtonCount(kind); ++i) {
    Logging.StandbyButtons[static_cast<size_t>(i)] =
        MakeButton(window, monitor[static_cast<size_t>(i)], row.x0 + i * row.monitor_spacing,
                   row.monitor_width, kLoggingButtonFirstId + i, true);
  }
  for (int i = 0; i < kRunButtonCount; ++i) {
    Logging.RunButtons[static_cast<size_t>(i)] = MakeButton(
        window, RunButtonText(i), row.x0 + i * row.run_spacing, row.run_width, kLoggingButtonFirstId + i, false);
  }
  for (int i = 0; i < kPauseButtonCount; ++i) {
    Logging.PauseButtons[static_cast<size_t>(i)] = MakeButton(
        window, PauseButtonText(i, portrait, kind), row.x0, row.pause_width, kLoggingButtonFirstId + i, false);
  }
  for (int i = 0; i < MonitorButtonCount(kind); ++i) {
    if (Logging.StandbyButtons[static_cast<size_t>(i)] == nullptr) return -1;
  }
  for (WindowHandle button : Logging.RunButtons) {
    if (button == nullptr) return -1;
  }
  for (WindowHandle button : Logging.PauseButtons) {
    if (button == nullptr) return -1;
  }
  Logging.FocusIndex = 0;
  Logging.NavCount = MonitorButtonCount(kind);
  SetButtonDefault(Logging.StandbyButtons[0], true);
  Acquisition.LastFrameTick = Tick();
  return 0;
}

intptr_t OnPaint(WindowHandle window, uint32_t, uintptr_t, intptr_t) {
  PaintPanel(window);
  return 0;
}

intptr_t OnCommandOrKey(WindowHandle window, uint32_t message, uintptr_t wparam, intptr_t) {
  SetFocus(window);
  LoggingKeyContext context;
  context.kind = Kind();
  context.state = Logging.state;
  context.LoggingActive = Shell.LoggingActive;
  context.PauseKey = Settings.PauseKey;
  context.SoftMarker = Settings.SoftMarker;
  context.SoftMarkerDown = Acquisition.SoftMarkerDown.load();
  context.portrait = Portrait();
  context.FocusIndex = Logging.FocusIndex;
  context.NavCount = Logging.NavCount;
  context.calibrating = Acquisition.CalibrationState.load() == -1;
  LoggingCommand command = ResolveLoggingCommand(message == WM_KEYDOWN, wparam, context);
  if (command.press_soft_marker) {
    Logging.soft_marker_key = static_cast<int32_t>(wparam);
    Acquisition.SoftMarkerDown = 1;
  }
  if (command.FocusIndex != Logging.FocusIndex) MoveHighlight(command.FocusIndex);
  if (command.refused) {
    ShowWarning(window, std::string(kCalibratingText));
    Logging.warning_held_by_calibration = true;
  }
  RunAction(window, command.action);
  return 0;
}

intptr_t OnKeyUp(WindowHandle window, uint32_t, uintptr_t key, intptr_t) {
  SetFocus(window);
  if (Acquisition.SoftMarkerDown.load() == 1 && static_cast<int32_t>(key) == Logging.soft_marker_key) {
    Acquisition.SoftMarkerDown = 0;
  }
  return 0;
}

constexpr std::array<MessageEntry, 11> kLoggingMessages = {{
    {WM_CREATE, OnCreate},
    {WM_PAINT, OnPaint},
    {WM_COMMAND, OnCommandOrKey},
    {WM_TIMER, OnTimer},
    {WM_INSTRUMENT_READING, OnReading},
    {WM_ICE_READING, OnReading},
    {WM_BINARY_READING, OnReading},
    {WM_GPS_SENTENCE, OnGpsSentence},
    {WM_STORAGE_FAILED, OnStorageFailed},
    {WM_KEYDOWN, OnCommandOrKey},
    {WM_KEYUP, OnKeyUp},
}};

}  // namespace

bool RegisterLoggingWindowClass() {
  return RegisterClass(WindowClass{"LoggingWnd", kLoggingMessages, kLightGrayBrush.color, true}) &&
         RegisterCurveWindowClass();
}

void PrepareLoggingWindow(WindowHandle window) {
  Logging.state = LoggingState::Monitor;
  Logging.message = PanelMessage::kNone;
  Logging.reported_dropped = Acquisition.DroppedReadings.load();
  ShowRow(Logging.RunButtons, false);
  for (WindowHandle prompt : Logging.PauseButtons) {
    SetButtonDefault(prompt, false);
    ShowWindow(prompt, SW_HIDE);
  }
  for (WindowHandle button : Logging.RunButtons) SetButtonDefault(button, false);
  std::span<WindowHandle> monitor = VisibleRow();
  ShowRow(monitor, true);
  Logging.NavCount = static_cast<int32_t>(monitor.size());
  Logging.FocusIndex = 0;
  for (size_t i = 0; i < monitor.size(); ++i) SetHighlight(monitor, static_cast<int32_t>(i), i == 0);
  PlacePanelFields();
  InvalidateRect(window, nullptr, true);
  // The chart of the last run would otherwise stay, and the new readings
  // would continue its traces.
  if (Logging.curve != nullptr) ClearLiveProfile(Logging.curve);
}

void EndLoggingRun(bool quiet) {
  WindowHandle window = Shell.LoggingWindow;
  WriteResult closed;
  if (Logging.state != LoggingState::Monitor) {
    if (!quiet && MessageBox(window, kConfirmExitText, kConfirmExitCaption, MB_YESNO | MB_ICONQUESTION) != IDYES) {
      RepaintWindowAndProfile(window);
      SetFocus(window);
      return;
    }
    GpsFix.Recording = 0;
    DataFileCommits.Stop();
    if (std::optional<WriteResult> failed = DataFileCommits.TakeFailure()) closed = std::move(*failed);
    WriteResult flushed = DataFileHandle.Close();
    if (closed) closed = std::move(flushed);
    GpsFix.SentenceCounter = 0;
  }
  AbandonCalibration();
  Shell.LoggingActive = 0;
  CloseRunPorts(Ports, [] { return GpsFix.GpsReaderRunning.load() != 1; }, [window, quiet] {
    if (!quiet) KillTimer(window, kWatchdogTimerId);
  });
  Logging.state = LoggingState::Monitor;
  Logging.group.StationReadingCount = 0;
  Logging.station_before_file = false;
  ShowWindow(window, SW_HIDE);
  // The title page takes the keys again.
  if (Shell.MainWindow != nullptr) SetFocus(Shell.MainWindow);
  if (!closed) {
    MessageBox(Shell.MainWindow, "The data file may be incomplete: " + closed.error, "WARNING",
               MB_OK | MB_ICONEXCLAMATION);
  }
}

}  // namespace tq
