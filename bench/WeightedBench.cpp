// numen-bench weighted: one modular squaring of N = 3*2^n + 1 with the
// residue kept in the weighted transform (arith/WeightedTransform.h) beside
// the exact square and fold of the power runs today, at n of about 2^17,
// 2^20 and 2^22 bits, each beside FFTW's complex forward + backward pair of
// length bits/32 (the length of a transform holding 32 bits per element):
//   step-base2-weighted-<bits>  square + carry pass, in the dispatch's family
//   step-base2-weighted-times-<bits>  the step times 3 with the product in
//                               the square's pass (squareStepTimes), beside
//                               squareStep + multiplySmall (ref)
//   step-base2-fold-<bits>      BigInt square + foldBase2 (the residue copied
//                               back in before each step)
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

void StepRows(uint32_t bits, std::mt19937_64& rng) {
    const uint32_t k = 3, n = bits - 2;
    const std::string size = std::to_string(bits);
    const double fftw = FftwPairMicroseconds(bits / 32, 1u << 17);
    const BigInt x = RandomBelow(Base2Modulus(k, n, 1), rng);
    WeightedTransform t;
    t.plan(k, n, 1);
    t.set(x);
    const double weighted = MinimumMicroseconds([&] { sink = uint32_t(t.squareStep() * 1e6); });
    PrintRow("step-base2-weighted-" + size, weighted, "fftw-bits32", fftw);
    t.set(x);
    const double times = MinimumMicroseconds([&] { sink = uint32_t(t.squareStepTimes(3) * 1e6); });
    t.set(x);
    const double separate = MinimumMicroseconds([&] {
        t.squareStep();
        sink = uint32_t(t.multiplySmall(3) * 1e6);
    });
    PrintRow("step-base2-weighted-times-" + size, times, "square+multiplySmall", separate);
    BigInt y(x);
    const double fold = MinimumMicroseconds([&] {
        y = x;
        y.square();
        foldBase2(y, k, n, 1);
        sink = y.checksum();
    });
    PrintRow("step-base2-fold-" + size, fold, "fftw-bits32", fftw);
}

}  // namespace

void RunWeightedBench() {
    StartLikeTheProgram("numen-bench-weighted");
    std::printf("# one squaring modulo 3*2^n + 1: weighted transform, and square + fold; ref=fftw-bits32: complex "
                "forward+backward of length bits/32\n");
    std::mt19937_64 rng(2026);
    for (uint32_t bits : {1u << 17, 1u << 20, 1u << 22}) StepRows(bits, rng);
}

}  // namespace numen::bench
