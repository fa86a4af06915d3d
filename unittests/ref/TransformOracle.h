// Helpers for the transform-product tests: the kernel families of this host,
// settings with a chosen shape, RadixInt <-> GMP conversions in
// O(M(n) log n) (so that the largest radix products can be checked), and
// the operands that are hardest for the round-off.
#pragma once

#include <gmp.h>

#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "arith/BigInt.h"
#include "arith/RadixInt.h"
#include "arith/TransformProduct.h"
#include "arith/kernels/KernelFamily.h"
#include "ref/GmpOracle.h"

namespace numen::testing {

// Whether this host can run the family (the AVX families need the
// processor's and the operating system's support).
inline bool HostRuns(const KernelFamily& family) {
    if (family.avxLevel >= 2) return __builtin_cpu_supports("avx512f");
    if (family.avxLevel == 1) return __builtin_cpu_supports("avx2") && __builtin_cpu_supports("fma");
    return true;
}

// The first four run on any x86-64 processor (SSE2 is part of the base
// instruction set; the AMD family only differs in its prefetch hints), the
// AVX families where the host has them.
inline std::vector<const KernelFamily*> AllFamilies() {
    std::vector<const KernelFamily*> all{&X87Kernels(), &X87PrefetchKernels(), &AmdKernels(), &Sse2Kernels()};
    for (const KernelFamily* f : {&Avx2Kernels(), &Avx512Kernels()})
        if (HostRuns(*f)) all.push_back(f);
    return all;
}

inline TransformSettings Settings(const KernelFamily& family, int32_t lat64k = 5, int32_t gap = 1) {
    return {&family, lat64k, gap};
}

inline std::string Describe(const TransformSettings& s) {
    return std::string("family=") + s.family->name + " lat64k=" + std::to_string(s.lat64k) +
           " gap=" + std::to_string(s.gap);
}

// sum digits[i] B^i, by halves: value = low + B^half * high.
inline void DigitsToMpz(mpz_t out, const uint32_t* digits, uint32_t n, uint32_t radix) {
    if (n <= 64) {
        mpz_set_ui(out, 0);
        for (uint32_t i = n; i-- > 0;) {
            mpz_mul_ui(out, out, radix);
            mpz_add_ui(out, out, digits[i]);
        }
        return;
    }
    uint32_t half = n / 2;
    Mpz low, high, power;
    DigitsToMpz(low, digits, half, radix);
    DigitsToMpz(high, digits + half, n - half, radix);
    mpz_ui_pow_ui(power, radix, half);
    mpz_mul(out, high, power);
    mpz_add(out, out, low);
}

inline Mpz ToMpz(const RadixInt& x) {
    Mpz m;
    DigitsToMpz(m, x.digits(), x.length(), x.radix());
    if (x.isNegative()) mpz_neg(m, m);
    return m;
}

// True when x has the value m, is normalised and every digit is below B.
inline bool SameValue(const RadixInt& x, mpz_srcptr m) {
    uint32_t n = x.length();
    if (n > x.capacity() || (n != 0 && x.digits()[n - 1] == 0)) return false;
    for (uint32_t i = 0; i < n; ++i)
        if (x.digits()[i] >= x.radix()) return false;
    return mpz_cmp(ToMpz(x).v, m) == 0;
}

// A RadixInt of exactly n digits (top digit non-zero) from the digit source.
template <class DigitAt>
RadixInt MakeRadixInt(uint32_t radix, uint32_t n, bool negative, DigitAt digitAt) {
    RadixInt x(radix);
    x.reserve(n);
    for (uint32_t i = 0; i < n; ++i) x.digits()[i] = digitAt(i);
    if (x.digits()[n - 1] == 0) x.digits()[n - 1] = 1;
    x.setLengthAndSign(n, negative);
    return x;
}

// Random radix operands, edge-biased like RandomOperands: random digits,
// all digits B - 1, all digits floor(B/2) (the balancing boundary), runs of
// B - 1 and 0.
inline RadixInt RandomRadixInt(std::mt19937_64& rng, uint32_t radix, uint32_t n, bool signed_ = true) {
    bool negative = signed_ && (rng() & 1);
    switch (rng() % 5) {
        case 0: return MakeRadixInt(radix, n, negative, [&](uint32_t) { return radix - 1; });
        case 1: return MakeRadixInt(radix, n, negative, [&](uint32_t) { return radix / 2; });
        case 2: {
            uint32_t runLength = 1 + uint32_t(rng() % 50);
            return MakeRadixInt(radix, n, negative,
                                [&](uint32_t i) { return (i / runLength) % 2 == 0 ? radix - 1 : 0u; });
        }
        default: return MakeRadixInt(radix, n, negative, [&](uint32_t) { return uint32_t(rng() % radix); });
    }
}

// Worst cases for the round-off: every balanced digit at the largest
// magnitude, so that all coefficients of the square add up with one sign.
// BigInt: 16-bit digits 0x8000, 0x7fff, 0x7fff, ... (each 0x7fff meets a
// carry of 1 and balances to -32768).
inline BigInt WorstCaseBigInt(uint32_t words) {
    BigInt x;
    x.reserve(words);
    for (uint32_t i = 0; i < words; ++i) x.words()[i] = 0x7fff7fffu;
    x.words()[0] = 0x7fff8000u;
    x.setLengthAndSign(words, false);
    return x;
}

inline BigInt AllOnesBigInt(uint32_t words, bool negative = false) {
    BigInt x;
    x.reserve(words);
    for (uint32_t i = 0; i < words; ++i) x.words()[i] = 0xffffffffu;
    x.setLengthAndSign(words, negative);
    return x;
}

// Radix digits floor(B/2), then floor(B/2) - 1: each balances to -ceil(B/2).
inline RadixInt WorstCaseRadixInt(uint32_t radix, uint32_t n) {
    return MakeRadixInt(radix, n, false, [&](uint32_t i) { return i == 0 ? radix / 2 : radix / 2 - 1; });
}

}  // namespace numen::testing
