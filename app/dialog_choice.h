// Which dialog template each setup button opens, by instrument kind, screen
// and build. Template names are looked up without regard to case.
#pragma once

#include <cstdint>
#include <string>

#include "settings/build_config.h"
#include "setup/display_options.h"  // DisplayOptionsTemplate

namespace tq {

// The survey setup template; empty for the TQ93, which has no such dialog.
std::string SurveySetupTemplate(const BuildConfig& build, int32_t portrait);

std::string LoggerSetupTemplate(const BuildConfig& build);

// The GPS port setup has one template for every kind and screen.
std::string GpsPortSetupTemplate();

}  // namespace tq
