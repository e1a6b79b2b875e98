// tqsim end to end: the binary, its links and its command line.
#include <gtest/gtest.h>
#include <signal.h>

#include <algorithm>
#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "build_defaults.h"
#include "gps/nmea.h"
#include "platform/files.h"
#include "platform/serial.h"
#include "tests/support/temp_dir.h"
#include "tests/tools/sim_test_support.h"
#include "tests/tools/tqsim_process.h"
#include "tools/sim/simulator.h"
#include "tools/sim/survey_walk.h"
#include "tools/tqsim/command_line.h"

namespace tq::sim {
namespace {

using testing::ReadFileBytes;
using testing::ScopedDataRoot;
using testing::TempDir;

bool Exists(const fs::path& path) { return fs::exists(fs::symlink_status(path)); }

// Opens a port the way the logger does: by its system name under the root.
std::unique_ptr<SerialPort> OpenPort(std::string_view name) {
  std::string error;
  auto port = SerialPort::Open(DevicePathForPort(name), &error);
  EXPECT_NE(port, nullptr) << error;
  if (port) port->Configure(LineSettings{}, PortTimeouts{0, 0, 500, 0, 0});
  return port;
}

TEST(TqsimTest, StreamsKind7FramesAndGpsThroughItsLinksThenRemovesThem) {
  ScopedDataRoot root;
  fs::path com1 = root.path() / "ports" / "COM1";
  fs::path com2 = root.path() / "ports" / "COM2";
  Tqsim sim({"--kind", "7", "--instrument", com1.string(), "--gps", com2.string(), "--readings",
             "30"},
            root.path());
  ASSERT_TRUE(WaitForLink(com1));
  ASSERT_TRUE(WaitForLink(com2));
  auto instrument = OpenPort("COM1:");
  auto gps = OpenPort("COM2:");
  ASSERT_TRUE(instrument && gps);

  SimulatorOptions expected;
  expected.kind = 7;
  EXPECT_EQ(Collect(*instrument, milliseconds(20000), 30 * 16), ExpectedFrames(expected, 30));
  std::vector<uint8_t> nmea = Collect(*gps, milliseconds(3000), 70);
  EXPECT_EQ(std::string(nmea.begin(), nmea.begin() + 7), "$GPGGA,");

  EXPECT_EQ(sim.WaitExit(milliseconds(10000)), 0) << sim.Err();
  EXPECT_FALSE(Exists(com1));
  EXPECT_FALSE(Exists(com2));
  std::string out = sim.Out();
  EXPECT_NE(out.find("instrument: " + com1.string() + " -> /dev/pts/"), std::string::npos) << out;
  EXPECT_NE(out.find("gps: " + com2.string() + " -> /dev/pts/"), std::string::npos) << out;
}

TEST(TqsimTest, Kind3SendsSevenCharacterFramesWhenAsked) {
  ScopedDataRoot root;
  fs::path com1 = root.path() / "ports" / "COM1";
  Tqsim sim({"--kind=3", "--frame-length=7", "--instrument", com1.string(), "--readings", "10",
             "--marker-every", "4"},
            root.path());
  ASSERT_TRUE(WaitForLink(com1));
  auto port = OpenPort("COM1:");
  ASSERT_NE(port, nullptr);
  std::vector<uint8_t> got = Collect(*port, milliseconds(20000), 10 * 8);
  SimulatorOptions expected;
  expected.kind = 3;
  expected.frame_length = 7;
  expected.walk.marker_every = 4;
  EXPECT_EQ(got, ExpectedFrames(expected, 10));
  ASSERT_EQ(got.size(), 80u);
  EXPECT_EQ(got[3 * 8 + 1] & 64, 64);  // the fourth frame carries the marker
  EXPECT_EQ(sim.WaitExit(milliseconds(10000)), 0) << sim.Err();
}

TEST(TqsimTest, TermAndIntEndItAndRemoveItsLinks) {
  for (int number : {SIGTERM, SIGINT}) {
    TempDir dir;
    fs::path com1 = dir.path() / "ports" / "COM1";
    Tqsim sim({"--instrument", com1.string()}, dir.path());
    ASSERT_TRUE(WaitForLink(com1));
    sim.Signal(number);
    EXPECT_EQ(sim.WaitExit(milliseconds(10000)), 0) << sim.Err();
    EXPECT_FALSE(Exists(com1));
    EXPECT_TRUE(fs::is_directory(dir.path() / "ports"));
  }
}

TEST(TqsimTest, ReplacesAStaleLinkFromAnEarlierRun) {
  TempDir dir;
  fs::path com2 = dir.path() / "ports" / "COM2";
  fs::create_directories(com2.parent_path());
  fs::create_symlink("/dev/pts/not-there-any-more", com2);
  Tqsim sim({"--gps", com2.string()}, dir.path());
  ASSERT_TRUE(WaitForLink(com2));
  sim.Signal(SIGTERM);
  EXPECT_EQ(sim.WaitExit(milliseconds(10000)), 0) << sim.Err();
  EXPECT_FALSE(Exists(com2));
}

TEST(TqsimTest, LeavesARealFileAloneAndFails) {
  TempDir dir;
  fs::path com1 = dir.path() / "COM1";
  testing::WriteFileBytes(com1, "not a port");
  Tqsim sim({"--instrument", com1.string()}, dir.path());
  EXPECT_EQ(sim.WaitExit(milliseconds(10000)), 1);
  EXPECT_EQ(ReadFileBytes(com1), "not a port");
  EXPECT_NE(sim.Err().find("not a link"), std::string::npos) << sim.Err();
}

TEST(TqsimTest, BadOptionsGiveOneLineAndStatusTwo) {
  const std::vector<std::vector<std::string>> cases = {
      {},
      {"--kind", "seven", "--instrument", "x"},
      {"--instrument"},
      {"--instrument", "x", "--garbage", "1.5"},
      {"--instrument", "x", "--whatever", "1"},
  };
  for (const auto& args : cases) {
    TempDir dir;
    Tqsim sim(args, dir.path());
    EXPECT_EQ(sim.WaitExit(milliseconds(10000)), 2);
    std::string err = sim.Err();
    EXPECT_EQ(err.rfind("tqsim: ", 0), 0u) << err;
    EXPECT_EQ(std::count(err.begin(), err.end(), '\n'), 1) << err;
    EXPECT_TRUE(sim.Out().empty());
  }
}

TEST(TqsimTest, HelpExplainsEveryOption) {
  TempDir dir;
  Tqsim sim({"--help"}, dir.path());
  EXPECT_EQ(sim.WaitExit(milliseconds(10000)), 0);
  std::string help = sim.Out();
  for (const char* option :
       {"--kind", "--instrument", "--gps", "--frame-length", "--readings", "--seed", "--garbage",
        "--drop", "--bad-checksum", "--silence-after", "--silence-for", "--marker-every",
        "--pace", "--dipole", "--turn-after", "--fix-quality", "--satellites", "--version"}) {
    EXPECT_NE(help.find(option), std::string::npos) << option;
  }
}

// The number set once for the project; it answers beside any other option.
TEST(TqsimTest, VersionIsTheProjectsNumber) {
  for (const std::vector<std::string>& args :
       {std::vector<std::string>{"--version"}, {"--kind", "7", "--version"}}) {
    TempDir dir;
    Tqsim sim(args, dir.path());
    EXPECT_EQ(sim.WaitExit(milliseconds(10000)), 0);
    EXPECT_EQ(sim.Out(), "tqsim " TQ_VERSION "\n");
    EXPECT_EQ(sim.Err(), "");
  }
}

ParsedCommandLine Parse(const std::vector<std::string_view>& args) {
  return ParseCommandLine(args);
}

TEST(CommandLineTest, ReadsEveryOptionInBothForms) {
  ParsedCommandLine p =
      Parse({"--kind=3", "--frame-length", "7", "--instrument", "r/ports/COM1", "--gps=r/COM2",
             "--readings", "5", "--seed", "99", "--garbage", "0.5", "--drop=0.25",
             "--bad-checksum", "1", "--silence-after", "2.5", "--silence-for", "4",
             "--marker-every", "0", "--pace", "1.5", "--dipole", "H", "--turn-after", "4.5",
             "--fix-quality", "0,1,2,3,4", "--satellites=11"});
  ASSERT_EQ(p.error, "");
  const SimulatorOptions& s = p.options.simulator;
  EXPECT_EQ(s.kind, 3);
  EXPECT_EQ(s.frame_length, 7);
  EXPECT_EQ(p.options.instrument_link, "r/ports/COM1");
  EXPECT_EQ(p.options.gps_link, "r/COM2");
  EXPECT_EQ(s.readings, 5u);
  EXPECT_EQ(s.faults.seed, 99u);
  EXPECT_DOUBLE_EQ(s.faults.garbage_rate, 0.5);
  EXPECT_DOUBLE_EQ(s.faults.drop_rate, 0.25);
  EXPECT_DOUBLE_EQ(s.faults.bad_checksum_rate, 1.0);
  EXPECT_DOUBLE_EQ(s.faults.silence_after_s, 2.5);
  EXPECT_DOUBLE_EQ(s.faults.silence_for_s, 4.0);
  EXPECT_EQ(s.walk.marker_every, 0);
  EXPECT_DOUBLE_EQ(s.walk.pace_mps, 1.5);
  EXPECT_FALSE(s.walk.vertical);
  EXPECT_DOUBLE_EQ(s.walk.turn_after_s, 4.5);
  EXPECT_EQ(s.gps.fix_schedule, (std::vector<int>{0, 1, 2, 3, 4}));
  EXPECT_EQ(s.gps.satellites, 11);
}

TEST(CommandLineTest, DefaultsAreKind7WithoutFaultsOrEnd) {
  ParsedCommandLine p = Parse({"--instrument", "COM1"});
  ASSERT_EQ(p.error, "");
  EXPECT_EQ(p.options.simulator.kind, 7);
  EXPECT_EQ(p.options.simulator.readings, 0u);
  EXPECT_TRUE(IsClean(p.options.simulator.faults));
  EXPECT_TRUE(p.options.gps_link.empty());
}

TEST(CommandLineTest, ErrorsNameTheOptionAndTheBadValue) {
  struct Case {
    std::vector<std::string_view> args;
    std::string error;
  };
  const std::vector<Case> cases = {
      {{"--instrument", "a", "--kind", "-1"}, "--kind: expected a whole number 0..7, got \"-1\""},
      {{"--instrument", "a", "--kind", "7x"}, "--kind: expected a whole number 0..7, got \"7x\""},
      {{"--instrument", "a", "--drop", "nan"}, "--drop: expected a rate between 0 and 1, got \"nan\""},
      {{"--instrument", "a", "--silence-after", "-1", "--silence-for", "1"},
       "--silence-after: expected seconds, 0 or more, got \"-1\""},
      {{"--instrument", "a", "--silence-after", "1"},
       "--silence-after and --silence-for go together"},
      {{"--instrument", "a", "--dipole", "v"}, "--dipole: expected V or H, got \"v\""},
      {{"--instrument", "a", "--fix-quality", "1,,2"},
       "--fix-quality: expected fix qualities 0..8 separated by commas, got \"1,,2\""},
      {{"--instrument", "a", "--fix-quality", "9"},
       "--fix-quality: expected fix qualities 0..8 separated by commas, got \"9\""},
      {{"--instrument", "a", "--satellites", "100"},
       "--satellites: expected a whole number 0..99, got \"100\""},
      {{"--instrument", "a", "--turn-after", "-2"}, "--turn-after: expected seconds, 0 or more, got \"-2\""},
      {{"--instrument", "a", "--pace", "0"},
       "--pace: expected metres per second above 0 and at most 20, got \"0\""},
      {{"--instrument", "a", "--seed", "+5"}, "--seed: expected a whole number 0 or more, got \"+5\""},
      {{"--instrument="}, "--instrument: expected a path, got \"\""},
      {{"--gps", "a", "--readings", "3"}, "--readings counts instrument frames and needs --instrument"},
      {{"--instrument", "a", "--gps", "a"}, "--instrument and --gps name the same path"},
      {{"--instrument", "a", "--kind", "7", "--frame-length", "7"},
       "--frame-length applies to kind 3 only"},
  };
  for (const Case& c : cases) EXPECT_EQ(Parse(c.args).error, c.error);
}

TEST(SimulatorScheduleTest, TheInstrumentTurnsOnceAndEachSecondTakesTheNextFixQuality) {
  SimulatorOptions options;
  options.walk.turn_after_s = 2.0;
  EXPECT_TRUE(SampleWalk(options.walk, 1.99, 0).vertical);
  EXPECT_FALSE(SampleWalk(options.walk, 2.0, 0).vertical);
  EXPECT_FALSE(SampleWalk(options.walk, 500.0, 0).vertical);

  options.gps.fix_schedule = {0, 1, 2, 3, 4};
  options.gps.satellites = 5;
  PacedStream stream = MakeGpsStream(options, nullptr, [] { return LocalTime{2009, 12, 6, 0, 14, 5, 7, 0}; });
  for (uint64_t second = 0; second < 7; ++second) {
    std::vector<uint8_t> bytes = stream.next(second);
    std::string text(bytes.begin(), bytes.end());
    std::optional<GgaFix> gga = ParseGga(text.substr(0, text.find('\n') + 1));
    ASSERT_TRUE(gga) << text;
    EXPECT_EQ(gga->quality, static_cast<int32_t>(second % 5)) << second;
    EXPECT_EQ(gga->satellites, 5);
  }
}

}  // namespace
}  // namespace tq::sim
