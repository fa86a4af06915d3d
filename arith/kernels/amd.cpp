// The AMD kernel family: the x87 arithmetic of X87Passes.h (80-bit extended
// precision, the same values as the x87 family), tuned for AMD processors of
// family 6 and later. Column calls transform two adjacent columns at once, so
// each step down the columns uses 32 contiguous bytes of a row; the first
// level of a column pass and every row pass request the line 64 bytes ahead
// (the designed 3DNow! PREFETCH; here the compiler's portable prefetch,
// PREFETCHT0 on processors without 3DNow!). The caller steps the column
// address by two elements; g must be even (it always is: g >= 16).
#include "arith/kernels/KernelFamily.h"
#include "arith/kernels/X87Passes.h"

namespace numen {

namespace {

using namespace x87passes;

const KernelFamily kAmd{
    "amd",
    2,
    &x87passes::ColumnForward<2, PrefetchColumns64Ahead>,
    &x87passes::ColumnInverse<2, PrefetchColumns64Ahead>,
    &x87passes::RowSquare<PrefetchRow64Ahead>,
    &x87passes::RowForward<PrefetchRow64Ahead>,
    &x87passes::RowInverse<PrefetchRow64Ahead>,
    &PointwiseMultiplyRow,
    0,
    nullptr,
    nullptr,
};

}  // namespace

const KernelFamily& AmdKernels() { return kAmd; }

}  // namespace numen
