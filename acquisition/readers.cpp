#include "acquisition/readers.h"

#include <array>
#include <condition_variable>
#include <mutex>

#include "instrument/framers.h"
#include "platform/clock.h"
#include "platform/power.h"

namespace tq {
namespace {

void PurgePort(Port& port) {
  port.PurgeTransmit();
  port.PurgeReceive();
}

// Feeds every byte the port delivers to `on_byte` until the port closes. A
// read that times out simply goes round again: the port itself waits out the
// timeout, also for a device that has gone away. Bytes are taken as they
// arrived, a frame or more per read, not one read per byte.
// With `watch_marker` the port's modem lines are sampled as each read
// returns, so the frames it brought carry the marker as it was when they came
// (not as it was when the wait for them began).
template <typename OnByte>
void ReadUntilClosed(const ReaderContext& c, bool watch_marker, OnByte on_byte) {
  Port& port = *c.port;
  std::array<uint8_t, 256> buffer{};
  while (port.IsOpen()) {
    size_t count = 0;
    ReadResult result = port.ReadSome(buffer, &count);
    if (result == ReadResult::kClosed) return;
    if (watch_marker) c.state->ExtMarkerLine.store(static_cast<int32_t>(port.ModemStatus()));
    for (size_t i = 0; i < count; ++i) on_byte(buffer[i]);
  }
}

}  // namespace

ReaderIntake::ReaderIntake(const ReaderContext& c)
    : c_(c),
      syntax_(KindInfoFor(c.instrument_kind).syntax),
      ascii_frame_length_(AsciiFrameLength(c)),
      ascii_(ascii_frame_length_) {
  AcquisitionState& s = *c.state;
  s.FrameLength.store(syntax_ == FrameSyntax::kIce      ? IceFramer::kFrameLength
                      : syntax_ == FrameSyntax::kBinary ? BinaryFramer::kFrameLength
                                                        : ascii_frame_length_);
  if (syntax_ != FrameSyntax::kBinary) s.FrameCounter.store(0);
  s.ClearReadings();
}

// Kind 3 measured its frame length before the reader started; the other
// ASCII kinds have theirs by kind.
int32_t ReaderIntake::AsciiFrameLength(const ReaderContext& c) {
  return c.instrument_kind == kKindTq68 ? c.state->FrameLength.load() : KindInfoFor(c.instrument_kind).frame_length;
}

void ReaderIntake::Push(uint8_t byte) {
  AcquisitionState& s = *c_.state;
  switch (syntax_) {
    case FrameSyntax::kAscii:
      switch (ascii_.Push(byte)) {
        case FrameEvent::kAccepted:
          Accept(ascii_.Frame(), WM_INSTRUMENT_READING);
          break;
        case FrameEvent::kRejected:
          s.AdvanceFrameCounter(false);
          break;
        default:
          break;
      }
      return;
    case FrameSyntax::kBinary: {
      if (binary_.Push(byte) != FrameEvent::kAccepted) return;
      FrameBytes frame{};
      std::span<const uint8_t> got = binary_.Frame();
      std::copy(got.begin(), got.end(), frame.begin());
      std::span<uint8_t> marked(frame.data(), got.size());
      AddMarkerBits(marked, s.ExtMarkerLine.load(), s.SoftMarkerDown.load());
      Accept(marked, WM_BINARY_READING);
      return;
    }
    case FrameSyntax::kIce: {
      FrameEvent event = ice_.Push(byte);
      if (event == FrameEvent::kAccepted) {
        Accept(ice_.Frame(), WM_ICE_READING);
      } else if (event == FrameEvent::kMalformed) {
        // No purge: the framer skips to the next "T" by itself, and a purge
        // would throw away a good frame that came in right behind the noise.
        s.AdvanceFrameCounter(false);
      }
      return;
    }
  }
}

void ReaderIntake::Pause() {
  // An ice frame starts afresh after every wait; its bytes follow at once.
  if (syntax_ == FrameSyntax::kIce) ice_.Reset();
}

// Records an accepted frame in the shared state and posts it when it
// completes a reading.
void ReaderIntake::Accept(std::span<const uint8_t> frame, uint32_t message) {
  AcquisitionState& s = *c_.state;
  uint32_t tick = Tick();
  s.LastFrameTick.store(tick);
  bool post = s.AdvanceFrameCounter(true);
  s.StoreLastFrame(frame);
  s.MissedTicks.store(0);
  if (post) s.PostReading(c_.window, message, frame, tick);
}

int AsciiReader(const ReaderContext& c) {
  ReaderIntake intake(c);
  PurgePort(*c.port);
  ReadUntilClosed(c, false, [&](uint8_t byte) { intake.Push(byte); });
  return 0;
}

int BinaryReader(const ReaderContext& c) {
  ReaderIntake intake(c);
  PurgePort(*c.port);
  ReadUntilClosed(c, c.marker_on_instrument_port, [&](uint8_t byte) { intake.Push(byte); });
  return 0;
}

int IceReader(const ReaderContext& c) {
  Port& port = *c.port;
  ReaderIntake intake(c);
  PurgePort(port);
  while (port.IsOpen()) {
    if (port.WaitEvent(kEventRxChar) == 0) break;  // closed
    intake.Pause();
    for (;;) {
      uint8_t byte = 0;
      ReadResult result = port.ReadByte(&byte);
      if (result == ReadResult::kClosed) return 0;
      if (result == ReadResult::kTimeout) break;
      intake.Push(byte);
    }
  }
  return 0;
}

int MarkerReader(const ReaderContext& c) {
  Port& port = *c.port;
  while (port.IsOpen()) {
    if (port.WaitEvent(kEventCts) == 0) break;  // closed
    c.state->ExtMarkerLine.store(static_cast<int32_t>(port.ModemStatus()));
  }
  return 0;
}

ReaderFunction ReaderForKind(int32_t kind) {
  switch (KindInfoFor(kind).syntax) {
    case FrameSyntax::kIce: return &IceReader;
    case FrameSyntax::kBinary: return &BinaryReader;
    case FrameSyntax::kAscii: break;
  }
  return &AsciiReader;
}

namespace {

int ApplyFrameShape(int32_t count, AcquisitionState& state, SettingsStore& settings) {
  const FrameShape* shape = count == kShortAsciiFrame.length  ? &kShortAsciiFrame
                            : count == kLongAsciiFrame.length ? &kLongAsciiFrame
                                                         : nullptr;
  if (shape == nullptr) return 0;
  ReadingTiming t = ComputeReadingTiming(settings.ReadingInterval, shape->period_ms,
                                         shape->max_readings_per_second);
  state.FrameLength.store(shape->length);
  settings.FramePeriodMs = t.FramePeriodMs;
  settings.FramesPerInterval = t.FramesPerInterval;
  settings.ReadingsPerSecond = t.ReadingsPerSecond;
  return 1;
}

}  // namespace

int DetectFrameLength(Port& port, AcquisitionState& state, SettingsStore& settings) {
  constexpr uint32_t kListenMs = 2000;
  constexpr uint32_t kFrameMs = 1000;
  state.FrameLength.store(kShortAsciiFrame.length);
  uint32_t start = Tick();
  WaitMs(10);
  // Tick differences are taken modulo 2^32, so a wrapping tick is harmless.
  auto listening = [&] { return Tick() - start < kListenMs; };
  while (listening()) {
    uint8_t byte = 0;
    ReadResult result = port.ReadByte(&byte);
    if (result == ReadResult::kClosed) return 0;
    if (result != ReadResult::kByte || byte != 'T') continue;
    uint32_t frame_start = Tick();
    int32_t count = 1;
    // The listening bound only limits the search for a "T": a frame that
    // began in time gets its whole second.
    while (Tick() - frame_start < kFrameMs) {
      result = port.ReadByte(&byte);
      if (result == ReadResult::kClosed) return 0;
      if (result != ReadResult::kByte) continue;
      if (byte == '\r') return ApplyFrameShape(count, state, settings);
      ++count;
    }
  }
  return 0;
}

int RunKeepAwake(std::stop_token stop, std::chrono::milliseconds period,
                 const std::function<void()>& reset_idle_timer) {
  std::mutex mutex;
  std::condition_variable_any wake;
  std::unique_lock lock(mutex);
  while (!stop.stop_requested()) {
    reset_idle_timer();
    wake.wait_for(lock, stop, period, [] { return false; });
  }
  return 0;
}

int KeepAwake(std::stop_token stop) {
  return RunKeepAwake(std::move(stop), kKeepAwakePeriod, &ResetIdleTimer);
}

}  // namespace tq
