#include "survey/survey_position.h"

#include <algorithm>
#include <charconv>
#include <limits>

#include "platform/text.h"

namespace tq {
namespace {

constexpr size_t kStationTextMax = 31;
constexpr int32_t kDirectionCount = 4;

float ParseFloat(std::string_view text) {
  double value = ParseSettingsNumber(text);
  return static_cast<float>(std::clamp(value, -static_cast<double>(std::numeric_limits<float>::max()),
                                       static_cast<double>(std::numeric_limits<float>::max())));
}

double ParseStation(std::string_view text) {
  return ParseSettingsNumber(text.substr(0, kStationTextMax));
}

// The shortest decimal text that reads back as `value`, never in exponent form.
std::string ShortestText(double value) {
  char text[400];
  auto result = std::to_chars(text, text + sizeof text, value, std::chars_format::fixed);
  return std::string(text, result.ptr);
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
  float next_line = ParseFloat(s.SurveyLine) + s.LineIncrement;
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
  s.LineIncrement = ParseFloat(entry.line_increment);
  s.Sequence = entry.sequence;
  s.Direction = entry.direction;
  s.StartStation = ParseSettingsNumber(entry.start_station);
  s.CurrentStation = s.StartStation;
  s.StationIncrement = ParseFloat(entry.station_increment);
  position.group.AdvanceArmed = 0;
  return SaveSettings(s, build);
}

void AcceptNewStation(SurveyPosition position, std::string_view station) {
  position.settings.CurrentStation = ParseStation(station);
  position.group.AdvanceArmed = 0;
}

std::string OutOfRangeText(std::string_view field, NumberRange range) {
  return std::string(field) + " must be from " + ShortestText(range.min) + " to " +
         ShortestText(range.max) + ".";
}

std::optional<Refusal<NewLineNumber>> CheckNewLine(const NewLineEntry& entry) {
  struct Number {
    NewLineNumber field;
    std::string_view text;
    std::string_view label;
    NumberRange range;
  };
  const Number numbers[] = {
      {NewLineNumber::kLineIncrement, entry.line_increment, "Line Increment", kIncrementRange},
      {NewLineNumber::kStartStation, entry.start_station, "Start Station", kStationRange},
      {NewLineNumber::kStationIncrement, entry.station_increment, "Stn Increment", kIncrementRange},
  };
  for (const Number& n : numbers) {
    if (!n.range.Holds(ParseSettingsNumber(n.text))) {
      return Refusal<NewLineNumber>{n.field, OutOfRangeText(n.label, n.range)};
    }
  }
  return std::nullopt;
}

std::optional<std::string> CheckNewStation(std::string_view station) {
  if (kStationRange.Holds(ParseStation(station))) return std::nullopt;
  return OutOfRangeText("New Station", kStationRange);
}

}  // namespace tq
