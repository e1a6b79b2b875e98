#include "app/logging_run.h"

#include <cstdio>
#include <optional>
#include <thread>

#include "acquisition/acquisition_state.h"
#include "acquisition/readers.h"
#include "acquisition/serial_ports.h"
#include "shell/shell_state.h"
#include "gps/gps_reader.h"
#include "ice/ice_thickness.h"
#include "logging/logging_window.h"
#include "platform/clock.h"
#include "platform/dialogs.h"
#include "platform/window.h"
#include "settings/settings.h"

namespace tq {

namespace {

constexpr int32_t kManualMode = 2;
constexpr int32_t kWheelMode = 1;
constexpr uint32_t kReaderSettleMs = 50;

// The reading counters, averaging and markers start afresh with each run.
void ResetRunState(SettingsStore& s, int32_t kind) {
  uint32_t now = Tick();
  CurrentRun = LoggingRun{};
  CurrentRun.handlers = BeginReadingRun(s, kind, now);
  CurrentRun.began_manual = s.SurveyMode == kManualMode;
  CurrentRun.start_tick = now;
  Acquisition.ExtMarkerLine = 0;
  Acquisition.SoftMarkerDown = 0;
  Acquisition.LastFrameTick = now;
  // A run that ended for want of frames left its count of misses behind; the
  // next run would otherwise give up at its first miss.
  Acquisition.MissedTicks = 0;
  // A run given up while logging in Auto mode left its frames per reading
  // behind; Monitor and a calibration take every frame.
  Acquisition.FramesPerReading = 1;
  Acquisition.FrameCounter = 0;
}

void CloseInstrumentPort() {
  if (Ports.instrument.port) Ports.instrument.port->Close();
  Ports.instrument.port.reset();
}

}  // namespace

void ShowPortMessage(WindowHandle owner, const PortMessage& message) {
  if (message.reason.empty()) {
    MessageBox(owner, message.text, message.caption, MB_OK);
    return;
  }
  std::fprintf(stderr, "tqlog: %s: %s\n", message.text.c_str(), message.reason.c_str());
  MessageBox(owner, message.text + "\n" + message.reason, message.caption, MB_OK);
}

WatchdogTiming WatchdogTimingFor(int32_t kind, int32_t survey_mode) {
  if (kind != kKindFrz62) return WatchdogTiming{300, 300u};
  if (survey_mode == kWheelMode) return WatchdogTiming{2000, std::nullopt};
  return WatchdogTiming{2000, 2000u};
}

bool StartLoggingRun(WindowHandle owner, WindowHandle logging_window) {
  const BuildConfig& build = Build();
  const int32_t kind = build.InstrumentKind;
  SettingsStore& s = Settings;

  // A start command that reaches the main window while a run owns the ports
  // (a posted command, a button that still had the focus) must not reset that
  // run, reopen its port or clear its LoggingActive.
  if (Shell.LoggingActive == 1) return false;

  if (s.IceOption == 1) LoadIceThicknessTable(static_cast<uint32_t>(s.SeaWaterIndex), s);
  ResetRunState(s, kind);
  ApplyDisplaySelection(s, build);
  if (s.SurveyMode == kManualMode) s.ReadingsPerSecond = s.ReadingsPerStation;

  Shell.LoggingActive = 1;
  if (std::optional<PortMessage> refused = OpenInstrumentPortForRun(Ports, s, kind)) {
    Shell.LoggingActive = 0;
    ShowPortMessage(owner, *refused);
    return false;
  }
  Port* instrument = Ports.instrument.port.get();
  if (kind == kKindTq68 && DetectFrameLength(*instrument, Acquisition, s) == 0) {
    CloseInstrumentPort();
    Shell.LoggingActive = 0;
    ShowPortMessage(owner, InstrumentOffMessage());
    return false;
  }

  uint32_t now = Tick();
  CurrentRun.start_tick = now;
  Acquisition.LastFrameTick = now;
  if (kind == kKindTq68Mk2 && s.Mk2Variant == 1) {
    // One coil pair: the 0.5 m traces have nothing to draw.
    for (size_t slot = 4; slot < s.TraceActive.size(); ++slot) s.TraceActive[slot] = 0;
  }
  ReaderContext context{instrument, &Acquisition, logging_window, kind,
                        MarkerSharesInstrumentPort(s, kind)};
  Ports.instrument.reader = std::thread(ReaderForKind(kind), context);
  if (NeedsSeparateMarkerPort(s, kind)) {
    std::string error;
    Ports.marker.port = OpenMarkerPort(s, kind, &error);
    if (Ports.marker.port) {
      ReaderContext marker{Ports.marker.port.get(), &Acquisition, logging_window, kind, false};
      Ports.marker.reader = std::thread(&MarkerReader, marker);
    } else {
      ShowPortMessage(owner, MarkerOpenFailure(error));
    }
  }

  WaitMs(kReaderSettleMs);
  WatchdogTiming watchdog = WatchdogTimingFor(kind, s.SurveyMode);
  CurrentRun.WatchdogTimeoutMs = watchdog.timeout_ms;
  if (watchdog.timer_period_ms) SetTimer(logging_window, kWatchdogTimerId, *watchdog.timer_period_ms);

  if (s.GpsInput == 1) {
    std::string error;
    Ports.gps.port = OpenGpsPort(s, &error);
    if (Ports.gps.port) {
      GpsFix.Recording = 0;
      GpsFix.SentenceCounter = 0;
      GpsFix.ActivityMark = '\\';  // as the panel paints it
      GpsReaderContext gps{Ports.gps.port.get(), &GpsFix, &Acquisition.CalibrationState,
                           logging_window, &DataFileHandle};
      Ports.gps.reader = std::thread(&GpsReader, gps);
    } else {
      ShowPortMessage(owner, GpsOpenFailure(error));
    }
  }

  PrepareLoggingWindow(logging_window);
  ShowWindow(logging_window, SW_SHOW);
  return true;
}

void StopLoggingRun(WindowHandle logging_window) {
  EndLoggingRun(true);
  KillTimer(logging_window, kWatchdogTimerId);
}

}  // namespace tq
