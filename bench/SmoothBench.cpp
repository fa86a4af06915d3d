// numen-bench smooth: one weighted step (square + carry pass) modulo
// 3*2^n + 1 across the 2^20 .. 2^21 bit range, where the planner's lengths
// of 3, 5 and 7 sub-arrays fill the gaps between the powers of two:
//   step-base2-smooth-<n>  the planner's digit count D (dispatch's family),
//                          beside the smallest power of two the rule allows
//                          at n (ref=pow2), with the time per bit of n and
//                          the growth of that from the row before.
#include <cmath>
#include <cstdio>
#include <random>
#include <string>

#include "arith/BigInt.h"
#include "arith/ReduceBase2.h"
#include "arith/WeightedTransform.h"
#include "bench/RandomResidue.h"
#include "bench/Reference.h"
#include "bench/Timing.h"
#include "bench/Topics.h"

namespace numen::bench {

namespace {

volatile uint32_t sink;

// The digit count the rule allowed before the sub-array lengths: the
// smallest power of two whose bits per digit fit.
uint32_t PowerOfTwoDigits(uint32_t k, uint32_t n, int32_t c) {
    const double bits = double(n) + std::log2(double(k));
    uint32_t D = kWeightedMinDigits;
    while (bits / D > WeightedBitLimit(D, k, c)) D *= 2;
    return D;
}

double StepMicroseconds(uint32_t k, uint32_t n, uint32_t D, const BigInt& x) {
    WeightedTransform t;
    t.planDigits(k, n, 1, D, CurrentWeightedSettings());
    t.set(x);
    return MinimumMicroseconds([&] { sink = uint32_t(t.squareStep() * 1e6); });
}

}  // namespace

void RunSmoothBench() {
    StartLikeTheProgram("numen-bench-smooth");
    std::printf("# one weighted step modulo 3*2^n + 1 at the planner's D (p*2^s) and, ref=pow2, at the smallest "
                "power of two the rule allows; ns_per_bit = ours/n, growth = its ratio to the row before\n");
    std::mt19937_64 rng(2026);
    const uint32_t k = 3;
    double lastPerBit = 0;
    // 2^20 + 2^17 + 2^15 is just beyond what 2^16 digits hold (about 1.19e6 bits).
    for (uint32_t n : {(1u << 20) - (1u << 14), (1u << 20) + (1u << 14), (1u << 20) + (1u << 17) + (1u << 15),
                       (1u << 20) * 5 / 4, (1u << 20) * 3 / 2,
                       (1u << 20) * 7 / 4, (1u << 21) - (1u << 14)}) {
        const WeightedPlan plan = PlanWeighted(k, n, 1);
        if (!plan.served) continue;
        const BigInt x = RandomBelow(Base2Modulus(k, n, 1), rng);
        const double ours = StepMicroseconds(k, n, plan.digits, x);
        const uint32_t pow2 = PowerOfTwoDigits(k, n, 1);
        const double ref = pow2 == plan.digits ? ours : StepMicroseconds(k, n, pow2, x);
        const double perBit = 1e3 * ours / n;
        std::printf("case=step-base2-smooth-%u ours_us=%.3f ref=pow2 ref_us=%.3f ratio=%.3f digits=%u pow2_digits=%u "
                    "ns_per_bit=%.4f growth=%.3f\n",
                    n, ours, ref, ours / ref, plan.digits, pow2, perBit, lastPerBit > 0 ? perBit / lastPerBit : 1.0);
        std::fflush(stdout);
        lastPerBit = perBit;
    }
}

}  // namespace numen::bench
