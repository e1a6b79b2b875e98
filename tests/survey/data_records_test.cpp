// Every data file record, byte for byte, in both record lengths. Expected
// records are written out by hand from the layout tables: a body with its
// fields at their documented positions, padded with spaces up to the LF.
#include "survey/data_records.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "survey/data_file_creation.h"
#include "survey/record_check.h"
#include "tests/survey/record_lines.h"

namespace tq {
namespace {

using testing::DecemberSixthAt;
using testing::Line;

std::string Bytes(const DataRecord& r) { return std::string(r.text()); }

TEST(HeaderRecordTest, Mk2HeaderCarriesModesVariantAndLoggerCode) {
  SettingsStore s;
  s.Units = 1;
  s.DipoleMode = 2;
  s.SurveyMode = 2;
  s.Component = 0;
  s.Mk2Variant = 2;
  //                   0..14            15-18   19 20-22 23  24   25
  EXPECT_EQ(Bytes(FormatHeader1(s, {kKindTq68Mk2, 1, 0}, true)),
            "TQ68MK2 W211GRD" "1220" "2" "   " " " "3" "\n");
  EXPECT_EQ(Bytes(FormatHeader1(s, {kKindTq68Mk2, 1, 0}, false)).substr(24), "2\n");
  EXPECT_EQ(Bytes(FormatHeader1(s, {kKindTq68Mk2, 0, 0}, true)).substr(24), " \n");
}

TEST(HeaderRecordTest, Tq62IceBuildMarksModelAndStoresSeaWaterIndexTenAsA) {
  SettingsStore s;
  s.IceOption = 1;
  s.SeaWaterIndex = 10;
  s.GpsInput = 1;
  EXPECT_EQ(Bytes(FormatHeader1(s, {kKindTq62, 0, 1}, true)),
            "TQ62MK2iW211GPS" "0000" "1A" " " " " "\n");
  s.Tq62Variant = 1;
  EXPECT_EQ(Bytes(FormatHeader1(s, {kKindTq62, 1, 1}, false)),
            "TQ62SH iW211GPS" "0000" "1A" " " "2" "\n");
}

TEST(HeaderRecordTest, OnlyTheSeaWaterIndexWritesTenAsAOtherWideValuesAreMarked) {
  SettingsStore s;
  s.Units = 10;
  s.DipoleMode = -1;
  s.IceOption = 1;
  s.SeaWaterIndex = 11;
  EXPECT_EQ(Bytes(FormatHeader1(s, {kKindTq62, 0, 1}, true)),
            "TQ62MK2iW211GRD" "??00" "1?" " " " " "\n");
  s.Units = 0;
  s.DipoleMode = 0;
  s.Mk2Variant = 10;
  EXPECT_EQ(Bytes(FormatHeader1(s, {kKindTq68Mk2, 0, 0}, true)),
            "TQ68MK2 W211GRD" "0000" "?" "   " " " " " "\n");
}

TEST(HeaderRecordTest, ShortHeaderWithoutIceLeavesTwoSpaces) {
  SettingsStore s;
  s.DipoleMode = 1;
  s.SurveyMode = 1;
  s.Component = 2;
  EXPECT_EQ(Bytes(FormatHeader1(s, {kKindTq62, 1, 0}, true)),
            "TQ62MK2 W211GRD" "0112" "  " " " "3" "\n");
  EXPECT_EQ(Bytes(FormatHeader1(s, {kKindTq93, 1, 0}, true)),
            "TQ93    W210GRD" "0112" "  " " " "3" "\n");
}

TEST(HeaderRecordTest, IdentifiersOfEveryKind) {
  SettingsStore s;
  const char* grd[kKindCount] = {"TQ62MK2 W211GRD", "TQ68B   W210GRD", "TQ68D   W211GRD",
                                 "TQ68S   W211GRD", "TQ64    W211GRD", "TQ93    W210GRD",
                                 "FRZ62   W210GRD", "TQ68MK2 W211GRD"};
  for (int32_t kind = 0; kind < kKindCount; ++kind) {
    s.GpsInput = 0;
    EXPECT_EQ(HeaderIdentifier(s, {kind, 1, 0}), grd[kind]);
    s.GpsInput = 1;
    std::string gps = grd[kind];
    gps.replace(12, 3, "GPS");
    EXPECT_EQ(HeaderIdentifier(s, {kind, 1, 0}), gps);
  }
}

TEST(HeaderRecordTest, SecondHeaderShowsBaseNameAndModeValue) {
  SettingsStore s;
  s.SurveyMode = 2;
  s.SamplesPerReading = 10;
  // The sample count right-aligned in 7 positions from 11: "10" at 16 and 17.
  EXPECT_EQ(Bytes(FormatHeader2(s, 24, "LINE")), Line("H LINE          10", 24));
  s.SurveyMode = 0;
  s.ReadingInterval = 0.2f;
  EXPECT_EQ(Bytes(FormatHeader2(s, 26, "120614A")), Line("H 120614A    0.200", 26));
  s.SurveyMode = 1;
  s.StationIncrement = -2.5f;
  EXPECT_EQ(Bytes(FormatHeader2(s, 24, "W")), Line("H W         -2.500", 24));
}

TEST(HeaderRecordTest, SecondHeaderCutsBaseNameToNineAndWideValueAtTheLf) {
  SettingsStore s;
  s.SurveyMode = 2;
  s.SamplesPerReading = 1234567;
  EXPECT_EQ(Bytes(FormatHeader2(s, 24, "ABCDEFGHIJK")), Line("H ABCDEFGHI1234567", 24));
  s.SurveyMode = 0;
  s.ReadingInterval = 1.0e12f;
  const std::string record = Bytes(FormatHeader2(s, 24, "A"));
  ASSERT_EQ(record.size(), 24u);
  EXPECT_EQ(record, "H A        999999995904\n");
}

TEST(LineStartRecordTest, LineNameIsCutToEightCharacters) {
  EXPECT_EQ(Bytes(FormatLineName(24, "7")), Line("L7", 24));
  EXPECT_EQ(Bytes(FormatLineName(26, "LINE-NORTH-7")), Line("LLINE-NOR", 26));
}

TEST(LineStartRecordTest, LineNameIsNarrowedToEightBitCharacters) {
  // "é" is U+00E9: one byte 0xE9 in the file.
  EXPECT_EQ(Bytes(FormatLineName(24, "caf\xC3\xA9")), Line("Lcaf\xE9", 24));
}

TEST(LineStartRecordTest, TextTheRecordsCannotHoldNeverBecomesAControlByte) {
  // U+040A, U+0100 and U+0438 would have left their low bytes LF, NUL and "8".
  SettingsStore s;
  s.SurveyMode = 2;
  const std::pair<DataRecord, std::string> cases[] = {
      {FormatLineName(24, "\u040a1"), Line("L?1", 24)},
      {FormatNote(24, "pit \u040a 3", 'C', 42), "C" "pit ? 3    " " " "        42" "\n"},
      {FormatNote(26, "\u0100 start\t", 'C', 42), "C? start?   " "   " "        42" "\n"},
      {FormatHeader2(s, 24, DataFileBaseName("/x/\u040a\u0438\u0432\u0430.R62")), Line("H ????          10", 24)},
  };
  for (const auto& [record, expected] : cases) {
    EXPECT_EQ(Bytes(record), expected);
    EXPECT_TRUE(IsWholeRecord(record.view())) << expected;
  }
  // What the dialogs refuse before any of that: a comment's first eleven
  // characters, the ones "C" keeps, and the whole of a file's base name.
  EXPECT_EQ(CheckComment("pit \u040a 3").value_or(""), "Comment cannot hold the character \"\u040a\" (U+040A).");
  EXPECT_EQ(CheckComment("12345678901\u040a"), std::nullopt);
  EXPECT_EQ(CheckDataFileName("/x/\u040a\u0438\u0432\u0430.R62").value_or(""),
            "File Name cannot hold the character \"\u040a\" (U+040A).");
  EXPECT_EQ(CheckDataFileName("/\u0434\u043e\u043c/LINE.7.R62"), std::nullopt);  // the folder is not stored
}

TEST(LineStartRecordTest, StartStationAndDirectionWithNegativeIncrement) {
  EXPECT_EQ(Bytes(FormatStartStation(24, 100.0)), Line("B     100.00", 24));
  EXPECT_EQ(Bytes(FormatStartStation(26, -40.13)), Line("B     -40.13", 26));
  // -2.500 right-aligned in positions 8..18.
  EXPECT_EQ(Bytes(FormatDirection(24, 1, -2.5f)), Line("AS           -2.500", 24));
  EXPECT_EQ(Bytes(FormatDirection(26, 3, 10.0f)), Line("AE           10.000", 26));
  EXPECT_EQ(Bytes(FormatDirection(24, 0, 1.0f)).substr(0, 2), "AW");
  EXPECT_EQ(Bytes(FormatDirection(24, 2, 1.0f)).substr(0, 2), "AN");
}

TEST(LineStartRecordTest, DateAndTime) {
  LocalTime t = DecemberSixthAt(14, 5, 9, 0);
  EXPECT_EQ(Bytes(FormatDateTime(24, t)), Line("Z06122009 14:05:09", 24));
  t.day = 3;
  t.month = 7;
  t.year = 2010;
  t.hour = 0;
  EXPECT_EQ(Bytes(FormatDateTime(26, t)), Line("Z03072010 00:05:09", 26));
}

TEST(LineStartRecordTest, CalibrationRecordsCarryOffsetAndPrevious) {
  const Mk2Offsets offsets = {1.5f, -2.25f, 0, 0, 0, 123.456f};
  const Mk2Offsets previous = {0, 0, 0, 0, 0, -0.5f};
  const auto records = FormatCalibrationRecords(offsets, previous);
  EXPECT_EQ(Bytes(records[0]), "O1     1.500      0.000  \n");
  EXPECT_EQ(Bytes(records[1]), "O2    -2.250      0.000  \n");
  EXPECT_EQ(Bytes(records[5]), "O6   123.456     -0.500  \n");
}

TEST(LineStartRecordTest, GroupIsLBAZAndOnMk2TheSixOffsets) {
  SettingsStore s;
  s.SurveyLine = "12";
  s.StartStation = 0.0;
  s.Direction = 2;
  s.StationIncrement = 1.0f;
  const LocalTime t = DecemberSixthAt(8, 0, 0, 0);
  std::vector<std::string> letters;
  for (const DataRecord& r : FormatLineStart(s, kKindTq68Mk2, t, {})) {
    letters.push_back(Bytes(r).substr(0, 2));
  }
  EXPECT_EQ(letters, (std::vector<std::string>{"L1", "B ", "AN", "Z0", "O1", "O2", "O3", "O4",
                                               "O5", "O6"}));
  EXPECT_EQ(FormatLineStart(s, kKindTq64, t, {}).size(), 4u);
}

TEST(EventRecordTest, NewStationWithHundredthsOfASecond) {
  EXPECT_EQ(Bytes(FormatStationRecord(24, 500.0, DecemberSixthAt(9, 3, 7, 459))),
            Line("S     500.00 09030745", 24));
  EXPECT_EQ(Bytes(FormatStationRecord(26, -12.5, DecemberSixthAt(23, 59, 59, 999))),
            Line("S     -12.50 23595999", 26));
}

TEST(EventRecordTest, TimeMarkPairsClockWithTick) {
  EXPECT_EQ(Bytes(FormatTimeMark(24, 123456, DecemberSixthAt(14, 5, 9, 7))),
            "*14:05:09.007" "    123456" "\n");
  EXPECT_EQ(Bytes(FormatTimeMark(26, 123456, DecemberSixthAt(14, 5, 9, 7))),
            "*14:05:09.007" "  " "    123456" "\n");
}

TEST(EventRecordTest, TickBeyondTheSignedRangeStillTakesTenCharacters) {
  EXPECT_EQ(Bytes(FormatNote(24, "$STARTED", 'X', 4294967295u)),
            "X$STARTED   " " " "4294967295" "\n");
  EXPECT_EQ(Bytes(FormatNote(24, "", 'X', 2147483648u)).substr(13), "2147483648\n");
}

TEST(EventRecordTest, CommentsAndRunNotes) {
  EXPECT_EQ(Bytes(FormatNote(24, "", 'C', 42)), "C" "           " " " "        42" "\n");
  EXPECT_EQ(Bytes(FormatNote(26, "WET GROUND BY RIVER", 'C', 42)),
            "C" "WET GROUND " " " "  " "        42" "\n");
  EXPECT_EQ(Bytes(FormatNote(24, "$CONN END  ", 'X', 7)), "X$CONN END  " " " "         7" "\n");
}

TEST(EventRecordTest, RunNotesAreStoredExactly) {
  // Letter, 11 text positions, a space, then the tick.
  EXPECT_EQ(Bytes(FormatNote(24, kNoteStarted, 'X', 1)), "X$STARTED   " " " "         1" "\n");
  EXPECT_EQ(Bytes(FormatNote(24, kNotePaused, 'X', 2)), "X$PAUSED    " " " "         2" "\n");
  EXPECT_EQ(Bytes(FormatNote(24, kNoteConnectionBreak, 'X', 3)),
            "X$CONN BREAK" " " "         3" "\n");
  EXPECT_EQ(Bytes(FormatNote(26, kNoteConnectionEnd, 'X', 4)),
            "X$CONN END  " " " "  " "         4" "\n");
}

TEST(EventRecordTest, LengthsOutsideBothLayoutsTakeTheNearerOne) {
  // A record array holds 26 bytes; nothing may be written past it.
  EXPECT_EQ(Bytes(FormatNote(4096, "", 'C', 9)), "C" "           " " " "  " "         9" "\n");
  EXPECT_EQ(Bytes(FormatNote(0, "", 'C', 9)), "C" "           " " " "         9" "\n");
  std::vector<DataRecord> records;
  FormatGpsRecords(std::string(30, 'x'), 1, '@', '#', 2, records);  // would be pieces of 0
  ASSERT_EQ(records.size(), 3u);
  EXPECT_EQ(Bytes(records[1]), Line("#xxxxxxxx", 24));
}

TEST(ReadingRecordTest, AsciiFrameTextThenTick) {
  const std::string text = "T6-0400+0123 ";
  const std::vector<uint8_t> frame(text.begin(), text.end());
  EXPECT_EQ(Bytes(FormatReadingRecord(frame, 98765)), "T6-0400+0123" " " "     98765" "\n");
}

TEST(ReadingRecordTest, ShortFrameIsPaddedWithSpaces) {
  const std::string text = "2@-0400";
  const std::vector<uint8_t> frame(text.begin(), text.end());
  EXPECT_EQ(Bytes(FormatReadingRecord(frame, 5)), "2@-0400     " " " "         5" "\n");
}

TEST(ReadingRecordTest, BinaryFrameKeepsRawBytesIncludingLineFeeds) {
  const std::vector<uint8_t> frame = {'T', 6, 0x0A, 0x00, 0x20, 0x0A, 0xFF, 0x80,
                                      0x0A, 0x0A, 0x01, 0x02, 0x03, 0x0A};
  const DataRecord record = FormatBinaryReadingRecord(frame, 1000);
  ASSERT_EQ(record.length, 26u);
  const std::string expected = std::string("T\x06\x0A\x00\x20\x0A\xFF\x80\x0A\x0A\x01\x02\x03\x0A", 14) +
                               " " + "      1000" + "\n";
  EXPECT_EQ(Bytes(record), expected);
}

TEST(GpsRecordTest, SeventyCharacterSentenceInShortRecords) {
  std::string sentence = "$GPGGA,123519,4807.038,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,*47";
  sentence += std::string(70 - sentence.size(), '0');
  ASSERT_EQ(sentence.size(), 70u);
  std::vector<DataRecord> records;
  FormatGpsRecords(sentence, 31337, '@', '#', 24, records);
  ASSERT_EQ(records.size(), 5u);
  EXPECT_EQ(Bytes(records[0]), "@" + sentence.substr(0, 22) + "\n");
  EXPECT_EQ(Bytes(records[1]), "#" + sentence.substr(22, 22) + "\n");
  EXPECT_EQ(Bytes(records[2]), "#" + sentence.substr(44, 22) + "\n");
  EXPECT_EQ(Bytes(records[3]), "#" + sentence.substr(66, 4) + std::string(18, ' ') + "\n");
  EXPECT_EQ(Bytes(records[4]), "!" + std::string(12, ' ') + "     31337" + "\n");
}

TEST(GpsRecordTest, SentenceOfWholePiecesEndsWithAnEmptyPiece) {
  const std::string line(48, 'x');  // two pieces of 24 in long records
  std::vector<DataRecord> records;
  FormatGpsRecords(line, 1, '?', '"', 26, records);
  ASSERT_EQ(records.size(), 4u);
  EXPECT_EQ(Bytes(records[0]), "?" + line.substr(0, 24) + "\n");
  EXPECT_EQ(Bytes(records[1]), "\"" + line.substr(24, 24) + "\n");
  EXPECT_EQ(Bytes(records[2]), "\"" + std::string(24, ' ') + "\n");
  EXPECT_EQ(Bytes(records[3]), "!" + std::string(14, ' ') + "         1" + "\n");
}

TEST(GpsRecordTest, LineShorterThanAPieceGoesWholeIntoTheFirstRecord) {
  std::vector<DataRecord> records;
  FormatGpsRecords("GARBLE", 9, '?', '"', 24, records);
  ASSERT_EQ(records.size(), 2u);
  EXPECT_EQ(Bytes(records[0]), Line("?GARBLE", 24));
  EXPECT_EQ(Bytes(records[1]).front(), '!');
}

}  // namespace
}  // namespace tq
