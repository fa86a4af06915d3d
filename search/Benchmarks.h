// The three user-facing benchmarks: the main one (trial division and
// squarings modulo 3*2^n + 1, scored as NumenMarks), the generalized-Fermat
// one and the base-3 one. Lines go to the pane only; a stop ends them
// silently.
#pragma once

#include "search/SearchRun.h"

namespace numen {

// Thread procedures; each returns 0.
int MainBenchmark(SearchRun& run);
int GfnBenchmark(SearchRun& run);
int Base3Benchmark(SearchRun& run);

}  // namespace numen
