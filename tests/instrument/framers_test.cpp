// The framers fed byte by byte, with no port or thread.
#include "instrument/framers.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <type_traits>
#include <vector>

#include "tests/instrument/frame_bytes.h"

namespace tq {
namespace {

using testing::AsciiFrame;
using testing::BinaryFrame;
using testing::BinaryWire;
using testing::Bytes;
using testing::Concat;
using testing::Filler;
using testing::Span;
using testing::ToBytes;

// Feeds `bytes` and returns the events other than kNone, with the frames of
// the accepted ones.
template <typename Framer>
std::vector<FrameEvent> Feed(Framer& framer, const Bytes& bytes, std::vector<Bytes>* frames) {
  std::vector<FrameEvent> events;
  for (uint8_t b : bytes) {
    FrameEvent e = framer.Push(b);
    if (e == FrameEvent::kNone) continue;
    events.push_back(e);
    if (e == FrameEvent::kAccepted && frames != nullptr) frames->push_back(Span(framer.Frame()));
  }
  return events;
}

const std::string kFrame12 = AsciiFrame('T', '1', "01234", "-0056");

TEST(AsciiFramerTest, EarlyCarriageReturnKeepsTheCharactersInTheLine) {
  AsciiFramer framer(12);
  std::vector<Bytes> frames;
  // A short line is not a frame, and the full frame after it is still found.
  auto events = Feed(framer, ToBytes("T1234\r" + kFrame12 + "\r"), &frames);
  ASSERT_EQ(events, std::vector<FrameEvent>{FrameEvent::kAccepted});
  EXPECT_EQ(frames[0], ToBytes(kFrame12));

  // The kept characters count towards the line limit: 6 + 162 + 13 = 181
  // bytes still fit; with two more stray characters the line is cut at the
  // frame's last character, and the frame is still found whole.
  AsciiFramer fits(12);
  EXPECT_EQ(Feed(fits, Concat({ToBytes("T1234\r"), Filler(162), ToBytes(kFrame12 + "\r")}), nullptr),
            std::vector<FrameEvent>{FrameEvent::kAccepted});
  AsciiFramer cut(12);
  frames.clear();
  EXPECT_EQ(Feed(cut, Concat({ToBytes("T1234\r"), Filler(164), ToBytes(kFrame12 + "\r")}), &frames),
            (std::vector<FrameEvent>{FrameEvent::kOverflow, FrameEvent::kAccepted}));
  EXPECT_EQ(frames, std::vector<Bytes>{ToBytes(kFrame12)});
}

TEST(AsciiFramerTest, WrongStartLetterIsRejectedAndTheLineKept) {
  AsciiFramer framer(12);
  std::vector<Bytes> frames;
  std::string bad = AsciiFrame('X', '1', "01234", "-0056");
  auto events = Feed(framer, ToBytes(bad + "\r" + kFrame12 + "\r"), &frames);
  EXPECT_EQ(events, (std::vector<FrameEvent>{FrameEvent::kRejected, FrameEvent::kAccepted}));
  EXPECT_EQ(frames[0], ToBytes(kFrame12));
}

TEST(AsciiFramerTest, LineOf181CharactersIsKeptAndTheNextByteCutsIt) {
  // 168 + 12 + CR = 181 bytes: the carriage return is the last that fits.
  AsciiFramer fits(12);
  EXPECT_EQ(Feed(fits, Concat({Filler(168), ToBytes(kFrame12 + "\r")}), nullptr),
            std::vector<FrameEvent>{FrameEvent::kAccepted});

  // 169 + 12 + CR: the carriage return is byte 182 and cuts the line, which
  // keeps the straddling frame; the frame after it is found too.
  AsciiFramer straddles(12);
  std::vector<Bytes> frames;
  std::string next = AsciiFrame('T', '2', "11111", "22222");
  auto events = Feed(straddles, Concat({Filler(169), ToBytes(kFrame12 + "\r" + next + "\r")}), &frames);
  EXPECT_EQ(events, (std::vector<FrameEvent>{FrameEvent::kAccepted, FrameEvent::kAccepted}));
  EXPECT_EQ(frames, (std::vector<Bytes>{ToBytes(kFrame12), ToBytes(next)}));
}

TEST(IceFramerTest, EveryPositionRejectsTheWrongKindOfByte) {
  const std::string good = "T123I456";
  for (size_t at = 0; at < good.size(); ++at) {
    std::string bad = good;
    bad[at] = (at == 0 || at == 4) ? '7' : 'Q';
    IceFramer framer;
    auto events = Feed(framer, ToBytes(bad.substr(0, at + 1)), nullptr);
    EXPECT_EQ(events, std::vector<FrameEvent>{FrameEvent::kMalformed}) << "position " << at;
    // After a break the framer expects a fresh "T".
    EXPECT_EQ(Feed(framer, ToBytes(good), nullptr), std::vector<FrameEvent>{FrameEvent::kAccepted});
  }
}

TEST(IceFramerTest, ResetStartsOverAtTheLetter) {
  IceFramer framer;
  Feed(framer, ToBytes("T12"), nullptr);
  framer.Reset();
  EXPECT_EQ(Feed(framer, ToBytes("T987I654"), nullptr), std::vector<FrameEvent>{FrameEvent::kAccepted});
}

const Bytes kBinary = BinaryFrame('T', 0x05, {0x0102, 0x0304, 0x0506, 0x0708, 0x090A, 0x0B0C});

TEST(BinaryFramerTest, FFPairInsideTheDataIsNoTerminator) {
  BinaryFramer framer;
  // Word 3 is 0xFFFF: the pair sits 8 bytes after the start, where the byte
  // 15 back is filler, so nothing happens and the whole frame still arrives.
  Bytes frame = BinaryFrame('T', 0x00, {0x0001, 0x0002, 0xFFFF, 0x0004, 0x0005, 0x0006});
  std::vector<Bytes> frames;
  auto events = Feed(framer, Concat({Filler(20, 0x00), BinaryWire(frame)}), &frames);
  ASSERT_EQ(events, std::vector<FrameEvent>{FrameEvent::kAccepted});
  EXPECT_EQ(frames[0], frame);
}

TEST(BinaryFramerTest, LineOf181BytesIsKeptAndTheNextByteCutsIt) {
  BinaryFramer fits;
  EXPECT_EQ(Feed(fits, Concat({Filler(165), BinaryWire(kBinary)}), nullptr),
            std::vector<FrameEvent>{FrameEvent::kAccepted});
  // Byte 182 is the first 0xFF: the line is cut there and keeps the frame.
  BinaryFramer straddles;
  std::vector<Bytes> frames;
  EXPECT_EQ(Feed(straddles, Concat({Filler(167), BinaryWire(kBinary)}), &frames),
            (std::vector<FrameEvent>{FrameEvent::kOverflow, FrameEvent::kAccepted}));
  EXPECT_EQ(frames, std::vector<Bytes>{kBinary});
}

// Noise before a whole frame: the frame's own first bytes (a frame cut short),
// then enough stray bytes to cross the line limit once or twice. The frame is
// still accepted once, as sent; for the ice framer the noise counts as one
// broken frame, not one per byte.
template <typename Framer>
void ExpectFrameAfterAnyNoise(const char* name, Framer fresh, const Bytes& frame, const Bytes& end) {
  const Bytes wire = Concat({frame, end});
  for (size_t cut = 0; cut < wire.size(); ++cut) {
    for (size_t stray = cut == 0 ? 1 : 0; stray <= 2 * kLineCapacity + wire.size(); ++stray) {
      Framer framer = fresh;
      std::vector<Bytes> frames;
      Bytes noise(wire.begin(), wire.begin() + static_cast<ptrdiff_t>(cut));
      auto events = Feed(framer, Concat({noise, Filler(stray), wire}), &frames);
      bool counted_once = std::ranges::count(events, FrameEvent::kMalformed) == 1;
      bool ok = frames == std::vector<Bytes>{frame} && events.back() == FrameEvent::kAccepted &&
                (!std::is_same_v<Framer, IceFramer> || counted_once);
      if (!ok) {
        ADD_FAILURE() << name << ": frame lost after " << cut << " bytes of a frame and " << stray
                      << " stray bytes";
        return;
      }
    }
  }
}

TEST(FramerResyncTest, WholeFrameAfterLineNoiseIsKept) {
  ExpectFrameAfterAnyNoise("ascii 12", AsciiFramer(12), ToBytes(kFrame12), ToBytes("\r"));
  ExpectFrameAfterAnyNoise("ascii 7", AsciiFramer(7), ToBytes(AsciiFrame('T', '3', "00421")),
                           ToBytes("\r"));
  ExpectFrameAfterAnyNoise("ice", IceFramer(), ToBytes("T123I456"), Bytes{});
  ExpectFrameAfterAnyNoise("binary", BinaryFramer(), kBinary, Bytes{0xFF, 0xFF});
}

TEST(FrameCountTest, WrapsAtFramesPerReadingAndPostsOnlyAcceptedFrames) {
  struct Case {
    int32_t counter, per_reading;
    bool accepted;
    int32_t next;
    bool post;
  };
  const Case cases[] = {
      {0, 5, true, 1, false},  {3, 5, true, 4, false}, {4, 5, true, 0, true},
      {4, 5, false, 0, false}, {0, 1, true, 0, true},  {0, 1, false, 0, false},
      // Not yet set or lowered below the counter: wraps rather than running away.
      {0, 0, true, 0, true},   {7, 3, true, 0, true},  {7, 3, false, 0, false},
  };
  for (const Case& c : cases) {
    FrameCountStep step = CountFrame(c.counter, c.per_reading, c.accepted);
    EXPECT_EQ(step.counter, c.next) << c.counter << "/" << c.per_reading;
    EXPECT_EQ(step.post, c.post) << c.counter << "/" << c.per_reading;
  }
}

}  // namespace
}  // namespace tq
