// The file viewer over random data files of every kind, whole or damaged,
// under random keys: after every key the readout is that of the station a
// plain model finds under the cursor, and the line cache holds the model's
// stations. Real windows on the offscreen display, real files.
#include <gtest/gtest.h>
#include <rapidcheck.h>
#include <rapidcheck/gtest.h>

#include <algorithm>
#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "ice/ice_thickness.h"
#include "platform/modal_responder.h"
#include "platform/window.h"
#include "settings/build_config.h"
#include "settings/settings.h"
#include "shell/screen_layout.h"
#include "shell/shell_state.h"
#include "survey/data_records.h"
#include "survey/record_reader.h"
#include "tests/support/property_budget.h"
#include "tests/support/temp_dir.h"
#include "tests/support/typed_texts.h"
#include "tests/survey/record_lines.h"
#include "tests/viewer/viewer_test_parent.h"
#include "tools/sim/frame_encoding.h"
#include "viewer/line_index_cache.h"
#include "viewer/view_files_wnd.h"
#include "viewer/view_readout.h"

namespace tq {
namespace {

static testing::PropertyBudget kBudget("seed=1 max_success=30 max_size=40 noshrink=1");

// --- What a case is: a file, how it was damaged, the keys ---------------------

struct Press {
  int key = 0;
  bool shift = false;
  int repeats = 0;           // held: auto-repeats before the release
  bool cancel_open = false;  // the open-file dialog, if one comes, is cancelled
};

struct FileSetup {
  int32_t kind = 0;        // of the file
  int32_t build_kind = 0;  // of the viewer: a file of another kind can be chosen by name
  bool portrait = true;
  bool ice_built = false;
  SettingsStore settings;
};

// A torn tail; bytes a flaky card added, lost or changed; a copy that
// resumed a little before where it stopped; two files glued together.
enum class DamageKind { kCut, kInsert, kRemove, kOverwrite, kRepeat, kGlue };
struct Damage {
  DamageKind what = DamageKind::kCut;
  uint32_t at = 0;  // taken modulo the bytes there are
  uint32_t count = 1;
  uint8_t byte = 0;
};

void showValue(const Press& p, std::ostream& os) {
  os << "{" << p.key << ", " << p.shift << ", " << p.repeats << ", " << p.cancel_open << "}";
}
void showValue(const FileSetup& f, std::ostream& os) {
  os << "kind " << f.kind << " in build " << f.build_kind
     << (f.portrait ? " portrait" : " landscape") << (f.ice_built ? " ice" : "");
}
void showValue(const Damage& d, std::ostream& os) {
  os << "{" << static_cast<int>(d.what) << ", " << d.at << ", " << d.count << ", " << int{d.byte}
     << "}";
}

std::string Escaped(std::string_view bytes) {
  std::string out;
  for (unsigned char c : bytes) {
    if (c >= 0x20 && c < 0x7F && c != '"' && c != '\\') {
      out += static_cast<char>(c);
    } else {
      char text[8];
      std::snprintf(text, sizeof text, "\\x%02X\"\"", c);
      out += text;
    }
  }
  return out;
}

std::string Apply(std::string bytes, const std::vector<Damage>& damage, const std::string& glued) {
  for (const Damage& d : damage) {
    const size_t at = bytes.empty() ? 0 : d.at % (bytes.size() + 1);
    switch (d.what) {
      case DamageKind::kCut:
        bytes.resize(at);
        break;
      case DamageKind::kInsert:
        bytes.insert(at, d.count, static_cast<char>(d.byte));
        break;
      case DamageKind::kRemove:
        bytes.erase(at, d.count);
        break;
      case DamageKind::kOverwrite:
        if (at < bytes.size()) bytes[at] = static_cast<char>(d.byte);
        break;
      case DamageKind::kRepeat:
        bytes.insert(at, bytes.substr(at, d.count));
        break;
      case DamageKind::kGlue:
        bytes += glued;
        break;
    }
  }
  return bytes;
}

// --- Generators ----------------------------------------------------------------

const LocalTime kNow = testing::DecemberSixthAt(14, 5, 9, 70);

std::string Bytes(const DataRecord& r) { return std::string(r.text()); }

// A station or an increment as an operator could set it: any sign, up to
// fourteen digits, up to six of them decimals.
rc::Gen<double> Measure() {
  return rc::gen::apply(
      [](int64_t units, int decimals, bool negative) {
        double v = static_cast<double>(units);
        for (int i = 0; i < decimals; ++i) v /= 10.0;
        return negative ? -v : v;
      },
      rc::gen::weightedOneOf<int64_t>({{6, rc::gen::inRange<int64_t>(0, 2000)},
                                       {2, rc::gen::inRange<int64_t>(0, 100000000)},
                                       {1, rc::gen::inRange<int64_t>(0, 100000000000000)}}),
      testing::AnyIn(0, 7), rc::gen::arbitrary<bool>());
}

// Text the logger stores as it is: no character the record would refuse.
rc::Gen<std::string> StorableText() {
  return rc::gen::suchThat(testing::TypedText(), [](const std::string& text) {
    return !FindUnstorableCharacter(text).has_value();
  });
}

// A reading record of `kind` opening its station ("T", "t") or not ("2".."6"),
// its frame as the instrument sends it.
rc::Gen<std::string> ReadingRecord(int32_t kind, rc::Gen<char> letters) {
  return rc::gen::apply(
      [kind](char letter, int field1, int field2, int status_bits, bool seven, uint32_t tick,
             std::array<uint16_t, 6> words) {
        if (kind == kKindTq68Mk2) {
          const uint8_t status = static_cast<uint8_t>(
              ((status_bits & 1) ? sim::kMk2StatusVertical : sim::kMk2StatusHorizontal) +
              (status_bits & 0x18));
          auto frame =
              sim::EncodeBinaryFrame(static_cast<uint8_t>(letter), status,
                                     {words[0], words[1], words[2], words[3], words[4], words[5]});
          return Bytes(FormatBinaryReadingRecord(std::span(frame).first(14), tick));
        }
        std::string text(1, letter);
        if (kind == kKindFrz62) {
          char digits[16];
          std::snprintf(digits, sizeof digits, "%03dI%03d", std::abs(field1) % 1000,
                        std::abs(field2) % 1000);
          text += digits;
        } else {
          const int range = status_bits & 7;
          const bool marker = (status_bits & 8) != 0;
          const bool vertical = (status_bits & 16) != 0;
          text += static_cast<char>(
              kind == kKindTq64
                  ? sim::EncodeTq64Status({marker, vertical, 10 << ((status_bits >> 5) % 3), range})
                  : sim::EncodeAsciiStatus({kind == kKindTq62 && (status_bits & 32) != 0, marker,
                                            vertical, (status_bits & 64) != 0, range}));
          text += sim::FormatAsciiField(field1);
          if (!(kind == kKindTq68 && seven)) text += sim::FormatAsciiField(field2);
        }
        return Bytes(FormatReadingRecord(
            std::span(reinterpret_cast<const uint8_t*>(text.data()), text.size()), tick));
      },
      letters, rc::gen::inRange(-9999, 10000), rc::gen::inRange(-9999, 10000),
      rc::gen::inRange(0, 128), rc::gen::arbitrary<bool>(), rc::gen::arbitrary<uint32_t>(),
      rc::gen::arbitrary<std::array<uint16_t, 6>>());
}

rc::Gen<char> AnyReadingLetter() {
  return rc::gen::weightedElement<char>(
      {{6, 'T'}, {2, 't'}, {2, '2'}, {1, '3'}, {1, '4'}, {1, '5'}, {1, '6'}});
}

rc::Gen<Mk2Offsets> Offsets() {
  return rc::gen::map(rc::gen::container<std::vector<double>>(6, Measure()),
                      [](const std::vector<double>& v) {
                        Mk2Offsets o{};
                        for (size_t i = 0; i < o.size(); ++i) o[i] = static_cast<float>(v[i]);
                        return o;
                      });
}

// "L", "B", "A", "Z", on TQ68-MK2 "O1".."O6", then "*": a new line.
rc::Gen<std::string> LineStart(int32_t kind) {
  return rc::gen::apply(
      [kind](const std::string& name, double start, double increment, int direction,
             Mk2Offsets offsets, uint32_t t) {
        SettingsStore s;
        s.SurveyLine = name;
        s.StartStation = start;
        s.StationIncrement = static_cast<float>(increment);
        s.Direction = direction;
        s.Mk2Calibration = offsets;
        std::string bytes;
        for (const DataRecord& r : FormatLineStart(s, kind, kNow, Mk2Offsets{})) bytes += Bytes(r);
        return bytes + Bytes(FormatTimeMark(RecordLengthFor(kind), t, kNow));
      },
      StorableText(), Measure(),
      rc::gen::weightedOneOf<double>({{4, Measure()}, {1, rc::gen::just(0.0)}}),
      testing::AnyIn(0, 4), Offsets(), rc::gen::arbitrary<uint32_t>());
}

// One piece of a file's body as the logger appends it.
rc::Gen<std::string> BodyPiece(int32_t kind) {
  const size_t length = RecordLengthFor(kind);
  const rc::Gen<uint32_t> tick = rc::gen::arbitrary<uint32_t>();
  const rc::Gen<std::string> common = rc::gen::weightedOneOf<std::string>({
      {2, LineStart(kind)},
      {10, ReadingRecord(kind, AnyReadingLetter())},
      // A stretch of stations, each with the same number of readings, all
      // of one frame: a long line that shrinks as fast as a short one.
      {3, rc::gen::apply(
              [](int stations, int readings, std::string record) {
                std::string bytes;
                for (int i = 0; i < stations * readings; ++i) {
                  record[0] = i % readings == 0 ? 'T' : static_cast<char>('1' + i % readings);
                  bytes += record;
                }
                return bytes;
              },
              // Now and then long enough for the viewer to show its progress.
              rc::gen::weightedOneOf<int>({{8, rc::gen::inRange(1, 60)},
                                           {8, rc::gen::inRange(60, 800)},
                                           {1, rc::gen::inRange(800, 9000)}}),
              rc::gen::inRange(1, 5), ReadingRecord(kind, rc::gen::just('T')))},
      {2, rc::gen::apply(
              [length](double station, uint32_t t) {
                return Bytes(FormatStationRecord(length, station, kNow)) +
                       Bytes(FormatTimeMark(length, t, kNow));
              },
              Measure(), tick)},
      {1,
       rc::gen::map(tick, [length](uint32_t t) { return Bytes(FormatTimeMark(length, t, kNow)); })},
      {1, rc::gen::apply([length](const std::string& text,
                                  uint32_t t) { return Bytes(FormatNote(length, text, 'C', t)); },
                         rc::gen::suchThat(StorableText(),
                                           [](const std::string& t) { return !CheckComment(t); }),
                         tick)},
      {1, rc::gen::apply(
              [length](std::string_view note, uint32_t t) {
                return Bytes(FormatNote(length, note, 'X', t));
              },
              rc::gen::element(kNoteStarted, kNotePaused, kNoteConnectionBreak, kNoteConnectionEnd),
              tick)},
      {2, rc::gen::apply(
              [length](const std::string& tail, bool good, uint32_t t) {
                std::vector<DataRecord> records;
                FormatGpsRecords("$GPGGA," + tail, t, good ? '@' : '?', good ? '#' : '"', length,
                                 records);
                std::string bytes;
                for (const DataRecord& r : records) bytes += Bytes(r);
                return bytes;
              },
              rc::gen::container<std::string>(rc::gen::suchThat(
                  rc::gen::arbitrary<char>(), [](char c) { return c != '\n' && c != '\r'; })),
              rc::gen::arbitrary<bool>(), tick)},
  });
  if (kind != kKindTq68Mk2) return common;
  return rc::gen::weightedOneOf<std::string>({{20, common},
                                              {1, rc::gen::apply(
                                                      [](Mk2Offsets now, Mk2Offsets before) {
                                                        std::string bytes;
                                                        for (const DataRecord& r :
                                                             FormatCalibrationRecords(now, before))
                                                          bytes += Bytes(r);
                                                        return bytes;
                                                      },
                                                      Offsets(), Offsets())}});
}

rc::Gen<FileSetup> Setups() {
  return rc::gen::apply(
      [](int32_t kind, int32_t other_kind, bool portrait, bool ice_built, std::array<int, 10> d) {
        FileSetup f;
        f.kind = kind;
        f.build_kind = other_kind < kKindCount ? other_kind : kind;
        f.portrait = portrait;
        f.ice_built = kind == kKindTq62 && ice_built;
        SettingsStore& s = f.settings;
        s.Units = d[0] % 2;
        s.DipoleMode = d[1] % 4;
        s.SurveyMode = d[2] % 3;
        s.Component = d[3] % 3;
        s.GpsInput = d[4] % 2;
        s.Tq62Variant = d[5] % 2;
        s.Mk2Variant = d[6] % 4;
        s.IceOption = d[7] % 2;
        s.SeaWaterIndex = d[8] % 11;
        s.SamplesPerReading = d[9] % 100;
        return f;
      },
      testing::AnyIn(0, kKindCount), testing::AnyIn(0, 4 * kKindCount),
      rc::gen::arbitrary<bool>(), rc::gen::arbitrary<bool>(),
      rc::gen::arbitrary<std::array<int, 10>>());
}

std::string HeaderOf(const FileSetup& f) {
  const BuildConfig build{f.kind, 1, f.ice_built ? 1 : 0};
  return Bytes(FormatHeader1(f.settings, build, f.portrait)) +
         Bytes(FormatHeader2(f.settings, RecordLengthFor(f.kind), "PROP"));
}

rc::Gen<Damage> Damages() {
  return rc::gen::apply(
      [](int what, uint32_t at, int count, uint8_t byte) {
        return Damage{static_cast<DamageKind>(what), at, static_cast<uint32_t>(count), byte};
      },
      testing::AnyIn(0, 6), rc::gen::arbitrary<uint32_t>(), rc::gen::inRange(1, 120),
      rc::gen::arbitrary<uint8_t>());
}

// Every key the viewer answers, and a few it does not.
rc::Gen<Press> Presses() {
  return rc::gen::apply(
      [](int key, bool shift, int repeats, bool held, bool cancel) {
        return Press{key, shift, held ? repeats : 0, cancel};
      },
      rc::gen::weightedElement<int>(
          {{6, VK_HOME},   {6, VK_PRIOR}, {8, VK_NEXT}, {6, VK_END},    {12, VK_LEFT},  {4, VK_UP},
           {12, VK_RIGHT}, {4, VK_DOWN},  {4, VK_TAB},  {4, VK_RETURN}, {4, VK_ESCAPE}, {6, 'L'},
           {3, 'F'},       {1, 'S'},      {1, 'X'},     {1, 'E'},       {1, VK_OEM_2},  {1, 'A'},
           {1, 'Q'},       {1, '0'},      {1, '5'},     {1, '9'}}),
      rc::gen::arbitrary<bool>(), rc::gen::inRange(1, 40),
      rc::gen::weightedElement<bool>({{4, false}, {1, true}}),
      rc::gen::weightedElement<bool>({{3, false}, {1, true}}));
}

// --- The model ---------------------------------------------------------------

// One record of the line cache as the station rule makes it.
struct Cell {
  bool gap = true;
  double station = 0.0;
  std::array<bool, kProfileChannelCount> present{};
  std::array<float, kProfileChannelCount> values{};
  int64_t offset = 0;  // of the reading that opened it
};

struct Model {
  bool readable = false;
  StoredHeader header;
  std::vector<std::vector<Cell>> lines;
};

std::optional<std::string> CacheText(double value) {
  char text[64];
  const int n = std::snprintf(text, sizeof text, "%12.2f", value);
  if (n > 12 || !std::isfinite(value)) return std::nullopt;
  return std::string(text, static_cast<size_t>(n));
}

// The records as the reader hands them over, with the station rule restated:
// "L" begins a line; "B" start s, "A" increment d, station s - d; "T"/"t"
// add d, "2".."6" stay; "S" v sets v - d and four gaps; each station a
// damaged range cut adds d. A station is a cell once it has its readings,
// or, short of them, when the next one begins. A file `whole` but for a
// torn tail is cut into records by their length alone.
Model ModelOf(const std::filesystem::path& path, int32_t build_kind, bool whole) {
  Model m;
  std::optional<StoredHeader> header = ReadHeader(path);
  if (!header) return m;
  if (header->kind < 0) header->kind = build_kind;
  m.readable = true;
  m.header = *header;
  const int32_t per_station = StoredReadingsPerStation(*header);
  StoredDecoding decoding = StoredDecodingFor(*header);
  std::optional<RecordCursor> cursor = RecordCursor::Open(path, header->record_length);
  if (!cursor) return m;
  cursor->Seek(kFirstBodyRecord);
  const std::string bytes = testing::ReadFileBytes(path);
  const size_t length = header->record_length;
  size_t at = kFirstBodyRecord * length, offset = 0;
  auto next = [&]() -> std::optional<std::span<const uint8_t>> {
    if (!whole) {
      std::optional<std::span<const uint8_t>> record = cursor->Next();
      offset = static_cast<size_t>(cursor->record_offset());
      return record;
    }
    if (at + length > bytes.size()) return std::nullopt;
    offset = at;
    at += length;
    return std::span(reinterpret_cast<const uint8_t*>(bytes.data()) + offset, length);
  };
  double start = 0.0, increment = 0.0, station = 0.0;
  Cell pending;
  int32_t count = 0;
  auto flush = [&] {
    if (count > 0) {
      pending.gap = false;
      m.lines.back().push_back(pending);
    }
    pending = Cell{};
    count = 0;
  };
  auto take = [&](std::span<const uint8_t> record, bool all) {
    const ProfileChannels c = DecodeStoredReading(record, decoding).channels;
    for (size_t k = 0; k < kProfileChannelCount; ++k) {
      if (!all && !c[k].present) continue;
      pending.present[k] = c[k].present;
      pending.values[k] = c[k].value;
    }
  };
  for (;;) {
    std::optional<std::span<const uint8_t>> record = next();
    if (!whole && !m.lines.empty() && cursor->skipped() && cursor->skipped()->station_openers > 0) {
      flush();
      for (int32_t i = 0; i < cursor->skipped()->station_openers; ++i) station += increment;
    }
    if (!record) break;
    const char letter = static_cast<char>((*record)[0]);
    if (letter == 'L') {
      m.lines.emplace_back();
      start = increment = station = 0.0;
      decoding.offsets = {};
      pending = Cell{};
      count = 0;
      continue;
    }
    if (m.lines.empty()) continue;
    const std::string_view text = RecordText(*record);
    switch (letter) {
      case 'B':
        start = ParseRecordNumber(text.substr(1));
        station = start - increment;
        break;
      case 'A':
        increment = ParseRecordNumber(text.substr(2));
        station = start - increment;
        break;
      case 'O':
        if (text[1] >= '1' && text[1] <= '6') {
          decoding.offsets[static_cast<size_t>(text[1] - '1')] =
              static_cast<float>(ParseRecordNumber(text.substr(2)));
        }
        break;
      case 'S':
        flush();
        for (int g = 0; g < 4; ++g) m.lines.back().push_back(Cell{});
        station = ParseRecordNumber(text.substr(1)) - increment;
        break;
      case 'T':
      case 't':
        flush();
        station += increment;
        count = 1;
        pending.station = station;
        pending.offset = static_cast<int64_t>(offset);
        take(*record, true);
        if (count == per_station) flush();
        break;
      case '2':
      case '3':
      case '4':
      case '5':
      case '6':
        if (count == 0) {
          count = 1;
          pending.station = station;
          pending.offset = static_cast<int64_t>(offset);
        }
        ++count;
        take(*record, false);
        if (count == per_station) flush();
        break;
      default:
        break;
    }
  }
  return m;
}

// The cell as the cache file keeps it, back as the viewer's window holds it.
StationEntry EntryOf(const Cell& cell, const Model& m, const SettingsStore& settings, bool ice) {
  StationEntry e;
  const std::optional<std::string> station = CacheText(cell.station);
  if (cell.gap || !station) return e;
  e.valid = true;
  e.station = static_cast<float>(std::strtod(station->c_str(), nullptr));
  for (size_t k = 0; k < kProfileChannelCount; ++k) {
    const std::optional<std::string> value = CacheText(static_cast<double>(cell.values[k]));
    e.flags[k] = cell.present[k] && value ? 1 : 0;
    if (e.flags[k] != 0) e.values[k] = static_cast<float>(std::strtod(value->c_str(), nullptr));
  }
  if (ice && e.flags[1] != 0) {
    IceTable table{};
    LoadIceTable(settings.Tq62Variant, static_cast<uint32_t>(m.header.SeaWaterIndex), table);
    e.ice_thickness = ComputeIceThickness(
        e.values[1], table,
        FindIceLimits(settings.Tq62Variant, static_cast<uint32_t>(m.header.SeaWaterIndex)));
  }
  return e;
}

// LINE1.R6X and LINE2.R6X against the cells of a line: the same records, in order.
std::string CheckCache(const std::vector<Cell>& cells, const LineCachePaths& paths) {
  const std::string one = testing::ReadFileBytes(paths.line1);
  const std::string two = testing::ReadFileBytes(paths.line2);
  if (one.size() != cells.size() * kLine1RecordLength ||
      two.size() != cells.size() * kLine2RecordLength) {
    return "cache holds " + std::to_string(one.size() / kLine1RecordLength) +
           " records, the line " + std::to_string(cells.size());
  }
  for (size_t i = 0; i < cells.size(); ++i) {
    const std::string_view r1 =
        std::string_view(one).substr(i * kLine1RecordLength, kLine1RecordLength);
    const std::string_view r2 =
        std::string_view(two).substr(i * kLine2RecordLength, kLine2RecordLength);
    const std::optional<std::string> station = CacheText(cells[i].station);
    std::string want1, want2;
    if (cells[i].gap || !station) {
      want1 = "          -1";
      want2 = "          -1";
      for (int k = 0; k < 8; ++k) {
        want1 += " 0";
        want2 += "       -9999";
      }
    } else {
      want1 = want2 = *station;
      for (size_t k = 0; k < kProfileChannelCount; ++k) {
        const std::optional<std::string> value = CacheText(static_cast<double>(cells[i].values[k]));
        const bool shown = cells[i].present[k] && value;
        want1 += shown ? " 1" : " 0";
        // What an absent channel's value reads is nobody's business.
        want2 += shown ? *value : std::string(r2.substr(12 + 12 * k, 12));
      }
    }
    if (r1 != want1 + "\n" || r2 != want2 + "\n") {
      return "cache record " + std::to_string(i + 1) + " is \"" + Escaped(r1) + "\" / \"" +
             Escaped(r2) + "\", the line's \"" + Escaped(want1) + "\" / \"" + Escaped(want2) + "\"";
    }
  }
  return "";
}

// --- The viewer under keys ------------------------------------------------------


// Answers whatever the viewer asks: help and message boxes with OK, the
// scale dialog with Cancel, the open-file dialog with the file or Cancel.
class AnyAnswer : public ModalResponder {
 public:
  std::optional<ModalAnswer> Answer(const ModalRequest& request) override {
    ModalAnswer answer;
    if (request.kind == ModalKind::kMessageBox) {
      answer.result = IDOK;
      if (request.name != kViewHelpCaption) unexpected += request.name + ": " + request.text + "; ";
    } else if (request.kind == ModalKind::kDialog) {
      answer.result = IDCANCEL;
    } else if (request.kind == ModalKind::kOpenFile && !cancel_open) {
      answer.path = file;
    }
    return answer;
  }
  std::string file;
  bool cancel_open = false;
  std::string unexpected;
};

struct ViewerCase {
  FileSetup setup;
  std::string bytes;     // the file as it lies on the card
  bool damaged = false;  // more than a torn tail
  std::vector<Press> presses;
};

std::string Describe(const ViewerCase& c) {
  std::ostringstream os;
  os << "kind " << c.setup.kind << " in build " << c.setup.build_kind
     << (c.setup.portrait ? " portrait" : " landscape") << (c.setup.ice_built ? " ice" : "")
     << ", file \"" << Escaped(c.bytes) << "\", keys {";
  for (const Press& p : c.presses) showValue(p, os);
  os << "}";
  return os.str();
}

class ViewerFiles : public ::testing::Test {
 protected:
  void SetUp() override {
    std::setlocale(LC_NUMERIC, "C");
    static const bool registered =
        RegisterClass(
            WindowClass{"ViewerPropertyParent", kParentMessages, Rgb(255, 255, 255), true}) &&
        RegisterViewFilesWindowClass();
    ASSERT_TRUE(registered);
  }

  // The first invariant the viewer breaks over the case, or "" when none;
  // `keys` counts the keys pressed. Everything it changes is put back
  // before it returns: a failed property never reaches TearDown.
  std::string Run(const ViewerCase& c, size_t* keys = nullptr);

 private:
  std::string Check(const Model& m, const std::string& bytes);
  testing::TempDir dir_;
};

// The process-wide state a case sets, put back when it ends.
class SavedState {
 public:
  SavedState() : settings_(Settings), build_(Build()), shell_(Shell) {}
  ~SavedState() {
    if (parent != nullptr) DestroyWindow(parent);
    SetModalFailureHandler(
        [](const std::string& what) { ADD_FAILURE() << "modal call: " << what; });
    Settings = settings_;
    Build() = build_;
    Shell = shell_;
  }
  WindowHandle parent = nullptr;

 private:
  SettingsStore settings_;
  BuildConfig build_;
  ShellState shell_;
};

std::string ViewerFiles::Run(const ViewerCase& c, size_t* keys) {
  SavedState saved;
  SetDataRoot(dir_.path());
  Build() = BuildConfig{c.setup.build_kind, 1, c.setup.ice_built ? 1 : 0};
  Settings = c.setup.settings;
  const int32_t portrait = c.setup.portrait ? 1 : 0;
  const ScreenLayout screen = ScreenLayoutFor(portrait);
  const PlotLayout plot = PlotLayoutFor(portrait, screen.PlotBottom, 13, 0);
  Shell.Portrait = portrait;
  Shell.ScreenWidth = screen.ScreenWidth;
  Shell.ScreenHeight = screen.ScreenHeight;
  Shell.PlotLeft = plot.PlotLeft;
  Shell.PlotTop = plot.PlotTop;
  Shell.PlotRight = plot.PlotRight;
  Settings.PlotHeight = plot.PlotHeight;
  UpdatePixelFactors(Settings, Build());

  const std::filesystem::path path = dir_.path() / "PROP.DAT";
  testing::WriteFileBytes(path, c.bytes);
  const Model model = ModelOf(path, c.setup.build_kind, !c.damaged);

  saved.parent = CreateWindow("ViewerPropertyParent", "", WS_VISIBLE, 0, 0, screen.ScreenWidth,
                              screen.ScreenHeight, nullptr, 0);
  WindowHandle viewer = CreateWindow(kViewFilesWindowClass, "View Files", WS_CHILD, 0, 0,
                                     screen.ScreenWidth, screen.ScreenHeight, saved.parent, 8);
  if (saved.parent == nullptr || viewer == nullptr) return "the viewer was not created";
  ShowWindow(viewer, SW_SHOW);
  SetFocus(viewer);

  std::string failures;
  SetModalFailureHandler([&failures](const std::string& what) { failures += what + "; "; });
  AnyAnswer responder;
  responder.file = path.string();
  ScopedModalResponder scoped(&responder);

  std::string broken;
  std::vector<Press> presses = {Press{'F'}};  // the file is opened first
  presses.insert(presses.end(), c.presses.begin(), c.presses.end());
  for (size_t i = 0; i < presses.size() && broken.empty(); ++i) {
    const Press& p = presses[i];
    responder.cancel_open = p.cancel_open;
    if (p.repeats > 0) {
      HoldKey(p.key, p.repeats);
    } else {
      PressKey(p.key, nullptr, p.shift);
    }
    Settled = false;
    PostMessage(saved.parent, kSettledMessage);
    if (!RunMessagesUntil([] { return Settled; }, 5000)) broken = "the viewer stopped answering";
    if (broken.empty() && !(failures + responder.unexpected).empty()) {
      broken = failures + responder.unexpected;
    }
    // The keys stay with the viewer, or with its line box while that is open.
    if (broken.empty() && IsWindowVisible(viewer) && GetFocus() != viewer &&
        GetFocus() != GetDlgItem(viewer, kViewLineBoxId)) {
      broken = "the keys went astray";
    }
    if (broken.empty()) broken = Check(model, c.bytes);
    if (!broken.empty()) broken = "after key " + std::to_string(i) + ": " + broken;
    if (keys != nullptr) *keys = i + 1;
    // "E&xit" hid it: the main window shows it again, as its button would.
    if (!IsWindowVisible(viewer)) {
      ShowWindow(viewer, SW_SHOW);
      SetFocus(viewer);
    }
  }
  return broken;
}

bool Blank(const StationReadout& r) {
  return r.station.empty() && std::all_of(r.channels.begin(), r.channels.end(),
                                          [](const std::string& t) { return t.empty(); });
}

std::string ViewerFiles::Check(const Model& m, const std::string& bytes) {
  const ViewerStatus s = ViewerStatusNow();
  const bool shown = s.loaded == 1 && s.line >= 0;
  if (!shown) {
    if (!Blank(s.readout)) return "no line is shown, yet the readout says " + s.readout.station;
    return "";
  }
  if (!m.readable || static_cast<size_t>(s.lines) != m.lines.size() ||
      static_cast<size_t>(s.line) >= m.lines.size()) {
    return "the viewer shows line " + std::to_string(s.line) + " of " + std::to_string(s.lines) +
           ", the file has " + std::to_string(m.lines.size());
  }
  const std::vector<Cell>& cells = m.lines[static_cast<size_t>(s.line)];
  const auto total = static_cast<int64_t>(cells.size());
  if (s.record_total != total) {
    return "record total " + std::to_string(s.record_total) + ", the line has " +
           std::to_string(total);
  }
  if (s.first_record < 1 || s.first_record > std::max<int64_t>(1, total - s.columns + 1) ||
      s.cursor < 1 || s.cursor > s.columns) {
    return "view at record " + std::to_string(s.first_record) + ", cursor " +
           std::to_string(s.cursor);
  }
  if (std::string cache = CheckCache(cells, LineCachePathsFor(Build())); !cache.empty())
    return cache;

  const int64_t at = s.first_record + s.cursor - 1;
  const Cell cell = at <= total ? cells[static_cast<size_t>(at - 1)] : Cell{};
  const bool ice = m.header.kind == kKindTq62 && Build().IceOptionBuilt == 1 &&
                   m.header.ice_built && m.header.IceOption == 1;
  const StationReadout want = FormatStationReadout(EntryOf(cell, m, Settings, ice), m.header.kind,
                                                   Shell.Portrait == 1, ice, Settings.Units);
  if (s.readout.station != want.station || s.readout.channels != want.channels) {
    std::string got = s.readout.station, expected = want.station;
    for (const std::string& t : s.readout.channels) got += "|" + t;
    for (const std::string& t : want.channels) expected += "|" + t;
    return "record " + std::to_string(at) + " reads \"" + got + "\", the model \"" + expected +
           "\"";
  }
  // A station stands on a whole reading record of the file.
  if (!cell.gap) {
    const size_t length = m.header.record_length;
    const auto offset = static_cast<size_t>(cell.offset);
    const std::string_view letters = "Tt23456";
    if (offset < 2 * length || offset + length > bytes.size() ||
        bytes[offset + length - 1] != '\n' ||
        letters.find(bytes[offset]) == std::string_view::npos) {
      return "record " + std::to_string(at) + " stands on no reading at byte " +
             std::to_string(offset);
    }
  }
  return "";
}

RC_GTEST_FIXTURE_PROP(ViewerFiles, ReadoutAndCacheFollowTheFileUnderAnyKeys, ()) {
  ViewerCase c;
  c.setup = *Setups();
  const int32_t kind = c.setup.kind;
  // The logger begins every file with a line.
  std::string bytes = HeaderOf(c.setup) + *LineStart(kind);
  for (const std::string& piece : *rc::gen::container<std::vector<std::string>>(BodyPiece(kind))) {
    bytes += piece;
  }
  const auto damage = *rc::gen::weightedOneOf<std::vector<Damage>>(
      {{1, rc::gen::just(std::vector<Damage>{})},
       {2, rc::gen::mapcat(rc::gen::inRange<size_t>(1, 3), [](size_t n) {
          return rc::gen::container<std::vector<Damage>>(n, Damages());
        })}});
  std::string glued;
  if (std::any_of(damage.begin(), damage.end(),
                  [](const Damage& d) { return d.what == DamageKind::kGlue; })) {
    glued = HeaderOf(c.setup) + *LineStart(kind);
    for (const std::string& piece :
         *rc::gen::container<std::vector<std::string>>(BodyPiece(kind))) {
      glued += piece;
    }
  }
  c.bytes = Apply(bytes, damage, glued);
  c.damaged = std::any_of(damage.begin(), damage.end(),
                          [](const Damage& d) { return d.what != DamageKind::kCut; });
  c.presses =
      *rc::gen::resize(60, rc::gen::nonEmpty(rc::gen::container<std::vector<Press>>(Presses())));
  size_t keys = 0;
  const std::string broken = Run(c, &keys);
  testing::CountSequence("ViewerFiles", keys, !broken.empty());
  if (testing::PropertyVerbose()) std::printf("%s\n", Describe(c).c_str());
  RC_LOG() << Describe(c) << "\n";
  RC_ASSERT(broken == "");
}

// The shortest cases the property found, each a fault fixed since.
struct Regression {
  const char* fault;
  FileSetup setup;
  std::vector<std::string> records;  // each padded to the record length and ended
  std::vector<Press> presses;
};

FileSetup Made(int32_t kind, bool portrait, bool ice_built = false) {
  FileSetup f;
  f.kind = f.build_kind = kind;
  f.portrait = portrait;
  f.ice_built = ice_built;
  return f;
}

TEST_F(ViewerFiles, ShortestCasesThePropertyFound) {
  using namespace std::string_literals;
  const Regression rows[] = {
      {"Exit left the last readout standing in the hidden viewer",
       Made(kKindTq62, false),
       {"TQ62MK2 W211GRD0000   2", "H PROP       0.200", "L,e3", "B       0.00",
        "AW            0.000", "Z06122009 05:09:70", "*05:09:70.000         0",
        "t\x00-9999-9999          0"s},
       {{'E'}}},
      {"A cancelled open left the last readout standing",
       Made(kKindTq62, false),
       {"TQ62MK2 W211GRD0000   2", "H PROP       0.200", "L1", "B       0.00",
        "AW            1.000", "T&-0400-0400          0"},
       {{'F', false, 0, true}}},
  };
  for (const Regression& row : rows) {
    SCOPED_TRACE(row.fault);
    ViewerCase c{row.setup, "", false, row.presses};
    for (const std::string& r : row.records)
      c.bytes += testing::Line(r, RecordLengthFor(row.setup.kind));
    EXPECT_EQ(Run(c), "") << Describe(c);
  }
}

}  // namespace
}  // namespace tq
