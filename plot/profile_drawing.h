// Drawing of a profile chart's grid, labels and trace runs, shared by the
// live profile and the file viewer's profile window. User-interface thread only.
#pragma once

#include <cstddef>
#include <span>

#include "platform/drawing.h"
#include "platform/window_types.h"
#include "plot/profile_grid.h"

namespace tq {

// Grid lines are light grey, so traces of any colour stay readable over them.
inline constexpr ColorRef kGridLineColor = Rgb(192, 192, 192);

// The chart geometry of the current layout (Shell and Settings.PlotHeight).
ProfileGeometry CurrentProfileGeometry();

// Computes the grid of the scale from `bottom` to `top` at `factor` and draws
// its lines across the chart; with `labels`, also the scale labels of the
// kind's sets (Settings, Build()). The normal font is selected at the end.
void DrawProfileGrid(DcHandle dc, bool labels, float bottom, float top, float factor);

// Draws points[first, last) of trace `trace` as one polyline with the trace's
// colour and width, through a context of its own; a single point is drawn as
// that point twice. Nothing happens for an empty or out-of-range run.
void DrawTraceSegment(WindowHandle window, std::span<const Point> points, size_t first,
                      size_t last, size_t trace);

}  // namespace tq
