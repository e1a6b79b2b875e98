// tqlog's file viewer as a person drives it: real key events (xdotool) on a
// virtual display (Xvfb), a data file written the way a logging run writes
// one (a simulated walk), and the screen read back from a screenshot.
// Skipped where Xvfb, xdotool or ImageMagick is not installed. With
// TQ_SCREENSHOT_DIR set, the screenshots are kept there.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "survey/data_records.h"
#include "survey/record_layout.h"
#include "tests/support/child_process.h"
#include "tests/support/temp_dir.h"
#include "tests/support/virtual_display.h"
#include "tools/sim/instrument_readings.h"
#include "tools/sim/survey_walk.h"

namespace tq {
namespace {

namespace fs = std::filesystem;
using std::chrono::milliseconds;
using testing::kProcessPatience;
using testing::kXdotool;
using testing::WaitUntil;

constexpr const char* kImport = "/usr/bin/import";
constexpr const char* kConvert = "/usr/bin/convert";
constexpr int kReadings = 600;
constexpr int kChartLeft = 4;  // the profile's client area starts inside its border

// A TQ68-MK2 file as a logging run writes it: headers, the line start group,
// a time mark, then one reading per station along a simulated walk.
void WriteWalkFile(const fs::path& path) {
  SettingsStore s;
  const BuildConfig build{kKindTq68Mk2, 1, 0};
  LocalTime now;
  now.year = 2026;
  now.month = 12;
  now.day = 6;
  now.hour = 14;
  std::vector<DataRecord> records = {FormatHeader1(s, build, true),
                                     FormatHeader2(s, kLongRecordLength, "120614A")};
  for (const DataRecord& r : FormatLineStart(s, kKindTq68Mk2, now, {})) records.push_back(r);
  records.push_back(FormatTimeMark(kLongRecordLength, 0, now));
  for (int i = 0; i < kReadings; ++i) {
    const sim::WalkSample sample = sim::SampleWalk(sim::WalkParams{}, i * 0.2, static_cast<uint64_t>(i));
    const std::vector<uint8_t> wire = sim::EncodeReading(kKindTq68Mk2, 12, sample, static_cast<uint64_t>(i));
    records.push_back(FormatBinaryReadingRecord(std::span(wire.data(), 14), static_cast<uint32_t>(i * 200)));
  }
  fs::create_directories(path.parent_path());
  std::ofstream out(path, std::ios::binary);
  for (const DataRecord& r : records) {
    out.write(reinterpret_cast<const char*>(r.bytes.data()), static_cast<std::streamsize>(r.length));
  }
}

class ViewerProcessTest : public ::testing::TestWithParam<bool> {
 protected:
  void SetUp() override {
    for (const char* tool : {testing::kXvfb, kXdotool, kImport, kConvert}) {
      if (!fs::exists(tool)) GTEST_SKIP() << "needs " << tool;
    }
    ASSERT_TRUE(display_.Start(dir_.path())) << display_.Error();
    root_ = dir_.path() / "root";
    WriteWalkFile(root_ / "Storage" / "DATA68MK2" / "120614A.N68");
    std::vector<std::string> argv = {TQLOG_PATH, "--root", root_.string()};
    if (!portrait()) argv.push_back("--landscape");
    tqlog_.emplace(argv, dir_.path() / "tqlog.out", dir_.path() / "tqlog.err");
    ASSERT_TRUE(WaitForFocus("TQ62")) << testing::ReadFileBytes(dir_.path() / "tqlog.err");
  }

  bool portrait() const { return GetParam(); }

  std::string Run(const char* tool, const std::vector<std::string>& args) {
    return testing::RunTool(dir_.path(), tool, args);
  }
  void Key(const std::string& key) { display_.Key(key); }
  bool WaitForFocus(const std::string& title) { return display_.WaitForFocus(title); }

  // The x positions of one screen row whose pixel has colour `hex` ("#808080").
  std::vector<int> ColumnsOfColour(const fs::path& shot, int y, const std::string& hex) {
    const std::string row = Run(kConvert, {shot.string(), "-crop", "320x1+0+" + std::to_string(y),
                                           "+repage", "txt:-"});
    std::vector<int> xs;
    size_t at = 0;
    while ((at = row.find('\n', at)) != std::string::npos) {
      ++at;
      const size_t comma = row.find(',', at);
      const size_t colour = row.find('#', at);
      const size_t end = row.find('\n', at);
      if (comma == std::string::npos || colour == std::string::npos || colour > end) break;
      if (row.compare(colour, hex.size(), hex) == 0) xs.push_back(std::stoi(row.substr(at, comma - at)));
    }
    return xs;
  }

  testing::TempDir dir_;
  fs::path root_;
  testing::VirtualDisplay display_;
  std::optional<testing::ChildProcess> tqlog_;
};

TEST_P(ViewerProcessTest, ViewFilesOpensALoggedLineAndTheKeysMoveAlongIt) {
  Key("v");
  std::this_thread::sleep_for(milliseconds(500));
  Key("f");
  ASSERT_TRUE(WaitForFocus("Open"));
  // The dialog lists the folder in the background; a name typed before it
  // knows the file is not accepted.
  std::this_thread::sleep_for(milliseconds(1500));
  Run(kXdotool, {"type", "120614A.N68"});
  Key("Return");
  ASSERT_TRUE(WaitForFocus("TQ62"));
  // One record pair per reading: the line was indexed whole.
  const fs::path line1 = root_ / "Storage" / "FLDINI" / "LINE1.R6X";
  ASSERT_TRUE(WaitUntil([&] { return fs::exists(line1) && fs::file_size(line1) == kReadings * 29u; }));
  const fs::path shot = dir_.path() / (portrait() ? "viewer-portrait.png" : "viewer-landscape.png");
  const std::string size = portrait() ? "240x320+0+0" : "320x240+0+0";
  const int chart_top = portrait() ? 41 : 28;
  std::vector<int> bar;
  auto bar_at = [&](int column) {
    Run(kImport, {"-window", "root", "-crop", size, "+repage", shot.string()});
    bar = ColumnsOfColour(shot, chart_top + 20, "#808080");
    return bar == std::vector<int>{kChartLeft + column};
  };
  // Keys wait until the line is read and its bar drawn in the start column
  // 50 (the viewer takes none while it reads); then the bar leaves it for 49.
  ASSERT_TRUE(WaitUntil([&] { return bar_at(50); }));
  Key("End");
  Key("Left");
  EXPECT_TRUE(WaitUntil([&] { return bar_at(49); })) << "the bar is at " << ::testing::PrintToString(bar);
  if (const char* keep = std::getenv("TQ_SCREENSHOT_DIR")) {
    fs::copy_file(shot, fs::path(keep) / shot.filename(), fs::copy_options::overwrite_existing);
  }

  Key("x");  // the viewer's Exit
  std::this_thread::sleep_for(milliseconds(300));
  Key("x");  // the title page's Exit
  EXPECT_EQ(tqlog_->WaitExit(kProcessPatience), 0) << testing::ReadFileBytes(dir_.path() / "tqlog.err");
}

INSTANTIATE_TEST_SUITE_P(Orientations, ViewerProcessTest, ::testing::Values(true, false),
                         [](const auto& orientation) { return orientation.param ? "Portrait" : "Landscape"; });

}  // namespace
}  // namespace tq
