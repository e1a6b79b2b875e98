// Orientation, screen and profile layout, the button column and the title
// page's bitmaps and version text.
#include "shell/screen_layout.h"

#include <gtest/gtest.h>

#include <string>

namespace tq {
namespace {

TEST(OrientationTest, TallOrSquareClientAreasArePortrait) {
  EXPECT_EQ(PortraitFor(240, 320), 1);
  EXPECT_EQ(PortraitFor(240, 240), 1);
  EXPECT_EQ(PortraitFor(320, 240), 0);
  EXPECT_EQ(PortraitFor(241, 240), 0);
}

TEST(ScreenLayoutTest, EachOrientationHasItsScreenAndProfileBottom) {
  ScreenLayout portrait = ScreenLayoutFor(1);
  EXPECT_EQ(portrait.ScreenWidth, 240);
  EXPECT_EQ(portrait.ScreenHeight, 320);
  EXPECT_EQ(portrait.PlotBottom, 298);
  ScreenLayout landscape = ScreenLayoutFor(0);
  EXPECT_EQ(landscape.Portrait, 0);
  EXPECT_EQ(landscape.ScreenWidth, 320);
  EXPECT_EQ(landscape.ScreenHeight, 240);
  EXPECT_EQ(landscape.PlotBottom, 218);
}

TEST(PlotLayoutTest, ProfileAreaLeavesThreeTextRowsInPortraitAndTwoInLandscape) {
  // The screen font's 13-pixel lines without a gap.
  PlotLayout portrait = PlotLayoutFor(1, 298, 13, 0);
  EXPECT_EQ(portrait.PlotLeft, 4);
  EXPECT_EQ(portrait.PlotTop, 41);
  EXPECT_EQ(portrait.PlotRight, 232);
  EXPECT_EQ(portrait.PlotHeight, 216);
  PlotLayout landscape = PlotLayoutFor(0, 218, 13, 0);
  EXPECT_EQ(landscape.PlotLeft, 4);
  EXPECT_EQ(landscape.PlotTop, 28);
  EXPECT_EQ(landscape.PlotRight, 312);
  EXPECT_EQ(landscape.PlotHeight, 162);
}

TEST(ButtonColumnTest, ButtonsAreThirtyPixelsApartInEitherColumn) {
  EXPECT_EQ(MainButtonRect(0, 1), (Rect{100, 82, 220, 108}));
  EXPECT_EQ(MainButtonRect(6, 1), (Rect{100, 262, 220, 288}));
  EXPECT_EQ(MainButtonRect(0, 0), (Rect{180, 18, 300, 44}));
  EXPECT_EQ(MainButtonRect(3, 0), (Rect{180, 108, 300, 134}));
  EXPECT_EQ(MainButtonRect(6, 0), (Rect{180, 198, 300, 224}));
}

struct TitleRow {
  int32_t kind;
  int32_t ice_built;
  const char* portrait;
  const char* landscape_storage;
  const char* landscape_drive;
};

TEST(TitleBitmapTest, EveryKindHasItsTitleForEachScreenAndRoot) {
  const TitleRow rows[] = {
      {0, 0, "STATICTIT_TQ62AR", "STATICTIT_TQ62MX", "STATICTIT_TQ62"},
      {0, 1, "STATICTIT_ICEAR", "STATICTIT_ICEMX", "STATICTIT_TQ62"},
      {1, 0, "STATICTIT_TQ68BAR", "STATICTIT_TQ68BMX", "STATICTIT_TQ68B"},
      {2, 0, "STATICTIT_TQ68DDAR", "STATICTIT_TQ68DDMX", "STATICTIT_TQ68DD"},
      {3, 0, "STATICTIT_TQ68AR", "STATICTIT_TQ68MX", "STATICTIT_TQ68"},
      {4, 0, "STATICTIT_TQ64AR", "STATICTIT_TQ64MX", "STATICTIT_TQ64"},
      {5, 0, "", "", ""},
      {6, 0, "STATICTIT_FRZ62AR", "STATICTIT_FRZ62MX", "STATICTIT_FRZ62"},
      {7, 0, "STATICTIT_TQ68MK2AR", "STATICTIT_TQ68MK2MX", "STATICTIT_TQ68MK2"},
      // The ice option is a TQ62 matter only.
      {7, 1, "STATICTIT_TQ68MK2AR", "STATICTIT_TQ68MK2MX", "STATICTIT_TQ68MK2"},
  };
  for (const TitleRow& row : rows) {
    SCOPED_TRACE(testing::Message() << "kind " << row.kind << " ice " << row.ice_built);
    EXPECT_EQ(TitleBitmapName(BuildConfig{row.kind, 1, row.ice_built}, 1), row.portrait);
    EXPECT_EQ(TitleBitmapName(BuildConfig{row.kind, 0, row.ice_built}, 1), row.portrait);
    EXPECT_EQ(TitleBitmapName(BuildConfig{row.kind, 1, row.ice_built}, 0), row.landscape_storage);
    EXPECT_EQ(TitleBitmapName(BuildConfig{row.kind, 0, row.ice_built}, 0), row.landscape_drive);
  }
}

TEST(VersionTextTest, OlderModelsShowTwoTen) {
  const char* expected[kKindCount] = {"Version 2.11", "Version 2.10", "Version 2.11", "Version 2.11",
                                      "Version 2.11", "Version 2.10", "Version 2.10", "Version 2.11"};
  for (int32_t kind = 0; kind < kKindCount; ++kind) EXPECT_EQ(VersionText(kind), expected[kind]) << kind;
}

TEST(TitlePageTest, TheTq93HasNoTitleBitmap) {
  TitlePage page = DescribeTitlePage(BuildConfig{5, 1, 0}, 1);
  ASSERT_EQ(page.bitmaps.size(), 2u);
  EXPECT_EQ(page.bitmaps[0].name, "STATICBMPAAR");
  EXPECT_EQ(page.bitmaps[1].name, "STATICLEADAR");
  EXPECT_EQ(page.version, "Version 2.10");
}

}  // namespace
}  // namespace tq
