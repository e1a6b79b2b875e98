// tqexport over damaged data files: bytes inserted, lost or overwritten at
// record boundaries and inside records, at the start, middle and end of the
// survey, in both record lengths; two files glued together. Every reading
// the damage did not touch is exported with its own station, each skipped
// range is named and the exit status tells a script.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <map>
#include <string>
#include <vector>

#include "tests/tools/export_test_files.h"

namespace tq::exporter {
namespace {

using testing::TempDir;

constexpr int kReadings = 12;
constexpr double kStart = 40.0;
constexpr float kIncrement = 2.5f;

uint32_t TickOf(int reading) { return 1000 + 10 * static_cast<uint32_t>(reading); }

// A one-line survey of `kind`: line start, a time mark, then kReadings
// readings at stations kStart, kStart + kIncrement, ... Returns the file and
// the byte offset of every reading record.
std::string Survey(int32_t kind, std::vector<size_t>& reading_offsets) {
  DataFileBuilder file(kind, SettingsStore{});
  const LocalTime now = At(2024, 5, 1, 12, 0, 0);
  file.Line("7", kStart, kIncrement, kind, now).Mark(900, now);
  for (int i = 0; i < kReadings; ++i) {
    reading_offsets.push_back(file.bytes().size());
    if (kind == kKindTq68Mk2) {
      // Binary words holding LF, which no reader may take for a record end.
      file.Binary(Mk2Frame(6, 0x840A, 0x0A00, 0x8000, 0x8000), TickOf(i));
    } else {
      file.Ascii("T6-0400+0000", TickOf(i));
    }
  }
  return file.bytes();
}

enum class Change { kInsert, kDelete, kOverwrite };

// Damage to the reading record at `target` (0-based among the readings):
// `count` bytes at `at` bytes into it, where a negative `at` counts back from
// its start (the end of the record before it).
struct Damage {
  const char* name;
  Change change;
  int at;
  size_t count;
};

// The ticks of the readings whose bytes the damage touched.
std::vector<uint32_t> Touched(const Damage& d, size_t first, size_t length,
                              const std::vector<size_t>& offsets) {
  std::vector<uint32_t> ticks;
  const size_t begin = first;
  const size_t end = d.change == Change::kInsert ? first : first + d.count;
  for (int i = 0; i < kReadings; ++i) {
    const size_t o = offsets[static_cast<size_t>(i)];
    const bool hit = d.change == Change::kInsert ? (o < begin && begin < o + length)
                                                 : (o < end && begin < o + length);
    if (hit) ticks.push_back(TickOf(i));
  }
  return ticks;
}

std::string Apply(std::string bytes, const Damage& d, size_t first) {
  switch (d.change) {
    case Change::kInsert: bytes.insert(first, std::string(d.count, '~')); break;
    case Change::kDelete: bytes.erase(first, d.count); break;
    case Change::kOverwrite: bytes.replace(first, d.count, std::string(d.count, '~')); break;
  }
  return bytes;
}

// Station by tick from the CSV rows of line "7".
std::map<uint32_t, std::string> StationsByTick(const std::string& csv) {
  std::map<uint32_t, std::string> stations;
  const std::vector<std::string> lines = LinesOf(csv);
  for (size_t i = 1; i < lines.size(); ++i) {
    const std::string& row = lines[i];
    const size_t a = row.find(',');
    const size_t b = row.find(',', a + 1);
    const size_t c = row.find(',', b + 1);
    const size_t d = row.find(',', c + 1);
    stations[static_cast<uint32_t>(std::stoul(row.substr(c + 1, d - c - 1)))] =
        row.substr(a + 1, b - a - 1);
  }
  return stations;
}

std::string StationText(int reading) {
  char text[32];
  std::snprintf(text, sizeof text, "%.3f", kStart + double{kIncrement} * reading);
  return text;
}

TEST(ExportDamage, EveryReadingTheDamageDidNotTouchKeepsItsStation) {
  // Inside a record means in its tick field, where even an overwrite shows.
  const Damage damages[] = {
      {"insert at a boundary", Change::kInsert, 0, 5},
      {"insert 39 at a boundary", Change::kInsert, 0, 39},
      {"insert inside", Change::kInsert, 17, 5},
      {"insert 39 inside", Change::kInsert, 17, 39},
      {"delete inside", Change::kDelete, 17, 5},
      {"delete up to a boundary", Change::kDelete, -3, 3},
      {"overwrite inside", Change::kOverwrite, 17, 5},
      {"overwrite up to a boundary", Change::kOverwrite, -3, 3},
  };
  const struct {
    const char* name;
    int target;
  } places[] = {{"start", 0}, {"middle", kReadings / 2}, {"end", kReadings - 2}};

  TempDir dir;
  for (const int32_t kind : {kKindTq68, kKindTq68Mk2}) {
    const size_t length = RecordLengthFor(kind);
    std::vector<size_t> offsets;
    const std::string whole = Survey(kind, offsets);
    for (const auto& place : places) {
      for (const Damage& damage : damages) {
        SCOPED_TRACE(std::to_string(length) + "-byte records, " + damage.name + " at the " +
                     place.name);
        const size_t first =
            static_cast<size_t>(static_cast<int>(offsets[static_cast<size_t>(place.target)]) +
                                damage.at);
        const std::filesystem::path input = dir.path() / "DAMAGED.DAT";
        testing::WriteFileBytes(input, Apply(whole, damage, first));

        const ExportRun run = RunExportTo(ExportOptions{}, input, dir.path());
        EXPECT_EQ(run.status, kExitDamaged) << run.messages;
        EXPECT_NE(run.messages.find(" skipped: not records\n"), std::string::npos)
            << run.messages;
        const std::map<uint32_t, std::string> stations = StationsByTick(run.output);
        const std::vector<uint32_t> touched = Touched(damage, first, length, offsets);
        int untouched = 0;
        for (int i = 0; i < kReadings; ++i) {
          if (std::find(touched.begin(), touched.end(), TickOf(i)) != touched.end()) continue;
          ++untouched;
          const auto it = stations.find(TickOf(i));
          ASSERT_NE(it, stations.end()) << "reading " << i << " lost\n" << run.output;
          EXPECT_EQ(it->second, StationText(i)) << "reading " << i;
        }
        EXPECT_GE(untouched, kReadings - 2);
        // Nothing made up: every row is one of the file's readings, once.
        for (const auto& [tick, station] : stations) {
          EXPECT_TRUE(tick >= TickOf(0) && tick <= TickOf(kReadings - 1) && tick % 10 == 0)
              << tick;
        }
        EXPECT_EQ(LinesOf(run.output).size(), stations.size() + 1) << run.output;
      }
    }
  }
}

TEST(ExportDamage, TwoFilesGluedTogetherExportBothWithTheSecondHeaderSkipped) {
  TempDir dir;
  const LocalTime now = At(2024, 5, 1, 12, 0, 0);
  DataFileBuilder a(kKindTq68Mk2, SettingsStore{});
  a.Line("7", 0.0, 1.0f, kKindTq68Mk2, now);
  for (int i = 0; i < 43; ++i) a.Binary(Mk2Frame(6, 0x8400, 0x8000, 0x8000, 0x8000), 100 + i);
  DataFileBuilder b(kKindTq68Mk2, SettingsStore{});
  b.Line("8", 100.0, 10.0f, kKindTq68Mk2, now);
  for (int i = 0; i < 3; ++i) b.Binary(Mk2Frame(6, 0x8400, 0x8000, 0x8000, 0x8000), 500 + i);
  const std::filesystem::path input = dir.path() / "GLUED.N68";
  testing::WriteFileBytes(input, a.bytes() + b.bytes());
  ASSERT_EQ(a.bytes().size(), 1430u);  // 55 records: 2 headers, 10 of line start, 43 readings

  const ExportRun csv = RunExportTo(ExportOptions{}, input, dir.path());
  EXPECT_EQ(csv.status, kExitDamaged);
  // Header 1 of the second file is no record; its header 2 is one that
  // readers pass by.
  EXPECT_EQ(csv.messages, "tqexport: " + input.string() + ": bytes 1,430-1,455 skipped: not records\n");
  const std::vector<std::string> rows = LinesOf(csv.output);
  ASSERT_EQ(rows.size(), 1u + 43 + 3);
  EXPECT_TRUE(rows[43].starts_with("7,42.000,1,142,")) << rows[43];
  EXPECT_TRUE(rows[44].starts_with("8,100.000,1,500,")) << rows[44];
  EXPECT_TRUE(rows[46].starts_with("8,120.000,1,502,")) << rows[46];

  ExportOptions listing;
  listing.format = Format::kRecords;
  const ExportRun records = RunExportTo(listing, input, dir.path());
  EXPECT_EQ(records.status, kExitDamaged);
  const std::vector<std::string> lines = LinesOf(records.output);
  ASSERT_EQ(lines.size(), 55u + 1 + 14);
  EXPECT_EQ(lines[55], "skipped bytes=1430-1455 length=26");
  EXPECT_TRUE(lines[56].starts_with("55 header2 ")) << lines[56];
  EXPECT_TRUE(lines[57].starts_with("56 line name=\"8\"")) << lines[57];
}

TEST(ExportDamage, AnUndamagedFileStillExitsWithZero) {
  TempDir dir;
  std::vector<size_t> offsets;
  const std::filesystem::path input = dir.path() / "WHOLE.N68";
  testing::WriteFileBytes(input, Survey(kKindTq68Mk2, offsets));
  const ExportRun run = RunExportTo(ExportOptions{}, input, dir.path());
  EXPECT_EQ(run.status, kExitOk) << run.messages;
  EXPECT_EQ(run.messages, "");
  EXPECT_EQ(StationsByTick(run.output).size(), static_cast<size_t>(kReadings));
}

}  // namespace
}  // namespace tq::exporter
