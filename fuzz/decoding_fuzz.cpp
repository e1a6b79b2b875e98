// The decoders over arbitrary frame bytes of every kind: a garbled frame only
// ever yields odd values.
#include <cmath>
#include <cstdlib>
#include <span>

#include "instrument/decoding.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace tq;
  if (size < 1) return 0;
  std::span<const uint8_t> frame(data + 1, size - 1);
  AsciiDecodeSettings settings;
  settings.kind = data[0] % 7;
  settings.survey_mode = (data[0] >> 3) % 3;
  settings.component = (data[0] >> 5) % 3;
  settings.tq62_variant = (data[0] >> 7) & 1;
  Reading ascii = DecodeAsciiFrame(frame, settings);
  Reading binary = DecodeBinaryFrame(frame, Mk2Offsets{1, -2, 3, -4, 5, -6});
  if (std::isnan(ascii.conductivity) || std::isnan(binary.conductivity)) std::abort();
  return 0;
}
