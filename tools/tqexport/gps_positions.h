// Positions of readings in a GPS survey: the fixes around each reading's
// tick, from the GPS lines put back together from their records.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "gps/nmea.h"
#include "gps/stored_sentences.h"

namespace tq::exporter {

// Fixes further than this from a reading, in ticks, do not place it.
inline constexpr int64_t kFixReachMs = 5000;

// A position: where a fix put the receiver, or a reading between fixes.
struct Position {
  double latitude = 0.0;
  double longitude = 0.0;
  std::optional<double> altitude;
  int32_t quality = 0;
  std::optional<int32_t> satellites;
  std::optional<double> hdop;
};

// A GGA fix at a tick.
struct TimedFix {
  uint32_t tick = 0;
  Position at;
};

// The position at `tick` from the fix just before and the fix just after
// it, each within kFixReachMs: latitude, longitude and altitude linearly
// interpolated in tick between the two (longitude the short way round),
// quality, satellites and HDOP from the nearer one (the earlier on a tie);
// the one fix alone when only one side has one; nullopt when neither does.
std::optional<Position> PositionBetween(const TimedFix* before, const TimedFix* after,
                                        uint32_t tick);

// The recent fixes of a file read forwards, and what the file has shown of
// the time since. GPS records are written in the order of their ticks, but
// a reading may be stored before the sentence that was already on its way,
// so a reading's position is settled only once the file has moved past it.
// A record whose tick field is damaged holds up nothing for long: only the
// latest ticks count, not the largest ever seen.
class FixWindow {
 public:
  // A fix with a position (GGA sentences, normally in tick order).
  void AddFix(const TimedFix& fix);
  // The tick of any GPS line, fix or not.
  void NoteGpsTick(uint32_t tick);
  // The tick of any other record.
  void NoteTick(uint32_t tick);

  // True when no record still to come can change the position at `tick`:
  // the latest fix is later, or the GPS lines (or, when they have stopped,
  // the other records) have moved more than kFixReachMs past it; also when
  // the other records have gone on from well before it, so that its tick
  // cannot be right.
  bool Settled(uint32_t tick) const;
  // The position at `tick` from the fixes known now.
  std::optional<Position> PositionAt(uint32_t tick) const;
  // Drops fixes too old to place a reading at `oldest_tick` or later; the
  // fixes around the latest GPS line always stay.
  void ForgetBefore(uint32_t oldest_tick);

  size_t fix_count() const { return fixes_.size(); }

 private:
  std::deque<TimedFix> fixes_;  // in tick order
  std::optional<uint32_t> last_fix_tick_;
  std::optional<uint32_t> last_gps_tick_;
  std::optional<uint32_t> last_tick_;
};

}  // namespace tq::exporter
