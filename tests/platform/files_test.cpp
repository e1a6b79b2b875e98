// Files, path mapping and the atomic replace, on real files.
#include "platform/files.h"

#include <gtest/gtest.h>

#include <cerrno>

#include "tests/support/temp_dir.h"

namespace tq {
namespace {

using testing::ReadFileBytes;
using testing::ScopedDataRoot;
using testing::WriteFileBytes;

TEST(MapSystemPathTest, MapsBackslashPathsUnderTheRoot) {
  ScopedDataRoot root;
  EXPECT_EQ(MapSystemPath("Storage\\FLDINI\\TQ68MK2.INI"),
            root.path() / "Storage" / "FLDINI" / "TQ68MK2.INI");
  EXPECT_EQ(MapSystemPath("\\Storage\\DATA68MK2\\"), root.path() / "Storage" / "DATA68MK2/");
}

TEST(FileTest, OpenModesFollowTheSystemsRules) {
  ScopedDataRoot root;
  auto path = root.path() / "a.dat";
  EXPECT_FALSE(File::Open(path, OpenMode::kOpenExisting, kRead).IsOpen());
  {
    File f = File::Open(path, OpenMode::kCreateNew, kWrite);
    ASSERT_TRUE(f.IsOpen());
    EXPECT_TRUE(f.Write("abc"));
  }
  EXPECT_FALSE(File::Open(path, OpenMode::kCreateNew, kWrite).IsOpen());
  {
    File f = File::Open(path, OpenMode::kOpenAlways, kReadWrite);
    ASSERT_TRUE(f.IsOpen());
    EXPECT_EQ(f.Size(), 3);
    EXPECT_TRUE(f.SeekToEnd());
    EXPECT_TRUE(f.Write("de"));
    EXPECT_TRUE(f.Sync());
  }
  EXPECT_EQ(ReadFileBytes(path), "abcde");
  {
    File f = File::Open(path, OpenMode::kCreateAlways, kWrite);
    ASSERT_TRUE(f.IsOpen());
  }
  EXPECT_EQ(ReadFileBytes(path), "");
}

TEST(FileTest, ExclusiveOpenersKeepOthersOutButNotReaders) {
  ScopedDataRoot root;
  const auto path = root.path() / "held.dat";
  WriteFileBytes(path, "records");
  // The lock belongs to the open file, so a second open here meets it as
  // another program would.
  File held = File::Open(path, OpenMode::kOpenExisting, kReadWrite | kExclusive);
  ASSERT_TRUE(held.IsOpen()) << held.LastError();
  for (OpenMode mode : {OpenMode::kOpenExisting, OpenMode::kOpenAlways, OpenMode::kCreateAlways}) {
    File second = File::Open(path, mode, kReadWrite | kExclusive);
    EXPECT_FALSE(second.IsOpen());
    EXPECT_NE(second.LastError().find("in use"), std::string::npos) << second.LastError();
  }
  EXPECT_EQ(ReadFileBytes(path), "records") << "a refused create-always empties nothing";
  EXPECT_TRUE(File::Open(path, OpenMode::kOpenExisting, kRead).IsOpen());
  ASSERT_TRUE(held.Close());
  EXPECT_TRUE(File::Open(path, OpenMode::kCreateAlways, kReadWrite | kExclusive).IsOpen());
  EXPECT_EQ(ReadFileBytes(path), "");
}

TEST(FileTest, FullDiskFailsTheWriteAndSaysSo) {
  ScopedDataRoot root;
  FileFaults faults;
  faults.write_budget = 4;
  InjectFileFaults(&faults);
  File f = File::Open(root.path() / "b.dat", OpenMode::kCreateAlways, kWrite);
  EXPECT_TRUE(f.Write("1234"));
  EXPECT_FALSE(f.Write("5"));
  EXPECT_NE(f.LastError().find("write"), std::string::npos);
  InjectFileFaults(nullptr);
}

// A write that crosses the limit puts down what fits, as a filling disk does,
// and fails with the error chosen; a failed sync is never a success.
TEST(FileTest, InjectedFaultsFailWriteAndSyncWithTheirOwnErrors) {
  struct Case {
    int write_error;
    int sync_error;
    const char* write_text;
    const char* sync_text;
  };
  for (const Case& c : {Case{ENOSPC, EIO, "write: No space left on device", "fsync: Input/output error"},
                        Case{EIO, ENOSPC, "write: Input/output error", "fsync: No space left on device"}}) {
    ScopedDataRoot root;
    FileFaults faults;
    faults.write_budget = 6;
    faults.write_error = c.write_error;
    faults.sync_error = c.sync_error;
    InjectFileFaults(&faults);
    File f = File::Open(root.path() / "b.dat", OpenMode::kCreateAlways, kWrite);
    EXPECT_TRUE(f.Write("1234"));
    EXPECT_FALSE(f.Write("5678"));
    EXPECT_EQ(f.LastError(), c.write_text);
    EXPECT_TRUE(f.Sync());
    faults.fail_sync = true;
    EXPECT_FALSE(f.Sync());
    EXPECT_EQ(f.LastError(), c.sync_text);
    InjectFileFaults(nullptr);
    EXPECT_EQ(ReadFileBytes(root.path() / "b.dat"), "123456");
  }
}

TEST(ReplaceFileAtomicallyTest, ReplacesTheWholeFile) {
  ScopedDataRoot root;
  auto path = root.path() / "s.ini";
  WriteFileBytes(path, "old contents that are longer");
  ASSERT_TRUE(ReplaceFileAtomically(path, "new"));
  EXPECT_EQ(ReadFileBytes(path), "new");
  EXPECT_FALSE(std::filesystem::exists(root.path() / "s.ini.tmp"));
}

// A fault at each step of a replacement: the old file stays whole, except
// after the rename, when the new one is in place but not known to be on
// storage; neither is reported as saved.
TEST(ReplaceFileAtomicallyTest, AFaultAtEachStepIsNotReportedAsSaved) {
  struct Case {
    const char* name;
    FileFaults faults;
    const char* replacement;
    const char* left;
    bool checks_temporary;  // whether no temporary file may be left
  };
  FileFaults write_fails;
  write_fails.write_budget = 2;
  FileFaults power_lost;
  power_lost.stop_before_rename = true;
  FileFaults folder_sync_fails;
  folder_sync_fails.fail_folder_sync = true;
  for (Case c : {Case{"write", write_fails, "much newer", "old", true},
                 Case{"power lost before the rename", power_lost, "new", "old", false},
                 Case{"folder sync", folder_sync_fails, "new", "new", true}}) {
    SCOPED_TRACE(c.name);
    ScopedDataRoot root;
    auto path = root.path() / "s.ini";
    WriteFileBytes(path, "old");
    InjectFileFaults(&c.faults);
    EXPECT_FALSE(ReplaceFileAtomically(path, c.replacement));
    InjectFileFaults(nullptr);
    EXPECT_EQ(ReadFileBytes(path), c.left);
    if (c.checks_temporary) {
      EXPECT_FALSE(std::filesystem::exists(root.path() / "s.ini.tmp"));
    }
  }
}

// A folder whose commit in its parent fails is reported and taken away
// again, so that the next call makes and commits it anew.
TEST(CreateDirectoryTest, AFolderThatCannotBeCommittedIsReportedAndNotKept) {
  ScopedDataRoot root;
  const auto storage = root.path() / "Storage";
  ASSERT_TRUE(CreateDirectory(storage / "FLDINI"));
  FileFaults faults;
  faults.fail_folder_sync = true;
  InjectFileFaults(&faults);
  EXPECT_FALSE(CreateDirectory(storage / "DATA68MK2"));
  EXPECT_TRUE(CreateDirectory(storage / "FLDINI")) << "a folder that exists has nothing to commit";
  InjectFileFaults(nullptr);
  EXPECT_FALSE(PathExists(storage / "DATA68MK2"));
  EXPECT_TRUE(CreateDirectory(storage / "DATA68MK2"));
}

TEST(CreateDirectoryTest, ExistingFolderIsNoError) {
  ScopedDataRoot root;
  auto dir = root.path() / "Storage" / "FLDINI";
  EXPECT_TRUE(CreateDirectory(dir));
  EXPECT_TRUE(CreateDirectory(dir));
  EXPECT_TRUE(DeleteFile(dir));
  EXPECT_FALSE(DeleteFile(dir));
}

}  // namespace
}  // namespace tq
