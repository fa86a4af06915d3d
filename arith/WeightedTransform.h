// The weighted transform for N = k*2^n + c: a residue modulo N kept inside
// the transform for a whole powering, so that a modular squaring is one
// squaring kernel call and one carry pass -- no zero-padded double-length
// square and no separate reduction (the irrational-base discrete weighted
// transform of Crandall and Fagin, "Discrete weighted transforms and
// large-integer arithmetic", Math. Comp. 62, 1994, with the factor k folded
// into the weights as in Percival, "Rapid multiplication modulo the sum and
// difference of highly composite numbers", Math. Comp. 72, 2003).
//
// Digits. x = sum x_j P_j over D real digits (D a power of two, or 3, 5
// or 7 times one: MixedRadixPass.h) with the place values
//
//     P_0 = 1,   P_j = k 2^{e_j}  (j >= 1),   e_j = ceil(j n / D),
//
// so digit 0 has the base k 2^{e_1} and digit j >= 1 the base
// 2^{e_{j+1} - e_j} (floor or ceil of n/D bits; e_D = n). Every product of
// two place values is an integer multiple of a third one, also across the
// top, where k 2^n = N - c turns into -c. This is why digit 0 alone carries
// k: any other split of k over the digits breaks that rule.
//
// Weights. With K = k 2^n and u_j = P_j (|c| / K)^{j/D}, the products of
// the weighted digits X_j = u_j x_j, cyclic of length D, are u_m times the
// digit products modulo N, with the wrap factor |c| built in:
//
//     coefficient m = (1/u_m) sum_{i+j = m mod D} X_i X_j s_{ij},
//     s_{ij} = 1 below the top, -sign(c) across it.
//
// u_j = k^{[j>=1] - j/D} |c|^{j/D} 2^{e_j - j n/D} falls from about k at
// j = 1 to about 1 at j = D - 1: the weights span a factor k, and the
// rounding error of the transform, which is of the size of the largest
// weighted digits, meets coefficients divided by weights near 1. That costs
// about log2 k bits over a square, half of it per digit; the planning rule
// (WeightedPlan.cpp, table in arith/README.md) takes it off the bits.
//
// Forms. c > 0: the product is negacyclic, and the D digits are paired into
// L = D/2 complex elements exactly as in the generalized-Fermat transform,
//     element j = (X_j + i X_{j+L}) e^{i pi j/(2L)},
// so the kernels' cyclic square of length L is the negacyclic square of
// length D. c < 0: the product is cyclic; this first form puts one real
// digit in each of D complex elements (a real-input transform of half the
// length is not done yet), so it costs about twice the c > 0 form.
//
// Carry pass. After a square each coefficient is unweighted, rounded (the
// largest distance is the step's round-off), carried with balanced digits
// along the real and the imaginary chain, and re-weighted; the carry out
// of digit D - 1 enters digit 0 times -c, and both final carries are walked
// up as far as they go (as GfnTransform.cpp does). A pass whose round-off
// reaches kWeightedErrorLimit raises ArithmeticFault: a coefficient that
// far from its integer may have rounded to the wrong one. A NaN or a
// coefficient beyond 2^52 fails the same check.
//
// One object is one computation (move-only, one thread at a time); it owns
// its buffer and tables and shares only the kernels' read-only tables. The
// x87 unit must be at 64-bit precision, round-to-nearest.
#pragma once

#include <cstdint>
#include <memory>

#include "arith/BigInt.h"
#include "arith/kernels/Complex.h"
#include "arith/kernels/KernelFamily.h"

namespace numen {

// Round-off from which a carry pass refuses its result.
inline constexpr double kWeightedErrorLimit = 0.45;

// Largest |c| the weighted form takes (the wrap factor goes into the
// weights, costing log2 |c| bits like k).
inline constexpr uint32_t kWeightedMaxOffset = 1u << 16;
// Digit counts the planner chooses among: 64 .. 2^22 (complex elements:
// D/2 for c > 0, D for c < 0, at most 2^21).
inline constexpr uint32_t kWeightedMinDigits = 64;
inline constexpr uint32_t kWeightedMaxDigits = 1u << 22;
// Fewer bits per digit than this and the weighted square is no faster than
// the exact square (16-bit digits, twice the length) plus the fold.
inline constexpr double kWeightedMinBits = 8.0;

// What the planner decided for (k, n, c).
struct WeightedPlan {
    bool served = false;      // false: keep the product-and-fold path
    uint32_t digits = 0;      // D: 2^s, 3 2^s, 5 2^s or 7 2^s
    uint32_t elements = 0;    // complex elements: D/2 (c > 0) or D (c < 0)
    double bitsPerDigit = 0;  // (n + log2 k) / D
    double limitBits = 0;     // the rule's largest safe bits per digit at D
};

// The largest bits per digit the rule allows for D digits, multiplier k
// and offset c: the measured k = 1 limit of the length less half of
// log2 of the weight spread's cost (WeightedPlan.cpp). May be negative.
double WeightedBitLimit(uint32_t digits, uint32_t k, int32_t c);

// The plan for N = k*2^n + c: the smallest D from kWeightedMinDigits with
// (n + log2 k)/D within WeightedBitLimit, or not served when k is even or
// zero, c is 0 or beyond kWeightedMaxOffset, N is too long, or the bits
// per digit at that D would fall below kWeightedMinBits. A pure function.
WeightedPlan PlanWeighted(uint32_t k, uint32_t n, int32_t c);

// The squaring kernel family and the processor values that choose the shape.
struct WeightedSettings {
    const KernelFamily* family;
    uint32_t l2Bytes;
    int32_t lat64k;
    int32_t gap;
};
// SquaringKernels() with the current profile's L2, lat64k and gap.
WeightedSettings CurrentWeightedSettings();

struct WeightedState;

class WeightedTransform {
public:
    WeightedTransform();
    // A copy is an independent computation with the same plan and value
    // (the buffer copied, the tables shared); assigning between two of the
    // same plan reuses the buffer.
    WeightedTransform(const WeightedTransform& other);
    WeightedTransform& operator=(const WeightedTransform& other);
    WeightedTransform(WeightedTransform&&) noexcept;
    WeightedTransform& operator=(WeightedTransform&&) noexcept;
    ~WeightedTransform();

    // Starts a computation modulo N = k*2^n + c with the planner's D
    // (ArithmeticFault when the plan does not serve N, or memory runs out).
    // The first form takes CurrentWeightedSettings().
    void plan(uint32_t k, uint32_t n, int32_t c);
    void plan(uint32_t k, uint32_t n, int32_t c, const WeightedSettings& settings);
    // The same with D chosen by the caller (tests and the round-off table):
    // 2^s, 3 2^s, 5 2^s or 7 2^s from kWeightedMinDigits on with D <= n (the
    // latter with sub-arrays of 32 elements or more).
    void planDigits(uint32_t k, uint32_t n, int32_t c, uint32_t digits, const WeightedSettings& settings);
    bool planned() const;
    uint32_t digitCount() const;   // D
    uint32_t elementCount() const; // complex elements in use, padding included

    // x := v mod N (x >= 0 any size), weighted, digits balanced; resets the
    // largest error to 0.
    void set(const BigInt& v);
    void setValue(uint32_t v);
    // The exact residue in [0, N), between passes (not after square()).
    BigInt value() const;

    // x := x^2, left transformed for the carry pass.
    void square();
    // After square: x := x^2 + addend mod N, weighted; returns the pass's
    // round-off. Raises ArithmeticFault when it reaches kWeightedErrorLimit.
    double carry(int32_t addend = 0);
    // Between passes: x := x y + addend mod N, y a computation of the same
    // plan (ArithmeticFault otherwise); y is unchanged. About one and a
    // half squares: both forward transforms, one inverse, one carry pass.
    double multiply(const WeightedTransform& y, int32_t addend = 0);
    // Whether y computes modulo the same N with the same digits.
    bool samePlan(const WeightedTransform& y) const;
    // Between passes: x := a x mod N (a >= 1, a < 2^32). The product of a
    // digit and a stays exact when the bits per digit and log2 a stay
    // within 52; the error is measured as for carry.
    double multiplySmall(uint32_t a);
    // square() and carry(); returns the step's round-off.
    double squareStep();
    // x := a x^2 mod N (a >= 1, a < 2^32) in one carry pass: the carried
    // digits of the square are multiplied by a and carried again on the
    // digit array, in place of a whole multiplySmall pass. The same residue
    // as squareStep() then multiplySmall(a); returns the square's round-off.
    double squareStepTimes(uint32_t a);

    // The largest round-off since set or setValue.
    double maxError() const;

    // The buffer, for tests of the fault guard: element j of the transform
    // (row-major with the shape's padding).
    Complex* elementsForTest();
    const WeightedState* state() const { return state_.get(); }

private:
    std::unique_ptr<WeightedState> state_;
};

// a^e mod N, N = k*2^n + c, left to right binary: one weighted square per
// bit below the top, squareStepTimes(a) in place of it at a 1 bit. 1 for e = 0; requires
// a >= 1 and N > 1. Numbers the plan does not serve take the exact
// product-and-fold steps (ModularSteps.h) instead.
BigInt WeightedPowerBase2(uint32_t k, uint32_t n, int32_t c, uint32_t a, const BigInt& e);

}  // namespace numen
