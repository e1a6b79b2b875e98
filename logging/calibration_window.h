// The TQ68-MK2 calibration commands of the logging window and the display of
// the procedure while it takes the readings. User-interface thread only.
#pragma once

#include <span>

#include "acquisition/calibration.h"
#include "platform/messages.h"

namespace tq {

// The procedure of the current run (or the last one).
extern CalibrationProcedure Calibration;

// Asks "CALIBRATION"; Yes starts the vertical phase (CalibrationState -1),
// No puts the offsets back.
void StartCalibration(WindowHandle window);

// Asks "Delete Calibration"; Yes zeroes the offsets, saves the settings and
// writes the calibration records. Returns false when the save or the write
// failed (the caller shows it); true otherwise, also for No.
bool DeleteCalibration(WindowHandle window);

// One reading of the procedure: steps it at Tick(), draws and beeps what the
// step says, and on success saves the settings and writes the calibration
// records. The values that share the message field's row are drawn only when
// `readings_row_free` (no warning is held there). False when that save or
// write failed.
bool CalibrationOnFrame(WindowHandle window, std::span<const uint8_t> frame, bool readings_row_free);

// The run ends while a calibration is under way: the offsets from before its
// start come back and the readings go to the panel again.
void AbandonCalibration();

}  // namespace tq
