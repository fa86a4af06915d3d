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
    if (scaledTrivially(v)) return;
    uint32_t n = length();
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
    if (shortProduct(y, [this](uint32_t v) { mulMagnitudeWord(v); })) return;
    const uint32_t a = length(), b = y.length();
    // Row i adds x·y_i from digit i; its final carry (< B) lands on digit
    // i + a, which no earlier row has written.
    WordBlockCache::Block product = newBlock(a + b);
    uint32_t* r = product.words;
    std::memset(r, 0, size_t(a) * 4);
    const radix::Divider d(radix_);
    const uint32_t* x = words_;
    const uint32_t* yw = y.words_;
    for (uint32_t i = 0; i < b; ++i) r[i + a] = radix::addMul(r + i, x, a, yw[i], d);
    takeBlock(product, a + b);
}

void RadixInt::mulInt(int32_t v) {
    mulSigned(v, [this](uint32_t w) { mulMagnitudeWord(w); });
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
