// The logging window's panel: the paint handler that draws its static texts
// and the values that change only with the operator's actions, and the
// drawing of single fields (cleared, then drawn) that the reading handlers
// and the controller use between paints. User-interface thread only.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "logging/panel_layout.h"
#include "platform/messages.h"

namespace tq {

// The layout for the current screen, build and settings.
PanelLayout CurrentPanelLayout();

// The layout the fields are drawn by: placed by every paint and by
// PlacePanelFields.
const PanelLayout& PaintedPanelLayout();
void PlacePanelFields();

// The paint handler: panel texts, file, state, battery, line and station,
// the GPS row. Gives the window the keyboard focus at the end.
void PaintPanel(WindowHandle window);

// Clears `field` with the panel's grey and draws `text` at its corner,
// clipped to the field.
void DrawPanelField(WindowHandle window, const PanelField& field, std::string_view text);
void ClearPanelField(WindowHandle window, const PanelField& field);
// The same, unless the field already shows `text`: most fields of a reading
// repeat the one before, and the panel is drawn twenty times a second.
void DrawChangedPanelField(WindowHandle window, const PanelField& field, std::string_view text);

// What `field` shows now, as drawn by the last paint or since; nothing when
// it was not drawn or another field was drawn over it.
std::optional<std::string> PanelFieldText(const PanelField& field);

// "File:" and the first 8 characters of the base name (8-bit characters).
void DrawFileField(WindowHandle window, std::string_view base_name);

}  // namespace tq
