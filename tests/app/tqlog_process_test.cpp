// The tqlog executable on the offscreen display: one instance per data root,
// the title page it paints at start-up, and its arguments.
#include <gtest/gtest.h>

#include <QImage>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "build_defaults.h"
#include "tests/support/child_process.h"
#include "tests/support/temp_dir.h"
#include "tests/support/virtual_display.h"

namespace tq {
namespace {

namespace fs = std::filesystem;
using std::chrono::milliseconds;

// A tqlog process whose errors go to a file; killed if a test leaves it.
class Tqlog : public testing::ChildProcess {
 public:
  Tqlog(const std::vector<std::string>& args, const fs::path& out_dir)
      : ChildProcess(Argv(args), out_dir / "tqlog.out", out_dir / "tqlog.err") {}

 private:
  static std::vector<std::string> Argv(const std::vector<std::string>& args) {
    std::vector<std::string> all = {TQLOG_PATH};
    all.insert(all.end(), args.begin(), args.end());
    return all;
  }
};

bool WaitForFile(const fs::path& path, milliseconds timeout) {
  auto until = std::chrono::steady_clock::now() + timeout;
  while (!fs::exists(path)) {
    if (std::chrono::steady_clock::now() > until) return false;
    std::this_thread::sleep_for(milliseconds(10));
  }
  return true;
}

// Width and height from a PNG file's header chunk; nothing when it is none.
std::optional<std::pair<int, int>> PngSize(const fs::path& path) {
  std::string bytes = testing::ReadFileBytes(path);
  if (bytes.size() < 24 || bytes.compare(0, 8, "\x89PNG\r\n\x1a\n") != 0 ||
      bytes.compare(12, 4, "IHDR") != 0) {
    return std::nullopt;
  }
  auto be32 = [&](size_t at) {
    int v = 0;
    for (size_t i = 0; i < 4; ++i) v = (v << 8) | static_cast<unsigned char>(bytes[at + i]);
    return v;
  };
  return std::make_pair(be32(16), be32(20));
}

constexpr milliseconds kStartTimeout{30000};

TEST(TqlogProcessTest, ASecondInstanceOnTheSameRootExitsWithMinusOne) {
  testing::TempDir dir;
  fs::path shot = dir.path() / "first.png";
  Tqlog first({"--root", dir.path().string(), "--screenshot", shot.string()}, dir.path());
  ASSERT_TRUE(WaitForFile(shot, kStartTimeout)) << testing::ReadFileBytes(dir.path() / "tqlog.err");

  Tqlog second({"--root", dir.path().string()}, dir.path());
  EXPECT_EQ(second.WaitExit(kStartTimeout), 255);  // -1 as an exit status
  EXPECT_EQ(first.WaitExit(milliseconds(0)), std::nullopt) << "the first one keeps running";
}

TEST(TqlogProcessTest, InstancesOnDifferentRootsRunSideBySide) {
  testing::TempDir one;
  testing::TempDir two;
  fs::path shot_one = one.path() / "title.png";
  fs::path shot_two = two.path() / "title.png";
  Tqlog first({"--root", one.path().string(), "--screenshot", shot_one.string()}, one.path());
  ASSERT_TRUE(WaitForFile(shot_one, kStartTimeout));
  Tqlog second({"--root", two.path().string(), "--screenshot", shot_two.string()}, two.path());
  EXPECT_TRUE(WaitForFile(shot_two, kStartTimeout)) << testing::ReadFileBytes(two.path() / "tqlog.err");
}

TEST(TqlogProcessTest, StartsOnTheTitlePageInEitherOrientationWithItsSettingsWritten) {
  testing::TempDir dir;
  fs::path portrait = dir.path() / "portrait.png";
  {
    Tqlog tqlog({"--root", dir.path().string(), "--screenshot", portrait.string()}, dir.path());
    ASSERT_TRUE(WaitForFile(portrait, kStartTimeout));
  }
  EXPECT_EQ(PngSize(portrait), std::make_pair(240, 320));
  EXPECT_TRUE(fs::exists(dir.path() / "Storage" / "FLDINI" / "TQ68MK2.INI"));

  fs::path landscape = dir.path() / "landscape.png";
  Tqlog tqlog({"--root", dir.path().string(), "--landscape", "--screenshot", landscape.string()},
              dir.path());
  ASSERT_TRUE(WaitForFile(landscape, kStartTimeout));
  EXPECT_EQ(PngSize(landscape), std::make_pair(320, 240));
}

// An environment variable put back as it was when the test ends.
class KeptVariable {
 public:
  explicit KeptVariable(const char* name) : name_(name) {
    if (const char* value = std::getenv(name)) value_ = value;
  }
  ~KeptVariable() {
    if (value_) {
      setenv(name_, value_->c_str(), 1);
    } else {
      unsetenv(name_);
    }
  }

 private:
  const char* name_;
  std::optional<std::string> value_;
};

// On the tests' 640x480 virtual display the largest whole scale that fits is
// 1 for the 240x320 portrait screen (480 / 320 = 1.5) and 2 for the 320x240
// landscape one, which then fills the display. With no window manager, as on
// a handheld that starts straight into the logger, the display is black
// around the screen, which sits in its centre.
TEST(TqlogProcessTest, FullScreenDrawsAtTheLargestWholeScaleThatFits) {
  if (!fs::exists(testing::kXvfb)) GTEST_SKIP() << "needs Xvfb";
  testing::TempDir dir;
  KeptVariable display_name("DISPLAY");
  KeptVariable platform("QT_QPA_PLATFORM");  // the other tests run offscreen
  testing::VirtualDisplay display;
  ASSERT_TRUE(display.Start(dir.path())) << display.Error();
  const std::pair<std::vector<std::string>, std::pair<int, int>> cases[] = {
      {{"--full-screen"}, {240, 320}},
      {{"--landscape", "--full-screen"}, {640, 480}},
  };
  for (const auto& [options, size] : cases) {
    const fs::path shot = dir.path() / (options[0] + ".png");
    std::vector<std::string> args = {"--root", dir.path().string(), "--screenshot", shot.string()};
    args.insert(args.end(), options.begin(), options.end());
    Tqlog tqlog(args, dir.path());
    ASSERT_TRUE(WaitForFile(shot, kStartTimeout)) << testing::ReadFileBytes(dir.path() / "tqlog.err");
    EXPECT_EQ(PngSize(shot), size) << options[0];

    const QImage screen(QString::fromStdString(shot.string()));
    const fs::path root_shot = dir.path() / (options[0] + "-display.png");
    const QRect at(QPoint((640 - size.first) / 2, (480 - size.second) / 2), QSize(size.first, size.second));
    QImage shown;
    // The display shows the screen once the backdrop and the screen are mapped.
    EXPECT_TRUE(testing::WaitUntil([&] {
      testing::RunTool(dir.path(), "/usr/bin/import", {"-window", "root", root_shot.string()});
      shown = QImage(QString::fromStdString(root_shot.string()));
      if (shown.size() != QSize(640, 480)) return false;
      for (int y = 0; y < at.height(); ++y) {
        for (int x = 0; x < at.width(); ++x) {
          if ((shown.pixel(at.topLeft() + QPoint(x, y)) & RGB_MASK) != (screen.pixel(x, y) & RGB_MASK)) return false;
        }
      }
      return true;
    })) << options[0];
    for (const QPoint outside : {QPoint(0, 0), QPoint(639, 479), QPoint(at.left() - 1, 240)}) {
      if (at.contains(outside) || outside.x() < 0) continue;
      EXPECT_EQ(shown.pixel(outside), qRgb(0, 0, 0)) << options[0];
    }
  }
}

// Without a display, as on a headless machine: a mistake or the missing
// display is told in words and a status, never by an abort in the toolkit.
TEST(TqlogProcessTest, WithoutADisplayArgumentsAndTheDisplayAreToldInOneLine) {
  testing::TempDir dir;
  struct Case {
    std::vector<std::string> args;
    int status;
    const char* says;
  } cases[] = {
      {{"--foo"}, 64, "unknown argument \"--foo\""},
      {{"--landscape", "stray"}, 64, "unknown argument \"stray\""},
      {{"--root"}, 64, "--root (without its value)"},
      {{"--root", dir.path().string()}, 69, "-platform offscreen"},
  };
  for (const Case& c : cases) {
    std::vector<std::string> argv = {"/usr/bin/env", "-u", "DISPLAY", "-u", "WAYLAND_DISPLAY",
                                     "-u", "QT_QPA_PLATFORM", TQLOG_PATH};
    argv.insert(argv.end(), c.args.begin(), c.args.end());
    testing::ChildProcess tqlog(argv, dir.path() / "tqlog.out", dir.path() / "tqlog.err");
    EXPECT_EQ(tqlog.WaitExit(kStartTimeout), c.status) << c.args[0];
    const std::string err = testing::ReadFileBytes(dir.path() / "tqlog.err");
    EXPECT_NE(err.find(c.says), std::string::npos) << err;
  }
}

// Like --help, it needs no display; the number is the one set for the
// project.
TEST(TqlogProcessTest, VersionIsTheProjectsNumberWithoutADisplay) {
  testing::TempDir dir;
  testing::ChildProcess tqlog({"/usr/bin/env", "-u", "DISPLAY", "-u", "QT_QPA_PLATFORM", TQLOG_PATH,
                               "--version"},
                              dir.path() / "tqlog.out", dir.path() / "tqlog.err");
  EXPECT_EQ(tqlog.WaitExit(kStartTimeout), 0);
  EXPECT_EQ(testing::ReadFileBytes(dir.path() / "tqlog.out"), "tqlog " TQ_VERSION "\n");
  EXPECT_EQ(testing::ReadFileBytes(dir.path() / "tqlog.err"), "");
}

TEST(TqlogProcessTest, HelpListsTheOptionsAndTheDataRootDefault) {
  testing::TempDir dir;
  for (const std::vector<std::string>& args :
       {std::vector<std::string>{"--help"}, {"--landscape", "-h"}}) {
    Tqlog tqlog(args, dir.path());
    EXPECT_EQ(tqlog.WaitExit(kStartTimeout), 0);
    const std::string out = testing::ReadFileBytes(dir.path() / "tqlog.out");
    for (const char* expected : {"usage: tqlog", "--root DIR", "--landscape", "--scale N",
                                 "~/.local/share/tqlog", "--help", "--version", "--full-screen"}) {
      EXPECT_NE(out.find(expected), std::string::npos) << expected << " in\n" << out;
    }
    EXPECT_EQ(testing::ReadFileBytes(dir.path() / "tqlog.err"), "");
  }
}

}  // namespace
}  // namespace tq
