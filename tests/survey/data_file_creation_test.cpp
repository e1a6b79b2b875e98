// Data file folders, name proposals, base names and the opening records of a
// new file.
#include "survey/data_file_creation.h"

#include <gtest/gtest.h>

#include <string>

#include "platform/files.h"
#include "tests/support/temp_dir.h"
#include "tests/survey/record_lines.h"

namespace tq {
namespace {

using testing::ReadFileBytes;
using testing::ScopedDataRoot;
using testing::WriteFileBytes;

LocalTime DecemberSixthAt14() { return testing::DecemberSixthAt(14, 5, 9, 7); }

TEST(DataFoldersTest, FoldersExtensionsAndFiltersByKind) {
  const DataFolders mk2 = DataFoldersFor({kKindTq68Mk2, 1, 0});
  EXPECT_EQ(mk2.proposal_folder, "Storage\\DATA68MK2");
  EXPECT_EQ(mk2.dialog_folder, "\\Storage\\DATA68MK2\\");
  EXPECT_EQ(mk2.extension, ".N68");
  EXPECT_EQ(mk2.default_extension, "N68");
  EXPECT_EQ(mk2.filter_text, "TQ68MK2 Files (*.N68)");
  EXPECT_EQ(mk2.filter_pattern, "*.N68");

  const DataFolders dd = DataFoldersFor({kKindTq68dd, 0, 0});
  EXPECT_EQ(dd.proposal_folder, "C_DRIVE\\DATA68");
  EXPECT_EQ(dd.dialog_folder, "C_DRIVE\\DATA68\\");
  EXPECT_EQ(dd.filter_text, "TQ68D Files (*.Q68)");

  EXPECT_EQ(DataFoldersFor({kKindFrz62, 1, 0}).filter_text, "FRZ62 Files (*.I62)");
}

TEST(DataFoldersTest, Tq93StaysUnderCDriveEvenWithStorageRoot) {
  const DataFolders tq93 = DataFoldersFor({kKindTq93, 1, 0});
  EXPECT_EQ(tq93.proposal_folder, "C_DRIVE\\DATA93");
  EXPECT_EQ(tq93.dialog_folder, "C_DRIVE\\DATA93\\");
  EXPECT_EQ(StorageRootName({kKindTq93, 1, 0}), "C_DRIVE");
  EXPECT_EQ(StorageRootName({kKindTq62, 1, 0}), "Storage");
  EXPECT_EQ(StorageRootName({kKindTq62, 0, 0}), "C_DRIVE");
}

TEST(ProposeFileNameTest, StemIsMonthDayHour) {
  EXPECT_EQ(FileNameStem(DecemberSixthAt14()), "120614");
}

TEST(ProposeFileNameTest, FirstFreeLetterAndFolderCreated) {
  ScopedDataRoot root;
  const BuildConfig build{kKindTq62, 1, 0};
  EXPECT_EQ(ProposeFileName(build, DecemberSixthAt14()), "120614A");
  EXPECT_TRUE(std::filesystem::is_directory(root.path() / "Storage" / "DATA62"));
  WriteFileBytes(root.path() / "Storage" / "DATA62" / "120614A.R62", "x");
  // Another kind's extension does not take the name.
  WriteFileBytes(root.path() / "Storage" / "DATA62" / "120614B.R68", "x");
  EXPECT_EQ(ProposeFileName(build, DecemberSixthAt14()), "120614B");
}

TEST(ProposeFileNameTest, ANameHeldByALinkThatLeadsNowhereIsTaken) {
  ScopedDataRoot root;
  const BuildConfig build{kKindTq62, 1, 0};
  ASSERT_EQ(ProposeFileName(build, DecemberSixthAt14()), "120614A");
  std::filesystem::create_symlink(root.path() / "gone",
                                  root.path() / "Storage" / "DATA62" / "120614A.R62");
  EXPECT_EQ(ProposeFileName(build, DecemberSixthAt14()), "120614B");
}

TEST(ProposeFileNameTest, AllLettersTakenGivesTheLastCandidateWithFolder) {
  ScopedDataRoot root;
  const BuildConfig build{kKindTq93, 1, 0};
  for (char c = 'A'; c <= 'Z'; ++c) {
    WriteFileBytes(root.path() / "C_DRIVE" / "DATA93" / (std::string("120614") + c + ".R93"), "x");
  }
  EXPECT_EQ(ProposeFileName(build, DecemberSixthAt14()), "C_DRIVE\\DATA93\\120614Z.R93");
}

TEST(BaseNameTest, NameUpToTheFirstDotAfterTheLastSeparator) {
  EXPECT_EQ(DataFileBaseName("\\Storage\\DATA62\\LINE.7.R62"), "LINE");
  EXPECT_EQ(DataFileBaseName("/home/op/data.d/DATA62/LINE.7.R62"), "LINE");
  EXPECT_EQ(DataFileBaseName("120614A.N68"), "120614A");
  EXPECT_EQ(DataFileBaseName("/x/NOEXT"), "NOEXT");
  EXPECT_EQ(DataFileBaseName("/x/s\xC3\xA9"), "s\xE9");
}

class CreateDataFileTest : public ::testing::Test {
 protected:
  CreateDataFileTest() {
    clock.SetNow(DecemberSixthAt14());
    clock.SetTick(5000);
    InstallClock(&clock);
    s.SurveyLine = "7";
    s.StartStation = 100.0;
    s.StationIncrement = -2.5f;
    s.Direction = 1;
    s.SurveyMode = 2;
    s.DipoleMode = 2;
    s.SamplesPerReading = 10;
  }
  ~CreateDataFileTest() override { InstallClock(nullptr); }

  ScopedDataRoot root;
  FakeClock clock;
  SettingsStore s;
  DataFile file;
};

TEST_F(CreateDataFileTest, Mk2FileOpensWithHeadersLineStartCalibrationAndTimeMark) {
  s.Mk2Calibration = {1.5f, 0, 0, 0, 0, 0};
  const BuildConfig build{kKindTq68Mk2, 1, 0};
  const auto path = root.path() / "LINE.7.N68";
  CreateResult created = CreateDataFile(file, path, {s, build, true, {0, 0, 0, 0, 0, 2.0f}});
  ASSERT_EQ(created.outcome, CreateOutcome::kCreated) << created.error;
  EXPECT_EQ(created.base_name, "LINE");
  EXPECT_TRUE(file.IsOpen());
  ASSERT_TRUE(file.Close());
  EXPECT_EQ(ReadFileBytes(path),
            "TQ68MK2 W211GRD0220" "2" "   " " " "3" "\n"
            "H LINE          10       \n"
            "L7                       \n"
            "B     100.00             \n"
            "AS           -2.500      \n"
            "Z06122009 14:05:09       \n"
            "O1     1.500      0.000  \n"
            "O2     0.000      0.000  \n"
            "O3     0.000      0.000  \n"
            "O4     0.000      0.000  \n"
            "O5     0.000      0.000  \n"
            "O6     0.000      2.000  \n"
            "*14:05:09.007        5000\n");
}

TEST_F(CreateDataFileTest, NineCharacterBaseNameInHeaderOfAShortFile) {
  const BuildConfig build{kKindTq62, 0, 0};
  const auto path = root.path() / "ABCDEFGHIJK.R62";
  CreateResult created = CreateDataFile(file, path, {s, build, false, {}});
  ASSERT_EQ(created.outcome, CreateOutcome::kCreated);
  EXPECT_EQ(created.base_name, "ABCDEFGHIJK");
  file.Close();
  const std::string bytes = ReadFileBytes(path);
  ASSERT_EQ(bytes.size(), 7u * 24);
  EXPECT_EQ(bytes.substr(24, 24), "H ABCDEFGHI     10     \n");
  EXPECT_EQ(bytes.substr(6 * 24), "*14:05:09.007      5000\n");
}

TEST_F(CreateDataFileTest, BaseNameIsNarrowedOnceEvenWhenItsBytesLookLikeUtf8) {
  // "\u00C3\u00A9" narrows to the bytes C3 A9, which must reach header 2 as they are.
  const auto path = root.path() / "\xC3\x83\xC2\xA9.R62";
  CreateResult created = CreateDataFile(file, path, {s, {kKindTq62, 1, 0}, true, {}});
  ASSERT_EQ(created.outcome, CreateOutcome::kCreated);
  EXPECT_EQ(created.base_name, "\xC3\xA9");
  file.Close();
  EXPECT_EQ(ReadFileBytes(path).substr(24, 5), "H \xC3\xA9 ");
}

TEST_F(CreateDataFileTest, ExistingFileIsRefusedAndLeftAlone) {
  const auto path = root.path() / "TAKEN.R62";
  WriteFileBytes(path, "old");
  CreateResult created = CreateDataFile(file, path, {s, {kKindTq62, 1, 0}, true, {}});
  EXPECT_EQ(created.outcome, CreateOutcome::kExists);
  EXPECT_FALSE(file.IsOpen());
  EXPECT_EQ(ReadFileBytes(path), "old");
}

TEST_F(CreateDataFileTest, ANameThatCannotBeOpenedStillCountsAsExisting) {
  // A link that leads nowhere cannot be read, yet the name is taken.
  const auto path = root.path() / "LINKED.R62";
  std::filesystem::create_symlink(root.path() / "gone", path);
  CreateResult created = CreateDataFile(file, path, {s, {kKindTq62, 1, 0}, true, {}});
  EXPECT_EQ(created.outcome, CreateOutcome::kExists);
  EXPECT_FALSE(file.IsOpen());
  EXPECT_FALSE(std::filesystem::exists(root.path() / "gone"));
}

TEST_F(CreateDataFileTest, UncreatableFileFailsWithNothingOpen) {
  CreateResult created =
      CreateDataFile(file, root.path() / "missing" / "A.R62", {s, {kKindTq62, 1, 0}, true, {}});
  EXPECT_EQ(created.outcome, CreateOutcome::kFailed);
  EXPECT_FALSE(created.error.empty());
  EXPECT_FALSE(file.IsOpen());
}

}  // namespace
}  // namespace tq
