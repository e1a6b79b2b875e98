#include "gps/gps_monitor_reader.h"

#include <chrono>

#include "acquisition/acquisition_state.h"
#include "gps/nmea_line.h"
#include "platform/clock.h"

namespace tq {
namespace {

// How often a paused reader looks whether its port was closed.
constexpr std::chrono::milliseconds kPausePoll{100};

void HandOn(const GpsMonitorContext& c, std::string_view line) {
  c.feed->Put(std::string(line.substr(0, kGpsMonitorLineMax)));
  PostMessage(c.window, WM_GPS_SENTENCE);
}

}  // namespace

void GpsMonitorFeed::Put(std::string line) {
  std::lock_guard lock(mutex_);
  if (lines_.size() >= kMaxWaiting) lines_.pop_front();
  lines_.push_back(std::move(line));
}

std::vector<std::string> GpsMonitorFeed::TakeAll() {
  std::lock_guard lock(mutex_);
  std::vector<std::string> taken(std::make_move_iterator(lines_.begin()), std::make_move_iterator(lines_.end()));
  lines_.clear();
  return taken;
}

int GpsMonitorReader(const GpsMonitorContext& c) {
  Port& port = *c.port;
  NmeaLineAssembler lines;
  uint32_t last_line = c.start_tick;
  bool paused = false;
  while (port.IsOpen()) {
    if (!c.pause->WaitWhileSuspendedFor(kPausePoll)) {
      paused = true;
      continue;
    }
    if (paused) {
      paused = false;
      last_line = Tick();
    }
    uint8_t byte = 0;
    ReadResult result = port.ReadByte(&byte);
    if (result == ReadResult::kClosed) break;
    if (result == ReadResult::kByte) {
      uint32_t now = Tick();
      if (lines.Push(byte, now)) {
        last_line = now;
        HandOn(c, lines.Line());
      }
    } else if (Tick() - last_line > kGpsNoDataMs) {
      // The next silence is counted from here, before the window hears of it.
      last_line = Tick();
      HandOn(c, kGpsNoDataText);
    }
  }
  return 0;
}

}  // namespace tq
