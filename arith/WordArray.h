// Primitives on arrays of 32-bit words, least significant word first, n >= 1
// unless said otherwise. Carries and borrows are returned; callers that do
// not need them ignore them. In-place forms (a op= b) allow a == b.
#pragma once

#include <cstddef>
#include <cstdint>

namespace numen::words {

inline int compare(const uint32_t* a, const uint32_t* b, size_t n) {
    while (n-- > 0) {
        if (a[n] != b[n]) return a[n] < b[n] ? -1 : 1;
    }
    return 0;
}

// a += w over n words; returns the final carry (0 or 1).
inline uint32_t addWord(uint32_t* a, size_t n, uint32_t w) {
    for (size_t i = 0; i < n && w != 0; ++i) {
        uint32_t s = a[i] + w;
        w = s < w ? 1 : 0;
        a[i] = s;
    }
    return w;
}

// a -= w over n words; returns the final borrow (0 or 1).
inline uint32_t subWord(uint32_t* a, size_t n, uint32_t w) {
    for (size_t i = 0; i < n && w != 0; ++i) {
        uint32_t d = a[i] - w;
        w = d > a[i] ? 1 : 0;
        a[i] = d;
    }
    return w;
}

// r = a + b over n words (r may be a or b); returns the carry.
inline uint32_t add(uint32_t* r, const uint32_t* a, const uint32_t* b, size_t n) {
    uint64_t carry = 0;
    for (size_t i = 0; i < n; ++i) {
        carry += uint64_t(a[i]) + b[i];
        r[i] = uint32_t(carry);
        carry >>= 32;
    }
    return uint32_t(carry);
}

// r = a - b over n words (r may be a or b); returns the borrow.
inline uint32_t sub(uint32_t* r, const uint32_t* a, const uint32_t* b, size_t n) {
    uint32_t borrow = 0;
    for (size_t i = 0; i < n; ++i) {
        uint64_t d = uint64_t(a[i]) - b[i] - borrow;
        r[i] = uint32_t(d);
        borrow = uint32_t(d >> 63);
    }
    return borrow;
}

// r = a * w over n words (r may be a); returns the carry word.
inline uint32_t mulWord(uint32_t* r, const uint32_t* a, size_t n, uint32_t w) {
    uint64_t carry = 0;
    for (size_t i = 0; i < n; ++i) {
        carry += uint64_t(a[i]) * w;
        r[i] = uint32_t(carry);
        carry >>= 32;
    }
    return uint32_t(carry);
}

// r += a * w over n words; returns the carry word.
inline uint32_t addMulWord(uint32_t* r, const uint32_t* a, size_t n, uint32_t w) {
    uint64_t carry = 0;
    for (size_t i = 0; i < n; ++i) {
        carry += uint64_t(a[i]) * w + r[i];
        r[i] = uint32_t(carry);
        carry >>= 32;
    }
    return uint32_t(carry);
}

// r -= a * w over n words; returns the word to subtract from r[n].
inline uint32_t subMulWord(uint32_t* r, const uint32_t* a, size_t n, uint32_t w) {
    uint64_t carry = 0;
    for (size_t i = 0; i < n; ++i) {
        uint64_t p = uint64_t(a[i]) * w + carry;
        uint32_t lo = uint32_t(p);
        uint32_t old = r[i];
        r[i] = old - lo;
        carry = (p >> 32) + (lo > old ? 1 : 0);
    }
    return uint32_t(carry);
}

// a >>= s for 0 < s < 32 over n words; returns the bits shifted out (in the top of the word).
inline uint32_t shiftRight(uint32_t* a, size_t n, unsigned s) {
    uint32_t out = a[0] << (32 - s);
    for (size_t i = 0; i + 1 < n; ++i) a[i] = (a[i] >> s) | (a[i + 1] << (32 - s));
    a[n - 1] >>= s;
    return out;
}

// a <<= s for 0 < s < 32 over n words; returns the bits shifted out of the top.
inline uint32_t shiftLeft(uint32_t* a, size_t n, unsigned s) {
    uint32_t out = a[n - 1] >> (32 - s);
    for (size_t i = n - 1; i > 0; --i) a[i] = (a[i] << s) | (a[i - 1] >> (32 - s));
    a[0] <<= s;
    return out;
}

// a /= w (w != 0) over n words, from the top with a 64-bit running remainder;
// returns the remainder.
inline uint32_t divWord(uint32_t* a, size_t n, uint32_t w) {
    uint64_t rem = 0;
    for (size_t i = n; i-- > 0;) {
        uint64_t cur = (rem << 32) | a[i];
        a[i] = uint32_t(cur / w);
        rem = cur % w;
    }
    return uint32_t(rem);
}

// Number of words in use: n with the zero top words stripped.
inline size_t stripped(const uint32_t* a, size_t n) {
    while (n > 0 && a[n - 1] == 0) --n;
    return n;
}

// A word in the little-endian byte order of the serialised forms, on any host.
inline void storeLittleEndian(unsigned char* out, uint32_t v) {
    out[0] = uint8_t(v);
    out[1] = uint8_t(v >> 8);
    out[2] = uint8_t(v >> 16);
    out[3] = uint8_t(v >> 24);
}

inline uint32_t loadLittleEndian(const unsigned char* in) {
    return uint32_t(in[0]) | uint32_t(in[1]) << 8 | uint32_t(in[2]) << 16 | uint32_t(in[3]) << 24;
}

}  // namespace numen::words
