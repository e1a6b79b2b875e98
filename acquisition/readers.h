// Reader threads: they move bytes from the instrument port into a framer,
// keep the newest frame in the shared record and post a reading message
// every FramesPerReading frames.
//
// Each reader runs until its port is closed (Port::Close, from any thread)
// and then returns 0. A silent, vanished or hung-up device only makes reads
// time out; the readers never spin on it.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <span>
#include <stop_token>

#include "acquisition/acquisition_state.h"
#include "instrument/framers.h"
#include "platform/messages.h"
#include "platform/serial.h"
#include "settings/settings.h"

namespace tq {

// What a reader works with instead of globals.
struct ReaderContext {
  Port* port = nullptr;                // the instrument port
  AcquisitionState* state = nullptr;   // usually &Acquisition
  WindowHandle window = nullptr;       // the logging window
  int32_t instrument_kind = kKindTq68Mk2;
  // The external marker switch is wired to the instrument port's own modem
  // lines (binary reader only).
  bool marker_on_instrument_port = false;
};

// What a reader does with the bytes its port delivers, without the port:
// the kind's framer, the frame counter, the newest frame in the shared
// record and the reading messages. Made when a reader starts (it clears the
// queued readings and sets the frame length); one thread feeds it.
class ReaderIntake {
 public:
  explicit ReaderIntake(const ReaderContext& context);
  // The next byte from the instrument.
  void Push(uint8_t byte);
  // The line went quiet: an ice frame starts afresh with the next byte.
  void Pause();

 private:
  static int32_t AsciiFrameLength(const ReaderContext& context);
  void Accept(std::span<const uint8_t> frame, uint32_t message);

  ReaderContext c_;
  FrameSyntax syntax_;
  int32_t ascii_frame_length_;
  AsciiFramer ascii_;
  BinaryFramer binary_;
  IceFramer ice_;
};

// Kinds 0..5: CR-terminated ASCII frames, posts WM_INSTRUMENT_READING.
int AsciiReader(const ReaderContext& context);

// Kind 6: ice frames, posts WM_ICE_READING.
int IceReader(const ReaderContext& context);

// Kind 7: binary frames with marker bits, posts WM_BINARY_READING.
int BinaryReader(const ReaderContext& context);

// The external marker on a port of its own: after every change of the CTS
// line the whole modem-status word goes into ExtMarkerLine, which the binary
// reader folds into each frame. Returns 0 when the port closes.
int MarkerReader(const ReaderContext& context);

using ReaderFunction = int (*)(const ReaderContext&);

// The reader of `kind` (by its frame syntax).
ReaderFunction ReaderForKind(int32_t kind);

// Kind 3: listens for up to 2000 ms for the "T" of a frame, then up to 1000 ms
// from that "T" for its carriage return, and for one 7- or 12-character frame sets
// FrameLength in `state` and the frame timing in `settings`. Returns 1 when a
// frame was measured, 0 otherwise (nothing but FrameLength 7 is changed then).
int DetectFrameLength(Port& port, AcquisitionState& state, SettingsStore& settings);

inline constexpr std::chrono::milliseconds kKeepAwakePeriod{59000};

// Resets the idle timer now and then every `period` until `stop` is
// requested, which ends it at once. Returns 0.
int RunKeepAwake(std::stop_token stop, std::chrono::milliseconds period,
                 const std::function<void()>& reset_idle_timer);

// The program-long thread body: RunKeepAwake with ResetIdleTimer every 59 s.
int KeepAwake(std::stop_token stop);

}  // namespace tq
