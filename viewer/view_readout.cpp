#include "viewer/view_readout.h"

#include <algorithm>
#include <array>

#include "instrument/decoding_profile.h"
#include "instrument/decoding_text.h"

namespace tq {
namespace {

constexpr size_t kFileTitleMax = 8;
constexpr double kMetresPerFoot = 0.3048;
constexpr size_t kIceSourceChannel = 1;
constexpr std::string_view kAbsentCell = "xxxxx";
// A scale beyond this only ever comes from a damaged settings file; it is
// shown at the limit instead of reaching an integer conversion.
constexpr float kScaleTextLimit = 1.0e9f;

struct LabelPair {
  std::string_view landscape;
  std::string_view portrait;
  int precision;
};
// Kinds 0..3: vertical and horizontal conductivity, then their inphase.
constexpr std::array<LabelPair, 4> kDipoleLabels = {{
    {"CV:", "C:", 2}, {"CH:", "c:", 2}, {"IV:", "I:", 2}, {"IH:", "i:", 1}}};

bool IsDipoleKind(int32_t kind) { return kind >= kKindTq62 && kind <= kKindTq68; }

size_t PlainCellCount(int32_t kind) {
  if (kind == kKindTq64) return 6;
  if (kind == kKindTq68Mk2) return kProfileChannelCount;
  return 0;
}

std::string Fixed(std::string_view label, double value, int precision, int width,
                  std::string_view unit = {}) {
  FieldText text;
  text.Append(label).AppendFixed(value, precision, width, true).Append(unit);
  return std::string(text.view());
}

int64_t ScaleInteger(float value) {
  return static_cast<int64_t>(std::clamp(value, -kScaleTextLimit, kScaleTextLimit));
}

std::string ScalePair(std::string_view label, float bottom, float top) {
  FieldText text;
  text.Append(label).AppendInt(ScaleInteger(bottom), 0, false).Append('/');
  text.AppendInt(ScaleInteger(top), 0, false);
  return std::string(text.view());
}

std::string IceCell(const StationEntry& entry, bool portrait, int32_t units) {
  const std::string_view label = portrait ? "Ice Th:" : "Th:";
  const double metres = entry.ice_thickness;
  if (entry.flags[kIceSourceChannel] == 0 || !(metres >= 0.0)) {
    return std::string(label) + " N/A";
  }
  if (units == 1) return Fixed(label, metres / kMetresPerFoot, 2, 8, "ft");
  return Fixed(label, metres, 2, 8, "m");
}

// The viewer's channels of a kind: the traces it draws and the cells it reads out.
bool ViewerShowsChannel(int32_t kind, size_t channel) {
  if (IsDipoleKind(kind)) return channel < 4;
  if (kind == kKindTq64) return channel < 6;
  if (kind == kKindFrz62) return channel == 0 || channel == 2;
  return kind == kKindTq68Mk2 && channel < kProfileChannelCount;
}

}  // namespace

StationReadout FormatStationReadout(const StationEntry& entry, int32_t kind, bool portrait,
                                    bool ice_file, int32_t units) {
  StationReadout readout;
  readout.channels.resize(ReadoutCellCount(kind, ice_file));
  if (!entry.valid) return readout;
  readout.station = Fixed("", entry.station, 2, 11);
  auto present = [&](size_t k) { return entry.flags[k] != 0; };
  if (IsDipoleKind(kind)) {
    for (size_t k = 0; k < kDipoleLabels.size(); ++k) {
      const LabelPair& l = kDipoleLabels[k];
      const std::string_view label = portrait ? l.portrait : l.landscape;
      readout.channels[k] =
          present(k) ? Fixed(label, entry.values[k], l.precision, 8) : std::string(label);
    }
    if (ice_file) readout.channels[4] = IceCell(entry, portrait, units);
  } else if (kind == kKindFrz62) {
    readout.channels[0] = present(0) ? Fixed("Th:", entry.values[0], 2, 8) : "Th:";
    readout.channels[1] = present(2) ? Fixed("IP:", entry.values[2], 2, 8) : "IP:";
  } else {
    for (size_t k = 0; k < readout.channels.size(); ++k) {
      readout.channels[k] =
          present(k) ? Fixed("", entry.values[k], 1, 7) : std::string(kAbsentCell);
    }
  }
  return readout;
}

size_t ReadoutCellCount(int32_t kind, bool ice_file) {
  if (IsDipoleKind(kind)) return kDipoleLabels.size() + (ice_file ? 1 : 0);
  if (kind == kKindFrz62) return 2;
  return PlainCellCount(kind);
}

std::vector<std::string> ReadoutCellTemplates(int32_t kind, bool portrait, bool ice_file,
                                              int32_t units) {
  StationEntry widest;
  widest.valid = true;
  widest.flags.fill(1);
  widest.values.fill(-88888.88f);
  widest.ice_thickness = 88888.88f;
  std::vector<std::string> cells =
      FormatStationReadout(widest, kind, portrait, ice_file, units).channels;
  if (ice_file && units != 1 && cells.size() > 4) cells[4] += "t";  // as wide as feet
  return cells;
}

std::vector<std::string> FormatScaleReadout(const SettingsStore& s, int32_t kind) {
  if (IsDipoleKind(kind)) {
    return {ScalePair("C:", s.CondScaleMin, s.CondScaleMax) + "  " +
            ScalePair("I:", s.InphaseScaleMin, s.InphaseScaleMax)};
  }
  if (kind == kKindTq64) return {ScalePair("C:", s.CondScaleMin, s.CondScaleMax)};
  if (kind == kKindFrz62) {
    FieldText text;
    text.Append("T:").AppendFixed(s.CondScaleMin, 1, 0, false).Append('/');
    text.AppendFixed(s.CondScaleMax, 1, 0, false);
    return {std::string(text.view()) + "  " +
            ScalePair("I:", s.InphaseScaleMin, s.InphaseScaleMax)};
  }
  if (kind == kKindTq68Mk2) {
    return {ScalePair("C:", s.CondScaleMin, s.CondScaleMax),
            ScalePair("I:", s.InphaseScaleMin, s.InphaseScaleMax)};
  }
  return {};
}

std::string ViewHelpText(int32_t storage_root) {
  static constexpr std::array<std::string_view, 11> kStorage = {
      "Select Line in box (L)ine.", "  ", "To move along line:",
      " to Start- tap <<-- /Home", " to End  - tap -->> /End ", " 80 left  - tap <--- /PgUp",
      " 80 right- tap ---> /PgDn", "  ", "To move vertical bar:",
      " 1 left   - tap |<-- /Left ", " 1 right - tap -->| /Right"};
  static constexpr std::array<std::string_view, 11> kDrive = {
      "Select Survey Line in combo box (L)ine.", "  ", "To move profile along survey line:",
      "  Start Line     - tap <<--  or key Home", "  End Line      - tap -->>  or key End  ",
      "  80 Stn left   - tap <---  or key PgUp ", "  80 Stn right - tap --->  or key PgDn",
      "  ", "To move vertical bar:", "  1 Stn left   - tap  |<--  or key Left ",
      "  1 Stn right - tap  -->|  or key Right"};
  const auto& lines = storage_root == 1 ? kStorage : kDrive;
  std::string text;
  for (size_t i = 0; i < lines.size(); ++i) {
    if (i > 0) text += "\r\n";
    text += lines[i];
  }
  return text;
}

std::string ViewFileTitle(std::string_view path) {
  const size_t separator = path.find_last_of("\\/");
  std::string_view name = separator == std::string_view::npos ? path : path.substr(separator + 1);
  name = name.substr(0, name.rfind('.'));
  // Characters, not bytes: a name is never cut inside a UTF-8 sequence.
  size_t end = 0;
  for (size_t shown = 0; end < name.size() && shown < kFileTitleMax; ++shown) {
    ++end;
    while (end < name.size() && (static_cast<uint8_t>(name[end]) & 0xC0) == 0x80) ++end;
  }
  return std::string(name.substr(0, end));
}

int32_t ViewGridSet(int32_t grid_for) { return grid_for == 1 || grid_for == 2 ? 1 : 0; }

std::vector<TraceRun> ComputeViewTraceRuns(const StationWindow& window, int32_t columns,
                                           int32_t kind, const SettingsStore& s) {
  std::vector<TraceRun> runs;
  std::array<TraceRun, kProfileChannelCount> open;
  auto close = [&](size_t k) {
    if (open[k].points.empty()) return;
    open[k].channel = k;
    runs.push_back(std::move(open[k]));
    open[k] = TraceRun{};
  };
  const int32_t last = std::min<int32_t>(columns, static_cast<int32_t>(window.size()) - 1);
  for (int32_t i = 1; i <= last; ++i) {
    const StationEntry& entry = window[static_cast<size_t>(i)];
    for (size_t k = 0; k < kProfileChannelCount; ++k) {
      if (!ViewerShowsChannel(kind, k)) continue;
      if (!entry.valid || entry.flags[k] == 0) {
        close(k);
        continue;
      }
      const ScaleSet set = TraceScaleSet(kind, false, k);
      const bool inphase = set == ScaleSet::kInphase;
      const int32_t y = ValueToPixel(entry.values[k], inphase ? s.InphaseScaleMax : s.CondScaleMax,
                                     inphase ? s.InphasePixelsPerUnit : s.CondPixelsPerUnit);
      open[k].points.push_back(Point{i, y});
    }
  }
  for (size_t k = 0; k < kProfileChannelCount; ++k) close(k);
  return runs;
}

std::vector<Rect> LayoutReadoutCells(std::span<const ReadoutRowSpace> spaces,
                                     std::span<const int32_t> widths, int32_t height) {
  std::vector<Rect> cells;
  size_t space = 0;
  int32_t x = spaces.empty() ? 0 : spaces[0].x_from;
  for (int32_t width : widths) {
    while (space < spaces.size() && x + width > spaces[space].x_to) {
      ++space;
      if (space < spaces.size()) x = spaces[space].x_from;
    }
    if (space >= spaces.size()) {
      cells.push_back(Rect{});
      continue;
    }
    const int32_t y = spaces[space].y;
    cells.push_back(Rect{x, y, x + width, y + height});
    x += width;
  }
  return cells;
}

}  // namespace tq
