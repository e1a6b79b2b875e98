// The setup dialogs' lists, mode mappings, clamps and what OK stores, and the
// profile scale dialog's clamps, without a display.
#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <vector>

#include "plot/profile_scale.h"
#include "settings/settings.h"
#include "setup/display_options.h"
#include "setup/gps_port_setup.h"
#include "setup/logger_setup.h"
#include "setup/survey_setup.h"
#include "tests/support/comma_locale.h"

namespace tq {
namespace {

using Entries = std::vector<std::string>;

// --- Survey setup ------------------------------------------------------------

TEST(SurveyModeListTest, PositionsMapToModesPerKind) {
  struct Case {
    int32_t kind;
    Entries entries;
    std::vector<int32_t> mode_of_position;
  };
  const Case cases[] = {
      {kKindTq62, {"Auto", "Wheel", "Manual"}, {0, 1, 2}},
      {kKindTq68Mk2, {"Auto", "Manual"}, {0, 2}},
      {kKindFrz62, {"Auto", "Manual"}, {0, 1}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.kind);
    EXPECT_EQ(SurveyModeEntries(c.kind), c.entries);
    for (size_t p = 0; p < c.mode_of_position.size(); ++p) {
      EXPECT_EQ(SurveyModeOfPosition(c.kind, static_cast<int32_t>(p)), c.mode_of_position[p]);
      EXPECT_EQ(PositionOfSurveyMode(c.kind, c.mode_of_position[p]), static_cast<int32_t>(p));
    }
  }
  // A stored Manual (2) on the FRZ62 shows as "Manual" and is mode 1 from then on.
  SettingsStore s;
  s.SurveyMode = 2;
  EXPECT_EQ(PositionOfSurveyMode(kKindFrz62, 2), 1);
  EXPECT_EQ(TakeSurveySetupCopies(s, kKindFrz62).mode, kSurveyWheel);
}

TEST(SurveyModeChangeTest, Tq68AutoToManualOffersBothAgainInBothLists) {
  SettingsStore s;
  s.Component = 2;  // "Conductivity", position 1 of the short list
  s.DipoleMode = 1;
  SurveySetupCopies c = TakeSurveySetupCopies(s, kKindTq68);
  EXPECT_EQ(ComponentEntries(kKindTq68, c.mode), (Entries{"Inphase", "Conductivity"}));
  EXPECT_EQ(c.component_position, 1);
  EXPECT_EQ(DipoleEntries(kKindTq68, c.mode), (Entries{"Vertical", "Horizontal"}));
  ASSERT_TRUE(ChangeSurveyMode(c, kKindTq68, kSurveyManual));
  EXPECT_EQ(ComponentEntries(kKindTq68, c.mode), (Entries{"Both", "Inphase", "Conductivity"}));
  EXPECT_EQ(c.component_position, 2);  // still "Conductivity"
  EXPECT_EQ(DipoleEntries(kKindTq68, c.mode), (Entries{"Vertical", "Horizontal", "Both"}));
  // Back out of Manual: "Inphase" stays "Inphase", "Both" for the dipole falls back to "Vertical".
  c.component_position = 1;
  c.dipole = 2;
  ASSERT_TRUE(ChangeSurveyMode(c, kKindTq68, kSurveyAuto));
  EXPECT_EQ(c.component_position, 0);
  EXPECT_EQ(c.dipole, 0);
}

TEST(SurveyModeChangeTest, EachModeKeepsItsOwnIncrementCopy) {
  SettingsStore s;  // Auto 1.0, Wheel 0.2, Manual 2.0
  SurveySetupCopies c = TakeSurveySetupCopies(s, kKindTq62);
  EXPECT_FALSE(EditIncrementText(c, "3.5"));
  ASSERT_TRUE(ChangeSurveyMode(c, kKindTq62, kSurveyWheel));
  EXPECT_FLOAT_EQ(c.increment_shown, 0.2f);
  EXPECT_EQ(RateFieldFor(kKindTq62, c, false).text, "Not Available");
  EXPECT_TRUE(RateFieldFor(kKindTq62, c, false).read_only);
  EXPECT_EQ(IncrementLabel(kKindTq62, kSurveyWheel), "Wheel Inc.");
  ASSERT_TRUE(ChangeSurveyMode(c, kKindTq62, kSurveyAuto));
  EXPECT_FLOAT_EQ(c.increment_shown, 3.5f);
  EXPECT_EQ(EditIncrementText(c, "0"), std::optional<std::string>("1.000"));
  EXPECT_FLOAT_EQ(c.increments[0], 1.0f);
}

TEST(SurveySetupEditTest, Frz62RateAboveOneIsShownAsOne) {
  SettingsStore s;
  SurveySetupCopies c = TakeSurveySetupCopies(s, kKindFrz62);
  EXPECT_EQ(EditRateText(c, kKindFrz62, "4"), std::optional<std::string>("1.00"));
  EXPECT_EQ(EditRateText(c, kKindFrz62, "0.5"), std::nullopt);
  EXPECT_FLOAT_EQ(c.readings_per_second, 0.5f);
}

SurveySetupEntry EntryFor(int32_t mode_position, std::string rate) {
  SurveySetupEntry e;
  e.mode_position = mode_position;
  e.rate = std::move(rate);
  e.line = "L1";
  e.line_increment = "1";
  e.start_station = "0";
  e.station_increment = "5";
  return e;
}

TEST(SurveySetupOkTest, RatesAndSamplesAreClamped) {
  const BuildConfig mk2{kKindTq68Mk2, 1, 0};
  SettingsStore s;
  ApplySurveySetup(s, mk2, EntryFor(0, "0"));
  EXPECT_FLOAT_EQ(s.ReadingInterval, 1.0f);
  EXPECT_EQ(s.ReadingsPerSecond, 1);
  ApplySurveySetup(s, mk2, EntryFor(0, "5"));
  EXPECT_FLOAT_EQ(s.ReadingInterval, 0.2f);
  EXPECT_EQ(s.ReadingsPerSecond, 4);  // 1 / 0.2f in double precision is just below 5
  ApplySurveySetup(s, mk2, EntryFor(1, "500"));
  EXPECT_EQ(s.SurveyMode, 2);
  EXPECT_EQ(s.SamplesPerReading, 100);
  ApplySurveySetup(s, mk2, EntryFor(1, "0"));
  EXPECT_EQ(s.SamplesPerReading, 1);
  EXPECT_FLOAT_EQ(s.ReadingInterval, 0.2f);  // Manual leaves the rate alone
}

TEST(SurveySetupOkTest, OnlyTheChosenModesIncrementChangesAndTheLineIsCut) {
  const BuildConfig tq62{kKindTq62, 1, 0};
  SettingsStore s;
  s.CurrentStation = 40.0;
  SurveySetupEntry e = EntryFor(1, "Not Available");
  e.line = "ABCDEFGHIJKLMN";
  e.start_station = "12.345";
  ApplySurveySetup(s, tq62, e);
  EXPECT_EQ(s.SurveyMode, 1);
  EXPECT_EQ(s.SurveyDialogMode, 1);
  EXPECT_FLOAT_EQ(s.WheelStationIncrement, 5.0f);
  EXPECT_FLOAT_EQ(s.AutoStationIncrement, 1.0f);
  EXPECT_FLOAT_EQ(s.ManualStationIncrement, 2.0f);
  EXPECT_FLOAT_EQ(s.StationIncrement, 5.0f);
  EXPECT_EQ(s.SurveyLine, "ABCDEFGHIJK");
  EXPECT_DOUBLE_EQ(s.StartStation, 12.345);
  EXPECT_DOUBLE_EQ(s.CurrentStation, 12.345);
}

TEST(SurveySetupOkTest, ComponentPositionsByKindAndMode) {
  SettingsStore s;
  SurveySetupEntry e = EntryFor(0, "5");
  e.component_position = 0;
  ApplySurveySetup(s, BuildConfig{kKindTq68dd, 1, 0}, e);
  EXPECT_EQ(s.Component, 1);  // "Inphase" heads the short list
  e.mode_position = 2;
  ApplySurveySetup(s, BuildConfig{kKindTq68dd, 1, 0}, e);
  EXPECT_EQ(s.Component, 0);  // "Both"
  s.Component = 2;
  ApplySurveySetup(s, BuildConfig{kKindTq68Mk2, 1, 0}, EntryFor(0, "5"));
  EXPECT_EQ(s.Component, 0);  // no list: always both
}

TEST(SurveySetupOkTest, NumbersTheirFieldsCannotHoldAreRefusedByField) {
  using enum SurveySetupField;
  // Kind, field, text, accepted. The rate: up to the readings a second the
  // kind really logs at one frame a reading (1000 / 47 ms, 1000 / 72 ms for
  // the TQ68's short frames, 1000 / 91 ms), no slower than two decimals
  // show, and 0 (or on the FRZ62 anything) is 1.
  const std::tuple<int32_t, SurveySetupField, std::string, bool> cases[] = {
      {kKindTq68Mk2, kRate, "21.28", true},  {kKindTq68Mk2, kRate, "21.3", false},
      {kKindTq68Mk2, kRate, "0.01", true},   {kKindTq68Mk2, kRate, "0.009", false},
      {kKindTq68, kRate, "13", true},        {kKindTq68, kRate, "13.9", false},
      {kKindTq62, kRate, "10.99", true},     {kKindTq62, kRate, "11", false},
      {kKindTq62, kRate, "0", true},         {kKindFrz62, kRate, "4", true},
      {kKindTq62, kRate, "2,5", true},       {kKindTq62, kRate, "2.5/s", false},
      {kKindTq62, kLine, "\u040a1", false},  {kKindTq62, kLine, "\u00c5s-7", true},
      {kKindTq62, kLineIncrement, "1e39", false}, {kKindTq62, kLineIncrement, "0,25", true},
      {kKindTq62, kStartStation, "100000000", false}, {kKindTq62, kStartStation, "0.125", false},
      {kKindTq62, kStartStation, "\u221212.5", true},
      {kKindTq62, kStationIncrement, "0", true},  {kKindTq62, kStationIncrement, "-1000000", false},
      {kKindTq62, kStationIncrement, "0.0004", false}, {kKindTq62, kStationIncrement, "0.0625", false},
  };
  for (const auto& [kind, field, text, accepted] : cases) {
    SurveySetupEntry e = EntryFor(0, "5");
    (field == kRate ? e.rate : field == kLine ? e.line : field == kLineIncrement ? e.line_increment
                             : field == kStartStation  ? e.start_station
                                                       : e.station_increment) = text;
    std::optional<Refusal<SurveySetupField>> refused = CheckSurveySetup(kind, e);
    EXPECT_EQ(refused ? std::optional(refused->field) : std::nullopt,
              accepted ? std::nullopt : std::optional(field)) << text;
  }
  // Outside Auto the rate field holds samples (clamped, but whole) or nothing.
  EXPECT_FALSE(CheckSurveySetup(kKindTq62, EntryFor(1, "Not Available")));
  EXPECT_FALSE(CheckSurveySetup(kKindTq62, EntryFor(2, "500")));
  EXPECT_EQ(CheckSurveySetup(kKindTq62, EntryFor(2, "2,5")).value_or(Refusal<SurveySetupField>{}).text,
            "Samples/Rdg must be a whole number.");
  EXPECT_EQ(CheckSurveySetup(kKindTq68Mk2, EntryFor(0, "22")).value_or(Refusal<SurveySetupField>{}).text,
            "Readings/s must be from 0.01 to 21.28.");
}

TEST(SurveySetupEditTest, AutoRateIsShownOnLeavingAsTheRateWholeFramesGive) {
  // Kind, frame period in force, typed, shown (empty: left as typed).
  const std::tuple<int32_t, float, std::string, std::string> cases[] = {
      {kKindTq68Mk2, 47.0f, "20", "21.28"},   // one frame of 47 ms a reading
      {kKindTq68Mk2, 47.0f, "5", "5.32"},     // 200 ms is four frames, 188 ms
      {kKindTq68Mk2, 47.0f, "21.28", ""},
      {kKindTq68Mk2, 47.0f, "30", ""},        // left for OK to refuse
      {kKindTq68Mk2, 47.0f, "5 per s", ""},
      {kKindTq68, 72.0f, "11", "13.89"},      // the TQ68's short frames
      {kKindTq62, 91.0f, "2,5", "2.75"},      // 400 ms is four frames, 364 ms
  };
  for (const auto& [kind, period, typed, shown] : cases) {
    SettingsStore s;
    s.FramePeriodMs = period;
    SurveySetupCopies c = TakeSurveySetupCopies(s, kind);
    EXPECT_EQ(EditRateText(c, kind, typed).value_or(""), shown) << typed;
  }
}

TEST(SurveySetupOkTest, ZeroIncrementIsStoredAsOneAsWhenLeavingTheField) {
  SettingsStore s;
  s.StationIncrement = s.AutoStationIncrement = 5.0f;
  SurveySetupEntry e = EntryFor(0, "5");
  e.station_increment = "0";
  ApplySurveySetup(s, BuildConfig{kKindTq62, 1, 0}, e);
  EXPECT_EQ(s.StationIncrement, 1.0f);
  EXPECT_EQ(s.AutoStationIncrement, 1.0f);
}

// --- Logger and GPS port setup -------------------------------------------------

TEST(LoggerSetupListsTest, MarkerPortsSkipCom6AndPauseKeysFollowKindAndScreen) {
  Entries marker = ExtMarkerEntries();
  ASSERT_EQ(marker.size(), 12u);
  EXPECT_EQ(marker[0], "Disabled");
  EXPECT_EQ(marker[5], "COM5:");
  EXPECT_EQ(marker[6], "COM7:");
  EXPECT_EQ(marker[11], "COM12:");
  EXPECT_EQ(PauseKeyEntries(kKindTq62, true), (Entries{"any key"}));
  EXPECT_EQ(PauseKeyEntries(kKindTq62, false), (Entries{"any key", "<Space Bar>", "<Enter>", "<P>"}));
  EXPECT_EQ(PauseKeyEntries(kKindTq68Mk2, true)[0], "any non numeric key");
  EXPECT_EQ(SoftMarkerEntries(true, 1), (Entries{"Disabled", "any arrow key"}));
  EXPECT_EQ(SoftMarkerEntries(true, 0), (Entries{"Disabled", "any numeric key"}));
  EXPECT_EQ(InstrumentPortLabel(kKindTq68Mk2), "TQ68-MK2 Port");
  EXPECT_EQ(InstrumentPortLabel(kKindTq93), "");
  EXPECT_EQ(SeaWaterEntries().back(), "3000 mS/m");
}

TEST(LoggerSetupOkTest, StoresWhatTheKindHasAndPinsTheMk2PortraitPauseKey) {
  LoggerSetupEntry e;
  e.ice_option = 1;
  e.variant = 0;
  e.ext_marker = 6;
  e.pause_key = 3;
  SettingsStore mk2;
  ApplyLoggerSetup(mk2, BuildConfig{kKindTq68Mk2, 1, 0}, true, e);
  EXPECT_EQ(mk2.Mk2Variant, 1);
  EXPECT_EQ(mk2.ExtMarkerPort, 6);
  EXPECT_EQ(mk2.PauseKey, 2);
  EXPECT_EQ(mk2.IceOption, 0);
  SettingsStore tq62;
  ApplyLoggerSetup(tq62, BuildConfig{kKindTq62, 1, 0}, false, e);
  EXPECT_EQ(tq62.IceOption, 0);  // not built with the option
  EXPECT_EQ(tq62.ExtMarkerPort, 0);
  EXPECT_EQ(tq62.PauseKey, 3);
  ApplyLoggerSetup(tq62, BuildConfig{kKindTq62, 1, 1}, false, e);
  EXPECT_EQ(tq62.IceOption, 1);
}

TEST(GpsPortSetupTest, ListsInDialogOrderSelectTheDefaults) {
  SettingsStore s;
  std::array<int32_t, kGpsPortListCount> selected = GpsPortSelections(s);
  const char* shown[] = {"Disabled", "COM2:", "9600", "No", "8", "1"};
  for (size_t i = 0; i < kGpsPortListCount; ++i) {
    EXPECT_EQ(GpsPortListEntries(i).at(static_cast<size_t>(selected[i])), shown[i]) << i;
  }
  ApplyGpsPortSetup(s, {1, 4, 5, 2, 0, 1});
  EXPECT_EQ((std::array<int32_t, 6>{s.GpsInput, s.GpsPort, s.GpsBaud, s.GpsParity, s.GpsDataBits, s.GpsStopBits}),
            (std::array<int32_t, 6>{1, 4, 5, 2, 0, 1}));
}

// --- Display options -----------------------------------------------------------

TEST(DisplayOptionsTest, BoxesTheTemplateLacksCountAsUnchecked) {
  const BuildConfig tq68b{kKindTq68b, 1, 0};
  SettingsStore s;
  DisplayOptionsEntry e;
  e.visible = {true, false, true, true, false, false, false, false};
  e.grid_position = 1;
  ApplyDisplayOptions(s, tq68b, e);
  EXPECT_EQ(s.TraceVisible, (std::array<int32_t, 8>{1, 0, 1, 1, 0, 0, 0, 0}));
  EXPECT_EQ(s.GridFor, 1);
}

TEST(DisplayOptionsTest, Mk2OfOneCoilPairNeverShowsItsHalfMetreTraces) {
  const BuildConfig mk2{kKindTq68Mk2, 1, 0};
  SettingsStore s;
  s.Mk2Variant = 1;
  ActivateDisplaySelection(s, mk2);
  EXPECT_EQ(s.TraceActive, (std::array<int32_t, 8>{1, 0, 1, 0, 0, 0, 0, 0}));
  s.Mk2Variant = 2;
  ActivateDisplaySelection(s, mk2);
  EXPECT_EQ(s.TraceActive, (std::array<int32_t, 8>{1, 0, 1, 0, 1, 0, 1, 0}));
}

TEST(DisplayOptionsTest, IceProfileChoiceDrivesTheGridAndCancelRestoresLooks) {
  EXPECT_EQ(GridForShowProfile(1, 1), 2);
  EXPECT_EQ(GridForShowProfile(2, 0), 0);
  EXPECT_EQ(GridForShowProfile(1, 0), 1);
  const BuildConfig ice{kKindTq62, 1, 1};
  EXPECT_EQ(DisplaySlotCount(ice), 5);
  EXPECT_EQ(DisplayOptionsTemplate(ice), "GetOptionsIceNew");
  SettingsStore s;
  TraceLooks looks = TakeTraceLooks(s);
  s.TraceThickness[4] = 4;
  s.TraceColor[0] = 0x123456;
  s.TraceThickness[7] = 3;  // beyond the five slots this dialog manages
  RestoreTraceLooks(s, ice, looks);
  EXPECT_EQ(s.TraceThickness[4], 1);
  EXPECT_EQ(s.TraceColor[0], 0xFF0000u);
  EXPECT_EQ(s.TraceThickness[7], 3);
}

// --- Profile scale ---------------------------------------------------------------

TEST(ProfileScaleTest, ClampsFromTheDocumentedCases) {
  struct Case {
    int32_t kind;
    const char *bottom, *top;
    float stored_bottom, stored_top;
  };
  const Case cases[] = {
      {kKindTq68Mk2, "50", "20", 50.0f, 150.0f},
      {kKindTq68Mk2, "-12000", "12000", -9000.0f, 9000.0f},
      {kKindTq68Mk2, "abc", "", 0.0f, 100.0f},
      {kKindFrz62, "12", "15", 9.0f, 10.0f},
      {kKindFrz62, "3", "3", 3.0f, 4.0f},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.bottom) + " / " + c.top);
    SettingsStore s;
    s.PlotHeight = 200;
    ApplyProfileScale(s, c.kind, ScaleTexts{c.bottom, c.top, "-10", "10", {}, {}});
    EXPECT_FLOAT_EQ(s.CondScaleMin, c.stored_bottom);
    EXPECT_FLOAT_EQ(s.CondScaleMax, c.stored_top);
    EXPECT_FLOAT_EQ(s.CondPixelsPerUnit, 200.0f / (c.stored_top - c.stored_bottom));
    EXPECT_FLOAT_EQ(s.InphasePixelsPerUnit, 10.0f);
  }
}

TEST(ProfileScaleTest, OkRefusesAFieldThatHoldsMoreThanANumberAndReadsACommaAsThePoint) {
  struct Case {
    int32_t kind;
    ScaleTexts texts;
    std::optional<ScaleField> refused;
    const char* says;
  };
  const Case cases[] = {
      {kKindTq68Mk2, {"0,5", " 12.5 ", "\u221220", "10", {}, {}}, std::nullopt, ""},
      {kKindTq68Mk2, {"0", "12,5 mS", "-10", "10", {}, {}}, ScaleField::kCondTop,
       "Conductivity Maximum must be a number."},
      {kKindTq62, {"0", "50", "x", "10", "1", "5"}, ScaleField::kInphaseBottom, "Inphase Minimum must be a number."},
      {kKindTq62, {"0", "50", "-10", "10", "1", "5 m"}, ScaleField::kIceTop, "Ice Thickness Max must be a number."},
      {kKindFrz62, {"1..2", "3", {}, {}, {}, {}}, ScaleField::kCondBottom, "Thickness Minimum must be a number."},
  };
  for (const Case& c : cases) {
    const auto refusal = CheckProfileScale(c.texts, c.kind);
    ASSERT_EQ(refusal.has_value(), c.refused.has_value()) << c.says;
    if (!refusal) continue;
    EXPECT_EQ(refusal->field, *c.refused);
    EXPECT_EQ(refusal->text, c.says);
  }
  SettingsStore s;
  ApplyProfileScale(s, kKindTq68Mk2, cases[0].texts);
  EXPECT_FLOAT_EQ(s.CondScaleMin, 0.5f);
  EXPECT_FLOAT_EQ(s.CondScaleMax, 12.5f);
  EXPECT_FLOAT_EQ(s.InphaseScaleMin, -20.0f);
}

TEST(ProfileScaleTest, IceScaleFollowsItsFieldsAndStaysWithoutThem) {
  SettingsStore s;
  s.IceOption = 1;
  ScaleTexts texts = ProfileScaleTexts(s, kKindTq62);
  EXPECT_EQ(texts.cond_top, "500");
  ASSERT_TRUE(texts.ice_top.has_value());
  EXPECT_EQ(*texts.ice_top, "5");
  texts.ice_bottom = "12";
  texts.ice_top = "15";
  ApplyProfileScale(s, kKindTq62, texts);
  EXPECT_FLOAT_EQ(s.IceScaleMin, 9.0f);
  EXPECT_FLOAT_EQ(s.IceScaleMax, 10.0f);
  // The viewer's template has no ice fields: the ice scale stays.
  texts.ice_bottom.reset();
  texts.ice_top.reset();
  texts.cond_top = "600";
  ApplyProfileScale(s, kKindTq62, texts);
  EXPECT_FLOAT_EQ(s.CondScaleMax, 600.0f);
  EXPECT_FLOAT_EQ(s.IceScaleMin, 9.0f);
  EXPECT_FLOAT_EQ(s.IceScaleMax, 10.0f);
  EXPECT_EQ(ProfileScaleTemplate(BuildConfig{kKindTq62, 1, 1}, 1, true), "GETNEWPROFILESCALEICE");
  EXPECT_EQ(ProfileScaleTemplate(BuildConfig{kKindTq62, 1, 1}, 1, true, true), "GETNEWPROFILESCALE62");
  EXPECT_EQ(ProfileScaleTemplate(BuildConfig{kKindTq68Mk2, 1, 0}, 0, false), "GETNEWPROFILESCALE62H");
  EXPECT_EQ(ProfileScaleTemplate(BuildConfig{kKindTq64, 1, 0}, 0, false), "GETNEWPROFILESCALE64");
}

// Qt leaves a German environment's comma as the decimal point. The texts the
// dialogs show keep their point, or OK would read "2,5" back as 2.
TEST(DialogTextsTest, KeepTheirPointUnderAGermanLocale) {
  testing::CommaDecimalLocale comma;
  if (!comma.active()) GTEST_SKIP() << "no comma-decimal locale: " << comma.why_not();
  SettingsStore s;
  s.CondScaleMin = 2.5f;
  s.CondScaleMax = 7.5f;
  const ScaleTexts texts = ProfileScaleTexts(s, kKindFrz62);
  EXPECT_EQ(texts.cond_bottom, "2.5");
  EXPECT_EQ(texts.cond_top, "7.5");
  ApplyProfileScale(s, kKindFrz62, texts);
  EXPECT_FLOAT_EQ(s.CondScaleMin, 2.5f);
  EXPECT_FLOAT_EQ(s.CondScaleMax, 7.5f);

  SurveySetupCopies c = TakeSurveySetupCopies(s, kKindTq62);
  c.mode = kSurveyAuto;
  c.readings_per_second = 2.5f;
  EXPECT_EQ(RateFieldFor(kKindTq62, c, false).text, "2.50");
  EXPECT_EQ(EditIncrementText(c, "0"), std::optional<std::string>("1.000"));
}

}  // namespace
}  // namespace tq
