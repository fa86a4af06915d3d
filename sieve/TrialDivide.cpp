// The three trial divisions: limits, the progress text, the walk over the
// divisors and the divisibility decision; the residues come from the
// kernels of ResidueKernels.h.
#include "sieve/TrialDivide.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include "arith/BigInt.h"
#include "arith/CyclotomicValue.h"
#include "sieve/ExponentWord.h"
#include "sieve/PrimeSieve.h"
#include "sieve/ResidueKernels.h"

namespace numen {

namespace {

// (-c) mod p in [0, p): p divides k*b^n + c exactly when k*b^n mod p equals
// it. Exact for every p, also for p <= |c| (chain offsets), where the short
// forms p - c and -c are wrong.
template <typename U>
inline U MinusCModP(int32_t c, U p) {
    const uint32_t a = c >= 0 ? uint32_t(c) : 0u - uint32_t(c);
    U r = a < p ? U(a) : U(a % p);
    if (c >= 0 && r != 0) r = p - r;
    return r;
}

// Walks the pairs of primes below `limit` and tests N with the residues of
// `kernel`, which computes two pairs at a time (four lanes); `next` draws
// the following divisor from the sieve. The pairs are still tested and the
// flag polled one pair after the other, and the first pair whose second
// member reaches the limit is left untested.
template <typename U, typename Next, typename Kernel>
bool DividePairs(bool& found, uint64_t limit, const Candidate& N, const TrialContext& context, Next next,
                 Kernel kernel) {
    PrimeSieve& sieve = SharedPrimeSieve();
    const int32_t c = N.c;
    // Index of the divisor among p[i], p[i + 1] (tested in that order), or -1.
    auto divides = [c](const U* p, const U* r, int i) {
        return r[i] == MinusCModP(c, p[i]) ? i : r[i + 1] == MinusCModP(c, p[i + 1]) ? i + 1 : -1;
    };
    U p[4], r[4];
    p[0] = sieve.Restart();
    p[1] = next(sieve);
    while (p[1] < limit) {
        p[2] = next(sieve);
        p[3] = next(sieve);
        kernel(p, r);
        int hit = divides(p, r, 0);
        if (hit < 0) {
            if (!context.running.load(std::memory_order_relaxed)) return false;
            if (!(p[3] < limit)) break;
            hit = divides(p, r, 2);
        }
        if (hit >= 0) {
            context.report.factorFound(N, p[hit]);
            found = true;
            return true;
        }
        if (!context.running.load(std::memory_order_relaxed)) return false;
        p[0] = next(sieve);
        p[1] = next(sieve);
    }
    found = false;
    return true;
}

// |x| mod m, for 2 <= m < 2^32.
uint32_t ModWord(const BigInt& x, uint32_t m) {
    uint64_t r = 0;
    for (uint32_t i = x.length(); i-- > 0;) r = ((r << 32) | x.words()[i]) % m;
    return uint32_t(r);
}

bool EqualsWord(const BigInt& x, uint32_t v) { return x.size() == 1 && x.words()[0] == v; }

}  // namespace

bool TrialDivide(bool& found, const Candidate& N, const TrialContext& context) {
    const uint32_t k = N.k, b = N.b, n = N.n;
    const uint64_t limit = TrialLimit(CandidateBits(b, n), context.manual);
    context.report.divisionStarted(N, limit);

    // n = 0 is k*1^1: the kernels need an exponent of at least 1.
    const uint32_t kb = n == 0 ? 1 : b;
    const uint32_t w = ExponentWord(n == 0 ? 1 : n);
    auto next32 = [](PrimeSieve& s) { return s.Next(); };
    auto next64 = [](PrimeSieve& s) { return s.Next64(); };

    if (limit <= kLimit32) {
        if (kb == 2) {
            const Base2Start start = PlanBase2(w);
            return DividePairs<uint32_t>(found, limit, N, context, next32,
                                         [&](const uint32_t* p, uint32_t* r) {
                                             ResiduesBase2W32<4>(k, start, p, r);
                                         });
        }
        return DividePairs<uint32_t>(found, limit, N, context, next32,
                                     [&](const uint32_t* p, uint32_t* r) { ResiduesW32<4>(k, kb, w, p, r); });
    }
    if (kb == 2) {
        const Base2Start start = PlanBase2(w);
        return DividePairs<uint64_t>(found, limit, N, context, next64,
                                     [&](const uint64_t* p, uint64_t* r) {
                                         ResiduesBase2W64<4>(k, start, p, r);
                                     });
    }
    return DividePairs<uint64_t>(found, limit, N, context, next64,
                                 [&](const uint64_t* p, uint64_t* r) { ResiduesW64<4>(k, kb, w, p, r); });
}

bool TrialDivideGfn(bool& found, uint32_t b, uint32_t n, const TrialContext& context) {
    if (n < 64) {
        found = false;
        return true;
    }
    const uint64_t limit = TrialLimit(CandidateBits(b, n), context.manual);
    uint64_t count = limit > 2 ? uint64_t((long double)limit / std::log((long double)limit)) : 1;
    const uint64_t step = 2 * uint64_t(n);
    count = std::min(count, (uint64_t(1) << 60) / step);
    context.report.gfnDivisionStarted(b, n, count, step);

    const uint32_t squarings = uint32_t(__builtin_ctz(n));
    // q mod 3, 5, 7, carried by adding step mod 3, 5, 7.
    const uint32_t d3 = uint32_t(step % 3), d5 = uint32_t(step % 5), d7 = uint32_t(step % 7);
    uint32_t r3 = uint32_t((step + 1) % 3), r5 = uint32_t((step + 1) % 5), r7 = uint32_t((step + 1) % 7);
    std::array<uint64_t, 4> group{};
    unsigned kept = 0;
    uint64_t q = step + 1;
    for (uint64_t i = 1; i < count; ++i, q += step) {
        if (r3 != 0 && r5 != 0 && r7 != 0) {
            group[kept++] = q;
            if (kept == 4) {
                kept = 0;
                if (const unsigned mask = GfnMinusOneMask(b, squarings, group); mask != 0) {
                    context.report.factorFound(Candidate{1, b, n, 1}, group[__builtin_ctz(mask)]);
                    found = true;
                    return true;
                }
            }
            if (!context.running.load(std::memory_order_relaxed)) return false;
        }
        if ((r3 += d3) >= 3) r3 -= 3;
        if ((r5 += d5) >= 5) r5 -= 5;
        if ((r7 += d7) >= 7) r7 -= 7;
    }
    found = false;
    return true;
}

bool TrialDividePhi(bool& found, uint32_t n, uint32_t b, const TrialContext& context) {
    const BigInt value = CyclotomicValue(n, b);

    // The divisors t >= 2 of n, ascending (those that are not 1 mod n).
    for (uint32_t t : DivisorsOf(n)) {
        if (t < 2 || ModWord(value, t) != 0) continue;
        found = !EqualsWord(value, t);
        if (found) context.report.factorFound(Candidate{1, b, n, -1}, t);
        return true;
    }

    const uint32_t count = 100000000 / n;
    for (uint32_t j = 1; j <= count; ++j) {
        const uint32_t q = j * n + 1;
        if (ModWord(value, q) == 0) {
            found = !EqualsWord(value, q);
            if (found) context.report.factorFound(Candidate{1, b, n, -1}, q);
            return true;
        }
        if (!context.running.load(std::memory_order_relaxed)) return false;
    }
    found = false;
    return true;
}

}  // namespace numen
