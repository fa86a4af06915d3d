// The one dispatch point of the kernel families. Squarings use the family
// chosen from the processor profile and the NoSSE2 setting; products always
// use the x87 family, in the form (with or without PREFETCHT1 hints) the SSE
// level allows. Before ChooseKernelFamilies runs, both are the plain x87
// family, which runs everywhere.
//
//   vendor AMD, family >= 6         -> amd
//   else SSE level 2, NoSSE2 off    -> sse2
//   else SSE level 1 or 2           -> x87-prefetch
//   else                            -> x87
#include "arith/ProcessorProfile.h"
#include "arith/kernels/KernelFamily.h"

namespace numen {

namespace {

const KernelFamily* squaringKernels = nullptr;
const KernelFamily* productKernels = nullptr;

// Every slot filled and a column grouping the callers know. An incomplete
// table would fail at the first call; the reference family replaces it.
bool Complete(const KernelFamily& f) {
    return f.name != nullptr && (f.columnsPerCall == 1 || f.columnsPerCall == 2 || f.columnsPerCall == 4 || f.columnsPerCall == 8) &&
           f.columnForward != nullptr && f.columnInverse != nullptr && f.rowSquare != nullptr &&
           f.rowForward != nullptr && f.rowInverse != nullptr && f.pointwiseMultiply != nullptr;
}

const KernelFamily& CompleteOrReference(const KernelFamily& f) { return Complete(f) ? f : X87Kernels(); }

}  // namespace

void ChooseKernelFamilies(const ProcessorProfile& profile, bool noSse2) {
    const KernelFamily& x87 = profile.sseLevel != 0 ? X87PrefetchKernels() : X87Kernels();
    const KernelFamily* squaring = &x87;
    if (profile.vendor == kVendorAmd && profile.family >= 6)
        squaring = &AmdKernels();
    else if (profile.sseLevel == 2 && !noSse2)
        squaring = &Sse2Kernels();
    squaringKernels = &CompleteOrReference(*squaring);
    productKernels = &x87;
}

bool KernelFamilyRuns(const KernelFamily& family, const ProcessorProfile& profile) {
    return family.avxLevel <= profile.avxLevel;
}

void ForceSquaringKernels(const KernelFamily& family) { squaringKernels = &CompleteOrReference(family); }

const KernelFamily& SquaringKernels() { return squaringKernels != nullptr ? *squaringKernels : X87Kernels(); }

const KernelFamily& ProductKernels() { return productKernels != nullptr ? *productKernels : X87Kernels(); }

}  // namespace numen
