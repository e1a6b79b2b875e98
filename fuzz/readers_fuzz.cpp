// The reader threads' byte-to-frame assembly over a port that delivers
// arbitrary bytes in bursts: every reading posted is a whole frame of the
// kind's length with its start letter, and no reader outlives its port.
#include <cstdlib>
#include <span>

#include "acquisition/acquisition_state.h"
#include "instrument/framers.h"
#include "acquisition/readers.h"
#include "platform/messages.h"
#include "platform/serial.h"

namespace {

using namespace tq;

// Bursts of bytes, each a length byte and that many bytes; a read between two
// bursts times out, and the port closes after the last.
class BurstPort : public Port {
 public:
  BurstPort(std::span<const uint8_t> script, uint32_t modem) : script_(script), modem_(modem) {}
  bool IsOpen() const override { return open_; }
  ReadResult ReadByte(uint8_t* byte) override {
    if (!open_) return ReadResult::kClosed;
    if (left_ == 0) {
      if (at_ >= script_.size()) {
        open_ = false;
        return ReadResult::kClosed;
      }
      left_ = script_[at_++];
      return ReadResult::kTimeout;
    }
    if (at_ >= script_.size()) {
      left_ = 0;
      return ReadResult::kTimeout;
    }
    --left_;
    *byte = script_[at_++];
    return ReadResult::kByte;
  }
  bool Write(std::span<const uint8_t>) override { return open_; }
  void PurgeTransmit() override {}
  void PurgeReceive() override {}
  uint32_t WaitEvent(uint32_t) override {
    if (at_ >= script_.size()) open_ = false;
    return open_ ? uint32_t{kEventRxChar} : 0u;
  }
  uint32_t ModemStatus() override { return modem_; }
  void Close() override { open_ = false; }

 private:
  std::span<const uint8_t> script_;
  uint32_t modem_;
  size_t at_ = 0;
  size_t left_ = 0;
  bool open_ = true;
};

// The logging window's side: takes every posted reading at once and checks it.
class ReadingWindow : public MessageTarget {
 public:
  ReadingWindow(AcquisitionState& state, uint32_t length) : state_(state), length_(length) {}
  bool Deliver(const Message&) override {
    PostedFrame frame;
    if (!state_.TakeReading(&frame)) std::abort();
    if (frame.length != length_ || (frame.bytes[0] != 'T' && frame.bytes[0] != 't')) std::abort();
    return true;
  }

 private:
  AcquisitionState& state_;
  uint32_t length_;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  const int32_t kind = data[0] % kKindCount;
  AcquisitionState state;
  state.FrameLength.store((data[0] & 0x08) != 0 ? 7 : 12);  // kind 3 measures its own
  state.FramesPerReading.store(1 + ((data[0] >> 4) & 3));
  BurstPort port(std::span(data + 1, size - 1), (data[0] & 0x40) != 0 ? uint32_t{kModemCts} : 0u);
  const uint32_t length = KindInfoFor(kind).syntax == FrameSyntax::kBinary ? 14
                          : KindInfoFor(kind).syntax == FrameSyntax::kIce
                              ? 8
                              : static_cast<uint32_t>(kind == kKindTq68
                                                          ? state.FrameLength.load()
                                                          : KindInfoFor(kind).frame_length);
  ReadingWindow window(state, length);
  ReaderContext context;
  context.port = &port;
  context.state = &state;
  context.window = &window;
  context.instrument_kind = kind;
  context.marker_on_instrument_port = (data[0] & 0x80) != 0;
  if (ReaderForKind(kind)(context) != 0) std::abort();
  return 0;
}
