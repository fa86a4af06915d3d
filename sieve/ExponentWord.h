// ExponentWord: the exponent n of a powering, in the order the left-to-right
// square-and-multiply reads it, and the start table that lets base 2 skip
// its first five bits.
//
// The word holds the bits of n below its leading 1 in reverse order, with a
// 1 above them as an end mark. Read from bit 0 upward it gives the bits of n
// from the second-highest down to bit 0; the powering stops at w = 1.
//
//     n = 1 0 1 1 0 (22)   ->   w = 1 0 1 1 0 reversed below the mark:
//         ^ leading 1               w = 0b1'0110  read 0,1,1,0 from bit 0
#pragma once

#include <array>
#include <cstdint>

namespace numen {

// Requires n >= 1. Computed once per trial division.
constexpr uint32_t ExponentWord(uint32_t n) {
    uint32_t w = 1;
    while (n != 1) {
        w = 2 * w + (n & 1);
        n >>= 1;
    }
    return w;
}

// The exponent back from its word (for tests and for short exponents).
constexpr uint32_t ExponentOfWord(uint32_t w) {
    uint32_t n = 1;
    for (; w != 1; w >>= 1) n = 2 * n + (w & 1);
    return n;
}

// Entry i is 16 + r(i), r(i) the 4-bit value i with its bits reversed: the
// first five bits of n, when the low four bits of its word are i. The power
// 2^kStartShift[i] replaces the first four squarings of base 2.
inline constexpr std::array<uint32_t, 16> kStartShift = {16, 24, 20, 28, 18, 26, 22, 30,
                                                         17, 25, 21, 29, 19, 27, 23, 31};

// How a power of two 2^n is built: start from 2^shift, then square (and
// double on a 1 bit) along the word `rest`.
struct Base2Start {
    uint32_t shift;
    uint32_t rest;
};

// n < 32 (w < 32) starts from 2^n directly; otherwise from the start table.
constexpr Base2Start PlanBase2(uint32_t w) {
    if (w < 32) return {ExponentOfWord(w), 1};
    return {kStartShift[w & 15], w >> 4};
}

}  // namespace numen
