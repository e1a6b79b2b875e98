#include "instrument/decoding_profile.h"

#include "settings/build_config.h"

namespace tq {
namespace {

using TraceSets = std::array<ScaleSet, kProfileChannelCount>;

constexpr ScaleSet C = ScaleSet::kConductivity;
constexpr ScaleSet I = ScaleSet::kInphase;
constexpr ScaleSet T = ScaleSet::kIceThickness;
constexpr ScaleSet N = ScaleSet::kNone;

constexpr TraceSets kConductivityInphase = {C, C, I, I, N, N, N, N};
constexpr TraceSets kIceOnly = {N, N, N, N, T, N, N, N};
constexpr TraceSets kSixConductivity = {C, C, C, C, C, C, N, N};

// Kinds 0..7; the TQ62 switches to kIceOnly when it shows ice thickness.
constexpr std::array<TraceSets, kKindCount> kTraceSets = {
    kConductivityInphase,        // TQ62
    kConductivityInphase,        // TQ68B
    kConductivityInphase,        // TQ68-DD
    kConductivityInphase,        // TQ68
    kSixConductivity,            // TQ64-3: one trace per coil separation and dipole
    kSixConductivity,            // TQ93
    TraceSets{C, N, I, N, N, N, N, N},  // FRZ62: thickness on the conductivity set
    TraceSets{C, C, I, I, C, C, I, I},  // TQ68-MK2: two coil pairs
};

constexpr float kPixelLimit = 1000000.0f;

}  // namespace

bool IceThicknessShown(const SettingsStore& settings, int32_t kind) {
  return kind == kKindTq62 && settings.IceOption == 1 && settings.ShowProfile == 1;
}

ScaleSet TraceScaleSet(int32_t kind, bool ice_shown, size_t trace) {
  if (trace >= kProfileChannelCount || kind < 0 || kind >= kKindCount) return ScaleSet::kNone;
  if (kind == kKindTq62 && ice_shown) return kIceOnly[trace];
  return kTraceSets[static_cast<size_t>(kind)][trace];
}

int32_t ValueToPixel(float value, float top, float pixels_per_unit) {
  float y = (top - value) * pixels_per_unit;
  // Written so that a NaN lands on the limit too instead of reaching the cast.
  if (!(y > -kPixelLimit)) y = -kPixelLimit;
  if (!(y < kPixelLimit)) y = kPixelLimit;
  return static_cast<int32_t>(y);
}

ProfileRows ComputeProfileRows(const ProfileChannels& channels, const SettingsStore& s,
                               int32_t kind) {
  bool ice_shown = IceThicknessShown(s, kind);
  ProfileRows rows{};
  for (size_t i = 0; i < kProfileChannelCount; ++i) {
    if (!channels[i].present) continue;
    switch (TraceScaleSet(kind, ice_shown, i)) {
      case ScaleSet::kNone:
        continue;
      case ScaleSet::kConductivity:
        rows[i].y = ValueToPixel(channels[i].value, s.CondScaleMax, s.CondPixelsPerUnit);
        break;
      case ScaleSet::kInphase:
        rows[i].y = ValueToPixel(channels[i].value, s.InphaseScaleMax, s.InphasePixelsPerUnit);
        break;
      case ScaleSet::kIceThickness:
        rows[i].y = ValueToPixel(channels[i].value, s.IceScaleMax, s.IcePixelsPerUnit);
        break;
    }
    rows[i].present = true;
  }
  return rows;
}

}  // namespace tq
