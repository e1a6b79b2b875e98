// Data files for the export tests, built record by record with the logger's
// own record writers, and one export run with its output and messages.
#pragma once

#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "gps/nmea.h"
#include "settings/build_config.h"
#include "settings/settings.h"
#include "survey/data_records.h"
#include "tests/support/temp_dir.h"
#include "tools/tqexport/export_command.h"

namespace tq::exporter {

inline LocalTime At(int year, int month, int day, int hour, int minute, int second, int ms = 0) {
  LocalTime t;
  t.year = year;
  t.month = month;
  t.day = day;
  t.hour = hour;
  t.minute = minute;
  t.second = second;
  t.millisecond = ms;
  return t;
}

// "$" body "*hh" with the body's checksum.
inline std::string Sentence(std::string_view body) {
  char tail[4];
  std::snprintf(tail, sizeof tail, "*%02X", NmeaChecksumOf(body));
  return "$" + std::string(body) + tail;
}

// A 14-byte TQ68-MK2 frame: status, then words C, D, A, B, E, F high byte
// first.
inline std::array<uint8_t, 14> Mk2Frame(uint8_t status, uint16_t a, uint16_t b, uint16_t c,
                                        uint16_t d) {
  std::array<uint8_t, 14> f{};
  f[0] = 'T';
  f[1] = status;
  const std::array<uint16_t, 6> words = {c, d, a, b, 0, 0};
  for (size_t i = 0; i < words.size(); ++i) {
    f[2 + 2 * i] = static_cast<uint8_t>(words[i] >> 8);
    f[3 + 2 * i] = static_cast<uint8_t>(words[i] & 0xFF);
  }
  return f;
}

// The records of a data file, in the order they are added.
class DataFileBuilder {
 public:
  // Header 1 and 2 for `kind` from `settings` (GpsInput picks GRD or GPS).
  DataFileBuilder(int32_t kind, const SettingsStore& settings) : settings_(settings) {
    length_ = RecordLengthFor(kind);
    const BuildConfig build{kind, 1, 0};
    Add(FormatHeader1(settings_, build, true));
    Add(FormatHeader2(settings_, length_, "TEST"));
  }
  // "L", "B", "A", "Z" (and on TQ68-MK2 "O1".."O6") from the settings.
  DataFileBuilder& LineStart(int32_t kind, const LocalTime& now) {
    for (const DataRecord& r : FormatLineStart(settings_, kind, now, Mk2Offsets{})) Add(r);
    return *this;
  }
  DataFileBuilder& Line(std::string_view name, double start, float increment, int32_t kind,
                        const LocalTime& now) {
    settings_.SurveyLine = std::string(name);
    settings_.StartStation = start;
    settings_.StationIncrement = increment;
    return LineStart(kind, now);
  }
  DataFileBuilder& Mark(uint32_t tick, const LocalTime& now) {
    return Add(FormatTimeMark(length_, tick, now));
  }
  DataFileBuilder& Station(double station, const LocalTime& now) {
    return Add(FormatStationRecord(length_, station, now));
  }
  DataFileBuilder& Note(std::string_view text, char letter, uint32_t tick) {
    return Add(FormatNote(length_, text, letter, tick));
  }
  // A reading of kinds 0..6 from its frame text ("T", status, fields).
  DataFileBuilder& Ascii(std::string_view frame, uint32_t tick) {
    const auto* bytes = reinterpret_cast<const uint8_t*>(frame.data());
    return Add(FormatReadingRecord(std::span(bytes, frame.size()), tick));
  }
  DataFileBuilder& Binary(const std::array<uint8_t, 14>& frame, uint32_t tick) {
    return Add(FormatBinaryReadingRecord(frame, tick));
  }
  // A GPS line as the GPS reader stores it, good or bad.
  DataFileBuilder& Gps(std::string_view line, uint32_t tick, bool good = true) {
    std::vector<DataRecord> records;
    FormatGpsRecords(line, tick, good ? '@' : '?', good ? '#' : '"', length_, records);
    for (const DataRecord& r : records) Add(r);
    return *this;
  }
  // The records of a GPS line, to interleave by hand with Add.
  std::vector<DataRecord> GpsRecords(std::string_view line, uint32_t tick) const {
    std::vector<DataRecord> records;
    FormatGpsRecords(line, tick, '@', '#', length_, records);
    return records;
  }
  DataFileBuilder& Add(const DataRecord& record) {
    bytes_.append(record.text());
    return *this;
  }
  const std::string& bytes() const { return bytes_; }
  void WriteTo(const std::filesystem::path& path) const {
    testing::WriteFileBytes(path, bytes_);
  }

 private:
  SettingsStore settings_;
  size_t length_;
  std::string bytes_;
};

// What one export produced.
struct ExportRun {
  int status = -1;
  std::string output;    // the output file, empty when none was written
  std::string messages;  // standard error
  bool output_exists = false;
};

// Exports `input` with `options` (input and output filled in) into a file
// in `dir`, capturing the messages.
inline ExportRun RunExportTo(ExportOptions options, const std::filesystem::path& input,
                             const std::filesystem::path& dir) {
  options.input = input;
  options.output = dir / "out.txt";
  std::FILE* messages = std::tmpfile();
  ExportRun run;
  run.status = RunExport(options, -1, messages, false);
  std::rewind(messages);
  char buffer[4096];
  size_t n = 0;
  while ((n = std::fread(buffer, 1, sizeof buffer, messages)) > 0) run.messages.append(buffer, n);
  std::fclose(messages);
  run.output_exists = std::filesystem::exists(options.output);
  run.output = testing::ReadFileBytes(options.output);
  return run;
}

inline ExportOptions WithFormat(Format format) {
  ExportOptions options;
  options.format = format;
  return options;
}

// The lines of `text`.
inline std::vector<std::string> LinesOf(const std::string& text) {
  std::vector<std::string> lines;
  size_t start = 0;
  while (start < text.size()) {
    const size_t end = text.find('\n', start);
    lines.push_back(text.substr(start, end - start));
    if (end == std::string::npos) break;
    start = end + 1;
  }
  return lines;
}

}  // namespace tq::exporter
