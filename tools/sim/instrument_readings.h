// One reading of the walk as each instrument kind sends it: the range, the
// scale and the status bits chosen the way the instrument would.
#pragma once

#include <cstdint>
#include <vector>

#include "tools/sim/survey_walk.h"

namespace tq::sim {

// Nominal time between frames in milliseconds: 91 for 12-character frames,
// 72 for 7-character frames (kind 3 only), 47 for kind 7, 1000 for kind 6.
// A frame length other than 7 counts as 12.
int FramePeriodMs(int kind, int frame_length);

// The wire bytes of `sample` as instrument `kind` (0..7) sends it as frame
// number `frame_index`; `frame_length` (7 or 12) matters for kind 3 only.
// Kinds 2 and 3 alternate conductivity frames (even) and inphase frames
// (odd). Kind 7 sends no marker: its status is 6 or 2. Empty for an
// unknown kind.
std::vector<uint8_t> EncodeReading(int kind, int frame_length, const WalkSample& sample,
                                   uint64_t frame_index);

}  // namespace tq::sim
