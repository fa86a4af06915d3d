// The lane carry passes of the generalized-Fermat transform (AVX2, AVX-512):
// the plain job the vector code reads, and its entry points. Not in
// GfnState.h, so that the files compiled for those instruction sets see no
// std templates and no inline floating-point functions.
//
// A single carry chain through the elements is latency-bound (an add, a
// multiply and a rounding per digit, about 15 cycles). The lane passes cut the L elements into S segments
// of L/S consecutive elements and run segment k in vector lane k, all in
// step; a segment's outgoing carries are then added into the next segment's
// first digits and walked up as far as they go (GfnCarryLanes.cpp), the last
// segment's being the pass's final carries.
//
// Weights come from two double tables, each entry the (cos, sin) of the
// exact angle rounded once: element j has weight
//     rowWeights[j / G] * columnWeights[j % G]       (one complex product),
// the lane rows of G = min(g, L/kGfnMaxSegments) elements lying inside one
// row of the buffer and never across a segment boundary.
#pragma once
#include <cstddef>
#include <cstdint>

namespace numen {

// Most segments a lane pass uses; the lane rows are short enough for it.
inline constexpr uint32_t kGfnMaxSegments = 16;
// Segments of each pass: two AVX2 vectors of four lanes, one AVX-512 vector
// of eight. From four segments on both passes are bound by their multiplies,
// not by the chains (gfn-carry rows of bench/ModularBench.cpp: 4, 8 or 16
// segments within 3% with AVX2, 16 about 8% slower than 8 with AVX-512);
// AVX2 keeps a second vector for processors with slower roundings.
inline constexpr uint32_t kGfnSegmentsAvx2 = 8;
inline constexpr uint32_t kGfnSegmentsAvx512 = 8;

struct GfnLaneJob {
    // Element j is at array + 2 ((j / rowLength) rowStride + j % rowLength).
    double* array = nullptr;
    uint32_t rowLength = 0;   // g, or L when one-pass
    uint32_t rowStride = 0;   // g + gap, or L
    uint32_t laneRowLength = 0;  // G
    uint32_t laneRows = 0;       // L / G
    const double* rowWeights = nullptr;     // (cos, sin) per lane row
    const double* columnWeights = nullptr;  // (cos, sin) per column of a lane row
    double scale = 0, radix = 0, inverseRadix = 0;
    bool fromSquare = false;
    // Out: (re, im) carries out of the top of each segment. A segment with a
    // non-finite element ends with non-finite carries (nothing brings a
    // carry chain back from NaN or infinity), which is how the caller sees
    // a corrupted buffer; `error` leaves such elements out.
    double* carries = nullptr;
    double error = 0;
};

// Requires laneRows to be a multiple of the pass's segment count.
void GfnCarryLanesAvx2(GfnLaneJob& job);
void GfnCarryLanesAvx512(GfnLaneJob& job);

// The read-out of GfnTransform::unload (after a square, no carries): for every element
// j, (p, q) = conj(z (c - i s)) scale rounded, p to coefficients[j] and q to
// coefficients[L + j], L = laneRows * laneRowLength; job.error gets the
// largest rounding distance, or NaN when an element is not a number.
// Requires laneRowLength to be a multiple of 8; `carries` is not used.
void GfnUnloadLanesAvx2(GfnLaneJob& job, double* coefficients);
void GfnUnloadLanesAvx512(GfnLaneJob& job, double* coefficients);

}  // namespace numen
