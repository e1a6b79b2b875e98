// Drawing into a window's kept image: persistence, exact pixels, block copies.
#include "platform/drawing.h"

#include <gtest/gtest.h>

#include <set>

#include "platform/window.h"
#include "tests/window/recording_window.h"

namespace tq {
namespace {

constexpr ColorRef kWhite = Rgb(255, 255, 255);
constexpr ColorRef kRed = Rgb(255, 0, 0);
constexpr ColorRef kGreen = Rgb(0, 255, 0);
constexpr ColorRef kBlue = Rgb(0, 0, 255);
constexpr ColorRef kGrid = Rgb(192, 192, 192);

class Drawing : public ::testing::Test {
 protected:
  void SetUp() override {
    window_ = test::CreateRecordingWindow(100, 80);
    ProcessPendingMessages();
    dc_ = GetDC(window_);
    ASSERT_NE(dc_, nullptr);
  }
  void TearDown() override {
    ReleaseDC(window_, dc_);
    test::DestroyTestWindows();
  }
  // Reads a pixel through a fresh context, as later code would see it.
  ColorRef Pixel(int x, int y) {
    DcHandle dc = GetDC(window_);
    ColorRef c = GetPixel(dc, x, y);
    ReleaseDC(window_, dc);
    return c;
  }
  int CountNot(ColorRef background, Rect area) {
    int n = 0;
    for (int y = area.top; y < area.bottom; ++y) {
      for (int x = area.left; x < area.right; ++x) n += Pixel(x, y) != background ? 1 : 0;
    }
    return n;
  }

  WindowHandle window_ = nullptr;
  DcHandle dc_ = nullptr;
};

TEST_F(Drawing, OutsidePaintDrawingPersistsAcrossALaterPaint) {
  FillRect(dc_, Rect{10, 10, 20, 20}, CreateSolidBrush(kRed));
  // A paint of another area (erasing it) leaves the first drawing alone.
  Rect other{50, 50, 60, 60};
  FillRect(dc_, other, CreateSolidBrush(kBlue));
  InvalidateRect(window_, &other, true);
  UpdateWindow(window_);
  EXPECT_EQ(Pixel(15, 15), kRed);
  EXPECT_EQ(Pixel(55, 55), kWhite);  // erased to the class background
  EXPECT_EQ(Pixel(49, 49), kWhite);
}

TEST_F(Drawing, PaintingIsClippedToTheInvalidArea) {
  test::SetPaintHandler([](WindowHandle w) {
    PaintInfo paint;
    DcHandle dc = BeginPaint(w, &paint);
    FillRect(dc, Rect{0, 0, 100, 80}, CreateSolidBrush(kGreen));
    EndPaint(w, paint);
  });
  Rect area{5, 6, 15, 16};
  InvalidateRect(window_, &area, false);
  UpdateWindow(window_);
  EXPECT_EQ(Pixel(5, 6), kGreen);
  EXPECT_EQ(Pixel(14, 15), kGreen);
  EXPECT_EQ(Pixel(15, 15), kWhite);
  EXPECT_EQ(Pixel(4, 6), kWhite);
  EXPECT_EQ(CountNot(kWhite, Rect{0, 0, 100, 80}), 100);
}

TEST_F(Drawing, BlockCopyScrollsTheChartTwoPixelsLeft) {
  // Two columns, as two stations of the live profile.
  SelectPen(dc_, CreatePen(PS_SOLID, 1, kRed));
  MoveTo(dc_, 50, 0);
  LineTo(dc_, 50, 40);
  SelectPen(dc_, CreatePen(PS_SOLID, 1, kGreen));
  MoveTo(dc_, 51, 0);
  LineTo(dc_, 51, 40);
  ASSERT_TRUE(BitBlt(dc_, 0, 0, 69, 40, dc_, 2, 0));
  EXPECT_EQ(Pixel(48, 10), kRed);
  EXPECT_EQ(Pixel(49, 10), kGreen);
  // The source columns keep what the overlapping copy put there.
  EXPECT_EQ(Pixel(50, 10), kWhite);
  EXPECT_EQ(Pixel(51, 10), kWhite);
  EXPECT_EQ(Pixel(48, 40), kWhite);  // only the block's rows moved
}

TEST_F(Drawing, BlockCopyDownwardsWithinTheWindowMovesEveryRowOnce) {
  SelectPen(dc_, CreatePen(PS_SOLID, 1, kRed));
  MoveTo(dc_, 0, 10);
  LineTo(dc_, 20, 10);
  SelectPen(dc_, CreatePen(PS_SOLID, 1, kGreen));
  MoveTo(dc_, 0, 11);
  LineTo(dc_, 20, 11);
  // Overlapping, and reaching past the bottom edge: what falls outside is cut.
  ASSERT_TRUE(BitBlt(dc_, 3, 2, 30, 200, dc_, 0, 0));
  EXPECT_EQ(Pixel(5, 12), kRed);
  EXPECT_EQ(Pixel(5, 13), kGreen);
  EXPECT_EQ(Pixel(22, 12), kRed);
  EXPECT_EQ(Pixel(23, 12), kWhite);
  EXPECT_EQ(Pixel(5, 10), kWhite);
  // Both lines moved whole; the three columns left of the block keep theirs.
  EXPECT_EQ(CountNot(kWhite, Rect{0, 0, 100, 80}), 2 * 20 + 2 * 3);
}

TEST_F(Drawing, BlockCopyBetweenAWindowAndAMemoryImageRestoresAColumn) {
  FillRect(dc_, Rect{30, 0, 31, 80}, CreateSolidBrush(kBlue));
  DcHandle saved = CreateMemoryDC(1, 78);
  ASSERT_NE(saved, nullptr);
  ASSERT_TRUE(BitBlt(saved, 0, 0, 1, 78, dc_, 30, 1));
  SelectPen(dc_, CreatePen(PS_SOLID, 1, Rgb(128, 128, 128)));
  MoveTo(dc_, 30, 1);
  LineTo(dc_, 30, 79);
  EXPECT_EQ(Pixel(30, 5), Rgb(128, 128, 128));
  ASSERT_TRUE(BitBlt(dc_, 30, 1, 1, 78, saved, 0, 0));
  EXPECT_EQ(Pixel(30, 5), kBlue);
  EXPECT_EQ(Pixel(30, 78), kBlue);
  EXPECT_TRUE(DeleteDC(saved));
  EXPECT_FALSE(DeleteDC(saved));
}

TEST_F(Drawing, OnePixelLinesLeaveOutTheirEndPointAndAreNeverBlended) {
  SelectPen(dc_, CreatePen(PS_SOLID, 1, kGrid));
  MoveTo(dc_, 2, 5);
  LineTo(dc_, 8, 5);
  for (int x = 2; x < 8; ++x) EXPECT_EQ(Pixel(x, 5), kGrid) << x;
  EXPECT_EQ(Pixel(8, 5), kWhite);
  EXPECT_EQ(Pixel(1, 5), kWhite);
  EXPECT_EQ(CountNot(kWhite, Rect{0, 0, 20, 20}), 6);

  // A slanted line: every touched pixel is exactly the pen's colour.
  MoveTo(dc_, 10, 20);
  LineTo(dc_, 60, 37);
  std::set<ColorRef> seen;
  for (int y = 18; y < 40; ++y) {
    for (int x = 8; x < 62; ++x) seen.insert(Pixel(x, y));
  }
  EXPECT_EQ(seen, (std::set<ColorRef>{kWhite, kGrid}));
  EXPECT_EQ(CountNot(kWhite, Rect{8, 18, 62, 40}), 50);  // one pixel per column
}

TEST_F(Drawing, WidePensCoverTheirWidth) {
  SelectPen(dc_, CreatePen(PS_SOLID, 2, kGrid));
  MoveTo(dc_, 0, 30);
  LineTo(dc_, 100, 30);
  EXPECT_EQ(Pixel(50, 29), kGrid);
  EXPECT_EQ(Pixel(50, 30), kGrid);
  EXPECT_EQ(Pixel(50, 28), kWhite);
  EXPECT_EQ(Pixel(50, 31), kWhite);
}

TEST_F(Drawing, APolylineOfOnePointIsADotOfThePensWidth) {
  Point twice[] = {{40, 40}, {40, 40}};
  SelectPen(dc_, CreatePen(PS_SOLID, 1, kRed));
  ASSERT_TRUE(Polyline(dc_, twice));
  EXPECT_EQ(Pixel(40, 40), kRed);
  EXPECT_EQ(CountNot(kWhite, Rect{30, 30, 50, 50}), 1);
  Point other[] = {{60, 60}, {60, 60}};
  SelectPen(dc_, CreatePen(PS_SOLID, 3, kBlue));
  ASSERT_TRUE(Polyline(dc_, other));
  EXPECT_EQ(CountNot(kWhite, Rect{55, 55, 66, 66}), 9);
  EXPECT_EQ(Pixel(59, 59), kBlue);
  EXPECT_EQ(Pixel(61, 61), kBlue);
}

TEST_F(Drawing, PolylineJoinsItsPoints) {
  Point points[] = {{0, 10}, {2, 10}, {4, 12}};
  SelectPen(dc_, CreatePen(PS_SOLID, 1, kRed));
  ASSERT_TRUE(Polyline(dc_, points));
  EXPECT_EQ(Pixel(0, 10), kRed);
  EXPECT_EQ(Pixel(2, 10), kRed);
  EXPECT_EQ(Pixel(3, 11), kRed);
  EXPECT_EQ(Pixel(4, 12), kWhite);  // the last point is left out
}

TEST_F(Drawing, EllipsesAndRectanglesStayInsideTheirBoundingBox) {
  SelectPen(dc_, CreatePen(PS_SOLID, 1, Rgb(64, 64, 64)));
  SelectBrush(dc_, CreateSolidBrush(Rgb(64, 64, 64)));
  ASSERT_TRUE(Ellipse(dc_, 87 - 80, 72 - 70, 93 - 80, 78 - 70));  // a 6 x 6 circle
  int columns = 0;
  for (int x = 0; x < 20; ++x) columns += CountNot(kWhite, Rect{x, 0, x + 1, 20}) > 0 ? 1 : 0;
  EXPECT_EQ(columns, 6);
  EXPECT_EQ(CountNot(kWhite, Rect{0, 0, 7, 20}), 0);
  EXPECT_EQ(CountNot(kWhite, Rect{13, 0, 20, 20}), 0);

  SelectPen(dc_, CreatePen(PS_SOLID, 1, kRed));
  SelectBrush(dc_, CreateSolidBrush(kBlue));
  ASSERT_TRUE(Rectangle(dc_, 30, 30, 40, 36));
  EXPECT_EQ(Pixel(30, 30), kRed);
  EXPECT_EQ(Pixel(39, 35), kRed);
  EXPECT_EQ(Pixel(35, 33), kBlue);
  EXPECT_EQ(Pixel(40, 33), kWhite);
  EXPECT_EQ(Pixel(35, 36), kWhite);
}

TEST_F(Drawing, TransparentTextLeavesTheBackgroundOpaqueTextFillsItsCell) {
  FillRect(dc_, Rect{0, 0, 100, 80}, kLightGrayBrush);
  SetBkMode(dc_, TRANSPARENT);
  SetTextColor(dc_, kBlue);
  ASSERT_TRUE(TextOut(dc_, 2, 2, "Ln:"));
  std::set<ColorRef> colours;
  for (int y = 2; y < 15; ++y) {
    for (int x = 2; x < 22; ++x) colours.insert(Pixel(x, y));
  }
  EXPECT_EQ(colours, (std::set<ColorRef>{kLightGrayBrush.color, kBlue}));

  SetBkMode(dc_, OPAQUE);
  SetBkColor(dc_, kWhite);
  Size extent = GetTextExtent(dc_, "Stn:");
  ASSERT_TRUE(TextOut(dc_, 10, 40, "Stn:"));
  EXPECT_EQ(Pixel(10 + extent.cx - 1, 40 + extent.cy - 1), kWhite);  // a corner of the cell
  EXPECT_EQ(Pixel(10 + extent.cx, 40), kLightGrayBrush.color);
  EXPECT_GT(CountNot(kWhite, Rect{10, 40, 10 + extent.cx, 40 + extent.cy}), 0);
}

TEST_F(Drawing, DrawTextCentresOneLineAndClipsToItsRectangle) {
  SetBkMode(dc_, TRANSPARENT);
  Size extent = GetTextExtent(dc_, "Please Wait...");
  Rect box{0, 20, 100, 60};
  EXPECT_EQ(DrawText(dc_, "Please Wait...", box, DT_CENTER | DT_VCENTER | DT_SINGLELINE), extent.cy);
  int left = (100 - extent.cx) / 2;
  EXPECT_EQ(CountNot(kWhite, Rect{0, 20, left, 60}), 0);
  EXPECT_EQ(CountNot(kWhite, Rect{left + extent.cx, 20, 100, 60}), 0);
  EXPECT_GT(CountNot(kWhite, box), 0);
  DrawText(dc_, "clipped", Rect{0, 70, 3, 80}, DT_LEFT | DT_SINGLELINE);
  EXPECT_EQ(CountNot(kWhite, Rect{3, 66, 100, 80}), 0);
}

TEST_F(Drawing, ContextsOfDestroyedWindowsAndStrangersFailSafely) {
  EXPECT_EQ(GetPixel(dc_, 100, 0), 0xFFFFFFFFu);  // outside the image
  EXPECT_EQ(GetPixel(dc_, -1, 0), 0xFFFFFFFFu);
  int not_a_context = 0;
  EXPECT_FALSE(TextOut(reinterpret_cast<DcHandle>(&not_a_context), 0, 0, "x"));
  WindowHandle child = CreateWindow("RecorderWnd", "", WS_CHILD | WS_VISIBLE, 0, 0, 10, 10, window_, 2);
  DcHandle dc = GetDC(child);
  DestroyWindow(child);
  EXPECT_FALSE(FillRect(dc, Rect{0, 0, 5, 5}, kBlackBrush));
  EXPECT_EQ(ReleaseDC(child, dc), 1);
}

TEST_F(Drawing, SelectionsReturnWhatWasSelectedBefore) {
  Pen old = SelectPen(dc_, CreatePen(PS_SOLID, 3, kRed));
  EXPECT_EQ(old.width, 1);
  EXPECT_EQ(old.color, Rgb(0, 0, 0));
  EXPECT_EQ(SelectPen(dc_, old).color, kRed);
  EXPECT_EQ(SelectFont(dc_, CreateFont(14, FW_BOLD)), (Font{14, FW_NORMAL}));
  EXPECT_EQ(SetBkMode(dc_, TRANSPARENT), OPAQUE);
  EXPECT_EQ(SetTextColor(dc_, kRed), Rgb(0, 0, 0));
}

TEST_F(Drawing, NamedBitmapsAreCopiedAtTheirOwnSize) {
  BitmapHandle strip = LoadBitmap("StaticBmpAAR");  // names ignore case
  ASSERT_NE(strip, nullptr);
  EXPECT_EQ(LoadBitmap("STATICBMPAAR"), strip);
  EXPECT_EQ(GetBitmapSize(strip), (Size{48, 320}));
  ASSERT_TRUE(DrawBitmap(dc_, 10, 0, strip));
  EXPECT_EQ(Pixel(9, 0), kWhite);
  EXPECT_EQ(Pixel(10, 0), Rgb(0, 64, 96));  // the strip's own ground colour
  EXPECT_NE(Pixel(57, 0), kWhite);
  EXPECT_EQ(Pixel(58, 0), kWhite);
  for (const char* name : {"STATICBMPA", "STATICBMP", "STATICLEAD", "STATICLEADAR", "STATICTIT_TQ68MK2AR",
                           "STATICTIT_TQ68MK2MX"}) {
    EXPECT_NE(LoadBitmap(name), nullptr) << name;
  }
}

TEST_F(Drawing, UnknownBitmapsAreNull) {
  EXPECT_EQ(LoadBitmap("NOSUCHBITMAP"), nullptr);
  EXPECT_FALSE(DrawBitmap(dc_, 0, 0, nullptr));
  EXPECT_EQ(GetBitmapSize(nullptr), Size{});
}

}  // namespace
}  // namespace tq
