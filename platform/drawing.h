// Drawing into windows.
//
// Each window keeps an image of its client area that persists between
// paints; every drawing context writes into it and the screen shows it. So
// incremental drawing, block copies within a window and saved pixel columns
// behave as on the handheld. Pixels are exact: nothing is anti-aliased, lines
// with a 1-pixel pen leave out their end point, and rectangles leave out their
// right and bottom edges. User-interface thread only.
#pragma once

#include <cstdint>
#include <span>
#include <string_view>

#include "platform/messages.h"
#include "platform/window_types.h"

namespace tq {

struct DeviceContext;
using DcHandle = DeviceContext*;

inline constexpr int FW_NORMAL = 400;
inline constexpr int FW_BOLD = 700;
inline constexpr int TRANSPARENT = 1;
inline constexpr int OPAQUE = 2;
inline constexpr int PS_SOLID = 0;
inline constexpr int PS_NULL = 5;

// DrawText formats.
inline constexpr uint32_t DT_LEFT = 0x0;
inline constexpr uint32_t DT_CENTER = 0x1;
inline constexpr uint32_t DT_RIGHT = 0x2;
inline constexpr uint32_t DT_VCENTER = 0x4;
inline constexpr uint32_t DT_BOTTOM = 0x8;
inline constexpr uint32_t DT_SINGLELINE = 0x20;

// System colours of the classic look.
inline constexpr int COLOR_WINDOW = 5;
inline constexpr int COLOR_WINDOWTEXT = 8;
inline constexpr int COLOR_BTNFACE = 15;
inline constexpr int COLOR_BTNSHADOW = 16;
inline constexpr int COLOR_BTNTEXT = 18;
inline constexpr int COLOR_BTNHIGHLIGHT = 20;
inline constexpr int COLOR_3DDKSHADOW = 21;
inline constexpr int COLOR_3DLIGHT = 22;

// "MS Sans Serif" of `height` pixels (cell height) and `weight` (FW_NORMAL or
// FW_BOLD); the only face the logger uses.
struct Font {
  int height = 14;
  int weight = FW_NORMAL;
  friend bool operator==(const Font&, const Font&) = default;
};

struct Pen {
  int style = PS_SOLID;
  int width = 1;
  ColorRef color = 0;
};

struct Brush {
  ColorRef color = Rgb(255, 255, 255);
  bool hollow = false;  // draws nothing (the null brush)
};

inline constexpr Brush kWhiteBrush{Rgb(255, 255, 255), false};
inline constexpr Brush kLightGrayBrush{Rgb(192, 192, 192), false};
inline constexpr Brush kBlackBrush{Rgb(0, 0, 0), false};
inline constexpr Brush kNullBrush{0, true};

inline Font CreateFont(int height, int weight) { return Font{height, weight}; }
inline Pen CreatePen(int style, int width, ColorRef color) { return Pen{style, width, color}; }
inline Brush CreateSolidBrush(ColorRef color) { return Brush{color, false}; }

struct TextMetrics {
  int height = 0;
  int ascent = 0;
  int descent = 0;
  int ave_char_width = 0;  // from the width of "A".."Z" "a".."z", as dialog units are
  int max_char_width = 0;
};

struct PaintInfo {
  DcHandle dc = nullptr;
  Rect paint;  // the invalid area being repainted
  bool erase = false;
};

// Starts WM_PAINT handling: erases the invalid area when asked, validates it
// and returns a context clipped to it. Null on failure.
DcHandle BeginPaint(WindowHandle window, PaintInfo* paint);
void EndPaint(WindowHandle window, const PaintInfo& paint);

// A context for drawing outside WM_PAINT; release it before returning.
DcHandle GetDC(WindowHandle window);
int ReleaseDC(WindowHandle window, DcHandle dc);

// An off-screen image of its own (white); DeleteDC frees it.
DcHandle CreateMemoryDC(int width, int height);
bool DeleteDC(DcHandle dc);

// Each returns what was selected before. New contexts start with the normal
// 14-pixel font, a black 1-pixel pen, a white brush, black text on an opaque
// white background.
Font SelectFont(DcHandle dc, Font font);
Pen SelectPen(DcHandle dc, Pen pen);
Brush SelectBrush(DcHandle dc, Brush brush);
ColorRef SetTextColor(DcHandle dc, ColorRef color);
ColorRef SetBkColor(DcHandle dc, ColorRef color);
int SetBkMode(DcHandle dc, int mode);

// Text with its cell's top-left corner at (x, y).
bool TextOut(DcHandle dc, int x, int y, std::string_view text);
// One line of text placed in `rect` by `format`; returns its height, 0 on failure.
int DrawText(DcHandle dc, std::string_view text, const Rect& rect, uint32_t format);
// Width and height of the text in the selected font; bold adds one pixel.
Size GetTextExtent(DcHandle dc, std::string_view text);
TextMetrics GetTextMetrics(DcHandle dc);

bool MoveTo(DcHandle dc, int x, int y, Point* previous = nullptr);
// Draws from the current position to (x, y), which becomes current.
bool LineTo(DcHandle dc, int x, int y);
// Connected lines through `points`; a run whose points all coincide draws a
// dot of the pen's width.
bool Polyline(DcHandle dc, std::span<const Point> points);
// Fills [left, right) x [top, bottom) with `brush`.
bool FillRect(DcHandle dc, const Rect& rect, Brush brush);
// Outline with the pen, inside filled with the brush, within the rectangle.
bool Rectangle(DcHandle dc, int left, int top, int right, int bottom);
bool Ellipse(DcHandle dc, int left, int top, int right, int bottom);
// Copies a width x height block from `source` at (sx, sy) to (x, y) of `dest`;
// source and destination may be the same window and may overlap.
bool BitBlt(DcHandle dest, int x, int y, int width, int height, DcHandle source, int sx, int sy);

// The colour at (x, y); 0xFFFFFFFF outside the image or on failure.
ColorRef GetPixel(DcHandle dc, int x, int y);
bool SetPixel(DcHandle dc, int x, int y, ColorRef color);

struct BitmapData;
using BitmapHandle = const BitmapData*;
// The bitmap resources/bitmaps/<name>.png (or .bmp); null when there is none.
BitmapHandle LoadBitmap(std::string_view name);
Size GetBitmapSize(BitmapHandle bitmap);
// Copies the bitmap at its own size with its top-left corner at (x, y).
bool DrawBitmap(DcHandle dc, int x, int y, BitmapHandle bitmap);

ColorRef GetSysColor(int index);

// Metrics of `font` without a window (what GetTextMetrics would say).
TextMetrics MeasureFont(Font font);
Size MeasureText(Font font, std::string_view text);
// True when the "MS Sans Serif" clone was found; otherwise DejaVu Sans is used.
bool IsScreenFontLoaded();

}  // namespace tq
