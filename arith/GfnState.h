// The one process-wide state of the generalized-Fermat transform (see
// GfnTransform.h) and the carry passes' entry points, shared by the
// planner, the operations and the carry variants. Internal to arith/.
#pragma once
#include <cstddef>
#include <cstdint>
#include <vector>

#include "arith/GfnTransform.h"
#include "arith/TransformWeights.h"
#include "arith/kernels/Complex.h"

namespace numen {

struct GfnState {
    uint32_t length = 0;      // L = m/2
    uint32_t rowLength = 0;   // g, 0 when one-pass
    uint32_t rows = 0;        // b, 0 when one-pass
    uint32_t gap = 0;         // padding of the two-pass rows at plan time
    Complex* array = nullptr; // array A of the TransformBuffer
    double radix = 0, inverseRadix = 0;
    long double stepCot = 0, stepSin = 0;        // theta = -pi/(2L)
    std::vector<ExtendedComplex> rowStarts;      // (cos, sin) of -pi r/(2b)
    // The lane passes' double weights (GfnLanes.h): lane rows of G elements,
    // (cos, sin) of -pi v G/(2L) for lane row v and of -pi c/(2L) for column c.
    uint32_t laneRowLength = 0;
    std::vector<double> laneRows, laneColumns;
    long double carryR = 0, carryI = 0;          // chains of the current pass
    float maxError = 0;

    // Loop bounds: one-pass is one row of L elements without padding.
    uint32_t passRowLength() const { return rows == 0 ? length : rowLength; }
    uint32_t passRows() const { return rows == 0 ? 1 : rows; }
    uint32_t rowStride() const { return rows == 0 ? length : rowLength + gap; }
    Complex* element(uint32_t j) const {
        return array + size_t(j / passRowLength()) * rowStride() + j % passRowLength();
    }
};

GfnState& Gfn();

// One carry pass over every element, in order, with scale h:
//   fromSquare: (p, q) = conj(z (c - i s)) h   (after GfnSquare)
//   otherwise:  (p, q) = z (c + i s) h         (GfnMultiplySmall)
// rounds, carries along both chains, re-weights, leaves the final carries in
// Gfn().carryR / carryI and raises Gfn().maxError. The wrap is not done.
void GfnCarryPassX87(long double h, bool fromSquare);
void GfnCarryPassX87Prefetch(long double h, bool fromSquare);
void GfnCarryPassSse2(long double h, bool fromSquare);
// The lane passes (GfnCarryLanes.cpp): only on processors with AVX2 and FMA,
// or AVX-512F.
void GfnCarryPassAvx2(long double h, bool fromSquare);
// GfnUnload's read-out with the AVX variant's lanes: the 2L rounded
// coefficients as doubles and their largest rounding distance (NaN for a
// bad element). False (nothing done) for another variant or lane rows not
// a multiple of 8 long (the smallest transforms).
bool GfnUnloadByLanes(GfnCarryVariant variant, std::vector<double>& coefficients, float& error);
void GfnCarryPassAvx512(long double h, bool fromSquare);

}  // namespace numen
