#include "tools/sim/paced_sender.h"

#include <algorithm>

namespace tq::sim {
namespace {

using SteadyClock = std::chrono::steady_clock;

}  // namespace

PacedSender::PacedSender(std::vector<PacedStream> streams)
    : streams_(std::move(streams)),
      sent_(std::make_unique<std::atomic<uint64_t>[]>(streams_.size())) {
  thread_ = std::jthread([this](std::stop_token stop) { Run(stop); });
}

PacedSender::~PacedSender() { Stop(); }

void PacedSender::Stop() {
  if (thread_.joinable()) {
    thread_.request_stop();
    thread_.join();
  }
  finished_.store(true);
  std::lock_guard lock(mutex_);
  wake_.notify_all();
}

bool PacedSender::WaitFinished(std::chrono::milliseconds timeout) {
  std::unique_lock lock(mutex_);
  wake_.wait_for(lock, timeout, [this] { return finished_.load(); });
  return finished_.load();
}

uint64_t PacedSender::SentCount(size_t stream) const {
  return stream < streams_.size() ? sent_[stream].load() : 0;
}

void PacedSender::Run(std::stop_token stop) {
  const size_t count = streams_.size();
  std::vector<uint64_t> index(count, 0);
  const SteadyClock::time_point start = SteadyClock::now();
  auto scheduled = [&](size_t i) {
    return start + std::chrono::milliseconds(streams_[i].due_ms(index[i]));
  };
  std::vector<SteadyClock::time_point> due(count, start);
  auto done = [&](size_t i) { return streams_[i].limit != 0 && index[i] >= streams_[i].limit; };
  for (size_t i = 0; i < count; ++i) {
    if (streams_[i].due_ms && !done(i)) due[i] = scheduled(i);
  }
  auto all_limited_done = [&] {
    bool any_limited = false;
    for (size_t i = 0; i < count; ++i) {
      if (streams_[i].limit == 0) continue;
      any_limited = true;
      if (!done(i)) return false;
    }
    return any_limited;
  };

  while (!stop.stop_requested() && !all_limited_done()) {
    size_t soonest = count;
    for (size_t i = 0; i < count; ++i) {
      if (!done(i) && (soonest == count || due[i] < due[soonest])) soonest = i;
    }
    if (soonest == count) break;
    {
      std::unique_lock lock(mutex_);
      wake_.wait_until(lock, stop, due[soonest], [] { return false; });
    }
    if (stop.stop_requested()) break;

    auto now = SteadyClock::now();
    for (size_t i = 0; i < count; ++i) {
      if (done(i) || due[i] > now) continue;
      PacedStream& s = streams_[i];
      std::vector<uint8_t> bytes = s.next(index[i]);
      if (!bytes.empty() && !s.send(bytes)) failed_.fetch_add(1);
      ++index[i];
      sent_[i].store(index[i]);
      if (s.due_ms) {
        if (!done(i)) due[i] = scheduled(i);
        continue;
      }
      auto period = std::chrono::milliseconds(std::max(1, s.period_ms));
      due[i] += period;
      // After a stall, carry on from now instead of sending the backlog at once.
      if (due[i] + period < now) due[i] = now + period;
    }
  }
  finished_.store(true);
  std::lock_guard lock(mutex_);
  wake_.notify_all();
}

}  // namespace tq::sim
