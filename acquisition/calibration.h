// The TQ68-MK2 field calibration: the operator holds the instrument vertical,
// then turns it horizontal; averages of each orientation give the offsets
// O1..O6. One step per reading while the procedure runs, over a procedure
// record and the time the caller reads from its clock. Pure: the window draws
// and beeps what a step returns and saves and records the offsets on success.
#pragma once

#include <cstdint>
#include <span>
#include <string_view>

#include "instrument/decoding.h"
#include "acquisition/reading_steps.h"
#include "settings/settings.h"

namespace tq {

// Sums of one orientation's readings.
struct CalibrationSums {
  double inphase = 0.0;
  double inphase2 = 0.0;
  double conductivity = 0.0;
  double conductivity2 = 0.0;
  void Add(const Reading& r);
};

// CalibrationStep values of the horizontal phase.
enum CalibrationSteps : int32_t {
  kCalWaitHorizontal = 0,
  kCalPreparing = 1,
  kCalMeasuring = 2,
  kCalCompleted = 3,
  kCalVerticalFailed = 4,
  kCalHorizontalFailed = 5,
  kCalNotDetected = 6,
};

struct CalibrationProcedure {
  int32_t CalibrationPhase = 0;  // 1 vertical, 2 horizontal, 0 idle
  int32_t CalibrationStep = 0;
  int32_t samples = 0;
  CalibrationSums vertical;
  CalibrationSums horizontal;
  double vertical_conductivity = 0.0;   // means kept from the vertical phase
  double vertical_conductivity2 = 0.0;
  uint32_t t0 = 0;                      // start of the current step
  Mk2Offsets backup{};                  // the offsets before the start
};

// The centred texts of the procedure.
enum class CalibrationText {
  kNone,
  kVertical,
  kRotate,
  kPreparing,
  kHorizontal,
  kCompleted,
  kVerticalFailed,
  kHorizontalFailed,
  kNotDetected,
};

// The text in the screen orientation (`portrait` has the short forms).
std::string_view CalibrationTextOf(CalibrationText text, bool portrait);

// MessageBeep types of the procedure.
inline constexpr uint32_t kCalibrationPromptBeep = 48;
inline constexpr uint32_t kCalibrationEndBeep = 16;

// What the window does for one reading.
struct CalibrationFrameOutcome {
  FieldText instrument_mode;                      // "Mode:%c", every frame
  CalibrationText centred = CalibrationText::kNone;
  bool values = false;                            // draw panel's value lines
  PanelUpdate panel;                              // "Ver"/"Hor" and the value lines
  int32_t beeps = 0;                              // this many beeps of beep_type
  uint32_t beep_type = 0;
  bool succeeded = false;  // save the settings and write the calibration records
  bool ended = false;      // back to normal: CalibrationState 0, three end beeps, repaint
};

// The question box of StartCalibration.
inline constexpr std::string_view kCalibrationCaption = "CALIBRATION";
inline constexpr std::string_view kCalibrationQuestion =
    "Place  TQ68-MK2  on  Monopod\r\nin  Vertical  Dipole  Mode\r\nand  press  YES  when  ready\r\n";
inline constexpr std::string_view kDeleteCalibrationCaption = "Delete Calibration";
inline constexpr std::string_view kDeleteCalibrationQuestion =
    "Are you sure you want to\r\ndelete Calibration factors ?\r\npress  YES  or  NO\r\n";

// Before the question: the offsets are kept as the backup and zeroed, so the
// readings of the procedure are raw.
void BeginCalibration(CalibrationProcedure& p, Mk2Offsets& offsets);
// Yes: the vertical phase starts now with empty sums.
void ConfirmCalibration(CalibrationProcedure& p, uint32_t now);
// No: the offsets come back from the backup and nothing runs.
void CancelCalibration(CalibrationProcedure& p, Mk2Offsets& offsets);

// One reading `frame` at `now`. `settings.Mk2Calibration` receives the new
// offsets on success (with `previous` set to the backup) and the backup on
// every failure; `portrait` picks the short texts.
CalibrationFrameOutcome CalibrationStepOnFrame(CalibrationProcedure& p,
                                               std::span<const uint8_t> frame, uint32_t now,
                                               SettingsStore& settings, bool portrait,
                                               Mk2Offsets& previous);

// Delete: the previous offsets take the current ones, which become 0.
void DeleteCalibrationOffsets(Mk2Offsets& offsets, Mk2Offsets& previous);

}  // namespace tq
