// The build-time constants of the logger and the table of instrument kinds.
//
// Every kind's logic is compiled into every build. Code that depends on the
// kind reads it from Build(); the tqlog executable keeps the CMake defaults,
// tests set the record to the kind they exercise.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

namespace tq {

struct BuildConfig {
  int32_t InstrumentKind;  // 0..7, see KindInfo
  int32_t StorageRoot;     // 1: files under "Storage\", 0: under "C_DRIVE\"
  int32_t IceOptionBuilt;  // 1: the TQ62 build offers the ice option
};

// The process-wide build constants, initialised from the CMake cache.
BuildConfig& Build();

// The defaults the build was configured with.
BuildConfig DefaultBuildConfig();

enum class FrameSyntax { kAscii, kIce, kBinary };

// One row of the table of instrument kinds.
struct KindInfo {
  int32_t kind;
  const char* model;           // "TQ68-MK2"
  const char* port_name;       // name in "Cannot open %s port": "TQ68MK2"
  const char* settings_file;   // "TQ68MK2.INI"
  const char* version_tag;     // first line of the settings file
  const char* data_extension;  // ".N68"
  const char* data_folder;     // "DATA68MK2"
  FrameSyntax syntax;
  int32_t frame_length;        // bytes per frame (kind 3 probes 7 or 12)
  uint32_t baud;               // instrument line speed
};

inline constexpr int32_t kKindCount = 8;
inline constexpr int32_t kKindTq62 = 0;
inline constexpr int32_t kKindTq68b = 1;
inline constexpr int32_t kKindTq68dd = 2;
inline constexpr int32_t kKindTq68 = 3;
inline constexpr int32_t kKindTq64 = 4;
inline constexpr int32_t kKindTq93 = 5;
inline constexpr int32_t kKindFrz62 = 6;
inline constexpr int32_t kKindTq68Mk2 = 7;

// The row of `kind`; kinds outside 0..7 get the row of kind 7.
const KindInfo& KindInfoFor(int32_t kind);

// The kind named by its number "0".."7" or its model ("TQ68-MK2", in any
// case); nothing for any other text.
std::optional<int32_t> KindFromName(std::string_view name);

}  // namespace tq
