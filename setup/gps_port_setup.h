// The GPS port setup dialog's lists and what OK and "Monitor GPS Output"
// store. Pure functions; setup_dialogs.h draws them.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "settings/settings.h"

namespace tq {

// The six lists in the dialog's order: input, port, baud rate, parity, data
// bits, stop bits.
inline constexpr size_t kGpsPortListCount = 6;
std::vector<std::string> GpsPortListEntries(size_t list);
// The stored position each list selects.
std::array<int32_t, kGpsPortListCount> GpsPortSelections(const SettingsStore& s);
// Copies the six positions into the settings (-1 keeps a field).
void ApplyGpsPortSetup(SettingsStore& s, const std::array<int32_t, kGpsPortListCount>& positions);

}  // namespace tq
