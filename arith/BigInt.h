// BigInt: exact signed integer of unlimited size, the value type on which
// every test, proof and report is computed.
//
// Sign and magnitude in 32-bit words on the storage core (WordStorage.h):
// `size` counts the words in use and carries the sign (0 = zero, +m / -m =
// m words); `words` holds the magnitude, least significant word first,
// 32-byte aligned, from a per-thread WordBlockCache (BigIntBlockCache).
// Invariants after every public operation: the top word in use is non-zero,
// zero has no sign, |size| <= capacity, a BigInt owns its block alone.
//
// Everything is schoolbook word arithmetic (Knuth, TAOCP vol. 2, 4.3.1)
// except long squares and products, which go to the transform products.
// Failures raise ArithmeticFault (zero divisor, exhausted heap); nothing is
// reported by return value. Not thread-safe: one computation thread per value.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

#include "arith/ArithmeticFault.h"
#include "arith/WordStorage.h"

namespace numen {

class BigInt : private WordStorage<BigIntBlockCache> {
    using Storage = WordStorage<BigIntBlockCache>;

public:
    BigInt() = default;
    explicit BigInt(int32_t v);
    // Copy of src with its magnitude shifted right by shiftBits.
    BigInt(const BigInt& src, uint32_t shiftBits = 0);
    // Moves leave the source zero with capacity 0.
    BigInt(BigInt&& src) noexcept = default;
    BigInt& operator=(const BigInt& src);
    BigInt& operator=(BigInt&& src) noexcept = default;

    // Returns the block to the cache; the value becomes zero with capacity 0.
    using Storage::release;

    // --- construction and assignment ---------------------------------
    void setUnsigned(uint32_t v);
    void setUnsigned64(uint32_t lo, uint32_t hi);
    void setInt(int32_t v);
    void setInt64(int64_t v);
    // src with its magnitude shifted right by shiftBits, src's sign kept.
    void assign(const BigInt& src, uint32_t shiftBits = 0);
    // k*b^n + c.
    void setCandidate(uint32_t k, uint32_t b, uint32_t n, int32_t c);
    // b^n (1 when n = 0), left-to-right binary powering.
    void setPower(uint32_t b, uint32_t n);
    // (|x| mod 2^bitPos) + v*2^bitPos, non-negative.
    void setBitsAt(uint32_t bitPos, uint32_t v);

    // --- comparison: only the sign of the result carries the answer ----
    int compare(const BigInt& y) const;
    int compareInt(int32_t v) const;

    // --- signed in-place arithmetic ------------------------------------
    void addInt(int32_t v);
    void subInt(int32_t v);
    void add(const BigInt& y);
    void sub(const BigInt& y);
    void addUnsigned(uint32_t v);
    void mulInt(int32_t v);
    void mulUnsigned(uint32_t v);        // sign of x kept
    void mul(const BigInt& y);           // schoolbook, any length
    // x^2 / x*y; long operands go to the transform products, which report
    // their largest round-off error through maxErr when measure is set.
    void square(bool measure = false, double* maxErr = nullptr);
    void mulTransform(const BigInt& y, bool measure = false, double* maxErr = nullptr);
    // Quotient truncated toward zero; returns the remainder (sign of x).
    int32_t divInt(int32_t v);
    // Magnitudes only: x := floor(|x|/|d|), rem := |x| mod |d|.
    // rem may not be x; d may be x or rem.
    void divMod(BigInt& rem, const BigInt& d);
    // Truncating signed division: quotient sign = product of the signs,
    // remainder has the dividend's sign. Returns rem.
    BigInt& divRem(BigInt& rem, const BigInt& d);
    // bits > 0: magnitude shifted right (truncating); bits < 0: left.
    void shift(int32_t bits);
    using Storage::negate;

    // --- magnitude operations (sign-free building blocks) ---------------
    void addMagnitudeWord(uint32_t w);
    void subMagnitudeWord(uint32_t w);   // negative result when w > |x|
    void addMagnitude(const BigInt& y);
    void subMagnitude(const BigInt& y);  // negative result when |y| > |x|
    void mulMagnitudeWord(uint32_t w);
    void mulMagnitude(const BigInt& y);
    // x := floor(|x|/w), returns |x| mod w.
    uint32_t divMagnitudeWord(uint32_t w);

    // --- queries ---------------------------------------------------------
    uint32_t lowBits(uint32_t mask) const { return size_ == 0 ? 0 : (words_[0] & mask); }
    // floor(log2 |x|); 0 for zero.
    uint32_t topBitIndex() const;
    // |x| mod 2^32 - 1 as a ones' complement sum (a non-zero multiple gives 2^32 - 1).
    uint32_t checksum() const;
    // size XOR all words in use.
    uint32_t xorHash() const;
    // Text in radix 2..36 ("0" for zero, leading "-" when negative).
    std::string toString(uint32_t radix = 10) const;

    // --- raw access for the arithmetic units ------------------------------
    using Storage::size;
    using Storage::length;
    using Storage::capacity;
    const uint32_t* words() const { return words_; }
    uint32_t* words() { return words_; }
    using Storage::isZero;
    using Storage::isNegative;
    // Makes room for at least n words, keeping the value (growth is exact).
    using Storage::reserve;
    // Sets the length (words beyond the old length must have been written)
    // and the sign, then strips leading zero words.
    using Storage::setLengthAndSign;

    friend void swap(BigInt& x, BigInt& y) noexcept { x.swapStorage(y); }

private:
    void shiftMagnitudeRight(uint32_t bits);
    void shiftMagnitudeLeft(uint32_t bits);
    void addSigned(const BigInt& y, bool subtract);
    void addSignedWord(uint32_t w, bool negativeW);
};

// --- operations returning new values --------------------------------------
BigInt operator-(const BigInt& x);
BigInt operator+(const BigInt& x, int32_t v);
BigInt operator+(const BigInt& x, const BigInt& y);
BigInt operator-(const BigInt& x, int32_t v);
BigInt operator-(const BigInt& x, const BigInt& y);
BigInt operator*(const BigInt& x, int32_t v);
BigInt operator*(const BigInt& x, const BigInt& y);   // schoolbook
BigInt operator/(const BigInt& x, int32_t v);          // truncating
int32_t operator%(const BigInt& x, int32_t v);         // sign of x
// Truncating remainder of x by m, with the sign of x.
BigInt mod(const BigInt& x, const BigInt& m);

// --- number theory ----------------------------------------------------------
BigInt isqrt(const BigInt& x);                 // floor(sqrt x); 0 for x < 0
BigInt gcd(const BigInt& x, const BigInt& y);  // binary gcd of |x|, |y|
int jacobi(const BigInt& a, const BigInt& n);  // Kronecker extension to even n
// x^e reduced by m (truncating, so the sign follows x^e); 1 for e <= 0.
// Schoolbook: for short operands only.
BigInt powMod(const BigInt& x, int32_t e, const BigInt& m);

// --- serialised form: signed 32-bit size, then |size| words, little-endian ---
// Both return the sum of the item counts of the underlying reads or writes
// (1 + |size| when complete). readBigInt refuses (returns what it read so
// far, leaving x unchanged) a size above maxWords, so a damaged file never
// allocates without bound.
size_t writeBigInt(std::FILE* file, const BigInt& x);
size_t readBigInt(std::FILE* file, BigInt& x, uint32_t maxWords = 1u << 26);

}  // namespace numen
