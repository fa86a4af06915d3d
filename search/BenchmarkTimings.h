// The timed workloads of the benchmarks. Each posts its progress text to
// the pane first (kind 0, no line end), reads the clock once before and
// once after the timed steps, and polls the running flag after every step:
// a cleared flag ends it at once with no result.
//
//   k*2^n + 1    x = 2^floor(n/3) - 1, one measured squaring with reduction,
//                then `count` timed squarings with reduction (the power
//                loop's fold); Err = the larger round-off of a measured
//                squaring of the final x and of 2^n - 1, after the timing.
//   b^n + 1      the generalized-Fermat transform planned for (n, b), set
//                to b - 1, log2 n + 1 untimed squarings (the number then
//                fills all n digits), then `count` timed ones, each a square
//                and a carry pass; Err = the transform's largest error.
//   2*3^n + 1    radix 3^12 digits, x = B^floor(n/36) - 1 (about 3^(n/3)),
//                one measured squaring with reduction, then `count` timed
//                steps of a squaring and reduction, steps 0, 2, 4, ... also
//                doubling and reducing again; Err = the larger round-off of
//                the measured squaring before and of one after the timing.
//   trial        TrialDivide of N to its own limit (no manual limit).
//
// Costs: what they time, plus a few squarings of the size around it.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <optional>

#include "arith/Candidate.h"
#include "report/ResultLog.h"

namespace numen {

// Elapsed wall time in seconds from an arbitrary origin. Steady() reads
// std::chrono::steady_clock; tests pass a scripted one.
struct BenchmarkClock {
    std::function<double()> seconds;
    static BenchmarkClock Steady();
};

struct TimingContext {
    ResultLog& log;  // pane texts only
    const std::atomic<bool>& running;
    const BenchmarkClock& clock;
};

struct Timing {
    double seconds = 0;  // elapsed over the timed steps
    double err = 0;      // largest round-off of the measured squarings
};

struct TrialTiming {
    double seconds = 0;
    bool found = false;  // a divisor was found
};

// Each returns nothing when the run was stopped.
std::optional<Timing> TimeBase2Squarings(const TimingContext& context, uint32_t k, uint32_t n, uint32_t count);
// b even, 2 <= b <= the largest generalized-Fermat base of n; n a power of
// two from 64 to 2^23. The transform's round-off guard (ArithmeticFault at
// 0.45) stays on.
std::optional<Timing> TimeGfnSquarings(const TimingContext& context, uint32_t b, uint32_t n, uint32_t count);
std::optional<Timing> TimeBase3Products(const TimingContext& context, uint32_t n, uint32_t count);
std::optional<TrialTiming> TimeTrialDivision(const TimingContext& context, const Candidate& N);

}  // namespace numen
