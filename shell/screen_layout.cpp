#include "shell/screen_layout.h"

namespace tq {
namespace {

constexpr int kPlotLeft = 4;

struct TitleNames {
  const char* portrait;
  const char* landscape_storage;  // StorageRoot 1
  const char* landscape_drive;    // StorageRoot 0
};

// By kind; TQ62 with the ice option has its own portrait and storage titles.
constexpr TitleNames kTitleNames[kKindCount] = {
    {"STATICTIT_TQ62AR", "STATICTIT_TQ62MX", "STATICTIT_TQ62"},
    {"STATICTIT_TQ68BAR", "STATICTIT_TQ68BMX", "STATICTIT_TQ68B"},
    {"STATICTIT_TQ68DDAR", "STATICTIT_TQ68DDMX", "STATICTIT_TQ68DD"},
    {"STATICTIT_TQ68AR", "STATICTIT_TQ68MX", "STATICTIT_TQ68"},
    {"STATICTIT_TQ64AR", "STATICTIT_TQ64MX", "STATICTIT_TQ64"},
    {nullptr, nullptr, nullptr},
    {"STATICTIT_FRZ62AR", "STATICTIT_FRZ62MX", "STATICTIT_FRZ62"},
    {"STATICTIT_TQ68MK2AR", "STATICTIT_TQ68MK2MX", "STATICTIT_TQ68MK2"},
};
constexpr TitleNames kIceTitleNames = {"STATICTIT_ICEAR", "STATICTIT_ICEMX", "STATICTIT_TQ62"};

}  // namespace

int32_t PortraitFor(int client_width, int client_height) {
  return client_height >= client_width ? 1 : 0;
}

ScreenLayout ScreenLayoutFor(int32_t portrait) {
  if (portrait == 1) return ScreenLayout{1, 240, 320, 298};
  return ScreenLayout{0, 320, 240, 218};
}

PlotLayout PlotLayoutFor(int32_t portrait, int32_t plot_bottom, int32_t text_height,
                         int32_t line_gap) {
  int32_t h = text_height;
  int32_t g = line_gap;
  if (portrait == 1) {
    return PlotLayout{kPlotLeft, 3 * (h + g) + 2, 232, plot_bottom - 6 * h - 3 * g - 4};
  }
  return PlotLayout{kPlotLeft, 2 * (h + g) + 2, 312, plot_bottom - 4 * h - 2 * g - 4};
}

Rect MainButtonRect(int index, int32_t portrait) {
  int x = portrait == 1 ? 100 : 180;
  int y = (portrait == 1 ? 82 : 18) + 30 * index;
  return Rect{x, y, x + kMainButtonWidth, y + kMainButtonHeight};
}

std::string VersionText(int32_t kind) {
  bool older = kind == kKindTq68b || kind == kKindTq93 || kind == kKindFrz62;
  return older ? "Version 2.10" : "Version 2.11";
}

std::string TitleBitmapName(const BuildConfig& build, int32_t portrait) {
  if (build.InstrumentKind < 0 || build.InstrumentKind >= kKindCount) return {};
  const TitleNames& names = (build.InstrumentKind == kKindTq62 && build.IceOptionBuilt == 1)
                                ? kIceTitleNames
                                : kTitleNames[build.InstrumentKind];
  const char* name = portrait == 1               ? names.portrait
                     : build.StorageRoot == 1    ? names.landscape_storage
                                                 : names.landscape_drive;
  return name == nullptr ? std::string() : std::string(name);
}

TitlePage DescribeTitlePage(const BuildConfig& build, int32_t portrait) {
  TitlePage page;
  page.version = VersionText(build.InstrumentKind);
  std::string title = TitleBitmapName(build, portrait);
  if (portrait == 1) {
    page.grey_panel = Rect{49, 0, 240, 320};
    page.bar_x = 48;
    page.bar_height = 320;
    page.dark_lines = {{{90, 75}, {90, 293}}, {{230, 75}, {230, 293}}};
    for (int k = 0; k < kMainButtonCount; ++k) {
      int y = 95 + 30 * k;
      page.dark_lines.push_back({{220, y}, {230, y}});
      page.dark_lines.push_back({{90, y}, {100, y}});
    }
    page.circles = {{87, 72}, {87, 290}, {227, 72}, {227, 290}};
    page.version_at = {105, 56};
    page.bitmaps.push_back({"STATICBMPAAR", {0, 0}});
    if (!title.empty()) page.bitmaps.push_back({title, {65, 10}});
    page.bitmaps.push_back({"STATICLEADAR", {65, 300}});
  } else {
    page.grey_panel = Rect{37, 0, 320, 240};
    page.bar_x = 36;
    page.bar_height = 240;
    page.dark_lines = {{{180, 10}, {308, 10}, {308, 230}, {46, 230}}};
    for (int k = 0; k < kMainButtonCount; ++k) {
      int y = 31 + 30 * k;
      page.dark_lines.push_back({{300, y}, {307, y}});
    }
    page.circles = {{177, 7}, {43, 227}};
    page.version_at = {72, 120};
    page.bitmaps.push_back({"STATICBMPA", {0, 0}});
    if (!title.empty()) page.bitmaps.push_back({title, {48, 26}});
    page.bitmaps.push_back({"STATICLEAD", {48, 185}});
  }
  return page;
}

}  // namespace tq
