// The viewer's readouts, help text, traces and cell layout as values.
#include "viewer/view_readout.h"

#include <gtest/gtest.h>

namespace tq {
namespace {

StationEntry Station(float station, std::initializer_list<std::pair<size_t, float>> channels) {
  StationEntry e;
  e.valid = true;
  e.station = station;
  for (auto [k, v] : channels) {
    e.flags[k] = 1;
    e.values[k] = v;
  }
  return e;
}

TEST(ViewReadout, DipoleKindsByOrientationWithAbsentChannelsAsLabels) {
  const StationEntry e = Station(110.0f, {{0, 12.5f}, {2, -1.25f}, {3, 3.3f}});
  const StationReadout portrait = FormatStationReadout(e, kKindTq68, true, false, 0);
  EXPECT_EQ(portrait.station, "110.00     ");
  EXPECT_EQ(portrait.channels,
            (std::vector<std::string>{"C:12.50   ", "c:", "I:-1.25   ", "i:3.3     "}));
  const StationReadout landscape = FormatStationReadout(e, kKindTq68, false, false, 0);
  EXPECT_EQ(landscape.channels,
            (std::vector<std::string>{"CV:12.50   ", "CH:", "IV:-1.25   ", "IH:3.3     "}));
}

TEST(ViewReadout, IceThicknessInMetresFeetOrNotAvailable) {
  StationEntry e = Station(5.0f, {{1, 300.0f}});
  e.ice_thickness = 1.5f;
  EXPECT_EQ(FormatStationReadout(e, kKindTq62, true, true, 0).channels[4], "Ice Th:1.50    m");
  EXPECT_EQ(FormatStationReadout(e, kKindTq62, false, true, 1).channels[4], "Th:4.92    ft");
  e.ice_thickness = -1.0f;  // the table cannot place the reading
  EXPECT_EQ(FormatStationReadout(e, kKindTq62, false, true, 0).channels[4], "Th: N/A");
  const StationEntry without_channel_1 = Station(5.0f, {{0, 300.0f}});
  EXPECT_EQ(FormatStationReadout(without_channel_1, kKindTq62, true, true, 0).channels[4],
            "Ice Th: N/A");
  EXPECT_EQ(FormatStationReadout(without_channel_1, kKindTq62, true, false, 0).channels.size(), 4u);
}

TEST(ViewReadout, PlainCellsFrozenLakeAndNone) {
  const StationEntry e = Station(7.0f, {{0, 40.0f}, {2, -2.5f}, {7, 0.3f}});
  EXPECT_EQ(FormatStationReadout(e, kKindTq68Mk2, true, false, 0).channels,
            (std::vector<std::string>{"40.0   ", "xxxxx", "-2.5   ", "xxxxx", "xxxxx", "xxxxx",
                                      "xxxxx", "0.3    "}));
  EXPECT_EQ(FormatStationReadout(e, kKindTq64, true, false, 0).channels.size(), 6u);
  const StationEntry frz = Station(7.0f, {{0, 0.75f}});
  EXPECT_EQ(FormatStationReadout(frz, kKindFrz62, true, false, 0).channels,
            (std::vector<std::string>{"Th:0.75    ", "IP:"}));
  EXPECT_TRUE(FormatStationReadout(e, kKindTq93, true, false, 0).channels.empty());
}

TEST(ViewReadout, InvalidStationLeavesEveryCellEmpty) {
  StationEntry gap = Station(7.0f, {{0, 40.0f}});
  gap.valid = false;
  const StationReadout readout = FormatStationReadout(gap, kKindTq62, true, true, 0);
  EXPECT_EQ(readout.station, "");
  EXPECT_EQ(readout.channels, std::vector<std::string>(5));
}

TEST(ViewReadout, ScaleReadoutPerKindTruncatesTowardsZero) {
  SettingsStore s;
  s.CondScaleMin = -20.0f;
  s.CondScaleMax = 100.7f;
  s.InphaseScaleMin = -25.9f;
  s.InphaseScaleMax = 25.0f;
  EXPECT_EQ(FormatScaleReadout(s, kKindTq62), std::vector<std::string>{"C:-20/100  I:-25/25"});
  EXPECT_EQ(FormatScaleReadout(s, kKindTq64), std::vector<std::string>{"C:-20/100"});
  EXPECT_EQ(FormatScaleReadout(s, kKindTq68Mk2),
            (std::vector<std::string>{"C:-20/100", "I:-25/25"}));
  EXPECT_TRUE(FormatScaleReadout(s, kKindTq93).empty());
  s.CondScaleMin = 0.0f;
  s.CondScaleMax = 2.5f;
  EXPECT_EQ(FormatScaleReadout(s, kKindFrz62), std::vector<std::string>{"T:0.0/2.5  I:-25/25"});
}

TEST(ViewReadout, HelpTextByStorageRootAndFileTitle) {
  const std::string storage = ViewHelpText(1);
  EXPECT_EQ(storage.rfind("Select Line in box (L)ine.\r\n  \r\nTo move along line:\r\n", 0), 0u);
  EXPECT_TRUE(storage.ends_with("\r\n 1 right - tap -->| /Right"));
  const std::string drive = ViewHelpText(0);
  EXPECT_EQ(std::count(drive.begin(), drive.end(), '\n'), 10);
  EXPECT_TRUE(drive.ends_with("\r\n  1 Stn right - tap  -->|  or key Right"));

  EXPECT_EQ(ViewFileTitle("/data/Storage/DATA68MK2/120614A.N68"), "120614A");
  EXPECT_EQ(ViewFileTitle("/data/a.b/SURVEYLINES.N68"), "SURVEYLI");
  EXPECT_EQ(ViewFileTitle("/data/ÄÖÜäöüßéèê.N68"), "ÄÖÜäöüßé");  // characters, not bytes
}

TEST(ViewTraces, RunsBreakAtAbsentChannelsAndInvalidStations) {
  SettingsStore s;
  s.CondScaleMax = 100.0f;
  s.CondPixelsPerUnit = 2.0f;
  s.InphaseScaleMax = 10.0f;
  s.InphasePixelsPerUnit = 5.0f;
  StationWindow window(6);
  window[1] = Station(1, {{0, 40.0f}, {2, 2.0f}});
  window[2] = Station(2, {{0, 50.0f}});
  window[3] = Station(3, {{0, 55.0f}, {2, 3.0f}});
  window[3].valid = false;
  window[4] = Station(4, {{0, 60.0f}, {2, 4.0f}});
  window[5] = Station(5, {{0, 70.0f}, {2, 6.0f}, {4, 1.0f}});  // 4: no trace of this kind

  auto runs = ComputeViewTraceRuns(window, 5, kKindTq62, s);
  ASSERT_EQ(runs.size(), 4u);
  EXPECT_EQ(runs[0].channel, 2u);
  EXPECT_EQ(runs[0].points, (std::vector<Point>{{1, 40}}));
  EXPECT_EQ(runs[1].channel, 0u);
  EXPECT_EQ(runs[1].points, (std::vector<Point>{{1, 120}, {2, 100}}));
  EXPECT_EQ(runs[2].points, (std::vector<Point>{{4, 80}, {5, 60}}));
  EXPECT_EQ(runs[3].channel, 2u);
  EXPECT_EQ(runs[3].points, (std::vector<Point>{{4, 30}, {5, 20}}));

  runs = ComputeViewTraceRuns(window, 4, kKindTq62, s);  // the window ends at N
  ASSERT_EQ(runs.size(), 4u);
  EXPECT_EQ(runs[2].points, (std::vector<Point>{{4, 80}}));
  EXPECT_TRUE(ComputeViewTraceRuns(window, 5, kKindTq93, s).empty());
  runs = ComputeViewTraceRuns(window, 5, kKindFrz62, s);  // channels 0 and 2 only
  EXPECT_EQ(runs.size(), 4u);
}

TEST(ViewReadoutCells, CellsFlowAlongTheRowSpaces) {
  const ReadoutRowSpace spaces[] = {{10, 0, 100}, {30, 0, 50}};
  const int32_t widths[] = {40, 40, 40, 60};
  EXPECT_EQ(LayoutReadoutCells(spaces, widths, 13),
            (std::vector<Rect>{{0, 10, 40, 23}, {40, 10, 80, 23}, {0, 30, 40, 43}, {}}));
}

}  // namespace
}  // namespace tq
