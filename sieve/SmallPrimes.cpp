// SmallPrimes: plain trial division, done once per run (about 2 ms).
#include "sieve/SmallPrimes.h"

#include <cmath>

namespace numen {

namespace {
std::array<uint32_t, kSmallPrimeCount> smallPrimes;
bool smallPrimesReady = false;
}  // namespace

void InitSmallPrimes() {
    uint32_t count = 0;
    for (uint32_t i = 3; i < kSmallPrimeBound; i += 2) {
        const uint32_t s = uint32_t(std::sqrt(double(i))) + 1;
        bool prime = true;
        for (uint32_t j = 3; j <= s && prime; j += 2) prime = i % j != 0;
        if (prime) smallPrimes[count++] = i;
    }
    smallPrimesReady = count == kSmallPrimeCount;
}

const std::array<uint32_t, kSmallPrimeCount>& SmallPrimes() { return smallPrimes; }

bool SmallPrimesReady() { return smallPrimesReady; }

}  // namespace numen
