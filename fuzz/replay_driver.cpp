// Runs a fuzz target without libFuzzer: first every file of the seed corpus
// folder given, then seeded random inputs of varied length and shape (mostly
// frame-like bytes, and seeds with a few bytes changed), so the same run is
// repeatable.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

int main(int argc, char** argv) {
  long runs = argc > 1 ? std::strtol(argv[1], nullptr, 10) : 10000;
  std::vector<std::vector<uint8_t>> seeds;
  if (argc > 2 && std::filesystem::is_directory(argv[2])) {
    std::vector<std::filesystem::path> files;
    for (const auto& entry : std::filesystem::directory_iterator(argv[2])) files.push_back(entry.path());
    std::sort(files.begin(), files.end());
    for (const auto& file : files) {
      std::ifstream in(file, std::ios::binary);
      seeds.emplace_back(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
      LLVMFuzzerTestOneInput(seeds.back().data(), seeds.back().size());
    }
  }
  std::mt19937 random(12345);
  // Bytes the parsers care about, so random input reaches their deeper states.
  const uint8_t interesting[] = {'T', 't', 'I', '\r', '\n', 0xFF, '0', '9', '-', '+', '$', '*', ',', 'G', 'A', 'N', 'E',
                                 '.', 'e', ' ', 0x00, 0x36, 0x80, 0x06, 0x02};
  std::vector<uint8_t> input;
  for (long run = 0; run < runs; ++run) {
    if (!seeds.empty() && run % 2 == 1) {
      input = seeds[random() % seeds.size()];
      for (int change = 0; change < 4 && !input.empty(); ++change) {
        const size_t at = random() % input.size();
        switch (random() % 3) {
          case 0: input[at] = static_cast<uint8_t>(random()); break;
          case 1: input.insert(input.begin() + static_cast<std::ptrdiff_t>(at), static_cast<uint8_t>(random())); break;
          default: input.erase(input.begin() + static_cast<std::ptrdiff_t>(at)); break;
        }
      }
    } else {
      size_t size = random() % (run % 10 == 0 ? 4096 : 64);
      input.resize(size);
      for (auto& byte : input) {
        byte = (random() % 2 == 0) ? interesting[random() % sizeof interesting]
                                   : static_cast<uint8_t>(random());
      }
    }
    LLVMFuzzerTestOneInput(input.data(), input.size());
  }
  std::printf("%zu seeds and %ld inputs replayed\n", seeds.size(), runs);
  return 0;
}
