// The export formats, row by row: CSV, GeoJSON and the CSV that EMagPy
// reads; and the listing of every record of a file.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <utility>
#include <vector>

#include "survey/record_reader.h"
#include "tools/tqexport/export_columns.h"
#include "tools/tqexport/export_rows.h"
#include "tools/tqexport/text_out.h"

namespace tq::exporter {

// The columns of the CSV and the properties of the GeoJSON features.
struct RowColumns {
  std::vector<ChannelColumn> channels;
  bool gps = false;      // lat, lon, alt, quality, sats, hdop
  bool battery = false;  // last: battery, battery_volts1, battery_volts2
};

RowColumns RowColumnsFor(const StoredHeader& header);

// One line of column names, then one line per reading.
class CsvWriter {
 public:
  CsvWriter(RowColumns columns, TextOut& out) : columns_(std::move(columns)), out_(out) {}
  void Begin();
  void Write(const ExportRow& row);

 private:
  RowColumns columns_;
  TextOut& out_;
  std::string time_;
};

// A FeatureCollection of Point features, one per reading with a position.
class GeoJsonWriter {
 public:
  GeoJsonWriter(RowColumns columns, TextOut& out) : columns_(std::move(columns)), out_(out) {}
  void Begin();
  void Write(const ExportRow& row);
  void End();
  int64_t features() const { return features_; }

 private:
  RowColumns columns_;
  TextOut& out_;
  std::string time_;
  int64_t features_ = 0;
};

// True when `row` gives coil column `column` a value.
bool FillsCoil(const CoilColumn& column, const ExportRow& row);

// One row per station: the coordinates (latitude, longitude, elevation in
// GPS surveys; x = station, y = 0 otherwise) and every coil's latest value.
// A value taken at the station or at the one before it on the same line
// counts, so surveys that alternate the dipole from station to station still
// give whole rows; a station that lacks a coil's value, or a GPS position,
// gives no row. Battery frames are passed over as if they were not there.
class EmagpyWriter {
 public:
  EmagpyWriter(std::vector<CoilColumn> columns, bool gps, TextOut& out);
  void Begin();
  void Write(const ExportRow& row);
  void End();
  int64_t rows() const { return rows_; }
  int64_t incomplete() const { return incomplete_; }
  int64_t unplaced() const { return unplaced_; }

 private:
  struct Latest {
    float value = 0.0f;
    int64_t group = 0;
    int32_t line = 0;
    bool taken = false;
  };
  void WriteStation();

  std::vector<CoilColumn> columns_;
  bool gps_;
  TextOut& out_;
  std::vector<Latest> latest_;
  bool open_ = false;  // a station is being gathered
  int64_t group_ = 0;
  int32_t line_ = 0;
  double station_ = 0.0;
  std::optional<Position> position_;
  int64_t rows_ = 0;
  int64_t incomplete_ = 0;
  int64_t unplaced_ = 0;
};

// One line per record: its index, its kind and its fields decoded; readings
// with their station, time and channels (or battery volts), GPS lines put
// back together.
class RecordLister {
 public:
  RecordLister(const StoredHeader& header, TextOut& out);
  // The record numbered `index`, at record `place` of the file (0 and 1 are
  // the headers, 2 stands for any body record).
  void List(std::span<const uint8_t> record, int64_t index, int64_t place);
  // A range of the file passed over as damage, listed in its place.
  void Skipped(const SkippedRange& range);

 private:
  void ListReading(std::span<const uint8_t> record, const ExportRow& row);

  StoredHeader header_;
  TextOut& out_;
  RowBuilder rows_;
  std::vector<ChannelColumn> channels_;
  std::string text_;
};

}  // namespace tq::exporter
