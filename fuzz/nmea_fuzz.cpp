// GPS lines from arbitrary bytes: the checksum test and the GGA parser never
// read out of bounds, and a parsed position is a real place.
#include <cmath>
#include <cstdlib>
#include <string_view>

#include "gps/nmea.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace tq;
  std::string_view line(reinterpret_cast<const char*>(data), size);
  NmeaChecksumOk(line);
  if (auto fix = ParseGga(line)) {
    if (fix->latitude && !(std::fabs(*fix->latitude) <= 90.0)) std::abort();
    if (fix->longitude && !(std::fabs(*fix->longitude) <= 180.0)) std::abort();
  }
  return 0;
}
