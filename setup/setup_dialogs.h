// The four setup dialogs the main window opens. Each runs its template
// modally over `owner`, works on copies while open, and on OK writes
// Settings and saves the settings file; Cancel leaves both as they were.
// User-interface thread only.
#pragma once

#include <cstdint>
#include <string_view>

#include "platform/messages.h"
#include "survey/survey_position.h"

namespace tq {

// What a setup dialog ended with.
struct SetupOutcome {
  bool accepted = false;
  bool saved = false;  // the settings file was written (after OK)
};

// "Survey Setup" from `template_name`; OK also disarms `group`'s station
// advance, so the next reading lands on the start station.
SetupOutcome RunSurveySetupDialog(WindowHandle owner, std::string_view template_name, StationGroup& group);

// "Logger Setup" from `template_name`.
SetupOutcome RunLoggerSetupDialog(WindowHandle owner, std::string_view template_name);

// "Set GPS Port". Its result: kGpsPortMonitor when "Monitor GPS Output"
// applied the choices (without saving them), else 0.
inline constexpr intptr_t kGpsPortMonitor = 1;
intptr_t RunGpsPortSetupDialog(WindowHandle owner, std::string_view template_name);

// "Display Options" from `template_name`; OK also recomputes the active traces.
SetupOutcome RunDisplayOptionsDialog(WindowHandle owner, std::string_view template_name);

}  // namespace tq
