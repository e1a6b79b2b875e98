// The reading steps while logging: manual trigger, averaging, record texts,
// station advance, beeps and the live profile step.
#include "acquisition/reading_steps.h"

#include <gtest/gtest.h>

#include <string>
#include <string_view>
#include <vector>

#include "tests/instrument/decoding_frames.h"

namespace tq {
namespace {

using testing::FrameBytes;
using testing::Mk2Frame;

std::string RecordText(const ReadingStep& step) {
  auto bytes = step.record.view();
  return std::string(bytes.begin(), bytes.end());
}

// Unmarked and marked TQ62 frames: status 0x36 ('6') and 0x36 + 64 ('v').
constexpr std::string_view kUnmarked = "T6-0400+0200";
constexpr std::string_view kMarked = "Tv-0400+0200";

class ReadingStepsTest : public ::testing::Test {
 protected:
  void StartRun(int32_t kind, int32_t survey_mode, LoggingState logging = LoggingState::Logging) {
    s.SurveyMode = survey_mode;
    run.InstrumentKind = kind;
    run.logging = logging;
    run.began_manual = survey_mode == kSurveyModeManual;
    run.FrameLength = kind == kKindFrz62 ? 8 : (kind == kKindTq68Mk2 ? 14 : 12);
    state = BeginReadingRun(s, kind, 0);
    StartLogging(state);
  }

  ReadingStep Instrument(std::string_view frame) {
    auto bytes = FrameBytes(frame);
    return DecideInstrumentReading(bytes, run, state, position);
  }
  ReadingStep Ice(std::string_view frame) {
    auto bytes = FrameBytes(frame);
    return DecideIceReading(bytes, run, state, position);
  }
  ReadingStep Binary(const std::vector<uint8_t>& frame) {
    return DecideBinaryReading(frame, run, state, position);
  }

  SettingsStore s;
  StationGroup group;
  SurveyPosition position{s, group};
  ReadingHandlerState state;
  ReadingRun run;
};

TEST_F(ReadingStepsTest, ManualModeRecordsOnlyTheFirstMarkedFrame) {
  s.SamplesPerReading = 1;
  StartRun(kKindTq62, kSurveyModeManual);
  ASSERT_EQ(state.AveragingActive, 0);
  const std::string_view frames[] = {kMarked, kMarked, kMarked, kUnmarked, kMarked, kUnmarked};
  const bool recorded[] = {true, false, false, false, true, false};
  const int32_t trigger[] = {1, -1, -1, 0, 1, 0};
  for (size_t i = 0; i < std::size(frames); ++i) {
    ReadingStep step = Instrument(frames[i]);
    EXPECT_EQ(step.write_record, recorded[i]) << "frame " << i;
    EXPECT_EQ(state.TriggerState, trigger[i]) << "frame " << i;
    // Logging in Manual mode never shows the marker.
    EXPECT_EQ(step.panel.marker.view(), " ") << "frame " << i;
  }
}

TEST_F(ReadingStepsTest, ManualTriggerRecordsTheFrameAsItCame) {
  s.SamplesPerReading = 1;
  StartRun(kKindTq62, kSurveyModeManual);
  ReadingStep step = Instrument(kMarked);
  ASSERT_TRUE(step.write_record);
  EXPECT_EQ(RecordText(step), "Tv-0400+0200 ");
}

TEST_F(ReadingStepsTest, AutoModeRecordsEveryFrameMarkedOrNot) {
  StartRun(kKindTq62, kSurveyModeAuto);
  EXPECT_TRUE(Instrument(kMarked).write_record);
  EXPECT_TRUE(Instrument(kMarked).write_record);
  EXPECT_TRUE(Instrument(kUnmarked).write_record);
}

TEST_F(ReadingStepsTest, NothingIsRecordedOutsideLogging) {
  StartRun(kKindTq62, kSurveyModeAuto, LoggingState::StandBy);
  ReadingStep step = Instrument(kUnmarked);
  EXPECT_FALSE(step.write_record);
  EXPECT_FALSE(step.profile_step);
  EXPECT_FALSE(step.panel.station.drawn());
  EXPECT_EQ(step.panel.conductivity.view(), "C:100.00  mS/m");
  EXPECT_EQ(s.CurrentStation, 0.0);
}

TEST_F(ReadingStepsTest, ThreeSamplesAverageIntoOneRecord) {
  s.SamplesPerReading = 3;
  s.CondPixelsPerUnit = 0.36f;  // 0..500 mS/m over 180 pixels
  StartRun(kKindTq62, kSurveyModeManual);
  ASSERT_EQ(state.AveragingActive, 1);

  ReadingStep first = Instrument("Tv-0400+0200");
  EXPECT_FALSE(first.write_record);
  EXPECT_EQ(first.panel.sample.view(), "Sample 1   of 3  ");
  EXPECT_FALSE(first.panel.conductivity.drawn());
  EXPECT_EQ(EffectiveSurveyMode(s, state), kSurveyModeAuto);
  EXPECT_EQ(s.SurveyMode, kSurveyModeManual);  // the store is never switched

  // Unmarked frames are taken without a new trigger while the average runs.
  ReadingStep second = Instrument("T6-0500+0300");
  EXPECT_FALSE(second.write_record);
  EXPECT_EQ(second.panel.sample.view(), "Sample 2   of 3  ");

  ReadingStep third = Instrument("T6-0700+0101");
  ASSERT_TRUE(third.write_record);
  EXPECT_EQ(third.panel.sample.view(), "Sample 3   of 3  ");
  // Field 1: (-400 - 500 - 700) / 3 = -533.3 -> -533; field 2: 601 / 3 -> 200.
  EXPECT_EQ(RecordText(third), "T6-0533+0200 ");
  // Conductivity (100 + 125 + 175) / 3; inphase (-0.5 - 0.75 - 0.2525) / 3.
  EXPECT_NEAR(third.reading.conductivity, 133.3333f, 1e-3f);
  EXPECT_EQ(third.panel.conductivity.view(), "C:133.33  mS/m");
  EXPECT_EQ(third.panel.inphase.view(), "I:-0.50   ppt");
  // The profile gets the last sample, not the average: (500 - 175) x 0.36.
  EXPECT_TRUE(third.profile_rows[0].present);
  EXPECT_EQ(third.profile_rows[0].y, 117);
  EXPECT_EQ(EffectiveSurveyMode(s, state), kSurveyModeManual);

  // Back in Manual mode, an unmarked frame records nothing.
  EXPECT_FALSE(Instrument(kUnmarked).write_record);
}

TEST_F(ReadingStepsTest, Tq68KeepsItsSecondFieldOutOfTheAverage) {
  s.SamplesPerReading = 2;
  StartRun(kKindTq68, kSurveyModeManual);
  // 'd' = '$' + 64: marked conductivity frame.
  EXPECT_FALSE(Instrument("Td-0500+1111").write_record);
  ReadingStep step = Instrument("T$-0600+2222");
  ASSERT_TRUE(step.write_record);
  EXPECT_EQ(RecordText(step), "T$-0550+2222 ");
}

TEST_F(ReadingStepsTest, SevenCharacterFramesArePaddedToThirteen) {
  s.SamplesPerReading = 2;
  StartRun(kKindTq68, kSurveyModeManual);
  run.FrameLength = 7;
  Instrument("Td-0500");
  ReadingStep step = Instrument("T$-0600");
  ASSERT_TRUE(step.write_record);
  EXPECT_EQ(RecordText(step), "T$-0550      ");
}

TEST_F(ReadingStepsTest, PauseDiscardsAnUnfinishedAverage) {
  s.SamplesPerReading = 3;
  StartRun(kKindTq62, kSurveyModeManual);
  Instrument(kMarked);
  ASSERT_EQ(EffectiveSurveyMode(s, state), kSurveyModeAuto);
  StartLogging(state);
  EXPECT_EQ(EffectiveSurveyMode(s, state), kSurveyModeManual);
  EXPECT_FALSE(Instrument(kUnmarked).write_record);
  EXPECT_EQ(Instrument(kMarked).panel.sample.view(), "Sample 1   of 3  ");
}

TEST_F(ReadingStepsTest, SecondReadingOfAStationCarriesDigitTwo) {
  s.ReadingsPerStation = 2;
  s.StationIncrement = 1.0f;
  StartRun(kKindTq62, kSurveyModeAuto);
  const char first_char[] = {'T', '2', 'T', '2'};
  const char* station[] = {"0.00       ", "1.00       ", "1.00       ", "2.00       "};
  const char* count[] = {"1", "0", "1", "0"};
  const bool completes[] = {false, true, false, true};
  for (size_t i = 0; i < 4; ++i) {
    ReadingStep step = Instrument(kUnmarked);
    ASSERT_TRUE(step.write_record);
    EXPECT_EQ(RecordText(step), std::string(1, first_char[i]) + "6-0400+0200 ") << i;
    EXPECT_EQ(step.panel.station.view(), station[i]) << i;
    EXPECT_EQ(step.panel.station_count.view(), count[i]) << i;
    EXPECT_EQ(step.completes_station, completes[i]) << i;
  }
}

TEST_F(ReadingStepsTest, StationAdvancesOnlyOnceArmed) {
  s.ReadingsPerStation = 1;
  s.StationIncrement = 1.0f;
  StartRun(kKindTq62, kSurveyModeAuto);
  EXPECT_EQ(Instrument(kUnmarked).panel.station.view(), "0.00       ");
  EXPECT_EQ(Instrument(kUnmarked).panel.station.view(), "1.00       ");
  ReadingStep third = Instrument(kUnmarked);
  EXPECT_EQ(third.panel.station.view(), "2.00       ");
  EXPECT_FALSE(third.panel.station_count.drawn());
  EXPECT_TRUE(third.completes_station);

  AcceptNewStation(position, "50");
  EXPECT_EQ(Instrument(kUnmarked).panel.station.view(), "50.00      ");
  EXPECT_EQ(Instrument(kUnmarked).panel.station.view(), "51.00      ");
}

TEST_F(ReadingStepsTest, BeepsEveryReadingsPerSecondRecords) {
  s.ReadingsPerSecond = 4;
  StartRun(kKindTq62, kSurveyModeAuto);
  std::vector<bool> beeps;
  for (int i = 0; i < 8; ++i) beeps.push_back(Instrument(kUnmarked).beep);
  EXPECT_EQ(beeps, (std::vector<bool>{false, false, false, true, false, false, false, true}));
  s.Audio = 0;
  for (int i = 0; i < 8; ++i) EXPECT_FALSE(Instrument(kUnmarked).beep);
}

TEST_F(ReadingStepsTest, BatteryDisplayIsDueEveryThreeMinutes) {
  StartRun(kKindTq62, kSurveyModeAuto, LoggingState::Monitor);
  run.tick = 180000;
  EXPECT_FALSE(Instrument(kUnmarked).panel.battery_due);
  run.tick = 180001;
  EXPECT_TRUE(Instrument(kUnmarked).panel.battery_due);
  run.tick = 180002;
  EXPECT_FALSE(Instrument(kUnmarked).panel.battery_due);
  run.tick = 360002;
  EXPECT_TRUE(Instrument(kUnmarked).panel.battery_due);
  // Across the wrap of the 32-bit tick.
  state.LastBatteryTick = 0xFFFFFF00u;
  run.tick = 100;
  EXPECT_FALSE(Instrument(kUnmarked).panel.battery_due);
}

TEST_F(ReadingStepsTest, Frz62AdvancesEveryReadingWithoutGrouping) {
  s.ReadingsPerStation = 2;  // ignored: the FRZ62 takes one reading per station
  s.StationIncrement = 1.0f;
  s.ReadingsPerSecond = 4;
  StartRun(kKindFrz62, kSurveyModeAuto);
  const char* station[] = {"0.00       ", "1.00       ", "2.00       "};
  for (size_t i = 0; i < 3; ++i) {
    ReadingStep step = Ice("T123I456");
    ASSERT_TRUE(step.write_record);
    EXPECT_EQ(RecordText(step), "T123I456     ");
    EXPECT_TRUE(step.beep) << i;  // every reading, not every ReadingsPerSecond
    EXPECT_EQ(step.panel.station.view(), station[i]);
    EXPECT_FALSE(step.panel.station_count.drawn());
    EXPECT_TRUE(step.completes_station);
    EXPECT_EQ(step.panel.conductivity.view(), "Th:1.23    ");
    EXPECT_EQ(step.panel.inphase.view(), "IP:456.00  ");
  }
  EXPECT_EQ(group.StationReadingCount, 0);
}

TEST_F(ReadingStepsTest, Frz62InMonitorOnlyDraws) {
  StartRun(kKindFrz62, kSurveyModeAuto, LoggingState::Monitor);
  ReadingStep step = Ice("T050I010");
  EXPECT_FALSE(step.write_record);
  EXPECT_EQ(step.panel.conductivity.view(), "Th:0.50    ");
  EXPECT_EQ(step.panel.inphase.view(), "IP:10.00   ");
  EXPECT_FALSE(step.panel.marker.drawn());
}

TEST_F(ReadingStepsTest, Mk2AveragedFrameIsLaidOutLikeTheWire) {
  s.SamplesPerReading = 2;
  StartRun(kKindTq68Mk2, kSurveyModeManual);
  // The trigger frame (external marker on a vertical reading), then one more.
  EXPECT_FALSE(Binary(Mk2Frame('t', 22, 100, 200, 300, 400, 500, 600)).write_record);
  ReadingStep step = Binary(Mk2Frame('T', 6, 201, 300, 401, 500, 601, 65535));
  ASSERT_TRUE(step.write_record);
  // Saved start and status, then C 350, D 450, A 150, B 250, E 550, F 33067
  // (integer parts of 701/2, 900/2, 301/2, 500/2, 1101/2, 66135/2).
  const std::vector<uint8_t> expected = {'t',  22,   0x01, 0x5E, 0x01, 0xC2, 0x00,
                                         0x96, 0x00, 0xFA, 0x02, 0x26, 0x81, 0x2B};
  EXPECT_EQ(std::vector<uint8_t>(step.record.view().begin(), step.record.view().end()), expected);
  // u(100) = -1276.09375 and u(201) = -1272.1484375 average to -1274.12109375.
  EXPECT_NEAR(step.reading.conductivity, -1274.12109f, 1e-3f);
  EXPECT_EQ(step.panel.conductivity.view(), "C:-1274.12mS/m");
}

TEST_F(ReadingStepsTest, Mk2RecordsTheFrameAsItCameWithDigitTwo) {
  s.ReadingsPerStation = 2;
  StartRun(kKindTq68Mk2, kSurveyModeAuto);
  auto frame = Mk2Frame('T', 2, 1, 2, 3, 4, 5, 6);
  ReadingStep first = Binary(frame);
  ASSERT_TRUE(first.write_record);
  EXPECT_EQ(std::vector<uint8_t>(first.record.view().begin(), first.record.view().end()), frame);
  ReadingStep second = Binary(frame);
  auto expected = frame;
  expected[0] = '2';
  EXPECT_EQ(std::vector<uint8_t>(second.record.view().begin(), second.record.view().end()),
            expected);
}

TEST_F(ReadingStepsTest, Mk2ManualTriggerFollowsTheMarker) {
  s.SamplesPerReading = 1;
  StartRun(kKindTq68Mk2, kSurveyModeManual);
  auto marked = Mk2Frame('T', 18, 0, 0, 0, 0, 0, 0);
  auto unmarked = Mk2Frame('T', 2, 0, 0, 0, 0, 0, 0);
  EXPECT_TRUE(Binary(marked).write_record);
  EXPECT_FALSE(Binary(marked).write_record);
  EXPECT_FALSE(Binary(unmarked).write_record);
  EXPECT_TRUE(Binary(marked).write_record);
}

}  // namespace
}  // namespace tq
