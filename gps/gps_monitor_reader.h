// The reader thread of the Monitor GPS window: raw lines from the GPS port,
// "NO DATA" when the receiver is silent, and a pause it honours between
// bytes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "platform/messages.h"
#include "platform/serial.h"
#include "platform/threads.h"

namespace tq {

// Lines on their way from the reader to the window, each its own copy, so a
// window that is busy for a while loses none. Thread-safe.
class GpsMonitorFeed {
 public:
  // Lines beyond this many waiting push out the oldest.
  static constexpr size_t kMaxWaiting = 1000;
  void Put(std::string line);
  // Every waiting line, oldest first.
  std::vector<std::string> TakeAll();

 private:
  std::mutex mutex_;
  std::deque<std::string> lines_;
};

struct GpsMonitorContext {
  Port* port = nullptr;            // the GPS port; the reader ends when it closes
  GpsMonitorFeed* feed = nullptr;
  SuspendGate* pause = nullptr;    // while suspended the reader reads nothing
  WindowHandle window = nullptr;   // told of each line with WM_GPS_SENTENCE
  uint32_t start_tick = 0;         // when the silence began: the reader's start
};

// Silence after which the window is told "NO DATA", again after every
// further stretch of it.
inline constexpr uint32_t kGpsNoDataMs = 7000;
inline constexpr std::string_view kGpsNoDataText = "NO DATA";
// The longest line handed on; longer ones are cut.
inline constexpr size_t kGpsMonitorLineMax = 127;

// Reads until the port closes, also while paused. Each line feed hands the
// line before it (without CR) to the feed and posts WM_GPS_SENTENCE; a read
// that finds nothing after more than kGpsNoDataMs without a line hands
// kGpsNoDataText. A pause is not silence: the wait starts afresh after it.
// Returns 0.
int GpsMonitorReader(const GpsMonitorContext& context);

}  // namespace tq
