// Primitives on arrays of radix-B digits (32-bit words, each in [0, B),
// least significant first), the radix-B counterpart of WordArray.h. Carries
// and borrows are returned; in-place forms allow r == a.
//
// Splitting a 64-bit value t by B is the hot operation of every loop. It
// uses a precomputed reciprocal m = floor((2^64 - 1)/B): q = floor(t·m/2^64)
// is floor(t/B) or one less (t·m/2^64 > t/B - 1 for t < 2^64), so one
// correction step makes it exact, without a hardware division.
#pragma once

#include <cstddef>
#include <cstdint>

namespace numen::radix {

struct Divider {
    uint64_t b;
    uint64_t m;

    explicit Divider(uint32_t radix) : b(radix), m(~uint64_t(0) / radix) {}

    // q = floor(t/B), returns t mod B.
    uint32_t split(uint64_t t, uint64_t& q) const {
        q = uint64_t((unsigned __int128)t * m >> 64);
        uint64_t r = t - q * b;
        if (r >= b) {
            r -= b;
            ++q;
        }
        return uint32_t(r);
    }
};

// a += carry over n digits (any carry < 2^63); returns what is left above.
inline uint64_t addCarry(uint32_t* a, size_t n, uint64_t carry, const Divider& d) {
    for (size_t i = 0; i < n && carry != 0; ++i) {
        uint64_t q;
        a[i] = d.split(uint64_t(a[i]) + carry, q);
        carry = q;
    }
    return carry;
}

// a += b over n digits; returns the carry (0 or 1).
inline uint32_t add(uint32_t* a, const uint32_t* b, size_t n, uint32_t radix) {
    uint32_t carry = 0;
    for (size_t i = 0; i < n; ++i) {
        uint32_t s = a[i] + b[i] + carry;  // < 2B <= 2^32
        carry = s >= radix ? 1 : 0;
        a[i] = carry ? s - radix : s;
    }
    return carry;
}

// r = a - b over n digits (r may be a or b); returns the borrow (0 or 1).
inline uint32_t sub(uint32_t* r, const uint32_t* a, const uint32_t* b, size_t n, uint32_t radix) {
    uint32_t borrow = 0;
    for (size_t i = 0; i < n; ++i) {
        int64_t t = int64_t(a[i]) - b[i] - borrow;
        borrow = t < 0 ? 1 : 0;
        r[i] = uint32_t(borrow ? t + radix : t);
    }
    return borrow;
}

// a -= borrow (0 or 1) over n digits; returns the final borrow.
inline uint32_t subBorrow(uint32_t* a, size_t n, uint32_t borrow, uint32_t radix) {
    for (size_t i = 0; i < n && borrow != 0; ++i) {
        if (a[i] != 0) {
            --a[i];
            borrow = 0;
        } else {
            a[i] = radix - 1;
        }
    }
    return borrow;
}

// a := B^n - a for a != 0 (radix complement); every digit becomes B - 1 - digit, then 1 is added.
inline void complement(uint32_t* a, size_t n, uint32_t radix) {
    for (size_t i = 0; i < n; ++i) a[i] = radix - 1 - a[i];
    for (size_t i = 0; i < n; ++i) {
        if (++a[i] != radix) break;
        a[i] = 0;
    }
}

// a *= v over n digits; returns the carry (< v).
inline uint64_t mulWord(uint32_t* a, size_t n, uint32_t v, const Divider& d) {
    uint64_t carry = 0;
    for (size_t i = 0; i < n; ++i) a[i] = d.split(uint64_t(a[i]) * v + carry, carry);
    return carry;
}

// r += a * v over n digits with v < B; returns the carry (< B).
inline uint32_t addMul(uint32_t* r, const uint32_t* a, size_t n, uint32_t v, const Divider& d) {
    uint64_t carry = 0;
    for (size_t i = 0; i < n; ++i) r[i] = d.split(uint64_t(a[i]) * v + r[i] + carry, carry);
    return uint32_t(carry);
}

// a /= v (v != 0) over n digits from the top, with the 64-bit running
// remainder r·B + digit (r < v < 2^32, B < 2^31); returns the remainder.
inline uint32_t divWord(uint32_t* a, size_t n, uint32_t v, uint32_t radix) {
    uint64_t rem = 0;
    for (size_t i = n; i-- > 0;) {
        uint64_t cur = rem * radix + a[i];
        a[i] = uint32_t(cur / v);
        rem = cur % v;
    }
    return uint32_t(rem);
}

}  // namespace numen::radix
