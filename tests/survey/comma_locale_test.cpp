// Data files written under a comma-decimal locale, as Qt leaves the process
// in a German environment: every number keeps its point, byte for byte.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "platform/clock.h"
#include "survey/data_file.h"
#include "tests/support/comma_locale.h"
#include "tests/support/temp_dir.h"
#include "tests/survey/record_lines.h"

namespace tq {
namespace {

using testing::CommaDecimalLocale;
using testing::DecemberSixthAt;
using testing::Line;

// A header, a TQ68-MK2 line start with its offsets and a new station, through
// the writers into a real file; returns the file.
std::string WriteLineFile(const std::filesystem::path& path) {
  FakeClock clock;
  clock.SetNow(DecemberSixthAt(9, 3, 7, 459));
  InstallClock(&clock);
  SettingsStore s;
  s.SurveyMode = 0;
  s.ReadingInterval = 0.25f;
  s.SurveyLine = "7";
  s.StartStation = 12.5;
  s.Direction = 0;
  s.StationIncrement = 1.25f;
  const Mk2Offsets offsets = {1.25f, -0.5f, 0, 0, 0, 0};
  DataFile file;
  EXPECT_TRUE(file.Create(path, kLongRecordLength));
  EXPECT_TRUE(WriteHeader(file, s, {kKindTq68Mk2, 1, 0}, true, "A"));
  EXPECT_TRUE(WriteLineStart(file, s, kKindTq68Mk2, {}));
  EXPECT_TRUE(WriteCalibrationLines(file, offsets, {}));
  EXPECT_TRUE(WriteStationRecord(file, -3.75));
  EXPECT_TRUE(file.Close());
  InstallClock(nullptr);
  return testing::ReadFileBytes(path);
}

TEST(CommaLocaleTest, DataFileNumbersKeepTheirPointUnderAGermanLocale) {
  testing::TempDir dir;
  const std::string in_c = WriteLineFile(dir.path() / "C.N68");
  CommaDecimalLocale comma;
  if (!comma.active()) GTEST_SKIP() << "no comma-decimal locale: " << comma.why_not();
  const std::string in_comma = WriteLineFile(dir.path() / "DE.N68");
  EXPECT_EQ(in_comma, in_c);
  for (const std::string& record :
       {Line("H A          0.250", 26), Line("B      12.50", 26), Line("AW            1.250", 26),
        Line("O1     1.250      0.000", 26), Line("O2    -0.500      0.000", 26),
        Line("S      -3.75 09030745", 26)}) {
    EXPECT_NE(in_comma.find(record), std::string::npos) << record << "in\n" << in_comma;
  }
}

}  // namespace
}  // namespace tq
