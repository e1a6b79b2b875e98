// The logger's arguments sorted before any display opens.
#include "app/command_line.h"

#include <gtest/gtest.h>

namespace tq {
namespace {

TEST(CommandLine, OwnAndToolkitOptionsPassAndTheRestIsUnknown) {
  struct Case {
    std::vector<std::string_view> args;
    bool help;
    const char* unknown;
    bool platform_named;
  } cases[] = {
      {{}, false, "", false},
      {{"--root", "-h", "--landscape", "--scale", "2"}, false, "", false},  // "-h" is a folder
      {{"--landscape", "-h"}, true, "", false},
      {{"--full-screen", "--landscape"}, false, "", false},
      {{"-platform", "offscreen", "-reverse"}, false, "", true},
      {{"--screenshot", "a.png", "--kind3"}, false, "--kind3", false},
      {{"--kind", "8"}, false, "--kind 8", false},
      {{"--kind", "TQ68", "--landscape"}, false, "", false},
      {{"-plaform", "offscreen"}, false, "-plaform", false},
      {{"--scale"}, false, "--scale (without its value)", false},
  };
  for (const Case& c : cases) {
    LoggerArguments read = ReadLoggerArguments(c.args);
    EXPECT_EQ(read.help, c.help) << c.args.size();
    EXPECT_EQ(read.unknown, c.unknown);
    EXPECT_EQ(read.platform_named, c.platform_named);
  }
}

TEST(CommandLine, VersionIsAnOptionButNeverTheValueOfOne) {
  EXPECT_TRUE(ReadLoggerArguments({"--landscape", "--version"}).version);
  const LoggerArguments folder = ReadLoggerArguments({"--root", "--version"});
  EXPECT_FALSE(folder.version);
  EXPECT_EQ(folder.root, "--version");
}

TEST(CommandLine, AKindIsItsNumberOrItsModelInAnyCase) {
  const std::pair<const char*, int32_t> names[] = {{"0", 0}, {"7", 7},          {"TQ62", 0},
                                                   {"tq68-dd", 2}, {"TQ68", 3}, {"TQ64-3", 4},
                                                   {"Frz62", 6}, {"TQ68-MK2", 7}};
  for (const auto& [name, kind] : names) {
    EXPECT_EQ(ReadLoggerArguments({"--kind", name}).kind, kind) << name;
  }
  for (const char* bad : {"8", "-1", "07", "TQ68MK2", ""}) {
    EXPECT_FALSE(ReadLoggerArguments({"--kind", bad}).kind) << bad;
  }
}

}  // namespace
}  // namespace tq
