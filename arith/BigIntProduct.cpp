// Products of BigInt: by a word, schoolbook (Knuth 4.3.1 algorithm M), and
// the square and product entry points, which hand long operands to the
// transform products (TransformProduct.h).
#include <cstring>
#include <vector>

#include "arith/BigInt.h"
#include "arith/TransformProduct.h"
#include "arith/WordArray.h"

namespace numen {

namespace {

// The schoolbook loops run on 64-bit limbs (pairs of words): one 64x64-bit
// multiply does the work of four 32x32-bit ones.
using Limb = uint64_t;
using DoubleLimb = unsigned __int128;

// r[0 .. n) += a[0 .. n) * w; returns the carry limb.
Limb addMulLimb(Limb* r, const Limb* a, size_t n, Limb w) {
    Limb carry = 0;
    for (size_t i = 0; i < n; ++i) {
        DoubleLimb t = DoubleLimb(a[i]) * w + r[i] + carry;
        r[i] = Limb(t);
        carry = Limb(t >> 64);
    }
    return carry;
}

// Scratch limbs of this thread: operands and product, reused between calls.
Limb* scratchLimbs(size_t n) {
    thread_local std::vector<Limb> scratch;
    if (scratch.size() < n) scratch.resize(n);
    return scratch.data();
}

// Words to limbs: n words into (n + 1) / 2 limbs, the top half-limb zero.
void loadLimbs(Limb* out, const uint32_t* words, uint32_t n) {
    out[(n + 1) / 2 - 1] = 0;
    std::memcpy(out, words, size_t(n) * 4);
}

// r[0 .. la + lb) = a * b on limbs.
void mulLimbs(Limb* r, const Limb* a, size_t la, const Limb* b, size_t lb) {
    std::memset(r, 0, la * sizeof(Limb));
    for (size_t i = 0; i < lb; ++i) r[i + la] = addMulLimb(r + i, a, la, b[i]);
}

// r[0 .. 2n) = a^2 on limbs: each cross product once, doubled, then the
// diagonal squares added; about half the limb products of a general one.
void squareLimbs(Limb* r, const Limb* a, size_t n) {
    std::memset(r, 0, 2 * n * sizeof(Limb));
    for (size_t i = 0; i + 1 < n; ++i) r[n + i] = addMulLimb(r + 2 * i + 1, a + i + 1, n - i - 1, a[i]);
    Limb top = 0;
    for (size_t i = 0; i < 2 * n; ++i) {  // double
        Limb v = r[i];
        r[i] = (v << 1) | top;
        top = v >> 63;
    }
    Limb carry = 0;
    for (size_t i = 0; i < n; ++i) {
        DoubleLimb sq = DoubleLimb(a[i]) * a[i];
        DoubleLimb lo = DoubleLimb(r[2 * i]) + Limb(sq) + carry;
        r[2 * i] = Limb(lo);
        DoubleLimb hi = DoubleLimb(r[2 * i + 1]) + Limb(sq >> 64) + Limb(lo >> 64);
        r[2 * i + 1] = Limb(hi);
        carry = Limb(hi >> 64);
    }
}

}  // namespace

void BigInt::mulMagnitudeWord(uint32_t w) {
    if (scaledTrivially(w)) return;
    uint32_t n = length();
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
    if (shortProduct(y, [this](uint32_t w) { mulMagnitudeWord(w); })) return;
    const uint32_t a = length(), b = y.length();
    const size_t la = (a + 1) / 2, lb = (b + 1) / 2;
    Limb* limbs = scratchLimbs(2 * (la + lb));
    Limb *xa = limbs, *yb = limbs + la, *r = limbs + la + lb;
    loadLimbs(xa, words_, a);
    loadLimbs(yb, y.words_, b);
    mulLimbs(r, xa, la, yb, lb);
    WordBlockCache::Block product = newBlock(a + b);
    std::memcpy(product.words, r, size_t(a + b) * 4);  // the words above a + b are zero
    takeBlock(product, a + b);
}

void BigInt::mulUnsigned(uint32_t v) {
    bool negative = size_ < 0;
    mulMagnitudeWord(v);
    if (negative && size_ != 0) setNegative(true);
}

void BigInt::mulInt(int32_t v) {
    mulSigned(v, [this](uint32_t w) { mulMagnitudeWord(w); });
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
    double* err = measure ? maxErr : nullptr;
    uint32_t n = length();
    if (n > kSchoolbookSquareWords) {
        TransformSquare(*this, CurrentSquaringSettings(), err);
        return;
    }
    // Schoolbook: exact, no round-off to report.
    if (err != nullptr) *err = 0.0;
    if (n == 0) return;
    if (n == 1) {
        uint64_t sq = uint64_t(words_[0]) * words_[0];
        setUnsigned64(uint32_t(sq), uint32_t(sq >> 32));
        return;
    }
    const size_t ln = (n + 1) / 2;
    Limb* limbs = scratchLimbs(3 * ln);
    loadLimbs(limbs, words_, n);
    squareLimbs(limbs + ln, limbs, ln);
    WordBlockCache::Block product = newBlock(2 * n);
    std::memcpy(product.words, limbs + ln, size_t(2) * n * 4);
    takeBlock(product, 2 * n);
}

void BigInt::mulTransform(const BigInt& y, bool measure, double* maxErr) {
    double* err = measure ? maxErr : nullptr;
    if (&y == this) {
        square(measure, maxErr);
        return;
    }
    if (length() > kSchoolbookProductWords && y.length() > kSchoolbookProductWords) {
        TransformMultiply(*this, y, CurrentProductSettings(), err);
        return;
    }
    if (err != nullptr) *err = 0.0;
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
