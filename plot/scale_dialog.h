// The profile scale dialog, for the logging window and the file viewer.
// User-interface thread only.
#pragma once

#include <string_view>

#include "platform/messages.h"

namespace tq {

// Runs `template_name` over `owner` (the profile window). On OK clamps and
// stores the scales, recomputes their factors, makes every live trace start
// afresh and saves the settings; returns true. Cancel changes nothing and
// returns false.
bool RunProfileScaleDialog(WindowHandle owner, std::string_view template_name);

}  // namespace tq
