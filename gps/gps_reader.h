// The GPS reader of a logging run: NMEA lines assembled from the GPS port,
// checked, posted to the logging window and, while logging, recorded in the
// data file as GPS record groups.
#pragma once

#include <array>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "gps/gps_fix.h"
#include "platform/messages.h"
#include "platform/serial.h"
#include "survey/data_file.h"

namespace tq {

// A line restarts when more than this many characters arrive without a line
// end; such a line is kept whole in the data file (up to 201 characters) and
// shown cut to 127.
inline constexpr size_t kGpsLineRestart = 200;

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

// Assembles lines one byte at a time. "$" always starts a new line; a line
// feed ends one, dropping a carriage return before it. A line that is empty
// once its line end is dropped is no line at all.
class GpsLineAssembler {
 public:
  // Takes a byte received at `tick`; true when it completed a line, which
  // Line() then holds until the next Push.
  bool Push(uint8_t byte, uint32_t tick);
  GpsLine Line() const;

 private:
  std::array<char, kGpsLineRestart + 1> line_{};
  size_t index_ = 0;
  size_t length_ = 0;  // of the completed line
  uint32_t tick_ = 0;
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
