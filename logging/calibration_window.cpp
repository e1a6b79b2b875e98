#include "logging/calibration_window.h"

#include "acquisition/acquisition_state.h"
#include "shell/shell_state.h"
#include "logging/gps_panel.h"
#include "logging/live_panel.h"
#include "logging/run_state.h"
#include "platform/clock.h"
#include "platform/dialogs.h"
#include "platform/window.h"
#include "settings/build_config.h"
#include "settings/settings.h"

namespace tq {

CalibrationProcedure Calibration;

namespace {

bool Portrait() { return Shell.Portrait == 1; }

void Beeps(int32_t count, uint32_t type) {
  for (int32_t i = 0; i < count; ++i) MessageBeep(type);
}

// The offsets in force are kept in the settings file and, when a file is
// open, in its calibration records beside the ones they replaced.
bool SaveAndRecordOffsets() {
  const bool saved = SaveSettings(Settings, Build());
  const bool written =
      WriteCalibrationLines(DataFileHandle, Settings.Mk2Calibration, Logging.PreviousMk2Offsets).ok;
  return saved && written;
}

void DrawValues(WindowHandle window, const PanelUpdate& u, bool readings_row_free) {
  const PanelLayout& p = PaintedPanelLayout();
  const struct {
    const FieldText& text;
    const PanelField& field;
    bool readings_row;  // shares the row with the message field
  } items[] = {{u.dipole, p.dipole, false},
               {u.conductivity, p.conductivity, true},
               {u.inphase, p.inphase, true},
               {u.conductivity2, p.conductivity2, !Portrait()},
               {u.inphase2, p.inphase2, !Portrait()}};
  for (const auto& item : items) {
    if (!item.text.drawn() || (item.readings_row && !readings_row_free)) continue;
    DrawPanelField(window, item.field, item.text.view());
  }
}

}  // namespace

void StartCalibration(WindowHandle window) {
  BeginCalibration(Calibration, Settings.Mk2Calibration);
  const int answer = MessageBox(window, kCalibrationQuestion, kCalibrationCaption,
                                MB_YESNO | MB_ICONINFORMATION);
  if (answer == IDYES) {
    ConfirmCalibration(Calibration, Tick());
    Acquisition.CalibrationState = -1;
  } else {
    CancelCalibration(Calibration, Settings.Mk2Calibration);
    Acquisition.CalibrationState = 0;
  }
}

bool DeleteCalibration(WindowHandle window) {
  const int answer = MessageBox(window, kDeleteCalibrationQuestion, kDeleteCalibrationCaption,
                                MB_YESNO | MB_ICONEXCLAMATION);
  if (answer != IDYES) return true;
  DeleteCalibrationOffsets(Settings.Mk2Calibration, Logging.PreviousMk2Offsets);
  return SaveAndRecordOffsets();
}

bool CalibrationOnFrame(WindowHandle window, std::span<const uint8_t> frame, bool readings_row_free) {
  const bool portrait = Portrait();
  CalibrationFrameOutcome out = CalibrationStepOnFrame(Calibration, frame, Tick(), Settings, portrait,
                                                      Logging.PreviousMk2Offsets);
  const PanelLayout& p = PaintedPanelLayout();
  DrawPanelField(window, p.instrument_mode, out.instrument_mode.view());
  bool ok = true;
  if (out.succeeded) ok = SaveAndRecordOffsets();
  if (out.centred != CalibrationText::kNone) {
    DrawCentredOnGpsRow(window, CalibrationTextOf(out.centred, portrait));
  }
  if (out.values) DrawValues(window, out.panel, readings_row_free);
  Beeps(out.beeps, out.beep_type);
  if (out.ended) {
    Acquisition.CalibrationState = 0;
    UpdateWindow(window);
    InvalidateRect(window, nullptr, true);
  }
  return ok;
}

void AbandonCalibration() {
  if (Acquisition.CalibrationState.load() == 0) return;
  CancelCalibration(Calibration, Settings.Mk2Calibration);
  Acquisition.CalibrationState = 0;
}

}  // namespace tq
