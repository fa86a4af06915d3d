// RadixInt construction, radix, assignment, comparison, addition,
// subtraction, checksum; the block, copy and move are the storage core's
// (WordStorage.h). Products live in RadixIntProduct.cpp, division by a word
// and digit shifts in RadixIntDivision.cpp, normalisation, conversions and
// the serialised form in RadixIntConversion.cpp.
#include "arith/RadixInt.h"

#include <utility>

#include "arith/RadixIntDigits.h"

namespace numen {

namespace {

int32_t Log2IfPowerOfTwo(uint32_t radix) {
    return (radix & (radix - 1)) == 0 ? int32_t(__builtin_ctz(radix)) : -1;
}

}  // namespace

// --- radix -----------------------------------------------------------------

RadixInt::RadixInt(uint32_t radix) { setRadix(radix); }

RadixInt::RadixInt(uint32_t radix, int32_t v) {
    setRadix(radix);
    setInt(v);
}

RadixInt::RadixInt(uint32_t radix, const BigInt& x) {
    setRadix(radix);
    setBigInt(x);
}

RadixInt::RadixInt(const RadixInt& src, uint32_t shiftDigits)
    : Storage(), radix_(src.radix_), radixLog2_(src.radixLog2_) {
    assign(src, shiftDigits);
}

RadixInt& RadixInt::operator=(const RadixInt& src) {
    assign(src, 0);
    return *this;
}

void swap(RadixInt& x, RadixInt& y) noexcept {
    x.swapStorage(y);
    std::swap(x.radix_, y.radix_);
    std::swap(x.radixLog2_, y.radixLog2_);
}

void RadixInt::setRadix(uint32_t radix) {
    if (radix < 2 || radix > kMaxRadix) throw ArithmeticFault("radix out of range");
    radix_ = radix;
    radixLog2_ = Log2IfPowerOfTwo(radix);
    size_ = 0;
}

void RadixInt::checkRadix(const RadixInt& y) const {
    // A mixed-radix operation would silently produce a wrong value.
    if (y.radix_ != radix_) throw ArithmeticFault("operands of different radices");
}

void RadixInt::appendCarry(uint32_t n, uint64_t carry) {
    const radix::Divider d(radix_);
    while (carry != 0) {
        reserve(n + 1);
        uint64_t q;
        words_[n++] = d.split(carry, q);
        carry = q;
    }
    size_ = int32_t(n);
}

// --- construction and assignment -------------------------------------------

void RadixInt::setUnsigned(uint32_t v) {
    if (v < radix_) {
        reserve(1);
        words_[0] = v;
        size_ = v != 0 ? 1 : 0;
        return;
    }
    reserve(32);  // enough digits for any 32-bit value in radix 2
    size_ = 0;
    appendCarry(0, v);
}

void RadixInt::setInt(int32_t v) {
    setUnsigned(magnitudeOf(v));
    if (v < 0) setNegative(true);
}

void RadixInt::assign(const RadixInt& src, uint32_t shiftDigits) {
    if (&src == this) {
        if (shiftDigits != 0) this->shiftDigits(int32_t(shiftDigits > 0x7fffffffu ? 0x7fffffffu : shiftDigits));
        return;
    }
    radix_ = src.radix_;
    radixLog2_ = src.radixLog2_;
    copyDropping(src, shiftDigits);
}

// --- comparison -------------------------------------------------------------

int RadixInt::compareMagnitude(const RadixInt& y) const {
    checkRadix(y);
    return Storage::compareMagnitude(y);
}

int RadixInt::compareMagnitudeInt(uint32_t v) const {
    if (v == 0) return size_ != 0 ? 1 : 0;
    if (v < radix_) {
        uint32_t n = length();
        if (n != 1) return n == 0 ? -1 : 1;
        return words_[0] == v ? 0 : (words_[0] < v ? -1 : 1);
    }
    RadixInt t(radix_);
    t.setUnsigned(v);
    return compareMagnitude(t);
}

int RadixInt::compare(const RadixInt& y) const {
    checkRadix(y);
    return compareSigned(y);
}

int RadixInt::compareInt(int32_t v) const {
    int xs = size_ > 0 ? 1 : (size_ < 0 ? -1 : 0);
    int vs = v > 0 ? 1 : (v < 0 ? -1 : 0);
    if (xs != vs) return xs < vs ? -1 : 1;
    int c = compareMagnitudeInt(magnitudeOf(v));
    return size_ < 0 ? -c : c;
}

// --- magnitude addition and subtraction --------------------------------------

void RadixInt::addMagnitude(const RadixInt& y) {
    checkRadix(y);
    if (&y == this) {
        mulMagnitudeWord(2);
        return;
    }
    uint32_t a = length(), b = y.length();
    if (a < b) {
        // Add x into a copy of y, then adopt the copy.
        RadixInt t(y);
        t.size_ = int32_t(b);
        t.addMagnitude(*this);
        swap(*this, t);
        return;
    }
    size_ = int32_t(a);
    uint32_t carry = radix::add(words_, y.words_, b, radix_);
    if (carry != 0) {
        carry = uint32_t(radix::addCarry(words_ + b, a - b, carry, radix::Divider(radix_)));
        if (carry != 0) appendCarry(a, carry);
    }
}

void RadixInt::subMagnitude(const RadixInt& y) {
    checkRadix(y);
    uint32_t a = length(), b = y.length();
    if (&y == this || b == 0) {
        size_ = &y == this ? 0 : int32_t(a);
        return;
    }
    if (a < b) {
        const uint32_t B = radix_;
        subFromLonger(
            y, [B](uint32_t* r, const uint32_t* u, const uint32_t* v, size_t n) { return radix::sub(r, u, v, n, B); },
            [B](uint32_t* u, size_t n, uint32_t borrow) { return radix::subBorrow(u, n, borrow, B); });
        return;
    }
    uint32_t borrow = radix::sub(words_, words_, y.words_, b, radix_);
    borrow = radix::subBorrow(words_ + b, a - b, borrow, radix_);
    size_ = int32_t(a);
    if (borrow != 0) {
        // |y| > |x| with equal lengths: the array holds B^a - (|y| - |x|).
        radix::complement(words_, a, radix_);
        size_ = -int32_t(a);
    }
    strip();
}

void RadixInt::addMagnitudeWord(uint32_t v) {
    uint32_t n = length();
    size_ = int32_t(n);
    uint64_t carry = radix::addCarry(words_, n, v, radix::Divider(radix_));
    if (carry != 0) appendCarry(n, carry);
}

void RadixInt::subMagnitudeWord(uint32_t v) {
    if (v >= radix_) {
        RadixInt t(radix_);
        t.setUnsigned(v);
        subMagnitude(t);
        return;
    }
    if (subWordFromShort(v)) return;
    uint32_t n = length();
    size_ = int32_t(n);
    // |x| >= B > v: no borrow leaves the top.
    uint32_t borrow = 0;
    if (words_[0] >= v) {
        words_[0] -= v;
    } else {
        words_[0] += radix_ - v;
        borrow = 1;
    }
    radix::subBorrow(words_ + 1, n - 1, borrow, radix_);
    strip();
}

// --- signed addition and subtraction -------------------------------------------

void RadixInt::addSigned(const RadixInt& y, bool subtract) {
    checkRadix(y);
    if (&y == this && subtract) {
        size_ = 0;
        return;
    }
    Storage::addSigned((y.size_ < 0) != subtract, [&] { addMagnitude(y); }, [&] { subMagnitude(y); });
}

void RadixInt::addSignedWord(uint32_t v, bool negativeV) {
    Storage::addSigned(negativeV, [&] { addMagnitudeWord(v); }, [&] { subMagnitudeWord(v); });
}

void RadixInt::add(const RadixInt& y) { addSigned(y, false); }
void RadixInt::sub(const RadixInt& y) { addSigned(y, true); }
void RadixInt::addInt(int32_t v) { addSignedWord(magnitudeOf(v), v < 0); }
void RadixInt::subInt(int32_t v) { addSignedWord(magnitudeOf(v), v > 0); }

// --- queries --------------------------------------------------------------------

uint32_t RadixInt::checksum() const {
    // B = 1 modulo B - 1, so |x| is congruent to its digit sum. Digits are
    // below 2^31, so 2^32 of them fit a 64-bit sum.
    uint64_t sum = 0;
    for (uint32_t i = 0, n = length(); i < n; ++i) sum += words_[i];
    return uint32_t(sum % (radix_ - 1));
}

uint32_t RadixInt::xorHash() const { return xorWords() ^ radix_; }

}  // namespace numen
