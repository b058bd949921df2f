// A console reporter that remembers each run's time, and prints ratios between
// named runs after all of them are done.
#ifndef BENCH_IMAGING_BENCHRATIOS_H
#define BENCH_IMAGING_BENCHRATIOS_H

#include <benchmark/benchmark.h>

#include <map>
#include <string>
#include <vector>

struct BenchRatio {
    std::string label;
    std::string ours;  // run names as Google Benchmark prints them
    std::string peer;
    double need;  // the peer's time over ours must reach this
};

// Runs the registered benchmarks, then prints peer time / our time for each ratio
// (above 1: we are faster; CPU time of the fastest repetition) and whether it
// meets its goal. Returns 0.
int RunWithRatios(int argc, char** argv, const std::vector<BenchRatio>& ratios);
// The same with the repetitions of all benchmarks interleaved at random, so that a busy
// spell of a shared machine slows both sides of a ratio alike.
int RunInterleavedWithRatios(int argc, char** argv, const std::vector<BenchRatio>& ratios);

#endif
