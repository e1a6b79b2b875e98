// The survey position: the current line and station, how stations advance as
// readings are logged, and what the "New Line" and "New Station" dialogs change.
//
// The line fields, StartStation, StationIncrement, CurrentStation and
// ReadingsPerStation live in the settings store; the two counters of the
// station group being taken are run-time only and live in StationGroup.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "settings/build_config.h"
#include "settings/settings.h"
#include "survey/typed_fields.h"

namespace tq {

// Progress through the station group being taken.
struct StationGroup {
  int32_t StationReadingCount = 0;  // readings logged at the current station
  int32_t AdvanceArmed = 0;         // 0 right after a line or station was set
};

// A view over the fields that make up the position.
struct SurveyPosition {
  SettingsStore& settings;
  StationGroup& group;
};

// The character that replaces a reading record's first character: '2'..'6'
// for the second to sixth reading of a station, kNoMarkerDigit for the first.
using MarkerDigit = char;
inline constexpr MarkerDigit kNoMarkerDigit = '\0';

// Counts one reading written to the data file and advances the station when
// its group completes (kind 6: every reading, no grouping). Returns its digit;
// readings past the sixth of a station keep '6'.
MarkerDigit OnReadingLogged(SurveyPosition position, int32_t kind);

// What the "New Line" dialog shows when it opens.
struct NewLineProposal {
  std::string current_line;       // SurveyLine as stored
  std::string last_station;       // "%.3f"
  std::string new_line;           // "%.2f"
  std::string line_increment;     // "%.2f"
  int32_t sequence = 0;           // list position, 0 "Alternate", 1 "One Way"
  int32_t direction = 0;          // list position, "West", "South", "North", "East"
  std::string start_station;      // "%.3f"
  std::string station_increment;  // "%.3f"
};

NewLineProposal ProposeNewLine(const SettingsStore& settings);

// The texts and choices of an accepted "New Line" dialog.
struct NewLineEntry {
  std::string line;
  std::string line_increment;
  int32_t sequence = 0;
  int32_t direction = 0;
  std::string start_station;
  std::string station_increment;
};

// Applies an accepted "New Line" dialog (line cut to 11 characters, numbers
// read by TypedNumberValue), disarms the advance and saves the settings.
// Returns false when the settings file could not be written; the position
// has changed all the same.
bool AcceptNewLine(SurveyPosition position, const BuildConfig& build, const NewLineEntry& entry);

// Applies an accepted "New Station" dialog: CurrentStation from the text
// (TypedNumberValue) and the advance disarmed.
void AcceptNewStation(SurveyPosition position, std::string_view station);

// --- What the records can hold -----------------------------------------------
//
// Each number typed for the position goes into a record field of fixed width
// and decimals. One that its field cannot hold as typed is refused at OK: cut
// short, or pushing the next field along, it would read back as another
// number, and rounded it would put the readings at other stations than the
// panel shows. A line name goes into "L" and the settings file as 8-bit text.

// Stations: "B" and "S" write them with "%11.2f".
inline constexpr NumberRange kStationRange{-9999999.99, 99999999.99};
inline constexpr NumberRule kStationRule{kStationRange, 2};
// Station and line increments, kept as float32. "A" writes the station
// increment with "%11.3f", whose most negative number is -999999.999; a
// float32 holds whole numbers of this size exactly, and the same range both
// ways keeps the negated increment of an "Alternate" proposal within it. The
// line increment shares it, so that the next line's proposal stays a name of
// a few characters.
inline constexpr NumberRange kIncrementRange{-999999.0, 999999.0};
inline constexpr NumberRule kStationIncrementRule{kIncrementRange, 3, true};
// The line increment is shown and proposed with "%.2f": a third decimal would
// be rounded away by the next "New Line" accepted as proposed.
inline constexpr NumberRule kLineIncrementRule{kIncrementRange, 2, true};

enum class NewLineField { kLine, kLineIncrement, kStartStation, kStationIncrement };

// The first field of the entry, in the dialog's order, that cannot hold what
// was typed (CheckTypedText, CheckTypedNumber); nothing when all fit.
std::optional<Refusal<NewLineField>> CheckNewLine(const NewLineEntry& entry);

// What refuses a "New Station" entry that the "S" record cannot hold; nothing
// when it fits.
std::optional<std::string> CheckNewStation(std::string_view station);

}  // namespace tq
