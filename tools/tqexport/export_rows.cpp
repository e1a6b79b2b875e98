#include "tools/tqexport/export_rows.h"

#include <string_view>
#include <utility>

#include "tools/tqexport/export_columns.h"

namespace tq::exporter {
namespace {

constexpr size_t kIceThicknessSlot = 4;
constexpr size_t kConductivityHSlot = 1;

std::string LineNameOf(std::span<const uint8_t> record) {
  std::string_view name = RecordText(record, kLineNameField.at).substr(0, kLineNameField.width);
  const size_t end = name.find_last_not_of(" \n");
  return std::string(end == std::string_view::npos ? std::string_view() : name.substr(0, end + 1));
}

}  // namespace

RowBuilder::RowBuilder(const StoredHeader& header, bool positions)
    : header_(header),
      positions_(positions && header.gps_survey),
      decoding_(StoredDecodingFor(header)),
      battery_frames_(KindSendsBatteryFrames(header.kind)),
      ice_(HasIceThickness(header)) {
  if (ice_) {
    const auto index = static_cast<uint32_t>(header.SeaWaterIndex);
    LoadIceTable(header.tq62_variant, index, ice_table_);
    ice_limits_ = FindIceLimits(header.tq62_variant, index);
  }
}

void RowBuilder::Feed(std::span<const uint8_t> record, int64_t index) {
  last_sentence_.reset();
  switch (stations_.Feed(record)) {
    case RecordKind::kLineName:
      line_ = LineNameOf(record);
      reading_ = 0;
      break;
    case RecordKind::kStartStation:
    case RecordKind::kDirection:
    case RecordKind::kNewStation: reading_ = 0; break;
    case RecordKind::kDateTime: clock_.TakeDateTime(record); break;
    case RecordKind::kTimeMark:
    case RecordKind::kComment:
    case RecordKind::kRunNote:
      if (record[0] == kTimeMarkLetter) clock_.TakeTimeMark(record);
      if (const std::optional<uint32_t> tick = ParseTick(record)) fixes_.NoteTick(*tick);
      break;
    case RecordKind::kCalibration: decoding_.offsets = stations_.offsets(); break;
    case RecordKind::kStationReading:
      reading_ = 0;
      AddReading(record, index);
      break;
    case RecordKind::kFurtherReading: AddReading(record, index); break;
    case RecordKind::kGpsFirst:
    case RecordKind::kGpsContinuation:
    case RecordKind::kGpsBadFirst:
    case RecordKind::kGpsBadContinuation:
    case RecordKind::kGpsTick: TakeGps(record); break;
    default: break;
  }
}

void RowBuilder::Skip(const SkippedRange& range) {
  stations_.Skip(range);
  sentences_.Drop();
  if (range.station_openers > 0) {
    // The lost reading was the first of its station; later ones there count on.
    reading_ = 1;
    ++station_group_;
  }
}

void RowBuilder::AddReading(std::span<const uint8_t> record, int64_t index) {
  if (++reading_ == 1) ++station_group_;
  ExportRow row;
  row.record = index;
  row.line = line_;
  row.line_number = stations_.line();
  row.station_group = station_group_;
  row.station = stations_.station();
  row.reading = reading_;
  const std::optional<uint32_t> tick = ParseTick(record);
  row.has_tick = tick.has_value();
  row.tick = tick.value_or(0);
  if (tick) row.time = clock_.TimeAt(*tick);
  const Reading reading = DecodeStoredReading(record, decoding_);
  row.marker = reading.marker == 'M';
  row.dipole = reading.dipole;
  if (battery_frames_ && reading.battery) {
    // The decoder leaves the volts in the conductivity and inphase channels,
    // where the live profile draws them; an export must not pass them off as
    // measurements.
    row.battery = true;
    row.battery_volts = {reading.conductivity, reading.inphase};
  } else {
    row.channels = reading.channels;
  }
  if (ice_ && !row.battery) {
    // The logger converts horizontal-dipole conductivity only; out of range
    // is no thickness.
    row.channels[kIceThicknessSlot] = {};
    if (reading.dipole == 'H' && reading.channels[kConductivityHSlot].present) {
      const float thickness = ComputeIceThickness(reading.conductivity, ice_table_, ice_limits_);
      if (thickness >= 0.0f) row.channels[kIceThicknessSlot] = {thickness, true};
    }
  }
  rows_.push_back(std::move(row));
  if (!positions_) {
    settled_ = rows_.size();
    return;
  }
  if (tick) {
    fixes_.NoteTick(*tick);
    last_reading_tick_ = tick;
  }
  Settle(false);
}

void RowBuilder::TakeGps(std::span<const uint8_t> record) {
  last_sentence_ = sentences_.Feed(record);
  if (!positions_ || !last_sentence_) return;
  const StoredSentence& sentence = *last_sentence_;
  fixes_.NoteGpsTick(sentence.tick);
  if (sentence.good && NmeaChecksumOk(sentence.text)) {
    const std::optional<GgaFix> gga = ParseGga(sentence.text);
    if (gga && gga->HasPosition()) {
      fixes_.AddFix({sentence.tick, {*gga->latitude, *gga->longitude, gga->altitude,
                                     *gga->quality, gga->satellites, gga->hdop}});
    }
  }
  Settle(false);
}

void RowBuilder::Settle(bool all) {
  while (settled_ < rows_.size()) {
    ExportRow& row = rows_[settled_];
    if (row.has_tick) {
      if (!all && !fixes_.Settled(row.tick) && held_rows() <= kMaxHeldRows) break;
      row.position = fixes_.PositionAt(row.tick);
    }
    ++settled_;
  }
  if (settled_ < rows_.size() && rows_[settled_].has_tick) {
    fixes_.ForgetBefore(rows_[settled_].tick);
  } else if (settled_ == rows_.size() && last_reading_tick_) {
    fixes_.ForgetBefore(*last_reading_tick_);
  }
}

void RowBuilder::Finish() {
  if (positions_) Settle(true);
}

std::optional<ExportRow> RowBuilder::TakeRow() {
  if (settled_ == 0) return std::nullopt;
  ExportRow row = std::move(rows_.front());
  rows_.pop_front();
  --settled_;
  return row;
}

}  // namespace tq::exporter
