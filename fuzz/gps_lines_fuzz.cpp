// The GPS reader's line assembly and the fix status from arbitrary bytes:
// lines never outgrow the reader's buffer, and what the panel is given
// always fits its fields.
#include <cstdlib>
#include <string_view>

#include "gps/fix_status.h"
#include "gps/gps_reader.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace tq;
  GpsLineAssembler assembler;
  for (size_t i = 0; i < size; ++i) {
    if (!assembler.Push(data[i], static_cast<uint32_t>(i))) continue;
    GpsLine line = assembler.Line();
    if (line.text.empty() || line.text.size() > kGpsLineRestart + 1) std::abort();
    PostedSentence shown = MakePostedSentence(line.text, line.valid);
    if (shown.length >= kLastSentenceSize || shown.text[shown.length] != 0) std::abort();
    GpsStatusUpdate u = ComputeGpsStatus(shown.view(), shown.valid);
    // "%2d" of a satellite count the receiver wrote: at most the nine
    // digits of an int, and a fix class is one of the five names.
    if (u.satellites.view().size() > 11 || u.fix_class.view().size() > 6) std::abort();
  }
  return 0;
}
