#include "survey/data_file.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "platform/clock.h"

namespace tq {
namespace {

WriteResult Failure(std::string error) { return WriteResult{false, std::move(error)}; }

}  // namespace

DataFile::~DataFile() { Close(); }

WriteResult DataFile::Create(const std::filesystem::path& path, size_t record_length,
                             bool* exists) {
  std::lock_guard lock(mutex_);
  if (exists != nullptr) *exists = false;
  if (file_.IsOpen()) return Failure("a data file is already open");
  if (record_length != kShortRecordLength && record_length != kLongRecordLength) {
    return Failure("no data file has records of " + std::to_string(record_length) + " bytes");
  }
  // Held exclusively while open, as the handheld did: a second logger on the
  // same folder (another root, a link) cannot take it, readers still can.
  File opened = File::Open(path, OpenMode::kCreateNew, kReadWrite | kExclusive);
  if (!opened.IsOpen()) {
    if (exists != nullptr) *exists = PathExists(path);
    return Failure(opened.LastError());
  }
  // Until its folder is synced the new name is not on storage: a power cut
  // would take the whole file, however many of its records were committed.
  // A file whose name cannot be committed is not kept, so the operator can
  // try the same name again.
  if (!SyncFolder(path.parent_path())) {
    WriteResult failed = Failure(std::string("folder sync: ") + std::strerror(errno));
    DeleteFile(path);
    opened.Close();
    return failed;
  }
  file_ = std::move(opened);
  path_ = path;
  record_length_ = record_length;
  end_ = 0;
  synced_end_ = 0;
  ++generation_;
  sync_failed_ = false;
  return {};
}

bool DataFile::IsOpen() const {
  std::lock_guard lock(mutex_);
  return file_.IsOpen();
}

std::filesystem::path DataFile::path() const {
  std::lock_guard lock(mutex_);
  return path_;
}

WriteResult DataFile::AppendLocked(const DataRecord& record) {
  if (!file_.IsOpen()) return {};
  if (record.length != record_length_.load()) return Failure("record of the wrong length");
  if (file_.Write(record.view())) {
    end_ += static_cast<int64_t>(record.length);
    return {};
  }
  WriteResult failed = Failure(file_.LastError());
  // A write cut short by a full disk leaves part of a record behind. It is cut
  // off now, so that a run ended while the disk is full leaves whole records
  // only; should that fail too, the next record overwrites it, or the close
  // cuts it.
  file_.Truncate(end_);
  file_.Seek(end_);
  return failed;
}

WriteResult DataFile::Append(const DataRecord& record) {
  std::lock_guard lock(mutex_);
  return AppendLocked(record);
}

WriteResult DataFile::Append(std::span<const DataRecord> records) {
  std::lock_guard lock(mutex_);
  WriteResult result;
  for (const DataRecord& record : records) {
    WriteResult one = AppendLocked(record);
    if (!one && result) result = std::move(one);
  }
  return result;
}

WriteResult DataFile::FlushLocked() {
  if (!file_.IsOpen()) return {};
  if (sync_failed_) return Failure("an earlier flush to storage failed; data may be lost");
  if (!file_.Sync()) {
    // Once fsync has failed the kernel may have dropped the pages; a later
    // success would not bring them back.
    sync_failed_ = true;
    return Failure(file_.LastError());
  }
  synced_end_ = end_;
  return {};
}

WriteResult DataFile::SyncAppended() {
  File copy;
  uint64_t generation = 0;
  int64_t upto = 0;
  {
    std::lock_guard lock(mutex_);
    if (!file_.IsOpen() || sync_failed_ || synced_end_ == end_) return {};
    copy = file_.Duplicate();
    if (!copy.IsOpen()) return Failure(file_.LastError());
    generation = generation_;
    upto = end_;
  }
  const bool synced = copy.Sync();
  const std::string error = copy.LastError();
  copy.Close();
  std::lock_guard lock(mutex_);
  const bool same_file = generation == generation_;
  if (!synced) {
    // Told even when the file was closed meanwhile: the system reports a
    // storage failure to one commit only, and this one may have taken it
    // from the close.
    if (same_file) sync_failed_ = true;
    return Failure(error);
  }
  if (same_file) synced_end_ = std::max(synced_end_, upto);
  return {};
}

WriteResult DataFile::Flush() {
  std::lock_guard lock(mutex_);
  return FlushLocked();
}

WriteResult DataFile::Close() {
  std::lock_guard lock(mutex_);
  if (!file_.IsOpen()) return {};
  WriteResult result;
  if (file_.Size() > end_ && !file_.Truncate(end_)) result = Failure(file_.LastError());
  WriteResult flushed = FlushLocked();
  if (!flushed && result) result = std::move(flushed);
  if (!file_.Close() && result) result = Failure(file_.LastError());
  path_.clear();
  return result;
}

WriteResult WriteHeader(DataFile& file, const SettingsStore& settings, const BuildConfig& build,
                        bool portrait, std::string_view base_name) {
  const DataRecord records[] = {
      FormatHeader1(settings, build, portrait),
      FormatHeader2(settings, RecordLengthFor(KindInfoFor(build.InstrumentKind).kind), base_name),
  };
  return file.Append(records);
}

WriteResult WriteLineStart(DataFile& file, const SettingsStore& settings, int32_t kind,
                           const Mk2Offsets& previous) {
  return file.Append(FormatLineStart(settings, kind, GetLocalTime(), previous));
}

WriteResult WriteCalibrationLines(DataFile& file, const Mk2Offsets& offsets,
                                  const Mk2Offsets& previous) {
  return file.Append(FormatCalibrationRecords(offsets, previous));
}

WriteResult WriteStationRecord(DataFile& file, double station) {
  return file.Append(FormatStationRecord(file.record_length(), station, GetLocalTime()));
}

WriteResult WriteTimeMark(DataFile& file) {
  const uint32_t tick = Tick();
  return file.Append(FormatTimeMark(file.record_length(), tick, GetLocalTime()));
}

WriteResult WriteNote(DataFile& file, std::string_view text, char letter) {
  return file.Append(FormatNote(file.record_length(), text, letter, Tick()));
}

WriteResult WriteReadingRecord(DataFile& file, std::span<const uint8_t> frame_text,
                               uint32_t tick) {
  return file.Append(FormatReadingRecord(frame_text, tick));
}

WriteResult WriteBinaryReadingRecord(DataFile& file, std::span<const uint8_t> frame,
                                     uint32_t tick) {
  return file.Append(FormatBinaryReadingRecord(frame, tick));
}

WriteResult WriteGpsRecord(DataFile& file, std::string_view line, uint32_t tick,
                           char first_prefix, char next_prefix) {
  std::vector<DataRecord> records;
  FormatGpsRecords(line, tick, first_prefix, next_prefix, file.record_length(), records);
  return file.Append(records);
}

}  // namespace tq
