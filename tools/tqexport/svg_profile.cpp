#include "tools/tqexport/svg_profile.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <utility>

#include "tools/tqexport/export_columns.h"

namespace tq::exporter {
namespace {

// Page geometry in pixels. A panel is its title, a strip for the markers
// and comments, then the plots, one under the other, and the station axis.
constexpr double kPageWidth = 1000.0;
constexpr double kPlotLeft = 84.0;
constexpr double kPlotWidth = kProfileColumns;
constexpr double kPlotRight = kPlotLeft + kPlotWidth;
constexpr double kLegendLeft = 800.0;
constexpr double kTitleBaseline = 22.0;
constexpr double kNotesTop = 30.0;
constexpr double kTextRow = 13.0;
constexpr size_t kCommentRows = 3;
constexpr double kPlotsTop = 90.0;
constexpr double kPlotHeight = 150.0;
constexpr double kPlotGap = 18.0;
constexpr double kPanelFoot = 50.0;
constexpr int32_t kStationIntervals = 8;
constexpr int32_t kValueIntervals = 4;
constexpr const char* kAxisInk = "#444444";
constexpr const char* kGridInk = "#e2e2e2";
constexpr const char* kZeroInk = "#b4b4b4";  // the zero line, as the logger's main grid line
constexpr const char* kNoteInk = "#777777";
constexpr const char* kDamageInk = "#b03a2e";
constexpr double kDamageMinWidth = 4.0;
constexpr double kEmptyPageHeight = 120.0;
// Percentiles of the robust scale.
constexpr double kLowShare = 0.01;
constexpr double kHighShare = 0.99;

// The hatching of columns whose records were damaged and passed over.
constexpr const char* kDamagePattern =
    "<defs><pattern id=\"damage\" width=\"6\" height=\"6\" patternUnits=\"userSpaceOnUse\" "
    "patternTransform=\"rotate(45)\"><rect width=\"6\" height=\"6\" fill=\"#f6dcd9\"/>"
    "<line x1=\"0\" y1=\"0\" x2=\"0\" y2=\"6\" stroke=\"#b03a2e\" stroke-width=\"3\"/>"
    "</pattern></defs>\n";

std::vector<Quantity> QuantitiesOf(const std::vector<ChannelTrace>& traces) {
  std::vector<Quantity> quantities;
  for (size_t q = 0; q < kQuantityCount; ++q) {
    const auto quantity = static_cast<Quantity>(q);
    if (std::any_of(traces.begin(), traces.end(),
                    [&](const ChannelTrace& t) { return t.quantity == quantity; })) {
      quantities.push_back(quantity);
    }
  }
  return quantities;
}

double PanelHeight(size_t plots) {
  return kPlotsTop + static_cast<double>(plots) * (kPlotHeight + kPlotGap) - kPlotGap + kPanelFoot;
}

// Where a comment falls: at the station of the reading before it, or, when
// no reading came since the line or its last new station began, at the
// station the next reading takes.
class CommentPlace {
 public:
  void Take(RecordKind kind) {
    if (IsReading(kind)) {
      reading_ = true;
    } else if (kind == RecordKind::kLineName || kind == RecordKind::kStartStation ||
               kind == RecordKind::kDirection || kind == RecordKind::kNewStation) {
      reading_ = false;
    }
  }
  double StationOf(const StationTracker& stations) const {
    return reading_ ? stations.station() : stations.station() + stations.increment();
  }

 private:
  bool reading_ = false;
};

// The second pass: reduces each planned line to pixel columns and writes
// its panel when the file moves on to another line.
class ProfilePainter {
 public:
  ProfilePainter(const StoredHeader& header, const ProfilePlan& plan, std::string_view file_name,
                 const ProfileOutput& output)
      : header_(header),
        plan_(plan),
        quantities_(QuantitiesOf(plan.traces)),
        panel_height_(PanelHeight(quantities_.size())),
        output_(output),
        markers_(kProfileColumns, false),
        comment_ticks_(kProfileColumns, false),
        damage_(kProfileColumns, false) {
    AppendSvgFileName(file_name, file_name_);
    traces_.reserve(plan.traces.size());
    for (size_t i = 0; i < plan.traces.size(); ++i) traces_.emplace_back(kProfileColumns);
  }

  void Begin() {
    if (output_.one == nullptr) return;  // each panel starts its own document
    std::string s;
    if (plan_.lines.empty()) {
      AppendSvgStart(kPageWidth, kEmptyPageHeight, "Profile of " + file_name_, s);
      AppendText(12.0, kTitleBaseline, "start", 15, "Profile of " + file_name_, s,
                 " class=\"title\" fill=\"#000000\"");
      AppendText(kPageWidth / 2.0, kEmptyPageHeight / 2.0 + 10.0, "middle", 14,
                 "no survey line in this file: it holds no readings", s, " fill=\"#777777\"");
    } else {
      AppendSvgStart(kPageWidth, ProfileDocumentHeight(plan_), "Profile of " + file_name_, s);
      s.append(kDamagePattern);
    }
    output_.one->Put(s);
  }

  void Record(std::span<const uint8_t> record, const RowBuilder& rows) {
    const RecordKind kind = RecordKindOf(record);
    increment_ = rows.stations().increment();
    if (RunEdgeOf(record) != RunEdge::kNone) joins_.Interrupt();
    if (kind == RecordKind::kLineName) Follow(rows.stations().line());
    if (kind == RecordKind::kComment) {
      Follow(rows.stations().line());
      if (open_) {
        const int32_t column = StationColumn(place_.StationOf(rows.stations()));
        comment_ticks_[static_cast<size_t>(column)] = true;
        if (comments_.size() < kCommentTextsPerPanel) {
          comments_.push_back({column, FieldTextOf(record, kNoteTextField)});
        } else {
          ++more_comments_;
        }
      }
    }
    place_.Take(kind);
  }

  void Row(const ExportRow& row) {
    Follow(row.line_number);
    if (!open_) return;
    const int32_t column = StationColumn(row.station);
    if (damage_from_) {
      MarkDamage(*damage_from_ < 0 ? column : *damage_from_, column);
      damage_from_.reset();
    }
    for (size_t i = 0; i < plan_.traces.size(); ++i) {
      const size_t slot = plan_.traces[i].channel;
      const ProfileChannel& channel = row.channels[slot];
      if (!channel.present || !std::isfinite(channel.value)) continue;
      const char dipole = plan_.traces[i].dipoles_share ? row.dipole : '\0';
      traces_[i].Add(column, channel.value, joins_.Take(slot, row.station, dipole, increment_));
    }
    if (row.marker) markers_[static_cast<size_t>(column)] = true;
    last_column_ = column;
  }

  // Damage was passed over here: no trace joins across it, and its columns
  // are hatched, from the reading before it (or the line's first) to the
  // reading after it.
  void Skipped() {
    joins_.Interrupt();
    if (open_ && !damage_from_) damage_from_ = last_column_.value_or(-1);
  }

  void End() {
    if (open_) ClosePanel();
    // Lines the first pass found and this one did not still get their place.
    while (next_ < plan_.lines.size()) {
      OpenPanel(next_++);
      ClosePanel();
    }
    if (output_.one != nullptr) output_.one->Put("</svg>\n");
  }

 private:
  struct Comment {
    int32_t column = 0;
    std::string text;
  };

  int32_t StationColumn(double station) const {
    return ColumnOf(station, station_axis_.lo, station_axis_.hi, kProfileColumns);
  }

  void MarkDamage(int32_t from, int32_t to) {
    if (from > to) std::swap(from, to);
    for (int32_t c = std::max(from, 0); c <= std::min(to, kProfileColumns - 1); ++c) {
      damage_[static_cast<size_t>(c)] = true;
    }
  }

  // Opens the panel of line `number` when it is planned, closing the one
  // before; lines the file passed without the first pass seeing them (it
  // grew in between) are left out.
  void Follow(int32_t number) {
    if (open_ && plan_.lines[*open_].number == number) return;
    if (open_) ClosePanel();
    size_t k = next_;
    while (k < plan_.lines.size() && plan_.lines[k].number < number) ++k;
    if (k == plan_.lines.size() || plan_.lines[k].number != number) return;
    // Planned lines in between that this pass did not meet stay empty.
    while (next_ < k) {
      OpenPanel(next_++);
      ClosePanel();
    }
    OpenPanel(k);
    next_ = k + 1;
  }

  void OpenPanel(size_t index) {
    open_ = index;
    const ProfileLine& line = plan_.lines[index];
    station_axis_ = line.stations.seen
                        ? RoundAxis(line.stations.min, line.stations.max, kStationIntervals)
                        : Axis{};
    for (ColumnTrace& trace : traces_) trace.Clear();
    std::fill(markers_.begin(), markers_.end(), false);
    std::fill(comment_ticks_.begin(), comment_ticks_.end(), false);
    std::fill(damage_.begin(), damage_.end(), false);
    comments_.clear();
    more_comments_ = 0;
    joins_.Interrupt();
    last_column_.reset();
    damage_from_.reset();
  }

  double ColumnX(int32_t column) const { return kPlotLeft + column + 0.5; }
  double StationX(double station) const {
    return kPlotLeft +
           (station - station_axis_.lo) / (station_axis_.hi - station_axis_.lo) * kPlotWidth;
  }
  double PlotTop(size_t plot) const {
    return top_ + kPlotsTop + static_cast<double>(plot) * (kPlotHeight + kPlotGap);
  }

  void ClosePanel() {
    const ProfileLine& line = plan_.lines[*open_];
    if (damage_from_) MarkDamage(std::max(*damage_from_, 0), std::max(*damage_from_, 0));
    const bool own_page = output_.one == nullptr;
    out_ = own_page ? (failed_ ? nullptr : output_.open_page(line)) : output_.one;
    if (out_ == nullptr) {
      failed_ = true;
      open_.reset();
      return;
    }
    top_ = own_page ? 0.0 : panel_height_ * static_cast<double>(*open_);
    std::string s;
    if (own_page) {
      AppendSvgStart(kPageWidth, panel_height_, "Profile of " + file_name_, s);
      s.append(kDamagePattern);
    }
    s.append("<g class=\"panel\" id=\"panel-" + std::to_string(*open_ + 1) + "\">\n");
    WriteTitle(line, s);
    WriteNotes(s);
    std::vector<PlotScale> scales;
    const bool robust = plan_.style.scale == ProfileScale::kRobust;
    for (size_t p = 0; p < quantities_.size(); ++p) {
      const auto q = static_cast<size_t>(quantities_[p]);
      scales.push_back(PlotScaleFor(robust ? line.central[q] : line.values[q],
                                    ShortestSpan(quantities_[p]), kValueIntervals));
      WritePlotFrame(p, scales.back(), line.values[q].seen, s);
    }
    WriteDamage(s);
    WriteStationAxis(s);
    WriteCommentGuides(s);
    out_->Put(s);
    for (size_t p = 0; p < quantities_.size(); ++p) WriteTraces(p, scales[p]);
    s.clear();
    WriteLegend(s);
    // A rule under every panel but the last.
    if (!own_page && *open_ + 1 < plan_.lines.size()) {
      s.append("<line class=\"separator\" x1=\"0\"");
      AppendAttribute("y1", top_ + panel_height_ - 0.5, s);
      AppendAttribute("x2", kPageWidth, s);
      AppendAttribute("y2", top_ + panel_height_ - 0.5, s);
      s.append(" stroke=\"#c8c8c8\" stroke-width=\"1\"/>\n");
    }
    s.append("</g>\n");
    if (own_page) s.append("</svg>\n");
    out_->Put(s);
    if (own_page && !output_.close_page(line)) failed_ = true;
    out_ = nullptr;
    open_.reset();
  }

  // Hatched columns where damaged records were passed over, through every
  // plot of the panel.
  void WriteDamage(std::string& s) const {
    s.append("<g class=\"damage\" fill=\"url(#damage)\" stroke=\"").append(kDamageInk);
    s.append("\" stroke-width=\"1\">\n");
    for (size_t c = 0; c < damage_.size(); ++c) {
      if (!damage_[c] || (c > 0 && damage_[c - 1])) continue;
      size_t end = c;
      while (end < damage_.size() && damage_[end]) ++end;
      double left = kPlotLeft + static_cast<double>(c);
      double width = static_cast<double>(end - c);
      if (width < kDamageMinWidth) {
        left -= (kDamageMinWidth - width) / 2.0;
        width = kDamageMinWidth;
      }
      for (size_t p = 0; p < quantities_.size(); ++p) {
        s.append("<rect class=\"damage\"");
        AppendAttribute("x", left, s);
        AppendAttribute("y", PlotTop(p) + 0.5, s);
        AppendAttribute("width", width, s);
        AppendAttribute("height", kPlotHeight - 1.0, s);
        s.append("/>\n");
      }
    }
    s.append("</g>\n");
  }

  void WriteTitle(const ProfileLine& line, std::string& s) {
    std::string name;
    if (line.number == 0) {
      name = "Readings before the first line";
    } else {
      name = "Line ";
      AppendSvgText(line.name.empty() ? std::string_view("(no name)") : line.name, name);
    }
    std::string rest = " \u00b7 " + file_name_ + " \u00b7 " + ModelName(header_.kind);
    if (line.date) rest.append(" \u00b7 ").append(*line.date);
    rest.append(" \u00b7 ").append(std::to_string(line.readings));
    rest.append(line.readings == 1 ? " reading" : " readings");
    s.append("<text class=\"title\" x=\"12\"");
    AppendAttribute("y", top_ + kTitleBaseline, s);
    s.append(" font-family=\"").append(kSvgFont).append("\" font-size=\"15\" fill=\"#000000\">");
    s.append("<tspan font-weight=\"bold\">").append(name).append("</tspan>").append(rest);
    s.append("</text>\n");
  }

  // Markers as small triangles and comments as ticks with their text, in
  // the strip above the plots; one of each per pixel column at most.
  void WriteNotes(std::string& s) {
    const double strip_bottom = top_ + kPlotsTop - 2.0;
    s.append("<g class=\"markers\" fill=\"#222222\">\n");
    for (size_t c = 0; c < markers_.size(); ++c) {
      if (!markers_[c]) continue;
      const double x = ColumnX(static_cast<int32_t>(c));
      s.append("<path class=\"marker\" d=\"M");
      AppendCoordinate(x - 4.0, s);
      s.push_back(',');
      AppendCoordinate(strip_bottom - 8.0, s);
      s.append(" h8 l-4,8 z\"/>\n");
    }
    s.append("</g>\n<g class=\"comments\">\n");
    for (size_t c = 0; c < comment_ticks_.size(); ++c) {
      if (!comment_ticks_[c]) continue;
      const double x = ColumnX(static_cast<int32_t>(c));
      s.append("<line class=\"comment\"");
      AppendAttribute("x1", x, s);
      AppendAttribute("y1", top_ + kNotesTop + 2.0, s);
      AppendAttribute("x2", x, s);
      AppendAttribute("y2", strip_bottom, s);
      s.append(" stroke=\"").append(kNoteInk).append("\" stroke-width=\"1\"/>\n");
    }
    for (size_t k = 0; k < comments_.size(); ++k) {
      const double x = ColumnX(comments_[k].column);
      const double y = top_ + kNotesTop + kTextRow * static_cast<double>(k % kCommentRows + 1);
      // Text runs to the right of its tick, or to the left near the end.
      const bool left = x > kPlotRight - 90.0;
      std::string text;
      AppendSvgText(comments_[k].text, text);
      AppendText(left ? x - 3.0 : x + 3.0, y, left ? "end" : "start", 11, text, s,
                 " class=\"comment-text\" fill=\"#333333\"");
    }
    s.append("</g>\n");
    // What the strip's symbols mean.
    const double y = top_ + kNotesTop + kTextRow;
    s.append("<path d=\"M");
    AppendCoordinate(kLegendLeft + 8.0, s);
    s.push_back(',');
    AppendCoordinate(y - 9.0, s);
    s.append(" h8 l-4,8 z\" fill=\"#222222\"/>\n");
    AppendText(kLegendLeft + 30.0, y, "start", 11, "marker", s, " fill=\"#333333\"");
    s.append("<line");
    AppendAttribute("x1", kLegendLeft + 12.0, s);
    AppendAttribute("y1", y + 3.0, s);
    AppendAttribute("x2", kLegendLeft + 12.0, s);
    AppendAttribute("y2", y + 14.0, s);
    s.append(" stroke=\"").append(kNoteInk).append("\" stroke-width=\"1\"/>\n");
    AppendText(kLegendLeft + 30.0, y + kTextRow, "start", 11, "comment", s, " fill=\"#333333\"");
    double row = y + 2.0 * kTextRow;
    if (more_comments_ > 0) {
      AppendText(kLegendLeft + 30.0, row, "start", 11,
                 "+" + std::to_string(more_comments_) + " more", s, " fill=\"#333333\"");
      row += kTextRow;
    }
    if (std::find(damage_.begin(), damage_.end(), true) != damage_.end()) {
      s.append("<rect");
      AppendAttribute("x", kLegendLeft + 6.0, s);
      AppendAttribute("y", row - 9.0, s);
      s.append(" width=\"12\" height=\"10\" fill=\"url(#damage)\" stroke=\"");
      s.append(kDamageInk).append("\" stroke-width=\"1\"/>\n");
      AppendText(kLegendLeft + 30.0, row, "start", 11, "damaged, passed over", s,
                 " fill=\"#333333\"");
    }
  }

  // The y of `value` in plot `plot`, held inside the plot.
  double ValueY(size_t plot, const PlotScale& scale, double value) const {
    const double top = PlotTop(plot);
    const double y = top + (scale.top - value) / (scale.top - scale.bottom) * kPlotHeight;
    return std::clamp(y, top, top + kPlotHeight);
  }

  void WritePlotFrame(size_t plot, const PlotScale& scale, bool values, std::string& s) {
    const Quantity quantity = quantities_[plot];
    const Axis& axis = scale.axis;
    const double top = PlotTop(plot);
    s.append("<rect class=\"plot-area\"");
    AppendAttribute("x", kPlotLeft, s);
    AppendAttribute("y", top, s);
    AppendAttribute("width", kPlotWidth, s);
    AppendAttribute("height", kPlotHeight, s);
    s.append(" fill=\"#ffffff\" stroke=\"").append(kAxisInk).append("\" stroke-width=\"1\"/>\n");
    const int32_t decimals = DecimalsForStep(axis.step);
    const auto ticks = static_cast<int64_t>(std::llround((axis.hi - axis.lo) / axis.step));
    for (int64_t i = 0; i <= ticks; ++i) {
      const double value = axis.lo + static_cast<double>(i) * axis.step;
      const double y = ValueY(plot, scale, value);
      const bool zero = std::fabs(value) < axis.step * 1e-6;
      // Every tick has its line: the margin keeps the end ticks off the frame.
      s.append("<line");
      AppendAttribute("x1", kPlotLeft + 1.0, s);
      AppendAttribute("y1", y, s);
      AppendAttribute("x2", kPlotRight - 1.0, s);
      AppendAttribute("y2", y, s);
      s.append(" stroke=\"").append(zero ? kZeroInk : kGridInk).append("\" stroke-width=\"1\"/>\n");
      AppendText(kPlotLeft - 6.0, y + 4.0, "end", 11, FixedText(value, decimals), s,
                 " fill=\"#333333\"");
    }
    for (const double station : StationTicks()) {
      const double x = StationX(station);
      if (x <= kPlotLeft + 1.0 || x >= kPlotRight - 1.0) continue;
      s.append("<line");
      AppendAttribute("x1", x, s);
      AppendAttribute("y1", top + 1.0, s);
      AppendAttribute("x2", x, s);
      AppendAttribute("y2", top + kPlotHeight - 1.0, s);
      s.append(" stroke=\"").append(kGridInk).append("\" stroke-width=\"1\"/>\n");
    }
    std::string title = std::string(QuantityName(quantity)) + " (" + QuantityUnit(quantity) + ")";
    const double middle = top + kPlotHeight / 2.0;
    std::string rotate = " fill=\"#000000\" transform=\"rotate(-90 20 ";
    AppendCoordinate(middle, rotate);
    rotate.append(")\"");
    AppendText(20.0, middle, "middle", 12, title, s, rotate.c_str());
    if (!values) {
      AppendText(kPlotLeft + kPlotWidth / 2.0, middle + 4.0, "middle", 12,
                 "no values on this line", s, " fill=\"#777777\"");
    }
  }

  std::vector<double> StationTicks() const {
    std::vector<double> ticks;
    const auto count = std::llround((station_axis_.hi - station_axis_.lo) / station_axis_.step);
    for (int64_t i = 0; i <= count; ++i) {
      ticks.push_back(station_axis_.lo + static_cast<double>(i) * station_axis_.step);
    }
    return ticks;
  }

  void WriteStationAxis(std::string& s) {
    const double bottom = PlotTop(quantities_.size() - 1) + kPlotHeight;
    const int32_t decimals = DecimalsForStep(station_axis_.step);
    for (const double station : StationTicks()) {
      AppendText(StationX(station), bottom + 16.0, "middle", 11, FixedText(station, decimals), s,
                 " fill=\"#333333\"");
    }
    AppendText(kPlotLeft + kPlotWidth / 2.0, bottom + 36.0, "middle", 12, "Station", s,
               " fill=\"#000000\"");
    if (plan_.lines[*open_].readings == 0) {
      AppendText(kPlotLeft + kPlotWidth / 2.0, top_ + kPlotsTop - 8.0, "middle", 12,
                 "no readings on this line", s, " fill=\"#777777\"");
    }
  }

  // Dashed guides down through the plots under each comment's tick.
  void WriteCommentGuides(std::string& s) {
    const double bottom = PlotTop(quantities_.size() - 1) + kPlotHeight;
    s.append("<g class=\"comment-guides\" stroke=\"#a0a0a0\" stroke-width=\"1\" "
             "stroke-dasharray=\"2,3\">\n");
    for (size_t c = 0; c < comment_ticks_.size(); ++c) {
      if (!comment_ticks_[c]) continue;
      const double x = ColumnX(static_cast<int32_t>(c));
      s.append("<line");
      AppendAttribute("x1", x, s);
      AppendAttribute("y1", PlotTop(0) + 1.0, s);
      AppendAttribute("x2", x, s);
      AppendAttribute("y2", bottom - 1.0, s);
      s.append("/>\n");
    }
    s.append("</g>\n");
  }

  // Each channel as one path whose pieces stop where the channel has no
  // readings; a piece within one pixel column gets dots, so a lone reading
  // shows; values beyond the scale lie on its edge under a small triangle.
  void WriteTraces(size_t plot, const PlotScale& scale) {
    const double top = PlotTop(plot);
    const double bottom = top + kPlotHeight;
    for (size_t i = 0; i < plan_.traces.size(); ++i) {
      const ChannelTrace& trace = plan_.traces[i];
      if (trace.quantity != quantities_[plot]) continue;
      const std::string colour = SvgColour(trace.color);
      out_->Put("<path class=\"trace ch" + std::to_string(trace.channel) +
                "\" fill=\"none\" stroke=\"" + colour + "\" stroke-width=\"" +
                std::to_string(trace.width) +
                "\" stroke-linejoin=\"round\" stroke-linecap=\"round\" d=\"");
      const std::vector<ColumnTrace::Point> points = traces_[i].Points();
      std::vector<ColumnTrace::Point> lone;
      std::vector<ColumnTrace::Point> beyond;
      bool first = true;
      for (size_t start = 0; start < points.size();) {
        size_t end = start + 1;
        while (end < points.size() && !points[end].starts_piece) ++end;
        const bool one_column = points[end - 1].column == points[start].column;
        if (one_column) lone.insert(lone.end(), points.begin() + start, points.begin() + end);
        for (size_t k = start; k < end; ++k) {
          const double value = points[k].value;
          const bool above = value > scale.top;
          if ((above || value < scale.bottom) &&
              (beyond.empty() || beyond.back().column != points[k].column ||
               (beyond.back().value > scale.top) != above)) {
            beyond.push_back(points[k]);
          }
          // A piece of one reading is only its dot; a piece of several in
          // one column also gets the stroke its values span.
          if (one_column && end - start == 1) continue;
          if (!first) out_->Put(' ');
          first = false;
          out_->Put(k == start ? "M" : k == start + 1 ? "L" : "");
          out_->PutFixed(ColumnX(points[k].column), 1);
          out_->Put(',');
          out_->PutFixed(ValueY(plot, scale, value), 1);
        }
        start = end;
      }
      out_->Put("\"/>\n");
      std::string s;
      if (!lone.empty()) {
        s.append("<g class=\"lone ch" + std::to_string(trace.channel) + "\" fill=\"" + colour +
                 "\">\n");
        for (const ColumnTrace::Point& point : lone) {
          s.append("<circle");
          AppendAttribute("cx", ColumnX(point.column), s);
          AppendAttribute("cy", ValueY(plot, scale, point.value), s);
          AppendAttribute("r", trace.width + 1.5, s);
          s.append("/>\n");
        }
        s.append("</g>\n");
      }
      if (!beyond.empty()) {
        s.append("<g class=\"beyond ch" + std::to_string(trace.channel) + "\" fill=\"" +
                 colour + "\">\n");
        for (const ColumnTrace::Point& point : beyond) {
          const bool above = point.value > scale.top;
          s.append("<path d=\"M");
          AppendCoordinate(ColumnX(point.column) - 3.5, s);
          s.push_back(',');
          AppendCoordinate(above ? top + 6.0 : bottom - 6.0, s);
          s.append(above ? " l3.5,-6 l3.5,6 z\"/>\n" : " l3.5,6 l3.5,-6 z\"/>\n");
        }
        s.append("</g>\n");
      }
      out_->Put(s);
    }
  }

  void WriteLegend(std::string& s) {
    s.append("<g class=\"legend\">\n");
    for (size_t p = 0; p < quantities_.size(); ++p) {
      double y = PlotTop(p) + 14.0;
      for (const ChannelTrace& trace : plan_.traces) {
        if (trace.quantity != quantities_[p]) continue;
        s.append("<line");
        AppendAttribute("x1", kLegendLeft, s);
        AppendAttribute("y1", y - 4.0, s);
        AppendAttribute("x2", kLegendLeft + 24.0, s);
        AppendAttribute("y2", y - 4.0, s);
        s.append(" stroke=\"").append(SvgColour(trace.color)).append("\" stroke-width=\"");
        s.append(std::to_string(trace.width)).append("\"/>\n");
        std::string label;
        AppendSvgText(trace.label, label);
        const bool seen = plan_.lines[*open_].channel_seen[trace.channel];
        if (!seen) label.append(" (none)");
        AppendText(kLegendLeft + 30.0, y, "start", 12, label, s,
                   seen ? " fill=\"#000000\"" : " fill=\"#888888\"");
        y += 18.0;
      }
      if (plan_.style.scale == ProfileScale::kRobust) {
        AppendText(kLegendLeft, y, "start", 11, "scale: 1st to 99th percentile", s,
                   " fill=\"#555555\"");
        AppendText(kLegendLeft, y + kTextRow, "start", 11, "\u25b2\u25bc values beyond", s,
                   " fill=\"#555555\"");
      }
    }
    s.append("</g>\n");
  }

  const StoredHeader& header_;
  const ProfilePlan& plan_;
  std::vector<Quantity> quantities_;
  double panel_height_;
  const ProfileOutput& output_;
  TextOut* out_ = nullptr;  // of the panel being written
  bool failed_ = false;     // a page of its own could not be written
  std::string file_name_;  // as SVG text
  std::vector<ColumnTrace> traces_;  // one per plan_.traces entry
  std::vector<bool> markers_;
  std::vector<bool> comment_ticks_;
  std::vector<bool> damage_;
  TraceJoins joins_;
  double increment_ = 0.0;             // of the line the records are on
  std::optional<int32_t> last_column_;  // of the panel's last reading
  // Damage passed over since the panel's last reading (-1: before its first).
  std::optional<int32_t> damage_from_;
  std::vector<Comment> comments_;
  int64_t more_comments_ = 0;
  std::optional<size_t> open_;  // index of the open panel's line in plan_.lines
  size_t next_ = 0;             // the first planned line not yet opened
  double top_ = 0.0;            // of the panel being written
  Axis station_axis_;
  CommentPlace place_;
};

}  // namespace

std::optional<ProfilePlan> PlanProfile(RecordCursor& cursor, const StoredHeader& header,
                                       const ProfileStyle& style, std::string* error) {
  ProfilePlan plan;
  plan.style = style;
  plan.traces = ChannelTracesFor(header, style.pens);
  const bool robust = style.scale == ProfileScale::kRobust;
  // The values of the line being read, for its percentiles; one line at a
  // time, so memory does not grow with the lines.
  std::array<ValueHistogram, kQuantityCount> histograms;
  auto take_percentiles = [&] {
    if (!robust || plan.lines.empty()) return;
    for (size_t q = 0; q < kQuantityCount; ++q) {
      plan.lines.back().central[q] = histograms[q].Between(kLowShare, kHighShare);
      histograms[q].Clear();
    }
  };
  auto line_for = [&](int32_t number) -> ProfileLine& {
    if (plan.lines.empty() || plan.lines.back().number != number) {
      take_percentiles();
      plan.lines.emplace_back();
      plan.lines.back().number = number;
    }
    return plan.lines.back();
  };
  CommentPlace place;
  SurveyPass pass;
  pass.on_record = [&](std::span<const uint8_t> record, const RowBuilder& rows) {
    const RecordKind kind = RecordKindOf(record);
    const int32_t number = rows.stations().line();
    if (kind == RecordKind::kLineName) {
      line_for(number).name = FieldTextOf(record, kLineNameField);
    } else if (kind == RecordKind::kDateTime) {
      ProfileLine& line = line_for(number);
      if (!line.date) line.date = LineDateOf(record);
    } else if (kind == RecordKind::kComment) {
      const double station = place.StationOf(rows.stations());
      if (std::isfinite(station)) line_for(number).stations.Add(station);
    }
    place.Take(kind);
  };
  pass.on_row = [&](const ExportRow& row) {
    ProfileLine& line = line_for(row.line_number);
    ++line.readings;
    if (std::isfinite(row.station)) line.stations.Add(row.station);
    for (const ChannelTrace& trace : plan.traces) {
      const ProfileChannel& channel = row.channels[trace.channel];
      if (channel.present && std::isfinite(channel.value)) {
        const auto q = static_cast<size_t>(trace.quantity);
        line.values[q].Add(channel.value);
        if (robust) histograms[q].Add(channel.value);
        line.channel_seen[trace.channel] = true;
      }
    }
  };
  if (!PassOverSurvey(cursor, header, false, pass, nullptr)) {
    *error = "cannot read: " + cursor.error();
    return std::nullopt;
  }
  take_percentiles();
  return plan;
}

namespace {

// `text` as a whole decimal number.
std::optional<double> NumberOf(std::string_view text) {
  double value = 0.0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (text.empty() || error != std::errc() || end != text.data() + text.size() ||
      !std::isfinite(value)) {
    return std::nullopt;
  }
  return value;
}

// The lines one item of a line list picks, by index into `lines`.
std::vector<size_t> LinesPickedBy(const std::vector<ProfileLine>& lines, std::string_view item) {
  std::vector<size_t> picked;
  const auto pick = [&](auto&& wanted) {
    for (size_t i = 0; i < lines.size(); ++i) {
      if (wanted(lines[i])) picked.push_back(i);
    }
  };
  // A line's own name comes first, whatever it looks like.
  pick([&](const ProfileLine& line) { return line.number > 0 && line.name == item; });
  if (!picked.empty()) return picked;
  const size_t dash = item.find('-', 1);
  std::string_view first = item.substr(0, dash);
  std::string_view last = dash == std::string_view::npos ? first : item.substr(dash + 1);
  if (first.starts_with('#')) {
    if (last.starts_with('#')) last.remove_prefix(1);
    const std::optional<double> from = NumberOf(first.substr(1));
    const std::optional<double> to = NumberOf(last);
    if (from && to) {
      pick([&](const ProfileLine& line) { return line.number >= *from && line.number <= *to; });
    }
    return picked;
  }
  if (dash == std::string_view::npos) return picked;
  const std::optional<double> from = NumberOf(first);
  const std::optional<double> to = NumberOf(last);
  if (from && to) {
    pick([&](const ProfileLine& line) {
      const std::optional<double> number = NumberOf(line.name);
      return line.number > 0 && number && *number >= *from && *number <= *to;
    });
  }
  return picked;
}

}  // namespace

bool SelectLines(ProfilePlan& plan, std::string_view list, std::string* error) {
  constexpr size_t kNamesListed = 40;
  std::vector<bool> keep(plan.lines.size(), false);
  for (size_t start = 0; start <= list.size();) {
    const size_t comma = std::min(list.find(',', start), list.size());
    const std::string_view item = list.substr(start, comma - start);
    start = comma + 1;
    const std::vector<size_t> picked = LinesPickedBy(plan.lines, item);
    for (const size_t i : picked) keep[i] = true;
    if (!picked.empty()) continue;
    std::string names;
    size_t listed = 0;
    for (const ProfileLine& line : plan.lines) {
      if (line.number == 0) continue;  // readings before any line have no name to give
      if (listed++ < kNamesListed) {
        names.append(names.empty() ? "" : ", ").append("\"").append(line.name).append("\"");
      }
    }
    if (listed > kNamesListed) names.append(" and " + std::to_string(listed - kNamesListed) + " more");
    *error = "no line named \"" + std::string(item) + "\"; " +
             (names.empty() ? std::string("the file has no lines")
                            : "the lines are " + names + " (#1 to #" +
                                  std::to_string(plan.lines.back().number) + " by place)");
    return false;
  }
  std::vector<ProfileLine> kept;
  for (size_t i = 0; i < plan.lines.size(); ++i) {
    if (keep[i]) kept.push_back(std::move(plan.lines[i]));
  }
  plan.lines = std::move(kept);
  return true;
}

double ProfileDocumentHeight(const ProfilePlan& plan) {
  if (plan.lines.empty()) return kEmptyPageHeight;
  return PanelHeight(QuantitiesOf(plan.traces).size()) * static_cast<double>(plan.lines.size());
}

std::string SplitFileName(std::string_view stem, const ProfileLine& line, int32_t digits) {
  std::string place = std::to_string(line.number);
  if (static_cast<int32_t>(place.size()) < digits) {
    place.insert(0, static_cast<size_t>(digits) - place.size(), '0');
  }
  std::string name = std::string(stem) + "-" + place;
  if (line.number > 0) {
    name.push_back('-');
    for (const char c : line.name) {
      const bool plain = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') ||
                         (c >= '0' && c <= '9') || c == '-' || c == '_';
      name.push_back(plain ? c : '_');
    }
    if (line.name.empty()) name.append("unnamed");
  }
  return name + ".svg";
}

bool WriteProfileSvg(RecordCursor& cursor, const StoredHeader& header, const ProfilePlan& plan,
                     std::string_view file_name, const ProfileOutput& output,
                     const std::function<void(int64_t records)>& progress,
                     std::vector<SkippedRange>& skipped) {
  ProfilePainter painter(header, plan, file_name, output);
  painter.Begin();
  SurveyPass pass;
  pass.on_record = [&](std::span<const uint8_t> record, const RowBuilder& rows) {
    painter.Record(record, rows);
  };
  pass.on_skip = [&](const SkippedRange&) { painter.Skipped(); };
  pass.on_row = [&](const ExportRow& row) { painter.Row(row); };
  pass.progress = progress;
  const bool read = PassOverSurvey(cursor, header, false, pass, &skipped);
  painter.End();
  return read;
}

}  // namespace tq::exporter
