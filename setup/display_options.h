// What the display options dialog manages per kind and build, and what its
// OK and Cancel leave in the settings. Pure functions; setup_dialogs.h draws
// them.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "settings/build_config.h"
#include "settings/settings.h"

namespace tq {

// The template for the kind and build.
std::string DisplayOptionsTemplate(const BuildConfig& build);

// Trace slots the dialog manages: 4, or 6 on the TQ64-3, 8 on the TQ68-MK2,
// 5 on a TQ62 with the ice option built in.
int32_t DisplaySlotCount(const BuildConfig& build);
// True for a TQ62 built with the ice option.
bool HasIceDisplay(const BuildConfig& build);

// "1 pixel" .. "4 pixels".
std::vector<std::string> ThicknessEntries();
// The grid list 775; empty on the TQ64-3.
std::vector<std::string> GridEntries(const BuildConfig& build);
// The profile list 777 of the ice option.
std::vector<std::string> ShowProfileEntries();

// The grid a "Display Profiles:" choice forces: thickness with "Ice
// Thickness", conductivity again when the thickness grid was in force.
int32_t GridForShowProfile(int32_t grid_for, int32_t show_profile);

// Thickness and colour of the managed slots, kept for Cancel.
struct TraceLooks {
  std::array<int32_t, 8> thickness{};
  std::array<uint32_t, 8> color{};
};
TraceLooks TakeTraceLooks(const SettingsStore& s);
// Cancel: puts back thickness and colour of slots 0..N-1.
void RestoreTraceLooks(SettingsStore& s, const BuildConfig& build, const TraceLooks& looks);

// The dialog's boxes and lists at OK. A slot without a box counts as
// unchecked; a list position of -1 keeps what is stored.
struct DisplayOptionsEntry {
  std::array<bool, 8> visible{};
  int32_t grid_position = -1;
  int32_t show_profile_position = -1;
};

// OK, up to the save: grid, profile choice and visibility into `s`.
void ApplyDisplayOptions(SettingsStore& s, const BuildConfig& build, const DisplayOptionsEntry& entry);
// OK, before the save (it may force the grid): which traces are active now.
// A TQ68-MK2 of the single coil pair never shows its 0.5 m traces.
void ActivateDisplaySelection(SettingsStore& s, const BuildConfig& build);

}  // namespace tq
