// The viewer's line index: the file scan, LINE1.R6X and LINE2.R6X byte for
// byte for hand-built data files, and the station window read back.
#include "viewer/line_index_cache.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <initializer_list>
#include <random>
#include <string>
#include <vector>

#include "platform/files.h"
#include "tests/support/temp_dir.h"
#include "tests/survey/record_lines.h"

namespace tq {
namespace {

using testing::ReadFileBytes;
using testing::AsBytes;
using testing::Line;
using testing::TempDir;
using testing::WriteFileBytes;

std::string Right(const std::string& text, size_t width) {
  return std::string(width - text.size(), ' ') + text;
}

// A LINE1.R6X record: station, then the eight presence flags.
std::string Line1(const std::string& station, std::initializer_list<int> flags) {
  std::string r = Right(station, 12);
  for (int f : flags) r += f == 1 ? " 1" : " 0";
  return r + "\n";
}

// A LINE2.R6X record: station, then the eight values.
std::string Line2(const std::string& station, std::initializer_list<const char*> values) {
  std::string r = Right(station, 12);
  for (const char* v : values) r += Right(v, 12);
  return r + "\n";
}

const std::string kGap1 = "          -1 0 0 0 0 0 0 0 0\n";
const std::string kGap2 = "          -1" + std::string("       -9999") + "       -9999" +
                          "       -9999" + "       -9999" + "       -9999" + "       -9999" +
                          "       -9999" + "       -9999" + "\n";

// TQ62 reading: status '&' is vertical with range code 6 (k = -0.25), so
// field 1 -0400 gives 100 mS/m in channel 0 and field 2 -0400 gives 1 ppt
// in channel 2.
const std::string kTq62Reading = "T&-0400-0400";

// TQ68-MK2 reading: words in wire order C, D, A, B, E, F; 0x8000 converts to
// 0, 0x8400 to 40 and 0x8800 to 80.
std::string Mk2Reading(char first, uint8_t status, uint16_t a) {
  std::string r{first, static_cast<char>(status)};
  for (uint16_t w : {uint16_t{0x8000}, uint16_t{0x8000}, a, uint16_t{0x8000}, uint16_t{0x8000},
                     uint16_t{0x8000}}) {
    r += static_cast<char>(w >> 8);
    r += static_cast<char>(w & 0xFF);
  }
  return r + " " + "         0" + "\n";
}

class LineIndexTest : public ::testing::Test {
 protected:
  LineIndexTest() {
    paths.line1 = dir.path() / "LINE1.R6X";
    paths.line2 = dir.path() / "LINE2.R6X";
  }

  // A kind-0 file: header 1 (modes from `modes`), header 2, then `bodies`.
  std::filesystem::path WriteShort(const std::string& modes, const std::vector<std::string>& bodies,
                                   const std::string& identifier = "TQ62MK2 W211GRD") {
    std::string bytes = Line(identifier + modes, 24) + Line("H A          0.200", 24);
    for (const std::string& b : bodies) bytes += Line(b, 24);
    const auto path = dir.path() / "A.R62";
    WriteFileBytes(path, bytes);
    return path;
  }

  LineIndexResult Build(const std::filesystem::path& file, int32_t line) {
    std::string error;
    scan = ScanDataFile(file, {kKindTq62, 1, 0}, &error);
    EXPECT_TRUE(scan.has_value()) << error;
    if (!scan) return {};
    return BuildLineIndexCache(file, *scan, line, paths);
  }

  std::string Cache1() { return ReadFileBytes(paths.line1); }
  std::string Cache2() { return ReadFileBytes(paths.line2); }

  TempDir dir;
  LineCachePaths paths;
  std::optional<DataFileScan> scan;
};

TEST_F(LineIndexTest, OneReadingPerStationFromStartAndIncrement) {
  const auto file = WriteShort("0000", {"L1", "B     100.00", "AE           10.000",
                                        "Z06122009 14:05:09", "*14:05:09.007      5000",
                                        kTq62Reading, kTq62Reading, kTq62Reading});
  const LineIndexResult built = Build(file, 1);
  ASSERT_TRUE(built.ok) << built.error;
  EXPECT_EQ(built.record_total, 3);
  const auto values = {"100.00", "0.00", "1.00", "0.00", "0.00", "0.00", "0.00", "0.00"};
  EXPECT_EQ(Cache1(), Line1("100.00", {1, 0, 1, 0, 0, 0, 0, 0}) +
                          Line1("110.00", {1, 0, 1, 0, 0, 0, 0, 0}) +
                          Line1("120.00", {1, 0, 1, 0, 0, 0, 0, 0}));
  EXPECT_EQ(Cache2(), Line2("100.00", values) + Line2("110.00", values) + Line2("120.00", values));
}

TEST_F(LineIndexTest, NewStationWritesFourGapPairsThenContinuesFromIt) {
  const auto file = WriteShort("0000", {"L1", "B     100.00", "AE           10.000",
                                        kTq62Reading, kTq62Reading, kTq62Reading,
                                        "S     500.00 09030745", "*09:03:07.450      6000",
                                        kTq62Reading, kTq62Reading});
  const LineIndexResult built = Build(file, 1);
  ASSERT_TRUE(built.ok);
  EXPECT_EQ(built.record_total, 3 + 4 + 2);
  const std::string one = Cache1();
  ASSERT_EQ(one.size(), 9u * 29);
  EXPECT_EQ(one.substr(2 * 29, 29), Line1("120.00", {1, 0, 1, 0, 0, 0, 0, 0}));
  for (int g = 3; g < 7; ++g) EXPECT_EQ(one.substr(g * 29, 29), kGap1);
  EXPECT_EQ(one.substr(7 * 29, 12), "      500.00");
  EXPECT_EQ(one.substr(8 * 29, 12), "      510.00");
  const std::string two = Cache2();
  ASSERT_EQ(two.size(), 9u * 109);
  for (int g = 3; g < 7; ++g) EXPECT_EQ(two.substr(g * 109, 109), kGap2);
}

TEST_F(LineIndexTest, CacheFileHeldByAnotherLoggerIsRefusedAndLeftWhole) {
  const auto file = WriteShort("0000", {"L1", "B     100.00", "AE           10.000", kTq62Reading});
  WriteFileBytes(paths.line2, "theirs");
  // Another logger on this folder building its own cache; its lock belongs to
  // its open file, so this open stands for it.
  File theirs = File::Open(paths.line2, OpenMode::kOpenExisting, kReadWrite | kExclusive);
  ASSERT_TRUE(theirs.IsOpen());
  const LineIndexResult built = Build(file, 1);
  EXPECT_FALSE(built.ok);
  EXPECT_NE(built.error.find("LINE2.R6X"), std::string::npos) << built.error;
  EXPECT_EQ(Cache2(), "theirs");
  theirs.Close();
  EXPECT_TRUE(Build(file, 1).ok);
}

TEST_F(LineIndexTest, OnlyTheChosenLineIsBuilt) {
  const auto file = WriteShort("0000", {"L1", "B       0.00", "AE            1.000", kTq62Reading,
                                        "L2", "B      50.00", "AW           -5.000",
                                        "Z06122009 14:05:09", kTq62Reading, kTq62Reading,
                                        "L3", "B       0.00", "AE            1.000", kTq62Reading});
  const LineIndexResult built = Build(file, 2);
  ASSERT_TRUE(built.ok);
  EXPECT_EQ(built.record_total, 2);
  const std::string one = Cache1();
  EXPECT_EQ(one.substr(0, 12), "       50.00");
  EXPECT_EQ(one.substr(29, 12), "       45.00");
}

class Mk2LineIndexTest : public LineIndexTest {
 protected:
  // Manual mode with DipoleMode 2: two readings per station.
  std::filesystem::path WriteMk2(const std::vector<std::string>& records) {
    std::string bytes = Line("TQ68MK2 W211GRD" "0220" "2", 26) + Line("H A              2", 26);
    for (const std::string& r : records) bytes += r;
    const auto path = dir.path() / "A.N68";
    WriteFileBytes(path, bytes);
    return path;
  }
  std::vector<std::string> LineStart() {
    return {Line("L1", 26), Line("B       0.00", 26), Line("AN            1.000", 26),
            Line("Z06122009 14:05:09", 26), Line("O1     1.500      0.000", 26),
            Line("O2     0.000      0.000", 26), Line("O3     0.000      0.000", 26),
            Line("O4     0.000      0.000", 26), Line("O5     0.000      0.000", 26),
            Line("O6     0.000      0.000", 26), Line("*14:05:09.007        5000", 26)};
  }
};

TEST_F(Mk2LineIndexTest, TwoReadingsPerStationMergeAndAnIncompleteStationKeepsItsNumber) {
  std::vector<std::string> records = LineStart();
  for (const std::string& r : {Mk2Reading('T', 6, 0x8400), Mk2Reading('2', 2, 0x8800),  // 0
                               Mk2Reading('T', 6, 0x8400),                               // 1
                               Mk2Reading('T', 6, 0x8400), Mk2Reading('2', 2, 0x8800),  // 2
                               Mk2Reading('T', 6, 0x8400)}) {                            // 3
    records.push_back(r);
  }
  std::string error;
  const auto file = WriteMk2(records);
  scan = ScanDataFile(file, {kKindTq68Mk2, 1, 0}, &error);
  ASSERT_TRUE(scan.has_value()) << error;
  EXPECT_EQ(scan->readings_per_station, 2);
  const LineIndexResult built = BuildLineIndexCache(file, *scan, 1, paths);
  ASSERT_TRUE(built.ok) << built.error;
  // Station 3 has only its first reading when the line ends: not written.
  EXPECT_EQ(built.record_total, 3);
  // O1 = 1.5 is added to both coil pairs' first conductivity: 40 + 1.5, 80 + 1.5.
  EXPECT_EQ(Cache1(), Line1("0.00", {1, 1, 1, 1, 1, 1, 1, 1}) +
                          Line1("1.00", {1, 0, 1, 0, 1, 0, 1, 0}) +
                          Line1("2.00", {1, 1, 1, 1, 1, 1, 1, 1}));
  const std::string two = Cache2();
  ASSERT_EQ(two.size(), 3u * 109);
  EXPECT_EQ(two.substr(0, 109),
            Line2("0.00", {"41.50", "81.50", "0.00", "0.00", "0.00", "0.00", "0.00", "0.00"}));
  EXPECT_EQ(two.substr(109, 109),
            Line2("1.00", {"41.50", "0.00", "0.00", "0.00", "0.00", "0.00", "0.00", "0.00"}));
}

TEST_F(Mk2LineIndexTest, IncompleteStationBeforeANewStationGoesBeforeTheGap) {
  std::vector<std::string> records = LineStart();
  records.push_back(Mk2Reading('T', 6, 0x8400));
  records.push_back(Line("S      50.00 09030745", 26));
  records.push_back(Mk2Reading('T', 6, 0x8400));
  records.push_back(Mk2Reading('2', 2, 0x8800));
  const auto file = WriteMk2(records);
  scan = ScanDataFile(file, {kKindTq68Mk2, 1, 0});
  ASSERT_TRUE(scan.has_value());
  const LineIndexResult built = BuildLineIndexCache(file, *scan, 1, paths);
  ASSERT_TRUE(built.ok);
  EXPECT_EQ(built.record_total, 1 + 4 + 1);
  const std::string one = Cache1();
  EXPECT_EQ(one.substr(0, 29), Line1("0.00", {1, 0, 1, 0, 1, 0, 1, 0}));
  EXPECT_EQ(one.substr(29, 29), kGap1);
  EXPECT_EQ(one.substr(5 * 29, 29), Line1("50.00", {1, 1, 1, 1, 1, 1, 1, 1}));
}

TEST_F(Mk2LineIndexTest, DamageInsideAStationsFirstReadingLosesOnlyThatReading) {
  std::vector<std::string> records = LineStart();
  for (int station = 0; station < 3; ++station) {
    records.push_back(Mk2Reading('T', 6, 0x8400));
    records.push_back(Mk2Reading('2', 2, 0x8800));
  }
  records[records.size() - 4].insert(17, "~~~~");  // station 1's first reading
  for (const char* r : {"L2", "B      50.00", "AN            5.000"}) records.push_back(Line(r, 26));
  records.push_back(Mk2Reading('T', 6, 0x8400));
  records.push_back(Mk2Reading('2', 2, 0x8800));
  int64_t second_line = 2 * 26;
  for (size_t i = 0; i + 5 < records.size(); ++i) second_line += static_cast<int64_t>(records[i].size());

  const auto file = WriteMk2(records);
  scan = ScanDataFile(file, {kKindTq68Mk2, 1, 0});
  ASSERT_TRUE(scan.has_value());
  ASSERT_EQ(scan->skipped.size(), 1u);
  EXPECT_EQ(scan->skipped[0].end - scan->skipped[0].first, 26 + 4);
  ASSERT_EQ(scan->line_offsets.size(), 2u);
  EXPECT_EQ(scan->line_offsets[1], second_line);

  LineIndexResult built = BuildLineIndexCache(file, *scan, 1, paths);
  ASSERT_TRUE(built.ok) << built.error;
  EXPECT_EQ(built.record_total, 3);
  EXPECT_EQ(Cache1(), Line1("0.00", {1, 1, 1, 1, 1, 1, 1, 1}) +
                          Line1("1.00", {0, 1, 0, 1, 0, 1, 0, 1}) +
                          Line1("2.00", {1, 1, 1, 1, 1, 1, 1, 1}));
  built = BuildLineIndexCache(file, *scan, 2, paths);
  ASSERT_TRUE(built.ok) << built.error;
  EXPECT_EQ(Cache1(), Line1("50.00", {1, 1, 1, 1, 1, 1, 1, 1}));
}

TEST_F(LineIndexTest, StationTooWideForItsFieldBecomesAGap) {
  const auto file = WriteShort("0000", {"L1", "B 10000000000.00", "AE            1.000",
                                        kTq62Reading});
  const LineIndexResult built = Build(file, 1);
  ASSERT_TRUE(built.ok);
  EXPECT_EQ(built.record_total, 1);
  EXPECT_EQ(Cache1(), kGap1);
  EXPECT_EQ(Cache2(), kGap2);
}

TEST_F(LineIndexTest, ScanKeepsEveryLineBeyondAHundredAndThree) {
  std::vector<std::string> bodies;
  for (int line = 1; line <= 150; ++line) {
    bodies.push_back("L" + std::to_string(line));
    bodies.push_back("B       0.00");
    bodies.push_back("AE            1.000");
    bodies.push_back(kTq62Reading);
  }
  const auto file = WriteShort("0000", bodies);
  const LineIndexResult built = Build(file, 150);
  ASSERT_TRUE(built.ok);
  ASSERT_EQ(scan->line_offsets.size(), 150u);
  EXPECT_EQ(scan->line_offsets[0], 2 * 24);
  EXPECT_EQ(scan->line_offsets[149], (2 + 149 * 4) * 24);
  EXPECT_EQ(scan->line_names[149], "150");
  EXPECT_EQ(built.record_total, 1);
  EXPECT_FALSE(BuildLineIndexCache(file, *scan, 151, paths).ok);
  EXPECT_EQ(Cache1(), "");  // the old line's cache is gone
}

TEST_F(LineIndexTest, ScanReadsIceFlagAndNotesATornTail) {
  const auto file = WriteShort("0000" "1A", {"L1"}, "TQ62MK2iW211GRD");
  std::string bytes = ReadFileBytes(file);
  WriteFileBytes(file, bytes + "T&-04");
  scan = ScanDataFile(file, {kKindTq62, 1, 1});
  ASSERT_TRUE(scan.has_value());
  EXPECT_TRUE(scan->ice_thickness);
  EXPECT_EQ(scan->sea_water_index, 10u);
  EXPECT_TRUE(scan->torn_tail);
  EXPECT_EQ(scan->line_offsets.size(), 1u);
}

TEST_F(LineIndexTest, IceFileShowsNoThicknessInABuildWithoutTheIceOption) {
  const auto file = WriteShort("0000" "13", {"L1"}, "TQ62MK2iW211GRD");
  scan = ScanDataFile(file, {kKindTq62, 1, 0});
  ASSERT_TRUE(scan.has_value());
  EXPECT_FALSE(scan->ice_thickness);
  scan = ScanDataFile(file, {kKindTq62, 1, 1});
  ASSERT_TRUE(scan.has_value());
  EXPECT_TRUE(scan->ice_thickness);
  EXPECT_EQ(scan->sea_water_index, 3u);
}

TEST(LineCachePathsTest, StorageRootAloneChoosesTheFolderEvenOnTq93) {
  testing::ScopedDataRoot root;
  const LineCachePaths tq93 = LineCachePathsFor({kKindTq93, 1, 0});
  EXPECT_EQ(tq93.line1, root.path() / "Storage" / "FLDINI" / "LINE1.R6X");
  EXPECT_EQ(tq93.line2, root.path() / "Storage" / "FLDINI" / "LINE2.R6X");
  EXPECT_EQ(LineCachePathsFor({kKindTq68Mk2, 0, 0}).line1,
            root.path() / "C_DRIVE" / "FLDINI" / "LINE1.R6X");
  EXPECT_EQ(LineCachePathsFor({kKindTq93, 0, 0}).line2,
            root.path() / "C_DRIVE" / "FLDINI" / "LINE2.R6X");
}

TEST(LineBoxNameTest, NameUpToItsFirstBlankAtMostEight) {
  const std::string a = Line("L7", 24);
  const std::string b = Line("LNORTHERN12", 24);
  const std::string c = Line("LA B", 24);
  EXPECT_EQ(LineBoxName(AsBytes(a)), "7");
  EXPECT_EQ(LineBoxName(AsBytes(b)), "NORTHERN");
  EXPECT_EQ(LineBoxName(AsBytes(c)), "A");
  const std::string latin = Line("Lcaf\xE9", 24);
  EXPECT_EQ(LineBoxName(AsBytes(latin)), "caf\xC3\xA9");
}

class StationWindowTest : public LineIndexTest {
 protected:
  StationWindowSource Source(int32_t kind) {
    StationWindowSource s;
    s.paths = paths;
    s.kind = kind;
    return s;
  }
};

TEST_F(StationWindowTest, ReadsStationsGapsAndEndOfCacheIntoWindowIndexes) {
  WriteFileBytes(paths.line1, Line1("100.00", {1, 0, 1, 0, 1, 0, 1, 1}) + kGap1 +
                                  Line1("-7.50", {0, 1, 0, 1, 0, 0, 0, 0}));
  WriteFileBytes(paths.line2,
                 Line2("100.00", {"100.00", "0.00", "1.00", "0.00", "3.25", "0.00", "6.00", "7.00"}) +
                     kGap2 +
                     Line2("-7.50", {"0.00", "-2.50", "0.00", "12.75", "0.00", "0.00", "0.00", "0.00"}));
  StationWindow window(6);
  window[2].values[0] = 42.0f;  // a gap leaves values as they were
  const WindowLoadResult loaded = LoadStationWindow(window, 1, 4, 1, Source(kKindTq62));
  EXPECT_TRUE(loaded.line1_opened);
  EXPECT_TRUE(loaded.line2_opened);
  EXPECT_TRUE(window[1].valid);
  EXPECT_FLOAT_EQ(window[1].station, 100.0f);
  EXPECT_EQ(window[1].flags[0], 1);
  EXPECT_EQ(window[1].flags[1], 0);
  EXPECT_FLOAT_EQ(window[1].values[2], 1.0f);
  EXPECT_FLOAT_EQ(window[1].values[4], 3.25f);
  // Kinds other than TQ68-MK2 read six channels.
  EXPECT_EQ(window[1].flags[7], 0);
  EXPECT_FLOAT_EQ(window[1].values[6], 0.0f);
  EXPECT_FALSE(window[2].valid);
  EXPECT_FLOAT_EQ(window[2].values[0], 42.0f);
  EXPECT_TRUE(window[3].valid);
  EXPECT_FLOAT_EQ(window[3].station, -7.5f);
  EXPECT_FLOAT_EQ(window[3].values[1], -2.5f);
  EXPECT_FLOAT_EQ(window[3].values[3], 12.75f);
  EXPECT_FALSE(window[4].valid);  // past the end of the cache

  LoadStationWindow(window, 1, 1, 1, Source(kKindTq68Mk2));
  EXPECT_EQ(window[1].flags[7], 1);
  EXPECT_FLOAT_EQ(window[1].values[7], 7.0f);
}

TEST_F(StationWindowTest, StartsAtTheGivenRecordAndGrowsPastThreeHundredTwenty) {
  std::string one;
  std::string two;
  for (int i = 0; i < 500; ++i) {
    const std::string station = std::to_string(i) + ".00";
    one += Line1(station, {1, 0, 0, 0, 0, 0, 0, 0});
    two += Line2(station, {"1.00", "0.00", "0.00", "0.00", "0.00", "0.00", "0.00", "0.00"});
  }
  WriteFileBytes(paths.line1, one);
  WriteFileBytes(paths.line2, two);
  StationWindow window;
  LoadStationWindow(window, 1, 400, 81, Source(kKindTq62));
  ASSERT_EQ(window.size(), 401u);
  EXPECT_FLOAT_EQ(window[1].station, 80.0f);
  EXPECT_FLOAT_EQ(window[400].station, 479.0f);
  LoadStationWindow(window, 1, 30, 491, Source(kKindTq62));
  EXPECT_FLOAT_EQ(window[10].station, 499.0f);
  EXPECT_FALSE(window[11].valid);
}

TEST_F(StationWindowTest, StationCutInsideEitherCacheRecordIsInvalid) {
  const std::string one = Line1("1.00", {1, 1, 0, 0, 0, 0, 0, 0});
  const std::string two = Line2("1.00", {"5.00", "6.00", "0.00", "0.00", "0.00", "0.00", "0.00", "0.00"});
  // The second LINE2 record stops after its station and first value, as a
  // full disk leaves it; then the same cut in LINE1.
  for (const bool cut_line2 : {true, false}) {
    WriteFileBytes(paths.line1, cut_line2 ? one + one : one + one.substr(0, 16));
    WriteFileBytes(paths.line2, cut_line2 ? two + two.substr(0, 24) : two + two);
    StationWindow window(4);
    LoadStationWindow(window, 1, 2, 1, Source(kKindTq62));
    EXPECT_TRUE(window[1].valid);
    EXPECT_FALSE(window[2].valid) << (cut_line2 ? "LINE2" : "LINE1") << " cut";
    EXPECT_EQ(window[2].flags[1], 0);
  }
}

TEST_F(StationWindowTest, EmptyWindowStillTellsWhetherTheFilesOpen) {
  WriteFileBytes(paths.line1, kGap1);
  StationWindow window(3);
  WindowLoadResult loaded = LoadStationWindow(window, 2, 1, 1, Source(kKindTq62));
  EXPECT_TRUE(loaded.line1_opened);
  EXPECT_FALSE(loaded.line2_opened);
  EXPECT_EQ(window.size(), 3u);
}

TEST_F(StationWindowTest, MissingCacheFilesAreReportedAndLeaveStationsInvalid) {
  StationWindow window(3);
  window[1].valid = true;
  const WindowLoadResult loaded = LoadStationWindow(window, 1, 2, 1, Source(kKindTq62));
  EXPECT_FALSE(loaded.line1_opened);
  EXPECT_FALSE(loaded.line2_opened);
  EXPECT_FALSE(window[1].valid);
}

TEST_F(StationWindowTest, IceFileGivesThicknessFromHorizontalConductivity) {
  // Status 'F': marker bit, horizontal, range code 6: -2000 gives 500 mS/m and
  // -0400 gives 100 mS/m in channel 1; '&' is vertical (channel 0 only).
  const auto file = WriteShort("0000" "10", {"L1", "B       0.00", "AE            1.000",
                                             "TF-2000+0000", "TF-0400+0000", "T&-0400+0000"},
                               "TQ62MK2iW211GRD");
  scan = ScanDataFile(file, {kKindTq62, 1, 1});
  ASSERT_TRUE(scan.has_value());
  ASSERT_TRUE(scan->ice_thickness);
  ASSERT_TRUE(BuildLineIndexCache(file, *scan, 1, paths).ok);
  SettingsStore settings;  // Standard variant; index 0 is 2000 mS/m
  StationWindow window;
  LoadStationWindow(window, 1, 3, 1, StationWindowSourceFor(*scan, paths, settings));
  EXPECT_NEAR(window[1].ice_thickness, 0.9253f, 0.00005f);
  EXPECT_NEAR(window[2].ice_thickness, 3.3103f, 0.00005f);
  EXPECT_EQ(window[3].flags[1], 0);
  EXPECT_FLOAT_EQ(window[3].ice_thickness, 0.0f);
}

TEST(CacheNumberTest, MatchesPrintfToTheLastDigitOrRefusesWhatPrintfMakesWider) {
  std::mt19937_64 rng(7);
  std::uniform_real_distribution<double> wide(-2e9, 2e9);
  std::uniform_int_distribution<int> cents(-100000, 100000);
  std::vector<double> values = {0.0,   -0.0,   0.005, 0.015, 0.125, -0.125, 2.675, 1e-9, -1e-9,
                                0.994999, 0.995, -0.995, 999999999.99, -99999999.99, 123.455};
  for (int i = 0; i < 20000; ++i) {
    values.push_back(wide(rng));
    values.push_back(cents(rng) / 100.0 + 0.005);  // near ties
    values.push_back(static_cast<double>(static_cast<float>(cents(rng) / 8.0)));
  }
  for (double v : values) {
    char expected[64];
    std::snprintf(expected, sizeof expected, "%12.2f", v);
    char got[12];
    const bool fits = std::string(expected).size() == 12;
    ASSERT_EQ(FormatCacheNumber(v, got), fits) << expected;
    if (fits) {
      ASSERT_EQ(std::string(got, 12), std::string(expected)) << v;
    }
  }
}

TEST(CacheNumberTest, RefusesWhatDoesNotFitTwelveCharacters) {
  char out[12];
  EXPECT_FALSE(FormatCacheNumber(1000000000.0, out));
  EXPECT_FALSE(FormatCacheNumber(-100000000.0, out));
  EXPECT_FALSE(FormatCacheNumber(std::nan(""), out));
  EXPECT_FALSE(FormatCacheNumber(INFINITY, out));
}

}  // namespace
}  // namespace tq
