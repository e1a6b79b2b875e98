// What the survey setup dialog shows and what its OK stores, per instrument
// kind: the lists and their mode mappings, the rate and increment fields, the
// working copies the dialog keeps while it is open, and the settings its OK
// writes. Pure functions; setup_dialogs.h draws them.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "settings/build_config.h"
#include "settings/settings.h"
#include "survey/survey_position.h"

namespace tq {

inline constexpr int32_t kSurveyAuto = 0;
inline constexpr int32_t kSurveyWheel = 1;
inline constexpr int32_t kSurveyManual = 2;

// The mode list: "Auto", "Wheel", "Manual", or "Auto", "Manual" on the FRZ62
// and the TQ68-MK2.
std::vector<std::string> SurveyModeEntries(int32_t kind);
// The stored mode of a list position: the TQ68-MK2's "Manual" is mode 2, the
// FRZ62's is mode 1. A position outside the list reads as "Auto".
int32_t SurveyModeOfPosition(int32_t kind, int32_t position);
// The list position that shows `mode` (the FRZ62 shows mode 2 as "Manual").
int32_t PositionOfSurveyMode(int32_t kind, int32_t mode);

// The component list for the mode; empty for kinds without one.
std::vector<std::string> ComponentEntries(int32_t kind, int32_t mode);
// The position of `component` in that list, and back; the TQ68-DD's and
// TQ68's short list outside Manual starts at "Inphase".
int32_t ComponentPosition(int32_t kind, int32_t mode, int32_t component);
int32_t ComponentOfPosition(int32_t kind, int32_t mode, int32_t position);

// The dipole list for the mode; empty for the TQ68-DD and the FRZ62.
std::vector<std::string> DipoleEntries(int32_t kind, int32_t mode);

// Label 600 for the kind; empty where the template's text stays.
std::string SurveyModeLabel(int32_t kind);
// Label 603 for the TQ64-3 in `mode`; empty for the other kinds.
std::string DipoleLabel(int32_t kind, int32_t mode);

// What the dialog holds while open; only OK commits any of it.
struct SurveySetupCopies {
  int32_t mode = kSurveyAuto;       // the mode shown
  float readings_per_second = 5.0f;
  int32_t samples = 10;
  float increment_shown = 1.0f;
  std::array<float, 3> increments{};  // Auto, Wheel, Manual
  int32_t component_position = 0;
  int32_t dipole = 0;
  float frame_period_ms = kLongAsciiFrame.period_ms;  // of the frames in force, for the real rate
};

SurveySetupCopies TakeSurveySetupCopies(const SettingsStore& s, int32_t kind);

// The rate field 621 and its label 601 for the mode shown. `opening` gives
// the label the dialog opens with in Manual ("Sample/Rdg"); a mode change
// relabels it "Samples/Rdg".
struct RateField {
  std::string label;
  std::string text;
  bool read_only = false;
};
RateField RateFieldFor(int32_t kind, const SurveySetupCopies& copies, bool opening);

// Label 609 after a mode change: "Wheel Inc." for mode 1 (not on the FRZ62),
// else "Stn Increment".
std::string IncrementLabel(int32_t kind, int32_t mode);

// A new mode chosen in the list: the increment shown goes to the old mode's
// copy and the new mode's copy is shown; the component position follows the
// list that is rebuilt; a dipole choice of "Both" falls back to "Vertical"
// when leaving Manual. Returns false when `new_mode` is the mode shown.
bool ChangeSurveyMode(SurveySetupCopies& copies, int32_t kind, int32_t new_mode);

// The text of 621 and 629 as it changes: the working copies follow it, a rate
// of 0 or less counting as 1 (at most 1 on the FRZ62) and an increment of 0
// as 1. Each returns the text the field must show instead, when it must; the
// dialog shows it once the operator leaves the field, never while typing.
// A rate in Auto mode is shown as the readings a second really logged in
// whole frames ("%.2f"); a text the field cannot take is left for OK to refuse.
std::optional<std::string> EditRateText(SurveySetupCopies& copies, int32_t kind, const std::string& text);
std::optional<std::string> EditIncrementText(SurveySetupCopies& copies, const std::string& text);

// What the dialog's controls hold at OK; a list position of -1 (no choice,
// or no such list in the template) keeps what is stored.
struct SurveySetupEntry {
  int32_t mode_position = 0;
  std::string rate;
  int32_t component_position = -1;
  int32_t dipole_position = -1;
  std::string line;
  std::string line_increment;
  int32_t sequence = -1;
  int32_t direction = -1;
  std::string start_station;
  std::string station_increment;
};

// Readings a second in Auto mode: at most what the kind can really log as the
// field's two decimals show it, and at least what they show (a slower rate
// would show as 0.00 and come back as 1 at the next OK).
NumberRange ReadingsPerSecondRange(int32_t kind);

enum class SurveySetupField { kRate, kLine, kLineIncrement, kStartStation, kStationIncrement };

// OK's check: the first field of the entry, in the dialog's order, that cannot
// hold what was typed once the rules of the fields are applied (the rate
// counts in Auto mode, the samples, a whole number, in Manual mode); nothing
// when all fit.
std::optional<Refusal<SurveySetupField>> CheckSurveySetup(int32_t kind, const SurveySetupEntry& entry);

// OK, with an entry that passed the check: writes it into `s` (mode, rate or
// samples with the reading timing, component, dipole, line cut to 11
// characters, line increment, sequence, direction, start and current station,
// the mode's increment, 0 counting as 1). The caller saves the settings and
// disarms the station advance.
void ApplySurveySetup(SettingsStore& s, const BuildConfig& build, const SurveySetupEntry& entry);

}  // namespace tq
