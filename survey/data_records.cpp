#include "survey/data_records.h"

#include <algorithm>
#include <cstdio>

#include "survey/typed_fields.h"

namespace tq {
namespace {

// The record array holds at most the long layout, and a record needs room
// for its LF and the fields before it: other lengths take the nearer layout.
size_t UsableRecordLength(size_t record_length) {
  return std::clamp(record_length, kShortRecordLength, kMaxRecordLength);
}

// Composes a record left to right over a line of spaces. Whatever would run
// into the LF is dropped, so every record keeps its length.
class RecordBuilder {
 public:
  explicit RecordBuilder(size_t record_length) {
    record_.length = UsableRecordLength(record_length);
    std::fill_n(record_.bytes.begin(), record_.length - 1, uint8_t{' '});
    record_.bytes[record_.length - 1] = '\n';
  }

  RecordBuilder& Put(std::string_view text) {
    for (char c : text) {
      if (at_ >= room()) break;
      record_.bytes[at_++] = static_cast<uint8_t>(c);
    }
    return *this;
  }
  RecordBuilder& Put(char c) { return Put(std::string_view(&c, 1)); }
  RecordBuilder& PutBytes(std::span<const uint8_t> bytes) {
    for (uint8_t b : bytes) {
      if (at_ >= room()) break;
      record_.bytes[at_++] = b;
    }
    return *this;
  }
  // `text` left-aligned in `width` positions, cut to them.
  RecordBuilder& PutPadded(std::string_view text, size_t width) {
    size_t end = at_ + width;
    Put(text.substr(0, width));
    at_ = std::min(end, room());
    return *this;
  }
  RecordBuilder& Skip(size_t count) {
    at_ = std::min(at_ + count, room());
    return *this;
  }
  RecordBuilder& PutAt(size_t at, char c) {
    record_.bytes[at] = static_cast<uint8_t>(c);
    return *this;
  }
  RecordBuilder& PutTick(uint32_t tick) {
    char text[16];
    std::snprintf(text, sizeof text, "%10u", tick);
    std::copy_n(text, kTickWidth, record_.bytes.begin() + TickAt(record_.length));
    return *this;
  }
  DataRecord Done() const { return record_; }

 private:
  size_t room() const { return record_.length - 1; }
  DataRecord record_;
  size_t at_ = 0;
};

// Integers only: floating-point values go through FormatFixed, which never
// looks at the locale.
template <typename... Args>
std::string Printf(const char* format, Args... args) {
  char text[128];
  int n = std::snprintf(text, sizeof text, format, args...);
  return std::string(text, n < 0 ? 0 : std::min(static_cast<size_t>(n), sizeof text - 1));
}

// A single-digit setting; what "%1d" would print wider is "?".
char DigitOf(int32_t value) {
  return value >= 0 && value <= 9 ? static_cast<char>('0' + value) : '?';
}

// The sea-water index alone has eleven values; the eleventh is "A".
char SeaWaterIndexDigit(int32_t value) { return value == 10 ? 'A' : DigitOf(value); }

struct ModelName {
  const char* grd;
  const char* gps;
};

// Identifiers by kind; kind 0 has one row per Tq62Variant.
constexpr ModelName kTq62Models[2] = {{"TQ62MK2 W211GRD", "TQ62MK2 W211GPS"},
                                      {"TQ62SH  W211GRD", "TQ62SH  W211GPS"}};
constexpr ModelName kModels[kKindCount] = {
    {"TQ62MK2 W211GRD", "TQ62MK2 W211GPS"}, {"TQ68B   W210GRD", "TQ68B   W210GPS"},
    {"TQ68D   W211GRD", "TQ68D   W211GPS"}, {"TQ68S   W211GRD", "TQ68S   W211GPS"},
    {"TQ64    W211GRD", "TQ64    W211GPS"}, {"TQ93    W210GRD", "TQ93    W210GPS"},
    {"FRZ62   W210GRD", "FRZ62   W210GPS"}, {"TQ68MK2 W211GRD", "TQ68MK2 W211GPS"},
};

constexpr char kDirectionLetters[4] = {'W', 'S', 'N', 'E'};

}  // namespace

std::string HeaderIdentifier(const SettingsStore& settings, const BuildConfig& build) {
  const int32_t kind = KindInfoFor(build.InstrumentKind).kind;
  const ModelName& model =
      kind == kKindTq62 ? kTq62Models[settings.Tq62Variant == 1 ? 1 : 0] : kModels[kind];
  std::string identifier = settings.GpsInput == 1 ? model.gps : model.grd;
  if (kind == kKindTq62 && build.IceOptionBuilt == 1) identifier[kIceBuiltMarkAt] = 'i';
  return identifier;
}

DataRecord FormatHeader1(const SettingsStore& settings, const BuildConfig& build, bool portrait) {
  const int32_t kind = KindInfoFor(build.InstrumentKind).kind;
  const size_t length = RecordLengthFor(kind);
  RecordBuilder record(length);
  record.Put(HeaderIdentifier(settings, build))
      .Put(DigitOf(settings.Units))
      .Put(DigitOf(settings.DipoleMode))
      .Put(DigitOf(settings.SurveyMode))
      .Put(DigitOf(settings.Component));
  if (kind == kKindTq68Mk2) {
    record.Put(DigitOf(settings.Mk2Variant));
  } else if (kind == kKindTq62 && build.IceOptionBuilt == 1) {
    record.Put(DigitOf(settings.IceOption)).Put(SeaWaterIndexDigit(settings.SeaWaterIndex));
  }
  char code = ' ';
  if (build.StorageRoot == 1) code = portrait ? '3' : '2';
  return record.PutAt(LoggerCodeAt(length), code).Done();
}

DataRecord FormatHeader2(const SettingsStore& settings, size_t record_length,
                         std::string_view base_name) {
  RecordBuilder record(record_length);
  record.Put("H ").PutPadded(base_name, kBaseNameField.width);
  switch (settings.SurveyMode) {
    case 0: record.Put(FormatFixed(static_cast<double>(settings.ReadingInterval), 3, 7)); break;
    case 1: record.Put(FormatFixed(static_cast<double>(settings.StationIncrement), 3, 7)); break;
    case 2: record.Put(Printf("%7d", settings.SamplesPerReading)); break;
    default: break;
  }
  return record.Done();
}

DataRecord FormatLineName(size_t record_length, std::string_view line) {
  return RecordBuilder(record_length)
      .Put(kLineNameLetter)
      .PutPadded(NarrowTo8Bit(line), kLineNameField.width)
      .Done();
}

DataRecord FormatStartStation(size_t record_length, double start_station) {
  return RecordBuilder(record_length)
      .Put(kStartStationLetter)
      .Put(FormatFixed(start_station, 2, 11))
      .Done();
}

DataRecord FormatDirection(size_t record_length, int32_t direction, float station_increment) {
  const char letter = direction >= 0 && direction <= 3 ? kDirectionLetters[direction] : '?';
  return RecordBuilder(record_length)
      .Put(kDirectionLetter)
      .Put(letter)
      .Skip(kStationIncrementField.at - 2)
      .Put(FormatFixed(static_cast<double>(station_increment), 3, 11))
      .Done();
}

DataRecord FormatDateTime(size_t record_length, const LocalTime& now) {
  return RecordBuilder(record_length)
      .Put(kDateTimeLetter)
      .Put(Printf("%02d%02d%04d %02d:%02d:%02d", now.day, now.month, now.year, now.hour,
                  now.minute, now.second))
      .Done();
}

std::array<DataRecord, kCalibrationChannels> FormatCalibrationRecords(const Mk2Offsets& offsets,
                                                                      const Mk2Offsets& previous) {
  std::array<DataRecord, kCalibrationChannels> records;
  for (size_t n = 0; n < records.size(); ++n) {
    records[n] = RecordBuilder(kLongRecordLength)
                     .Put(kCalibrationLetter)
                     .Put(static_cast<char>('1' + n))
                     .Put(FormatFixed(static_cast<double>(offsets[n]), 3, 10))
                     .Put(' ')
                     .Put(FormatFixed(static_cast<double>(previous[n]), 3, 10))
                     .Done();
  }
  return records;
}

std::vector<DataRecord> FormatLineStart(const SettingsStore& settings, int32_t kind,
                                        const LocalTime& now, const Mk2Offsets& previous) {
  const size_t length = RecordLengthFor(kind);
  std::vector<DataRecord> records = {
      FormatLineName(length, settings.SurveyLine),
      FormatStartStation(length, settings.StartStation),
      FormatDirection(length, settings.Direction, settings.StationIncrement),
      FormatDateTime(length, now),
  };
  if (kind == kKindTq68Mk2) {
    for (const DataRecord& o : FormatCalibrationRecords(settings.Mk2Calibration, previous)) {
      records.push_back(o);
    }
  }
  return records;
}

DataRecord FormatStationRecord(size_t record_length, double station, const LocalTime& now) {
  return RecordBuilder(record_length)
      .Put(kNewStationLetter)
      .Put(FormatFixed(station, 2, 11))
      .Put(Printf(" %02d%02d%02d%02d", now.hour, now.minute, now.second, now.millisecond / 10))
      .Done();
}

DataRecord FormatTimeMark(size_t record_length, uint32_t tick, const LocalTime& now) {
  return RecordBuilder(record_length)
      .Put(kTimeMarkLetter)
      .Put(Printf("%02d:%02d:%02d.%03d", now.hour, now.minute, now.second, now.millisecond))
      .PutTick(tick)
      .Done();
}

DataRecord FormatNote(size_t record_length, std::string_view text, char letter, uint32_t tick) {
  return RecordBuilder(record_length)
      .Put(letter)
      .PutPadded(NarrowTo8Bit(text), kNoteTextField.width)
      .PutTick(tick)
      .Done();
}

std::optional<std::string> CheckComment(std::string_view text) {
  return CheckTypedText("Comment", FirstCharacters(text, kNoteTextField.width));
}

DataRecord FormatReadingRecord(std::span<const uint8_t> frame_text, uint32_t tick) {
  return RecordBuilder(kShortRecordLength)
      .PutBytes(frame_text.first(std::min(frame_text.size(), kAsciiReadingPart)))
      .PutTick(tick)
      .Done();
}

DataRecord FormatBinaryReadingRecord(std::span<const uint8_t> frame, uint32_t tick) {
  return RecordBuilder(kLongRecordLength)
      .PutBytes(frame.first(std::min(frame.size(), kBinaryReadingPart)))
      .PutTick(tick)
      .Done();
}

void FormatGpsRecords(std::string_view line, uint32_t tick, char first_prefix, char next_prefix,
                      size_t record_length, std::vector<DataRecord>& out) {
  const size_t piece = GpsPieceLength(UsableRecordLength(record_length));
  out.push_back(RecordBuilder(record_length).Put(first_prefix).Put(line.substr(0, piece)).Done());
  if (line.size() >= piece) {
    // Every full piece after the first, then the rest, even when nothing is left.
    size_t at = piece;
    for (; at + piece <= line.size(); at += piece) {
      out.push_back(RecordBuilder(record_length).Put(next_prefix).Put(line.substr(at, piece)).Done());
    }
    out.push_back(RecordBuilder(record_length).Put(next_prefix).Put(line.substr(at)).Done());
  }
  out.push_back(RecordBuilder(record_length).Put(kGpsTickLetter).PutTick(tick).Done());
}

}  // namespace tq
