// The profile scale dialog's logic: which template the logging window opens,
// the texts the fields start with, and the clamps OK applies. Pure functions.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "settings/build_config.h"
#include "settings/settings.h"
#include "survey/typed_fields.h"

namespace tq {

// The logging window's template for the kind, the ice option, the root and
// the screen; the file viewer passes `for_viewer`, which never uses the ice
// or landscape layouts.
std::string ProfileScaleTemplate(const BuildConfig& build, int32_t ice_option, bool portrait,
                                 bool for_viewer = false);

// What the dialog's fields hold: bottom and top of each scale set. A set the
// template has no fields for is nothing.
struct ScaleTexts {
  std::string cond_bottom, cond_top;
  std::optional<std::string> inphase_bottom, inphase_top;
  std::optional<std::string> ice_bottom, ice_top;
};

// The texts the fields open with: "%.1f" for the FRZ62's thickness, "%.0f"
// otherwise; no inphase on the TQ64-3, ice only for a TQ62 with the option on.
ScaleTexts ProfileScaleTexts(const SettingsStore& s, int32_t kind);

// The dialog's fields, as a refusal names them.
enum class ScaleField { kCondBottom, kCondTop, kInphaseBottom, kInphaseTop, kIceBottom, kIceTop };

// OK first: refuses a field that holds more than a number, or one with more
// than the six decimals the settings file keeps, with the WARNING that names
// it (CheckTypedNumber's); nothing when every field present reads.
// The clamps below, not a refusal, keep the values in range.
std::optional<Refusal<ScaleField>> CheckProfileScale(const ScaleTexts& texts, int32_t kind);

// OK: reads each set present (a comma as the decimal point), clamps it (0..10 with bottom at most 9 for
// thickness, -9000..9000 otherwise, the top kept above the bottom) and
// recomputes its factor. A set without fields stays as it was.
void ApplyProfileScale(SettingsStore& s, int32_t kind, const ScaleTexts& texts);

}  // namespace tq
