#include "settings/build_config.h"

#include <algorithm>
#include <cctype>

#include "build_defaults.h"

namespace tq {
namespace {

constexpr KindInfo kKinds[kKindCount] = {
    {0, "TQ62", "TQ62", "TQ62.INI", "CEVer2.11", ".R62", "DATA62", FrameSyntax::kAscii, 12, 9600},
    {1, "TQ68B", "TQ68B", "TQ68B.INI", "CEVer2.10", ".P68", "DATA68", FrameSyntax::kAscii, 12, 9600},
    {2, "TQ68-DD", "TQ68D", "TQ68D.INI", "CEVer2.11", ".Q68", "DATA68", FrameSyntax::kAscii, 12, 9600},
    {3, "TQ68", "TQ68", "TQ68.INI", "CEVer2.11", ".R68", "DATA68", FrameSyntax::kAscii, 12, 9600},
    {4, "TQ64-3", "TQ64", "TQ64.INI", "CEVer2.11", ".R64", "DATA64", FrameSyntax::kAscii, 12, 9600},
    {5, "TQ93", "TQ93", "TQ93.INI", "CEVer2.10", ".R93", "DATA93", FrameSyntax::kAscii, 12, 9600},
    {6, "FRZ62", "FRZ62", "FRZ62.INI", "CEVer2.10", ".I62", "DATAICE", FrameSyntax::kIce, 8, 9600},
    {7, "TQ68-MK2", "TQ68MK2", "TQ68MK2.INI", "CEVer2.11", ".N68", "DATA68MK2", FrameSyntax::kBinary,
     14, 19200},
};

}  // namespace

BuildConfig DefaultBuildConfig() {
  return BuildConfig{TQ_DEFAULT_INSTRUMENT_KIND, TQ_DEFAULT_STORAGE_ROOT,
                     TQ_DEFAULT_ICE_OPTION_BUILT};
}

BuildConfig& Build() {
  static BuildConfig config = DefaultBuildConfig();
  return config;
}

std::optional<int32_t> KindFromName(std::string_view name) {
  if (name.size() == 1 && name[0] >= '0' && name[0] < '0' + kKindCount) return name[0] - '0';
  auto same = [](std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
             return std::toupper(static_cast<unsigned char>(x)) == std::toupper(static_cast<unsigned char>(y));
           });
  };
  for (const KindInfo& info : kKinds) {
    if (same(name, info.model)) return info.kind;
  }
  return std::nullopt;
}

const KindInfo& KindInfoFor(int32_t kind) {
  return kKinds[(kind >= 0 && kind < kKindCount) ? kind : kKindTq68Mk2];
}

}  // namespace tq
