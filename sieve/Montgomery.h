// Montgomery arithmetic modulo an odd p for the residue kernels: products
// are reduced exactly by REDC (Montgomery, "Modular multiplication without
// trial division", Math. Comp. 44, 1985) with R = 2^32 (p < 2^31) or
// R = 2^64 (p < 2^63), using only integer multiplies -- no division in the
// powering loop.
//
// A residue x is held as xR mod p in [0, p). reduce(t) = t/R mod p for
// t < pR, in the subtractive form: with m = t * p^-1 mod R, t - m*p is an
// exact multiple of R, so its quotient is hi(t) - hi(m*p), which lies in
// (-p, p) and needs one conditional addition.
#pragma once

#include <cstdint>

namespace numen {

// p^-1 mod 2^64 for odd p: 5 correct bits from (3p) xor 2, then Newton
// steps, each doubling them.
constexpr uint64_t InverseMod2e64(uint64_t p) {
    uint64_t x = (3 * p) ^ 2;
    for (int i = 0; i < 4; ++i) x *= 2 - p * x;
    return x;
}
constexpr uint32_t InverseMod2e32(uint32_t p) {
    uint32_t x = (3 * p) ^ 2;
    for (int i = 0; i < 3; ++i) x *= 2 - p * x;
    return x;
}

struct Montgomery32 {
    uint32_t p = 1;     // odd, below 2^31
    uint32_t pinv = 1;  // p^-1 mod 2^32

    Montgomery32() = default;
    explicit Montgomery32(uint32_t modulus) : p(modulus), pinv(InverseMod2e32(modulus)) {}

    // t/2^32 mod p in [0, p), for t < p * 2^32.
    uint32_t reduce(uint64_t t) const {
        const uint32_t m = uint32_t(t) * pinv;
        const uint32_t mp = uint32_t((uint64_t(m) * p) >> 32);
        const uint32_t h = uint32_t(t >> 32);
        const uint32_t u = h - mp;
        return h < mp ? u + p : u;
    }
    // Montgomery form of 2^s, s <= 31.
    uint32_t powerOfTwo(uint32_t s) const { return uint32_t((uint64_t(1) << (s + 32)) % p); }
    // Montgomery form of any 32-bit value.
    uint32_t toForm(uint32_t v) const { return uint32_t((uint64_t(v) << 32) % p); }
};

struct Montgomery64 {
    uint64_t p = 1;     // odd, below 2^63
    uint64_t pinv = 1;  // p^-1 mod 2^64

    Montgomery64() = default;
    explicit Montgomery64(uint64_t modulus) : p(modulus), pinv(InverseMod2e64(modulus)) {}

    // t/2^64 mod p in [0, p), for t < p * 2^64.
    uint64_t reduce(unsigned __int128 t) const {
        const uint64_t m = uint64_t(t) * pinv;
        const uint64_t mp = uint64_t((static_cast<unsigned __int128>(m) * p) >> 64);
        const uint64_t h = uint64_t(t >> 64);
        const uint64_t u = h - mp;
        return h < mp ? u + p : u;
    }
    uint64_t mul(uint64_t a, uint64_t b) const { return reduce(static_cast<unsigned __int128>(a) * b); }
    // Montgomery form of 2^s, s <= 63.
    uint64_t powerOfTwo(uint32_t s) const {
        return uint64_t((static_cast<unsigned __int128>(uint64_t(1) << s) << 64) % p);
    }
    // Montgomery form of any 64-bit value.
    uint64_t toForm(uint64_t v) const { return uint64_t((static_cast<unsigned __int128>(v) << 64) % p); }
};

}  // namespace numen
