#include "tests/ExactPrime64.h"

namespace numen {

namespace {

uint64_t MulMod(uint64_t a, uint64_t b, uint64_t m) {
    return uint64_t((unsigned __int128)a * b % m);
}

uint64_t PowMod(uint64_t a, uint64_t e, uint64_t m) {
    uint64_t result = 1 % m;
    a %= m;
    while (e != 0) {
        if (e & 1) result = MulMod(result, a, m);
        a = MulMod(a, a, m);
        e >>= 1;
    }
    return result;
}

// n odd, n > 37, n - 1 = d 2^s with d odd.
bool StrongProbablePrime(uint64_t n, uint64_t a, uint64_t d, unsigned s) {
    uint64_t x = PowMod(a, d, n);
    if (x == 1 || x == n - 1) return true;
    for (unsigned r = 1; r < s; ++r) {
        x = MulMod(x, x, n);
        if (x == n - 1) return true;
    }
    return false;
}

}  // namespace

bool IsPrime64(uint64_t n) {
    static constexpr uint64_t kBases[] = {2, 3, 5, 7, 11, 13, 17, 19, 23, 29, 31, 37};
    if (n < 2) return false;
    for (uint64_t p : kBases) {
        if (n == p) return true;
        if (n % p == 0) return false;
    }
    uint64_t d = n - 1;
    unsigned s = 0;
    while ((d & 1) == 0) {
        d >>= 1;
        ++s;
    }
    for (uint64_t a : kBases)
        if (!StrongProbablePrime(n, a, d, s)) return false;
    return true;
}

}  // namespace numen
