// numen-bench modular: one modular squaring step beside the bare square of
// the same size, for numbers of about 2^17, 2^20 and 2^22 bits:
//   base2      k*2^n + 1,  BigInt:   square, then foldBase2
//   radix10    k*10^n + 1, RadixInt: square, then reduceRadix
//   barrett10  k*10^n + 1, BigInt:   square, then reduceGeneral (two more
//              transform products of about the size of N)
// Both timings include copying the residue back in before each step.
// Then the generalized-Fermat transform at m = 2^16 and 2^20 digits and the
// planner's largest radix, per carry variant this processor runs, with its
// kernel family forced (x87 variants: x87 families, sse2: sse2, avx2 and
// avx512: their own):
//   gfn-step-<variant>-<m>   square + carry(1), beside FFTW's complex
//                            forward + backward pair of length m/2
//   gfn-carry-<variant>-<m>  the carry pass alone (multiplySmall(1): the
//                            same pass as carry without the square's
//                            division, so the digits keep their size)

#include <cmath>
#include <cstdio>
#include <random>
#include <string>
#include <vector>

#include "arith/BigInt.h"
#include "arith/GfnTransform.h"
#include "arith/ProcessorProfile.h"
#include "arith/RadixChoice.h"
#include "arith/RadixInt.h"
#include "arith/ReduceBase2.h"
#include "arith/ReduceGeneral.h"
#include "arith/ReduceRadix.h"
#include "arith/kernels/KernelFamily.h"
#include "bench/RandomResidue.h"
#include "bench/Reference.h"
#include "bench/Timing.h"
#include "bench/Topics.h"

namespace numen::bench {

namespace {

volatile uint32_t sink;

struct CarryCase {
    GfnCarryVariant variant;
    const KernelFamily& family;
    int32_t avxLevel;  // needed by the variant
};

// gfn-step and gfn-carry rows for m digits (see the head of the file).
void GfnVariantRows(uint32_t m, std::mt19937_64& rng) {
    const uint32_t radix = LargestGeneralizedFermatBase(m);
    const double fftw = FftwPairMicroseconds(m / 2, 1u << 19);
    const CarryCase cases[] = {
        {GfnCarryVariant::kX87, X87Kernels(), 0},
        {GfnCarryVariant::kX87Prefetch, X87PrefetchKernels(), 0},
        {GfnCarryVariant::kSse2, Sse2Kernels(), 0},
        {GfnCarryVariant::kAvx2, Avx2Kernels(), 1},
        {GfnCarryVariant::kAvx512, Avx512Kernels(), 2},
    };
    std::vector<int32_t> digits(m);
    for (const CarryCase& c : cases) {
        if (c.avxLevel > CurrentProcessorProfile().avxLevel) continue;
        GfnSettings settings = CurrentGfnSettings();
        settings.family = &c.family;
        settings.carry = c.variant;
        GfnTransform gfn;
        gfn.plan(m, radix, settings);
        for (int32_t& d : digits) d = int32_t(rng() % radix) - int32_t(radix / 2);
        gfn.setDigits(digits.data());
        const double step = MinimumMicroseconds([&] {
            gfn.square();
            gfn.carry(1);
        });
        const double carry = MinimumMicroseconds([&] { gfn.multiplySmall(1); });
        const std::string size = std::to_string(m);
        PrintRow(std::string("gfn-step-") + GfnCarryVariantName(c.variant) + "-" + size, step, "fftw", fftw);
        PrintRow(std::string("gfn-carry-") + GfnCarryVariantName(c.variant) + "-" + size, carry);
    }
}

// One generalized-Fermat step (square + carry) modulo B^m + 1 at the
// planner's largest radix, beside the BigInt square of a value of the same
// number of bits. The residue evolves from random digits, as in a power run.
void GfnRow(uint32_t m, std::mt19937_64& rng) {
    const uint32_t radix = LargestGeneralizedFermatBase(m);
    GfnTransform gfn;
    gfn.plan(m, radix);
    std::vector<int32_t> digits(m);
    for (int32_t& d : digits) d = int32_t(rng() % radix) - int32_t(radix / 2);  // balanced, as after a carry
    gfn.setDigits(digits.data());
    const double ours = MinimumMicroseconds([&] {
        gfn.square();
        gfn.carry(1);
    });
    const uint32_t bits = uint32_t(m * std::log2(double(radix)));
    BigInt x;
    const uint32_t words = (bits + 31) / 32;
    x.reserve(words);
    for (uint32_t i = 0; i < words; ++i) x.words()[i] = uint32_t(rng());
    x.setLengthAndSign(words, false);
    BigInt y(x);
    const double bare = MinimumMicroseconds([&] {
        y = x;
        y.square();
        sink = y.checksum();
    });
    PrintRow("gfn_m" + std::to_string(m) + "_" + std::to_string(bits), ours, "square", bare);
}

template <class Int, class Reduce>
void Row(const std::string& name, const Int& residue, Reduce&& reduce) {
    Int y(residue);
    double ours = MinimumMicroseconds([&] {
        y = residue;
        y.square();
        reduce(y);
        sink = y.checksum();
    });
    double bare = MinimumMicroseconds([&] {
        y = residue;
        y.square();
        sink = y.checksum();
    });
    PrintRow(name, ours, "square", bare);
}

}  // namespace

void RunModularBench() {
    StartLikeTheProgram("numen-bench-modular");
    std::printf("# one squaring step (square + reduction) beside the bare square of the same residue\n");
    std::mt19937_64 rng(2026);
    const uint32_t k = 1000003;
    for (uint32_t bits : {1u << 17, 1u << 20, 1u << 22}) {
        const std::string size = std::to_string(bits);
        const uint32_t n2 = bits - 20;
        BigInt x2 = RandomBelow(Base2Modulus(k, n2, 1), rng);
        Row("base2_" + size, x2, [&](BigInt& y) { foldBase2(y, k, n2, 1); });

        const uint32_t n10 = uint32_t((bits - 20) / std::log2(10.0));
        BigInt x10 = RandomBelow(GeneralModulus({k, 10, n10, 1}), rng);
        RadixInt r10(RadixOf(10), x10);
        Row("radix10_" + size, r10, [&](RadixInt& y) { reduceRadix(y, {k, 10, n10, 1}); });
        Row("barrett10_" + size, x10, [&](BigInt& y) { reduceGeneral(y, {k, 10, n10, 1}); });
    }
    // m digits of about 20 bits: about 2^17, 2^20 and 2^22 bits.
    for (uint32_t m : {1u << 13, 1u << 16, 1u << 18}) GfnRow(m, rng);
    std::printf("# generalized-Fermat step and carry pass per carry variant; ref=fftw: complex forward+backward of "
                "length m/2\n");
    for (uint32_t m : {1u << 16, 1u << 20}) GfnVariantRows(m, rng);
}

}  // namespace numen::bench
