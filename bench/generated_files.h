// Generated data files for the benchmarks, and the process's peak memory.
#pragma once

#include <cstdint>
#include <filesystem>

namespace tq::bench {

// The folder of the generated files; removed at exit.
const std::filesystem::path& BenchFolder();

// A one-line TQ68-MK2 survey in Auto mode: line start, then `readings`
// readings with a GPS sentence every 10 readings and a new station every
// 5000. Made once per size.
std::filesystem::path GeneratedFile(int64_t readings);

// Resets the process's peak resident size so the next reading covers one run.
void ResetPeakMemory();
// The peak resident size since the last reset, in kB.
double PeakMemoryKb();

}  // namespace tq::bench
