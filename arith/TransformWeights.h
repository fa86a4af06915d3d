// The weights of the exact transform products: w_j = S e^{-i pi j/(2L)},
// S = L^(-1/3), for the transform elements j = 0 .. L-1, the same on input
// and on output.
//
// Why these weights: loading digit d_j as d_j w_j turns the kernels' cyclic
// convolution into the right-angle (weighted) convolution: a coefficient that
// wraps past L picks up e^{-i pi/2} = -i, so after the kernels (which return
// L conj(x (*) y)) and a second multiplication by w_j, element j holds
//     Re = coefficient j,   Im = coefficient j + L
// of the full acyclic product; S^3 L = 1 cancels the unnormalised inverse
// (Crandall and Fagin, "Discrete weighted transforms", Math. Comp. 62, 1994).
//
// Nothing is stored per element. The table holds the b row-start weights
// S e^{-i pi r/(2b)} (row r starts at element r g) in 80-bit precision; along
// a row the next weight comes from the rotation by e^{i theta},
// theta = -pi/(2L), written with cot theta and sin theta:
//     c' = sin theta (cot theta c - d),  d' = sin theta (c + cot theta d).
// Each row restarts from its exact table entry, so the recurrence runs at
// most g steps.
//
// Process-wide cache, keyed by (g, b): rebuilt only when the shape changes or
// when the generalized-Fermat transform has used the tables for itself (it
// calls Invalidate). The radix of the digits (B, or 0 for 16-bit binary
// digits) and 1/B are recorded as doubles. Used only by the computation
// thread.
#pragma once

#include <cstdint>

#include "arith/kernels/Complex.h"

namespace numen {

struct ExtendedComplex {
    long double re;
    long double im;
};

// Multiplies w by e^{i theta} with the (cot theta, sin theta) pair.
inline ExtendedComplex RotateWeight(ExtendedComplex w, long double cotTheta, long double sinTheta) {
    return {sinTheta * (cotTheta * w.re - w.im), sinTheta * (w.re + cotTheta * w.im)};
}

class TransformWeights {
public:
    // Makes the tables those of b rows of g elements (L = g b, b >= 1, both
    // powers of two) and records the radix (0: binary 16-bit digits).
    static void Prepare(uint32_t g, uint32_t b, uint32_t radix);
    // b row-start weights, row r at index r.
    static const ExtendedComplex* RowStarts();
    // The same weights for the double-precision loaders of the fast kernel
    // families: w_{r g + c} = RowStartsDouble()[r] * ColumnWeights()[c], the
    // b row starts (scale included) and the g rotations e^{-i pi c/(2L)},
    // each rounded once from 80 bits.
    static const Complex* RowStartsDouble();
    static const Complex* ColumnWeights();
    static long double RotationCot();
    static long double RotationSin();
    static double Radix();
    static double InverseRadix();
    // Forces a rebuild at the next Prepare (the generalized-Fermat transform
    // marks the tables as used for its own weights).
    static void Invalidate();
    // Number of table builds since start; tells tests whether tables were reused.
    static uint64_t Builds();
};

// S = L^(-1/3) as 2^t, t = -(1/3) log2 L split into its integer and fraction
// parts (exact powers of two stay exact).
long double TransformScale(uint32_t length);

}  // namespace numen
