#include "platform/power.h"

#include <filesystem>
#include <fstream>
#include <string>

namespace tq {

int BatteryPercent() {
  std::error_code ec;
  std::filesystem::directory_iterator it("/sys/class/power_supply", ec);
  if (ec) return 100;
  for (const auto& entry : it) {
    std::ifstream type(entry.path() / "type");
    std::string kind;
    if (!(type >> kind) || kind != "Battery") continue;
    std::ifstream capacity(entry.path() / "capacity");
    int percent = 0;
    if (capacity >> percent) return percent < 0 ? 0 : (percent > 100 ? 100 : percent);
  }
  return 100;
}

void ResetIdleTimer() {}

}  // namespace tq
