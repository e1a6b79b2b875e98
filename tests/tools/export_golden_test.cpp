// The golden files: short data files of every kind made by logging runs
// against tqsim (scripts/make-golden), each beside the CSV that tqexport made
// of it when it was reviewed. Every export must still give that CSV byte for
// byte; a change that alters one shows as a failure here, and
// TQ_UPDATE_GOLDEN=1 rewrites the CSVs in the source tree so that the change
// is a diff to review.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "tests/tools/export_test_files.h"

namespace tq::exporter {
namespace {

namespace fs = std::filesystem;

std::vector<fs::path> GoldenFiles() {
  std::vector<fs::path> files;
  for (const auto& entry : fs::directory_iterator(TQ_GOLDEN_DIR)) {
    if (entry.path().extension() != ".csv") files.push_back(entry.path());
  }
  std::sort(files.begin(), files.end());
  return files;
}

TEST(GoldenFiles, EveryKindOnTheGroundAndWithGps) {
  std::vector<std::string> kinds;
  for (const fs::path& file : GoldenFiles()) {
    const std::string stem = file.stem().string();
    if (stem.ends_with("-ground") || stem.ends_with("-gps")) kinds.push_back(file.extension().string());
  }
  for (const char* extension : {".R62", ".P68", ".Q68", ".R68", ".R64", ".R93", ".I62", ".N68"}) {
    EXPECT_EQ(std::count(kinds.begin(), kinds.end(), extension), 2) << extension;
  }
}

TEST(GoldenFiles, ExportAsReviewed) {
  const bool update = std::getenv("TQ_UPDATE_GOLDEN") != nullptr;
  testing::TempDir dir;
  for (const fs::path& file : GoldenFiles()) {
    SCOPED_TRACE(file.filename().string());
    const ExportRun run = RunExportTo(WithFormat(Format::kCsv), file, dir.path());
    ASSERT_EQ(run.status, kExitOk) << run.messages;
    const fs::path reviewed = file.string() + ".csv";
    if (update) testing::WriteFileBytes(reviewed, run.output);
    const std::vector<std::string> want = LinesOf(testing::ReadFileBytes(reviewed));
    const std::vector<std::string> got = LinesOf(run.output);
    for (size_t i = 0; i < std::min(want.size(), got.size()); ++i) {
      ASSERT_EQ(got[i], want[i]) << "line " << i + 1 << " of the export differs from the reviewed CSV";
    }
    ASSERT_EQ(got.size(), want.size()) << "lines in the export and in the reviewed CSV";
  }
}

}  // namespace
}  // namespace tq::exporter
