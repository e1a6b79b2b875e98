// The parts of tqexport on their own: tick fields and local time, GPS lines
// put back together, the fixes around a tick, and the column names.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <string>

#include "tests/tools/export_test_files.h"
#include "tools/tqexport/export_columns.h"
#include "tools/tqexport/gps_positions.h"
#include "tools/tqexport/survey_clock.h"
#include "tools/tqexport/text_out.h"

namespace tq::exporter {
namespace {

std::span<const uint8_t> Bytes(const std::string& text) {
  return std::span(reinterpret_cast<const uint8_t*>(text.data()), text.size());
}

std::string TimeText(LocalMs time) {
  std::string text;
  AppendLocalTime(time, text);
  return text;
}

// ---------------------------------------------------------------------------
// Ticks and local time

TEST(ExportTicks, ReadTheTenPositionsBeforeTheLineEnd) {
  EXPECT_EQ(ParseTick(Bytes("*12:00:00.000      1234\n")), 1234u);
  EXPECT_EQ(ParseTick(Bytes("X$STARTED    4294967295\n")), 4294967295u);
  // An older logger printed the counter signed once it passed 2^31.
  EXPECT_EQ(ParseTick(Bytes("X$STARTED            -1\n")), 4294967295u);
  EXPECT_EQ(ParseTick(Bytes("X$STARTED        12a4\n")), std::nullopt);
  EXPECT_EQ(ParseTick(Bytes("X$STARTED             \n")), std::nullopt);
  EXPECT_EQ(ParseTick(Bytes("short\n")), std::nullopt);
}

TEST(ExportLocalTime, RefusesDatesThatDoNotExist) {
  EXPECT_TRUE(MakeLocalMs(2024, 2, 29, 0, 0, 0, 0));
  EXPECT_FALSE(MakeLocalMs(2023, 2, 29, 0, 0, 0, 0));
  EXPECT_FALSE(MakeLocalMs(2024, 4, 31, 0, 0, 0, 0));
  EXPECT_FALSE(MakeLocalMs(2024, 13, 1, 0, 0, 0, 0));
  EXPECT_FALSE(MakeLocalMs(2024, 1, 1, 24, 0, 0, 0));
}

TEST(ExportLocalTime, PrintsTheCalendarAcrossMonthsAndYears) {
  EXPECT_EQ(TimeText(*MakeLocalMs(1999, 12, 31, 23, 59, 59, 999) + 1), "2000-01-01T00:00:00.000");
  EXPECT_EQ(TimeText(*MakeLocalMs(2024, 2, 28, 23, 0, 0, 0) + 3600000), "2024-02-29T00:00:00.000");
  EXPECT_EQ(TimeText(*MakeLocalMs(1970, 1, 1, 0, 0, 0, 5) - 10), "1969-12-31T23:59:59.995");
}

std::string DateRecord(const LocalTime& t) { return std::string(FormatDateTime(24, t).text()); }
std::string MarkRecord(uint32_t tick, const LocalTime& t) {
  return std::string(FormatTimeMark(24, tick, t).text());
}

TEST(ExportSurveyClock, CountsTicksAcrossTheCounterWrap) {
  SurveyClock clock;
  clock.TakeDateTime(Bytes(DateRecord(At(2024, 5, 1, 12, 0, 0))));
  EXPECT_EQ(clock.TimeAt(0), std::nullopt);  // no time mark yet
  clock.TakeTimeMark(Bytes(MarkRecord(4294967000u, At(2024, 5, 1, 12, 0, 0))));
  EXPECT_EQ(TimeText(*clock.TimeAt(500)), "2024-05-01T12:00:00.796");
  EXPECT_EQ(TimeText(*clock.TimeAt(4294966000u)), "2024-05-01T11:59:59.000");
}

TEST(ExportSurveyClock, AClockSetBackALittleIsNotANewDay) {
  SurveyClock clock;
  clock.TakeDateTime(Bytes(DateRecord(At(2024, 5, 1, 12, 0, 30))));
  clock.TakeTimeMark(Bytes(MarkRecord(100, At(2024, 5, 1, 12, 0, 0))));
  EXPECT_EQ(TimeText(*clock.TimeAt(100)), "2024-05-01T12:00:00.000");
}

// The time at `tick` of a line started at `start` with a time mark at tick
// 1000, after a second mark at `tick` whose clock reads `clock_reads`.
std::string TimeAtSecondMark(const LocalTime& start, uint32_t tick, const LocalTime& clock_reads) {
  SurveyClock clock;
  clock.TakeDateTime(Bytes(DateRecord(start)));
  clock.TakeTimeMark(Bytes(MarkRecord(1000, start)));
  clock.TakeTimeMark(Bytes(MarkRecord(tick, clock_reads)));
  return TimeText(*clock.TimeAt(tick));
}

TEST(ExportSurveyClock, AMarkIsOnTheDayTheTicksSinceTheLastMarkPointTo) {
  // Half an hour of ticks later the clock, set back an hour, reads 11:30.
  EXPECT_EQ(TimeAtSecondMark(At(2024, 5, 1, 12, 0, 0), 1801000, At(2024, 5, 1, 11, 30, 0)),
            "2024-05-01T11:30:00.000");
  // 39 hours of ticks: 08:00 two days later, not the next morning.
  EXPECT_EQ(TimeAtSecondMark(At(2024, 5, 1, 17, 0, 0), 1000 + 39u * 3600000u,
                             At(2024, 5, 3, 8, 0, 0)),
            "2024-05-03T08:00:00.000");
}

TEST(ExportSurveyClock, AMalformedDateLeavesLaterMarksUndated) {
  SurveyClock clock;
  std::string date = DateRecord(At(2024, 5, 1, 12, 0, 0));
  date[3] = '1';
  date[4] = '3';  // month 13
  clock.TakeDateTime(Bytes(date));
  clock.TakeTimeMark(Bytes(MarkRecord(100, At(2024, 5, 1, 12, 0, 0))));
  EXPECT_EQ(clock.TimeAt(100), std::nullopt);
}

// ---------------------------------------------------------------------------
// GPS lines from their records

TEST(ExportGpsLines, PiecesWithoutTheirFirstRecordAreDropped) {
  GpsSentenceAssembler lines;
  std::vector<DataRecord> records;
  FormatGpsRecords("$GPGGA,1,2,3,4,5,6,7,8,9,10,11,12,13,14*00", 77, '@', '#', 24, records);
  ASSERT_GE(records.size(), 3u);
  EXPECT_FALSE(lines.Feed(records[1].view()));  // a continuation alone
  EXPECT_FALSE(lines.Feed(records.back().view()));  // a tick alone
  for (size_t i = 0; i + 1 < records.size(); ++i) EXPECT_FALSE(lines.Feed(records[i].view()));
  const auto line = lines.Feed(records.back().view());
  ASSERT_TRUE(line);
  EXPECT_EQ(line->text, "$GPGGA,1,2,3,4,5,6,7,8,9,10,11,12,13,14*00");
  EXPECT_EQ(line->tick, 77u);
  EXPECT_TRUE(line->good);
}

TEST(ExportGpsLines, ShortAndBadLinesComeBackMarkedAsStored) {
  GpsSentenceAssembler lines;
  std::vector<DataRecord> records;
  FormatGpsRecords("garbage", 5, '?', '"', 26, records);
  ASSERT_EQ(records.size(), 2u);  // one padded piece, then the tick
  EXPECT_FALSE(lines.Feed(records[0].view()));
  const auto line = lines.Feed(records[1].view());
  ASSERT_TRUE(line);
  EXPECT_EQ(line->text, "garbage");
  EXPECT_FALSE(line->good);
}

// ---------------------------------------------------------------------------
// Fixes around a tick

TimedFix FixAt(uint32_t tick, double latitude, double longitude) {
  TimedFix fix;
  fix.tick = tick;
  fix.at.latitude = latitude;
  fix.at.longitude = longitude;
  fix.at.quality = 1;
  return fix;
}

TEST(ExportPositions, LongitudeIsInterpolatedTheShortWayRound) {
  const TimedFix west = FixAt(0, 10.0, 179.99);
  const TimedFix east = FixAt(1000, 10.0, -179.99);
  EXPECT_NEAR(PositionBetween(&west, &east, 250)->longitude, 179.995, 1e-9);
  EXPECT_NEAR(PositionBetween(&west, &east, 750)->longitude, -179.995, 1e-9);
  EXPECT_EQ(PositionBetween(&west, &east, 750)->altitude, std::nullopt);
  EXPECT_EQ(PositionBetween(nullptr, nullptr, 0), std::nullopt);
}

TEST(ExportPositions, FixesFurtherThanFiveSecondsDoNotPlaceAReading) {
  FixWindow window;
  window.AddFix(FixAt(1000, 1.0, 2.0));
  window.AddFix(FixAt(12000, 3.0, 4.0));
  EXPECT_FALSE(window.PositionAt(6500));  // 5.5 s from both
  EXPECT_EQ(window.PositionAt(6000)->latitude, 1.0);  // exactly 5 s after the first
  EXPECT_EQ(window.PositionAt(7000)->latitude, 3.0);  // exactly 5 s before the second
}

TEST(ExportPositions, AReadingWaitsUntilTheFileHasMovedPastIt) {
  FixWindow window;
  window.AddFix(FixAt(1000, 1.0, 2.0));
  EXPECT_FALSE(window.Settled(1500));
  window.NoteGpsTick(6400);  // a sentence without a fix, 4.9 s later
  EXPECT_FALSE(window.Settled(1500));
  window.NoteGpsTick(6501);
  EXPECT_TRUE(window.Settled(1500));

  FixWindow quiet;  // the receiver stopped: only other records go on
  quiet.AddFix(FixAt(1000, 1.0, 2.0));
  quiet.NoteTick(11500);
  EXPECT_FALSE(quiet.Settled(1500));
  quiet.NoteTick(11501);
  EXPECT_TRUE(quiet.Settled(1500));

  FixWindow later;
  later.AddFix(FixAt(1000, 1.0, 2.0));
  later.AddFix(FixAt(2000, 1.0, 2.0));
  EXPECT_TRUE(later.Settled(1500));
}

TEST(ExportPositions, AFixWithADamagedTickDoesNotHideTheFixesAfterIt) {
  FixWindow window;
  window.AddFix(FixAt(1000, 1.0, 2.0));
  window.AddFix(FixAt(1000000000, 50.0, 60.0));
  window.AddFix(FixAt(2000, 3.0, 4.0));
  EXPECT_DOUBLE_EQ(window.PositionAt(1500)->latitude, 2.0);  // halfway, not fix 1 alone
}

TEST(ExportPositions, AReadingWithADamagedTickHoldsUpNothing) {
  FixWindow window;
  window.AddFix(FixAt(1000, 1.0, 2.0));
  window.AddFix(FixAt(2000, 3.0, 4.0));
  window.NoteTick(1000000000);
  EXPECT_FALSE(window.Settled(1000000000));
  window.ForgetBefore(1000000000);  // the held reading's tick
  window.NoteTick(2100);            // the file goes on as before
  EXPECT_TRUE(window.Settled(1000000000));
  EXPECT_EQ(window.fix_count(), 2u);
  EXPECT_DOUBLE_EQ(window.PositionAt(2100)->latitude, 3.0);
}

TEST(ExportPositions, OldFixesAreForgotten) {
  FixWindow window;
  for (uint32_t tick = 0; tick <= 60000; tick += 1000) window.AddFix(FixAt(tick, 1.0, 2.0));
  window.ForgetBefore(60000);
  EXPECT_EQ(window.fix_count(), 11u);  // 50 s .. 60 s
}

// ---------------------------------------------------------------------------
// Column names

StoredHeader HeaderOf(int32_t kind) {
  StoredHeader header;
  header.kind = kind;
  header.record_length = RecordLengthFor(kind);
  return header;
}

std::vector<std::string> NamesOf(const std::vector<CoilColumn>& columns) {
  std::vector<std::string> names;
  for (const CoilColumn& c : columns) names.push_back(c.name);
  return names;
}

TEST(ExportColumns, IceThicknessFilesOfTheTq62AddTheThTrace) {
  StoredHeader header = HeaderOf(kKindTq62);
  EXPECT_EQ(ChannelColumnsFor(header).size(), 4u);
  header.ice_built = true;
  header.IceOption = 1;
  const auto columns = ChannelColumnsFor(header);
  ASSERT_EQ(columns.size(), 5u);
  EXPECT_STREQ(columns[4].label, "Th");
  EXPECT_EQ(columns[4].channel, 4u);
}

TEST(ExportColumns, EmagpyNamesOfTheKindsThatTellTheirSeparations) {
  std::string error;
  EXPECT_EQ(NamesOf(CoilColumnsFor(HeaderOf(kKindTq64), {}, &error)),
            (std::vector<std::string>{"HCP10", "HCP20", "HCP40", "VCP10", "VCP20", "VCP40"}));
  EXPECT_EQ(NamesOf(CoilColumnsFor(HeaderOf(kKindTq68Mk2), {std::nullopt, 9000.0, std::nullopt},
                                   &error)),
            (std::vector<std::string>{"HCP1.0f9000", "VCP1.0f9000", "HCP0.5f9000",
                                      "VCP0.5f9000", "HCP1.0f9000_inph", "VCP1.0f9000_inph",
                                      "HCP0.5f9000_inph", "VCP0.5f9000_inph"}));
}

TEST(ExportColumns, EmagpyNamesNeedTheSeparationWhereTheFileDoesNotTellIt) {
  std::string error;
  EXPECT_TRUE(CoilColumnsFor(HeaderOf(kKindTq93), {}, &error).empty());
  EXPECT_NE(error.find("--coil-separation"), std::string::npos);
  const auto tq93 = CoilColumnsFor(HeaderOf(kKindTq93), {2.0, 14600.0, 0.0}, &error);
  // The TQ93's second value is shown as a length in metres, not an inphase.
  EXPECT_EQ(NamesOf(tq93), (std::vector<std::string>{"HCP2f14600h0", "VCP2f14600h0"}));
  EXPECT_EQ(tq93[1].dipole, 'H');  // TQ93 readings of both dipoles share a channel
}

// ---------------------------------------------------------------------------
// Numbers

TEST(ExportNumbers, FixedDecimalsRoundAsPrintfDoesInTheCLocale) {
  const double values[] = {0.0,     -0.0,    0.0005, 0.0015, 0.0025, 1.0005,  2.5,
                           -2.5,    0.125,   -0.0004, 41.5f,  2.30552f, 0.57638f, 1e15,
                           1e-300,  48.0025, 179.995, -33.1234567, 4503599627370495.5, 1e300};
  for (const double value : values) {
    for (int decimals = 0; decimals <= 9; ++decimals) {
      TextOut out;
      out.PutFixed(value, decimals);
      char expected[400];
      std::snprintf(expected, sizeof expected, "%.*f", decimals, value);
      EXPECT_EQ(out.text(), expected) << value << " with " << decimals;
    }
  }
  TextOut out;
  out.PutFixed(std::nan(""), 3);
  out.PutFixed(HUGE_VAL, 3);
  EXPECT_EQ(out.text(), "");
}

TEST(ExportColumns, PlainNumbersHaveNoExponentAndNoTrailingZeros) {
  EXPECT_EQ(PlainNumber(0.1), "0.1");
  EXPECT_EQ(PlainNumber(9000.0), "9000");
  EXPECT_EQ(PlainNumber(2.25), "2.25");
  EXPECT_EQ(PlainNumber(1e7), "10000000");
  EXPECT_EQ(PlainNumber(0.0), "0");
}

}  // namespace
}  // namespace tq::exporter
