#include "survey/survey_position.h"

#include <algorithm>
#include <limits>

#include "platform/text.h"

namespace tq {
namespace {

constexpr int32_t kDirectionCount = 4;

float ToFloat(double value) {
  return static_cast<float>(std::clamp(value, -static_cast<double>(std::numeric_limits<float>::max()),
                                       static_cast<double>(std::numeric_limits<float>::max())));
}

// West <-> East, South <-> North; an index outside the list has no opposite.
int32_t OppositeDirection(int32_t direction) {
  return (direction >= 0 && direction < kDirectionCount) ? kDirectionCount - 1 - direction
                                                         : direction;
}

}  // namespace

MarkerDigit OnReadingLogged(SurveyPosition position, int32_t kind) {
  SettingsStore& s = position.settings;
  StationGroup& group = position.group;
  MarkerDigit digit = kNoMarkerDigit;
  if (kind == kKindFrz62) {
    if (group.AdvanceArmed == 1) s.CurrentStation += static_cast<double>(s.StationIncrement);
    group.AdvanceArmed = 1;
    return digit;
  }
  int32_t before = group.StationReadingCount;
  group.StationReadingCount = before + 1;
  if (before >= 1) digit = static_cast<MarkerDigit>('1' + std::min(before, 5));
  if (group.StationReadingCount >= s.ReadingsPerStation) {
    if (group.AdvanceArmed == 1) s.CurrentStation += static_cast<double>(s.StationIncrement);
    group.StationReadingCount = 0;
  }
  group.AdvanceArmed = 1;
  return digit;
}

NewLineProposal ProposeNewLine(const SettingsStore& s) {
  NewLineProposal p;
  p.current_line = s.SurveyLine;
  p.last_station = FormatFixed(s.CurrentStation, 3);
  // The line's name is not a typed number: its leading number, if any.
  float next_line = ToFloat(ParseSettingsNumber(s.SurveyLine)) + s.LineIncrement;
  p.new_line = FormatFixed(static_cast<double>(next_line), 2);
  p.line_increment = FormatFixed(static_cast<double>(s.LineIncrement), 2);
  p.sequence = s.Sequence;
  if (s.Sequence == 0) {
    // Alternate: the next line is walked back from where this one ended.
    p.start_station = FormatFixed(s.CurrentStation, 3);
    p.station_increment = FormatFixed(-static_cast<double>(s.StationIncrement), 3);
    p.direction = OppositeDirection(s.Direction);
  } else {
    p.start_station = FormatFixed(s.StartStation, 3);
    p.station_increment = FormatFixed(static_cast<double>(s.StationIncrement), 3);
    p.direction = s.Direction;
  }
  return p;
}

bool AcceptNewLine(SurveyPosition position, const BuildConfig& build, const NewLineEntry& entry) {
  SettingsStore& s = position.settings;
  s.SurveyLine = CutSurveyLine(entry.line);
  s.LineIncrement = ToFloat(TypedNumberValue(entry.line_increment));
  s.Sequence = entry.sequence;
  s.Direction = entry.direction;
  s.StartStation = TypedNumberValue(entry.start_station);
  s.CurrentStation = s.StartStation;
  s.StationIncrement = ToFloat(TypedNumberValue(entry.station_increment));
  position.group.AdvanceArmed = 0;
  // The line's first reading opens its first station: counted on from a
  // group the last line left open, it would carry a "2" and be read back
  // at the station before the line's start.
  position.group.StationReadingCount = 0;
  return SaveSettings(s, build);
}

void AcceptNewStation(SurveyPosition position, std::string_view station) {
  position.settings.CurrentStation = TypedNumberValue(station);
  position.group.AdvanceArmed = 0;
  // Likewise the new station's first reading opens it.
  position.group.StationReadingCount = 0;
}

std::optional<Refusal<NewLineField>> CheckNewLine(const NewLineEntry& entry) {
  if (auto refused = CheckTypedText("New Line", CutSurveyLine(entry.line))) {
    return Refusal<NewLineField>{NewLineField::kLine, *refused};
  }
  struct Number {
    NewLineField field;
    std::string_view text;
    std::string_view label;
    NumberRule rule;
  };
  const Number numbers[] = {
      {NewLineField::kLineIncrement, entry.line_increment, "Line Increment", kLineIncrementRule},
      {NewLineField::kStartStation, entry.start_station, "Start Station", kStationRule},
      {NewLineField::kStationIncrement, entry.station_increment, "Stn Increment", kStationIncrementRule},
  };
  for (const Number& n : numbers) {
    if (auto refused = CheckTypedNumber(n.label, n.text, n.rule)) {
      return Refusal<NewLineField>{n.field, *refused};
    }
  }
  return std::nullopt;
}

std::optional<std::string> CheckNewStation(std::string_view station) {
  return CheckTypedNumber("New Station", station, kStationRule);
}

}  // namespace tq
