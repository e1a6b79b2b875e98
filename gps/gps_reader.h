// The GPS reader of a logging run: NMEA lines assembled from the GPS port,
// checked, posted to the logging window and, while logging, recorded in the
// data file as GPS record groups.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "gps/gps_fix.h"
#include "gps/nmea_line.h"
#include "platform/messages.h"
#include "platform/serial.h"
#include "survey/data_file.h"

namespace tq {

// A line restarts when more than this many characters arrive without a line
// end; such a line is kept whole in the data file (up to 201 characters) and
// shown cut to 127.
inline constexpr size_t kGpsLineRestart = kNmeaLineMax;

// One complete line: its text without the line end, the tick of its "$" (or
// of its first character when it has none), and whether its checksum holds.
struct GpsLine {
  std::string_view text;
  uint32_t tick = 0;
  bool valid = false;
};

// The record prefixes of a line: "@" and "#" when valid, "?" and double
// quote otherwise.
char GpsFirstPrefix(bool valid);
char GpsNextPrefix(bool valid);

// The logging reader's view of the assembled lines: an empty line is no line
// at all, and each line comes with its tick and checksum verdict.
class GpsLineAssembler {
 public:
  // Takes a byte received at `tick`; true when it completed a line, which
  // Line() then holds until the next completed one.
  bool Push(uint8_t byte, uint32_t tick) { return lines_.Push(byte, tick) && !lines_.Line().empty(); }
  GpsLine Line() const;

 private:
  NmeaLineAssembler lines_;
};

// True when `line` starts with "$", has a "*" and the two hex digits after it
// (either case) equal the XOR of the characters between.
bool GpsLineValid(std::string_view line);

// What GpsReader works with instead of globals.
struct GpsReaderContext {
  Port* port = nullptr;
  GpsFixState* fix = nullptr;                               // usually &GpsFix
  const std::atomic<int32_t>* calibration_state = nullptr;  // nothing is posted while not 0
  WindowHandle window = nullptr;                            // the logging window
  DataFile* file = nullptr;                                 // the run's data file
};

// Handles one complete line: stores it as the last sentence, posts it
// (unless calibrating) and, while recording, writes its record group.
// Returns false when that write failed (counted in FailedWrites).
bool HandleGpsLine(const GpsReaderContext& context, const GpsLine& line);

// The thread body: reads until the port closes, then returns 0 with
// GpsReaderRunning at 2.
int GpsReader(const GpsReaderContext& context);

}  // namespace tq
