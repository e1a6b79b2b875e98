// The survey position: station advance per logged reading, the "New Line"
// proposal and acceptance, and "New Station".
#include "survey/survey_position.h"

#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <vector>

#include "platform/files.h"
#include "settings/settings.h"
#include "survey/data_records.h"
#include "tests/support/temp_dir.h"

namespace tq {
namespace {

class SurveyPositionTest : public ::testing::Test {
 protected:
  SurveyPositionTest() {
    s.StartStation = 0.0;
    s.CurrentStation = 0.0;
    s.StationIncrement = 1.0f;
  }

  std::string Digits(int readings, int32_t kind = kKindTq62) {
    std::string digits;
    for (int i = 0; i < readings; ++i) {
      MarkerDigit d = OnReadingLogged(position, kind);
      digits += d == kNoMarkerDigit ? '-' : d;
    }
    return digits;
  }

  NewLineEntry EntryFrom(const NewLineProposal& p) {
    return NewLineEntry{p.new_line, p.line_increment, p.sequence, p.direction, p.start_station,
                        p.station_increment};
  }

  SettingsStore s;
  StationGroup group;
  SurveyPosition position{s, group};
  BuildConfig build{kKindTq68Mk2, 1, 0};
};

TEST_F(SurveyPositionTest, TwoReadingsPerStationAdvanceWhenEachGroupCompletes) {
  s.ReadingsPerStation = 2;
  EXPECT_EQ(OnReadingLogged(position, kKindTq62), kNoMarkerDigit);
  EXPECT_EQ(s.CurrentStation, 0.0);
  EXPECT_EQ(OnReadingLogged(position, kKindTq62), '2');
  EXPECT_EQ(s.CurrentStation, 1.0);
  EXPECT_EQ(OnReadingLogged(position, kKindTq62), kNoMarkerDigit);
  EXPECT_EQ(OnReadingLogged(position, kKindTq62), '2');
  EXPECT_EQ(s.CurrentStation, 2.0);
  EXPECT_EQ(group.StationReadingCount, 0);
}

TEST_F(SurveyPositionTest, OneReadingPerStationShowsEachReadingsOwnStation) {
  s.ReadingsPerStation = 1;
  std::vector<double> stations;
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(OnReadingLogged(position, kKindTq68Mk2), kNoMarkerDigit);
    stations.push_back(s.CurrentStation);
  }
  EXPECT_EQ(stations, (std::vector<double>{0.0, 1.0, 2.0}));
}

TEST_F(SurveyPositionTest, DigitsRunFromTwoToSixAndStayAtSix) {
  s.ReadingsPerStation = 6;
  EXPECT_EQ(Digits(7), "-23456-");
  // A group larger than the digits allow still marks its later readings as
  // belonging to the same station.
  s.ReadingsPerStation = 8;
  group = StationGroup{};
  EXPECT_EQ(Digits(9), "-2345666-");
}

TEST_F(SurveyPositionTest, Frz62HasNoGroupsAndNoDigits) {
  s.ReadingsPerStation = 2;
  EXPECT_EQ(Digits(3, kKindFrz62), "---");
  EXPECT_EQ(s.CurrentStation, 2.0);
  EXPECT_EQ(group.StationReadingCount, 0);
}

TEST_F(SurveyPositionTest, NewStationHoldsForTheNextReading) {
  s.ReadingsPerStation = 1;
  Digits(3);
  AcceptNewStation(position, "50");
  EXPECT_EQ(s.CurrentStation, 50.0);
  EXPECT_EQ(group.AdvanceArmed, 0);
  OnReadingLogged(position, kKindTq62);
  EXPECT_EQ(s.CurrentStation, 50.0);
  OnReadingLogged(position, kKindTq62);
  EXPECT_EQ(s.CurrentStation, 51.0);
  EXPECT_EQ(s.StartStation, 0.0);  // a new station never moves the line's start
}

TEST_F(SurveyPositionTest, NewStationParsesALeadingNumber) {
  AcceptNewStation(position, "12.5m");
  EXPECT_EQ(s.CurrentStation, 12.5);
  AcceptNewStation(position, "north");
  EXPECT_EQ(s.CurrentStation, 0.0);
  AcceptNewStation(position, "  -3");
  EXPECT_EQ(s.CurrentStation, -3.0);
  // Every character counts, so the station stored is the number the dialog's
  // check accepted; a comma is the decimal point.
  AcceptNewStation(position, std::string(30, ' ') + "7" + "9");
  EXPECT_EQ(s.CurrentStation, 79.0);
  AcceptNewStation(position, "12,5");
  EXPECT_EQ(s.CurrentStation, 12.5);
}

TEST_F(SurveyPositionTest, ProposalFromALineNameWithoutLeadingNumber) {
  s.SurveyLine = "A5";
  s.LineIncrement = 1.0f;
  EXPECT_EQ(ProposeNewLine(s).new_line, "1.00");
  s.SurveyLine = "7";
  NewLineProposal p = ProposeNewLine(s);
  EXPECT_EQ(p.new_line, "8.00");
  EXPECT_EQ(p.current_line, "7");
  EXPECT_EQ(p.line_increment, "1.00");
}

TEST_F(SurveyPositionTest, AlternateProposalsWalkBackAndForth) {
  testing::ScopedDataRoot root;
  s.Sequence = 0;
  s.Direction = 1;  // South
  s.StationIncrement = 2.5f;
  s.CurrentStation = 40.0;
  NewLineProposal p = ProposeNewLine(s);
  EXPECT_EQ(p.last_station, "40.000");
  EXPECT_EQ(p.start_station, "40.000");
  EXPECT_EQ(p.station_increment, "-2.500");
  EXPECT_EQ(p.direction, 2);  // North
  EXPECT_EQ(p.sequence, 0);

  ASSERT_TRUE(AcceptNewLine(position, build, EntryFrom(p)));
  EXPECT_EQ(s.StationIncrement, -2.5f);
  EXPECT_EQ(s.Direction, 2);
  // Walk the line: 40, 37.5, 35, 32.5.
  s.ReadingsPerStation = 1;
  Digits(4);
  EXPECT_EQ(s.CurrentStation, 32.5);

  NewLineProposal back = ProposeNewLine(s);
  EXPECT_EQ(back.start_station, "32.500");
  EXPECT_EQ(back.station_increment, "2.500");
  EXPECT_EQ(back.direction, 1);  // South again
}

TEST_F(SurveyPositionTest, OneWayAlwaysProposesTheStoredStart) {
  s.Sequence = 1;
  s.Direction = 3;
  s.StartStation = 10.0;
  s.CurrentStation = 77.0;
  s.StationIncrement = 2.5f;
  NewLineProposal p = ProposeNewLine(s);
  EXPECT_EQ(p.start_station, "10.000");
  EXPECT_EQ(p.station_increment, "2.500");
  EXPECT_EQ(p.direction, 3);
  EXPECT_EQ(p.last_station, "77.000");
}

TEST_F(SurveyPositionTest, AcceptedLineIsParsedCutAndSaved) {
  testing::ScopedDataRoot root;
  NewLineEntry entry{"LINE-0123456789", "2.5 per line", 1, 3, "abc", "-1.25"};
  ASSERT_TRUE(AcceptNewLine(position, build, entry));
  EXPECT_EQ(s.SurveyLine, "LINE-012345");
  EXPECT_EQ(s.LineIncrement, 2.5f);
  EXPECT_EQ(s.Sequence, 1);
  EXPECT_EQ(s.Direction, 3);
  EXPECT_EQ(s.StartStation, 0.0);
  EXPECT_EQ(s.CurrentStation, 0.0);
  EXPECT_EQ(s.StationIncrement, -1.25f);

  SettingsStore reloaded;
  ASSERT_TRUE(LoadSettings(reloaded, build));
  EXPECT_EQ(reloaded.SurveyLine, "LINE-012345");
  EXPECT_EQ(reloaded.LineIncrement, 2.5f);
  EXPECT_EQ(reloaded.Direction, 3);
}

TEST_F(SurveyPositionTest, NewLineInTheMiddleOfAGroupOpensItsFirstStation) {
  testing::ScopedDataRoot root;
  s.ReadingsPerStation = 2;
  EXPECT_EQ(OnReadingLogged(position, kKindTq62), kNoMarkerDigit);
  ASSERT_TRUE(AcceptNewLine(position, build, NewLineEntry{"2", "1", 0, 1, "100", "1"}));
  EXPECT_EQ(s.CurrentStation, 100.0);
  // The new line's first reading opens station 100, where a reader of the
  // file puts it too; a "2" would put it with the reading before, at 99.
  EXPECT_EQ(OnReadingLogged(position, kKindTq62), kNoMarkerDigit);
  EXPECT_EQ(s.CurrentStation, 100.0);
  EXPECT_EQ(OnReadingLogged(position, kKindTq62), '2');
  EXPECT_EQ(s.CurrentStation, 101.0);
  EXPECT_EQ(OnReadingLogged(position, kKindTq62), kNoMarkerDigit);
  AcceptNewStation(position, "50");  // in the middle of the group at 101, too
  EXPECT_EQ(OnReadingLogged(position, kKindTq62), kNoMarkerDigit);
  EXPECT_EQ(s.CurrentStation, 50.0);
}

TEST_F(SurveyPositionTest, AcceptedLineKeepsElevenCharactersNotElevenBytes) {
  testing::ScopedDataRoot root;
  // Eleven two-byte characters fit the line name; a twelfth does not.
  std::string eleven;
  for (int i = 0; i < 11; ++i) eleven += "Ö";
  ASSERT_TRUE(AcceptNewLine(position, build, NewLineEntry{eleven + "Ö", "1", 0, 1, "0", "1"}));
  EXPECT_EQ(s.SurveyLine, eleven);
}

// The number a record holds for `value` in the field of the New Line entry
// (none: "New Station"). A space must follow it: a number too wide for its
// field would have pushed into that place.
double ReadBack(std::optional<NewLineField> field, double value) {
  auto held = [](std::string_view record, RecordField f) {
    EXPECT_EQ(record[f.at + f.width], ' ') << record;
    return ParseSettingsNumber(record.substr(f.at, f.width));
  };
  if (!field) return held(FormatStationRecord(24, value, {}).text(), kNewStationField);
  if (field == NewLineField::kStartStation) return held(FormatStartStation(24, value).text(), kStartStationField);
  return held(FormatDirection(24, 1, static_cast<float>(value)).text(), kStationIncrementField);
}

TEST_F(SurveyPositionTest, NumbersTheirRecordsCannotHoldAreRefusedAndTheRestReadBackWhole) {
  using enum NewLineField;
  // Field (none: "New Station"), text, accepted.
  const std::tuple<std::optional<NewLineField>, std::string, bool> cases[] = {
      {kStartStation, "99999999.99", true},  {kStartStation, "100000000", false},
      {kStartStation, "-9999999.99", true},  {kStartStation, "-10000000", false},
      {std::nullopt, "-9999999.99", true},   {std::nullopt, "123456789012", false},
      {std::nullopt, "1e25", false},         {kStationIncrement, "999999", true},
      {kStationIncrement, "-999999", true},  {kStationIncrement, "-1000000", false},
      {kStationIncrement, "1e400", false},   {kLineIncrement, "-2.5", true},
      {kLineIncrement, "1e39", false},
  };
  for (const auto& [field, text, accepted] : cases) {
    SCOPED_TRACE(text);
    if (!field) {
      EXPECT_EQ(!CheckNewStation(text), accepted);
    } else {
      NewLineEntry entry{"2", "1", 0, 1, "0", "1"};
      (field == kLineIncrement ? entry.line_increment
       : field == kStartStation ? entry.start_station
                                : entry.station_increment) = text;
      std::optional<Refusal<NewLineField>> refused = CheckNewLine(entry);
      EXPECT_EQ(refused ? std::optional(refused->field) : std::nullopt, accepted ? std::nullopt : field);
    }
    const double value = ParseSettingsNumber(text);
    if (accepted && field != kLineIncrement) {
      EXPECT_NEAR(ReadBack(field, value), value, 0.005);
    }
  }
}

}  // namespace
}  // namespace tq
