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
// The tables of a shape are built at its first use and kept, unchanged, for
// the life of the process, in a cache any thread may ask (a mutex, with the
// thread's last answer in front of it). The radix of the digits and 1/radix
// are not table state: each product takes them from its operands.
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

// The weight tables of b rows of g elements (one pass: b = 1, g = L).
struct ProductWeights {
    uint32_t rowLength;  // g
    uint32_t rows;       // b
    // b row-start weights, row r at index r.
    const ExtendedComplex* rowStarts;
    // The same weights for the double-precision loaders of the fast kernel
    // families: w_{r g + c} = rowStartsDouble[r] * columnWeights[c], the b row
    // starts (scale included) and the g rotations e^{-i pi c/(2L)}, each
    // rounded once from 80 bits.
    const Complex* rowStartsDouble;
    const Complex* columnWeights;
    long double rotationCot;
    long double rotationSin;
};

// The tables for b rows of g elements (L = g b, both powers of two), built
// at the first request for that shape; the reference stays valid for the
// life of the process. ArithmeticFault when they do not fit in memory.
const ProductWeights& ProductWeightsFor(uint32_t g, uint32_t b);

// S = L^(-1/3) as 2^t, t = -(1/3) log2 L split into its integer and fraction
// parts (exact powers of two stay exact).
long double TransformScale(uint32_t length);

}  // namespace numen
