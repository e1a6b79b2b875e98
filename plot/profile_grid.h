// The profile chart's geometry, grid lines and scale labels, as values.
// Shared by the live profile and the file viewer's profile; the windows draw
// what these say.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "settings/settings.h"

namespace tq {

// Where a profile chart draws, in its window's client coordinates.
struct ProfileGeometry {
  int32_t width = 232;        // W: PlotRight
  int32_t height = 180;       // H: PlotHeight; the bottom value lies on y = H
  int32_t newest_x = 200;     // X0: the column of the newest station
  int32_t label_min_x = 202;  // Lmin: no label starts left of it
};

// The geometry for an orientation and the start-up layout's W and H.
ProfileGeometry ProfileGeometryFor(int32_t portrait, int32_t plot_right, int32_t plot_height);

// The horizontal grid of one scale set: y[0] is the main line (the zero line,
// or the 20 % line), y[1..count-1] the others.
struct GridTable {
  int32_t count = 0;  // 1..9
  std::array<int32_t, 9> y{};
  int32_t main_width = 1;  // 2 when the zero line of a scale that straddles zero
};

// The grid for a scale from `bottom` (y = H) to `top` (y = 0) at `factor`
// pixels per unit. A scale that straddles zero gets its zero line and lines
// at a step that suits the larger side; any other gets lines at 20, 40, 60
// and 80 % of the height.
GridTable ComputeGridTable(float bottom, float top, float factor, int32_t height);

// Width of the main line when a reading scrolls the chart: 2 whenever the
// scale straddles zero.
int32_t ScrollMainLineWidth(float bottom, float top);

// One scale label, placed with its text cell's top-left corner at (x, y).
struct ScaleLabel {
  std::string text;
  bool bold = false;
  int32_t x = 0;
  int32_t y = 0;
};

// Width in pixels of a label text in the normal or bold font.
using LabelWidth = std::function<int32_t(std::string_view text, bool bold)>;

// The bottom and top labels of the scale sets the kind shows, in drawing
// order, right-aligned 3 pixels from W but never left of Lmin; the labels of
// the active set (GridFor) are bold. `text_height` is the font's height.
std::vector<ScaleLabel> LayoutScaleLabels(const SettingsStore& settings, int32_t kind,
                                          const ProfileGeometry& geometry, int32_t text_height,
                                          const LabelWidth& width_of);

// The bottom, top and factor of the scale set GridFor names (0, 1 or 2;
// any other value reads as set 0).
struct ScaleSetValues {
  float bottom = 0.0f;
  float top = 0.0f;
  float factor = 0.0f;
};
ScaleSetValues ScaleSetOf(const SettingsStore& settings, int32_t set);

}  // namespace tq
