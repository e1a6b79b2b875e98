// Reading data files back: headers, record kinds, stored readings, the
// station rule over hand-built files, and the record cursor in both
// directions, across buffer boundaries and up to a torn tail.
#include "survey/record_reader.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/support/temp_dir.h"
#include "tests/survey/record_lines.h"

namespace tq {
namespace {

using testing::AsBytes;
using testing::Line;
using testing::TempDir;
using testing::WriteFileBytes;

// The station of every reading of `file`, forwards from the first body record.
std::vector<double> StationsOf(const std::filesystem::path& file, size_t length) {
  auto cursor = RecordCursor::Open(file, length);
  EXPECT_TRUE(cursor.has_value());
  std::vector<double> stations;
  if (!cursor) return stations;
  cursor->Seek(kFirstBodyRecord);
  StationTracker tracker;
  while (auto record = cursor->Next()) {
    if (IsReading(tracker.Feed(*record))) stations.push_back(tracker.station());
  }
  return stations;
}

const std::string kMk2Header1 = "TQ68MK2 W211GRD" "0220" "2" "   " " " "3" "\n";
const std::string kShortHeader2 = Line("H LINE          10", 24);

TEST(StoredHeaderTest, Mk2HeaderGivesModesVariantAndLength) {
  const auto h = ParseHeader(AsBytes(kMk2Header1), AsBytes(Line("H 120614A       10", 26)));
  ASSERT_TRUE(h.has_value());
  EXPECT_EQ(h->record_length, 26u);
  EXPECT_EQ(h->kind, kKindTq68Mk2);
  EXPECT_EQ(h->DipoleMode, 2);
  EXPECT_EQ(h->SurveyMode, 2);
  EXPECT_EQ(h->Component, 0);
  EXPECT_EQ(h->Mk2Variant, 2);
  EXPECT_EQ(h->logger_code, '3');
  EXPECT_FALSE(h->gps_survey);
  EXPECT_EQ(h->base_name, "120614A");
  EXPECT_EQ(StoredReadingsPerStation(*h), 2);
}

TEST(StoredHeaderTest, IceHeaderReadsSeaWaterIndexAAsTen) {
  const std::string header = "TQ62SH iW211GPS" "1021" "1A" " " " " "\n";
  const auto h = ParseHeader(AsBytes(header));
  ASSERT_TRUE(h.has_value());
  EXPECT_EQ(h->record_length, 24u);
  EXPECT_EQ(h->kind, kKindTq62);
  EXPECT_EQ(h->tq62_variant, 1);
  EXPECT_TRUE(h->ice_built);
  EXPECT_TRUE(h->gps_survey);
  EXPECT_EQ(h->Units, 1);
  EXPECT_EQ(h->IceOption, 1);
  EXPECT_EQ(h->SeaWaterIndex, 10);
  EXPECT_EQ(StoredReadingsPerStation(*h), 1);  // SurveyMode 2, but DipoleMode 0
}

TEST(StoredHeaderTest, ReadsFromFileAndRefusesFilesWithoutWholeHeader) {
  TempDir dir;
  WriteFileBytes(dir.path() / "A.R62", "TQ62MK2 W211GRD" "0221" "  " " " " " "\n" + kShortHeader2);
  std::string error;
  const auto h = ReadHeader(dir.path() / "A.R62", &error);
  ASSERT_TRUE(h.has_value()) << error;
  EXPECT_EQ(h->kind, kKindTq62);
  EXPECT_EQ(h->base_name, "LINE");
  EXPECT_EQ(StoredReadingsPerStation(*h), 2);

  WriteFileBytes(dir.path() / "B.R62", "TQ62MK2 W211GRD0221");
  EXPECT_FALSE(ReadHeader(dir.path() / "B.R62", &error).has_value());
  EXPECT_FALSE(error.empty());
  EXPECT_FALSE(ReadHeader(dir.path() / "missing.R62").has_value());
}

TEST(StoredHeaderTest, ReadingsPerStationByKindInManualMode) {
  StoredHeader h;
  h.SurveyMode = 2;
  struct Row {
    int32_t kind, a, b, expected;
  };
  const Row rows[] = {
      {kKindTq62, 2, 0, 2},   {kKindTq68b, 1, 0, 1},  {kKindTq68dd, 0, 0, 2},
      {kKindTq68dd, 2, 1, 1}, {kKindTq68, 2, 0, 4},   {kKindTq68, 2, 1, 2},
      {kKindTq68, 2, 2, 2},   {kKindTq68, 1, 0, 1},   {kKindTq64, 5, 0, 6},
      {kKindTq93, 2, 0, 1},   {kKindFrz62, 2, 0, 1},  {kKindTq68Mk2, 2, 1, 2},
  };
  for (const Row& r : rows) {
    h.kind = r.kind;
    h.DipoleMode = r.a;
    h.Component = r.b;
    EXPECT_EQ(StoredReadingsPerStation(h), r.expected) << r.kind << " " << r.a << " " << r.b;
  }
  h.SurveyMode = 0;
  h.kind = kKindTq64;
  EXPECT_EQ(StoredReadingsPerStation(h), 1);
}

TEST(RecordKindTest, FirstByteTellsTheKindAndHeadersGoByPlace) {
  EXPECT_EQ(RecordKindOf(AsBytes(std::string("L7"))), RecordKind::kLineName);
  EXPECT_EQ(RecordKindOf(AsBytes(std::string("t"))), RecordKind::kStationReading);
  EXPECT_EQ(RecordKindOf(AsBytes(std::string("6"))), RecordKind::kFurtherReading);
  EXPECT_EQ(RecordKindOf(AsBytes(std::string("1"))), RecordKind::kOther);
  EXPECT_EQ(RecordKindOf(AsBytes(std::string("\""))), RecordKind::kGpsBadContinuation);
  EXPECT_EQ(RecordKindOf(AsBytes(std::string("!"))), RecordKind::kGpsTick);
  EXPECT_EQ(RecordKindOf({}), RecordKind::kOther);
  // Header 1 begins with "T" like a reading; only its place tells it apart.
  EXPECT_EQ(RecordKindAt(0, AsBytes(kMk2Header1)), RecordKind::kHeader1);
  EXPECT_EQ(RecordKindAt(2, AsBytes(kMk2Header1)), RecordKind::kStationReading);
}

TEST(StoredReadingTest, AsciiRecordDecodesLikeTheLiveFrameWhateverItsMarkerDigit) {
  StoredHeader h;
  h.kind = kKindTq62;
  const StoredDecoding decoding = StoredDecodingFor(h);
  // Status 0x36: vertical, range code 6 (k = -0.25); -400 gives 100 mS/m.
  for (const char* first : {"T", "2"}) {
    const std::string record = Line(std::string(first) + "6-0400+0000", 24);
    const Reading r = DecodeStoredReading(AsBytes(record), decoding);
    EXPECT_TRUE(r.channels[0].present);
    EXPECT_FLOAT_EQ(r.channels[0].value, 100.0f);
    EXPECT_FALSE(r.channels[1].present);
  }
}

TEST(StoredReadingTest, BinaryRecordUsesTheOffsetsOfTheLastCalibrationRecords) {
  // Status 6 (vertical); word A = 0x8000 converts to exactly 0.
  std::string record = std::string("2\x06", 2) + std::string("\x80\x00\x80\x00\x80\x00\x0A\x0A", 8) +
                       std::string("\x80\x00\x80\x00", 4) + " " + "         1" + "\n";
  ASSERT_EQ(record.size(), 26u);
  StationTracker tracker;
  tracker.Feed(AsBytes(Line("O1     1.500      0.000", 26)));
  tracker.Feed(AsBytes(Line("O7   999.000      0.000", 26)));  // no such channel
  StoredHeader h;
  h.kind = kKindTq68Mk2;
  StoredDecoding decoding = StoredDecodingFor(h);
  decoding.offsets = tracker.offsets();
  EXPECT_FLOAT_EQ(decoding.offsets[0], 1.5f);
  const Reading r = DecodeStoredReading(AsBytes(record), decoding);
  EXPECT_TRUE(r.channels[0].present);
  EXPECT_FLOAT_EQ(r.channels[0].value, 1.5f);
}

TEST(StationTrackerTest, StationsCutByDamageMoveItAsTheirReadingsWould) {
  // Eleven additions of 0.005 come to 0.05 where 11 x 0.005 makes 0.06.
  StationTracker read, skipped;
  for (StationTracker* t : {&read, &skipped}) {
    for (const char* r : {"L1", "B       0.00", "AN            0.005"}) t->Feed(AsBytes(Line(r, 24)));
  }
  for (int i = 0; i < 11; ++i) read.Feed(AsBytes(Line("T@-0400", 24)));
  skipped.Skip(SkippedRange{0, 11 * 24, 11});
  EXPECT_EQ(skipped.station(), read.station());
}

class StationRuleTest : public ::testing::Test {
 protected:
  std::filesystem::path Write(const std::vector<std::string>& bodies, size_t length = 24) {
    std::string bytes = "TQ68S   W211GRD" "0220" "  " " " " " "\n" + kShortHeader2;
    for (const std::string& b : bodies) bytes += Line(b, length);
    const auto path = dir.path() / "S.R68";
    WriteFileBytes(path, bytes);
    return path;
  }
  TempDir dir;
};

TEST_F(StationRuleTest, TwoReadingsPerStationShareTheirStation) {
  const auto file = Write({"L1", "B       0.00", "AN            1.000", "Z06122009 14:05:09",
                           "*14:05:09.007", "T@-0400", "2@-0400", "T@-0400", "2@-0400"});
  EXPECT_EQ(StationsOf(file, 24), (std::vector<double>{0, 0, 1, 1}));
}

TEST_F(StationRuleTest, NewStationRecordSetsTheNextReadingsStation) {
  const auto file = Write({"L1", "B       0.00", "AN            1.000", "T@-0400", "T@-0400",
                           "S      10.00 09030745", "*09:03:07.450", "T@-0400", "T@-0400",
                           "C           ", "2@-0400"});
  EXPECT_EQ(StationsOf(file, 24), (std::vector<double>{0, 1, 10, 11, 11}));
}

TEST_F(StationRuleTest, EveryLineStartsAgainFromItsOwnStartAndIncrement) {
  const auto file = Write({"L1", "B      40.00", "AS            2.500", "T@-0400", "T@-0400",
                           "L2", "B      42.50", "AN           -2.500", "Z06122009 14:05:09",
                           "t@-0400", "T@-0400", "T@-0400"});
  EXPECT_EQ(StationsOf(file, 24), (std::vector<double>{40, 42.5, 42.5, 40, 37.5}));
}

TEST_F(StationRuleTest, GpsAndOtherRecordsBetweenReadingsDoNotMoveTheStation) {
  const auto file = Write({"L1", "B     100.00", "AE           10.000", "T@-0400",
                           "@$GPGGA,123519,4807.03", "#8,N,01131.000,E,1,08,", "T@-0400",
                           "#0.9,545.4,M,46.9,M,,*", "#47", "!" "            " "     31337",
                           "X$PAUSED    " " " "         5", "T@-0400"});
  EXPECT_EQ(StationsOf(file, 24), (std::vector<double>{100, 110, 120}));
}

class RecordCursorTest : public ::testing::Test {
 protected:
  // Record i of a long-record file: its number in text, then bytes that
  // include LF so no reader may look for line ends.
  static std::string NumberedRecord(int i) {
    char body[32];
    std::snprintf(body, sizeof body, "T%08d", i);
    return std::string(body) + std::string("\n\n\n\n\n", 5) + " " + "         0" + "\n";
  }
  std::filesystem::path WriteNumbered(int count, const std::string& tail = "") {
    std::string bytes;
    for (int i = 0; i < count; ++i) bytes += NumberedRecord(i);
    const auto path = dir.path() / "N.N68";
    WriteFileBytes(path, bytes + tail);
    return path;
  }
  static std::string Text(std::span<const uint8_t> r) { return std::string(RecordText(r)); }
  TempDir dir;
};

TEST_F(RecordCursorTest, ReadsEveryRecordForwardsAndBackwardsAcrossBuffers) {
  constexpr int kCount = 7000;  // several buffers of 26-byte records
  auto cursor = RecordCursor::Open(WriteNumbered(kCount), 26);
  ASSERT_TRUE(cursor.has_value());
  ASSERT_EQ(cursor->record_count(), kCount);
  EXPECT_FALSE(cursor->has_torn_tail());
  int i = 0;
  while (auto r = cursor->Next()) ASSERT_EQ(Text(*r), NumberedRecord(i++));
  EXPECT_EQ(i, kCount);
  while (auto r = cursor->Previous()) ASSERT_EQ(Text(*r), NumberedRecord(--i));
  EXPECT_EQ(i, 0);
  EXPECT_FALSE(cursor->failed());
}

TEST_F(RecordCursorTest, TurnsAroundInsideABuffer) {
  auto cursor = RecordCursor::Open(WriteNumbered(5000), 26);
  ASSERT_TRUE(cursor.has_value());
  cursor->Seek(4000);
  EXPECT_EQ(Text(*cursor->Previous()), NumberedRecord(3999));
  EXPECT_EQ(Text(*cursor->Previous()), NumberedRecord(3998));
  EXPECT_EQ(Text(*cursor->Next()), NumberedRecord(3998));
  EXPECT_EQ(Text(*cursor->Next()), NumberedRecord(3999));
  EXPECT_EQ(Text(*cursor->Next()), NumberedRecord(4000));
  cursor->Seek(99999);
  EXPECT_EQ(cursor->position(), 5000);
  EXPECT_FALSE(cursor->Next().has_value());
  EXPECT_EQ(Text(*cursor->Previous()), NumberedRecord(4999));
}

TEST_F(RecordCursorTest, StopsAtTheLastWholeRecordOfATornFile) {
  auto cursor = RecordCursor::Open(WriteNumbered(5, "T0000\n"), 26);
  ASSERT_TRUE(cursor.has_value());
  EXPECT_EQ(cursor->record_count(), 5);
  EXPECT_TRUE(cursor->has_torn_tail());
  int seen = 0;
  while (auto r = cursor->Next()) {
    EXPECT_EQ(Text(*r), NumberedRecord(seen));
    ++seen;
  }
  EXPECT_EQ(seen, 5);
  EXPECT_FALSE(cursor->failed());
}

TEST_F(RecordCursorTest, BothWaysPassOverTheSameDamageAndNameIt) {
  // Three bytes inserted inside record 10 of 20: it alone is lost.
  std::string bytes;
  for (int i = 0; i < 20; ++i) bytes += NumberedRecord(i);
  bytes.insert(10 * 26 + 5, "xyz");
  const auto path = dir.path() / "D.N68";
  WriteFileBytes(path, bytes);
  auto cursor = RecordCursor::Open(path, 26);
  ASSERT_TRUE(cursor.has_value());

  std::vector<std::string> seen;
  std::vector<SkippedRange> skips;
  while (auto r = cursor->Next()) {
    if (cursor->skipped()) skips.push_back(*cursor->skipped());
    seen.push_back(Text(*r));
  }
  EXPECT_FALSE(cursor->has_torn_tail());
  ASSERT_EQ(skips.size(), 1u);
  EXPECT_EQ(skips[0].first, 260);
  EXPECT_EQ(skips[0].end, 289);
  EXPECT_EQ(skips[0].station_openers, 1);  // record 10 began with "T"
  ASSERT_EQ(seen.size(), 19u);
  EXPECT_EQ(seen[9], NumberedRecord(9));
  EXPECT_EQ(seen[10], NumberedRecord(11));
  EXPECT_EQ(cursor->record_offset(), 289 + 8 * 26);

  std::vector<std::string> back;
  std::vector<SkippedRange> back_skips;
  while (auto r = cursor->Previous()) {
    if (cursor->skipped()) back_skips.push_back(*cursor->skipped());
    back.push_back(Text(*r));
  }
  ASSERT_EQ(back_skips.size(), 1u);
  EXPECT_EQ(back_skips[0].first, 260);
  EXPECT_EQ(back_skips[0].end, 289);
  EXPECT_EQ(back_skips[0].station_openers, 1);
  EXPECT_EQ(std::vector<std::string>(back.rbegin(), back.rend()), seen);
  EXPECT_FALSE(cursor->failed());
}

TEST_F(RecordCursorTest, BackwardsFromTheEndATornTailIsNoDamage) {
  auto cursor = RecordCursor::Open(WriteNumbered(5, "T0000\n"), 26);
  ASSERT_TRUE(cursor.has_value());
  cursor->Seek(cursor->record_count());
  EXPECT_EQ(cursor->offset(), 5 * 26 + 6);
  EXPECT_EQ(Text(*cursor->Previous()), NumberedRecord(4));
  EXPECT_FALSE(cursor->skipped().has_value());
  EXPECT_TRUE(cursor->has_torn_tail());
}

TEST_F(RecordCursorTest, DamageRunningToTheEndIsPassedOverToTheEnd) {
  // The last two records overwritten: nothing after them to resynchronise on.
  std::string bytes;
  for (int i = 0; i < 6; ++i) bytes += NumberedRecord(i);
  bytes.replace(4 * 26 + 20, 32, std::string(32, '~'));
  const auto path = dir.path() / "E.N68";
  WriteFileBytes(path, bytes);
  auto cursor = RecordCursor::Open(path, 26);
  ASSERT_TRUE(cursor.has_value());
  int seen = 0;
  while (cursor->Next()) ++seen;
  EXPECT_EQ(seen, 4);
  ASSERT_TRUE(cursor->skipped().has_value());
  EXPECT_EQ(cursor->skipped()->first, 4 * 26);
  EXPECT_EQ(cursor->skipped()->end, 6 * 26);
  EXPECT_FALSE(cursor->has_torn_tail());
}

TEST_F(RecordCursorTest, RefreshTakesInAppendedRecords) {
  const auto path = WriteNumbered(3);
  auto cursor = RecordCursor::Open(path, 26);
  ASSERT_TRUE(cursor.has_value());
  while (cursor->Next()) {
  }
  std::string bytes;
  for (int i = 0; i < 5; ++i) bytes += NumberedRecord(i);
  WriteFileBytes(path, bytes);
  EXPECT_FALSE(cursor->Next().has_value());
  cursor->Refresh();
  EXPECT_EQ(cursor->record_count(), 5);
  EXPECT_EQ(Text(*cursor->Next()), NumberedRecord(3));
}

TEST_F(RecordCursorTest, MissingFileIsReported) {
  std::string error;
  EXPECT_FALSE(RecordCursor::Open(dir.path() / "none.N68", 26, &error).has_value());
  EXPECT_FALSE(error.empty());
}

}  // namespace
}  // namespace tq
