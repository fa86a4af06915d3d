// Barrett reduction modulo k*b^n + c and modulo Phi_m(b) (see ReduceGeneral.h).
#include "arith/ReduceGeneral.h"

#include "arith/ReduceBase2.h"
#include "arith/CyclotomicValue.h"

namespace numen {
namespace {

// A modulus with its Barrett constants.
struct BarrettModulus {
    BigInt modulus;
    uint32_t lambda = 0;  // floor(log2 N)
    BigInt reciprocal;    // floor(2^(2 lambda + 1) / N)

    // Sets lambda and R for the modulus already in place.
    void prepare() {
        if (modulus.compareInt(2) < 0) throw ArithmeticFault("reduction modulo a number below 2");
        lambda = modulus.topBitIndex();
        BigInt remainder;
        reciprocal.setUnsigned(1);
        reciprocal.shift(-int32_t(2 * lambda + 1));
        reciprocal.divMod(remainder, modulus);
    }

    // x := x mod N for 0 <= x < 2^(2 lambda + 2) (any x >= 0, more slowly).
    void reduce(BigInt& x) const {
        if (x.compare(modulus) < 0) return;
        BigInt t(x, lambda);
        t.mulTransform(reciprocal);
        t.shift(int32_t(lambda + 1));
        t.mulTransform(modulus);
        x.sub(t);
        while (x.isNegative()) x.add(modulus);
        while (x.compare(modulus) >= 0) x.sub(modulus);
    }
};

// The two caches; one per thread like the block caches their values live in
// (the program computes on one thread, so in effect they are process-wide).
struct GeneralCache {
    GeneralCache() { BigIntBlockCache(); }  // so the block cache outlives the values
    bool valid = false;
    Candidate key;
    BarrettModulus barrett;
    uint64_t rebuilds = 0;
};

struct CyclotomicCache {
    CyclotomicCache() { BigIntBlockCache(); }
    bool valid = false;
    uint32_t m = 0, b = 0;
    BarrettModulus barrett;
    uint64_t rebuilds = 0;
};

GeneralCache& General() {
    thread_local GeneralCache cache;
    return cache;
}

CyclotomicCache& Cyclotomic() {
    thread_local CyclotomicCache cache;
    return cache;
}

const BarrettModulus& GeneralBarrett(const Candidate& N) {
    GeneralCache& cache = General();
    if (!cache.valid || cache.key != N) {
        cache.valid = false;
        BigInt& modulus = cache.barrett.modulus;
        modulus.setPower(N.b, N.n);
        modulus.mulMagnitudeWord(N.k);
        modulus.addInt(N.c);
        cache.barrett.prepare();
        cache.key = N;
        cache.valid = true;
        ++cache.rebuilds;
    }
    return cache.barrett;
}

const BarrettModulus& CyclotomicBarrett(uint32_t m, uint32_t b) {
    CyclotomicCache& cache = Cyclotomic();
    if (!cache.valid || cache.m != m || cache.b != b) {
        cache.valid = false;
        cache.barrett.modulus = CyclotomicValue(m, b);
        cache.barrett.prepare();
        cache.m = m;
        cache.b = b;
        cache.valid = true;
        ++cache.rebuilds;
    }
    return cache.barrett;
}

}  // namespace

const BigInt& GeneralModulus(const Candidate& N) { return GeneralBarrett(N).modulus; }

const BigInt& CyclotomicModulus(uint32_t m, uint32_t b) { return CyclotomicBarrett(m, b).modulus; }

uint64_t GeneralModulusRebuilds() { return General().rebuilds; }
uint64_t CyclotomicModulusRebuilds() { return Cyclotomic().rebuilds; }

void reduceGeneral(BigInt& x, const Candidate& N) {
    if (N.b == 2) {
        reduceBase2(x, N.k, N.n, N.c);
        return;
    }
    GeneralBarrett(N).reduce(x);
}

void reduceCyclotomic(BigInt& x, uint32_t m, uint32_t b) { CyclotomicBarrett(m, b).reduce(x); }

}  // namespace numen
