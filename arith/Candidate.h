// Candidate: the number under test, N = k*b^n + c, named by its four words
// (k, b, n unsigned 32-bit, c signed 32-bit). It travels as one value from
// the loops through trial division, the modular steps and the reductions'
// caches to the result lines and the found list; nothing here computes N.
//
// Its forms: c = +1 and c = -1 are the two families of the search; any
// other offset is a chain member of the related-prime walk (odd c >= 3, or
// their negatives in tests). A generalized Fermat number is b^n + 1 with
// n a power of two (k = 1, c = +1), the form its own test and its own trial
// division take.
#pragma once

#include <cstdint>

namespace numen {

struct Candidate {
    uint32_t k = 0;
    uint32_t b = 0;
    uint32_t n = 0;
    int32_t c = 0;

    bool operator==(const Candidate&) const = default;

    constexpr bool isPlusOne() const { return c == 1; }
    constexpr bool isMinusOne() const { return c == -1; }
    // Neither +1 nor -1.
    constexpr bool isChainOffset() const { return c != 1 && c != -1; }
    // b^n + 1 with k = 1 and n = 2^m, m >= 0.
    constexpr bool isGeneralizedFermat() const { return k == 1 && c == 1 && n != 0 && (n & (n - 1)) == 0; }

    // |c|, also for c = -2^31 (where -c overflows).
    constexpr uint32_t offsetMagnitude() const { return c < 0 ? uint32_t(0) - uint32_t(c) : uint32_t(c); }
};

}  // namespace numen
