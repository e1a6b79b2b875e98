// Which profile traces the live plot draws, how many readings make a station,
// and which scale gets the grid, from the display choices, component, dipole
// mode and survey mode. One rule per kind; the Manual survey mode shows every
// trace the operator can switch between, the other modes only the one in force.
#include <algorithm>

#include "settings/settings.h"

namespace tq {
namespace {

constexpr int32_t kManualMode = 2;
// Component choices: 0 both, 1 inphase, 2 conductivity.
constexpr int32_t kBoth = 0;
constexpr int32_t kInphase = 1;
constexpr int32_t kConductivity = 2;
// Dipole choices: 0 vertical, 1 horizontal, 2 both.
constexpr int32_t kVertical = 0;
constexpr int32_t kHorizontal = 1;
constexpr int32_t kBothDipoles = 2;
constexpr int32_t kIceSlot = 4;
constexpr int32_t kIceGrid = 2;
constexpr int32_t kGridUnchanged = -1;

struct DisplaySelection {
  std::array<bool, 8> active{};
  int32_t readings_per_station = 1;
  int32_t grid_for = kGridUnchanged;
};

struct SelectionInput {
  const SettingsStore& s;
  bool manual;
  bool ice_shown;  // TQ62 with the ice option on, showing the thickness profile
  bool Visible(int slot) const { return s.TraceVisible[static_cast<size_t>(slot)] != 0; }
};

// Grid for the conductivity scale when only conductivity is read, for the
// inphase scale when only inphase is.
int32_t GridForComponent(int32_t component) {
  if (component == kConductivity) return 0;
  if (component == kInphase) return 1;
  return kGridUnchanged;
}

DisplaySelection SelectTq62(const SelectionInput& in) {
  DisplaySelection out;
  const int32_t c = in.s.Component;
  const int32_t d = in.s.DipoleMode;
  if (in.ice_shown) {
    out.active[kIceSlot] = true;
    out.grid_for = kIceGrid;
    return out;
  }
  if (in.manual) {
    out.active[0] = in.Visible(0) && c == kBoth && d != kHorizontal;
    out.active[1] = in.Visible(1) && c == kBoth && d != kVertical;
    out.active[2] = in.Visible(2) && d != kHorizontal;
    out.active[3] = in.Visible(3) && d != kVertical;
    out.readings_per_station = d == kBothDipoles ? 2 : 1;
  } else {
    out.active[0] = in.Visible(0) && c == kBoth && d == kVertical;
    out.active[1] = in.Visible(1) && c == kBoth && d == kHorizontal;
    out.active[2] = in.Visible(2) && d == kVertical;
    out.active[3] = in.Visible(3) && d == kHorizontal;
    if (c == kInphase) out.grid_for = 1;
  }
  return out;
}

// Even slots are vertical dipoles, odd slots horizontal ones.
DisplaySelection SelectByDipole(const SelectionInput& in, int slot_count) {
  DisplaySelection out;
  const int32_t d = in.s.DipoleMode;
  for (int slot = 0; slot < slot_count; ++slot) {
    bool horizontal = slot % 2 == 1;
    bool dipole_shown = in.manual ? d != (horizontal ? kVertical : kHorizontal)
                                  : d == (horizontal ? kHorizontal : kVertical);
    out.active[static_cast<size_t>(slot)] = in.Visible(slot) && dipole_shown;
  }
  if (in.manual && d == kBothDipoles) out.readings_per_station = 2;
  return out;
}

DisplaySelection SelectTq68b(const SelectionInput& in) {
  DisplaySelection out = SelectByDipole(in, 4);
  if (!in.manual) out.grid_for = GridForComponent(in.s.Component);
  return out;
}

DisplaySelection SelectTq68Mk2(const SelectionInput& in) { return SelectByDipole(in, 8); }

// Slots 0 and 1 are conductivity, 2 and 3 inphase, each of both coil pairs.
DisplaySelection SelectTq68dd(const SelectionInput& in) {
  DisplaySelection out;
  const int32_t c = in.s.Component;
  for (int slot = 0; slot < 4; ++slot) {
    bool inphase = slot >= 2;
    bool component_shown = in.manual ? c != (inphase ? kConductivity : kInphase)
                                     : c == (inphase ? kInphase : kConductivity);
    out.active[static_cast<size_t>(slot)] = in.Visible(slot) && component_shown;
  }
  if (in.manual) {
    if (c == kBoth) out.readings_per_station = 2;
  } else {
    out.grid_for = GridForComponent(c);
  }
  return out;
}

// Slots: conductivity V, conductivity H, inphase V, inphase H.
DisplaySelection SelectTq68(const SelectionInput& in) {
  DisplaySelection out;
  const int32_t c = in.s.Component;
  const int32_t d = in.s.DipoleMode;
  for (int slot = 0; slot < 4; ++slot) {
    bool inphase = slot >= 2;
    bool horizontal = slot % 2 == 1;
    bool shown = in.manual ? c != (inphase ? kConductivity : kInphase) &&
                                 d != (horizontal ? kVertical : kHorizontal)
                           : c == (inphase ? kInphase : kConductivity) &&
                                 d == (horizontal ? kHorizontal : kVertical);
    out.active[static_cast<size_t>(slot)] = in.Visible(slot) && shown;
  }
  if (in.manual) {
    // Each "both" doubles the readings the operator takes at a station.
    out.readings_per_station = (c == kBoth ? 2 : 1) * (d == kBothDipoles ? 2 : 1);
  } else {
    out.grid_for = GridForComponent(c);
  }
  return out;
}

// The six coil geometries: DipoleMode is the position in their list.
DisplaySelection SelectTq64(const SelectionInput& in) {
  constexpr int32_t kGeometries = 6;
  DisplaySelection out;
  const int32_t d = in.s.DipoleMode;
  if (in.manual) {
    for (int slot = 0; slot < kGeometries; ++slot) {
      out.active[static_cast<size_t>(slot)] = in.Visible(slot);
    }
    // A geometry index from a damaged file must not make a station endless.
    out.readings_per_station = std::clamp(d, 0, kGeometries - 1) + 1;
  } else if (d >= 0 && d < kGeometries) {
    out.active[static_cast<size_t>(d)] = in.Visible(d);
  }
  return out;
}

// One reading channel on the first scale and one on the second.
DisplaySelection SelectTwoChannels(const SelectionInput& in) {
  DisplaySelection out;
  out.active[0] = in.Visible(0);
  out.active[2] = in.Visible(2);
  return out;
}

using SelectionRule = DisplaySelection (*)(const SelectionInput&);

constexpr SelectionRule kRules[kKindCount] = {
    SelectTq62, SelectTq68b, SelectTq68dd, SelectTq68,
    SelectTq64, SelectTwoChannels, SelectTwoChannels, SelectTq68Mk2,
};

}  // namespace

void ApplyDisplaySelection(SettingsStore& s, const BuildConfig& build) {
  const int32_t kind = KindInfoFor(build.InstrumentKind).kind;
  const bool ice_shown = kind == kKindTq62 && build.IceOptionBuilt == 1 && s.IceOption == 1 &&
                         s.ShowProfile == 1;
  SelectionInput in{s, s.SurveyMode == kManualMode, ice_shown};
  DisplaySelection out = kRules[kind](in);
  for (size_t slot = 0; slot < s.TraceActive.size(); ++slot) {
    s.TraceActive[slot] = out.active[slot] ? 1 : 0;
  }
  s.ReadingsPerStation = out.readings_per_station;
  if (out.grid_for != kGridUnchanged) s.GridFor = out.grid_for;
}

}  // namespace tq
