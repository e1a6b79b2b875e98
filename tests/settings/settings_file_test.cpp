// The settings file: its exact bytes per kind, loading, and saving safely.
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/files.h"
#include "settings/settings.h"
#include "tests/support/temp_dir.h"

namespace tq {
namespace {

using testing::ReadFileBytes;
using testing::ScopedDataRoot;
using testing::WriteFileBytes;

constexpr BuildConfig kMk2{kKindTq68Mk2, 1, 0};

std::string Join(const std::vector<std::string>& lines) {
  std::string out;
  for (const auto& line : lines) out += line + "\r\n";
  return out;
}

std::vector<std::string> SplitLines(const std::string& file) {
  std::vector<std::string> lines;
  size_t start = 0;
  while (start < file.size()) {
    size_t end = file.find("\r\n", start);
    if (end == std::string::npos) {
      lines.push_back(file.substr(start));
      break;
    }
    lines.push_back(file.substr(start, end - start));
    start = end + 2;
  }
  return lines;
}

// The first-start file of the TQ68-MK2, line by line from the defaults table.
std::vector<std::string> Mk2DefaultLines() {
  return {
      "CEVer2.11",
      "0", "0", "1", "0",                                    // units, port, audio, pause key
      "1", "1", "1", "1", "1", "1", "1", "1",                // traces visible
      "2", "2", "2", "2", "1", "1", "1", "1",                // thickness
      "16711680", "65280", "255", "16711935", "0", "65535", "16711935", "65280",
      "0",                                                   // grid for
      "0.000000", "500.000000", "-25.000000", "25.000000",   // scales
      "0", "1", "1", "1", "0", "0",                          // GPS
      "0", "0", "0", "10",                                   // mode, component, dipole, samples
      "2",                                                   // variant
      "0.000000", "0.000000", "0.000000", "0.000000", "0.000000", "0.000000",
      "1.000000", "0.200000", "2.000000", "0.200000",        // increments, interval
      "0",                                                   // survey line
      "1.000000", "0", "1", "0.000000", "1.000000",          // line inc, sequence, dir, start, inc
      "0", "0",                                              // soft marker, external marker port
  };
}

// Index in the TQ68-MK2 file of a line numbered as in the table of all lines:
// the tag comes first and lines 1 to 6 belong to the TQ62 only.
size_t Mk2Line(int table_number) { return static_cast<size_t>(table_number - 6); }

std::filesystem::path Mk2File(const ScopedDataRoot& root) {
  return root.path() / "Storage" / "FLDINI" / "TQ68MK2.INI";
}

SettingsStore StartUpStore(const BuildConfig& build) {
  SettingsStore s;
  UpdateReadingTiming(s, build);
  ApplyKindDefaults(s, build);
  return s;
}

// Saves `s` and returns the file's line numbered `table_number`.
std::string SaveAndReadLine(const SettingsStore& s, const ScopedDataRoot& root, int table_number) {
  EXPECT_TRUE(SaveSettings(s, kMk2));
  std::vector<std::string> lines = SplitLines(ReadFileBytes(Mk2File(root)));
  return Mk2Line(table_number) < lines.size() ? lines[Mk2Line(table_number)] : "<missing>";
}

// A store as start-up leaves it after loading the file there is.
SettingsStore LoadAtStartUp() {
  SettingsStore r = StartUpStore(kMk2);
  EXPECT_TRUE(LoadSettings(r, kMk2));
  return r;
}

TEST(SettingsFirstStartTest, CreatesFolderAndDefaultFileOfTheMk2) {
  ScopedDataRoot root;
  SettingsStore s = LoadAtStartUp();
  ASSERT_TRUE(std::filesystem::is_directory(root.path() / "Storage" / "FLDINI"));
  std::vector<std::string> lines = SplitLines(ReadFileBytes(Mk2File(root)));
  std::vector<std::string> expected = Mk2DefaultLines();
  ASSERT_EQ(expected.size(), 63u);
  ASSERT_EQ(lines.size(), expected.size());
  for (size_t i = 0; i < expected.size(); ++i) EXPECT_EQ(lines[i], expected[i]) << "line " << i;
  EXPECT_EQ(ReadFileBytes(Mk2File(root)), Join(expected));
}

TEST(SettingsFirstStartTest, SecondLoadReadsTheFileItWroteUnchanged) {
  ScopedDataRoot root;
  SettingsStore first = LoadAtStartUp();
  SettingsStore second = LoadAtStartUp();
  EXPECT_EQ(ReadFileBytes(Mk2File(root)), Join(Mk2DefaultLines()));
  EXPECT_EQ(second.TraceColor, first.TraceColor);
  EXPECT_FLOAT_EQ(second.WheelStationIncrement, 0.2f);
}

struct KindLines {
  BuildConfig build;
  const char* path;  // below the data root
  size_t settings_lines;
};

class SettingsFileOfKindTest : public ::testing::TestWithParam<KindLines> {};

TEST_P(SettingsFileOfKindTest, HasTheKindsTagLineCountAndFolder) {
  ScopedDataRoot root;
  const KindLines& k = GetParam();
  SettingsStore s = StartUpStore(k.build);
  ASSERT_TRUE(LoadSettings(s, k.build));
  std::string bytes = ReadFileBytes(root.path() / k.path);
  std::vector<std::string> lines = SplitLines(bytes);
  ASSERT_FALSE(lines.empty()) << k.path;
  EXPECT_EQ(lines[0], KindInfoFor(k.build.InstrumentKind).version_tag);
  EXPECT_EQ(lines.size() - 1, k.settings_lines);
  EXPECT_EQ(bytes.substr(bytes.size() - 2), "\r\n");
}

INSTANTIATE_TEST_SUITE_P(
    AllKinds, SettingsFileOfKindTest,
    ::testing::Values(KindLines{{0, 1, 0}, "Storage/FLDINI/TQ62.INI", 54},
                      KindLines{{0, 1, 1}, "Storage/FLDINI/TQ62.INI", 59},
                      KindLines{{1, 1, 0}, "Storage/FLDINI/TQ68B.INI", 53},
                      KindLines{{2, 1, 0}, "Storage/FLDINI/TQ68D.INI", 53},
                      KindLines{{3, 1, 0}, "Storage/FLDINI/TQ68.INI", 53},
                      KindLines{{4, 1, 0}, "Storage/FLDINI/TQ64.INI", 53},
                      KindLines{{5, 1, 0}, "C_DRIVE/FLDINI/TQ93.INI", 53},
                      KindLines{{5, 0, 0}, "C_DRIVE/FLDINI/TQ93.INI", 53},
                      KindLines{{6, 1, 0}, "Storage/FLDINI/FRZ62.INI", 53},
                      KindLines{{7, 1, 1}, "Storage/FLDINI/TQ68MK2.INI", 62},
                      KindLines{{7, 0, 0}, "C_DRIVE/FLDINI/TQ68MK2.INI", 62}));

TEST(SettingsPathTest, FolderFollowsStorageRootExceptOnTheTq93) {
  EXPECT_EQ(SettingsFolderSystemPath({7, 1, 0}), "Storage\\FLDINI");
  EXPECT_EQ(SettingsFolderSystemPath({7, 0, 0}), "C_DRIVE\\FLDINI");
  EXPECT_EQ(SettingsFolderSystemPath({5, 1, 0}), "C_DRIVE\\FLDINI");
  EXPECT_EQ(SettingsFileSystemPath({7, 1, 0}), "Storage\\FLDINI\\TQ68MK2.INI");
  EXPECT_EQ(SettingsFileSystemPath({2, 0, 0}), "C_DRIVE\\FLDINI\\TQ68D.INI");
}

TEST(SettingsFormatTest, Tq62WithIceOptionStartsWithTheIceLines) {
  SettingsStore s;
  s.Tq62Variant = 1;
  s.IceOption = 1;
  s.ShowProfile = 1;
  s.SeaWaterIndex = 10;
  std::vector<std::string> lines = SplitLines(FormatSettingsFile(s, {0, 1, 1}));
  ASSERT_EQ(lines.size(), 60u);
  std::vector<std::string> head(lines.begin(), lines.begin() + 8);
  EXPECT_EQ(head, (std::vector<std::string>{"CEVer2.11", "1", "1", "1", "10", "0.000000",
                                            "5.000000", "0"}));
  // Without the mk2 lines the survey part ends the file.
  EXPECT_EQ(lines[59], "1.000000");
}

TEST(SettingsFormatTest, Tq62WithoutIceOptionHasOnlyTheVariantLine) {
  SettingsStore s;
  s.Tq62Variant = 1;
  s.IceOption = 1;
  std::vector<std::string> lines = SplitLines(FormatSettingsFile(s, {0, 1, 0}));
  ASSERT_EQ(lines.size(), 55u);
  EXPECT_EQ(lines[1], "1");
  EXPECT_EQ(lines[2], "0");  // Units follows at once
  EXPECT_EQ(lines[3], "0");
  EXPECT_EQ(lines[4], "1");
}

TEST(SettingsTagTest, FileOfAnotherVersionIsReplacedByTheValuesInForce) {
  ScopedDataRoot root;
  std::vector<std::string> old = Mk2DefaultLines();
  old[0] = "CEVer2.10";
  old[1] = "1";  // Units
  WriteFileBytes(Mk2File(root), Join(old));
  SettingsStore s = LoadAtStartUp();
  EXPECT_EQ(s.Units, 0);
  EXPECT_EQ(ReadFileBytes(Mk2File(root)), Join(Mk2DefaultLines()));
  EXPECT_FALSE(std::filesystem::exists(Mk2File(root).string() + ".tmp"));
}

TEST(SettingsTagTest, KindWhoseTagIsOlderAcceptsItsOwnFile) {
  ScopedDataRoot root;
  const BuildConfig tq68b{kKindTq68b, 1, 0};
  SettingsStore saved = StartUpStore(tq68b);
  saved.Units = 1;
  ASSERT_TRUE(SaveSettings(saved, tq68b));
  std::string bytes = ReadFileBytes(root.path() / "Storage/FLDINI/TQ68B.INI");
  EXPECT_EQ(bytes.substr(0, 14), "CEVer2.10\r\n1\r\n");
  SettingsStore loaded = StartUpStore(tq68b);
  ASSERT_TRUE(LoadSettings(loaded, tq68b));
  EXPECT_EQ(loaded.Units, 1);
}

TEST(SettingsTagTest, EmptyFileIsReplaced) {
  ScopedDataRoot root;
  WriteFileBytes(Mk2File(root), "");
  SettingsStore s = LoadAtStartUp();
  EXPECT_EQ(ReadFileBytes(Mk2File(root)), Join(Mk2DefaultLines()));
}

TEST(SettingsRoundTripTest, EveryFieldOfTheMk2SurvivesSaveAndLoad) {
  ScopedDataRoot root;
  SettingsStore s = StartUpStore(kMk2);
  s.Units = 1;
  s.InstrumentPort = 11;
  s.PauseKey = 2;
  s.TraceVisible[6] = 0;
  s.TraceThickness[7] = 4;
  s.TraceColor[4] = 0x123456;
  s.GridFor = 1;
  s.CondScaleMin = -10.5f;
  s.InphaseScaleMax = 60.0f;
  s.GpsInput = 1;
  s.GpsBaud = 5;
  s.SurveyMode = 2;
  s.SamplesPerReading = 100;
  s.Mk2Variant = 1;
  s.Mk2Calibration = {0.5f, -1.25f, 2.0f, 3.75f, -4.5f, 5.125f};
  s.ReadingInterval = 0.5f;
  s.SurveyLine = "L17";
  s.Direction = 3;
  s.StartStation = -40.5;
  s.SoftMarker = 1;
  s.ExtMarkerPort = 11;
  ASSERT_TRUE(SaveSettings(s, kMk2));
  SettingsStore r = LoadAtStartUp();
  EXPECT_EQ(r.Units, 1);
  EXPECT_EQ(r.InstrumentPort, 11);
  EXPECT_EQ(r.PauseKey, 2);
  EXPECT_EQ(r.TraceVisible, s.TraceVisible);
  EXPECT_EQ(r.TraceThickness, s.TraceThickness);
  EXPECT_EQ(r.TraceColor, s.TraceColor);
  EXPECT_EQ(r.GridFor, 1);
  EXPECT_FLOAT_EQ(r.CondScaleMin, -10.5f);
  EXPECT_FLOAT_EQ(r.InphaseScaleMax, 60.0f);
  EXPECT_EQ(r.GpsInput, 1);
  EXPECT_EQ(r.GpsBaud, 5);
  EXPECT_EQ(r.SurveyMode, 2);
  EXPECT_EQ(r.SurveyDialogMode, 2);
  EXPECT_EQ(r.SamplesPerReading, 100);
  EXPECT_EQ(r.Mk2Variant, 1);
  EXPECT_EQ(r.Mk2Calibration, s.Mk2Calibration);
  EXPECT_EQ(r.SurveyLine, "L17");
  EXPECT_EQ(r.Direction, 3);
  EXPECT_DOUBLE_EQ(r.StartStation, -40.5);
  EXPECT_DOUBLE_EQ(r.CurrentStation, -40.5);
  EXPECT_EQ(r.SoftMarker, 1);
  EXPECT_EQ(r.ExtMarkerPort, 11);
  // Derived on load: 180 px over 510.5 mS/m and over 85 ppt; 0.5 s at 47 ms.
  EXPECT_FLOAT_EQ(r.CondPixelsPerUnit, 180.0f / 510.5f);
  EXPECT_FLOAT_EQ(r.InphasePixelsPerUnit, 180.0f / 85.0f);
  EXPECT_EQ(r.FramesPerInterval, 11);
  EXPECT_EQ(r.ReadingsPerSecond, 2);
}

TEST(SettingsRoundTripTest, StartStationKeepsSixDecimals) {
  ScopedDataRoot root;
  SettingsStore s = StartUpStore(kMk2);
  s.StartStation = 12.345;
  EXPECT_EQ(SaveAndReadLine(s, root, 65), "12.345000");
  SettingsStore r = LoadAtStartUp();
  EXPECT_DOUBLE_EQ(r.StartStation, 12.345);
  EXPECT_DOUBLE_EQ(r.CurrentStation, 12.345);
}

TEST(SettingsRoundTripTest, ColourWithTheTopBitSetSurvives) {
  ScopedDataRoot root;
  SettingsStore s = StartUpStore(kMk2);
  s.TraceColor[0] = 0x80FF0000u;
  EXPECT_EQ(SaveAndReadLine(s, root, 27), "-2130771968");
  SettingsStore r = LoadAtStartUp();
  EXPECT_EQ(r.TraceColor[0], 0x80FF0000u);
}

TEST(SettingsStationIncrementTest, WheelModeStoresOnlyTheDirection) {
  ScopedDataRoot root;
  SettingsStore s = StartUpStore(kMk2);
  s.SurveyMode = 1;
  s.WheelStationIncrement = 0.5f;
  s.StationIncrement = -0.5f;
  EXPECT_EQ(SaveAndReadLine(s, root, 66), "-1.000000");
  s.StationIncrement = 0.0f;
  EXPECT_EQ(SaveAndReadLine(s, root, 66), "1.000000");

  SettingsStore r = LoadAtStartUp();
  EXPECT_EQ(r.SurveyMode, 1);
  EXPECT_EQ(r.SurveyDialogMode, 1);
  EXPECT_FLOAT_EQ(r.StationIncrement, 0.5f);
}

TEST(SettingsStationIncrementTest, OtherModesStoreTheIncrementButLoadTheModesOwn) {
  ScopedDataRoot root;
  SettingsStore s = StartUpStore(kMk2);
  s.SurveyMode = 2;
  s.StationIncrement = 3.5f;
  s.ManualStationIncrement = 2.5f;
  EXPECT_EQ(SaveAndReadLine(s, root, 66), "3.500000");
  SettingsStore r = LoadAtStartUp();
  EXPECT_FLOAT_EQ(r.StationIncrement, 2.5f);

  s.SurveyMode = 0;
  s.AutoStationIncrement = 0.25f;
  ASSERT_TRUE(SaveSettings(s, kMk2));
  ASSERT_TRUE(LoadSettings(r, kMk2));
  EXPECT_FLOAT_EQ(r.StationIncrement, 0.25f);
}

TEST(SettingsSurveyLineTest, ElevenCharactersSurviveUnchanged) {
  ScopedDataRoot root;
  SettingsStore s = StartUpStore(kMk2);
  s.SurveyLine = "ABCDEFGHIJK";
  EXPECT_EQ(SaveAndReadLine(s, root, 61), "ABCDEFGHIJK");
  SettingsStore r = LoadAtStartUp();
  EXPECT_EQ(r.SurveyLine, "ABCDEFGHIJK");
}

TEST(SettingsSurveyLineTest, EmptyLineIsWrittenAndReadAsEmpty) {
  ScopedDataRoot root;
  SettingsStore s = StartUpStore(kMk2);
  s.SurveyLine = "";
  ASSERT_TRUE(SaveSettings(s, kMk2));
  std::vector<std::string> lines = SplitLines(ReadFileBytes(Mk2File(root)));
  ASSERT_EQ(lines.size(), 63u);
  EXPECT_EQ(lines[Mk2Line(61)], "");
  EXPECT_EQ(lines[Mk2Line(62)], "1.000000");
  SettingsStore r = LoadAtStartUp();
  EXPECT_EQ(r.SurveyLine, "");
  EXPECT_FLOAT_EQ(r.LineIncrement, 1.0f);
}

TEST(SettingsSurveyLineTest, OverlongLineInTheFileIsCutToEleven) {
  ScopedDataRoot root;
  std::vector<std::string> lines = Mk2DefaultLines();
  lines[Mk2Line(61)] = "LINE-0123456789" + std::string(1000, 'Z');
  lines[Mk2Line(62)] = "5.000000";
  WriteFileBytes(Mk2File(root), Join(lines));
  SettingsStore r = LoadAtStartUp();
  EXPECT_EQ(r.SurveyLine, "LINE-012345");
  EXPECT_FLOAT_EQ(r.LineIncrement, 5.0f);  // the lines after it still line up
}

TEST(SettingsSurveyLineTest, OverlongOrMultiLineValueInTheStoreIsWrittenAsOneShortLine) {
  SettingsStore s;
  s.SurveyLine = "AB\r\nCD";
  EXPECT_EQ(SplitLines(FormatSettingsFile(s, kMk2))[Mk2Line(61)], "AB");
  s.SurveyLine = "ABCDEFGHIJKLMNOP";
  std::vector<std::string> lines = SplitLines(FormatSettingsFile(s, kMk2));
  ASSERT_EQ(lines.size(), 63u);
  EXPECT_EQ(lines[Mk2Line(61)], "ABCDEFGHIJK");
}

TEST(SettingsSurveyLineTest, LineIsStoredInEightBitCharactersAndReadBackWhole) {
  ScopedDataRoot root;
  SettingsStore s = StartUpStore(kMk2);
  // Ö is U+00D6: one byte 0xD6 in the file, two bytes of UTF-8 in the store.
  s.SurveyLine = "Ö-7";
  EXPECT_EQ(SaveAndReadLine(s, root, 61), "\xD6-7");
  EXPECT_EQ(LoadAtStartUp().SurveyLine, "Ö-7");

  std::string eleven;
  for (int i = 0; i < 11; ++i) eleven += "Ö";
  s.SurveyLine = eleven;
  EXPECT_EQ(SaveAndReadLine(s, root, 61), std::string(11, '\xD6'));
  EXPECT_EQ(LoadAtStartUp().SurveyLine, eleven);
}

TEST(SettingsSurveyLineTest, ACharacterTheFileCannotHoldNeverBreaksItsLines) {
  ScopedDataRoot root;
  SettingsStore s = StartUpStore(kMk2);
  s.StartStation = 40.0;
  s.SoftMarker = 1;
  // The low bytes of U+040A, U+010D and U+0100 are LF, CR and NUL; every
  // line after the name must still read back as it was written.
  for (const char* line : {"\u040a1", "\u010d5", "\u01007"}) {
    s.SurveyLine = line;
    EXPECT_EQ(SaveAndReadLine(s, root, 61), "?" + std::string(line).substr(2)) << line;
    EXPECT_EQ(FormatSettingsFile(LoadAtStartUp(), kMk2), FormatSettingsFile(s, kMk2)) << line;
  }
}

TEST(SettingsSurveyLineTest, HandheldFileWithEightBitNameReadsAsItsCharacters) {
  ScopedDataRoot root;
  std::vector<std::string> lines = Mk2DefaultLines();
  lines[Mk2Line(61)] = "N\xC4" "CHST";  // "NÄCHST" as an 8-bit file holds it
  WriteFileBytes(Mk2File(root), Join(lines));
  EXPECT_EQ(LoadAtStartUp().SurveyLine, "NÄCHST");
}

TEST(SurveyLineNameTest, CutToElevenCharactersWithoutSplittingOne) {
  EXPECT_EQ(CutSurveyLine("12345678901"), "12345678901");
  EXPECT_EQ(CutSurveyLine("123456789012"), "12345678901");
  EXPECT_EQ(CutSurveyLine("L7\r\nrest"), "L7");
  EXPECT_EQ(CutSurveyLine(""), "");
  // "Ä" takes two bytes but is one character.
  EXPECT_EQ(CutSurveyLine("ÄÄÄÄÄÄ"), "ÄÄÄÄÄÄ");
  std::string twelve;
  for (int i = 0; i < 12; ++i) twelve += "Ä";
  EXPECT_EQ(CutSurveyLine(twelve), twelve.substr(0, 22));
  // Bytes that are not UTF-8 count one character each.
  EXPECT_EQ(CutSurveyLine(std::string(20, '\x80')), std::string(11, '\x80'));
  EXPECT_EQ(CutSurveyLine("\xC3" "ABCDEFGHIJKLM"), "\xC3" "ABCDEFGHIJ");
}

TEST(SettingsDamagedFileTest, FileThatEndsEarlyKeepsTheRestAndIsCompleted) {
  ScopedDataRoot root;
  std::vector<std::string> lines = Mk2DefaultLines();
  lines[Mk2Line(7)] = "1";       // Units
  lines[Mk2Line(41)] = "5";      // GpsPort
  lines.resize(Mk2Line(45) + 1);  // up to GpsStopBits
  WriteFileBytes(Mk2File(root), Join(lines));

  SettingsStore r = StartUpStore(kMk2);
  r.SamplesPerReading = 33;
  r.StartStation = 7.0;
  ASSERT_TRUE(LoadSettings(r, kMk2));
  EXPECT_EQ(r.Units, 1);
  EXPECT_EQ(r.GpsPort, 5);
  EXPECT_EQ(r.SamplesPerReading, 33);
  EXPECT_DOUBLE_EQ(r.CurrentStation, 7.0);

  std::vector<std::string> expected = Mk2DefaultLines();
  expected[Mk2Line(7)] = "1";
  expected[Mk2Line(41)] = "5";
  expected[Mk2Line(49)] = "33";
  expected[Mk2Line(65)] = "7.000000";
  EXPECT_EQ(ReadFileBytes(Mk2File(root)), Join(expected));
}

TEST(SettingsDamagedFileTest, FileCutInsideItsLastLineIsReadWhole) {
  ScopedDataRoot root;
  std::vector<std::string> lines = Mk2DefaultLines();
  lines.back() = "3";  // ExtMarkerPort
  std::string bytes = Join(lines);
  bytes.resize(bytes.size() - 2);
  WriteFileBytes(Mk2File(root), bytes);
  SettingsStore r = LoadAtStartUp();
  EXPECT_EQ(r.ExtMarkerPort, 3);
  EXPECT_EQ(ReadFileBytes(Mk2File(root)), bytes);  // nothing was missing
}

TEST(SettingsDamagedFileTest, GarbageValueLinesReadAsZero) {
  ScopedDataRoot root;
  std::vector<std::string> lines = Mk2DefaultLines();
  lines[Mk2Line(9)] = "yes";        // Audio
  lines[Mk2Line(27)] = "blue";      // TraceColor 0
  lines[Mk2Line(37)] = "lots";      // CondScaleMax, equal to its bottom now
  lines[Mk2Line(39)] = "inf";       // InphaseScaleMax
  lines[Mk2Line(57)] = "nan";       // AutoStationIncrement
  lines[Mk2Line(58)] = "0x1p4";     // WheelStationIncrement
  lines[Mk2Line(60)] = "1e999";     // ReadingInterval
  lines[Mk2Line(65)] = "-";         // StartStation
  WriteFileBytes(Mk2File(root), Join(lines));
  SettingsStore r = LoadAtStartUp();
  EXPECT_EQ(r.Audio, 0);
  EXPECT_EQ(r.TraceColor[0], 0u);
  EXPECT_EQ(r.CondScaleMax, 0.0f);
  EXPECT_EQ(r.CondPixelsPerUnit, 0.0f);  // never infinite
  EXPECT_EQ(r.InphaseScaleMax, 0.0f);
  EXPECT_FLOAT_EQ(r.InphasePixelsPerUnit, 180.0f / 25.0f);
  EXPECT_EQ(r.AutoStationIncrement, 0.0f);
  EXPECT_EQ(r.StationIncrement, 0.0f);  // Auto mode's increment
  EXPECT_EQ(r.WheelStationIncrement, 0.0f);
  EXPECT_TRUE(std::isfinite(r.ReadingInterval));
  EXPECT_EQ(r.ReadingsPerSecond, 1);
  EXPECT_EQ(r.StartStation, 0.0);
}

TEST(SettingsDamagedFileTest, PauseKeyOutsideItsFourChoicesReadsAsTheDefault) {
  const std::pair<const char*, int32_t> cases[] = {{"7", 0}, {"-1", 0}, {"4", 0}, {"3", 3}, {"2", 2}};
  for (auto [line, pause_key] : cases) {
    ScopedDataRoot root;
    std::vector<std::string> lines = Mk2DefaultLines();
    lines[Mk2Line(10)] = line;
    WriteFileBytes(Mk2File(root), Join(lines));
    EXPECT_EQ(LoadAtStartUp().PauseKey, pause_key) << line;
  }
}

TEST(SettingsAtomicSaveTest, SaveInterruptedBeforeTheRenameLeavesTheOldFileWhole) {
  ScopedDataRoot root;
  SettingsStore s = StartUpStore(kMk2);
  s.Units = 1;
  ASSERT_TRUE(SaveSettings(s, kMk2));
  std::string before = ReadFileBytes(Mk2File(root));

  FileFaults faults;
  faults.stop_before_rename = true;
  InjectFileFaults(&faults);
  s.Units = 0;
  s.SurveyLine = "NEW";
  EXPECT_FALSE(SaveSettings(s, kMk2));
  InjectFileFaults(nullptr);
  EXPECT_EQ(ReadFileBytes(Mk2File(root)), before);

  SettingsStore r = LoadAtStartUp();
  EXPECT_EQ(r.Units, 1);
  EXPECT_EQ(r.SurveyLine, "0");
  EXPECT_EQ(ReadFileBytes(Mk2File(root)), before);

  // The leftover of the interrupted save does not stand in the way of the next.
  ASSERT_TRUE(SaveSettings(s, kMk2));
  ASSERT_TRUE(LoadSettings(r, kMk2));
  EXPECT_EQ(r.SurveyLine, "NEW");
}

TEST(SettingsAtomicSaveTest, FailedWriteReportsFalseAndKeepsTheOldFile) {
  ScopedDataRoot root;
  SettingsStore s = StartUpStore(kMk2);
  ASSERT_TRUE(SaveSettings(s, kMk2));
  std::string before = ReadFileBytes(Mk2File(root));

  FileFaults faults;
  faults.write_budget = 10;
  InjectFileFaults(&faults);
  s.Units = 1;
  bool saved = SaveSettings(s, kMk2);
  InjectFileFaults(nullptr);
  EXPECT_FALSE(saved);
  EXPECT_EQ(ReadFileBytes(Mk2File(root)), before);
}

TEST(SettingsAtomicSaveTest, LoadThatMustWriteReportsAFailedWrite) {
  ScopedDataRoot root;
  FileFaults faults;
  faults.write_budget = 0;
  InjectFileFaults(&faults);
  SettingsStore s = StartUpStore(kMk2);
  bool loaded = LoadSettings(s, kMk2);
  InjectFileFaults(nullptr);
  EXPECT_FALSE(loaded);
  EXPECT_FALSE(std::filesystem::exists(Mk2File(root)));
  EXPECT_EQ(s.Units, 0);
}

TEST(SettingsAtomicSaveTest, SaveIntoAFolderThatCannotBeMadeFailsQuietly) {
  ScopedDataRoot root;
  WriteFileBytes(root.path() / "Storage", "a file where the folder belongs");
  SettingsStore s = StartUpStore(kMk2);
  EXPECT_FALSE(SaveSettings(s, kMk2));
  EXPECT_FALSE(LoadSettings(s, kMk2));
}

}  // namespace
}  // namespace tq
