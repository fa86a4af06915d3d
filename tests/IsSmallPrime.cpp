#include "tests/PlusOneTest.h"

#include <cmath>

namespace numen {

bool IsSmallPrime(uint32_t q) {
    if (q <= 1) return false;
    if (q <= 3) return true;
    if (q % 2 == 0) return false;
    // Divisors up to floor(sqrt q) + 1, the bound kept in 64 bits.
    uint64_t root = uint64_t(std::sqrt(double(q)));
    while (root * root > q) --root;
    while ((root + 1) * (root + 1) <= q) ++root;
    for (uint32_t d = 3; d <= root + 1 && d < q; d += 2)
        if (q % d == 0) return false;
    return true;
}

}  // namespace numen
