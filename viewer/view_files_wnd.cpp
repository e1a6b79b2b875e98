#include "viewer/view_files_wnd.h"

#include <array>
#include <optional>
#include <string>
#include <vector>

#include "shell/shell_state.h"
#include "platform/controls.h"
#include "platform/dialogs.h"
#include "platform/drawing.h"
#include "platform/files.h"
#include "platform/window.h"
#include "plot/profile_drawing.h"
#include "plot/profile_grid.h"
#include "plot/profile_scale.h"
#include "plot/scale_dialog.h"
#include "settings/build_config.h"
#include "settings/settings.h"
#include "survey/data_file_creation.h"
#include "viewer/line_index_cache.h"
#include "viewer/view_navigation.h"
#include "viewer/view_readout.h"

namespace tq {
namespace {

constexpr std::array<const char*, kViewButtonCount> kButtonTexts = {
    "<<--", "<--", "|<--", "-->|", "-->", "-->>", "&File", "&Scale", "E&xit", "?"};
constexpr int kLineBoxWidth = 82;
constexpr int kLineBoxHeight = 220;
constexpr int kLineBoxAbove = 28;
constexpr int kBottomRowHeight = 17;
constexpr int kBottomRowFromEnd = 18;
constexpr int kUpperRowHeight = 18;
constexpr int kUpperRowFromEnd = 37;
constexpr int kLandscapeUpperRowX = 154;
constexpr int kTextX = 5;
constexpr int kCellGap = 4;
constexpr ColorRef kBarColor = Rgb(128, 128, 128);
constexpr ColorRef kBackground = Rgb(192, 192, 192);
constexpr ColorRef kChartBackground = Rgb(255, 255, 255);
constexpr int kProgressBarHeight = 10;
constexpr const char* kNoLineNotice = "This file has no survey line.";
constexpr const char* kUnreadableNotice = "This file cannot be read.";
constexpr const char* kCacheNotice = "The line could not be indexed.";

// The viewer of the process: one window, created once with the main window.
struct ViewerState {
  WindowHandle viewer = nullptr;
  WindowHandle curve = nullptr;
  WindowHandle line_box = nullptr;
  std::array<WindowHandle, kViewButtonCount> buttons{};
  DcHandle saved_column = nullptr;  // the pixels under the bar
  int32_t bar_x = 0;                // the column the bar stands on; 0 none

  int32_t loaded = 0;
  std::string path;
  std::string title;
  std::optional<DataFileScan> scan;
  StationWindowSource source;
  StationWindow stations;
  int32_t line = -1;
  int64_t first_record = 1;
  int64_t record_total = 0;
  int32_t cursor = kViewStartCursor;
  int32_t ring = kViewRingStart;
  std::string notice;
  bool busy = false;      // a file is being read: commands wait for it
  int32_t progress = -1;  // percent of the pass shown while busy
  int32_t progress_reports = 0;
  StationReadout readout;
};

ViewerState View;

int32_t Columns() { return Shell.PlotRight - 2; }
int32_t ChartHeight() { return Settings.PlotHeight; }
int32_t TextHeight() { return MeasureFont(Shell.NormalFont).height; }

int LineBoxX() { return 4 + Shell.PlotRight - kLineBoxWidth; }
int LineBoxY() { return Shell.PlotTop - kLineBoxAbove; }
int StationRowY() { return Shell.PlotTop - TextHeight() - 1; }

Rect ButtonRect(int index) {
  const int sw = Shell.ScreenWidth;
  const int sh = Shell.ScreenHeight;
  const int width = (sw - 2) / 6;
  if (index < 6) {
    const int x = 2 + index * width;
    return Rect{x, sh - kBottomRowFromEnd, x + width, sh - kBottomRowFromEnd + kBottomRowHeight};
  }
  const int k = index - 6;
  const int upper_width = Shell.Portrait == 1 ? width : (sw - kLandscapeUpperRowX) / 4;
  const int start = Shell.Portrait == 1 ? 2 * width + 2 : kLandscapeUpperRowX;
  const int x = start + k * upper_width;
  return Rect{x, sh - kUpperRowFromEnd, x + upper_width, sh - kUpperRowFromEnd + kUpperRowHeight};
}

bool IceFile() { return View.scan && View.scan->ice_thickness; }
int32_t FileKind() { return View.scan ? View.scan->kind : Build().InstrumentKind; }

// Where the cursor readout's channel cells go: the rows under the chart and
// the room left of the upper button row.
std::vector<Rect> ChannelCells() {
  const int h = TextHeight();
  const int below = Shell.PlotTop + ChartHeight() + 1;
  const int upper_row_x = ButtonRect(6).left;
  const int upper_row_y = Shell.ScreenHeight - kUpperRowFromEnd;
  std::vector<ReadoutRowSpace> spaces;
  for (int y = below; y + h <= upper_row_y + 2; y += h) {
    spaces.push_back({y, 2, Shell.ScreenWidth - 2});
  }
  spaces.push_back({upper_row_y + 2, 2, upper_row_x - 2});
  std::vector<int32_t> widths;
  for (const std::string& text :
       ReadoutCellTemplates(FileKind(), Shell.Portrait == 1, IceFile(), Settings.Units)) {
    widths.push_back(MeasureText(Shell.BoldFont, text).cx + kCellGap);
  }
  return LayoutReadoutCells(spaces, widths, h);
}

Rect StationCell() {
  const int x = kTextX + MeasureText(Shell.NormalFont, "Stn:").cx + 2;
  return Rect{x, StationRowY(), x + MeasureText(Shell.BoldFont, "-8888888.88").cx + kCellGap,
              StationRowY() + TextHeight()};
}

void RepaintProfile() {
  InvalidateRect(View.curve, nullptr, true);
  UpdateWindow(View.curve);
}

void RepaintViewer() {
  InvalidateRect(View.viewer, nullptr, true);
  UpdateWindow(View.viewer);
}

const StationEntry* CursorStation() {
  const size_t at = static_cast<size_t>(View.cursor);
  if (View.cursor < 1 || at >= View.stations.size()) return nullptr;
  return &View.stations[at];
}

void DrawCursorReadout(DcHandle dc) {
  const Rect station_cell = StationCell();
  const std::vector<Rect> cells = ChannelCells();
  FillRect(dc, station_cell, CreateSolidBrush(kBackground));
  for (const Rect& cell : cells) FillRect(dc, cell, CreateSolidBrush(kBackground));
  View.readout = {};
  if (View.loaded != 1 || View.busy) return;
  const StationEntry* entry = CursorStation();
  if (entry == nullptr) return;
  View.readout = FormatStationReadout(*entry, FileKind(), Shell.Portrait == 1, IceFile(),
                                      Settings.Units);
  const StationReadout& readout = View.readout;
  SelectFont(dc, Shell.BoldFont);
  SetBkMode(dc, TRANSPARENT);
  TextOut(dc, station_cell.left, station_cell.top, readout.station);
  for (size_t i = 0; i < readout.channels.size() && i < cells.size(); ++i) {
    if (cells[i].Width() > 0) TextOut(dc, cells[i].left, cells[i].top, readout.channels[i]);
  }
  SelectFont(dc, Shell.NormalFont);
}

void RefreshCursorReadout() {
  if (DcHandle dc = GetDC(View.viewer)) {
    DrawCursorReadout(dc);
    ReleaseDC(View.viewer, dc);
  }
}

void DrawLineLabel(DcHandle dc) {
  const bool bold = View.ring == kViewButtonCount;
  const char* label = Shell.Portrait == 1 ? "Line" : "Ln";
  // Both weights are cleared: the bold label is the wider one.
  const int wide = MeasureText(Shell.BoldFont, label).cx;
  const Font font = bold ? Shell.BoldFont : Shell.NormalFont;
  const int x = LineBoxX() - MeasureText(font, label).cx - 3;
  FillRect(dc, Rect{LineBoxX() - wide - 3, LineBoxY(), LineBoxX(), LineBoxY() + TextHeight() + 4},
           CreateSolidBrush(kBackground));
  SelectFont(dc, font);
  SetBkMode(dc, TRANSPARENT);
  TextOut(dc, x, LineBoxY() + 3, label);
  SelectFont(dc, Shell.NormalFont);
}

void RedrawLineLabel() {
  if (DcHandle dc = GetDC(View.viewer)) {
    DrawLineLabel(dc);
    ReleaseDC(View.viewer, dc);
  }
}

void DrawScaleReadout(DcHandle dc) {
  const int title_width = MeasureText(Shell.NormalFont, "File:WWWWWWWW").cx;
  int x = kTextX + title_width + 6;
  // Up to the line label, which shares the top row in landscape.
  const int label_left = LineBoxX() - MeasureText(Shell.BoldFont, "Line").cx - 4;
  const int right = LineBoxY() < TextHeight() ? label_left : Shell.ScreenWidth;
  FillRect(dc, Rect{x, 0, right, TextHeight() + 1}, CreateSolidBrush(kBackground));
  SetBkMode(dc, TRANSPARENT);
  for (const std::string& cell : FormatScaleReadout(Settings, FileKind())) {
    TextOut(dc, x, 1, cell);
    x += MeasureText(Shell.NormalFont, cell).cx + 2 * kCellGap;
  }
}

void RedrawScaleReadout() {
  if (DcHandle dc = GetDC(View.viewer)) {
    DrawScaleReadout(dc);
    ReleaseDC(View.viewer, dc);
  }
}

// --- The profile -----------------------------------------------------------

void SaveColumnAndDrawBar(DcHandle dc, int32_t x) {
  const int32_t h = ChartHeight();
  BitBlt(View.saved_column, 0, 0, 1, h - 2, dc, x, 1);
  SelectPen(dc, CreatePen(PS_SOLID, 1, kBarColor));
  MoveTo(dc, x, 1);
  LineTo(dc, x, h - 1);
  View.bar_x = x;
}

// Moves the bar to the cursor: the column under the old bar is put back first.
void MoveBar() {
  if (View.loaded != 1 || View.busy) return;
  DcHandle dc = GetDC(View.curve);
  if (dc == nullptr) return;
  if (View.bar_x > 0 && View.bar_x != View.cursor) {
    BitBlt(dc, View.bar_x, 1, 1, ChartHeight() - 2, View.saved_column, 0, 0);
  }
  if (View.bar_x != View.cursor) SaveColumnAndDrawBar(dc, View.cursor);
  ReleaseDC(View.curve, dc);
}

void DrawProgress(DcHandle dc) {
  const ProfileGeometry g = CurrentProfileGeometry();
  const int32_t width = g.width - 20;
  const int32_t top = g.height / 2;
  const std::string text = "Reading file " + std::to_string(View.progress) + "%";
  SetBkMode(dc, TRANSPARENT);
  TextOut(dc, 10, top - TextHeight() - 4, text);
  SelectPen(dc, CreatePen(PS_SOLID, 1, Rgb(0, 0, 0)));
  SelectBrush(dc, kNullBrush);
  Rectangle(dc, 10, top, 10 + width, top + kProgressBarHeight);
  FillRect(dc, Rect{11, top + 1, 11 + (width - 2) * View.progress / 100, top + kProgressBarHeight - 1},
           CreateSolidBrush(Rgb(0, 0, 128)));
}

intptr_t OnCurvePaint(WindowHandle window, uint32_t, uintptr_t, intptr_t) {
  PaintInfo paint;
  DcHandle dc = BeginPaint(window, &paint);
  if (dc == nullptr) return 0;
  const ScaleSetValues set = ScaleSetOf(Settings, ViewGridSet(Settings.GridFor));
  DrawProfileGrid(dc, false, set.bottom, set.top, set.factor);
  View.bar_x = 0;  // the paint erased it
  if (View.busy && View.progress >= 0) {
    DrawProgress(dc);
  } else if (!View.notice.empty() && View.loaded == 1) {
    SetBkMode(dc, TRANSPARENT);
    TextOut(dc, 10, CurrentProfileGeometry().height / 2 - TextHeight(), View.notice);
  } else if (View.loaded == 1) {
    for (const TraceRun& run :
         ComputeViewTraceRuns(View.stations, Columns(), FileKind(), Settings)) {
      DrawTraceSegment(window, run.points, 0, run.points.size(), run.channel);
    }
    SaveColumnAndDrawBar(dc, View.cursor);
  }
  EndPaint(window, paint);
  return 0;
}

constexpr std::array<MessageEntry, 1> kCurveMessages = {{{WM_PAINT, OnCurvePaint}}};

// --- Files and lines ---------------------------------------------------------

// Shown while a long pass runs; messages are handled meanwhile, so the
// window keeps drawing and commands are held off by `busy`.
FilePassProgress ProgressOfPass(int32_t from_percent, int32_t span_percent) {
  return [from_percent, span_percent](int64_t done, int64_t total) {
    const int32_t percent =
        from_percent + (total > 0 ? static_cast<int32_t>(done * span_percent / total) : 0);
    if (percent == View.progress) return;
    View.progress = percent;
    ++View.progress_reports;
    RepaintProfile();
    ProcessPendingMessages();
  };
}

// Every dialog leaves the screen full and the keys with the viewer.
void AfterDialog() {
  if (WindowHandle parent = GetParent(View.viewer)) HideTaskBarFor(parent);
  SetFocus(View.viewer);
}

void LoadWindow() {
  const WindowLoadResult loaded =
      LoadStationWindow(View.stations, 1, Columns(), View.first_record, View.source);
  if (!loaded.line1_opened) MessageBox(View.viewer, kInvalidHandle1Text, kInvalidHandleCaption, MB_OK);
  if (!loaded.line2_opened) MessageBox(View.viewer, kInvalidHandle2Text, kInvalidHandleCaption, MB_OK);
  if (!loaded.line1_opened || !loaded.line2_opened) AfterDialog();
}

// Builds the cache for line `line` (0-based) and loads its first window.
void ShowLine(int32_t line, int32_t progress_from) {
  View.line = line;
  View.first_record = 1;
  const LineCachePaths paths = LineCachePathsFor(Build());
  View.busy = true;
  const LineIndexResult built = BuildLineIndexCache(
      View.path, *View.scan, line + 1, paths, ProgressOfPass(progress_from, 100 - progress_from));
  View.busy = false;
  View.progress = -1;
  View.record_total = built.record_total;
  View.notice = built.ok ? "" : kCacheNotice;
  View.source = StationWindowSourceFor(*View.scan, paths, Settings);
  LoadWindow();
}

void OpenFile() {
  const DataFolders folders = DataFoldersFor(Build());
  FileDialogOptions options;
  options.title = "Open";
  options.filter_text = folders.filter_text;
  options.filter_pattern = folders.filter_pattern;
  options.default_extension = folders.default_extension;
  options.initial_folder = MapSystemPath(folders.dialog_folder).string();
  const std::optional<std::string> chosen = GetOpenFileName(View.viewer, options);
  AfterDialog();
  if (!chosen) {
    if (View.loaded != 0) {
      View.loaded = 2;
      RepaintViewer();
      RepaintProfile();
    }
    return;
  }
  View.title = ViewFileTitle(*chosen);
  View.path = *chosen;
  View.loaded = 1;
  View.scan.reset();
  View.stations.clear();
  View.record_total = 0;
  View.line = -1;
  View.notice.clear();
  ResetComboContent(View.line_box);
  View.cursor = kViewStartCursor;
  View.busy = true;
  View.progress_reports = 0;
  RepaintViewer();

  std::string error;
  View.scan = ScanDataFile(View.path, Build(), &error, ProgressOfPass(0, 50));
  View.busy = false;
  View.progress = -1;
  if (!View.scan) {
    View.notice = kUnreadableNotice;
  } else {
    for (const std::string& name : View.scan->line_names) AddComboString(View.line_box, name);
    SetComboSelection(View.line_box, 0);
    if (View.scan->line_offsets.empty()) {
      View.notice = kNoLineNotice;
    } else {
      ShowLine(0, 50);
      View.cursor = CursorForOpenedLine(View.cursor, View.record_total);
    }
  }
  RepaintViewer();
  RepaintProfile();
}

void ChooseLine() {
  const int selection = GetComboSelection(View.line_box);
  if (selection >= 0 && selection != View.line && View.scan &&
      static_cast<size_t>(selection) < View.scan->line_offsets.size()) {
    View.cursor = kViewStartCursor;
    ShowLine(selection, 0);
  }
  RepaintProfile();
  RefreshCursorReadout();
  SetComboSelection(View.line_box, View.line);
  SetFocus(View.viewer);
}

void CloseViewer() {
  View.loaded = 0;
  View.path.clear();
  View.title.clear();
  View.scan.reset();
  View.stations.clear();
  View.record_total = 0;
  View.line = -1;
  View.notice.clear();
  View.readout = {};
  InvalidateRect(View.viewer, nullptr, true);
  InvalidateRect(View.curve, nullptr, true);
  ResetComboContent(View.line_box);
  ShowWindow(View.viewer, SW_HIDE);
  if (WindowHandle parent = GetParent(View.viewer)) SetFocus(parent);
}

bool LineBoxHasLines() { return GetComboCount(View.line_box) > 0; }

// An empty box shows no list, so nothing would close it and hand the keys
// back: it is not focused at all.
void OpenLineBox() {
  if (!LineBoxHasLines()) return;
  ShowComboDropDown(View.line_box, true);
  SetFocus(View.line_box);
}

void RunCommand(ViewCommand command) {
  if (View.busy) return;
  switch (command) {
    case ViewCommand::kStartOfLine:
    case ViewCommand::kPageLeft:
    case ViewCommand::kPageRight:
    case ViewCommand::kEndOfLine: {
      if (View.loaded != 1 || View.line < 0) return;
      const std::optional<int64_t> first =
          PagedFirstRecord(command, View.first_record, Columns(), View.record_total);
      if (!first) return;
      View.first_record = *first;
      LoadWindow();
      RepaintProfile();
      RefreshCursorReadout();
      return;
    }
    case ViewCommand::kCursorLeft:
    case ViewCommand::kCursorRight:
      View.cursor = MovedCursor(command, View.cursor, Columns(), View.record_total);
      MoveBar();
      RefreshCursorReadout();
      return;
    case ViewCommand::kFile: OpenFile(); return;
    case ViewCommand::kScale:
      RunViewerScaleDialog(View.viewer);
      AfterDialog();
      RedrawScaleReadout();
      RepaintProfile();
      return;
    case ViewCommand::kExit: CloseViewer(); return;
    case ViewCommand::kHelp:
      MessageBox(View.viewer, ViewHelpText(Build().StorageRoot), kViewHelpCaption, MB_OK);
      AfterDialog();
      return;
    case ViewCommand::kLineBox: OpenLineBox(); return;
  }
}

void MoveRing() {
  if (View.ring < kViewButtonCount) SetButtonState(View.buttons[static_cast<size_t>(View.ring)], false);
  View.ring = NextRingPosition(View.ring, LineBoxHasLines());
  RedrawLineLabel();
  if (View.ring == kViewButtonCount) {
    OpenLineBox();
  } else {
    SetButtonState(View.buttons[static_cast<size_t>(View.ring)], true);
  }
}

// --- Messages ----------------------------------------------------------------

intptr_t OnCreate(WindowHandle window, uint32_t, uintptr_t, intptr_t) {
  // Registered here, once for the process: the viewer owns its profile class.
  RegisterClass(WindowClass{kViewCurveWindowClass, kCurveMessages, kChartBackground, true});
  View = ViewerState{};
  View.viewer = window;
  View.curve = CreateWindow(kViewCurveWindowClass, "", WS_CHILD | WS_VISIBLE | WS_BORDER,
                            Shell.PlotLeft - 1, Shell.PlotTop - 1, Shell.PlotRight + 1,
                            Settings.PlotHeight + 1, window, kViewCurveWindowId);
  View.line_box = CreateWindow("COMBOBOX", "", WS_CHILD | WS_VISIBLE | CBS_DROPDOWNLIST | WS_VSCROLL,
                               LineBoxX(), LineBoxY(), kLineBoxWidth, kLineBoxHeight, window,
                               kViewLineBoxId);
  bool made = View.curve != nullptr && View.line_box != nullptr;
  for (int i = 0; i < kViewButtonCount; ++i) {
    const Rect r = ButtonRect(i);
    WindowHandle button = CreateWindow("BUTTON", kButtonTexts[static_cast<size_t>(i)],
                                       WS_CHILD | WS_VISIBLE | BS_PUSHBUTTON | BS_CENTER, r.left,
                                       r.top, r.Width(), r.Height(), window, kViewButtonFirstId + i);
    View.buttons[static_cast<size_t>(i)] = button;
    made = made && button != nullptr;
  }
  if (!made) return -1;
  if (View.saved_column == nullptr) View.saved_column = CreateMemoryDC(1, std::max(ChartHeight() - 2, 1));
  SetButtonState(View.buttons[static_cast<size_t>(View.ring)], true);
  return 0;
}

intptr_t OnDestroy(WindowHandle, uint32_t, uintptr_t, intptr_t) {
  if (View.saved_column != nullptr) DeleteDC(View.saved_column);
  View = ViewerState{};
  return 0;
}

intptr_t OnPaint(WindowHandle window, uint32_t, uintptr_t, intptr_t) {
  PaintInfo paint;
  DcHandle dc = BeginPaint(window, &paint);
  if (dc == nullptr) return 0;
  SetBkMode(dc, TRANSPARENT);
  SelectFont(dc, Shell.NormalFont);
  DrawLineLabel(dc);
  TextOut(dc, kTextX, 1, View.loaded != 0 ? "File:" + View.title : std::string("File:"));
  TextOut(dc, kTextX, StationRowY(), "Stn:");
  DrawScaleReadout(dc);
  // Without a file shown it only clears the cells, and forgets what they held.
  DrawCursorReadout(dc);
  EndPaint(window, paint);
  return 0;
}

intptr_t OnCommand(WindowHandle, uint32_t, uintptr_t wparam, intptr_t) {
  const int id = LOWORD(wparam);
  const int code = HIWORD(wparam);
  if (id == kViewLineBoxId) {
    if (View.busy) return 0;
    if (code == CBN_SELENDOK) {
      ChooseLine();
    } else if (code == CBN_CLOSEUP) {
      SetComboSelection(View.line_box, View.line);
      RepaintProfile();
      SetFocus(View.viewer);
    } else if (code == CBN_SELENDCANCEL) {
      SetFocus(View.viewer);
    }
    return 0;
  }
  if (std::optional<ViewCommand> command = CommandForButton(id - kViewButtonFirstId)) {
    RunCommand(*command);
    // A tapped button never keeps the keys from the viewer.
    if (IsWindowVisible(View.viewer) && GetFocus() != View.line_box) SetFocus(View.viewer);
  }
  return 0;
}

intptr_t OnKeyDown(WindowHandle, uint32_t, uintptr_t wparam, intptr_t) {
  if (std::optional<ViewCommand> command = CommandForKey(static_cast<int32_t>(wparam))) {
    RunCommand(*command);
  }
  return 0;
}

intptr_t OnChar(WindowHandle, uint32_t, uintptr_t wparam, intptr_t) {
  if (View.busy) return 0;
  if (wparam == VK_TAB) {
    MoveRing();
  } else if (wparam == VK_RETURN) {
    if (std::optional<ViewCommand> command = CommandAtRing(View.ring)) RunCommand(*command);
  } else if (std::optional<ViewCommand> command = CommandForChar(static_cast<uint32_t>(wparam))) {
    RunCommand(*command);
  }
  return 0;
}

intptr_t OnIgnored(WindowHandle, uint32_t, uintptr_t, intptr_t) { return 0; }

constexpr std::array<MessageEntry, 8> kViewerMessages = {{
    {WM_CREATE, OnCreate},
    {WM_DESTROY, OnDestroy},
    {WM_PAINT, OnPaint},
    {WM_COMMAND, OnCommand},
    {WM_KEYDOWN, OnKeyDown},
    {WM_CHAR, OnChar},
    {WM_KILLFOCUS, OnIgnored},
    {WM_SIZE, OnIgnored},
}};

// Held, these move along the line and round the ring; the letters and
// Enter run their command once.
constexpr int kViewerRepeatingKeys[] = {VK_HOME, VK_PRIOR, VK_NEXT, VK_END, VK_LEFT,
                                        VK_UP,   VK_RIGHT, VK_DOWN, VK_TAB};

}  // namespace

bool RegisterViewFilesWindowClass() {
  return RegisterClass(
      WindowClass{kViewFilesWindowClass, kViewerMessages, kBackground, true, kViewerRepeatingKeys});
}

bool RunViewerScaleDialog(WindowHandle viewer) {
  const BuildConfig& build = Build();
  return RunProfileScaleDialog(
      viewer, ProfileScaleTemplate(build, Settings.IceOption, Shell.Portrait == 1, true));
}

ViewerStatus ViewerStatusNow() {
  ViewerStatus status;
  status.loaded = View.loaded;
  status.line = View.line;
  status.lines = View.scan ? static_cast<int32_t>(View.scan->line_offsets.size()) : 0;
  status.first_record = View.first_record;
  status.record_total = View.record_total;
  status.cursor = View.cursor;
  status.columns = Columns();
  status.ring = View.ring;
  status.notice = View.notice;
  status.readout = View.readout;
  status.progress_reports = View.progress_reports;
  return status;
}

}  // namespace tq
