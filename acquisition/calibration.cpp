#include "acquisition/calibration.h"

#include "acquisition/reading_steps_panel.h"
#include "settings/build_config.h"

namespace tq {
namespace {

constexpr uint32_t kSampleMs = 2000;
constexpr uint32_t kPrepareMs = 1000;
constexpr uint32_t kTurnMs = 60000;
constexpr uint32_t kEndMs = 3000;
constexpr int32_t kFewestSamples = 30;
constexpr int32_t kBeepsPerSignal = 3;

// Offsets O1..O6 by their names.
enum Offset : size_t { kO1, kO2, kO3, kO4, kO5, kO6 };

void Sample(CalibrationProcedure& p, CalibrationSums& sums, const Reading& r, char dipole,
            CalibrationText text, const SettingsStore& s, bool portrait,
            CalibrationFrameOutcome& out) {
  if (r.dipole == dipole) {
    ++p.samples;
    sums.Add(r);
  }
  out.centred = text;
  out.values = true;
  FormatBinaryValues(r, s, portrait, out.panel);
}

void Beep(CalibrationFrameOutcome& out, uint32_t type) {
  out.beeps = kBeepsPerSignal;
  out.beep_type = type;
}

void End(CalibrationProcedure& p, CalibrationFrameOutcome& out) {
  p.CalibrationPhase = 0;
  p.CalibrationStep = 0;
  out.ended = true;
  Beep(out, kCalibrationEndBeep);
}

CalibrationText FailureText(int32_t step) {
  switch (step) {
    case kCalVerticalFailed: return CalibrationText::kVerticalFailed;
    case kCalHorizontalFailed: return CalibrationText::kHorizontalFailed;
    default: return CalibrationText::kNotDetected;
  }
}

void VerticalStep(CalibrationProcedure& p, const Reading& r, uint32_t now, SettingsStore& s,
                  bool portrait, CalibrationFrameOutcome& out) {
  // Tick differences are taken modulo 2^32, so a wrapping tick is harmless.
  const uint32_t elapsed = now - p.t0;
  if (elapsed <= kSampleMs) {
    Sample(p, p.vertical, r, 'V', CalibrationText::kVertical, s, portrait, out);
    return;
  }
  p.CalibrationPhase = 2;
  p.t0 = now;
  if (p.samples < kFewestSamples) {
    p.CalibrationStep = kCalVerticalFailed;
    return;
  }
  const double n = p.samples;
  s.Mk2Calibration[kO3] = static_cast<float>(p.vertical.inphase / n);
  s.Mk2Calibration[kO4] = static_cast<float>(p.vertical.inphase2 / n);
  p.vertical_conductivity = p.vertical.conductivity / n;
  p.vertical_conductivity2 = p.vertical.conductivity2 / n;
  p.CalibrationStep = kCalWaitHorizontal;
  out.centred = CalibrationText::kRotate;
  Beep(out, kCalibrationPromptBeep);
}

void HorizontalStep(CalibrationProcedure& p, const Reading& r, uint32_t now, SettingsStore& s,
                    bool portrait, Mk2Offsets& previous, CalibrationFrameOutcome& out) {
  const uint32_t elapsed = now - p.t0;
  switch (p.CalibrationStep) {
    case kCalWaitHorizontal:
      if (r.dipole == 'H') {
        p.CalibrationStep = kCalPreparing;
        p.t0 = now;
      } else if (elapsed > kTurnMs) {
        p.CalibrationStep = kCalNotDetected;
        p.t0 = now;
      }
      return;
    case kCalPreparing:
      // The operator's hands settle before anything is counted.
      if (elapsed <= kPrepareMs) {
        out.centred = CalibrationText::kPreparing;
      } else {
        p.CalibrationStep = kCalMeasuring;
        p.t0 = now;
        p.samples = 0;
      }
      return;
    case kCalMeasuring:
      if (elapsed > kSampleMs) {
        if (p.samples >= kFewestSamples) {
          const double n = p.samples;
          Mk2Offsets& o = s.Mk2Calibration;
          o[kO5] = static_cast<float>(p.horizontal.inphase / n);
          o[kO6] = static_cast<float>(p.horizontal.inphase2 / n);
          o[kO1] = static_cast<float>(p.vertical_conductivity - 2.0 * (p.horizontal.conductivity / n));
          o[kO2] = static_cast<float>(p.vertical_conductivity2 - 2.0 * (p.horizontal.conductivity2 / n));
          previous = p.backup;
          out.succeeded = true;
          p.CalibrationStep = kCalCompleted;
          p.t0 = now;
          return;
        }
        p.CalibrationStep = kCalHorizontalFailed;
        p.t0 = now;
      }
      Sample(p, p.horizontal, r, 'H', CalibrationText::kHorizontal, s, portrait, out);
      return;
    case kCalCompleted:
      if (elapsed < kEndMs) {
        out.centred = CalibrationText::kCompleted;
        Beep(out, kCalibrationEndBeep);
      } else {
        End(p, out);
      }
      return;
    default:
      if (elapsed < kEndMs) {
        out.centred = FailureText(p.CalibrationStep);
      } else {
        s.Mk2Calibration = p.backup;
        End(p, out);
      }
      return;
  }
}

}  // namespace

void CalibrationSums::Add(const Reading& r) {
  inphase += r.inphase;
  inphase2 += r.inphase2;
  conductivity += r.conductivity;
  conductivity2 += r.conductivity2;
}

std::string_view CalibrationTextOf(CalibrationText text, bool portrait) {
  switch (text) {
    case CalibrationText::kNone: return "";
    case CalibrationText::kVertical: return "Vertical Calibration";
    case CalibrationText::kRotate:
      return portrait ? "Rotate to Horiz. Mode within 60 s" : "Rotate to Horizontal Mode within 60 seconds";
    case CalibrationText::kPreparing: return "Preparing for Horizontal Calibration";
    case CalibrationText::kHorizontal: return "Horizontal Calibration";
    case CalibrationText::kCompleted: return "Calibration Completed - Wait for Beep";
    case CalibrationText::kVerticalFailed:
      return portrait ? "Vert. Mode Failed - Wait for Beep" : "Vertical Mode Failed - Wait for Beep";
    case CalibrationText::kHorizontalFailed:
      return portrait ? "Hor. Mode Failed - Wait for Beep" : "Horizontal Mode Failed - Wait for Beep";
    case CalibrationText::kNotDetected:
      return portrait ? "Hor. Mode Not Detected - Wait for Beep"
                      : "Horizontal Mode Not Detected - Wait for Beep";
  }
  return "";
}

void BeginCalibration(CalibrationProcedure& p, Mk2Offsets& offsets) {
  p.backup = offsets;
  offsets = Mk2Offsets{};
}

void ConfirmCalibration(CalibrationProcedure& p, uint32_t now) {
  p.CalibrationPhase = 1;
  p.CalibrationStep = 0;
  p.samples = 0;
  p.vertical = CalibrationSums{};
  p.horizontal = CalibrationSums{};
  p.t0 = now;
}

void CancelCalibration(CalibrationProcedure& p, Mk2Offsets& offsets) {
  offsets = p.backup;
  p.CalibrationPhase = 0;
  p.CalibrationStep = 0;
}

CalibrationFrameOutcome CalibrationStepOnFrame(CalibrationProcedure& p,
                                               std::span<const uint8_t> frame, uint32_t now,
                                               SettingsStore& settings, bool portrait,
                                               Mk2Offsets& previous) {
  CalibrationFrameOutcome out;
  out.instrument_mode = FormatInstrumentMode(kKindTq68Mk2, settings, false);
  const Reading r = DecodeBinaryFrame(frame, settings.Mk2Calibration);
  if (p.CalibrationPhase == 1) {
    VerticalStep(p, r, now, settings, portrait, out);
  } else if (p.CalibrationPhase == 2) {
    HorizontalStep(p, r, now, settings, portrait, previous, out);
  }
  return out;
}

void DeleteCalibrationOffsets(Mk2Offsets& offsets, Mk2Offsets& previous) {
  previous = offsets;
  offsets = Mk2Offsets{};
}

}  // namespace tq
