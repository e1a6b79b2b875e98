#include "viewer/view_navigation.h"

#include <algorithm>

#include "platform/window_types.h"

namespace tq {

std::optional<ViewCommand> CommandForButton(int32_t index) {
  if (index < 0 || index >= kViewButtonCount) return std::nullopt;
  return static_cast<ViewCommand>(index);
}

std::optional<ViewCommand> CommandForKey(int32_t virtual_key) {
  switch (virtual_key) {
    case VK_HOME: return ViewCommand::kStartOfLine;
    case VK_PRIOR: return ViewCommand::kPageLeft;
    case VK_LEFT:
    case VK_UP: return ViewCommand::kCursorLeft;
    case VK_RIGHT:
    case VK_DOWN: return ViewCommand::kCursorRight;
    case VK_NEXT: return ViewCommand::kPageRight;
    case VK_END: return ViewCommand::kEndOfLine;
    default: return std::nullopt;
  }
}

std::optional<ViewCommand> CommandForChar(uint32_t character) {
  switch (character) {
    case 'f':
    case 'F': return ViewCommand::kFile;
    case 's':
    case 'S': return ViewCommand::kScale;
    case 'x':
    case 'X':
    case 'e':
    case 'E': return ViewCommand::kExit;
    case '?': return ViewCommand::kHelp;
    case 'l':
    case 'L': return ViewCommand::kLineBox;
    default: return std::nullopt;
  }
}

std::optional<ViewCommand> CommandAtRing(int32_t position) {
  if (position == kViewButtonCount) return ViewCommand::kLineBox;
  return CommandForButton(position);
}

int32_t NextRingPosition(int32_t position, bool line_box_has_lines) {
  const int32_t next = position + 1;
  if (next == kViewButtonCount && !line_box_has_lines) return 0;
  return next >= kViewRingPositions || next < 0 ? 0 : next;
}

std::optional<int64_t> PagedFirstRecord(ViewCommand command, int64_t first, int32_t columns,
                                        int64_t total) {
  switch (command) {
    case ViewCommand::kStartOfLine: return 1;
    case ViewCommand::kPageLeft: return std::max<int64_t>(first - kViewPageStations, 1);
    case ViewCommand::kPageRight: {
      int64_t next = first + kViewPageStations;
      if (next > total) return std::nullopt;
      if (next + columns - 1 > total) next = total - columns + 1;
      if (next < 1) return std::nullopt;
      return next;
    }
    case ViewCommand::kEndOfLine: {
      const int64_t next = total - columns + 1;
      if (next < 1) return std::nullopt;
      return next;
    }
    default: return std::nullopt;
  }
}

int32_t MovedCursor(ViewCommand command, int32_t cursor, int32_t columns, int64_t total) {
  if (command == ViewCommand::kCursorLeft && cursor >= 2) return cursor - 1;
  if (command == ViewCommand::kCursorRight && cursor < columns && cursor < total) return cursor + 1;
  return cursor;
}

int32_t CursorForOpenedLine(int32_t cursor, int64_t total) {
  if (cursor < total) return cursor;
  const int64_t half = total / 2;
  return half > 0 ? static_cast<int32_t>(std::min<int64_t>(half, cursor)) : 1;
}

}  // namespace tq
