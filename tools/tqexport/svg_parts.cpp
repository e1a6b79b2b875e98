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
constexpr int32_t kPrintPenWidth = 2;
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

// The print pens by channel label, 0x00BBGGRR. A label means one quantity
// whatever the kind, so it keeps its colour in every file; the labels that
// share a colour never share a file. Each colour is at least 3:1 against
// white, and the traces of one kind are far apart in colour (CIELAB): the
// logger's own pens put yellow and light green, hard to see on paper, and
// magenta twice into one panel.
struct PrintPen {
  std::string_view label;
  uint32_t color;
};
constexpr uint32_t kBlue = 0xD65F1F;     // #1f5fd6
constexpr uint32_t kOrange = 0x025FD9;   // #d95f02
constexpr uint32_t kGreen = 0x3A8A1B;    // #1b8a3a
constexpr uint32_t kRed = 0x2E10C8;      // #c8102e
constexpr uint32_t kPurple = 0xB8309B;   // #9b30b8
constexpr uint32_t kBrown = 0x1E5A8C;    // #8c5a1e
constexpr uint32_t kTeal = 0x8F8300;     // #00838f
constexpr uint32_t kMagenta = 0x7A18C2;  // #c2187a
constexpr uint32_t kDarkGrey = 0x333333; // #333333
constexpr PrintPen kPrintPens[] = {
    // TQ68-MK2: the first coil pair, then the second.
    {"C/V-1m", kBlue}, {"C/H-1m", kOrange}, {"I/V-1m", kGreen}, {"I/H-1m", kRed},
    {"C/V-0.5m", kPurple}, {"C/H-0.5m", kBrown}, {"I/V-0.5m", kTeal}, {"I/H-0.5m", kMagenta},
    // The single-pair kinds as the first pair; ice thickness on its own.
    {"C/V", kBlue}, {"C/H", kOrange}, {"I/V", kGreen}, {"I/H", kRed}, {"Th", kDarkGrey},
    // TQ64-3: the coil separations in the order of the second pair's hues.
    {"V-10m", kBlue}, {"V-20m", kPurple}, {"V-40m", kTeal},
    {"H-10m", kOrange}, {"H-20m", kBrown}, {"H-40m", kMagenta},
    // TQ93 and FRZ62.
    {"C", kBlue}, {"I", kTeal}, {"I/P", kGreen},
};

uint32_t PrintColourOf(std::string_view label) {
  for (const PrintPen& pen : kPrintPens) {
    if (pen.label == label) return pen.color;
  }
  return 0;  // black: a label this table does not know yet still reads
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

std::vector<ChannelTrace> ChannelTracesFor(const StoredHeader& header, TracePens pens) {
  // The pens a logger of this kind starts with.
  SettingsStore settings;
  ApplyKindDefaults(settings, BuildConfig{header.kind, 1, 0});
  std::vector<ChannelTrace> traces;
  for (const ChannelColumn& column : ChannelColumnsFor(header)) {
    ChannelTrace trace{column.channel, column.label, QuantityOf(header.kind, column.channel),
                       PrintColourOf(column.label), kPrintPenWidth, header.kind == kKindTq93};
    if (pens == TracePens::kLogger) {
      trace.color = settings.TraceColor[column.channel];
      trace.width = std::clamp(settings.TraceThickness[column.channel], kMinPenWidth,
                               kMaxPenWidth);
    }
    traces.push_back(trace);
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

void ColumnTrace::Add(int32_t column, float value, bool joins) {
  if (column < 0 || static_cast<size_t>(column) >= columns_.size() || !std::isfinite(value)) {
    return;
  }
  if (joins && last_column_) {
    for (int32_t k = std::min(*last_column_, column); k < std::max(*last_column_, column); ++k) {
      columns_[static_cast<size_t>(k)].joins_next = true;
    }
  }
  last_column_ = column;
  Column& c = columns_[static_cast<size_t>(column)];
  if (!c.used) {
    const bool joins_next = c.joins_next;
    c = {value, value, value, value, true, true, joins_next};
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
  std::optional<size_t> before;  // the used column before
  bool joined = false;           // every border since `before` was joined
  for (size_t i = 0; i < columns_.size(); ++i) {
    const Column& c = columns_[i];
    if (c.used) {
      const auto column = static_cast<int32_t>(i);
      const std::array<float, 4> order = {c.first, c.low_first ? c.low : c.high,
                                          c.low_first ? c.high : c.low, c.last};
      points.push_back({column, order[0], !(before && joined)});
      for (size_t k = 1; k < order.size(); ++k) {
        if (order[k] != points.back().value) points.push_back({column, order[k], false});
      }
      before = i;
      joined = true;
    }
    joined = joined && c.joins_next;
  }
  return points;
}

void ColumnTrace::Clear() {
  for (Column& c : columns_) c = Column{};
  last_column_.reset();
}

bool StationStepJoins(double from, double to, double increment) {
  const double step = std::fabs(to - from);
  // Stations are sums of increments read from text: allow for their rounding.
  return std::isfinite(step) && step <= 2.0 * std::fabs(increment) * (1.0 + 1e-6) + 1e-6;
}

bool TraceJoins::Take(size_t channel, double station, char dipole, double increment) {
  if (channel >= last_.size()) return false;
  Last& last = last_[channel];
  const bool joins = last.seen && last.epoch == epoch_ && last.dipole == dipole &&
                     StationStepJoins(last.station, station, increment);
  last = {station, epoch_, dipole, true};
  return joins;
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

double ShortestSpan(Quantity quantity) {
  return quantity == Quantity::kConductivity ? 1.0 : 0.1;
}

PlotScale PlotScaleFor(const ValueRange& range, double shortest, int32_t intervals) {
  double low = range.seen ? range.min : 0.0;
  double high = range.seen ? range.max : 1.0;
  if (high - low < shortest) {
    const double middle = (low + high) / 2.0;
    low = middle - shortest / 2.0;
    high = middle + shortest / 2.0;
  }
  PlotScale scale;
  scale.axis = RoundAxis(low, high, intervals);
  const double margin = (scale.axis.hi - scale.axis.lo) * kPlotMargin;
  scale.bottom = scale.axis.lo - margin;
  scale.top = scale.axis.hi + margin;
  return scale;
}

namespace {

// The histogram's bins: kBinsPerSign for each sign, from the smallest
// magnitude out, in kSubBins steps per power of two, and one for zero.
constexpr int kLowestExponent = -29;  // frexp exponent of 1e-9
constexpr int kHighestExponent = 40;  // of 1.1e12
constexpr size_t kSubBins = 64;       // a bin is 1/128 of a binade's top: 0.8..1.6 %
constexpr size_t kBinsPerSign =
    static_cast<size_t>(kHighestExponent - kLowestExponent + 1) * kSubBins;
constexpr double kZeroBelow = 1e-9;

// The bin of a magnitude of at least kZeroBelow, from 0 out.
size_t MagnitudeBin(double magnitude) {
  int exponent = 0;
  const double fraction = std::frexp(magnitude, &exponent);  // 0.5 <= fraction < 1
  if (exponent < kLowestExponent) return 0;
  if (exponent > kHighestExponent) return kBinsPerSign - 1;
  const auto sub = std::min(static_cast<size_t>((fraction - 0.5) * 2.0 * kSubBins), kSubBins - 1);
  return static_cast<size_t>(exponent - kLowestExponent) * kSubBins + sub;
}

// The magnitude at the lower edge of a magnitude bin.
double MagnitudeEdge(size_t bin) {
  const int exponent = kLowestExponent + static_cast<int>(bin / kSubBins);
  const double fraction = 0.5 + static_cast<double>(bin % kSubBins) / (2.0 * kSubBins);
  return std::ldexp(fraction, exponent);
}

}  // namespace

size_t ValueHistogram::BinOf(double value) const {
  if (std::fabs(value) < kZeroBelow) return kBinsPerSign;
  return value < 0.0 ? kBinsPerSign - 1 - MagnitudeBin(-value)
                     : kBinsPerSign + 1 + MagnitudeBin(value);
}

double ValueHistogram::LowEdge(size_t bin) const {
  if (bin == kBinsPerSign) return 0.0;
  if (bin < kBinsPerSign) return -MagnitudeEdge(kBinsPerSign - bin);
  return MagnitudeEdge(bin - kBinsPerSign - 1);
}

double ValueHistogram::HighEdge(size_t bin) const {
  if (bin == kBinsPerSign) return 0.0;
  if (bin < kBinsPerSign) return -MagnitudeEdge(kBinsPerSign - 1 - bin);
  return MagnitudeEdge(bin - kBinsPerSign);
}

void ValueHistogram::Add(double value) {
  if (!std::isfinite(value)) return;
  if (bins_.empty()) bins_.assign(2 * kBinsPerSign + 1, 0);
  ++bins_[BinOf(value)];
  seen_.Add(value);
  ++count_;
}

ValueRange ValueHistogram::Between(double low, double high) const {
  if (count_ == 0) return {};
  const auto rank = [this](double share) {
    const auto r = static_cast<int64_t>(std::ceil(share * static_cast<double>(count_) - 1e-9));
    return std::clamp<int64_t>(r, 1, count_);
  };
  const int64_t low_rank = rank(low);
  const int64_t high_rank = rank(high);
  ValueRange range;
  int64_t below = 0;
  for (size_t bin = 0; bin < bins_.size(); ++bin) {
    const int64_t through = below + bins_[bin];
    if (!range.seen && through >= low_rank) range.Add(std::max(LowEdge(bin), seen_.min));
    if (through >= high_rank) {
      range.Add(std::min(HighEdge(bin), seen_.max));
      break;
    }
    below = through;
  }
  return range;
}

void ValueHistogram::Clear() {
  std::fill(bins_.begin(), bins_.end(), 0);
  seen_ = {};
  count_ = 0;
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
      if (pass.on_skip) pass.on_skip(*cursor.skipped());
    }
    rows.Feed(*record, index);
    if (pass.on_record) pass.on_record(*record, rows);
    take_rows();
    if (++index % kProgressEvery == 0 && pass.progress) pass.progress(index);
  }
  if (cursor.skipped()) {
    if (skipped != nullptr) skipped->push_back(*cursor.skipped());
    if (pass.on_skip) pass.on_skip(*cursor.skipped());
  }
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
