#include "survey/record_reader.h"

#include <algorithm>
#include <array>
#include <utility>

#include "settings/settings.h"
#include "survey/data_records.h"
#include "survey/record_check.h"

namespace tq {
namespace {

// Model fields of the identifiers and their kinds; kind 0 has two models.
struct ModelField {
  std::string_view field;  // 8 characters
  int32_t kind;
  int32_t tq62_variant;
};
constexpr std::array<ModelField, 9> kModelFields = {{
    {"TQ62MK2 ", kKindTq62, 0},
    {"TQ62SH  ", kKindTq62, 1},
    {"TQ68B   ", kKindTq68b, 0},
    {"TQ68D   ", kKindTq68dd, 0},
    {"TQ68S   ", kKindTq68, 0},
    {"TQ64    ", kKindTq64, 0},
    {"TQ93    ", kKindTq93, 0},
    {"FRZ62   ", kKindFrz62, 0},
    {"TQ68MK2 ", kKindTq68Mk2, 0},
}};

// Bytes per buffered read: whole records, about 64 KiB.
constexpr size_t kCursorBufferBytes = 64 * 1024;

int32_t DigitAt(std::span<const uint8_t> record, size_t at) {
  if (at >= record.size()) return 0;
  const uint8_t c = record[at];
  return c >= '0' && c <= '9' ? c - '0' : 0;
}

std::string_view TrimRight(std::string_view text) {
  const size_t end = text.find_last_not_of(' ');
  return end == std::string_view::npos ? std::string_view() : text.substr(0, end + 1);
}

}  // namespace

std::optional<size_t> DetectRecordLength(std::span<const uint8_t> first_bytes) {
  if (first_bytes.size() >= kShortRecordLength && first_bytes[kShortRecordLength - 1] == '\n') {
    return kShortRecordLength;
  }
  if (first_bytes.size() >= kLongRecordLength && first_bytes[kLongRecordLength - 1] == '\n') {
    return kLongRecordLength;
  }
  return std::nullopt;
}

std::optional<StoredHeader> ParseHeader(std::span<const uint8_t> header1,
                                        std::span<const uint8_t> header2) {
  const std::optional<size_t> length = DetectRecordLength(header1);
  if (!length) return std::nullopt;
  const std::span<const uint8_t> record = header1.first(*length);
  StoredHeader h;
  h.record_length = *length;
  h.identifier = std::string(RecordText(record).substr(kIdentifierField.at, kIdentifierField.width));
  const std::string_view model = std::string_view(h.identifier).substr(0, kModelFieldWidth);
  for (const ModelField& m : kModelFields) {
    const bool ice_mark = m.kind == kKindTq62 && model[kIceBuiltMarkAt] == 'i';
    if (model.substr(0, kIceBuiltMarkAt) == m.field.substr(0, kIceBuiltMarkAt) &&
        (model[kIceBuiltMarkAt] == m.field[kIceBuiltMarkAt] || ice_mark)) {
      h.kind = m.kind;
      h.tq62_variant = m.tq62_variant;
      h.ice_built = ice_mark;
      break;
    }
  }
  h.gps_survey = std::string_view(h.identifier).substr(kSurveyTypeAt) == "GPS";
  h.Units = DigitAt(record, kUnitsAt);
  h.DipoleMode = DigitAt(record, kDipoleModeAt);
  h.SurveyMode = DigitAt(record, kSurveyModeAt);
  h.Component = DigitAt(record, kComponentAt);
  if (h.record_length == kLongRecordLength) {
    h.Mk2Variant = DigitAt(record, kMk2VariantAt);
  } else if (h.ice_built) {
    h.IceOption = DigitAt(record, kIceOptionAt);
    h.SeaWaterIndex = record[kSeaWaterIndexAt] == 'A' ? 10 : DigitAt(record, kSeaWaterIndexAt);
  }
  h.logger_code = static_cast<char>(record[LoggerCodeAt(h.record_length)]);
  if (header2.size() >= h.record_length && header2[0] == kHeader2Letter) {
    h.base_name = std::string(
        TrimRight(RecordText(header2).substr(kBaseNameField.at, kBaseNameField.width)));
  }
  return h;
}

std::optional<StoredHeader> ReadHeader(const std::filesystem::path& path, std::string* error) {
  File file = File::Open(path, OpenMode::kOpenExisting, kRead);
  if (!file.IsOpen()) {
    if (error != nullptr) *error = file.LastError();
    return std::nullopt;
  }
  std::array<uint8_t, 2 * kMaxRecordLength> bytes{};
  size_t got = 0;
  while (got < bytes.size()) {
    const long n = file.Read(std::span(bytes).subspan(got));
    if (n < 0) {
      if (error != nullptr) *error = file.LastError();
      return std::nullopt;
    }
    if (n == 0) break;
    got += static_cast<size_t>(n);
  }
  const std::span<const uint8_t> read(bytes.data(), got);
  const std::optional<size_t> length = DetectRecordLength(read);
  if (!length) {
    if (error != nullptr) *error = "not a data file: no whole header record";
    return std::nullopt;
  }
  const std::span<const uint8_t> header2 =
      got >= 2 * *length ? read.subspan(*length, *length) : std::span<const uint8_t>();
  return ParseHeader(read.first(*length), header2);
}

int32_t StoredReadingsPerStation(const StoredHeader& header) {
  if (header.SurveyMode != 2) return 1;
  const int32_t a = header.DipoleMode;
  const int32_t b = header.Component;
  switch (header.kind) {
    case kKindTq62:
    case kKindTq68b:
    case kKindTq68Mk2: return a == 2 ? 2 : 1;
    case kKindTq68dd: return b == 0 ? 2 : 1;
    case kKindTq68:
      if (a != 2) return 1;
      return b == 0 ? 4 : (b == 1 || b == 2) ? 2 : 1;
    case kKindTq64: return a + 1;
    default: return 1;
  }
}

RecordKind RecordKindOf(std::span<const uint8_t> record) {
  if (record.empty()) return RecordKind::kOther;
  switch (static_cast<char>(record[0])) {
    case kHeader2Letter: return RecordKind::kHeader2;
    case kLineNameLetter: return RecordKind::kLineName;
    case kStartStationLetter: return RecordKind::kStartStation;
    case kDirectionLetter: return RecordKind::kDirection;
    case kDateTimeLetter: return RecordKind::kDateTime;
    case kCalibrationLetter: return RecordKind::kCalibration;
    case kNewStationLetter: return RecordKind::kNewStation;
    case kTimeMarkLetter: return RecordKind::kTimeMark;
    case kCommentLetter: return RecordKind::kComment;
    case kRunNoteLetter: return RecordKind::kRunNote;
    case 'T':
    case 't': return RecordKind::kStationReading;
    case '2':
    case '3':
    case '4':
    case '5':
    case '6': return RecordKind::kFurtherReading;
    case kGpsFirstLetter: return RecordKind::kGpsFirst;
    case kGpsContinuationLetter: return RecordKind::kGpsContinuation;
    case kGpsBadFirstLetter: return RecordKind::kGpsBadFirst;
    case kGpsBadContinuationLetter: return RecordKind::kGpsBadContinuation;
    case kGpsTickLetter: return RecordKind::kGpsTick;
    default: return RecordKind::kOther;
  }
}

RunEdge RunEdgeOf(std::span<const uint8_t> record) {
  if (RecordKindOf(record) != RecordKind::kRunNote) return RunEdge::kNone;
  // The note's field without its padding ("$CONN END  " keeps two spaces).
  auto trimmed = [](std::string_view text) { return text.substr(0, text.find_last_not_of(' ') + 1); };
  const std::string_view text =
      trimmed(RecordText(record, kNoteTextField.at).substr(0, kNoteTextField.width));
  if (text == kNoteStarted) return RunEdge::kStarted;
  if (text == kNotePaused || text == trimmed(kNoteConnectionEnd)) return RunEdge::kEnded;
  return RunEdge::kNone;
}

RecordKind RecordKindAt(int64_t index, std::span<const uint8_t> record) {
  if (index == 0) return RecordKind::kHeader1;
  if (index == 1) return RecordKind::kHeader2;
  return RecordKindOf(record);
}

double ParseRecordNumber(std::string_view text) { return ParseSettingsNumber(text); }

std::string_view RecordText(std::span<const uint8_t> record, size_t at) {
  if (at >= record.size()) return {};
  return std::string_view(reinterpret_cast<const char*>(record.data()) + at, record.size() - at);
}

StoredDecoding StoredDecodingFor(const StoredHeader& header) {
  StoredDecoding d;
  d.kind = header.kind;
  d.ascii.kind = header.kind;
  d.ascii.survey_mode = header.SurveyMode;
  d.ascii.component = header.Component;
  d.ascii.tq62_variant = header.tq62_variant;
  return d;
}

Reading DecodeStoredReading(std::span<const uint8_t> record, const StoredDecoding& decoding) {
  if (decoding.kind == kKindTq68Mk2) {
    return DecodeBinaryFrame(record.first(std::min(record.size(), kBinaryReadingPart)),
                             decoding.offsets);
  }
  if (decoding.kind < 0 || decoding.kind >= kKindCount) return Reading{};
  return DecodeAsciiFrame(record.first(std::min(record.size(), kAsciiReadingPart)),
                          decoding.ascii);
}

RecordKind StationTracker::Feed(std::span<const uint8_t> record) {
  const RecordKind kind = RecordKindOf(record);
  switch (kind) {
    case RecordKind::kLineName: ++line_; break;
    case RecordKind::kStartStation:
      start_ = ParseRecordNumber(RecordText(record, kStartStationField.at));
      station_ = start_ - increment_;
      break;
    case RecordKind::kDirection:
      increment_ = ParseRecordNumber(RecordText(record, kStationIncrementParseAt));
      station_ = start_ - increment_;
      break;
    case RecordKind::kStationReading: station_ += increment_; break;
    case RecordKind::kNewStation:
      station_ = ParseRecordNumber(RecordText(record, kNewStationField.at)) - increment_;
      break;
    case RecordKind::kCalibration: {
      const int32_t channel = record.size() > kCalibrationChannelAt
                                  ? record[kCalibrationChannelAt] - '1'
                                  : -1;
      if (channel >= 0 && channel < kCalibrationChannels) {
        offsets_[static_cast<size_t>(channel)] = static_cast<float>(
            ParseRecordNumber(RecordText(record, kCalibrationOffsetField.at)));
      }
      break;
    }
    default: break;
  }
  return kind;
}

void StationTracker::Skip(const SkippedRange& range) {
  // One addition per station cut, as each of its readings would have made:
  // n times d in one step can round to another cent than n additions.
  for (int32_t i = 0; i < range.station_openers; ++i) station_ += increment_;
}

RecordCursor::RecordCursor(File file, size_t record_length)
    : file_(std::move(file)), record_length_(record_length) {
  // Room for a whole buffer of records and for the three records a
  // resynchronisation looks at together, whatever the record length.
  buffer_.resize(std::max(kCursorBufferBytes / record_length_, size_t{4}) * record_length_);
  Refresh();
}

std::optional<RecordCursor> RecordCursor::Open(const std::filesystem::path& path,
                                               size_t record_length, std::string* error) {
  if (record_length == 0) {
    if (error != nullptr) *error = "record length 0";
    return std::nullopt;
  }
  File file = File::Open(path, OpenMode::kOpenExisting, kRead);
  if (!file.IsOpen()) {
    if (error != nullptr) *error = file.LastError();
    return std::nullopt;
  }
  return RecordCursor(std::move(file), record_length);
}

void RecordCursor::Refresh() {
  const int64_t size = file_.Size();
  if (size < 0) {
    error_ = "cannot tell the file size";
    return;
  }
  size_ = size;
  torn_tail_ = size_ % static_cast<int64_t>(record_length_) != 0;
  buffer_size_ = 0;
  checked_from_ = checked_to_ = 0;
  position_ = std::min(position_, size_);
}

void RecordCursor::Seek(int64_t index) {
  checked_from_ = checked_to_ = 0;
  position_ = index >= record_count() ? size_
                                      : std::max<int64_t>(index, 0) *
                                            static_cast<int64_t>(record_length_);
}

void RecordCursor::SeekOffset(int64_t offset) {
  checked_from_ = checked_to_ = 0;
  position_ = std::clamp<int64_t>(offset, 0, size_);
}

const uint8_t* RecordCursor::Load(int64_t offset, size_t count, bool backwards) {
  if (offset < 0 || offset + static_cast<int64_t>(count) > size_) return nullptr;
  checked_from_ = checked_to_ = 0;
  const auto capacity = static_cast<int64_t>(buffer_.size());
  const int64_t first =
      backwards ? std::max<int64_t>(0, offset + static_cast<int64_t>(count) - capacity) : offset;
  const auto wanted = static_cast<size_t>(std::min(capacity, size_ - first));
  buffer_size_ = 0;
  if (!file_.Seek(first)) {
    error_ = file_.LastError();
    return nullptr;
  }
  size_t got = 0;
  while (got < wanted) {
    const long n = file_.Read(std::span(buffer_).subspan(got, wanted - got));
    if (n < 0) {
      error_ = file_.LastError();
      return nullptr;
    }
    if (n == 0) break;
    got += static_cast<size_t>(n);
  }
  buffer_offset_ = first;
  buffer_size_ = got;
  if (got < wanted) size_ = first + static_cast<int64_t>(got);  // the file shrank under us
  if (offset + static_cast<int64_t>(count) > first + static_cast<int64_t>(got)) return nullptr;
  return buffer_.data() + (offset - first);
}

bool RecordCursor::Passes(int64_t offset, bool backwards) {
  return PassesAt(offset, Bytes(offset, record_length_, backwards));
}

bool RecordCursor::PassesAt(int64_t offset, const uint8_t* bytes) const {
  if (bytes == nullptr) return false;
  // Header 1 is told by its place; its identifier may begin like a reading.
  if (offset == 0) return bytes[record_length_ - 1] == '\n';
  return IsWholeRecord(std::span(bytes, record_length_));
}

bool RecordCursor::RunPasses(int64_t from, bool backwards) {
  // Forwards: the records starting at `from`; backwards: those ending there.
  const auto length = static_cast<int64_t>(record_length_);
  for (int64_t k = 0; k < 3; ++k) {
    const int64_t at = backwards ? from - (k + 1) * length : from + k * length;
    if (at < 0 || at + length > size_) return k > 0;  // every record that fits passed
    if (!Passes(at, backwards)) return false;
  }
  return true;
}

SkippedRange RecordCursor::Skip(int64_t first, int64_t end) {
  SkippedRange range{first, end, 0};
  const auto length = static_cast<int64_t>(record_length_);
  for (int64_t at = first; at < end && (at == first || at + length <= end); at += length) {
    const uint8_t* letter = Bytes(at, 1, false);
    if (letter != nullptr && (*letter == 'T' || *letter == 't')) ++range.station_openers;
  }
  return range;
}

std::optional<std::span<const uint8_t>> RecordCursor::Next() {
  skipped_.reset();
  const auto length = static_cast<int64_t>(record_length_);
  if (position_ >= checked_from_ && position_ + length <= checked_to_) {
    const uint8_t* bytes = buffer_.data() + (position_ - buffer_offset_);
    record_offset_ = position_;
    position_ += length;
    return std::span<const uint8_t>(bytes, record_length_);
  }
  if (position_ + length > size_) {
    torn_tail_ = position_ < size_;
    return std::nullopt;
  }
  const uint8_t* bytes = Bytes(position_, record_length_, false);
  if (bytes != nullptr && position_ != 0) {
    // Test the rest of the buffer at once; the records that follow are then
    // taken as they stand.
    const auto held = static_cast<size_t>(buffer_offset_ + static_cast<int64_t>(buffer_size_) -
                                          position_);
    const size_t run = WholeRecordsAt(std::span(bytes, held), record_length_);
    checked_from_ = position_;
    checked_to_ = position_ + static_cast<int64_t>(run) * length;
  }
  if (!PassesAt(position_, bytes)) {
    if (failed()) return std::nullopt;
    if (position_ + length > size_) return std::nullopt;  // the file shrank under us
    int64_t found = position_ + 1;
    while (found + length <= size_ && !RunPasses(found, false)) {
      if (failed()) return std::nullopt;
      ++found;
    }
    if (found + length > size_) found = size_;
    skipped_ = Skip(position_, found);
    position_ = found;
    if (found == size_) {
      torn_tail_ = false;
      return std::nullopt;
    }
    bytes = Bytes(position_, record_length_, false);
    if (bytes == nullptr) return std::nullopt;
  }
  record_offset_ = position_;
  position_ += length;
  return std::span<const uint8_t>(bytes, record_length_);
}

std::optional<std::span<const uint8_t>> RecordCursor::Previous() {
  skipped_.reset();
  checked_from_ = checked_to_ = 0;
  const auto length = static_cast<int64_t>(record_length_);
  position_ = std::min(position_, size_);
  if (position_ < length) return std::nullopt;
  if (!Passes(position_ - length, true)) {
    if (failed()) return std::nullopt;
    int64_t found = position_ - 1;
    while (found >= length && !RunPasses(found, true)) {
      if (failed()) return std::nullopt;
      --found;
    }
    if (found < length) found = 0;
    if (position_ == size_ && position_ - found < length && found > 0) {
      torn_tail_ = true;
    } else {
      skipped_ = Skip(found, position_);
    }
    position_ = found;
    if (found == 0) return std::nullopt;
  }
  const uint8_t* bytes = Bytes(position_ - length, record_length_, true);
  if (bytes == nullptr) return std::nullopt;
  position_ -= length;
  record_offset_ = position_;
  return std::span<const uint8_t>(bytes, record_length_);
}

}  // namespace tq
