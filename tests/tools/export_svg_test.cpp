// The SVG drawings of tqexport: the pixel-column decimation, round axes,
// the local projection and scale bar, and the documents drawn from real
// data files (panels, polylines, refusals).
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "tests/tools/export_test_files.h"
#include "tools/tqexport/svg_map.h"
#include "tools/tqexport/svg_parts.h"
#include "tools/tqexport/svg_profile.h"

namespace tq::exporter {
namespace {

size_t Count(std::string_view text, std::string_view what) {
  size_t n = 0;
  for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
  return n;
}

// The text from `open` to the next "</g>".
std::string_view Group(std::string_view text, std::string_view open) {
  const size_t at = text.find(open);
  if (at == std::string_view::npos) return {};
  return text.substr(at, text.find("</g>", at) - at);
}

// ---------------------------------------------------------------------------
// Decimation

TEST(SvgColumns, StationsFallIntoTheirColumnAndTheEndsHoldTheRest) {
  struct Case {
    double value, lo, hi;
    int32_t columns, column;
  };
  for (const Case& c : std::vector<Case>{{0.0, 0.0, 10.0, 10, 0},
                                          {5.0, 0.0, 10.0, 10, 5},
                                          {9.99, 0.0, 10.0, 10, 9},
                                          {10.0, 0.0, 10.0, 10, 9},  // the top edge is the last column's
                                          {-3.0, 0.0, 10.0, 10, 0},
                                          {42.0, 0.0, 10.0, 10, 9},
                                          {-7.5, -10.0, -5.0, 700, 350},
                                          {3.0, 3.0, 3.0, 700, 0},  // no width at all
                                          {std::nan(""), 0.0, 10.0, 10, 0}}) {
    EXPECT_EQ(ColumnOf(c.value, c.lo, c.hi, c.columns), c.column) << c.value;
  }
}

TEST(SvgColumns, AColumnKeepsItsSpikesInTheOrderTheyCame) {
  struct Case {
    std::vector<float> values;  // all in one column
    std::vector<float> drawn;
  };
  const std::vector<Case> cases = {
      {{7.0f}, {7.0f}},
      {{7.0f, 7.0f, 7.0f}, {7.0f}},
      // A single reading of 50 among a thousand of 1 stays.
      {[] {
         std::vector<float> v(1000, 1.0f);
         v[500] = 50.0f;
         return v;
       }(),
       {1.0f, 50.0f, 1.0f}},
      // The dip came after the peak: first, peak, dip, last.
      {{5.0f, 9.0f, 3.0f, 6.0f}, {5.0f, 9.0f, 3.0f, 6.0f}},
      {{5.0f, 3.0f, 9.0f, 6.0f}, {5.0f, 3.0f, 9.0f, 6.0f}},
      // The last value is the lowest: not drawn twice.
      {{4.0f, 8.0f, 2.0f}, {4.0f, 8.0f, 2.0f}},
      {{4.0f, std::nanf(""), 8.0f}, {4.0f, 8.0f}},
  };
  for (const Case& c : cases) {
    ColumnTrace trace(10);
    for (float v : c.values) trace.Add(3, v, true);
    std::vector<float> drawn;
    for (const ColumnTrace::Point& p : trace.Points()) {
      EXPECT_EQ(p.column, 3);
      drawn.push_back(p.value);
    }
    EXPECT_EQ(drawn, c.drawn);
  }
}

TEST(SvgColumns, AMillionReadingsGiveAtMostFourPointsAColumn) {
  ColumnTrace trace(kProfileColumns);
  for (int i = 0; i < 1000000; ++i) {
    const double station = i * 0.25;
    trace.Add(ColumnOf(station, 0.0, 250000.0, kProfileColumns),
              static_cast<float>(std::sin(i * 0.01) * 100.0), true);
  }
  trace.Add(-1, 1e6f, true);  // outside: dropped
  trace.Add(kProfileColumns, 1e6f, true);
  const std::vector<ColumnTrace::Point> points = trace.Points();
  EXPECT_GT(points.size(), static_cast<size_t>(kProfileColumns));
  EXPECT_LE(points.size(), static_cast<size_t>(4 * kProfileColumns));
  for (const ColumnTrace::Point& p : points) EXPECT_LE(std::fabs(p.value), 100.0f);
  trace.Clear();
  EXPECT_TRUE(trace.Points().empty());
}

TEST(SvgColumns, APieceStopsWhereTheReadingsDidNotJoin) {
  ColumnTrace trace(20);
  // Joined 2 -> 3 -> 6 (over empty columns), then breaks to 12, 15 and 16,
  // and 16 -> 14 walked back over 15.
  const std::vector<std::pair<int32_t, bool>> added = {{2, false}, {3, true}, {6, true},
                                                       {12, false}, {15, false}, {16, false},
                                                       {14, true}};
  for (const auto& [column, joins] : added) trace.Add(column, static_cast<float>(column), joins);
  std::vector<std::pair<int32_t, bool>> drawn;
  for (const ColumnTrace::Point& p : trace.Points()) drawn.emplace_back(p.column, p.starts_piece);
  EXPECT_EQ(drawn, (std::vector<std::pair<int32_t, bool>>{
                       {2, true}, {3, false}, {6, false}, {12, true}, {14, true}, {15, false},
                       {16, false}}));
}

TEST(SvgTraces, AReadingJoinsItsChannelsLastOnlyWithoutAStretchBetween) {
  struct Case {
    const char* what;
    double station;
    char dipole;
    bool interrupt;
    bool joins;
  };
  // After a V reading at station 10 on a line of increment 0.5.
  for (const Case& c : std::vector<Case>{{"next station", 10.5, 'V', false, true},
                                          {"same station", 10.0, 'V', false, true},
                                          {"turns with the other dipole", 11.0, 'V', false, true},
                                          {"walked back", 9.0, 'V', false, true},
                                          {"three increments on", 11.5, 'V', false, false},
                                          {"a new station far on", 180.0, 'V', false, false},
                                          {"the other dipole", 10.5, 'H', false, false},
                                          {"damage or a run's end", 10.5, 'V', true, false}}) {
    TraceJoins joins;
    EXPECT_FALSE(joins.Take(0, 10.0, 'V', 0.5)) << "nothing before the first";
    if (c.interrupt) joins.Interrupt();
    EXPECT_EQ(joins.Take(0, c.station, c.dipole, 0.5), c.joins) << c.what;
    EXPECT_FALSE(joins.Take(1, c.station, c.dipole, 0.5)) << "channels are apart";
  }
}

// ---------------------------------------------------------------------------
// Axes

TEST(SvgAxes, EndsAndStepsAreRound) {
  struct Case {
    double min, max;
    int32_t intervals;
    double lo, hi, step;
  };
  for (const Case& c : std::vector<Case>{
           {12.3, 87.9, 5, 0.0, 100.0, 20.0},  // 75.6 / 5 = 15.1 -> 20
           {87.9, 12.3, 5, 0.0, 100.0, 20.0},  // either order
           {0.13, 0.47, 4, 0.1, 0.5, 0.1},     // 0.085 -> 0.1
           {-3.2, 41.0, 4, -20.0, 60.0, 20.0},
           {0.0, 1000.0, 8, 0.0, 1000.0, 200.0},  // 125 -> 200
           {50.0, 50.0, 4, 45.0, 55.0, 5.0},      // one value: 10 % either side
           {0.0, 0.0, 4, -1.0, 1.0, 0.5},
       }) {
    const Axis axis = RoundAxis(c.min, c.max, c.intervals);
    EXPECT_NEAR(axis.lo, c.lo, 1e-9) << c.min << ".." << c.max;
    EXPECT_NEAR(axis.hi, c.hi, 1e-9) << c.min << ".." << c.max;
    EXPECT_NEAR(axis.step, c.step, 1e-12) << c.min << ".." << c.max;
  }
}

TEST(SvgAxes, TickLabelsShowTheirStep) {
  EXPECT_EQ(DecimalsForStep(20.0), 0);
  EXPECT_EQ(DecimalsForStep(0.5), 1);
  EXPECT_EQ(DecimalsForStep(0.1), 1);
  EXPECT_EQ(DecimalsForStep(0.25), 2);
  EXPECT_EQ(FixedText(-0.0001, 1), "0.0");
  EXPECT_EQ(FixedText(-2.5, 1), "-2.5");
}

TEST(SvgScales, PlotsSpanAtLeastTheShortestSpanWithAMargin) {
  struct Case {
    double min, max, shortest;
    double lo, hi, bottom, top;
  };
  for (const Case& c : std::vector<Case>{
           // 12.3..87.9 rounds out to 0..100; 5 % of that beyond each end.
           {12.3, 87.9, 1.0, 0.0, 100.0, -5.0, 105.0},
           // An ice line of 1.08..1.11 m is widened to 0.1 m about 1.095,
           // which rounds out to 1.00..1.15 in steps of 0.05.
           {1.08, 1.11, 0.1, 1.0, 1.15, 0.9925, 1.1575},
           // Flat at 20 mS/m: 19.5..20.5, four steps of 0.25 round up to 0.5.
           {20.0, 20.0, 1.0, 19.5, 20.5, 19.45, 20.55},
       }) {
    const PlotScale scale = PlotScaleFor({c.min, c.max, true}, c.shortest, 4);
    EXPECT_NEAR(scale.axis.lo, c.lo, 1e-9) << c.min;
    EXPECT_NEAR(scale.axis.hi, c.hi, 1e-9) << c.min;
    EXPECT_NEAR(scale.bottom, c.bottom, 1e-9) << c.min;
    EXPECT_NEAR(scale.top, c.top, 1e-9) << c.min;
  }
}

TEST(SvgScales, PercentilesAreNearestRanksWithinTheirBins) {
  // 1..1000 and one wild value: ranks ceil(10.01) = 11 and ceil(990.99) =
  // 991 of 1001 are 11 and 991; a bin is at most 1.6 % wide.
  ValueHistogram values;
  for (int i = 1000; i >= 1; --i) values.Add(i);
  values.Add(1e9);
  ValueRange range = values.Between(0.01, 0.99);
  EXPECT_GE(range.min, 11.0 / 1.016);
  EXPECT_LE(range.min, 11.0);
  EXPECT_GE(range.max, 991.0);
  EXPECT_LE(range.max, 991.0 * 1.016);
  // Either side of zero, and never beyond the values seen.
  values.Clear();
  for (const double v : {-7.0, -0.5, 0.0, 0.0, 0.25, 3.0}) values.Add(v);
  range = values.Between(0.0, 1.0);
  EXPECT_DOUBLE_EQ(range.min, -7.0);
  EXPECT_DOUBLE_EQ(range.max, 3.0);
  range = values.Between(0.5, 0.5);  // rank 3: 0
  EXPECT_DOUBLE_EQ(range.min, 0.0);
  EXPECT_DOUBLE_EQ(range.max, 0.0);
}

// ---------------------------------------------------------------------------
// Map projection and scale bar. One degree of a great circle of the mean
// radius 6371008.8 m is 2 pi R / 360 = 111195.08 m; at 60 degrees a
// parallel is half as long.

TEST(SvgMap, ProjectsMetresEastAndNorthOfTheCentre) {
  struct Case {
    double lat0, lon0, lat, lon;
    double x, y;
  };
  for (const Case& c : std::vector<Case>{
           {60.0, 10.0, 60.0, 10.01, 555.975, 0.0},
           {60.0, 10.0, 60.01, 10.0, 0.0, 1111.951},
           {0.0, 179.999, 0.0, -179.999, 222.390, 0.0},  // across the date line
           {0.0, -179.999, 0.0, 179.999, -222.390, 0.0},
           {-33.9, 18.4, -33.9, 18.396, -369.173, 0.0},
       }) {
    const LocalMetres m = ProjectLocal(c.lat0, c.lon0, c.lat, c.lon);
    EXPECT_NEAR(m.x, c.x, 0.001) << c.lat << "," << c.lon;
    EXPECT_NEAR(m.y, c.y, 0.001) << c.lat << "," << c.lon;
  }
}

TEST(SvgMap, TheScaleBarIsTheLongestRoundLengthThatFits) {
  struct Case {
    double room, metres;
    const char* text;
  };
  for (const Case& c : std::vector<Case>{{308.5, 200.0, "200 m"},
                                          {1000.0, 1000.0, "1 km"},
                                          {999.0, 500.0, "500 m"},
                                          {4999.0, 2000.0, "2 km"},
                                          {12.0, 10.0, "10 m"},
                                          {0.7, 0.5, "0.5 m"},
                                          {0.0, 0.0, "0 m"}}) {
    EXPECT_DOUBLE_EQ(ScaleBarMetres(c.room), c.metres) << c.room;
    EXPECT_EQ(DistanceText(c.metres), c.text);
  }
}

TEST(SvgMap, TheTrackFillsTheMapAtOneScaleBothWays) {
  // 200 m by 100 m: the longer side sets the scale, 720 px x 0.92 / 200 m.
  MapFit fit = FitMap({-100.0, -50.0}, {100.0, 50.0});
  EXPECT_NEAR(fit.pixels_per_metre, 3.312, 1e-9);
  fit = FitMap({0.0, 0.0}, {0.0, 0.0});  // a track that never moved
  EXPECT_NEAR(fit.pixels_per_metre, 720 * 0.92 / kMapMinExtentM, 1e-9);
}

// ---------------------------------------------------------------------------
// Text and channels

TEST(SvgText, DataTextIsEscapedAndWidened) {
  std::string out;
  AppendSvgText("A&<b>\"\x01\xE9", out);
  EXPECT_EQ(out, "A&amp;&lt;b&gt;&quot;?\xC3\xA9");
  out.clear();
  AppendSvgFileName("r\xC3\xA9sum\xC3\xA9 & co.N68", out);  // UTF-8 stays
  EXPECT_EQ(out, "r\xC3\xA9sum\xC3\xA9 &amp; co.N68");
  out.clear();
  AppendSvgFileName("\xE9t\xE9.N68", out);  // not UTF-8: byte by byte
  EXPECT_EQ(out, "\xC3\xA9t\xC3\xA9.N68");
}

TEST(SvgText, TheLineDateComesFromItsDateRecord) {
  const auto bytes = [](const DataRecord& r) { return std::string(r.text()); };
  const std::string date = bytes(FormatDateTime(26, At(2024, 5, 1, 10, 12, 3)));
  EXPECT_EQ(LineDateOf(std::span(reinterpret_cast<const uint8_t*>(date.data()), date.size())),
            "2024-05-01 10:12:03");
  const std::string bad = "Z31042024 10:12:03       \n";  // 31 April
  EXPECT_EQ(LineDateOf(std::span(reinterpret_cast<const uint8_t*>(bad.data()), bad.size())),
            std::nullopt);
}

TEST(SvgTraces, ChannelsKeepTheLoggersPensAndUnits) {
  // The logger's default trace colours (0x00BBGGRR): slot 0 blue, 1 green,
  // 2 red, 3 magenta, 4 black; widths 2, 2, 2, 2, 1.
  struct Case {
    int32_t kind;
    size_t index;
    const char* label;
    Quantity quantity;
    const char* colour;
    int32_t width;
  };
  for (const Case& c : std::vector<Case>{
           {kKindTq68Mk2, 0, "C/V-1m", Quantity::kConductivity, "#0000ff", 2},
           {kKindTq68Mk2, 3, "I/H-1m", Quantity::kInphase, "#ff00ff", 2},
           {kKindTq68Mk2, 4, "C/V-0.5m", Quantity::kConductivity, "#000000", 1},
           {kKindTq64, 2, "V-40m", Quantity::kConductivity, "#ff0000", 2},
           {kKindFrz62, 0, "Th", Quantity::kThickness, "#0000ff", 2},
           {kKindFrz62, 1, "I/P", Quantity::kInphase, "#ff0000", 2},
           {kKindTq93, 1, "I", Quantity::kSecondValue, "#ff0000", 2},
       }) {
    StoredHeader header;
    header.kind = c.kind;
    const std::vector<ChannelTrace> traces = ChannelTracesFor(header, TracePens::kLogger);
    ASSERT_LT(c.index, traces.size());
    const ChannelTrace& t = traces[c.index];
    EXPECT_STREQ(t.label, c.label);
    EXPECT_EQ(t.quantity, c.quantity) << c.label;
    EXPECT_EQ(SvgColour(t.color), c.colour) << c.label;
    EXPECT_EQ(t.width, c.width) << c.label;
  }
  EXPECT_STREQ(QuantityUnit(Quantity::kInphase), "ppt");
}

// sRGB channel 0..255 to linear light (WCAG 2 relative luminance).
double Linear(uint32_t channel) {
  const double c = channel / 255.0;
  return c <= 0.04045 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
}

// CIELAB (D65) of a colour held as 0x00BBGGRR.
std::array<double, 3> Lab(uint32_t color) {
  const double r = Linear(color & 0xFF), g = Linear((color >> 8) & 0xFF),
               b = Linear((color >> 16) & 0xFF);
  const auto f = [](double t) { return t > 0.008856 ? std::cbrt(t) : 7.787 * t + 16.0 / 116.0; };
  const double x = f((0.4124 * r + 0.3576 * g + 0.1805 * b) / 0.95047);
  const double y = f(0.2126 * r + 0.7152 * g + 0.0722 * b);
  const double z = f((0.0193 * r + 0.1192 * g + 0.9505 * b) / 1.08883);
  return {116.0 * y - 16.0, 500.0 * (x - y), 200.0 * (y - z)};
}

TEST(SvgTraces, PrintPensReadOnWhiteAndTellTheTracesOfAFileApart) {
  std::map<std::string, uint32_t> colour_of_label;
  for (int32_t kind = 0; kind <= kKindTq68Mk2; ++kind) {
    StoredHeader header;
    header.kind = kind;
    header.ice_built = kind == kKindTq62;  // with the ice option: all five TQ62 traces
    header.IceOption = 1;
    const std::vector<ChannelTrace> traces = ChannelTracesFor(header);
    for (size_t i = 0; i < traces.size(); ++i) {
      const ChannelTrace& t = traces[i];
      const uint32_t c = t.color;
      const double luminance = 0.2126 * Linear(c & 0xFF) + 0.7152 * Linear((c >> 8) & 0xFF) +
                               0.0722 * Linear((c >> 16) & 0xFF);
      EXPECT_GE(1.05 / (luminance + 0.05), 3.0) << t.label << " " << SvgColour(c);
      // A label keeps its colour in every file.
      const auto known = colour_of_label.emplace(t.label, c).first;
      EXPECT_EQ(known->second, c) << t.label;
      for (size_t k = 0; k < i; ++k) {
        const std::array<double, 3> a = Lab(c), b = Lab(traces[k].color);
        const double difference = std::hypot(a[0] - b[0], a[1] - b[1], a[2] - b[2]);
        EXPECT_GE(difference, 30.0) << t.label << " and " << traces[k].label;
      }
    }
  }
}

// ---------------------------------------------------------------------------
// Documents from data files

// A TQ68-MK2 survey of two lines, "A" and "B", with a marked reading, a
// comment and, when `gps`, a fix every reading moving north.
std::string Mk2Survey(bool gps) {
  SettingsStore settings;
  settings.GpsInput = gps ? 1 : 0;
  DataFileBuilder file(kKindTq68Mk2, settings);
  uint32_t tick = 1000;
  for (const char* line : {"A", "B"}) {
    file.Line(line, 0.0, 1.0f, kKindTq68Mk2, At(2024, 5, 1, 10, 0, 0)).Mark(tick, At(2024, 5, 1, 10, 0, 0));
    for (int i = 0; i < 20; ++i) {
      tick += 250;
      if (gps) {
        char body[80];
        std::snprintf(body, sizeof body, "GPGGA,100000,4807.%03d,N,01131.000,E,1,08,0.9,545.4,M,,M,,",
                      i * 10);
        file.Gps(Sentence(body), tick);
      }
      if (i == 10) file.Note("old fence", 'C', tick);
      file.Binary(Mk2Frame(i == 5 ? 22 : 6, static_cast<uint16_t>(33000 + i * 20), 32768, 33000, 32768),
                  tick);
    }
  }
  return file.bytes();
}

TEST(SvgDocuments, OnePanelPerLineWithAPolylinePerChannel) {
  testing::TempDir dir;
  testing::WriteFileBytes(dir.path() / "S.N68", Mk2Survey(false));
  struct Case {
    std::optional<std::string> line;
    size_t panels;
  };
  for (const Case& c : std::vector<Case>{{std::nullopt, 2}, {"B", 1}}) {
    ExportOptions options = WithFormat(Format::kSvg);
    options.line = c.line;
    const ExportRun run = RunExportTo(options, dir.path() / "S.N68", dir.path());
    ASSERT_EQ(run.status, kExitOk) << run.messages;
    EXPECT_TRUE(run.output.starts_with("<?xml")) << run.output.substr(0, 80);
    EXPECT_EQ(Count(run.output, "<g class=\"panel\""), c.panels);
    EXPECT_EQ(Count(run.output, "<path class=\"trace ch"), 8 * c.panels);
    EXPECT_EQ(Count(run.output, "class=\"marker\""), c.panels);
    EXPECT_EQ(Count(run.output, ">old fence</text>"), c.panels);
    EXPECT_EQ(Count(run.output, "2024-05-01 10:00:00"), c.panels);
    EXPECT_EQ(Count(run.output, "<script"), 0u);
  }
}

TEST(SvgDocuments, FilesThatCannotBeDrawnAreRefusedWithoutOutput) {
  testing::TempDir dir;
  testing::WriteFileBytes(dir.path() / "S.N68", Mk2Survey(false));
  struct Case {
    Format format;
    std::optional<std::string> line;
    const char* message;
  };
  for (const Case& c : std::vector<Case>{
           {Format::kSvg, "C", "no line named \"C\"; the lines are \"A\", \"B\""},
           {Format::kMapSvg, std::nullopt, "a grid survey has no GPS positions"},
       }) {
    ExportOptions options = WithFormat(c.format);
    options.line = c.line;
    const ExportRun run = RunExportTo(options, dir.path() / "S.N68", dir.path());
    EXPECT_EQ(run.status, kExitUsage);
    EXPECT_NE(run.messages.find(c.message), std::string::npos) << run.messages;
    EXPECT_FALSE(run.output_exists);
  }
}

TEST(SvgDocuments, TheMapPlacesTheReadingsOfAGpsSurvey) {
  testing::TempDir dir;
  testing::WriteFileBytes(dir.path() / "G.N68", Mk2Survey(true));
  const ExportRun run = RunExportTo(WithFormat(Format::kMapSvg), dir.path() / "G.N68", dir.path());
  ASSERT_EQ(run.status, kExitOk) << run.messages;
  // 40 readings on 20 fixes 0.01' (18.5 m) apart, both lines on the one
  // track: one coloured dot per 4-pixel cell.
  EXPECT_NE(run.output.find("placed 40 of 40 readings"), std::string::npos);
  EXPECT_EQ(Count(Group(run.output, "<g class=\"track\">"), "<circle"), 20u);
  EXPECT_EQ(Count(Group(run.output, "<g class=\"track-no-value\""), "<circle"), 0u);
  EXPECT_NE(run.output.find(">C/V-1m</text>"), std::string::npos);
  EXPECT_NE(run.output.find("Conductivity (mS/m)"), std::string::npos);
  EXPECT_NE(run.output.find("class=\"north-arrow\""), std::string::npos);
}

// The panels of a profile, each from its "<g class=\"panel\"" to the next.
std::vector<std::string_view> PanelsOf(std::string_view svg) {
  std::vector<std::string_view> panels;
  for (size_t at = svg.find("<g class=\"panel\""); at != std::string_view::npos;) {
    const size_t next = svg.find("<g class=\"panel\"", at + 1);
    panels.push_back(svg.substr(at, next - at));
    at = next;
  }
  return panels;
}

double NumberAfter(std::string_view text, std::string_view key) {
  const size_t at = text.find(key);
  return at == std::string_view::npos ? std::nan("") : std::atof(text.data() + at + key.size());
}

// The pieces of channel `slot`'s trace in `panel`: the points of each
// "M x,y L x,y x,y ..." run of its path.
std::vector<std::vector<std::pair<double, double>>> PiecesOf(std::string_view panel, size_t slot) {
  const std::string open = "<path class=\"trace ch" + std::to_string(slot) + "\"";
  std::vector<std::vector<std::pair<double, double>>> pieces;
  const size_t at = panel.find(open);
  if (at == std::string_view::npos) return pieces;
  const size_t d = panel.find(" d=\"", at) + 4;
  const std::string path(panel.substr(d, panel.find('"', d) - d));
  for (const char* p = path.c_str(); *p != '\0';) {
    if (*p == 'M') pieces.emplace_back();
    if (*p == 'M' || *p == 'L' || *p == ' ') {
      ++p;
      continue;
    }
    char* end = nullptr;
    const double x = std::strtod(p, &end);
    const double y = std::strtod(end + 1, &end);
    pieces.back().emplace_back(x, y);
    p = end;
  }
  return pieces;
}

// A TQ68-MK2 survey whose channels have stretches without readings, one
// kind of stretch a line, increment 1, and a value that follows the
// station. Returns the file; `cut` is where damage goes into line "D".
std::string StretchSurvey(size_t& cut) {
  DataFileBuilder file(kKindTq68Mk2, SettingsStore{});
  uint32_t tick = 1000;
  const auto reading = [&](int station, bool vertical) {
    const auto word = static_cast<uint16_t>(33000 + station * 7 % 200);
    file.Binary(Mk2Frame(vertical ? 6 : 2, word, 32768, word, 32768), tick += 250);
  };
  const LocalTime now = At(2024, 5, 1, 10, 0, 0);
  // "A": V to station 45, H to 139, V again from 140; one V reading at 100.
  file.Line("A", 0.0, 1.0f, kKindTq68Mk2, now);
  for (int s = 0; s <= 200; ++s) reading(s, s <= 45 || s >= 140 || s == 100);
  // "B": V and H take turns (each channel every other station), then a
  // new station jumps from 50 to 180.
  file.Line("B", 0.0, 1.0f, kKindTq68Mk2, now);
  for (int s = 0; s <= 50; ++s) reading(s, s % 2 == 0);
  file.Station(180.0, now);
  for (int s = 180; s <= 230; ++s) reading(s, s % 2 == 0);
  // "C": paused after station 30. "D": damage after station 30.
  for (const char* line : {"C", "D"}) {
    file.Line(line, 0.0, 1.0f, kKindTq68Mk2, now);
    for (int s = 0; s <= 60; ++s) {
      reading(s, true);
      if (s != 30) continue;
      if (*line == 'C') {
        file.Note("$PAUSED", 'X', tick);
        file.Note("$STARTED", 'X', tick + 5000);
      } else {
        cut = file.bytes().size();
      }
    }
  }
  return file.bytes();
}

TEST(SvgDocuments, NoTraceCrossesAStretchWithoutReadings) {
  testing::TempDir dir;
  size_t cut = 0;
  std::string bytes = StretchSurvey(cut);
  bytes.insert(cut, "~~~~~");
  testing::WriteFileBytes(dir.path() / "S.N68", bytes);
  const ExportRun run = RunExportTo(WithFormat(Format::kSvg), dir.path() / "S.N68", dir.path());
  ASSERT_EQ(run.status, kExitDamaged) << run.messages;
  const std::vector<std::string_view> panels = PanelsOf(run.output);
  ASSERT_EQ(panels.size(), 4u);
  struct Stretch {
    size_t panel;
    double hi;  // of the station axis, which starts at 0 (round steps of 1, 2, 5)
    std::vector<size_t> slots;
    double station;  // inside the stretch
  };
  const std::vector<size_t> v = {0, 2, 4, 6};
  const std::vector<size_t> all = {0, 1, 2, 3, 4, 5, 6, 7};
  const std::string_view area = panels[0].substr(panels[0].find("class=\"plot-area\""));
  const double left = NumberAfter(area, " x=\"");
  const double width = NumberAfter(area, " width=\"");
  for (const Stretch& c : std::vector<Stretch>{{0, 200.0, v, 70.0},
                                               {0, 200.0, v, 120.0},
                                               {1, 250.0, all, 115.0},
                                               {2, 60.0, v, 30.5},
                                               {3, 60.0, v, 30.5}}) {
    const std::string_view panel = panels[c.panel];
    const double x = left + c.station / c.hi * width;
    for (const size_t slot : c.slots) {
      const auto pieces = PiecesOf(panel, slot);
      EXPECT_GE(pieces.size(), 2u) << "panel " << c.panel << " ch" << slot;
      for (const auto& piece : pieces) {
        for (size_t k = 1; k < piece.size(); ++k) {
          EXPECT_FALSE(std::min(piece[k - 1].first, piece[k].first) < x &&
                       std::max(piece[k - 1].first, piece[k].first) > x)
              << "panel " << c.panel << " ch" << slot << " crosses station " << c.station;
        }
      }
    }
  }
  // The lone V reading at station 100 of line "A" is a dot of each V trace,
  // and the damage in "D" a hatched column where it was.
  for (const size_t slot : v) {
    const std::string lone = "<g class=\"lone ch" + std::to_string(slot) + "\"";
    ASSERT_NE(panels[0].find(lone), std::string_view::npos) << slot;
    EXPECT_NEAR(NumberAfter(panels[0].substr(panels[0].find(lone)), "cx=\""),
                left + 100.0 / 200.0 * width, 1.0);
  }
  const size_t hatch = panels[3].find("<rect class=\"damage\"");
  ASSERT_NE(hatch, std::string_view::npos);
  const double damage_x = left + 30.5 / 60.0 * width;
  EXPECT_LE(NumberAfter(panels[3].substr(hatch), " x=\""), damage_x);
  EXPECT_GE(NumberAfter(panels[3].substr(hatch), " x=\"") +
                NumberAfter(panels[3].substr(hatch), " width=\""),
            damage_x);
  EXPECT_EQ(panels[2].find("<rect class=\"damage\""), std::string_view::npos);
}

// The names in the panels' titles, in order.
std::vector<std::string> PanelNames(std::string_view svg) {
  std::vector<std::string> names;
  const std::string_view key = "<tspan font-weight=\"bold\">Line ";
  for (const std::string_view panel : PanelsOf(svg)) {
    const size_t at = panel.find(key) + key.size();
    names.emplace_back(panel.substr(at, panel.find('<', at) - at));
  }
  return names;
}

// A survey of lines without readings, named `names` in order.
std::string LinesNamed(const std::vector<std::string>& names) {
  DataFileBuilder file(kKindTq68Mk2, SettingsStore{});
  for (const std::string& name : names) {
    file.Line(name, 0.0, 1.0f, kKindTq68Mk2, At(2024, 5, 1, 10, 0, 0));
  }
  return file.bytes();
}

TEST(SvgDocuments, TheLineListPicksNamesNumberRangesAndPlaces) {
  testing::TempDir dir;
  testing::WriteFileBytes(dir.path() / "S.N68", LinesNamed({"1", "2", "3", "10", "X-1", "2"}));
  struct Case {
    const char* list;
    std::vector<std::string> drawn;  // empty: refused
  };
  for (const Case& c : std::vector<Case>{{"2", {"2", "2"}},
                                          {"1-3", {"1", "2", "3", "2"}},
                                          {"#4-#5", {"10", "X-1"}},
                                          {"X-1", {"X-1"}},  // a name, not a range
                                          {"3,#1", {"1", "3"}},
                                          {"4-9", {}},
                                          {"1,Y", {}}}) {
    ExportOptions options = WithFormat(Format::kSvg);
    options.line = c.list;
    const ExportRun run = RunExportTo(options, dir.path() / "S.N68", dir.path());
    EXPECT_EQ(run.status, c.drawn.empty() ? kExitUsage : kExitOk) << c.list << run.messages;
    if (run.status == kExitOk) {
      EXPECT_EQ(PanelNames(run.output), c.drawn) << c.list;
    }
  }
}

TEST(SvgDocuments, ATallSurveyIsRefusedUnlessEachLineGetsItsOwnDocument) {
  testing::TempDir dir;
  // 70 panels of two plots, 458 pixels each, are 32,060 pixels; "a/b" has
  // a slash.
  std::vector<std::string> names(70, "L");
  names[1] = "a/b";
  testing::WriteFileBytes(dir.path() / "S.N68", LinesNamed(names));
  ExportRun run = RunExportTo(WithFormat(Format::kSvg), dir.path() / "S.N68", dir.path());
  EXPECT_EQ(run.status, kExitUsage);
  EXPECT_NE(run.messages.find("32,060 pixels"), std::string::npos) << run.messages;
  EXPECT_NE(run.messages.find("--split DIR"), std::string::npos) << run.messages;
  EXPECT_FALSE(run.output_exists);

  ExportOptions options = WithFormat(Format::kSvg);
  options.split = dir.path() / "pages";
  options.input = dir.path() / "S.N68";
  ASSERT_EQ(RunExport(options, -1, stderr, false), kExitOk);
  std::vector<std::string> files;
  for (const auto& entry : std::filesystem::directory_iterator(dir.path() / "pages")) {
    files.push_back(entry.path().filename().string());
    const std::string svg = testing::ReadFileBytes(entry.path());
    EXPECT_TRUE(svg.starts_with("<?xml")) << files.back();
    EXPECT_TRUE(svg.ends_with("</svg>\n")) << files.back();
    EXPECT_EQ(PanelsOf(svg).size(), 1u) << files.back();
    EXPECT_EQ(NumberAfter(svg, "<svg xmlns=\"http://www.w3.org/2000/svg\" version=\"1.1\" width=\"1000.0\" height=\""),
              458.0);
  }
  std::sort(files.begin(), files.end());
  ASSERT_EQ(files.size(), 70u);
  EXPECT_EQ(files[0], "S-001-L.svg");
  EXPECT_EQ(files[1], "S-002-a_b.svg");
  EXPECT_EQ(files[69], "S-070-L.svg");
}

TEST(SvgDocuments, TheRobustScaleKeepsAWildValueOffTheScale) {
  // An FRZ62 line of ice 1.08..1.11 m thick ("T" cm "I" inphase), and one
  // line with a reading of 9.99 m among 200.
  testing::TempDir dir;
  for (const bool wild : {false, true}) {
    DataFileBuilder file(kKindFrz62, SettingsStore{});
    file.Line("1", 0.0, 1.0f, kKindFrz62, At(2024, 5, 1, 12, 0, 0));
    for (int i = 0; i < 200; ++i) {
      const int cm = wild && i == 100 ? 999 : 108 + i % 4;
      file.Ascii("T" + std::to_string(cm) + "I045", 1000 + 250 * static_cast<uint32_t>(i));
    }
    file.WriteTo(dir.path() / (wild ? "W.I62" : "F.I62"));
  }
  struct Case {
    const char* file;
    ProfileScale scale;
    const char* shown;   // a tick label of the thickness plot
    const char* hidden;  // one it must not have
    bool beyond;
  };
  // 1.08..1.11 is widened to 0.1 m and rounds out to 1.00..1.15; with 9.99
  // m the full scale is 0..10 in steps of 5.
  for (const Case& c : std::vector<Case>{
           {"F.I62", ProfileScale::kFull, ">1.15</text>", ">1.09</text>", false},
           {"W.I62", ProfileScale::kFull, ">10</text>", ">1.15</text>", false},
           {"W.I62", ProfileScale::kRobust, ">1.15</text>", ">10</text>", true}}) {
    ExportOptions options = WithFormat(Format::kSvg);
    options.style.scale = c.scale;
    const ExportRun run = RunExportTo(options, dir.path() / c.file, dir.path());
    ASSERT_EQ(run.status, kExitOk) << run.messages;
    EXPECT_NE(run.output.find(c.shown), std::string::npos) << c.file << " " << c.shown;
    EXPECT_EQ(run.output.find(c.hidden), std::string::npos) << c.file << " " << c.hidden;
    EXPECT_EQ(run.output.find("<g class=\"beyond ch0\"") != std::string::npos, c.beyond) << c.file;
  }
}

TEST(SvgDocuments, TheMapNamesItsAxesItsLinesAndHowManyReadingsItPlaced) {
  testing::TempDir dir;
  // Three readings long after the last fix have no position.
  std::string bytes = Mk2Survey(true);
  DataFileBuilder late(kKindTq68Mk2, SettingsStore{});
  for (uint32_t i = 0; i < 3; ++i) late.Binary(Mk2Frame(6, 33000, 32768, 33000, 32768), 60000 + i);
  bytes += late.bytes().substr(2 * 26);
  testing::WriteFileBytes(dir.path() / "G.N68", bytes);
  struct Case {
    std::optional<std::string> channel;
    size_t coloured, grey;
  };
  // Every reading is V: coloured by C/V-1m, grey by C/H-1m.
  for (const Case& c : std::vector<Case>{{std::nullopt, 20, 0}, {"C/H-1m", 0, 20}}) {
    ExportOptions options = WithFormat(Format::kMapSvg);
    options.channel = c.channel;
    const ExportRun run = RunExportTo(options, dir.path() / "G.N68", dir.path());
    ASSERT_EQ(run.status, kExitOk) << run.messages;
    EXPECT_NE(run.output.find("placed 40 of 43 readings"), std::string::npos);
    EXPECT_EQ(Count(Group(run.output, "<g class=\"track\">"), "<circle"), c.coloured);
    EXPECT_EQ(Count(Group(run.output, "<g class=\"track-no-value\""), "<circle"), c.grey);
    // Fixes 0.01' (18.53 m) apart, 19 steps north: 352 m take 92 % of the
    // side, 383 m, in ten round steps of 50 m.
    const std::string_view labels = Group(run.output, "<g class=\"grid-labels\">");
    for (const char* tick : {">-150</text>", ">0</text>", ">150</text>", "East (m)"}) {
      EXPECT_NE(labels.find(tick), std::string_view::npos) << tick;
    }
    // Both lines start at the same place: "B" would cover "A".
    EXPECT_NE(run.output.find("class=\"line-name\" fill=\"#000000\">A</text>"), std::string::npos);
    EXPECT_NE(run.output.find("1 line name left out"), std::string::npos);
  }
  ExportOptions options = WithFormat(Format::kMapSvg);
  options.channel = "V-10m";
  const ExportRun run = RunExportTo(options, dir.path() / "G.N68", dir.path());
  EXPECT_EQ(run.status, kExitUsage);
  EXPECT_NE(run.messages.find("the TQ68-MK2 channels are C/V-1m, C/H-1m"), std::string::npos);
}

TEST(SvgDocuments, AFileWithoutReadingsIsNoErrorInAnyFormatButEmagpy) {
  testing::TempDir dir;
  for (const int gps : {0, 1}) {
    SettingsStore settings;
    settings.GpsInput = gps;
    DataFileBuilder(kKindTq68Mk2, settings).WriteTo(dir.path() / (gps ? "G.N68" : "F.N68"));
  }
  struct Case {
    const char* file;
    Format format;
    int status;
    const char* says;
  };
  for (const Case& c : std::vector<Case>{
           {"F.N68", Format::kCsv, kExitOk, "line,station"},
           {"F.N68", Format::kSvg, kExitOk, "no survey line in this file"},
           {"G.N68", Format::kMapSvg, kExitOk, "no readings in this file"},
           {"F.N68", Format::kMapSvg, kExitUsage, ""},  // a grid survey is never a map
       }) {
    const ExportRun run = RunExportTo(WithFormat(c.format), dir.path() / c.file, dir.path());
    EXPECT_EQ(run.status, c.status) << c.file << " " << run.messages;
    EXPECT_NE(run.output.find(c.says), std::string::npos) << c.file;
  }
}

TEST(SvgDocuments, TheLineOptionGoesWithTheProfileOnly) {
  const std::vector<std::string_view> args = {"F.N68", "--format", "csv", "--line", "A"};
  EXPECT_EQ(ParseCommandLine(args).error, "--line goes with --format svg only");
  const std::vector<std::string_view> good = {"F.N68", "--format=svg", "--line=A"};
  const ParsedCommandLine parsed = ParseCommandLine(good);
  EXPECT_EQ(parsed.error, "");
  EXPECT_EQ(parsed.options.line, "A");
}

}  // namespace
}  // namespace tq::exporter
