// Which traces the live plot draws, readings per station and the grid scale,
// for representative rows of the Manual and the other-mode tables.
#include <gtest/gtest.h>

#include <vector>

#include "settings/settings.h"

namespace tq {
namespace {

constexpr int32_t kAuto = 0;
constexpr int32_t kWheel = 1;
constexpr int32_t kManual = 2;

struct Outcome {
  std::vector<int> active;
  int32_t readings_per_station;
  int32_t grid_for;
};

// Every trace visible unless `hidden`; stale values left from an earlier call
// in TraceActive and ReadingsPerStation; GridFor starts at 7 to see it kept.
Outcome Select(int32_t kind, int32_t mode, int32_t component, int32_t dipole,
               std::vector<int> hidden = {}, BuildConfig build = {0, 1, 0}) {
  build.InstrumentKind = kind;
  SettingsStore s;
  s.SurveyMode = mode;
  s.Component = component;
  s.DipoleMode = dipole;
  for (int slot : hidden) s.TraceVisible[static_cast<size_t>(slot)] = 0;
  s.TraceActive.fill(1);
  s.ReadingsPerStation = 9;
  s.GridFor = 7;
  ApplyDisplaySelection(s, build);
  Outcome out{{}, s.ReadingsPerStation, s.GridFor};
  for (int slot = 0; slot < 8; ++slot) {
    if (s.TraceActive[static_cast<size_t>(slot)] == 1) out.active.push_back(slot);
    EXPECT_TRUE(s.TraceActive[static_cast<size_t>(slot)] == 0 ||
                s.TraceActive[static_cast<size_t>(slot)] == 1);
  }
  return out;
}

using Slots = std::vector<int>;

TEST(DisplaySelectionMk2Test, ManualShowsEachDipoleAllowedAndCountsBoth) {
  Outcome both = Select(kKindTq68Mk2, kManual, 0, 2);
  EXPECT_EQ(both.active, (Slots{0, 1, 2, 3, 4, 5, 6, 7}));
  EXPECT_EQ(both.readings_per_station, 2);
  EXPECT_EQ(both.grid_for, 7);
  EXPECT_EQ(Select(kKindTq68Mk2, kManual, 0, 0).active, (Slots{0, 2, 4, 6}));
  EXPECT_EQ(Select(kKindTq68Mk2, kManual, 0, 1).active, (Slots{1, 3, 5, 7}));
  EXPECT_EQ(Select(kKindTq68Mk2, kManual, 0, 1).readings_per_station, 1);
  EXPECT_EQ(Select(kKindTq68Mk2, kManual, 0, 2, {3, 4}).active, (Slots{0, 1, 2, 5, 6, 7}));
}

TEST(DisplaySelectionMk2Test, OtherModesShowOnlyTheDipoleInForce) {
  EXPECT_EQ(Select(kKindTq68Mk2, kAuto, 0, 0).active, (Slots{0, 2, 4, 6}));
  Outcome wheel = Select(kKindTq68Mk2, kWheel, 2, 1);
  EXPECT_EQ(wheel.active, (Slots{1, 3, 5, 7}));
  EXPECT_EQ(wheel.readings_per_station, 1);
  EXPECT_EQ(wheel.grid_for, 7);
  EXPECT_TRUE(Select(kKindTq68Mk2, kAuto, 0, 2).active.empty());
}

TEST(DisplaySelectionTq68bTest, UsesOnlyTheFirstFourSlots) {
  Outcome manual = Select(kKindTq68b, kManual, 0, 2);
  EXPECT_EQ(manual.active, (Slots{0, 1, 2, 3}));
  EXPECT_EQ(manual.readings_per_station, 2);
  EXPECT_EQ(Select(kKindTq68b, kAuto, 0, 0).active, (Slots{0, 2}));
}

TEST(DisplaySelectionTq68bTest, OtherModesPutTheGridOnTheComponentRead) {
  EXPECT_EQ(Select(kKindTq68b, kAuto, 2, 0).grid_for, 0);
  EXPECT_EQ(Select(kKindTq68b, kAuto, 1, 0).grid_for, 1);
  EXPECT_EQ(Select(kKindTq68b, kAuto, 0, 0).grid_for, 7);
  EXPECT_EQ(Select(kKindTq68b, kManual, 1, 0).grid_for, 7);
}

TEST(DisplaySelectionTq62Test, ManualConductivityNeedsBothComponents) {
  Outcome all = Select(kKindTq62, kManual, 0, 2);
  EXPECT_EQ(all.active, (Slots{0, 1, 2, 3}));
  EXPECT_EQ(all.readings_per_station, 2);
  EXPECT_EQ(Select(kKindTq62, kManual, 1, 2).active, (Slots{2, 3}));
  EXPECT_EQ(Select(kKindTq62, kManual, 0, 0).active, (Slots{0, 2}));
  EXPECT_EQ(Select(kKindTq62, kManual, 0, 0).readings_per_station, 1);
  EXPECT_EQ(Select(kKindTq62, kManual, 0, 2, {2}).active, (Slots{0, 1, 3}));
}

TEST(DisplaySelectionTq62Test, OtherModesFollowTheDipoleAndGridTheInphase) {
  EXPECT_EQ(Select(kKindTq62, kAuto, 0, 1).active, (Slots{1, 3}));
  Outcome inphase = Select(kKindTq62, kAuto, 1, 0);
  EXPECT_EQ(inphase.active, (Slots{2}));
  EXPECT_EQ(inphase.grid_for, 1);
  EXPECT_EQ(Select(kKindTq62, kAuto, 2, 0).grid_for, 7);
}

SettingsStore IceStore(int32_t mode, int32_t show_profile) {
  SettingsStore s;
  s.SurveyMode = mode;
  s.DipoleMode = 2;
  s.IceOption = 1;
  s.ShowProfile = show_profile;
  return s;
}

TEST(DisplaySelectionTq62Test, IceThicknessProfileShowsOnlyItsSlotAndGrid) {
  for (int32_t mode : {kAuto, kManual}) {
    SettingsStore s = IceStore(mode, 1);
    ApplyDisplaySelection(s, {kKindTq62, 1, 1});
    EXPECT_EQ(s.TraceActive, (std::array<int32_t, 8>{0, 0, 0, 0, 1, 0, 0, 0})) << mode;
    EXPECT_EQ(s.GridFor, 2);
    EXPECT_EQ(s.ReadingsPerStation, 1);
  }
}

TEST(DisplaySelectionTq62Test, IceChoicesCountOnlyWhenTheOptionIsBuiltAndOn) {
  SettingsStore not_built = IceStore(kManual, 1);
  ApplyDisplaySelection(not_built, {kKindTq62, 1, 0});
  EXPECT_EQ(not_built.TraceActive, (std::array<int32_t, 8>{1, 1, 1, 1, 0, 0, 0, 0}));
  EXPECT_EQ(not_built.ReadingsPerStation, 2);

  SettingsStore conductivity_shown = IceStore(kManual, 0);
  ApplyDisplaySelection(conductivity_shown, {kKindTq62, 1, 1});
  EXPECT_EQ(conductivity_shown.TraceActive[4], 0);
  EXPECT_EQ(conductivity_shown.GridFor, 0);
}

TEST(DisplaySelectionTq68ddTest, ComponentPicksTheSlotPairs) {
  Outcome both = Select(kKindTq68dd, kManual, 0, 2);
  EXPECT_EQ(both.active, (Slots{0, 1, 2, 3}));
  EXPECT_EQ(both.readings_per_station, 2);
  Outcome inphase = Select(kKindTq68dd, kManual, 1, 2);
  EXPECT_EQ(inphase.active, (Slots{2, 3}));
  EXPECT_EQ(inphase.readings_per_station, 1);
  Outcome conductivity = Select(kKindTq68dd, kAuto, 2, 2);
  EXPECT_EQ(conductivity.active, (Slots{0, 1}));
  EXPECT_EQ(conductivity.grid_for, 0);
  EXPECT_EQ(Select(kKindTq68dd, kAuto, 1, 2).grid_for, 1);
  EXPECT_TRUE(Select(kKindTq68dd, kAuto, 0, 2).active.empty());
}

TEST(DisplaySelectionTq68Test, ManualReadingsDoubleForEachBoth) {
  struct Row {
    const char* name;
    int32_t component;
    int32_t dipole;
    Slots active;
    int32_t readings_per_station;
  };
  const Row rows[] = {
      {"both components, both dipoles", 0, 2, {0, 1, 2, 3}, 4},
      {"both components, vertical", 0, 0, {0, 2}, 2},
      {"conductivity, both dipoles", 2, 2, {0, 1}, 2},
      {"conductivity, horizontal", 2, 1, {1}, 1},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    Outcome out = Select(kKindTq68, kManual, row.component, row.dipole);
    EXPECT_EQ(out.active, row.active);
    EXPECT_EQ(out.readings_per_station, row.readings_per_station);
  }
}

TEST(DisplaySelectionTq68Test, OtherModesNeedOneComponentAndOneDipole) {
  Outcome inphase_h = Select(kKindTq68, kWheel, 1, 1);
  EXPECT_EQ(inphase_h.active, (Slots{3}));
  EXPECT_EQ(inphase_h.grid_for, 1);
  EXPECT_EQ(Select(kKindTq68, kAuto, 2, 0).active, (Slots{0}));
  EXPECT_EQ(Select(kKindTq68, kAuto, 2, 0).grid_for, 0);
  EXPECT_TRUE(Select(kKindTq68, kAuto, 0, 0).active.empty());
}

TEST(DisplaySelectionTq64Test, ManualShowsTheVisibleGeometriesAndTakesOneReadingEach) {
  Outcome manual = Select(kKindTq64, kManual, 2, 3, {2});
  EXPECT_EQ(manual.active, (Slots{0, 1, 3, 4, 5}));
  EXPECT_EQ(manual.readings_per_station, 4);
  EXPECT_EQ(manual.grid_for, 7);
}

TEST(DisplaySelectionTq64Test, OtherModesShowTheChosenGeometry) {
  Outcome auto_mode = Select(kKindTq64, kAuto, 2, 4);
  EXPECT_EQ(auto_mode.active, (Slots{4}));
  EXPECT_EQ(auto_mode.readings_per_station, 1);
  EXPECT_EQ(auto_mode.grid_for, 7);
  EXPECT_TRUE(Select(kKindTq64, kAuto, 2, 4, {4}).active.empty());
}

TEST(DisplaySelectionTq64Test, GeometryOutsideTheListIsHarmless) {
  EXPECT_TRUE(Select(kKindTq64, kAuto, 2, 9).active.empty());
  EXPECT_TRUE(Select(kKindTq64, kAuto, 2, -1).active.empty());
  EXPECT_EQ(Select(kKindTq64, kManual, 2, 1000).readings_per_station, 6);
  EXPECT_EQ(Select(kKindTq64, kManual, 2, -5).readings_per_station, 1);
}

TEST(DisplaySelectionTwoChannelTest, Tq93AndFrz62ShowSlotsZeroAndTwo) {
  for (int32_t kind : {kKindTq93, kKindFrz62}) {
    for (int32_t mode : {kAuto, kManual}) {
      Outcome out = Select(kind, mode, 0, 2);
      EXPECT_EQ(out.active, (Slots{0, 2})) << kind << " " << mode;
      EXPECT_EQ(out.readings_per_station, 1);
      EXPECT_EQ(out.grid_for, 7);
    }
    EXPECT_EQ(Select(kind, kManual, 0, 0, {0}).active, (Slots{2}));
  }
}

}  // namespace
}  // namespace tq
