// The calibration procedure step by step over a clock the test advances:
// the offsets of a success, every failure putting the old offsets back, the
// 1-second preparation and vertical frames ignored while measuring
// horizontal.
#include "acquisition/calibration.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/acquisition/decoding_frames.h"

namespace tq {
namespace {

using testing::Mk2Frame;

constexpr uint32_t kFrameMs = 47;  // the TQ68-MK2's frame period
constexpr uint32_t kStart = 5000;

// u(w) = (w - 32768) / 25.6: these words read 10, 20, 40, 80 and 120.
constexpr uint16_t kU10 = 33024, kU20 = 33280, kU40 = 33792, kU80 = 34816, kU120 = 35840;

// Vertical: conductivity 40, inphase u 40, conductivity2 80, inphase2 u 120.
const std::vector<uint8_t> kVertical = Mk2Frame('T', 6, kU40, kU40, kU80, kU120, 0, 0);
// Horizontal: conductivity 10, inphase u 80, conductivity2 20, inphase2 u 40.
const std::vector<uint8_t> kHorizontal = Mk2Frame('t', 2, kU10, kU80, kU20, kU40, 0, 0);
// A vertical frame far off the others: counted anywhere, it would show.
const std::vector<uint8_t> kOddVertical = Mk2Frame('T', 6, kU120, kU120, kU120, kU120, 0, 0);

const Mk2Offsets kOld = {1.0f, 2.0f, 3.0f, 4.0f, 5.0f, 6.0f};

class CalibrationTest : public ::testing::Test {
 protected:
  void SetUp() override {
    settings_.Mk2Calibration = kOld;
    BeginCalibration(p_, settings_.Mk2Calibration);
    ConfirmCalibration(p_, kStart);
    now_ = kStart;
  }

  // One frame at the current time, then the clock moves one frame on.
  CalibrationFrameOutcome Frame(const std::vector<uint8_t>& frame, bool portrait = true) {
    CalibrationFrameOutcome out =
        CalibrationStepOnFrame(p_, frame, now_, settings_, portrait, previous_);
    outcomes_.push_back(out);
    now_ += kFrameMs;
    return out;
  }

  // Frames until `ms` have passed since `from` (the clock's time is kept).
  void FramesFor(const std::vector<uint8_t>& frame, uint32_t ms) {
    const uint32_t from = now_;
    while (now_ - from < ms) Frame(frame);
  }

  // Feeds `frame` until the procedure ends; false when it never does.
  bool RunToEnd(const std::vector<uint8_t>& frame, uint32_t limit_ms = 70000) {
    const uint32_t from = now_;
    while (now_ - from < limit_ms) {
      if (Frame(frame).ended) return true;
    }
    return false;
  }

  bool AnySucceeded() const {
    for (const auto& o : outcomes_) {
      if (o.succeeded) return true;
    }
    return false;
  }

  SettingsStore settings_;
  CalibrationProcedure p_;
  Mk2Offsets previous_{};
  uint32_t now_ = 0;
  std::vector<CalibrationFrameOutcome> outcomes_;
};

TEST_F(CalibrationTest, StartZeroesTheOffsetsAndNoPutsThemBack) {
  EXPECT_EQ(settings_.Mk2Calibration, Mk2Offsets{});
  EXPECT_EQ(p_.CalibrationPhase, 1);
  CancelCalibration(p_, settings_.Mk2Calibration);
  EXPECT_EQ(settings_.Mk2Calibration, kOld);
  EXPECT_EQ(p_.CalibrationPhase, 0);
}

TEST_F(CalibrationTest, SuccessGivesTheOffsetsOfBothOrientations) {
  // Vertical: 2 s of frames, every one counted.
  CalibrationFrameOutcome first = Frame(kVertical);
  EXPECT_EQ(first.instrument_mode.view(), "Mode:V");
  EXPECT_EQ(first.centred, CalibrationText::kVertical);
  EXPECT_EQ(first.panel.conductivity.view(), "C:40.00   mS/m");
  FramesFor(kVertical, 2000 - kFrameMs + 1);
  CalibrationFrameOutcome rotate = Frame(kVertical);
  EXPECT_EQ(rotate.centred, CalibrationText::kRotate);
  EXPECT_EQ(rotate.beeps, 3);
  EXPECT_EQ(rotate.beep_type, kCalibrationPromptBeep);
  EXPECT_EQ(p_.CalibrationPhase, 2);
  EXPECT_FLOAT_EQ(settings_.Mk2Calibration[2], static_cast<float>(40 * 0.028819));
  EXPECT_FLOAT_EQ(settings_.Mk2Calibration[3], static_cast<float>(120 * 0.00720475));

  // Still vertical while the operator turns: nothing starts.
  FramesFor(kVertical, 5000);
  EXPECT_EQ(p_.CalibrationStep, kCalWaitHorizontal);

  // The first horizontal frame only starts the 1-second preparation, in
  // which nothing is counted.
  Frame(kHorizontal);
  EXPECT_EQ(p_.CalibrationStep, kCalPreparing);
  FramesFor(kOddVertical, 1000 - kFrameMs);
  EXPECT_EQ(outcomes_.back().centred, CalibrationText::kPreparing);
  Frame(kHorizontal);
  ASSERT_EQ(p_.CalibrationStep, kCalMeasuring);

  // Measuring: horizontal frames with odd vertical ones between them.
  const uint32_t measuring_since = p_.t0;
  for (int i = 0; now_ - measuring_since <= 2000; ++i) {
    CalibrationFrameOutcome o = Frame(i % 6 == 5 ? kOddVertical : kHorizontal);
    EXPECT_EQ(o.centred, CalibrationText::kHorizontal);
  }
  CalibrationFrameOutcome done = Frame(kHorizontal);
  ASSERT_TRUE(done.succeeded);
  EXPECT_EQ(done.centred, CalibrationText::kNone);
  // O1 and O2: vertical mean minus twice the horizontal mean.
  EXPECT_FLOAT_EQ(settings_.Mk2Calibration[0], 40.0f - 2 * 10.0f);
  EXPECT_FLOAT_EQ(settings_.Mk2Calibration[1], 80.0f - 2 * 20.0f);
  EXPECT_FLOAT_EQ(settings_.Mk2Calibration[4], static_cast<float>(80 * 0.028819));
  EXPECT_FLOAT_EQ(settings_.Mk2Calibration[5], static_cast<float>(40 * 0.00720475));
  EXPECT_EQ(previous_, kOld);
  const Mk2Offsets calibrated = settings_.Mk2Calibration;

  // Completed: beeps on every frame for 3 s, then the end.
  CalibrationFrameOutcome completed = Frame(kHorizontal);
  EXPECT_EQ(completed.centred, CalibrationText::kCompleted);
  EXPECT_EQ(completed.beep_type, kCalibrationEndBeep);
  ASSERT_TRUE(RunToEnd(kHorizontal, 3100));
  EXPECT_EQ(outcomes_.back().beeps, 3);
  EXPECT_EQ(p_.CalibrationPhase, 0);
  EXPECT_EQ(settings_.Mk2Calibration, calibrated);
}

struct FailureCase {
  const char* name;
  int32_t step;
  const char* portrait_text;
  const char* landscape_text;
};

class CalibrationFailureTest : public CalibrationTest,
                               public ::testing::WithParamInterface<FailureCase> {
 protected:
  // Brings the procedure to the failure of the case.
  void Fail() {
    const int32_t step = GetParam().step;
    if (step == kCalVerticalFailed) {
      FramesFor(kHorizontal, 2100);  // held the wrong way: nothing counted
      return;
    }
    FramesFor(kVertical, 2100);
    if (step == kCalNotDetected) {
      FramesFor(kVertical, 60100);
      return;
    }
    Frame(kHorizontal);
    FramesFor(kHorizontal, 1100);
    FramesFor(kVertical, 2100);  // turned back before the measurement
  }
};

TEST_P(CalibrationFailureTest, ShowsItsTextAndPutsTheOldOffsetsBack) {
  Fail();
  ASSERT_EQ(p_.CalibrationStep, GetParam().step);
  EXPECT_EQ(CalibrationTextOf(Frame(kVertical, true).centred, true), GetParam().portrait_text);
  EXPECT_EQ(CalibrationTextOf(Frame(kVertical, false).centred, false), GetParam().landscape_text);
  ASSERT_TRUE(RunToEnd(kVertical, 3100));
  EXPECT_EQ(settings_.Mk2Calibration, kOld);
  EXPECT_FALSE(AnySucceeded());
  EXPECT_EQ(previous_, Mk2Offsets{});
}

INSTANTIATE_TEST_SUITE_P(
    Steps, CalibrationFailureTest,
    ::testing::Values(
        FailureCase{"Vertical", kCalVerticalFailed, "Vert. Mode Failed - Wait for Beep",
                    "Vertical Mode Failed - Wait for Beep"},
        FailureCase{"Horizontal", kCalHorizontalFailed, "Hor. Mode Failed - Wait for Beep",
                    "Horizontal Mode Failed - Wait for Beep"},
        FailureCase{"NotDetected", kCalNotDetected, "Hor. Mode Not Detected - Wait for Beep",
                    "Horizontal Mode Not Detected - Wait for Beep"}),
    [](const auto& test) { return std::string(test.param.name); });

TEST(DeleteCalibration, KeepsTheDeletedOffsetsAsThePreviousOnes) {
  Mk2Offsets offsets = kOld;
  Mk2Offsets previous{};
  DeleteCalibrationOffsets(offsets, previous);
  EXPECT_EQ(offsets, Mk2Offsets{});
  EXPECT_EQ(previous, kOld);
}

}  // namespace
}  // namespace tq
