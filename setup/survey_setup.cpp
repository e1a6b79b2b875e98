#include "setup/survey_setup.h"

#include <algorithm>
#include <cfloat>
#include <cmath>

#include "platform/text.h"

namespace tq {
namespace {

bool TwoModes(int32_t kind) { return kind == kKindFrz62 || kind == kKindTq68Mk2; }
bool ComponentFollowsMode(int32_t kind) { return kind == kKindTq68dd || kind == kKindTq68; }

// The rate the field's text stands for: 0 or less has no interval, and one
// reading a second is the nearest sensible one; the FRZ62 reads no faster.
double RateOfText(int32_t kind, const std::string& text) {
  double value = ParseSettingsNumber(text);
  if (value <= 0.0) value = 1.0;
  return kind == kKindFrz62 ? std::min(value, 1.0) : value;
}

// An increment of 0 would keep every reading on one station.
double IncrementOfText(const std::string& text) {
  const double value = ParseSettingsNumber(text);
  return value == 0.0 ? 1.0 : value;
}

float NarrowToFloat(double value) {
  return static_cast<float>(std::clamp(value, -static_cast<double>(FLT_MAX), static_cast<double>(FLT_MAX)));
}

}  // namespace

std::vector<std::string> SurveyModeEntries(int32_t kind) {
  if (TwoModes(kind)) return {"Auto", "Manual"};
  return {"Auto", "Wheel", "Manual"};
}

int32_t SurveyModeOfPosition(int32_t kind, int32_t position) {
  if (TwoModes(kind)) {
    if (position != 1) return kSurveyAuto;
    return kind == kKindTq68Mk2 ? kSurveyManual : kSurveyWheel;
  }
  return position >= kSurveyAuto && position <= kSurveyManual ? position : kSurveyAuto;
}

int32_t PositionOfSurveyMode(int32_t kind, int32_t mode) {
  if (TwoModes(kind)) return mode == kSurveyAuto ? 0 : 1;
  return mode >= kSurveyAuto && mode <= kSurveyManual ? mode : 0;
}

std::vector<std::string> ComponentEntries(int32_t kind, int32_t mode) {
  if (kind == kKindTq62) return {"Both", "Inphase"};
  if (!ComponentFollowsMode(kind)) return {};
  if (mode == kSurveyManual) return {"Both", "Inphase", "Conductivity"};
  return {"Inphase", "Conductivity"};
}

int32_t ComponentPosition(int32_t kind, int32_t mode, int32_t component) {
  return ComponentFollowsMode(kind) && mode != kSurveyManual ? component - 1 : component;
}

int32_t ComponentOfPosition(int32_t kind, int32_t mode, int32_t position) {
  return ComponentFollowsMode(kind) && mode != kSurveyManual ? position + 1 : position;
}

std::vector<std::string> DipoleEntries(int32_t kind, int32_t mode) {
  if (kind == kKindTq68dd || kind == kKindFrz62) return {};
  if (kind == kKindTq64) {
    if (mode == kSurveyManual) {
      return {"1 reading", "2 readings", "3 readings", "4 readings", "5 readings", "6 readings"};
    }
    return {"Vert-10m", "Vert-20m", "Vert-40m", "Horiz-10m", "Horiz-20m", "Horiz-40m"};
  }
  if (mode == kSurveyManual) return {"Vertical", "Horizontal", "Both"};
  return {"Vertical", "Horizontal"};
}

std::string SurveyModeLabel(int32_t kind) {
  switch (kind) {
    case kKindTq68: return "TQ68 Mode";
    case kKindTq64: return "TQ64-3 Mode";
    case kKindFrz62: return "FRZ62 Mode";
    case kKindTq68Mk2: return "TQ68/2 Mode";
    default: return {};
  }
}

std::string DipoleLabel(int32_t kind, int32_t mode) {
  if (kind != kKindTq64) return {};
  return mode == kSurveyManual ? "Configuration" : "Dipole/Separ.";
}

SurveySetupCopies TakeSurveySetupCopies(const SettingsStore& s, int32_t kind) {
  SurveySetupCopies c;
  c.mode = SurveyModeOfPosition(kind, PositionOfSurveyMode(kind, s.SurveyMode));
  c.readings_per_second = s.ReadingInterval > 0.0f ? 1.0f / s.ReadingInterval : 1.0f;
  c.samples = s.SamplesPerReading;
  c.increment_shown = s.StationIncrement;
  c.increments = {s.AutoStationIncrement, s.WheelStationIncrement, s.ManualStationIncrement};
  c.component_position = ComponentPosition(kind, c.mode, s.Component);
  c.dipole = s.DipoleMode;
  return c;
}

RateField RateFieldFor(int32_t kind, const SurveySetupCopies& copies, bool opening) {
  (void)kind;
  switch (copies.mode) {
    case kSurveyAuto:
      return {"Readings/s", FormatFixed(copies.readings_per_second, 2), false};
    case kSurveyManual:
      return {opening ? "Sample/Rdg" : "Samples/Rdg", std::to_string(copies.samples), false};
    default:
      return {"Readings/s", "Not Available", true};
  }
}

std::string IncrementLabel(int32_t kind, int32_t mode) {
  if (mode == kSurveyWheel && kind != kKindFrz62) return "Wheel Inc.";
  return "Stn Increment";
}

bool ChangeSurveyMode(SurveySetupCopies& copies, int32_t kind, int32_t new_mode) {
  if (new_mode == copies.mode || new_mode < kSurveyAuto || new_mode > kSurveyManual) return false;
  const bool was_manual = copies.mode == kSurveyManual;
  const bool now_manual = new_mode == kSurveyManual;
  if (ComponentFollowsMode(kind) && was_manual != now_manual) {
    // The position keeps naming the same component: "Both" has no place in
    // the short list and gives way to its first entry.
    copies.component_position =
        now_manual ? copies.component_position + 1 : std::max(0, copies.component_position - 1);
  }
  if (kind != kKindTq64 && was_manual && !now_manual && copies.dipole == 2) copies.dipole = 0;
  copies.increments[static_cast<size_t>(copies.mode)] = copies.increment_shown;
  copies.increment_shown = copies.increments[static_cast<size_t>(new_mode)];
  copies.mode = new_mode;
  return true;
}

std::optional<std::string> EditRateText(SurveySetupCopies& copies, int32_t kind, const std::string& text) {
  if (copies.mode == kSurveyAuto) {
    copies.readings_per_second = NarrowToFloat(RateOfText(kind, text));
    if (kind == kKindFrz62 && ParseSettingsNumber(text) > 1.0) return FormatFixed(1.0, 2);
  } else if (copies.mode == kSurveyManual) {
    copies.samples = static_cast<int32_t>(std::clamp(ParseSettingsNumber(text), 1.0, 1.0e6));
  }
  return std::nullopt;
}

std::optional<std::string> EditIncrementText(SurveySetupCopies& copies, const std::string& text) {
  copies.increment_shown = NarrowToFloat(IncrementOfText(text));
  copies.increments[static_cast<size_t>(copies.mode)] = copies.increment_shown;
  if (ParseSettingsNumber(text) == 0.0) return FormatFixed(1.0, 3);
  return std::nullopt;
}

NumberRange ReadingsPerSecondRange(int32_t kind) {
  return NumberRange{0.01, static_cast<double>(MaxReadingsPerSecond(kind))};
}

std::optional<Refusal<SurveySetupNumber>> CheckSurveySetup(int32_t kind, const SurveySetupEntry& entry) {
  const int32_t mode = SurveyModeOfPosition(kind, entry.mode_position);
  struct Number {
    SurveySetupNumber field;
    double value;
    std::string label;
    NumberRange range;
  };
  std::vector<Number> numbers;
  if (mode == kSurveyAuto) {
    numbers.push_back({SurveySetupNumber::kRate, RateOfText(kind, entry.rate), "Readings/s",
                       ReadingsPerSecondRange(kind)});
  }
  numbers.push_back({SurveySetupNumber::kLineIncrement, ParseSettingsNumber(entry.line_increment),
                     "Line Increment", kIncrementRange});
  numbers.push_back({SurveySetupNumber::kStartStation, ParseSettingsNumber(entry.start_station),
                     "Start Station", kStationRange});
  numbers.push_back({SurveySetupNumber::kStationIncrement, IncrementOfText(entry.station_increment),
                     IncrementLabel(kind, mode), kIncrementRange});
  for (const Number& n : numbers) {
    if (!n.range.Holds(n.value)) return Refusal<SurveySetupNumber>{n.field, OutOfRangeText(n.label, n.range)};
  }
  return std::nullopt;
}

void ApplySurveySetup(SettingsStore& s, const BuildConfig& build, const SurveySetupEntry& entry) {
  const int32_t kind = build.InstrumentKind;
  const int32_t mode = SurveyModeOfPosition(kind, entry.mode_position);
  s.SurveyMode = mode;
  s.SurveyDialogMode = mode;
  if (mode == kSurveyAuto) {
    s.ReadingInterval = NarrowToFloat(1.0 / RateOfText(kind, entry.rate));
    UpdateReadingTiming(s, build);
  } else if (mode == kSurveyManual) {
    s.SamplesPerReading =
        static_cast<int32_t>(std::clamp(std::trunc(ParseSettingsNumber(entry.rate)), 1.0, 100.0));
  }
  if (kind == kKindTq62 || ComponentFollowsMode(kind)) {
    if (entry.component_position >= 0) {
      s.Component = ComponentOfPosition(kind, mode, entry.component_position);
    }
  } else if (kind == kKindTq68Mk2) {
    s.Component = 0;
  }
  if (kind != kKindTq68dd && kind != kKindFrz62 && entry.dipole_position >= 0) {
    s.DipoleMode = entry.dipole_position;
  }
  s.SurveyLine = CutSurveyLine(entry.line);
  s.LineIncrement = NarrowToFloat(ParseSettingsNumber(entry.line_increment));
  if (entry.sequence >= 0) s.Sequence = entry.sequence;
  if (entry.direction >= 0) s.Direction = entry.direction;
  s.StartStation = ParseSettingsNumber(entry.start_station);
  s.CurrentStation = s.StartStation;
  s.StationIncrement = NarrowToFloat(IncrementOfText(entry.station_increment));
  switch (mode) {
    case kSurveyAuto: s.AutoStationIncrement = s.StationIncrement; break;
    case kSurveyWheel: s.WheelStationIncrement = s.StationIncrement; break;
    default: s.ManualStationIncrement = s.StationIncrement; break;
  }
}

}  // namespace tq
