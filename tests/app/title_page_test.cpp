// The painted title page: panel, bar, frame lines, connectors, circles,
// version text and bitmaps at their places, in both orientations.
#include <gtest/gtest.h>

#include <string>

#include "shell/shell_state.h"
#include "platform/drawing.h"
#include "platform/window.h"
#include "tests/app/main_window_fixture.h"

namespace tq {
namespace {

constexpr ColorRef kGrey = Rgb(0xC0, 0xC0, 0xC0);
constexpr ColorRef kDarkGrey = Rgb(0x40, 0x40, 0x40);
constexpr ColorRef kBlack = Rgb(0, 0, 0);

class TitlePageTest : public testing::MainWindowTest {
 protected:
  ColorRef PixelAt(int x, int y) {
    DcHandle dc = GetDC(main_window());
    ColorRef c = GetPixel(dc, x, y);
    ReleaseDC(main_window(), dc);
    return c;
  }

  // Every pixel of the bitmap `name` appears with its corner at (x, y).
  void ExpectBitmapAt(const std::string& name, int x, int y) {
    SCOPED_TRACE(name);
    BitmapHandle bitmap = LoadBitmap(name);
    ASSERT_NE(bitmap, nullptr);
    Size size = GetBitmapSize(bitmap);
    DcHandle image = CreateMemoryDC(size.cx, size.cy);
    DrawBitmap(image, 0, 0, bitmap);
    DcHandle dc = GetDC(main_window());
    int mismatches = 0;
    for (int by = 0; by < size.cy; ++by) {
      for (int bx = 0; bx < size.cx; ++bx) {
        if (GetPixel(dc, x + bx, y + by) != GetPixel(image, bx, by)) ++mismatches;
      }
    }
    ReleaseDC(main_window(), dc);
    DeleteDC(image);
    EXPECT_EQ(mismatches, 0);
  }

  // Some pixel of the box is black: the version text was drawn there.
  bool HasBlackIn(const Rect& box) {
    for (int y = box.top; y < box.bottom; ++y) {
      for (int x = box.left; x < box.right; ++x) {
        if (PixelAt(x, y) == kBlack) return true;
      }
    }
    return false;
  }
};

TEST_F(TitlePageTest, PortraitPanelBarFrameAndConnectors) {
  ASSERT_NE(OpenMainWindow(240, 320), nullptr);
  ASSERT_EQ(Shell.Portrait, 1);
  EXPECT_EQ(PixelAt(60, 160), kGrey);
  EXPECT_EQ(PixelAt(239, 319), kGrey);
  // The 4-pixel bar centred on x = 48 covers 46..49; the background bitmap
  // lies over 46 and 47.
  for (int y : {0, 160, 319}) {
    EXPECT_EQ(PixelAt(48, y), kBlack) << y;
    EXPECT_EQ(PixelAt(49, y), kBlack) << y;
    EXPECT_EQ(PixelAt(50, y), kGrey) << y;
  }
  for (int x : {90, 230}) {
    EXPECT_EQ(PixelAt(x, 75), kDarkGrey) << x;
    EXPECT_EQ(PixelAt(x, 200), kDarkGrey) << x;
    EXPECT_EQ(PixelAt(x, 292), kDarkGrey) << x;
    EXPECT_EQ(PixelAt(x + 1, 200), kGrey) << x;
    EXPECT_EQ(PixelAt(x, 297), kGrey) << x;
  }
  // Connectors from the verticals to the buttons' edges at 100 and 220.
  for (int k = 0; k < 7; ++k) {
    int y = 95 + 30 * k;
    EXPECT_EQ(PixelAt(220, y), kDarkGrey) << k;
    EXPECT_EQ(PixelAt(219, y), kGrey) << k;
    EXPECT_EQ(PixelAt(225, y + 1), kGrey) << k;
    EXPECT_EQ(PixelAt(99, y), kDarkGrey) << k;
    EXPECT_EQ(PixelAt(100, y), kGrey) << k;
    EXPECT_EQ(PixelAt(95, y - 1), kGrey) << k;
  }
}

TEST_F(TitlePageTest, PortraitCirclesCapTheVerticals) {
  ASSERT_NE(OpenMainWindow(240, 320), nullptr);
  for (Point corner : {Point{87, 72}, Point{87, 290}, Point{227, 72}, Point{227, 290}}) {
    EXPECT_EQ(PixelAt(corner.x + 2, corner.y + 2), kDarkGrey) << corner.x << "," << corner.y;
    EXPECT_EQ(PixelAt(corner.x - 1, corner.y + 2), kGrey) << corner.x << "," << corner.y;
    EXPECT_EQ(PixelAt(corner.x + 2, corner.y - 1), kGrey) << corner.x << "," << corner.y;
  }
}

TEST_F(TitlePageTest, PortraitBitmapsAndVersion) {
  ASSERT_NE(OpenMainWindow(240, 320), nullptr);
  ExpectBitmapAt("STATICBMPAAR", 0, 0);
  ExpectBitmapAt("STATICTIT_TQ68MK2AR", 65, 10);
  ExpectBitmapAt("STATICLEADAR", 65, 300);
  Size text = MeasureText(Font{14, FW_NORMAL}, "Version 2.11");
  EXPECT_TRUE(HasBlackIn(Rect{105, 56, 105 + text.cx, 56 + text.cy}));
  EXPECT_FALSE(HasBlackIn(Rect{105 + text.cx, 56, 105 + text.cx + 10, 56 + text.cy}));
  EXPECT_FALSE(HasBlackIn(Rect{105, 56 + text.cy, 105 + text.cx, 56 + text.cy + 8}));
}

TEST_F(TitlePageTest, LandscapePanelBarFrameAndConnectors) {
  ASSERT_NE(OpenMainWindow(320, 240), nullptr);
  ASSERT_EQ(Shell.Portrait, 0);
  EXPECT_EQ(PixelAt(240, 120), kGrey);
  for (int y : {0, 120, 239}) {
    EXPECT_EQ(PixelAt(36, y), kBlack) << y;
    EXPECT_EQ(PixelAt(37, y), kBlack) << y;
    EXPECT_EQ(PixelAt(38, y), kGrey) << y;
  }
  // The open frame (180, 10)-(308, 10)-(308, 230)-(46, 230).
  EXPECT_EQ(PixelAt(181, 10), kDarkGrey);
  EXPECT_EQ(PixelAt(250, 10), kDarkGrey);
  EXPECT_EQ(PixelAt(250, 11), kGrey);
  EXPECT_EQ(PixelAt(308, 120), kDarkGrey);
  EXPECT_EQ(PixelAt(309, 120), kGrey);
  EXPECT_EQ(PixelAt(100, 230), kDarkGrey);
  EXPECT_EQ(PixelAt(100, 229), kGrey);
  EXPECT_EQ(PixelAt(150, 10), kGrey);  // open on the left of the top edge
  for (int k = 0; k < 7; ++k) {
    int y = 31 + 30 * k;
    EXPECT_EQ(PixelAt(300, y), kDarkGrey) << k;
    EXPECT_EQ(PixelAt(299, y), kGrey) << k;
    EXPECT_EQ(PixelAt(303, y + 1), kGrey) << k;
  }
  for (Point corner : {Point{177, 7}, Point{43, 227}}) {
    EXPECT_EQ(PixelAt(corner.x + 2, corner.y + 2), kDarkGrey) << corner.x;
    EXPECT_EQ(PixelAt(corner.x + 2, corner.y - 1), kGrey) << corner.x;
  }
}

TEST_F(TitlePageTest, LandscapeBitmapsAndVersion) {
  ASSERT_NE(OpenMainWindow(320, 240), nullptr);
  ExpectBitmapAt("STATICBMPA", 0, 0);
  ExpectBitmapAt("STATICTIT_TQ68MK2MX", 48, 26);
  ExpectBitmapAt("STATICLEAD", 48, 185);
  Size text = MeasureText(Font{14, FW_NORMAL}, "Version 2.11");
  EXPECT_TRUE(HasBlackIn(Rect{72, 120, 72 + text.cx, 120 + text.cy}));
}

TEST_F(TitlePageTest, ButtonsLieOverTheColumnBetweenTheConnectors) {
  ASSERT_NE(OpenMainWindow(240, 320), nullptr);
  for (int i = 0; i < 7; ++i) {
    EXPECT_EQ(GetWindowRect(Shell.Buttons[static_cast<size_t>(i)]),
              (Rect{100, 82 + 30 * i, 220, 108 + 30 * i}))
        << i;
  }
}

}  // namespace
}  // namespace tq
