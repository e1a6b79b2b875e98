#include "tools/tqexport/export_writers.h"

#include <cmath>
#include <string_view>

#include "gps/nmea.h"
#include "tools/tqexport/survey_clock.h"

namespace tq::exporter {
namespace {

constexpr int kValueDecimals = 3;
constexpr int kDegreeDecimals = 7;
constexpr int kHdopDecimals = 2;
constexpr char kHexDigits[] = "0123456789ABCDEF";

void PutHexByte(uint8_t byte, TextOut& out) {
  out.Put(kHexDigits[byte >> 4]);
  out.Put(kHexDigits[byte & 0xF]);
}

// The GPS cells of a row: lat, lon, alt, quality, sats, hdop.
template <typename Cells>
void VisitPositionCells(const std::optional<Position>& p, Cells& cells) {
  if (p) {
    cells.Number("lat", p->latitude, kDegreeDecimals);
    cells.Number("lon", p->longitude, kDegreeDecimals);
  } else {
    cells.Empty("lat");
    cells.Empty("lon");
  }
  if (p && p->altitude) {
    cells.Number("alt", *p->altitude, kValueDecimals);
  } else {
    cells.Empty("alt");
  }
  if (p) {
    cells.Int("quality", p->quality);
  } else {
    cells.Empty("quality");
  }
  if (p && p->satellites) {
    cells.Int("sats", *p->satellites);
  } else {
    cells.Empty("sats");
  }
  if (p && p->hdop) {
    cells.Number("hdop", *p->hdop, kHdopDecimals);
  } else {
    cells.Empty("hdop");
  }
}

// Every cell of a row in column order, each with its column's name, handed
// to `cells` as text, a number, an integer or nothing. The CSV, its header
// line and the GeoJSON properties all come from this one list.
template <typename Cells>
void VisitCells(const RowColumns& columns, const ExportRow& row, std::string& time, Cells& cells) {
  cells.Text("line", row.line);
  cells.Number("station", row.station, kValueDecimals);
  cells.Int("reading", row.reading);
  if (row.has_tick) {
    cells.Int("tick", row.tick);
  } else {
    cells.Empty("tick");
  }
  if (row.time) {
    time.clear();
    AppendLocalTime(*row.time, time);
    cells.Text("time", time);
  } else {
    cells.Empty("time");
  }
  cells.Int("marker", row.marker ? 1 : 0);
  cells.Text("dipole", row.dipole == 'H' ? "H" : "V");
  for (const ChannelColumn& column : columns.channels) {
    const ProfileChannel& channel = row.channels[column.channel];
    if (channel.present) {
      cells.Number(column.label, channel.value, kValueDecimals);
    } else {
      cells.Empty(column.label);
    }
  }
  if (columns.gps) VisitPositionCells(row.position, cells);
  if (!columns.battery) return;
  cells.Int("battery", row.battery ? 1 : 0);
  if (row.battery) {
    cells.Number("battery_volts1", row.battery_volts[0], kValueDecimals);
    cells.Number("battery_volts2", row.battery_volts[1], kValueDecimals);
  } else {
    cells.Empty("battery_volts1");
    cells.Empty("battery_volts2");
  }
}

// Cells separated by commas.
struct CsvCells {
  TextOut& out;
  bool first = true;

  void Next() {
    if (!first) out.Put(',');
    first = false;
  }
  void Text(const char*, std::string_view value) {
    Next();
    out.PutCsvText(value);
  }
  void Number(const char*, double value, int decimals) {
    Next();
    out.PutFixed(value, decimals);
  }
  void Int(const char*, int64_t value) {
    Next();
    out.PutInt(value);
  }
  void Empty(const char*) { Next(); }
};

// The header line: each cell's column name.
struct CsvNames : CsvCells {
  void Text(const char* name, std::string_view) {
    Next();
    out.PutCsvText(name);
  }
  void Number(const char* name, double, int) { Text(name, {}); }
  void Int(const char* name, int64_t) { Text(name, {}); }
  void Empty(const char* name) { Text(name, {}); }
};

// "name":value pairs of a JSON object; no value is null.
struct JsonCells {
  TextOut& out;
  bool first = true;

  void Name(const char* name) {
    if (!first) out.Put(',');
    first = false;
    out.PutJsonString(name);
    out.Put(':');
  }
  void Text(const char* name, std::string_view value) {
    Name(name);
    out.PutJsonString(value);
  }
  void Number(const char* name, double value, int decimals) {
    Name(name);
    // JSON has no infinity; a station rebuilt from absurd records can be one.
    if (std::isfinite(value)) {
      out.PutFixed(value, decimals);
    } else {
      out.Put("null");
    }
  }
  void Int(const char* name, int64_t value) {
    Name(name);
    out.PutInt(value);
  }
  void Empty(const char* name) {
    Name(name);
    out.Put("null");
  }
};

// Data-file text in the listing: a JSON string.
void PutQuoted(std::string_view text, TextOut& out) { out.PutJsonString(text); }

// A date or clock field in the listing: as it stands when it is plain
// printable text, else a JSON string, so that damaged records still list as
// one line of UTF-8.
void PutPlain(std::string_view text, TextOut& out) {
  for (const char c : text) {
    if (c <= ' ' || c > '~' || c == '"' || c == '\\') {
      out.PutJsonString(text);
      return;
    }
  }
  out.Put(text);
}

// The text of a record field without its padding.
std::string_view Trimmed(std::string_view text) {
  const size_t start = text.find_first_not_of(' ');
  if (start == std::string_view::npos) return {};
  return text.substr(start, text.find_last_not_of(' ') - start + 1);
}

std::string_view FieldText(std::span<const uint8_t> record, size_t at, size_t width) {
  return RecordText(record, at).substr(0, width);
}

}  // namespace

RowColumns RowColumnsFor(const StoredHeader& header) {
  return {ChannelColumnsFor(header), header.gps_survey, KindSendsBatteryFrames(header.kind)};
}

// ---------------------------------------------------------------------------

void CsvWriter::Begin() {
  CsvNames names{{out_}};
  ExportRow none;
  VisitCells(columns_, none, time_, names);
  out_.Put('\n');
}

void CsvWriter::Write(const ExportRow& row) {
  CsvCells cells{out_};
  VisitCells(columns_, row, time_, cells);
  out_.Put('\n');
}

void GeoJsonWriter::Begin() { out_.Put("{\"type\":\"FeatureCollection\",\"features\":["); }

void GeoJsonWriter::Write(const ExportRow& row) {
  if (!row.position) return;
  out_.Put(features_++ == 0 ? "\n" : ",\n");
  out_.Put("{\"type\":\"Feature\",\"geometry\":{\"type\":\"Point\",\"coordinates\":[");
  out_.PutFixed(row.position->longitude, kDegreeDecimals);
  out_.Put(',');
  out_.PutFixed(row.position->latitude, kDegreeDecimals);
  if (row.position->altitude) {
    out_.Put(',');
    out_.PutFixed(*row.position->altitude, kValueDecimals);
  }
  out_.Put("]},\"properties\":{");
  JsonCells cells{out_};
  VisitCells(columns_, row, time_, cells);
  out_.Put("}}");
}

void GeoJsonWriter::End() { out_.Put("\n]}\n"); }

// ---------------------------------------------------------------------------

bool FillsCoil(const CoilColumn& column, const ExportRow& row) {
  return row.channels[column.channel].present && (column.dipole == 0 || column.dipole == row.dipole);
}

EmagpyWriter::EmagpyWriter(std::vector<CoilColumn> columns, bool gps, TextOut& out)
    : columns_(std::move(columns)), gps_(gps), out_(out), latest_(columns_.size()) {}

void EmagpyWriter::Begin() {
  out_.Put(gps_ ? "latitude,longitude,elevation" : "x,y");
  for (const CoilColumn& column : columns_) {
    out_.Put(',');
    out_.Put(column.name);
  }
  out_.Put('\n');
}

void EmagpyWriter::Write(const ExportRow& row) {
  // Volts are nothing to invert, and a station holding only a battery frame
  // must not borrow the station before it to make a row.
  if (row.battery) return;
  if (open_ && row.station_group != group_) WriteStation();
  if (!open_) {
    open_ = true;
    position_.reset();
  }
  group_ = row.station_group;
  line_ = row.line_number;
  station_ = row.station;
  if (row.position) position_ = row.position;
  for (size_t i = 0; i < columns_.size(); ++i) {
    if (FillsCoil(columns_[i], row)) {
      latest_[i] = {row.channels[columns_[i].channel].value, row.station_group, row.line_number,
                    true};
    }
  }
}

void EmagpyWriter::WriteStation() {
  open_ = false;
  for (const Latest& latest : latest_) {
    if (!latest.taken || latest.line != line_ || latest.group < group_ - 1) {
      ++incomplete_;
      return;
    }
  }
  if (gps_ && !position_) {
    ++unplaced_;
    return;
  }
  if (gps_) {
    out_.PutFixed(position_->latitude, kDegreeDecimals);
    out_.Put(',');
    out_.PutFixed(position_->longitude, kDegreeDecimals);
    out_.Put(',');
    if (position_->altitude) out_.PutFixed(*position_->altitude, kValueDecimals);
  } else {
    out_.PutFixed(station_, kValueDecimals);
    out_.Put(",0");
  }
  for (const Latest& latest : latest_) {
    out_.Put(',');
    out_.PutFixed(latest.value, kValueDecimals);
  }
  out_.Put('\n');
  ++rows_;
}

void EmagpyWriter::End() {
  if (open_) WriteStation();
}

// ---------------------------------------------------------------------------

RecordLister::RecordLister(const StoredHeader& header, TextOut& out)
    : header_(header), out_(out), rows_(header, false), channels_(ChannelColumnsFor(header)) {}

void RecordLister::Skipped(const SkippedRange& range) {
  out_.Put("skipped bytes=");
  out_.PutInt(range.first);
  out_.Put('-');
  out_.PutInt(range.end - 1);
  out_.Put(" length=");
  out_.PutInt(range.end - range.first);
  out_.Put('\n');
  rows_.Skip(range);
}

void RecordLister::List(std::span<const uint8_t> record, int64_t index, int64_t place) {
  out_.PutInt(index);
  const RecordKind kind = RecordKindAt(place, record);
  if (place >= kFirstBodyRecord) rows_.Feed(record, index);
  switch (kind) {
    case RecordKind::kHeader1:
      out_.Put(" header1 identifier=");
      PutQuoted(header_.identifier, out_);
      out_.Put(" model=");
      out_.Put(ModelName(header_.kind));
      out_.Put(header_.gps_survey ? " survey=GPS" : " survey=GRD");
      out_.Put(" units=");
      out_.PutInt(header_.Units);
      out_.Put(" dipole-mode=");
      out_.PutInt(header_.DipoleMode);
      out_.Put(" survey-mode=");
      out_.PutInt(header_.SurveyMode);
      out_.Put(" component=");
      out_.PutInt(header_.Component);
      if (header_.record_length == kLongRecordLength) {
        out_.Put(" mk2-variant=");
        out_.PutInt(header_.Mk2Variant);
      } else if (header_.ice_built) {
        out_.Put(" ice-option=");
        out_.PutInt(header_.IceOption);
        out_.Put(" sea-water-index=");
        out_.PutInt(header_.SeaWaterIndex);
      }
      out_.Put(" logger-code=");
      PutQuoted(std::string_view(&header_.logger_code, 1), out_);
      break;
    case RecordKind::kHeader2:
      out_.Put(" header2 name=");
      PutQuoted(Trimmed(FieldText(record, kBaseNameField.at, kBaseNameField.width)), out_);
      out_.Put(" mode-value=");
      PutQuoted(Trimmed(FieldText(record, kModeValueAt, record.size() - 1 - kModeValueAt)), out_);
      break;
    case RecordKind::kLineName:
      out_.Put(" line name=");
      PutQuoted(Trimmed(FieldText(record, kLineNameField.at, kLineNameField.width)), out_);
      break;
    case RecordKind::kStartStation:
      out_.Put(" start-station start=");
      out_.PutFixed(ParseRecordNumber(RecordText(record, kStartStationField.at)), 2);
      break;
    case RecordKind::kDirection:
      out_.Put(" direction direction=");
      PutQuoted(FieldText(record, kDirectionLetterAt, 1), out_);
      out_.Put(" increment=");
      out_.PutFixed(ParseRecordNumber(RecordText(record, kStationIncrementParseAt)), 3);
      break;
    case RecordKind::kDateTime:
      out_.Put(" date-time date=");
      text_.assign(FieldText(record, kYearAt, 4)).append("-");
      text_.append(FieldText(record, kMonthAt, 2)).append("-");
      text_.append(FieldText(record, kDayAt, 2));
      PutPlain(text_, out_);
      out_.Put(" time=");
      PutPlain(FieldText(record, kClockTimeField.at, kClockTimeField.width), out_);
      break;
    case RecordKind::kCalibration:
      out_.Put(" calibration channel=");
      PutQuoted(FieldText(record, kCalibrationChannelAt, 1), out_);
      out_.Put(" offset=");
      out_.PutFixed(ParseRecordNumber(FieldText(record, kCalibrationOffsetField.at,
                                                kCalibrationOffsetField.width)),
                    3);
      out_.Put(" previous=");
      out_.PutFixed(ParseRecordNumber(FieldText(record, kCalibrationPreviousField.at,
                                                kCalibrationPreviousField.width)),
                    3);
      break;
    case RecordKind::kNewStation:
      out_.Put(" new-station station=");
      out_.PutFixed(ParseRecordNumber(FieldText(record, kNewStationField.at,
                                                kNewStationField.width)),
                    2);
      out_.Put(" clock=");
      PutPlain(FieldText(record, kNewStationTimeField.at, kNewStationTimeField.width), out_);
      break;
    case RecordKind::kTimeMark:
    case RecordKind::kComment:
    case RecordKind::kRunNote: {
      if (kind == RecordKind::kTimeMark) {
        out_.Put(" time-mark clock=");
        PutPlain(FieldText(record, kTimeMarkClockField.at, kTimeMarkClockField.width), out_);
      } else {
        out_.Put(kind == RecordKind::kComment ? " comment text=" : " run-note text=");
        PutQuoted(FieldText(record, kNoteTextField.at, kNoteTextField.width), out_);
      }
      out_.Put(" tick=");
      const std::optional<uint32_t> tick = ParseTick(record);
      if (tick) out_.PutInt(*tick);
      break;
    }
    case RecordKind::kStationReading:
    case RecordKind::kFurtherReading:
      if (std::optional<ExportRow> row = rows_.TakeRow()) ListReading(record, *row);
      break;
    case RecordKind::kGpsFirst:
    case RecordKind::kGpsContinuation:
    case RecordKind::kGpsBadFirst:
    case RecordKind::kGpsBadContinuation: {
      static constexpr const char* kNames[] = {" gps-first piece=", " gps-next piece=",
                                               " gps-bad-first piece=", " gps-bad-next piece="};
      out_.Put(kNames[static_cast<int>(kind) - static_cast<int>(RecordKind::kGpsFirst)]);
      PutQuoted(FieldText(record, 1, GpsPieceLength(record.size())), out_);
      break;
    }
    case RecordKind::kGpsTick: {
      out_.Put(" gps-tick tick=");
      if (const std::optional<uint32_t> tick = ParseTick(record)) out_.PutInt(*tick);
      const std::optional<StoredSentence>& sentence = rows_.last_sentence();
      if (!sentence) {
        out_.Put(" sentence=none");
        break;
      }
      out_.Put(" sentence=");
      PutQuoted(sentence->text, out_);
      out_.Put(sentence->good ? " stored=good" : " stored=bad");
      const bool ok = NmeaChecksumOk(sentence->text);
      out_.Put(ok ? " checksum=ok" : " checksum=bad");
      const std::optional<GgaFix> gga = ok ? ParseGga(sentence->text) : std::nullopt;
      if (gga && gga->HasPosition()) {
        out_.Put(" lat=");
        out_.PutFixed(*gga->latitude, kDegreeDecimals);
        out_.Put(" lon=");
        out_.PutFixed(*gga->longitude, kDegreeDecimals);
        out_.Put(" quality=");
        out_.PutInt(*gga->quality);
      }
      break;
    }
    case RecordKind::kOther:
      out_.Put(" other first=0x");
      PutHexByte(record[0], out_);
      break;
  }
  out_.Put('\n');
}

void RecordLister::ListReading(std::span<const uint8_t> record, const ExportRow& row) {
  out_.Put(" reading letter=");
  PutQuoted(FieldText(record, 0, 1), out_);
  out_.Put(" line=");
  PutQuoted(row.line, out_);
  out_.Put(" station=");
  out_.PutFixed(row.station, kValueDecimals);
  out_.Put(" reading=");
  out_.PutInt(row.reading);
  out_.Put(" tick=");
  if (row.has_tick) out_.PutInt(row.tick);
  out_.Put(" time=");
  if (row.time) {
    text_.clear();
    AppendLocalTime(*row.time, text_);
    out_.Put(text_);
  }
  out_.Put(row.marker ? " marker=1 dipole=" : " marker=0 dipole=");
  out_.Put(row.dipole == 'H' ? 'H' : 'V');
  if (row.battery) {
    out_.Put(" battery-volts1=");
    out_.PutFixed(row.battery_volts[0], kValueDecimals);
    out_.Put(" battery-volts2=");
    out_.PutFixed(row.battery_volts[1], kValueDecimals);
  }
  for (const ChannelColumn& column : channels_) {
    const ProfileChannel& channel = row.channels[column.channel];
    if (!channel.present) continue;
    out_.Put(' ');
    out_.Put(column.label);
    out_.Put('=');
    out_.PutFixed(channel.value, kValueDecimals);
  }
  out_.Put(" frame=");
  const size_t frame = ReadingPartLength(record.size());
  if (record.size() == kLongRecordLength) {
    for (size_t i = 0; i < frame; ++i) PutHexByte(record[i], out_);
  } else {
    PutQuoted(FieldText(record, 0, frame), out_);
  }
}

}  // namespace tq::exporter
