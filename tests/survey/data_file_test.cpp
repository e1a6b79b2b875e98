// The open data file: appends from two threads stay whole, failed writes are
// reported and lose only their own record, flushes report failures.
#include "survey/data_file.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/mount.h>
#include <sys/resource.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "platform/clock.h"
#include "survey/data_file_syncer.h"
#include "survey/record_reader.h"
#include "tests/support/temp_dir.h"

namespace tq {
namespace {

using testing::ReadFileBytes;
using testing::TempDir;

DataRecord Reading(uint32_t n) {
  const std::string text = "T6-0400+0123";
  return FormatReadingRecord(std::span(reinterpret_cast<const uint8_t*>(text.data()), text.size()),
                             n);
}

class DataFileTest : public ::testing::Test {
 protected:
  std::filesystem::path path() const { return dir.path() / "A.R62"; }
  TempDir dir;
  DataFile file;
};

TEST_F(DataFileTest, CreateRefusesAnExistingFile) {
  bool exists = true;
  ASSERT_TRUE(file.Create(path(), 24, &exists));
  EXPECT_FALSE(exists);
  ASSERT_TRUE(file.Close());
  DataFile again;
  WriteResult second = again.Create(path(), 24, &exists);
  EXPECT_FALSE(second.ok);
  EXPECT_TRUE(exists);
  EXPECT_FALSE(again.IsOpen());
  EXPECT_FALSE(again.Create(dir.path() / "no" / "such" / "A.R62", 24, &exists).ok);
  EXPECT_FALSE(exists);
}

// A file whose name could not be committed would vanish in a power cut with
// all its committed records: it is refused and not left behind, so that
// the same name can be created once the storage works.
TEST_F(DataFileTest, CreateReportsAFailedFolderSyncAndKeepsNothing) {
  FileFaults faults;
  faults.fail_folder_sync = true;
  InjectFileFaults(&faults);
  bool exists = true;
  WriteResult created = file.Create(path(), 24, &exists);
  InjectFileFaults(nullptr);
  EXPECT_FALSE(created.ok);
  EXPECT_EQ(created.error, "folder sync: Input/output error");
  EXPECT_FALSE(exists);
  EXPECT_FALSE(file.IsOpen());
  EXPECT_FALSE(PathExists(path()));
  EXPECT_TRUE(file.Create(path(), 24).ok);
}

TEST_F(DataFileTest, OpenFileIsHeldAgainstOtherWritersButNotReaders) {
  ASSERT_TRUE(file.Create(path(), 24));
  ASSERT_TRUE(file.Append(Reading(5)));
  // A second logger reaching the file through another root or a link; its
  // open is a separate one, so this process stands for it.
  File other = File::Open(path(), OpenMode::kOpenExisting, kReadWrite | kExclusive);
  EXPECT_FALSE(other.IsOpen());
  EXPECT_NE(other.LastError().find("in use"), std::string::npos) << other.LastError();
  EXPECT_EQ(ReadFileBytes(path()), Reading(5).text());
  ASSERT_TRUE(file.Close());
  EXPECT_TRUE(File::Open(path(), OpenMode::kOpenExisting, kReadWrite | kExclusive).IsOpen());
}

TEST_F(DataFileTest, CreateRefusesLengthsOfNeitherLayout) {
  for (size_t length : {size_t{0}, size_t{25}, size_t{100}}) {
    bool exists = true;
    EXPECT_FALSE(file.Create(path(), length, &exists).ok) << length;
    EXPECT_FALSE(exists);
    EXPECT_FALSE(file.IsOpen());
  }
  EXPECT_FALSE(std::filesystem::exists(path()));
}

TEST_F(DataFileTest, WritersOnAClosedFileDoNothing) {
  EXPECT_TRUE(WriteNote(file, "$PAUSED", 'X'));
  EXPECT_TRUE(file.Flush());
  EXPECT_TRUE(file.Close());
  EXPECT_FALSE(std::filesystem::exists(path()));
}

TEST_F(DataFileTest, RecordOfTheWrongLengthIsRefused) {
  ASSERT_TRUE(file.Create(path(), 26));
  const uint8_t frame[14] = {'T', 6};
  EXPECT_TRUE(WriteBinaryReadingRecord(file, frame, 1));
  EXPECT_FALSE(WriteReadingRecord(file, frame, 1).ok);
  file.Close();
  EXPECT_EQ(ReadFileBytes(path()).size(), 26u);
}

TEST_F(DataFileTest, WritersUseTheClockWhenTheyCompose) {
  FakeClock clock;
  InstallClock(&clock);
  LocalTime now;
  now.hour = 9;
  now.minute = 3;
  now.second = 7;
  now.millisecond = 459;
  clock.SetNow(now);
  clock.SetTick(777);
  ASSERT_TRUE(file.Create(path(), 24));
  EXPECT_TRUE(WriteTimeMark(file));
  EXPECT_TRUE(WriteStationRecord(file, 500.0));
  EXPECT_TRUE(WriteNote(file, "$STARTED", 'X'));
  EXPECT_TRUE(WriteGpsRecord(file, "$GPGSA,A,3,,,,,,,,,,,,,2.5,1.3,2.1*39", 700, '@', '#'));
  EXPECT_TRUE(file.Close());
  InstallClock(nullptr);
  EXPECT_EQ(ReadFileBytes(path()),
            "*09:03:07.459       777\n"
            "S     500.00 09030745  \n"
            "X$STARTED           777\n"
            "@$GPGSA,A,3,,,,,,,,,,,,\n"
            "#,2.5,1.3,2.1*39       \n"
            "!                   700\n");
}

TEST_F(DataFileTest, FullDiskIsReportedAndEarlierRecordsStayWhole) {
  ASSERT_TRUE(file.Create(path(), 24));
  FileFaults faults;
  faults.write_budget = 10 * 24 + 5;
  InjectFileFaults(&faults);
  for (uint32_t i = 0; i < 10; ++i) ASSERT_TRUE(file.Append(Reading(i)));
  WriteResult full = file.Append(Reading(10));
  InjectFileFaults(nullptr);
  EXPECT_FALSE(full.ok);
  EXPECT_FALSE(full.error.empty());
  // Room again: the next record follows the last whole one.
  EXPECT_TRUE(file.Append(Reading(11)));
  EXPECT_TRUE(file.Close());
  const std::string bytes = ReadFileBytes(path());
  ASSERT_EQ(bytes.size(), 11u * 24);
  EXPECT_EQ(bytes.substr(9 * 24, 24), std::string(Reading(9).text()));
  EXPECT_EQ(bytes.substr(10 * 24, 24), std::string(Reading(11).text()));
}

TEST_F(DataFileTest, FailedFlushIsReportedAndNeverForgotten) {
  ASSERT_TRUE(file.Create(path(), 24));
  ASSERT_TRUE(file.Append(Reading(1)));
  FileFaults faults;
  faults.fail_sync = true;
  InjectFileFaults(&faults);
  WriteResult flush = file.Flush();
  InjectFileFaults(nullptr);
  EXPECT_FALSE(flush.ok);
  EXPECT_NE(flush.error.find("fsync"), std::string::npos) << flush.error;
  // The storage said the data may be lost; a later flush that happens to
  // work must not hide that.
  EXPECT_FALSE(file.Flush().ok);
  EXPECT_FALSE(file.Close().ok);
}

// The commits a thread makes while logging: nothing new is nothing to do,
// and a failure is told once there but stays with the file.
TEST_F(DataFileTest, CommitsOfWhatWasAppendedTellAFailureOnceAndTheFileKeepsIt) {
  ASSERT_TRUE(file.Create(path(), 24));
  ASSERT_TRUE(file.Append(Reading(1)));
  ASSERT_TRUE(file.SyncAppended());
  FileFaults faults;
  faults.fail_sync = true;
  InjectFileFaults(&faults);
  EXPECT_TRUE(file.SyncAppended()) << "nothing appended since the last commit";
  ASSERT_TRUE(file.Append(Reading(2)));
  WriteResult failed = file.SyncAppended();
  EXPECT_FALSE(failed.ok);
  EXPECT_NE(failed.error.find("fsync"), std::string::npos) << failed.error;
  EXPECT_TRUE(file.SyncAppended()) << "told once";
  InjectFileFaults(nullptr);
  EXPECT_TRUE(file.Append(Reading(3))) << "logging goes on";
  EXPECT_FALSE(file.Flush().ok);
  EXPECT_FALSE(file.Close().ok);
  EXPECT_EQ(ReadFileBytes(path()).size(), 3u * 24);
}

TEST(DataFileSyncerTest, AFailedCommitIsKeptAndTold) {
  TempDir dir;
  DataFile file;
  ASSERT_TRUE(file.Create(dir.path() / "A.R62", 24));
  FileFaults faults;
  faults.fail_sync = true;
  InjectFileFaults(&faults);
  std::atomic<int> told{0};
  DataFileSyncer syncer;
  syncer.Start(file, [&] { ++told; }, std::chrono::milliseconds(10));
  ASSERT_TRUE(file.Append(Reading(1)));
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
  while (told.load() == 0 && std::chrono::steady_clock::now() < deadline) {
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  syncer.Stop();
  InjectFileFaults(nullptr);
  EXPECT_EQ(told.load(), 1);
  std::optional<WriteResult> failure = syncer.TakeFailure();
  ASSERT_TRUE(failure.has_value());
  EXPECT_NE(failure->error.find("fsync"), std::string::npos) << failure->error;
  EXPECT_FALSE(syncer.TakeFailure().has_value());
}

TEST_F(DataFileTest, WriteCutShortByTheFileSizeLimitIsOverwrittenByTheNextRecord) {
  ASSERT_TRUE(file.Create(path(), 24));
  rlimit saved{};
  ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
  auto old_handler = signal(SIGXFSZ, SIG_IGN);
  rlimit small = saved;
  small.rlim_cur = 3 * 24 + 7;  // room for three records and part of a fourth
  ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
  for (uint32_t i = 0; i < 3; ++i) EXPECT_TRUE(file.Append(Reading(i)));
  const WriteResult cut = file.Append(Reading(3));
  ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &saved), 0);
  signal(SIGXFSZ, old_handler);
  EXPECT_FALSE(cut.ok);
  EXPECT_EQ(ReadFileBytes(path()).size(), 3u * 24);  // the torn part is cut off at once
  EXPECT_TRUE(file.Append(Reading(4)));
  EXPECT_TRUE(file.Close());
  const std::string bytes = ReadFileBytes(path());
  ASSERT_EQ(bytes.size(), 4u * 24);
  EXPECT_EQ(bytes.substr(3 * 24), std::string(Reading(4).text()));
}

// A real filesystem that fills up: a small tmpfs, where the write that
// crosses the last free page is cut short by the kernel. Needs the right to
// mount; skipped without it.
TEST_F(DataFileTest, AFullFilesystemKeepsWholeRecordsAndTakesMoreOnceSpaceReturns) {
  const std::filesystem::path mount_point = dir.path() / "card";
  std::filesystem::create_directory(mount_point);
  if (mount("tmpfs", mount_point.c_str(), "tmpfs", 0, "size=64k") != 0) {
    GTEST_SKIP() << "cannot mount a tmpfs here: " << std::strerror(errno);
  }
  struct Unmount {
    std::filesystem::path at;
    ~Unmount() { umount2(at.c_str(), MNT_DETACH); }
  } unmount{mount_point};
  // Fill the card, then free two pages for the data file.
  const std::filesystem::path filler = mount_point / "FILLER";
  File fill = File::Open(filler, OpenMode::kCreateNew, kWrite);
  const std::string page(4096, 'f');
  while (fill.Write(page)) {
  }
  ASSERT_TRUE(fill.Truncate(fill.Size() / 4096 * 4096 - 2 * 4096));
  ASSERT_TRUE(fill.Close());

  const std::filesystem::path data = mount_point / "A.R62";
  ASSERT_TRUE(file.Create(data, 24));
  uint32_t written = 0;
  WriteResult full;
  while ((full = file.Append(Reading(written))) && written < 10000) ++written;
  ASSERT_FALSE(full.ok);
  EXPECT_EQ(full.error, "write: No space left on device");
  EXPECT_EQ(written, 2u * 4096 / 24);  // every record that fit whole; the next one tore
  EXPECT_EQ(ReadFileBytes(data).size(), written * 24u);
  EXPECT_FALSE(file.Append(Reading(written + 1)).ok);

  ASSERT_TRUE(DeleteFile(filler));
  for (uint32_t i = 0; i < 200; ++i) ASSERT_TRUE(file.Append(Reading(100000 + i)));
  ASSERT_TRUE(file.Close());
  const std::string bytes = ReadFileBytes(data);
  ASSERT_EQ(bytes.size(), (written + 200u) * 24);
  for (uint32_t i = 0; i < written + 200; ++i) {
    const uint32_t expected = i < written ? i : 100000 + (i - written);
    ASSERT_EQ(bytes.substr(i * 24, 24), std::string(Reading(expected).text())) << "record " << i;
  }
}

TEST_F(DataFileTest, TwoThreadsAppendingAMillionRecordsLeaveEveryRecordWhole) {
  ASSERT_TRUE(file.Create(path(), 24));
  constexpr uint32_t kReadings = 500000;
  constexpr uint32_t kSentences = 125000;  // 4 records each
  // A GPS line of 50 characters: first piece, one full continuation, the
  // last piece, the tick.
  const std::string sentence = "$GPGGA," + std::string(40, '9') + "*00";
  std::thread window([&] {
    for (uint32_t i = 0; i < kReadings; ++i) ASSERT_TRUE(file.Append(Reading(i)));
  });
  std::thread gps([&] {
    for (uint32_t i = 0; i < kSentences; ++i) {
      ASSERT_TRUE(WriteGpsRecord(file, sentence, i, '@', '#'));
    }
  });
  window.join();
  gps.join();
  ASSERT_TRUE(file.Close());

  auto cursor = RecordCursor::Open(path(), 24);
  ASSERT_TRUE(cursor.has_value());
  ASSERT_EQ(cursor->record_count(), kReadings + 4 * kSentences);
  EXPECT_FALSE(cursor->has_torn_tail());
  uint32_t next_reading = 0;
  uint32_t next_sentence = 0;
  std::vector<DataRecord> group;
  FormatGpsRecords(sentence, 0, '@', '#', 24, group);
  while (auto r = cursor->Next()) {
    const std::string_view text = RecordText(*r);
    if (text.front() == 'T') {
      ASSERT_EQ(text, Reading(next_reading).text());
      ++next_reading;
      continue;
    }
    // A sentence's records are never split by the other thread's records.
    ASSERT_EQ(text, group[0].text());
    for (size_t k = 1; k < 3; ++k) ASSERT_EQ(RecordText(*cursor->Next()), group[k].text());
    std::vector<DataRecord> expected;
    FormatGpsRecords(sentence, next_sentence, '@', '#', 24, expected);
    ASSERT_EQ(RecordText(*cursor->Next()), expected[3].text());
    ++next_sentence;
  }
  EXPECT_EQ(next_reading, kReadings);
  EXPECT_EQ(next_sentence, kSentences);
}

}  // namespace
}  // namespace tq
