// The main window's geometry: orientation, screen and profile areas, the
// button column and the title page. Pure functions of the screen and the
// build; the window code draws what they say.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/window_types.h"
#include "settings/build_config.h"

namespace tq {

// 1 when the client area is at least as tall as it is wide (a square screen
// is portrait), else 0.
int32_t PortraitFor(int client_width, int client_height);

struct ScreenLayout {
  int32_t Portrait = 1;
  int32_t ScreenWidth = 240;
  int32_t ScreenHeight = 320;
  int32_t PlotBottom = 298;
};

// Screen size and the live profile's bottom for an orientation.
ScreenLayout ScreenLayoutFor(int32_t portrait);

struct PlotLayout {
  int32_t PlotLeft = 4;
  int32_t PlotTop = 0;
  int32_t PlotRight = 232;
  int32_t PlotHeight = 0;
};

// The live profile area below `text_height`-pixel text lines `line_gap`
// apart (two text rows above it in landscape, three in portrait).
PlotLayout PlotLayoutFor(int32_t portrait, int32_t plot_bottom, int32_t text_height,
                         int32_t line_gap);

// The button column: ids 420..426, 120 x 26 pixels, 30 pixels apart.
inline constexpr int kMainButtonCount = 7;
inline constexpr int kMainButtonFirstId = 420;
inline constexpr int kMainButtonWidth = 120;
inline constexpr int kMainButtonHeight = 26;

// Where button `index` (0..6) of the column sits in the main window.
Rect MainButtonRect(int index, int32_t portrait);

// The title page's colours.
inline constexpr ColorRef kTitleGrey = Rgb(0xC0, 0xC0, 0xC0);
inline constexpr ColorRef kTitleDarkGrey = Rgb(0x40, 0x40, 0x40);
inline constexpr ColorRef kTitleBlack = Rgb(0, 0, 0);
inline constexpr int kTitleBarWidth = 4;
inline constexpr int kTitleCircleSize = 6;

struct TitleBitmap {
  std::string name;
  Point at;
};

// Everything the title page draws, in drawing order: the grey panel, the
// black bar, the dark grey frame lines and connectors (1-pixel polylines),
// the circles, the version text, then the bitmaps at their own sizes.
struct TitlePage {
  Rect grey_panel;
  int bar_x = 0;
  int bar_height = 0;
  std::vector<std::vector<Point>> dark_lines;
  std::vector<Point> circles;  // top-left corners
  std::string version;
  Point version_at;
  std::vector<TitleBitmap> bitmaps;  // a kind without a title bitmap has none
};

TitlePage DescribeTitlePage(const BuildConfig& build, int32_t portrait);

// "Version 2.11" or "Version 2.10", by kind.
std::string VersionText(int32_t kind);

// The title bitmap of the kind for the screen and storage root; empty for
// the TQ93, which has none.
std::string TitleBitmapName(const BuildConfig& build, int32_t portrait);

}  // namespace tq
