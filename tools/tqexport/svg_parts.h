// The pieces the SVG drawings share: which quantity each channel measures
// and how the logger draws its trace, the per-column decimation that keeps
// a trace's spikes in fixed memory, round axis steps, the local metric
// projection of GPS positions, the colour scale, SVG text, and one pass over
// the records of a file.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "survey/record_reader.h"
#include "tools/tqexport/export_rows.h"

namespace tq::exporter {

// What a channel measures, and so which scale of the drawing it goes on.
enum class Quantity : uint8_t { kConductivity, kInphase, kThickness, kSecondValue };
inline constexpr size_t kQuantityCount = 4;

// "Conductivity", "Inphase", "Ice thickness", "Second value".
const char* QuantityName(Quantity quantity);
// "mS/m", "ppt", "m", "m".
const char* QuantityUnit(Quantity quantity);

// One channel as a trace: its column label, what it measures, and the pen
// of its trace slot in the kind's default settings.
struct ChannelTrace {
  size_t channel = 0;
  const char* label = "";
  Quantity quantity = Quantity::kConductivity;
  uint32_t color = 0;  // 0x00BBGGRR, as the settings hold it
  int32_t width = 1;   // pixels
};

// The traces of a file's channels (ChannelColumnsFor), in slot order.
std::vector<ChannelTrace> ChannelTracesFor(const StoredHeader& header);

// "#rrggbb" of a colour held as 0x00BBGGRR.
std::string SvgColour(uint32_t color);

// The column 0..columns-1 of `value` on a scale from `lo` to `hi` split into
// `columns` equal columns; values outside go to the first or last column.
int32_t ColumnOf(double value, double lo, double hi, int32_t columns);

// One trace reduced to what a pixel column can show: per column the first,
// lowest, highest and last value in the order they were added, so a spike
// of a single reading survives however many readings share its column.
// Memory is fixed by the column count.
class ColumnTrace {
 public:
  explicit ColumnTrace(int32_t columns) : columns_(static_cast<size_t>(columns)) {}
  // Takes a value in column `column` (outside 0..columns-1: ignored).
  void Add(int32_t column, float value);
  struct Point {
    int32_t column = 0;
    float value = 0.0f;
  };
  // The points to join, column by column: first, then the lowest and the
  // highest in the order they came, then last, each only where it differs
  // from the point before it.
  std::vector<Point> Points() const;
  void Clear();

 private:
  struct Column {
    float first = 0.0f;
    float low = 0.0f;
    float high = 0.0f;
    float last = 0.0f;
    bool low_first = true;  // the lowest came before the highest
    bool used = false;
  };
  std::vector<Column> columns_;
};

// An axis from `lo` to `hi` with ticks every `step`.
struct Axis {
  double lo = 0.0;
  double hi = 1.0;
  double step = 1.0;
};

// The axis that covers `min`..`max` with at most about `intervals` steps of
// 1, 2 or 5 times a power of ten, its ends on whole steps. An empty or
// inverted range is widened around its value.
Axis RoundAxis(double min, double max, int32_t intervals);

// Decimals that show every tick of a step (0.25 -> 2, 20 -> 0).
int32_t DecimalsForStep(double step);

// `value` with `decimals` decimals, in the C locale; never "-0".
std::string FixedText(double value, int32_t decimals);

// The lowest and highest of the values seen; empty until the first.
struct ValueRange {
  double min = 0.0;
  double max = 0.0;
  bool seen = false;
  void Add(double value) {
    if (!seen || value < min) min = value;
    if (!seen || value > max) max = value;
    seen = true;
  }
};

// Mean radius of the Earth in metres.
inline constexpr double kEarthRadiusM = 6371008.8;

// A position in metres east (x) and north (y) of a centre.
struct LocalMetres {
  double x = 0.0;
  double y = 0.0;
};

// The equirectangular projection about (lat0, lon0), degrees: x = R dlon
// cos(lat0), y = R dlat, with dlon the short way round; equal scale on both
// axes near the centre.
LocalMetres ProjectLocal(double lat0, double lon0, double latitude, double longitude);

// `longitude` minus `reference`, degrees, the short way round (-180..180).
double LongitudeOffset(double longitude, double reference);

// The longest round length (1, 2 or 5 times a power of ten) of at most
// `max_metres`; 0 when `max_metres` is not above 0.
double ScaleBarMetres(double max_metres);

// "200 m", "1 km", "0.5 m".
std::string DistanceText(double metres);

// The colour of `t` (0..1, held inside) on a scale from dark blue-violet
// through teal and green to yellow, which stays readable in grey.
uint32_t ScaleColour(double t);

// Appends data-file text (8-bit characters) as SVG character data: UTF-8,
// markup characters escaped, control characters as "?".
void AppendSvgText(std::string_view text, std::string& out);

// Appends a file name as SVG character data: as it stands when it is
// UTF-8, else byte by byte as AppendSvgText does.
void AppendSvgFileName(std::string_view name, std::string& out);

// The font family every drawing's text names (Debian's fonts-dejavu-core).
inline constexpr const char* kSvgFont = "DejaVu Sans";

// Appends `value` with one decimal: a coordinate on the page.
void AppendCoordinate(double value, std::string& out);

// Appends ` name="value"` with a coordinate value.
void AppendAttribute(const char* name, double value, std::string& out);

// Appends the start of a document: the XML declaration, the <svg> element
// of a page `width` by `height` (its viewBox the same), its <title> `title`
// (SVG character data) and a white background.
void AppendSvgStart(double width, double height, std::string_view title, std::string& out);

// Appends a <text> element at (x, y) in kSvgFont of `size` pixels, anchored
// `anchor`, holding `svg_text` (already SVG character data); `extra` is
// further attributes as they stand.
void AppendText(double x, double y, const char* anchor, int size, std::string_view svg_text,
                std::string& out, const char* extra = "");

// The date and time of a "Z" record, "YYYY-MM-DD HH:MM:SS"; nullopt when
// the record holds no valid date.
std::optional<std::string> LineDateOf(std::span<const uint8_t> record);

// The text of `field` in `record` ("L" names, "C" comments), trailing
// spaces removed.
std::string FieldTextOf(std::span<const uint8_t> record, RecordField field);

// Reads the body records of a file once, forwards. `on_record` sees each
// record and the row builder right after the builder took it; `on_row` each
// reading row once its position is settled (at once without positions);
// `progress` the count of records read now and then. The ranges passed over
// as damage go to `skipped` when given. False when reading failed.
struct SurveyPass {
  std::function<void(std::span<const uint8_t> record, const RowBuilder& rows)> on_record;
  std::function<void(const ExportRow& row)> on_row;
  std::function<void(int64_t records)> progress;
};
bool PassOverSurvey(RecordCursor& cursor, const StoredHeader& header, bool positions,
                    const SurveyPass& pass, std::vector<SkippedRange>* skipped);

}  // namespace tq::exporter
