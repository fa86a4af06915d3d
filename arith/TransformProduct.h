// Exact products of long BigInt and RadixInt values by a weighted complex
// FFT in double precision: x := x^2 or x := x*y, verified by a checksum.
//
// 1. Plan (TransformPlan.h): L and the one-pass / two-pass shape.
// 2. Load: the operand's digits (16-bit halves of the words for BigInt,
//    radix-B digits for RadixInt), balanced into [-B/2, B/2) row by row,
//    times the weights w_j of TransformWeights.h, into array A (and y into
//    array B) of the TransformBuffer:
//
//        element j = d_j * S e^{-i pi j/(2L)},   buffer index (j/g)(g+gap) + j%g
//
//    The balancing carry restarts at 0 on every row; the last digit of a
//    row takes the incoming carry unbalanced, so no carry crosses rows.
// 3. Run a kernel family (KernelFamily.h): L conj(x (*) y), (*) cyclic.
// 4. Read out: element j times w_j holds coefficient j of the acyclic
//    product in its real part and coefficient j + L in its imaginary part;
//    both are rounded to integers and carried by two independent chains
//    (low digits 0 .. L-1, high digits L .. 2L-1); the low chain's final
//    carry is added from digit L upward, modulo B^(2L).
// 5. Verify: BigInt, the ones' complement checksums (|x| mod 2^32 - 1);
//    RadixInt, the digit sums modulo B - 1. A mismatch -- a coefficient
//    rounded to the wrong integer, or a fault in the machine -- raises
//    ArithmeticFault and leaves the wrong product in x.
//
// These functions take any non-zero length up to the limits of
// TransformPlan.h (ArithmeticFault beyond); BigInt::square and the other
// entry points decide when the transform pays.
#pragma once

#include <cstdint>

#include "arith/BigInt.h"
#include "arith/RadixInt.h"
#include "arith/TransformPlan.h"
#include "arith/kernels/Complex.h"

namespace numen {

struct KernelFamily;

// Everything a product needs beyond its operands: the kernel family and the
// processor values that choose the shape.
struct TransformSettings {
    const KernelFamily* family;
    int32_t lat64k;
    int32_t gap;
};

// This process's settings: SquaringKernels() / ProductKernels() with lat64k
// and gap of CurrentProcessorProfile(), read at every call.
TransformSettings CurrentSquaringSettings();
TransformSettings CurrentProductSettings();

// The plan a square or product with the longer operand of `length` words or
// digits uses under these settings.
TransformPlan PlanProduct(uint32_t length, DigitSystem digits, const TransformSettings& settings);

// x := x^2 and x := x*y (y may be x; signs multiply). When maxErr is not
// null it receives the largest distance between a coefficient before
// rounding and its rounded value, for this product only (0 for a zero
// operand). Raise ArithmeticFault on a checksum mismatch, an operand beyond
// the length limits, a failed buffer growth, or (RadixInt) operands of
// different radices or a radix above kMaxTransformRadix.
void TransformSquare(BigInt& x, const TransformSettings& settings, double* maxErr = nullptr);
void TransformMultiply(BigInt& x, const BigInt& y, const TransformSettings& settings, double* maxErr = nullptr);
void TransformSquare(RadixInt& x, const TransformSettings& settings, double* maxErr = nullptr);
void TransformMultiply(RadixInt& x, const RadixInt& y, const TransformSettings& settings,
                       double* maxErr = nullptr);

// A copy of x multiplied by y with mulTransform (schoolbook for short
// operands, the transform otherwise); maxErr as for mulTransform.
BigInt ProductOf(const BigInt& x, const BigInt& y, bool measure = false, double* maxErr = nullptr);
RadixInt ProductOf(const RadixInt& x, const RadixInt& y, bool measure = false, double* maxErr = nullptr);

// For tests of the verification only: when set, called once per product with
// array A after the forward passes and before the inverse ones -- for a
// one-pass square before RowSquare (the square is fused into it), for a
// two-pass square between the column and the row passes, for a product right
// after the pointwise product of row 0. Null (the default) in the program.
using TransformDisturbance = void (*)(Complex* array, const TransformPlan& plan);
void SetTransformDisturbance(TransformDisturbance disturbance);

}  // namespace numen
