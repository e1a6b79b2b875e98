#include "platform/resource_script.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <optional>
#include <set>

namespace tq {
namespace {

struct Token {
  std::string text;
  bool quoted = false;
};

// Splits a line into words and quoted strings ("\"" and "\\" inside); '#'
// outside quotes starts a comment. False on an unterminated string.
bool Tokenize(std::string_view line, std::vector<Token>* tokens) {
  size_t i = 0;
  while (i < line.size()) {
    char c = line[i];
    if (std::isspace(static_cast<unsigned char>(c))) {
      ++i;
    } else if (c == '#') {
      break;
    } else if (c == '"') {
      Token token{"", true};
      ++i;
      bool closed = false;
      while (i < line.size()) {
        char d = line[i++];
        if (d == '\\' && i < line.size()) {
          token.text += line[i++];
        } else if (d == '"') {
          closed = true;
          break;
        } else {
          token.text += d;
        }
      }
      if (!closed) return false;
      tokens->push_back(std::move(token));
    } else {
      size_t start = i;
      while (i < line.size() && !std::isspace(static_cast<unsigned char>(line[i])) && line[i] != '"') ++i;
      tokens->push_back(Token{std::string(line.substr(start, i - start)), false});
    }
  }
  return true;
}

std::optional<int> ParseInt(const Token& token) {
  if (token.quoted) return std::nullopt;
  int value = 0;
  const char* begin = token.text.data();
  const char* end = begin + token.text.size();
  auto [ptr, ec] = std::from_chars(begin, end, value);
  if (ec != std::errc() || ptr != end) return std::nullopt;
  return value;
}

std::string Lower(std::string_view s) {
  std::string out(s);
  for (char& c : out) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return out;
}

struct ClassInfo {
  const char* word;
  const char* class_name;
  uint32_t style;
};

// The file's class words, the system class behind each and its usual style.
constexpr ClassInfo kClasses[] = {
    {"static", "STATIC", SS_LEFT},
    {"edit", "EDIT", ES_AUTOHSCROLL | WS_TABSTOP},
    {"combo", "COMBOBOX", CBS_DROPDOWNLIST | WS_TABSTOP},
    {"listbox", "LISTBOX", LBS_NOTIFY | WS_TABSTOP},
    {"button", "BUTTON", BS_PUSHBUTTON | WS_TABSTOP},
    {"checkbox", "BUTTON", BS_AUTOCHECKBOX | WS_TABSTOP},
    {"ownerdraw", "BUTTON", BS_OWNERDRAW | WS_TABSTOP},
    {"groupbox", "BUTTON", BS_GROUPBOX},
};

const ClassInfo* FindClassWord(std::string_view word) {
  for (const ClassInfo& c : kClasses) {
    if (word == c.word) return &c;
  }
  return nullptr;
}

// Applies one style word; false when the word means nothing for the class.
bool ApplyFlag(std::string_view cls, std::string_view flag, uint32_t* style) {
  auto set = [&](uint32_t bits) {
    *style |= bits;
    return true;
  };
  auto set_low = [&](uint32_t mask, uint32_t bits) {
    *style = (*style & ~mask) | bits;
    return true;
  };
  if (flag == "border") return set(WS_BORDER);
  if (flag == "vscroll") return set(WS_VSCROLL);
  if (flag == "hscroll") return set(WS_HSCROLL);
  if (flag == "disabled") return set(WS_DISABLED);
  if (flag == "hidden") {
    *style &= ~WS_VISIBLE;
    return true;
  }
  if (flag == "tabstop") return set(WS_TABSTOP);
  if (flag == "notabstop") {
    *style &= ~WS_TABSTOP;
    return true;
  }
  if (flag == "group") return set(WS_GROUP);
  if (cls == "static" || cls == "edit") {
    if (flag == "left") return set_low(0x3, 0x0);
    if (flag == "center") return set_low(0x3, 0x1);
    if (flag == "right") return set_low(0x3, 0x2);
  }
  if (cls == "edit") {
    if (flag == "readonly") return set(ES_READONLY);
    if (flag == "number") return set(ES_NUMBER);
  }
  if (cls == "button" && flag == "default") return set_low(BS_TYPEMASK, BS_DEFPUSHBUTTON);
  if (cls == "checkbox") {
    if (flag == "lefttext") return set(BS_LEFTTEXT);
    if (flag == "manual") return set_low(BS_TYPEMASK, BS_CHECKBOX);
  }
  if (cls == "combo") {
    if (flag == "dropdown") return set_low(0x3, CBS_DROPDOWN);
    if (flag == "sort") return set(CBS_SORT);
  }
  if (cls == "listbox") {
    if (flag == "sort") return set(LBS_SORT);
    if (flag == "extendedsel") return set(LBS_EXTENDEDSEL);
    if (flag == "nonotify") {
      *style &= ~LBS_NOTIFY;
      return true;
    }
  }
  return false;
}

class Parser {
 public:
  Parser(ResourceScript* script, std::string* error) : script_(script), error_(error) {}

  bool Run(std::string_view text) {
    size_t start = 0;
    while (start <= text.size()) {
      size_t end = text.find('\n', start);
      if (end == std::string_view::npos) end = text.size();
      std::string_view line = text.substr(start, end - start);
      if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
      ++line_number_;
      std::vector<Token> tokens;
      if (!Tokenize(line, &tokens)) return Fail("unterminated string");
      if (!tokens.empty() && !Line(tokens)) return false;
      start = end + 1;
    }
    if (dialog_ || menu_) return Fail("missing \"end\"");
    return true;
  }

 private:
  bool Fail(const std::string& reason) {
    if (error_ != nullptr) *error_ = std::to_string(line_number_) + ": " + reason;
    return false;
  }

  bool Line(const std::vector<Token>& t) {
    const std::string key = Lower(t[0].text);
    if (!dialog_ && !menu_) {
      if (key == "dialog") return StartDialog(t);
      if (key == "menu") return StartMenu(t);
      return Fail("expected \"dialog\" or \"menu\", found \"" + t[0].text + "\"");
    }
    if (key == "end") return t.size() == 1 ? Finish() : Fail("\"end\" takes nothing");
    return dialog_ ? DialogLine(key, t) : MenuLine(key, t);
  }

  bool StartDialog(const std::vector<Token>& t) {
    if (t.size() != 2 || t[1].quoted) return Fail("dialog needs a name");
    dialog_.emplace();
    dialog_->name = t[1].text;
    ids_.clear();
    has_size_ = false;
    return true;
  }

  bool StartMenu(const std::vector<Token>& t) {
    std::optional<int> id = t.size() == 2 ? ParseInt(t[1]) : std::nullopt;
    if (!id || *id <= 0) return Fail("menu needs a positive id");
    menu_.emplace();
    menu_->id = *id;
    ids_.clear();
    return true;
  }

  bool DialogLine(const std::string& key, const std::vector<Token>& t) {
    DialogTemplate& d = *dialog_;
    if (key == "title") {
      if (t.size() != 2 || !t[1].quoted) return Fail("title needs one quoted text");
      d.title = t[1].text;
      return true;
    }
    if (key == "size") {
      std::optional<int> w = t.size() == 3 ? ParseInt(t[1]) : std::nullopt;
      std::optional<int> h = t.size() == 3 ? ParseInt(t[2]) : std::nullopt;
      if (!w || !h || *w <= 0 || *h <= 0) return Fail("size needs a positive width and height");
      d.width = *w;
      d.height = *h;
      has_size_ = true;
      return true;
    }
    if (key == "font") {
      std::optional<int> points = t.size() == 3 ? ParseInt(t[2]) : std::nullopt;
      if (!points || !t[1].quoted || *points <= 0) return Fail("font needs a quoted face and a point size");
      d.font_face = t[1].text;
      d.font_points = *points;
      return true;
    }
    if (key == "position") {
      if (t.size() == 2 && Lower(t[1].text) == "centered") {
        d.centered = true;
        return true;
      }
      std::optional<int> x = t.size() == 3 ? ParseInt(t[1]) : std::nullopt;
      std::optional<int> y = t.size() == 3 ? ParseInt(t[2]) : std::nullopt;
      if (!x || !y) return Fail("position needs \"centered\" or x and y");
      d.centered = false;
      d.x = *x;
      d.y = *y;
      return true;
    }
    if (key == "control") return ControlLine(t);
    return Fail("unknown dialog line \"" + t[0].text + "\"");
  }

  bool ControlLine(const std::vector<Token>& t) {
    if (!has_size_) return Fail("size must come before the controls");
    if (t.size() < 8) return Fail("control needs id, class, text, x, y, width, height");
    std::optional<int> id = ParseInt(t[1]);
    if (!id || *id < -1 || *id > 0xFFFF) return Fail("control id must be -1..65535");
    std::string cls = Lower(t[2].text);
    const ClassInfo* info = FindClassWord(cls);
    if (info == nullptr || t[2].quoted) return Fail("unknown control class \"" + t[2].text + "\"");
    if (!t[3].quoted) return Fail("control text must be quoted");
    int numbers[4];
    for (int i = 0; i < 4; ++i) {
      std::optional<int> v = ParseInt(t[4 + i]);
      if (!v || *v < 0) return Fail("control rectangle needs four numbers of 0 or more");
      numbers[i] = *v;
    }
    if (numbers[2] == 0 || numbers[3] == 0) return Fail("control " + t[1].text + " has no area");
    // A combo box's height is its dropped list's, which may reach past the dialog.
    if (numbers[0] + numbers[2] > dialog_->width ||
        (cls != "combo" && numbers[1] + numbers[3] > dialog_->height)) {
      return Fail("control " + t[1].text + " lies outside the dialog");
    }
    if (*id >= 0 && !ids_.insert(*id).second) return Fail("control id " + t[1].text + " used twice");
    DialogControl c;
    c.id = *id;
    c.class_name = info->class_name;
    c.text = t[3].text;
    c.x = numbers[0];
    c.y = numbers[1];
    c.width = numbers[2];
    c.height = numbers[3];
    c.style = WS_CHILD | WS_VISIBLE | info->style;
    for (size_t i = 8; i < t.size(); ++i) {
      if (t[i].quoted || !ApplyFlag(cls, Lower(t[i].text), &c.style)) {
        return Fail("style \"" + t[i].text + "\" does not apply to a " + cls);
      }
    }
    dialog_->controls.push_back(std::move(c));
    return true;
  }

  bool MenuLine(const std::string& key, const std::vector<Token>& t) {
    if (key == "separator") {
      if (t.size() != 1) return Fail("separator takes nothing");
      menu_->items.push_back(MenuItem{0, ""});
      return true;
    }
    if (key == "item") {
      std::optional<int> id = t.size() == 3 ? ParseInt(t[1]) : std::nullopt;
      if (!id || *id <= 0 || !t[2].quoted) return Fail("item needs a positive id and a quoted text");
      if (!ids_.insert(*id).second) return Fail("menu item " + t[1].text + " used twice");
      menu_->items.push_back(MenuItem{*id, t[2].text});
      return true;
    }
    return Fail("unknown menu line \"" + t[0].text + "\"");
  }

  bool Finish() {
    if (dialog_) {
      if (!has_size_) return Fail("dialog " + dialog_->name + " has no size");
      if (FindDialogTemplate(*script_, dialog_->name) != nullptr) {
        return Fail("dialog " + dialog_->name + " defined twice");
      }
      script_->dialogs.push_back(std::move(*dialog_));
      dialog_.reset();
    } else {
      if (FindMenuTemplate(*script_, menu_->id) != nullptr) {
        return Fail("menu " + std::to_string(menu_->id) + " defined twice");
      }
      script_->menus.push_back(std::move(*menu_));
      menu_.reset();
    }
    return true;
  }

  ResourceScript* script_;
  std::string* error_;
  int line_number_ = 0;
  std::optional<DialogTemplate> dialog_;
  std::optional<MenuTemplate> menu_;
  std::set<int> ids_;
  bool has_size_ = false;
};

// Rounds a * b / c to nearest, halves away from zero.
int MulDiv(int a, int b, int c) {
  long long product = static_cast<long long>(a) * b;
  long long half = c / 2;
  long long q = product >= 0 ? (product + half) / c : (product - half) / c;
  return static_cast<int>(q);
}

}  // namespace

bool ParseResourceScript(std::string_view text, ResourceScript* script, std::string* error) {
  return Parser(script, error).Run(text);
}

const DialogTemplate* FindDialogTemplate(const ResourceScript& script, std::string_view name) {
  std::string wanted = Lower(name);
  for (const DialogTemplate& d : script.dialogs) {
    if (Lower(d.name) == wanted) return &d;
  }
  return nullptr;
}

const MenuTemplate* FindMenuTemplate(const ResourceScript& script, int id) {
  for (const MenuTemplate& m : script.menus) {
    if (m.id == id) return &m;
  }
  return nullptr;
}

DialogBaseUnits BaseUnitsFromFont(int alphabet_width, int font_height) {
  return DialogBaseUnits{(alphabet_width + 26) / 52, font_height};
}

int DialogUnitsToPixelsX(int units, DialogBaseUnits base) { return MulDiv(units, base.x, 4); }

int DialogUnitsToPixelsY(int units, DialogBaseUnits base) { return MulDiv(units, base.y, 8); }

int PointsToPixels(int points) { return MulDiv(points, 96, 72); }

}  // namespace tq
