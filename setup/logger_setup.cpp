#include "setup/logger_setup.h"

#include <cstdio>

namespace tq {
namespace {

void Keep(int32_t& field, int32_t position) {
  if (position >= 0) field = position;
}

}  // namespace

std::vector<std::string> ComPortEntries() {
  std::vector<std::string> ports;
  for (int com = 1; com <= 12; ++com) ports.push_back("COM" + std::to_string(com) + ":");
  return ports;
}

std::vector<std::string> ExtMarkerEntries() {
  std::vector<std::string> entries = {"Disabled"};
  for (int com = 1; com <= 12; ++com) {
    // COM6 is taken on the handheld.
    if (com != 6) entries.push_back("COM" + std::to_string(com) + ":");
  }
  return entries;
}

std::vector<std::string> SeaWaterEntries() {
  std::vector<std::string> entries;
  for (int value = 2000; value <= 3000; value += 100) entries.push_back(std::to_string(value) + " mS/m");
  return entries;
}

std::vector<std::string> InstrumentVariantEntries(int32_t kind) {
  if (kind == kKindTq62) return {"Standard", "Short"};
  if (kind == kKindTq68Mk2) return {"TQ68-MK2-1", "TQ68-MK2"};
  return {};
}

int32_t InstrumentVariantPosition(const SettingsStore& s, int32_t kind) {
  return kind == kKindTq68Mk2 ? s.Mk2Variant - 1 : s.Tq62Variant;
}

std::string InstrumentPortLabel(int32_t kind) {
  if (kind == kKindTq93) return {};
  return std::string(KindInfoFor(kind).model) + " Port";
}

std::vector<std::string> PauseKeyEntries(int32_t kind, bool portrait) {
  if (kind == kKindTq68Mk2) return {"any non numeric key", "<Space Bar>", "<Enter>", "<P>"};
  if (portrait) return {"any key"};
  return {"any key", "<Space Bar>", "<Enter>", "<P>"};
}

std::vector<std::string> SoftMarkerEntries(bool portrait, int32_t storage_root) {
  if (portrait && storage_root == 1) return {"Disabled", "any arrow key"};
  return {"Disabled", "any numeric key"};
}

bool PauseKeyFixed(int32_t kind, bool portrait) { return kind == kKindTq68Mk2 && portrait; }

void ApplyLoggerSetup(SettingsStore& s, const BuildConfig& build, bool portrait, const LoggerSetupEntry& e) {
  const int32_t kind = build.InstrumentKind;
  if (kind == kKindTq62 && build.IceOptionBuilt == 1) {
    Keep(s.IceOption, e.ice_option);
    Keep(s.SeaWaterIndex, e.sea_water);
    Keep(s.ShowProfile, e.show_profile);
  }
  if (kind == kKindTq62) Keep(s.Tq62Variant, e.variant);
  if (kind == kKindTq68Mk2 && e.variant >= 0) s.Mk2Variant = e.variant + 1;
  Keep(s.InstrumentPort, e.port);
  if (kind == kKindTq68Mk2) {
    Keep(s.ExtMarkerPort, e.ext_marker);
    Keep(s.SoftMarker, e.soft_marker);
  }
  Keep(s.Units, e.units);
  Keep(s.Audio, e.audio);
  Keep(s.PauseKey, e.pause_key);
  if (PauseKeyFixed(kind, portrait)) s.PauseKey = kEnterPauseKey;
}

}  // namespace tq
