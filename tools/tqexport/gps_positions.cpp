#include "tools/tqexport/gps_positions.h"

#include <iterator>

#include "survey/record_layout.h"
#include "tools/tqexport/survey_clock.h"

namespace tq::exporter {
namespace {

// How far the GPS records may trail the other records in the file: a
// sentence is stored only once its last character has arrived.
constexpr int64_t kGpsLagMs = 5000;
// Fixes kept at most (a 10 Hz receiver over half an hour), whatever the
// readings do.
constexpr size_t kMaxFixes = 1 << 14;

bool After(std::optional<uint32_t> tick, uint32_t reference, int64_t by) {
  return tick && TickDifference(*tick, reference) > by;
}

}  // namespace

std::optional<Position> PositionBetween(const TimedFix* before, const TimedFix* after,
                                        uint32_t tick) {
  if (before == nullptr && after == nullptr) return std::nullopt;
  if (before == nullptr) return after->at;
  if (after == nullptr) return before->at;
  const int64_t span = TickDifference(after->tick, before->tick);
  const int64_t since = TickDifference(tick, before->tick);
  const double w = span > 0 ? static_cast<double>(since) / static_cast<double>(span) : 0.0;
  const Position& b = before->at;
  const Position& a = after->at;
  Position p = since <= span - since ? b : a;  // the nearer fix
  p.latitude = b.latitude + (a.latitude - b.latitude) * w;
  double east = a.longitude - b.longitude;
  if (east > 180.0) east -= 360.0;
  if (east < -180.0) east += 360.0;
  p.longitude = b.longitude + east * w;
  if (p.longitude > 180.0) p.longitude -= 360.0;
  if (p.longitude <= -180.0) p.longitude += 360.0;
  p.altitude.reset();
  if (b.altitude && a.altitude) p.altitude = *b.altitude + (*a.altitude - *b.altitude) * w;
  return p;
}

void FixWindow::AddFix(const TimedFix& fix) {
  if (fixes_.size() == kMaxFixes) fixes_.pop_front();
  // A fix out of tick order (a damaged tick) goes to its place, so that the
  // fixes around any tick stay side by side.
  auto at = fixes_.end();
  while (at != fixes_.begin() && TickDifference(std::prev(at)->tick, fix.tick) > 0) --at;
  fixes_.insert(at, fix);
  last_fix_tick_ = fix.tick;
  NoteGpsTick(fix.tick);
}

void FixWindow::NoteGpsTick(uint32_t tick) { last_gps_tick_ = tick; }

void FixWindow::NoteTick(uint32_t tick) { last_tick_ = tick; }

bool FixWindow::Settled(uint32_t tick) const {
  if (After(last_fix_tick_, tick, 0)) return true;
  if (last_tick_ && TickDifference(tick, *last_tick_) > kFixReachMs + kGpsLagMs) return true;
  return After(last_gps_tick_, tick, kFixReachMs) || After(last_tick_, tick, kFixReachMs + kGpsLagMs);
}

std::optional<Position> FixWindow::PositionAt(uint32_t tick) const {
  const TimedFix* before = nullptr;
  const TimedFix* after = nullptr;
  for (const TimedFix& fix : fixes_) {
    const int64_t d = TickDifference(fix.tick, tick);
    if (d <= 0 && d >= -kFixReachMs) before = &fix;
    if (d > 0 && d <= kFixReachMs) {
      after = &fix;
      break;
    }
    if (d > kFixReachMs) break;
  }
  return PositionBetween(before, after, tick);
}

void FixWindow::ForgetBefore(uint32_t oldest_tick) {
  // Readings a little out of tick order still find their fixes.
  const auto too_old = [&](uint32_t fix_tick) {
    return TickDifference(oldest_tick, fix_tick) > 2 * kFixReachMs &&
           !(last_gps_tick_ && TickDifference(*last_gps_tick_, fix_tick) <= 2 * kFixReachMs);
  };
  while (!fixes_.empty() && too_old(fixes_.front().tick)) fixes_.pop_front();
}

}  // namespace tq::exporter
