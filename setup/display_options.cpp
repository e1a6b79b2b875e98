#include "setup/display_options.h"

namespace tq {

std::string DisplayOptionsTemplate(const BuildConfig& build) {
  switch (build.InstrumentKind) {
    case kKindTq64: return "GetOptions64";
    case kKindFrz62: return "GetOptionsFrz62";
    case kKindTq68Mk2: return "GetOptions68mk2";
    default: return HasIceDisplay(build) ? "GetOptionsIceNew" : "GetOptions";
  }
}

bool HasIceDisplay(const BuildConfig& build) {
  return build.InstrumentKind == kKindTq62 && build.IceOptionBuilt == 1;
}

int32_t DisplaySlotCount(const BuildConfig& build) {
  if (build.InstrumentKind == kKindTq64) return 6;
  if (build.InstrumentKind == kKindTq68Mk2) return 8;
  return HasIceDisplay(build) ? 5 : 4;
}

std::vector<std::string> ThicknessEntries() { return {"1 pixel", "2 pixels", "3 pixels", "4 pixels"}; }

std::vector<std::string> GridEntries(const BuildConfig& build) {
  if (build.InstrumentKind == kKindTq64) return {};
  if (build.InstrumentKind == kKindFrz62) return {"Thickness", "Inphase"};
  if (HasIceDisplay(build)) return {"Conductivity", "Inphase", "Ice Thickness"};
  return {"Conductivity", "Inphase"};
}

std::vector<std::string> ShowProfileEntries() { return {"Cond./Inphase", "Ice Thickness"}; }

int32_t GridForShowProfile(int32_t grid_for, int32_t show_profile) {
  if (show_profile == 1) return 2;
  if (show_profile == 0 && grid_for == 2) return 0;
  return grid_for;
}

TraceLooks TakeTraceLooks(const SettingsStore& s) { return TraceLooks{s.TraceThickness, s.TraceColor}; }

void RestoreTraceLooks(SettingsStore& s, const BuildConfig& build, const TraceLooks& looks) {
  for (size_t slot = 0; slot < static_cast<size_t>(DisplaySlotCount(build)); ++slot) {
    s.TraceThickness[slot] = looks.thickness[slot];
    s.TraceColor[slot] = looks.color[slot];
  }
}

void ApplyDisplayOptions(SettingsStore& s, const BuildConfig& build, const DisplayOptionsEntry& entry) {
  if (build.InstrumentKind != kKindTq64 && entry.grid_position >= 0) s.GridFor = entry.grid_position;
  if (HasIceDisplay(build)) {
    if (entry.show_profile_position >= 0) s.ShowProfile = entry.show_profile_position;
    s.GridFor = GridForShowProfile(s.GridFor, s.ShowProfile);
  }
  for (size_t slot = 0; slot < s.TraceVisible.size(); ++slot) s.TraceVisible[slot] = entry.visible[slot] ? 1 : 0;
}

void ActivateDisplaySelection(SettingsStore& s, const BuildConfig& build) {
  ApplyDisplaySelection(s, build);
  if (build.InstrumentKind == kKindTq68Mk2 && s.Mk2Variant == 1) {
    for (size_t slot = 4; slot < s.TraceActive.size(); ++slot) s.TraceActive[slot] = 0;
  }
}

}  // namespace tq
