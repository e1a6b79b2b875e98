// Sea-ice thickness from a horizontal-dipole apparent conductivity reading.
//
// One table is in use at a time (`IceThicknessTable`); it is loaded for a
// sea-water index and converts readings by linear interpolation. The limits of
// a conversion follow the index it is given, the lookup follows the loaded
// table: a caller that changes the index without reloading gets both.
#pragma once

#include <cstdint>
#include <optional>

#include "ice/ice_tables.h"
#include "settings/settings.h"

namespace tq {

// The thickness results that mean "out of range"; callers treat any negative
// thickness as out of range.
inline constexpr float kIceThinnerThanTable = -999.0f;  // above the upper limit
inline constexpr float kIceThickerThanTable = -99.0f;   // below the lower limit

// Conductivity range of one stored table: its entry 0 and entry 70.
struct IceLimits {
  double upper;
  double lower;
};

// The profile slot a conversion writes when the profile shows ice thickness
// (channel 4 of the reading being decoded): the value and its present flag.
struct IceProfileSlot {
  float value = 0.0f;
  bool present = false;
};

// The table in use, shared by the live readout, the live profile and the viewer.
extern IceTable IceThicknessTable;

// The limits for (variant, index); nullopt when the index is above 10.
std::optional<IceLimits> FindIceLimits(int32_t variant, uint32_t index);

// Copies the stored table for (variant, index) into `table`; an index above 10
// leaves `table` unchanged.
void LoadIceTable(int32_t variant, uint32_t index, IceTable& table);

// Loads IceThicknessTable for `index` and the store's Tq62Variant; an index
// above 10 leaves it unchanged.
void LoadIceThicknessTable(uint32_t index, const SettingsStore& settings);

// Thickness in metres for `conductivity` looked up in `table`, checked against
// `limits` (none: only the table's own range applies). Returns
// kIceThinnerThanTable or kIceThickerThanTable when out of range.
float ComputeIceThickness(float conductivity, const IceTable& table,
                          const std::optional<IceLimits>& limits);

// Converts with IceThicknessTable and the limits of (Tq62Variant, index). When
// ShowProfile is 1 the result is also stored in `channel4` (if given) and
// marked present. Returns metres or one of the out-of-range values.
float ConductivityToIceThickness(float conductivity, uint32_t index,
                                 const SettingsStore& settings,
                                 IceProfileSlot* channel4);

}  // namespace tq
