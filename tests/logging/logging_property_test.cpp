// Random sequences of what an operator and the line can do to a logging run,
// checked after every command against a small model of what the data file,
// the settings file and the panel must then hold.
//
// The run is the real logging window on the offscreen display, over a real
// data root; the instrument's bytes go through the reader's own framing
// (ReaderIntake) into the window's message queue, so that each command's
// effect is complete when it returns. The model restates only the rules that
// decide what goes into a file: which key does what in which state, the
// records each action writes, the readings a frame makes and the stations
// they carry. RC_PARAMS sets the budget (scripts/property runs it longer);
// each sequence RapidCheck found is a row of the regression table at the end.
#include <gtest/gtest.h>
#include <rapidcheck.h>
#include <rapidcheck/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <iostream>
#include <optional>
#include <span>
#include <sstream>
#include <utility>
#include <string>
#include <vector>

#include "acquisition/acquisition_state.h"
#include "acquisition/readers.h"
#include "acquisition/serial_ports.h"
#include "app/logging_run.h"
#include "gps/gps_fix.h"
#include "gps/gps_reader.h"
#include "logging/live_panel.h"
#include "logging/logging_commands.h"
#include "logging/run_state.h"
#include "platform/clock.h"
#include "platform/controls.h"
#include "platform/dialogs.h"
#include "platform/modal_responder.h"
#include "platform/text.h"
#include "platform/window.h"
#include "settings/settings.h"
#include "shell/shell_state.h"
#include "survey/data_file_creation.h"
#include "survey/record_check.h"
#include "survey/record_reader.h"
#include "tests/app/main_window_fixture.h"
#include "tests/support/property_budget.h"
#include "tests/support/pty_pair.h"
#include "tests/support/temp_dir.h"
#include "tests/support/typed_texts.h"
#include "tools/sim/frame_encoding.h"

namespace tq {
namespace {

namespace fs = std::filesystem;
using testing::TypedText;

// CI reports a failing sequence as found; RC_PARAMS="reproduce=..." (printed
// with it) or scripts/property shrinks it to the shortest.
const testing::PropertyBudget kBudget("seed=20261208 max_success=300 max_size=60 noshrink=1");

constexpr uint32_t kFrameSpacingMs = 50;

// --- What is generated ------------------------------------------------------

// The instrument and the settings of one sequence.
struct RunSetup {
  int32_t kind = kKindTq68Mk2;
  bool portrait = true;
  int32_t survey_mode = 0;  // Auto, Wheel, Manual
  int32_t pause_key = 0;
  int32_t soft_marker = 0;
  int32_t samples = 1;      // per reading in Manual mode
  int32_t dipole_mode = 0;
  float interval = 0.2f;    // seconds between readings in Auto mode
  int32_t frame_length = 12;  // the TQ68's frames: 7 or 12
  bool gps = false;         // a GPS receiver on COM2
  uint32_t first_tick = 5000;  // the millisecond counter at the start
  bool new_year = false;       // the wall clock starts 31.12.2009 23:59:59.985, not 06.12.2009 14:05:07
};

// kPause presses the pause key the setup names, as an operator who knows it would.
enum class Act { kKey, kHold, kFrames, kCutFrame, kGarbage, kWrongLetter, kSilence, kStartRun, kGps, kPause };

// One command, with whatever the operator answers to the dialogs and boxes
// it brings up.
struct Step {
  Act act = Act::kKey;
  int key = 0;
  int count = 1;        // repeats of a held key, frames, silent checks, bytes
  bool marked = false;  // the frames carry the instrument's marker
  int value = 0;        // seed of the frames' values
  bool ok = true;       // OK (else Cancel) in dialogs
  bool yes = true;      // Yes (else No) in question boxes
  int menu = 0;         // the pop-up menu item
  std::string name;     // the data file's name; empty cancels the save dialog
  std::vector<std::optional<std::string>> texts;  // typed into the fields; nothing keeps the proposal
  int list1 = 0, list2 = 0;
};

const char* ActName(Act a) {
  switch (a) {
    case Act::kKey: return "Key";
    case Act::kHold: return "Hold";
    case Act::kFrames: return "Frames";
    case Act::kCutFrame: return "CutFrame";
    case Act::kGarbage: return "Garbage";
    case Act::kWrongLetter: return "WrongLetter";
    case Act::kSilence: return "Silence";
    case Act::kStartRun: return "StartRun";
    case Act::kGps: return "Gps";
    case Act::kPause: return "Pause";
  }
  return "?";
}

std::string KeyName(int key) {
  switch (key) {
    case VK_RETURN: return "Enter";
    case VK_ESCAPE: return "Escape";
    case VK_TAB: return "Tab";
    case VK_SPACE: return "Space";
    case VK_LEFT: return "Left";
    case VK_UP: return "Up";
    case VK_RIGHT: return "Right";
    case VK_DOWN: return "Down";
  }
  return std::string(1, static_cast<char>(key));
}

void showValue(const Step& s, std::ostream& os) {
  os << ActName(s.act);
  if (s.act == Act::kKey || s.act == Act::kHold) os << " " << KeyName(s.key);
  os << " count=" << s.count << (s.marked ? " marked" : "") << " value=" << s.value << (s.ok ? " OK" : " Cancel")
     << (s.yes ? " Yes" : " No") << " menu=" << s.menu << " name=\"" << s.name << "\" lists=" << s.list1 << ","
     << s.list2 << " texts=[";
  for (const auto& t : s.texts) os << (t ? "\"" + *t + "\"" : std::string("-")) << ";";
  os << "]";
}

void showValue(const RunSetup& r, std::ostream& os) {
  os << "kind " << r.kind << (r.portrait ? " portrait" : " landscape") << " mode " << r.survey_mode << " pause key "
     << r.pause_key << " soft marker " << r.soft_marker << " samples " << r.samples << " dipole " << r.dipole_mode
     << " interval " << r.interval << " frame length " << r.frame_length << (r.gps ? " gps" : "")
     << " first tick " << r.first_tick << (r.new_year ? " new year" : "");
}

rc::Gen<RunSetup> RunSetupGen() {
  return rc::gen::apply(
      [](int kind, bool portrait, int mode, int pause_key, int soft, int samples, int dipole, float interval,
         bool short_frames, bool gps, uint32_t first_tick, bool new_year) {
        RunSetup r;
        r.kind = kind;
        r.portrait = portrait;
        r.survey_mode = mode;
        r.pause_key = pause_key;
        r.soft_marker = soft;
        r.samples = samples;
        r.dipole_mode = dipole;
        r.interval = interval;
        r.frame_length = kind == kKindTq68 && short_frames ? 7 : KindInfoFor(kind).frame_length;
        r.gps = gps;
        r.first_tick = first_tick;
        r.new_year = new_year;
        return r;
      },
      testing::AnyIn(0, kKindCount), rc::gen::arbitrary<bool>(), testing::AnyIn(0, 3), testing::AnyIn(0, 4),
      testing::AnyIn(0, 2), rc::gen::element(1, 1, 2, 3), testing::AnyIn(0, 3),
      rc::gen::element(0.1f, 0.2f, 0.5f), rc::gen::arbitrary<bool>(), rc::gen::arbitrary<bool>(),
      // The logger stops before a run at 20 days of uptime; ten-digit ticks come before.
      rc::gen::weightedElement<uint32_t>({{4, 5000u}, {1, 1700000000u}}),
      rc::gen::weightedElement<bool>({{3, false}, {1, true}}));
}

rc::Gen<std::string> FileNameGen() {
  return rc::gen::weightedOneOf<std::string>({
      {6, rc::gen::element<std::string>("RUN1", "RUN2", "LINE", "A", "SURVEY12345", "R.X", "run1")},
      {2, rc::gen::map(TypedText(), [](std::string t) {
         // Both slashes separate folders in the program's paths.
         std::replace(t.begin(), t.end(), '/', '_');
         std::replace(t.begin(), t.end(), '\\', '_');
         std::erase(t, '\0');
         return t;
       })},
      {1, rc::gen::just(std::string())},
  });
}

// A number as a surveyor types it: up to six places and up to three
// decimals, a sign now and then.
rc::Gen<std::string> FieldNumberGen() {
  return rc::gen::apply(
      [](int whole, int fraction, int decimals, bool minus) {
        std::string text = (minus ? "-" : "") + std::to_string(whole);
        if (decimals > 0) {
          std::string f = std::to_string(fraction % 1000 + 1000).substr(1, static_cast<size_t>(decimals));
          text += "." + f;
        }
        return text;
      },
      testing::AnyIn(0, 1000000), testing::AnyIn(0, 1000), testing::AnyIn(0, 4),
      rc::gen::weightedElement<bool>({{4, false}, {1, true}}));
}

rc::Gen<std::optional<std::string>> FieldGen() {
  return rc::gen::weightedOneOf<std::optional<std::string>>({
      {4, rc::gen::just(std::optional<std::string>())},
      {4, rc::gen::cast<std::optional<std::string>>(FieldNumberGen())},
      {1, rc::gen::cast<std::optional<std::string>>(TypedText())},
  });
}

// Keys weighted toward the ones that move a run on, so that sequences reach
// files, lines and readings; every key of the table comes now and then.
rc::Gen<int> KeyGen() {
  return rc::gen::weightedElement<int>({{6, 'C'}, {5, 'G'}, {3, VK_RETURN}, {3, 'L'}, {3, 'N'}, {1, 'M'},
                                        {1, 'X'}, {1, 'U'}, {1, 'A'}, {1, 'E'}, {1, 'S'}, {1, 'P'}, {1, 'Q'},
                                        {1, '0'}, {1, '5'}, {2, VK_SPACE}, {1, VK_ESCAPE}, {1, VK_TAB},
                                        {1, VK_LEFT}, {1, VK_UP}, {1, VK_RIGHT}, {1, VK_DOWN}});
}

rc::Gen<Step> StepGen() {
  return rc::gen::apply(
      [](Act act, int key, int count, bool marked, int value, bool ok, bool yes, int menu, std::string name,
         std::vector<std::optional<std::string>> texts, int list1, int list2) {
        Step s;
        s.act = act;
        s.key = key;
        s.count = count;
        s.marked = marked;
        s.value = value;
        s.ok = ok;
        s.yes = yes;
        s.menu = menu;
        s.name = std::move(name);
        s.texts = std::move(texts);
        s.list1 = list1;
        s.list2 = list2;
        return s;
      },
      rc::gen::weightedElement<Act>({{10, Act::kKey},
                                     {2, Act::kHold},
                                     {8, Act::kFrames},
                                     {1, Act::kCutFrame},
                                     {1, Act::kGarbage},
                                     {1, Act::kWrongLetter},
                                     {1, Act::kSilence},
                                     {3, Act::kStartRun},
                                     {3, Act::kGps},
                                     {2, Act::kPause}}),
      KeyGen(), testing::AnyIn(1, 7), rc::gen::arbitrary<bool>(), testing::AnyIn(0, 1000),
      rc::gen::weightedElement<bool>({{4, true}, {1, false}}), rc::gen::weightedElement<bool>({{3, true}, {1, false}}),
      testing::AnyIn(0, 5), FileNameGen(), rc::gen::container<std::vector<std::optional<std::string>>>(4, FieldGen()),
      testing::AnyIn(0, 2), testing::AnyIn(0, 4));
}

// --- The instrument's bytes -------------------------------------------------

// The frame a step sends, on the wire (terminator included), for the kind.
std::vector<uint8_t> WireFrame(const RunSetup& r, int value, bool marked) {
  const long f1 = (value * 37) % 4000 - 1500;
  const long f2 = (value * 53) % 900 - 300;
  switch (KindInfoFor(r.kind).syntax) {
    case FrameSyntax::kIce:
      return sim::EncodeIceFrame(value % 1000, (value * 7) % 1000);
    case FrameSyntax::kBinary: {
      sim::Mk2Words w{static_cast<uint16_t>(33000 + value), static_cast<uint16_t>(32000 + value * 3),
                      static_cast<uint16_t>(32768 - value), static_cast<uint16_t>(32768 + value),
                      static_cast<uint16_t>(value), static_cast<uint16_t>(value * 11)};
      uint8_t status = static_cast<uint8_t>((value % 2 ? sim::kMk2StatusVertical : sim::kMk2StatusHorizontal) |
                                            (marked ? 64 : 0));
      auto frame = sim::EncodeBinaryFrame(value % 3 == 0 ? 't' : 'T', status, w);
      return std::vector<uint8_t>(frame.begin(), frame.end());
    }
    case FrameSyntax::kAscii:
      break;
  }
  uint8_t status = 0;
  if (r.kind == kKindTq64) {
    status = sim::EncodeTq64Status({marked, value % 2 == 0, 20, value % 8});
  } else {
    status = sim::EncodeAsciiStatus({false, marked, value % 2 == 0, false, value % 8});
  }
  return r.frame_length == 7 ? sim::EncodeAsciiFrame(status, f1) : sim::EncodeAsciiFrame(status, f1, f2);
}

// The frame as the reading record keeps it (before the marker digit): the
// wire bytes without the terminator, ASCII and ice frames padded to 12.
std::string StoredFrame(const RunSetup& r, const std::vector<uint8_t>& wire) {
  const FrameSyntax syntax = KindInfoFor(r.kind).syntax;
  std::string text(wire.begin(), wire.end());
  if (syntax == FrameSyntax::kBinary) return text.substr(0, 14);
  if (syntax == FrameSyntax::kAscii) text.pop_back();
  text.resize(12, ' ');
  return text;
}

// A line from the GPS receiver, by `value`: a sentence with its checksum
// (upper or lower case), one whose checksum is wrong or missing, text that
// is no sentence, a sentence shorter than one record's piece, and a long one.
std::string GpsLineText(int value) {
  auto with_checksum = [](const std::string& body, bool lower) {
    uint8_t x = 0;
    for (char c : body) x ^= static_cast<uint8_t>(c);
    char sum[8];
    std::snprintf(sum, sizeof sum, lower ? "*%02x" : "*%02X", x);
    return "$" + body + sum;
  };
  const std::string gga = "GPGGA,1405" + std::to_string(10 + value % 50) + ".00,4807.038,N,01131.000,E," +
                          std::to_string(value % 5) + "," + std::to_string(value % 13) + ",0.9,545.4,M,46.9,M,,";
  switch (value % 7) {
    case 0: return with_checksum(gga, false);
    case 1: return with_checksum("GPGSA,A,3,04,05,,09,12,,,24,,,,,2.5,1.3,2.1", true);
    case 2: return with_checksum(gga, false).substr(0, 60) + "*00";
    case 3: return "$GPGGA,no checksum," + std::to_string(value);
    case 4: return "garbage " + std::to_string(value);
    case 5: return with_checksum("GPZDA", false);
    default: return with_checksum(gga + ",padding,to,a,long,line,of,more,than,eighty,characters", false);
  }
}

// --- The model ---------------------------------------------------------------

// What a record must hold: its bytes, and which of them the model leaves open
// ('?' in the mask: an average it does not recompute, a previous offset).
struct Expected {
  std::string bytes;
  std::string mask;  // empty: every byte
};

std::string Pad(std::string text, size_t length) {
  text.resize(length - 1, ' ');
  return text + "\n";
}

std::string Ticks(uint32_t tick) {
  char t[16];
  std::snprintf(t, sizeof t, "%10u", tick);
  return t;
}

std::string Fixed(double value, int width, int decimals) {
  char t[64];
  std::snprintf(t, sizeof t, "%*.*f", width, decimals, value);
  return t;
}

// The plain reading of a typed number: blanks (spaces, tabs), a sign ("+", "-", U+2212),
// digits with a point or a comma, an exponent, blanks, and nothing else; an
// empty field is 0. Nothing when the text is anything else.
std::optional<double> PlainNumber(std::string text) {
  for (size_t at; (at = text.find("\u2212")) != std::string::npos;) text.replace(at, 3, "-");
  std::replace(text.begin(), text.end(), ',', '.');
  size_t a = text.find_first_not_of(" \t"), b = text.find_last_not_of(" \t");
  if (a == std::string::npos) return 0.0;
  text = text.substr(a, b - a + 1);
  size_t i = 0, digits = 0;
  if (text[i] == '+' || text[i] == '-') ++i;
  while (i < text.size() && std::isdigit(static_cast<unsigned char>(text[i]))) ++i, ++digits;
  if (i < text.size() && text[i] == '.') {
    ++i;
    while (i < text.size() && std::isdigit(static_cast<unsigned char>(text[i]))) ++i, ++digits;
  }
  if (digits == 0) return std::nullopt;
  if (i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
    size_t e = i + 1;
    if (e < text.size() && (text[e] == '+' || text[e] == '-')) ++e;
    size_t start = e;
    while (e < text.size() && std::isdigit(static_cast<unsigned char>(text[e]))) ++e;
    if (e == start) return std::nullopt;
    i = e;
  }
  if (i != text.size()) return std::nullopt;
  double v = std::strtod(text.c_str(), nullptr);
  if (!std::isfinite(v)) return std::nullopt;
  return v;
}

// True when the record's "%<width>.<decimals>f" of `stored` (the value as
// its field in the store holds it) reads back as the number typed.
bool KeptExactly(double stored, double typed, int width, int decimals) {
  std::string shown = Fixed(stored, width, decimals);
  return (width == 0 || shown.size() == static_cast<size_t>(width)) && std::strtod(shown.c_str(), nullptr) == typed;
}

bool TextStorable(const std::string& utf8) { return !FindUnstorableCharacter(utf8).has_value(); }

struct Model {
  RunSetup r;
  size_t record_length = 26;
  bool active = false;       // a run is going
  LoggingState state = LoggingState::Monitor;
  std::string path;          // the open file
  std::vector<Expected> records;
  std::vector<std::pair<std::string, std::vector<Expected>>> closed;  // earlier files, whole
  std::vector<double> reading_stations;  // the station of every reading of the open file
  uint32_t tick = 5000;
  // The position.
  std::string line = "0";
  float line_increment = 1.0f;
  int32_t sequence = 0;
  int32_t direction = 1;
  double start_station = 0.0;
  float station_increment = 1.0f;
  double station = 0.0;
  int32_t readings_per_station = 1;
  int32_t group_count = 0;
  bool armed = false;
  std::optional<double> station_before_file;
  std::array<float, 6> offsets{};
  // The readings.
  int32_t frames_per_reading = 1;
  int32_t frame_counter = 0;
  int32_t trigger = 0;
  float interval = 0.2f;      // seconds between readings in Auto mode, as in force
  int32_t samples = 1;        // per reading in Manual mode, as in force
  bool averaging = false;     // Manual with more than one sample
  int32_t samples_taken = 0;
  std::string first_sample;   // the stored frame of an average's first sample
  int32_t missed = 0;
  bool calibrating = false;   // the TQ68-MK2 procedure has the frames and the offsets
  std::string fault;
  // What the sequence reached, for the distribution RapidCheck prints.
  int readings_logged = 0, gps_logged = 0, lines_started = 0, stations_set = 0, runs_given_up = 0;          // the first rule the run broke

  bool mk2() const { return r.kind == kKindTq68Mk2; }

  // The wall clock: milliseconds since the midnight that began the run's day.
  int64_t wall_ms = 0;
  LocalTime Wall() const {
    const bool next_day = wall_ms >= 86400000;
    const int64_t t = wall_ms % 86400000;
    LocalTime l = r.new_year ? LocalTime{2009, 12, 31, 4, 0, 0, 0, 0} : LocalTime{2009, 12, 6, 0, 0, 0, 0, 0};
    if (next_day) l = r.new_year ? LocalTime{2010, 1, 1, 5, 0, 0, 0, 0} : LocalTime{2009, 12, 7, 1, 0, 0, 0, 0};
    l.hour = static_cast<int>(t / 3600000);
    l.minute = static_cast<int>(t / 60000 % 60);
    l.second = static_cast<int>(t / 1000 % 60);
    l.millisecond = static_cast<int>(t % 1000);
    return l;
  }
  std::string WallText(const char* format) const {
    const LocalTime l = Wall();
    char t[64];
    std::snprintf(t, sizeof t, format, l.hour, l.minute, l.second, l.millisecond);
    return t;
  }

  Expected Record(std::string text) const { return Expected{Pad(std::move(text), record_length), {}}; }
  std::string Gap() const { return mk2() ? "  " : ""; }
  void Write(Expected e) { records.push_back(std::move(e)); }
  void Note(const std::string& text, char letter) {
    std::string t = text;
    t.resize(11, ' ');
    Write(Record(std::string(1, letter) + t + " " + Gap() + Ticks(tick)));
  }
  void TimeMark() { Write(Record("*" + WallText("%02d:%02d:%02d.%03d") + Gap() + Ticks(tick))); }
  void LineStart() {
    Write(Record("L" + NarrowTo8Bit(std::string(FirstCharacters(line, 8)))));
    Write(Record("B" + Fixed(start_station, 11, 2)));
    Write(Record(std::string("A") + "WSNE"[direction] + "      " + Fixed(station_increment, 11, 3)));
    const LocalTime l = Wall();
    char z[96];
    std::snprintf(z, sizeof z, "Z%02d%02d%04d %02d:%02d:%02d", l.day, l.month, l.year, l.hour, l.minute, l.second);
    Write(Record(z));
    if (mk2()) CalibrationRecords();
  }
  void CalibrationRecords() {
    for (int i = 0; i < 6; ++i) {
      Expected e = Record("O" + std::to_string(i + 1) + Fixed(offsets[static_cast<size_t>(i)], 10, 3) + " " +
                          std::string(10, ' '));
      e.mask = std::string(13, '.') + std::string(10, '?') + std::string(record_length - 23, '.');
      Write(e);
    }
  }
  // The records of one GPS line: pieces of L - 2 characters, the first
  // with its own prefix, a last piece (possibly empty) when the line fills
  // one, and "!" with the tick of its "$".
  void GpsRecords(const std::string& sentence, bool valid) {
    const size_t piece = record_length - 2;
    const char first = valid ? '@' : '?', next = valid ? '#' : '"';
    Write(Record(first + sentence.substr(0, piece)));
    if (sentence.size() >= piece) {
      size_t at = piece;
      for (; at + piece <= sentence.size(); at += piece) Write(Record(next + sentence.substr(at, piece)));
      Write(Record(next + sentence.substr(at)));
    }
    Write(Record("!" + std::string(record_length - 12, ' ') + Ticks(tick)));
  }
  void StationRecord() {
    const LocalTime l = Wall();
    char hms[48];
    std::snprintf(hms, sizeof hms, "%02d%02d%02d%02d", l.hour, l.minute, l.second, l.millisecond / 10);
    Write(Record("S" + Fixed(station, 11, 2) + " " + hms));
    TimeMark();
  }
};

// --- The run under test -------------------------------------------------------

struct Seen {
  ModalKind kind;
  std::string name;
  std::string text;
  bool refused = false;  // a dialog whose OK was refused
  bool accepted = false;  // a dialog closed by OK
  std::vector<std::string> fields;  // a dialog's edit texts as OK found them
};

// Answers every modal call as the step says and notes what came.
class Operator : public ModalResponder {
 public:
  const Step* step = nullptr;
  fs::path folder;
  std::string extension;
  std::vector<Seen> seen;

  std::optional<ModalAnswer> Answer(const ModalRequest& q) override {
    Seen s{q.kind, q.name, q.text, false, false, {}};
    ModalAnswer a;
    switch (q.kind) {
      case ModalKind::kMessageBox:
        a.result = (q.flags & 0xF) == MB_YESNO ? (step->yes ? IDYES : IDNO) : IDOK;
        break;
      case ModalKind::kSaveFile: {
        const bool again = std::any_of(seen.begin(), seen.end(), [](const Seen& e) {
          return e.kind == ModalKind::kSaveFile;
        });
        if (!step->name.empty() && !again) a.path = (folder / (step->name + extension)).string();
        break;
      }
      case ModalKind::kDialog:
        a.result = Dialog(q, s);
        break;
      case ModalKind::kMenu:
        if (!q.menu_items.empty()) {
          std::vector<int> ids;
          for (const MenuItem& m : q.menu_items) {
            if (m.id != 0) ids.push_back(static_cast<int>(m.id));
          }
          a.result = ids.empty() ? 0 : ids[static_cast<size_t>(step->menu) % ids.size()];
        }
        break;
      case ModalKind::kOpenFile:
      case ModalKind::kColor:
        break;
    }
    seen.push_back(s);
    return a;
  }

 private:
  intptr_t Dialog(const ModalRequest& q, Seen& s) {
    WindowHandle d = q.window;
    std::vector<int> edits;
    if (q.name == "GETNEWLINE") {
      edits = {674, 675, 678, 679};
      ChooseComboItem(GetDlgItem(d, 676), step->list1);
      ChooseComboItem(GetDlgItem(d, 677), step->list2);
    } else if (q.name.rfind("GETNEWSTATION", 0) == 0) {
      edits = {865};
    } else if (q.name == "GETCOMMENT") {
      edits = {851};
    } else if (q.name.rfind("GetNewProfileScale", 0) == 0) {
      edits = {833, 834, 838, 839};  // the layouts that have them
    }
    for (size_t i = 0; i < edits.size(); ++i) {
      WindowHandle edit = GetDlgItem(d, edits[i]);
      if (edit == nullptr) continue;
      if (i < step->texts.size() && step->texts[i]) TypeText(edit, *step->texts[i]);
      s.fields.push_back(GetWindowText(edit));
    }
    if (!step->ok) return IDCANCEL;
    PressTitleButton(d, IDOK);
    if (IsWindow(d) && IsWindowVisible(d)) {
      s.refused = true;
      PressTitleButton(d, IDCANCEL);
    } else {
      s.accepted = true;
    }
    return 0;
  }
};

class LoggingProperty : public testing::MainWindowTest {
 protected:
  void SetUp() override {
    MainWindowTest::SetUp();
    InstallModalResponder(&operator_);
    Logging = LoggingControl{};
    clock_.SetNow(LocalTime{2009, 12, 6, 0, 14, 5, 7, 0});
    clock_.SetTick(5000);
    InstallClock(&clock_);
  }
  void TearDown() override {
    StopLoggingRun(Shell.LoggingWindow);
    InstallModalResponder(&responder_);
    MainWindowTest::TearDown();
  }

  WindowHandle window() const { return Shell.LoggingWindow; }

  // The sequence's build, settings and first run.
  std::string Begin(const RunSetup& r) {
    m_.r = r;
    clock_.SetTick(r.first_tick);
    m_.wall_ms = r.new_year ? 86399985 : (14 * 3600 + 5 * 60 + 7) * 1000;
    clock_.SetNow(m_.Wall());
    Build() = BuildConfig{r.kind, 1, 0};
    m_.record_length = r.kind == kKindTq68Mk2 ? 26 : 24;
    LinkPort(1, instrument_.slave_path());
    if (OpenMainWindow(r.portrait ? 240 : 320, r.portrait ? 320 : 240) == nullptr) return "no main window";
    Settings.SurveyMode = r.survey_mode;
    Settings.PauseKey = r.pause_key;
    Settings.SoftMarker = r.soft_marker;
    Settings.SamplesPerReading = r.samples;
    Settings.DipoleMode = r.dipole_mode;
    Settings.ReadingInterval = r.interval;
    Settings.GpsInput = r.gps ? 1 : 0;
    if (r.gps) {
      LinkPort(2, gps_.slave_path());
      Settings.GpsPort = 1;  // COM2
    }
    // Saved, loaded as a start loads them (the survey mode's own increment
    // comes into force), and saved again as the survey setup would.
    if (!SaveSettings(Settings, Build()) || !LoadSettings(Settings, Build()) || !SaveSettings(Settings, Build())) {
      return "settings not saved";
    }
    operator_.folder = MapSystemPath(DataFoldersFor(Build()).dialog_folder);
    operator_.extension = DataFoldersFor(Build()).extension;
    return StartRun();
  }

  std::string StartRun() {
    operator_.seen.clear();
    if (r().kind == kKindTq68) {
      // The TQ68 listens for one frame to learn its length before its reader starts.
      std::vector<uint8_t> frame = WireFrame(r(), 1, false);
      instrument_.Send(std::span<const uint8_t>(frame));
    }
    ClickMainButton(0);
    if (Shell.LoggingActive != 1) {
      std::string said;
      for (const Seen& seen : operator_.seen) said += " \"" + seen.name + "\": " + seen.text;
      return "the run did not start;" + (said.empty() ? std::string(" nothing was said") : said);
    }
    KillTimer(window(), kWatchdogTimerId);
    intake_.emplace(ReaderContext{nullptr, &Acquisition, window(), r().kind, false});
    if (r().gps && !Ports.gps.port) return "the GPS port did not open";
    gps_lines_ = GpsLineAssembler{};
    Model& m = m_;
    m.active = true;
    m.state = LoggingState::Monitor;
    m.line = Settings.SurveyLine;
    m.line_increment = Settings.LineIncrement;
    m.sequence = Settings.Sequence;
    m.direction = Settings.Direction;
    m.start_station = Settings.StartStation;
    m.station_increment = Settings.StationIncrement;
    m.station = Settings.CurrentStation;
    m.readings_per_station = Settings.ReadingsPerStation;
    m.offsets = Settings.Mk2Calibration;
    m.group_count = 0;
    m.frames_per_reading = 1;
    m.frame_counter = 0;
    m.trigger = 0;
    // What the load made of the setup (the FRZ62 reads once a second, ...).
    m.interval = Settings.ReadingInterval;
    m.samples = Settings.SamplesPerReading;
    m.averaging = r().survey_mode == 2 && m.samples > 1 && r().kind != kKindFrz62;
    m.samples_taken = 0;
    m.missed = 0;
    m.station_before_file.reset();
    m.tick = clock_.Tick();
    return {};
  }

  const RunSetup& r() const { return m_.r; }

  // Runs one step on the window and on the model; the model's complaint, if any.
  std::string Run(const Step& step) {
    operator_.step = &step;
    operator_.seen.clear();
    switch (step.act) {
      case Act::kKey:
      case Act::kHold:
        if (!m_.active) return {};
        Key(step);
        break;
      case Act::kPause: {
        if (!m_.active) return {};
        Step pause = step;
        pause.key = r().pause_key == 1 ? VK_SPACE : r().pause_key == 2 ? VK_RETURN : r().pause_key == 3 ? 'S' : 'Q';
        Key(pause);
        break;
      }
      case Act::kFrames:
        for (int i = 0; i < step.count; ++i) Frame(step.value + i, step.marked);
        break;
      case Act::kCutFrame: {
        if (!m_.active) return {};
        std::vector<uint8_t> wire = WireFrame(r(), step.value, step.marked);
        Feed(std::vector<uint8_t>(wire.begin(), wire.begin() + step.count % (wire.size() - 1) + 1));
        break;
      }
      case Act::kGarbage:
        if (!m_.active) return {};
        Garbage(step);
        break;
      case Act::kWrongLetter:
        if (!m_.active || KindInfoFor(r().kind).syntax != FrameSyntax::kAscii) return {};
        WrongLetter(step);
        break;
      case Act::kSilence:
        if (!m_.active) return {};
        // Up to seven checks in a row: six end a run.
        for (int i = 0; i <= step.count && m_.active; ++i) Silence(step);
        break;
      case Act::kGps:
        if (!m_.active || !r().gps) return {};
        Gps(step.value);
        break;
      case Act::kStartRun:
        if (m_.active) return {};
        if (std::string e = StartRun(); !e.empty()) return e;
        break;
    }
    if (!m_.fault.empty()) return m_.fault;
    return Check();
  }

  // --- Keys -----------------------------------------------------------------

  void Key(const Step& step) {
    LoggingAction action = KeyAction(step.key);
    const bool sent = step.act == Act::kHold ? HoldKey(step.key, step.count, window()) : PressKey(step.key, window());
    Settle();
    if (!sent) return Fault("the window took no key");
    Apply(action, step);
  }

  // What the key does; while a calibration runs, nothing that would record
  // or replace the offsets.
  LoggingAction KeyAction(int key) const {
    const LoggingAction action = TableAction(key);
    if (!m_.calibrating) return action;
    switch (action) {
      case LoggingAction::kCreateFile:
      case LoggingAction::kNewLine:
      case LoggingAction::kNewStation:
      case LoggingAction::kCalibrate:
      case LoggingAction::kDeleteCalibration:
        return LoggingAction::kNone;
      default:
        return action;
    }
  }

  // What the key does, by the table of keys and states.
  LoggingAction TableAction(int key) const {
    const Model& m = m_;
    const bool mk2 = m.mk2();
    const bool digit = key >= '0' && key <= '9';
    if (m.state == LoggingState::Logging) {
      switch (r().pause_key) {
        case 0: return mk2 && digit ? LoggingAction::kNone : LoggingAction::kPause;
        case 1: return key == VK_SPACE ? LoggingAction::kPause : LoggingAction::kNone;
        case 2: return key == VK_RETURN ? LoggingAction::kPause : LoggingAction::kNone;
        default: return key == 'S' || key == 'P' ? LoggingAction::kPause : LoggingAction::kNone;
      }
    }
    // Enter takes the highlighted button, which stays on the first.
    struct Entry {
      int key;
      LoggingAction action;
    };
    using A = LoggingAction;
    static const Entry kMonitor[] = {{'C', A::kCreateFile}, {VK_RETURN, A::kCreateFile}, {'N', A::kNewStation},
                                     {'M', A::kEndRun},     {'X', A::kEndRun},           {'U', A::kEndRun}};
    static const Entry kMonitorMk2[] = {{'C', A::kCreateFile}, {VK_RETURN, A::kCreateFile},
                                        {'U', A::kCalibrate},  {'A', A::kCalibrate},
                                        {'N', A::kDeleteCalibration}, {'E', A::kDeleteCalibration},
                                        {'M', A::kEndRun},     {'X', A::kEndRun}};
    static const Entry kStandBy[] = {{'C', A::kComment}, {'G', A::kStartLogging}, {VK_RETURN, A::kStartLogging},
                                     {'L', A::kNewLine}, {'N', A::kNewStation},   {'M', A::kMenu},
                                     {'X', A::kEndRun}};
    const std::span<const Entry> table = m.state == LoggingState::StandBy ? std::span<const Entry>(kStandBy)
                                         : mk2                            ? std::span<const Entry>(kMonitorMk2)
                                                                          : std::span<const Entry>(kMonitor);
    for (const Entry& e : table) {
      if (e.key == key) return e.action;
    }
    return A::kNone;
  }

  const Seen* Saw(ModalKind kind, const std::string& prefix = {}) const {
    for (const Seen& s : operator_.seen) {
      if (s.kind == kind && s.name.rfind(prefix, 0) == 0) return &s;
    }
    return nullptr;
  }

  void Fault(const std::string& what) {
    if (m_.fault.empty()) m_.fault = what;
  }

  void Apply(LoggingAction action, const Step& step) {
    Model& m = m_;
    switch (action) {
      case LoggingAction::kNone:
        if (!operator_.seen.empty()) Fault("a key that does nothing opened \"" + operator_.seen[0].name + "\"");
        return;
      case LoggingAction::kCreateFile: return CreateFile(step);
      case LoggingAction::kStartLogging:
        m.state = LoggingState::Logging;
        m.frames_per_reading = r().survey_mode == 0 ? Settings.FramesPerInterval : 1;
        m.frame_counter = 0;
        m.trigger = 0;
        // An average a pause cut short is not carried into the next stretch.
        m.samples_taken = 0;
        m.Note("$STARTED", 'X');
        return;
      case LoggingAction::kPause:
        m.Note("$PAUSED", 'X');
        m.state = LoggingState::StandBy;
        m.frames_per_reading = 1;
        m.frame_counter = 0;
        return;
      case LoggingAction::kNewLine: return NewLine();
      case LoggingAction::kNewStation: return NewStation();
      case LoggingAction::kComment: {
        const Seen* d = Saw(ModalKind::kDialog, "GETCOMMENT");
        if (d == nullptr) return Fault("no comment dialog");
        if (!d->accepted) return;
        // The record keeps the first 11 characters.
        const std::string kept(FirstCharacters(d->fields[0], 11));
        if (!TextStorable(kept)) return Fault("a comment the file cannot hold was accepted: " + d->fields[0]);
        m.Note(NarrowTo8Bit(kept), 'C');
        return;
      }
      case LoggingAction::kMenu: return Menu();
      case LoggingAction::kEndRun: return EndRun(step);
      case LoggingAction::kCalibrate:
        if (Saw(ModalKind::kMessageBox, "CALIBRATION") == nullptr) return Fault("no calibration question");
        m.calibrating = step.yes;
        return;
      case LoggingAction::kDeleteCalibration: return DeleteCalibration(step);
      default: return;
    }
  }

  void CreateFile(const Step& step) {
    Model& m = m_;
    if (Saw(ModalKind::kSaveFile) == nullptr) return Fault("Create File opened no save dialog");
    const bool created = Logging.state == LoggingState::StandBy;
    if (!created) return;
    std::string base = step.name.substr(0, step.name.find('.'));
    if (step.name.empty() || !TextStorable(base)) return Fault("a file named \"" + step.name + "\" was created");
    m.path = Logging.DataFilePath;
    m.records.clear();
    m.reading_stations.clear();
    m.state = LoggingState::StandBy;
    // A new file's stations begin where its line start says, or at a
    // station set in Monitor for it.
    m.group_count = 0;
    m.armed = false;
    m.station = m.start_station;
    m.Write(Header1());
    std::string mode_value = r().survey_mode == 0   ? Fixed(m.interval, 7, 3)
                             : r().survey_mode == 1 ? Fixed(m.station_increment, 7, 3)
                                                    : Fixed(m.samples, 7, 0);
    std::string name9 = NarrowTo8Bit(base).substr(0, 9);
    name9.resize(9, ' ');
    m.Write(m.Record(("H " + name9 + mode_value).substr(0, m.record_length - 1)));
    m.LineStart();
    m.TimeMark();
    if (m.station_before_file) {
      m.station = *m.station_before_file;
      m.StationRecord();
      m.station_before_file.reset();
    }
  }

  Expected Header1() const {
    static const char* kIds[] = {"TQ62MK2 W211", "TQ68B   W210", "TQ68D   W211", "TQ68S   W211",
                                 "TQ64    W211", "TQ93    W210", "FRZ62   W210", "TQ68MK2 W211"};
    std::string h = std::string(kIds[r().kind]) + (r().gps ? "GPS" : "GRD");
    h += std::to_string(Settings.Units) + std::to_string(Settings.DipoleMode) + std::to_string(r().survey_mode) +
         std::to_string(Settings.Component);
    h += m_.mk2() ? std::to_string(Settings.Mk2Variant) + "    " : std::string("   ");
    h += r().portrait ? "3" : "2";
    return m_.Record(h);
  }

  void NewLine() {
    Model& m = m_;
    const Seen* d = Saw(ModalKind::kDialog, "GETNEWLINE");
    if (d == nullptr) return Fault("no New Line dialog");
    if (!d->accepted) return;
    const std::vector<std::string>& f = d->fields;
    std::optional<double> inc = PlainNumber(f[1]), start = PlainNumber(f[2]), step = PlainNumber(f[3]);
    // The store keeps the first 11 characters of the line.
    if (!TextStorable(CutSurveyLine(f[0])) || !inc || !start || !step) {
      return Fault("New Line accepted what is no line or number: \"" + f[0] + "\" \"" + f[1] + "\" \"" + f[2] +
                   "\" \"" + f[3] + "\"");
    }
    if (!KeptExactly(*start, *start, 11, 2)) return Fault("New Line accepted a start station \"B\" cannot keep: " + f[2]);
    if (!KeptExactly(static_cast<float>(*step), *step, 11, 3)) {
      return Fault("New Line accepted an increment \"A\" cannot keep: " + f[3]);
    }
    if (!KeptExactly(static_cast<float>(*inc), *inc, 0, 2)) {
      return Fault("New Line accepted a line increment the next proposal cannot keep: " + f[1]);
    }
    m.line = CutSurveyLine(f[0]);
    m.line_increment = static_cast<float>(*inc);
    m.sequence = Settings.Sequence;
    m.direction = Settings.Direction;
    m.start_station = *start;
    m.station = *start;
    m.station_increment = static_cast<float>(*step);
    m.armed = false;
    m.group_count = 0;  // the line's first reading opens its first station
    m.LineStart();
    m.TimeMark();
    ++m.lines_started;
  }

  void NewStation() {
    Model& m = m_;
    const Seen* d = Saw(ModalKind::kDialog, "GETNEWSTATION");
    if (d == nullptr) return Fault("no New Station dialog");
    if (!d->accepted) return;
    std::optional<double> v = PlainNumber(d->fields[0]);
    if (!v) return Fault("New Station accepted what is no number: " + d->fields[0]);
    if (!KeptExactly(*v, *v, 11, 2)) return Fault("New Station accepted a station \"S\" cannot keep: " + d->fields[0]);
    m.station = *v;
    m.armed = false;
    m.group_count = 0;
    ++m.stations_set;
    if (m.state == LoggingState::Monitor) {
      m.station_before_file = *v;
    } else {
      m.StationRecord();
    }
  }

  void Menu() {
    const Seen* menu = Saw(ModalKind::kMenu);
    if (menu == nullptr) return Fault("no pop-up menu");
    // What the menu led to: a delete of the calibration is the only entry
    // that writes; scale, options and calibrate (answered No) do not.
    if (Saw(ModalKind::kMessageBox, "Delete Calibration") != nullptr) DeleteCalibration(*operator_.step);
    if (Saw(ModalKind::kMessageBox, "CALIBRATION") != nullptr) m_.calibrating = operator_.step->yes;
  }

  void DeleteCalibration(const Step& step) {
    Model& m = m_;
    if (Saw(ModalKind::kMessageBox, "Delete Calibration") == nullptr) return Fault("no delete question");
    if (!step.yes) return;
    m.offsets = {};
    if (m.state != LoggingState::Monitor) m.CalibrationRecords();
  }

  void EndRun(const Step& step) {
    Model& m = m_;
    if (m.state != LoggingState::Monitor) {
      if (Saw(ModalKind::kMessageBox, "Confirm Exit") == nullptr) return Fault("Exit asked nothing");
      if (!step.yes) return;
    }
    Ended();
  }

  void Ended() {
    Model& m = m_;
    // A calibration under way is abandoned: the offsets from before it stay.
    m.calibrating = false;
    m.active = false;
    m.state = LoggingState::Monitor;
    m.group_count = 0;
    if (!m.path.empty()) m.closed.emplace_back(m.path, m.records);
    m.path.clear();
    m.records.clear();
    m.reading_stations.clear();
    m.station_before_file.reset();
    intake_.reset();
  }

  // --- The line -----------------------------------------------------------------

  // The tick and the wall clock move on together.
  void AdvanceClock(uint32_t ms) {
    clock_.Advance(ms);
    m_.wall_ms += ms;
    clock_.SetNow(m_.Wall());
  }

  void Feed(const std::vector<uint8_t>& bytes) {
    intake_->Pause();
    for (uint8_t b : bytes) intake_->Push(b);
    Settle();
  }

  void Frame(int value, bool marked) {
    if (!m_.active) return;
    AdvanceClock(kFrameSpacingMs);
    m_.tick = clock_.Tick();
    std::vector<uint8_t> wire = WireFrame(r(), value, marked);
    Feed(wire);
    FrameCounted(true, &wire, marked);
  }

  // A line through the GPS reader's own assembly and handling, as its
  // thread would pass it on; recorded only while logging.
  void Gps(int value) {
    Model& m = m_;
    AdvanceClock(10);
    m.tick = clock_.Tick();
    const std::string line = GpsLineText(value);
    const GpsReaderContext context{nullptr, &GpsFix, &Acquisition.CalibrationState, window(), &DataFileHandle};
    for (char c : line + "\r\n") {
      if (gps_lines_.Push(static_cast<uint8_t>(c), m.tick)) HandleGpsLine(context, gps_lines_.Line());
    }
    Settle();
    if (m.state != LoggingState::Logging) return;
    uint8_t x = 0;
    const size_t star = line.find('*');
    for (size_t i = 1; i < star && star != std::string::npos; ++i) x ^= static_cast<uint8_t>(line[i]);
    const bool valid = line[0] == '$' && star != std::string::npos && star + 3 == line.size() &&
                       std::strtoul(line.substr(star + 1).c_str(), nullptr, 16) == x;
    m.GpsRecords(line, valid);
    ++m.gps_logged;
  }

  void Garbage(const Step& step) {
    std::vector<uint8_t> bytes;
    const FrameSyntax syntax = KindInfoFor(r().kind).syntax;
    for (int i = 0; i < step.count * 5; ++i) {
      uint8_t b = static_cast<uint8_t>((step.value * 31 + i * 97) % 256);
      // Bytes that cannot end a frame: no CR, no "T" that starts an ice frame, no 0xFF.
      if (b == '\r' || b == 'T' || b == 't' || b == 0xFF) b = 'x';
      bytes.push_back(b);
    }
    Feed(bytes);
    if (syntax == FrameSyntax::kIce) FrameCounted(false, nullptr, false);  // noise counts once
  }

  void WrongLetter(const Step& step) {
    std::vector<uint8_t> wire = WireFrame(r(), step.value, step.marked);
    wire[0] = 'X';
    Feed(wire);
    FrameCounted(false, nullptr, false);
  }

  // A frame the reader counted: accepted ones post a reading every
  // FramesPerReading frames.
  void FrameCounted(bool accepted, const std::vector<uint8_t>* wire, bool marked) {
    Model& m = m_;
    if (accepted) m.missed = 0;
    m.frame_counter += 1;
    if (m.frame_counter < std::max(m.frames_per_reading, 1)) return;
    m.frame_counter = 0;
    if (accepted) Reading(*wire, marked);
  }

  void Reading(const std::vector<uint8_t>& wire, bool marked) {
    Model& m = m_;
    if (m.calibrating) return Calibrating();
    const bool manual_now = r().survey_mode == 2 && !(m.averaging && m.samples_taken > 0);
    if (r().kind != kKindFrz62) {
      m.trigger = !marked ? (manual_now ? 0 : 1) : (!manual_now ? 1 : (m.trigger == 0 ? 1 : -1));
    }
    if (m.state != LoggingState::Logging) return;
    if (r().kind != kKindFrz62 && m.trigger != 1) return;
    std::string frame = StoredFrame(r(), wire);
    std::string mask;
    if (m.averaging) {
      if (m.samples_taken == 0) m.first_sample = frame;
      if (++m.samples_taken < m.samples) return;
      m.samples_taken = 0;
      // Averaged fields are checked by their form only.
      mask = std::string(m.record_length, '.');
      for (size_t i = 2; i < (m.mk2() ? 14u : 12u); ++i) mask[i] = '?';
      // The TQ68-MK2 keeps the first sample's start and status bytes.
      if (m.mk2()) frame.replace(0, 2, m.first_sample.substr(0, 2));
    }
    // The marker digit and the station.
    double station_of_reading = m.station;
    if (r().kind == kKindFrz62) {
      if (m.armed) m.station += m.station_increment;
      station_of_reading = m.station;
      m.armed = true;
    } else {
      int k = m.group_count++;
      if (k >= 1) frame[0] = static_cast<char>('1' + std::min(k, m.mk2() ? 1 : 5));
      station_of_reading = m.station;
      if (m.group_count >= m.readings_per_station) {
        if (m.armed) m.station += static_cast<double>(m.station_increment);
        m.group_count = 0;
      }
      m.armed = true;
    }
    if (r().kind == kKindFrz62 || m.readings_per_station == 1) station_of_reading = m.station;
    m.reading_stations.push_back(station_of_reading);
    ++m.readings_logged;
    Expected e = m.Record(frame + " " + Ticks(m.tick));
    e.mask = mask;
    m.Write(e);
  }

  // The procedure took the reading. Its arithmetic is its own; what the
  // files must show is that offsets it ends with are the ones in force,
  // recorded at once in the open file.
  void Calibrating() {
    Model& m = m_;
    if (Acquisition.CalibrationState.load() != 0) return;
    m.calibrating = false;
    if (Settings.Mk2Calibration == m.offsets) return;  // failed: the old offsets are back
    m.offsets = Settings.Mk2Calibration;
    if (m.state != LoggingState::Monitor) m.CalibrationRecords();
  }

  void Silence(const Step&) {
    Model& m = m_;
    if (r().kind == kKindFrz62 && r().survey_mode == 1) return;  // no watchdog at all
    AdvanceClock(static_cast<uint32_t>(CurrentRun.WatchdogTimeoutMs) + 1);
    m.tick = clock_.Tick();
    SendMessage(window(), WM_TIMER, kWatchdogTimerId);
    KillTimer(window(), kWatchdogTimerId);
    Settle();
    m.missed += 1;
    if (m.missed > 5) {
      if (m.state != LoggingState::Monitor) m.Note("$CONN END  ", 'X');
      if (Saw(ModalKind::kMessageBox, "NO CONNECTION") == nullptr) Fault("no NO CONNECTION box");
      ++m.runs_given_up;
      Ended();
      return;
    }
    if (r().kind == kKindTq64) {
      if (m.state != LoggingState::Monitor && m.missed == 1) m.Note("$CONN BREAK", 'X');
      m.missed = 2;
    } else if (m.state != LoggingState::Monitor) {
      m.Note("$CONN BREAK", 'X');
    }
  }

  // --- The checks ---------------------------------------------------------------

  static std::string Printable(const std::string& bytes) {
    std::string out;
    for (unsigned char c : bytes) {
      if (c >= 32 && c < 127) {
        out += static_cast<char>(c);
      } else {
        char t[8];
        std::snprintf(t, sizeof t, "\\x%02X", c);
        out += t;
      }
    }
    return out;
  }

  // The first line where `got` differs from `want`, both shown.
  static std::string FirstDifference(const std::string& got, const std::string& want) {
    if (got == want) return {};
    size_t at = 0;
    while (at < got.size() && at < want.size() && got[at] == want[at]) ++at;
    const size_t line = at == 0 ? 0 : want.rfind('\n', at - 1) + 1;
    auto line_of = [line](const std::string& text) {
      return Printable(text.substr(std::min(line, text.size()), text.find('\n', line) - line));
    };
    return "\"" + line_of(got) + "\" where the settings in force say \"" + line_of(want) + "\" (line " +
           std::to_string(std::count(want.begin(), want.begin() + static_cast<long>(line), '\n') + 1) + ")";
  }

  std::string CompareFile(const std::string& path, const std::vector<Expected>& expected) const {
    const std::string bytes = testing::ReadFileBytes(path);
    const size_t n = m_.record_length;
    if (bytes.size() % n != 0) return path + ": a torn record";
    const size_t count = bytes.size() / n;
    for (size_t i = 0; i < std::min(count, expected.size()); ++i) {
      const std::string got = bytes.substr(i * n, n);
      const Expected& e = expected[i];
      for (size_t b = 0; b < n; ++b) {
        if ((e.mask.empty() || e.mask[b] != '?') && got[b] != e.bytes[b]) {
          return "record " + std::to_string(i) + " is \"" + Printable(got) + "\", the model says \"" +
                 Printable(e.bytes) + "\"";
        }
      }
      if (i >= 2 && !IsWholeRecord(std::span(reinterpret_cast<const uint8_t*>(got.data()), n))) {
        return "record " + std::to_string(i) + " is not whole: \"" + Printable(got) + "\"";
      }
    }
    if (count != expected.size()) {
      return path + " holds " + std::to_string(count) + " records, the model " + std::to_string(expected.size()) +
             (count > expected.size() ? "; the first more: \"" + Printable(bytes.substr(expected.size() * n, n)) + "\""
                                      : "");
    }
    return {};
  }

  std::string Check() {
    const Model& m = m_;
    if (Shell.LoggingActive != (m.active ? 1 : 0)) return "the run is " + std::string(m.active ? "over" : "going");
    if (m.active && Logging.state != m.state) {
      return "the window is in " + std::string(StateText(Logging.state)) + ", the model in " +
             std::string(StateText(m.state));
    }
    for (const auto& [path, records] : m.closed) {
      if (std::string e = CompareFile(path, records); !e.empty()) return "closed file: " + e;
    }
    if (!m.path.empty()) {
      if (std::string e = CompareFile(m.path, m.records); !e.empty()) return e;
      if (std::string e = CheckStations(); !e.empty()) return e;
    }
    if (std::string e = CheckSettingsFile(); !e.empty()) return e;
    if (m.active && !m.path.empty()) {
      const PanelLayout& p = PaintedPanelLayout();
      const std::string station = FormatStationText(m.station).view().data();
      auto shown = PanelFieldText(p.station);
      if (shown && *shown != station) return "the panel shows station \"" + *shown + "\", the model \"" + station + "\"";
      auto line = PanelFieldText(p.line);
      if (line && *line != m.line) return "the panel shows line \"" + *line + "\", the model \"" + m.line + "\"";
    }
    if (Settings.CurrentStation != m.station && m.active) {
      return "the station in force is " + Fixed(Settings.CurrentStation, 0, 6) + ", the model's " + Fixed(m.station, 0, 6);
    }
    return {};
  }

  // A reader rebuilding the stations from the file finds the ones the readings were taken at.
  std::string CheckStations() const {
    auto cursor = RecordCursor::Open(m_.path, m_.record_length);
    if (!cursor) return "the file does not open";
    cursor->Seek(kFirstBodyRecord);
    StationTracker stations;
    size_t reading = 0;
    while (auto record = cursor->Next()) {
      if (!IsReading(stations.Feed(*record))) continue;
      if (reading >= m_.reading_stations.size()) return "more readings than the model";
      const double want = m_.reading_stations[reading];
      if (std::abs(stations.station() - want) >= 0.005) {  // -0 and 0 are one station
        return "reading " + std::to_string(reading) + " reads back at station " + Fixed(stations.station(), 0, 3) +
               ", it was taken at " + Fixed(want, 0, 3);
      }
      ++reading;
    }
    return {};
  }

  std::string CheckSettingsFile() const {
    const std::string bytes = testing::ReadFileBytes(MapSystemPath(SettingsFileSystemPath(Build())));
    for (unsigned char c : bytes) {
      if (c < 32 && c != '\r' && c != '\n') return "the settings file holds a control byte";
    }
    SettingsStore loaded;
    if (!LoadSettings(loaded, Build())) return "the settings file does not load";
    const std::string in_force = FormatSettingsFile(Settings, Build());
    if (std::string e = FirstDifference(bytes, in_force); !e.empty()) return "the settings file holds " + e;
    // A load puts the survey mode's own increment in force, by rule; the
    // rest must read back as it was written.
    loaded.StationIncrement = Settings.StationIncrement;
    if (std::string e = FirstDifference(FormatSettingsFile(loaded, Build()), in_force); !e.empty()) {
      return "the settings file reads back " + e;
    }
    if (m_.active && Settings.SurveyLine != m_.line) return "the line in force is \"" + Settings.SurveyLine + "\"";
    return {};
  }

  FakeClock clock_;
  testing::PtyPair instrument_;
  testing::PtyPair gps_;
  GpsLineAssembler gps_lines_;
  Operator operator_;
  Model m_;
  std::optional<ReaderIntake> intake_;
};

}  // namespace

class LoggingRunProperty : public LoggingProperty {
 public:
  // RapidCheck leaves a failing case by an exception, past the fixture's
  // TearDown: the property tears down itself first, once.
  void TearDown() override {
    if (std::exchange(torn_down_, true)) return;
    LoggingProperty::TearDown();
  }
  // The sequence on this fixture: the first complaint, with its step.
  std::string Sequence(const RunSetup& setup, const std::vector<Step>& steps, size_t* ran) {
    if (std::string e = Begin(setup); !e.empty()) return e;
    for (size_t i = 0; i < steps.size(); ++i) {
      *ran = i + 1;
      if (testing::PropertyVerbose()) {
        std::ostringstream os;
        showValue(steps[i], os);
        std::cout << "  " << i << ": " << os.str() << "\n";
      }
      std::string e = Run(steps[i]);
      if (testing::PropertyVerbose()) {
        for (const Seen& seen : operator_.seen) {
          std::cout << "     saw " << static_cast<int>(seen.kind) << " \"" << seen.name << "\" " << seen.text
                    << (seen.refused ? " refused" : "") << (seen.accepted ? " accepted" : "") << "\n";
        }
        std::cout << "     state " << StateText(Logging.state) << ", records " << m_.records.size() << "\n";
      }
      if (!e.empty()) return "after step " + std::to_string(i) + ": " + e;
    }
    if (testing::PropertyVerbose()) {
      std::cout << "  files closed " << m_.closed.size() << ", records in the open file " << m_.records.size() << "\n";
    }
    return {};
  }

 private:
  bool torn_down_ = false;
};

RC_GTEST_FIXTURE_PROP(LoggingRunProperty, EveryRecordIsOneTheRulesExpect, ()) {
  const RunSetup setup = *RunSetupGen();
  std::vector<Step> steps = *rc::gen::container<std::vector<Step>>(StepGen());
  // Most sequences start from a file being logged, where most rules apply.
  if (*rc::gen::weightedElement<bool>({{2, true}, {1, false}})) {
    Step create;
    create.key = 'C';
    create.name = "START";
    Step go;
    go.key = 'G';
    steps.insert(steps.begin(), {create, go});
  }
  if (testing::PropertyVerbose()) {
    std::ostringstream os;
    showValue(setup, os);
    std::cout << "sequence: " << os.str() << ", " << steps.size() << " steps\n";
  }
  size_t ran = 0;
  const std::string fault = Sequence(setup, steps, &ran);
  testing::CountSequence("LoggingRun", ran, !fault.empty());
  RC_CLASSIFY(m_.readings_logged > 0, "readings logged");
  RC_CLASSIFY(m_.gps_logged > 0, "GPS lines logged");
  RC_CLASSIFY(m_.lines_started > 0, "new lines");
  RC_CLASSIFY(m_.stations_set > 0, "new stations");
  RC_CLASSIFY(m_.runs_given_up > 0, "runs given up");
  if (!fault.empty()) {
    TearDown();
    RC_FAIL(fault);
  }
}

}  // namespace tq

namespace tq {
namespace {

Step Press(int key, std::string name = {}, std::vector<std::optional<std::string>> texts = {},
           Act act = Act::kKey) {
  Step s;
  s.act = act;
  s.key = key;
  s.name = std::move(name);
  s.texts = std::move(texts);
  return s;
}

Step Marked() {
  Step s = Press(0, {}, {}, Act::kFrames);
  s.marked = true;
  return s;
}

// The shortest sequences the property found, each once a fault.
struct Regression {
  const char* what;
  RunSetup setup;
  std::vector<Step> steps;
};

const Regression kRegressions[] = {
    {"a key after two refused file names (the test's own wait for the queue ended early)", RunSetup{0, false, 0, 0, 0, 1, 0, 0.5f, 12},
     {Press(VK_RETURN, "\u4e2d"), Press(VK_RETURN, "\u4e2d"), Press('C', "A")}},
    {"a new line in the middle of a two-reading station: its first reading carried a \"2\" and read back before "
     "the line's start",
     RunSetup{0, false, 2, 2, 0, 1, 2, 0.2f, 12},
     {Press('C', "RUN1"), Press('G'), Press(0, {}, {}, Act::kFrames), Marked(), Press(VK_RETURN), Press('L'),
      Press('G'), Press(0, {}, {}, Act::kFrames), Marked()}},
    {"a station increment float32 cannot keep to 3 decimals", RunSetup{0, false, 0, 0, 0, 1, 0, 0.2f, 12},
     {Press('C', "RUN2"), Press('L', {}, {"0", "0", {}, "16384.2"})}},
    {"a line increment float32 cannot keep to 2 decimals", RunSetup{0, false, 0, 0, 0, 1, 0, 0.2f, 12},
     {Press('C', "RUN2"), Press('L', {}, {"0", "-131072.1", "", {}})}},
};

class LoggingRegression : public LoggingRunProperty, public ::testing::WithParamInterface<Regression> {};

TEST_P(LoggingRegression, KeepsTheRules) {
  size_t ran = 0;
  EXPECT_EQ(Sequence(GetParam().setup, GetParam().steps, &ran), "") << GetParam().what;
}

INSTANTIATE_TEST_SUITE_P(Found, LoggingRegression, ::testing::ValuesIn(kRegressions));

}  // namespace
}  // namespace tq
