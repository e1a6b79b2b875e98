// The SVG drawings of tqexport: the pixel-column decimation, round axes,
// the local projection and scale bar, and the documents drawn from real
// data files (panels, polylines, refusals).
#include <gtest/gtest.h>

#include <cmath>
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
    for (float v : c.values) trace.Add(3, v);
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
              static_cast<float>(std::sin(i * 0.01) * 100.0));
  }
  trace.Add(-1, 1e6f);  // outside: dropped
  trace.Add(kProfileColumns, 1e6f);
  const std::vector<ColumnTrace::Point> points = trace.Points();
  EXPECT_GT(points.size(), static_cast<size_t>(kProfileColumns));
  EXPECT_LE(points.size(), static_cast<size_t>(4 * kProfileColumns));
  for (const ColumnTrace::Point& p : points) EXPECT_LE(std::fabs(p.value), 100.0f);
  trace.Clear();
  EXPECT_TRUE(trace.Points().empty());
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
    const std::vector<ChannelTrace> traces = ChannelTracesFor(header);
    ASSERT_LT(c.index, traces.size());
    const ChannelTrace& t = traces[c.index];
    EXPECT_STREQ(t.label, c.label);
    EXPECT_EQ(t.quantity, c.quantity) << c.label;
    EXPECT_EQ(SvgColour(t.color), c.colour) << c.label;
    EXPECT_EQ(t.width, c.width) << c.label;
  }
  EXPECT_STREQ(QuantityUnit(Quantity::kInphase), "ppt");
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
    EXPECT_EQ(Count(run.output, "<polyline class=\"trace ch"), 8 * c.panels);
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
  EXPECT_NE(run.output.find("40 readings placed by GPS"), std::string::npos);
  EXPECT_EQ(Count(Group(run.output, "<g class=\"track\">"), "<circle"), 20u);
  EXPECT_EQ(Count(Group(run.output, "<g class=\"track-no-value\""), "<circle"), 0u);
  EXPECT_NE(run.output.find(">C/V-1m</text>"), std::string::npos);
  EXPECT_NE(run.output.find("Conductivity (mS/m)"), std::string::npos);
  EXPECT_NE(run.output.find("class=\"north-arrow\""), std::string::npos);
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
