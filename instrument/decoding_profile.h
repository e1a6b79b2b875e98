// Where the channels of a reading land on the live profile: which scale set
// each trace is drawn on for the kind, and the value-to-pixel rule.
#pragma once

#include <array>
#include <cstdint>

#include "instrument/decoding.h"
#include "settings/settings.h"

namespace tq {

enum class ScaleSet : int8_t {
  kNone = -1,          // the kind has no such trace
  kConductivity = 0,   // CondScaleMin/Max (thickness on the FRZ62)
  kInphase = 1,        // InphaseScaleMin/Max
  kIceThickness = 2,   // IceScaleMin/Max
};

// True when the TQ62 profile shows ice thickness instead of conductivity and inphase.
bool IceThicknessShown(const SettingsStore& settings, int32_t kind);

// The scale set trace `trace` (0..7) is drawn on; kNone when the kind has no such trace.
ScaleSet TraceScaleSet(int32_t kind, bool ice_shown, size_t trace);

// y = (top - value) x factor in single precision, truncated towards zero.
// Nothing is clipped; only values beyond any screen are held at +-1000000.
int32_t ValueToPixel(float value, float top, float pixels_per_unit);

// The plot row of one trace, and whether the reading has a point for it.
struct ProfileRow {
  int32_t y = 0;
  bool present = false;
};
using ProfileRows = std::array<ProfileRow, kProfileChannelCount>;

// The rows of the eight channels on their kind's scale sets. A channel with no
// value, or on a trace the kind does not draw, is not present.
ProfileRows ComputeProfileRows(const ProfileChannels& channels, const SettingsStore& settings,
                               int32_t kind);

}  // namespace tq
