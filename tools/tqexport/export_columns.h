// Which columns an export of a data file has: the profile channels each kind
// uses with their trace-slot labels, and the coil columns EMagPy reads.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "survey/record_reader.h"

namespace tq::exporter {

// One profile channel as a column: its slot (0..7) and its label.
struct ChannelColumn {
  size_t channel;
  const char* label;  // "C/V-1m", "V-10m", "Th", ...
};

// The channels the readings of a file use, in slot order, labelled as the
// display options dialog labels the kind's trace slots. TQ62 files written
// with the ice option on add slot 4, "Th".
std::vector<ChannelColumn> ChannelColumnsFor(const StoredHeader& header);

// True when a TQ62 file carries ice thickness: written by a build with the
// ice option and with the option on.
bool HasIceThickness(const StoredHeader& header);

// True when readings of `kind` can be battery frames: only the TQ62 sends
// them. The other ASCII kinds read the status byte's low bit, which marks
// them, as part of the range code.
bool KindSendsBatteryFrames(int32_t kind);

// The model name of a kind ("TQ68-MK2"); "unknown" outside 0..7.
const char* ModelName(int32_t kind);

// What the EMagPy column names need besides the kind: the coil separation
// for kinds whose files do not tell it, and the optional frequency and
// height parts of every name.
struct CoilNaming {
  std::optional<double> separation_m;
  std::optional<double> frequency_hz;
  std::optional<double> height_m;
};

// One EMagPy coil column: where its value comes from and its name.
struct CoilColumn {
  std::string name;  // "HCP1.0", "VCP0.5_inph", "HCP10f9000h0.1"
  size_t channel;    // profile channel of the value
  char dipole;       // 'V' or 'H': only readings of this dipole fill it; 0 any
  bool inphase;      // ppt; otherwise apparent conductivity in mS/m
};

// The coil columns of a file's kind, conductivity (mS/m) first, then
// inphase (ppt) with "_inph"; the vertical dipole is HCP, the horizontal
// VCP. `error` says why there are none: a kind that records no
// conductivity, or a separation that the file does not tell and `naming`
// does not give.
std::vector<CoilColumn> CoilColumnsFor(const StoredHeader& header, const CoilNaming& naming,
                                       std::string* error);

// True when the files of `kind` tell their coil separations themselves.
bool KindTellsCoilSeparation(int32_t kind);

// A number as the shortest plain decimal that reads back as it ("0.1",
// "9000", "2.25"): never an exponent, at most six decimals.
std::string PlainNumber(double value);

}  // namespace tq::exporter
