// SmallPrimes: the 6541 odd primes from 3 to 65521, ascending. They sieve
// the windows of PrimeSieve, and every composite below 2^32 has one of them
// as a factor.
#pragma once

#include <array>
#include <cstdint>

namespace numen {

inline constexpr uint32_t kSmallPrimeCount = 6541;
// Every small prime is below this bound (the largest is 65521).
inline constexpr uint32_t kSmallPrimeBound = 65536;

// Fills the table by trial division of each odd i < 65536 by the odd j up
// to floor(sqrt(i)) + 1. Called at the start of every run; idempotent.
void InitSmallPrimes();

// The table; InitSmallPrimes must have run (PrimeSieve::Restart sees to it).
const std::array<uint32_t, kSmallPrimeCount>& SmallPrimes();

// True once InitSmallPrimes has filled the table.
bool SmallPrimesReady();

}  // namespace numen
