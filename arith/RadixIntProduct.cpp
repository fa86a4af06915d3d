// Products of RadixInt: by a word, schoolbook (Knuth 4.3.1 algorithm M with
// every digit product plus carry split by B in 64 bits), and the square and
// product entry points, which hand long operands in a radix up to 2^20 to
// the transform products (TransformProduct.h).
#include <cstring>

#include "arith/RadixInt.h"
#include "arith/RadixIntDigits.h"
#include "arith/TransformProduct.h"

namespace numen {

void RadixInt::mulMagnitudeWord(uint32_t v) {
    uint32_t n = length();
    size_ = int32_t(n);
    if (v == 0 || n == 0) {
        size_ = 0;
        return;
    }
    if (v == 1) return;
    if (v == 2) {
        // Doubling: one compare per digit instead of a split by B.
        uint32_t carry = radix::add(words_, words_, n, radix_);
        if (carry != 0) appendCarry(n, carry);
        return;
    }
    uint64_t carry = radix::mulWord(words_, n, v, radix::Divider(radix_));
    if (carry != 0) appendCarry(n, carry);
}

void RadixInt::mulMagnitude(const RadixInt& y) {
    checkRadix(y);
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
    // Row i adds x·y_i from digit i; its final carry (< B) lands on digit
    // i + a, which no earlier row has written.
    WordBlockCache::Block product = RadixIntBlockCache().acquire(a + b);
    uint32_t* r = product.words;
    std::memset(r, 0, size_t(a) * 4);
    const radix::Divider d(radix_);
    const uint32_t* x = words_;
    const uint32_t* yw = y.words_;
    for (uint32_t i = 0; i < b; ++i) r[i + a] = radix::addMul(r + i, x, a, yw[i], d);
    RadixIntBlockCache().release(block_, capacity_);
    adopt(product);
    size_ = int32_t(a + b);
    strip();
}

void RadixInt::mulInt(int32_t v) {
    bool negative = (size_ < 0) != (v < 0);
    mulMagnitudeWord(v < 0 ? uint32_t(0) - uint32_t(v) : uint32_t(v));
    if (negative && size_ != 0) setNegative(true);
}

void RadixInt::mul(const RadixInt& y) {
    checkRadix(y);
    bool negative = (size_ < 0) != (y.size_ < 0);
    if (&y == this) {
        RadixInt copy(y);
        mulMagnitude(copy);
    } else {
        mulMagnitude(y);
    }
    if (negative && size_ != 0) setNegative(true);
}

void RadixInt::square(bool measure, double* maxErr) {
    double* err = measure ? maxErr : nullptr;
    if (length() > kSchoolbookSquareDigits && radix_ <= kMaxTransformRadix) {
        TransformSquare(*this, CurrentSquaringSettings(), err);
        return;
    }
    // Schoolbook (short operands, or a generalized-Fermat base above 2^20):
    // exact, no round-off to report.
    if (err != nullptr) *err = 0.0;
    RadixInt copy(*this);
    mulMagnitude(copy);
}

void RadixInt::mulTransform(const RadixInt& y, bool measure, double* maxErr) {
    double* err = measure ? maxErr : nullptr;
    checkRadix(y);
    if (&y == this) {
        square(measure, maxErr);
        return;
    }
    if (length() > kSchoolbookProductDigits && y.length() > kSchoolbookProductDigits &&
        radix_ <= kMaxTransformRadix) {
        TransformMultiply(*this, y, CurrentProductSettings(), err);
        return;
    }
    if (err != nullptr) *err = 0.0;
    mul(y);
}

}  // namespace numen
