// Dialog templates and pop-up menus as text (resources/dialogs/*.dlg and
// resources/menus/*.menu), and the dialog-unit arithmetic. Pure functions: no
// display is needed. The format is described in resources/dialogs/README.md:
//
//   dialog GETCOMMENT
//   title "Enter Comment"
//   size 90 60                      # dialog units
//   font "MS Sans Serif" 9          # points
//   control 850 static "Maximum 11 characters" 5 24 80 10 center
//   control 851 edit "" 15 5 60 14 border
//   end
//
//   menu 1100
//   item 1101 "&Scale"
//   separator
//   end
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/window_types.h"

namespace tq {

struct DialogControl {
  int id = 0;
  std::string class_name;  // "STATIC", "EDIT", "COMBOBOX", "LISTBOX" or "BUTTON"
  std::string text;
  int x = 0, y = 0, width = 0, height = 0;  // dialog units
  uint32_t style = 0;                       // WS_, BS_, SS_, ES_, CBS_, LBS_ bits
};

struct DialogTemplate {
  std::string name;
  std::string title;
  int width = 0, height = 0;  // dialog units
  std::string font_face = "MS Sans Serif";
  int font_points = 9;
  bool centered = true;  // else placed at (x, y) of the owner's top-level window
  int x = 0, y = 0;
  std::vector<DialogControl> controls;
};

struct MenuItem {
  int id = 0;  // 0: a separator
  std::string text;
};

struct MenuTemplate {
  int id = 0;
  std::vector<MenuItem> items;
};

struct ResourceScript {
  std::vector<DialogTemplate> dialogs;
  std::vector<MenuTemplate> menus;
};

// Parses `text` and appends its dialogs and menus to `script`. False with
// "<line>: <reason>" in `error` at the first fault; `script` then keeps what
// came before the faulty block.
bool ParseResourceScript(std::string_view text, ResourceScript* script, std::string* error);

// The template named `name`, compared without regard to case; null when none.
const DialogTemplate* FindDialogTemplate(const ResourceScript& script, std::string_view name);
const MenuTemplate* FindMenuTemplate(const ResourceScript& script, int id);

// Pixels per 4 horizontal and 8 vertical dialog units.
struct DialogBaseUnits {
  int x = 0;
  int y = 0;
};

// Base units from the width of "A".."Z" "a".."z" in the dialog font (rounded
// average over 52 characters) and the font's height.
DialogBaseUnits BaseUnitsFromFont(int alphabet_width, int font_height);

// Pixels for a position or a length in dialog units, rounded to nearest.
int DialogUnitsToPixelsX(int units, DialogBaseUnits base);
int DialogUnitsToPixelsY(int units, DialogBaseUnits base);

// Pixel height of a font given in points, on the handheld's 96-dot screen.
int PointsToPixels(int points);

}  // namespace tq
