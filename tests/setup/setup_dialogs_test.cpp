// The four setup dialogs and the scale dialog on the offscreen display,
// driven through the modal responder as the operator would: after OK the
// settings file is byte for byte the one the store writes for the expected
// values; Cancel leaves settings and file alone.
#include <gtest/gtest.h>

#include <string>
#include <tuple>

#include "acquisition/serial_ports.h"
#include "shell/shell_state.h"
#include "logging/logging_commands.h"
#include "logging/run_state.h"
#include "platform/controls.h"
#include "platform/dialogs.h"
#include "platform/drawing.h"
#include "platform/files.h"
#include "platform/modal_responder.h"
#include "platform/window.h"
#include "settings/settings.h"
#include "tests/app/main_window_fixture.h"
#include "tests/support/temp_dir.h"

namespace tq {
namespace {

class SetupDialogTest : public testing::MainWindowTest {
 protected:
  // Opens the main window and takes what it loaded as the values to expect.
  void Open(int width = 240, int height = 320) {
    ASSERT_NE(OpenMainWindow(width, height), nullptr);
    expected_ = Settings;
    file_before_ = SettingsFile();
  }
  std::string SettingsFile() const {
    return testing::ReadFileBytes(MapSystemPath(SettingsFileSystemPath(Build())));
  }
  void ExpectFileHoldsExpected() const { EXPECT_EQ(SettingsFile(), FormatSettingsFile(expected_, Build())); }
  void ExpectNothingChanged() const {
    EXPECT_EQ(SettingsFile(), file_before_);
    EXPECT_EQ(FormatSettingsFile(Settings, Build()), file_before_);
  }
  static WindowHandle Item(WindowHandle dialog, int id) { return GetDlgItem(dialog, id); }

  SettingsStore expected_;
  std::string file_before_;
};

std::vector<std::string> ComboEntries(WindowHandle combo) {
  std::vector<std::string> entries;
  for (int i = 0; i < GetComboCount(combo); ++i) entries.push_back(GetComboString(combo, i));
  return entries;
}

// --- Survey setup ----------------------------------------------------------------

TEST_F(SetupDialogTest, SurveySetupManualWithTooManySamplesAndANewLine) {
  Open();
  Logging.group.AdvanceArmed = 1;
  responder_.OnDialog("GetSurveySetup68B", [](WindowHandle d) {
    EXPECT_EQ(GetDlgItemText(d, 600), "TQ68/2 Mode");
    EXPECT_EQ(ComboEntries(Item(d, 620)), (std::vector<std::string>{"Auto", "Manual"}));
    EXPECT_EQ(GetDlgItemText(d, 621), "5.00");
    ASSERT_TRUE(ChooseComboItem(Item(d, 620), 1));
    EXPECT_EQ(GetDlgItemText(d, 601), "Samples/Rdg");
    EXPECT_EQ(GetDlgItemText(d, 621), "10");
    EXPECT_EQ(GetDlgItemText(d, 629), "2.000");  // Manual's own increment
    EXPECT_EQ(GetComboCount(Item(d, 623)), 3);
    ASSERT_TRUE(TypeText(Item(d, 621), "500"));
    ASSERT_TRUE(ChooseComboItem(Item(d, 623), 2));
    ASSERT_TRUE(TypeText(Item(d, 624), "NORTH-07"));
  });
  ClickMainButton(1);
  expected_.SurveyMode = 2;
  expected_.SurveyDialogMode = 2;
  expected_.SamplesPerReading = 100;
  expected_.DipoleMode = 2;
  expected_.SurveyLine = "NORTH-07";
  expected_.StationIncrement = 2.0f;
  ExpectFileHoldsExpected();
  EXPECT_EQ(Settings.SurveyMode, 2);
  EXPECT_EQ(Logging.group.AdvanceArmed, 0);
}

TEST_F(SetupDialogTest, SurveySetupAutoRateOfZeroIsOneReadingASecond) {
  Open();
  responder_.OnDialog("GetSurveySetup68B", [](WindowHandle d) { ASSERT_TRUE(TypeText(Item(d, 621), "0")); });
  ClickMainButton(1);
  EXPECT_FLOAT_EQ(Settings.ReadingInterval, 1.0f);
  expected_.ReadingInterval = 1.0f;
  ExpectFileHoldsExpected();
}

TEST_F(SetupDialogTest, SurveySetupCancelOnAManualMk2ChangesNothing) {
  Settings.SurveyMode = 2;
  Open();
  ASSERT_EQ(Settings.SurveyMode, 2);
  Logging.group.AdvanceArmed = 1;
  responder_.OnDialog(
      "GetSurveySetup68B",
      [](WindowHandle d) {
        EXPECT_EQ(GetComboSelection(Item(d, 620)), 1);
        EXPECT_EQ(GetDlgItemText(d, 601), "Sample/Rdg");
        ASSERT_TRUE(ChooseComboItem(Item(d, 620), 0));  // back to Auto, then cancelled
        ASSERT_TRUE(TypeText(Item(d, 629), "7"));
      },
      IDCANCEL);
  ClickMainButton(1);
  EXPECT_EQ(Settings.SurveyMode, 2);
  EXPECT_EQ(Logging.group.AdvanceArmed, 1);
  ExpectNothingChanged();
}

TEST_F(SetupDialogTest, SurveySetupOfATq68InLandscapeRelabelsAndRestoresBoth) {
  Build().InstrumentKind = kKindTq68;
  Build().StorageRoot = 0;
  Settings.Component = 2;
  Open(320, 240);
  responder_.OnDialog("GetSurveySetup62", [](WindowHandle d) {
    EXPECT_EQ(GetDlgItemText(d, 600), "TQ68 Mode");
    EXPECT_EQ(ComboEntries(Item(d, 622)), (std::vector<std::string>{"Inphase", "Conductivity"}));
    ASSERT_TRUE(ChooseComboItem(Item(d, 620), 2));
    EXPECT_EQ(ComboEntries(Item(d, 622)), (std::vector<std::string>{"Both", "Inphase", "Conductivity"}));
    EXPECT_EQ(GetComboString(Item(d, 622), GetComboSelection(Item(d, 622))), "Conductivity");
    EXPECT_EQ(GetComboString(Item(d, 623), 2), "Both");
    ASSERT_TRUE(ChooseComboItem(Item(d, 622), 0));
    ASSERT_TRUE(ChooseComboItem(Item(d, 620), 1));
    EXPECT_EQ(GetDlgItemText(d, 621), "Not Available");
    EXPECT_EQ(GetDlgItemText(d, 609), "Wheel Inc.");
  });
  ClickMainButton(1);
  EXPECT_EQ(Settings.SurveyMode, 1);
  EXPECT_EQ(Settings.Component, 1);  // "Both" has no place outside Manual: its first entry
}

// Types `text` into an emptied field one character at a time, as the keypad
// does: each character is a change of its own.
void TypeKeys(WindowHandle edit, std::string_view text) {
  ASSERT_TRUE(TypeText(edit, ""));
  for (char c : text) ASSERT_TRUE(TypeText(edit, GetWindowText(edit) + c));
}

TEST_F(SetupDialogTest, SurveySetupIncrementIsKeptAsTypedAndZeroBecomesOneOnlyOnLeaving) {
  Open();
  const std::pair<const char*, float> typed[] = {{"0.5", 0.5f}, {".25", 0.25f}, {"-2.5", -2.5f}};
  for (auto [text, value] : typed) {
    responder_.OnDialog("GetSurveySetup68B", [text](WindowHandle d) {
      TypeKeys(Item(d, 629), text);
      EXPECT_EQ(GetDlgItemText(d, 629), text);
    });
    ClickMainButton(1);
    EXPECT_EQ(Settings.StationIncrement, value) << text;
  }
  expected_.StationIncrement = expected_.AutoStationIncrement = -2.5f;
  ExpectFileHoldsExpected();

  responder_.OnDialog("GetSurveySetup68B", [](WindowHandle d) {
    SetFocus(Item(d, 629));
    TypeKeys(Item(d, 629), "0");
    EXPECT_EQ(GetDlgItemText(d, 629), "0");
    SetFocus(Item(d, 628));
    EXPECT_EQ(GetDlgItemText(d, 629), "1.000");
    TypeKeys(Item(d, 629), "0");  // and OK with the 0 still there
  });
  ClickMainButton(1);
  EXPECT_EQ(Settings.StationIncrement, 1.0f);
}

TEST_F(SetupDialogTest, SurveySetupOkRefusesNumbersTheirFieldsCannotHold) {
  Open();
  responder_.OnDialog("GetSurveySetup68B", [this](WindowHandle d) {
    const std::tuple<int, std::string, std::string> cases[] = {
        {621, "1e9", "Readings/s must be from 0.01 to 21.28."},  // one 47 ms frame a reading
        {621, "2.5/s", "Readings/s must be a number."},
        {624, "\u040a1", "Survey Line cannot hold the character \"\u040a\" (U+040A)."},
        {625, "1e39", "Line Increment must be from -999999 to 999999."},
        {628, "123456789012", "Start Station must be from -9999999.99 to 99999999.99."},
        {628, "0.125", "Start Station must have at most 2 decimals."},
        {629, "1e39", "Stn Increment must be from -999999 to 999999."},
        {629, "0.0004", "Stn Increment must have at most 3 decimals."},
    };
    for (const auto& [id, typed, message] : cases) {
      ASSERT_TRUE(TypeText(Item(d, id), typed));
      responder_.OnMessageBox("WARNING", IDOK);
      ASSERT_TRUE(PressTitleButton(d, IDOK));
      ASSERT_TRUE(IsWindowVisible(d)) << typed;
      EXPECT_EQ(responder_.Requests().back().text, message);
      EXPECT_EQ(GetFocus(), Item(d, id));
      EXPECT_EQ(GetEditSelection(Item(d, id)), typed);
      EXPECT_EQ(SettingsFile(), file_before_);
      ASSERT_TRUE(TypeText(Item(d, id), "2"));
    }
  });
  ClickMainButton(1);
  // The "2" left in the rate field shows as the 1.93 readings a second that
  // eleven 47 ms frames give, and that is what OK stores.
  expected_.ReadingInterval = static_cast<float>(1.0 / 1.93);
  expected_.SurveyLine = "2";
  expected_.LineIncrement = 2.0f;
  expected_.StartStation = 2.0;
  expected_.StationIncrement = expected_.AutoStationIncrement = 2.0f;
  ExpectFileHoldsExpected();
}

TEST_F(SetupDialogTest, SurveySetupShowsTheRateReallyLoggedOnLeavingItsField) {
  Open();
  responder_.OnDialog("GetSurveySetup68B", [](WindowHandle d) {
    SetFocus(Item(d, 621));
    TypeKeys(Item(d, 621), "2,5");
    SetFocus(Item(d, 628));
    EXPECT_EQ(GetDlgItemText(d, 621), "2.36");  // 400 ms is nine 47 ms frames, 423 ms
  });
  ClickMainButton(1);
  expected_.ReadingInterval = static_cast<float>(1.0 / 2.36);
  ExpectFileHoldsExpected();
  EXPECT_EQ(Settings.FramesPerInterval, 9);
}

// --- Logger setup --------------------------------------------------------------

TEST_F(SetupDialogTest, LoggerSetupMk2PortsAndThePinnedPauseKey) {
  Open();
  responder_.OnDialog("GetLoggerSetup68MK2", [](WindowHandle d) {
    EXPECT_EQ(GetDlgItemText(d, 803), "TQ68-MK2 Port");
    EXPECT_EQ(GetComboString(Item(d, 813), 6), "COM7:");
    EXPECT_EQ(ComboEntries(Item(d, 814)), (std::vector<std::string>{"Disabled", "any arrow key"}));
    EXPECT_EQ(GetComboSelection(Item(d, 810)), 1);  // Mk2Variant 2
    ASSERT_TRUE(ChooseComboItem(Item(d, 826), 0));
    EXPECT_EQ(GetComboSelection(Item(d, 826)), 2);  // "<Enter>" again
    ASSERT_TRUE(ChooseComboItem(Item(d, 810), 0));
    ASSERT_TRUE(ChooseComboItem(Item(d, 823), 3));
    ASSERT_TRUE(ChooseComboItem(Item(d, 813), 6));
    ASSERT_TRUE(ChooseComboItem(Item(d, 814), 1));
    ASSERT_TRUE(ChooseComboItem(Item(d, 825), 0));
  });
  ClickMainButton(2);
  expected_.Mk2Variant = 1;
  expected_.InstrumentPort = 3;
  expected_.ExtMarkerPort = 6;
  expected_.SoftMarker = 1;
  expected_.Audio = 0;
  expected_.PauseKey = 2;
  ExpectFileHoldsExpected();
}

TEST_F(SetupDialogTest, LoggerSetupIceOptionEnablesItsListsAtOnceAndCancelKeepsItOff) {
  Build() = BuildConfig{kKindTq62, 1, 1};
  Open(320, 240);
  responder_.OnDialog(
      "GetLoggerSetup62Ice",
      [](WindowHandle d) {
        EXPECT_FALSE(IsWindowEnabled(Item(d, 818)));
        EXPECT_FALSE(IsWindowEnabled(Item(d, 820)));
        EXPECT_EQ(GetComboCount(Item(d, 818)), 11);
        ASSERT_TRUE(ChooseComboItem(Item(d, 816), 1));
        EXPECT_TRUE(IsWindowEnabled(Item(d, 818)));
        EXPECT_TRUE(IsWindowEnabled(Item(d, 820)));
        EXPECT_EQ(GetComboCount(Item(d, 826)), 4);  // landscape: all four pause keys
      },
      IDCANCEL);
  ClickMainButton(2);
  EXPECT_EQ(Settings.IceOption, 0);
  ExpectNothingChanged();
}

// --- GPS port setup ---------------------------------------------------------------

TEST_F(SetupDialogTest, GpsPortOkSavesAndMonitorOutputAppliesWithoutSaving) {
  Open();
  responder_.OnDialog("GetGPSPortSetup", [](WindowHandle d) {
    EXPECT_EQ(GetComboString(Item(d, 721), GetComboSelection(Item(d, 721))), "COM2:");
    ASSERT_TRUE(ChooseComboItem(Item(d, 722), 3));
    ASSERT_TRUE(ChooseComboItem(Item(d, 723), 1));
  });
  ClickMainButton(3);
  expected_.GpsBaud = 3;
  expected_.GpsParity = 1;
  ExpectFileHoldsExpected();

  responder_.OnDialog("GetGPSPortSetup", [](WindowHandle d) {
    ASSERT_TRUE(ChooseComboItem(Item(d, 721), 5));
    ASSERT_TRUE(ClickButton(Item(d, 729)));
  });
  ClickMainButton(3);
  EXPECT_EQ(Settings.GpsPort, 5);
  ExpectFileHoldsExpected();  // the old port until the next save
  EXPECT_TRUE(IsWindowVisible(Shell.MonitorGpsWindow));  // GPS off: no port, but the window
  EXPECT_FALSE(Ports.gps.port);
}

// --- Display options ---------------------------------------------------------------

TEST_F(SetupDialogTest, DisplayOptionsSwatchColourPickerAndVisibility) {
  Open();
  Shell.ChooseColorFn = &ChooseColor;
  responder_.OnDialog("GetOptions68mk2", [this](WindowHandle d) {
    WindowHandle swatch = Item(d, 759);
    Rect r = GetClientRect(swatch);
    UpdateWindow(swatch);
    ProcessPendingMessages();
    DcHandle dc = GetDC(swatch);
    EXPECT_EQ(GetPixel(dc, r.Width() / 2, 10), Settings.TraceColor[1]);  // the sample line
    ReleaseDC(swatch, dc);
    EXPECT_EQ(GetComboSelection(Item(d, 770)), 0);  // "1 pixel"
    ASSERT_TRUE(ChooseComboItem(Item(d, 770), 2));
    EXPECT_EQ(Settings.TraceThickness[4], 3);  // at once, for the swatch
    responder_.OnColor(Rgb(10, 20, 30));
    ASSERT_TRUE(ClickButton(swatch));
    UpdateWindow(swatch);
    ProcessPendingMessages();
    dc = GetDC(swatch);
    EXPECT_EQ(GetPixel(dc, r.Width() / 2, 10), Rgb(10, 20, 30));
    ReleaseDC(swatch, dc);
    for (int id : {754, 755, 756, 757}) ASSERT_TRUE(ClickButton(Item(d, id)));
    ASSERT_TRUE(ChooseComboItem(Item(d, 775), 1));
  });
  ClickMainButton(4);
  expected_.TraceThickness[4] = 3;
  expected_.TraceColor[1] = Rgb(10, 20, 30);
  expected_.TraceVisible = {1, 1, 1, 1, 0, 0, 0, 0};
  expected_.GridFor = 1;
  ExpectFileHoldsExpected();
  EXPECT_EQ(Settings.TraceActive, (std::array<int32_t, 8>{1, 0, 1, 0, 0, 0, 0, 0}));
}

// The picker takes the keyboard while it is open and gives it back: Enter
// is the dialog's OK again.
TEST_F(SetupDialogTest, DisplayOptionsTakesEnterAgainAfterTheColourPicker) {
  Open();
  Shell.ChooseColorFn = &ChooseColor;
  responder_.OnDialog(
      "GetOptions68mk2",
      [this](WindowHandle d) {
        responder_.OnColor(Rgb(10, 20, 30));
        ASSERT_TRUE(ClickButton(Item(d, 758)));
        ASSERT_TRUE(PressKey(VK_RETURN));
      },
      0);
  ClickMainButton(4);
  expected_.TraceColor[0] = Rgb(10, 20, 30);
  ExpectFileHoldsExpected();
}

TEST_F(SetupDialogTest, DisplayOptionsCancelRestoresThicknessAndColour) {
  Open();
  Shell.ChooseColorFn = &ChooseColor;
  responder_.OnDialog(
      "GetOptions68mk2",
      [this](WindowHandle d) {
        ASSERT_TRUE(ChooseComboItem(Item(d, 766), 3));
        responder_.OnColor(Rgb(1, 2, 3));
        ASSERT_TRUE(ClickButton(Item(d, 758)));
        ASSERT_TRUE(ClickButton(Item(d, 750)));
      },
      IDCANCEL);
  ClickMainButton(4);
  EXPECT_EQ(Settings.TraceThickness[0], 2);
  EXPECT_EQ(Settings.TraceColor[0], 0xFF0000u);
  ExpectNothingChanged();
}

TEST_F(SetupDialogTest, DisplayOptionsOfATq68bClearsTheSlotsItHasNoBoxesFor) {
  Build().InstrumentKind = kKindTq68b;
  Open();
  responder_.OnDialog("GetOptions", [](WindowHandle d) {
    EXPECT_EQ(ComboEntries(Item(d, 775)), (std::vector<std::string>{"Conductivity", "Inphase"}));
  });
  ClickMainButton(4);
  expected_.TraceVisible = {1, 1, 1, 1, 0, 0, 0, 0};
  ExpectFileHoldsExpected();
}

// --- Profile scale from the logging window ------------------------------------------

TEST_F(SetupDialogTest, ScaleMenuCommandClampsAndSaves) {
  Open();
  responder_.OnDialog("GETNEWPROFILESCALE62", [](WindowHandle d) {
    EXPECT_EQ(GetDlgItemText(d, 830), "Conductivity");
    EXPECT_EQ(GetDlgItemText(d, 833), "0");
    EXPECT_EQ(GetDlgItemText(d, 839), "25");
    ASSERT_TRUE(TypeText(Item(d, 833), "50"));
    ASSERT_TRUE(TypeText(Item(d, 834), "20"));
  });
  SendMessage(Shell.LoggingWindow, WM_COMMAND, MAKEWPARAM(kMenuScale, 0));
  Settle();
  expected_.CondScaleMin = 50.0f;
  expected_.CondScaleMax = 150.0f;
  ExpectFileHoldsExpected();
  EXPECT_FLOAT_EQ(Settings.CondPixelsPerUnit, static_cast<float>(Settings.PlotHeight) / 100.0f);

  responder_.OnDialog(
      "GETNEWPROFILESCALE62", [](WindowHandle d) { ASSERT_TRUE(TypeText(Item(d, 833), "-1")); }, IDCANCEL);
  SendMessage(Shell.LoggingWindow, WM_COMMAND, MAKEWPARAM(kMenuScale, 0));
  Settle();
  EXPECT_FLOAT_EQ(Settings.CondScaleMin, 50.0f);
  ExpectFileHoldsExpected();
}

TEST_F(SetupDialogTest, DisplayOptionsMenuCommandOpensTheKindsTemplate) {
  Open();
  responder_.OnDialog("GetOptions68mk2", nullptr, IDCANCEL);
  SendMessage(Shell.LoggingWindow, WM_COMMAND, MAKEWPARAM(kMenuDisplayOptions, 0));
  Settle();
}

}  // namespace
}  // namespace tq
