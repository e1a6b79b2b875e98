// The SVG drawings as a browser shows them: each is rendered by headless
// Chromium to a PNG and looked at with QImage. Every golden data file's
// profile has a trace per channel in each panel and the ink of each
// channel that has values inside its plots; a survey made here gives the
// same pictures as the reviewed ones in tests/data/plots (TQ_UPDATE_PLOTS=1
// rewrites them; look at them before committing).
#include <gtest/gtest.h>
#include <unistd.h>

#include <QColor>
#include <QImage>
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "tests/support/child_process.h"
#include "tests/tools/export_test_files.h"
#include "tools/tqexport/export_columns.h"
#include "tools/tqexport/svg_parts.h"

namespace tq::exporter {
namespace {

namespace fs = std::filesystem;

size_t Count(std::string_view text, std::string_view what) {
  size_t n = 0;
  for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
  return n;
}

// TQ_CHROMIUM, else chromium on the PATH.
std::optional<fs::path> FindChromium() {
  if (const char* given = std::getenv("TQ_CHROMIUM"); given != nullptr && *given != '\0') {
    return fs::path(given);
  }
  const char* path = std::getenv("PATH");
  std::string_view dirs = path != nullptr ? path : "/usr/bin";
  while (!dirs.empty()) {
    const size_t colon = dirs.find(':');
    const fs::path candidate = fs::path(dirs.substr(0, colon)) / "chromium";
    if (::access(candidate.c_str(), X_OK) == 0) return candidate;
    dirs = colon == std::string_view::npos ? std::string_view() : dirs.substr(colon + 1);
  }
  return std::nullopt;
}

// The number in the first attribute `name` after `from`; -1 when none.
double AttributeAfter(const std::string& svg, size_t from, const std::string& name) {
  const size_t at = svg.find(" " + name + "=\"", from);
  return at == std::string::npos ? -1.0 : std::atof(svg.c_str() + at + name.size() + 3);
}

struct Box {
  int x = 0, y = 0, width = 0, height = 0;
};

// The rectangles of class `cls`, inset by 2 pixels so their frame is out.
std::vector<Box> BoxesOf(const std::string& svg, const std::string& cls) {
  std::vector<Box> boxes;
  const std::string marker = "class=\"" + cls + "\"";
  for (size_t at = svg.find(marker); at != std::string::npos; at = svg.find(marker, at + 1)) {
    boxes.push_back({static_cast<int>(AttributeAfter(svg, at, "x")) + 2,
                     static_cast<int>(AttributeAfter(svg, at, "y")) + 2,
                     static_cast<int>(AttributeAfter(svg, at, "width")) - 4,
                     static_cast<int>(AttributeAfter(svg, at, "height")) - 4});
  }
  return boxes;
}

// Pixels inside `boxes` within `tolerance` of `colour` in every channel.
int InkOf(const QImage& image, const std::vector<Box>& boxes, QColor colour, int tolerance) {
  int n = 0;
  for (const Box& b : boxes) {
    for (int y = b.y; y < b.y + b.height; ++y) {
      for (int x = b.x; x < b.x + b.width; ++x) {
        const QColor p = image.pixelColor(x, y);
        n += std::abs(p.red() - colour.red()) <= tolerance &&
             std::abs(p.green() - colour.green()) <= tolerance &&
             std::abs(p.blue() - colour.blue()) <= tolerance;
      }
    }
  }
  return n;
}

class SvgRender : public ::testing::Test {
 protected:
  void SetUp() override {
    chromium_ = FindChromium();
    if (!chromium_) GTEST_SKIP() << "chromium is not installed (scripts/setup installs it)";
  }

  // Writes the drawing of `data` in `format` and renders it at its own size.
  // The SVG text goes to `svg`.
  QImage Draw(const fs::path& data, Format format, std::string& svg) {
    const ExportRun run = RunExportTo(WithFormat(format), data, dir_.path());
    EXPECT_EQ(run.status, kExitOk) << run.messages;
    svg = run.output;
    const fs::path svg_path = dir_.path() / "drawing.svg";
    const fs::path png_path = dir_.path() / "drawing.png";
    testing::WriteFileBytes(svg_path, svg);
    fs::remove(png_path);
    const int width = static_cast<int>(AttributeAfter(svg, svg.find("<svg"), "width"));
    const int height = static_cast<int>(AttributeAfter(svg, svg.find("<svg"), "height"));
    testing::ChildProcess chromium(
        {chromium_->string(), "--headless", "--no-sandbox", "--disable-gpu", "--hide-scrollbars",
         "--force-device-scale-factor=1", "--user-data-dir=" + (dir_.path() / "chromium").string(),
         "--window-size=" + std::to_string(width) + "," + std::to_string(height),
         "--screenshot=" + png_path.string(), "file://" + svg_path.string()},
        dir_.path() / "chromium.out", dir_.path() / "chromium.err");
    EXPECT_EQ(chromium.WaitExit(std::chrono::seconds(60)), 0)
        << testing::ReadFileBytes(dir_.path() / "chromium.err");
    QImage image(QString::fromStdString(png_path.string()));
    EXPECT_EQ(image.width(), width);
    EXPECT_EQ(image.height(), height);
    return image.convertToFormat(QImage::Format_RGB32);
  }

  // The share of pixels that differ from the reviewed picture `name` by
  // more than a shade; with TQ_UPDATE_PLOTS=1 the picture becomes the
  // reviewed one.
  double DifferenceFromReviewed(const QImage& image, const std::string& name) {
    const fs::path reviewed = fs::path(TQ_PLOTS_DIR) / name;
    if (const char* update = std::getenv("TQ_UPDATE_PLOTS"); update && std::string(update) == "1") {
      fs::create_directories(reviewed.parent_path());
      EXPECT_TRUE(image.save(QString::fromStdString(reviewed.string()), "PNG"));
      return 0.0;
    }
    const QImage expected =
        QImage(QString::fromStdString(reviewed.string())).convertToFormat(QImage::Format_RGB32);
    if (expected.size() != image.size()) return 1.0;
    int64_t differing = 0;
    for (int y = 0; y < image.height(); ++y) {
      for (int x = 0; x < image.width(); ++x) {
        const QRgb a = image.pixel(x, y);
        const QRgb b = expected.pixel(x, y);
        differing += std::max({std::abs(qRed(a) - qRed(b)), std::abs(qGreen(a) - qGreen(b)),
                               std::abs(qBlue(a) - qBlue(b))}) > 48;
      }
    }
    return static_cast<double>(differing) / (image.width() * image.height());
  }

  std::optional<fs::path> chromium_;
  testing::TempDir dir_;
};

// The channels whose column in a golden file's reviewed CSV holds a value.
std::vector<ChannelColumn> ChannelsWithValues(const fs::path& csv,
                                              const std::vector<ChannelColumn>& channels) {
  const std::vector<std::string> lines = LinesOf(testing::ReadFileBytes(csv));
  auto cells = [](const std::string& line) {
    std::vector<std::string> out;
    for (size_t start = 0;;) {
      const size_t comma = line.find(',', start);
      out.push_back(line.substr(start, comma - start));
      if (comma == std::string::npos) return out;
      start = comma + 1;
    }
  };
  std::vector<ChannelColumn> found;
  if (lines.empty()) return found;
  const std::vector<std::string> header = cells(lines[0]);
  for (const ChannelColumn& channel : channels) {
    const auto column =
        static_cast<size_t>(std::find(header.begin(), header.end(), channel.label) - header.begin());
    for (size_t i = 1; i < lines.size(); ++i) {
      const std::vector<std::string> row = cells(lines[i]);
      if (column < row.size() && !row[column].empty()) {
        found.push_back(channel);
        break;
      }
    }
  }
  return found;
}

TEST_F(SvgRender, EveryGoldenProfileDrawsItsChannelsInTheirTraceColours) {
  const fs::path golden(TQ_GOLDEN_DIR);
  int files = 0;
  for (const auto& entry : fs::directory_iterator(golden)) {
    const fs::path data = entry.path();
    if (!fs::exists(data.string() + ".csv")) continue;  // the exports, and anything else
    SCOPED_TRACE(data.filename().string());
    ++files;
    const std::optional<StoredHeader> header = ReadHeader(data);
    ASSERT_TRUE(header);
    const std::vector<ChannelColumn> channels = ChannelColumnsFor(*header);
    const std::vector<ChannelTrace> traces = ChannelTracesFor(*header);
    std::string svg;
    const QImage image = Draw(data, Format::kSvg, svg);
    // Each panel, up to the next one, holds one trace per channel.
    const std::string_view panel_open = "<g class=\"panel\"";
    size_t panels = 0;
    for (size_t at = svg.find(panel_open); at != std::string::npos; ++panels) {
      const size_t next = svg.find(panel_open, at + 1);
      EXPECT_EQ(Count(std::string_view(svg).substr(at, next - at), "<path class=\"trace"),
                channels.size());
      at = next;
    }
    EXPECT_GE(panels, 1u);
    const std::vector<Box> plots = BoxesOf(svg, "plot-area");
    for (const ChannelColumn& channel :
         ChannelsWithValues(fs::path(data.string() + ".csv"), channels)) {
      const uint32_t c =
          std::find_if(traces.begin(), traces.end(), [&](const ChannelTrace& t) {
            return t.channel == channel.channel;
          })->color;
      const QColor colour(static_cast<int>(c & 0xFF), static_cast<int>((c >> 8) & 0xFF),
                          static_cast<int>((c >> 16) & 0xFF));
      EXPECT_GE(InkOf(image, plots, colour, 40), 3) << channel.label;
    }
  }
  EXPECT_GE(files, 8);
}

// A TQ68-MK2 GPS survey of two lines walked north and back: smooth values
// with one spike, the dipole turned half way, markers and comments.
std::string ReviewedSurvey() {
  SettingsStore settings;
  settings.GpsInput = 1;
  DataFileBuilder file(kKindTq68Mk2, settings);
  uint32_t tick = 5000;
  for (int line = 0; line < 2; ++line) {
    file.Line(line == 0 ? "NORTH" : "SOUTH", line == 0 ? 0.0 : 150.0, line == 0 ? 0.5f : -0.5f,
              kKindTq68Mk2, At(2024, 5, 1, 10 + line, 30, 0));
    file.Mark(tick, At(2024, 5, 1, 10 + line, 30, 0));
    for (int i = 0; i < 300; ++i) {
      tick += 200;
      const double along = line == 0 ? i * 0.5 : 150.0 - i * 0.5;
      if (i % 5 == 0) {
        char body[96];
        const double north = 20.0 * 60.0 + along / 1852.0;  // minutes of latitude
        const double east = 5.0 * 60.0 + (line * 12.0 + 3.0 * std::sin(along / 20.0)) / 1238.0;
        std::snprintf(body, sizeof body, "GPGGA,1030%02d,%02d%07.4f,N,%03d%07.4f,E,1,09,0.8,12.0,M,,M,,",
                      i / 5 % 60, static_cast<int>(north / 60), std::fmod(north, 60.0),
                      static_cast<int>(east / 60), std::fmod(east, 60.0));
        file.Gps(Sentence(body), tick);
      }
      if (i == 80 || i == 210) file.Note(i == 80 ? "pipe" : "fence <E>", 'C', tick);
      const double c = 40.0 + 25.0 * std::sin(along / 18.0) + (i == 150 ? 300.0 : 0.0);
      const double ip = 3.0 * std::cos(along / 11.0);
      const auto word = [](double v) { return static_cast<uint16_t>(std::lround((v / 8.0 + 160.0) * 1024.0 / 5.0)); };
      const bool vertical = i < 200;
      const uint8_t status = static_cast<uint8_t>((vertical ? 6 : 2) + (i % 60 == 30 ? 16 : 0));
      file.Binary(Mk2Frame(status, word(c), word(ip / 0.028819), word(c * 0.7),
                           word(ip * 0.6 / 0.00720475)),
                  tick);
    }
  }
  return file.bytes();
}

TEST_F(SvgRender, AKnownSurveyGivesTheReviewedPictures) {
  testing::WriteFileBytes(dir_.path() / "REVIEW.N68", ReviewedSurvey());
  struct Case {
    Format format;
    const char* reviewed;
  };
  for (const Case& c : {Case{Format::kSvg, "profile-mk2.png"}, Case{Format::kMapSvg, "map-mk2.png"}}) {
    std::string svg;
    const QImage image = Draw(dir_.path() / "REVIEW.N68", c.format, svg);
    EXPECT_LT(DifferenceFromReviewed(image, c.reviewed), 0.005) << c.reviewed;
  }
}

}  // namespace
}  // namespace tq::exporter
