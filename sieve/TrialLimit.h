// TrialLimit: how far a candidate is divided by small primes. The limit
// grows with the square of the candidate's size (about e^2/8 for e bits),
// the point where another prime costs about what it saves in tests; short
// candidates get 2^20, the tiniest 2^e.
#pragma once

#include <cstdint>

namespace numen {

// The "Manual PMax" preference: INI bPMax (on) and PMax (the limit).
struct ManualLimit {
    bool on = false;
    double pMax = 0;
};

// Binary size of b^n: n for b = 2, else floor(n * ln b / ln 2) in extended
// precision (saturated at 2^32 - 1).
uint32_t CandidateBits(uint32_t b, uint32_t n);

// The division limit for a size of e bits:
//   manual on        PMax truncated to an integer (0 disables trial division)
//   e < 20           2^e
//   20 <= e < 2897   2^20
//   e >= 2897        e * floor(e/8), exact
uint64_t TrialLimit(uint32_t e, ManualLimit manual = {});

// Above this limit the 64-bit kernels and Next64 are used from the prime 2 on.
inline constexpr uint64_t kLimit32 = 2100000000;

}  // namespace numen
