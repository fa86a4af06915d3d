// The radix of RadixInt for a base b: B(b) = b^m(b), the largest power of b
// not above 2^20, so that one radix digit carries m(b) base-b digits and
// multiplying by a power of b is a digit shift plus a small product.
//
// m is counted with exact integer products rather than from logarithms, so
// exact powers (b = 4: m = 10, B = 2^20) cannot lose a digit to rounding.
// A base above 2^20 (a generalized-Fermat base) has m = 0 and is its own
// radix.
//
// The limits of the inputs follow from the longest exact transform products
// (TransformPlan.h): a residue of n base-b digits fills ceil(n/m) radix
// digits, and its square must fit L = 2^20 radix digits (2^21 for base 2,
// whose residues are BigInts of 16-bit transform digits), 32 digits being
// kept free for the reductions.
#pragma once

#include <cmath>
#include <cstdint>

namespace numen {

// Largest m with b^m <= 2^20; 0 for b > 2^20. Requires b >= 2.
constexpr uint32_t RadixExponent(uint32_t b) {
    if (b < 2) return 0;
    uint32_t m = 0;
    for (uint64_t p = b; p <= (uint64_t(1) << 20); p *= b) ++m;
    return m;
}

// b^m(b), or b itself when m(b) <= 1.
constexpr uint32_t RadixOf(uint32_t b) {
    uint32_t m = RadixExponent(b);
    if (m <= 1) return b;
    uint32_t p = 1;
    for (uint32_t i = 0; i < m; ++i) p *= b;
    return p;
}

// Largest exponent n of k*b^n +- 1 the search accepts: m(b) 2^20 - 32 for
// b != 2, and 2^25 - 32 for b = 2. Requires 2 <= b <= 2^20.
constexpr uint32_t LargestExponent(uint32_t b) {
    return b == 2 ? (1u << 25) - 32 : RadixExponent(b) * (1u << 20) - 32;
}

// Largest base k of a generalized Fermat number k^n + 1 (n a power of two,
// n >= 1): floor(C / n^0.3) with the last bit cleared, C = 36,000,000 for
// n <= 2048 and 40,000,000 above. Beyond it the digits of the
// generalized-Fermat transform would carry too much round-off at that n.
// n^0.3 is taken as 2^(0.3 log2 n) in 80-bit precision, so a power of two
// whose 0.3 log2 n is whole (n = 1024, 2^20) gives the exact quotient.
inline uint32_t LargestGeneralizedFermatBase(uint32_t n) {
    const long double c = n <= 2048 ? 36000000.0L : 40000000.0L;
    const long double power = std::exp2(std::log2(static_cast<long double>(n)) * 3.0L / 10.0L);
    return uint32_t(std::floor(c / power)) & ~1u;
}

static_assert(RadixExponent(10) == 6 && RadixOf(10) == 1000000);
static_assert(RadixExponent(4) == 10 && RadixOf(4) == (1u << 20));
static_assert(RadixExponent(999999) == 1 && RadixOf(999999) == 999999);
static_assert(RadixExponent(2) == 20 && RadixOf(3) == 531441);

}  // namespace numen
