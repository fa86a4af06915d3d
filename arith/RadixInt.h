// RadixInt: exact signed integer in digits of a radix B that is in general
// not a power of two: B = b^m (RadixChoice.h) for the candidate's base b, or
// a generalized-Fermat base itself. With digits in radix b^m, multiplying or
// dividing by a power of b is a digit shift plus a small product, so the
// special-form reductions need no division by N.
//
// It shares BigInt's storage core (WordStorage.h): sign and magnitude,
// `size` counts the digits in use and carries the sign (0 = zero), `words`
// holds the digits, least significant first, each in [0, B) after every
// public operation, 32-byte aligned, from a per-thread WordBlockCache of its
// own (RadixIntBlockCache). Invariants:
// the top digit in use is non-zero, zero has no sign, |size| <= capacity, a
// RadixInt owns its block alone. Two operands of one operation must have the
// same radix (ArithmeticFault otherwise); copies take the radix of their
// source.
//
// Digits are 32-bit words; every digit product plus carry is formed in 64
// bits and split by B (2 <= B < 2^31, so (B - 1)^2 + 2(B - 1) < 2^62).
// Schoolbook arithmetic (Knuth, TAOCP vol. 2, 4.3.1) throughout, except
// long squares and products in a radix up to 2^20, which go to the
// transform products (TransformProduct.h). Failures raise
// ArithmeticFault (zero divisor, exhausted heap, radix mismatch). Not
// thread-safe: one computation thread per value.
#pragma once

#include <cstdint>
#include <cstdio>

#include "arith/ArithmeticFault.h"
#include "arith/BigInt.h"
#include "arith/WordStorage.h"

namespace numen {

class RadixInt : private WordStorage<RadixIntBlockCache> {
    using Storage = WordStorage<RadixIntBlockCache>;

public:
    // Largest radix: the serialised form stores it as a signed 32-bit value.
    static constexpr uint32_t kMaxRadix = 0x7fffffffu;

    // Zero in the given radix (2 .. kMaxRadix, ArithmeticFault otherwise).
    explicit RadixInt(uint32_t radix);
    RadixInt(uint32_t radix, int32_t v);
    // The value of x written in the given radix.
    RadixInt(uint32_t radix, const BigInt& x);
    // Copy of src divided by B^shiftDigits (truncated toward zero).
    RadixInt(const RadixInt& src, uint32_t shiftDigits = 0);
    // Moves take src's radix and leave src zero in its radix with capacity 0.
    RadixInt(RadixInt&& src) noexcept = default;
    RadixInt& operator=(const RadixInt& src);  // takes src's radix
    RadixInt& operator=(RadixInt&& src) noexcept = default;

    // Returns the block to the cache; the value becomes zero with capacity 0
    // (the radix is kept).
    using Storage::release;
    // Zero in another radix (the block is kept).
    void setRadix(uint32_t radix);

    // --- construction and assignment ---------------------------------
    void setUnsigned(uint32_t v);
    void setInt(int32_t v);
    // x's value in this value's radix.
    void setBigInt(const BigInt& x);
    // src divided by B^shiftDigits with src's sign and radix.
    void assign(const RadixInt& src, uint32_t shiftDigits = 0);

    // --- comparison: only the sign of the result carries the answer ----
    int compare(const RadixInt& y) const;
    int compareInt(int32_t v) const;
    int compareMagnitude(const RadixInt& y) const;
    // v = 0: 1 when x != 0, else 0; otherwise |x| against v.
    int compareMagnitudeInt(uint32_t v) const;

    // --- signed in-place arithmetic ------------------------------------
    void add(const RadixInt& y);
    void sub(const RadixInt& y);
    void addInt(int32_t v);
    void subInt(int32_t v);
    void mulInt(int32_t v);
    void mul(const RadixInt& y);  // schoolbook, any length
    // x^2 / x*y; operands longer than 16 digits in a radix up to 2^20 go to
    // the transform products, which report their largest round-off error
    // through maxErr when measure is set (0 for a schoolbook product).
    void square(bool measure = false, double* maxErr = nullptr);
    void mulTransform(const RadixInt& y, bool measure = false, double* maxErr = nullptr);
    // Quotient of |x| by |v| truncated, sign = product of the signs; returns
    // the remainder with the dividend's sign. v = 0 raises ArithmeticFault.
    int32_t divInt(int32_t v);
    using Storage::negate;

    // --- magnitude operations (sign-free building blocks) ---------------
    void addMagnitude(const RadixInt& y);
    void subMagnitude(const RadixInt& y);  // negative result when |y| > |x|
    void addMagnitudeWord(uint32_t v);     // any v, also v >= B
    void subMagnitudeWord(uint32_t v);     // negative result when v > |x|
    void mulMagnitudeWord(uint32_t v);
    void mulMagnitude(const RadixInt& y);
    // x := floor(|x|/v), returns |x| mod v; v = 0 raises ArithmeticFault.
    uint32_t divMagnitudeWord(uint32_t v);
    // d > 0: |x| divided by B^d (low digits dropped); d < 0: multiplied by
    // B^-d. The sign stays (a zero result has none).
    void shiftDigits(int32_t d);

    // Brings digits that are negative or >= B back into [0, B) with a signed
    // carry; the words are read as signed 32-bit digits. A carry left over at
    // the top is appended (the array grows as needed); a negative total
    // makes the value negative. A negative size normalises the magnitude.
    void normalize();

    // --- conversions --------------------------------------------------------
    BigInt toBigInt() const;
    // Intake of the generalized-Fermat transform's result: grows the array
    // to n + 32 digits and lets readOut(int32_t* digits, uint32_t n,
    // double* maxErr) write the n result digits, least significant first,
    // as signed values that may be negative or exceed B (and its round-off
    // measure through maxErr); then size n and normalize.
    template <class ReadOut>
    void fromGfnTransform(uint32_t n, double* maxErr, ReadOut&& readOut) {
        int32_t* digits = signedDigitArea(n);
        readOut(digits, n, maxErr);
        takeSignedDigits(n);
    }
    // The same intake from digits already rounded to 64-bit integers
    // (|digit| <= 2^62), carried in 64 bits.
    void fromSignedDigits(const int64_t* digits, uint32_t n);

    // --- queries ------------------------------------------------------------
    // Digit sum modulo B - 1 (|x| mod B - 1); 0 for zero.
    uint32_t checksum() const;
    // size XOR radix XOR all digits in use.
    uint32_t xorHash() const;

    // --- raw access for the arithmetic units ----------------------------------
    using Storage::size;
    using Storage::length;
    using Storage::capacity;
    uint32_t radix() const { return radix_; }
    // log2 B when B is a power of two, otherwise -1.
    int32_t radixLog2() const { return radixLog2_; }
    const uint32_t* digits() const { return words_; }
    uint32_t* digits() { return words_; }
    using Storage::isZero;
    using Storage::isNegative;
    // Makes room for at least n digits, keeping the value (growth is exact).
    using Storage::reserve;
    // Sets the length (digits beyond the old length must have been written,
    // each below B) and the sign, then strips leading zero digits.
    using Storage::setLengthAndSign;

    friend void swap(RadixInt& x, RadixInt& y) noexcept;

private:
    void checkRadix(const RadixInt& y) const;
    void addSigned(const RadixInt& y, bool subtract);
    void addSignedWord(uint32_t v, bool negativeV);
    // Appends the digits of a non-negative carry above the first n digits.
    void appendCarry(uint32_t n, uint64_t carry);
    int32_t* signedDigitArea(uint32_t n);
    void takeSignedDigits(uint32_t n);
    // Finishes a signed carry pass over n digits already in [0, B): appends
    // a positive carry, or takes the radix complement for a negative one.
    void finishCarry(uint32_t n, int64_t carry, bool negative);

    uint32_t radix_ = 2;
    int32_t radixLog2_ = 1;
};

// --- serialised form, all 32-bit little-endian --------------------------------
//
//   +--------+-------+---+-----------+---+---------+-----+-------------+
//   | size   | radix | 0 | radixLog2 | 0 | digit 0 | ... | digit |s|-1 |
//   +--------+-------+---+-----------+---+---------+-----+-------------+
//
// Both return the sum of the item counts of the underlying reads or writes,
// 5 + |size| when complete. readRadixInt trusts nothing it reads: it refuses
// a size above maxDigits (returns 1), a radix below 2 (returns 2) and a digit
// >= radix (returns 5 + its index); a short file returns the items read. On
// any refusal x is left unchanged. radixLog2 is recomputed from the radix and
// leading zero digits are stripped.
size_t writeRadixInt(std::FILE* file, const RadixInt& x);
size_t readRadixInt(std::FILE* file, RadixInt& x, uint32_t maxDigits = 1u << 26);

}  // namespace numen
