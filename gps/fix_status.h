// The fix status row of the logging window, computed from one sentence:
// which fields change and the texts they get. Pure; the window draws it.
#pragma once

#include <string_view>

#include "instrument/decoding_text.h"

namespace tq {

// Fields left default (not drawn()) stay as they are on the panel.
struct GpsStatusUpdate {
  bool good_gga = false;  // flip the activity mark; count it while logging
  FieldText satellites;   // "%2d", or "??" for a bad GGA
  FieldText fix_class;    // "NO FIX", "AGPS", "DGPS", "RTK", "CODE"
  FieldText pdop;         // "%-4.1f", "N/A" without the field, "??" for a bad GSA
};

// The fix class of a GGA fix-quality field's first character; an empty text
// for any other character or an empty field.
std::string_view FixClassOf(std::string_view quality_field);

// The update for `sentence` (cut as LastSentence holds it) that passed its
// checksum when `valid`. Sentences of 5 characters or fewer count as bad.
GpsStatusUpdate ComputeGpsStatus(std::string_view sentence, bool valid);

}  // namespace tq
