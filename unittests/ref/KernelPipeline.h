// The documented calling orders of a transform square and product, for the
// kernel tests: one-pass (rows == 1) or two-pass over rows of g elements
// padded by gap.
#pragma once

#include <cstddef>
#include <cstdint>

#include "arith/kernels/KernelFamily.h"
#include "arith/kernels/Twiddles.h"

namespace numen::testing {

inline void PipelineSquare(const KernelFamily& f, Complex* a, uint32_t g, uint32_t rows, uint32_t gap) {
    const KernelTables& t = KernelTablesFor(g, rows);
    if (rows == 1) {
        f.rowSquare(a, g, 1, 0, t);
        return;
    }
    const uint32_t stride = g + gap;
    for (uint32_t c = 0; c < g; c += f.columnsPerCall) f.columnForward(a + c, rows, stride, t);
    f.rowSquare(a, g, rows, gap, t);
    for (uint32_t c = 0; c < g; c += f.columnsPerCall) f.columnInverse(a + c, rows, stride, t);
}

// a := a * b (b is transformed in place).
inline void PipelineMultiply(const KernelFamily& f, Complex* a, Complex* b, uint32_t g, uint32_t rows,
                             uint32_t gap) {
    const KernelTables& t = KernelTablesFor(g, rows);
    if (rows == 1) {
        f.rowForward(a, g, 0, t);
        f.rowForward(b, g, 0, t);
        f.pointwiseMultiply(a, b, g);
        f.rowInverse(a, g, 0, t);
        return;
    }
    const uint32_t stride = g + gap;
    for (uint32_t c = 0; c < g; c += f.columnsPerCall) {
        f.columnForward(a + c, rows, stride, t);
        f.columnForward(b + c, rows, stride, t);
    }
    for (uint32_t r = 0; r < rows; ++r) {
        const size_t row = size_t(r) * stride;
        f.rowForward(a + row, g, r, t);
        f.rowForward(b + row, g, r, t);
        f.pointwiseMultiply(a + row, b + row, g);
        f.rowInverse(a + row, g, r, t);
    }
    for (uint32_t c = 0; c < g; c += f.columnsPerCall) f.columnInverse(a + c, rows, stride, t);
}

}  // namespace numen::testing
