// The setup dialogs and the scale dialog under random typing and choices,
// opened as the main window and the logging window open them, for every
// instrument kind, screen and build. After each OK a refusal must leave the
// settings and their file as they were, and an acceptance must leave a file
// that reads back to exactly the values in force, holds no byte the 8-bit
// text cannot, and shows again what was accepted. Numbers accepted must be
// what was typed, read by the plain rule below, after the clamps of each
// field, and never a value the field or the file cannot keep.
#include <gtest/gtest.h>
#include <rapidcheck.h>
#include <rapidcheck/gtest.h>

#include <cfloat>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <optional>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "logging/logging_commands.h"
#include "platform/controls.h"
#include "platform/dialogs.h"
#include "platform/files.h"
#include "platform/modal_responder.h"
#include "platform/window.h"
#include "settings/settings.h"
#include "shell/shell_state.h"
#include "tests/app/main_window_fixture.h"
#include "tests/support/property_budget.h"
#include "tests/support/temp_dir.h"
#include "tests/support/typed_texts.h"

namespace tq {
namespace {

static testing::PropertyBudget kBudget("seed=20261208 max_success=80 max_size=60 noshrink=1");

// What the texts of a scale set the template lacks read as.
constexpr const char* kAbsent = "\x01" "absent";

enum Dialog { kSurvey, kLogger, kGps, kDisplay, kScale, kDialogCount };
const char* const kDialogNames[] = {"survey", "logger", "gps", "display", "scale"};

// --- The plain rule -----------------------------------------------------------

std::string Fixed(double value, int decimals) {
  char text[400];
  auto end = std::to_chars(text, text + sizeof text, value, std::chars_format::fixed, decimals).ptr;
  return std::string(text, end);
}

// The leading decimal number of a field's text: blanks, a sign ("-", "+" or
// U+2212), digits with a point or a comma, an exponent; 0 when there is none.
// Beyond the double range it is the largest double. `decimals` counts the
// decimals that matter (trailing zeros do not, the exponent moves the point).
struct Plain {
  double value = 0.0;
  int decimals = 0;
  bool whole_text = true;  // nothing but blanks around the number: a field takes no more
};

Plain ReadPlain(std::string text) {
  for (size_t at; (at = text.find("\xE2\x88\x92")) != std::string::npos;) text.replace(at, 3, "-");
  for (char& c : text) c = c == ',' ? '.' : c;
  static const std::regex number(R"(^[ \t]*([+-]?)(\d*)(?:\.(\d*))?(?:[eE]([+-]?\d+))?)");
  std::smatch m;
  Plain p;
  if (!std::regex_search(text, m, number) || m[2].length() + m[3].length() == 0) {
    p.whole_text = text.find_first_not_of(" \t") == std::string::npos;
    return p;
  }
  p.whole_text = text.find_first_not_of(" \t", static_cast<size_t>(m.length(0))) == std::string::npos;
  std::string digits = m[2].str() + "." + m[3].str() + (m[4].matched ? "e" + m[4].str() : "");
  long double magnitude = 0;  // free of the locale
  // Beyond even a long double the exponent's sign says which end.
  if (std::from_chars(digits.data(), digits.data() + digits.size(), magnitude).ec == std::errc::result_out_of_range) {
    magnitude = m[4].str().starts_with('-') ? 0.0L : static_cast<long double>(DBL_MAX);
  }
  p.value = static_cast<double>(std::min<long double>(magnitude, DBL_MAX)) * (m[1] == "-" ? -1 : 1);
  std::string fraction = m[3].str();
  fraction.erase(fraction.find_last_not_of('0') + 1);
  const long exponent = m[4].matched ? std::strtol(m[4].str().c_str(), nullptr, 10) : 0;
  p.decimals = static_cast<int>(std::max(0L, static_cast<long>(fraction.size()) - exponent));
  return p;
}

// The bytes of a settings file that are not text: controls of either half.
bool HoldsControlByte(const std::string& file) {
  for (size_t i = 0; i < file.size(); ++i) {
    const auto b = static_cast<unsigned char>(file[i]);
    const bool line_end = (b == '\r' && i + 1 < file.size() && file[i + 1] == '\n') ||
                          (b == '\n' && i > 0 && file[i - 1] == '\r');
    if (!line_end && (b < 0x20 || b == 0x7F || (b >= 0x80 && b < 0xA0))) return true;
  }
  return false;
}

// Every value of the store, floats to the bit. `loaded` leaves out what a
// load does not set (what the window's size and the display choice derive).
std::string Snapshot(const SettingsStore& s, bool loaded = false) {
  std::ostringstream out;
  out << std::hexfloat;
  auto put = [&out](const auto&... values) { ((out << values << ' '), ...); };
  put(s.Tq62Variant, s.IceOption, s.ShowProfile, s.SeaWaterIndex, s.IceScaleMin, s.IceScaleMax, s.Units,
      s.InstrumentPort, s.Audio, s.PauseKey, s.GridFor, s.CondScaleMin, s.CondScaleMax, s.InphaseScaleMin,
      s.InphaseScaleMax, s.GpsInput, s.GpsPort, s.GpsBaud, s.GpsDataBits, s.GpsParity, s.GpsStopBits,
      s.SurveyMode, s.Component, s.DipoleMode, s.SamplesPerReading, s.Mk2Variant, s.AutoStationIncrement,
      s.WheelStationIncrement, s.ManualStationIncrement, s.ReadingInterval, "[" + s.SurveyLine + "]",
      s.LineIncrement, s.Sequence, s.Direction, s.StartStation, s.StationIncrement, s.SoftMarker,
      s.ExtMarkerPort, s.SurveyDialogMode, s.CurrentStation, s.FramePeriodMs, s.FramesPerInterval,
      s.ReadingsPerSecond);
  for (size_t i = 0; i < 8; ++i) put(s.TraceVisible[i], s.TraceThickness[i], s.TraceColor[i]);
  for (float c : s.Mk2Calibration) put(c);
  if (!loaded) {
    put(s.PlotHeight, s.CondPixelsPerUnit, s.InphasePixelsPerUnit, s.IcePixelsPerUnit, s.ReadingsPerStation);
    for (int32_t a : s.TraceActive) put(a);
  }
  return out.str();
}

// --- What is generated -----------------------------------------------------------

// One opening of a dialog: what is typed into each edit field in the
// dialog's order (nothing leaves the field as shown), a choice for each list
// and box (-1 leaves it), the colours picked, and OK or Cancel.
struct Opening {
  int dialog = kSurvey;
  bool ok = true;
  std::vector<std::optional<std::string>> texts;
  std::vector<int> picks;
  std::vector<uint32_t> colours;
};

struct Case {
  int kind = 7;
  int root = 1;
  int ice = 0;
  bool portrait = true;
  std::vector<Opening> openings;
};

void showValue(const Opening& o, std::ostream& os) {
  os << kDialogNames[o.dialog] << (o.ok ? " OK" : " Cancel") << " texts{";
  for (const auto& t : o.texts) {
    if (t) {
      os << '"';
      for (unsigned char c : *t) {
        if (c < 0x20 || c >= 0x7F) os << "\\x" << std::hex << int{c} << std::dec;
        else os << c;
      }
      os << "\" ";
    } else {
      os << "- ";
    }
  }
  os << "} picks{";
  for (int p : o.picks) os << p << ' ';
  os << '}';
}

void showValue(const Case& c, std::ostream& os) {
  os << "kind " << c.kind << " root " << c.root << " ice " << c.ice << (c.portrait ? " portrait" : " landscape");
  for (const Opening& o : c.openings) {
    os << "\n  ";
    showValue(o, os);
  }
}

// Valid texts, so that OK succeeds often enough: a rate every kind can log,
// a line name, a number every numeric field keeps.
rc::Gen<std::string> PlainRate() {
  return rc::gen::apply(
      [](int whole, int hundredths) {
        return std::to_string(whole) + (hundredths < 10 ? "" : "." + std::to_string(hundredths));
      },
      rc::gen::element(0, 1, 2, 3, 5, 6, 7, 9, 10), rc::gen::inRange(0, 100));
}
rc::Gen<std::string> PlainName() {
  return rc::gen::mapcat(rc::gen::inRange<size_t>(1, 12), [](size_t n) {
    return rc::gen::container<std::string>(n, rc::gen::element('A', 'Z', '7', '-', 'n'));
  });
}
// Mostly numbers of a few digits and decimals; now and then one of six or
// seven digits, which a float32 keeps only to a decimal or two, or one with
// more decimals than a settings line keeps.
rc::Gen<std::string> PlainNumber() {
  return rc::gen::apply(
      [](bool minus, int whole, int decimals, int digits) {
        std::string text = (minus ? "-" : "") + std::to_string(whole);
        if (decimals > 0) text += "." + std::to_string(digits).substr(0, static_cast<size_t>(decimals));
        return text;
      },
      rc::gen::arbitrary<bool>(),
      rc::gen::weightedOneOf<int>({{4, rc::gen::inRange(0, 10000)}, {1, rc::gen::inRange(0, 1000000)}}),
      rc::gen::weightedElement<int>({{3, 0}, {3, 1}, {3, 2}, {2, 3}, {1, 6}, {1, 7}, {1, 8}}),
      rc::gen::inRange(10000000, 100000000));
}

rc::Gen<std::optional<std::string>> FieldText(rc::Gen<std::string> plain) {
  using Text = std::optional<std::string>;
  return rc::gen::weightedOneOf<Text>({
      {2, rc::gen::just(Text())},
      {2, rc::gen::map(testing::TypedText(), [](std::string t) { return Text(std::move(t)); })},
      {3, rc::gen::map(std::move(plain), [](std::string t) { return Text(std::move(t)); })},
  });
}

rc::Gen<Opening> GenOpening() {
  return rc::gen::mapcat(rc::gen::element(kSurvey, kLogger, kGps, kDisplay, kScale), [](int dialog) {
    std::vector<rc::Gen<std::optional<std::string>>> fields;
    if (dialog == kSurvey) {
      fields = {FieldText(PlainRate()), FieldText(PlainName()), FieldText(PlainNumber()),
                FieldText(PlainNumber()), FieldText(PlainNumber())};
    } else if (dialog == kScale) {
      fields.assign(6, FieldText(PlainNumber()));
    }
    auto texts = rc::gen::exec([fields] {
      std::vector<std::optional<std::string>> out;
      for (const auto& f : fields) out.push_back(*f);
      return out;
    });
    return rc::gen::apply(
        [dialog](bool ok, std::vector<std::optional<std::string>> t, std::vector<int> picks,
                 std::vector<uint32_t> colours) {
          return Opening{dialog, ok, std::move(t), std::move(picks), std::move(colours)};
        },
        rc::gen::weightedElement<bool>({{3, true}, {1, false}}), texts,
        rc::gen::container<std::vector<int>>(26, rc::gen::weightedOneOf<int>({{1, rc::gen::just(-1)},
                                                                              {2, rc::gen::inRange(0, 60)}})),
        rc::gen::container<std::vector<uint32_t>>(8, rc::gen::inRange<uint32_t>(0, 0x1000000)));
  });
}

rc::Gen<Case> GenCase() {
  return rc::gen::apply(
      [](int kind, int root, int ice, bool portrait, std::vector<Opening> openings) {
        return Case{kind, root, kind == kKindTq62 ? ice : 0, portrait, std::move(openings)};
      },
      rc::gen::element(0, 1, 2, 3, 4, 5, 6, 7), rc::gen::element(0, 1), rc::gen::element(0, 1),
      rc::gen::arbitrary<bool>(),
      rc::gen::mapcat(rc::gen::inRange<size_t>(1, 7),
                      [](size_t n) { return rc::gen::container<std::vector<Opening>>(n, GenOpening()); }));
}

// --- The responder -------------------------------------------------------------------

// Answers the one dialog a step opens with its script, every WARNING with
// OK (keeping its text), the colour picker with the colour asked for, and
// records anything else as unexpected.
class PropertyResponder : public ModalResponder {
 public:
  std::function<int(WindowHandle)> script;
  std::vector<std::string> warnings;
  std::vector<std::string> unexpected;
  std::optional<ColorRef> colour;

  std::optional<ModalAnswer> Answer(const ModalRequest& r) override {
    ModalAnswer answer;
    if (r.kind == ModalKind::kDialog && script) {
      auto run = std::move(script);
      script = nullptr;
      answer.result = run(r.window);
    } else if (r.kind == ModalKind::kMessageBox && r.name == "WARNING") {
      warnings.push_back(r.text);
      answer.result = IDOK;
    } else if (r.kind == ModalKind::kColor) {
      answer.color = colour;
    } else {
      unexpected.push_back(r.name + ": " + r.text);
      answer.result = IDCANCEL;
    }
    return answer;
  }
};

// --- The property ----------------------------------------------------------------------

constexpr int kSurveyEdits[] = {621, 624, 625, 628, 629};
constexpr int kSurveyLists[] = {620, 622, 623, 626, 627};
constexpr int kLoggerLists[] = {816, 818, 820, 810, 823, 813, 814, 824, 825, 826};
constexpr int kScaleEdits[] = {833, 834, 838, 839, 843, 844};

int Selection(WindowHandle d, int id) {
  WindowHandle list = GetDlgItem(d, id);
  return list == nullptr ? -1 : GetComboSelection(list);
}

void Pick(WindowHandle d, int id, int pick) {
  WindowHandle list = GetDlgItem(d, id);
  if (list != nullptr && pick >= 0 && GetComboCount(list) > 0) ChooseComboItem(list, pick % GetComboCount(list));
}

class SetupDialogs : public testing::MainWindowTest {
 protected:
  std::string FilePath() const { return MapSystemPath(SettingsFileSystemPath(Build())).string(); }
  std::string FileBytes() const { return testing::ReadFileBytes(FilePath()); }

  // Opens `dialog` as the program does, runs `script` in it.
  void OpenDialog(int dialog, std::function<int(WindowHandle)> script) {
    responder.script = std::move(script);
    if (dialog == kScale) {
      SendMessage(Shell.LoggingWindow, WM_COMMAND, MAKEWPARAM(kMenuScale, 0));
      Settle();
    } else {
      ClickMainButton(dialog == kSurvey ? 1 : dialog == kLogger ? 2 : dialog == kGps ? 3 : 4);
    }
    RC_ASSERT(responder.script == nullptr);
  }

  // The dialog each generated choice of dialog stands for on this build:
  // the TQ93 has no survey setup.
  static int DialogFor(int dialog) {
    return dialog == kSurvey && Build().InstrumentKind == kKindTq93 ? kLogger : dialog;
  }

  void RunCase(const Case& c, size_t& commands);
  void RunOpenings(const Case& c, size_t& commands);

  PropertyResponder responder;
  bool torn_down = false;
};

// What the operator left in the dialog when pressing OK.
struct Entry {
  std::vector<std::string> texts;
  std::vector<int> lists;
  std::vector<int> boxes;
  std::vector<uint32_t> colours;
};

// Labels the WARNING of each dialog may name.
const std::vector<std::string>& LabelsOf(int dialog) {
  static const std::vector<std::string> survey = {"Readings/s", "Samples/Rdg", "Survey Line", "Line Increment",
                                                  "Start Station", "Stn Increment", "Wheel Inc."};
  static const std::vector<std::string> scale = {"Conductivity M", "Thickness M", "Inphase M", "Ice Thickness M"};
  static const std::vector<std::string> none;
  return dialog == kSurvey ? survey : dialog == kScale ? scale : none;
}

// Expects `accepted` in the store from what OK read (`e`), by the rules
// that decide what goes into the file; `before` is the store at opening.
void CheckModel(int dialog, const Entry& e, const SettingsStore& before, const SettingsStore& s, bool portrait) {
  const int32_t kind = Build().InstrumentKind;
  SettingsStore want = before;
  if (dialog == kSurvey) {
    const bool two_modes = kind == kKindFrz62 || kind == kKindTq68Mk2;
    const int mode = two_modes ? (e.lists[0] == 1 ? (kind == kKindFrz62 ? 1 : 2) : 0) : std::max(0, e.lists[0]);
    RC_ASSERT(s.SurveyMode == mode);
    const Plain rate = ReadPlain(e.texts[0]);
    if (mode != 1) RC_ASSERT(rate.whole_text);
    if (mode == 0) {
      double r = rate.value <= 0.0 ? 1.0 : rate.value;
      if (kind == kKindFrz62) r = std::min(r, 1.0);
      const double fastest = kind == kKindFrz62 ? 1.0 : 1000.0 / (kind == 7 ? 47.0 : kind == 3 ? 72.0 : 91.0);
      RC_ASSERT(r >= 0.01);
      RC_ASSERT(r <= std::round(fastest * 100.0) / 100.0);
      // The interval is kept as the file's six decimals hold it.
      RC_ASSERT(std::fabs(s.ReadingInterval - (kind == kKindFrz62 ? 1.0 : 1.0 / r)) <= 5.0e-7 + 1.0e-7 / r);
    } else if (mode == 2) {
      RC_ASSERT(s.SamplesPerReading == static_cast<int32_t>(std::clamp(std::trunc(rate.value), 1.0, 100.0)));
    }
    RC_ASSERT(s.SurveyLine == CutSurveyLine(e.texts[1]));
    for (unsigned char c : s.SurveyLine) RC_ASSERT(c >= 0x20 && c != 0x7F);
    // Each number as its field shows it and its record keeps it.
    const Plain line_increment = ReadPlain(e.texts[2]);
    for (size_t i : {2u, 3u, 4u}) RC_ASSERT(ReadPlain(e.texts[i]).whole_text);
    RC_ASSERT(s.LineIncrement == static_cast<float>(line_increment.value));
    RC_ASSERT(std::strtod(Fixed(s.LineIncrement, 2).c_str(), nullptr) == line_increment.value);
    RC_ASSERT(std::fabs(line_increment.value) <= 999999.0);
    const Plain start = ReadPlain(e.texts[3]);
    RC_ASSERT(s.StartStation == start.value);
    RC_ASSERT(s.CurrentStation == start.value);
    RC_ASSERT(std::strtod(Fixed(start.value, 2).c_str(), nullptr) == start.value);
    RC_ASSERT(Fixed(start.value, 2).size() <= 11u);
    const Plain increment = ReadPlain(e.texts[4]);
    const double want_increment = increment.value == 0.0 ? 1.0 : increment.value;
    RC_ASSERT(s.StationIncrement == static_cast<float>(want_increment));
    RC_ASSERT(std::strtod(Fixed(s.StationIncrement, 3).c_str(), nullptr) == want_increment);
    RC_ASSERT(std::fabs(want_increment) <= 999999.0);
    const float increments[] = {s.AutoStationIncrement, s.WheelStationIncrement, s.ManualStationIncrement};
    RC_ASSERT(increments[mode] == s.StationIncrement);
    // The TQ68-DD's and TQ68's short component list outside Manual starts at "Inphase".
    const bool short_list = (kind == kKindTq68dd || kind == kKindTq68) && mode != 2;
    int32_t component = before.Component;
    if ((kind == kKindTq62 || kind == kKindTq68dd || kind == kKindTq68) && e.lists[1] >= 0) {
      component = e.lists[1] + (short_list ? 1 : 0);
    }
    RC_ASSERT(s.Component == (kind == kKindTq68Mk2 ? 0 : component));
    if (kind != kKindTq68dd && kind != kKindFrz62 && e.lists[2] >= 0) RC_ASSERT(s.DipoleMode == e.lists[2]);
    if (e.lists[3] >= 0) RC_ASSERT(s.Sequence == e.lists[3]);
    if (e.lists[4] >= 0) RC_ASSERT(s.Direction == e.lists[4]);
    return;
  }
  if (dialog == kScale) {
    struct Set {
      int bottom_text;
      float *bottom, *top;
      bool thickness;
    };
    const Set sets[] = {{0, &want.CondScaleMin, &want.CondScaleMax, kind == kKindFrz62},
                        {2, &want.InphaseScaleMin, &want.InphaseScaleMax, false},
                        {4, &want.IceScaleMin, &want.IceScaleMax, true}};
    for (const Set& set : sets) {
      if (e.texts[static_cast<size_t>(set.bottom_text)] == kAbsent) continue;
      const Plain b = ReadPlain(e.texts[static_cast<size_t>(set.bottom_text)]);
      const Plain t = ReadPlain(e.texts[static_cast<size_t>(set.bottom_text) + 1]);
      RC_ASSERT(b.whole_text && t.whole_text);
      double bottom = b.value, top = t.value;
      if (set.thickness) {
        bottom = bottom < 0.0 ? 0.0 : bottom > 10.0 ? 9.0 : bottom;
        top = std::clamp(top, 0.0, 10.0);
        if (top <= bottom) top = bottom + 1.0;
      } else {
        bottom = std::clamp(bottom, -9000.0, 9000.0);
        top = std::clamp(top, -9000.0, 9000.0);
        if (top <= bottom) top = bottom + 100.0;
      }
      // A number stored as typed must fit the file's six decimals.
      if (bottom == b.value) RC_ASSERT(b.decimals <= 6);
      if (top == t.value) RC_ASSERT(t.decimals <= 6);
      *set.bottom = static_cast<float>(bottom);
      *set.top = static_cast<float>(top);
    }
    RC_ASSERT(s.CondScaleMin == want.CondScaleMin && s.CondScaleMax == want.CondScaleMax);
    RC_ASSERT(s.InphaseScaleMin == want.InphaseScaleMin && s.InphaseScaleMax == want.InphaseScaleMax);
    RC_ASSERT(s.IceScaleMin == want.IceScaleMin && s.IceScaleMax == want.IceScaleMax);
    return;
  }
  auto keep = [](int32_t& field, int position) {
    if (position >= 0) field = position;
  };
  if (dialog == kLogger) {
    if (kind == kKindTq62 && Build().IceOptionBuilt == 1) {
      keep(want.IceOption, e.lists[0]);
      keep(want.SeaWaterIndex, e.lists[1]);
      keep(want.ShowProfile, e.lists[2]);
    }
    if (kind == kKindTq62) keep(want.Tq62Variant, e.lists[3]);
    if (kind == kKindTq68Mk2 && e.lists[3] >= 0) want.Mk2Variant = e.lists[3] + 1;
    keep(want.InstrumentPort, e.lists[4]);
    if (kind == kKindTq68Mk2) {
      keep(want.ExtMarkerPort, e.lists[5]);
      keep(want.SoftMarker, e.lists[6]);
    }
    keep(want.Units, e.lists[7]);
    keep(want.Audio, e.lists[8]);
    keep(want.PauseKey, e.lists[9]);
    if (kind == kKindTq68Mk2 && portrait) want.PauseKey = 2;
  } else if (dialog == kGps) {
    int32_t* fields[] = {&want.GpsInput, &want.GpsPort, &want.GpsBaud, &want.GpsParity, &want.GpsDataBits,
                         &want.GpsStopBits};
    for (size_t i = 0; i < 6; ++i) keep(*fields[i], e.lists[i]);
  } else {
    for (size_t k = 0; k < 8; ++k) {
      want.TraceVisible[k] = e.boxes[k];
      if (e.lists[k] >= 0) want.TraceThickness[k] = e.lists[k] + 1;
      want.TraceColor[k] = e.colours[k];
    }
    RC_ASSERT(s.TraceVisible == want.TraceVisible);
    RC_ASSERT(s.TraceThickness == want.TraceThickness);
    RC_ASSERT(s.TraceColor == want.TraceColor);
    return;
  }
  RC_ASSERT(Snapshot(s) == Snapshot(want));
}

// Reads every field of the open dialog: what does not show the store, or
// nothing. (A script must not throw through the dialog's event handling.)
#define SHOWN(cond) \
  if (!(cond)) return std::string(#cond)
std::string CheckShown(int dialog, WindowHandle d, const SettingsStore& s) {
  const int32_t kind = Build().InstrumentKind;
  auto text = [d](int id) { return GetDlgItemText(d, id); };
  if (dialog == kSurvey) {
    const bool two_modes = kind == kKindFrz62 || kind == kKindTq68Mk2;
    const int mode = kind == kKindFrz62 && s.SurveyMode == 2 ? 1 : s.SurveyMode;
    SHOWN(Selection(d, 620) == (two_modes ? (mode == 0 ? 0 : 1) : mode));
    if (mode == 0) {
      SHOWN(std::fabs(ReadPlain(text(621)).value - 1.0 / s.ReadingInterval) <= 0.0051);
    } else if (mode == 2) {
      SHOWN(text(621) == std::to_string(s.SamplesPerReading));
    } else {
      SHOWN(text(621) == "Not Available");
    }
    SHOWN(text(624) == s.SurveyLine);
    SHOWN(text(625) == Fixed(s.LineIncrement, 2));
    SHOWN(text(628) == Fixed(s.StartStation, 3));
    SHOWN(text(629) == Fixed(s.StationIncrement, 3));
    const bool short_list = (kind == kKindTq68dd || kind == kKindTq68) && mode != 2;
    if (GetDlgItem(d, 622) != nullptr) SHOWN(Selection(d, 622) == (short_list ? s.Component - 1 : s.Component));
    if (GetDlgItem(d, 623) != nullptr) SHOWN(Selection(d, 623) == s.DipoleMode);
    SHOWN(Selection(d, 626) == s.Sequence);
    SHOWN(Selection(d, 627) == s.Direction);
  } else if (dialog == kScale) {
    const int decimals = kind == kKindFrz62 ? 1 : 0;
    SHOWN(text(833) == Fixed(s.CondScaleMin, decimals));
    SHOWN(text(834) == Fixed(s.CondScaleMax, decimals));
    if (GetDlgItem(d, 838) != nullptr) SHOWN(text(839) == Fixed(s.InphaseScaleMax, 0));
    if (GetDlgItem(d, 843) != nullptr) SHOWN(text(843) == Fixed(s.IceScaleMin, 0));
  } else if (dialog == kLogger) {
    SHOWN(Selection(d, 823) == s.InstrumentPort);
    SHOWN(Selection(d, 824) == s.Units);
    SHOWN(Selection(d, 825) == s.Audio);
    SHOWN(Selection(d, 826) == s.PauseKey);
  } else if (dialog == kGps) {
    const int32_t fields[] = {s.GpsInput, s.GpsPort, s.GpsBaud, s.GpsParity, s.GpsDataBits, s.GpsStopBits};
    for (int i = 0; i < 6; ++i) SHOWN(Selection(d, 720 + i) == fields[i]);
  } else {
    for (int k = 0; k < 8; ++k) {
      const auto slot = static_cast<size_t>(k);
      if (GetDlgItem(d, 766 + k) != nullptr) SHOWN(Selection(d, 766 + k) == s.TraceThickness[slot] - 1);
      if (WindowHandle box = GetDlgItem(d, 750 + k)) SHOWN(IsButtonChecked(box) == (s.TraceVisible[slot] == 1));
    }
    if (GetDlgItem(d, 775) != nullptr) SHOWN(Selection(d, 775) == s.GridFor);
  }
  return {};
}
#undef SHOWN

// Works the dialog's controls as the opening says and returns what OK reads.
Entry Work(int dialog, WindowHandle d, const Opening& o, PropertyResponder& responder) {
  Entry e;
  auto pick = [&o](size_t i) { return i < o.picks.size() ? o.picks[i] : -1; };
  if (dialog == kSurvey) {
    for (size_t i = 0; i < 5; ++i) Pick(d, kSurveyLists[i], pick(i));
    for (size_t i = 0; i < 5; ++i) {
      if (o.texts[i]) TypeText(GetDlgItem(d, kSurveyEdits[i]), *o.texts[i]);
    }
    for (int id : kSurveyEdits) e.texts.push_back(GetDlgItemText(d, id));
    for (int id : kSurveyLists) e.lists.push_back(Selection(d, id));
  } else if (dialog == kScale) {
    for (size_t i = 0; i < 6; ++i) {
      WindowHandle edit = GetDlgItem(d, kScaleEdits[i]);
      if (edit != nullptr && o.texts[i]) TypeText(edit, *o.texts[i]);
      e.texts.push_back(edit != nullptr ? GetDlgItemText(d, kScaleEdits[i]) : kAbsent);
    }
  } else if (dialog == kLogger) {
    for (size_t i = 0; i < 10; ++i) Pick(d, kLoggerLists[i], pick(i));
    for (int id : kLoggerLists) e.lists.push_back(Selection(d, id));
  } else if (dialog == kGps) {
    for (int i = 0; i < 6; ++i) Pick(d, 720 + i, pick(static_cast<size_t>(i)));
    for (int i = 0; i < 6; ++i) e.lists.push_back(Selection(d, 720 + i));
  } else {
    e.colours.assign(Settings.TraceColor.begin(), Settings.TraceColor.end());
    for (int k = 0; k < 8; ++k) {
      const auto slot = static_cast<size_t>(k);
      Pick(d, 766 + k, pick(slot));
      if (WindowHandle box = GetDlgItem(d, 750 + k); box != nullptr && pick(8 + slot) % 2 == 1) ClickButton(box);
      if (WindowHandle swatch = GetDlgItem(d, 758 + k); swatch != nullptr && pick(16 + slot) >= 0) {
        responder.colour = pick(16 + slot) % 3 == 0 ? std::nullopt : std::optional<ColorRef>(o.colours[slot]);
        if (ClickButton(swatch) && responder.colour) e.colours[slot] = *responder.colour;
      }
    }
    Pick(d, 775, pick(24));
    Pick(d, 777, pick(25));
    for (int k = 0; k < 8; ++k) {
      WindowHandle box = GetDlgItem(d, 750 + k);
      e.boxes.push_back(box != nullptr && IsButtonChecked(box) ? 1 : 0);
      e.lists.push_back(Selection(d, 766 + k));
    }
  }
  return e;
}

// True when OK must take what the opening typed: every field left as shown
// or holding a plain valid text (in Manual mode the samples a whole number).
bool MustAccept(int dialog, const Opening& o, const Entry& e) {
  static const std::regex rate(R"(\d{1,2}(\.\d\d)?)"), whole(R"(\d{1,3})"),
      name(R"([A-Za-z0-9 -]{0,11})"), number(R"(-?\d{1,4}(\.\d{1,2})?)");
  auto plain = [&o](size_t i, const std::regex& form) {
    return !o.texts[i] || std::regex_match(*o.texts[i], form);
  };
  if (dialog == kScale) {
    for (size_t i = 0; i < 6; ++i) {
      if (!plain(i, number)) return false;
    }
    return true;
  }
  if (dialog != kSurvey) return true;
  const int32_t kind = Build().InstrumentKind;
  const bool two_modes = kind == kKindFrz62 || kind == kKindTq68Mk2;
  const bool manual = two_modes ? kind == kKindTq68Mk2 && e.lists[0] == 1 : e.lists[0] == 2;
  const bool automatic = e.lists[0] == 0;
  if (automatic && o.texts[0] && (!plain(0, rate) || (kind != kKindFrz62 && ReadPlain(*o.texts[0]).value > 10.99))) {
    return false;
  }
  if (manual && !plain(0, whole)) return false;
  return plain(1, name) && plain(2, number) && plain(3, number) && plain(4, number);
}

void SetupDialogs::RunCase(const Case& c, size_t& commands) {
  try {
    RunOpenings(c, commands);
  } catch (...) {
    // A failed case leaves no window behind for the next one.
    TearDown();
    torn_down = true;
    throw;
  }
}

void SetupDialogs::RunOpenings(const Case& c, size_t& commands) {
  Build() = BuildConfig{c.kind, c.root, c.ice};
  ScopedModalResponder scoped(&responder);
  std::vector<std::string> failures;
  SetModalFailureHandler([&failures](const std::string& what) { failures.push_back(what); });
  struct Restore {
    ~Restore() { SetModalFailureHandler(nullptr); }
  } restore;
  RC_ASSERT(OpenMainWindow(c.portrait ? 240 : 320, c.portrait ? 320 : 240) != nullptr);
  Shell.ChooseColorFn = &ChooseColor;
  RC_ASSERT((Shell.Portrait == 1) == c.portrait);

  for (const Opening& o : c.openings) {
    ++commands;
    const int dialog = DialogFor(o.dialog);
    const SettingsStore before = Settings;
    const std::string file_before = FileBytes();
    std::optional<Entry> entry;
    bool refused = false;
    std::string problem;  // found inside the dialog, asserted once it is closed
    OpenDialog(dialog, [&](WindowHandle d) -> int {
      entry = Work(dialog, d, o, responder);
      if (!o.ok) return IDCANCEL;
      const size_t warnings = responder.warnings.size();
      PressTitleButton(d, IDOK);
      if (responder.warnings.size() == warnings) return 0;
      // Refused: one WARNING that names a field of the dialog, and the dialog stays.
      refused = true;
      bool named = false;
      for (const std::string& label : LabelsOf(dialog)) named = named || responder.warnings.back().starts_with(label);
      if (responder.warnings.size() != warnings + 1 || !IsWindowVisible(d) || !named) {
        problem = "refused without one WARNING naming a field: " + responder.warnings.back();
      }
      return IDCANCEL;
    });
    RC_ASSERT(failures.empty());
    RC_ASSERT(responder.unexpected.empty());
    RC_ASSERT(problem == "");
    RC_ASSERT(entry.has_value());
    if (refused) RC_ASSERT(!MustAccept(dialog, o, *entry));
    if (!o.ok || refused) {
      RC_ASSERT(Snapshot(Settings) == Snapshot(before));
      RC_ASSERT(FileBytes() == file_before);
      continue;
    }
    // Accepted: the file is the store in force, as the program loads it.
    const std::string file = FileBytes();
    RC_ASSERT(file == FormatSettingsFile(Settings, Build()));
    RC_ASSERT(!HoldsControlByte(file));
    SettingsStore loaded;
    UpdateReadingTiming(loaded, Build());
    ApplyKindDefaults(loaded, Build());
    RC_ASSERT(LoadSettings(loaded, Build()));
    RC_ASSERT(Snapshot(loaded, true) == Snapshot(Settings, true));
    CheckModel(dialog, *entry, before, Settings, c.portrait);
    // Shown again as it is in force; looking changes nothing.
    ++commands;
    const SettingsStore accepted = Settings;
    OpenDialog(dialog, [&](WindowHandle d) {
      problem = CheckShown(dialog, d, accepted);
      return IDCANCEL;
    });
    RC_ASSERT(problem == "");
    RC_ASSERT(Snapshot(Settings) == Snapshot(accepted));
    RC_ASSERT(FileBytes() == file);
  }
}

RC_GTEST_FIXTURE_PROP(SetupDialogs, DialogsKeepStoreAndFileInStep, ()) {
  const Case c = *GenCase();
  if (testing::PropertyVerbose()) {
    std::ostringstream shown;
    showValue(c, shown);
    std::printf("%s\n", shown.str().c_str());
  }
  size_t commands = 0;
  bool done = false;
  struct Tally {
    size_t& commands;
    bool& done;
    ~Tally() { testing::CountSequence("SetupDialogs", commands, !done); }
  } tally{commands, done};
  RunCase(c, commands);
  done = true;
}

// The shortest cases of the faults the property found, each on a fresh data
// root.
struct Runner : SetupDialogs {
  void TestBody() override {}
  std::string Run(const Case& c) {
    SetUp();
    size_t commands = 0;
    std::string failure;
    try {
      RunCase(c, commands);
    } catch (const rc::detail::CaseResult& result) {
      failure = result.description;
    }
    if (!torn_down) TearDown();
    return failure;
  }
};

TEST(SetupDialogsRegression, ShortestCasesOfFaultsFound) {
  using T = std::optional<std::string>;
  std::vector<int> grid_inphase(26, -1);
  grid_inphase[24] = 1;
  std::vector<int> ice_profile(26, -1);
  ice_profile[25] = 1;
  const Case cases[] = {
      // A rate whose interval needs more than six decimals came back from the file as another.
      {0, 0, 0, false, {{kSurvey, true, {T("7"), {}, {}, {}, {}}, {}, {}}}},
      // The grid the TQ68's traces force was in force but not in the file.
      {3, 1, 0, false, {{kDisplay, true, {}, grid_inphase, {}}}},
      // An increment its float32 cannot keep to three decimals was taken as another.
      {0, 1, 0, false, {{kSurvey, true, {{}, {}, {}, {}, T("32768.1")}, {}, {}}}},
      // A scale end with more decimals than the file keeps came back from it as another.
      {1, 1, 0, false, {{kScale, true, {{}, {}, T("0.10000001"), {}, {}, {}}, {}, {}}}},
      // Only the first 32 characters of a scale field were looked at: more than a number was taken.
      {5, 1, 0, false, {{kScale, true, {{}, {}, {}, T(std::string(32, '9') + "--"), {}, {}}, {}, {}}}},
      // With the ice option built but off, the Ice Thickness profile chosen, and the grid on
      // the inphase the traces force, the dialog showed the grid on Ice Thickness.
      {0, 1, 1, false,
       {{kSurvey, true, {{}, {}, T("0"), {}, T("0")}, {0, 3, 0, -1, 0}, {}}, {kDisplay, true, {}, ice_profile, {}}}},
  };
  for (const Case& c : cases) {
    std::ostringstream shown;
    showValue(c, shown);
    EXPECT_EQ(Runner().Run(c), "") << shown.str();
  }
}

}  // namespace
}  // namespace tq
