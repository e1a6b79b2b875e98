// What the logger setup dialog lists and what its OK stores, per kind,
// screen and build. Pure functions; setup_dialogs.h draws them.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "settings/build_config.h"
#include "settings/settings.h"

namespace tq {

// "COM1:" .. "COM12:".
std::vector<std::string> ComPortEntries();
// "Disabled", then COM1..COM12 without COM6 (its positions are those of
// MarkerComNumber).
std::vector<std::string> ExtMarkerEntries();
// "2000 mS/m" .. "3000 mS/m" in steps of 100.
std::vector<std::string> SeaWaterEntries();
// The instrument type list 810: TQ62 and TQ68-MK2 only, else empty.
std::vector<std::string> InstrumentVariantEntries(int32_t kind);
// Position of the stored variant in that list (`Mk2Variant` counts from 1).
int32_t InstrumentVariantPosition(const SettingsStore& s, int32_t kind);
// Label 803: "<model> Port"; empty for the TQ93, which keeps the template's.
std::string InstrumentPortLabel(int32_t kind);
// The pause keys the kind offers on the screen: the TQ68-MK2 its four
// non-numeric entries, a portrait screen of the other kinds "any key" only.
std::vector<std::string> PauseKeyEntries(int32_t kind, bool portrait);
// "Disabled" and the marker key of the screen: arrows on a portrait
// handheld with "Storage", digits otherwise.
std::vector<std::string> SoftMarkerEntries(bool portrait, int32_t storage_root);
// Whether the pause key is fixed at "<Enter>" (the TQ68-MK2 in portrait).
bool PauseKeyFixed(int32_t kind, bool portrait);
inline constexpr int32_t kEnterPauseKey = 2;

// List positions at OK; -1 keeps what is stored.
struct LoggerSetupEntry {
  int32_t ice_option = -1;
  int32_t sea_water = -1;
  int32_t show_profile = -1;
  int32_t variant = -1;
  int32_t port = -1;
  int32_t ext_marker = -1;
  int32_t soft_marker = -1;
  int32_t units = -1;
  int32_t audio = -1;
  int32_t pause_key = -1;
};

// OK: writes the entry into the fields this kind and build have. The caller
// saves the settings.
void ApplyLoggerSetup(SettingsStore& s, const BuildConfig& build, bool portrait, const LoggerSetupEntry& entry);

}  // namespace tq
