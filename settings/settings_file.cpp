// The settings file: a version tag, then one value a line in a fixed order that
// depends on the kind. The same walk over the lines drives writing and reading,
// so the two can never disagree about the order.
#include <algorithm>
#include <cfloat>
#include <charconv>
#include <climits>
#include <cstring>
#include <string>

#include "platform/files.h"
#include "platform/text.h"
#include "settings/settings.h"

namespace tq {
namespace {

constexpr int32_t kWheelMode = 1;
// PauseKey is a position in a list of four keys; no other value names a key.
constexpr int32_t kPauseKeyChoices = 4;
// A settings file is well under a kilobyte; more than this is not read.
constexpr size_t kMaxFileBytes = 1 << 20;

// Points in the walk where loading recomputes what depends on the lines so far.
enum class LoadStep { kIcePixels, kCondPixels, kInphasePixels, kSurveyMode, kReadingTiming,
                      kStationIncrement };

// Calls the visitor once per line of `build`'s file, in file order, with the
// field the line holds, and with the load steps where they fall.
template <typename Store, typename Visitor>
void VisitSettingsLines(Store& s, const BuildConfig& build, Visitor& v) {
  const bool tq62 = build.InstrumentKind == kKindTq62;
  const bool mk2 = build.InstrumentKind == kKindTq68Mk2;
  if (tq62) v.Integer(s.Tq62Variant);
  if (tq62 && build.IceOptionBuilt == 1) {
    v.Integer(s.IceOption);
    v.Integer(s.ShowProfile);
    v.Integer(s.SeaWaterIndex);
    v.Float(s.IceScaleMin);
    v.Float(s.IceScaleMax);
    v.Step(LoadStep::kIcePixels);
  }
  v.Integer(s.Units);
  v.Integer(s.InstrumentPort);
  v.Integer(s.Audio);
  v.Choice(s.PauseKey, kPauseKeyChoices, SettingsStore{}.PauseKey);
  for (auto& visible : s.TraceVisible) v.Integer(visible);
  for (auto& thickness : s.TraceThickness) v.Integer(thickness);
  for (auto& colour : s.TraceColor) v.Colour(colour);
  v.Integer(s.GridFor);
  v.Float(s.CondScaleMin);
  v.Float(s.CondScaleMax);
  v.Step(LoadStep::kCondPixels);
  v.Float(s.InphaseScaleMin);
  v.Float(s.InphaseScaleMax);
  v.Step(LoadStep::kInphasePixels);
  v.Integer(s.GpsInput);
  v.Integer(s.GpsPort);
  v.Integer(s.GpsBaud);
  v.Integer(s.GpsDataBits);
  v.Integer(s.GpsParity);
  v.Integer(s.GpsStopBits);
  v.Integer(s.SurveyMode);
  v.Step(LoadStep::kSurveyMode);
  v.Integer(s.Component);
  v.Integer(s.DipoleMode);
  v.Integer(s.SamplesPerReading);
  if (mk2) {
    v.Integer(s.Mk2Variant);
    for (auto& offset : s.Mk2Calibration) v.Float(offset);
  }
  v.Float(s.AutoStationIncrement);
  v.Float(s.WheelStationIncrement);
  v.Float(s.ManualStationIncrement);
  v.Float(s.ReadingInterval);
  v.Step(LoadStep::kReadingTiming);
  v.Text(s.SurveyLine);
  v.Float(s.LineIncrement);
  v.Integer(s.Sequence);
  v.Integer(s.Direction);
  v.Double(s.StartStation);
  v.StationIncrement(s.StationIncrement, s.SurveyMode);
  v.Step(LoadStep::kStationIncrement);
  if (mk2) {
    v.Integer(s.SoftMarker);
    v.Integer(s.ExtMarkerPort);
  }
}

// Text up to its first line break or 0 byte.
std::string_view FirstLineOf(std::string_view text) {
  return text.substr(0, std::min(text.find_first_of(std::string_view("\r\n\0", 3)), text.size()));
}

// The file holds the line in 8-bit characters, one byte each (the low 8 bits
// of the character), so 11 characters are 11 bytes there.
std::string SurveyLineToFile(std::string_view text) { return NarrowTo8Bit(CutSurveyLine(text)); }

// Each byte of the file's line is the character of that code.
std::string SurveyLineFromFile(std::string_view bytes) {
  bytes = FirstLineOf(bytes);
  return WidenFrom8Bit(bytes.substr(0, std::min(bytes.size(), kSurveyLineMax)));
}

class LineWriter {
 public:
  explicit LineWriter(std::string& out) : out_(out) {}

  void Integer(int32_t value) { Append(value); }
  void Choice(int32_t value, int32_t, int32_t) { Append(value); }
  // Colours go out as the signed 32-bit word the handheld's "%ld" printed.
  void Colour(uint32_t value) { Append(static_cast<int32_t>(value)); }
  void Float(float value) { Fixed(static_cast<double>(value)); }
  void Double(double value) { Fixed(value); }
  void Text(const std::string& value) {
    out_ += SurveyLineToFile(value);
    out_ += "\r\n";
  }
  // In Wheel mode the line keeps only the direction of the increment.
  void StationIncrement(float increment, int32_t mode) {
    if (mode == kWheelMode) {
      Fixed(increment >= 0.0f ? 1.0 : -1.0);
    } else {
      Float(increment);
    }
  }
  void Step(LoadStep) {}

 private:
  template <typename T>
  void Append(T value) {
    char buffer[24];
    auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
    out_.append(buffer, result.ptr);
    out_ += "\r\n";
  }
  // "%f" without the locale: six decimals and a point, whatever LC_NUMERIC says.
  void Fixed(double value) {
    char buffer[kSettingsLineSize];
    auto result = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed, 6);
    out_.append(buffer, result.ptr);
    out_ += "\r\n";
  }

  std::string& out_;
};

float NarrowToFloat(double value) {
  return static_cast<float>(std::clamp(value, -static_cast<double>(FLT_MAX),
                                       static_cast<double>(FLT_MAX)));
}

class LineReader {
 public:
  LineReader(std::string_view rest, SettingsStore& s, const BuildConfig& build)
      : rest_(rest), s_(s), build_(build) {}

  // True when the file ran out before its last line.
  bool EndedEarly() const { return ended_early_; }

  void Integer(int32_t& field) {
    if (Next()) field = ParseSettingsInteger(line_);
  }
  // A position outside its list (a pause key that no key answers) reads as
  // the default.
  void Choice(int32_t& field, int32_t count, int32_t fallback) {
    if (!Next()) return;
    int32_t value = ParseSettingsInteger(line_);
    field = value >= 0 && value < count ? value : fallback;
  }
  void Colour(uint32_t& field) {
    if (Next()) field = static_cast<uint32_t>(ParseSettingsInteger(line_));
  }
  void Float(float& field) {
    if (Next()) field = NarrowToFloat(ParseSettingsNumber(line_));
  }
  void Double(double& field) {
    if (Next()) field = ParseSettingsNumber(line_);
  }
  void Text(std::string& field) {
    if (Next()) field = SurveyLineFromFile(line_);
  }
  // The line is read as it stands; the step after it puts the mode's increment in force.
  void StationIncrement(float& field, int32_t) { Float(field); }

  void Step(LoadStep step) {
    switch (step) {
      case LoadStep::kIcePixels:
        s_.IcePixelsPerUnit = PixelsPerUnit(s_.PlotHeight, s_.IceScaleMin, s_.IceScaleMax);
        break;
      case LoadStep::kCondPixels:
        s_.CondPixelsPerUnit = PixelsPerUnit(s_.PlotHeight, s_.CondScaleMin, s_.CondScaleMax);
        break;
      case LoadStep::kInphasePixels:
        s_.InphasePixelsPerUnit =
            PixelsPerUnit(s_.PlotHeight, s_.InphaseScaleMin, s_.InphaseScaleMax);
        break;
      case LoadStep::kSurveyMode:
        s_.SurveyDialogMode = s_.SurveyMode;
        break;
      case LoadStep::kReadingTiming:
        UpdateReadingTiming(s_, build_);
        break;
      case LoadStep::kStationIncrement:
        if (s_.SurveyMode == 0) s_.StationIncrement = s_.AutoStationIncrement;
        if (s_.SurveyMode == 1) s_.StationIncrement = s_.WheelStationIncrement;
        if (s_.SurveyMode == 2) s_.StationIncrement = s_.ManualStationIncrement;
        s_.CurrentStation = s_.StartStation;
        break;
    }
  }

 private:
  bool Next() {
    int length = ReadSettingsLine(rest_, buffer_);
    if (length < 0) {
      ended_early_ = true;
      return false;
    }
    line_ = std::string_view(buffer_, static_cast<size_t>(length));
    return true;
  }

  std::string_view rest_;
  SettingsStore& s_;
  const BuildConfig& build_;
  char buffer_[kSettingsLineSize] = {};
  std::string_view line_;
  bool ended_early_ = false;
};

// Reads the file into `bytes`; false when it cannot be opened.
bool ReadWholeFile(const std::filesystem::path& path, std::string& bytes) {
  File file = File::Open(path, OpenMode::kOpenExisting, kRead);
  if (!file.IsOpen()) return false;
  uint8_t chunk[4096];
  while (bytes.size() < kMaxFileBytes) {
    long n = file.Read(chunk);
    // A read error ends the file where it happened, like an early end.
    if (n <= 0) break;
    bytes.append(reinterpret_cast<const char*>(chunk), static_cast<size_t>(n));
  }
  return true;
}

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// Skips the blanks that the C library's number parsers skip.
std::string_view SkipSpace(std::string_view text) {
  size_t first = text.find_first_not_of(" \t\n\v\f\r");
  return first == std::string_view::npos ? std::string_view() : text.substr(first);
}

size_t CountDigits(std::string_view text, size_t from) {
  size_t end = from;
  while (end < text.size() && IsDigit(text[end])) ++end;
  return end - from;
}

}  // namespace

std::string SettingsFolderSystemPath(const BuildConfig& build) {
  if (build.StorageRoot == 1 && build.InstrumentKind != kKindTq93) return "Storage\\FLDINI";
  return "C_DRIVE\\FLDINI";
}

std::string SettingsFileSystemPath(const BuildConfig& build) {
  return SettingsFolderSystemPath(build) + "\\" + KindInfoFor(build.InstrumentKind).settings_file;
}

std::string FormatSettingsFile(const SettingsStore& s, const BuildConfig& build) {
  std::string out;
  out += KindInfoFor(build.InstrumentKind).version_tag;
  out += "\r\n";
  LineWriter writer(out);
  VisitSettingsLines(s, build, writer);
  return out;
}

bool SaveSettings(const SettingsStore& s, const BuildConfig& build) {
  // On a first start the folder is new: a file saved in a folder that is not
  // itself on storage comes back as defaults after a power cut.
  if (!CreateDirectory(MapSystemPath(SettingsFolderSystemPath(build)))) return false;
  return ReplaceFileAtomically(MapSystemPath(SettingsFileSystemPath(build)),
                               FormatSettingsFile(s, build));
}

bool LoadSettings(SettingsStore& s, const BuildConfig& build) {
  CreateDirectory(MapSystemPath(SettingsFolderSystemPath(build)));
  std::string bytes;
  // A missing file, and one of another version or kind, start again from the
  // values in force.
  if (!ReadWholeFile(MapSystemPath(SettingsFileSystemPath(build)), bytes)) {
    return SaveSettings(s, build);
  }
  std::string_view rest(bytes);
  char tag[kSettingsLineSize];
  int length = ReadSettingsLine(rest, tag);
  if (length < 0 || std::string_view(tag, static_cast<size_t>(length)) !=
                        KindInfoFor(build.InstrumentKind).version_tag) {
    return SaveSettings(s, build);
  }
  LineReader reader(rest, s, build);
  VisitSettingsLines(s, build, reader);
  // A cut-off file is completed from the values in force, so the next load
  // finds every line again.
  if (reader.EndedEarly()) return SaveSettings(s, build);
  return true;
}

float SettingsFileFloat(double value) {
  std::string line;
  LineWriter(line).Float(NarrowToFloat(value));
  return NarrowToFloat(ParseSettingsNumber(line));
}

std::string CutSurveyLine(std::string_view line) {
  return std::string(FirstCharacters(FirstLineOf(line), kSurveyLineMax));
}

int ReadSettingsLine(std::string_view& file, std::span<char> line) {
  if (file.empty()) return -1;
  size_t end = file.find('\n');
  std::string_view text = file.substr(0, end);
  file.remove_prefix(end == std::string_view::npos ? file.size() : end + 1);
  if (!text.empty() && text.back() == '\r') text.remove_suffix(1);
  if (line.empty()) return 0;
  size_t stored = std::min(text.size(), line.size() - 1);
  std::memcpy(line.data(), text.data(), stored);
  line[stored] = '\0';
  return static_cast<int>(stored);
}

int32_t ParseSettingsInteger(std::string_view text) {
  text = SkipSpace(text);
  bool negative = false;
  if (!text.empty() && (text[0] == '+' || text[0] == '-')) {
    negative = text[0] == '-';
    text.remove_prefix(1);
  }
  int64_t value = 0;
  for (char c : text) {
    if (!IsDigit(c)) break;
    value = std::min<int64_t>(value * 10 + (c - '0'), int64_t{INT32_MAX} + 1);
  }
  if (negative) value = -value;
  return static_cast<int32_t>(std::clamp<int64_t>(value, INT32_MIN, INT32_MAX));
}

double ParseSettingsNumber(std::string_view text) {
  text = SkipSpace(text);
  bool negative = false;
  size_t start = 0;
  if (!text.empty() && (text[0] == '+' || text[0] == '-')) {
    negative = text[0] == '-';
    start = 1;
  }
  size_t pos = start;
  size_t whole_digits = CountDigits(text, pos);
  pos += whole_digits;
  size_t fraction_digits = 0;
  if (pos < text.size() && text[pos] == '.') {
    fraction_digits = CountDigits(text, pos + 1);
    if (whole_digits + fraction_digits > 0) pos += 1 + fraction_digits;
  }
  if (whole_digits + fraction_digits == 0) return 0.0;
  // An exponent counts only when digits follow the "e" and its sign.
  if (pos < text.size() && (text[pos] == 'e' || text[pos] == 'E')) {
    size_t exponent = pos + 1;
    if (exponent < text.size() && (text[exponent] == '+' || text[exponent] == '-')) ++exponent;
    size_t exponent_digits = CountDigits(text, exponent);
    if (exponent_digits > 0) pos = exponent + exponent_digits;
  }
  std::string_view number = text.substr(start, pos - start);
  double value = 0.0;
  auto result = std::from_chars(number.data(), number.data() + number.size(), value,
                                std::chars_format::general);
  if (result.ec == std::errc::result_out_of_range) {
    // The mantissa is not zero but its size is beyond a double: the decimal
    // magnitude of its first significant digit says too large or too small.
    size_t significant = number.find_first_of("123456789");
    size_t point = whole_digits;
    int64_t magnitude = significant < point ? static_cast<int64_t>(point - significant - 1)
                                            : -static_cast<int64_t>(significant - point);
    size_t e = number.find_first_of("eE");
    if (e != std::string_view::npos) magnitude += ParseSettingsInteger(number.substr(e + 1));
    value = magnitude > 0 ? DBL_MAX : 0.0;
  }
  return negative ? -value : value;
}

}  // namespace tq
