// Planning of the exact transform products: which products take the
// transform at all, the transform length L for an operand length, and the
// shape of the transform buffer (one row of L elements, or b rows of g
// elements padded by `gap`).
//
// Size rule. P is the smallest power of two not below the operand length
// (the longer operand of a product). A BigInt is split into 16-bit digits,
// two per word, so L = 2P; a RadixInt takes one radix digit per element, so
// L = P. The weighted right-angle transform of length L returns all 2L digits
// of the product: the low L in the real parts, the high L in the imaginary
// parts.
//
// Shape. One-pass (b = 1, g = L) for L <= 1024, or L <= 4096 on processors
// whose 64 KB sweep costs fewer than 6 cycles per double (lat64k); there the
// whole transform stays in the first-level cache. Otherwise two-pass
// (four-step): b = 2^floor((log2 L - 1)/2) rows of g = L/b elements, then
// rows doubled (and b halved) while g < 1024 and b > 4:
//
//     L = 2^11: g = 512,  b = 4         L = 2^20: g = 2048, b = 512
//     L = 2^12: g = 1024, b = 4         L = 2^21: g = 2048, b = 1024
//
// The fast kernel families (AVX2, AVX-512) plan their own one-pass limit:
// their row passes recurse by quarters, so a row of up to 2^14 elements
// (256 KB) does its inner levels from the first-level cache, and one pass
// over the buffer beats the column and twist passes of two (measured: an
// L = 8192 square about 10 % faster one-pass). Above it they take the same
// two-pass shape as every family.
//
// Element j of the transform lives at row j / g, column j % g, that is at
// buffer index (j / g)(g + gap) + j % g; the one-pass layout has no padding.
#pragma once

#include <cstddef>
#include <cstdint>

namespace numen {

// Products at or below these lengths use the schoolbook loops: a square of a
// BigInt of at most 32 words, a product unless both factors exceed 16 words
// (RadixInt: 16 digits for both). Below them the transform's fixed cost (the
// tables, the buffer pass, the read-out) is not yet paid back.
inline constexpr uint32_t kSchoolbookSquareWords = 32;
inline constexpr uint32_t kSchoolbookProductWords = 16;
inline constexpr uint32_t kSchoolbookSquareDigits = 16;
inline constexpr uint32_t kSchoolbookProductDigits = 16;

// Longest transforms of the exact products. With balanced 16-bit digits
// (BigInt) or radix digits up to 2^20 (RadixInt) a longer transform would
// carry coefficients too wide for the 53-bit mantissa of the buffer. The
// input limits of the search (RadixChoice.h) keep every product below them.
inline constexpr uint32_t kMaxBigIntTransformLength = 1u << 21;
inline constexpr uint32_t kMaxRadixTransformLength = 1u << 20;
// Largest radix whose digits the transform takes (B(b) <= 2^20); a larger
// generalized-Fermat base is squared by its own transform or by schoolbook.
inline constexpr uint32_t kMaxTransformRadix = 1u << 20;

// The one-pass layout serves up to this length, and up to the long limit on
// processors with lat64k below kFastCacheLatency.
inline constexpr uint32_t kOnePassLength = 1024;
inline constexpr uint32_t kOnePassLengthFastCache = 4096;
inline constexpr int32_t kFastCacheLatency = 6;
inline constexpr uint32_t kOnePassLengthFastFamily = 16384;
// Two-pass rows are grown to this length while at least 4 rows remain: long
// rows amortise the twist and keep the row kernel in its fast inner levels.
inline constexpr uint32_t kTwoPassMinRowLength = 1024;
inline constexpr uint32_t kTwoPassMinRows = 4;

enum class DigitSystem {
    kBinary16,  // BigInt: two balanced 16-bit digits per word
    kRadix,     // RadixInt: one balanced radix-B digit per element
};

// Every shape record of the transforms (this one, GfnShape) follows one
// convention: one pass is one row of L elements, rows = 1 and rowLength = L,
// so rows and rowLength are always the loop bounds; two-pass shapes have at
// least 4 rows.
struct TransformPlan {
    uint32_t length = 0;     // L, a power of two
    uint32_t rowLength = 0;  // g (L when one-pass)
    uint32_t rows = 0;       // b (1 when one-pass)
    uint32_t gap = 0;        // padding elements after each row (0 when one-pass)

    bool onePass() const { return rows == 1; }
    uint32_t rowStride() const { return rowLength + gap; }
    // Elements the buffer must hold per array.
    size_t elements() const { return size_t(rows) * rowStride(); }
    // Buffer index of transform element j.
    size_t index(uint32_t j) const { return size_t(j / rowLength) * rowStride() + j % rowLength; }
};

// Smallest power of two >= n (n >= 1; 1 for n = 1), by doubling from 1.
uint32_t PowerOfTwoAtLeast(uint32_t n);

// L for an operand (or longer factor) of `length` words (kBinary16) or
// digits (kRadix); length >= 1. No limit is applied here.
uint32_t TransformLength(uint32_t length, DigitSystem digits);

// The shape of a transform of length L (a power of two, >= 32) for the
// processor values lat64k and gap (gap >= 0), and for a fast kernel family
// or another one. A pure function.
TransformPlan PlanTransform(uint32_t length, int32_t lat64k, int32_t gap, bool fastFamily = false);

}  // namespace numen
