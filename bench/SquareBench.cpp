// numen-bench square: one transform square per kernel family this processor
// runs, for BigInt operands of 2^15 .. 2^24 bits and RadixInt operands of
// the same size in base 3 and base 10, beside GMP squaring the same value
// (mpz_mul) and beside FFTW's complex forward + backward pair of the same
// transform length L (the floor any complex-FFT product pays). Then one
// transform product of two different BigInts per family at 2^17, 2^20 and
// 2^22 bits, beside mpz_mul of the same pair and the same FFTW pair. Each
// case gives two rows, ref=gmp and ref=fftw. The time of a square or
// product includes copying the operand back in (one pass over n words,
// against the transform's L log L).
#include <gmp.h>

#include <cmath>
#include <cstdio>
#include <random>
#include <string>
#include <vector>

#include "arith/BigInt.h"
#include "arith/ProcessorProfile.h"
#include "arith/RadixChoice.h"
#include "arith/RadixInt.h"
#include "arith/TransformPlan.h"
#include "arith/TransformProduct.h"
#include "arith/kernels/KernelFamily.h"
#include "bench/Reference.h"
#include "bench/Timing.h"
#include "bench/Topics.h"

namespace numen::bench {

namespace {

volatile uint32_t sink;

// The start-up the program would make, and the profile it chose with.
void Start() {
    StartLikeTheProgram("numen-bench-square");
    const ProcessorProfile& profile = CurrentProcessorProfile();
    std::printf("# processor: vendor=%s family=%d sse=%d avx=%d gap=%d lat64k=%d L2=%u\n",
                profile.probe.vendor, profile.family, profile.sseLevel, profile.avxLevel, profile.gap,
                profile.lat64k, profile.L2);
}

void ToMpz(mpz_t out, const BigInt& x) { mpz_import(out, x.length(), -1, 4, 0, 0, x.words()); }

void ToMpz(mpz_t out, const RadixInt& x) {
    BigInt b = x.toBigInt();
    ToMpz(out, b);
}

// Every family this processor runs. A family with empty slots would run as
// the reference family under its own name, so it gets no row until filled.
std::vector<const KernelFamily*> Families() {
    std::vector<const KernelFamily*> runnable;
    for (const KernelFamily* f : {&X87Kernels(), &X87PrefetchKernels(), &AmdKernels(), &Sse2Kernels(),
                                  &Avx2Kernels(), &Avx512Kernels()}) {
        if (!KernelFamilyRuns(*f, CurrentProcessorProfile())) continue;
        if (KernelFamilyComplete(*f))
            runnable.push_back(f);
        else
            std::printf("# family %s: not complete, no rows\n", f->name);
    }
    return runnable;
}

// Rows for one operand: `a` is squared by every family (forced), GMP squares
// the same value; `fftw` is the pair of length L.
template <class Int>
void BenchOperand(const std::string& type, uint32_t bits, const Int& a, double fftw) {
    mpz_t ma, mr;
    mpz_inits(ma, mr, nullptr);
    ToMpz(ma, a);
    double gmp = MinimumMicroseconds([&] { mpz_mul(mr, ma, ma); });
    const KernelFamily& chosen = SquaringKernels();
    for (const KernelFamily* f : Families()) {
        ForceSquaringKernels(*f);
        Int r(a);
        double ours = MinimumMicroseconds([&] {
            r = a;
            r.square();
            sink = r.length();
        });
        std::string name = "square-" + type + "-" + f->name + "-" + std::to_string(bits);
        PrintRow(name, ours, "gmp", gmp);
        PrintRow(name, ours, "fftw", fftw);
    }
    ForceSquaringKernels(chosen);
    mpz_clears(ma, mr, nullptr);
}

// Rows for one product a*b of two different BigInts of the same length: each
// family through its own TransformSettings, GMP on the same pair.
void BenchProduct(uint32_t bits, const BigInt& a, const BigInt& b, double fftw) {
    mpz_t ma, mb, mr;
    mpz_inits(ma, mb, mr, nullptr);
    ToMpz(ma, a);
    ToMpz(mb, b);
    double gmp = MinimumMicroseconds([&] { mpz_mul(mr, ma, mb); });
    const ProcessorProfile& profile = CurrentProcessorProfile();
    for (const KernelFamily* f : Families()) {
        const TransformSettings settings{f, profile.lat64k, profile.gap};
        BigInt r(a);
        double ours = MinimumMicroseconds([&] {
            r = a;
            TransformMultiply(r, b, settings);
            sink = r.length();
        });
        std::string name = std::string("mul-bigint-") + f->name + "-" + std::to_string(bits);
        PrintRow(name, ours, "gmp", gmp);
        PrintRow(name, ours, "fftw", fftw);
    }
    mpz_clears(ma, mb, mr, nullptr);
}

BigInt RandomBigInt(uint32_t words, std::mt19937_64& rng) {
    BigInt a;
    a.reserve(words);
    for (uint32_t i = 0; i < words; ++i) a.words()[i] = uint32_t(rng());
    a.words()[words - 1] |= 0x80000000u;
    a.setLengthAndSign(words, false);
    return a;
}

}  // namespace

void RunSquareBench() {
    Start();
    std::printf("# one square per family; ref=gmp: mpz_mul(a, a); ref=fftw: complex forward+backward of length L\n");
    std::printf("# mul rows: one product a*b per family; ref=gmp: mpz_mul(a, b); ref=fftw as for the square\n");
    std::mt19937_64 rng(2026);
    for (uint32_t bits : {1u << 15, 1u << 17, 1u << 19, 1u << 20, 1u << 22, 1u << 24}) {
        const uint32_t words = bits / 32;
        BigInt a = RandomBigInt(words, rng);
        const uint32_t bigLength = TransformLength(words, DigitSystem::kBinary16);
        std::printf("# bigint %u bits: L = %u\n", bits, bigLength);
        const double bigFftw = FftwPairMicroseconds(bigLength, 1u << 18);
        BenchOperand("bigint", bits, a, bigFftw);
        if (bits == 1u << 17 || bits == 1u << 20 || bits == 1u << 22) {
            BigInt b = RandomBigInt(words, rng);
            BenchProduct(bits, a, b, bigFftw);
        }
        for (uint32_t base : {3u, 10u}) {
            const uint32_t radix = RadixOf(base);
            const uint32_t digits = uint32_t(std::ceil(bits / std::log2(double(radix))));
            RadixInt x(radix);
            x.reserve(digits);
            for (uint32_t i = 0; i < digits; ++i) x.digits()[i] = uint32_t(rng() % radix);
            if (x.digits()[digits - 1] == 0) x.digits()[digits - 1] = 1;
            x.setLengthAndSign(digits, false);
            const uint32_t length = TransformLength(digits, DigitSystem::kRadix);
            std::printf("# radix %u (B = %u) %u bits: %u digits, L = %u\n", base, radix, bits, digits, length);
            BenchOperand("radix" + std::to_string(base), bits, x, FftwPairMicroseconds(length, 1u << 18));
        }
    }
}

}  // namespace numen::bench
