#include "report/FactorCheck.h"

#include "arith/ArithmeticFault.h"

namespace numen {

namespace {

using u128 = unsigned __int128;

uint64_t MulMod(uint64_t x, uint64_t y, uint64_t f) { return uint64_t(u128(x) * y % f); }

uint64_t PowMod(uint64_t base, uint32_t e, uint64_t f) {
    uint64_t result = 1 % f, x = base % f;
    for (; e != 0; e >>= 1) {
        if (e & 1) result = MulMod(result, x, f);
        x = MulMod(x, x, f);
    }
    return result;
}

}  // namespace

uint64_t CandidateResidue(const Candidate& N, uint64_t f) {
    if (f == 0) throw ArithmeticFault("factor check: zero divisor");
    const uint64_t kbn = MulMod(N.k % f, PowMod(N.b, N.n, f), f);
    const uint64_t cRes = N.offsetMagnitude() % f;
    if (N.c >= 0) return uint64_t((u128(kbn) + cRes) % f);
    return kbn >= cRes ? kbn - cRes : kbn + (f - cRes);
}

bool CandidateEquals(const Candidate& N, uint64_t f) {
    const uint32_t k = N.k, b = N.b, n = N.n;
    // N = f needs k*b^n = f - c, which lies in (-2^31, 2^64 + 2^31); stop
    // multiplying as soon as the product passes that, long before 128 bits.
    const __int128 target = __int128(f) - N.c;
    if (target < 0) return false;
    u128 v = k;
    if (n != 0 && b < 2) return u128(k) * b == u128(target);  // b^n is b
    for (uint32_t i = 0; i < n && v != 0; ++i) {
        v *= b;
        if (v > u128(target)) return false;
    }
    return v == u128(target);
}

}  // namespace numen
