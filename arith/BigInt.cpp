// BigInt construction, assignment, comparison, addition, subtraction and
// shifts; the block, copy and move are the storage core's (WordStorage.h).
// Products live in BigIntProduct.cpp, divisions in BigIntDivision.cpp, the
// number theory in BigIntNumberTheory.cpp, text and files in BigIntText.cpp.
#include "arith/BigInt.h"

#include "arith/WordArray.h"

namespace numen {

// --- construction and assignment -------------------------------------------

BigInt::BigInt(int32_t v) { setInt(v); }

BigInt::BigInt(const BigInt& src, uint32_t shiftBits) : Storage() { assign(src, shiftBits); }

BigInt& BigInt::operator=(const BigInt& src) {
    assign(src, 0);
    return *this;
}

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
    strip();
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
    copyDropping(src, shiftBits / 32);
    if (shiftBits % 32 != 0 && size_ != 0) {
        words::shiftRight(words_, length(), shiftBits % 32);
        strip();
    }
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
    strip();
}

// --- comparison -------------------------------------------------------------

int BigInt::compare(const BigInt& y) const { return compareSigned(y); }

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
    strip();
}

void BigInt::subMagnitudeWord(uint32_t w) {
    if (subWordFromShort(w)) return;
    uint32_t n = length();
    size_ = int32_t(n);
    words::subWord(words_, n, w);  // |x| >= 2^32 > w: no borrow out
    strip();
}

void BigInt::addMagnitude(const BigInt& y) {
    uint32_t a = length(), b = y.length();
    uint32_t n = a > b ? a : b;
    reserve(n + 1);  // may move words_; y.words_ moves with it when y is *this
    for (uint32_t i = a; i <= n; ++i) words_[i] = 0;
    uint32_t carry = words::add(words_, words_, y.words_, b);
    words_[n] = words::addWord(words_ + b, n - b, carry);
    size_ = int32_t(n + 1);
    strip();
}

void BigInt::subMagnitude(const BigInt& y) {
    uint32_t a = length(), b = y.length();
    int c = compareMagnitude(y);
    if (c == 0) {
        size_ = 0;
        return;
    }
    if (c > 0) {
        uint32_t borrow = words::sub(words_, words_, y.words_, b);
        words::subWord(words_ + b, a - b, borrow);
        size_ = int32_t(a);
        strip();
        return;
    }
    subFromLonger(y, words::sub, words::subWord);
}

// --- signed addition and subtraction -------------------------------------------

void BigInt::addSigned(const BigInt& y, bool subtract) {
    if (&y == this) {
        if (subtract) {
            size_ = 0;
        } else {
            bool negative = size_ < 0;
            shiftMagnitudeLeft(1);
            setNegative(negative);
        }
        return;
    }
    Storage::addSigned((y.size_ < 0) != subtract, [&] { addMagnitude(y); }, [&] { subMagnitude(y); });
}

void BigInt::addSignedWord(uint32_t w, bool negativeW) {
    Storage::addSigned(negativeW, [&] { addMagnitudeWord(w); }, [&] { subMagnitudeWord(w); });
}

void BigInt::add(const BigInt& y) { addSigned(y, false); }
void BigInt::sub(const BigInt& y) { addSigned(y, true); }

void BigInt::addInt(int32_t v) { addSignedWord(magnitudeOf(v), v < 0); }
void BigInt::subInt(int32_t v) { addSignedWord(magnitudeOf(v), v > 0); }

void BigInt::addUnsigned(uint32_t v) { addSignedWord(v, false); }

// --- shifts --------------------------------------------------------------------

void BigInt::shiftMagnitudeRight(uint32_t bits) {
    bool negative = size_ < 0;
    uint32_t n = dropLowWords(bits / 32);
    if (n != 0 && bits % 32 != 0) words::shiftRight(words_, n, bits % 32);
    setLengthAndSign(n, negative);
}

void BigInt::shiftMagnitudeLeft(uint32_t bits) {
    bool negative = size_ < 0;
    uint32_t n = length();
    if (n == 0) return;
    uint32_t move = bits / 32;
    uint32_t total = moveWordsUp(move, 1);
    words_[total] = bits % 32 != 0 ? words::shiftLeft(words_ + move, n, bits % 32) : 0;
    setLengthAndSign(total + 1, negative);
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

uint32_t BigInt::xorHash() const { return xorWords(); }

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
