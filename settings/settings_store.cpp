#include <algorithm>
#include <cfloat>

#include "settings/settings.h"

namespace tq {

SettingsStore Settings;

float PixelsPerUnit(int32_t plot_height, float bottom, float top) {
  // In double so that no finite pair of scale ends overflows the difference.
  double span = static_cast<double>(top) - static_cast<double>(bottom);
  if (span == 0.0) return 0.0f;
  double factor = static_cast<double>(plot_height) / span;
  return static_cast<float>(std::clamp(factor, -static_cast<double>(FLT_MAX),
                                       static_cast<double>(FLT_MAX)));
}

void UpdatePixelFactors(SettingsStore& s, const BuildConfig& /*build*/) {
  s.CondPixelsPerUnit = PixelsPerUnit(s.PlotHeight, s.CondScaleMin, s.CondScaleMax);
  s.InphasePixelsPerUnit = PixelsPerUnit(s.PlotHeight, s.InphaseScaleMin, s.InphaseScaleMax);
  s.IcePixelsPerUnit = PixelsPerUnit(s.PlotHeight, s.IceScaleMin, s.IceScaleMax);
}

void ApplyKindDefaults(SettingsStore& s, const BuildConfig& build) {
  struct KindDefaults {
    int32_t component;
    int32_t dipole_mode;
  };
  // Indexed by kind: TQ62, TQ68B, TQ68-DD, TQ68, TQ64-3, TQ93, FRZ62, TQ68-MK2.
  static constexpr KindDefaults kDefaults[kKindCount] = {
      {0, 0}, {0, 0}, {2, 2}, {2, 0}, {2, 0}, {0, 0}, {0, 0}, {0, 0}};
  const KindDefaults& d = kDefaults[KindInfoFor(build.InstrumentKind).kind];
  s.Component = d.component;
  s.DipoleMode = d.dipole_mode;
  if (build.InstrumentKind == kKindFrz62) {
    // The ice meter reads thickness in metres on the first scale.
    s.CondScaleMin = 0.0f;
    s.CondScaleMax = 10.0f;
    s.InphaseScaleMin = 0.0f;
    s.InphaseScaleMax = 20.0f;
  }
  UpdatePixelFactors(s, build);
}

}  // namespace tq
