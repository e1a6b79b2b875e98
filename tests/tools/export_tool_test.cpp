// The tqexport command: its options, and the executable end to end (exit
// statuses, standard output and error, the output file).
#include <fcntl.h>
#include <gtest/gtest.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include <array>
#include <string>
#include <string_view>
#include <vector>

#include "build_defaults.h"
#include "tests/support/child_process.h"
#include "tests/support/pty_pair.h"
#include "tests/tools/export_test_files.h"

extern char** environ;

namespace tq::exporter {
namespace {

namespace fs = std::filesystem;
using testing::TempDir;

ParsedCommandLine Parse(std::vector<std::string_view> args) { return ParseCommandLine(args); }

TEST(ExportCommandLine, TakesAFileAndTheOptionsInAnyOrder) {
  const ParsedCommandLine p =
      Parse({"--format=emagpy", "A.N68", "-o", "out.csv", "--frequency", "9000", "--height=0"});
  ASSERT_EQ(p.error, "");
  EXPECT_EQ(p.options.input, "A.N68");
  EXPECT_EQ(p.options.output, "out.csv");
  EXPECT_EQ(p.options.format, Format::kEmagpy);
  EXPECT_EQ(p.options.naming.frequency_hz, 9000.0);
  EXPECT_EQ(p.options.naming.height_m, 0.0);
  EXPECT_EQ(Parse({"--", "-odd-name.R64"}).options.input, "-odd-name.R64");
  EXPECT_EQ(Parse({"A.N68"}).options.format, Format::kCsv);
  EXPECT_TRUE(Parse({"--help"}).options.help);
}

TEST(ExportCommandLine, NamesTheFirstProblemInOneLine) {
  const std::vector<std::vector<std::string_view>> bad = {
      {},
      {"A.N68", "B.N68"},
      {"A.N68", "--fromat", "csv"},
      {"A.N68", "--format", "xls"},
      {"A.N68", "-o"},
      {"A.N68", "--format=emagpy", "--coil-separation", "-1"},
      {"A.N68", "--format=emagpy", "--coil-separation", "1m"},
      {"A.N68", "--format=emagpy", "--frequency", "0"},
      {"A.N68", "--format=emagpy", "--frequency", "nan"},
      {"A.N68", "--format=emagpy", "--height", "0.1"},  // no frequency
      {"A.N68", "--coil-separation", "1"},              // not emagpy
      {"A.N68", "--format=svg", "--scale", "wide"},
      {"A.N68", "--format=svg", "--colours", "pastel"},
      {"A.N68", "--scale=robust"},                      // not svg
      {"A.N68", "--format=svg", "--split", "d", "-o", "x.svg"},
      {"A.N68", "--format=svg", "--channel", "C/V-1m"},  // not map-svg
  };
  for (const auto& args : bad) {
    const std::string error = Parse(args).error;
    EXPECT_FALSE(error.empty()) << (args.empty() ? "(none)" : args.back());
    EXPECT_EQ(error.find('\n'), std::string::npos) << error;
  }
}

// The executable run once, its output streams in files.
struct ToolRun {
  int status = -1;
  std::string out;
  std::string err;
};

// `stderr_device`, when given, is opened as standard error instead of a file.
ToolRun RunTool(std::vector<std::string> args, const fs::path& dir,
                const fs::path& stderr_device = {}) {
  args.insert(args.begin(), TQEXPORT_PATH);
  args = testing::HostCommand(std::move(args));
  std::vector<char*> argv;
  for (std::string& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);
  const fs::path out = dir / "stdout";
  const fs::path err = dir / "stderr";
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 1, out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  if (stderr_device.empty()) {
    posix_spawn_file_actions_addopen(&actions, 2, err.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                     0644);
  } else {
    posix_spawn_file_actions_addopen(&actions, 2, stderr_device.c_str(), O_WRONLY, 0);
  }
  pid_t pid = -1;
  ToolRun run;
  EXPECT_EQ(posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ), 0);
  posix_spawn_file_actions_destroy(&actions);
  int status = 0;
  if (pid > 0 && waitpid(pid, &status, 0) == pid && WIFEXITED(status)) {
    run.status = WEXITSTATUS(status);
  }
  run.out = testing::ReadFileBytes(out);
  if (stderr_device.empty()) run.err = testing::ReadFileBytes(err);
  return run;
}

class ExportTool : public ::testing::Test {
 protected:
  TempDir dir_;
  TempDir streams_;
};

TEST_F(ExportTool, HelpExplainsTheColumnsAndExitsZero) {
  const ToolRun run = RunTool({"--help"}, streams_.path());
  EXPECT_EQ(run.status, 0);
  for (const char* text : {"--coil-separation", "marker", "HCP1.0f9000h0.1", "Exit status",
                           "battery_volts1", "quality 0", "--split DIR", "--scale full|robust",
                           "--colours print|logger", "--channel NAME", "#N-#M",
                           "files without readings"}) {
    EXPECT_NE(run.out.find(text), std::string::npos) << text;
  }
  EXPECT_EQ(run.err, "");
}

TEST_F(ExportTool, VersionIsTheProjectsNumberUnlessItNamesAFile) {
  const ToolRun run = RunTool({"x.N68", "--version"}, streams_.path());
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.out, "tqexport " TQ_VERSION "\n");
  EXPECT_EQ(run.err, "");
  const ToolRun file = RunTool({"--", "--version"}, streams_.path());
  EXPECT_NE(file.status, 0);
  EXPECT_TRUE(file.err.starts_with("tqexport: --version")) << file.err;
}

TEST_F(ExportTool, ABadOptionIsOneLineAndStatusTwo) {
  const ToolRun run = RunTool({"x.N68", "--format", "pdf"}, streams_.path());
  EXPECT_EQ(run.status, 2);
  EXPECT_EQ(run.out, "");
  EXPECT_EQ(LinesOf(run.err).size(), 1u);
  EXPECT_TRUE(run.err.starts_with("tqexport: unknown format pdf")) << run.err;
}

TEST_F(ExportTool, ANonDataFileExitsTwoWithoutAnOutputFile) {
  const fs::path input = dir_.path() / "readme.txt";
  testing::WriteFileBytes(input, std::string(100, 'x'));
  const fs::path output = dir_.path() / "out.csv";
  const ToolRun run = RunTool({input.string(), "-o", output.string()}, streams_.path());
  EXPECT_EQ(run.status, 2);
  EXPECT_FALSE(fs::exists(output));
  EXPECT_EQ(LinesOf(run.err).size(), 1u);
  EXPECT_NE(run.err.find(input.string()), std::string::npos) << run.err;
}

TEST_F(ExportTool, WritesCsvToStandardOutputOrToTheNamedFile) {
  DataFileBuilder file(kKindTq93, SettingsStore{});
  file.Line("3", 20.0, -2.0f, kKindTq93, At(2024, 6, 2, 7, 15, 0))
      .Mark(40, At(2024, 6, 2, 7, 15, 0, 20))
      .Ascii("T$-0040-0008", 60)
      .Ascii("T\x04-0020+0004", 260);  // H, same channels on the TQ93
  const fs::path input = dir_.path() / "RUN.R93";
  file.WriteTo(input);
  const std::string expected =
      "line,station,reading,tick,time,marker,dipole,C,I\n"
      "3,20.000,1,60,2024-06-02T07:15:00.040,0,V,100.000,2.000\n"
      "3,18.000,1,260,2024-06-02T07:15:00.240,0,H,50.000,-1.000\n";

  const ToolRun to_stdout = RunTool({input.string()}, streams_.path());
  EXPECT_EQ(to_stdout.status, 0) << to_stdout.err;
  EXPECT_EQ(to_stdout.out, expected);
  EXPECT_EQ(to_stdout.err, "");

  const fs::path output = dir_.path() / "run.csv";
  const ToolRun to_file = RunTool({input.string(), "-o", output.string()}, streams_.path());
  EXPECT_EQ(to_file.status, 0) << to_file.err;
  EXPECT_EQ(to_file.out, "");
  EXPECT_EQ(testing::ReadFileBytes(output), expected);
  // A new file's permissions, not those of the private temporary file.
  const mode_t mask = umask(0);
  umask(mask);
  EXPECT_EQ(static_cast<mode_t>(fs::status(output).permissions()), 0666 & ~mask);
}

// Everything the terminal has received so far.
std::string ReceiveAll(testing::PtyPair& terminal) {
  std::string text;
  uint8_t buffer[4096];
  while (const size_t n = terminal.Receive(buffer, 200)) {
    text.append(reinterpret_cast<const char*>(buffer), n);
  }
  return text;
}

TEST_F(ExportTool, ShowsProgressOnATerminalForFilesOfSeveralMegabytesOnly) {
  // 170000 records of 26 bytes: a little over 4 MiB.
  DataFileBuilder large(kKindTq68Mk2, SettingsStore{});
  large.Line("1", 0.0, 1.0f, kKindTq68Mk2, At(2024, 6, 2, 7, 15, 0));
  const std::array<uint8_t, 14> frame = Mk2Frame(6, 32768, 32768, 32768, 32768);
  for (uint32_t i = 0; i < 170000; ++i) large.Binary(frame, 1000 + i * 50);
  const fs::path input = dir_.path() / "LARGE.N68";
  large.WriteTo(input);
  const fs::path output = dir_.path() / "large.csv";
  testing::PtyPair terminal;

  const ToolRun shown =
      RunTool({input.string(), "-o", output.string()}, streams_.path(), terminal.slave_path());
  EXPECT_EQ(shown.status, 0);
  const std::string progress = ReceiveAll(terminal);
  EXPECT_NE(progress.find("\rtqexport: " + input.string() + ": 100%"), std::string::npos)
      << progress;
  EXPECT_EQ(LinesOf(testing::ReadFileBytes(output)).size(), 170001u);

  // Not when standard error is a file.
  const ToolRun quiet = RunTool({input.string(), "-o", output.string()}, streams_.path());
  EXPECT_EQ(quiet.status, 0);
  EXPECT_EQ(quiet.err, "");

  // Not for a small file.
  DataFileBuilder small(kKindTq68Mk2, SettingsStore{});
  small.Line("1", 0.0, 1.0f, kKindTq68Mk2, At(2024, 6, 2, 7, 15, 0)).Binary(frame, 1000);
  const fs::path small_input = dir_.path() / "SMALL.N68";
  small.WriteTo(small_input);
  const ToolRun small_run = RunTool({small_input.string(), "-o", output.string()},
                                    streams_.path(), terminal.slave_path());
  EXPECT_EQ(small_run.status, 0);
  EXPECT_EQ(ReceiveAll(terminal), "");
}

}  // namespace
}  // namespace tq::exporter
