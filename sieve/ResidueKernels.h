// Residue kernels: r = k*b^n mod p for two moduli at once, and b^(2^m)
// mod q for four, the inner loops of trial division.
//
// Left-to-right square-and-multiply over the ExponentWord of n: start from
// b, then per bit square and, on a 1, multiply by b; last, multiply by k.
// For b = 2 the multiply is a doubling folded into the square (2x^2 < pR
// still holds) and the first five bits come from the start table. The two
// chains are independent and interleaved step by step, so one chain's
// multiplies fill the latency of the other's.
//
// The arithmetic is exact (Montgomery form, Montgomery.h): residues are
// always in [0, p), whatever the width. The 32-bit kernels need p < 2^31,
// the 64-bit ones p < 2^62 (2x^2 < pR), the generalized-Fermat kernel
// q < 2^61. Moduli are odd, except that the first of a pair may be 2 (the
// first pair of every division is (2, 3)).
#pragma once

#include <array>
#include <cstdint>

#include "sieve/ExponentWord.h"
#include "sieve/Montgomery.h"

namespace numen {

// k*b^n mod 2, for n >= 1.
constexpr uint32_t ResidueModTwo(uint32_t k, uint32_t b) { return k & b & 1; }

// The kernels are written for any number of lanes L (moduli carried side
// by side); the pair kernels below are L = 2. Trial division runs two pairs
// at once (L = 4): four independent chains hide the multiply latency, and the
// pairs are still tested one after the other.

// k*2^n mod p[j] (p < 2^31); start = PlanBase2(ExponentWord(n)).
template <int L>
inline void ResiduesBase2W32(uint32_t k, Base2Start start, const uint32_t* p, uint32_t* r) {
    Montgomery32 m[L] = {};
    uint32_t x[L];
    for (int j = 0; j < L; ++j) {
        m[j] = Montgomery32(p[j] | 1);   // p = 2 is answered at the end
        x[j] = m[j].powerOfTwo(start.shift);
    }
    for (uint32_t w = start.rest; w != 1; w >>= 1) {
        const uint32_t bit = w & 1;
        for (int j = 0; j < L; ++j) x[j] = m[j].reduce((uint64_t(x[j]) * x[j]) << bit);
    }
    for (int j = 0; j < L; ++j) r[j] = p[j] == 2 ? 0 : m[j].reduce(uint64_t(x[j]) * k);
}

// k*b^n mod p[j] (p < 2^31, any b); w = ExponentWord(n).
template <int L>
inline void ResiduesW32(uint32_t k, uint32_t b, uint32_t w, const uint32_t* p, uint32_t* r) {
    Montgomery32 m[L] = {};
    uint32_t base[L], x[L];
    for (int j = 0; j < L; ++j) {
        m[j] = Montgomery32(p[j] | 1);
        x[j] = base[j] = m[j].toForm(b);
    }
    for (; w != 1; w >>= 1) {
        for (int j = 0; j < L; ++j) x[j] = m[j].reduce(uint64_t(x[j]) * x[j]);
        if (w & 1)
            for (int j = 0; j < L; ++j) x[j] = m[j].reduce(uint64_t(x[j]) * base[j]);
    }
    for (int j = 0; j < L; ++j) r[j] = p[j] == 2 ? ResidueModTwo(k, b) : m[j].reduce(uint64_t(x[j]) * k);
}

// k*2^n mod p[j] (p < 2^62).
template <int L>
inline void ResiduesBase2W64(uint32_t k, Base2Start start, const uint64_t* p, uint64_t* r) {
    Montgomery64 m[L] = {};
    uint64_t x[L];
    for (int j = 0; j < L; ++j) {
        m[j] = Montgomery64(p[j] | 1);
        x[j] = m[j].powerOfTwo(start.shift);
    }
    for (uint32_t w = start.rest; w != 1; w >>= 1) {
        const uint32_t bit = w & 1;
        for (int j = 0; j < L; ++j) x[j] = m[j].reduce((static_cast<unsigned __int128>(x[j]) * x[j]) << bit);
    }
    for (int j = 0; j < L; ++j) r[j] = p[j] == 2 ? 0 : m[j].mul(x[j], k);
}

// k*b^n mod p[j] (p < 2^62, any b).
template <int L>
inline void ResiduesW64(uint32_t k, uint32_t b, uint32_t w, const uint64_t* p, uint64_t* r) {
    Montgomery64 m[L] = {};
    uint64_t base[L], x[L];
    for (int j = 0; j < L; ++j) {
        m[j] = Montgomery64(p[j] | 1);
        x[j] = base[j] = m[j].toForm(b);
    }
    for (; w != 1; w >>= 1) {
        for (int j = 0; j < L; ++j) x[j] = m[j].mul(x[j], x[j]);
        if (w & 1)
            for (int j = 0; j < L; ++j) x[j] = m[j].mul(x[j], base[j]);
    }
    for (int j = 0; j < L; ++j) r[j] = p[j] == 2 ? ResidueModTwo(k, b) : m[j].mul(x[j], k);
}

// The pair kernels: residues of p1 and p2 in r[0], r[1].
inline void ResiduePairBase2W32(uint32_t k, Base2Start start, uint32_t p1, uint32_t p2, uint32_t r[2]) {
    const uint32_t p[2] = {p1, p2};
    ResiduesBase2W32<2>(k, start, p, r);
}
inline void ResiduePairW32(uint32_t k, uint32_t b, uint32_t w, uint32_t p1, uint32_t p2, uint32_t r[2]) {
    const uint32_t p[2] = {p1, p2};
    ResiduesW32<2>(k, b, w, p, r);
}
inline void ResiduePairBase2W64(uint32_t k, Base2Start start, uint64_t p1, uint64_t p2, uint64_t r[2]) {
    const uint64_t p[2] = {p1, p2};
    ResiduesBase2W64<2>(k, start, p, r);
}
inline void ResiduePairW64(uint32_t k, uint32_t b, uint32_t w, uint64_t p1, uint64_t p2, uint64_t r[2]) {
    const uint64_t p[2] = {p1, p2};
    ResiduesW64<2>(k, b, w, p, r);
}

// Bit j set when b^(2^m) = -1 mod q[j]; the q[j] odd, 3 <= q < 2^61.
unsigned GfnMinusOneMask(uint32_t b, uint32_t m, const std::array<uint64_t, 4>& q);

}  // namespace numen
