// The screen font: the "MS Sans Serif" clone's measures that the layouts
// rely on, and a bold that looks bold.
#include <gtest/gtest.h>

#include "platform/dialogs.h"
#include "platform/drawing.h"
#include "platform/modal_responder.h"
#include "platform/window.h"

namespace tq {
namespace {

constexpr Font kNormal{14, FW_NORMAL};
constexpr Font kBold{14, FW_BOLD};

int InkedPixels(Font font, const char* text) {
  DcHandle dc = CreateMemoryDC(200, 20);
  SelectFont(dc, font);
  SetBkMode(dc, TRANSPARENT);
  TextOut(dc, 0, 0, text);
  int n = 0;
  for (int y = 0; y < 20; ++y) {
    for (int x = 0; x < 200; ++x) n += GetPixel(dc, x, y) == Rgb(0, 0, 0) ? 1 : 0;
  }
  DeleteDC(dc);
  return n;
}

TEST(ScreenFont, IsTheCloneFromTheSystemFonts) { EXPECT_TRUE(IsScreenFontLoaded()); }

TEST(ScreenFont, LinesAreThirteenPixelsHigh) {
  EXPECT_EQ(MeasureFont(kNormal).height, 13);
  EXPECT_EQ(MeasureFont(kBold).height, 13);
  EXPECT_EQ(MeasureText(kNormal, "Stand By").cy, 13);
}

TEST(ScreenFont, TheLongestPausePromptIs277PixelsWide) {
  EXPECT_EQ(MeasureText(kNormal, "Trigger to Log, Tap or press any non numeric key to Pause").cx, 277);
  // So the landscape prompts fit their 312-pixel button.
  EXPECT_LT(MeasureText(kNormal, "Trigger to Log, Tap or press SPACE bar to Pause").cx, 312);
}

TEST(ScreenFont, AverageWidthFollowsTheAlphabetNotTheFontsOwnClaim) {
  EXPECT_EQ(MeasureFont(kNormal).ave_char_width, 6);
}

TEST(ScreenFont, BoldInksMoreAndIsOnePixelWider) {
  EXPECT_GT(InkedPixels(kBold, "Logging"), InkedPixels(kNormal, "Logging") * 5 / 4);
  EXPECT_EQ(MeasureText(kBold, "-2000.00").cx, MeasureText(kNormal, "-2000.00").cx + 1);
  EXPECT_EQ(MeasureText(kBold, "").cx, 0);
}

TEST(ScreenFont, DialogBaseUnitsComeFromTheDialogFont) {
  std::string error;
  ASSERT_TRUE(AddResourceScript("dialog FONTPROBE\nsize 40 16\nend\n", &error)) << error;
  DialogBaseUnits seen;
  ScriptedResponder responder;
  responder.OnDialog("FONTPROBE", [&](WindowHandle dialog) {
    seen = GetDialogBaseUnits(dialog);
    EXPECT_EQ(GetClientRect(dialog), (Rect{0, 0, 60, 26}));  // 40 x 16 units at 6 and 13
  });
  ScopedModalResponder scope(&responder);
  OpenDialogTemplate("FontProbe", nullptr, [](WindowHandle d, uint32_t m, uintptr_t w, intptr_t) -> intptr_t {
    if (m == WM_COMMAND && LOWORD(w) == IDOK) return EndDialog(d, 1);
    return 0;
  });
  EXPECT_EQ(seen.x, 6);
  EXPECT_EQ(seen.y, 13);
}

}  // namespace
}  // namespace tq
