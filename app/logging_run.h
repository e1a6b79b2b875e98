// The start of a logging run from the main window, and the release of its
// ports and threads when it ends.
//
// User-interface thread only; the reader threads it starts meet the window
// code through AcquisitionState and posted messages.
#pragma once

#include <cstdint>
#include <optional>

#include "acquisition/serial_ports.h"
#include "logging/run_state.h"
#include "platform/messages.h"

namespace tq {

struct WatchdogTiming {
  int32_t timeout_ms = 300;
  std::optional<uint32_t> timer_period_ms;  // nothing: the run has no timer
};

// The connection watchdog of a run: 300 ms, or 2000 ms for the FRZ62, which
// has no timer at all while it surveys by wheel.
WatchdogTiming WatchdogTimingFor(int32_t kind, int32_t survey_mode);

// Shows a port's refusal or failure in a message box (OK only) over `owner`.
void ShowPortMessage(WindowHandle owner, const PortMessage& message);

// Starts a logging run over `owner` (the main window), after the up-time
// check: refuses clashing ports, opens the instrument port, probes the frame
// length (TQ68), starts the kind's reader, opens the marker and GPS ports,
// starts the watchdog timer and shows `logging_window`. Every refusal and
// failure is shown in a message box. Returns false when the run did not start;
// nothing is left open then. While a run is active it does nothing and
// returns false: the running one keeps its ports and state.
bool StartLoggingRun(WindowHandle owner, WindowHandle logging_window);

// Ends the run without asking: closes its data file, closes the ports in
// order, joins their reader threads, stops the watchdog timer, clears
// LoggingActive and hides `logging_window`. Harmless when no run is active.
void StopLoggingRun(WindowHandle logging_window);

}  // namespace tq
