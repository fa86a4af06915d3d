// WordStorage: the storage core of the integer types (BigInt in 32-bit
// words, RadixInt in radix-B digits): sign and magnitude, the block from the
// type's WordBlockCache, and the operations that do not depend on what a
// word means.
//
// `size` counts the words in use and carries the sign (0 = zero, +m / -m =
// m words); `words` holds the magnitude, least significant word first,
// 32-byte aligned; `block` is the start of the allocation, what goes back to
// the cache. Invariants after every public operation of an owner: the top
// word in use is non-zero, zero has no sign, |size| <= capacity, a value
// owns its block alone.
//
// The owner derives from WordStorage<its cache> and keeps its value
// semantics: the core moves but does not copy (an owner copies through its
// own assign, which may shift). There are no virtual functions and the data
// sits at the start of the owner, so `words()` / `digits()` stay one pointer
// read. The signed-operation templates take the owner's magnitude
// operations as callables; they inline into the owner's wrappers.
//
//   +------+----------+-------+-------+
//   | size | capacity | words | block |   owner's own members follow
//   +------+----------+-------+-------+
#pragma once

#include <cstdint>
#include <cstring>
#include <utility>

#include "arith/ArithmeticFault.h"
#include "arith/WordArray.h"
#include "arith/WordBlockCache.h"

namespace numen {

// The block caches, one per integer type and thread (RadixInt's is separate
// from BigInt's, with the same rules).
WordBlockCache& BigIntBlockCache();
WordBlockCache& RadixIntBlockCache();

template <WordBlockCache& (*Cache)()>
class WordStorage {
public:
    WordStorage() = default;
    WordStorage(const WordStorage&) = delete;
    WordStorage& operator=(const WordStorage&) = delete;
    // The source becomes zero with capacity 0.
    WordStorage(WordStorage&& src) noexcept
        : size_(src.size_), capacity_(src.capacity_), words_(src.words_), block_(src.block_) {
        src.size_ = 0;
        src.capacity_ = 0;
        src.words_ = nullptr;
        src.block_ = nullptr;
    }
    // The old block goes back to the cache; the source becomes zero with capacity 0.
    WordStorage& operator=(WordStorage&& src) noexcept {
        if (this != &src) {
            release();
            swapStorage(src);
        }
        return *this;
    }
    ~WordStorage() { release(); }

    // Returns the block to the cache; the value becomes zero with capacity 0.
    void release();

    int32_t size() const { return size_; }
    uint32_t length() const { return size_ < 0 ? uint32_t(-int64_t(size_)) : uint32_t(size_); }
    uint32_t capacity() const { return capacity_; }
    bool isZero() const { return size_ == 0; }
    bool isNegative() const { return size_ < 0; }
    void negate() { size_ = -size_; }
    // Makes room for at least n words, keeping the value and every word of
    // the old capacity (growth is exact: a new block of n words unless the
    // cache holds a larger one).
    void reserve(uint32_t n) {
        if (n > capacity_ || block_ == nullptr) grow(n);
    }
    // Sets the length (words beyond the old length must have been written)
    // and the sign, then strips leading zero words.
    void setLengthAndSign(uint32_t length, bool negative) {
        size_ = int32_t(length);
        strip();
        if (negative) setNegative(true);
    }

protected:
    void grow(uint32_t capacity);
    // Puts the block of a result built outside the array in place of the
    // current one, which goes back to the cache; length n, then stripped.
    void takeBlock(const WordBlockCache::Block& b, uint32_t n);
    static WordBlockCache::Block newBlock(uint32_t n) { return Cache().acquire(n); }
    void swapStorage(WordStorage& y) noexcept {
        std::swap(size_, y.size_);
        std::swap(capacity_, y.capacity_);
        std::swap(words_, y.words_);
        std::swap(block_, y.block_);
    }

    // Strips zero top words; a value left without words has no sign.
    void strip() {
        uint32_t n = uint32_t(words::stripped(words_, length()));
        size_ = size_ < 0 ? -int32_t(n) : int32_t(n);
    }
    void setNegative(bool negative) {
        int32_t n = int32_t(length());
        size_ = negative ? -n : n;
    }
    static uint32_t magnitudeOf(int32_t v) { return v < 0 ? uint32_t(0) - uint32_t(v) : uint32_t(v); }

    // Signed order of two values of one digit system, -1, 0 or 1: size
    // holds sign and length, so only equal sizes need the words.
    int compareSigned(const WordStorage& y) const {
        if (size_ != y.size_) return size_ < y.size_ ? -1 : 1;
        int c = words::compare(words_, y.words_, length());
        return size_ < 0 ? -c : c;
    }
    // Order of |x| and |y|, -1, 0 or 1.
    int compareMagnitude(const WordStorage& y) const {
        uint32_t a = length(), b = y.length();
        if (a != b) return a < b ? -1 : 1;
        return words::compare(words_, y.words_, a);
    }
    // x := src with its lowest `drop` words dropped, src's sign kept (not
    // stripped: src's top word is non-zero). src is not x.
    void copyDropping(const WordStorage& src, uint32_t drop);
    // Drops the lowest `drop` words in place; returns the words left (size
    // is not set: the caller finishes the value).
    uint32_t dropLowWords(uint32_t drop);
    // Moves the words in use up by `move` places with zeros below and room
    // for `spare` more words above; returns the new length (size not set).
    // ArithmeticFault when that exceeds 2^31 - 1 words.
    uint32_t moveWordsUp(uint32_t move, uint32_t spare);
    // size XOR every word in use.
    uint32_t xorWords() const;

    // x := |x|·w when that needs no arithmetic (w = 0 or 1, or x = 0) and
    // true; otherwise false with x := |x|.
    bool scaledTrivially(uint32_t w) {
        uint32_t n = length();
        size_ = w == 0 ? 0 : int32_t(n);
        return w <= 1 || n == 0;
    }

    // x := |x| - w when |x| has at most one word, w and |x| both below the
    // radix: the result is -(w - |x|) when w > |x|. False, with nothing
    // changed, when |x| has more words.
    bool subWordFromShort(uint32_t w) {
        uint32_t n = length();
        if (n > 1) return false;
        uint32_t x = n == 0 ? 0 : words_[0];
        reserve(1);
        words_[0] = x >= w ? x - w : w - x;
        size_ = x > w ? 1 : (x == w ? 0 : -1);
        return true;
    }

    // x := -(|y| - |x|) when y has more words than x, built in x's array:
    // sub(r, a, b, n) returns the borrow of r = a - b over n words and
    // subBorrow(a, n, borrow) takes a borrow through n words.
    template <class Sub, class SubBorrow>
    void subFromLonger(const WordStorage& y, Sub sub, SubBorrow subBorrow) {
        const uint32_t a = length(), b = y.length();
        reserve(b);
        uint32_t borrow = sub(words_, y.words_, words_, a);
        std::memcpy(words_ + a, y.words_ + a, size_t(b - a) * 4);
        subBorrow(words_ + a, b - a, borrow);
        size_ = -int32_t(b);
        strip();
    }

    // x := x + y for y of sign negativeY, given |x| + |y| and |x| - |y| (the
    // latter negative when |y| > |x|): equal signs add magnitudes, unequal
    // ones subtract them; the result then takes x's sign (zero counts as
    // positive).
    template <class AddMagnitude, class SubMagnitude>
    void addSigned(bool negativeY, AddMagnitude addMagnitude, SubMagnitude subMagnitude) {
        bool xNegative = size_ < 0;
        if (size_ == 0) xNegative = negativeY;
        if (xNegative == negativeY) {
            addMagnitude();
            setNegative(xNegative && size_ != 0);
        } else {
            subMagnitude();
            if (xNegative) negate();
        }
    }

    // x := x·v given |x|·w.
    template <class MulMagnitudeWord>
    void mulSigned(int32_t v, MulMagnitudeWord mulMagnitudeWord) {
        bool negative = (size_ < 0) != (v < 0);
        mulMagnitudeWord(magnitudeOf(v));
        if (negative && size_ != 0) setNegative(true);
    }

    // Quotient of x by v truncated toward zero, given floor(|x|/w) with its
    // remainder; returns the remainder with x's sign. v = 0 raises.
    template <class DivMagnitudeWord>
    int32_t divSigned(int32_t v, DivMagnitudeWord divMagnitudeWord) {
        if (v == 0) throw ArithmeticFault("division by zero");
        bool xNegative = size_ < 0;
        bool negative = xNegative != (v < 0);
        uint32_t rem = divMagnitudeWord(magnitudeOf(v));
        if (negative && size_ != 0) setNegative(true);
        // |rem| < |v| <= 2^31, so it fits with either sign.
        return xNegative ? -int32_t(rem) : int32_t(rem);
    }

    // The cases of |x|·|y| that need no long product: a zero factor (x :=
    // 0), or a one-word y (mulMagnitudeWord of that word). False when a long
    // product of a + b words remains; ArithmeticFault when a + b exceeds
    // 2^31 - 1.
    template <class MulMagnitudeWord>
    bool shortProduct(const WordStorage& y, MulMagnitudeWord mulMagnitudeWord) {
        uint32_t a = length(), b = y.length();
        if (a == 0 || b == 0) {
            size_ = 0;
            return true;
        }
        if (b == 1) {
            mulMagnitudeWord(y.words_[0]);
            return true;
        }
        if (uint64_t(a) + b > 0x7fffffffu) throw ArithmeticFault("integer too large");
        return false;
    }

    int32_t size_ = 0;
    uint32_t capacity_ = 0;
    uint32_t* words_ = nullptr;
    void* block_ = nullptr;
};

extern template class WordStorage<BigIntBlockCache>;
extern template class WordStorage<RadixIntBlockCache>;

}  // namespace numen
