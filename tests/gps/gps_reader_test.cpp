// The GPS reader: lines assembled from bytes, the fix status each sentence
// gives the panel, and the reader thread over a real pseudo-terminal writing
// a real data file.
#include "gps/gps_reader.h"

#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

#include "acquisition/acquisition_state.h"
#include "acquisition/serial_ports.h"
#include "gps/fix_status.h"
#include "tests/support/pty_pair.h"
#include "tests/support/temp_dir.h"

namespace tq {
namespace {

const std::string kGga = "$GPGGA,123519,4807.038,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,*47";
const std::string kRmcLowerCase =
    "$GPRMC,123519,A,4807.038,N,01131.000,E,022.4,084.4,230394,003.1,W*6a";
const std::string kGsa = "$GPGSA,A,3,04,05,,09,12,,,24,,,,,2.5,1.3,2.1*39";

// ---------------------------------------------------------------------------
// Line assembly

struct ExpectedLine {
  std::string text;
  uint32_t tick;  // the index of the byte that started it
  bool valid;
};

struct AssemblyCase {
  const char* name;
  std::string bytes;
  std::vector<ExpectedLine> lines;
};

std::vector<AssemblyCase> AssemblyCases() {
  const std::string bad_sum = kGga.substr(0, kGga.size() - 1) + "8";
  const std::string no_star = kGga.substr(0, kGga.size() - 3);
  // Where lines end and which tick they carry is the shared assembler's
  // table; here what the logging reader adds: the checksum verdict, and that
  // empty lines are skipped.
  return {
      {"CrLfEndsALine", kGga + "\r\n", {{kGga, 0, true}}},
      {"LowerCaseHexPasses", kRmcLowerCase + "\r\n", {{kRmcLowerCase, 0, true}}},
      {"TextBeforeTheFirstDollarIsOneInvalidLine",
       "1,M,,*47\r\n" + kGga + "\r\n",
       {{"1,M,,*47", 0, false}, {kGga, 10, true}}},
      {"WrongChecksumOrNoStarIsInvalid",
       bad_sum + "\r\n" + no_star + "\r\n",
       {{bad_sum, 0, false}, {no_star, static_cast<uint32_t>(bad_sum.size() + 2), false}}},
      {"OnlyACarriageReturnIsDropped", "$GPTXT,1*1F\n", {{"$GPTXT,1*1F", 0, false}}},
      {"EmptyLinesAreNoLines", "\r\n\n\r\n" + kGga + "\r\n", {{kGga, 5, true}}},
  };
}

class GpsLineAssembly : public ::testing::TestWithParam<AssemblyCase> {};

TEST_P(GpsLineAssembly, GivesEachLineOnceWithItsTickAndValidity) {
  GpsLineAssembler assembler;
  std::vector<std::string> texts;
  std::vector<uint32_t> ticks;
  std::vector<bool> valid;
  const std::string& bytes = GetParam().bytes;
  for (size_t i = 0; i < bytes.size(); ++i) {
    if (!assembler.Push(static_cast<uint8_t>(bytes[i]), static_cast<uint32_t>(i))) continue;
    GpsLine line = assembler.Line();
    texts.emplace_back(line.text);
    ticks.push_back(line.tick);
    valid.push_back(line.valid);
  }
  ASSERT_EQ(texts.size(), GetParam().lines.size());
  for (size_t i = 0; i < texts.size(); ++i) {
    EXPECT_EQ(texts[i], GetParam().lines[i].text) << i;
    EXPECT_EQ(ticks[i], GetParam().lines[i].tick) << i;
    EXPECT_EQ(valid[i], GetParam().lines[i].valid) << i;
  }
}

INSTANTIATE_TEST_SUITE_P(Lines, GpsLineAssembly, ::testing::ValuesIn(AssemblyCases()),
                         [](const auto& test) { return std::string(test.param.name); });

// ---------------------------------------------------------------------------
// Fix status

struct StatusCase {
  const char* name;
  std::string sentence;
  bool valid;
  bool good_gga;
  const char* satellites;  // nullptr: left as it is
  const char* fix;
  const char* pdop;
};

class GpsStatusTable : public ::testing::TestWithParam<StatusCase> {};

TEST_P(GpsStatusTable, DrawsTheFieldsTheSentenceSpeaksFor) {
  const StatusCase& c = GetParam();
  GpsStatusUpdate u = ComputeGpsStatus(c.sentence, c.valid);
  EXPECT_EQ(u.good_gga, c.good_gga);
  auto expect = [](const FieldText& text, const char* expected, const char* what) {
    if (expected == nullptr) {
      EXPECT_FALSE(text.drawn()) << what << ": " << text.view();
    } else {
      EXPECT_EQ(text.view(), expected) << what;
    }
  };
  expect(u.satellites, c.satellites, "satellites");
  expect(u.fix_class, c.fix, "fix class");
  expect(u.pdop, c.pdop, "pdop");
}

std::string GgaWith(const std::string& quality, const std::string& satellites) {
  return "$GPGGA,123519,4807.038,N,01131.000,E," + quality + "," + satellites +
         ",0.9,545.4,M,46.9,M,,*00";
}

INSTANTIATE_TEST_SUITE_P(
    Sentences, GpsStatusTable,
    ::testing::Values(
        StatusCase{"NoFix", GgaWith("0", "00"), true, true, " 0", "NO FIX", nullptr},
        StatusCase{"Autonomous", kGga, true, true, " 8", "AGPS", nullptr},
        StatusCase{"Differential", GgaWith("2", "11"), true, true, "11", "DGPS", nullptr},
        StatusCase{"Rtk", GgaWith("3", "12"), true, true, "12", "RTK", nullptr},
        StatusCase{"Code", GgaWith("4", "07"), true, true, " 7", "CODE", nullptr},
        StatusCase{"OtherQualityDrawsNoClass", GgaWith("5", "07"), true, true, " 7", nullptr, nullptr},
        StatusCase{"EmptyQualityDrawsNoClass", GgaWith("", "07"), true, true, " 7", nullptr, nullptr},
        StatusCase{"EmptySatellitesDrawZero", GgaWith("1", ""), true, true, " 0", "AGPS", nullptr},
        StatusCase{"BadGga", kGga, false, false, "??", nullptr, nullptr},
        StatusCase{"Pdop", kGsa, true, false, nullptr, nullptr, "2.5 "},
        StatusCase{"ShortGsaHasNoPdop", "$GPGSA,A,1,,,,,,,,,,,,*1E", true, false, nullptr, nullptr,
                   "N/A"},
        StatusCase{"BadGsa", kGsa, false, false, nullptr, nullptr, "??"},
        StatusCase{"FiveCharactersAreTooFew", "$GGA*", true, false, "??", nullptr, nullptr},
        StatusCase{"OtherSentencesChangeNothing", kRmcLowerCase, true, false, nullptr, nullptr,
                   nullptr}),
    [](const auto& test) { return std::string(test.param.name); });

// ---------------------------------------------------------------------------
// The reader thread

// One sentence as the data file holds it: the record letters and the text
// put back together from its pieces, and the tick of its "!" record.
struct StoredLine {
  std::string letters;
  std::string text;
  uint32_t tick = 0;
};

std::vector<StoredLine> ReadGpsRecords(const std::string& file, size_t record_length) {
  std::vector<StoredLine> lines;
  StoredLine current;
  for (size_t at = 0; at + record_length <= file.size(); at += record_length) {
    std::string record = file.substr(at, record_length);
    EXPECT_EQ(record.back(), '\n') << "record " << at / record_length << " is not whole";
    std::string body = record.substr(1, record_length - 2);
    current.letters += record[0];
    if (record[0] == '!') {
      current.tick = static_cast<uint32_t>(std::stoul(body));
      lines.push_back(current);
      current = StoredLine{};
    } else {
      current.text += body;
    }
  }
  EXPECT_TRUE(current.letters.empty()) << "a group without its tick: " << current.letters;
  // The last piece is padded with spaces, which no test line ends with.
  for (StoredLine& line : lines) line.text.erase(line.text.find_last_not_of(' ') + 1);
  return lines;
}

class GpsReaderTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string error;
    port_ = SerialPort::Open(pty_.slave_path(), &error);
    ASSERT_NE(port_, nullptr) << error;
    ASSERT_TRUE(port_->Configure(LineSettings{}, GpsPortTimeouts(), &error)) << error;
    ASSERT_TRUE(file_.Create(dir_.path() / "GPS.DAT", 24));
  }
  void TearDown() override { Stop(); }

  void Start() {
    GpsReaderContext context{port_.get(), &fix_, &calibration_, &window_, &file_};
    thread_ = std::thread([context] { GpsReader(context); });
    while (fix_.GpsReaderRunning.load() != 1) std::this_thread::yield();
  }
  void Stop() {
    if (port_) port_->Close();
    if (thread_.joinable()) thread_.join();
  }

  // Waits for `count` posts and takes their sentences.
  std::vector<PostedSentence> Posted(size_t count) {
    std::vector<PostedSentence> out;
    for (size_t i = 0; i < count; ++i) {
      Message m;
      if (!window_.Wait(&m, 3000)) break;
      EXPECT_EQ(m.number, WM_GPS_SENTENCE);
      PostedSentence s;
      EXPECT_TRUE(fix_.TakeSentence(&s));
      out.push_back(s);
    }
    return out;
  }

  std::string FileText() {
    EXPECT_TRUE(file_.Close());
    return testing::ReadFileBytes(dir_.path() / "GPS.DAT");
  }

  testing::PtyPair pty_;
  testing::TempDir dir_;
  std::unique_ptr<SerialPort> port_;
  DataFile file_;
  GpsFixState fix_;
  std::atomic<int32_t> calibration_{0};
  MessageQueue window_;
  std::thread thread_;
};

TEST_F(GpsReaderTest, RecordsEveryLineWhileLoggingAndPostsEachWithItsOwnCopy) {
  fix_.Recording = 1;
  Start();
  const std::string bad = kGsa.substr(0, kGsa.size() - 2) + "40";
  std::string long_line = "$GPTXT,";
  while (long_line.size() < 150) long_line += "0123456789";
  const std::string longest = long_line + std::string(201 - long_line.size(), '9');  // kept whole
  // Everything at once: the window takes the posts only afterwards.
  pty_.Send("1*47\r\n" + kGga + "\r\n" + bad + "\r\n" + long_line + "\r\n" + longest + "\r\n");
  std::vector<PostedSentence> posted = Posted(5);
  ASSERT_EQ(posted.size(), 5u);
  EXPECT_EQ(posted[0].view(), "1*47");
  EXPECT_FALSE(posted[0].valid);
  EXPECT_EQ(posted[1].view(), kGga);
  EXPECT_TRUE(posted[1].valid);
  EXPECT_EQ(posted[2].view(), bad);
  EXPECT_FALSE(posted[2].valid);
  EXPECT_EQ(posted[3].view(), long_line.substr(0, 127));
  EXPECT_EQ(posted[4].view(), longest.substr(0, 127));
  EXPECT_EQ(fix_.LastSentence().view(), longest.substr(0, 127));

  Stop();
  EXPECT_EQ(fix_.GpsReaderRunning.load(), 2);
  std::vector<StoredLine> stored = ReadGpsRecords(FileText(), 24);
  ASSERT_EQ(stored.size(), 5u);
  EXPECT_EQ(stored[0].letters, "?!");
  EXPECT_EQ(stored[0].text, "1*47");
  // 65 characters: two pieces of 22 and the last 21.
  EXPECT_EQ(stored[1].letters, "@##!");
  EXPECT_EQ(stored[1].text, kGga);
  EXPECT_EQ(stored[2].letters, "?\"\"!");
  EXPECT_EQ(stored[2].text, bad);
  EXPECT_EQ(stored[3].text, long_line);  // kept whole in the file
  // 201 characters: nine pieces of 22 and the last 3.
  EXPECT_EQ(stored[4].letters, "?\"\"\"\"\"\"\"\"\"!");
  EXPECT_EQ(stored[4].text, longest);
  for (size_t i = 1; i < stored.size(); ++i) EXPECT_GE(stored[i].tick, stored[i - 1].tick);
}

TEST_F(GpsReaderTest, PostsNothingWhileCalibratingAndRecordsNothingOutsideLogging) {
  calibration_ = -1;
  Start();
  pty_.Send(kGga + "\r\n");
  Message m;
  EXPECT_FALSE(window_.Wait(&m, 500));
  EXPECT_EQ(fix_.LastSentence().view(), kGga);
  calibration_ = 0;
  pty_.Send(kGsa + "\r\n");
  std::vector<PostedSentence> posted = Posted(1);
  ASSERT_EQ(posted.size(), 1u);
  EXPECT_EQ(posted[0].view(), kGsa);
  Stop();
  EXPECT_EQ(FileText(), "");
}

TEST(GpsFixQueue, AWindowFarBehindHasTheNewestDroppedAndCounted) {
  GpsFixState fix;
  MessageQueue window;
  for (size_t i = 0; i < kPostedSentenceCapacity + 2; ++i) {
    fix.PostSentence(&window, WM_GPS_SENTENCE, "$" + std::to_string(i), false);
  }
  EXPECT_EQ(fix.DroppedSentences.load(), 2u);
  EXPECT_EQ(window.Size(), kPostedSentenceCapacity);
  PostedSentence first;
  ASSERT_TRUE(fix.TakeSentence(&first));
  EXPECT_EQ(first.view(), "$0");
}

}  // namespace
}  // namespace tq
