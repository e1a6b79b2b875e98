#include "survey/data_file_creation.h"

#include <cstdio>

#include "platform/files.h"
#include "platform/text.h"
#include "survey/typed_fields.h"
#include "survey/record_layout.h"

namespace tq {
namespace {

// The model name of each kind in the save dialog's filter.
constexpr const char* kFilterModels[kKindCount] = {"TQ62", "TQ68B", "TQ68D", "TQ68",
                                                   "TQ64", "TQ93",  "FRZ62", "TQ68MK2"};

constexpr char kFirstLetter = 'A';
constexpr char kLastLetter = 'Z';

// The file name without folder and extension, as chosen.
std::string_view BaseNameOf(std::string_view chosen_path) {
  const size_t separator = chosen_path.find_last_of("\\/");
  std::string_view name =
      separator == std::string_view::npos ? chosen_path : chosen_path.substr(separator + 1);
  return name.substr(0, name.find('.'));
}

}  // namespace

std::string StorageRootName(const BuildConfig& build) {
  const bool storage = build.StorageRoot == 1 && build.InstrumentKind != kKindTq93;
  return storage ? "Storage" : "C_DRIVE";
}

DataFolders DataFoldersFor(const BuildConfig& build) {
  const KindInfo& info = KindInfoFor(build.InstrumentKind);
  const std::string root = StorageRootName(build);
  DataFolders folders;
  folders.proposal_folder = root + "\\" + info.data_folder;
  folders.dialog_folder = (root == "Storage" ? "\\" : "") + folders.proposal_folder + "\\";
  folders.extension = info.data_extension;
  folders.default_extension = folders.extension.substr(1);
  folders.filter_pattern = "*" + folders.extension;
  folders.filter_text =
      std::string(kFilterModels[info.kind]) + " Files (" + folders.filter_pattern + ")";
  return folders;
}

std::string FileNameStem(const LocalTime& now) {
  char stem[40];
  std::snprintf(stem, sizeof stem, "%02d%02d%02d", now.month, now.day, now.hour);
  return stem;
}

std::string ProposeFileName(const BuildConfig& build, const LocalTime& now) {
  const DataFolders folders = DataFoldersFor(build);
  CreateDirectory(MapSystemPath(folders.proposal_folder));
  const std::string stem = FileNameStem(now);
  std::string candidate;
  for (char letter = kFirstLetter; letter <= kLastLetter; ++letter) {
    const std::string name = stem + letter;
    candidate = folders.proposal_folder + "\\" + name + folders.extension;
    if (!PathExists(MapSystemPath(candidate))) return name;
  }
  return candidate;
}

std::string DataFileBaseName(std::string_view chosen_path) { return NarrowTo8Bit(BaseNameOf(chosen_path)); }

std::optional<std::string> CheckDataFileName(std::string_view chosen_path) {
  return CheckTypedText("File Name", BaseNameOf(chosen_path));
}

CreateResult CreateDataFile(DataFile& file, const std::filesystem::path& chosen,
                            const DataFileSetup& setup) {
  CreateResult result;
  result.base_name = DataFileBaseName(chosen.string());
  const int32_t kind = KindInfoFor(setup.build.InstrumentKind).kind;
  bool exists = false;
  WriteResult created = file.Create(chosen, RecordLengthFor(kind), &exists);
  if (!created) {
    result.outcome = exists ? CreateOutcome::kExists : CreateOutcome::kFailed;
    result.error = created.error;
    return result;
  }
  result.outcome = CreateOutcome::kCreated;
  WriteResult written[] = {
      WriteHeader(file, setup.settings, setup.build, setup.portrait, result.base_name),
      WriteLineStart(file, setup.settings, kind, setup.previous_offsets),
      WriteTimeMark(file),
  };
  for (const WriteResult& w : written) {
    if (!w) {
      result.error = w.error;
      break;
    }
  }
  return result;
}

}  // namespace tq
