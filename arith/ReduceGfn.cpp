// Reduction modulo B^n + 1 on radix-B digits (see ReduceGfn.h).
#include "arith/ReduceGfn.h"

namespace numen {
namespace {

// The generalized-Fermat modulus cache; one per thread like the block cache
// its value lives in (the program computes on one thread).
struct GfnCache {
    GfnCache() { RadixIntBlockCache(); }  // so the block cache outlives N
    bool valid = false;
    uint32_t base = 0, n = 0;
    RadixInt modulus{2};
    uint64_t rebuilds = 0;
};

GfnCache& Cache() {
    thread_local GfnCache cache;
    return cache;
}

void ReduceNonNegative(RadixInt& x, uint32_t n, const RadixInt& modulus) {
    if (x.length() <= n) return;
    RadixInt high(x, n);
    if (high.length() > n) ReduceNonNegative(high, n, modulus);  // now high <= N - 1
    x.setLengthAndSign(n, false);
    while (x.compare(high) < 0) x.add(modulus);
    x.sub(high);
}

}  // namespace

const RadixInt& GfnModulus(uint32_t base, uint32_t n) {
    GfnCache& cache = Cache();
    if (!cache.valid || cache.base != base || cache.n != n) {
        cache.valid = false;
        cache.modulus.setRadix(base);
        cache.modulus.setUnsigned(1);
        cache.modulus.shiftDigits(-int32_t(n));
        cache.modulus.addInt(1);
        cache.base = base;
        cache.n = n;
        cache.valid = true;
        ++cache.rebuilds;
    }
    return cache.modulus;
}

uint64_t GfnModulusRebuilds() { return Cache().rebuilds; }

void reduceGfn(RadixInt& x, uint32_t base, uint32_t n) {
    if (x.radix() != base) throw ArithmeticFault("generalized-Fermat reduction in a foreign radix");
    const RadixInt& modulus = GfnModulus(base, n);
    if (!x.isNegative()) {
        ReduceNonNegative(x, n, modulus);
        return;
    }
    x.negate();
    ReduceNonNegative(x, n, modulus);
    if (!x.isZero()) {
        x.negate();
        x.add(modulus);
    }
}

}  // namespace numen
