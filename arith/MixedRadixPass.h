// A cyclic transform of length p*M (p = 3, 5 or 7, M a length the kernels
// take) built around the kernels: one radix-p pass splits the array into p
// cyclic problems of length M, the kernels square (or multiply) each, and
// a second radix-p pass joins them.
//
// Algebra. With w = e^{-2 pi i/(pM)} and z = w^M (a primitive p-th root),
// t^{pM} - 1 = prod_k (t^M - z^k), k < p. Reducing x mod t^M - z^k and
// substituting t = w^k s turns that factor into s^M - 1:
//     y_k[m] = w^{km} sum_q z^{kq} x[m + qM]        (forward pass)
// is a plain cyclic problem of length M. The kernels return
// K_k = M conj(y_k (*) y_k); the product mod t^M - z^k is conj(K_k/M) w^{-km},
// and the Chinese remainder theorem (an inverse p-point transform, 1/p)
// gives back x (*) x. Conjugated and scaled by pM, the same signs appear
// as in the forward pass:
//     pM conj(x (*) x)[m + qM] = sum_k z^{kq} (w^{km} K_k[m])   (inverse pass)
// so the result keeps the kernels' convention, length * conj(x (*) x),
// with length = pM, and both passes rotate by w^{km} and sum by z^{kq}.
//
// Layout. Sub-array q is the kernels' own layout for M (b rows of g
// elements, each followed by `gap` padding, or one row of M), and the p
// sub-arrays follow each other: the whole buffer is p*b rows, and element
// j = m + qM sits at row j/g, column j mod g as in any buffer of rows.
// The passes read and write the p elements at position m of every
// sub-array, so each is one sweep through the buffer.
//
// Cost: one read and one write of the buffer per pass, 2(p-1) complex
// products (the rotation w^{km} is formed from two small tables, m split
// into high and low bits, about 2(p-1)sqrt(M) entries) and (p-1)^2 real
// products per group of p elements. With a fast kernel family the passes
// run in AVX2 (MixedRadixPass_avx2.cpp), two elements a vector.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "arith/MixedRadixJob.h"
#include "arith/kernels/Complex.h"

namespace numen {

struct MixedRadixTables {
    uint32_t radix = 1;         // p: 3, 5 or 7 (1: no pass)
    uint32_t length = 0;        // M, elements of a sub-array
    uint32_t rowLength = 0;     // g of a sub-array
    uint32_t rows = 0;          // b of a sub-array (1 when one-pass)
    uint32_t rowStride = 0;     // g + gap
    uint32_t lowShift = 0;      // m = (high << lowShift) + low
    bool wide = false;          // the AVX2 passes (a fast kernel family)
    // w^{k (high << lowShift)} and w^{k low}, (cos, sin) pairs, one run per
    // k = 1 .. p-1 (MixedRadixJob.h).
    std::vector<double> highRotation, lowRotation;
    double cosine[3][3] = {}, sine[3][3] = {};

    size_t subStride() const { return size_t(rows) * rowStride; }
};

// The tables of p sub-arrays of b rows of g elements (padded to rowStride);
// rotations in extended precision. `wide`: the passes in AVX2 (only for a
// processor that runs a fast kernel family).
MixedRadixTables MixedRadixTablesFor(uint32_t radix, uint32_t rowLength, uint32_t rows, uint32_t rowStride,
                                     bool wide);

// In place on the whole buffer: the forward pass (x into the y_k) and the
// inverse pass (the kernels' K_k into pM conj(x (*) x)); see above.
void MixedRadixForward(Complex* array, const MixedRadixTables& t);
void MixedRadixInverse(Complex* array, const MixedRadixTables& t);

}  // namespace numen
