// Slow, obviously correct references for the sieve and trial-division tests:
// a plain sieve of Eratosthenes and trial division by every odd number.
#pragma once

#include <algorithm>
#include <cstdint>
#include <vector>

namespace numen::testing {

// The primes below `bound`, ascending, from a plain sieve of Eratosthenes.
inline std::vector<uint32_t> PlainPrimes(uint32_t bound) {
    std::vector<bool> composite(bound, false);
    std::vector<uint32_t> primes;
    for (uint64_t i = 2; i < bound; ++i) {
        if (composite[i]) continue;
        primes.push_back(uint32_t(i));
        for (uint64_t j = i * i; j < bound; j += i) composite[j] = true;
    }
    return primes;
}

// The odd numbers x > 1 in [lo, hi) with no factor d, 1 < d < min(x, 65536):
// every multiple of every prime below 65536 crossed off, the prime itself kept.
inline std::vector<uint64_t> PlainSurvivors(uint64_t lo, uint64_t hi) {
    static const std::vector<uint32_t> primes = PlainPrimes(65536);
    std::vector<bool> struck(hi - lo, false);
    for (uint64_t p : primes) {
        for (uint64_t m = std::max((lo + p - 1) / p * p, 2 * p); m < hi; m += p) struck[m - lo] = true;
    }
    std::vector<uint64_t> out;
    for (uint64_t x = lo | 1; x < hi; x += 2)
        if (x > 1 && !struck[x - lo]) out.push_back(x);
    return out;
}

// The smallest factor of x (>= 2) that is at most `bound`, or 0: trial
// division by 2 and every odd number.
inline uint64_t SmallestFactorUpTo(uint64_t x, uint64_t bound) {
    if (x % 2 == 0) return 2;
    for (uint64_t d = 3; d <= bound && d * d <= x; d += 2)
        if (x % d == 0) return d;
    return x <= bound && x > 1 ? x : 0;
}

}  // namespace numen::testing
