#include "tools/tqexport/svg_profile.h"

#include <algorithm>
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
                 TextOut& out)
      : header_(header),
        plan_(plan),
        quantities_(QuantitiesOf(plan.traces)),
        panel_height_(PanelHeight(quantities_.size())),
        out_(out),
        markers_(kProfileColumns, false),
        comment_ticks_(kProfileColumns, false) {
    AppendSvgFileName(file_name, file_name_);
    traces_.reserve(plan.traces.size());
    for (size_t i = 0; i < plan.traces.size(); ++i) traces_.emplace_back(kProfileColumns);
  }

  void Begin() {
    const double height = panel_height_ * static_cast<double>(plan_.lines.size());
    std::string s;
    AppendSvgStart(kPageWidth, height, "Profile of " + file_name_, s);
    out_.Put(s);
  }

  void Record(std::span<const uint8_t> record, const RowBuilder& rows) {
    const RecordKind kind = RecordKindOf(record);
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
    for (size_t i = 0; i < plan_.traces.size(); ++i) {
      const ProfileChannel& channel = row.channels[plan_.traces[i].channel];
      if (channel.present) traces_[i].Add(column, channel.value);
    }
    if (row.marker) markers_[static_cast<size_t>(column)] = true;
  }

  void End() {
    if (open_) ClosePanel();
    // Lines the first pass found and this one did not still get their place.
    while (next_ < plan_.lines.size()) {
      OpenPanel(next_++);
      ClosePanel();
    }
    out_.Put("</svg>\n");
  }

 private:
  struct Comment {
    int32_t column = 0;
    std::string text;
  };

  int32_t StationColumn(double station) const {
    return ColumnOf(station, station_axis_.lo, station_axis_.hi, kProfileColumns);
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
    comments_.clear();
    more_comments_ = 0;
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
    top_ = panel_height_ * static_cast<double>(*open_);
    std::string s = "<g class=\"panel\" id=\"panel-" + std::to_string(*open_ + 1) + "\">\n";
    WriteTitle(line, s);
    WriteNotes(s);
    std::vector<Axis> axes;
    for (size_t p = 0; p < quantities_.size(); ++p) {
      const ValueRange& range = line.values[static_cast<size_t>(quantities_[p])];
      axes.push_back(range.seen ? RoundAxis(range.min, range.max, kValueIntervals)
                                : RoundAxis(0.0, 1.0, kValueIntervals));
      WritePlotFrame(p, axes.back(), range.seen, s);
    }
    WriteStationAxis(s);
    WriteCommentGuides(s);
    out_.Put(s);
    for (size_t p = 0; p < quantities_.size(); ++p) WriteTraces(p, axes[p]);
    s.clear();
    WriteLegend(s);
    // A rule under every panel but the last.
    if (*open_ + 1 < plan_.lines.size()) {
      s.append("<line class=\"separator\" x1=\"0\"");
      AppendAttribute("y1", top_ + panel_height_ - 0.5, s);
      AppendAttribute("x2", kPageWidth, s);
      AppendAttribute("y2", top_ + panel_height_ - 0.5, s);
      s.append(" stroke=\"#c8c8c8\" stroke-width=\"1\"/>\n");
    }
    s.append("</g>\n");
    out_.Put(s);
    open_.reset();
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
    if (more_comments_ > 0) {
      AppendText(kLegendLeft + 30.0, y + 2.0 * kTextRow, "start", 11,
                 "+" + std::to_string(more_comments_) + " more", s, " fill=\"#333333\"");
    }
  }

  void WritePlotFrame(size_t plot, const Axis& axis, bool values, std::string& s) {
    const Quantity quantity = quantities_[plot];
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
      const double y =
          top + kPlotHeight - static_cast<double>(i) / static_cast<double>(ticks) * kPlotHeight;
      const bool zero = std::fabs(value) < axis.step * 1e-6;
      if (i > 0 && i < ticks) {
        s.append("<line");
        AppendAttribute("x1", kPlotLeft + 1.0, s);
        AppendAttribute("y1", y, s);
        AppendAttribute("x2", kPlotRight - 1.0, s);
        AppendAttribute("y2", y, s);
        s.append(" stroke=\"").append(zero ? kZeroInk : kGridInk).append("\" stroke-width=\"1\"/>\n");
      }
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

  void WriteTraces(size_t plot, const Axis& axis) {
    const double top = PlotTop(plot);
    for (size_t i = 0; i < plan_.traces.size(); ++i) {
      const ChannelTrace& trace = plan_.traces[i];
      if (trace.quantity != quantities_[plot]) continue;
      std::string s = "<polyline class=\"trace ch" + std::to_string(trace.channel) +
                      "\" fill=\"none\" stroke=\"" + SvgColour(trace.color) +
                      "\" stroke-width=\"" + std::to_string(trace.width) +
                      "\" stroke-linejoin=\"round\" stroke-linecap=\"round\" points=\"";
      out_.Put(s);
      std::vector<ColumnTrace::Point> points = traces_[i].Points();
      // A lone point is a segment onto itself, which the round cap draws as
      // a dot; a single point alone would draw nothing.
      if (points.size() == 1) points.push_back(points.front());
      bool first = true;
      for (const ColumnTrace::Point& point : points) {
        const double y = top + (axis.hi - point.value) / (axis.hi - axis.lo) * kPlotHeight;
        if (!first) out_.Put(' ');
        first = false;
        out_.PutFixed(ColumnX(point.column), 1);
        out_.Put(',');
        out_.PutFixed(std::clamp(y, top, top + kPlotHeight), 1);
      }
      out_.Put("\"/>\n");
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
    }
    s.append("</g>\n");
  }

  const StoredHeader& header_;
  const ProfilePlan& plan_;
  std::vector<Quantity> quantities_;
  double panel_height_;
  TextOut& out_;
  std::string file_name_;  // as SVG text
  std::vector<ColumnTrace> traces_;  // one per plan_.traces entry
  std::vector<bool> markers_;
  std::vector<bool> comment_ticks_;
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
                                       std::string* error) {
  ProfilePlan plan;
  plan.traces = ChannelTracesFor(header);
  auto line_for = [&plan](int32_t number) -> ProfileLine& {
    if (plan.lines.empty() || plan.lines.back().number != number) {
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
        line.values[static_cast<size_t>(trace.quantity)].Add(channel.value);
        line.channel_seen[trace.channel] = true;
      }
    }
  };
  if (!PassOverSurvey(cursor, header, false, pass, nullptr)) {
    *error = "cannot read: " + cursor.error();
    return std::nullopt;
  }
  return plan;
}

bool KeepLinesNamed(ProfilePlan& plan, std::string_view name, std::string* error) {
  constexpr size_t kNamesListed = 40;
  std::vector<ProfileLine> kept;
  std::string names;
  size_t listed = 0;
  for (ProfileLine& line : plan.lines) {
    if (line.number == 0) continue;  // readings before any line have no name to give
    if (listed++ < kNamesListed) {
      names.append(names.empty() ? "" : ", ").append("\"").append(line.name).append("\"");
    }
    if (line.name == name) kept.push_back(std::move(line));
  }
  if (kept.empty()) {
    if (listed > kNamesListed) names.append(" and " + std::to_string(listed - kNamesListed) + " more");
    *error = "no line named \"" + std::string(name) + "\"; " +
             (names.empty() ? std::string("the file has no lines") : "the lines are " + names);
    return false;
  }
  plan.lines = std::move(kept);
  return true;
}

bool WriteProfileSvg(RecordCursor& cursor, const StoredHeader& header, const ProfilePlan& plan,
                     std::string_view file_name, TextOut& out,
                     const std::function<void(int64_t records)>& progress,
                     std::vector<SkippedRange>& skipped) {
  ProfilePainter painter(header, plan, file_name, out);
  painter.Begin();
  SurveyPass pass;
  pass.on_record = [&](std::span<const uint8_t> record, const RowBuilder& rows) {
    painter.Record(record, rows);
  };
  pass.on_row = [&](const ExportRow& row) { painter.Row(row); };
  pass.progress = progress;
  const bool read = PassOverSurvey(cursor, header, false, pass, &skipped);
  painter.End();
  return read;
}

}  // namespace tq::exporter
