// Where data files live and how a new one is named, created and opened.
//
// Folders are system paths ("Storage\DATA68MK2") that map under the data
// root (MapSystemPath). The save dialog that lets the operator confirm or
// change the proposal belongs to the window layer; it uses the texts and
// folders below and then calls CreateDataFile with the chosen path.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

#include "instrument/decoding.h"
#include "platform/clock.h"
#include "settings/build_config.h"
#include "settings/settings.h"
#include "survey/data_file.h"

namespace tq {

inline constexpr const char* kCreateDataFileTitle = "Create Data File";
inline constexpr const char* kFileExistsText = "The file already exisits. Please enter another name";
inline constexpr const char* kFileExistsCaption = "WARNING";

// "Storage" when StorageRoot is 1, else "C_DRIVE"; TQ93 always "C_DRIVE".
std::string StorageRootName(const BuildConfig& build);

// The folders, extension and save-dialog filter of the build's kind.
struct DataFolders {
  std::string proposal_folder;    // "Storage\DATA68MK2": probed for free names
  std::string dialog_folder;      // "\Storage\DATA68MK2\": the dialog starts here
  std::string extension;          // ".N68"
  std::string default_extension;  // "N68"
  std::string filter_text;        // "TQ68MK2 Files (*.N68)"
  std::string filter_pattern;     // "*.N68"
};
DataFolders DataFoldersFor(const BuildConfig& build);

// Month, day and hour, "%02d" each: 6 December at 14 h gives "120614".
std::string FileNameStem(const LocalTime& now);

// A free name, stem plus the first letter "A".."Z" whose file does not exist
// in the proposal folder (created when missing). When all 26 exist, the
// last candidate with folder and extension, which the existence check of the
// save step then refuses.
std::string ProposeFileName(const BuildConfig& build, const LocalTime& now);

// The chosen file name without folder and extension: after the last "\" or
// "/", up to the first "." after it; narrowed to 8-bit characters.
std::string DataFileBaseName(std::string_view chosen_path);

// What refuses a chosen file whose base name header 2 and the panel cannot
// hold in 8-bit characters (CheckTypedText); nothing when it fits.
std::optional<std::string> CheckDataFileName(std::string_view chosen_path);

// What the opening records need besides the settings.
struct DataFileSetup {
  const SettingsStore& settings;
  const BuildConfig& build;
  bool portrait = true;
  Mk2Offsets previous_offsets{};  // beside the offsets in the "O" records
};

enum class CreateOutcome {
  kCreated,  // open, opening records written (a failed write is in `error`)
  kExists,   // refused: show kFileExistsText and propose again
  kFailed,   // could not be created; nothing is open
};

struct CreateResult {
  CreateOutcome outcome = CreateOutcome::kFailed;
  std::string base_name;  // DataFileBaseName of the chosen path
  std::string error;
};

// Creates the chosen file new (never over an existing one), keeps it open in
// `file`, and writes header 1, header 2, the line start group and a time mark.
CreateResult CreateDataFile(DataFile& file, const std::filesystem::path& chosen,
                            const DataFileSetup& setup);

}  // namespace tq
