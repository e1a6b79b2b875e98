// Reading data files back: the header, the kind of each record, the decoding
// of stored readings, a buffered cursor over whole records, and the rule
// that rebuilds the station of every reading.
//
// Typical use, forwards through a file:
//   auto header = ReadHeader(path);             // nullopt: no whole header
//   auto cursor = RecordCursor::Open(path, header->record_length);
//   cursor->Seek(kFirstBodyRecord);
//   StationTracker stations;
//   while (auto record = cursor->Next()) {
//     if (cursor->skipped()) stations.Skip(*cursor->skipped());  // and report it
//     RecordKind kind = stations.Feed(*record);
//     if (IsReading(kind)) ... stations.station() ...
//   }
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "instrument/decoding.h"
#include "platform/files.h"
#include "survey/record_layout.h"

namespace tq {

// Records 0 and 1 are the headers; the survey starts at record 2.
inline constexpr int64_t kFirstBodyRecord = 2;

// What the two header records say about a file.
struct StoredHeader {
  size_t record_length = kShortRecordLength;
  int32_t kind = -1;          // from the identifier; -1 when it names no known model
  std::string identifier;     // the 15 characters as stored
  int32_t tq62_variant = 0;   // kind 0: 1 for the "TQ62SH" model field
  bool ice_built = false;     // kind 0: the model field carries the ice mark "i"
  bool gps_survey = false;    // survey type "GPS"
  // Single decimal digits of header 1; a byte that is no digit reads as 0.
  int32_t Units = 0;
  int32_t DipoleMode = 0;
  int32_t SurveyMode = 0;
  int32_t Component = 0;
  int32_t IceOption = 0;      // short layout with the ice mark only
  int32_t SeaWaterIndex = 0;  // ditto; "A" reads as 10
  int32_t Mk2Variant = 0;     // long layout only
  char logger_code = ' ';
  std::string base_name;      // header 2 bytes 2..10, trailing spaces removed
};

// The record length of a file that starts with `first_bytes` (at least one
// record): 24 when byte 23 is LF, 26 when byte 25 is; nullopt otherwise.
std::optional<size_t> DetectRecordLength(std::span<const uint8_t> first_bytes);

// Parses header 1 and, when given, header 2 (each one whole record).
// nullopt when header 1 is not a record of either length.
std::optional<StoredHeader> ParseHeader(std::span<const uint8_t> header1,
                                        std::span<const uint8_t> header2 = {});

// Reads and parses the headers of the file at `path`; nullopt when it cannot
// be read or does not begin with a whole header 1 (`error` says why).
std::optional<StoredHeader> ReadHeader(const std::filesystem::path& path,
                                       std::string* error = nullptr);

// Readings that make one station in a file with this header: 1 unless the
// file was taken in Manual mode, then by kind from DipoleMode and Component.
int32_t StoredReadingsPerStation(const StoredHeader& header);

// The kind of a body record from its first byte; kOther for an empty span.
RecordKind RecordKindOf(std::span<const uint8_t> record);

// What a record says of the logging run it belongs to: a run note of
// "$STARTED" starts one, "$PAUSED" or "$CONN END  " ends it; every other
// record ("$CONN BREAK" among them) does neither.
enum class RunEdge { kNone, kStarted, kEnded };
RunEdge RunEdgeOf(std::span<const uint8_t> record);

// The kind of record `index` of a file: the headers by place, others by letter.
RecordKind RecordKindAt(int64_t index, std::span<const uint8_t> record);

constexpr bool IsReading(RecordKind kind) {
  return kind == RecordKind::kStationReading || kind == RecordKind::kFurtherReading;
}

// The leading decimal number of `text` (spaces, sign, digits, point,
// exponent); 0 when there is none. Never hex, infinity or NaN; values beyond
// the double range are clamped.
double ParseRecordNumber(std::string_view text);

// The text of `record` from byte `at` to its end (LF included).
std::string_view RecordText(std::span<const uint8_t> record, size_t at = 0);

// What decoding a stored reading needs besides its bytes.
struct StoredDecoding {
  int32_t kind = kKindTq68Mk2;
  AsciiDecodeSettings ascii;  // kinds 0..6
  Mk2Offsets offsets{};       // TQ68-MK2: from the last "O" records read
};

// Decoding settings for the readings of a file with this header; the
// offsets start at 0.
StoredDecoding StoredDecodingFor(const StoredHeader& header);

// Decodes the reading part of a reading record exactly as a live frame is
// decoded; the marker digit in byte 0 does not change the result.
Reading DecodeStoredReading(std::span<const uint8_t> record, const StoredDecoding& decoding);

// Bytes a reader passed over because they did not make whole records.
struct SkippedRange {
  int64_t first = 0;  // byte offset of the first byte passed over
  int64_t end = 0;    // one past the last
  // Records the damage cut that opened a station ("T" or "t" still standing
  // at the start of the range, or a whole record's length further on inside
  // it): the station rule counts them, so the readings after the damage keep
  // their stations. A record whose first byte the damage took is not counted.
  int32_t station_openers = 0;
};

// Rebuilds the station of every reading, record by record, forwards from the
// first body record (or from any "L" record):
//   "L" begins a line; "B" gives start s, "A" increment d, station = s - d;
//   "T"/"t": station += d; "2".."6": same station;
//   "S" v: station = v - d; "O"n v: offset n = v.
class StationTracker {
 public:
  // Takes one body record; returns its kind. Records shorter than their
  // fields read the missing bytes as absent.
  RecordKind Feed(std::span<const uint8_t> record);
  // Takes a range the cursor passed over: each station it cut moves the
  // station on as its reading would have.
  void Skip(const SkippedRange& range);

  double station() const { return station_; }        // of the last reading fed
  double start() const { return start_; }
  double increment() const { return increment_; }
  int32_t line() const { return line_; }              // "L" records seen
  const Mk2Offsets& offsets() const { return offsets_; }
  void set_offsets(const Mk2Offsets& offsets) { offsets_ = offsets; }

 private:
  double start_ = 0.0;
  double increment_ = 0.0;
  double station_ = 0.0;
  int32_t line_ = 0;
  Mk2Offsets offsets_{};
};

// Whole records of a data file, read forwards or backwards through a large
// buffer (one system call per buffer, not per record). Every record but
// header 1 must pass IsWholeRecord (survey/record_check.h). At one that
// fails, the cursor looks byte by byte (ahead when moving forwards, back
// when moving backwards) for the first offset where three records in a row
// pass (or, near an end of the file, every whole record that fits there),
// moves there and reports the bytes it passed over. A file without damage
// is read record by record with nothing passed over; bytes short of a whole
// record at the end of the file are a torn tail, not damage. The span a
// move returns stays valid until the next move.
class RecordCursor {
 public:
  // Opens `path` for reading; nullopt (and `error`) when it cannot be opened.
  static std::optional<RecordCursor> Open(const std::filesystem::path& path,
                                          size_t record_length, std::string* error = nullptr);

  size_t record_length() const { return record_length_; }
  // Bytes in the file when it was opened or last refreshed.
  int64_t size() const { return size_; }
  // Whole records the file would hold without damage: size() / record_length().
  int64_t record_count() const { return size_ / static_cast<int64_t>(record_length_); }
  // True when a move reached the end of the file with bytes short of a whole
  // record left over; before any, when the size is no whole number of records.
  bool has_torn_tail() const { return torn_tail_; }
  // Byte offset of the record Next() returns.
  int64_t offset() const { return position_; }
  // offset() / record_length(): the index of that record in a file without damage.
  int64_t position() const { return position_ / static_cast<int64_t>(record_length_); }
  // Byte offset of the record the last move returned.
  int64_t record_offset() const { return record_offset_; }
  // What the last move passed over before it returned its record or reached
  // the end of the file; nullopt when it passed over nothing.
  const std::optional<SkippedRange>& skipped() const { return skipped_; }

  // Moves to record `index` of a file without damage (byte index times the
  // record length); at record_count() or beyond, to the end of the file.
  void Seek(int64_t index);
  // Moves to byte `offset`, clamped to 0..size().
  void SeekOffset(int64_t offset);
  // The record at offset(), then moves past it; nullopt at the end or on a
  // read error (failed() then tells).
  std::optional<std::span<const uint8_t>> Next();
  // The record that ends at offset(), then moves onto it; nullopt at the
  // start or on a read error.
  std::optional<std::span<const uint8_t>> Previous();
  // Takes in records appended since the file was opened.
  void Refresh();

  bool failed() const { return !error_.empty(); }
  const std::string& error() const { return error_; }

 private:
  RecordCursor(File file, size_t record_length);
  // Bytes [offset, offset + count) of the file, read into the buffer when it
  // does not hold them (ending there when reading `backwards`); nullptr past
  // the end of the file or on a read error.
  const uint8_t* Bytes(int64_t offset, size_t count, bool backwards) {
    if (offset >= buffer_offset_ &&
        offset + static_cast<int64_t>(count) <=
            buffer_offset_ + static_cast<int64_t>(buffer_size_)) {
      return buffer_.data() + (offset - buffer_offset_);
    }
    return Load(offset, count, backwards);
  }
  const uint8_t* Load(int64_t offset, size_t count, bool backwards);
  bool Passes(int64_t offset, bool backwards);
  bool PassesAt(int64_t offset, const uint8_t* bytes) const;
  bool RunPasses(int64_t first, bool backwards);
  SkippedRange Skip(int64_t first, int64_t end);

  File file_;
  size_t record_length_;
  int64_t size_ = 0;
  bool torn_tail_ = false;
  int64_t position_ = 0;
  int64_t record_offset_ = 0;
  std::optional<SkippedRange> skipped_;
  // Records from checked_from_ on, up to checked_to_, one after the other,
  // are known to pass: reading on through them needs no further test.
  int64_t checked_from_ = 0;
  int64_t checked_to_ = 0;
  std::vector<uint8_t> buffer_;
  int64_t buffer_offset_ = 0;  // file offset of buffer_[0]
  size_t buffer_size_ = 0;     // bytes held
  std::string error_;
};

}  // namespace tq
