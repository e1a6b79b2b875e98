#include "setup/gps_port_setup.h"

#include "setup/logger_setup.h"

namespace tq {

std::vector<std::string> GpsPortListEntries(size_t list) {
  switch (list) {
    case 0: return {"Disabled", "Enabled"};
    case 1: return ComPortEntries();
    case 2: return {"4800", "9600", "19200", "38400", "57600", "115200"};
    case 3: return {"No", "Even", "Odd"};
    case 4: return {"7", "8"};
    case 5: return {"1", "2"};
    default: return {};
  }
}

std::array<int32_t, kGpsPortListCount> GpsPortSelections(const SettingsStore& s) {
  return {s.GpsInput, s.GpsPort, s.GpsBaud, s.GpsParity, s.GpsDataBits, s.GpsStopBits};
}

void ApplyGpsPortSetup(SettingsStore& s, const std::array<int32_t, kGpsPortListCount>& positions) {
  int32_t* fields[] = {&s.GpsInput, &s.GpsPort, &s.GpsBaud, &s.GpsParity, &s.GpsDataBits, &s.GpsStopBits};
  for (size_t i = 0; i < kGpsPortListCount; ++i) {
    if (positions[i] >= 0) *fields[i] = positions[i];
  }
}

}  // namespace tq
