// NMEA text: checksums, fields and GGA fixes over tables of good and bad
// sentences.
#include "gps/nmea.h"

#include <gtest/gtest.h>

#include <string>

namespace tq {
namespace {

constexpr double kDegreeTolerance = 1e-9;

const char* const kMunich = "$GPGGA,123519,4807.038,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,*47";

// ---------------------------------------------------------------------------
// Checksums

struct ChecksumCase {
  const char* line;
  bool ok;
};

class NmeaChecksumTable : public ::testing::TestWithParam<ChecksumCase> {};

TEST_P(NmeaChecksumTable, AcceptsOnlyAMatchingTwoDigitChecksum) {
  EXPECT_EQ(NmeaChecksumOk(GetParam().line), GetParam().ok) << GetParam().line;
}

INSTANTIATE_TEST_SUITE_P(
    Sentences, NmeaChecksumTable,
    ::testing::Values(
        ChecksumCase{kMunich, true},
        ChecksumCase{"$GPRMC,123519,A,4807.038,N,01131.000,E,022.4,084.4,230394,003.1,W*6a", true},
        ChecksumCase{"$GPRMC,123519,A,4807.038,N,01131.000,E,022.4,084.4,230394,003.1,W*6A\r\n",
                     true},
        ChecksumCase{"$GPGGA,235959.99,,,,,0,00,,,M,,M,,*49\n", true},
        // One body character changed, the stated sum kept.
        ChecksumCase{"$GPGGA,123519,4807.038,N,01131.000,E,1,09,0.9,545.4,M,46.9,M,,*47", false},
        ChecksumCase{"$GPGGA,123519,4807.038,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,*48", false},
        ChecksumCase{"$GPGGA,123519,4807.038,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,", false},
        ChecksumCase{"$GPGGA,123519,4807.038,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,*4", false},
        ChecksumCase{"$GPGGA,123519,4807.038,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,*4G", false},
        ChecksumCase{"$GPGGA,123519,4807.038,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,*470", false},
        ChecksumCase{"$GPGGA,123519,4807.038,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,*47 ", false},
        ChecksumCase{"GPGGA,123519,4807.038,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,*47", false},
        ChecksumCase{"", false}, ChecksumCase{"$", false}, ChecksumCase{"$*", false},
        ChecksumCase{"$*00", true}));

TEST(NmeaChecksum, RefusesALineLongerThanTheReaderKeeps) {
  // Body of 'A' and 'B' pairs XORs to 0x03 per pair; an even count of pairs
  // cancels, so the sum is 00 and only the length can refuse it.
  std::string line = "$";
  for (size_t i = 0; i < kNmeaLineMax; i += 2) line += "AB";
  line += "*00";
  ASSERT_GT(line.size(), kNmeaLineMax);
  EXPECT_FALSE(NmeaChecksumOk(line));
}

TEST(NmeaChecksum, IsTheXorOfTheBody) {
  EXPECT_EQ(NmeaChecksumOf("GPGGA,123519,4807.038,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,"), 0x47);
  EXPECT_EQ(NmeaChecksumOf(""), 0);
}

// ---------------------------------------------------------------------------
// Fields

TEST(NmeaFieldOf, CountsFromOneWithTheTextBeforeTheFirstSeparatorAsFieldOne) {
  EXPECT_EQ(FieldOf("$GPGGA,123519,,N", 1), "$GPGGA");
  EXPECT_EQ(FieldOf("$GPGGA,123519,,N", 2), "123519");
  EXPECT_EQ(FieldOf("$GPGGA,123519,,N", 3), "");  // empty, but there
  EXPECT_EQ(FieldOf("$GPGGA,123519,,N", 4), "N");  // the last field runs to the end
  EXPECT_EQ(FieldOf("$GPGGA,123519,,N", 5), std::nullopt);
  EXPECT_EQ(FieldOf("no separator", 1), "no separator");
  EXPECT_EQ(FieldOf("a,b", 0), std::nullopt);
  EXPECT_EQ(FieldOf("a;b", 2, ';'), "b");
}

TEST(NmeaFieldOf, GsaWithFewerThanFifteenCommasHasNoPdop) {
  const char* gsa = "$GPGSA,A,3,04,05,,09,12,,,24,,,,,2.5,1.3,2.1*39";
  EXPECT_EQ(FieldOf(gsa, 16), "2.5");
  EXPECT_EQ(FieldOf("$GPGSA,A,3,04,05,,09,12,,,24,,,", 16), std::nullopt);
}

TEST(NmeaSplitFields, StopsAtTheChecksumAndRefusesGarbage) {
  const auto fields = SplitNmeaFields("$GPGGA,1,,3*00\r\n");
  ASSERT_TRUE(fields);
  ASSERT_EQ(fields->count, 4u);
  EXPECT_EQ(fields->field[0], "GPGGA");
  EXPECT_EQ(fields->field[2], "");
  EXPECT_EQ(fields->field[3], "3");
  EXPECT_FALSE(SplitNmeaFields("GPGGA,1"));
  EXPECT_FALSE(SplitNmeaFields(std::string(NmeaFields::kCapacity, ',').insert(0, "$")));
  EXPECT_TRUE(SplitNmeaFields(std::string(NmeaFields::kCapacity - 1, ',').insert(0, "$")));
}

// ---------------------------------------------------------------------------
// GGA

TEST(NmeaGga, ReadsEveryFieldOfAFix) {
  const auto fix = ParseGga(kMunich);
  ASSERT_TRUE(fix);
  EXPECT_EQ(fix->utc_ms, ((12 * 60 + 35) * 60 + 19) * 1000);
  EXPECT_NEAR(*fix->latitude, 48.0 + 7.038 / 60.0, kDegreeTolerance);
  EXPECT_NEAR(*fix->longitude, 11.0 + 31.0 / 60.0, kDegreeTolerance);
  EXPECT_EQ(fix->quality, 1);
  EXPECT_EQ(fix->satellites, 8);
  EXPECT_DOUBLE_EQ(*fix->hdop, 0.9);
  EXPECT_DOUBLE_EQ(*fix->altitude, 545.4);
  EXPECT_TRUE(fix->HasPosition());
}

TEST(NmeaGga, SouthAndWestAreNegativeForAnyTalker) {
  const auto fix =
      ParseGga("$GNGGA,092750.000,5321.6802,S,00630.3372,W,1,8,1.03,61.7,M,55.2,M,,*75");
  ASSERT_TRUE(fix);
  EXPECT_NEAR(*fix->latitude, -(53.0 + 21.6802 / 60.0), kDegreeTolerance);
  EXPECT_NEAR(*fix->longitude, -(6.0 + 30.3372 / 60.0), kDegreeTolerance);
  EXPECT_EQ(fix->utc_ms, ((9 * 60 + 27) * 60 + 50) * 1000);
}

TEST(NmeaGga, EdgesOfTheRangesAndNegativeAltitude) {
  const auto fix = ParseGga("$GPGGA,000000,0000.000,N,18000.000,W,4,12,0.6,-12.5,M,,M,,*5C");
  ASSERT_TRUE(fix);
  EXPECT_EQ(*fix->latitude, 0.0);
  EXPECT_EQ(*fix->longitude, -180.0);
  EXPECT_EQ(fix->quality, 4);
  EXPECT_EQ(fix->satellites, 12);
  EXPECT_DOUBLE_EQ(*fix->altitude, -12.5);
}

TEST(NmeaGga, EmptyFieldsAreAbsentAndNoFixHasNoPosition) {
  const auto fix = ParseGga("$GPGGA,235959.99,,,,,0,00,,,M,,M,,*49");
  ASSERT_TRUE(fix);
  EXPECT_EQ(fix->utc_ms, 86399990);
  EXPECT_FALSE(fix->latitude);
  EXPECT_FALSE(fix->longitude);
  EXPECT_EQ(fix->quality, 0);
  EXPECT_EQ(fix->satellites, 0);
  EXPECT_FALSE(fix->hdop);
  EXPECT_FALSE(fix->altitude);
  EXPECT_FALSE(fix->HasPosition());
}

TEST(NmeaGga, APositionWithoutAQualityIsNotUsable) {
  const auto fix = ParseGga("$GPGGA,123519,4807.038,N,01131.000,E,,08,0.9,545.4,M,46.9,M,,");
  ASSERT_TRUE(fix);
  EXPECT_TRUE(fix->latitude);
  EXPECT_FALSE(fix->HasPosition());
}

class NmeaBadGga : public ::testing::TestWithParam<const char*> {};

TEST_P(NmeaBadGga, IsRefused) { EXPECT_FALSE(ParseGga(GetParam())) << GetParam(); }

INSTANTIATE_TEST_SUITE_P(
    Sentences, NmeaBadGga,
    ::testing::Values(
        "",                                                                     // nothing
        "GPGGA,123519,4807.038,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,*47",     // no "$"
        "$GPRMC,123519,A,4807.038,N,01131.000,E,022.4,084.4,230394,003.1,W*6A",  // not GGA
        "$GGA,123519,4807.038,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,",         // short address
        "$GPGGA,123519,4807.038,N",                                             // truncated
        "$GPGGA,123519,4807.038,N,01131.000,E,1,08,0.9",                         // stops early
        "$GPGGA,123519,4807.038,X,01131.000,E,1,08,0.9,545.4,M,,M,,",           // hemisphere
        "$GPGGA,123519,4807.038,N,01131.000,N,1,08,0.9,545.4,M,,M,,",           // lat letter on lon
        "$GPGGA,123519,4807.038,,01131.000,E,1,08,0.9,545.4,M,,M,,",            // no hemisphere
        "$GPGGA,123519,,N,01131.000,E,1,08,0.9,545.4,M,,M,,",                   // letter, no value
        "$GPGGA,123519,4860.000,N,01131.000,E,1,08,0.9,545.4,M,,M,,",           // 60 minutes
        "$GPGGA,123519,9100.000,N,01131.000,E,1,08,0.9,545.4,M,,M,,",           // beyond the pole
        "$GPGGA,123519,18100.000,N,01131.000,E,1,08,0.9,545.4,M,,M,,",          // 5-digit latitude
        "$GPGGA,123519,4807.038,N,18000.001,E,1,08,0.9,545.4,M,,M,,",           // beyond 180
        "$GPGGA,123519,-4807.038,N,01131.000,E,1,08,0.9,545.4,M,,M,,",          // signed angle
        "$GPGGA,123519,48.07038,N,01131.000,E,1,08,0.9,545.4,M,,M,,",           // not ddmm
        "$GPGGA,123519,inf,N,01131.000,E,1,08,0.9,545.4,M,,M,,",                // not a number
        "$GPGGA,123519,4807.0.38,N,01131.000,E,1,08,0.9,545.4,M,,M,,",          // two points
        "$GPGGA,1235,4807.038,N,01131.000,E,1,08,0.9,545.4,M,,M,,",             // short time
        "$GPGGA,246000,4807.038,N,01131.000,E,1,08,0.9,545.4,M,,M,,",           // hour 24
        "$GPGGA,123519.,4807.038,N,01131.000,E,1,08,0.9,545.4,M,,M,,",          // bare point
        "$GPGGA,123519,4807.038,N,01131.000,E,1,0x8,0.9,545.4,M,,M,,",          // hex count
        "$GPGGA,123519,4807.038,N,01131.000,E,-1,08,0.9,545.4,M,,M,,",          // signed quality
        "$GPGGA,123519,4807.038,N,01131.000,E,1,08,0.9,5e2,M,,M,,",             // exponent
        "$GPGGA,123519,4807.038,N,01131.000,E,1,08,nan,545.4,M,,M,,"));         // NaN

TEST(NmeaGga, ANoisyLongLineIsRefusedWithoutReadingPastIt) {
  std::string line = kMunich;
  line.insert(line.find('*'), std::string(kNmeaLineMax, ','));
  EXPECT_FALSE(ParseGga(line));
  EXPECT_FALSE(ParseGga(std::string_view(kMunich, 20)));
}

}  // namespace
}  // namespace tq
