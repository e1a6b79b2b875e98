// How the file viewer moves along a line: its commands (buttons, keys,
// characters, the focus ring) and what each does to the first record shown
// and the cursor, as values. The window applies them and draws the result.
#pragma once

#include <cstdint>
#include <optional>

namespace tq {

// The ten buttons in focus-ring order; the line box follows them on the ring.
enum class ViewCommand : int32_t {
  kStartOfLine = 0,  // "<<--"  Home
  kPageLeft,         // "<--"   PgUp
  kCursorLeft,       // "|<--"  Left, Up
  kCursorRight,      // "-->|"  Right, Down
  kPageRight,        // "-->"   PgDn
  kEndOfLine,        // "-->>"  End
  kFile,             // "&File" f F
  kScale,            // "&Scale" s S
  kExit,             // "E&xit" x X e E
  kHelp,             // "?"
  kLineBox,          // l L, and ring position 10
};

inline constexpr int32_t kViewButtonCount = 10;
inline constexpr int32_t kViewRingPositions = kViewButtonCount + 1;
inline constexpr int32_t kViewRingStart = 6;  // "&File"
inline constexpr int32_t kViewPageStations = 80;
inline constexpr int32_t kViewStartCursor = 50;

// The command of button index `index` (0..9); nullopt outside.
std::optional<ViewCommand> CommandForButton(int32_t index);
// The command of a virtual key (WM_KEYDOWN); nullopt for any other key.
std::optional<ViewCommand> CommandForKey(int32_t virtual_key);
// The command of a typed character (WM_CHAR); nullopt for any other.
std::optional<ViewCommand> CommandForChar(uint32_t character);
// The command at a ring position (0..10).
std::optional<ViewCommand> CommandAtRing(int32_t position);
// The ring position after `position` (10 is followed by 0). An empty line
// box is passed over: focused, it would hold the keys with no list to close.
int32_t NextRingPosition(int32_t position, bool line_box_has_lines);

// The first record shown (r, 1-based) after a paging command, with
// `columns` stations on screen (N) and `total` records in the line (T);
// nullopt when the view does not move. Start and 80 left always load.
std::optional<int64_t> PagedFirstRecord(ViewCommand command, int64_t first, int32_t columns,
                                        int64_t total);

// The cursor column (1..N) after a cursor command; unchanged when it cannot move.
int32_t MovedCursor(ViewCommand command, int32_t cursor, int32_t columns, int64_t total);

// The cursor after a file was opened and its first line built: kept when it
// lies before the record total, else half the total (at least 1).
int32_t CursorForOpenedLine(int32_t cursor, int64_t total);

}  // namespace tq
