#include "tests/PocklingtonDivisors.h"

#include <cmath>

#include "tests/PlusOneTest.h"

namespace numen {

std::vector<uint32_t> PocklingtonDivisors(uint32_t k, uint32_t b, uint32_t n) {
    const long double half =
        (n * std::log(static_cast<long double>(b)) + std::log(static_cast<long double>(k))) / 2;
    long double proved = 0;
    std::vector<uint32_t> divisors;
    for (uint32_t d = b; d >= 2; --d) {
        if (b % d != 0 || !IsSmallPrime(d)) continue;
        divisors.push_back(d);
        proved += n * std::log(static_cast<long double>(d));
        if (proved > half) break;
    }
    return divisors;
}

}  // namespace numen
