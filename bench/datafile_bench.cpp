// Reading stored data files: the record cursor with the station rule over a
// whole file, and the viewer's line index build, on generated TQ68-MK2 files
// of 250,000 and 1,000,000 readings. Each run also reports its peak resident
// memory (the process peak is reset before the run), which must not grow with
// the file.
#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include "platform/files.h"
#include "survey/data_file.h"
#include "survey/data_records.h"
#include "survey/record_reader.h"
#include "viewer/line_index_cache.h"

namespace tq {
namespace {

// A folder for the generated files, removed at exit.
class BenchDir {
 public:
  BenchDir() {
    std::string pattern = (std::filesystem::temp_directory_path() / "tqbench-XXXXXX").string();
    if (::mkdtemp(pattern.data()) != nullptr) path_ = pattern;
  }
  ~BenchDir() {
    std::error_code ec;
    if (!path_.empty()) std::filesystem::remove_all(path_, ec);
  }
  const std::filesystem::path& path() const { return path_; }

 private:
  std::filesystem::path path_;
};

BenchDir& Dir() {
  static BenchDir dir;
  return dir;
}

// A one-line survey in Auto mode: line start, then `readings` readings with
// a GPS sentence every 10 readings and a new station every 5000.
std::filesystem::path GeneratedFile(int64_t readings) {
  static std::map<int64_t, std::filesystem::path> made;
  if (auto it = made.find(readings); it != made.end()) return it->second;
  SettingsStore s;
  s.SurveyMode = 0;
  s.GpsInput = 1;
  const BuildConfig build{kKindTq68Mk2, 1, 0};
  LocalTime now;
  now.year = 2009;
  now.month = 12;
  now.day = 6;
  std::vector<DataRecord> records = {FormatHeader1(s, build, true),
                                     FormatHeader2(s, kLongRecordLength, "BENCH")};
  for (const DataRecord& r : FormatLineStart(s, kKindTq68Mk2, now, {})) records.push_back(r);
  records.push_back(FormatTimeMark(kLongRecordLength, 0, now));
  const auto path = Dir().path() / ("bench" + std::to_string(readings) + ".N68");
  std::ofstream out(path, std::ios::binary);
  auto flush = [&] {
    for (const DataRecord& r : records) {
      out.write(reinterpret_cast<const char*>(r.bytes.data()), static_cast<std::streamsize>(r.length));
    }
    records.clear();
  };
  uint32_t state = 12345;
  for (int64_t i = 0; i < readings; ++i) {
    state = state * 1664525u + 1013904223u;
    const uint8_t status = (i & 1) != 0 ? 2 : 6;
    uint8_t frame[14] = {'T', status};
    for (size_t b = 2; b < 14; b += 2) {
      frame[b] = static_cast<uint8_t>(0x7C + ((state >> b) & 7));
      frame[b + 1] = static_cast<uint8_t>(state >> (b + 8));
    }
    records.push_back(FormatBinaryReadingRecord(frame, static_cast<uint32_t>(i * 91)));
    if (i % 10 == 9) {
      FormatGpsRecords("$GPGGA,123519,4807.038,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,*47",
                       static_cast<uint32_t>(i * 91), '@', '#', kLongRecordLength, records);
    }
    if (i % 5000 == 4999) {
      records.push_back(FormatStationRecord(kLongRecordLength, static_cast<double>(i), now));
    }
    if (records.size() >= 4096) flush();
  }
  flush();
  made[readings] = path;
  return path;
}

// Resets the process's peak resident size so the next reading covers one run.
void ResetPeakMemory() {
  std::ofstream clear("/proc/self/clear_refs");
  clear << "5";
}

double PeakMemoryKb() {
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line)) {
    if (line.rfind("VmHWM:", 0) == 0) return std::stod(line.substr(6));
  }
  return 0.0;
}

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

void BM_LineIndexBuild(benchmark::State& state) {
  const auto path = GeneratedFile(state.range(0));
  const LineCachePaths paths{Dir().path() / "LINE1.R6X", Dir().path() / "LINE2.R6X"};
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
