// The panel texts of a reading, by kind and screen orientation. The first of
// each pair of formats is the portrait one.
#pragma once

#include <cstdint>
#include <vector>

#include "instrument/decoding.h"
#include "acquisition/reading_steps.h"
#include "settings/settings.h"

namespace tq {

// The instrument mode field: "Mode:%c" by DipoleMode (kinds 0, 1, 3, 7) or by
// Component (kind 2); kind 4 "Rdgs:%1d" in a run begun in Manual mode, else
// "M:V10".."M:H40"; nothing for kinds 5 and 6. An index outside its list
// shows "?".
FieldText FormatInstrumentMode(int32_t kind, const SettingsStore& settings, bool began_manual);

// The value, range and thickness lines of an ASCII reading (kinds 0..5).
void FormatInstrumentValues(const Reading& reading, int32_t kind, const SettingsStore& settings,
                            bool portrait, float thickness, PanelUpdate& panel);

// "Th:%-8.2f" and "IP:%-8.2f" of an FRZ62 reading.
void FormatIceValues(const Reading& reading, PanelUpdate& panel);

// "Ver"/"Hor" and the value lines of a TQ68-MK2 reading (the second coil pair
// only for Mk2Variant 2).
void FormatBinaryValues(const Reading& reading, const SettingsStore& settings, bool portrait,
                        PanelUpdate& panel);

// The value, range and thickness lines of `kind` at their widest: one update
// for each variant of its frames (dipole, quantity, battery frame, each
// thickness case in both units), with values of -2000.00, ranges of 1000 and
// a thickness of 12.97 ft, as the panel's sample texts have them. The panel
// sizes its reading fields for these.
std::vector<PanelUpdate> WidestReadingTexts(int32_t kind, bool portrait, int32_t ice_option);

// "Sample %-3d of %-3d".
FieldText FormatSampleText(int32_t sample, int32_t samples_per_reading);

}  // namespace tq
