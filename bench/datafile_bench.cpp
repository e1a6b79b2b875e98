// Reading stored data files: the record cursor with the station rule over a
// whole file, undamaged and with damage every 10,000 records, and the
// viewer's line index build, on generated TQ68-MK2 files of 250,000 and
// 1,000,000 readings. Each run also reports its peak resident
// memory (the process peak is reset before the run), which must not grow with
// the file.
#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <string>
#include <vector>

#include "bench/generated_files.h"
#include "platform/files.h"
#include "survey/data_file.h"
#include "survey/data_records.h"
#include "survey/record_reader.h"
#include "viewer/line_index_cache.h"

namespace tq {
namespace {

using bench::GeneratedFile;
using bench::PeakMemoryKb;
using bench::ResetPeakMemory;

const std::filesystem::path& Dir() { return bench::BenchFolder(); }

void BM_CursorWithStations(benchmark::State& state) {
  const auto path = GeneratedFile(state.range(0));
  ResetPeakMemory();
  int64_t records = 0;
  for (auto _ : state) {
    auto cursor = RecordCursor::Open(path, kLongRecordLength);
    if (!cursor) {
      state.SkipWithError("cannot open the generated file");
      return;
    }
    cursor->Seek(kFirstBodyRecord);
    StationTracker tracker;
    double sum = 0.0;
    while (auto record = cursor->Next()) {
      if (IsReading(tracker.Feed(*record))) sum += tracker.station();
    }
    benchmark::DoNotOptimize(sum);
    records += cursor->record_count();
  }
  state.SetItemsProcessed(records);
  state.counters["peak_rss_kb"] = PeakMemoryKb();
}
BENCHMARK(BM_CursorWithStations)->Arg(250000)->Arg(1000000)->Unit(benchmark::kMillisecond);

// The generated file with five bytes inserted inside every 10,000th record,
// so the cursor resynchronises a hundred times per million records.
std::filesystem::path DamagedFile(int64_t readings) {
  static std::map<int64_t, std::filesystem::path> made;
  if (auto it = made.find(readings); it != made.end()) return it->second;
  std::ifstream in(GeneratedFile(readings), std::ios::binary);
  const std::string whole((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  const auto path = Dir() / ("damaged" + std::to_string(readings) + ".N68");
  std::ofstream out(path, std::ios::binary);
  constexpr size_t kEvery = 10000 * kLongRecordLength;
  for (size_t at = 0; at < whole.size(); at += kEvery) {
    const size_t piece = std::min(kEvery, whole.size() - at);
    out.write(whole.data() + at, static_cast<std::streamsize>(piece));
    if (piece == kEvery) out.write("~~~~~", 5);
  }
  made[readings] = path;
  return path;
}

void BM_CursorOverDamage(benchmark::State& state) {
  const auto path = DamagedFile(state.range(0));
  int64_t records = 0;
  int64_t skipped = 0;
  for (auto _ : state) {
    auto cursor = RecordCursor::Open(path, kLongRecordLength);
    if (!cursor) {
      state.SkipWithError("cannot open the damaged file");
      return;
    }
    cursor->Seek(kFirstBodyRecord);
    StationTracker tracker;
    double sum = 0.0;
    skipped = 0;
    while (auto record = cursor->Next()) {
      if (cursor->skipped()) {
        tracker.Skip(*cursor->skipped());
        ++skipped;
      }
      if (IsReading(tracker.Feed(*record))) sum += tracker.station();
    }
    benchmark::DoNotOptimize(sum);
    records += cursor->record_count();
  }
  state.SetItemsProcessed(records);
  state.counters["skipped_ranges"] = static_cast<double>(skipped);
}
BENCHMARK(BM_CursorOverDamage)->Arg(1000000)->Unit(benchmark::kMillisecond);

void BM_LineIndexBuild(benchmark::State& state) {
  const auto path = GeneratedFile(state.range(0));
  const LineCachePaths paths{Dir() / "LINE1.R6X", Dir() / "LINE2.R6X"};
  ResetPeakMemory();
  int64_t records = 0;
  for (auto _ : state) {
    auto scan = ScanDataFile(path, {kKindTq68Mk2, 1, 0});
    if (!scan) {
      state.SkipWithError("cannot scan the generated file");
      return;
    }
    const LineIndexResult built = BuildLineIndexCache(path, *scan, 1, paths);
    if (!built.ok) {
      state.SkipWithError(built.error.c_str());
      return;
    }
    benchmark::DoNotOptimize(built.record_total);
    records += std::filesystem::file_size(path) / kLongRecordLength;
  }
  // The scan and the build each read every record; counted once.
  state.SetItemsProcessed(records);
  state.counters["peak_rss_kb"] = PeakMemoryKb();
}
BENCHMARK(BM_LineIndexBuild)->Arg(250000)->Arg(1000000)->Unit(benchmark::kMillisecond);

// The record writer as the logging window calls it: a TQ68-MK2 reading
// formatted and appended to a real file in one write, with a flush (fsync)
// every thousand records as a pause would do now and then.
void BM_WriteBinaryReadingRecord(benchmark::State& state) {
  std::string folder = (std::filesystem::temp_directory_path() / "tqbench-writer-XXXXXX").string();
  if (::mkdtemp(folder.data()) == nullptr) {
    state.SkipWithError("cannot make a folder");
    return;
  }
  const std::filesystem::path path = std::filesystem::path(folder) / "WRITER.N68";
  DataFile file;
  if (!file.Create(path, kLongRecordLength)) {
    state.SkipWithError("cannot create the file");
    std::filesystem::remove_all(folder);
    return;
  }
  const uint8_t frame[14] = {'T', 0x06, 0x82, 0xDC, 0x82, 0x14, 0x82, 0x78, 0x83, 0x40, 0x00, 0x01, 0x80, 0x00};
  uint32_t tick = 1000;
  int64_t written_count = 0;
  for (auto _ : state) {
    WriteResult written = WriteBinaryReadingRecord(file, frame, tick += 47);
    if (!written) state.SkipWithError(written.error.c_str());
    if (++written_count % 1000 == 0) file.Flush();
  }
  state.SetItemsProcessed(state.iterations());
  file.Close();
  std::filesystem::remove_all(folder);
}
BENCHMARK(BM_WriteBinaryReadingRecord);

}  // namespace
}  // namespace tq
