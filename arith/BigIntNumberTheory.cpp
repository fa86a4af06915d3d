// Integer square root (Newton from above), binary gcd (Stein), the Jacobi
// symbol with Kronecker's extension (Cohen, A Course in Computational
// Algebraic Number Theory, 1.4.10) and a short modular power.
#include <utility>

#include "arith/BigInt.h"

namespace numen {

namespace {

// Index of the lowest set bit of a non-zero value.
uint32_t lowestSetBit(const BigInt& x) {
    const uint32_t* w = x.words();
    uint32_t i = 0;
    while (w[i] == 0) ++i;
    return i * 32 + uint32_t(__builtin_ctz(w[i]));
}

// (2/m) for odd m, indexed by m mod 8.
constexpr int kTwoOver[8] = {0, 1, 0, -1, 0, -1, 0, 1};

}  // namespace

BigInt isqrt(const BigInt& x) {
    BigInt t;
    if (x.size() <= 0) return t;
    t.assign(x, x.topBitIndex() / 2);
    BigInt q, r;
    for (;;) {
        q.assign(x, 0);
        q.divRem(r, t);
        if (q.compare(t) >= 0) break;
        t.add(q);
        t.shift(1);
    }
    return t;
}

BigInt gcd(const BigInt& x, const BigInt& y) {
    BigInt p(x), q(y);
    if (p.isNegative()) p.negate();
    if (q.isNegative()) q.negate();
    if (p.isZero()) return q;
    if (q.isZero()) return p;
    if (p.compare(q) < 0) swap(p, q);
    uint32_t pTwos = lowestSetBit(p), qTwos = lowestSetBit(q);
    uint32_t common = pTwos < qTwos ? pTwos : qTwos;
    p.shift(int32_t(pTwos));
    q.shift(int32_t(qTwos));
    BigInt r;
    for (;;) {
        r.assign(p, 0);
        r.sub(q);
        if (r.isZero()) break;
        r.shift(int32_t(lowestSetBit(r)));
        if (r.isNegative()) {
            r.negate();
            swap(q, r);
        } else {
            swap(p, r);
        }
    }
    p.shift(-int32_t(common));
    return p;
}

int jacobi(const BigInt& aIn, const BigInt& nIn) {
    BigInt a(aIn), n(nIn);
    if (n.isZero()) {
        return (a.compareInt(1) == 0 || a.compareInt(-1) == 0) ? 1 : 0;
    }
    if (a.lowBits(1) == 0 && n.lowBits(1) == 0) return 0;

    uint32_t v = lowestSetBit(n);
    n.shift(int32_t(v));
    // (a/2) is the same for a and -a, so |a| mod 8 indexes it (0 for even a).
    int result = (v % 2 == 0) ? 1 : kTwoOver[a.lowBits(7)];

    // Kronecker's (a/-1) is -1 exactly when a < 0.
    if (n.isNegative()) {
        n.negate();
        if (a.isNegative()) result = -result;
    }
    if (a.isNegative()) {
        a.negate();
        if (n.lowBits(3) == 3) result = -result;  // (-1/n)
    }

    BigInt r;
    for (;;) {
        if (a.isZero()) return n.compareInt(1) == 0 ? result : 0;
        uint32_t twos = lowestSetBit(a);
        a.shift(int32_t(twos));
        if ((twos & 1) && kTwoOver[n.lowBits(7)] == -1) result = -result;
        bool bothThreeModFour = a.lowBits(3) == 3 && n.lowBits(3) == 3;
        n.divMod(r, a);
        swap(n, r);  // n := old n mod a
        swap(a, n);  // a := old n mod a, n := old a
        if (bothThreeModFour) result = -result;
    }
}

BigInt powMod(const BigInt& x, int32_t e, const BigInt& m) {
    BigInt r(1);
    if (e <= 0) return r;
    if (e == 1) return mod(x, m);
    BigInt s(x);
    while (e != 1) {
        if (e & 1) {
            r.mul(s);
            r = mod(r, m);
        }
        s.mul(s);
        s = mod(s, m);
        e >>= 1;
    }
    r.mul(s);
    return mod(r, m);
}

}  // namespace numen
