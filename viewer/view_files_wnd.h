// The file viewer: "ViewFilesWnd", the main window's hidden full-screen child
// that opens a stored data file of the build's kind, lists its lines and
// pages along one of them, and its profile child "ViewCurveWnd" (one station
// per pixel column, a bar cursor). User-interface thread only.
//
// The main window creates it hidden at start-up (class registered with the
// other children) and shows it with the focus; "E&xit" hides it again and
// forgets the file. Its layout follows Shell (Portrait, ScreenWidth,
// ScreenHeight, PlotLeft, PlotTop, PlotRight) and Settings.PlotHeight at
// creation; the chart reads Settings and Build() like the live profile.
#pragma once

#include <cstdint>
#include <string_view>

#include "platform/window_types.h"
#include "viewer/view_readout.h"

namespace tq {

inline constexpr std::string_view kViewFilesWindowClass = "ViewFilesWnd";
inline constexpr std::string_view kViewCurveWindowClass = "ViewCurveWnd";
inline constexpr int kViewCurveWindowId = 9;
inline constexpr int kViewLineBoxId = 220;
inline constexpr int kViewButtonFirstId = 480;

// Registers "ViewFilesWnd"; false when the name is taken.
bool RegisterViewFilesWindowClass();

// The scale dialog of the viewer's "&Scale" command, run over `viewer` with
// the viewer's template for the build's kind. The viewer redraws its scale readout and
// profile afterwards. Returns whether the scales may have changed.
bool RunViewerScaleDialog(WindowHandle viewer);

// What the viewer holds now, for tests and scripts.
struct ViewerStatus {
  int32_t loaded = 0;        // 0 no file, 1 shown, 2 open dialog cancelled after one was shown
  int32_t line = -1;         // 0-based line shown; -1 none
  int32_t lines = 0;         // lines in the file
  int64_t first_record = 1;  // record at column 1
  int64_t record_total = 0;
  int32_t cursor = 0;        // column 1..N
  int32_t columns = 0;       // N
  int32_t ring = 0;          // focus ring position 0..10
  std::string_view notice;   // shown in place of the profile; empty when none
  StationReadout readout;    // the cursor readout on screen; empty while no file is shown
  int32_t progress_reports = 0;  // progress drawn during the last file opened
};
ViewerStatus ViewerStatusNow();

}  // namespace tq
