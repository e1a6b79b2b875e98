// Settings lines and numbers from arbitrary file bytes: lines stay within
// their buffer and no number comes back non-finite.
#include <cmath>
#include <cstdlib>
#include <string_view>

#include "settings/settings.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace tq;
  std::string_view file(reinterpret_cast<const char*>(data), size);
  char line[16];
  for (int n = 0; n < 200; ++n) {
    int length = ReadSettingsLine(file, line);
    if (length < 0) break;
    if (static_cast<size_t>(length) >= sizeof line || line[length] != '\0') std::abort();
    std::string_view text(line, static_cast<size_t>(length));
    ParseSettingsInteger(text);
    if (!std::isfinite(ParseSettingsNumber(text))) std::abort();
  }
  return 0;
}
