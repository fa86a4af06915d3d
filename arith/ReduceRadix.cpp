// Reduction modulo k*b^n + c on radix-b^mu digits (see ReduceRadix.h).
#include "arith/ReduceRadix.h"

namespace numen {
namespace {

// The radix modulus cache; one per thread like the block cache its value
// lives in (the program computes on one thread, so in effect process-wide).
struct RadixCache {
    RadixCache() { RadixIntBlockCache(); }  // so the block cache outlives N
    bool valid = false;
    Candidate key;
    uint32_t radix = 0;
    RadixModulusShape shape{};
    RadixInt modulus{2};
    uint64_t rebuilds = 0;
};

RadixCache& Cache() {
    thread_local RadixCache cache;
    return cache;
}

// mu with b^mu = radix, counted with exact products so that no power is lost
// to a rounded logarithm; a radix that is no power of b cannot carry the
// reduction and is refused.
uint32_t DigitsPerRadixDigit(uint32_t b, uint32_t radix) {
    if (b < 2) throw ArithmeticFault("radix reduction with a base below 2");
    uint32_t mu = 0;
    uint64_t p = 1;
    while (p < radix) {
        p *= b;
        ++mu;
    }
    if (p != radix) throw ArithmeticFault("radix reduction in a radix that is no power of the base");
    return mu;
}

const RadixCache& Modulus(const Candidate& N, uint32_t radix) {
    RadixCache& cache = Cache();
    if (!cache.valid || cache.key != N || cache.radix != radix) {
        cache.valid = false;
        RadixModulusShape shape{};
        shape.mu = DigitsPerRadixDigit(N.b, radix);
        shape.q = N.n / shape.mu;
        shape.t = N.n % shape.mu;
        shape.rho = 1;
        for (uint32_t i = 0; i < shape.t; ++i) shape.rho *= N.b;  // below the radix
        RadixInt& modulus = cache.modulus;
        modulus.setRadix(radix);
        modulus.setUnsigned(N.k);  // k may exceed 2^31
        modulus.mulMagnitudeWord(shape.rho);
        modulus.shiftDigits(-int32_t(shape.q));
        modulus.addInt(N.c);
        cache.shape = shape;
        cache.key = N;
        cache.radix = radix;
        cache.valid = true;
        ++cache.rebuilds;
    }
    return cache;
}

}  // namespace

const RadixInt& RadixModulus(const Candidate& N, uint32_t radix) { return Modulus(N, radix).modulus; }

RadixModulusShape RadixModulusShapeOf(const Candidate& N, uint32_t radix) { return Modulus(N, radix).shape; }

uint64_t RadixModulusRebuilds() { return Cache().rebuilds; }

namespace {

// |x| := (|x| mod B^q) + v B^q, on x's own digits (v has at most 64
// digits in any radix).
void SetDigitsAt(RadixInt& x, uint32_t q, uint64_t v) {
    const uint32_t radix = x.radix();
    uint32_t high[64];
    uint32_t count = 0;
    for (; v != 0; v /= radix) high[count++] = uint32_t(v % radix);
    const uint32_t old = x.length();
    x.reserve(q + count);
    uint32_t* d = x.digits();
    for (uint32_t i = old; i < q; ++i) d[i] = 0;
    for (uint32_t i = 0; i < count; ++i) d[q + i] = high[i];
    x.setLengthAndSign(q + count, false);
}

// s := floor(x / (B^q K)), returning floor(x / B^q) mod K, in one pass
// over x's digits above q. When K B < 2^64 each digit's division is a
// multiplication by the precomputed reciprocal of K and one correction;
// otherwise two word divisions by rho and k (K = rho k) are made.
uint64_t ShiftDivide(const RadixInt& x, uint32_t q, uint64_t K, RadixInt& s) {
    const uint32_t radix = x.radix();
    const uint32_t length = x.length();
    if (length <= q) return 0;
    const uint32_t count = length - q;
    s.reserve(count);
    const uint32_t* in = x.digits() + q;
    uint32_t* out = s.digits();
    uint64_t rem = 0;
    if (K <= ~uint64_t(0) / radix) {
        const uint64_t m = ~uint64_t(0) / K;  // floor((2^64 - 1) / K)
        for (uint32_t i = count; i-- > 0;) {
            // num < K B <= 2^64; num m / 2^64 is q or q - 1.
            const uint64_t num = rem * radix + in[i];
            uint64_t quot = uint64_t((unsigned __int128)num * m >> 64);
            uint64_t r = num - quot * K;
            const uint64_t over = uint64_t(0) - uint64_t(r >= K);
            quot -= over;  // + 1 when over
            r -= K & over;
            out[i] = uint32_t(quot);
            rem = r;
        }
    } else {
        for (uint32_t i = count; i-- > 0;) {
            const unsigned __int128 num = (unsigned __int128)rem * radix + in[i];
            out[i] = uint32_t(num / K);
            rem = uint64_t(num % K);
        }
    }
    s.setLengthAndSign(count, false);
    return rem;
}

}  // namespace

void reduceRadix(RadixInt& x, const Candidate& N) {
    const RadixCache& cache = Modulus(N, x.radix());
    const RadixInt& modulus = cache.modulus;
    if (x.compare(modulus) < 0) return;
    // With s = floor(x / (k b^n)) and r = floor(x / b^n) mod k,
    // x = s N + (x mod b^n) + r b^n - c s, and that remainder lies in
    // (-c s, k b^n): it is built on x's own digits and brought into [0, N)
    // by adding or subtracting N (the quotient s is of the order of N, so a
    // step or two). No multiple of N is formed and nothing of x's full length
    // is copied, compared or subtracted.
    const uint32_t q = cache.shape.q, rho = cache.shape.rho;
    RadixInt s(x.radix());
    // x mod b^n = (x mod B^q) + r1 B^q and r b^n = r2 rho B^q, with r1, r2
    // the remainders of floor(x / B^q) by rho and then by k: together the
    // remainder of floor(x / B^q) by rho k.
    SetDigitsAt(x, q, ShiftDivide(x, q, uint64_t(rho) * N.k, s));
    const int32_t c = N.c;
    if (c != 0 && !s.isZero()) {
        if (c != 1 && c != -1) s.mulMagnitudeWord(uint32_t(c > 0 ? c : -int64_t(c)));
        if (c > 0) {
            x.sub(s);
        } else {
            x.add(s);
        }
    }
    while (x.isNegative()) x.add(modulus);
    while (x.compare(modulus) >= 0) x.sub(modulus);
}

}  // namespace numen
