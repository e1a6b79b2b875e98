// The GPS row of the logging window between paints: each posted sentence
// redraws the activity mark, the counter, the fix class, the satellites and
// the PDOP it speaks for. User-interface thread only.
#pragma once

#include "gps/gps_fix.h"
#include "platform/messages.h"

namespace tq {

// Draws what `sentence` changes; a good GGA flips the activity mark and,
// while `logging`, counts in SentenceCounter.
void DrawGpsSentence(WindowHandle window, const PostedSentence& sentence, bool logging);

// Clears the GPS row and draws `text` centred on it (the calibration's texts).
void DrawCentredOnGpsRow(WindowHandle window, std::string_view text);

}  // namespace tq
