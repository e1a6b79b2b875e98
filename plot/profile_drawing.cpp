#include "plot/profile_drawing.h"

#include <array>

#include "shell/shell_state.h"
#include "plot/profile_traces.h"
#include "settings/build_config.h"
#include "settings/settings.h"

namespace tq {

ProfileGeometry CurrentProfileGeometry() {
  return ProfileGeometryFor(Shell.Portrait, Shell.PlotRight, Settings.PlotHeight);
}

void DrawProfileGrid(DcHandle dc, bool labels, float bottom, float top, float factor) {
  const ProfileGeometry g = CurrentProfileGeometry();
  const GridTable grid = ComputeGridTable(bottom, top, factor, g.height);
  SelectPen(dc, CreatePen(PS_SOLID, grid.main_width, kGridLineColor));
  MoveTo(dc, 0, grid.y[0]);
  LineTo(dc, g.width, grid.y[0]);
  SelectPen(dc, CreatePen(PS_SOLID, 1, kGridLineColor));
  for (int32_t i = 1; i < grid.count; ++i) {
    MoveTo(dc, 0, grid.y[static_cast<size_t>(i)]);
    LineTo(dc, g.width, grid.y[static_cast<size_t>(i)]);
  }
  SelectPen(dc, CreatePen(PS_SOLID, 1, Rgb(0, 0, 0)));
  if (!labels) return;

  const Font normal = Shell.NormalFont;
  const Font bold = Shell.BoldFont;
  const int32_t text_height = MeasureFont(normal).height;
  auto width_of = [&](std::string_view text, bool is_bold) {
    return static_cast<int32_t>(MeasureText(is_bold ? bold : normal, text).cx);
  };
  for (const ScaleLabel& label :
       LayoutScaleLabels(Settings, Build().InstrumentKind, g, text_height, width_of)) {
    SelectFont(dc, label.bold ? bold : normal);
    TextOut(dc, label.x, label.y, label.text);
  }
  SelectFont(dc, normal);
}

void DrawTraceSegment(WindowHandle window, std::span<const Point> points, size_t first,
                      size_t last, size_t trace) {
  if (first >= last || last > points.size() || trace >= kProfileChannelCount) return;
  DcHandle dc = GetDC(window);
  if (dc == nullptr) return;
  TracePen pen = TracePenOf(Settings, trace);
  SelectPen(dc, CreatePen(PS_SOLID, pen.width, pen.color));
  if (last - first == 1) {
    std::array<Point, 2> twice = {points[first], points[first]};
    Polyline(dc, twice);
  } else {
    Polyline(dc, points.subspan(first, last - first));
  }
  ReleaseDC(window, dc);
}

}  // namespace tq
