// What the Monitor GPS window's keys and buttons mean, and its focus ring.
// Pure functions; monitor_gps_window.h carries them out.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace tq {

// The commands, numbered as the buttons 440..443.
enum class MonitorCommand { kNone = -1, kGo = 0, kPause = 1, kSend = 2, kExit = 3, kNextRing = 4, kRunRing = 5 };

// A character (WM_CHAR): g, p, s, x in either case, Tab moves the ring,
// Enter runs the button it stands on.
MonitorCommand MonitorCommandOfChar(uintptr_t character);

// The ring's next position (0..3) after `position`, past the button that
// is hidden: "&Go" while running, "&Pause" while paused.
int32_t NextMonitorRing(int32_t position, bool running);

// Where the ring stands once the monitor is running (or paused): off the
// button that just went away.
int32_t MonitorRingAfter(int32_t position, bool running);

// The list keeps this many of the latest lines.
inline constexpr int kMonitorListMax = 1000;
// The message sent to the receiver holds at most this many characters.
inline constexpr size_t kGpsMessageMax = 100;

// The first kGpsMessageMax characters of `text` (UTF-8), never part of one.
std::string CutGpsMessage(std::string_view text);

// What refuses a message (as CutGpsMessage keeps it) with a character the
// receiver's 8-bit text cannot hold, or a control character that would end
// or break the command line; nothing when it can be sent.
std::optional<std::string> CheckGpsMessage(std::string_view message);

// What the receiver is sent for `message`: one 8-bit character per
// character, then CR LF.
std::string GpsMessageBytes(std::string_view message);

}  // namespace tq
