// The radix-p passes' view of their tables (MixedRadixPass.h) as plain
// numbers and pointers, so that the file compiled for AVX2 takes it without
// seeing a standard-library template. Internal to arith/.
#pragma once

#include <cstddef>
#include <cstdint>

#include "arith/kernels/Complex.h"

namespace numen {

struct MixedRadixJob {
    uint32_t radix;      // p: 3, 5 or 7
    uint32_t rows;       // b of a sub-array
    uint32_t rowLength;  // g
    uint32_t rowStride;  // g + gap
    size_t subStride;    // b (g + gap): sub-array q starts at q * subStride
    uint32_t lowShift;   // m = (high << lowShift) + low
    uint32_t lowCount, highCount;
    // w^{k (high << lowShift)} at high[(k-1) highCount + high] and w^{k low}
    // at low[(k-1) lowCount + low], (cos, sin) pairs, k = 1 .. p-1.
    const double* high;
    const double* low;
    // cos and sin of 2 pi k q / p, [k-1][q-1], k, q <= (p-1)/2.
    double cosine[3][3], sine[3][3];
};

// The passes in AVX2 and FMA (MixedRadixPass_avx2.cpp): the same values as
// the baseline ones up to rounding; two elements a vector, so g even.
void MixedRadixForwardAvx2(Complex* array, const MixedRadixJob& job);
void MixedRadixInverseAvx2(Complex* array, const MixedRadixJob& job);

}  // namespace numen
