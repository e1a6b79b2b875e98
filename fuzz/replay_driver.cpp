// Runs a fuzz target without libFuzzer: seeded random inputs of varied length
// and shape (mostly frame-like bytes), so the same run is repeatable.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

int main(int argc, char** argv) {
  long runs = argc > 1 ? std::strtol(argv[1], nullptr, 10) : 10000;
  std::mt19937 random(12345);
  // Bytes the parsers care about, so random input reaches their deeper states.
  const uint8_t interesting[] = {'T', 't', 'I', '\r', '\n', 0xFF, '0', '9', '-', '+', '$', '*', ',', 'G', 'A', 'N', 'E',
                                 '.', 'e', ' ', 0x00, 0x36, 0x80, 0x06, 0x02};
  std::vector<uint8_t> input;
  for (long run = 0; run < runs; ++run) {
    size_t size = random() % (run % 10 == 0 ? 4096 : 64);
    input.resize(size);
    for (auto& byte : input) {
      byte = (random() % 2 == 0) ? interesting[random() % sizeof interesting]
                                 : static_cast<uint8_t>(random());
    }
    LLVMFuzzerTestOneInput(input.data(), input.size());
  }
  std::printf("%ld inputs replayed\n", runs);
  return 0;
}
