// The pieces the SVG drawings share: which quantity each channel measures
// and the pen its trace is drawn with, the per-column decimation that keeps
// a trace's spikes and its breaks in fixed memory, when one reading of a
// channel joins the one before it, round axis steps and value scales, the
// local metric projection of GPS positions, the colour scale, SVG text, and
// one pass over the records of a file.
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

// One channel as a trace: its column label, what it measures, and its pen.
struct ChannelTrace {
  size_t channel = 0;
  const char* label = "";
  Quantity quantity = Quantity::kConductivity;
  uint32_t color = 0;  // 0x00BBGGRR, as the settings hold it
  int32_t width = 1;   // pixels
  // Readings of both dipoles fill the channel (the TQ93's), so a change of
  // dipole is a change of what it shows.
  bool dipoles_share = false;
};

// Which pens the traces get. kPrint: one colour per channel label, the same
// in every file, each at least 3:1 against white and the traces of a kind
// told apart at a glance. kLogger: the pens of the trace slots in the
// kind's default settings, as the logger's live profile draws them.
enum class TracePens : uint8_t { kPrint, kLogger };

// The traces of a file's channels (ChannelColumnsFor), in slot order.
std::vector<ChannelTrace> ChannelTracesFor(const StoredHeader& header,
                                           TracePens pens = TracePens::kPrint);

// "#rrggbb" of a colour held as 0x00BBGGRR.
std::string SvgColour(uint32_t color);

// The column 0..columns-1 of `value` on a scale from `lo` to `hi` split into
// `columns` equal columns; values outside go to the first or last column.
int32_t ColumnOf(double value, double lo, double hi, int32_t columns);

// One trace reduced to what a pixel column can show: per column the first,
// lowest, highest and last value in the order they were added, so a spike
// of a single reading survives however many readings share its column; and
// per column border whether two readings that followed each other joined
// across it, so a stretch without readings stays a gap. Memory is fixed by
// the column count.
class ColumnTrace {
 public:
  explicit ColumnTrace(int32_t columns) : columns_(static_cast<size_t>(columns)) {}
  // Takes a value in column `column` (outside 0..columns-1, or not finite:
  // ignored). `joins`: the value follows the one added before it without a
  // stretch where the channel had none, so the columns between are joined.
  void Add(int32_t column, float value, bool joins);
  struct Point {
    int32_t column = 0;
    float value = 0.0f;
    bool starts_piece = false;  // no joined readings link it to the point before
  };
  // The points to draw, column by column: first, then the lowest and the
  // highest in the order they came, then last, each only where it differs
  // from the point before it. A column starts a new piece unless every
  // border between it and the used column before it was joined.
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
    bool joins_next = false;  // joined readings lie on both sides of its right border
  };
  std::vector<Column> columns_;
  std::optional<int32_t> last_column_;  // of the value added last
};

// True when a reading at `to` joins one of the same channel at `from` on
// a line whose stations step by `increment`: at most two increments apart,
// so readings that take turns with the other dipole still join.
bool StationStepJoins(double from, double to, double increment);

// Tells, reading by reading, whether a channel's value joins its previous
// one: not across damage passed over or the start or end of a logging run
// (Interrupt), a change of `dipole` (given only for channels that both
// dipoles fill), or a station step that StationStepJoins refuses.
class TraceJoins {
 public:
  void Interrupt() { ++epoch_; }
  // Takes the channel's reading at `station` of `dipole` (0: the channel
  // holds one dipole's readings); true when it joins the channel's reading
  // before it.
  bool Take(size_t channel, double station, char dipole, double increment);

 private:
  struct Last {
    double station = 0.0;
    uint64_t epoch = 0;
    char dipole = 0;
    bool seen = false;
  };
  std::array<Last, kProfileChannelCount> last_{};
  uint64_t epoch_ = 0;
};

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

// The values at the bottom and top edge of a plot and its round ticks
// between them.
struct PlotScale {
  Axis axis;
  double bottom = 0.0;
  double top = 1.0;
};

// Share of the tick span left free beyond each end tick, so values at the
// ends are not drawn on the plot's frame.
inline constexpr double kPlotMargin = 0.05;

// The scale of a plot of `range`: widened about its middle to at least
// `shortest` (a line that hardly varies is not blown up to fill the plot),
// then rounded out to about `intervals` ticks with kPlotMargin beyond them.
// Without a range, 0..1.
PlotScale PlotScaleFor(const ValueRange& range, double shortest, int32_t intervals);

// The shortest span a plot of `quantity` shows: 1 mS/m, 0.1 ppt, 0.1 m.
double ShortestSpan(Quantity quantity);

// Counts values in bins of at most 1.6 % of their size (between 1e-9 and
// about 1e12 either side of zero; smaller ones count as zero, larger ones
// go to the outermost bins), so the percentiles of any number of values
// come out in fixed memory.
class ValueHistogram {
 public:
  void Add(double value);
  int64_t count() const { return count_; }
  // The range from the bin edge below the value of rank ceil(low x n) to the
  // edge above the value of rank ceil(high x n) (nearest-rank percentiles,
  // widened to their bins), held within the lowest and highest value seen.
  // Empty when nothing was added.
  ValueRange Between(double low, double high) const;
  void Clear();

 private:
  size_t BinOf(double value) const;
  double LowEdge(size_t bin) const;
  double HighEdge(size_t bin) const;

  std::vector<uint32_t> bins_;
  ValueRange seen_;
  int64_t count_ = 0;
};

// Decimals that show every tick of a step (0.25 -> 2, 20 -> 0).
int32_t DecimalsForStep(double step);

// `value` with `decimals` decimals, in the C locale; never "-0".
std::string FixedText(double value, int32_t decimals);

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
// record and the row builder right after the builder took it; `on_skip` each
// range passed over as damage; `on_row` each
// reading row once its position is settled (at once without positions);
// `progress` the count of records read now and then. The ranges passed over
// as damage go to `skipped` when given. False when reading failed.
struct SurveyPass {
  std::function<void(std::span<const uint8_t> record, const RowBuilder& rows)> on_record;
  // A range passed over as damage, before the record after it.
  std::function<void(const SkippedRange& range)> on_skip;
  std::function<void(const ExportRow& row)> on_row;
  std::function<void(int64_t records)> progress;
};
bool PassOverSurvey(RecordCursor& cursor, const StoredHeader& header, bool positions,
                    const SurveyPass& pass, std::vector<SkippedRange>* skipped);

}  // namespace tq::exporter
