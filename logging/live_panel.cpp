#include "logging/live_panel.h"

#include <string>
#include <vector>

#include "instrument/decoding_text.h"
#include "shell/shell_state.h"
#include "gps/gps_fix.h"
#include "logging/logging_commands.h"
#include "logging/run_state.h"
#include "platform/clock.h"
#include "platform/drawing.h"
#include "platform/power.h"
#include "platform/text.h"
#include "platform/window.h"
#include "settings/build_config.h"
#include "settings/settings.h"

namespace tq {
namespace {

constexpr size_t kFileNameShown = 8;

PanelLayout g_painted;

// What each field drawn since the last paint shows. A field drawn over
// another (the message row over the values) makes the other's entry stale.
struct ShownText {
  Rect rect;
  std::string text;
};
std::vector<ShownText> g_shown;

bool Overlap(const Rect& a, const Rect& b) {
  return a.left < b.right && b.left < a.right && a.top < b.bottom && b.top < a.bottom;
}

void Remember(const Rect& rect, std::string_view text) {
  std::erase_if(g_shown, [&](const ShownText& s) { return Overlap(s.rect, rect); });
  g_shown.push_back(ShownText{rect, std::string(text)});
}

const std::string* ShownAt(const Rect& rect) {
  for (const ShownText& s : g_shown) {
    if (s.rect == rect) return &s.text;
  }
  return nullptr;
}

bool Showing(const Rect& rect, std::string_view text) {
  const std::string* shown = ShownAt(rect);
  return shown != nullptr && *shown == text;
}

Font FontOf(PanelFont font) { return font == PanelFont::kValue ? Shell.BoldFont : Shell.NormalFont; }

void DrawAt(DcHandle dc, Point at, PanelFont font, std::string_view text) {
  SelectFont(dc, FontOf(font));
  TextOut(dc, at.x, at.y, text);
}

// The text is clipped to the field, so that the next clear of the field
// takes all of it: a glyph left outside would stay for the rest of the run.
void FillField(DcHandle dc, const PanelField& field, std::string_view text) {
  FillRect(dc, field.rect, kLightGrayBrush);
  SelectFont(dc, FontOf(field.font));
  DrawText(dc, text, field.rect, DT_LEFT | DT_SINGLELINE);
  Remember(field.rect, text);
}

// The base name holds the 8-bit characters of the file's header.
std::string FileFieldText(std::string_view base_name) {
  return "File:" + WidenFrom8Bit(base_name.substr(0, kFileNameShown));
}

void PaintGpsRow(DcHandle dc, const GpsRowLayout& g) {
  if (Settings.GpsInput != 1) {
    DrawAt(dc, g.disabled_at, PanelFont::kLabel, "GPS  Input  disabled");
    return;
  }
  DrawAt(dc, g.pos_label, PanelFont::kLabel, "Pos");
  FillField(dc, g.activity, "\\");
  DrawAt(dc, g.hash_label, PanelFont::kLabel, "#");
  // The count runs for the whole logging run; a repaint (a dialog closing)
  // must not show it back at 0.
  FillField(dc, g.counter, FieldText().AppendInt(GpsFix.SentenceCounter.load(), 5, true).view());
  FillField(dc, g.fix, "NO FIX");
  DrawAt(dc, g.pdop_label, PanelFont::kLabel, "PDOP:");
  FillField(dc, g.pdop, "N/A");
  DrawAt(dc, g.sat_label, PanelFont::kLabel, "Sat:");
  FillField(dc, g.satellites, FieldText().AppendInt(0, 2, false).view());
}

}  // namespace

PanelLayout CurrentPanelLayout() {
  PanelInputs in;
  in.portrait = Shell.Portrait == 1;
  in.kind = Build().InstrumentKind;
  in.screen_width = Shell.ScreenWidth;
  in.text_height = Shell.TextHeight;
  in.plot_top = Shell.PlotTop;
  in.plot_height = Settings.PlotHeight;
  in.survey_mode = Settings.SurveyMode;
  in.ice_option = Settings.IceOption;
  in.gps_input = Settings.GpsInput;
  return ComputePanelLayout(in, [](PanelFont font, std::string_view text) {
    return MeasureText(FontOf(font), text).cx;
  });
}

const PanelLayout& PaintedPanelLayout() { return g_painted; }

void PlacePanelFields() {
  g_painted = CurrentPanelLayout();
  g_shown.clear();
}

void PaintPanel(WindowHandle window) {
  PaintInfo paint;
  if (DcHandle dc = BeginPaint(window, &paint)) {
    PlacePanelFields();
    const PanelLayout& p = g_painted;
    const bool file_open = DataFileHandle.IsOpen();
    SetBkMode(dc, TRANSPARENT);
    if (file_open) FillField(dc, p.file, FileFieldText(Logging.DataFileBaseName));
    FillField(dc, p.state, StateText(Logging.state));
    // The reading handlers refresh the charge three minutes after this.
    CurrentRun.handlers.LastBatteryTick = Tick();
    FillField(dc, p.battery, FormatBatteryText(BatteryPercent()).view());
    FillField(dc, p.instrument_mode, "");
    DrawAt(dc, p.mode_at, PanelFont::kLabel, SurveyModeText(Settings.SurveyMode, Build().InstrumentKind));
    DrawAt(dc, p.line_label_at, PanelFont::kLabel, "Ln:");
    if (file_open) FillField(dc, p.line, Settings.SurveyLine);
    DrawAt(dc, p.station_label_at, PanelFont::kLabel, p.station_label);
    if (p.station_label != "Stn:") FillField(dc, p.station_count, "0");
    FillField(dc, p.station, file_open ? FormatStationText(Settings.CurrentStation).view() : "");
    PaintGpsRow(dc, p.gps);
    EndPaint(window, paint);
  }
  SetFocus(window);
}

void DrawPanelField(WindowHandle window, const PanelField& field, std::string_view text) {
  if (DcHandle dc = GetDC(window)) {
    SetBkMode(dc, TRANSPARENT);
    FillField(dc, field, text);
    ReleaseDC(window, dc);
  }
}

void DrawChangedPanelField(WindowHandle window, const PanelField& field, std::string_view text) {
  if (!Showing(field.rect, text)) DrawPanelField(window, field, text);
}

std::optional<std::string> PanelFieldText(const PanelField& field) {
  const std::string* shown = ShownAt(field.rect);
  return shown != nullptr ? std::optional<std::string>(*shown) : std::nullopt;
}

void ClearPanelField(WindowHandle window, const PanelField& field) {
  DrawPanelField(window, field, "");
}

void DrawFileField(WindowHandle window, std::string_view base_name) {
  DrawPanelField(window, PaintedPanelLayout().file, FileFieldText(base_name));
}

}  // namespace tq
