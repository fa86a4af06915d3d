// Products of BigInt: by a word, schoolbook (Knuth 4.3.1 algorithm M), and
// the square and product entry points that long operands will take to the
// transform products.
#include <cstring>

#include "arith/BigInt.h"
#include "arith/WordArray.h"

namespace numen {

namespace {

// r[0 .. 2n) = a^2 over n >= 1 words: each cross product once, doubled, then
// the diagonal squares added; about half the word products of a general one.
void squareWords(uint32_t* r, const uint32_t* a, uint32_t n) {
    std::memset(r, 0, size_t(2) * n * 4);
    for (uint32_t i = 0; i + 1 < n; ++i) {
        r[n + i] = words::addMulWord(r + 2 * i + 1, a + i + 1, n - i - 1, a[i]);
    }
    if (n > 1) words::shiftLeft(r, size_t(2) * n, 1);
    uint64_t carry = 0;
    for (uint32_t i = 0; i < n; ++i) {
        uint64_t sq = uint64_t(a[i]) * a[i];
        carry += uint64_t(r[2 * i]) + uint32_t(sq);
        r[2 * i] = uint32_t(carry);
        carry >>= 32;
        carry += uint64_t(r[2 * i + 1]) + (sq >> 32);
        r[2 * i + 1] = uint32_t(carry);
        carry >>= 32;
    }
}

}  // namespace

void BigInt::mulMagnitudeWord(uint32_t w) {
    uint32_t n = length();
    size_ = int32_t(n);
    if (w == 0 || n == 0) {
        size_ = 0;
        return;
    }
    if (w == 1) return;
    if (w == 2) {
        shiftMagnitudeLeft(1);
        return;
    }
    uint32_t carry = words::mulWord(words_, words_, n, w);
    if (carry != 0) {
        reserve(n + 1);
        words_[n] = carry;
        size_ = int32_t(n + 1);
    }
}

void BigInt::mulMagnitude(const BigInt& y) {
    uint32_t a = length(), b = y.length();
    if (a == 0 || b == 0) {
        size_ = 0;
        return;
    }
    if (b == 1) {
        mulMagnitudeWord(y.words_[0]);
        return;
    }
    if (uint64_t(a) + b > 0x7fffffffu) throw ArithmeticFault("integer too large");
    WordBlockCache::Block product = BigIntBlockCache().acquire(a + b);
    uint32_t* r = product.words;
    std::memset(r, 0, size_t(a) * 4);
    for (uint32_t i = 0; i < b; ++i) r[i + a] = words::addMulWord(r + i, words_, a, y.words_[i]);
    BigIntBlockCache().release(block_, capacity_);
    adopt(product);
    size_ = int32_t(a + b);
    normalise();
}

void BigInt::mulUnsigned(uint32_t v) {
    bool negative = size_ < 0;
    mulMagnitudeWord(v);
    if (negative && size_ != 0) setNegative(true);
}

void BigInt::mulInt(int32_t v) {
    bool negative = (size_ < 0) != (v < 0);
    mulMagnitudeWord(v < 0 ? uint32_t(0) - uint32_t(v) : uint32_t(v));
    if (negative && size_ != 0) setNegative(true);
}

void BigInt::mul(const BigInt& y) {
    bool negative = (size_ < 0) != (y.size_ < 0);
    if (&y == this) {
        square(false, nullptr);
        return;
    }
    mulMagnitude(y);
    if (negative && size_ != 0) setNegative(true);
}

void BigInt::square(bool measure, double* maxErr) {
    // Schoolbook until the transform products take over long operands; an
    // exact product has no round-off to report.
    if (measure && maxErr != nullptr) *maxErr = 0.0;
    uint32_t n = length();
    if (n == 0) return;
    if (n == 1) {
        uint64_t sq = uint64_t(words_[0]) * words_[0];
        setUnsigned64(uint32_t(sq), uint32_t(sq >> 32));
        return;
    }
    if (uint64_t(n) * 2 > 0x7fffffffu) throw ArithmeticFault("integer too large");
    WordBlockCache::Block product = BigIntBlockCache().acquire(2 * n);
    squareWords(product.words, words_, n);
    BigIntBlockCache().release(block_, capacity_);
    adopt(product);
    size_ = int32_t(2 * n);
    normalise();
}

void BigInt::mulTransform(const BigInt& y, bool measure, double* maxErr) {
    if (measure && maxErr != nullptr) *maxErr = 0.0;
    mul(y);
}

BigInt operator*(const BigInt& x, int32_t v) {
    BigInt r(x);
    r.mulInt(v);
    return r;
}

BigInt operator*(const BigInt& x, const BigInt& y) {
    BigInt r(x);
    r.mul(y);
    return r;
}

}  // namespace numen
