#include "logging/gps_panel.h"

#include "shell/shell_state.h"
#include "gps/fix_status.h"
#include "logging/live_panel.h"
#include "platform/drawing.h"

namespace tq {

void DrawGpsSentence(WindowHandle window, const PostedSentence& sentence, bool logging) {
  const GpsRowLayout& g = PaintedPanelLayout().gps;
  const GpsStatusUpdate u = ComputeGpsStatus(sentence.view(), sentence.valid);
  if (u.good_gga) {
    GpsFix.ActivityMark = GpsFix.ActivityMark == '/' ? '\\' : '/';
    DrawPanelField(window, g.activity, std::string_view(&GpsFix.ActivityMark, 1));
    if (logging) {
      const int32_t counter = GpsFix.SentenceCounter.fetch_add(1) + 1;
      DrawPanelField(window, g.counter, FieldText().AppendInt(counter, 5, true).view());
    }
  }
  if (u.satellites.drawn()) DrawPanelField(window, g.satellites, u.satellites.view());
  if (u.fix_class.drawn()) DrawPanelField(window, g.fix, u.fix_class.view());
  if (u.pdop.drawn()) DrawPanelField(window, g.pdop, u.pdop.view());
}

void DrawCentredOnGpsRow(WindowHandle window, std::string_view text) {
  const PanelLayout& p = PaintedPanelLayout();
  const int width = Shell.ScreenWidth;
  const int height = Shell.TextHeight;
  PanelField row{Rect{0, p.gps_row, width, p.gps_row + height}, PanelFont::kLabel};
  ClearPanelField(window, row);
  const int text_width = MeasureText(Shell.NormalFont, text).cx;
  PanelField centred{Rect{(width - text_width) / 2, p.gps_row, width, p.gps_row + height},
                     PanelFont::kLabel};
  DrawPanelField(window, centred, text);
}

}  // namespace tq
