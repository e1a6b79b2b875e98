// The three framers over arbitrary bytes: never out of bounds, and every
// accepted frame has its length and a valid start byte.
#include <cstdlib>

#include "acquisition/framers.h"

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
  return 0;
}
