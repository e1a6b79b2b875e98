#include "bench/generated_files.h"

#include <stdlib.h>

#include <fstream>
#include <map>
#include <string>
#include <vector>

#include "survey/data_records.h"

namespace tq::bench {
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

}  // namespace

const std::filesystem::path& BenchFolder() { return Dir().path(); }

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

}  // namespace tq::bench
