#include "viewer/line_index_cache.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstddef>
#include <cstring>
#include <string_view>

#include "platform/files.h"
#include "settings/settings.h"
#include "survey/data_records.h"

namespace tq {
namespace {

constexpr size_t kNumberWidth = 12;
constexpr size_t kFlagWidth = 2;
constexpr size_t kLineNameMax = 8;
constexpr size_t kCacheFlushBytes = 64 * 1024;
// Often enough for a moving progress bar, rarely enough to cost nothing.
constexpr int64_t kRecordsPerReport = 32 * 1024;
constexpr std::string_view kGapStation = "          -1";
constexpr std::string_view kGapValue = "       -9999";
constexpr std::string_view kZeroValue = "        0.00";

// The readings of the station being gathered.
struct PendingStation {
  int32_t count = 0;
  double station = 0.0;
  std::array<bool, kProfileChannelCount> present{};
  std::array<float, kProfileChannelCount> values{};
};

// Appends record pairs to both cache files through large writes.
class CacheWriter {
 public:
  bool Open(const LineCachePaths& paths) {
    CreateDirectory(paths.line1.parent_path());
    CreateDirectory(paths.line2.parent_path());
    // Exclusive: another logger on this folder must not empty them under us.
    line1_ = File::Open(paths.line1, OpenMode::kCreateAlways, kReadWrite | kExclusive);
    line2_ = File::Open(paths.line2, OpenMode::kCreateAlways, kReadWrite | kExclusive);
    if (!line1_.IsOpen()) error_ = "LINE1.R6X: " + line1_.LastError();
    if (!line2_.IsOpen() && error_.empty()) error_ = "LINE2.R6X: " + line2_.LastError();
    return error_.empty();
  }

  void Station(const PendingStation& p) {
    char station[kNumberWidth];
    if (!FormatCacheNumber(p.station, station)) {
      Gap();
      return;
    }
    one_.append(station, kNumberWidth);
    two_.append(station, kNumberWidth);
    for (size_t k = 0; k < kProfileChannelCount; ++k) {
      char value[kNumberWidth];
      const bool fits = FormatCacheNumber(static_cast<double>(p.values[k]), value);
      if (fits) {
        two_.append(value, kNumberWidth);
      } else {
        two_.append(kZeroValue);
      }
      one_.append(p.present[k] && fits ? " 1" : " 0");
    }
    EndPair();
  }

  void Gap() {
    one_.append(kGapStation);
    two_.append(kGapStation);
    for (size_t k = 0; k < kProfileChannelCount; ++k) {
      one_.append(" 0");
      two_.append(kGapValue);
    }
    EndPair();
  }

  bool Finish() {
    Flush();
    if (error_.empty() && !line1_.Close()) error_ = "LINE1.R6X: " + line1_.LastError();
    if (error_.empty() && !line2_.Close()) error_ = "LINE2.R6X: " + line2_.LastError();
    return error_.empty();
  }

  bool failed() const { return !error_.empty(); }
  const std::string& error() const { return error_; }
  int64_t total() const { return total_; }

 private:
  void EndPair() {
    one_ += '\n';
    two_ += '\n';
    ++total_;
    if (two_.size() >= kCacheFlushBytes) Flush();
  }

  void Flush() {
    if (!error_.empty()) return;
    if (!line1_.Write(one_)) error_ = "LINE1.R6X: " + line1_.LastError();
    if (error_.empty() && !line2_.Write(two_)) error_ = "LINE2.R6X: " + line2_.LastError();
    one_.clear();
    two_.clear();
  }

  File line1_;
  File line2_;
  std::string one_;
  std::string two_;
  int64_t total_ = 0;
  std::string error_;
};

// Reads `count` records of `length` bytes from record `first` (0-based) on;
// fewer when the file ends. nullopt when the file cannot be opened.
std::optional<std::string> ReadCacheRecords(const std::filesystem::path& path, int64_t first,
                                            int64_t count, size_t length) {
  File file = File::Open(path, OpenMode::kOpenExisting, kRead);
  if (!file.IsOpen()) return std::nullopt;
  std::string bytes(static_cast<size_t>(count) * length, '\0');
  size_t got = 0;
  if (file.Seek(first * static_cast<int64_t>(length))) {
    while (got < bytes.size()) {
      const long n = file.Read(std::span(reinterpret_cast<uint8_t*>(bytes.data()) + got,
                                         bytes.size() - got));
      if (n <= 0) break;
      got += static_cast<size_t>(n);
    }
  }
  bytes.resize(got);
  return bytes;
}

std::string_view FieldOf(std::string_view record, size_t at, size_t width) {
  if (at >= record.size()) return {};
  return record.substr(at, width);
}

}  // namespace

LineCachePaths LineCachePathsFor(const BuildConfig& build) {
  // StorageRoot alone decides, for every kind: unlike its settings file, the
  // TQ93's cache follows the storage root.
  const std::string folder = build.StorageRoot == 1 ? "Storage\\FLDINI" : "C_DRIVE\\FLDINI";
  return {MapSystemPath(folder + "\\LINE1.R6X"), MapSystemPath(folder + "\\LINE2.R6X")};
}

std::string LineBoxName(std::span<const uint8_t> record) {
  std::string_view text = RecordText(record, 1);
  text = text.substr(0, std::min(text.find(' '), kLineNameMax));
  return WidenFrom8Bit(text);
}

std::optional<DataFileScan> ScanDataFile(const std::filesystem::path& path,
                                         const BuildConfig& build, std::string* error,
                                         const FilePassProgress& progress) {
  std::optional<StoredHeader> header = ReadHeader(path, error);
  if (!header) return std::nullopt;
  std::optional<RecordCursor> cursor = RecordCursor::Open(path, header->record_length, error);
  if (!cursor) return std::nullopt;

  DataFileScan scan;
  scan.header = *header;
  scan.kind = header->kind >= 0 ? header->kind : KindInfoFor(build.InstrumentKind).kind;
  StoredHeader as_kind = *header;
  as_kind.kind = scan.kind;
  scan.readings_per_station = StoredReadingsPerStation(as_kind);
  // Only a build with the ice option shows thickness, whatever the file says.
  scan.ice_thickness = scan.kind == kKindTq62 && build.IceOptionBuilt == 1 &&
                       header->ice_built && header->IceOption == 1;
  scan.sea_water_index = static_cast<uint32_t>(header->SeaWaterIndex);

  cursor->Seek(kFirstBodyRecord);
  int64_t until_report = kRecordsPerReport;
  while (auto record = cursor->Next()) {
    if (progress && --until_report == 0) {
      until_report = kRecordsPerReport;
      progress(cursor->offset(), cursor->size());
    }
    if (cursor->skipped()) scan.skipped.push_back(*cursor->skipped());
    if ((*record)[0] != kLineNameLetter) continue;
    scan.line_offsets.push_back(cursor->record_offset());
    scan.line_names.push_back(LineBoxName(*record));
  }
  if (cursor->skipped()) scan.skipped.push_back(*cursor->skipped());
  if (cursor->failed()) {
    if (error != nullptr) *error = cursor->error();
    return std::nullopt;
  }
  scan.torn_tail = cursor->has_torn_tail();
  return scan;
}

bool FormatCacheNumber(double value, char* out) {
  // to_chars rounds the exact binary value as printf does (ties to even),
  // needs no wider type than double and never looks at the locale.
  if (!std::isfinite(value)) return false;
  char text[kNumberWidth + 1];
  const auto result = std::to_chars(text, text + sizeof text, value, std::chars_format::fixed, 2);
  if (result.ec != std::errc() || result.ptr - text > static_cast<std::ptrdiff_t>(kNumberWidth)) {
    return false;
  }
  const size_t length = static_cast<size_t>(result.ptr - text);
  std::fill_n(out, kNumberWidth - length, ' ');
  std::copy_n(text, length, out + (kNumberWidth - length));
  return true;
}

LineIndexResult BuildLineIndexCache(const std::filesystem::path& data_file,
                                    const DataFileScan& scan, int32_t line,
                                    const LineCachePaths& paths,
                                    const FilePassProgress& progress) {
  LineIndexResult result;
  CacheWriter writer;
  if (!writer.Open(paths)) {
    result.error = writer.error();
    return result;
  }
  if (line < 1 || static_cast<size_t>(line) > scan.line_offsets.size()) {
    writer.Finish();
    result.error = "no such line";
    return result;
  }
  const size_t length = scan.header.record_length;
  std::optional<RecordCursor> cursor = RecordCursor::Open(data_file, length, &result.error);
  if (!cursor) {
    writer.Finish();
    return result;
  }
  const int64_t line_start = scan.line_offsets[static_cast<size_t>(line) - 1];
  const int64_t line_end = static_cast<size_t>(line) < scan.line_offsets.size()
                               ? scan.line_offsets[static_cast<size_t>(line)]
                               : cursor->size();
  cursor->SeekOffset(line_start);
  int64_t until_report = kRecordsPerReport;

  StoredHeader as_kind = scan.header;
  as_kind.kind = scan.kind;
  StoredDecoding decoding = StoredDecodingFor(as_kind);
  StationTracker tracker;
  PendingStation pending;
  auto write_pending = [&] {
    writer.Station(pending);
    pending = PendingStation{};
  };
  auto take = [&](std::span<const uint8_t> record, bool all_channels) {
    decoding.offsets = tracker.offsets();
    const ProfileChannels channels = DecodeStoredReading(record, decoding).channels;
    for (size_t k = 0; k < kProfileChannelCount; ++k) {
      if (!all_channels && !channels[k].present) continue;
      pending.present[k] = channels[k].present;
      pending.values[k] = channels[k].value;
    }
  };

  if (auto first = cursor->Next()) tracker.Feed(*first);  // the line's own "L"
  while (!writer.failed()) {
    std::optional<std::span<const uint8_t>> record = cursor->Next();
    if (progress && --until_report == 0) {
      until_report = kRecordsPerReport;
      progress(std::min(cursor->offset(), line_end) - line_start, line_end - line_start);
    }
    if (cursor->skipped() && cursor->skipped()->station_openers > 0) {
      // A station whose first reading the damage took still began there:
      // the one before it is complete as it stands, and readings after the
      // damage gather at the new one.
      if (pending.count > 0) write_pending();
      tracker.Skip(*cursor->skipped());
      pending = PendingStation{};
    }
    if (!record) break;
    if ((*record)[0] < kLowestReadingLetter) continue;
    const RecordKind kind = RecordKindOf(*record);
    if (kind == RecordKind::kLineName) break;
    if (kind == RecordKind::kNewStation && pending.count > 0) {
      // Written before the gap, so the old numbering never follows it.
      write_pending();
    }
    tracker.Feed(*record);
    switch (kind) {
      case RecordKind::kNewStation:
        for (int32_t g = 0; g < kGapPairsPerRestart; ++g) writer.Gap();
        break;
      case RecordKind::kStationReading:
        if (pending.count > 0) write_pending();
        pending.count = 1;
        pending.station = tracker.station();
        take(*record, true);
        if (pending.count == scan.readings_per_station) write_pending();
        break;
      case RecordKind::kFurtherReading:
        if (pending.count == 0) {
          pending.count = 1;
          pending.station = tracker.station();
        }
        ++pending.count;
        take(*record, false);
        if (pending.count == scan.readings_per_station) write_pending();
        break;
      default: break;
    }
  }
  if (cursor->failed() && result.error.empty()) result.error = cursor->error();
  writer.Finish();
  result.record_total = writer.total();
  if (writer.failed()) result.error = writer.error();
  result.ok = result.error.empty();
  return result;
}

StationWindowSource StationWindowSourceFor(const DataFileScan& scan, const LineCachePaths& paths,
                                           const SettingsStore& settings) {
  StationWindowSource source;
  source.paths = paths;
  source.kind = scan.kind;
  source.ice_thickness = scan.ice_thickness;
  if (scan.ice_thickness) {
    LoadIceTable(settings.Tq62Variant, scan.sea_water_index, source.ice_table);
    source.ice_limits = FindIceLimits(settings.Tq62Variant, scan.sea_water_index);
  }
  return source;
}

WindowLoadResult LoadStationWindow(StationWindow& window, int32_t first, int32_t last,
                                   int64_t record, const StationWindowSource& source) {
  WindowLoadResult result;
  first = std::max(first, 0);
  // An empty window still opens both files, so "opened" never reports a
  // failure that did not happen.
  const int64_t count = std::max<int64_t>(int64_t{last} - first + 1, 0);
  const int64_t from = std::max<int64_t>(record - 1, 0);
  const int64_t skipped = from - (record - 1);  // indexes before record 1
  const int64_t wanted = std::max<int64_t>(count - skipped, 0);
  const std::optional<std::string> one =
      ReadCacheRecords(source.paths.line1, from, wanted, kLine1RecordLength);
  const std::optional<std::string> two =
      ReadCacheRecords(source.paths.line2, from, wanted, kLine2RecordLength);
  result.line1_opened = one.has_value();
  result.line2_opened = two.has_value();
  if (count > 0 && window.size() < static_cast<size_t>(last) + 1) {
    window.resize(static_cast<size_t>(last) + 1);
  }

  const size_t channels = source.kind == kKindTq68Mk2 ? kProfileChannelCount : 6;
  for (int64_t i = 0; i < count; ++i) {
    StationEntry& entry = window[static_cast<size_t>(first + i)];
    const int64_t at = i - skipped;
    std::string_view rec1;
    std::string_view rec2;
    if (at >= 0 && one) rec1 = FieldOf(*one, static_cast<size_t>(at) * kLine1RecordLength, kLine1RecordLength);
    if (at >= 0 && two) rec2 = FieldOf(*two, static_cast<size_t>(at) * kLine2RecordLength, kLine2RecordLength);
    // A record cut by a full disk still holds the station's '.', but its
    // missing values would read as zeros: only whole records are stations.
    entry.valid = rec1.size() == kLine1RecordLength && rec2.size() == kLine2RecordLength &&
                  rec2.find('.') != std::string_view::npos;
    if (!entry.valid) {
      std::fill_n(entry.flags.begin(), channels, 0);
      continue;
    }
    entry.station = static_cast<float>(ParseRecordNumber(rec1.substr(0, kNumberWidth)));
    for (size_t k = 0; k < channels; ++k) {
      entry.flags[k] =
          ParseSettingsInteger(FieldOf(rec1, kNumberWidth + kFlagWidth * k, kFlagWidth));
      entry.values[k] = static_cast<float>(
          ParseRecordNumber(FieldOf(rec2, kNumberWidth + kNumberWidth * k, kNumberWidth)));
    }
    if (source.ice_thickness && entry.flags[1] != 0) {
      entry.ice_thickness =
          ComputeIceThickness(entry.values[1], source.ice_table, source.ice_limits);
    }
  }
  return result;
}

}  // namespace tq
