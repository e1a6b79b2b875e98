#include "tools/tqexport/svg_map.h"

#include <algorithm>
#include <cmath>
#include <numbers>
#include <utility>

#include "tools/tqexport/export_columns.h"

namespace tq::exporter {
namespace {

// Page geometry in pixels: the title, the square map with the north axis's
// labels left of it and the east axis's below, and the colour bar with its
// labels to the right of it.
constexpr double kPageWidth = 1000.0;
constexpr double kPageHeight = 850.0;
constexpr double kMapLeft = 70.0;
constexpr double kMapTop = 70.0;
constexpr double kMapSide = kMapPixels;
constexpr double kBarLeft = kMapLeft + kMapSide + 40.0;
constexpr double kBarTop = kMapTop + 60.0;
constexpr double kBarWidth = 22.0;
constexpr double kBarHeight = 400.0;
constexpr int32_t kBarSteps = 80;
constexpr int32_t kBarIntervals = 5;
constexpr int32_t kCellsPerSide = kMapPixels / kMapCellPixels;
// The track fills this share of the map's side.
constexpr double kFill = 0.92;
constexpr double kDotRadius = 2.6;
constexpr const char* kNoValueInk = "#9a9a9a";
constexpr const char* kGridInk = "#e6e6e6";
constexpr int32_t kGridIntervals = 10;
// Line names: their size, and the cells of the grid that keeps them apart.
constexpr int kLabelSize = 11;
constexpr double kLabelCharWidth = 6.5;  // DejaVu Sans at 11 px, a little generous
constexpr double kLabelHeight = 12.0;
constexpr int32_t kLabelCell = 4;
constexpr int32_t kLabelCells = kMapPixels / kLabelCell;

// The channels that may colour the map, best first: the one asked for, or
// the conductivity channels in slot order, or, for a kind that records
// none, all of them. Empty, with `error`, when none has the name asked for.
std::vector<ChannelTrace> ColourCandidates(const StoredHeader& header,
                                           const std::optional<std::string>& wanted,
                                           std::string* error) {
  std::vector<ChannelTrace> traces = ChannelTracesFor(header);
  if (wanted) {
    std::string names;
    for (const ChannelTrace& t : traces) {
      if (t.label == *wanted) return {t};
      names.append(names.empty() ? "" : ", ").append(t.label);
    }
    *error = "no channel named \"" + *wanted + "\"; the " + ModelName(header.kind) +
             " channels are " + names;
    return {};
  }
  std::vector<ChannelTrace> conductivity;
  for (const ChannelTrace& t : traces) {
    if (t.quantity == Quantity::kConductivity) conductivity.push_back(t);
  }
  return conductivity.empty() ? traces : conductivity;
}

// "48.1234567° N" or "11.5° W".
std::string DegreesText(double degrees, char positive, char negative) {
  return FixedText(std::fabs(degrees), 6) + "\u00b0 " + (degrees < 0.0 ? negative : positive);
}

// One cell of the map: the readings placed in it and their values' sum.
struct MapCell {
  double sum = 0.0;
  uint32_t values = 0;
  bool placed = false;
};

class MapPainter {
 public:
  MapPainter(const StoredHeader& header, const MapPlan& plan, std::string_view file_name)
      : header_(header),
        plan_(plan),
        fit_(FitMap(plan.low, plan.high)),
        cells_(static_cast<size_t>(kCellsPerSide) * kCellsPerSide) {
    AppendSvgFileName(file_name, file_name_);
    if (plan.values.seen) axis_ = RoundAxis(plan.values.min, plan.values.max, kBarIntervals);
  }

  void Row(const ExportRow& row) {
    if (!row.position) return;
    const auto [px, py] = MapPixel(row.position->latitude, row.position->longitude);
    const int32_t cx = ColumnOf(px, 0.0, kMapSide, kCellsPerSide);
    const int32_t cy = ColumnOf(py, 0.0, kMapSide, kCellsPerSide);
    MapCell& cell = cells_[static_cast<size_t>(cy) * kCellsPerSide + static_cast<size_t>(cx)];
    cell.placed = true;
    if (plan_.channel) {
      const ProfileChannel& channel = row.channels[plan_.channel->channel];
      if (channel.present && std::isfinite(channel.value)) {
        cell.sum += channel.value;
        ++cell.values;
      }
    }
  }

  void Write(TextOut& out) {
    std::string s;
    AppendSvgStart(kPageWidth, kPageHeight, "Map of " + file_name_, s);
    WriteTitle(s);
    s.append("<rect class=\"map-area\"");
    AppendAttribute("x", kMapLeft, s);
    AppendAttribute("y", kMapTop, s);
    AppendAttribute("width", kMapSide, s);
    AppendAttribute("height", kMapSide, s);
    s.append(" fill=\"#ffffff\" stroke=\"#444444\" stroke-width=\"1\"/>\n");
    if (plan_.readings == 0) {
      AppendText(kMapLeft + kMapSide / 2.0, kMapTop + kMapSide / 2.0, "middle", 14,
                 "no readings in this file", s, " fill=\"#777777\"");
      s.append("</svg>\n");
      out.Put(s);
      return;
    }
    WriteGrid(s);
    out.Put(s);
    WriteCells(out);
    s.clear();
    WriteLineNames(s);
    WriteScaleBar(s);
    WriteNorthArrow(s);
    WriteColourBar(s);
    s.append("</svg>\n");
    out.Put(s);
  }

 private:
  // The map's pixel of a position, from its top left corner.
  std::pair<double, double> MapPixel(double latitude, double longitude) const {
    const LocalMetres m = ProjectLocal(plan_.lat0, plan_.lon0, latitude, longitude);
    return {kMapSide / 2.0 + (m.x - fit_.centre.x) * fit_.pixels_per_metre,
            kMapSide / 2.0 - (m.y - fit_.centre.y) * fit_.pixels_per_metre};
  }

  void WriteTitle(std::string& s) {
    std::string title = "Map of " + file_name_ + " \u00b7 " + ModelName(header_.kind);
    if (plan_.date) title.append(" \u00b7 ").append(*plan_.date);
    title.append(" \u00b7 placed ").append(std::to_string(plan_.placed)).append(" of ");
    title.append(std::to_string(plan_.readings));
    title.append(plan_.readings == 1 ? " reading" : " readings");
    AppendText(kMapLeft, 26.0, "start", 15, title, s, " class=\"title\" fill=\"#000000\"");
    if (plan_.readings == 0) return;
    std::string sub = "Centre " + DegreesText(plan_.lat0, 'N', 'S') + ", " +
                      DegreesText(plan_.lon0, 'E', 'W') +
                      "; east and north in metres about the centre, the same scale both ways";
    AppendText(kMapLeft, 48.0, "start", 12, sub, s, " fill=\"#333333\"");
  }

  // Grid lines every round number of metres east and north of the centre,
  // one step both ways, labelled along the bottom and the left.
  void WriteGrid(std::string& s) const {
    const double half = kMapSide / 2.0 / fit_.pixels_per_metre;
    const double step = RoundAxis(fit_.centre.x - half, fit_.centre.x + half, kGridIntervals).step;
    const int32_t decimals = DecimalsForStep(step);
    s.append("<g class=\"grid\" stroke=\"").append(kGridInk).append("\" stroke-width=\"1\">\n");
    std::string labels = "<g class=\"grid-labels\">\n";
    const double bottom = kMapTop + kMapSide;
    for (const bool north : {false, true}) {
      const double centre = north ? fit_.centre.y : fit_.centre.x;
      const auto first = static_cast<int64_t>(std::ceil((centre - half) / step - 1e-9));
      const auto last = static_cast<int64_t>(std::floor((centre + half) / step + 1e-9));
      for (int64_t k = first; k <= last; ++k) {
        const double metres = static_cast<double>(k) * step;
        const double offset = (metres - centre) * fit_.pixels_per_metre;
        const double at = north ? kMapTop + kMapSide / 2.0 - offset : kMapLeft + kMapSide / 2.0 + offset;
        const std::string text = FixedText(metres, decimals);
        if (north) {
          if (at > kMapTop + 1.0 && at < bottom - 1.0) {
            s.append("<line");
            AppendAttribute("x1", kMapLeft + 1.0, s);
            AppendAttribute("y1", at, s);
            AppendAttribute("x2", kMapLeft + kMapSide - 1.0, s);
            AppendAttribute("y2", at, s);
            s.append("/>\n");
          }
          AppendText(kMapLeft - 6.0, at + 4.0, "end", 11, text, labels, " fill=\"#333333\"");
        } else {
          if (at > kMapLeft + 1.0 && at < kMapLeft + kMapSide - 1.0) {
            s.append("<line");
            AppendAttribute("x1", at, s);
            AppendAttribute("y1", kMapTop + 1.0, s);
            AppendAttribute("x2", at, s);
            AppendAttribute("y2", bottom - 1.0, s);
            s.append("/>\n");
          }
          AppendText(at, bottom + 16.0, "middle", 11, text, labels, " fill=\"#333333\"");
        }
      }
    }
    s.append("</g>\n").append(labels);
    AppendText(kMapLeft + kMapSide / 2.0, bottom + 36.0, "middle", 12, "East (m)", s,
               " fill=\"#000000\"");
    std::string rotate = " fill=\"#000000\" transform=\"rotate(-90 16 ";
    AppendCoordinate(kMapTop + kMapSide / 2.0, rotate);
    rotate.append(")\"");
    AppendText(16.0, kMapTop + kMapSide / 2.0, "middle", 12, "North (m)", s, rotate.c_str());
    s.append("</g>\n");
  }

  // Each line's name at its first placed reading, with a ring on that
  // reading; names that would cover one already written are left out.
  void WriteLineNames(std::string& s) const {
    std::vector<bool> taken(static_cast<size_t>(kLabelCells) * kLabelCells, false);
    int64_t left_out = 0;
    s.append("<g class=\"line-names\">\n");
    for (const MapLineStart& start : plan_.line_starts) {
      const auto [px, py] = MapPixel(start.latitude, start.longitude);
      std::string name;
      if (start.number == 0) {
        name = "(before line 1)";
      } else {
        AppendSvgText(start.name.empty() ? std::string_view("(no name)") : start.name, name);
      }
      // The name runs right of its ring, or left of it near the right edge.
      const double width = kLabelCharWidth * static_cast<double>(name.size()) + 4.0;
      const bool left = px + 6.0 + width > kMapSide;
      const double x0 = left ? px - 6.0 - width : px + 4.0;
      const double y0 = py - 4.0 - kLabelHeight;
      const auto cell = [](double v) {
        return std::clamp(static_cast<int32_t>(std::floor(v / kLabelCell)), 0, kLabelCells - 1);
      };
      bool free = true;
      for (int32_t cy = cell(y0); cy <= cell(y0 + kLabelHeight) && free; ++cy) {
        for (int32_t cx = cell(x0); cx <= cell(x0 + width) && free; ++cx) {
          free = !taken[static_cast<size_t>(cy) * kLabelCells + static_cast<size_t>(cx)];
        }
      }
      if (!free) {
        ++left_out;
        continue;
      }
      for (int32_t cy = cell(y0); cy <= cell(y0 + kLabelHeight); ++cy) {
        for (int32_t cx = cell(x0); cx <= cell(x0 + width); ++cx) {
          taken[static_cast<size_t>(cy) * kLabelCells + static_cast<size_t>(cx)] = true;
        }
      }
      s.append("<circle class=\"line-start\"");
      AppendAttribute("cx", kMapLeft + px, s);
      AppendAttribute("cy", kMapTop + py, s);
      s.append(" r=\"4.5\" fill=\"none\" stroke=\"#000000\" stroke-width=\"1.2\"/>\n");
      AppendText(kMapLeft + (left ? px - 6.0 : px + 6.0), kMapTop + py - 6.0, left ? "end" : "start",
                 kLabelSize, name, s, " class=\"line-name\" fill=\"#000000\"");
    }
    s.append("</g>\n");
    if (left_out > 0) {
      AppendText(kMapLeft, kPageHeight - 8.0, "start", 11,
                 std::to_string(left_out) + (left_out == 1 ? " line name" : " line names") +
                     " left out where they would cover another",
                 s, " fill=\"#555555\"");
    }
  }

  // One dot per cell: grey where the readings have no value of the
  // channel, else coloured by the mean of their values.
  void WriteCells(TextOut& out) const {
    for (const bool coloured : {false, true}) {
      out.Put(coloured ? "<g class=\"track\">\n" : "<g class=\"track-no-value\" fill=\"");
      if (!coloured) out.Put(std::string(kNoValueInk) + "\">\n");
      for (int32_t y = 0; y < kCellsPerSide; ++y) {
        for (int32_t x = 0; x < kCellsPerSide; ++x) {
          const MapCell& cell =
              cells_[static_cast<size_t>(y) * kCellsPerSide + static_cast<size_t>(x)];
          if (!cell.placed || (cell.values > 0) != coloured) continue;
          out.Put("<circle cx=\"");
          out.PutFixed(kMapLeft + (x + 0.5) * kMapCellPixels, 1);
          out.Put("\" cy=\"");
          out.PutFixed(kMapTop + (y + 0.5) * kMapCellPixels, 1);
          out.Put("\" r=\"");
          out.PutFixed(kDotRadius, 1);
          if (coloured) {
            const double mean = cell.sum / cell.values;
            out.Put("\" fill=\"");
            out.Put(SvgColour(ScaleColour((mean - axis_.lo) / (axis_.hi - axis_.lo))));
          }
          out.Put("\"/>\n");
        }
      }
      out.Put("</g>\n");
    }
  }

  void WriteScaleBar(std::string& s) const {
    const double metres = ScaleBarMetres(kMapSide / fit_.pixels_per_metre / 4.0);
    const double length = metres * fit_.pixels_per_metre;
    const double x = kMapLeft + 20.0;
    const double y = kMapTop + kMapSide - 22.0;
    s.append("<g class=\"scale-bar\">\n");
    // Two halves, black and white, so the bar reads on any dots.
    s.append("<rect");
    AppendAttribute("x", x, s);
    AppendAttribute("y", y, s);
    AppendAttribute("width", length / 2.0, s);
    s.append(" height=\"6\" fill=\"#000000\" stroke=\"#000000\" stroke-width=\"1\"/>\n<rect");
    AppendAttribute("x", x + length / 2.0, s);
    AppendAttribute("y", y, s);
    AppendAttribute("width", length / 2.0, s);
    s.append(" height=\"6\" fill=\"#ffffff\" stroke=\"#000000\" stroke-width=\"1\"/>\n");
    AppendText(x, y - 5.0, "start", 12, "0", s, " fill=\"#000000\"");
    AppendText(x + length, y - 5.0, "middle", 12, DistanceText(metres), s, " fill=\"#000000\"");
    s.append("</g>\n");
  }

  void WriteNorthArrow(std::string& s) const {
    const double x = kMapLeft + kMapSide - 30.0;
    const double y = kMapTop + 18.0;
    s.append("<g class=\"north-arrow\">\n<path d=\"M");
    AppendCoordinate(x, s);
    s.push_back(',');
    AppendCoordinate(y, s);
    s.append(" l9,30 l-9,-8 l-9,8 z\" fill=\"#000000\" stroke=\"#000000\" stroke-width=\"1\"/>\n");
    AppendText(x, y + 46.0, "middle", 14, "N", s, " font-weight=\"bold\" fill=\"#000000\"");
    s.append("</g>\n");
  }

  void WriteColourBar(std::string& s) const {
    s.append("<g class=\"colour-bar\">\n");
    if (!plan_.channel) {
      AppendText(kBarLeft, kBarTop, "start", 12, "no reading carries a value", s,
                 " fill=\"#333333\"");
      s.append("</g>\n");
      return;
    }
    std::string label;
    AppendSvgText(plan_.channel->label, label);
    AppendText(kBarLeft, kBarTop - 34.0, "start", 14, label, s,
               " font-weight=\"bold\" fill=\"#000000\"");
    const Quantity q = plan_.channel->quantity;
    AppendText(kBarLeft, kBarTop - 14.0, "start", 12,
               std::string(QuantityName(q)) + " (" + QuantityUnit(q) + ")", s,
               " fill=\"#000000\"");
    if (!plan_.values.seen) {
      AppendText(kBarLeft, kBarTop + 6.0, "start", 12, "no placed reading has a value", s,
                 " fill=\"#333333\"");
      s.append("</g>\n");
      return;
    }
    const double step = kBarHeight / kBarSteps;
    for (int32_t i = 0; i < kBarSteps; ++i) {
      s.append("<rect");
      AppendAttribute("x", kBarLeft, s);
      AppendAttribute("y", kBarTop + kBarHeight - (i + 1) * step, s);
      AppendAttribute("width", kBarWidth, s);
      // A hair taller than its step, so no seam shows between steps.
      AppendAttribute("height", step + 0.5, s);
      s.append(" fill=\"").append(SvgColour(ScaleColour((i + 0.5) / kBarSteps))).append("\"/>\n");
    }
    s.append("<rect");
    AppendAttribute("x", kBarLeft, s);
    AppendAttribute("y", kBarTop, s);
    AppendAttribute("width", kBarWidth, s);
    AppendAttribute("height", kBarHeight, s);
    s.append(" fill=\"none\" stroke=\"#444444\" stroke-width=\"1\"/>\n");
    const int32_t decimals = DecimalsForStep(axis_.step);
    const auto ticks = std::llround((axis_.hi - axis_.lo) / axis_.step);
    for (int64_t i = 0; i <= ticks; ++i) {
      const double y = kBarTop + kBarHeight -
                       static_cast<double>(i) / static_cast<double>(ticks) * kBarHeight;
      s.append("<line");
      AppendAttribute("x1", kBarLeft + kBarWidth, s);
      AppendAttribute("y1", y, s);
      AppendAttribute("x2", kBarLeft + kBarWidth + 5.0, s);
      AppendAttribute("y2", y, s);
      s.append(" stroke=\"#444444\" stroke-width=\"1\"/>\n");
      AppendText(kBarLeft + kBarWidth + 8.0, y + 4.0, "start", 11,
                 FixedText(axis_.lo + static_cast<double>(i) * axis_.step, decimals), s,
                 " fill=\"#333333\"");
    }
    const int32_t shown = std::max(DecimalsForStep(axis_.step), 1);
    AppendText(kBarLeft, kBarTop + kBarHeight + 24.0, "start", 11,
               "values " + FixedText(plan_.values.min, shown) + " to " +
                   FixedText(plan_.values.max, shown),
               s, " fill=\"#333333\"");
    AppendText(kBarLeft, kBarTop + kBarHeight + 40.0, "start", 11,
               "dots: mean of a " + std::to_string(kMapCellPixels) + " px cell", s,
               " fill=\"#333333\"");
    s.append("<circle");
    AppendAttribute("cx", kBarLeft + 4.0, s);
    AppendAttribute("cy", kBarTop + kBarHeight + 52.0, s);
    AppendAttribute("r", kDotRadius, s);
    s.append(" fill=\"").append(kNoValueInk).append("\"/>\n");
    AppendText(kBarLeft + 12.0, kBarTop + kBarHeight + 56.0, "start", 11, "no value", s,
               " fill=\"#333333\"");
    s.append("<circle");
    AppendAttribute("cx", kBarLeft + 4.0, s);
    AppendAttribute("cy", kBarTop + kBarHeight + 68.0, s);
    s.append(" r=\"4.5\" fill=\"none\" stroke=\"#000000\" stroke-width=\"1.2\"/>\n");
    AppendText(kBarLeft + 12.0, kBarTop + kBarHeight + 72.0, "start", 11,
               "a line's name at its start", s, " fill=\"#333333\"");
    s.append("</g>\n");
  }

  const StoredHeader& header_;
  const MapPlan& plan_;
  MapFit fit_;
  Axis axis_;
  std::string file_name_;  // as SVG text
  std::vector<MapCell> cells_;
};

}  // namespace

MapFit FitMap(const LocalMetres& low, const LocalMetres& high) {
  const double extent = std::max({high.x - low.x, high.y - low.y, kMapMinExtentM});
  return {kMapSide * kFill / extent, {(low.x + high.x) / 2.0, (low.y + high.y) / 2.0}};
}

std::optional<MapPlan> PlanMap(RecordCursor& cursor, const StoredHeader& header,
                               const std::optional<std::string>& channel, std::string* error) {
  if (!header.gps_survey) {
    *error = "a grid survey has no GPS positions to map (the map needs a GPS survey file)";
    return std::nullopt;
  }
  const std::vector<ChannelTrace> candidates = ColourCandidates(header, channel, error);
  if (candidates.empty()) return std::nullopt;
  std::vector<ValueRange> values(candidates.size());
  ValueRange latitudes;
  ValueRange east;  // longitude offsets from the first position, degrees
  std::optional<double> reference;
  MapPlan plan;
  SurveyPass pass;
  pass.on_record = [&](std::span<const uint8_t> record, const RowBuilder&) {
    if (!plan.date && RecordKindOf(record) == RecordKind::kDateTime) plan.date = LineDateOf(record);
  };
  pass.on_row = [&](const ExportRow& row) {
    ++plan.readings;
    if (!row.position) return;
    const double latitude = row.position->latitude;
    const double longitude = row.position->longitude;
    if (!std::isfinite(latitude) || !std::isfinite(longitude)) return;
    ++plan.placed;
    if (plan.line_starts.empty() || plan.line_starts.back().number != row.line_number) {
      plan.line_starts.push_back({row.line, row.line_number, latitude, longitude});
    }
    if (!reference) reference = longitude;
    latitudes.Add(latitude);
    east.Add(LongitudeOffset(longitude, *reference));
    for (size_t i = 0; i < candidates.size(); ++i) {
      const ProfileChannel& value = row.channels[candidates[i].channel];
      if (value.present && std::isfinite(value.value)) values[i].Add(value.value);
    }
  };
  if (!PassOverSurvey(cursor, header, true, pass, nullptr)) {
    *error = "cannot read: " + cursor.error();
    return std::nullopt;
  }
  if (plan.readings == 0) return plan;
  if (plan.placed == 0) {
    *error = "no reading has a GPS position (a GGA fix with a good checksum and a fix "
             "quality above 0 within 5 s of it); nothing to map";
    return std::nullopt;
  }
  for (size_t i = 0; i < candidates.size(); ++i) {
    if (values[i].seen) {
      plan.channel = candidates[i];
      plan.values = values[i];
      break;
    }
  }
  // The channel asked for names the colours even where no reading has it.
  if (channel) plan.channel = candidates.front();
  constexpr double kRadians = std::numbers::pi / 180.0;
  const double middle_east = (east.min + east.max) / 2.0;
  plan.lat0 = (latitudes.min + latitudes.max) / 2.0;
  plan.lon0 = LongitudeOffset(*reference + middle_east, 0.0);
  const double metres_east = kEarthRadiusM * kRadians * std::cos(plan.lat0 * kRadians);
  const double metres_north = kEarthRadiusM * kRadians;
  plan.low = {(east.min - middle_east) * metres_east, (latitudes.min - plan.lat0) * metres_north};
  plan.high = {(east.max - middle_east) * metres_east, (latitudes.max - plan.lat0) * metres_north};
  return plan;
}

bool WriteMapSvg(RecordCursor& cursor, const StoredHeader& header, const MapPlan& plan,
                 std::string_view file_name, TextOut& out,
                 const std::function<void(int64_t records)>& progress,
                 std::vector<SkippedRange>& skipped) {
  MapPainter painter(header, plan, file_name);
  SurveyPass pass;
  pass.on_row = [&](const ExportRow& row) { painter.Row(row); };
  pass.progress = progress;
  const bool read = PassOverSurvey(cursor, header, true, pass, &skipped);
  painter.Write(out);
  return read;
}

}  // namespace tq::exporter
