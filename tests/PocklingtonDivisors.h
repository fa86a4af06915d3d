// The prime divisors d of b whose conditions Pocklington's proof of
// N = k*b^n + 1 evaluates: largest first, until their part of N - 1,
// the sum of n ln d, exceeds half of ln(N - 1) = (n ln b + ln k)/2 (in
// extended precision), or all of them. The candidates are b, b - 1, ..., 2,
// each kept when it divides b and passes IsSmallPrime.
#pragma once

#include <cstdint>
#include <vector>

namespace numen {

std::vector<uint32_t> PocklingtonDivisors(uint32_t k, uint32_t b, uint32_t n);

}  // namespace numen
