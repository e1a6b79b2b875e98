// The tqlog executable on the offscreen display: one instance per data root,
// the title page it paints at start-up, and its arguments.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "tests/support/temp_dir.h"

extern char** environ;

namespace tq {
namespace {

namespace fs = std::filesystem;
using std::chrono::milliseconds;

// A tqlog process with its output in files; killed if a test leaves it.
class Tqlog {
 public:
  Tqlog(const std::vector<std::string>& args, const fs::path& out_dir) {
    std::vector<std::string> all = {TQLOG_PATH};
    all.insert(all.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (std::string& a : all) argv.push_back(a.data());
    argv.push_back(nullptr);
    std::string err = (out_dir / "tqlog.err").string();
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 2, err.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0644);
    EXPECT_EQ(posix_spawn(&pid_, argv[0], &actions, nullptr, argv.data(), environ), 0);
    posix_spawn_file_actions_destroy(&actions);
  }
  ~Tqlog() {
    if (pid_ > 0) {
      kill(pid_, SIGKILL);
      waitpid(pid_, nullptr, 0);
    }
  }
  Tqlog(const Tqlog&) = delete;
  Tqlog& operator=(const Tqlog&) = delete;

  // The exit code (as the shell sees it), or nothing while it still runs
  // after `timeout`.
  std::optional<int> WaitExit(milliseconds timeout) {
    auto until = std::chrono::steady_clock::now() + timeout;
    while (pid_ > 0) {
      int status = 0;
      if (waitpid(pid_, &status, WNOHANG) == pid_) {
        pid_ = -1;
        return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
      }
      if (std::chrono::steady_clock::now() > until) return std::nullopt;
      std::this_thread::sleep_for(milliseconds(10));
    }
    return std::nullopt;
  }

 private:
  pid_t pid_ = -1;
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

TEST(TqlogProcessTest, UnknownArgumentsAreRefused) {
  testing::TempDir dir;
  Tqlog tqlog({"--root", dir.path().string(), "--kind", "3"}, dir.path());
  EXPECT_EQ(tqlog.WaitExit(kStartTimeout), 64);
  EXPECT_NE(testing::ReadFileBytes(dir.path() / "tqlog.err").find("usage: tqlog"), std::string::npos);
}

}  // namespace
}  // namespace tq
