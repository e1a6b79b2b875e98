#include "plot/curve_wnd.h"

#include <array>
#include <optional>
#include <vector>

#include "shell/shell_state.h"
#include "ice/ice_thickness.h"
#include "platform/drawing.h"
#include "platform/window.h"
#include "plot/profile_drawing.h"
#include "plot/profile_grid.h"
#include "plot/profile_traces.h"
#include "settings/build_config.h"
#include "settings/settings.h"
#include "survey/record_layout.h"
#include "survey/record_reader.h"

namespace tq {
namespace {

constexpr int32_t kColumnStep = 2;
constexpr size_t kThicknessTrace = 4;
constexpr size_t kThicknessSource = 1;
constexpr ColorRef kErase = Rgb(255, 255, 255);

// The scroll flag and the last point of every trace.
LiveProfileState LiveProfile;

intptr_t OnCurvePaint(WindowHandle window, uint32_t, uintptr_t, intptr_t) {
  PaintInfo paint;
  DcHandle dc = BeginPaint(window, &paint);
  if (dc == nullptr) return 0;
  ScaleSetValues set = ScaleSetOf(Settings, Settings.GridFor);
  DrawProfileGrid(dc, true, set.bottom, set.top, set.factor);
  EndPaint(window, paint);
  return 0;
}

constexpr std::array<MessageEntry, 1> kCurveMessages = {{{WM_PAINT, OnCurvePaint}}};

// Moves the chart 2 pixels left and clears the newest columns, keeping the
// grid lines across them.
void ScrollChart(DcHandle dc, const ProfileGeometry& g) {
  const int32_t x0 = g.newest_x;
  BitBlt(dc, 0, 0, x0 - 1, g.height, dc, kColumnStep, 0);
  SelectPen(dc, CreatePen(PS_SOLID, 1, kErase));
  for (int32_t x = x0 - 1; x <= x0 + 1; ++x) {
    MoveTo(dc, x, 0);
    LineTo(dc, x, g.height);
  }
  ScaleSetValues set = ScaleSetOf(Settings, Settings.GridFor);
  GridTable grid = ComputeGridTable(set.bottom, set.top, set.factor, g.height);
  for (int32_t i = 0; i < grid.count; ++i) {
    int32_t width = i == 0 ? ScrollMainLineWidth(set.bottom, set.top) : 1;
    SelectPen(dc, CreatePen(PS_SOLID, width, kGridLineColor));
    MoveTo(dc, x0 - 1, grid.y[static_cast<size_t>(i)]);
    LineTo(dc, x0 + 2, grid.y[static_cast<size_t>(i)]);
  }
}

void DrawLiveTraces(DcHandle dc, const LiveStep& step, int32_t x0) {
  for (size_t i = 0; i < kProfileChannelCount; ++i) {
    const LiveStep::Trace& t = step.traces[i];
    if (t.kind == LiveStep::Trace::kNothing) continue;
    TracePen pen = TracePenOf(Settings, i);
    SelectPen(dc, CreatePen(PS_SOLID, pen.width, pen.color));
    if (t.kind == LiveStep::Trace::kPoint) {
      std::array<Point, 2> dot = {Point{x0, t.y}, Point{x0, t.y}};
      Polyline(dc, dot);
    } else {
      MoveTo(dc, x0 - kColumnStep, t.from_y);
      LineTo(dc, x0, t.y);
    }
  }
}

bool IsReadingLetter(uint8_t c) {
  return (c >= '2' && c <= '6') || c == 'T' || c == 't';
}

// The point lists of the eight traces between flushes; they grow with the
// readings of a station, however many there are.
class TracePoints {
 public:
  void Add(size_t trace, Point p) { lists_[trace].push_back(p); }

  void Flush(WindowHandle window, size_t trace) {
    std::vector<Point>& list = lists_[trace];
    for (auto [first, last] : SplitTraceRuns(list)) DrawTraceSegment(window, list, first, last, trace);
    list.clear();
  }

  void FlushAll(WindowHandle window) {
    for (size_t i = 0; i < kProfileChannelCount; ++i) Flush(window, i);
  }

 private:
  std::array<std::vector<Point>, kProfileChannelCount> lists_;
};

void AddReadingPoints(TracePoints& points, const Reading& reading, int32_t x, int32_t kind,
                      bool ice_shown) {
  const SettingsStore& s = Settings;
  if (ice_shown) {
    const ProfileChannel& source = reading.channels[kThicknessSource];
    if (!source.present) return;
    float thickness = ConductivityToIceThickness(source.value, static_cast<uint32_t>(s.SeaWaterIndex),
                                                 s, nullptr);
    points.Add(kThicknessTrace, {x, ValueToPixel(thickness, s.IceScaleMax, s.IcePixelsPerUnit)});
    return;
  }
  ProfileRows rows = ComputeProfileRows(reading.channels, s, kind);
  for (size_t i = 0; i < kProfileChannelCount; ++i) {
    if (rows[i].present && s.TraceActive[i] != 0) points.Add(i, {x, rows[i].y});
  }
}

}  // namespace

bool RegisterCurveWindowClass() {
  return RegisterClass(WindowClass{kCurveWindowClass, kCurveMessages, kErase, true});
}

WindowHandle CreateCurveWindow(WindowHandle parent) {
  return CreateWindow(kCurveWindowClass, "", WS_CHILD | WS_VISIBLE | WS_BORDER, Shell.PlotLeft - 1,
                      Shell.PlotTop - 1, Shell.PlotRight + 1, Settings.PlotHeight + 1, parent,
                      kCurveWindowId);
}

void UpdateLiveProfile(WindowHandle curve, const ProfileChannels& channels, bool station_complete) {
  UpdateLiveProfile(curve, ComputeProfileRows(channels, Settings, Build().InstrumentKind),
                    station_complete);
}

void UpdateLiveProfile(WindowHandle curve, const ProfileRows& rows, bool station_complete) {
  DcHandle dc = GetDC(curve);
  if (dc == nullptr) return;
  const ProfileGeometry g = CurrentProfileGeometry();
  LiveStep step = PlanLiveStep(LiveProfile, rows, Settings.TraceActive, station_complete);
  if (step.scroll) ScrollChart(dc, g);
  DrawLiveTraces(dc, step, g.newest_x);
  ReleaseDC(curve, dc);
}

void RedrawProfileFromFile(WindowHandle curve, const DataFile& file) {
  if (!file.IsOpen()) return;
  const size_t record_length = file.record_length();
  std::optional<RecordCursor> cursor = RecordCursor::Open(file.path(), record_length);
  if (!cursor) return;
  const SettingsStore& s = Settings;
  const int32_t kind = Build().InstrumentKind;
  const bool ice_shown = IceThicknessShown(s, kind);
  StoredDecoding decoding;
  decoding.kind = kind;
  decoding.ascii = AsciiDecodeSettings{kind, s.SurveyMode, s.Component, s.Tq62Variant};
  decoding.offsets = s.Mk2Calibration;

  TracePoints points;
  int32_t x = CurrentProfileGeometry().newest_x;
  cursor->Seek(cursor->record_count());
  // The headers are never part of a line, even in a file whose line start was lost.
  while (x >= 0 && cursor->position() > kFirstBodyRecord) {
    std::optional<std::span<const uint8_t>> record = cursor->Previous();
    if (!record) break;
    const uint8_t letter = (*record)[0];
    if (letter < kLowestReadingLetter) continue;
    if (letter == kDateTimeLetter) break;
    if (letter == kCalibrationLetter) {
      // Going backwards, the readings before a calibration were taken with
      // the offsets it replaced, which its record keeps beside the new ones.
      const uint8_t channel = (*record)[kCalibrationChannelAt];
      if (channel >= '1' && channel <= '6') {
        decoding.offsets[channel - '1'] = static_cast<float>(
            ParseRecordNumber(RecordText(*record, kCalibrationPreviousField.at)));
      }
      continue;
    }
    if (letter == kNewStationLetter) {
      x -= kColumnStep;
      points.FlushAll(curve);
      continue;
    }
    if (!IsReadingLetter(letter)) continue;
    AddReadingPoints(points, DecodeStoredReading(*record, decoding), x, kind, ice_shown);
    if (letter == 'T' || letter == 't') x -= kColumnStep;
  }
  if (ice_shown) points.Flush(curve, kThicknessTrace);
  points.FlushAll(curve);
}

void ClearLiveProfile(WindowHandle curve) {
  ClearProfileScroll();
  ForgetProfileLastPoints();
  InvalidateRect(curve, nullptr, true);
  UpdateWindow(curve);
}

void ClearProfileScroll() { LiveProfile.scroll = false; }

void ForgetProfileLastPoints() { LiveProfile.has_last.fill(false); }

}  // namespace tq
