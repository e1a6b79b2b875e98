// Throughput of the framers over long streams of realistic frames, with the
// occasional stray byte and broken frame a real line carries.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <string>
#include <vector>

#include "instrument/framers.h"

namespace tq {
namespace {

constexpr size_t kStreamBytes = 4 << 20;

// A deterministic generator, so every run measures the same stream.
class Lcg {
 public:
  uint32_t Next() {
    state_ = state_ * 1664525u + 1013904223u;
    return state_ >> 8;
  }

 private:
  uint32_t state_ = 12345;
};

void AppendText(std::vector<uint8_t>& out, const std::string& text) {
  out.insert(out.end(), text.begin(), text.end());
}

std::string Digits(Lcg& rng, int count) {
  std::string s;
  for (int i = 0; i < count; ++i) s += static_cast<char>('0' + rng.Next() % 10);
  return s;
}

// "T", status, two signed 5-character fields, CR; one in 50 has noise first.
std::vector<uint8_t> AsciiStream() {
  Lcg rng;
  std::vector<uint8_t> out;
  while (out.size() < kStreamBytes) {
    if (rng.Next() % 50 == 0) AppendText(out, "~?");
    AppendText(out, "T" + std::to_string(rng.Next() % 8) + (rng.Next() % 2 ? "-" : "+") +
                        Digits(rng, 4) + "0" + Digits(rng, 4) + "\r");
  }
  return out;
}

// "T", three digits, "I", three digits; one in 50 broken.
std::vector<uint8_t> IceStream() {
  Lcg rng;
  std::vector<uint8_t> out;
  while (out.size() < kStreamBytes) {
    std::string frame = "T" + Digits(rng, 3) + "I" + Digits(rng, 3);
    if (rng.Next() % 50 == 0) frame[2] = 'x';
    AppendText(out, frame);
  }
  return out;
}

// "T" or "t", status, six big-endian words (0xFF bytes included), 0xFF 0xFF.
std::vector<uint8_t> BinaryStream() {
  Lcg rng;
  std::vector<uint8_t> out;
  while (out.size() < kStreamBytes) {
    out.push_back(rng.Next() % 2 ? 'T' : 't');
    out.push_back(static_cast<uint8_t>(rng.Next() % 8));
    for (int w = 0; w < 6; ++w) {
      uint32_t word = rng.Next() & 0xFFFF;
      out.push_back(static_cast<uint8_t>(word >> 8));
      out.push_back(static_cast<uint8_t>(word));
    }
    out.push_back(0xFF);
    out.push_back(0xFF);
  }
  return out;
}

template <typename Framer>
void RunFramer(benchmark::State& state, const std::vector<uint8_t>& stream, Framer& framer) {
  int64_t frames = 0;
  for (auto _ : state) {
    for (uint8_t b : stream) {
      if (framer.Push(b) == FrameEvent::kAccepted) {
        ++frames;
        benchmark::DoNotOptimize(framer.Frame().data());
      }
    }
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) *
                          static_cast<int64_t>(stream.size()));
  state.counters["frames"] = benchmark::Counter(static_cast<double>(frames),
                                                benchmark::Counter::kIsRate);
}

void BM_AsciiFramer(benchmark::State& state) {
  static const std::vector<uint8_t> stream = AsciiStream();
  AsciiFramer framer(12);
  RunFramer(state, stream, framer);
}
BENCHMARK(BM_AsciiFramer);

void BM_IceFramer(benchmark::State& state) {
  static const std::vector<uint8_t> stream = IceStream();
  IceFramer framer;
  RunFramer(state, stream, framer);
}
BENCHMARK(BM_IceFramer);

void BM_BinaryFramer(benchmark::State& state) {
  static const std::vector<uint8_t> stream = BinaryStream();
  BinaryFramer framer;
  RunFramer(state, stream, framer);
}
BENCHMARK(BM_BinaryFramer);

void BM_FrameCount(benchmark::State& state) {
  int32_t counter = 0;
  int64_t posts = 0;
  for (auto _ : state) {
    FrameCountStep step = CountFrame(counter, 5, (counter & 3) != 0);
    counter = step.counter;
    posts += step.post ? 1 : 0;
    benchmark::DoNotOptimize(posts);
  }
}
BENCHMARK(BM_FrameCount);

}  // namespace
}  // namespace tq
