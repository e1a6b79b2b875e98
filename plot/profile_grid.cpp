#include "plot/profile_grid.h"

#include <cmath>
#include <utility>

#include "instrument/decoding_profile.h"
#include "instrument/decoding_text.h"

namespace tq {
namespace {

constexpr int32_t kLastGridPosition = 9;
constexpr int32_t kLabelRightMargin = 3;
// A ratio this large only ever means "more than four": it keeps an infinite
// ratio (a zero line on the very edge) away from an integer conversion.
constexpr float kRatioLimit = 1000.0f;

int32_t Truncate(float v) {
  if (!(v > -1.0e6f)) return -1000000;
  if (!(v < 1.0e6f)) return 1000000;
  return static_cast<int32_t>(v);
}

GridTable PlainGrid(int32_t height) {
  GridTable grid;
  grid.count = 4;
  constexpr std::array<double, 4> kShares = {0.2, 0.4, 0.6, 0.8};
  for (size_t i = 0; i < kShares.size(); ++i) {
    grid.y[i] = static_cast<int32_t>(height - kShares[i] * (height + 1));
  }
  return grid;
}

// numerator / denominator, with a zero denominator read as "very large".
float Ratio(int32_t numerator, int32_t denominator) {
  if (denominator <= 0) return kRatioLimit;
  float ratio = static_cast<float>(numerator) / static_cast<float>(denominator);
  return ratio < kRatioLimit ? ratio : kRatioLimit;
}

std::string FormatLabel(float value, int precision) {
  FieldText text;
  text.AppendFixed(value, precision, 0, false);
  return std::string(text.view());
}

}  // namespace

ProfileGeometry ProfileGeometryFor(int32_t portrait, int32_t plot_right, int32_t plot_height) {
  ProfileGeometry g;
  g.width = plot_right;
  g.height = plot_height;
  g.newest_x = portrait ? 200 : 270;
  g.label_min_x = portrait ? 202 : 272;
  return g;
}

GridTable ComputeGridTable(float bottom, float top, float factor, int32_t height) {
  if (!(bottom < 0.0f && top > 0.0f)) return PlainGrid(height);
  const int32_t y0 = Truncate(top * factor);
  float ratio = 0.0f;
  float larger = 0.0f;
  float smaller = 0.0f;
  if (y0 < height / 2) {
    ratio = Ratio(height - y0, y0);
    larger = std::fabs(bottom);
    smaller = std::fabs(top);
  } else {
    ratio = Ratio(y0, height - y0);
    larger = std::fabs(top);
    smaller = std::fabs(bottom);
  }
  const int32_t n = static_cast<int32_t>(ratio + 0.5f);
  if (n <= 0) return PlainGrid(height);
  float step = 0.0f;
  if (n > 4) {
    step = larger / 5.0f;
  } else if (n == 1) {
    step = smaller / 4.0f;
  } else {
    step = larger / static_cast<float>(n);
  }

  GridTable grid;
  grid.main_width = 2;
  grid.y[0] = y0;
  int32_t i = 2;
  for (; i != kLastGridPosition + 1; ++i) {
    int32_t y = Truncate((top - step * static_cast<float>(i - 1)) * factor);
    if (y <= 0) break;
    grid.y[static_cast<size_t>(i - 1)] = y;
  }
  for (int32_t k = 1; i != kLastGridPosition + 1; ++k, ++i) {
    int32_t y = Truncate((top + step * static_cast<float>(k)) * factor);
    if (y >= height) break;
    grid.y[static_cast<size_t>(i - 1)] = y;
  }
  grid.count = i - 1;
  return grid;
}

int32_t ScrollMainLineWidth(float bottom, float top) {
  return (bottom < 0.0f && top > 0.0f) ? 2 : 1;
}

ScaleSetValues ScaleSetOf(const SettingsStore& s, int32_t set) {
  switch (set) {
    case 1:
      return {s.InphaseScaleMin, s.InphaseScaleMax, s.InphasePixelsPerUnit};
    case 2:
      return {s.IceScaleMin, s.IceScaleMax, s.IcePixelsPerUnit};
    default:
      return {s.CondScaleMin, s.CondScaleMax, s.CondPixelsPerUnit};
  }
}

std::vector<ScaleLabel> LayoutScaleLabels(const SettingsStore& s, int32_t kind,
                                          const ProfileGeometry& g, int32_t text_height,
                                          const LabelWidth& width_of) {
  std::vector<ScaleLabel> labels;
  auto add = [&](float value, int precision, bool bold, int32_t y) {
    ScaleLabel label{FormatLabel(value, precision), bold, 0, y};
    int32_t x = g.width - (width_of(label.text, bold) + kLabelRightMargin);
    label.x = x < g.label_min_x ? g.label_min_x : x;
    labels.push_back(std::move(label));
  };
  const bool ice_shown = IceThicknessShown(s, kind);
  const int32_t h = text_height;
  bool first_group = false;
  if (s.Component != 1) {
    first_group = true;
    if (ice_shown) {
      add(s.IceScaleMin, 1, true, g.height - h - 1);
      add(s.IceScaleMax, 1, true, 0);
    } else {
      int precision = kind == kKindFrz62 ? 1 : 0;
      bool bold = s.GridFor == 0;
      add(s.CondScaleMin, precision, bold, g.height - h - 1);
      add(s.CondScaleMax, precision, bold, 0);
    }
  }
  if (s.Component != 2 && !ice_shown) {
    int32_t k = first_group ? 2 : 1;
    bool bold = s.GridFor == 1;
    add(s.InphaseScaleMin, 0, bold, g.height - (h + 1) * k);
    add(s.InphaseScaleMax, 0, bold, (k - 1) * (h + 2));
  }
  return labels;
}

}  // namespace tq
