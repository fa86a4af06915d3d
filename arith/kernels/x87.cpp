// The x87 kernel family: the reference family, every butterfly in 80-bit
// extended precision, one column per column call. Two forms share the code:
// "x87" without prefetch hints (processors without SSE) and "x87-prefetch",
// whose column passes hint the next column to the second-level cache
// (PREFETCHT1) during their first level. The row kernels are the same in
// both forms. The passes themselves are in X87Passes.h.
#include "arith/kernels/KernelFamily.h"
#include "arith/kernels/X87Passes.h"

namespace numen {

namespace {

using namespace x87passes;

const KernelFamily kX87{
    "x87",
    1,
    &x87passes::ColumnForward<1, NoPrefetch>,
    &x87passes::ColumnInverse<1, NoPrefetch>,
    &x87passes::RowSquare<NoPrefetch>,
    &x87passes::RowForward<NoPrefetch>,
    &x87passes::RowInverse<NoPrefetch>,
    &PointwiseMultiplyRow,
    0,
    nullptr,
    nullptr,
};

const KernelFamily kX87Prefetch{
    "x87-prefetch",
    1,
    &x87passes::ColumnForward<1, PrefetchNextColumn>,
    &x87passes::ColumnInverse<1, PrefetchNextColumn>,
    &x87passes::RowSquare<NoPrefetch>,
    &x87passes::RowForward<NoPrefetch>,
    &x87passes::RowInverse<NoPrefetch>,
    &PointwiseMultiplyRow,
    0,
    nullptr,
    nullptr,
};

}  // namespace

const KernelFamily& X87Kernels() { return kX87; }
const KernelFamily& X87PrefetchKernels() { return kX87Prefetch; }

}  // namespace numen
