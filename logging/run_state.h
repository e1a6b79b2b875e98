// The state of the logging run that the main window starts and the logging
// window carries on: the reading handlers' state, the run's start, its
// watchdog period, the open data file and the window's own run state.
//
// User-interface thread only, except the data file, which the GPS reader
// appends to as well (DataFile serialises the appends).
#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "instrument/decoding.h"
#include "acquisition/reading_steps.h"
#include "platform/messages.h"
#include "survey/data_file.h"
#include "survey/data_file_syncer.h"
#include "survey/survey_position.h"

namespace tq {

// What the logging window works with for the run just started.
struct LoggingRun {
  ReadingHandlerState handlers;   // fresh averaging, trigger and beep state
  bool began_manual = false;      // SurveyMode was Manual when the run started
  uint32_t start_tick = 0;        // the reading-time origin
  int32_t WatchdogTimeoutMs = 300;
};

// The run in progress (or the last one).
extern LoggingRun CurrentRun;

// The connection watchdog's timer on the logging window.
inline constexpr uintptr_t kWatchdogTimerId = 1;

// What the panel's message field shows.
enum class PanelMessage {
  kNone,
  kTransient,  // "Please Wait...", an average's sample count: gone with the next values
  kWarning,    // a record not saved, readings dropped: kept a while over the values
};

// The logging window's controller state.
struct LoggingControl {
  LoggingState state = LoggingState::Monitor;
  int32_t FocusIndex = 0;
  int32_t NavCount = 2;
  std::array<WindowHandle, 4> StandbyButtons{};
  std::array<WindowHandle, 6> RunButtons{};
  std::array<WindowHandle, 8> PauseButtons{};
  WindowHandle curve = nullptr;   // the live profile child
  std::string DataFilePath;
  std::string DataFileBaseName;   // 8-bit characters
  StationGroup group;             // StationReadingCount, AdvanceArmed
  Mk2Offsets PreviousMk2Offsets{};  // beside the offsets in the "O" records
  uint32_t reported_dropped = 0;  // DroppedReadings already shown
  PanelMessage message = PanelMessage::kNone;
  uint32_t warning_shown_at = 0;  // tick of the last warning in the message field
  // The warning says why a command waits for the calibration: it stays over
  // the values until the calibration ends.
  bool warning_held_by_calibration = false;
  uint32_t logging_since = 0;     // tick of the last Go
  int32_t soft_marker_key = 0;    // the key whose release lets the soft marker go
  bool station_before_file = false;  // New Station accepted in Monitor: the next file's first station
};

extern LoggingControl Logging;

// The data file of the run: open from "Create File" to the end of the run.
extern DataFile DataFileHandle;
// Commits DataFileHandle while it is open; a failed commit posts
// WM_STORAGE_FAILED to the logging window (after the readers' messages).
extern DataFileSyncer DataFileCommits;
inline constexpr uint32_t WM_STORAGE_FAILED = 1038;

}  // namespace tq
