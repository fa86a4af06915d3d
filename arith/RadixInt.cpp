// RadixInt storage, assignment, comparison, addition, subtraction, checksum.
// Products live in RadixIntProduct.cpp, division by a word and digit shifts
// in RadixIntDivision.cpp, normalisation, conversions and the serialised
// form in RadixIntConversion.cpp.
#include "arith/RadixInt.h"

#include <cstring>
#include <utility>

#include "arith/RadixIntDigits.h"
#include "arith/WordArray.h"

namespace numen {

WordBlockCache& RadixIntBlockCache() {
    thread_local WordBlockCache cache;
    return cache;
}

namespace {

int32_t Log2IfPowerOfTwo(uint32_t radix) {
    return (radix & (radix - 1)) == 0 ? int32_t(__builtin_ctz(radix)) : -1;
}

uint32_t Magnitude(int32_t v) { return v < 0 ? uint32_t(0) - uint32_t(v) : uint32_t(v); }

}  // namespace

// --- storage -------------------------------------------------------------

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
    : radix_(src.radix_), radixLog2_(src.radixLog2_) {
    assign(src, shiftDigits);
}

RadixInt::RadixInt(RadixInt&& src) noexcept
    : size_(src.size_), capacity_(src.capacity_), words_(src.words_), block_(src.block_),
      radix_(src.radix_), radixLog2_(src.radixLog2_) {
    src.size_ = 0;
    src.capacity_ = 0;
    src.words_ = nullptr;
    src.block_ = nullptr;
}

RadixInt& RadixInt::operator=(const RadixInt& src) {
    assign(src, 0);
    return *this;
}

RadixInt& RadixInt::operator=(RadixInt&& src) noexcept {
    if (this != &src) {
        release();
        swap(*this, src);
    }
    return *this;
}

RadixInt::~RadixInt() { release(); }

void RadixInt::release() {
    if (block_ != nullptr) RadixIntBlockCache().release(block_, capacity_);
    size_ = 0;
    capacity_ = 0;
    words_ = nullptr;
    block_ = nullptr;
}

void swap(RadixInt& x, RadixInt& y) noexcept {
    std::swap(x.size_, y.size_);
    std::swap(x.capacity_, y.capacity_);
    std::swap(x.words_, y.words_);
    std::swap(x.block_, y.block_);
    std::swap(x.radix_, y.radix_);
    std::swap(x.radixLog2_, y.radixLog2_);
}

void RadixInt::setRadix(uint32_t radix) {
    if (radix < 2 || radix > kMaxRadix) throw ArithmeticFault("radix out of range");
    radix_ = radix;
    radixLog2_ = Log2IfPowerOfTwo(radix);
    size_ = 0;
}

void RadixInt::adopt(const WordBlockCache::Block& b) {
    block_ = b.start;
    words_ = b.words;
    capacity_ = b.capacity;
}

void RadixInt::grow(uint32_t capacity) {
    WordBlockCache::Block b = RadixIntBlockCache().acquire(capacity);
    // The whole old capacity is copied: callers may have written beyond the
    // digits in use before growing.
    if (capacity_ != 0) std::memcpy(b.words, words_, size_t(capacity_) * 4);
    void* old = block_;
    uint32_t oldCapacity = capacity_;
    adopt(b);
    RadixIntBlockCache().release(old, oldCapacity);
}

void RadixInt::reserve(uint32_t n) {
    if (n > capacity_ || block_ == nullptr) grow(n);
}

void RadixInt::strip() {
    uint32_t n = uint32_t(words::stripped(words_, length()));
    size_ = size_ < 0 ? -int32_t(n) : int32_t(n);
}

void RadixInt::setNegative(bool negative) {
    int32_t n = int32_t(length());
    size_ = negative ? -n : n;
}

void RadixInt::setLengthAndSign(uint32_t length, bool negative) {
    size_ = int32_t(length);
    strip();
    if (negative) setNegative(true);
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
    setUnsigned(Magnitude(v));
    if (v < 0) setNegative(true);
}

void RadixInt::assign(const RadixInt& src, uint32_t shiftDigits) {
    if (&src == this) {
        if (shiftDigits != 0) this->shiftDigits(int32_t(shiftDigits > 0x7fffffffu ? 0x7fffffffu : shiftDigits));
        return;
    }
    radix_ = src.radix_;
    radixLog2_ = src.radixLog2_;
    uint32_t len = src.length();
    if (len <= shiftDigits) {
        size_ = 0;
        return;
    }
    uint32_t n = len - shiftDigits;
    reserve(n);
    std::memcpy(words_, src.words_ + shiftDigits, size_t(n) * 4);
    size_ = src.size_ < 0 ? -int32_t(n) : int32_t(n);
}

// --- comparison -------------------------------------------------------------

int RadixInt::compareMagnitude(const RadixInt& y) const {
    checkRadix(y);
    uint32_t a = length(), b = y.length();
    if (a != b) return a < b ? -1 : 1;
    return words::compare(words_, y.words_, a);
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
    int xs = size_ > 0 ? 1 : (size_ < 0 ? -1 : 0);
    int ys = y.size_ > 0 ? 1 : (y.size_ < 0 ? -1 : 0);
    if (xs != ys) return xs < ys ? -1 : 1;
    if (size_ != y.size_) return size_ < y.size_ ? -1 : 1;
    int c = words::compare(words_, y.words_, length());
    return size_ < 0 ? -c : c;
}

int RadixInt::compareInt(int32_t v) const {
    int xs = size_ > 0 ? 1 : (size_ < 0 ? -1 : 0);
    int vs = v > 0 ? 1 : (v < 0 ? -1 : 0);
    if (xs != vs) return xs < vs ? -1 : 1;
    int c = compareMagnitudeInt(Magnitude(v));
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
        // |y| > |x|: the result is -(|y| - |x|), built in x's array.
        reserve(b);
        uint32_t borrow = radix::sub(words_, y.words_, words_, a, radix_);
        std::memcpy(words_ + a, y.words_ + a, size_t(b - a) * 4);
        radix::subBorrow(words_ + a, b - a, borrow, radix_);
        size_ = -int32_t(b);
        strip();
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
    uint32_t n = length();
    size_ = int32_t(n);
    if (n <= 1) {
        uint32_t x = n == 0 ? 0 : words_[0];
        if (x >= v) {
            setUnsigned(x - v);
        } else {
            setUnsigned(v - x);
            size_ = -1;
        }
        return;
    }
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

// x := x + y (or x - y): equal signs add magnitudes, unequal ones subtract
// them; the result then takes x's sign (zero counts as positive).
void RadixInt::addSigned(const RadixInt& y, bool subtract) {
    checkRadix(y);
    bool xNegative = size_ < 0;
    bool yNegative = (y.size_ < 0) != subtract;
    if (&y == this && subtract) {
        size_ = 0;
        return;
    }
    if (size_ == 0) xNegative = yNegative;
    if (xNegative == yNegative) {
        addMagnitude(y);
        setNegative(xNegative && size_ != 0);
    } else {
        subMagnitude(y);
        if (xNegative) negate();
    }
}

void RadixInt::addSignedWord(uint32_t v, bool negativeV) {
    bool xNegative = size_ < 0;
    if (size_ == 0) xNegative = negativeV;
    if (xNegative == negativeV) {
        addMagnitudeWord(v);
        setNegative(xNegative && size_ != 0);
    } else {
        subMagnitudeWord(v);
        if (xNegative) negate();
    }
}

void RadixInt::add(const RadixInt& y) { addSigned(y, false); }
void RadixInt::sub(const RadixInt& y) { addSigned(y, true); }
void RadixInt::addInt(int32_t v) { addSignedWord(Magnitude(v), v < 0); }
void RadixInt::subInt(int32_t v) { addSignedWord(Magnitude(v), v > 0); }

// --- queries --------------------------------------------------------------------

uint32_t RadixInt::checksum() const {
    // B = 1 modulo B - 1, so |x| is congruent to its digit sum. Digits are
    // below 2^31, so 2^32 of them fit a 64-bit sum.
    uint64_t sum = 0;
    for (uint32_t i = 0, n = length(); i < n; ++i) sum += words_[i];
    return uint32_t(sum % (radix_ - 1));
}

uint32_t RadixInt::xorHash() const {
    uint32_t h = uint32_t(size_) ^ radix_;
    for (uint32_t i = 0, n = length(); i < n; ++i) h ^= words_[i];
    return h;
}

}  // namespace numen
