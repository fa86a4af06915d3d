// The three user-facing benchmarks: the main one (trial division and
// squarings modulo 3*2^n + 1, scored as NumenMarks), the generalized-Fermat
// one and the base-3 one. Lines go to the pane only; a stop ends them
// silently (no further line, no "cestfini").
//
// Main benchmark: "BENCH 4.0"; the trial division of 432711*2^43271 + 1
// (mark 1, C = 2770; a divisor found is "Fatal error"); three warm-up sizes
// n = 4000c, count 32768/c (c = 1, 2, 4); eight marked sizes n = 32000*2^i,
// count 4096/2^i with their constants C; three large sizes n = 8192000c,
// count 16/c. Mark = trunc(C / t + 0.5) for the timing's total seconds t;
// NumenMark is the integer mean of the marks.
//
// Generalized-Fermat benchmark: n = 2^(i+8), count 2^(16-i), i = 0 .. 14,
// each at the largest even base the transform takes for n.
// Base-3 benchmark: n = 3000s, count 16384/s, s = 1, 2, 4, .. 4096, modulo
// 2*3^n + 1.
//
// An arithmetic failure prints the error line and "cestfini" but, unlike a
// search, leaves the checkpoint files alone: a benchmark never writes them,
// so those present belong to a stopped search the user may continue.
#pragma once

#include <cstdint>
#include <vector>

#include "arith/Candidate.h"
#include "search/BenchmarkTimings.h"
#include "search/SearchRun.h"

namespace numen {

struct SquaringSize {
    uint32_t n;
    uint32_t count;
};

struct MarkedSize {
    uint32_t n;
    uint32_t count;
    double constant;  // seconds the reference machine took: mark 1
};

// The main benchmark's workload; Standard() is the one users run, tests
// pass smaller ones.
struct MainBenchmarkPlan {
    Candidate trialCandidate;
    double trialConstant;
    uint32_t k;  // of the squaring sizes k*2^n + 1
    std::vector<SquaringSize> warmUp;
    std::vector<MarkedSize> marked;  // marks 2, 3, ...
    std::vector<SquaringSize> large;
    static MainBenchmarkPlan Standard();
};

// The 15 sizes of the generalized-Fermat benchmark and the 13 of the base-3
// benchmark.
std::vector<SquaringSize> StandardGfnSizes();
std::vector<SquaringSize> StandardBase3Sizes();

// Thread procedures; each returns 0.
int MainBenchmark(SearchRun& run);
int GfnBenchmark(SearchRun& run);
int Base3Benchmark(SearchRun& run);

// The same on a given workload and clock.
int MainBenchmark(SearchRun& run, const MainBenchmarkPlan& plan, const BenchmarkClock& clock);
int GfnBenchmark(SearchRun& run, const std::vector<SquaringSize>& sizes, const BenchmarkClock& clock);
int Base3Benchmark(SearchRun& run, const std::vector<SquaringSize>& sizes, const BenchmarkClock& clock);

}  // namespace numen
