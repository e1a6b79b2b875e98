#include "gps/gps_reader.h"

#include "acquisition/acquisition_state.h"
#include "gps/nmea.h"
#include "platform/clock.h"

namespace tq {

char GpsFirstPrefix(bool valid) { return valid ? '@' : '?'; }
char GpsNextPrefix(bool valid) { return valid ? '#' : '"'; }

bool GpsLineAssembler::Push(uint8_t byte, uint32_t tick) {
  if (byte == '$') {
    tick_ = tick;
    line_[0] = '$';
    index_ = 1;
    return false;
  }
  if (byte == '\n') {
    size_t length = index_;
    if (length > 0 && line_[length - 1] == '\r') --length;
    index_ = 0;
    if (length == 0) return false;
    length_ = length;
    return true;
  }
  if (index_ > kGpsLineRestart) index_ = 0;
  // A line without "$" is stamped with the tick of its own first byte, not
  // with that of an older sentence.
  if (index_ == 0) tick_ = tick;
  line_[index_++] = static_cast<char>(byte);
  return false;
}

GpsLine GpsLineAssembler::Line() const {
  std::string_view text(line_.data(), length_);
  return GpsLine{text, tick_, GpsLineValid(text)};
}

bool GpsLineValid(std::string_view line) {
  return NmeaChecksumOk(line);
}

bool HandleGpsLine(const GpsReaderContext& c, const GpsLine& line) {
  GpsFixState& fix = *c.fix;
  fix.StoreLastSentence(line.text, line.valid);
  if (c.calibration_state == nullptr || c.calibration_state->load() == 0) {
    fix.PostSentence(c.window, WM_GPS_SENTENCE, line.text, line.valid);
  }
  if (fix.Recording.load() != 1 || c.file == nullptr) return true;
  WriteResult written = WriteGpsRecord(*c.file, line.text, line.tick, GpsFirstPrefix(line.valid),
                                       GpsNextPrefix(line.valid));
  if (!written) fix.FailedWrites.fetch_add(1);
  return written.ok;
}

int GpsReader(const GpsReaderContext& c) {
  GpsFixState& fix = *c.fix;
  fix.GpsReaderRunning.store(1);
  fix.ClearSentences();
  GpsLineAssembler assembler;
  Port& port = *c.port;
  while (port.IsOpen()) {
    uint8_t byte = 0;
    ReadResult result = port.ReadByte(&byte);
    if (result == ReadResult::kClosed) break;
    if (result != ReadResult::kByte) continue;
    if (assembler.Push(byte, Tick())) HandleGpsLine(c, assembler.Line());
  }
  fix.GpsReaderRunning.store(2);
  return 0;
}

}  // namespace tq
