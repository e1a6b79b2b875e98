// The open data file of a logging run and the writers that append to it.
//
// The window thread and the GPS reader append to the same file; every record
// goes out whole in one write, and the appends are serialised here, so no
// record is ever interleaved with another. A failed write is returned to the
// caller (who shows it) and loses that record only: what part of it reached
// the disk is cut off, and the next record goes where it should have been. Writers on a closed file do nothing
// and succeed.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <atomic>
#include <mutex>
#include <span>
#include <string>
#include <string_view>

#include "instrument/decoding.h"
#include "platform/files.h"
#include "settings/build_config.h"
#include "settings/settings.h"
#include "survey/data_records.h"

namespace tq {

// The outcome of a write, a flush or a close; `error` says what failed.
struct WriteResult {
  bool ok = true;
  std::string error;
  explicit operator bool() const { return ok; }
};

class DataFile {
 public:
  DataFile() = default;
  ~DataFile();
  DataFile(const DataFile&) = delete;
  DataFile& operator=(const DataFile&) = delete;

  // Creates `path` as a new file for records of `record_length` bytes (24
  // or 26), commits its name (syncs its folder) and keeps it open. Fails
  // (and keeps nothing open) when the file exists or cannot be created or
  // its name cannot be committed (the file is then deleted again); `exists`
  // then tells which.
  WriteResult Create(const std::filesystem::path& path, size_t record_length,
                     bool* exists = nullptr);

  bool IsOpen() const;
  size_t record_length() const { return record_length_.load(); }
  std::filesystem::path path() const;

  // Appends one record (of the file's record length) in one write.
  WriteResult Append(const DataRecord& record);
  // Appends records one write each, with no other record between them.
  WriteResult Append(std::span<const DataRecord> records);

  // Commits everything written to storage (fsync). Once a flush has failed,
  // every later flush and the close report it too: data may be lost.
  WriteResult Flush();
  // Flushes, then closes. Nothing happens when no file is open.
  WriteResult Close();

  // Commits what was appended since the last commit, for a thread that calls
  // it now and then: appends go on while the storage works. A failure is
  // reported once here, and by every later Flush and the Close.
  WriteResult SyncAppended();

 private:
  WriteResult AppendLocked(const DataRecord& record);
  WriteResult FlushLocked();

  mutable std::mutex mutex_;
  File file_;
  std::filesystem::path path_;
  std::atomic<size_t> record_length_{kShortRecordLength};
  int64_t end_ = 0;  // where the next record goes
  int64_t synced_end_ = 0;  // committed up to here
  uint64_t generation_ = 0;  // counts the files opened, so a late commit knows its own
  bool sync_failed_ = false;
};

// The writers of the logging run. Each formats its records and appends them;
// the clock is read when the record is composed.

// Header 1 and header 2; `base_name` in 8-bit characters (DataFileBaseName).
WriteResult WriteHeader(DataFile& file, const SettingsStore& settings, const BuildConfig& build,
                        bool portrait, std::string_view base_name);
// "L", "B", "A", "Z" of the current line, and on TQ68-MK2 "O1".."O6".
WriteResult WriteLineStart(DataFile& file, const SettingsStore& settings, int32_t kind,
                           const Mk2Offsets& previous);
// "O1".."O6" with the offsets in force and the previous ones.
WriteResult WriteCalibrationLines(DataFile& file, const Mk2Offsets& offsets,
                                  const Mk2Offsets& previous);
// "S" with the station just set.
WriteResult WriteStationRecord(DataFile& file, double station);
// "*": the tick is taken first, then the clock.
WriteResult WriteTimeMark(DataFile& file);
// "C" or "X" with `text`.
WriteResult WriteNote(DataFile& file, std::string_view text, char letter);
// A reading of kinds 0..6 from its prepared frame text, with its frame's tick.
WriteResult WriteReadingRecord(DataFile& file, std::span<const uint8_t> frame_text,
                               uint32_t tick);
// A TQ68-MK2 reading from its 14 frame bytes, with its frame's tick.
WriteResult WriteBinaryReadingRecord(DataFile& file, std::span<const uint8_t> frame,
                                     uint32_t tick);
// The records of one GPS line, kept together.
WriteResult WriteGpsRecord(DataFile& file, std::string_view line, uint32_t tick,
                           char first_prefix, char next_prefix);

}  // namespace tq
