#include "gps/gps_reader.h"

#include "acquisition/acquisition_state.h"
#include "gps/nmea.h"
#include "platform/clock.h"

namespace tq {

char GpsFirstPrefix(bool valid) { return valid ? '@' : '?'; }
char GpsNextPrefix(bool valid) { return valid ? '#' : '"'; }

GpsLine GpsLineAssembler::Line() const {
  std::string_view text = lines_.Line();
  return GpsLine{text, lines_.LineTick(), GpsLineValid(text)};
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
