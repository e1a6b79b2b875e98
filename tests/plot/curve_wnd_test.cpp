// The live profile on the offscreen display: real windows, real data files.
#include "plot/curve_wnd.h"

#include <gtest/gtest.h>

#include <array>
#include <filesystem>
#include <fstream>
#include <string>

#include "shell/shell_state.h"
#include "platform/drawing.h"
#include "platform/window.h"
#include "settings/build_config.h"
#include "settings/settings.h"
#include "survey/data_file.h"
#include "survey/data_records.h"
#include "tests/support/temp_dir.h"

namespace tq {
namespace {

constexpr ColorRef kWhite = Rgb(255, 255, 255);
constexpr ColorRef kGrey = Rgb(192, 192, 192);
constexpr ColorRef kBlue = Rgb(0, 0, 255);
constexpr ColorRef kGreen = Rgb(0, 160, 0);
constexpr int32_t kHeight = 200;  // with a 0..200 scale, y = 200 - value
constexpr int32_t kX0 = 200;      // portrait

intptr_t OnParentCreate(WindowHandle, uint32_t, uintptr_t, intptr_t) { return 0; }
constexpr std::array<MessageEntry, 1> kParentMessages = {{{WM_CREATE, OnParentCreate}}};

// TQ68B frames: status ' ' is a vertical-dipole reading, 0x02 a horizontal
// one; field 2 is the conductivity in tenths with the sign reversed.
std::string Frame(char status, int conductivity) {
  char text[16];
  std::snprintf(text, sizeof text, "T%c-0000-%04d", status, conductivity * 10);
  return text;
}
std::string VerticalFrame(int conductivity) { return Frame(' ', conductivity); }
std::string HorizontalFrame(int conductivity) { return Frame('\x02', conductivity); }

class CurveWindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    saved_settings_ = Settings;
    saved_build_ = Build();
    saved_shell_ = Shell;
    static const bool registered = [] {
      RegisterClass(WindowClass{"ProfileTestParent", kParentMessages, kWhite, true});
      return RegisterCurveWindowClass();
    }();
    ASSERT_TRUE(registered);
    Build().InstrumentKind = kKindTq68b;
    Shell.Portrait = 1;
    Shell.PlotLeft = 4;
    Shell.PlotTop = 41;
    Shell.PlotRight = 232;
    Settings.PlotHeight = kHeight;
    Settings.CondScaleMin = 0;
    Settings.CondScaleMax = 200;
    Settings.GridFor = 0;
    UpdatePixelFactors(Settings, Build());
    Settings.TraceActive = {1, 1, 0, 0, 0, 0, 0, 0};
    Settings.TraceThickness = {1, 1, 1, 1, 1, 1, 1, 1};
    Settings.TraceColor[0] = kBlue;
    Settings.TraceColor[1] = kGreen;
    parent_ = CreateWindow("ProfileTestParent", "", WS_VISIBLE, 0, 0, 240, 320, nullptr, 0);
    ASSERT_NE(parent_, nullptr);
    curve_ = CreateCurveWindow(parent_);
    ASSERT_NE(curve_, nullptr);
    ClearProfileScroll();
    ForgetProfileLastPoints();
    Repaint();
  }

  void TearDown() override {
    DestroyWindow(parent_);
    Settings = saved_settings_;
    Build() = saved_build_;
    Shell = saved_shell_;
  }

  void Repaint() {
    InvalidateRect(curve_, nullptr, true);
    UpdateWindow(curve_);
  }

  ColorRef PixelAt(int x, int y) {
    DcHandle dc = GetDC(curve_);
    ColorRef c = GetPixel(dc, x, y);
    ReleaseDC(curve_, dc);
    return c;
  }

  // A reading with trace 0 at row y0.
  void Step(int32_t y0, bool complete = true) {
    ProfileRows rows{};
    rows[0] = {y0, true};
    UpdateLiveProfile(curve_, rows, complete);
  }

  // A data file of the kind with its headers and one line start.
  void CreateFile() {
    path_ = dir_.path() / "LINE.DAT";
    const size_t length = RecordLengthFor(Build().InstrumentKind);
    ASSERT_TRUE(file_.Create(path_, length));
    Add(FormatHeader1(Settings, Build(), true));
    Add(FormatHeader2(Settings, length, "LINE"));
    LineStart();
  }
  void LineStart() {
    for (const DataRecord& r : FormatLineStart(Settings, Build().InstrumentKind, LocalTime{}, Mk2Offsets{})) {
      Add(r);
    }
  }
  void Add(const DataRecord& record) { ASSERT_TRUE(file_.Append(record)); }
  // A reading; `letter` replaces the "T" by a further reading's digit.
  void Reading(const std::string& frame, char letter = 'T') {
    std::string text = frame;
    text[0] = letter;
    Add(FormatReadingRecord(std::span(reinterpret_cast<const uint8_t*>(text.data()), text.size()), 1));
  }
  void Redraw() {
    Repaint();
    RedrawProfileFromFile(curve_, file_);
  }
  // True when no pixel of trace 0's colour lies left of column `x`.
  bool NothingLeftOf(int x) {
    DcHandle dc = GetDC(curve_);
    bool clear = true;
    for (int cx = 0; cx < x && clear; ++cx) {
      for (int y = 0; y < kHeight - 1 && clear; ++y) clear = GetPixel(dc, cx, y) != kBlue;
    }
    ReleaseDC(curve_, dc);
    return clear;
  }

  SettingsStore saved_settings_;
  BuildConfig saved_build_{};
  ShellState saved_shell_;
  WindowHandle parent_ = nullptr;
  WindowHandle curve_ = nullptr;
  testing::TempDir dir_;
  std::filesystem::path path_;
  DataFile file_;
};

TEST_F(CurveWindowTest, SitsOverTheProfileAreaAndPaintsTheGridWithLabels) {
  EXPECT_EQ(GetDlgItem(parent_, kCurveWindowId), curve_);
  Rect r = GetWindowRect(curve_);
  EXPECT_EQ(r, (Rect{3, 40, 3 + 233, 40 + kHeight + 1}));
  // 0..200: the plain grid at H - p (H + 1).
  for (int y : {159, 119, 79, 39}) EXPECT_EQ(PixelAt(100, y), kGrey) << y;
  EXPECT_EQ(PixelAt(100, 158), kWhite);
  // The top label "200" is written in the top right corner, clear of the traces' column.
  bool dark = false;
  for (int x = 202; x < 231; ++x) {
    for (int y = 0; y < 13; ++y) dark = dark || PixelAt(x, y) == Rgb(0, 0, 0);
  }
  EXPECT_TRUE(dark);
}

TEST_F(CurveWindowTest, EachCompletedStationScrollsTheTraceTwoPixels) {
  Step(150);
  EXPECT_EQ(PixelAt(kX0, 150), kBlue);
  Step(140);
  EXPECT_EQ(PixelAt(kX0 - 2, 150), kBlue);  // the first point, moved
  Step(130);
  EXPECT_EQ(PixelAt(kX0 - 4, 150), kBlue);
  EXPECT_EQ(PixelAt(kX0 - 2, 140), kBlue);  // where the second segment now starts
  EXPECT_EQ(PixelAt(kX0 + 1, 150), kWhite);  // erased columns
  EXPECT_EQ(PixelAt(kX0 + 1, 159), kGrey);   // with the grid redrawn across them
  EXPECT_EQ(PixelAt(kX0 - 40, 159), kGrey);  // and the grid elsewhere moved onto itself

  // A reading that does not complete its station, and one after the scroll
  // flag was cleared, leave the chart where it is.
  Step(130, false);
  ClearProfileScroll();
  Step(130, true);
  EXPECT_EQ(PixelAt(kX0 - 4, 150), kBlue);
}

TEST_F(CurveWindowTest, RedrawPutsTheReadingsOfOneStationInOneColumn) {
  CreateFile();
  Reading(VerticalFrame(50));
  Reading(VerticalFrame(60), '2');
  Reading(VerticalFrame(70), '3');
  Reading(VerticalFrame(80));
  Redraw();
  EXPECT_EQ(PixelAt(kX0, 120), kBlue);  // the newest station
  for (int y : {133, 137, 142, 147}) EXPECT_EQ(PixelAt(kX0 - 2, y), kBlue) << y;
  EXPECT_TRUE(NothingLeftOf(kX0 - 2));

  // The redraw read its own way through the file: the writer goes on where it was.
  Reading(VerticalFrame(90));
  std::string bytes = testing::ReadFileBytes(path_);
  ASSERT_EQ(bytes.size() % kShortRecordLength, 0u);
  EXPECT_EQ(bytes.substr(bytes.size() - kShortRecordLength, 12), VerticalFrame(90));
}

TEST_F(CurveWindowTest, RedrawLeavesAGapWhereAReadingLacksTheTrace) {
  CreateFile();
  Reading(VerticalFrame(50));
  Reading(HorizontalFrame(50));
  Reading(VerticalFrame(60));
  Redraw();
  EXPECT_EQ(PixelAt(kX0, 140), kBlue);
  EXPECT_EQ(PixelAt(kX0 - 4, 150), kBlue);
  for (int y = 141; y < 150; ++y) EXPECT_NE(PixelAt(kX0 - 2, y), kBlue) << y;
  EXPECT_EQ(PixelAt(kX0 - 2, 150), kGreen);  // the horizontal reading's own trace
}

TEST_F(CurveWindowTest, RedrawShowsOnlyTheCurrentLineAndSkipsATornLastRecord) {
  CreateFile();
  Reading(VerticalFrame(100));
  LineStart();
  Reading(VerticalFrame(50));
  {
    std::ofstream torn(path_, std::ios::binary | std::ios::app);
    torn << "T -0000-09";  // a record caught half-written
  }
  Redraw();
  EXPECT_EQ(PixelAt(kX0, 150), kBlue);
  EXPECT_EQ(PixelAt(kX0, 110), kWhite);  // the torn 90
  EXPECT_TRUE(NothingLeftOf(kX0 - 1));   // the 100 of the line before
}

TEST_F(CurveWindowTest, RedrawHoldsAStationOfMoreReadingsThanAChartHasColumns) {
  CreateFile();
  Reading(VerticalFrame(20));
  for (int i = 0; i < 399; ++i) Reading(VerticalFrame(20 + (i % 161)), '2');
  Redraw();
  for (int y : {40, 100, 175}) EXPECT_EQ(PixelAt(kX0, y), kBlue) << y;
  EXPECT_TRUE(NothingLeftOf(kX0 - 1));
}

// A vertical TQ68-MK2 reading whose word A converts to 0: its conductivity
// is the offset O1 alone.
std::array<uint8_t, 14> Mk2OffsetOnlyFrame() {
  std::array<uint8_t, 14> frame{};
  frame[0] = 'T';
  frame[1] = 6;
  frame[6] = 0x80;  // A = 32768: (32768 x 5 / 1024 - 160) x 8 = 0
  return frame;
}

TEST_F(CurveWindowTest, RedrawDecodesReadingsBeforeACalibrationWithTheOffsetsItReplaced) {
  Build().InstrumentKind = kKindTq68Mk2;
  Settings.Mk2Calibration[0] = 50;
  CreateFile();
  Add(FormatBinaryReadingRecord(Mk2OffsetOnlyFrame(), 1));
  Add(FormatBinaryReadingRecord(Mk2OffsetOnlyFrame(), 2));
  Settings.Mk2Calibration[0] = 80;
  for (const DataRecord& r : FormatCalibrationRecords(Settings.Mk2Calibration, {50, 0, 0, 0, 0, 0})) Add(r);
  Add(FormatBinaryReadingRecord(Mk2OffsetOnlyFrame(), 3));
  Redraw();
  EXPECT_EQ(PixelAt(kX0, 120), kBlue);      // taken with O1 = 80
  EXPECT_EQ(PixelAt(kX0 - 2, 150), kBlue);  // both taken with O1 = 50
  EXPECT_EQ(PixelAt(kX0 - 3, 150), kBlue);
  EXPECT_EQ(PixelAt(kX0 - 2, 120), kWhite);
}

TEST_F(CurveWindowTest, RedrawWithNoFileOpenDrawsNothing) {
  DataFile closed;
  Repaint();
  RedrawProfileFromFile(curve_, closed);
  EXPECT_TRUE(NothingLeftOf(231));
}

}  // namespace
}  // namespace tq
