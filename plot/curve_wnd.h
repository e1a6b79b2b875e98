// The live profile: the "CurveWnd" child of the logging window, the step it
// draws after each logged reading, and its rebuild from the data file being
// logged. User-interface thread only.
//
// Typical use by the logging window:
//   RegisterCurveWindowClass();                       // once, with the other classes
//   WindowHandle curve = CreateCurveWindow(logging);  // in its WM_CREATE
//   ClearLiveProfile(curve);                          // at the start of a logging run
//   ClearProfileScroll(); ForgetProfileLastPoints();  // at the start of logging
//   UpdateLiveProfile(curve, reading.channels, StationReadingCount == 0);  // per reading written
//   InvalidateRect(curve, nullptr, true); UpdateWindow(curve);           // after a dialog,
//   RedrawProfileFromFile(curve, data_file);                             // a new line or station
//
// The chart reads the process-wide Settings (scales, pixel factors, GridFor,
// TraceActive, colours, widths), Build() for the kind, and Shell (Portrait,
// PlotLeft, PlotTop, PlotRight) with Settings.PlotHeight for its geometry.
#pragma once

#include <string_view>

#include "instrument/decoding.h"
#include "instrument/decoding_profile.h"
#include "platform/window_types.h"
#include "survey/data_file.h"

namespace tq {

inline constexpr int kCurveWindowId = 5;
inline constexpr std::string_view kCurveWindowClass = "CurveWnd";

// Registers "CurveWnd" (it paints the grid and labels of the active scale
// set); false when the class cannot be registered.
bool RegisterCurveWindowClass();

// Creates CurveWnd, bordered and visible, as child 5 of `parent` over the
// profile area of the current layout: (PlotLeft - 1, PlotTop - 1), PlotRight
// + 1 by PlotHeight + 1. Null when it cannot be created.
WindowHandle CreateCurveWindow(WindowHandle parent);

// One step of the chart after a reading written to the data file:
// scrolls 2 pixels when the scroll flag is set and this reading completed its
// station (`station_complete`: StationReadingCount is back at 0), then draws
// one segment (or a first point) per trace that the reading has and that is
// active. The first form turns the channels into rows with ComputeProfileRows.
void UpdateLiveProfile(WindowHandle curve, const ProfileChannels& channels, bool station_complete);
void UpdateLiveProfile(WindowHandle curve, const ProfileRows& rows, bool station_complete);

// Draws the traces of the current line (back to its "Z" record) from `file`
// over the grid painted before. Reads through a descriptor of its own, so the
// writer's position is never moved; a torn last record is left out. Draws
// nothing when no file is open or it cannot be read.
void RedrawProfileFromFile(WindowHandle curve, const DataFile& file);

// A new logging run: the chart is cleared to its grid, and the next reading
// neither scrolls nor continues a trace, so the chart shows only what the
// run's file will hold.
void ClearLiveProfile(WindowHandle curve);

// The next reading does not scroll (after the scale dialog, at the start of logging).
void ClearProfileScroll();
// The next reading of every trace starts with a single point instead of a
// segment from the old position (scale dialog, new line, new station).
void ForgetProfileLastPoints();

}  // namespace tq
