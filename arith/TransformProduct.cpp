// Exact transform products: load the balanced, weighted digits, run a kernel
// family, read out with two carry chains, verify by checksum (the method is
// drawn in TransformProduct.h). One pipeline serves both digit systems, each
// described by a small traits type (BinarySystem, RadixSystem): a BigInt is
// read as 16-bit digits (radix 65536) and written back two digits a word, a
// RadixInt read and written as its own digits.
#include "arith/TransformProduct.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstring>

#include <emmintrin.h>

#include "arith/ProcessorProfile.h"
#include "arith/TransformBuffer.h"
#include "arith/TransformWeights.h"
#include "arith/kernels/FastTables.h"
#include "arith/kernels/KernelFamily.h"
#include "arith/kernels/Twiddles.h"

namespace numen {

namespace {

std::atomic<TransformDisturbance> gDisturbance{nullptr};

void Disturb(Complex* array, const TransformPlan& plan) {
    if (const TransformDisturbance d = gDisturbance.load(std::memory_order_relaxed); d != nullptr) d(array, plan);
}

// A product keeps nothing between calls, so one buffer per thread serves
// every product that thread computes.
TransformBuffer& ThreadBuffer() {
    thread_local TransformBuffer buffer;
    return buffer;
}

// --- load --------------------------------------------------------------------

// Digit j of |x| in 16-bit binary digits, j < 2 * length.
struct BinaryDigitsOf {
    const uint32_t* words;
    uint32_t operator()(uint32_t j) const { return (words[j >> 1] >> ((j & 1) << 4)) & 0xffffu; }
};

struct RadixDigitsOf {
    const uint32_t* digits;
    uint32_t operator()(uint32_t j) const { return digits[j]; }
};

// Writes the `count` digits (digitAt(0 .. count-1), each in [0, radix)) of an
// operand, balanced and weighted, into the plan's layout of `array`; every
// other element of the rows is zero, the padding is not touched. count <= L.
template <class DigitAt>
void LoadDigits(Complex* array, const TransformPlan& plan, const ProductWeights& weights, uint32_t count,
                uint32_t radix, DigitAt digitAt) {
    const ExtendedComplex* starts = weights.rowStarts;
    const long double cot = weights.rotationCot, sin = weights.rotationSin;
    const int64_t half = radix / 2, fullRadix = radix;
    const uint32_t g = plan.rowLength;
    for (uint32_t r = 0; r < plan.rows; ++r) {
        Complex* row = array + size_t(r) * plan.rowStride();
        const uint32_t first = r * g;
        const uint32_t inRow = count > first ? std::min(count - first, g) : 0;
        uint32_t c = 0;
        if (inRow != 0) {
            ExtendedComplex w = starts[r];
            int64_t carry = 0;
            for (const uint32_t balanced = std::min(inRow, g - 1); c < balanced; ++c) {
                int64_t h = int64_t(digitAt(first + c)) + carry;
                carry = h >= half;
                long double v = static_cast<long double>(h - carry * fullRadix);
                row[c] = {double(v * w.re), double(v * w.im)};
                w = RotateWeight(w, cot, sin);
            }
            // The row's last digit, or the first position past the operand,
            // takes the carry without balancing.
            long double v = static_cast<long double>(carry + (c < inRow ? int64_t(digitAt(first + c)) : 0));
            row[c] = {double(v * w.re), double(v * w.im)};
            ++c;
        }
        std::memset(static_cast<void*>(row + c), 0, size_t(g - c) * sizeof(Complex));
    }
}

// The fast families' loader: the digits balanced without a carry chain,
// as doubles, one row at a time, weighted by the family in double precision.
// A digit of B/2 or more gives away B and its upper neighbour takes the 1,
// which depends on the two digits alone: the same range [-B/2, B/2] as the
// chained balancing, and loops the compiler vectorises. As there, the row's
// last digit (or the first position past the operand) takes the incoming 1
// unbalanced, so nothing crosses rows.
void BalanceRow(double* out, const uint32_t* raw, uint32_t inRow, uint32_t g, uint32_t radix) {
    const uint32_t half = radix / 2;
    const int32_t fullRadix = int32_t(radix);
    const uint32_t balanced = std::min(inRow, g - 1);
    if (balanced > 0) out[0] = double(int32_t(raw[0]) - fullRadix * int32_t(raw[0] >= half));
    for (uint32_t c = 1; c < balanced; ++c)
        out[c] = double(int32_t(raw[c]) - fullRadix * int32_t(raw[c] >= half) + int32_t(raw[c - 1] >= half));
    const int32_t carry = balanced > 0 ? int32_t(raw[balanced - 1] >= half) : 0;
    out[balanced] = double(carry + (balanced < inRow ? int32_t(raw[balanced]) : 0));
    for (uint32_t c = balanced + 1; c < g; ++c) out[c] = 0;
}

// `rawDigits(first, inRow, scratch)` returns the row's digits as 32-bit
// values (a pointer into the operand, or the scratch it filled).
template <class RawDigits>
void LoadDigitsFast(const KernelFamily& family, Complex* array, const TransformPlan& plan,
                    const ProductWeights& weights, uint32_t count, uint32_t radix, RawDigits rawDigits) {
    const Complex* starts = weights.rowStartsDouble;
    const Complex* columns = weights.columnWeights;
    const uint32_t g = plan.rowLength;
    double* digits = &FastScratch(1, g)->re;                          // g doubles
    uint32_t* scratch = reinterpret_cast<uint32_t*>(digits + g);     // g words
    for (uint32_t r = 0; r < plan.rows; ++r) {
        Complex* row = array + size_t(r) * plan.rowStride();
        const uint32_t first = r * g;
        const uint32_t inRow = count > first ? std::min(count - first, g) : 0;
        if (inRow == 0) {
            std::memset(static_cast<void*>(row), 0, size_t(g) * sizeof(Complex));
            continue;
        }
        BalanceRow(digits, rawDigits(first, inRow, scratch), inRow, g, radix);
        family.weightRow(row, digits, g, starts[r], columns);
    }
}

// 16-bit digits first .. first + count of a BigInt's words (first even).
struct BinaryRawDigits {
    const uint32_t* words;
    const uint32_t* operator()(uint32_t first, uint32_t count, uint32_t* scratch) const {
        const uint32_t* w = words + first / 2;
        for (uint32_t i = 0; i < count / 2; ++i) {
            scratch[2 * i] = w[i] & 0xffffu;
            scratch[2 * i + 1] = w[i] >> 16;
        }
        if (count % 2 != 0) scratch[count - 1] = w[count / 2] & 0xffffu;
        return scratch;
    }
};

struct RadixRawDigits {
    const uint32_t* digits;
    const uint32_t* operator()(uint32_t first, uint32_t, uint32_t*) const { return digits + first; }
};

// --- read-out -----------------------------------------------------------------

// Element j of `array` times w_j, rounded: (coefficient j, coefficient j + L).
struct Coefficients {
    int64_t low, high;
};

template <bool kMeasure>
inline Coefficients RoundElement(const Complex& z, const ExtendedComplex& w, long double& maxErr) {
    long double re = z.re, im = z.im;
    long double a = re * w.re - im * w.im;
    long double b = re * w.im + im * w.re;
    Coefficients k{std::llrint(a), std::llrint(b)};
    if constexpr (kMeasure) {
        maxErr = std::max(maxErr, std::fabs(a - static_cast<long double>(k.low)));
        maxErr = std::max(maxErr, std::fabs(b - static_cast<long double>(k.high)));
    }
    return k;
}

// The product of two ones' complement checksums, folded to 32 bits with
// end-around carry: the checksum the product must have.
uint32_t FoldedProduct(uint32_t x, uint32_t y) {
    uint64_t t = uint64_t(x) * y;
    while ((t >> 32) != 0) t = (t & 0xffffffffu) + (t >> 32);
    return uint32_t(t);
}

[[noreturn]] void ChecksumMismatch();

struct RoundedRows {
    const double* low;
    const double* high;
    double err;
};

inline RoundedRows RoundRowFast(const KernelFamily& family, const Complex* array, const TransformPlan& plan,
                                const ProductWeights& weights, uint32_t r, double* scratch) {
    const uint32_t g = plan.rowLength;
    const double err = family.roundRow(array + size_t(r) * plan.rowStride(), g, weights.rowStartsDouble[r],
                                       weights.columnWeights, scratch, scratch + g);
    if (std::isnan(err)) ChecksumMismatch();
    return {scratch, scratch + g, err};
}

// Binary: one row of one chain in four independent quarters, each adding
// its coefficients 16 bits apart (an addition and a shift per digit on its
// dependent path, so four quarters keep the processor busy); each quarter's
// carry then enters the next quarter's first word and is walked up as far
// as it goes. Returns the carry out of the row, in units of its last digit.
int64_t CarryRowBinary(const double* k, uint32_t* out, uint32_t g, int64_t carryIn) {
    const uint32_t q = g / 4;  // coefficients per quarter, even
    int64_t c0 = carryIn, c1 = 0, c2 = 0, c3 = 0;
    auto word = [](int64_t& carry, const double* pair) {
        carry += int64_t(pair[0]);
        uint32_t w = uint32_t(carry) & 0xffffu;
        carry >>= 16;  // arithmetic: a negative sum borrows
        carry += int64_t(pair[1]);
        w |= uint32_t(carry) << 16;
        carry >>= 16;
        return w;
    };
    for (uint32_t i = 0; i < q; i += 2) {
        out[i / 2] = word(c0, k + i);
        out[(q + i) / 2] = word(c1, k + q + i);
        out[(2 * q + i) / 2] = word(c2, k + 2 * q + i);
        out[(3 * q + i) / 2] = word(c3, k + 3 * q + i);
    }
    auto walk = [out, g](uint32_t j, int64_t carry) {
        for (; carry != 0 && j < g / 2; ++j) {
            const int64_t t = int64_t(out[j]) + carry;
            out[j] = uint32_t(t);
            carry = t >> 32;
        }
        return carry;
    };
    return c3 + walk(q / 2, c0) + walk(q, c1) + walk(3 * q / 2, c2);
}

// Radix: u = q B + digit with q rounded from u / B, digit in [0, B).
struct RadixSplit {
    int64_t radix;
    double inverse;
    uint32_t operator()(int64_t& carry, int64_t coefficient) const {
        const int64_t u = coefficient + carry;
        // Rounds to nearest (the default mode); |u / B| < 2^62 always.
        const int64_t q = _mm_cvtsd_si64(_mm_set_sd(double(u) * inverse));
        const int64_t digit = u - q * radix;
        const int64_t negative = digit >> 63;  // 0 or -1
        carry = q + negative;
        return uint32_t(digit + (radix & negative));
    }
};

// Adds `carry` at out[j] and walks it up while it lasts, never to `end`;
// returns what is left there.
int64_t WalkCarry(uint32_t* out, uint32_t j, uint32_t end, int64_t carry, const RadixSplit& split) {
    for (; carry != 0 && j < end; ++j) out[j] = split(carry, int64_t(out[j]));
    return carry;
}

// One row of one chain in eight independent segments (the division by the
// radix makes a single chain slow: some twenty cycles per digit); each
// segment's carry then enters the next segment and is walked up as far as
// it goes, which is a digit or three. Returns the carry out of the row.
constexpr uint32_t kRadixSegments = 8;

int64_t CarryRowRadix(const double* k, uint32_t* out, uint32_t g, int64_t carryIn, const RadixSplit& split) {
    const uint32_t q = g / kRadixSegments;  // g >= 16
    int64_t c[kRadixSegments] = {carryIn};
    for (uint32_t i = 0; i < q; ++i) {
#pragma GCC unroll 8
        for (uint32_t t = 0; t < kRadixSegments; ++t) out[t * q + i] = split(c[t], int64_t(k[t * q + i]));
    }
    int64_t left = 0;
    for (uint32_t t = 0; t + 1 < kRadixSegments; ++t) left += WalkCarry(out, (t + 1) * q, g, c[t], split);
    return c[kRadixSegments - 1] + left;
}

// The two digit systems, as the one pipeline below sees them. Output: the
// 2L digits of the product, the low chain's (coefficients 0 .. L-1) from
// out[0], the high chain's from out[highOffset]; kPerOutput coefficients
// make one output word (BigInt: two 16-bit digits; RadixInt: one digit).

// BigInt: L words, 16-bit digits packed two per word, carried by shifts.
struct BinarySystem {
    using Number = BigInt;
    static constexpr DigitSystem kDigits = DigitSystem::kBinary16;
    static constexpr uint32_t kPerOutput = 2;

    static BinarySystem For(const BigInt&, const BigInt&) { return {}; }
    uint32_t radix() const { return 65536; }
    static uint32_t Length(const BigInt& x) { return x.length(); }          // words, for the plan
    static uint32_t DigitCount(const BigInt& x) { return 2 * x.length(); }  // loaded digits
    static BinaryDigitsOf DigitsOf(const BigInt& x) { return {x.words()}; }
    static BinaryRawDigits RawDigitsOf(const BigInt& x) { return {x.words()}; }
    static uint32_t* Output(BigInt& x) { return x.words(); }
    static uint32_t OutputCount(const TransformPlan& plan) { return plan.length; }
    static uint32_t HighOffset(const TransformPlan& plan) { return plan.length / 2; }
    // The checksum the product must have: ones' complement checksums multiply.
    uint64_t expected(const BigInt& x, const BigInt& y) const { return FoldedProduct(x.checksum(), y.checksum()); }

    // One word of a chain from two coefficients.
    uint32_t output(int64_t& carry, const int64_t* k) const {
        carry += k[0];
        uint32_t word = uint32_t(carry) & 0xffffu;
        carry >>= 16;  // arithmetic: a negative sum borrows
        carry += k[1];
        word |= uint32_t(carry) << 16;
        carry >>= 16;
        return word;
    }
    int64_t carryRow(const double* k, uint32_t* out, uint32_t g, int64_t carryIn) const {
        return CarryRowBinary(k, out, g, carryIn);
    }
    // The low chain's carry added from word L/2 on, modulo 2^(32L). The high
    // chain's carry is dropped: the product is below 2^(32L) and everything
    // here is modulo that (a negative low part borrows from the high digits,
    // which the wrap-around settles).
    void finish(uint32_t* out, const TransformPlan& plan, int64_t carry) const {
        for (uint32_t i = plan.length / 2; i < plan.length && carry != 0; ++i) {
            int64_t t = int64_t(out[i]) + carry;
            out[i] = uint32_t(t);
            carry = t >> 32;  // floor: a negative carry borrows
        }
    }
};

// RadixInt: 2L digits, one per coefficient, carried by the reciprocal of
// the radix.
struct RadixSystem {
    using Number = RadixInt;
    static constexpr DigitSystem kDigits = DigitSystem::kRadix;
    static constexpr uint32_t kPerOutput = 1;
    RadixSplit split;

    static RadixSystem For(const RadixInt& x, const RadixInt& y) {
        const uint32_t radix = x.radix();
        if (y.radix() != radix) throw ArithmeticFault("operands of different radices");
        if (radix > kMaxTransformRadix) throw ArithmeticFault("radix too large for a transform product");
        return {{int64_t(radix), 1.0 / double(radix)}};
    }
    uint32_t radix() const { return uint32_t(split.radix); }
    static uint32_t Length(const RadixInt& x) { return x.length(); }
    static uint32_t DigitCount(const RadixInt& x) { return x.length(); }
    static RadixDigitsOf DigitsOf(const RadixInt& x) { return {x.digits()}; }
    static RadixRawDigits RawDigitsOf(const RadixInt& x) { return {x.digits()}; }
    static uint32_t* Output(RadixInt& x) { return x.digits(); }
    static uint32_t OutputCount(const TransformPlan& plan) { return 2 * plan.length; }
    static uint32_t HighOffset(const TransformPlan& plan) { return plan.length; }
    // Digit sums modulo B - 1 multiply.
    uint64_t expected(const RadixInt& x, const RadixInt& y) const {
        return uint64_t(x.checksum()) * y.checksum() % uint64_t(split.radix - 1);
    }

    // u = q B + digit with q = round(u / B); a digit that comes out negative
    // (u/B rounded up) borrows one B back. |u| < 2^62, so the double
    // quotient is within 2^-20 of u / B and the digit ends in [0, B).
    uint32_t output(int64_t& carry, const int64_t* k) const { return split(carry, k[0]); }
    int64_t carryRow(const double* k, uint32_t* out, uint32_t g, int64_t carryIn) const {
        return CarryRowRadix(k, out, g, carryIn, split);
    }
    // The low chain's carry added from digit L on, modulo B^(2L).
    void finish(uint32_t* out, const TransformPlan& plan, int64_t carry) const {
        const int64_t b = split.radix;
        for (uint32_t i = plan.length; i < 2 * plan.length && carry != 0; ++i) {
            int64_t t = int64_t(out[i]) + carry;
            int64_t q = t / b;
            if (t - q * b < 0) --q;  // floor division
            out[i] = uint32_t(t - q * b);
            carry = q;
        }
    }
};

// The read-out in 80-bit arithmetic: each element times its weight (row
// start, then the rotation recurrence), rounded, the two chains carried
// along; returns the largest rounding distance when measuring, else 0.
template <class System, bool kMeasure>
double ReadOut(const System& system, const Complex* array, const TransformPlan& plan, const ProductWeights& weights,
               uint32_t* out) {
    constexpr uint32_t kStep = System::kPerOutput;  // g is a multiple of it
    const ExtendedComplex* starts = weights.rowStarts;
    const long double cot = weights.rotationCot, sin = weights.rotationSin;
    const uint32_t g = plan.rowLength;
    uint32_t* lowOut = out;
    uint32_t* highOut = out + System::HighOffset(plan);
    int64_t low = 0, high = 0;
    long double maxErr = 0;
    for (uint32_t r = 0; r < plan.rows; ++r) {
        const Complex* row = array + size_t(r) * plan.rowStride();
        ExtendedComplex w = starts[r];
        for (uint32_t c = 0; c < g; c += kStep) {
            int64_t lowK[kStep], highK[kStep];
            for (uint32_t t = 0; t < kStep; ++t) {
                const Coefficients k = RoundElement<kMeasure>(row[c + t], w, maxErr);
                w = RotateWeight(w, cot, sin);
                lowK[t] = k.low;
                highK[t] = k.high;
            }
            *lowOut++ = system.output(low, lowK);
            *highOut++ = system.output(high, highK);
        }
    }
    system.finish(out, plan, low);
    return double(maxErr);
}

// The fast families' read-out: a row rounded by the family's vector code,
// then each chain carried in independent segments of the row.
template <class System>
double ReadOutFast(const System& system, const KernelFamily& family, const Complex* array, const TransformPlan& plan,
                   const ProductWeights& weights, uint32_t* out) {
    const uint32_t g = plan.rowLength, perRow = g / System::kPerOutput, high = System::HighOffset(plan);
    double* scratch = &FastScratch(1, g)->re;
    int64_t lowCarry = 0, highCarry = 0;
    double maxErr = 0;
    for (uint32_t r = 0; r < plan.rows; ++r) {
        const RoundedRows k = RoundRowFast(family, array, plan, weights, r, scratch);
        maxErr = std::max(maxErr, k.err);
        lowCarry = system.carryRow(k.low, out + size_t(r) * perRow, g, lowCarry);
        highCarry = system.carryRow(k.high, out + high + size_t(r) * perRow, g, highCarry);
    }
    system.finish(out, plan, lowCarry);
    return maxErr;
}

// --- kernels --------------------------------------------------------------------

void SquareKernels(const KernelFamily& family, Complex* a, const TransformPlan& plan) {
    const uint32_t g = plan.rowLength, b = plan.rows, step = family.columnsPerCall;
    const KernelTables& tables = KernelTablesFor(g, b);
    if (plan.onePass()) {
        Disturb(a, plan);
        family.rowSquare(a, g, 1, 0, tables);
        return;
    }
    const uint32_t stride = plan.rowStride();
    for (uint32_t c = 0; c < g; c += step) family.columnForward(a + c, b, stride, tables);
    Disturb(a, plan);
    family.rowSquare(a, g, b, plan.gap, tables);
    for (uint32_t c = 0; c < g; c += step) family.columnInverse(a + c, b, stride, tables);
}

void ProductKernels(const KernelFamily& family, Complex* a, Complex* y, const TransformPlan& plan) {
    const uint32_t g = plan.rowLength, b = plan.rows, step = family.columnsPerCall;
    const KernelTables& tables = KernelTablesFor(g, b);
    if (plan.onePass()) {
        family.rowForward(a, g, 0, tables);
        family.rowForward(y, g, 0, tables);
        family.pointwiseMultiply(a, y, g);
        Disturb(a, plan);
        family.rowInverse(a, g, 0, tables);
        return;
    }
    const uint32_t stride = plan.rowStride();
    for (uint32_t c = 0; c < g; c += step) {
        family.columnForward(a + c, b, stride, tables);
        family.columnForward(y + c, b, stride, tables);
    }
    for (uint32_t r = 0; r < b; ++r) {
        Complex* rowA = a + size_t(r) * stride;
        Complex* rowY = y + size_t(r) * stride;
        family.rowForward(rowA, g, r, tables);
        family.rowForward(rowY, g, r, tables);
        family.pointwiseMultiply(rowA, rowY, g);
        if (r == 0) Disturb(a, plan);
        family.rowInverse(rowA, g, r, tables);
    }
    for (uint32_t c = 0; c < g; c += step) family.columnInverse(a + c, b, stride, tables);
}

// --- checksums --------------------------------------------------------------------

[[noreturn]] void ChecksumMismatch() {
    throw ArithmeticFault("transform product failed its checksum");
}

// The fast families measure the round-off of every product at no cost, so
// they refuse one whose rounding is in doubt, as the generalized-Fermat
// transform does: a coefficient 0.45 from its integer may have rounded to
// the wrong one, and several such errors can cancel in the checksum.
constexpr double kFastRoundOffLimit = 0.45;

void CheckFastRoundOff(double err) {
    if (!(err < kFastRoundOffLimit)) throw ArithmeticFault("transform product: round-off reached 0.45");
}

TransformPlan CheckedPlan(uint32_t length, DigitSystem digits, const TransformSettings& settings) {
    uint32_t limit = digits == DigitSystem::kBinary16 ? kMaxBigIntTransformLength : kMaxRadixTransformLength;
    // The doubling of PowerOfTwoAtLeast must not overflow either.
    if (length > limit || TransformLength(length, digits) > limit)
        throw ArithmeticFault("operand too long for a transform product");
    return PlanTransform(TransformLength(length, digits), settings.lat64k, settings.gap,
                         settings.family->avxLevel > 0);
}

// --- the pipeline -------------------------------------------------------------------

// x := x * y (y == &x: square) in either digit system.
template <class System>
void Product(typename System::Number& x, const typename System::Number* y, const TransformSettings& settings,
             double* maxErr) {
    const System system = System::For(x, *y);
    const uint32_t radix = system.radix();
    const bool square = y == &x;
    const TransformPlan plan = CheckedPlan(std::max(System::Length(x), System::Length(*y)), System::kDigits, settings);
    TransformBuffer& buffer = ThreadBuffer();
    buffer.reserve(plan.elements());
    Complex* a = buffer.first();
    const ProductWeights& weights = ProductWeightsFor(plan.rowLength, plan.rows);
    const KernelFamily& family = *settings.family;
    const bool fast = family.weightRow != nullptr && family.roundRow != nullptr;
    if (fast)
        LoadDigitsFast(family, a, plan, weights, System::DigitCount(x), radix, System::RawDigitsOf(x));
    else
        LoadDigits(a, plan, weights, System::DigitCount(x), radix, System::DigitsOf(x));
    const uint64_t expected = system.expected(x, *y);
    const bool negative = !square && (x.isNegative() != y->isNegative());
    if (square) {
        SquareKernels(family, a, plan);
    } else {
        Complex* b = buffer.second();
        if (fast)
            LoadDigitsFast(family, b, plan, weights, System::DigitCount(*y), radix, System::RawDigitsOf(*y));
        else
            LoadDigits(b, plan, weights, System::DigitCount(*y), radix, System::DigitsOf(*y));
        ProductKernels(family, a, b, plan);
    }
    // x's digits are in the buffer: its block may be replaced rather than grown.
    const uint32_t count = System::OutputCount(plan);
    if (x.capacity() < count) {
        x.release();
        x.reserve(count);
    }
    uint32_t* out = System::Output(x);
    double err = fast                ? ReadOutFast(system, family, a, plan, weights, out)
                 : maxErr != nullptr ? ReadOut<System, true>(system, a, plan, weights, out)
                                     : ReadOut<System, false>(system, a, plan, weights, out);
    if (maxErr != nullptr) *maxErr = err;
    if (fast) CheckFastRoundOff(err);
    x.setLengthAndSign(count, negative);
    if (x.checksum() != expected) ChecksumMismatch();
}

}  // namespace

TransformSettings CurrentSquaringSettings() {
    const ProcessorProfile& p = CurrentProcessorProfile();
    return {&SquaringKernels(), p.lat64k, p.gap};
}

TransformSettings CurrentProductSettings() {
    const ProcessorProfile& p = CurrentProcessorProfile();
    return {&ProductKernels(), p.lat64k, p.gap};
}

TransformPlan PlanProduct(uint32_t length, DigitSystem digits, const TransformSettings& settings) {
    return PlanTransform(TransformLength(length, digits), settings.lat64k, settings.gap,
                         settings.family->avxLevel > 0);
}

void TransformSquare(BigInt& x, const TransformSettings& settings, double* maxErr) {
    if (maxErr != nullptr) *maxErr = 0.0;
    if (x.isZero()) return;
    Product<BinarySystem>(x, &x, settings, maxErr);
}

void TransformMultiply(BigInt& x, const BigInt& y, const TransformSettings& settings, double* maxErr) {
    if (maxErr != nullptr) *maxErr = 0.0;
    if (x.isZero() || y.isZero()) {
        x.setInt(0);
        return;
    }
    Product<BinarySystem>(x, &y, settings, maxErr);
}

void TransformSquare(RadixInt& x, const TransformSettings& settings, double* maxErr) {
    if (maxErr != nullptr) *maxErr = 0.0;
    if (x.isZero()) return;
    Product<RadixSystem>(x, &x, settings, maxErr);
}

void TransformMultiply(RadixInt& x, const RadixInt& y, const TransformSettings& settings, double* maxErr) {
    if (maxErr != nullptr) *maxErr = 0.0;
    if (y.radix() != x.radix()) throw ArithmeticFault("operands of different radices");
    if (x.isZero() || y.isZero()) {
        x.setInt(0);
        return;
    }
    Product<RadixSystem>(x, &y, settings, maxErr);
}

BigInt ProductOf(const BigInt& x, const BigInt& y, bool measure, double* maxErr) {
    BigInt r(x);
    r.mulTransform(y, measure, maxErr);
    return r;
}

RadixInt ProductOf(const RadixInt& x, const RadixInt& y, bool measure, double* maxErr) {
    RadixInt r(x);
    r.mulTransform(y, measure, maxErr);
    return r;
}

void SetTransformDisturbance(TransformDisturbance disturbance) { gDisturbance.store(disturbance, std::memory_order_relaxed); }

}  // namespace numen
