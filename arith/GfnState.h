// The state of one generalized-Fermat computation (see GfnTransform.h),
// owned by its GfnTransform, and the carry passes' entry points, shared by
// the planner, the operations, the carry variants and the checkpoint.
// Internal to arith/ (and to the tests of its internals).
#pragma once
#include <cstddef>
#include <cstdint>
#include <vector>

#include "arith/GfnTransform.h"
#include "arith/TransformBuffer.h"
#include "arith/TransformWeights.h"
#include "arith/kernels/Complex.h"
#include "arith/kernels/Twiddles.h"

namespace numen {

// Everything of a computation but its array: plain values and small
// tables, copied as they are when a computation is copied.
struct GfnPlanValues {
    GfnSettings settings{};
    uint32_t radixValue = 0;  // B
    uint32_t length = 0;      // L = m/2
    uint32_t rowLength = 0;   // g, L when one-pass
    uint32_t rows = 0;        // b, 1 when one-pass
    uint32_t gap = 0;         // padding of the two-pass rows at plan time (0 one-pass)
    const KernelTables* tables = nullptr;  // the squaring kernels' tables of the shape (shared)
    double radix = 0, inverseRadix = 0;
    long double stepCot = 0, stepSin = 0;        // theta = -pi/(2L)
    std::vector<ExtendedComplex> rowStarts;      // (cos, sin) of -pi r/(2b)
    // The lane passes' double weights (GfnLanes.h): lane rows of G elements,
    // (cos, sin) of -pi v G/(2L) for lane row v and of -pi c/(2L) for column c.
    uint32_t laneRowLength = 0;
    std::vector<double> laneRows, laneColumns;
    long double carryR = 0, carryI = 0;          // chains of the current pass
    float maxError = 0;

    bool onePass() const { return rows == 1; }
    uint32_t rowStride() const { return rowLength + gap; }
    uint32_t elementCount() const { return rows * rowStride(); }
};

struct GfnState : GfnPlanValues {
    TransformBuffer buffer{1};
    Complex* array = nullptr;    // array A of the buffer
    // The second factor's transform during multiply; reserved at the first
    // product, never copied.
    TransformBuffer factor{1};

    Complex* element(uint32_t j) const { return array + size_t(j / rowLength) * rowStride() + j % rowLength; }
};

// What the x87 and SSE2 carry passes read and write: the plain fields of
// one pass over the state's buffer.
struct GfnPassJob {
    Complex* array = nullptr;
    uint32_t rowLength = 0, rows = 0, rowStride = 0;
    const ExtendedComplex* rowStarts = nullptr;  // one per row
    long double stepCot = 0, stepSin = 0;
    double radix = 0, inverseRadix = 0;
    long double scale = 0;
    bool fromSquare = false;
    // In: the largest error so far; out: raised by the pass (NaN for a bad
    // element), and the chains' final carries.
    float maxError = 0;
    long double carryR = 0, carryI = 0;
};

// One carry pass over every element, in order, with scale h:
//   fromSquare: (p, q) = conj(z (c - i s)) h   (after square)
//   otherwise:  (p, q) = z (c + i s) h         (multiplySmall)
// rounds, carries along both chains, re-weights, leaves the final carries
// and the raised largest error in the job. The wrap is not done.
void GfnCarryPassX87(GfnPassJob& job);
void GfnCarryPassX87Prefetch(GfnPassJob& job);
void GfnCarryPassSse2(GfnPassJob& job);
// The lane passes (GfnCarryLanes.cpp): only on processors with AVX2 and FMA,
// or AVX-512F. Final carries to st.carryR / carryI, error to st.maxError.
void GfnCarryPassAvx2(GfnState& st, long double h, bool fromSquare);
void GfnCarryPassAvx512(GfnState& st, long double h, bool fromSquare);
// The read-out of unload with the AVX variant's lanes: the 2L rounded
// coefficients as doubles and their largest rounding distance (NaN for a
// bad element). False (nothing done) for another variant or lane rows not
// a multiple of 8 long (the smallest transforms).
bool GfnUnloadByLanes(const GfnState& st, std::vector<double>& coefficients, float& error);

}  // namespace numen
