// NMEA sentences: checksums, number formats and the fields the logger reads.
#include "gps/nmea.h"
#include "tools/sim/nmea.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

namespace tq::sim {
namespace {

// Checks a sentence the way a receiver's listener would: "$", XOR of the
// body, "*" and two hex digits, CR LF.
bool ChecksumValid(const std::string& sentence) {
  if (sentence.size() < 6 || sentence[0] != '$') return false;
  if (sentence.substr(sentence.size() - 2) != "\r\n") return false;
  size_t star = sentence.find('*');
  if (star == std::string::npos || star + 5 != sentence.size()) return false;
  unsigned sum = 0;
  for (size_t i = 1; i < star; ++i) sum ^= static_cast<unsigned char>(sentence[i]);
  unsigned stated = 0;
  if (std::sscanf(sentence.c_str() + star + 1, "%2X", &stated) != 1) return false;
  return sum == stated;
}

std::vector<std::string> Fields(const std::string& sentence) {
  std::string body = sentence.substr(0, sentence.find('*'));
  std::vector<std::string> fields;
  size_t start = 0;
  for (;;) {
    size_t comma = body.find(',', start);
    fields.push_back(body.substr(start, comma - start));
    if (comma == std::string::npos) return fields;
    start = comma + 1;
  }
}

LocalTime May2024() {
  LocalTime t;
  t.year = 2024;
  t.month = 5;
  t.day = 3;
  t.hour = 12;
  t.minute = 35;
  t.second = 19;
  t.millisecond = 250;
  return t;
}

WalkSample At(double latitude, double longitude) {
  WalkSample s;
  s.latitude = latitude;
  s.longitude = longitude;
  s.speed_mps = 1.0;
  s.course_deg = 90.0;
  return s;
}

TEST(NmeaChecksumTest, MatchesAWellKnownSentence) {
  const std::string body = "GPGGA,123519,4807.038,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,";
  unsigned by_hand = 0;
  for (char c : body) by_hand ^= static_cast<unsigned char>(c);
  EXPECT_EQ(by_hand, 0x47u);
  EXPECT_EQ(NmeaChecksumOf(body), 0x47);
  EXPECT_EQ(FinishSentence(body), "$" + body + "*47\r\n");
}

TEST(NmeaChecksumTest, DigitsAreUpperCaseAndTwoWide) {
  // "A" ^ "B" = 0x03, "J" = 0x4A.
  EXPECT_EQ(FinishSentence("AB"), "$AB*03\r\n");
  EXPECT_EQ(FinishSentence("J"), "$J*4A\r\n");
}

TEST(NmeaCoordinateTest, DegreesAndDecimalMinutes) {
  EXPECT_EQ(FormatLatitude(48.1173), "4807.0380,N");
  EXPECT_EQ(FormatLongitude(11.516666667), "01131.0000,E");
  EXPECT_EQ(FormatLatitude(-33.5), "3330.0000,S");
  EXPECT_EQ(FormatLongitude(-120.25), "12015.0000,W");
}

TEST(NmeaCoordinateTest, MinutesNeverRoundUpToSixty) {
  EXPECT_EQ(FormatLatitude(52.9999999999), "5300.0000,N");
  EXPECT_EQ(FormatLongitude(4.99999999), "00500.0000,E");
}

TEST(NmeaSentenceTest, GgaCarriesTimePositionFixAndSatellites) {
  GpsStatus status;
  status.fix_quality = 2;
  status.satellites = 7;
  std::string gga = FormatGga(At(48.1173, 11.516666667), May2024(), status);
  ASSERT_TRUE(ChecksumValid(gga)) << gga;
  std::vector<std::string> f = Fields(gga);
  ASSERT_EQ(f.size(), 15u);
  EXPECT_EQ(f[0], "$GPGGA");
  EXPECT_EQ(f[1], "123519.25");
  EXPECT_EQ(f[2], "4807.0380");
  EXPECT_EQ(f[3], "N");
  EXPECT_EQ(f[4], "01131.0000");
  EXPECT_EQ(f[5], "E");
  // The logger reads field 7 (fix) and 8 (satellites), counting from 1.
  EXPECT_EQ(f[6], "2");
  EXPECT_EQ(f[7], "07");
}

TEST(NmeaSentenceTest, GsaCarriesPdopInFieldSixteen) {
  GpsStatus status;
  status.pdop = 2.4;
  status.satellites = 5;
  std::string gsa = FormatGsa(status);
  ASSERT_TRUE(ChecksumValid(gsa)) << gsa;
  std::vector<std::string> f = Fields(gsa);
  ASSERT_EQ(f.size(), 18u);
  EXPECT_EQ(f[0], "$GPGSA");
  EXPECT_EQ(f[2], "3");
  EXPECT_EQ(f[15], "2.4");
  EXPECT_EQ(std::count_if(f.begin() + 3, f.begin() + 15, [](auto& s) { return !s.empty(); }), 5);
}

TEST(NmeaSentenceTest, RmcCarriesDateSpeedAndCourse) {
  std::string rmc = FormatRmc(At(-33.5, -120.25), May2024(), GpsStatus{});
  ASSERT_TRUE(ChecksumValid(rmc)) << rmc;
  std::vector<std::string> f = Fields(rmc);
  ASSERT_EQ(f.size(), 13u);
  EXPECT_EQ(f[0], "$GPRMC");
  EXPECT_EQ(f[2], "A");
  EXPECT_EQ(f[3], "3330.0000");
  EXPECT_EQ(f[4], "S");
  EXPECT_EQ(f[6], "W");
  EXPECT_EQ(f[7], "1.9");  // 1 m/s in knots
  EXPECT_EQ(f[8], "90.0");
  EXPECT_EQ(f[9], "030524");
}

TEST(NmeaSentenceTest, NoFixIsReportedAsSuch) {
  GpsStatus none;
  none.fix_quality = 0;
  EXPECT_EQ(Fields(FormatGga(At(1, 1), May2024(), none))[6], "0");
  EXPECT_EQ(Fields(FormatGsa(none))[2], "1");
  EXPECT_EQ(Fields(FormatRmc(At(1, 1), May2024(), none))[2], "V");
}

TEST(NmeaSentenceTest, EverySentenceAlongTheWalkHasAValidChecksum) {
  WalkParams params;
  params.start_latitude = -0.0005;   // crosses the equator
  params.start_longitude = 179.999;  // close to the date line
  params.bearing_deg = 45.0;
  GpsStatus status;
  for (int second = 0; second < 400; ++second) {
    WalkSample s = SampleWalk(params, second, 0);
    LocalTime t = May2024();
    t.second = second % 60;
    for (const std::string& sentence : {FormatGga(s, t, status), FormatGsa(status),
                                        FormatRmc(s, t, status)}) {
      ASSERT_TRUE(ChecksumValid(sentence)) << sentence;
      ASSERT_LE(sentence.size(), 82u) << sentence;
    }
  }
}

}  // namespace
}  // namespace tq::sim
