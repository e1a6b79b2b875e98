// CSV and SVG exports of generated TQ68-MK2 files: records per second on
// one core, and how far the resident memory rises during one export (it
// must not grow with the file).
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <string_view>
#include <tuple>
#include <vector>

#include "gps/nmea.h"
#include "settings/build_config.h"
#include "settings/settings.h"
#include "survey/data_records.h"
#include "tools/tqexport/export_command.h"

namespace tq::exporter {
namespace {

namespace fs = std::filesystem;

struct GeneratedFile {
  fs::path path;
  int64_t records = 0;
};

// A grid survey of `readings` readings, four per second, with a time mark
// every hundred readings and a new line every `per_line`.
GeneratedFile Generate(int64_t readings, bool gps, int64_t per_line) {
  static std::map<std::tuple<int64_t, bool, int64_t>, GeneratedFile> made;
  GeneratedFile& file = made[{readings, gps, per_line}];
  if (!file.path.empty()) return file;
  file.path = fs::temp_directory_path() /
              ("tqexport-bench-" + std::to_string(::getpid()) + "-" + std::to_string(readings) +
               "-" + std::to_string(per_line) + (gps ? "-gps.N68" : ".N68"));
  std::ofstream out(file.path, std::ios::binary | std::ios::trunc);
  SettingsStore settings;
  settings.GpsInput = gps ? 1 : 0;
  const BuildConfig build{kKindTq68Mk2, 1, 0};
  LocalTime now{2024, 5, 1, 3, 8, 0, 0, 0};
  auto put = [&](const DataRecord& r) {
    out.write(reinterpret_cast<const char*>(r.bytes.data()),
              static_cast<std::streamsize>(r.length));
    ++file.records;
  };
  put(FormatHeader1(settings, build, true));
  put(FormatHeader2(settings, kLongRecordLength, "BENCH"));
  std::vector<DataRecord> gps_records;
  for (int64_t i = 0; i < readings; ++i) {
    const auto tick = static_cast<uint32_t>(1000 + i * 250);
    if (i % per_line == 0) {
      settings.SurveyLine = std::to_string(i / per_line);
      for (const DataRecord& r : FormatLineStart(settings, kKindTq68Mk2, now, Mk2Offsets{})) {
        put(r);
      }
    }
    if (i % 100 == 0) put(FormatTimeMark(kLongRecordLength, tick, now));
    if (gps && i % 4 == 0) {
      gps_records.clear();
      char body[96];
      std::snprintf(body, sizeof body, "GPGGA,%06lld,4807.%03lld,N,01131.000,E,1,08,0.9,545.4,M,,M,,",
                    static_cast<long long>(i / 4 % 86400), static_cast<long long>(i % 1000));
      char sentence[112];
      std::snprintf(sentence, sizeof sentence, "$%s*%02X", body, NmeaChecksumOf(body));
      FormatGpsRecords(sentence, tick, '@', '#', kLongRecordLength, gps_records);
      for (const DataRecord& r : gps_records) put(r);
    }
    std::array<uint8_t, 14> frame{};
    frame[0] = 'T';
    frame[1] = i % 2 == 0 ? 6 : 2;
    for (size_t w = 2; w < 14; w += 2) {
      const auto word = static_cast<uint16_t>(32768 + (i * 7 + static_cast<int64_t>(w) * 131) % 4096);
      frame[w] = static_cast<uint8_t>(word >> 8);
      frame[w + 1] = static_cast<uint8_t>(word & 0xFF);
    }
    put(FormatBinaryReadingRecord(frame, tick));
  }
  return file;
}

// A memory figure of this process in KiB ("VmHWM:" the peak since the last
// ResetPeakMemory, "VmRSS:" now); -1 when the system does not tell.
int64_t MemoryKib(std::string_view key) {
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line)) {
    if (line.starts_with(key)) return std::stoll(line.substr(key.size()));
  }
  return -1;
}

void ResetPeakMemory() {
  std::ofstream clear("/proc/self/clear_refs");
  clear << "5";
}

void Export(benchmark::State& state, bool gps, Format format,
            ProfileScale scale = ProfileScale::kFull) {
  // A profile of 2,000,000 readings in lines of 10,000 would be 200 panels,
  // taller than one document may be: lines of 40,000 make 50.
  const GeneratedFile file = Generate(state.range(0), gps, format == Format::kSvg ? 40000 : 10000);
  ExportOptions options;
  options.input = file.path;
  options.format = format;
  options.style.scale = scale;
  const int null_out = ::open("/dev/null", O_WRONLY);
  std::FILE* null_messages = std::fopen("/dev/null", "w");
  int64_t growth_kib = 0;
  int64_t peak_kib = 0;
  for (auto _ : state) {
    const int64_t before = MemoryKib("VmRSS:");
    ResetPeakMemory();
    if (RunExport(options, null_out, null_messages, false) != kExitOk) {
      state.SkipWithError("export failed");
      break;
    }
    peak_kib = std::max(peak_kib, MemoryKib("VmHWM:"));
    growth_kib = std::max(growth_kib, peak_kib - before);
  }
  ::close(null_out);
  std::fclose(null_messages);
  state.SetItemsProcessed(state.iterations() * file.records);
  state.counters["records"] = static_cast<double>(file.records);
  state.counters["rss_growth_KiB"] = static_cast<double>(growth_kib);
  state.counters["peak_rss_KiB"] = static_cast<double>(peak_kib);
}

void BM_ExportCsvGrid(benchmark::State& state) { Export(state, false, Format::kCsv); }
void BM_ExportCsvGps(benchmark::State& state) { Export(state, true, Format::kCsv); }
// The drawings read the file twice and keep a fixed number of pixel columns
// or map cells, so their peak memory stays flat too.
void BM_ExportSvgProfile(benchmark::State& state) { Export(state, false, Format::kSvg); }
void BM_ExportSvgMap(benchmark::State& state) { Export(state, true, Format::kMapSvg); }
// The robust scale also counts each line's values into percentile bins.
void BM_ExportSvgProfileRobust(benchmark::State& state) {
  Export(state, false, Format::kSvg, ProfileScale::kRobust);
}

BENCHMARK(BM_ExportCsvGrid)->Arg(1000000)->Arg(4000000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ExportCsvGps)->Arg(1000000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ExportSvgProfile)->Arg(10000)->Arg(2000000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ExportSvgMap)->Arg(10000)->Arg(2000000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ExportSvgProfileRobust)->Arg(10000)->Arg(2000000)->Unit(benchmark::kMillisecond);

// The generated files go when the benchmarks end.
struct RemoveGenerated {
  ~RemoveGenerated() {
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator(fs::temp_directory_path(), ec)) {
      if (entry.path().filename().string().starts_with("tqexport-bench-" +
                                                       std::to_string(::getpid()) + "-")) {
        fs::remove(entry.path(), ec);
      }
    }
  }
} remove_generated;

}  // namespace
}  // namespace tq::exporter
