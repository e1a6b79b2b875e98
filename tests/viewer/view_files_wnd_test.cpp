// The file viewer on the offscreen display: real windows, real data files,
// the open-file dialog and message boxes answered by the modal responder.
#include "viewer/view_files_wnd.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "shell/shell_state.h"
#include "platform/controls.h"
#include "platform/drawing.h"
#include "platform/files.h"
#include "platform/messages.h"
#include "platform/modal_responder.h"
#include "platform/window.h"
#include "settings/build_config.h"
#include "settings/settings.h"
#include "tests/support/temp_dir.h"
#include "tests/survey/record_lines.h"
#include "tests/viewer/viewer_test_parent.h"
#include "viewer/view_readout.h"

namespace tq {
namespace {

using testing::Line;
using testing::WriteFileBytes;

constexpr ColorRef kBar = Rgb(128, 128, 128);
constexpr ColorRef kBlue = Rgb(0, 0, 255);


// A TQ62 line: start 100, increment 10, `stations` readings of 100 mS/m
// (status '&': vertical, range code 6, so -0400 reads 100) in channel 0.
std::string Tq62Line(const std::string& name, int stations) {
  std::string bytes = Line("L" + name, 24) + Line("B     100.00", 24) +
                      Line("AE           10.000", 24) + Line("Z06122009 14:05:09", 24);
  for (int i = 0; i < stations; ++i) bytes += Line("T&-0400-0400", 24);
  return bytes;
}

class ViewerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    saved_settings_ = Settings;
    saved_build_ = Build();
    saved_shell_ = Shell;
    SetDataRoot(dir_.path());
    static const bool registered =
        RegisterClass(WindowClass{"ViewerTestParent", kParentMessages, Rgb(255, 255, 255), true}) &&
        RegisterViewFilesWindowClass();
    ASSERT_TRUE(registered);
    Build() = BuildConfig{kKindTq62, 1, 1};
    // Landscape, where N = 310.
    Shell.Portrait = 0;
    Shell.ScreenWidth = 320;
    Shell.ScreenHeight = 240;
    Shell.PlotLeft = 4;
    Shell.PlotTop = 28;
    Shell.PlotRight = 312;
    Settings.PlotHeight = 162;
    Settings.CondScaleMin = 0;
    Settings.CondScaleMax = 200;
    UpdatePixelFactors(Settings, Build());
    Settings.TraceColor[0] = kBlue;
    Settings.TraceThickness[0] = 1;
    parent_ = CreateWindow("ViewerTestParent", "", WS_VISIBLE, 0, 0, 320, 240, nullptr, 0);
    ASSERT_NE(parent_, nullptr);
    viewer_ = CreateWindow(kViewFilesWindowClass, "View Files", WS_CHILD, 0, 0, 320, 240, parent_, 8);
    ASSERT_NE(viewer_, nullptr);
    ShowWindow(viewer_, SW_SHOW);
    SetFocus(viewer_);
  }

  void TearDown() override {
    DestroyWindow(parent_);
    Settings = saved_settings_;
    Build() = saved_build_;
    Shell = saved_shell_;
  }

  std::filesystem::path WriteFile(const std::string& name, const std::string& body,
                                  const std::string& header = "TQ62MK2 W211GRD0000") {
    const auto path = dir_.path() / name;
    WriteFileBytes(path, Line(header, 24) + Line("H A          0.200", 24) + body);
    return path;
  }

  // Opens `path` through "&File" ('f') and the open-file dialog.
  ModalRequest Open(const std::filesystem::path& path) {
    ScriptedResponder responder;
    responder.OnOpenFile(path.string());
    ScopedModalResponder scoped(&responder);
    Char('f');
    EXPECT_EQ(responder.PendingSteps(), 0u);
    return responder.Requests().empty() ? ModalRequest{} : responder.Requests().front();
  }

  void Key(int key) { SendMessage(viewer_, WM_KEYDOWN, static_cast<uintptr_t>(key)); }
  // A real key press, delivered to whatever holds the focus.
  void Press(int key, bool shift = false) {
    ASSERT_TRUE(PressKey(key, nullptr, shift)) << key;
    Settled = false;
    ASSERT_TRUE(PostMessage(parent_, kSettledMessage));
    ASSERT_TRUE(RunMessagesUntil([] { return Settled; }, 5000));
  }
  void Char(char c) { SendMessage(viewer_, WM_CHAR, static_cast<uint8_t>(c)); }

  ColorRef CurvePixel(int x, int y) {
    WindowHandle curve = GetDlgItem(viewer_, kViewCurveWindowId);
    DcHandle dc = GetDC(curve);
    const ColorRef c = GetPixel(dc, x, y);
    ReleaseDC(curve, dc);
    return c;
  }

  WindowHandle LineBox() { return GetDlgItem(viewer_, kViewLineBoxId); }
  WindowHandle Button(int index) { return GetDlgItem(viewer_, kViewButtonFirstId + index); }

  testing::TempDir dir_;
  WindowHandle parent_ = nullptr;
  WindowHandle viewer_ = nullptr;

 private:
  SettingsStore saved_settings_;
  BuildConfig saved_build_;
  ShellState saved_shell_;
};

TEST_F(ViewerTest, OpensAFileOfTheKindAndPagesAlongItsLongLine) {
  const auto path = WriteFile("120614A.R62", Tq62Line("1 north", 1000) + Tq62Line("2", 100));
  const ModalRequest request = Open(path);
  EXPECT_EQ(request.kind, ModalKind::kOpenFile);
  EXPECT_EQ(request.file.filter_text, "TQ62 Files (*.R62)");
  EXPECT_EQ(request.file.filter_pattern, "*.R62");
  EXPECT_EQ(request.file.default_extension, "R62");
  EXPECT_EQ(std::filesystem::path(request.file.initial_folder),
            MapSystemPath("\\Storage\\DATA62\\"));

  ViewerStatus s = ViewerStatusNow();
  EXPECT_EQ(s.loaded, 1);
  EXPECT_EQ(s.lines, 2);
  EXPECT_EQ(s.record_total, 1000);
  EXPECT_EQ(s.columns, 310);
  EXPECT_EQ(s.cursor, 50);
  ASSERT_EQ(GetComboCount(LineBox()), 2);
  EXPECT_EQ(GetComboString(LineBox(), 0), "1");
  EXPECT_EQ(GetComboSelection(LineBox()), 0);
  EXPECT_EQ(s.readout.station, "590.00     ");  // record 50
  EXPECT_EQ(s.readout.channels[0], "CV:100.00  ");
  EXPECT_EQ(s.readout.channels[1], "CH:");
  // 100 mS/m on a 0..200 scale 162 pixels high lies at y = 81.
  EXPECT_EQ(CurvePixel(10, 81), kBlue);
  EXPECT_EQ(CurvePixel(50, 5), kBar);

  Key(VK_NEXT);
  EXPECT_EQ(ViewerStatusNow().first_record, 81);
  Key(VK_END);
  s = ViewerStatusNow();
  EXPECT_EQ(s.first_record, 691);
  EXPECT_EQ(s.cursor, 50);
  EXPECT_EQ(s.readout.station, "7490.00    ");  // record 740
  ClickButton(Button(1));  // "<--"
  EXPECT_EQ(ViewerStatusNow().first_record, 611);
  Key(VK_HOME);
  EXPECT_EQ(ViewerStatusNow().first_record, 1);

  Key(VK_LEFT);
  EXPECT_EQ(ViewerStatusNow().cursor, 49);
  EXPECT_EQ(CurvePixel(49, 5), kBar);
  EXPECT_NE(CurvePixel(50, 5), kBar);  // the column under the old bar is back
  EXPECT_EQ(CurvePixel(50, 81), kBlue);
  EXPECT_EQ(ViewerStatusNow().readout.station, "580.00     ");
  // Held down, the cursor and paging keys go on moving.
  ASSERT_TRUE(HoldKey(VK_RIGHT, 9, viewer_));
  EXPECT_EQ(ViewerStatusNow().cursor, 59);
  ASSERT_TRUE(HoldKey(VK_NEXT, 2, viewer_));
  EXPECT_EQ(ViewerStatusNow().first_record, 241);
}

TEST_F(ViewerTest, TheLineBoxSwitchesLinesAndAShortLineNeitherPagesNorLetsTheCursorPass) {
  Open(WriteFile("A.R62", Tq62Line("1", 1000) + Tq62Line("2", 100)));
  Key(VK_END);
  ASSERT_TRUE(ChooseComboItem(LineBox(), 1));
  ViewerStatus s = ViewerStatusNow();
  EXPECT_EQ(s.line, 1);
  EXPECT_EQ(s.record_total, 100);
  EXPECT_EQ(s.first_record, 1);
  EXPECT_EQ(s.cursor, 50);
  EXPECT_EQ(GetComboSelection(LineBox()), 1);
  EXPECT_EQ(GetFocus(), viewer_);
  Key(VK_NEXT);
  Key(VK_END);
  EXPECT_EQ(ViewerStatusNow().first_record, 1);
  for (int i = 0; i < 60; ++i) Key(VK_RIGHT);
  EXPECT_EQ(ViewerStatusNow().cursor, 100);
  EXPECT_EQ(ViewerStatusNow().readout.station, "1090.00    ");
}

TEST_F(ViewerTest, ACursorBeyondTheRecordsAfterALineSwitchShowsAnEmptyReadout) {
  Open(WriteFile("A.R62", Tq62Line("1", 1000) + Tq62Line("2", 20)));
  ASSERT_TRUE(ChooseComboItem(LineBox(), 1));
  const ViewerStatus s = ViewerStatusNow();
  EXPECT_EQ(s.cursor, 50);  // a line switch keeps the cursor where it starts
  EXPECT_EQ(s.readout.station, "");
  EXPECT_EQ(s.readout.channels, std::vector<std::string>(4));
}

TEST_F(ViewerTest, IceFileReadsThicknessAndNotAvailableWithoutChannelOne) {
  // 'F': horizontal, range code 6: -2000 gives 500 mS/m in channel 1; '&' is vertical.
  std::string body = Line("L1", 24) + Line("B       0.00", 24) + Line("AE            1.000", 24) +
                     Line("TF-2000+0000", 24) + Line("TF-0400+0000", 24) + Line("T&-0400+0000", 24);
  Open(WriteFile("I.R62", body, "TQ62MK2iW211GRD000010"));
  ViewerStatus s = ViewerStatusNow();
  EXPECT_EQ(s.cursor, 1);  // three records: half of them
  ASSERT_EQ(s.readout.channels.size(), 5u);
  EXPECT_EQ(s.readout.channels[4], "Th:0.93    m");
  Key(VK_RIGHT);
  Key(VK_RIGHT);
  EXPECT_EQ(ViewerStatusNow().readout.channels[4], "Th: N/A");
}

// The scale readout's strip along the top of the viewer, pixel by pixel.
std::vector<ColorRef> TopStrip(WindowHandle viewer) {
  DcHandle dc = GetDC(viewer);
  std::vector<ColorRef> pixels;
  for (int y = 0; y < MeasureFont(Shell.NormalFont).height; ++y) {
    for (int x = 0; x < Shell.ScreenWidth; ++x) pixels.push_back(GetPixel(dc, x, y));
  }
  ReleaseDC(viewer, dc);
  return pixels;
}

TEST_F(ViewerTest, ScaleWithNewValuesRedrawsTheReadoutAndCancelKeepsIt) {
  Settings.InphaseScaleMin = -100;
  Settings.InphaseScaleMax = 100;
  UpdatePixelFactors(Settings, Build());
  Open(WriteFile("S.R62", Tq62Line("1", 20)));
  const std::vector<ColorRef> before = TopStrip(viewer_);
  {
    ScriptedResponder responder;
    responder.OnDialog("GETNEWPROFILESCALE62", [](WindowHandle d) {
      EXPECT_EQ(GetDlgItemText(d, 833), "0");
      ASSERT_TRUE(TypeText(GetDlgItem(d, 833), "50"));
      ASSERT_TRUE(TypeText(GetDlgItem(d, 834), "20"));  // not above the bottom: bottom + 100
    });
    ScopedModalResponder scoped(&responder);
    Char('s');
    EXPECT_EQ(responder.PendingSteps(), 0u);
  }
  EXPECT_FLOAT_EQ(Settings.CondScaleMin, 50.0f);
  EXPECT_FLOAT_EQ(Settings.CondScaleMax, 150.0f);
  EXPECT_EQ(FormatScaleReadout(Settings, kKindTq62), (std::vector<std::string>{"C:50/150  I:-100/100"}));
  const std::vector<ColorRef> after = TopStrip(viewer_);
  EXPECT_NE(after, before);

  {
    ScriptedResponder responder;
    responder.OnDialog(
        "GETNEWPROFILESCALE62", [](WindowHandle d) { ASSERT_TRUE(TypeText(GetDlgItem(d, 833), "70")); },
        IDCANCEL);
    ScopedModalResponder scoped(&responder);
    Char('s');
    EXPECT_EQ(responder.PendingSteps(), 0u);
  }
  EXPECT_FLOAT_EQ(Settings.CondScaleMin, 50.0f);
  EXPECT_EQ(TopStrip(viewer_), after);
}

TEST_F(ViewerTest, ScaleOfATq62WithIceKeepsTheIceScaleTheViewersTemplateHasNoFieldsFor) {
  Settings.IceOption = 1;
  Settings.IceScaleMin = 1;
  Settings.IceScaleMax = 4;
  UpdatePixelFactors(Settings, Build());
  const float ice_pixels = Settings.IcePixelsPerUnit;
  Open(WriteFile("I.R62", Tq62Line("1", 20), "TQ62MK2iW211GRD000010"));
  ScriptedResponder responder;
  responder.OnDialog("GETNEWPROFILESCALE62", [](WindowHandle d) {
    EXPECT_EQ(GetDlgItem(d, 843), nullptr);
    ASSERT_TRUE(TypeText(GetDlgItem(d, 833), "50"));
  });
  ScopedModalResponder scoped(&responder);
  Char('s');
  EXPECT_EQ(responder.PendingSteps(), 0u);
  EXPECT_FLOAT_EQ(Settings.CondScaleMin, 50.0f);
  EXPECT_FLOAT_EQ(Settings.IceScaleMin, 1.0f);
  EXPECT_FLOAT_EQ(Settings.IceScaleMax, 4.0f);
  EXPECT_FLOAT_EQ(Settings.IcePixelsPerUnit, ice_pixels);
}

TEST_F(ViewerTest, AFileWithoutALineShowsAnEmptyBoxAndANotice) {
  Open(WriteFile("E.R62", Line("*14:05:09.007      5000", 24)));
  const ViewerStatus s = ViewerStatusNow();
  EXPECT_EQ(s.loaded, 1);
  EXPECT_EQ(s.lines, 0);
  EXPECT_EQ(GetComboCount(LineBox()), 0);
  EXPECT_FALSE(s.notice.empty());
  Key(VK_END);  // nothing to page
  Key(VK_RIGHT);
  EXPECT_EQ(ViewerStatusNow().first_record, 1);
}

TEST_F(ViewerTest, CancelHidesTheProfileAndExitForgetsTheFileAndHides) {
  Open(WriteFile("A.R62", Tq62Line("1", 300)));
  {
    ScriptedResponder responder;
    responder.OnOpenFile(std::nullopt);
    ScopedModalResponder scoped(&responder);
    ClickButton(Button(6));
  }
  EXPECT_EQ(ViewerStatusNow().loaded, 2);
  EXPECT_NE(CurvePixel(50, 5), kBar);
  Char('x');
  EXPECT_EQ(ViewerStatusNow().loaded, 0);
  EXPECT_FALSE(IsWindowVisible(viewer_));
  EXPECT_EQ(GetComboCount(LineBox()), 0);
}

TEST_F(ViewerTest, ACacheFileGoneAfterTheBuildIsReportedAndShowsNoStation) {
  Open(WriteFile("A.R62", Tq62Line("1", 300)));
  std::filesystem::remove(MapSystemPath("Storage\\FLDINI\\LINE2.R6X"));
  ScriptedResponder responder;
  responder.OnMessageBox("IHV", IDOK);
  ScopedModalResponder scoped(&responder);
  Key(VK_HOME);
  ASSERT_EQ(responder.Requests().size(), 1u);
  EXPECT_EQ(responder.Requests()[0].text, "invalid handle 2");
  EXPECT_EQ(ViewerStatusNow().readout.station, "");
  EXPECT_NE(CurvePixel(10, 81), kBlue);
}

TEST_F(ViewerTest, HelpAndTheFocusRing) {
  Open(WriteFile("A.R62", Tq62Line("1", 20)));  // the ring stops on a box with lines only
  ScriptedResponder responder;
  responder.OnMessageBox(kViewHelpCaption, IDOK);
  ScopedModalResponder scoped(&responder);
  Char('?');
  ASSERT_EQ(responder.Requests().size(), 1u);
  EXPECT_EQ(responder.Requests()[0].text.rfind("Select Line in box (L)ine.\r\n", 0), 0u);

  EXPECT_TRUE(GetButtonState(Button(6)));  // the ring starts at "&File"
  Char('\t');
  EXPECT_FALSE(GetButtonState(Button(6)));
  EXPECT_TRUE(GetButtonState(Button(7)));
  for (int i = 0; i < 3; ++i) Char('\t');
  EXPECT_EQ(ViewerStatusNow().ring, 10);
  EXPECT_FALSE(GetButtonState(Button(9)));
  EXPECT_EQ(GetFocus(), LineBox());
  SetFocus(viewer_);
  Char('\t');
  EXPECT_EQ(ViewerStatusNow().ring, 0);
  EXPECT_TRUE(GetButtonState(Button(0)));
  for (int i = 0; i < 9; ++i) Char('\t');  // around to "?"
  responder.OnMessageBox(kViewHelpCaption, IDOK);
  Char('\r');
  EXPECT_EQ(responder.Requests().size(), 2u);
}

// With no file, and with a file without a line: Tab, 'L', Escape and 'F' as
// real key presses, all of them still the viewer's.
TEST_F(ViewerTest, AnEmptyLineBoxIsPassedOverByTheRingAndNeverTakesTheKeys) {
  const std::optional<std::string> files[] = {std::nullopt, Line("*14:05:09.007      5000", 24)};
  for (const std::optional<std::string>& body : files) {
    SCOPED_TRACE(body ? "a file without a line" : "no file");
    if (body) Open(WriteFile("E.R62", *body));
    ASSERT_EQ(GetComboCount(LineBox()), 0);
    std::vector<int32_t> stops;
    for (int i = 0; i < 10; ++i) {
      Press(VK_TAB);
      stops.push_back(ViewerStatusNow().ring);
      EXPECT_EQ(GetFocus(), viewer_);
    }
    EXPECT_EQ(stops, (std::vector<int32_t>{7, 8, 9, 0, 1, 2, 3, 4, 5, 6}));
    Press('L');
    Press(VK_ESCAPE);
    EXPECT_EQ(GetFocus(), viewer_);
    ScriptedResponder responder;
    responder.OnOpenFile(std::nullopt);
    ScopedModalResponder scoped(&responder);
    Press('F', true);
    EXPECT_EQ(responder.PendingSteps(), 0u);
  }
}

TEST_F(ViewerTest, ALargeFileShowsItsProgressAndStillOpens) {
  Open(WriteFile("B.R62", Tq62Line("1", 100000)));
  const ViewerStatus s = ViewerStatusNow();
  EXPECT_GT(s.progress_reports, 1);
  EXPECT_EQ(s.record_total, 100000);
  EXPECT_EQ(s.readout.station, "590.00     ");
}

}  // namespace
}  // namespace tq
