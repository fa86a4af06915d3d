// Reduction modulo k*b^n + c on radix-b^mu digits (see ReduceRadix.h).
#include "arith/ReduceRadix.h"

#include <utility>

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

void reduceRadix(RadixInt& x, const Candidate& N) {
    const RadixCache& cache = Modulus(N, x.radix());
    const uint32_t k = N.k;
    const int32_t c = N.c;
    const RadixInt& modulus = cache.modulus;
    if (x.compare(modulus) < 0) return;
    // s = floor(x / b^n): a shift by q digits, then a division by rho.
    RadixInt s(x, cache.shape.q);
    if (cache.shape.rho != 1) s.divMagnitudeWord(cache.shape.rho);
    // p = k*s*b^n with s := floor(x / (k b^n)); the word divisions take the
    // whole 32-bit k.
    RadixInt p(s);
    uint32_t r = s.divMagnitudeWord(k);
    p.subMagnitudeWord(r);
    if (cache.shape.rho != 1) p.mulMagnitudeWord(cache.shape.rho);
    p.shiftDigits(-int32_t(cache.shape.q));
    if (c > 0) {
        // p := s*N; x - s N < k b^n - c s <= N, and p may lie above x.
        s.mulMagnitudeWord(uint32_t(c));
        p.add(s);
        while (x.compare(p) < 0) p.sub(modulus);
    } else if (c < 0) {
        // p := s*N <= x, then up to the largest multiple of N not above x.
        s.mulMagnitudeWord(uint32_t(-int64_t(c)));
        p.sub(s);
        for (;;) {
            RadixInt next(p);
            next.add(modulus);
            if (next.compare(x) > 0) break;
            p = std::move(next);
        }
    }
    x.sub(p);
}

}  // namespace numen
