#include "tools/tqexport/svg_parts.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <numbers>

#include "settings/build_config.h"
#include "settings/settings.h"
#include "tools/tqexport/export_columns.h"
#include "tools/tqexport/survey_clock.h"
#include "tools/tqexport/text_out.h"

namespace tq::exporter {
namespace {

constexpr int32_t kMinPenWidth = 1;
constexpr int32_t kMaxPenWidth = 4;
constexpr int64_t kProgressEvery = 1 << 16;  // records
// Relative slack when a floating-point quotient should land on a whole number.
constexpr double kSlack = 1e-9;

Quantity QuantityOf(int32_t kind, size_t slot) {
  switch (kind) {
    case kKindTq64: return Quantity::kConductivity;  // six coil geometries
    case kKindTq93: return slot == 0 ? Quantity::kConductivity : Quantity::kSecondValue;
    case kKindFrz62: return slot == 0 ? Quantity::kThickness : Quantity::kInphase;
    case kKindTq62:
      if (slot == 4) return Quantity::kThickness;
      [[fallthrough]];
    default:
      // C/V, C/H, I/V, I/H, and on the TQ68-MK2 the same four again for
      // its second coil pair.
      return slot % 4 < 2 ? Quantity::kConductivity : Quantity::kInphase;
  }
}

// The power of ten at or just below `value` (> 0).
double PowerOfTenBelow(double value) {
  double p = std::pow(10.0, std::floor(std::log10(value)));
  // log10 of an exact power of ten may land a hair low or high.
  if (p * 10.0 <= value * (1.0 + kSlack)) p *= 10.0;
  if (p > value * (1.0 + kSlack)) p /= 10.0;
  return p;
}

}  // namespace

const char* QuantityName(Quantity quantity) {
  switch (quantity) {
    case Quantity::kConductivity: return "Conductivity";
    case Quantity::kInphase: return "Inphase";
    case Quantity::kThickness: return "Ice thickness";
    case Quantity::kSecondValue: return "Second value";
  }
  return "";
}

const char* QuantityUnit(Quantity quantity) {
  switch (quantity) {
    case Quantity::kConductivity: return "mS/m";
    case Quantity::kInphase: return "ppt";
    case Quantity::kThickness:
    case Quantity::kSecondValue: return "m";
  }
  return "";
}

std::vector<ChannelTrace> ChannelTracesFor(const StoredHeader& header) {
  // The pens a logger of this kind starts with.
  SettingsStore settings;
  ApplyKindDefaults(settings, BuildConfig{header.kind, 1, 0});
  std::vector<ChannelTrace> traces;
  for (const ChannelColumn& column : ChannelColumnsFor(header)) {
    traces.push_back({column.channel, column.label, QuantityOf(header.kind, column.channel),
                      settings.TraceColor[column.channel],
                      std::clamp(settings.TraceThickness[column.channel], kMinPenWidth,
                                 kMaxPenWidth)});
  }
  return traces;
}

std::string SvgColour(uint32_t color) {
  char text[8];
  std::snprintf(text, sizeof text, "#%02x%02x%02x", color & 0xFFu, (color >> 8) & 0xFFu,
                (color >> 16) & 0xFFu);
  return text;
}

int32_t ColumnOf(double value, double lo, double hi, int32_t columns) {
  if (columns <= 0 || !(hi > lo)) return 0;
  const double at = (value - lo) / (hi - lo) * columns;
  if (!(at >= 0.0)) return 0;
  if (at >= columns) return columns - 1;
  return static_cast<int32_t>(at);
}

void ColumnTrace::Add(int32_t column, float value) {
  if (column < 0 || static_cast<size_t>(column) >= columns_.size() || !std::isfinite(value)) {
    return;
  }
  Column& c = columns_[static_cast<size_t>(column)];
  if (!c.used) {
    c = {value, value, value, value, true, true};
    return;
  }
  c.last = value;
  if (value < c.low) {
    c.low = value;
    c.low_first = false;
  }
  if (value > c.high) {
    c.high = value;
    c.low_first = true;
  }
}

std::vector<ColumnTrace::Point> ColumnTrace::Points() const {
  std::vector<Point> points;
  for (size_t i = 0; i < columns_.size(); ++i) {
    const Column& c = columns_[i];
    if (!c.used) continue;
    const auto column = static_cast<int32_t>(i);
    const std::array<float, 4> order = {c.first, c.low_first ? c.low : c.high,
                                        c.low_first ? c.high : c.low, c.last};
    points.push_back({column, order[0]});
    for (size_t k = 1; k < order.size(); ++k) {
      if (order[k] != points.back().value) points.push_back({column, order[k]});
    }
  }
  return points;
}

void ColumnTrace::Clear() {
  for (Column& c : columns_) c.used = false;
}

Axis RoundAxis(double min, double max, int32_t intervals) {
  if (!std::isfinite(min) || !std::isfinite(max)) return {};
  if (max < min) std::swap(min, max);
  if (max == min) {
    const double pad = min != 0.0 ? std::fabs(min) * 0.1 : 1.0;
    min -= pad;
    max += pad;
  }
  const double raw = (max - min) / std::max(intervals, 1);
  const double power = PowerOfTenBelow(raw);
  double step = 10.0 * power;
  for (const double m : {1.0, 2.0, 5.0}) {
    if (m * power >= raw * (1.0 - kSlack)) {
      step = m * power;
      break;
    }
  }
  return {std::floor(min / step + kSlack) * step, std::ceil(max / step - kSlack) * step, step};
}

int32_t DecimalsForStep(double step) {
  constexpr int32_t kMostDecimals = 6;
  double scaled = std::fabs(step);
  for (int32_t decimals = 0; decimals < kMostDecimals; ++decimals) {
    if (std::fabs(scaled - std::round(scaled)) <= 1e-6 * std::max(1.0, scaled)) return decimals;
    scaled *= 10.0;
  }
  return kMostDecimals;
}

std::string FixedText(double value, int32_t decimals) {
  TextOut text;
  text.PutFixed(value, decimals);
  std::string out = text.text();
  if (out.starts_with('-') && out.find_first_not_of("-0.") == std::string::npos) out.erase(0, 1);
  return out;
}

double LongitudeOffset(double longitude, double reference) {
  double d = std::fmod(longitude - reference, 360.0);
  if (d > 180.0) d -= 360.0;
  if (d < -180.0) d += 360.0;
  return d;
}

LocalMetres ProjectLocal(double lat0, double lon0, double latitude, double longitude) {
  constexpr double kRadians = std::numbers::pi / 180.0;
  return {kEarthRadiusM * LongitudeOffset(longitude, lon0) * kRadians * std::cos(lat0 * kRadians),
          kEarthRadiusM * (latitude - lat0) * kRadians};
}

double ScaleBarMetres(double max_metres) {
  if (!(max_metres > 0.0) || !std::isfinite(max_metres)) return 0.0;
  const double power = PowerOfTenBelow(max_metres);
  for (const double m : {5.0, 2.0}) {
    if (m * power <= max_metres * (1.0 + kSlack)) return m * power;
  }
  return power;
}

std::string DistanceText(double metres) {
  return metres >= 1000.0 ? PlainNumber(metres / 1000.0) + " km" : PlainNumber(metres) + " m";
}

uint32_t ScaleColour(double t) {
  // Nine stops from violet through blue, teal and green to yellow; the
  // lightness rises steadily, so the order survives a grey print.
  static constexpr std::array<std::array<int, 3>, 9> kStops = {{{68, 1, 84},
                                                                {71, 45, 123},
                                                                {59, 82, 139},
                                                                {44, 114, 142},
                                                                {33, 145, 140},
                                                                {40, 174, 128},
                                                                {94, 201, 98},
                                                                {173, 220, 48},
                                                                {253, 231, 37}}};
  if (!(t >= 0.0)) t = 0.0;
  if (t > 1.0) t = 1.0;
  const double at = t * (kStops.size() - 1);
  const size_t i = std::min(static_cast<size_t>(at), kStops.size() - 2);
  const double f = at - static_cast<double>(i);
  uint32_t color = 0;
  for (size_t c = 0; c < 3; ++c) {
    const double v = kStops[i][c] + (kStops[i + 1][c] - kStops[i][c]) * f;
    color |= static_cast<uint32_t>(std::lround(v)) << (8 * c);
  }
  return color;
}

void AppendSvgText(std::string_view text, std::string& out) {
  for (char c : text) {
    switch (c) {
      case '&': out.append("&amp;"); break;
      case '<': out.append("&lt;"); break;
      case '>': out.append("&gt;"); break;
      case '"': out.append("&quot;"); break;
      default:
        // XML has no place for control characters, escaped or not.
        if (static_cast<uint8_t>(c) < 0x20 || c == 0x7F) {
          out.push_back('?');
        } else {
          AppendUtf8(std::string_view(&c, 1), out);
        }
    }
  }
}

void AppendSvgFileName(std::string_view name, std::string& out) {
  // Whole UTF-8 sequences only: a lone or cut sequence would make the
  // document unreadable.
  for (size_t i = 0; i < name.size();) {
    const auto lead = static_cast<uint8_t>(name[i]);
    const size_t length = lead < 0x80 ? 1 : lead >= 0xC2 && lead < 0xE0 ? 2
                                          : lead >= 0xE0 && lead < 0xF0 ? 3
                                          : lead >= 0xF0 && lead < 0xF5 ? 4
                                                                        : 0;
    bool whole = length > 0 && i + length <= name.size();
    for (size_t k = 1; whole && k < length; ++k) {
      whole = (static_cast<uint8_t>(name[i + k]) & 0xC0) == 0x80;
    }
    if (!whole) {
      AppendSvgText(name, out);
      return;
    }
    i += length;
  }
  for (char c : name) {
    if (static_cast<uint8_t>(c) >= 0x80) {
      out.push_back(c);
    } else {
      AppendSvgText(std::string_view(&c, 1), out);
    }
  }
}

std::optional<std::string> LineDateOf(std::span<const uint8_t> record) {
  const std::optional<LocalMs> time = DateTimeOf(record);
  if (!time) return std::nullopt;
  std::string text;
  AppendLocalTime(*time, text);  // "YYYY-MM-DDTHH:MM:SS.mmm"
  text.resize(19);
  text[10] = ' ';
  return text;
}

std::string FieldTextOf(std::span<const uint8_t> record, RecordField field) {
  std::string_view text = RecordText(record, field.at).substr(0, field.width);
  const size_t end = text.find_last_not_of(" \n");
  return std::string(end == std::string_view::npos ? std::string_view() : text.substr(0, end + 1));
}

bool PassOverSurvey(RecordCursor& cursor, const StoredHeader& header, bool positions,
                    const SurveyPass& pass, std::vector<SkippedRange>* skipped) {
  RowBuilder rows(header, positions);
  auto take_rows = [&] {
    while (std::optional<ExportRow> row = rows.TakeRow()) {
      if (pass.on_row) pass.on_row(*row);
    }
  };
  cursor.Seek(kFirstBodyRecord);
  int64_t index = kFirstBodyRecord;
  while (const std::optional<std::span<const uint8_t>> record = cursor.Next()) {
    if (cursor.skipped()) {
      if (skipped != nullptr) skipped->push_back(*cursor.skipped());
      rows.Skip(*cursor.skipped());
    }
    rows.Feed(*record, index);
    if (pass.on_record) pass.on_record(*record, rows);
    take_rows();
    if (++index % kProgressEvery == 0 && pass.progress) pass.progress(index);
  }
  if (cursor.skipped() && skipped != nullptr) skipped->push_back(*cursor.skipped());
  rows.Finish();
  take_rows();
  return !cursor.failed();
}

void AppendCoordinate(double value, std::string& out) { out.append(FixedText(value, 1)); }

void AppendAttribute(const char* name, double value, std::string& out) {
  out.append(" ").append(name).append("=\"");
  AppendCoordinate(value, out);
  out.push_back('"');
}

void AppendSvgStart(double width, double height, std::string_view title, std::string& out) {
  out.append("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n");
  out.append("<svg xmlns=\"http://www.w3.org/2000/svg\" version=\"1.1\"");
  AppendAttribute("width", width, out);
  AppendAttribute("height", height, out);
  out.append(" viewBox=\"0 0 ");
  AppendCoordinate(width, out);
  out.push_back(' ');
  AppendCoordinate(height, out);
  out.append("\">\n<title>").append(title).append("</title>\n");
  out.append("<rect x=\"0\" y=\"0\"");
  AppendAttribute("width", width, out);
  AppendAttribute("height", height, out);
  out.append(" fill=\"#ffffff\"/>\n");
}

void AppendText(double x, double y, const char* anchor, int size, std::string_view svg_text,
                std::string& out, const char* extra) {
  out.append("<text");
  AppendAttribute("x", x, out);
  AppendAttribute("y", y, out);
  out.append(" font-family=\"").append(kSvgFont).append("\" font-size=\"");
  out.append(std::to_string(size)).append("\" text-anchor=\"").append(anchor).append("\"");
  out.append(extra).append(">").append(svg_text).append("</text>\n");
}

}  // namespace tq::exporter
