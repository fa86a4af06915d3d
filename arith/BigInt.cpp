// BigInt storage, assignment, comparison, addition, subtraction and shifts.
// Products live in BigIntProduct.cpp, divisions in BigIntDivision.cpp, the
// number theory in BigIntNumberTheory.cpp, text and files in BigIntText.cpp.
#include "arith/BigInt.h"

#include <cstring>
#include <utility>

#include "arith/WordArray.h"

namespace numen {

WordBlockCache& BigIntBlockCache() {
    thread_local WordBlockCache cache;
    return cache;
}

// --- storage -------------------------------------------------------------

BigInt::BigInt(int32_t v) { setInt(v); }

BigInt::BigInt(const BigInt& src, uint32_t shiftBits) { assign(src, shiftBits); }

BigInt::BigInt(BigInt&& src) noexcept
    : size_(src.size_), capacity_(src.capacity_), words_(src.words_), block_(src.block_) {
    src.size_ = 0;
    src.capacity_ = 0;
    src.words_ = nullptr;
    src.block_ = nullptr;
}

BigInt& BigInt::operator=(const BigInt& src) {
    assign(src, 0);
    return *this;
}

BigInt& BigInt::operator=(BigInt&& src) noexcept {
    if (this != &src) {
        release();
        swap(*this, src);
    }
    return *this;
}

BigInt::~BigInt() { release(); }

void BigInt::release() {
    if (block_ != nullptr) BigIntBlockCache().release(block_, capacity_);
    size_ = 0;
    capacity_ = 0;
    words_ = nullptr;
    block_ = nullptr;
}

void swap(BigInt& x, BigInt& y) noexcept {
    std::swap(x.size_, y.size_);
    std::swap(x.capacity_, y.capacity_);
    std::swap(x.words_, y.words_);
    std::swap(x.block_, y.block_);
}

void BigInt::adopt(const WordBlockCache::Block& b) {
    block_ = b.start;
    words_ = b.words;
    capacity_ = b.capacity;
}

void BigInt::grow(uint32_t capacity) {
    WordBlockCache::Block b = BigIntBlockCache().acquire(capacity);
    // The whole old capacity is copied: callers may have written beyond the
    // words in use before growing.
    if (capacity_ != 0) std::memcpy(b.words, words_, size_t(capacity_) * 4);
    void* old = block_;
    uint32_t oldCapacity = capacity_;
    adopt(b);
    BigIntBlockCache().release(old, oldCapacity);
}

void BigInt::reserve(uint32_t n) {
    if (n > capacity_ || block_ == nullptr) grow(n);
}

void BigInt::normalise() {
    uint32_t n = uint32_t(words::stripped(words_, length()));
    size_ = size_ < 0 ? -int32_t(n) : int32_t(n);
}

void BigInt::setNegative(bool negative) {
    int32_t n = int32_t(length());
    size_ = negative ? -n : n;
}

void BigInt::setLengthAndSign(uint32_t length, bool negative) {
    size_ = int32_t(length);
    normalise();
    if (negative) setNegative(true);
}

// --- construction and assignment -------------------------------------------

void BigInt::setUnsigned(uint32_t v) {
    reserve(1);
    words_[0] = v;
    size_ = v != 0 ? 1 : 0;
}

void BigInt::setUnsigned64(uint32_t lo, uint32_t hi) {
    reserve(2);
    words_[0] = lo;
    words_[1] = hi;
    size_ = 2;
    normalise();
}

void BigInt::setInt(int32_t v) {
    setUnsigned(v < 0 ? uint32_t(0) - uint32_t(v) : uint32_t(v));
    if (v < 0) size_ = -1;
}

void BigInt::setInt64(int64_t v) {
    uint64_t magnitude = v < 0 ? uint64_t(0) - uint64_t(v) : uint64_t(v);
    setUnsigned64(uint32_t(magnitude), uint32_t(magnitude >> 32));
    if (v < 0) setNegative(true);
}

void BigInt::assign(const BigInt& src, uint32_t shiftBits) {
    if (&src == this) {
        if (shiftBits != 0) shiftMagnitudeRight(shiftBits);
        return;
    }
    uint32_t drop = shiftBits / 32;
    uint32_t len = src.length();
    if (len <= drop) {
        size_ = 0;
        return;
    }
    uint32_t n = len - drop;
    reserve(n);
    std::memcpy(words_, src.words_ + drop, size_t(n) * 4);
    size_ = int32_t(n);
    if (shiftBits % 32 != 0) words::shiftRight(words_, n, shiftBits % 32);
    normalise();
    if (src.size_ < 0) setNegative(true);
}

void BigInt::setPower(uint32_t b, uint32_t n) {
    if (n == 0) {
        setUnsigned(1);
        return;
    }
    // Exponent bits reversed behind a leading 1, then consumed from the top.
    uint32_t c = 1;
    uint64_t e = n;
    while (e != 1) {
        c = 2 * c + uint32_t(e & 1);
        e >>= 1;
    }
    setUnsigned(b);
    while (c != 1) {
        square(false, nullptr);
        if (c & 1) mulMagnitudeWord(b);
        c >>= 1;
    }
}

void BigInt::setCandidate(uint32_t k, uint32_t b, uint32_t n, int32_t c) {
    if (b == 2) {
        setUnsigned(0);
        setBitsAt(n, 1);
    } else {
        setPower(b, n);
    }
    mulMagnitudeWord(k);
    addInt(c);
}

void BigInt::setBitsAt(uint32_t bitPos, uint32_t v) {
    uint32_t w = bitPos / 32, offset = bitPos % 32;
    uint32_t old = length();
    reserve(w + 2);
    for (uint32_t i = old; i < w + 2; ++i) words_[i] = 0;
    uint32_t keep = offset == 0 ? 0 : (words_[w] & ((uint32_t(1) << offset) - 1));
    words_[w] = keep | (v << offset);
    words_[w + 1] = offset == 0 ? 0 : (v >> (32 - offset));
    size_ = int32_t(w + 2);
    normalise();
}

// --- comparison -------------------------------------------------------------

int BigInt::compare(const BigInt& y) const {
    if (size_ == 0) return -y.size_;
    if (size_ != y.size_) return size_ < y.size_ ? -1 : 1;
    int c = words::compare(words_, y.words_, length());
    return size_ < 0 ? -c : c;
}

int BigInt::compareInt(int32_t v) const {
    int32_t vSize = v > 0 ? 1 : (v < 0 ? -1 : 0);
    if (size_ == 0) return -vSize;
    if (size_ != vSize) return size_ < vSize ? -1 : 1;
    uint32_t magnitude = v < 0 ? uint32_t(0) - uint32_t(v) : uint32_t(v);
    int c = words_[0] == magnitude ? 0 : (words_[0] < magnitude ? -1 : 1);
    return size_ < 0 ? -c : c;
}

// --- magnitude addition and subtraction --------------------------------------

void BigInt::addMagnitudeWord(uint32_t w) {
    uint32_t n = length();
    reserve(n + 1);
    words_[n] = 0;
    words::addWord(words_, n + 1, w);
    size_ = int32_t(n + 1);
    normalise();
}

void BigInt::subMagnitudeWord(uint32_t w) {
    uint32_t n = length();
    size_ = int32_t(n);
    if (n <= 1) {
        uint32_t x = n == 0 ? 0 : words_[0];
        if (x >= w) {
            setUnsigned(x - w);
        } else {
            setUnsigned(w - x);
            size_ = -1;
        }
        return;
    }
    words::subWord(words_, n, w);  // |x| >= 2^32 > w: no borrow out
    normalise();
}

void BigInt::addMagnitude(const BigInt& y) {
    uint32_t a = length(), b = y.length();
    uint32_t n = a > b ? a : b;
    reserve(n + 1);  // may move words_; y.words_ moves with it when y is *this
    for (uint32_t i = a; i <= n; ++i) words_[i] = 0;
    uint32_t carry = words::add(words_, words_, y.words_, b);
    words_[n] = words::addWord(words_ + b, n - b, carry);
    size_ = int32_t(n + 1);
    normalise();
}

void BigInt::subMagnitude(const BigInt& y) {
    uint32_t a = length(), b = y.length();
    int c = a != b ? (a < b ? -1 : 1) : words::compare(words_, y.words_, a);
    if (c == 0) {
        size_ = 0;
        return;
    }
    if (c > 0) {
        uint32_t borrow = words::sub(words_, words_, y.words_, b);
        words::subWord(words_ + b, a - b, borrow);
        size_ = int32_t(a);
        normalise();
        return;
    }
    // |y| > |x|: the result is -(|y| - |x|), built in x's array.
    reserve(b);
    uint32_t borrow = words::sub(words_, y.words_, words_, a);
    std::memcpy(words_ + a, y.words_ + a, size_t(b - a) * 4);
    words::subWord(words_ + a, b - a, borrow);
    size_ = int32_t(b);
    normalise();
    setNegative(true);
}

// --- signed addition and subtraction -------------------------------------------

// x := x + y (or x - y): equal signs add magnitudes, unequal ones subtract
// them; the result then takes x's sign (zero counts as positive).
void BigInt::addSigned(const BigInt& y, bool subtract) {
    bool xNegative = size_ < 0;
    bool yNegative = (y.size_ < 0) != subtract;
    if (&y == this) {
        if (subtract) {
            size_ = 0;
        } else {
            shiftMagnitudeLeft(1);
            setNegative(xNegative);
        }
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

void BigInt::addSignedWord(uint32_t w, bool negativeW) {
    bool xNegative = size_ < 0;
    if (size_ == 0) xNegative = negativeW;
    if (xNegative == negativeW) {
        addMagnitudeWord(w);
        setNegative(xNegative && size_ != 0);
    } else {
        subMagnitudeWord(w);
        if (xNegative) negate();
    }
}

void BigInt::add(const BigInt& y) { addSigned(y, false); }
void BigInt::sub(const BigInt& y) { addSigned(y, true); }

void BigInt::addInt(int32_t v) {
    addSignedWord(v < 0 ? uint32_t(0) - uint32_t(v) : uint32_t(v), v < 0);
}

void BigInt::subInt(int32_t v) {
    addSignedWord(v < 0 ? uint32_t(0) - uint32_t(v) : uint32_t(v), v > 0);
}

void BigInt::addUnsigned(uint32_t v) { addSignedWord(v, false); }

void BigInt::negate() {
    size_ = -size_;
}

// --- shifts --------------------------------------------------------------------

void BigInt::shiftMagnitudeRight(uint32_t bits) {
    bool negative = size_ < 0;
    uint32_t n = length(), drop = bits / 32;
    if (n <= drop) {
        size_ = 0;
        return;
    }
    n -= drop;
    if (drop != 0) std::memmove(words_, words_ + drop, size_t(n) * 4);
    if (bits % 32 != 0) words::shiftRight(words_, n, bits % 32);
    size_ = int32_t(n);
    normalise();
    if (negative) setNegative(true);
}

void BigInt::shiftMagnitudeLeft(uint32_t bits) {
    bool negative = size_ < 0;
    uint32_t n = length();
    if (n == 0) return;
    uint32_t move = bits / 32;
    uint64_t total = uint64_t(n) + move + 1;
    if (total > 0x7fffffffu) throw ArithmeticFault("integer too large");
    reserve(uint32_t(total));
    if (move != 0) {
        std::memmove(words_ + move, words_, size_t(n) * 4);
        std::memset(words_, 0, size_t(move) * 4);
    }
    n += move;
    words_[n] = bits % 32 != 0 ? words::shiftLeft(words_ + move, n - move, bits % 32) : 0;
    size_ = int32_t(n + 1);
    normalise();
    if (negative) setNegative(true);
}

void BigInt::shift(int32_t bits) {
    if (bits > 0) {
        shiftMagnitudeRight(uint32_t(bits));
    } else if (bits < 0) {
        shiftMagnitudeLeft(uint32_t(-int64_t(bits)));
    }
}

// --- queries --------------------------------------------------------------------

uint32_t BigInt::topBitIndex() const {
    uint32_t n = length();
    if (n == 0) return 0;
    return (n - 1) * 32 + 31 - uint32_t(__builtin_clz(words_[n - 1]));
}

uint32_t BigInt::checksum() const {
    // Ones' complement sum: a 64-bit sum of the words (no overflow below
    // 2^32 words), its high half folded back in since 2^32 = 1 modulo
    // 2^32 - 1. The plain sum vectorises; the fold is the same as folding
    // each carry out of a 32-bit accumulator.
    uint64_t total = 0;
    for (uint32_t i = 0, n = length(); i < n; ++i) total += words_[i];
    while ((total >> 32) != 0) total = (total & 0xffffffffu) + (total >> 32);
    return uint32_t(total);
}

uint32_t BigInt::xorHash() const {
    uint32_t h = uint32_t(size_);
    for (uint32_t i = 0, n = length(); i < n; ++i) h ^= words_[i];
    return h;
}

// --- operations returning new values ----------------------------------------------

BigInt operator-(const BigInt& x) {
    BigInt r(x);
    r.negate();
    return r;
}

BigInt operator+(const BigInt& x, int32_t v) {
    BigInt r(x);
    r.addInt(v);
    return r;
}

BigInt operator+(const BigInt& x, const BigInt& y) {
    BigInt r(x);
    r.add(y);
    return r;
}

BigInt operator-(const BigInt& x, int32_t v) {
    BigInt r(x);
    r.subInt(v);
    return r;
}

BigInt operator-(const BigInt& x, const BigInt& y) {
    BigInt r(x);
    r.sub(y);
    return r;
}

}  // namespace numen
