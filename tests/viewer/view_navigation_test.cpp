// The viewer's paging and cursor rules, with the documented examples, and
// which button, key, character and ring position runs which command.
#include "viewer/view_navigation.h"

#include <gtest/gtest.h>

#include "platform/window_types.h"

namespace tq {
namespace {

constexpr int32_t kLandscapeColumns = 310;  // N = W - 2 with W = 312

struct PageCase {
  const char* name;
  ViewCommand command;
  int64_t first;
  int64_t total;
  std::optional<int64_t> expected;
};

TEST(ViewPaging, FirstRecordAfterEachPagingCommand) {
  const PageCase cases[] = {
      // A line shorter than the screen is shown whole from column 1.
      {"100 stations: 80 right stays", ViewCommand::kPageRight, 1, 100, std::nullopt},
      {"100 stations: end stays", ViewCommand::kEndOfLine, 1, 100, std::nullopt},
      {"1000 stations: 80 right from 1", ViewCommand::kPageRight, 1, 1000, 81},
      {"1000 stations: end", ViewCommand::kEndOfLine, 1, 1000, 691},
      {"80 right stops at the last full screen", ViewCommand::kPageRight, 681, 1000, 691},
      {"80 right beyond the total stays", ViewCommand::kPageRight, 950, 1000, std::nullopt},
      {"80 left", ViewCommand::kPageLeft, 691, 1000, 611},
      {"80 left stops at record 1", ViewCommand::kPageLeft, 50, 1000, 1},
      {"start", ViewCommand::kStartOfLine, 691, 1000, 1},
      {"start of an empty line", ViewCommand::kStartOfLine, 1, 0, 1},
      {"end of a line one screen long", ViewCommand::kEndOfLine, 1, 310, 1},
  };
  for (const PageCase& c : cases) {
    EXPECT_EQ(PagedFirstRecord(c.command, c.first, kLandscapeColumns, c.total), c.expected) << c.name;
  }
}

TEST(ViewPaging, CursorStaysInsideTheScreenAndTheLine) {
  EXPECT_EQ(MovedCursor(ViewCommand::kCursorLeft, 50, 310, 1000), 49);
  EXPECT_EQ(MovedCursor(ViewCommand::kCursorLeft, 1, 310, 1000), 1);
  EXPECT_EQ(MovedCursor(ViewCommand::kCursorRight, 50, 310, 1000), 51);
  EXPECT_EQ(MovedCursor(ViewCommand::kCursorRight, 310, 310, 1000), 310);
  EXPECT_EQ(MovedCursor(ViewCommand::kCursorRight, 30, 310, 30), 30);  // the record total
  // A file opened with the cursor at 50 keeps it only on a longer line.
  EXPECT_EQ(CursorForOpenedLine(50, 1000), 50);
  EXPECT_EQ(CursorForOpenedLine(50, 50), 25);
  EXPECT_EQ(CursorForOpenedLine(50, 1), 1);
  EXPECT_EQ(CursorForOpenedLine(50, 0), 1);
}

TEST(ViewCommands, ButtonsKeysAndCharacters) {
  const std::pair<int32_t, ViewCommand> keys[] = {
      {VK_HOME, ViewCommand::kStartOfLine}, {VK_PRIOR, ViewCommand::kPageLeft},
      {VK_LEFT, ViewCommand::kCursorLeft},  {VK_UP, ViewCommand::kCursorLeft},
      {VK_RIGHT, ViewCommand::kCursorRight}, {VK_DOWN, ViewCommand::kCursorRight},
      {VK_NEXT, ViewCommand::kPageRight},   {VK_END, ViewCommand::kEndOfLine}};
  for (auto [key, command] : keys) EXPECT_EQ(CommandForKey(key), command) << key;
  EXPECT_EQ(CommandForKey(VK_RETURN), std::nullopt);

  const std::pair<char, ViewCommand> chars[] = {
      {'f', ViewCommand::kFile}, {'F', ViewCommand::kFile},   {'s', ViewCommand::kScale},
      {'S', ViewCommand::kScale}, {'x', ViewCommand::kExit},  {'X', ViewCommand::kExit},
      {'e', ViewCommand::kExit}, {'E', ViewCommand::kExit},   {'?', ViewCommand::kHelp},
      {'l', ViewCommand::kLineBox}, {'L', ViewCommand::kLineBox}};
  for (auto [c, command] : chars) EXPECT_EQ(CommandForChar(static_cast<uint8_t>(c)), command) << c;
  EXPECT_EQ(CommandForChar('q'), std::nullopt);

  EXPECT_EQ(CommandForButton(0), ViewCommand::kStartOfLine);  // id 480
  EXPECT_EQ(CommandForButton(6), ViewCommand::kFile);         // id 486
  EXPECT_EQ(CommandForButton(9), ViewCommand::kHelp);         // id 489
  EXPECT_EQ(CommandForButton(10), std::nullopt);
  EXPECT_EQ(CommandForButton(-1), std::nullopt);
}

TEST(ViewCommands, FocusRingRunsFromFileThroughTheLineBoxAndAround) {
  EXPECT_EQ(CommandAtRing(kViewRingStart), ViewCommand::kFile);
  EXPECT_EQ(NextRingPosition(9, true), 10);
  EXPECT_EQ(CommandAtRing(10), ViewCommand::kLineBox);
  EXPECT_EQ(NextRingPosition(10, true), 0);
  EXPECT_EQ(CommandAtRing(0), ViewCommand::kStartOfLine);
  // An empty line box is passed over, also when it emptied under the ring.
  EXPECT_EQ(NextRingPosition(9, false), 0);
  EXPECT_EQ(NextRingPosition(10, false), 0);
}

}  // namespace
}  // namespace tq
