// tqexport over data files of several kinds: the CSV columns and rows, the
// time column, GPS positions, GeoJSON, EMagPy's CSV, the record listing, and
// files that are cut short or are no data files.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <string>
#include <vector>

#include "tests/tools/export_test_files.h"

namespace tq::exporter {
namespace {

using testing::TempDir;

// Words that make round values: u(w) = (w x 5 / 1024 - 160) x 8.
constexpr uint16_t kU0 = 32768;   // 0
constexpr uint16_t kU40 = 33792;  // 40
constexpr uint16_t kU80 = 34816;  // 80
constexpr uint16_t kU20 = 33280;  // 20
constexpr uint8_t kVertical = 6;
constexpr uint8_t kHorizontal = 2;
constexpr uint8_t kVerticalMarked = 22;  // 6 + 16: external marker

// V: C 40 + O1, I 80 x 0.028819 = 2.30552, c2 20, i2 80 x 0.00720475 = 0.57638.
const auto kMk2V = Mk2Frame(kVertical, kU40, kU80, kU20, kU80);
// H: C 80 + O1, I 40 x 0.028819 = 1.15276, c2 0, i2 40 x 0.00720475 = 0.28819.
const auto kMk2H = Mk2Frame(kHorizontal, kU80, kU40, kU0, kU40);

std::array<uint8_t, 14> WithLetter(std::array<uint8_t, 14> frame, char letter) {
  frame[0] = static_cast<uint8_t>(letter);
  return frame;
}

SettingsStore Mk2Settings() {
  SettingsStore s;
  s.Mk2Calibration = {1.5f, 0, 0, 0, 0, 0};  // O1 moves both dipoles' conductivity
  return s;
}

class ExportFormats : public ::testing::Test {
 protected:
  std::filesystem::path Write(const DataFileBuilder& file, const char* name = "DATA.N68") {
    const std::filesystem::path path = dir_.path() / name;
    file.WriteTo(path);
    return path;
  }
  ExportRun Run(const std::filesystem::path& input, ExportOptions options = {}) {
    return RunExportTo(std::move(options), input, out_.path());
  }

  TempDir dir_;
  TempDir out_;
};

// ---------------------------------------------------------------------------
// CSV of grid surveys

TEST_F(ExportFormats, Mk2CsvHasTheTraceLabelsAndOneRowPerReading) {
  DataFileBuilder file(kKindTq68Mk2, Mk2Settings());
  file.Line("7", 10.0, 2.5f, kKindTq68Mk2, At(2024, 5, 1, 12, 0, 0))
      .Mark(1000, At(2024, 5, 1, 12, 0, 0))
      .Binary(kMk2V, 1100)
      .Binary(WithLetter(kMk2H, '2'), 1150)
      .Note("hello", 'C', 1160)
      .Binary(Mk2Frame(kVerticalMarked, kU40, kU80, kU20, kU80), 1200);
  const ExportRun run = Run(Write(file));
  ASSERT_EQ(run.status, kExitOk) << run.messages;
  EXPECT_EQ(run.messages, "");
  EXPECT_EQ(run.output,
            "line,station,reading,tick,time,marker,dipole,C/V-1m,C/H-1m,I/V-1m,I/H-1m,C/V-0.5m,"
            "C/H-0.5m,I/V-0.5m,I/H-0.5m\n"
            "7,10.000,1,1100,2024-05-01T12:00:00.100,0,V,41.500,,2.306,,20.000,,0.576,\n"
            "7,10.000,2,1150,2024-05-01T12:00:00.150,0,H,,81.500,,1.153,,0.000,,0.288\n"
            "7,12.500,1,1200,2024-05-01T12:00:00.200,1,V,41.500,,2.306,,20.000,,0.576,\n");
}

TEST_F(ExportFormats, Tq64CsvFollowsNewStationsAndTheSixSeparations) {
  SettingsStore s;
  DataFileBuilder file(kKindTq64, s);
  // Status bytes: 16 + 4 = V10 range code 4 (k = -0.025); 32 + 24 + 4 = H40;
  // 64 + 8 + 4 = marked V20.
  file.Line("A5", 0.0, 1.0f, kKindTq64, At(2024, 5, 1, 9, 30, 0))
      .Mark(1000, At(2024, 5, 1, 9, 30, 0, 500))
      .Ascii("T\x14-4000+0000", 2000)
      .Station(50.0, At(2024, 5, 1, 9, 30, 1, 540))
      .Mark(2050, At(2024, 5, 1, 9, 30, 1, 550))
      .Ascii("T<-0400+0000", 2100)
      .Ascii("2L-2000+0000", 2200);
  const ExportRun run = Run(Write(file, "DATA.R64"));
  ASSERT_EQ(run.status, kExitOk) << run.messages;
  EXPECT_EQ(run.output,
            "line,station,reading,tick,time,marker,dipole,V-10m,V-20m,V-40m,H-10m,H-20m,H-40m\n"
            "A5,0.000,1,2000,2024-05-01T09:30:01.500,0,V,100.000,,,,,\n"
            "A5,50.000,1,2100,2024-05-01T09:30:01.600,0,H,,,,,,10.000\n"
            "A5,50.000,2,2200,2024-05-01T09:30:01.700,1,V,,50.000,,,,\n");
}

TEST_F(ExportFormats, TimeColumnCrossesMidnightAndFollowsEachDateRecord) {
  SettingsStore s;
  DataFileBuilder file(kKindTq93, s);
  // Status "$" = 32 + 4: V, range code 4 (k = -2.5); C = -40 x -2.5, I = -8 x -0.25.
  const char* frame = "T$-0040-0008";
  file.Line("1", 0.0, 1.0f, kKindTq93, At(2023, 12, 31, 23, 59, 58))
      .Ascii(frame, 900)  // before the first time mark
      .Mark(1000, At(2023, 12, 31, 23, 59, 59, 500))
      .Ascii(frame, 1200)
      .Ascii(frame, 1600)  // past midnight by the ticks
      .Station(5.0, At(2024, 1, 1, 0, 0, 0, 990))
      .Mark(2500, At(2024, 1, 1, 0, 0, 1, 0))  // the mark itself past midnight
      .Ascii(frame, 2600)
      .Line("2", 0.0, 1.0f, kKindTq93, At(2024, 1, 2, 8, 0, 0))
      .Mark(5000, At(2024, 1, 2, 8, 0, 0, 0))
      .Ascii(frame, 5250);
  const ExportRun run = Run(Write(file, "DATA.R93"));
  ASSERT_EQ(run.status, kExitOk) << run.messages;
  EXPECT_EQ(run.output,
            "line,station,reading,tick,time,marker,dipole,C,I\n"
            "1,0.000,1,900,,0,V,100.000,2.000\n"
            "1,1.000,1,1200,2023-12-31T23:59:59.700,0,V,100.000,2.000\n"
            "1,2.000,1,1600,2024-01-01T00:00:00.100,0,V,100.000,2.000\n"
            "1,5.000,1,2600,2024-01-01T00:00:01.100,0,V,100.000,2.000\n"
            "2,0.000,1,5250,2024-01-02T08:00:00.250,0,V,100.000,2.000\n");
}

TEST_F(ExportFormats, LineNamesWithCommasAreQuoted) {
  SettingsStore s;
  DataFileBuilder file(kKindTq93, s);
  file.Line("a,\"b\"", 0.0, 1.0f, kKindTq93, At(2024, 1, 1, 0, 0, 0)).Ascii("T$-0040-0008", 10);
  const ExportRun run = Run(Write(file, "DATA.R93"));
  ASSERT_EQ(run.status, kExitOk);
  EXPECT_EQ(LinesOf(run.output).at(1), "\"a,\"\"b\"\"\",0.000,1,10,,0,V,100.000,2.000");
}

// ---------------------------------------------------------------------------
// GPS surveys

// Fixes at ticks 1000 and 2000, 0.01 degree apart; a bad line at 1500 that
// must not count; readings before, between (one stored in the middle of the
// next fix's records), after within 5 s and after beyond 5 s.
DataFileBuilder GpsSurvey() {
  SettingsStore s;
  s.GpsInput = 1;
  DataFileBuilder file(kKindTq68Mk2, s);
  const std::string fix1 = Sentence("GPGGA,100000,4800.000,N,01100.000,E,1,08,0.9,500.0,M,,M,,");
  const std::string fix2 = Sentence("GPGGA,100001,4800.600,N,01100.600,E,2,09,1.1,510.0,M,,M,,");
  std::string bad = Sentence("GPGGA,100000.5,5000.000,N,01100.300,E,1,08,0.9,500.0,M,,M,,");
  bad.back() = bad.back() == '0' ? '1' : '0';
  file.Line("1", 0.0, 1.0f, kKindTq68Mk2, At(2024, 5, 1, 10, 0, 0))
      .Mark(500, At(2024, 5, 1, 10, 0, 0))
      .Binary(kMk2V, 600)
      .Gps(fix1, 1000)
      .Binary(kMk2V, 1250)
      .Gps(bad, 1500, false);
  const std::vector<DataRecord> pieces = file.GpsRecords(fix2, 2000);
  file.Add(pieces[0]).Binary(kMk2V, 1750);
  for (size_t i = 1; i < pieces.size(); ++i) file.Add(pieces[i]);
  file.Binary(kMk2V, 5000).Binary(kMk2V, 8000);
  return file;
}

TEST_F(ExportFormats, GpsColumnsInterpolateBetweenTheFixesAroundEachReading) {
  const ExportRun run = Run(Write(GpsSurvey()));
  ASSERT_EQ(run.status, kExitOk) << run.messages;
  const std::vector<std::string> lines = LinesOf(run.output);
  ASSERT_EQ(lines.size(), 6u);
  EXPECT_TRUE(lines[0].ends_with(",I/H-0.5m,lat,lon,alt,quality,sats,hdop"));
  // Only a fix after it, 400 ms away: that fix.
  EXPECT_TRUE(lines[1].ends_with(",48.0000000,11.0000000,500.000,1,8,0.90")) << lines[1];
  // A quarter of the way from fix 1 to fix 2, nearer fix 1.
  EXPECT_TRUE(lines[2].ends_with(",48.0025000,11.0025000,502.500,1,8,0.90")) << lines[2];
  // Three quarters, nearer fix 2; the bad line at 1500 is not a fix.
  EXPECT_TRUE(lines[3].ends_with(",48.0075000,11.0075000,507.500,2,9,1.10")) << lines[3];
  // 3 s after the last fix: that fix; 6 s after: nothing.
  EXPECT_TRUE(lines[4].ends_with(",48.0100000,11.0100000,510.000,2,9,1.10")) << lines[4];
  EXPECT_TRUE(lines[5].ends_with(",0.576,,,,,,,")) << lines[5];
  EXPECT_TRUE(lines[5].starts_with("1,4.000,1,8000,2024-05-01T10:00:07.500,0,V,")) << lines[5];
}

TEST_F(ExportFormats, AReadingWithADamagedTickLosesOnlyItsOwnPosition) {
  SettingsStore s;
  s.GpsInput = 1;
  DataFileBuilder file(kKindTq68Mk2, s);
  // Fixes 0.01 degree apart each second; the fourth reading's tick is garbage.
  file.Line("1", 0.0, 1.0f, kKindTq68Mk2, At(2024, 5, 1, 10, 0, 0))
      .Mark(500, At(2024, 5, 1, 10, 0, 0))
      .Gps(Sentence("GPGGA,100000,4800.000,N,01100.000,E,1,08,0.9,500.0,M,,M,,"), 1000)
      .Binary(kMk2V, 1250)
      .Gps(Sentence("GPGGA,100001,4800.600,N,01100.600,E,1,08,0.9,510.0,M,,M,,"), 2000)
      .Binary(kMk2V, 1000000000)
      .Binary(kMk2V, 2500)
      .Gps(Sentence("GPGGA,100002,4801.200,N,01101.200,E,1,08,0.9,520.0,M,,M,,"), 3000)
      .Binary(kMk2V, 3250)
      .Gps(Sentence("GPGGA,100003,4801.800,N,01101.800,E,1,08,0.9,530.0,M,,M,,"), 4000);
  const ExportRun run = Run(Write(file));
  ASSERT_EQ(run.status, kExitOk) << run.messages;
  const std::vector<std::string> lines = LinesOf(run.output);
  ASSERT_EQ(lines.size(), 5u) << run.output;
  EXPECT_TRUE(lines[1].ends_with(",48.0025000,11.0025000,502.500,1,8,0.90")) << lines[1];
  EXPECT_TRUE(lines[2].ends_with(",0.576,,,,,,,")) << lines[2];
  EXPECT_TRUE(lines[3].ends_with(",48.0150000,11.0150000,515.000,1,8,0.90")) << lines[3];
  EXPECT_TRUE(lines[4].ends_with(",48.0225000,11.0225000,522.500,1,8,0.90")) << lines[4];
}

TEST_F(ExportFormats, GeoJsonHasOnePointFeaturePerPlacedReading) {
  const ExportRun run = Run(Write(GpsSurvey()), WithFormat(Format::kGeoJson));
  ASSERT_EQ(run.status, kExitOk) << run.messages;
  const std::vector<std::string> lines = LinesOf(run.output);
  ASSERT_EQ(lines.size(), 6u) << run.output;  // opening, four features, closing
  EXPECT_EQ(lines[0], "{\"type\":\"FeatureCollection\",\"features\":[");
  EXPECT_EQ(lines[1],
            "{\"type\":\"Feature\",\"geometry\":{\"type\":\"Point\",\"coordinates\":"
            "[11.0000000,48.0000000,500.000]},\"properties\":{\"line\":\"1\",\"station\":0.000,"
            "\"reading\":1,\"tick\":600,\"time\":\"2024-05-01T10:00:00.100\",\"marker\":0,"
            "\"dipole\":\"V\",\"C/V-1m\":40.000,\"C/H-1m\":null,\"I/V-1m\":2.306,\"I/H-1m\":null,"
            "\"C/V-0.5m\":20.000,\"C/H-0.5m\":null,\"I/V-0.5m\":0.576,\"I/H-0.5m\":null,"
            "\"lat\":48.0000000,\"lon\":11.0000000,\"alt\":500.000,\"quality\":1,\"sats\":8,"
            "\"hdop\":0.90}},");
  for (size_t i = 2; i <= 3; ++i) EXPECT_TRUE(lines[i].ends_with("}},")) << lines[i];
  EXPECT_TRUE(lines[4].starts_with("{\"type\":\"Feature\",\"geometry\":{\"type\":\"Point\","
                                   "\"coordinates\":[11.0100000,48.0100000,510.000]}"));
  EXPECT_TRUE(lines[4].ends_with("\"hdop\":1.10}}"));
  EXPECT_EQ(lines[5], "]}");
}

// A record of `length` bytes: `text`, spaces, LF.
DataRecord RawRecord(std::string_view text, size_t length) {
  DataRecord r;
  r.length = length;
  std::fill_n(r.bytes.begin(), length - 1, uint8_t{' '});
  std::copy(text.begin(), text.end(), r.bytes.begin());
  r.bytes[length - 1] = '\n';
  return r;
}

TEST_F(ExportFormats, GeoJsonStaysValidWhenAStationOverflows) {
  SettingsStore s;
  s.GpsInput = 1;
  DataFileBuilder file(kKindTq68Mk2, s);
  // Start 1e308 and increment 1e308: station 1e308, then beyond any double.
  file.Add(RawRecord("L1", kLongRecordLength))
      .Add(RawRecord("B1e308", kLongRecordLength))
      .Add(RawRecord("AN      1e308", kLongRecordLength))
      .Gps(Sentence("GPGGA,100000,4800.000,N,01100.000,E,1,08,0.9,500.0,M,,M,,"), 1000)
      .Binary(kMk2V, 1100)
      .Binary(kMk2V, 1200);
  const std::filesystem::path input = Write(file);
  const ExportRun json = Run(input, WithFormat(Format::kGeoJson));
  ASSERT_EQ(json.status, kExitOk) << json.messages;
  const std::vector<std::string> lines = LinesOf(json.output);
  ASSERT_EQ(lines.size(), 4u) << json.output;
  EXPECT_NE(lines[2].find(",\"station\":null,\"reading\":1,"), std::string::npos) << lines[2];
  EXPECT_EQ(json.output.find(":,"), std::string::npos);
  const ExportRun csv = Run(input);
  EXPECT_TRUE(LinesOf(csv.output).at(2).starts_with("1,,1,1200,")) << csv.output;
}

TEST_F(ExportFormats, GeoJsonOfAGridSurveyIsAnEmptyCollectionWithAWarning) {
  DataFileBuilder file(kKindTq68Mk2, Mk2Settings());
  file.Line("7", 0.0, 1.0f, kKindTq68Mk2, At(2024, 5, 1, 12, 0, 0)).Binary(kMk2V, 1100);
  const ExportRun run = Run(Write(file), WithFormat(Format::kGeoJson));
  ASSERT_EQ(run.status, kExitOk);
  EXPECT_EQ(run.output, "{\"type\":\"FeatureCollection\",\"features\":[\n]}\n");
  EXPECT_NE(run.messages.find("no features"), std::string::npos);
}

// ---------------------------------------------------------------------------
// EMagPy

ExportOptions Emagpy(std::optional<double> separation = std::nullopt,
                     std::optional<double> frequency = std::nullopt,
                     std::optional<double> height = std::nullopt) {
  ExportOptions options = WithFormat(Format::kEmagpy);
  options.naming = {separation, frequency, height};
  return options;
}

TEST_F(ExportFormats, EmagpyMk2GivesOneRowPerStationWithBothDipoles) {
  SettingsStore s = Mk2Settings();
  s.SurveyMode = 2;
  s.DipoleMode = 2;  // V then H at every station
  DataFileBuilder file(kKindTq68Mk2, s);
  file.Line("7", 0.0, 2.0f, kKindTq68Mk2, At(2024, 5, 1, 12, 0, 0))
      .Binary(kMk2V, 100)
      .Binary(WithLetter(kMk2H, '2'), 200)
      .Binary(kMk2V, 300)
      .Binary(WithLetter(kMk2H, '2'), 400);
  const ExportRun run = Run(Write(file), Emagpy(std::nullopt, 9000, 0.1));
  ASSERT_EQ(run.status, kExitOk) << run.messages;
  EXPECT_EQ(run.output,
            "x,y,HCP1.0f9000h0.1,VCP1.0f9000h0.1,HCP0.5f9000h0.1,VCP0.5f9000h0.1,"
            "HCP1.0f9000h0.1_inph,VCP1.0f9000h0.1_inph,HCP0.5f9000h0.1_inph,"
            "VCP0.5f9000h0.1_inph\n"
            "0.000,0,41.500,81.500,20.000,0.000,2.306,1.153,0.576,0.288\n"
            "2.000,0,41.500,81.500,20.000,0.000,2.306,1.153,0.576,0.288\n");
}

TEST_F(ExportFormats, EmagpyTakesTheOtherDipoleFromThePreviousStationOnly) {
  SettingsStore s = Mk2Settings();
  DataFileBuilder file(kKindTq68Mk2, s);
  // One reading per station, dipoles V V H V; then a new line starting with H.
  file.Line("7", 0.0, 1.0f, kKindTq68Mk2, At(2024, 5, 1, 12, 0, 0))
      .Binary(kMk2V, 100)
      .Binary(kMk2V, 200)
      .Binary(kMk2H, 300)
      .Binary(kMk2V, 400)
      .Line("8", 0.0, 1.0f, kKindTq68Mk2, At(2024, 5, 1, 12, 1, 0))
      .Binary(kMk2H, 500);
  const ExportRun run = Run(Write(file), Emagpy());
  ASSERT_EQ(run.status, kExitOk) << run.messages;
  const std::vector<std::string> lines = LinesOf(run.output);
  ASSERT_EQ(lines.size(), 3u) << run.output;
  EXPECT_EQ(lines[0], "x,y,HCP1.0,VCP1.0,HCP0.5,VCP0.5,HCP1.0_inph,VCP1.0_inph,HCP0.5_inph,"
                      "VCP0.5_inph");
  EXPECT_EQ(lines[1], "2.000,0,41.500,81.500,20.000,0.000,2.306,1.153,0.576,0.288");
  EXPECT_EQ(lines[2], "3.000,0,41.500,81.500,20.000,0.000,2.306,1.153,0.576,0.288");
  // Stations 0 and 1 lack H; the new line's first station lacks V.
  EXPECT_NE(run.messages.find("3 stations without a value for every coil"), std::string::npos)
      << run.messages;
}

TEST_F(ExportFormats, EmagpyOfAGpsSurveyLeavesOutUnusedCoilsAndUnplacedStations) {
  const ExportRun run = Run(Write(GpsSurvey()), Emagpy());
  ASSERT_EQ(run.status, kExitOk) << run.messages;
  const std::vector<std::string> lines = LinesOf(run.output);
  ASSERT_EQ(lines.size(), 5u);
  EXPECT_EQ(lines[0], "latitude,longitude,elevation,HCP1.0,HCP0.5,HCP1.0_inph,HCP0.5_inph");
  EXPECT_EQ(lines[1], "48.0000000,11.0000000,500.000,40.000,20.000,2.306,0.576");
  EXPECT_EQ(lines[3], "48.0075000,11.0075000,507.500,40.000,20.000,2.306,0.576");
  EXPECT_NE(run.messages.find("1 stations without a GPS position"), std::string::npos);
}

TEST_F(ExportFormats, EmagpyOfAKindWithoutSeparationNeedsOne) {
  SettingsStore s;
  s.SurveyMode = 2;
  s.DipoleMode = 2;
  s.Component = 2;
  DataFileBuilder file(kKindTq68, s);
  // "$" = 32 + 4: V conductivity, code 0 (k = -0.1); "\x04": H conductivity.
  file.Line("1", 0.0, 1.0f, kKindTq68, At(2024, 5, 1, 12, 0, 0))
      .Ascii("T$-0500", 100)
      .Ascii("2\x04-0300", 200);
  const std::filesystem::path input = Write(file, "DATA.R68");

  const ExportRun without = Run(input, Emagpy());
  EXPECT_EQ(without.status, kExitUsage);
  EXPECT_FALSE(without.output_exists);
  EXPECT_NE(without.messages.find("--coil-separation"), std::string::npos) << without.messages;
  EXPECT_EQ(LinesOf(without.messages).size(), 1u);

  const ExportRun with = Run(input, Emagpy(3.66));
  ASSERT_EQ(with.status, kExitOk) << with.messages;
  EXPECT_EQ(with.output, "x,y,HCP3.66,VCP3.66\n0.000,0,50.000,30.000\n");
}

TEST_F(ExportFormats, EmagpyRefusesIceThicknessFiles) {
  SettingsStore s;
  DataFileBuilder file(kKindFrz62, s);
  file.Line("1", 0.0, 1.0f, kKindFrz62, At(2024, 5, 1, 12, 0, 0));
  const ExportRun run = Run(Write(file, "DATA.I62"), Emagpy(1.0));
  EXPECT_EQ(run.status, kExitUsage);
  EXPECT_FALSE(run.output_exists);
}

// ---------------------------------------------------------------------------
// Battery frames

// An odd status byte: on the TQ62 a battery frame whose fields, scaled by
// the range factor, are two voltages; the other ASCII kinds read the low
// bit as part of the range code, so theirs are ordinary readings.
TEST_F(ExportFormats, OnlyTq62BatteryFramesMoveToTheBatteryColumns) {
  struct Case { int32_t kind; const char* frame; const char* columns; const char* cells; };
  const Case cases[] = {
      // "!" = 32 + 1: V, code 1 (k = -0.0025): -4800 and -4640 give 12 V and 11.6 V.
      {kKindTq62, "T!-4800-4640", "C/V,C/H,I/V,I/H,battery,battery_volts1,battery_volts2",
       "V,,,,,1,12.000,11.600"},
      // Code 1: C = -500 x -1.0 from field 2, I = -400 x -0.00288 from field 1.
      {kKindTq68b, "T!-0400-0500", "C/V,C/H,I/V,I/H", "V,500.000,,1.152,"},
      // "'" = 32 + 7: conductivity frame, code 3 (factor -1.0), both dipoles.
      {kKindTq68dd, "T'-0400-0500", "C/V,C/H,I/V,I/H", "V,400.000,500.000,,"},
      {kKindTq68, "T'-0400", "C/V,C/H,I/V,I/H", "V,400.000,,,"},
      // "3" = 32 + 16 + 3: H10, code 3 (k = -0.0075).
      {kKindTq64, "T3-4000+0000", "V-10m,V-20m,V-40m,H-10m,H-20m,H-40m", "H,,,,30.000,,"},
      {kKindTq93, "T!-0400-0008", "C,I", "V,100.000,2.000"},  // code 1: k = -0.25
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(ModelName(c.kind));
    DataFileBuilder file(c.kind, SettingsStore{});
    file.Line("1", 0.0, 1.0f, c.kind, At(2024, 5, 1, 12, 0, 0)).Ascii(c.frame, 100);
    const ExportRun run = Run(Write(file, "DATA"));
    ASSERT_EQ(run.status, kExitOk) << run.messages;
    EXPECT_EQ(run.output, std::string("line,station,reading,tick,time,marker,dipole,") +
                              c.columns + "\n1,0.000,1,100,,0," + c.cells + "\n");
  }
}

TEST_F(ExportFormats, Tq62BatteryColumnsFollowTheGpsColumns) {
  SettingsStore s;
  s.GpsInput = 1;
  DataFileBuilder file(kKindTq62, s);
  // Both readings placed by the first fix alone: the GGA with quality 0
  // repeats a stale position.
  file.Line("1", 0.0, 1.0f, kKindTq62, At(2024, 5, 1, 10, 0, 0))
      .Gps(Sentence("GPGGA,100000,4800.000,N,01100.000,E,1,08,0.9,500.0,M,,M,,"), 1000)
      .Ascii("T$-0400-0200", 1100)  // "$" = 32 + 4: V, code 4: C 10, I 0.5
      .Gps(Sentence("GPGGA,100000.1,5000.000,N,01130.000,E,0,00,,,M,,M,,"), 1150)
      .Ascii("T!-4800-4640", 1200);
  const std::filesystem::path input = Write(file, "DATA.R62");
  const ExportRun run = Run(input);
  ASSERT_EQ(run.status, kExitOk) << run.messages;
  EXPECT_EQ(run.output,
            "line,station,reading,tick,time,marker,dipole,C/V,C/H,I/V,I/H,lat,lon,alt,quality,"
            "sats,hdop,battery,battery_volts1,battery_volts2\n"
            "1,0.000,1,1100,,0,V,10.000,,0.500,,48.0000000,11.0000000,500.000,1,8,0.90,0,,\n"
            "1,1.000,1,1200,,0,V,,,,,48.0000000,11.0000000,500.000,1,8,0.90,1,12.000,11.600\n");
  const std::string json = Run(input, WithFormat(Format::kGeoJson)).output;
  EXPECT_NE(json.find("\"hdop\":0.90,\"battery\":1,\"battery_volts1\":12.000,"
                      "\"battery_volts2\":11.600}}\n"),
            std::string::npos)
      << json;
  const std::string records = Run(input, WithFormat(Format::kRecords)).output;
  EXPECT_NE(records.find(" dipole=V battery-volts1=12.000 battery-volts2=11.600 frame="),
            std::string::npos)
      << records;
}

TEST_F(ExportFormats, EmagpyLeavesOutBatteryFramesAndTheirStations) {
  DataFileBuilder file(kKindTq62, SettingsStore{});
  // Station 0: V (C 10, I 0.5) and H ("\x04", code 4: C 20, I 1.0); station
  // 1: a battery frame alone; station 2: V alone, two stations after any H.
  file.Line("1", 0.0, 1.0f, kKindTq62, At(2024, 5, 1, 12, 0, 0))
      .Ascii("T$-0400-0200", 100)
      .Ascii("2\x04-0800-0400", 200)
      .Ascii("T!-4800-4640", 300)
      .Ascii("T$-0400-0200", 400);
  const ExportRun run = Run(Write(file, "DATA.R62"), Emagpy(1.0));
  ASSERT_EQ(run.status, kExitOk) << run.messages;
  EXPECT_EQ(run.output, "x,y,HCP1,VCP1,HCP1_inph,VCP1_inph\n0.000,0,10.000,20.000,0.500,1.000\n");
  EXPECT_NE(run.messages.find("1 stations without a value for every coil"), std::string::npos)
      << run.messages;
}

// ---------------------------------------------------------------------------
// Listing

TEST_F(ExportFormats, RecordsListsEveryRecordDecoded) {
  const ExportRun run = Run(Write(GpsSurvey()), WithFormat(Format::kRecords));
  ASSERT_EQ(run.status, kExitOk) << run.messages;
  const std::vector<std::string> lines = LinesOf(run.output);
  EXPECT_EQ(lines.at(0),
            "0 header1 identifier=\"TQ68MK2 W211GPS\" model=TQ68-MK2 survey=GPS units=0 "
            "dipole-mode=0 survey-mode=0 component=0 mk2-variant=2 logger-code=\"3\"");
  EXPECT_EQ(lines.at(1), "1 header2 name=\"TEST\" mode-value=\"0.200\"");
  EXPECT_EQ(lines.at(2), "2 line name=\"1\"");
  EXPECT_EQ(lines.at(3), "3 start-station start=0.00");
  EXPECT_EQ(lines.at(4), "4 direction direction=\"S\" increment=1.000");
  EXPECT_EQ(lines.at(5), "5 date-time date=2024-05-01 time=10:00:00");
  EXPECT_EQ(lines.at(6), "6 calibration channel=\"1\" offset=0.000 previous=0.000");
  EXPECT_EQ(lines.at(12), "12 time-mark clock=10:00:00.000 tick=500");
  EXPECT_EQ(lines.at(13),
            "13 reading letter=\"T\" line=\"1\" station=0.000 reading=1 tick=600 "
            "time=2024-05-01T10:00:00.100 marker=0 dipole=V C/V-1m=40.000 I/V-1m=2.306 "
            "C/V-0.5m=20.000 I/V-0.5m=0.576 frame=5406820088008400880000000000");
  EXPECT_EQ(lines.at(14), "14 gps-first piece=\"$GPGGA,100000,4800.000,N\"");
  bool found = false;
  for (const std::string& line : lines) {
    if (line.find(" gps-tick tick=1000 sentence=\"$GPGGA,100000,4800.000,N,01100.000,E,1,08,") !=
        std::string::npos) {
      found = true;
      EXPECT_TRUE(line.ends_with(" stored=good checksum=ok lat=48.0000000 lon=11.0000000 "
                                 "quality=1"))
          << line;
    }
  }
  EXPECT_TRUE(found);
}

TEST_F(ExportFormats, RecordsListsDamagedDateAndClockFieldsAsJsonStrings) {
  DataFileBuilder file(kKindTq93, SettingsStore{});
  // Odd 8-bit bytes, not control bytes: those would make the record damage.
  file.Add(RawRecord("Z01\xff" "52024 12:00:0\xe9", kShortRecordLength))
      .Add(RawRecord("S      10.00 1200\x80" "000", kShortRecordLength))
      .Add(RawRecord("*12:00\"00.000       500", kShortRecordLength))
      .Add(RawRecord("*12:00:00.000       600", kShortRecordLength));
  const ExportRun run = Run(Write(file, "DATA.R93"), WithFormat(Format::kRecords));
  ASSERT_EQ(run.status, kExitOk) << run.messages;
  const std::vector<std::string> lines = LinesOf(run.output);
  ASSERT_EQ(lines.size(), 6u) << run.output;
  EXPECT_EQ(lines[2], "2 date-time date=\"2024-\xc3\xbf" "5-01\" time=\"12:00:0\xc3\xa9\"");
  EXPECT_EQ(lines[3], "3 new-station station=10.00 clock=\"1200\xc2\x80" "000\"");
  EXPECT_EQ(lines[4], "4 time-mark clock=\"12:00\\\"00.000\" tick=500");
  EXPECT_EQ(lines[5], "5 time-mark clock=12:00:00.000 tick=600");
}

// ---------------------------------------------------------------------------
// Files that are not whole, or not data files

TEST_F(ExportFormats, ACutShortLastRecordIsSkippedWithAWarning) {
  DataFileBuilder file(kKindTq68Mk2, Mk2Settings());
  file.Line("7", 0.0, 1.0f, kKindTq68Mk2, At(2024, 5, 1, 12, 0, 0))
      .Binary(kMk2V, 100)
      .Binary(kMk2V, 200);
  const std::filesystem::path input = Write(file);
  testing::WriteFileBytes(input, file.bytes() + file.bytes().substr(0, 10));
  const ExportRun run = Run(input);
  ASSERT_EQ(run.status, kExitOk) << run.messages;
  EXPECT_EQ(LinesOf(run.output).size(), 3u);
  EXPECT_EQ(run.messages, "tqexport: " + input.string() +
                              ": warning: the last record is cut short (10 of 26 bytes) and "
                              "was skipped\n");
}

TEST_F(ExportFormats, ANonDataFileWritesNothingAndLeavesTheOutputAlone) {
  const std::filesystem::path input = dir_.path() / "notes.txt";
  testing::WriteFileBytes(input, "just some text\nnot records\n");
  testing::WriteFileBytes(out_.path() / "out.txt", "earlier export");
  const ExportRun run = Run(input);
  EXPECT_EQ(run.status, kExitUsage);
  EXPECT_EQ(run.output, "earlier export");
  EXPECT_EQ(LinesOf(run.messages).size(), 1u);
  EXPECT_TRUE(run.messages.starts_with("tqexport: " + input.string() + ": not a data file"))
      << run.messages;
  size_t files = 0;
  for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(out_.path())) {
    ++files;
  }
  EXPECT_EQ(files, 1u);  // no temporary file left behind
}

TEST_F(ExportFormats, AFileOfAnUnknownModelIsRefused) {
  DataFileBuilder file(kKindTq93, SettingsStore{});
  std::string bytes = file.bytes();
  bytes.replace(0, 8, "XQ99    ");
  const std::filesystem::path input = dir_.path() / "ODD.R93";
  testing::WriteFileBytes(input, bytes);
  const ExportRun run = Run(input);
  EXPECT_EQ(run.status, kExitUsage);
  EXPECT_FALSE(run.output_exists);
  EXPECT_NE(run.messages.find("XQ99    W210GRD"), std::string::npos) << run.messages;
}

// Exports a small file to `output` and returns the status.
int ExportTo(const std::filesystem::path& input, const std::filesystem::path& output) {
  ExportOptions options;
  options.input = input;
  options.output = output;
  std::FILE* messages = std::tmpfile();
  const int status = RunExport(options, -1, messages, false);
  std::fclose(messages);
  return status;
}

constexpr const char* kSmallCsv =
    "line,station,reading,tick,time,marker,dipole,C,I\n"
    "1,0.000,1,10,,0,V,100.000,2.000\n";

DataFileBuilder SmallTq93File() {
  DataFileBuilder file(kKindTq93, SettingsStore{});
  file.Line("1", 0.0, 1.0f, kKindTq93, At(2024, 1, 1, 0, 0, 0)).Ascii("T$-0040-0008", 10);
  return file;
}

TEST_F(ExportFormats, TheOutputNeverReplacesTheDataFile) {
  DataFileBuilder file(kKindTq93, SettingsStore{});
  const std::filesystem::path input = Write(file, "DATA.R93");
  EXPECT_EQ(ExportTo(input, input), kExitUsage);
  EXPECT_EQ(testing::ReadFileBytes(input), file.bytes());
}

TEST_F(ExportFormats, AnOutputThroughALinkReplacesTheFileItNamesAndKeepsItsPermissions) {
  const std::filesystem::path input = Write(SmallTq93File(), "DATA.R93");
  const std::filesystem::path target = out_.path() / "kept.csv";
  testing::WriteFileBytes(target, "earlier export");
  std::filesystem::permissions(target, std::filesystem::perms::owner_read |
                                           std::filesystem::perms::owner_write);
  const std::filesystem::path link = out_.path() / "link.csv";
  std::filesystem::create_symlink(target, link);
  ASSERT_EQ(ExportTo(input, link), kExitOk);
  EXPECT_TRUE(std::filesystem::is_symlink(link));
  EXPECT_EQ(testing::ReadFileBytes(target), kSmallCsv);
  EXPECT_EQ(std::filesystem::status(target).permissions(),
            std::filesystem::perms::owner_read | std::filesystem::perms::owner_write);
}

TEST_F(ExportFormats, APipeAsTheOutputIsWrittenNotReplaced) {
  const std::filesystem::path input = Write(SmallTq93File(), "DATA.R93");
  const std::filesystem::path fifo = out_.path() / "pipe";
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  const int reader = ::open(fifo.c_str(), O_RDONLY | O_NONBLOCK);
  ASSERT_GE(reader, 0);
  ASSERT_EQ(ExportTo(input, fifo), kExitOk);
  EXPECT_TRUE(std::filesystem::is_fifo(fifo));
  char buffer[256] = {};
  const ssize_t n = ::read(reader, buffer, sizeof buffer);
  ::close(reader);
  EXPECT_EQ(std::string(buffer, n > 0 ? static_cast<size_t>(n) : 0), kSmallCsv);
}

}  // namespace
}  // namespace tq::exporter
