// Phi_n(b), the Moebius function and the divisors of n (see CyclotomicValue.h).
#include "arith/CyclotomicValue.h"

#include <algorithm>
#include <vector>

namespace numen {

int Moebius(uint32_t m, uint32_t d) {
    uint32_t t = d;
    while (uint64_t(t) * t <= m && m % t != 0) ++t;
    if (uint64_t(t) * t > m) t = m;   // m itself is the smallest divisor >= d
    if (t < d || m < 2) return 1;     // no divisor at all (m = 1)
    if ((m / t) % t == 0) return 0;
    return -Moebius(m / t, t + 1);
}

std::vector<uint32_t> DivisorsOf(uint32_t n) {
    std::vector<uint32_t> divisors;
    for (uint32_t t = 1; uint64_t(t) * t <= n; ++t) {
        if (n % t != 0) continue;
        divisors.push_back(t);
        if (t != n / t) divisors.push_back(n / t);
    }
    std::sort(divisors.begin(), divisors.end());
    return divisors;
}

BigInt CyclotomicValue(uint32_t n, uint32_t b) {
    const std::vector<uint32_t> divisors = DivisorsOf(n);

    auto powerLessOne = [b](uint32_t t) {
        BigInt x;
        x.setPower(b, t);
        x.subInt(1);
        return x;
    };
    BigInt value(1);
    for (uint32_t t : divisors)
        if (Moebius(n / t, 2) == 1) value.mul(powerLessOne(t));
    BigInt quotient, rest;
    for (uint32_t t : divisors) {
        if (Moebius(n / t, 2) != -1) continue;
        quotient = value;
        quotient.divMod(rest, powerLessOne(t));
        swap(value, quotient);
    }
    return value;
}

}  // namespace numen
