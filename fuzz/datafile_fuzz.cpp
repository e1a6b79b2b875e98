// The data-file readers over arbitrary files: the header, the record cursor
// forwards and backwards, the station rule, the viewer's scan, its line
// index builder and its station window, and tqexport's rows, CSV and record
// listing. Every record a cursor returns is
// whole (header 1 aside), and the records and skipped ranges it reports
// tile the file without gap or overlap, whichever way it reads.
#include <algorithm>
#include <cstdlib>
#include <optional>
#include <span>

#include "fuzz/fuzz_files.h"
#include "settings/settings.h"
#include "survey/record_check.h"
#include "survey/record_reader.h"
#include "tools/tqexport/export_rows.h"
#include "tools/tqexport/export_writers.h"
#include "viewer/line_index_cache.h"

namespace {

using namespace tq;

void CheckRecord(const RecordCursor& cursor, std::span<const uint8_t> record) {
  if (record.size() != cursor.record_length()) std::abort();
  if (cursor.record_offset() != 0 && !IsWholeRecord(record)) std::abort();
}

// Forwards from record 2, as every reader starts; then backwards to the start.
void ReadBothWays(const std::filesystem::path& path, size_t length) {
  std::optional<RecordCursor> cursor = RecordCursor::Open(path, length);
  if (!cursor) return;
  cursor->Seek(kFirstBodyRecord);
  int64_t expected = cursor->offset();
  StationTracker stations;
  while (auto record = cursor->Next()) {
    if (const auto& skip = cursor->skipped()) {
      if (skip->first != expected || skip->end <= skip->first) std::abort();
      expected = skip->end;
      stations.Skip(*skip);
    }
    if (cursor->record_offset() != expected) std::abort();
    expected += static_cast<int64_t>(length);
    CheckRecord(*cursor, *record);
    stations.Feed(*record);
  }
  if (cursor->failed()) return;
  if (const auto& skip = cursor->skipped()) {
    if (skip->first != expected || skip->end != cursor->size()) std::abort();
    expected = skip->end;
  }
  if (cursor->size() - expected >= static_cast<int64_t>(length)) std::abort();

  cursor->Seek(cursor->record_count());
  expected = cursor->size();
  while (auto record = cursor->Previous()) {
    if (const auto& skip = cursor->skipped()) {
      if (skip->end != expected || skip->end <= skip->first) std::abort();
      expected = skip->first;
    } else if (expected == cursor->size() && cursor->has_torn_tail()) {
      expected = cursor->record_offset() + static_cast<int64_t>(length);
    }
    if (cursor->record_offset() + static_cast<int64_t>(length) != expected) std::abort();
    expected = cursor->record_offset();
    CheckRecord(*cursor, *record);
  }
  // Only bytes too few for a record may stay unreported before the first.
  if (const auto& skip = cursor->skipped()) {
    if (skip->first != 0 || skip->end != expected) std::abort();
  } else if (!cursor->failed() && expected >= static_cast<int64_t>(length)) {
    std::abort();
  }
}

// What tqexport makes of the file, as it reads it: every record listed, and
// the rows of the readings, with positions, as CSV.
void Export(const std::filesystem::path& path, const StoredHeader& header) {
  if (header.kind < 0 || header.record_length != RecordLengthFor(header.kind)) return;
  std::optional<RecordCursor> cursor = RecordCursor::Open(path, header.record_length);
  if (!cursor) return;
  exporter::TextOut out;
  exporter::RecordLister lister(header, out);
  exporter::RowBuilder rows(header, true);
  exporter::CsvWriter csv(exporter::RowColumnsFor(header), out);
  csv.Begin();
  const auto length = static_cast<int64_t>(header.record_length);
  for (int64_t index = 0; auto record = cursor->Next(); ++index) {
    if (const auto& skip = cursor->skipped()) {
      lister.Skipped(*skip);
      rows.Skip(*skip);
    }
    const int64_t offset = cursor->record_offset();
    lister.List(*record, index, offset < 2 * length ? offset / length : kFirstBodyRecord);
    if (offset >= 2 * length) rows.Feed(*record, index);
    while (auto row = rows.TakeRow()) csv.Write(*row);
  }
  rows.Finish();
  while (auto row = rows.TakeRow()) csv.Write(*row);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::filesystem::path& folder = tq::fuzz::Folder();
  const std::filesystem::path path = folder / "FUZZ.DAT";
  tq::fuzz::WriteInput(path, data, size);

  ParseHeader(std::span(data, size), size > kMaxRecordLength
                                         ? std::span(data + kShortRecordLength, size - kShortRecordLength)
                                         : std::span<const uint8_t>());
  const std::optional<StoredHeader> header = ReadHeader(path);
  for (size_t length : {kShortRecordLength, kLongRecordLength}) ReadBothWays(path, length);
  if (!header) return 0;
  Export(path, *header);

  const BuildConfig build{header->kind >= 0 ? header->kind : kKindTq68Mk2, 1, 1};
  const std::optional<DataFileScan> scan = ScanDataFile(path, build);
  if (!scan) return 0;
  if (scan->line_offsets.size() != scan->line_names.size()) std::abort();
  const LineCachePaths paths{folder / "LINE1.R6X", folder / "LINE2.R6X"};
  SettingsStore settings;
  const StationWindowSource source = StationWindowSourceFor(*scan, paths, settings);
  // The first lines and the last: enough to reach every kind of line start.
  const auto lines = static_cast<int32_t>(scan->line_offsets.size());
  for (int32_t line = 1; line <= lines; line = line < 3 ? line + 1 : std::max(line + 1, lines)) {
    const LineIndexResult built = BuildLineIndexCache(path, *scan, line, paths);
    if (built.ok && built.record_total < 0) std::abort();
    StationWindow window;
    LoadStationWindow(window, 1, 318, 1, source);
    if (built.ok && built.record_total > 2) LoadStationWindow(window, 1, 318, built.record_total - 2, source);
  }
  return 0;
}
