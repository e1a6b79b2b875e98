// Fault injection: deterministic per seed, at the asked rates, and only
// where asked.
#include "tools/sim/fault_filter.h"

#include <gtest/gtest.h>

#include <cctype>
#include <string>
#include <vector>

#include "tools/sim/nmea.h"

namespace tq::sim {
namespace {

std::vector<uint8_t> Bytes(const std::string& text) { return {text.begin(), text.end()}; }

// `count` frames of kind-7 size, each byte distinct within a frame.
std::vector<std::vector<uint8_t>> Frames(int count) {
  std::vector<std::vector<uint8_t>> frames;
  for (int i = 0; i < count; ++i) {
    std::vector<uint8_t> f(16);
    for (size_t j = 0; j < f.size(); ++j) f[j] = static_cast<uint8_t>(i * 16 + j);
    frames.push_back(f);
  }
  return frames;
}

std::vector<std::vector<uint8_t>> Damage(const FaultOptions& options, uint64_t stream) {
  FaultFilter filter(options, stream);
  std::vector<std::vector<uint8_t>> out;
  int i = 0;
  for (const auto& frame : Frames(2000)) out.push_back(filter.Apply(frame, i++ * 0.047));
  return out;
}

bool ChecksumMatches(const std::vector<uint8_t>& sentence) {
  std::string s(sentence.begin(), sentence.end());
  size_t star = s.find('*');
  return star != std::string::npos &&
         s.substr(star + 1, 2) == FinishSentence(s.substr(1, star - 1)).substr(star + 1, 2);
}

TEST(FaultFilterTest, CleanOptionsPassBytesUnchanged) {
  FaultOptions clean;
  EXPECT_TRUE(IsClean(clean));
  auto frames = Frames(50);
  FaultFilter filter(clean, 1);
  for (const auto& f : frames) EXPECT_EQ(filter.Apply(f, 1.0), f);
}

TEST(FaultFilterTest, SameSeedGivesTheSameDamage) {
  FaultOptions options;
  options.garbage_rate = 0.05;
  options.drop_rate = 0.05;
  options.seed = 42;
  EXPECT_FALSE(IsClean(options));
  EXPECT_EQ(Damage(options, 1), Damage(options, 1));
}

TEST(FaultFilterTest, OtherSeedOrStreamGivesOtherDamage) {
  FaultOptions options;
  options.drop_rate = 0.05;
  options.seed = 42;
  FaultOptions other = options;
  other.seed = 43;
  EXPECT_NE(Damage(options, 1), Damage(other, 1));
  EXPECT_NE(Damage(options, 1), Damage(options, 2));
}

TEST(FaultFilterTest, DropRateIsMetOverManyBytes) {
  FaultOptions options;
  options.drop_rate = 0.1;
  size_t kept = 0;
  for (const auto& f : Damage(options, 1)) kept += f.size();
  double dropped = 1.0 - static_cast<double>(kept) / (2000.0 * 16.0);
  EXPECT_GT(dropped, 0.08);
  EXPECT_LT(dropped, 0.12);
}

TEST(FaultFilterTest, DroppedBytesLeaveTheRestInOrder) {
  FaultOptions options;
  options.drop_rate = 0.3;
  auto frames = Frames(2000);
  auto damaged = Damage(options, 1);
  for (size_t i = 0; i < frames.size(); ++i) {
    // What is left is a subsequence of the original frame.
    size_t at = 0;
    for (uint8_t b : damaged[i]) {
      while (at < frames[i].size() && frames[i][at] != b) ++at;
      ASSERT_LT(at, frames[i].size()) << "frame " << i;
      ++at;
    }
  }
}

TEST(FaultFilterTest, GarbageRateIsMetOverManyBytes) {
  FaultOptions options;
  options.garbage_rate = 0.2;
  size_t total = 0;
  for (const auto& f : Damage(options, 1)) total += f.size();
  double added = static_cast<double>(total) / (2000.0 * 16.0) - 1.0;
  EXPECT_GT(added, 0.17);
  EXPECT_LT(added, 0.23);
}

TEST(FaultFilterTest, BadChecksumsSpoilOnlyTheChecksumDigits) {
  FaultOptions options;
  options.bad_checksum_rate = 1.0;
  FaultFilter filter(options, 2);
  std::string good = FinishSentence("GPGSA,A,3,02,05,,,,,,,,,,,1.8,0.9,1.5");
  for (int i = 0; i < 200; ++i) {
    std::vector<uint8_t> bad = filter.Apply(Bytes(good), i);
    ASSERT_EQ(bad.size(), good.size());
    EXPECT_FALSE(ChecksumMatches(bad));
    std::string text(bad.begin(), bad.end());
    EXPECT_EQ(text.substr(0, good.size() - 4), good.substr(0, good.size() - 4));
    EXPECT_TRUE(std::isxdigit(static_cast<unsigned char>(text[good.size() - 4])));
    EXPECT_TRUE(std::isxdigit(static_cast<unsigned char>(text[good.size() - 3])));
    EXPECT_EQ(text.substr(good.size() - 2), "\r\n");
  }
}

TEST(FaultFilterTest, BadChecksumRateIsMetAndFramesAreLeftAlone) {
  FaultOptions options;
  options.bad_checksum_rate = 0.25;
  FaultFilter filter(options, 2);
  std::string good = FinishSentence("GPGGA,120000.00,5200.0000,N,00500.0000,E,1,08,0.9,1,M,1,M,,");
  int bad = 0;
  for (int i = 0; i < 4000; ++i) bad += ChecksumMatches(filter.Apply(Bytes(good), i)) ? 0 : 1;
  EXPECT_GT(bad, 800);
  EXPECT_LT(bad, 1200);
  auto frame = Frames(1)[0];
  EXPECT_EQ(filter.Apply(frame, 0.0), frame);
}

TEST(FaultFilterTest, SilenceSwallowsEverythingInItsWindowOnly) {
  FaultOptions options;
  options.silence_after_s = 2.0;
  options.silence_for_s = 1.5;
  FaultFilter filter(options, 1);
  auto frame = Frames(1)[0];
  EXPECT_EQ(filter.Apply(frame, 1.99), frame);
  EXPECT_TRUE(filter.Apply(frame, 2.0).empty());
  EXPECT_TRUE(filter.Apply(frame, 3.49).empty());
  EXPECT_EQ(filter.Apply(frame, 3.5), frame);
}

TEST(RandomTest, SequenceIsFixedForASeed) {
  // SplitMix64's first output for seed 0 is a published constant.
  Random random(0);
  EXPECT_EQ(random.Next(), 0xE220A8397B1DCDAFull);
  Random unit(7);
  for (int i = 0; i < 1000; ++i) {
    double u = unit.Unit();
    ASSERT_GE(u, 0.0);
    ASSERT_LT(u, 1.0);
  }
}

}  // namespace
}  // namespace tq::sim
