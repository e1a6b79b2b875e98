// The settings file under a process killed while it saves: a child saves two
// settings in turn as fast as it can and is killed at a random moment; the
// file must then hold one of the two whole. TQ_SETTINGS_KILL_ROUNDS sets the
// number of kills (scripts/kill-settings runs the long campaign).
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>
#include <thread>

#include "platform/files.h"
#include "settings/settings.h"
#include "tests/support/temp_dir.h"

namespace tq {
namespace {

using testing::ReadFileBytes;
using testing::ScopedDataRoot;

constexpr BuildConfig kMk2{kKindTq68Mk2, 1, 0};

long EnvNumber(const char* name, long fallback) {
  const char* text = std::getenv(name);
  return text != nullptr && *text != '\0' ? std::strtol(text, nullptr, 10) : fallback;
}

SettingsStore WithSurveyLine(const std::string& line) {
  SettingsStore s;
  UpdateReadingTiming(s, kMk2);
  ApplyKindDefaults(s, kMk2);
  s.SurveyLine = line;
  return s;
}

TEST(SettingsKillTest, AKilledSaveLeavesTheOldOrTheNewFileWhole) {
  ScopedDataRoot root;
  const SettingsStore old_settings = WithSurveyLine("OLDLINE");
  const SettingsStore new_settings = WithSurveyLine("NEWLINE2");
  const std::string old_bytes = FormatSettingsFile(old_settings, kMk2);
  const std::string new_bytes = FormatSettingsFile(new_settings, kMk2);
  ASSERT_NE(old_bytes.size(), new_bytes.size());  // a mix of the two could not pass as either
  const std::filesystem::path file = MapSystemPath(SettingsFileSystemPath(kMk2));
  std::filesystem::path temp = file;
  temp += ".tmp";

  // How long one save takes here, so that the kills spread over whole saves.
  ASSERT_TRUE(SaveSettings(old_settings, kMk2));
  const auto timing_start = std::chrono::steady_clock::now();
  constexpr int kTimed = 20;
  for (int i = 0; i < kTimed; ++i) ASSERT_TRUE(SaveSettings(i % 2 ? old_settings : new_settings, kMk2));
  const long save_us = static_cast<long>(std::chrono::duration_cast<std::chrono::microseconds>(
                                             std::chrono::steady_clock::now() - timing_start).count() / kTimed);
  ASSERT_TRUE(SaveSettings(old_settings, kMk2));

  const long rounds = EnvNumber("TQ_SETTINGS_KILL_ROUNDS", 40);
  std::mt19937 random(static_cast<unsigned>(EnvNumber("TQ_KILL_SEED", 20261207)));
  // Up to four saves' time: some kills come before the first save ends,
  // most in the middle of a later one.
  std::uniform_int_distribution<long> delay_us(0, 4 * save_us + 50);
  long held_old = 0, held_new = 0, temp_left = 0, damaged = 0;
  for (long round = 0; round < rounds; ++round) {
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      for (unsigned n = 0;; ++n) SaveSettings(n % 2 ? old_settings : new_settings, kMk2);
    }
    std::this_thread::sleep_for(std::chrono::microseconds(delay_us(random)));
    kill(child, SIGKILL);
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL);
    if (PathExists(temp)) ++temp_left;
    const std::string bytes = ReadFileBytes(file);
    if (bytes == old_bytes) {
      ++held_old;
    } else if (bytes == new_bytes) {
      ++held_new;
    } else {
      ++damaged;
      ADD_FAILURE() << "round " << round << ": the file holds " << bytes.size() << " bytes of neither";
    }
    // Each round starts from a known file: the old one, whole.
    ASSERT_TRUE(SaveSettings(old_settings, kMk2));
  }
  std::printf("settings kill campaign: %ld rounds, one save %lld us; old file %ld, new file %ld, "
              "damaged or missing %ld; killed with a temporary file left %ld\n",
              rounds, static_cast<long long>(save_us), held_old, held_new, damaged, temp_left);
  EXPECT_EQ(damaged, 0);
  // The kills must really have landed during saves, both sides of the rename.
  if (rounds >= 20) {
    EXPECT_GT(held_new, 0);
  }
  if (rounds >= 200) {
    EXPECT_GT(temp_left, 0);
  }
}

}  // namespace
}  // namespace tq
