// The settings loader over whole files of any content, lines of any length
// included: it never fails on a file it can rewrite, and what it loaded
// survives its own file unchanged (saving and loading again gives the same
// file).
#include <cstdlib>
#include <string>

#include "fuzz/fuzz_files.h"
#include "platform/files.h"
#include "settings/settings.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace tq;
  if (size < 1) return 0;
  static const bool rooted = (SetDataRoot(tq::fuzz::Folder()), true);
  (void)rooted;
  const BuildConfig build{data[0] % kKindCount, (data[0] >> 3) & 1, (data[0] >> 4) & 1};
  const std::filesystem::path path = MapSystemPath(SettingsFileSystemPath(build));
  std::error_code ec;
  std::filesystem::create_directories(path.parent_path(), ec);
  tq::fuzz::WriteInput(path, data + 1, size - 1);

  // As the program starts: timing, the kind's defaults, then the file.
  SettingsStore loaded;
  UpdateReadingTiming(loaded, build);
  ApplyKindDefaults(loaded, build);
  if (!LoadSettings(loaded, build)) std::abort();
  const std::string once = FormatSettingsFile(loaded, build);
  if (!SaveSettings(loaded, build)) std::abort();
  SettingsStore again;
  UpdateReadingTiming(again, build);
  ApplyKindDefaults(again, build);
  if (!LoadSettings(again, build)) std::abort();
  if (FormatSettingsFile(again, build) != once) std::abort();
  return 0;
}
