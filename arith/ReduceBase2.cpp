// Fold and full reduction modulo k*2^n + c (see ReduceBase2.h).
#include "arith/ReduceBase2.h"

#include <utility>

namespace numen {
namespace {

// The base-2 modulus cache. One per thread, like the block caches its
// BigInt lives in; the program computes on one thread, so in effect it is
// process-wide.
struct Base2Cache {
    Base2Cache() { BigIntBlockCache(); }  // so the block cache outlives N
    bool valid = false;
    uint32_t k = 0, n = 0;
    int32_t c = 0;
    BigInt modulus;
    uint64_t rebuilds = 0;
};

Base2Cache& Cache() {
    thread_local Base2Cache cache;
    return cache;
}

// |x| := (|x| mod 2^n) + r*2^n and returns s, where floor(|x| / 2^n) = s*k + r
// with r < k; the old |x| equals the new one plus s*(N - c).
BigInt FoldMagnitude(BigInt& x, uint32_t k, uint32_t n) {
    BigInt s(x, n);
    if (s.isNegative()) s.negate();
    uint32_t r = s.divMagnitudeWord(k);
    x.setBitsAt(n, r);
    return s;
}

// x := x - c*s.
void SubtractMultiple(BigInt& x, BigInt& s, int32_t c) {
    if (c == 1) {
        x.sub(s);
    } else if (c == -1) {
        x.add(s);
    } else if (c != 0) {
        s.mulInt(c);
        x.sub(s);
    }
}

// True when |x| >= k*2^n, i.e. floor(|x| / 2^n) >= k.
bool AtLeastKShifted(const BigInt& x, uint32_t k, uint32_t n) {
    if (x.isZero()) return false;
    uint32_t top = x.topBitIndex();
    uint32_t kTop = 31 - uint32_t(__builtin_clz(k));
    if (uint64_t(top) < uint64_t(n) + kTop) return false;
    if (uint64_t(top) > uint64_t(n) + kTop) return true;
    BigInt high(x, n);  // at most 32 bits
    return high.words()[0] >= k;
}

}  // namespace

const BigInt& Base2Modulus(uint32_t k, uint32_t n, int32_t c) {
    Base2Cache& cache = Cache();
    if (!cache.valid || cache.k != k || cache.n != n || cache.c != c) {
        cache.modulus.setUnsigned(k);
        cache.modulus.shift(-int32_t(n));
        if (c >= 0) {
            cache.modulus.addMagnitudeWord(uint32_t(c));
        } else {
            cache.modulus.subMagnitudeWord(uint32_t(-int64_t(c)));
        }
        cache.k = k;
        cache.n = n;
        cache.c = c;
        cache.valid = true;
        ++cache.rebuilds;
    }
    return cache.modulus;
}

uint64_t Base2ModulusRebuilds() { return Cache().rebuilds; }

void foldBase2(BigInt& x, uint32_t k, uint32_t n, int32_t c) {
    const bool negativeOnEntry = x.isNegative();
    if (negativeOnEntry) x.negate();
    BigInt s = FoldMagnitude(x, k, n);
    if (c == -1) {
        // x + s stays positive; a second fold brings it back below about N.
        x.add(s);
        BigInt s2 = FoldMagnitude(x, k, n);
        x.add(s2);
    } else {
        SubtractMultiple(x, s, c);
        if (c != 1) {
            // |c| s may be far above N: fold the magnitude once more.
            const bool negative = x.isNegative();
            if (negative) x.negate();
            BigInt s2 = FoldMagnitude(x, k, n);
            SubtractMultiple(x, s2, c);
            if (negative) x.negate();
        }
    }
    // The steps above leave |x| near N for a square of a value below about
    // N; anything left at or above k*2^n is folded again, so that the
    // squaring loop's residues cannot grow from step to step.
    while (AtLeastKShifted(x, k, n)) {
        const bool negative = x.isNegative();
        if (negative) x.negate();
        BigInt s2 = FoldMagnitude(x, k, n);
        SubtractMultiple(x, s2, c);
        if (negative) x.negate();
    }
    if (negativeOnEntry) x.negate();
}

void reduceBase2(BigInt& x, uint32_t k, uint32_t n, int32_t c) {
    const BigInt& modulus = Base2Modulus(k, n, c);
    if (x.compare(modulus) < 0) return;
    // p = s*k*2^n with s = floor(x / (k 2^n)), then p := s*N = p + c*s.
    BigInt p(x, n);
    BigInt s(p);
    uint32_t r = s.divMagnitudeWord(k);
    p.subMagnitudeWord(r);
    p.shift(-int32_t(n));
    if (c > 0) {
        BigInt cs(s);
        cs.mulMagnitudeWord(uint32_t(c));
        p.add(cs);
        // x - s N < k 2^n - c s <= N; p may lie above x by a few N.
        while (x.compare(p) < 0) p.sub(modulus);
    } else if (c < 0) {
        BigInt cs(s);
        cs.mulMagnitudeWord(uint32_t(-int64_t(c)));
        p.sub(cs);
        // p <= x; step up to the largest multiple of N not above x.
        for (;;) {
            BigInt next = p + modulus;
            if (next.compare(x) > 0) break;
            p = std::move(next);
        }
    }
    x.sub(p);
}

}  // namespace numen
