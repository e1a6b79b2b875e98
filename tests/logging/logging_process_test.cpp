// tqlog as a person drives it: real key events (xdotool) to its window on a
// virtual display (Xvfb), a simulated instrument of tqsim on a
// pseudo-terminal (each kind in turn, the TQ68-MK2 by default), and the data
// file checked record by record afterwards. Skipped where Xvfb or xdotool is
// not installed.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <linux/input.h>
#include <sys/stat.h>
#include <unistd.h>

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

// The first file in `folder`, or nothing.
fs::path FirstFileIn(const fs::path& folder) {
  std::error_code ec;
  for (const auto& entry : fs::directory_iterator(folder, ec)) return entry.path();
  return {};
}

// The whole records of `file`, `length` bytes each; none when there is no file.
std::vector<std::string> RecordsOf(const fs::path& file, size_t length) {
  const std::string bytes = file.empty() ? std::string() : testing::ReadFileBytes(file);
  std::vector<std::string> records;
  for (size_t at = 0; at + length <= bytes.size(); at += length) records.push_back(bytes.substr(at, length));
  return records;
}

// How many of `records` are the run note `text`.
size_t NotesIn(const std::vector<std::string>& records, const std::string& text) {
  size_t n = 0;
  for (const std::string& r : records) n += r.compare(0, 1 + text.size(), "X" + text) == 0;
  return n;
}

class LoggingProcessTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!fs::exists(testing::kXvfb) || !fs::exists(testing::kXdotool)) GTEST_SKIP() << "needs Xvfb and xdotool";
    ASSERT_TRUE(display_.Start(dir_.path())) << display_.Error();
    root_ = dir_.path() / "root";
    std::vector<std::string> sim = {TQSIM_PATH, "--kind", std::to_string(sim_kind_), "--instrument",
                                    (root_ / "ports" / "COM1").string()};
    for (const std::string& arg : MoreSimulatorArguments()) sim.push_back(arg);
    sim_.emplace(sim, dir_.path() / "tqsim.out", dir_.path() / "tqsim.err", SimulatorInput());
    ASSERT_TRUE(WaitUntil([&] { return fs::exists(root_ / "ports" / "COM1"); }));
    PrepareRoot();
    std::vector<std::string> tqlog = {TQLOG_PATH, "--root", root_.string()};
    tqlog.insert(tqlog.end(), logger_args_.begin(), logger_args_.end());
    tqlog_.emplace(tqlog, dir_.path() / "tqlog.out", dir_.path() / "tqlog.err");
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
  // Where tqsim's standard input comes from; none by default.
  virtual fs::path SimulatorInput() { return {}; }

  // Once tqsim's receiver is on COM2: `settings_file` under the data root
  // as `build`'s defaults with GPS input on COM2.
  void WriteGpsSettings(const BuildConfig& build, const fs::path& settings_file) {
    ASSERT_TRUE(WaitUntil([&] { return fs::exists(root_ / "ports" / "COM2"); }));
    SettingsStore settings;
    ApplyKindDefaults(settings, build);
    settings.GpsInput = 1;
    settings.GpsPort = 1;  // COM2
    fs::create_directories((root_ / settings_file).parent_path());
    testing::WriteFileBytes(root_ / settings_file, FormatSettingsFile(settings, build));
  }

  fs::path DataFile() const { return FirstFileIn(root_ / data_folder_); }
  std::vector<std::string> Records() const { return RecordsOf(DataFile(), record_); }
  size_t CountNotes(const std::string& text) const { return NotesIn(Records(), text); }

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
    ASSERT_TRUE(WaitUntil([&] { return !DataFile().empty() && Records().size() >= opening_records_; }));
    ASSERT_TRUE(WaitForFocus("TQ62"));
  }

  // Logs for about `span`, then pauses by `pause_key`: the `run`-th start
  // and pause.
  void LogFor(milliseconds span, size_t run, const std::string& pause_key = "Return") {
    Key("g");
    ASSERT_TRUE(WaitForNotes("$STARTED", run));
    std::this_thread::sleep_for(span);
    Key(pause_key);
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

  // The instrument kind tqsim plays and what tqlog is told of it; the
  // defaults are the built kind's.
  int sim_kind_ = kKindTq68Mk2;
  std::vector<std::string> logger_args_;
  fs::path data_folder_ = fs::path("Storage") / "DATA68MK2";
  size_t record_ = kLongRecordLength;
  size_t opening_records_ = 13;  // headers, line start, calibration, time mark

  testing::TempDir dir_;
  fs::path root_;
  testing::VirtualDisplay display_;
  std::optional<ChildProcess> sim_;
  std::optional<ChildProcess> tqlog_;
};

bool IsTickField(const std::string& record) {
  std::string tick = record.substr(TickAt(record.size()), kTickWidth);
  size_t digits = tick.find_first_not_of(' ');
  return digits != std::string::npos && tick.find_first_not_of("0123456789", digits) == std::string::npos;
}

uint64_t TickOf(const std::string& record) {
  return std::stoull(record.substr(TickAt(record.size()), kTickWidth));
}

bool AllDigits(const std::string& text) { return text.find_first_not_of("0123456789") == std::string::npos; }

// One instrument kind's logging run by keys, as its documented tables give it.
struct KindRun {
  int kind;
  const char* model;        // what tqlog --kind is given
  const char* pause_key;    // xdotool's name of a key that pauses with the kind's default PauseKey
  const char* settings;     // the settings file under the data root, and its first line
  const char* tag;
  const char* data_folder;  // under the data root
  const char* extension;
  const char* identifier;   // bytes 0..14 of header 1
  FrameSyntax syntax;
  int frame_ms;    // tqsim's frame period
  int reading_ms;  // a reading at the default interval of 0.2 s: frames per reading times the period
};

// PauseKey 0 pauses on any key, digits too, but on the TQ68-MK2, whose
// portrait keypad pauses on Enter.
const KindRun kKindRuns[] = {
    {0, "TQ62", "5", "Storage/FLDINI/TQ62.INI", "CEVer2.11", "Storage/DATA62", ".R62", "TQ62MK2 W211GRD",
     FrameSyntax::kAscii, 91, 182},
    {1, "TQ68B", "5", "Storage/FLDINI/TQ68B.INI", "CEVer2.10", "Storage/DATA68", ".P68", "TQ68B   W210GRD",
     FrameSyntax::kAscii, 91, 182},
    {2, "TQ68-DD", "5", "Storage/FLDINI/TQ68D.INI", "CEVer2.11", "Storage/DATA68", ".Q68", "TQ68D   W211GRD",
     FrameSyntax::kAscii, 91, 182},
    // Probes the frame length before its reader starts.
    {3, "TQ68", "5", "Storage/FLDINI/TQ68.INI", "CEVer2.11", "Storage/DATA68", ".R68", "TQ68S   W211GRD",
     FrameSyntax::kAscii, 91, 182},
    {4, "TQ64-3", "5", "Storage/FLDINI/TQ64.INI", "CEVer2.11", "Storage/DATA64", ".R64", "TQ64    W211GRD",
     FrameSyntax::kAscii, 91, 182},
    // Its files live under C_DRIVE whatever the storage root.
    {5, "TQ93", "5", "C_DRIVE/FLDINI/TQ93.INI", "CEVer2.10", "C_DRIVE/DATA93", ".R93", "TQ93    W210GRD",
     FrameSyntax::kAscii, 91, 182},
    // A frame a second: only its 2000 ms watchdog keeps "$CONN BREAK" out.
    {6, "FRZ62", "5", "Storage/FLDINI/FRZ62.INI", "CEVer2.10", "Storage/DATAICE", ".I62", "FRZ62   W210GRD",
     FrameSyntax::kIce, 1000, 1000},
    {7, "TQ68-MK2", "Return", "Storage/FLDINI/TQ68MK2.INI", "CEVer2.11", "Storage/DATA68MK2", ".N68",
     "TQ68MK2 W211GRD", FrameSyntax::kBinary, 47, 188},
};

void PrintTo(const KindRun& row, std::ostream* os) { *os << row.model; }

// A test's name for its kind: the model without dashes.
std::string ModelName(const ::testing::TestParamInfo<KindRun>& run) {
  std::string name = run.param.model;
  std::erase(name, '-');
  return name;
}

// tqlog --kind over tqsim --kind, for each kind in turn.
class KindLoggingProcessTest : public LoggingProcessTest, public ::testing::WithParamInterface<KindRun> {
 protected:
  KindLoggingProcessTest() {
    const KindRun& row = GetParam();
    sim_kind_ = row.kind;
    logger_args_ = {"--kind", row.model};
    data_folder_ = row.data_folder;
    record_ = row.syntax == FrameSyntax::kBinary ? kLongRecordLength : kShortRecordLength;
    opening_records_ = 2 + LineStartGroup().size();
  }

  std::string LineStartGroup() const {
    return GetParam().syntax == FrameSyntax::kBinary ? "LBAZOOOOOO*" : "LBAZ*";
  }

  // The frames tqsim sends, in order, as a reading record holds them: frame
  // i is reading i of the walk, one frame period apart.
  std::vector<std::string> SentFrames() const {
    const KindRun& row = GetParam();
    std::vector<std::string> sent;
    for (uint64_t i = 0; i < 120000u / static_cast<unsigned>(row.frame_ms); ++i) {
      sim::WalkSample sample =
          sim::SampleWalk(sim::WalkParams{}, static_cast<double>(i) * row.frame_ms / 1000.0, i);
      std::vector<uint8_t> wire = sim::EncodeReading(row.kind, 12, sample, i);
      std::string text(wire.begin(), wire.end());
      switch (row.syntax) {
        case FrameSyntax::kAscii: text.pop_back(); break;   // the CR
        case FrameSyntax::kIce: text.resize(12, ' '); break;  // 8 characters, padded
        case FrameSyntax::kBinary: text.resize(14); break;    // before 0xFF 0xFF
      }
      sent.push_back(text);
    }
    return sent;
  }
};

TEST_P(KindLoggingProcessTest, MonitorCreateFileLogPauseNewLineLogPauseExit) {
  const KindRun& row = GetParam();
  const std::vector<milliseconds> spans = {milliseconds(3000), milliseconds(2000)};
  ASSERT_NO_FATAL_FAILURE(CreateDataFile());
  ASSERT_NO_FATAL_FAILURE(LogFor(spans[0], 1, row.pause_key));
  ASSERT_TRUE(PressUntilFocus("l", "New Line"));
  Key("Return");
  ASSERT_TRUE(WaitForFocus("TQ62"));
  ASSERT_NO_FATAL_FAILURE(LogFor(spans[1], 2, row.pause_key));
  std::optional<int> status = ExitTqlog();
  EXPECT_EQ(status, 0) << testing::ReadFileBytes(dir_.path() / "tqlog.err");

  EXPECT_EQ(testing::ReadFileBytes(root_ / row.settings).substr(0, std::string(row.tag).size() + 2),
            std::string(row.tag) + "\r\n");
  EXPECT_EQ(DataFile().extension(), row.extension);
  std::string bytes = testing::ReadFileBytes(DataFile());
  ASSERT_EQ(bytes.size() % record_, 0u) << "only whole records";
  std::vector<std::string> r = Records();
  const std::vector<std::string> sent = SentFrames();
  const size_t frame_bytes = sent[0].size();
  const std::string group_letters = LineStartGroup();

  // header 1, header 2, then two runs: line start, STARTED, readings, PAUSED.
  ASSERT_GE(r.size(), 2u);
  EXPECT_EQ(r[0].substr(0, 15), row.identifier);
  EXPECT_EQ(r[1][0], 'H');
  size_t at = 2;
  size_t next_sent = 0;
  uint64_t last_tick = 0;
  for (size_t run = 0; run < spans.size(); ++run) {
    ASSERT_LT(at + group_letters.size() + 2, r.size());
    std::string group;
    for (size_t i = at; i < at + group_letters.size(); ++i) group += r[i][0];
    EXPECT_EQ(group, group_letters) << "run " << run;
    const std::string& z = r[at + 3];
    EXPECT_TRUE(AllDigits(z.substr(1, 8))) << z;  // DDMMYYYY
    EXPECT_EQ(z.substr(12, 1) + z.substr(15, 1), "::") << z;
    EXPECT_EQ(r[at].substr(1, run == 0 ? 1 : 4), run == 0 ? "0" : "1.00") << "line name";
    at += group_letters.size();
    EXPECT_EQ(r[at].substr(0, 12), "X$STARTED   ");
    ++at;
    const size_t first = at;
    for (; at < r.size() && r[at][0] == 'T'; ++at) {
      ASSERT_TRUE(IsTickField(r[at])) << at;
      EXPECT_EQ(r[at][frame_bytes], ' ');
      EXPECT_EQ(r[at][record_ - 1], '\n');
      std::string frame = r[at].substr(0, frame_bytes);
      while (next_sent < sent.size() && sent[next_sent] != frame) ++next_sent;
      ASSERT_LT(next_sent, sent.size()) << "record " << at << " is no frame tqsim sent, in order: " << r[at];
      ++next_sent;
    }
    // The reading rate of the default interval, from the frames' own ticks.
    const size_t readings = at - first;
    ASSERT_GE(readings, std::max<size_t>(2, 2 * spans[run].count() / (3 * row.reading_ms))) << "run " << run;
    const double mean_ms = static_cast<double>(TickOf(r[at - 1]) - TickOf(r[first])) / static_cast<double>(readings - 1);
    EXPECT_NEAR(mean_ms, row.reading_ms, row.reading_ms / 5.0) << "run " << run;
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

INSTANTIATE_TEST_SUITE_P(EveryKind, KindLoggingProcessTest, ::testing::ValuesIn(kKindRuns),
                         ModelName);

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
    WriteGpsSettings(DefaultBuildConfig(), fs::path("Storage") / "FLDINI" / "TQ68MK2.INI");
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

namespace tq {
namespace {

// A stored survey played back: tqsim --replay of a golden GPS file of each
// kind (three runs of the TQ62 and the TQ68-MK2) into a tqlog of that kind
// logging by keys, with GPS on COM2. The new file must hold the same reading
// records and the same GPS records, ticks and clocks aside. tqsim waits at
// each run boundary (--step): it holds the instrument live while the file is
// created, goes quiet for the Go, plays the run once the logger has started,
// and is quiet again once it has played until the logger is paused.
class ReplayRoundTripTest : public KindLoggingProcessTest {
 protected:
  fs::path Golden() const {
    const KindRun& row = GetParam();
    const bool runs = row.kind == kKindTq62 || row.kind == kKindTq68Mk2;
    return fs::path(TQ_GOLDEN_DIR) / (std::string(row.model) + (runs ? "-runs" : "-gps") + row.extension);
  }

  std::vector<std::string> MoreSimulatorArguments() const override {
    return {"--replay", Golden().string(), "--gps", (root_ / "ports" / "COM2").string(), "--step"};
  }

  fs::path SimulatorInput() override {
    fs::path fifo = dir_.path() / "tqsim.in";
    EXPECT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    step_ = open(fifo.c_str(), O_RDWR | O_CLOEXEC);
    return fifo;
  }

  void PrepareRoot() override {
    const KindRun& row = GetParam();
    WriteGpsSettings(BuildConfig{row.kind, DefaultBuildConfig().StorageRoot, 0}, row.settings);
  }

  void TearDown() override {
    if (step_ >= 0) close(step_);
  }

  // One line to tqsim at its run boundary.
  void Step(const std::string& line) {
    const std::string text = line + "\n";
    ASSERT_EQ(write(step_, text.data(), text.size()), static_cast<ssize_t>(text.size()));
  }

  // Waits until `done`, looking more often than WaitUntil: the logger notes a
  // connection break when the line is silent for 0.3 s.
  static bool Soon(const std::function<bool()>& done, milliseconds timeout = kProcessPatience) {
    const auto until = std::chrono::steady_clock::now() + timeout;
    for (; !done(); std::this_thread::sleep_for(milliseconds(5))) {
      if (std::chrono::steady_clock::now() > until) return false;
    }
    return true;
  }

  int step_ = -1;
};

// The records a round trip keeps: readings without their tick, GPS pieces
// whole, how many GPS ticks, and the notes' texts.
struct KeptRecords {
  std::vector<std::string> readings;
  std::vector<std::string> gps;
  size_t gps_ticks = 0;
  std::vector<std::string> notes;
  std::vector<std::pair<size_t, size_t>> paused_at;  // readings and GPS ticks before each "$PAUSED"
};

KeptRecords KeptOf(const std::string& bytes, size_t length) {
  KeptRecords kept;
  for (size_t at = 2 * length; at + length <= bytes.size(); at += length) {
    const std::string record = bytes.substr(at, length);
    const char first = record[0];
    if (first == 'T' || first == 't' || (first >= '2' && first <= '6')) {
      kept.readings.push_back(record.substr(0, TickAt(length)));
    } else if (first == '@' || first == '#' || first == '?' || first == '"') {
      kept.gps.push_back(record);
    } else if (first == '!') {
      ++kept.gps_ticks;
    } else if (first == 'X') {
      kept.notes.push_back(record.substr(1, 11));
      if (kept.notes.back() == "$PAUSED    ") kept.paused_at.emplace_back(kept.readings.size(), kept.gps_ticks);
    }
  }
  return kept;
}

TEST_P(ReplayRoundTripTest, TheNewFileHoldsTheStoredReadingAndGpsRecords) {
  const KindRun& row = GetParam();
  const KeptRecords want = KeptOf(testing::ReadFileBytes(Golden()), record_);
  ASSERT_GE(want.readings.size(), 5u);
  ASSERT_GE(want.gps_ticks, 3u);

  const size_t runs = want.paused_at.size();

  ASSERT_NO_FATAL_FAILURE(CreateDataFile());
  for (size_t run = 1; run <= runs; ++run) {
    Step("quiet");
    std::this_thread::sleep_for(milliseconds(100));  // the last held frame is read before the Go
    Key("g");
    ASSERT_TRUE(Soon([&] { return CountNotes("$STARTED") == run; }));
    Step("");  // play the run
    auto played = [&] {
      const KeptRecords now = KeptOf(testing::ReadFileBytes(DataFile()), record_);
      return now.readings.size() >= want.paused_at[run - 1].first && now.gps_ticks >= want.paused_at[run - 1].second;
    };
    ASSERT_TRUE(Soon(played, milliseconds(60000))) << testing::ReadFileBytes(dir_.path() / "tqsim.err");
    // The second of three runs is paused late, the others at once.
    if (run == 2) std::this_thread::sleep_for(milliseconds(1000));
    Key(row.pause_key);
    ASSERT_TRUE(Soon([&] { return CountNotes("$PAUSED") == run; }));
    Step("hold");  // the instrument live while the logger is paused
  }
  EXPECT_EQ(ExitTqlog(), 0) << testing::ReadFileBytes(dir_.path() / "tqlog.err");

  const KeptRecords got = KeptOf(testing::ReadFileBytes(DataFile()), record_);
  EXPECT_EQ(got.readings, want.readings);
  EXPECT_EQ(got.gps, want.gps);
  EXPECT_EQ(got.gps_ticks, want.gps_ticks);
  // The late pause leaves the line silent for longer than the logger allows,
  // and on a loaded machine even a pause at once may miss the 0.3 s; the
  // runs' own notes come back all the same.
  std::vector<std::string> notes;
  for (const std::string& note : got.notes) {
    if (note != "$CONN BREAK") notes.push_back(note);
  }
  EXPECT_EQ(notes, want.notes);
}

INSTANTIATE_TEST_SUITE_P(EveryKind, ReplayRoundTripTest, ::testing::ValuesIn(kKindRuns),
                         ModelName);

// A handheld without a desktop: tqlog on Qt's offscreen display, no X and no
// window manager, its keys from an evdev keyboard as on a framebuffer
// (QT_QPA_EVDEV_KEYBOARD_PARAMETERS names the device). The device here is a
// pipe that carries the kernel's input events; Qt's evdev keyboard takes
// only paths under /dev/, hence /dev/shm.
class EvdevKeyboard {
 public:
  EvdevKeyboard() : device_("/dev/shm/tqlog-keys-" + std::to_string(getpid())) {
    fs::remove(device_);
    if (mkfifo(device_.c_str(), 0600) == 0) fd_ = open(device_.c_str(), O_RDWR);  // never waits for a reader
  }
  ~EvdevKeyboard() {
    if (fd_ >= 0) close(fd_);
    fs::remove(device_);
  }
  EvdevKeyboard(const EvdevKeyboard&) = delete;
  EvdevKeyboard& operator=(const EvdevKeyboard&) = delete;
  bool Ready() const { return fd_ >= 0; }
  const fs::path& Device() const { return device_; }

  // A key pressed and released, each followed by the report that ends it.
  void Press(uint16_t code) {
    const input_event events[] = {Event(EV_KEY, code, 1), Event(EV_SYN, SYN_REPORT, 0),
                                  Event(EV_KEY, code, 0), Event(EV_SYN, SYN_REPORT, 0)};
    ASSERT_EQ(write(fd_, events, sizeof events), static_cast<ssize_t>(sizeof events));
  }

 private:
  static input_event Event(uint16_t type, uint16_t code, int32_t value) {
    input_event event{};
    event.type = type;
    event.code = code;
    event.value = value;
    return event;
  }

  fs::path device_;
  int fd_ = -1;
};

TEST(NoDesktopProcessTest, OffscreenWithAnEvdevKeyboardLogsPausesAndExits) {
  EvdevKeyboard keyboard;
  if (!keyboard.Ready()) GTEST_SKIP() << "needs a pipe under /dev/shm";
  testing::TempDir dir;
  const fs::path root = dir.path() / "root";
  ChildProcess sim({TQSIM_PATH, "--instrument", (root / "ports" / "COM1").string()}, dir.path() / "tqsim.out",
                   dir.path() / "tqsim.err");
  ASSERT_TRUE(WaitUntil([&] { return fs::exists(root / "ports" / "COM1"); }));
  ChildProcess tqlog({"/usr/bin/env", "-u", "DISPLAY", "-u", "WAYLAND_DISPLAY",
                      "QT_QPA_EVDEV_KEYBOARD_PARAMETERS=" + keyboard.Device().string(), TQLOG_PATH,
                      "-platform", "offscreen", "-plugin", "evdevkeyboard", "--root", root.string()},
                     dir.path() / "tqlog.out", dir.path() / "tqlog.err");
  const fs::path settings = root / "Storage" / "FLDINI" / "TQ68MK2.INI";
  const fs::path folder = root / "Storage" / "DATA68MK2";
  ASSERT_TRUE(WaitUntil([&] { return fs::exists(settings); })) << testing::ReadFileBytes(dir.path() / "tqlog.err");
  auto records = [&] { return RecordsOf(FirstFileIn(folder), kRecord); };
  // Nobody can see when a dialog has come up and taken the keys: a while
  // after each key that opens or closes one.
  const milliseconds settle(2000);
  auto press = [&](uint16_t code) {
    keyboard.Press(code);
    std::this_thread::sleep_for(settle);
  };
  press(KEY_L);  // Monitor/Log
  press(KEY_C);  // Create File, its proposed name taken
  keyboard.Press(KEY_ENTER);
  ASSERT_TRUE(WaitUntil([&] { return records().size() >= 13; }));  // headers, line start, ...
  keyboard.Press(KEY_G);
  ASSERT_TRUE(WaitUntil([&] { return NotesIn(records(), "$STARTED") == 1; }))
      << testing::ReadFileBytes(dir.path() / "tqlog.err");
  std::this_thread::sleep_for(settle);
  keyboard.Press(KEY_ENTER);  // the portrait keypad's pause key
  ASSERT_TRUE(WaitUntil([&] { return NotesIn(records(), "$PAUSED") == 1; }));
  press(KEY_X);      // Exit, confirmed
  press(KEY_ENTER);  // Yes: back on the title page
  keyboard.Press(KEY_X);
  EXPECT_EQ(tqlog.WaitExit(kProcessPatience), 0) << testing::ReadFileBytes(dir.path() / "tqlog.err");

  const fs::path file = FirstFileIn(folder);
  ASSERT_EQ(fs::file_size(file) % kRecord, 0u);
  size_t readings = 0;
  for (const std::string& record : RecordsOf(file, kRecord)) readings += record[0] == 'T';
  EXPECT_GT(readings, 0u);
}

}  // namespace
}  // namespace tq
