// A logging run killed (SIGKILL) at random moments. The data file must hold a
// prefix of the frames the instrument sent, with no gap and no torn record
// but the last, and the readers (the viewer's scan and line cache, tqexport)
// must take a file whose last record is torn by skipping that record.
//
// The run is this program again, running KillChild.LogsUntilKilled: the
// logging window driven as the window tests drive it, over a pseudo-terminal
// on which this test plays the TQ68-MK2. TQ_LOGGING_KILL_ROUNDS sets the
// number of kills and TQ_KILL_SEED their moments (scripts/kill-logging runs
// the long campaign).
#include <gtest/gtest.h>
#include <signal.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "acquisition/acquisition_state.h"
#include "shell/shell_state.h"
#include "logging/run_state.h"
#include "platform/modal_responder.h"
#include "platform/window.h"
#include "settings/settings.h"
#include "tests/instrument/frame_bytes.h"
#include "tests/app/main_window_fixture.h"
#include "tests/support/child_process.h"
#include "tests/support/pty_pair.h"
#include "tests/support/temp_dir.h"
#include "viewer/line_index_cache.h"

namespace tq {
namespace {

namespace fs = std::filesystem;
using std::chrono::milliseconds;
using testing::Bytes;
using testing::ReadFileBytes;

constexpr size_t kRecord = 26;
constexpr BuildConfig kMk2{kKindTq68Mk2, 1, 0};
constexpr milliseconds kFramePeriod{10};
constexpr milliseconds kLongestRun{800};

long EnvNumber(const char* name, long fallback) {
  const char* text = std::getenv(name);
  return text != nullptr && *text != '\0' ? std::strtol(text, nullptr, 10) : fallback;
}

// Frame `n` of the run carries its number in word A, which its record keeps.
Bytes NumberedFrame(uint16_t n) { return testing::BinaryFrame('T', 6, {n, 600, 700, 800, 900, 1000}); }

class KillChild : public testing::MainWindowTest {};

TEST_F(KillChild, LogsUntilKilled) {
  const char* port = std::getenv("TQ_KILL_CHILD_PORT");
  const char* file = std::getenv("TQ_KILL_CHILD_FILE");
  const char* ready = std::getenv("TQ_KILL_CHILD_READY");
  if (port == nullptr || file == nullptr || ready == nullptr) GTEST_SKIP() << "started by LoggingKillTest";
  Acquisition.ClearReadings();
  LinkPort(1, port);
  ASSERT_NE(OpenMainWindow(), nullptr);
  ClickMainButton(0);
  ASSERT_EQ(Shell.LoggingActive, 1);
  // The instrument is quiet until the run logs; the watchdog must not end it.
  KillTimer(Shell.LoggingWindow, kWatchdogTimerId);
  responder_.OnSaveFile(std::string(file));
  ASSERT_TRUE(PressKey('C', Shell.LoggingWindow));
  Settle();
  ASSERT_EQ(Logging.state, LoggingState::StandBy);
  // Every frame a reading, as a reading interval of one frame period gives,
  // so that the file keeps every frame sent.
  Settings.FramesPerInterval = 1;
  ASSERT_TRUE(PressKey('G', Shell.LoggingWindow));
  Settle();
  ASSERT_EQ(Logging.state, LoggingState::Logging);
  testing::WriteFileBytes(ready, "logging\n");
  RunMessagesUntil([] { return false; }, 60000);
}

size_t CountLines(const std::string& text, const std::string& containing = {}) {
  size_t count = 0, start = 0;
  while (start < text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    if (containing.empty() || text.substr(start, end - start).find(containing) != std::string::npos) ++count;
    start = end + 1;
  }
  return count;
}

// The viewer's scan and line cache and tqexport on `path`, which holds
// `whole` records of which `readings` are readings, and a torn one after
// them when `torn`.
std::string CheckReaders(const fs::path& path, size_t whole, size_t readings, bool torn) {
  std::string error;
  std::optional<DataFileScan> scan = ScanDataFile(path, kMk2, &error);
  if (!scan) return "the viewer's scan failed: " + error;
  if (scan->torn_tail != torn) return "the viewer's scan says torn " + std::to_string(scan->torn_tail);
  if (scan->line_offsets.size() != 1) return "the viewer's scan finds " + std::to_string(scan->line_offsets.size()) + " lines";
  const LineCachePaths paths{path.parent_path() / "LINE1.R6X", path.parent_path() / "LINE2.R6X"};
  LineIndexResult index = BuildLineIndexCache(path, *scan, 1, paths);
  if (!index.ok) return "the line cache failed: " + index.error;
  if (index.record_total > static_cast<int64_t>(readings) + kGapPairsPerRestart) {
    return "the line cache holds " + std::to_string(index.record_total) + " stations";
  }

  const fs::path out = path.parent_path() / "records.txt";
  const fs::path err = path.parent_path() / "tqexport.err";
  testing::ChildProcess tqexport({TQEXPORT_PATH, path.string(), "--format", "records", "-o", out.string()},
                                 {}, err);
  const std::optional<int> status = tqexport.WaitExit(milliseconds(30000));
  if (status != 0) return "tqexport ended with " + std::to_string(status.value_or(-1)) + ": " + ReadFileBytes(err);
  const std::string listed = ReadFileBytes(out);
  if (CountLines(listed) != whole || CountLines(listed, " reading ") != readings) {
    return "tqexport listed " + std::to_string(CountLines(listed)) + " records, " +
           std::to_string(CountLines(listed, " reading ")) + " readings";
  }
  if (torn != (ReadFileBytes(err).find("cut short") != std::string::npos)) return "tqexport: " + ReadFileBytes(err);
  return {};
}

TEST(LoggingKillTest, AKilledRunKeepsAPrefixOfTheFramesAndReadersSkipATornTail) {
  const long rounds = EnvNumber("TQ_LOGGING_KILL_ROUNDS", 3);
  std::mt19937 random(static_cast<unsigned>(EnvNumber("TQ_KILL_SEED", 20261207)));
  std::uniform_int_distribution<long> run_us(0, std::chrono::microseconds(kLongestRun).count());
  testing::TempDir dir;
  const fs::path self = fs::read_symlink("/proc/self/exe");
  const std::string saved_tmpdir = std::getenv("TMPDIR") != nullptr ? std::getenv("TMPDIR") : "";
  long passed = 0, torn_by_kill = 0;
  size_t sent_total = 0, kept_total = 0, most_in_flight = 0;
  const auto started = std::chrono::steady_clock::now();
  for (long round = 0; round < rounds; ++round) {
    const fs::path run = dir.path() / ("run" + std::to_string(round));
    fs::create_directories(run / "tmp");
    const fs::path data = run / "KILLED.N68";
    testing::PtyPair instrument;
    setenv("TQ_KILL_CHILD_PORT", instrument.slave_path().c_str(), 1);
    setenv("TQ_KILL_CHILD_FILE", data.c_str(), 1);
    setenv("TQ_KILL_CHILD_READY", (run / "ready").c_str(), 1);
    // The child's own temporary folders, which a killed child cannot remove.
    setenv("TMPDIR", (run / "tmp").c_str(), 1);
    testing::ChildProcess child({self.string(), "--gtest_filter=KillChild.LogsUntilKilled"}, run / "out",
                                run / "err");
    const auto wait_until = std::chrono::steady_clock::now() + milliseconds(30000);
    while (!fs::exists(run / "ready") && std::chrono::steady_clock::now() < wait_until) {
      std::this_thread::sleep_for(milliseconds(5));
    }
    if (!fs::exists(run / "ready")) {
      ADD_FAILURE() << "round " << round << ": the run never logged\n" << ReadFileBytes(run / "out");
      continue;
    }
    const auto kill_at = std::chrono::steady_clock::now() + std::chrono::microseconds(run_us(random));
    uint16_t sent = 0;
    for (auto next = std::chrono::steady_clock::now(); next < kill_at; next += kFramePeriod) {
      std::this_thread::sleep_until(next);
      instrument.Send(testing::BinaryWire(NumberedFrame(sent++)));
    }
    std::this_thread::sleep_until(kill_at);
    child.Signal(SIGKILL);
    EXPECT_EQ(child.WaitExit(milliseconds(10000)), 128 + SIGKILL);

    // The file: headers, the run's first records, "X$STARTED", then the
    // frames in order from the first, each once.
    const std::string bytes = ReadFileBytes(data);
    const size_t whole = bytes.size() / kRecord;
    const bool torn = bytes.size() % kRecord != 0;
    std::string problem;
    size_t started_at = whole;
    for (size_t i = 0; i < whole && started_at == whole; ++i) {
      if (bytes.compare(i * kRecord, 9, "X$STARTED") == 0) started_at = i;
    }
    size_t kept = 0;
    if (started_at == whole) problem = "no X$STARTED record";
    for (size_t i = started_at + 1; i < whole && problem.empty(); ++i, ++kept) {
      const Bytes frame = NumberedFrame(static_cast<uint16_t>(kept));
      if (bytes.compare(i * kRecord, frame.size(), std::string(frame.begin(), frame.end())) != 0 ||
          bytes[i * kRecord + kRecord - 1] != '\n') {
        problem = "record " + std::to_string(i) + " is not frame " + std::to_string(kept) + ": " +
                  ::testing::PrintToString(bytes.substr(i * kRecord, kRecord));
      }
    }
    if (problem.empty() && kept > sent) problem = "more readings than frames sent";
    if (problem.empty()) problem = CheckReaders(data, whole, kept, torn);
    // A torn last record, as a power cut in the middle of a write leaves one.
    if (problem.empty() && kept > 0) {
      const size_t cut = 1 + static_cast<size_t>(random() % (kRecord - 1));
      const fs::path copy = run / "TORN.N68";
      testing::WriteFileBytes(copy, bytes.substr(0, whole * kRecord - cut));
      problem = CheckReaders(copy, whole - 1, kept - 1, true);
    }
    if (problem.empty()) {
      ++passed;
    } else {
      // Kept for a look when the campaign says where.
      if (const char* keep = std::getenv("TQ_KILL_KEEP"); keep != nullptr) {
        fs::copy_file(data, fs::path(keep) / ("round" + std::to_string(round) + ".N68"),
                      fs::copy_options::overwrite_existing);
      }
      ADD_FAILURE() << "round " << round << " (" << sent << " frames sent): " << problem;
    }
    torn_by_kill += torn ? 1 : 0;
    sent_total += sent;
    kept_total += kept;
    most_in_flight = std::max(most_in_flight, static_cast<size_t>(sent) - std::min<size_t>(kept, sent));
    fs::remove_all(run);
  }
  for (const char* name : {"TQ_KILL_CHILD_PORT", "TQ_KILL_CHILD_FILE", "TQ_KILL_CHILD_READY"}) unsetenv(name);
  if (saved_tmpdir.empty()) {
    unsetenv("TMPDIR");
  } else {
    setenv("TMPDIR", saved_tmpdir.c_str(), 1);
  }
  const auto seconds =
      std::chrono::duration_cast<std::chrono::seconds>(std::chrono::steady_clock::now() - started).count();
  std::printf("logging kill campaign: %ld/%ld runs whole; %zu frames sent, %zu in the files; "
              "at most %zu sent but not yet written at a kill; %ld files torn by the kill itself; %lld s\n",
              passed, rounds, sent_total, kept_total, most_in_flight, torn_by_kill,
              static_cast<long long>(seconds));
}

}  // namespace
}  // namespace tq
