// tqlog as a person drives it: real key events (xdotool) to its window on a
// virtual display (Xvfb), the simulated TQ68-MK2 of tqsim on a
// pseudo-terminal, and the data file checked record by record afterwards.
// Skipped where Xvfb or xdotool is not installed.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "settings/build_config.h"
#include "settings/settings.h"
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
using testing::ChildProcess;
using testing::kProcessPatience;
using testing::WaitUntil;

constexpr size_t kRecord = kLongRecordLength;

class LoggingProcessTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!fs::exists(testing::kXvfb) || !fs::exists(testing::kXdotool)) GTEST_SKIP() << "needs Xvfb and xdotool";
    ASSERT_TRUE(display_.Start(dir_.path())) << display_.Error();
    root_ = dir_.path() / "root";
    std::vector<std::string> sim = {TQSIM_PATH, "--kind", "7", "--instrument",
                                    (root_ / "ports" / "COM1").string()};
    for (const std::string& arg : MoreSimulatorArguments()) sim.push_back(arg);
    sim_.emplace(sim, dir_.path() / "tqsim.out", dir_.path() / "tqsim.err");
    ASSERT_TRUE(WaitUntil([&] { return fs::exists(root_ / "ports" / "COM1"); }));
    PrepareRoot();
    tqlog_.emplace(std::vector<std::string>{TQLOG_PATH, "--root", root_.string()}, dir_.path() / "tqlog.out",
                   dir_.path() / "tqlog.err");
    ASSERT_TRUE(WaitForFocus("TQ62")) << testing::ReadFileBytes(dir_.path() / "tqlog.err");
  }

  std::string Xdotool(const std::vector<std::string>& args) { return display_.Xdotool(args); }
  void Key(const std::string& key) { display_.Key(key); }
  bool WaitForFocus(const std::string& title) { return display_.WaitForFocus(title); }
  bool PressUntilFocus(const std::string& key, const std::string& title) {
    return display_.PressUntilFocus(key, title);
  }

  // What a test adds to tqsim's command line, and prepares in the data root
  // before tqlog starts.
  virtual std::vector<std::string> MoreSimulatorArguments() const { return {}; }
  virtual void PrepareRoot() {}

  fs::path DataFile() const {
    fs::path folder = root_ / "Storage" / "DATA68MK2";
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator(folder, ec)) return entry.path();
    return {};
  }

  std::vector<std::string> Records() const {
    std::string bytes = testing::ReadFileBytes(DataFile());
    std::vector<std::string> records;
    for (size_t at = 0; at + kRecord <= bytes.size(); at += kRecord) records.push_back(bytes.substr(at, kRecord));
    return records;
  }

  size_t CountNotes(const std::string& text) const {
    size_t n = 0;
    for (const std::string& r : Records()) n += r.compare(0, 1 + text.size(), "X" + text) == 0;
    return n;
  }

  bool WaitForNotes(const std::string& text, size_t count) {
    return WaitUntil([&] { return CountNotes(text) == count; });
  }

  // From the title page: the logging window and a new data file with its
  // headers and line start, back on the logging window.
  void CreateDataFile() {
    Key("l");
    std::this_thread::sleep_for(milliseconds(1000));
    ASSERT_TRUE(PressUntilFocus("c", "Create Data File"));
    Key("Return");
    ASSERT_TRUE(WaitUntil([&] { return !DataFile().empty() && Records().size() >= 13; }));
    ASSERT_TRUE(WaitForFocus("TQ62"));
  }

  // Logs for about `span`, then pauses: the `run`-th start and pause.
  void LogFor(milliseconds span, size_t run) {
    Key("g");
    ASSERT_TRUE(WaitForNotes("$STARTED", run));
    std::this_thread::sleep_for(span);
    Key("Return");
    ASSERT_TRUE(WaitForNotes("$PAUSED", run));
  }

  // Exit confirmed, then the title page's Exit once it has the keys again:
  // tqlog's exit status, nothing while it still runs.
  std::optional<int> ExitTqlog() {
    if (!PressUntilFocus("x", "Confirm Exit")) return std::nullopt;
    Key("Return");  // Yes
    std::optional<int> status;
    for (int attempt = 0; attempt < 5 && !status; ++attempt) {
      Key("x");
      status = tqlog_->WaitExit(milliseconds(4000));
    }
    return status;
  }

  testing::TempDir dir_;
  fs::path root_;
  testing::VirtualDisplay display_;
  std::optional<ChildProcess> sim_;
  std::optional<ChildProcess> tqlog_;
};

bool IsTickField(const std::string& record) {
  std::string tick = record.substr(TickAt(kRecord), kTickWidth);
  size_t digits = tick.find_first_not_of(' ');
  return digits != std::string::npos && tick.find_first_not_of("0123456789", digits) == std::string::npos;
}

uint64_t TickOf(const std::string& record) { return std::stoull(record.substr(TickAt(kRecord), kTickWidth)); }

bool AllDigits(const std::string& text) { return text.find_first_not_of("0123456789") == std::string::npos; }

TEST_F(LoggingProcessTest, MonitorCreateFileLogPauseNewLineLogPauseExit) {
  ASSERT_NO_FATAL_FAILURE(CreateDataFile());
  ASSERT_NO_FATAL_FAILURE(LogFor(milliseconds(3000), 1));
  ASSERT_TRUE(PressUntilFocus("l", "New Line"));
  Key("Return");
  ASSERT_TRUE(WaitForFocus("TQ62"));
  ASSERT_NO_FATAL_FAILURE(LogFor(milliseconds(2000), 2));
  std::optional<int> status = ExitTqlog();
  EXPECT_EQ(status, 0) << testing::ReadFileBytes(dir_.path() / "tqlog.err");

  std::string bytes = testing::ReadFileBytes(DataFile());
  ASSERT_EQ(bytes.size() % kRecord, 0u) << "only whole records";
  std::vector<std::string> r = Records();

  // The frames tqsim sent, in order: frame i is reading i of the walk, 47 ms apart.
  std::vector<std::string> sent;
  for (uint64_t i = 0; i < 4000; ++i) {
    sim::WalkSample sample = sim::SampleWalk(sim::WalkParams{}, static_cast<double>(i) * 47 / 1000.0, i);
    std::vector<uint8_t> wire = sim::EncodeReading(7, 12, sample, i);
    sent.emplace_back(wire.begin(), wire.begin() + 14);
  }

  // header 1, header 2, then two runs: line start, STARTED, readings, PAUSED.
  ASSERT_GE(r.size(), 2u);
  EXPECT_EQ(r[0].substr(0, 7), "TQ68MK2");
  EXPECT_EQ(r[1][0], 'H');
  size_t at = 2;
  size_t next_sent = 0;
  uint64_t last_tick = 0;
  for (int run = 0; run < 2; ++run) {
    ASSERT_LT(at + 13, r.size());
    std::string group;
    for (size_t i = at; i < at + 11; ++i) group += r[i][0];
    EXPECT_EQ(group, "LBAZOOOOOO*") << "run " << run;
    const std::string& z = r[at + 3];
    EXPECT_TRUE(AllDigits(z.substr(1, 8))) << z;  // DDMMYYYY
    EXPECT_EQ(z.substr(12, 1) + z.substr(15, 1), "::") << z;
    EXPECT_EQ(r[at].substr(1, run == 0 ? 1 : 4), run == 0 ? "0" : "1.00") << "line name";
    at += 11;
    EXPECT_EQ(r[at].substr(0, 12), "X$STARTED   ");
    ++at;
    size_t readings = 0;
    for (; at < r.size() && r[at][0] == 'T'; ++at, ++readings) {
      ASSERT_TRUE(IsTickField(r[at])) << at;
      EXPECT_EQ(r[at][14], ' ');
      EXPECT_EQ(r[at][kRecord - 1], '\n');
      std::string frame = r[at].substr(0, 14);
      while (next_sent < sent.size() && sent[next_sent] != frame) ++next_sent;
      ASSERT_LT(next_sent, sent.size()) << "record " << at << " is no frame tqsim sent, in order";
      ++next_sent;
    }
    EXPECT_GE(readings, run == 0 ? 10u : 6u) << "about five readings a second";
    ASSERT_LT(at, r.size());
    EXPECT_EQ(r[at].substr(0, 12), "X$PAUSED    ");
    ++at;
  }
  EXPECT_EQ(at, r.size());
  for (size_t i = 2; i < r.size(); ++i) {
    char letter = r[i][0];
    if (letter != '*' && letter != 'X' && letter != 'T') continue;
    ASSERT_TRUE(IsTickField(r[i])) << i;
    EXPECT_GE(TickOf(r[i]), last_tick) << "ticks never go back, record " << i;
    last_tick = TickOf(r[i]);
  }
}

}  // namespace
}  // namespace tq

namespace tq {
namespace {

// A GPS survey: tqsim's receiver on COM2 with some sentences damaged, the
// logger set to GPS input on COM2 by its settings file.
class GpsSurveyProcessTest : public LoggingProcessTest {
 protected:
  std::vector<std::string> MoreSimulatorArguments() const override {
    return {"--gps", (root_ / "ports" / "COM2").string(), "--bad-checksum", "0.3", "--seed", "7"};
  }

  void PrepareRoot() override {
    ASSERT_TRUE(WaitUntil([&] { return fs::exists(root_ / "ports" / "COM2"); }));
    BuildConfig build = DefaultBuildConfig();
    SettingsStore settings;
    ApplyKindDefaults(settings, build);
    settings.GpsInput = 1;
    settings.GpsPort = 1;  // COM2
    fs::create_directories(root_ / "Storage" / "FLDINI");
    testing::WriteFileBytes(root_ / "Storage" / "FLDINI" / "TQ68MK2.INI",
                            FormatSettingsFile(settings, build));
  }
};

// The CSV cells of one line (no quoting: none of these cells has commas).
std::vector<std::string> CsvCells(const std::string& line) {
  std::vector<std::string> cells;
  size_t start = 0;
  for (;;) {
    size_t comma = line.find(',', start);
    cells.push_back(line.substr(start, comma == std::string::npos ? std::string::npos : comma - start));
    if (comma == std::string::npos) return cells;
    start = comma + 1;
  }
}

TEST_F(GpsSurveyProcessTest, SentencesAndReadingsInterleaveWholeAndEveryReadingAfterTheFirstFixIsPlaced) {
  ASSERT_NO_FATAL_FAILURE(CreateDataFile());
  ASSERT_NO_FATAL_FAILURE(LogFor(milliseconds(7000), 1));
  std::optional<int> status = ExitTqlog();
  ASSERT_EQ(status, 0) << testing::ReadFileBytes(dir_.path() / "tqlog.err");

  std::string bytes = testing::ReadFileBytes(DataFile());
  ASSERT_EQ(bytes.size() % kRecord, 0u) << "only whole records";
  std::vector<std::string> r = Records();
  EXPECT_EQ(r[0].substr(0, 7), "TQ68MK2");

  // Each sentence is a whole group: a first piece, its continuations, its
  // tick; readings only between groups.
  size_t good = 0, bad = 0, readings = 0, readings_between_groups = 0;
  uint64_t first_fix_tick = 0;
  bool after_group = false;
  for (size_t i = 2; i < r.size(); ++i) {
    ASSERT_EQ(r[i].back(), '\n') << i;
    const char first = r[i][0];
    if (first == 'T') {
      ++readings;
      if (after_group) ++readings_between_groups;
      continue;
    }
    if (first != '@' && first != '?') continue;
    const char next = first == '@' ? '#' : '"';
    std::string text = r[i].substr(1, kRecord - 2);
    size_t j = i + 1;
    for (; j < r.size() && r[j][0] == next; ++j) text += r[j].substr(1, kRecord - 2);
    ASSERT_LT(j, r.size());
    ASSERT_EQ(r[j][0], '!') << "group at " << i << " ends in " << r[j];
    (first == '@' ? good : bad) += 1;
    if (first == '@' && first_fix_tick == 0 && text.starts_with("$GPGGA")) {
      first_fix_tick = std::stoull(r[j].substr(1));
    }
    after_group = true;
    i = j;
  }
  EXPECT_GE(readings, 20u);
  EXPECT_GE(good, 5u);
  EXPECT_GE(bad, 1u) << "tqsim damaged about a third of the sentences";
  EXPECT_GT(readings_between_groups, 0u);
  ASSERT_NE(first_fix_tick, 0u);

  // tqexport places every reading after the first fix.
  fs::path csv = dir_.path() / "out.csv";
  ChildProcess export_run({TQEXPORT_PATH, DataFile().string(), "--format", "csv", "-o", csv.string()},
                          dir_.path() / "export.out", dir_.path() / "export.err");
  ASSERT_EQ(export_run.WaitExit(kProcessPatience), 0) << testing::ReadFileBytes(dir_.path() / "export.err");
  std::string table = testing::ReadFileBytes(csv);
  std::vector<std::string> lines;
  for (size_t at = 0; at < table.size();) {
    size_t end = table.find('\n', at);
    lines.push_back(table.substr(at, end - at));
    at = end == std::string::npos ? table.size() : end + 1;
  }
  ASSERT_GE(lines.size(), 2u);
  std::vector<std::string> header = CsvCells(lines[0]);
  auto column = [&](const std::string& name) {
    return static_cast<size_t>(std::find(header.begin(), header.end(), name) - header.begin());
  };
  const size_t tick_at = column("tick"), lat_at = column("lat"), lon_at = column("lon");
  ASSERT_LT(lat_at, header.size()) << lines[0];
  size_t placed = 0;
  for (size_t i = 1; i < lines.size(); ++i) {
    std::vector<std::string> cells = CsvCells(lines[i]);
    ASSERT_EQ(cells.size(), header.size()) << lines[i];
    if (std::stoull(cells[tick_at]) <= first_fix_tick) continue;
    EXPECT_FALSE(cells[lat_at].empty()) << lines[i];
    EXPECT_FALSE(cells[lon_at].empty()) << lines[i];
    ++placed;
  }
  EXPECT_GT(placed, 0u);
}

}  // namespace
}  // namespace tq

namespace tq {
namespace {

// Survey Setup by keys: a TQ68-MK2 set up for Manual goes to Auto at two
// readings a second, and the file logged afterwards says so in its headers.
TEST_F(LoggingProcessTest, SurveySetupByKeysReachesTheDataFileHeaders) {
  Key("x");  // the first tqlog ends; the next starts on settings made for Manual
  ASSERT_EQ(tqlog_->WaitExit(kProcessPatience), 0);
  const BuildConfig build{kKindTq68Mk2, 1, 0};
  SettingsStore manual;
  manual.SurveyMode = 2;
  manual.PauseKey = 2;
  testing::WriteFileBytes(root_ / "Storage" / "FLDINI" / "TQ68MK2.INI", FormatSettingsFile(manual, build));
  tqlog_.emplace(std::vector<std::string>{TQLOG_PATH, "--root", root_.string()}, dir_.path() / "tqlog2.out",
                 dir_.path() / "tqlog2.err");
  ASSERT_TRUE(WaitForFocus("TQ62"));

  Key("s");
  ASSERT_TRUE(WaitForFocus("Survey Setup"));
  Key("Up");   // the mode list has the keys: "Manual" becomes "Auto"
  Key("Tab");  // to the rate, its text selected
  Xdotool({"type", "2"});
  Key("Return");
  ASSERT_TRUE(WaitForFocus("TQ62"));

  ASSERT_NO_FATAL_FAILURE(CreateDataFile());
  ASSERT_NO_FATAL_FAILURE(LogFor(milliseconds(3000), 1));
  EXPECT_EQ(ExitTqlog(), 0) << testing::ReadFileBytes(dir_.path() / "tqlog2.err");

  SettingsStore expected = manual;
  expected.SurveyMode = 0;
  expected.ReadingInterval = 0.5f;
  std::vector<std::string> r = Records();
  ASSERT_GE(r.size(), 2u);
  EXPECT_EQ(r[0], FormatHeader1(expected, build, true).text());
  EXPECT_EQ(r[1], FormatHeader2(expected, kRecord, DataFile().stem().string()).text());
  EXPECT_NE(r[1].find("  0.500"), std::string::npos) << r[1];
  size_t readings = 0;
  for (const std::string& record : r) readings += record[0] == 'T';
  EXPECT_GE(readings, 4u) << "two readings a second for about three seconds";
  EXPECT_LE(readings, 9u);
}

}  // namespace
}  // namespace tq
