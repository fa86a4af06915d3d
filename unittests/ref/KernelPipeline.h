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
    if (rows == 1) {
        RowTwiddles::Prepare(g, 0);
        f.rowSquare(a, g, 1, 0);
        return;
    }
    ColumnTwiddles::Prepare(rows, g + gap);
    RowTwiddles::Prepare(g, rows);
    for (uint32_t c = 0; c < g; c += f.columnsPerCall) f.columnForward(a + c, rows);
    f.rowSquare(a, g, rows, gap);
    for (uint32_t c = 0; c < g; c += f.columnsPerCall) f.columnInverse(a + c, rows);
}

// a := a * b (b is transformed in place).
inline void PipelineMultiply(const KernelFamily& f, Complex* a, Complex* b, uint32_t g, uint32_t rows,
                             uint32_t gap) {
    if (rows == 1) {
        RowTwiddles::Prepare(g, 0);
        f.rowForward(a, g, 0);
        f.rowForward(b, g, 0);
        f.pointwiseMultiply(a, b, g);
        f.rowInverse(a, g, 0);
        return;
    }
    ColumnTwiddles::Prepare(rows, g + gap);
    RowTwiddles::Prepare(g, rows);
    for (uint32_t c = 0; c < g; c += f.columnsPerCall) {
        f.columnForward(a + c, rows);
        f.columnForward(b + c, rows);
    }
    for (uint32_t r = 0; r < rows; ++r) {
        const size_t row = size_t(r) * (g + gap);
        f.rowForward(a + row, g, r);
        f.rowForward(b + row, g, r);
        f.pointwiseMultiply(a + row, b + row, g);
        f.rowInverse(a + row, g, r);
    }
    for (uint32_t c = 0; c < g; c += f.columnsPerCall) f.columnInverse(a + c, rows);
}

}  // namespace numen::testing
