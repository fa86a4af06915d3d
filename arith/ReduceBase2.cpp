// Fold and full reduction modulo k*2^n + c (see ReduceBase2.h).
#include "arith/ReduceBase2.h"

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

// floor(|x| / 2^n) divided by k in one pass over x's words, two words at a
// time: the words are read shifted right by n - 32 - l bits, which divides
// by 2^n and multiplies by 2^(32+l), l the shift that puts k's top bit at
// bit 31, and divided as 64-bit limbs by the normalised d = k 2^(32+l) with
// its precomputed reciprocal (Moeller and Granlund, "Improved division by
// invariant integers", 2011) instead of a hardware division per word.
// Writes the quotient to s (floor(|x| / (k 2^n))) and returns the remainder
// r = floor(|x| / 2^n) mod k. Requires n >= 32 + l.
uint32_t ShiftDivide(const BigInt& x, uint32_t k, uint32_t n, BigInt& s) {
    using Wide = unsigned __int128;
    const uint32_t l = uint32_t(__builtin_clz(k));
    const uint64_t d = uint64_t(k) << (32 + l);
    const uint64_t v = uint64_t(~Wide(0) / d);  // floor((2^128 - 1) / d) - 2^64
    const uint32_t shift = n - 32 - l, skip = shift / 32, bits = shift % 32;
    const uint32_t length = x.length();
    const uint32_t* w = x.words();
    s.setUnsigned(0);
    if (length <= skip) return 0;
    const uint32_t count = length - skip;  // words of x >> shift, the top one possibly zero
    const uint32_t limbs = (count + 1) / 2;
    s.reserve(2 * limbs);
    uint32_t* q = s.words();
    // Word j of x >> shift, zero above the top.
    auto shifted = [&](uint32_t j) -> uint32_t {
        const uint32_t at = skip + j;
        if (at >= length) return 0;
        const uint32_t lo = w[at];
        if (bits == 0) return lo;
        const uint32_t hi = at + 1 < length ? w[at + 1] : 0;
        return (lo >> bits) | (hi << (32 - bits));
    };
    uint64_t rem = 0;
    for (uint32_t i = limbs; i-- > 0;) {
        const uint64_t u0 = uint64_t(shifted(2 * i)) | (uint64_t(shifted(2 * i + 1)) << 32);
        const Wide p = Wide(v) * rem + ((Wide(rem) << 64) | u0);
        uint64_t q1 = uint64_t(p >> 64) + 1;
        uint64_t r = u0 - q1 * d;
        // Taken about half the time: without a branch, so nothing is mispredicted.
        const uint64_t back = uint64_t(0) - uint64_t(r > uint64_t(p));
        q1 += back;
        r += d & back;
        if (r >= d) {  // rare
            ++q1;
            r -= d;
        }
        q[2 * i] = uint32_t(q1);
        q[2 * i + 1] = uint32_t(q1 >> 32);
        rem = r;
    }
    s.setLengthAndSign(2 * limbs, false);
    return uint32_t(rem >> (32 + l));
}

// |x| := (|x| mod 2^n) + r*2^n and returns s, where floor(|x| / 2^n) = s*k + r
// with r < k; the old |x| equals the new one plus s*(N - c).
BigInt FoldMagnitude(BigInt& x, uint32_t k, uint32_t n) {
    BigInt s;
    uint32_t r;
    if (n >= 32 + uint32_t(__builtin_clz(k))) {
        r = ShiftDivide(x, k, n, s);
    } else {
        s.assign(x, n);
        if (s.isNegative()) s.negate();
        r = s.divMagnitudeWord(k);
    }
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
    // One fold, x := (x mod 2^n) + r 2^n - c s with s = floor(x / (k 2^n)),
    // leaves x in (-c s, k 2^n); adding or subtracting N brings it into
    // [0, N) without forming the multiple s N.
    BigInt s = FoldMagnitude(x, k, n);
    SubtractMultiple(x, s, c);
    while (x.isNegative()) x.add(modulus);
    while (x.compare(modulus) >= 0) x.sub(modulus);
}

}  // namespace numen
