// The dialogs of the logging window's pop-up menu: the profile scale and the
// display options. User-interface thread only.
#pragma once

#include "platform/messages.h"

namespace tq {

// "&Scale": the scale dialog of the kind and screen over `owner` (the
// profile window); the next reading does not scroll the chart.
void RunScaleMenuCommand(WindowHandle owner);

// "&Display Options": the kind's display options dialog over `owner`.
void RunDisplayOptionsMenuCommand(WindowHandle owner);

}  // namespace tq
