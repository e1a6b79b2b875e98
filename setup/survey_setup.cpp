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
  double value = TypedNumberValue(text);
  if (value <= 0.0) value = 1.0;
  return kind == kKindFrz62 ? std::min(value, 1.0) : value;
}

// An increment of 0 would keep every reading on one station.
double IncrementOfText(const std::string& text) {
  const double value = TypedNumberValue(text);
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
  c.frame_period_ms = s.FramePeriodMs;
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
    const double rate = RateOfText(kind, text);
    copies.readings_per_second = NarrowToFloat(rate);
    if (kind == kKindFrz62) {
      if (TypedNumberValue(text) > 1.0) return FormatFixed(1.0, 2);
    } else if (ParseTypedNumber(text) && ReadingsPerSecondRange(kind).Holds(rate)) {
      std::string real = FormatFixed(RealReadingRate(rate, copies.frame_period_ms), 2);
      if (real != text) return real;
    }
  } else if (copies.mode == kSurveyManual) {
    copies.samples = static_cast<int32_t>(std::clamp(TypedNumberValue(text), 1.0, 1.0e6));
  }
  return std::nullopt;
}

std::optional<std::string> EditIncrementText(SurveySetupCopies& copies, const std::string& text) {
  copies.increment_shown = NarrowToFloat(IncrementOfText(text));
  copies.increments[static_cast<size_t>(copies.mode)] = copies.increment_shown;
  if (std::optional<TypedNumber> typed = ParseTypedNumber(text); typed && typed->value == 0.0) {
    return FormatFixed(1.0, 3);
  }
  return std::nullopt;
}

NumberRange ReadingsPerSecondRange(int32_t kind) {
  // Two decimals of the fastest rate: a typed rate up to them still takes one
  // frame a reading, and the box names the limit as the field shows it.
  return NumberRange{0.01, std::round(FastestReadingRate(kind) * 100.0) / 100.0};
}

std::optional<Refusal<SurveySetupField>> CheckSurveySetup(int32_t kind, const SurveySetupEntry& entry) {
  using enum SurveySetupField;
  const int32_t mode = SurveyModeOfPosition(kind, entry.mode_position);
  struct Number {
    SurveySetupField field;
    const std::string& text;
    std::string label;
    NumberRule rule;
  };
  // A rate of 0 or less stands for 1 and the FRZ62 reads once a second
  // whatever is typed: the range applies to what the rate field's rule makes
  // of the number. Samples are clamped to 1..100, so only a fraction is refused.
  if (mode == kSurveyAuto) {
    if (auto refused = CheckTypedNumber("Readings/s", entry.rate, NumberRule{kAnyNumber})) {
      return Refusal<SurveySetupField>{kRate, *refused};
    }
    const NumberRange range = ReadingsPerSecondRange(kind);
    if (!range.Holds(RateOfText(kind, entry.rate))) {
      return Refusal<SurveySetupField>{kRate, OutOfRangeText("Readings/s", range)};
    }
  } else if (mode == kSurveyManual) {
    if (auto refused = CheckTypedNumber("Samples/Rdg", entry.rate, NumberRule{kAnyNumber, 0})) {
      return Refusal<SurveySetupField>{kRate, *refused};
    }
  }
  if (auto refused = CheckTypedText("Survey Line", CutSurveyLine(entry.line))) {
    return Refusal<SurveySetupField>{kLine, *refused};
  }
  const Number numbers[] = {
      {kLineIncrement, entry.line_increment, "Line Increment", kLineIncrementRule},
      {kStartStation, entry.start_station, "Start Station", kStationRule},
      {kStationIncrement, entry.station_increment, IncrementLabel(kind, mode), kStationIncrementRule},
  };
  for (const Number& n : numbers) {
    if (auto refused = CheckTypedNumber(n.label, n.text, n.rule)) {
      return Refusal<SurveySetupField>{n.field, *refused};
    }
  }
  return std::nullopt;
}

void ApplySurveySetup(SettingsStore& s, const BuildConfig& build, const SurveySetupEntry& entry) {
  const int32_t kind = build.InstrumentKind;
  const int32_t mode = SurveyModeOfPosition(kind, entry.mode_position);
  s.SurveyMode = mode;
  s.SurveyDialogMode = mode;
  if (mode == kSurveyAuto) {
    s.ReadingInterval = SettingsFileFloat(1.0 / RateOfText(kind, entry.rate));
    UpdateReadingTiming(s, build);
  } else if (mode == kSurveyManual) {
    s.SamplesPerReading =
        static_cast<int32_t>(std::clamp(std::trunc(TypedNumberValue(entry.rate)), 1.0, 100.0));
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
  s.LineIncrement = NarrowToFloat(TypedNumberValue(entry.line_increment));
  if (entry.sequence >= 0) s.Sequence = entry.sequence;
  if (entry.direction >= 0) s.Direction = entry.direction;
  s.StartStation = TypedNumberValue(entry.start_station);
  s.CurrentStation = s.StartStation;
  s.StationIncrement = NarrowToFloat(IncrementOfText(entry.station_increment));
  switch (mode) {
    case kSurveyAuto: s.AutoStationIncrement = s.StationIncrement; break;
    case kSurveyWheel: s.WheelStationIncrement = s.StationIncrement; break;
    default: s.ManualStationIncrement = s.StationIncrement; break;
  }
}

}  // namespace tq
