// tqsim --replay: real data files of every kind turned into a plan, the
// plan's bytes taken by the logger's own framers, frame counter and reading
// steps, the steps at run boundaries, and one replay over a pseudo-terminal.
#include <gtest/gtest.h>

#include <array>
#include <mutex>
#include <string>
#include <thread>
#include <variant>
#include <vector>

#include "acquisition/reading_steps.h"
#include "gps/nmea_line.h"
#include "instrument/framers.h"
#include "platform/serial.h"
#include "tests/support/temp_dir.h"
#include "tests/tools/export_test_files.h"
#include "tests/tools/sim_test_support.h"
#include "tests/tools/tqsim_process.h"
#include "tools/sim/replay.h"
#include "tools/sim/replay_plan.h"
#include "tools/tqsim/command_line.h"

namespace tq::sim {
namespace {

using exporter::DataFileBuilder;
using testing::ScopedDataRoot;
using testing::TempDir;
using Frame = std::vector<uint8_t>;

constexpr uint32_t kStarted = 1000;

Frame Bytes(std::string_view text) { return Frame(text.begin(), text.end()); }
Frame Mk2(uint8_t status, uint16_t a) {
  const auto f = exporter::Mk2Frame(status, a, 0x0A0A, 0x8000, 0x8000);
  return Frame(f.begin(), f.end());
}

// The frame the instrument sent for a stored one: a marker digit was "T".
Frame Sent(Frame stored) {
  if (stored[0] >= '2' && stored[0] <= '6') stored[0] = 'T';
  return stored;
}

struct Logged {
  Frame frame;
  int64_t at_ms;
};

// What a logger with `settings`, logging from the run's first byte, takes
// from the plan's instrument bytes of run `run`: each posted frame, or the
// record written for it when `steps` is set; every frame framed goes to
// `framed`.
std::vector<Logged> LoggerTakes(const ReplayPlan& plan, size_t run, SettingsStore settings,
                                bool steps, std::vector<Frame>* framed = nullptr) {
  std::variant<AsciiFramer, IceFramer, BinaryFramer> framer{AsciiFramer(plan.frame_length)};
  if (plan.kind == kKindFrz62) framer = IceFramer();
  if (plan.kind == kKindTq68Mk2) framer = BinaryFramer();
  settings.SurveyMode = plan.survey_mode;
  StationGroup group;
  ReadingHandlerState state = BeginReadingRun(settings, plan.kind, 0);
  StartLogging(state);
  const ReadingRun facts{plan.kind, LoggingState::Logging, plan.survey_mode == kSurveyModeManual,
                         true, plan.frame_length, 0};
  int32_t counter = 0;
  std::vector<Logged> out;
  for (size_t i = plan.runs[run].first_send; i < plan.runs[run].end_send; ++i) {
    const ReplaySend& send = plan.sends[i];
    if (send.port != ReplayPort::kInstrument) continue;
    for (uint8_t byte : send.bytes) {
      const FrameEvent event = std::visit([&](auto& f) { return f.Push(byte); }, framer);
      if (event != FrameEvent::kAccepted) continue;
      const auto frame = std::visit([](auto& f) { return f.Frame(); }, framer);
      if (framed) framed->emplace_back(frame.begin(), frame.end());
      const FrameCountStep count = CountFrame(counter, plan.frames_per_reading, true);
      counter = count.counter;
      if (!count.post) continue;
      if (!steps) {
        out.push_back({Frame(frame.begin(), frame.end()), send.at_ms});
        continue;
      }
      SurveyPosition position{settings, group};
      const ReadingStep step =
          plan.kind == kKindTq68Mk2 ? DecideBinaryReading(frame, facts, state, position)
          : plan.kind == kKindFrz62 ? DecideIceReading(frame, facts, state, position)
                                    : DecideInstrumentReading(frame, facts, state, position);
      const auto record = step.record.view();
      if (step.write_record) out.push_back({Frame(record.begin(), record.end()), send.at_ms});
    }
  }
  return out;
}

// A one-run survey: line start, "$STARTED", the readings `period` apart
// after one group, "$PAUSED".
struct Survey {
  std::string bytes;
  std::vector<uint32_t> ticks;
};
Survey OneRun(int32_t kind, const SettingsStore& settings, const std::vector<Frame>& frames,
              uint32_t started, uint32_t period) {
  DataFileBuilder file(kind, settings);
  const LocalTime now = exporter::At(2024, 5, 1, 12, 0, 0);
  file.LineStart(kind, now).Mark(started - 500, now).Note("$STARTED", 'X', started);
  Survey survey;
  uint32_t tick = started;
  for (const Frame& frame : frames) {
    tick += period;
    survey.ticks.push_back(tick);
    if (kind == kKindTq68Mk2) {
      std::array<uint8_t, 14> f{};
      std::copy(frame.begin(), frame.end(), f.begin());
      file.Binary(f, tick);
    } else {
      file.Ascii(std::string(frame.begin(), frame.end()), tick);
    }
  }
  file.Note("$PAUSED", 'X', tick + 1);
  survey.bytes = file.bytes();
  return survey;
}

ReplayPlan Load(const std::string& bytes, std::optional<int32_t> kind = std::nullopt) {
  TempDir dir;
  testing::WriteFileBytes(dir.path() / "F.DAT", bytes);
  ReplayLoad load = LoadReplay(dir.path() / "F.DAT", kind);
  EXPECT_TRUE(load.plan) << load.error;
  return load.plan.value_or(ReplayPlan{});
}

// Every kind in Auto mode at 0.2 s: each stored frame comes back through the
// logger's framer FramesPerReading times, and the logger's counter posts it
// at the tick it was stored with.
TEST(ReplayPlanTest, EveryKindReplaysItsFramesAsTheLoggerTakesThem) {
  struct Row {
    int32_t kind;
    std::vector<Frame> frames;  // the second is stored with a marker digit
    int32_t frame_length;
    int32_t frames_per_reading;  // 0.2 s over 91, 72 or 47 ms, rounded; FRZ62 1
    uint32_t period_ms;
  };
  const std::vector<Row> rows = {
      {0, {Bytes("T6-0400+0200"), Bytes("Tv-0401+0201"), Bytes("T6-0402+0202")}, 12, 2, 91},
      {1, {Bytes("T\"+0123-0045"), Bytes("T\"+0124-0046"), Bytes("Tb+0125-0047")}, 12, 2, 91},
      {2, {Bytes("T$+0010+0020"), Bytes("T +0011+0021"), Bytes("T$+0012+0022")}, 12, 2, 91},
      {3, {Bytes("T&-0400     "), Bytes("T&-0401     "), Bytes("Tf-0402     ")}, 7, 3, 72},
      {4, {Bytes("T0+0100+0000"), Bytes("T +0101+0000"), Bytes("T8+0102+0000")}, 12, 2, 91},
      {5, {Bytes("T4+0001+0002"), Bytes("T4+0003+0004"), Bytes("T4+0005+0006")}, 12, 2, 91},
      {6, {Bytes("T123I045"), Bytes("T124I046"), Bytes("T125I047")}, 8, 1, 1000},
      {7, {Mk2(6, 0x840A), Mk2(2, 0x0AFF), Mk2(22, 0x8000)}, 14, 4, 47},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.kind);
    std::vector<Frame> stored = row.frames;
    if (row.kind != kKindFrz62) stored[1][0] = '2';
    const uint32_t group = row.period_ms * static_cast<uint32_t>(row.frames_per_reading);
    const Survey survey = OneRun(row.kind, SettingsStore{}, stored, kStarted, group);
    const ReplayPlan plan = Load(survey.bytes, row.kind);
    EXPECT_EQ(plan.frame_length, row.frame_length);
    EXPECT_EQ(plan.frames_per_reading, row.frames_per_reading);
    ASSERT_EQ(plan.runs.size(), 1u);
    EXPECT_EQ(plan.runs[0].readings, 3);

    std::vector<Frame> framed;
    const std::vector<Logged> taken = LoggerTakes(plan, 0, SettingsStore{}, false, &framed);
    std::vector<Frame> copies;
    ASSERT_EQ(taken.size(), stored.size());
    for (size_t i = 0; i < taken.size(); ++i) {
      const Frame sent = Sent(Frame(stored[i].begin(), stored[i].begin() + row.frame_length));
      copies.insert(copies.end(), static_cast<size_t>(row.frames_per_reading), sent);
      EXPECT_EQ(taken[i].frame, sent);
      EXPECT_EQ(taken[i].at_ms, survey.ticks[i] - kStarted);
    }
    EXPECT_EQ(framed, copies);
  }
}

// Manual mode: the logger's own reading steps store the same records, an
// averaged one too, and the line never goes quiet between readings.
TEST(ReplayPlanTest, ManualReadingsAreTriggeredAndAveragedIntoTheSameRecords) {
  struct Row {
    int32_t kind;
    int32_t samples;
    std::vector<Frame> frames;  // as stored: marked, or unmarked as an average's last sample
  };
  const std::vector<Row> rows = {
      {1, 1, {Bytes("Tb+0125-0047"), Bytes("Tb+0126-0048")}},
      {1, 3, {Bytes("Tb+0125-0047"), Bytes("T\"-0126+0048")}},
      {7, 1, {Mk2(22, 0x840A), Mk2(18, 0x0AFF)}},
      {7, 3, {Mk2(30, 0x840A), Mk2(22, 0x8000)}},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(std::to_string(row.kind) + " x" + std::to_string(row.samples));
    SettingsStore settings;
    settings.SurveyMode = kSurveyModeManual;
    settings.SamplesPerReading = row.samples;
    const Survey survey = OneRun(row.kind, settings, row.frames, kStarted, 2000);
    const ReplayPlan plan = Load(survey.bytes);
    EXPECT_EQ(plan.samples_per_reading, row.samples);
    const std::vector<Logged> taken = LoggerTakes(plan, 0, settings, true);
    ASSERT_EQ(taken.size(), row.frames.size());
    for (size_t i = 0; i < taken.size(); ++i) {
      const size_t length = row.kind == kKindTq68Mk2 ? 14 : 12;
      EXPECT_EQ(Frame(taken[i].frame.begin(), taken[i].frame.begin() + length), row.frames[i]);
      EXPECT_EQ(taken[i].at_ms, survey.ticks[i] - kStarted);
    }
    int64_t last = 0;
    for (const ReplaySend& send : plan.sends) {
      EXPECT_LE(send.at_ms - last, plan.frame_period_ms);
      last = send.at_ms;
    }
  }
}

// GPS lines come back whole through the GPS reader's line assembly, their
// "$" at the stored tick; runs are cut at the pauses, and the time line runs
// on across the counter's wrap.
TEST(ReplayPlanTest, GpsLinesRunsAndAWrappingCounterKeepTheirTimes) {
  const std::string long_line =
      exporter::Sentence("GPGGA,120000.00,4807.0380,N,01131.0000,E,1,08,0.9,545.4,M,46.9,M,,");
  const uint32_t start = 0xFFFFFF00u;  // 256 ms before the counter wraps
  DataFileBuilder file(kKindTq68Mk2, SettingsStore{});
  const std::array<uint8_t, 14> frame = exporter::Mk2Frame(6, 0x8000, 0x8000, 0x8000, 0x8000);
  file.Note("$STARTED", 'X', start).Binary(frame, start + 188).Gps(long_line, start + 200);
  file.Gps("junk without a checksum", start + 300, false).Note("$PAUSED", 'X', start + 400);
  file.Note("$STARTED", 'X', start + 5400).Binary(frame, start + 5588).Note("$PAUSED", 'X', start + 5600);
  const ReplayPlan plan = Load(file.bytes());

  ASSERT_EQ(plan.runs.size(), 2u);
  EXPECT_EQ(plan.runs[1].pause_before_ms, 5000);
  EXPECT_EQ(plan.gps_sentences, 2);
  NmeaLineAssembler lines;
  std::vector<std::pair<std::string, uint32_t>> got;
  for (const ReplaySend& send : plan.sends) {
    if (send.port != ReplayPort::kGps) continue;
    for (uint8_t byte : send.bytes) {
      if (lines.Push(byte, static_cast<uint32_t>(send.at_ms))) {
        got.emplace_back(std::string(lines.Line()), lines.LineTick());
      }
    }
  }
  const std::vector<std::pair<std::string, uint32_t>> expected = {
      {long_line, 200}, {"junk without a checksum", 300}};
  EXPECT_EQ(got, expected);
  const std::vector<Logged> taken = LoggerTakes(plan, 1, SettingsStore{}, false);
  ASSERT_EQ(taken.size(), 1u);
  EXPECT_EQ(taken[0].at_ms, 188);
}

TEST(ReplayPlanTest, DamageIsSkippedAndCountedAndOtherFilesAreRefused) {
  SettingsStore settings;
  const std::vector<Frame> frames = {Bytes("T6-0400+0200"), Bytes("T6-0401+0201"),
                                     Bytes("T6-0402+0202"), Bytes("T6-0403+0203")};
  std::string bytes = OneRun(0, settings, frames, kStarted, 182).bytes;
  const size_t second = bytes.find("T6-0401");
  bytes.insert(second + 5, "xyz");  // three bytes inside the second reading
  TempDir dir;
  testing::WriteFileBytes(dir.path() / "D.R62", bytes);
  const ReplayLoad damaged = LoadReplay(dir.path() / "D.R62", std::nullopt);
  ASSERT_TRUE(damaged.plan);
  EXPECT_EQ(damaged.plan->readings, 3);
  EXPECT_EQ(damaged.plan->damaged_records, 1);  // 27 bytes passed over
  ASSERT_EQ(damaged.warnings.size(), 1u);
  EXPECT_NE(damaged.warnings[0].find("skipped: not records"), std::string::npos);

  testing::WriteFileBytes(dir.path() / "K.N68", OneRun(7, settings, {Mk2(6, 1)}, kStarted, 188).bytes);
  const ReplayLoad other = LoadReplay(dir.path() / "K.N68", kKindTq68);
  EXPECT_FALSE(other.plan);
  EXPECT_NE(other.error.find("a TQ68-MK2 file (kind 7), not kind 3 (TQ68)"), std::string::npos);
  testing::WriteFileBytes(dir.path() / "N.TXT", "hello\n");
  EXPECT_FALSE(LoadReplay(dir.path() / "N.TXT", std::nullopt).plan);
}

// Stepped, the line stays quiet after each run until the operator's line:
// the logger is still logging the run that has played, and would store every
// frame it took as another reading. "hold" then holds what comes next.
TEST(ReplayStepTest, AfterEachRunTheLineIsQuietUntilHold) {
  DataFileBuilder file(0, SettingsStore{});
  const std::vector<std::string> frames = {"T6-0400+0200", "T6-0410+0210"};
  for (uint32_t run = 0, tick = kStarted; run < 2; ++run, tick += 3000) {
    file.Note("$STARTED", 'X', tick).Ascii(frames[run], tick + 182).Note("$PAUSED", 'X', tick + 183);
  }
  const ReplayPlan plan = Load(file.bytes());
  std::mutex mutex;
  std::vector<std::string> log;  // what tqsim said (to its ":"), the lines, the frames sent
  const auto note = [&](const std::string& event) {
    std::lock_guard lock(mutex);
    if (log.empty() || log.back() != event) log.push_back(event);
  };
  const std::vector<StepInput> lines = {StepInput::kPlay, StepInput::kHold, StepInput::kPlay,
                                        StepInput::kHold, StepInput::kPlay};
  size_t looks = 0;
  ReplayIo io;
  io.instrument = [&](std::span<const uint8_t> bytes) {
    note(std::string(bytes.begin(), bytes.begin() + 12));
    return true;
  };
  io.say = [&](const std::string& line) { note(line.substr(0, line.find(':'))); };
  io.stopped = [] { return false; };
  // A line every ten looks of 20 ms: time for two frames at 91 ms.
  io.read_step = [&](milliseconds wait) {
    std::this_thread::sleep_for(wait);
    if (++looks % 10 != 0) return StepInput::kNothing;
    const StepInput line = lines.at(looks / 10 - 1);
    note(line == StepInput::kHold ? "hold" : "play");
    return line;
  };
  ReplayOptions options;
  options.step = true;
  EXPECT_TRUE(PlayReplay(plan, options, io).completed);
  const std::vector<std::string> want = {
      "run 1 of 2 waits, holding its first frame", frames[0], "play", "run 1 of 2", frames[0],
      "run 2 of 2 waits, quiet", "hold", frames[1], "play", "run 2 of 2", frames[1],
      "the end waits, quiet", "hold", frames[1], "play"};
  EXPECT_EQ(log, want);
}

TEST(ReplayCommandLineTest, ReplayTakesItsOwnOptionsAndRefusesTheWalks) {
  const std::vector<std::pair<std::vector<std::string_view>, std::string>> cases = {
      {{"--replay", "F", "--instrument", "a", "--kind", "TQ68-MK2", "--speed", "0.5", "--step"},
       ""},
      {{"--replay", "F", "--instrument", "a", "--pace", "2"},
       "--pace does not apply to --replay: the file's frames are sent"},
      {{"--replay", "F", "--gps", "a"}, "--replay needs --instrument"},
      {{"--replay", "F", "--instrument", "a", "--speed", "0"},
       "--speed: expected a factor above 0 and at most 1000, got \"0\""},
      {{"--instrument", "a", "--lead-in", "2"}, "--lead-in applies to --replay only"},
  };
  for (const auto& [args, error] : cases) EXPECT_EQ(ParseCommandLine(args).error, error);
}

TEST(ReplayProcessTest, PlaysAFileOnItsPortAndEnds) {
  ScopedDataRoot root;
  const std::vector<Frame> frames = {Bytes("T6-0400+0200"), Bytes("Tv-0401+0201")};
  // Cut off in the middle of a last record: played up to the cut, and said.
  testing::WriteFileBytes(root.path() / "S.R62",
                          OneRun(0, SettingsStore{}, frames, kStarted, 182).bytes + "T6-04");
  const fs::path com1 = root.path() / "ports" / "COM1";
  Tqsim sim({"--replay", (root.path() / "S.R62").string(), "--instrument", com1.string(),
             "--speed", "10", "--lead-in", "0.5"},
            root.path());
  ASSERT_TRUE(WaitForLink(com1));
  std::string error;
  auto port = SerialPort::Open(DevicePathForPort("COM1:"), &error);
  ASSERT_NE(port, nullptr) << error;
  port->Configure(LineSettings{}, PortTimeouts{0, 0, 500, 0, 0});
  AsciiFramer framer(12);
  std::vector<Frame> got;
  for (uint8_t byte : Collect(*port, milliseconds(10000))) {
    if (framer.Push(byte) == FrameEvent::kAccepted) got.emplace_back(framer.Frame().begin(), framer.Frame().end());
  }
  // The first frame is held for the lead-in, then each goes twice.
  ASSERT_GE(got.size(), 4u);
  const std::vector<Frame> tail(got.end() - 4, got.end());
  EXPECT_EQ(tail, (std::vector<Frame>{frames[0], frames[0], frames[1], frames[1]}));
  for (size_t i = 0; i + 4 < got.size(); ++i) EXPECT_EQ(got[i], frames[0]);
  EXPECT_EQ(sim.WaitExit(milliseconds(10000)), 3) << sim.Err();
  EXPECT_NE(sim.Err().find("the last record is cut short"), std::string::npos) << sim.Err();
  EXPECT_NE(sim.Out().find("run 1 of 1: 2 readings\n"), std::string::npos) << sim.Out();
  EXPECT_NE(sim.Out().find("replayed 2 readings, 0 GPS sentences, 0 damaged records skipped\n"),
            std::string::npos);
  EXPECT_FALSE(fs::exists(fs::symlink_status(com1)));
}

}  // namespace
}  // namespace tq::sim
