// The three framers over arbitrary bytes: never out of bounds, every accepted
// frame has its length and a valid start byte, and whatever came before, a
// whole frame sent next is accepted as it was sent.
#include <algorithm>
#include <cstdlib>
#include <span>
#include <string_view>

#include "instrument/framers.h"

namespace {

// Feeds `wire` after the fuzzed bytes; the framer must accept `frame` on its
// last byte and on no byte before.
template <typename Framer>
void ExpectFrameAfterNoise(Framer& framer, std::span<const uint8_t> wire, std::span<const uint8_t> frame) {
  for (size_t i = 0; i < wire.size(); ++i) {
    bool accepted = framer.Push(wire[i]) == tq::FrameEvent::kAccepted;
    if (accepted != (i + 1 == wire.size())) std::abort();
  }
  if (!std::ranges::equal(framer.Frame(), frame)) std::abort();
}

std::span<const uint8_t> Bytes(std::string_view text) {
  return {reinterpret_cast<const uint8_t*>(text.data()), text.size()};
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace tq;
  const int32_t ascii_length = size > 0 && (data[0] & 1) != 0 ? 7 : 12;
  AsciiFramer ascii(ascii_length);
  IceFramer ice;
  BinaryFramer binary;
  for (size_t i = 0; i < size; ++i) {
    if (ascii.Push(data[i]) == FrameEvent::kAccepted &&
        (ascii.Frame().size() != static_cast<size_t>(ascii_length) || ascii.Frame()[0] != 'T')) {
      std::abort();
    }
    if (ice.Push(data[i]) == FrameEvent::kAccepted &&
        (ice.Frame().size() != 8 || ice.Frame()[0] != 'T' || ice.Frame()[4] != 'I')) {
      std::abort();
    }
    if (binary.Push(data[i]) == FrameEvent::kAccepted &&
        (binary.Frame().size() != 14 || (binary.Frame()[0] != 'T' && binary.Frame()[0] != 't'))) {
      std::abort();
    }
  }
  const std::string_view ascii_wire = ascii_length == 7 ? "T100421\r" : "T101234-0056\r";
  ExpectFrameAfterNoise(ascii, Bytes(ascii_wire), Bytes(ascii_wire.substr(0, ascii_wire.size() - 1)));
  ExpectFrameAfterNoise(ice, Bytes("T123I456"), Bytes("T123I456"));
  // No 0xFF inside the data: with one, noise ending in a start byte at the
  // right distance would make an earlier, overlapping frame of the same shape.
  constexpr uint8_t kBinaryWire[] = {'t', 0x05, 0x01, 0x02, 0x03, 0x04, 0x05, 0x06,
                                     0x07, 0x08, 0x09, 0x0A, 0x0B, 0x0C, 0xFF, 0xFF};
  ExpectFrameAfterNoise(binary, std::span(kBinaryWire), std::span(kBinaryWire, 14));
  return 0;
}
