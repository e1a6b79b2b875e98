// The walk as the simulator sends it, decoded by the logger's own decoders,
// gives back the walk: the two sides agree on every kind's layout and scale.
#include <gtest/gtest.h>

#include <cmath>
#include <span>
#include <vector>

#include "instrument/decoding.h"
#include "settings/build_config.h"
#include "tools/sim/instrument_readings.h"
#include "tools/sim/survey_walk.h"

namespace tq::sim {
namespace {

constexpr int kFrames = 400;

// Frame `i` of the walk as the logger keeps it in `LastFrame`: the bytes
// before the carriage return (ASCII) or before 0xFF 0xFF (binary).
std::vector<uint8_t> LastFrameOf(int kind, int frame_length, const WalkSample& s, int i) {
  std::vector<uint8_t> wire = EncodeReading(kind, frame_length, s, static_cast<uint64_t>(i));
  if (kind == kKindFrz62) return wire;
  wire.resize(wire.size() - (kind == kKindTq68Mk2 ? 2 : 1));
  return wire;
}

WalkParams Params(bool vertical) {
  WalkParams p;
  p.vertical = vertical;
  p.marker_every = 7;
  p.pace_mps = 2.0;  // covers more of the line in fewer frames
  return p;
}

Reading Decode(int kind, std::span<const uint8_t> frame) {
  return DecodeAsciiFrame(frame, AsciiDecodeSettings{kind, kSurveyModeAuto, 0, 0});
}

// Runs `check` on every frame of the walk for `kind`, both dipoles.
template <typename Check>
void ForEachFrame(int kind, int frame_length, Check check) {
  for (bool vertical : {true, false}) {
    WalkParams p = Params(vertical);
    for (int i = 0; i < kFrames; ++i) {
      WalkSample s = SampleWalk(p, i * 0.091, static_cast<uint64_t>(i));
      std::vector<uint8_t> frame = LastFrameOf(kind, frame_length, s, i);
      SCOPED_TRACE(testing::Message() << "kind " << kind << " frame " << i
                                      << (vertical ? " V" : " H"));
      check(s, frame, i);
    }
  }
}

void ExpectStatus(const Reading& r, const WalkSample& s) {
  EXPECT_EQ(r.dipole, s.vertical ? 'V' : 'H');
  EXPECT_EQ(r.marker, s.marker ? 'M' : 'N');
}

TEST(LoggerDecodingTest, Tq62ReadingsComeBack) {
  ForEachFrame(kKindTq62, 12, [](const WalkSample& s, auto& frame, int) {
    Reading r = Decode(kKindTq62, frame);
    ExpectStatus(r, s);
    EXPECT_FALSE(r.battery);
    EXPECT_NEAR(r.conductivity, s.conductivity, 0.025 / 2 + 1e-4);
    EXPECT_NEAR(r.inphase, s.inphase, 0.0025 / 2 + 1e-4);
    // The finest range that holds the value: 10 up to 9999 * 0.0025.
    EXPECT_EQ(r.range, s.conductivity <= 24.9975 ? 10 : 100);
  });
}

TEST(LoggerDecodingTest, Tq68bReadingsComeBack) {
  ForEachFrame(kKindTq68b, 12, [](const WalkSample& s, auto& frame, int) {
    Reading r = Decode(kKindTq68b, frame);
    ExpectStatus(r, s);
    EXPECT_NEAR(r.conductivity, s.conductivity, 0.1 / 2 + 1e-4);
    EXPECT_NEAR(r.inphase, s.inphase, 0.00288 / 2 + 1e-4);
  });
}

TEST(LoggerDecodingTest, Tq68ddAlternatesQuantitiesOfBothGeometries) {
  ForEachFrame(kKindTq68dd, 12, [](const WalkSample& s, auto& frame, int i) {
    Reading r = Decode(kKindTq68dd, frame);
    ExpectStatus(r, s);
    if (i % 2 == 0) {
      EXPECT_EQ(r.quantity, 2);
      EXPECT_NEAR(r.conductivity, s.conductivity, 0.05 + 1e-4);
      EXPECT_NEAR(r.inphase, s.conductivity2, 0.05 + 1e-4);
    } else {
      EXPECT_EQ(r.quantity, 1);
      EXPECT_NEAR(r.conductivity, s.inphase, 0.00144 + 1e-4);
      EXPECT_NEAR(r.inphase, s.inphase2, 0.00144 + 1e-4);
    }
  });
}

TEST(LoggerDecodingTest, Tq68ReadingsComeBackInBothFrameLengths) {
  for (int length : {7, 12}) {
    ForEachFrame(kKindTq68, length, [&](const WalkSample& s, auto& frame, int i) {
      ASSERT_EQ(frame.size(), static_cast<size_t>(length));
      Reading r = Decode(kKindTq68, frame);
      ExpectStatus(r, s);
      if (i % 2 == 0) {
        EXPECT_EQ(r.quantity, 2);
        EXPECT_NEAR(r.conductivity, s.conductivity, 0.05 + 1e-4);
      } else {
        EXPECT_EQ(r.quantity, 1);
        EXPECT_NEAR(r.inphase, s.inphase, 0.00144 + 1e-4);
      }
    });
  }
}

TEST(LoggerDecodingTest, Tq64ReadingsComeBackAtTwentyMetres) {
  ForEachFrame(kKindTq64, 12, [](const WalkSample& s, auto& frame, int) {
    Reading r = Decode(kKindTq64, frame);
    ExpectStatus(r, s);
    EXPECT_NEAR(r.conductivity, s.conductivity, 0.0075 / 2 + 1e-4);
    EXPECT_EQ(r.inphase, 20.0f);
    EXPECT_EQ(r.range, s.conductivity <= 24.9975 ? 10 : 30);
  });
}

TEST(LoggerDecodingTest, Tq93ReadingsComeBack) {
  ForEachFrame(kKindTq93, 12, [](const WalkSample& s, auto& frame, int) {
    Reading r = Decode(kKindTq93, frame);
    ExpectStatus(r, s);
    EXPECT_NEAR(r.conductivity, s.conductivity, 0.25 / 2 + 1e-4);
    EXPECT_NEAR(r.inphase, s.inphase, 0.25 / 2 + 1e-4);
    EXPECT_EQ(r.range, 10);
  });
}

TEST(LoggerDecodingTest, Frz62ThicknessAndInphaseComeBack) {
  ForEachFrame(kKindFrz62, 8, [](const WalkSample& s, auto& frame, int) {
    Reading r = Decode(kKindFrz62, frame);
    EXPECT_NEAR(r.conductivity, s.ice_thickness_m, 0.005 + 1e-4);
    EXPECT_EQ(r.inphase, static_cast<float>(s.ice_inphase));
  });
}

TEST(LoggerDecodingTest, Tq68Mk2ValuesOfBothCoilPairsComeBack) {
  // Half a word step: 5 / 1024 * 8 / 2.
  const double half_step = 0.01953125;
  ForEachFrame(kKindTq68Mk2, 14, [&](const WalkSample& s, auto& frame, int) {
    ASSERT_EQ(frame.size(), 14u);
    Reading r = DecodeBinaryFrame(frame, Mk2Offsets{});
    EXPECT_EQ(r.dipole, s.vertical ? 'V' : 'H');
    EXPECT_EQ(r.marker, 'N');
    EXPECT_NEAR(r.conductivity, s.conductivity, half_step + 1e-4);
    EXPECT_NEAR(r.inphase, s.inphase, half_step * 0.028819 + 1e-4);
    EXPECT_NEAR(r.conductivity2, s.conductivity2, half_step + 1e-4);
    EXPECT_NEAR(r.inphase2, s.inphase2, half_step * 0.00720475 + 1e-4);
  });
}

}  // namespace
}  // namespace tq::sim
