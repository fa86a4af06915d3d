// The one dispatch point of the kernel families. On a processor with SSE2
// and AVX2 + FMA (or AVX-512F), unless NoSSE2 or NoAVX is set, the widest
// AVX family runs squarings and products alike. Otherwise squarings use the
// family chosen from the vendor, family and SSE level, and products the x87
// family in the form (with or without PREFETCHT1 hints) the SSE level
// allows. Before ChooseKernelFamilies runs, both are the plain x87 family,
// which runs everywhere.
//
//   SSE level 2, NoSSE2 and NoAVX off, AVX level 2  -> avx512 (both)
//                                      AVX level 1  -> avx2 (both)
//   else vendor AMD, family >= 6                    -> amd
//   else SSE level 2, NoSSE2 off                    -> sse2
//   else SSE level 1 or 2                           -> x87-prefetch
//   else                                            -> x87
//
// The generalized-Fermat carry pass goes with the choice: avx512 or avx2
// with the AVX families, else by SSE level (0: x87; 2 with NoSSE2 off:
// sse2; else x87-prefetch), whichever family squares.
#include "arith/ProcessorProfile.h"
#include "arith/kernels/KernelFamily.h"

namespace numen {

namespace {

const KernelFamily* squaringKernels = nullptr;
const KernelFamily* productKernels = nullptr;
GfnCarryVariant gfnCarry = GfnCarryVariant::kX87;

const KernelFamily& CompleteOrReference(const KernelFamily& f) { return KernelFamilyComplete(f) ? f : X87Kernels(); }

}  // namespace

// Every slot filled (the AVX families also their weighting and read-out)
// and a column grouping the callers know. An incomplete table would fail at
// the first call.
bool KernelFamilyComplete(const KernelFamily& f) {
    return f.name != nullptr &&
           (f.columnsPerCall == 1 || f.columnsPerCall == 2 || f.columnsPerCall == 4 || f.columnsPerCall == 8) &&
           f.columnForward != nullptr && f.columnInverse != nullptr && f.rowSquare != nullptr &&
           f.rowForward != nullptr && f.rowInverse != nullptr && f.pointwiseMultiply != nullptr &&
           (f.avxLevel == 0 || (f.weightRow != nullptr && f.roundRow != nullptr));
}

KernelChoice ChosenKernelFamilies(const ProcessorProfile& profile, bool noSse2, bool noAvx) {
    if (profile.sseLevel == 2 && !noSse2 && !noAvx && profile.avxLevel >= 1) {
        if (profile.avxLevel >= 2) return {&Avx512Kernels(), &Avx512Kernels(), GfnCarryVariant::kAvx512};
        return {&Avx2Kernels(), &Avx2Kernels(), GfnCarryVariant::kAvx2};
    }
    const GfnCarryVariant carry = profile.sseLevel == 0               ? GfnCarryVariant::kX87
                                  : profile.sseLevel >= 2 && !noSse2 ? GfnCarryVariant::kSse2
                                                                      : GfnCarryVariant::kX87Prefetch;
    const KernelFamily& x87 = profile.sseLevel != 0 ? X87PrefetchKernels() : X87Kernels();
    const KernelFamily* squaring = &x87;
    if (profile.vendor == kVendorAmd && profile.family >= 6)
        squaring = &AmdKernels();
    else if (profile.sseLevel == 2 && !noSse2)
        squaring = &Sse2Kernels();
    return {squaring, &x87, carry};
}

void ChooseKernelFamilies(const ProcessorProfile& profile, bool noSse2, bool noAvx) {
    KernelChoice choice = ChosenKernelFamilies(profile, noSse2, noAvx);
    // An AVX family still being filled in must not cost the SSE2 speed:
    // fall back to the rule without AVX, not straight to the reference.
    if (!KernelFamilyComplete(*choice.squaring) || !KernelFamilyComplete(*choice.products))
        choice = ChosenKernelFamilies(profile, noSse2, true);
    squaringKernels = &CompleteOrReference(*choice.squaring);
    productKernels = &CompleteOrReference(*choice.products);
    gfnCarry = choice.gfnCarry;
}

bool KernelFamilyRuns(const KernelFamily& family, const ProcessorProfile& profile) {
    return family.avxLevel <= profile.avxLevel;
}

void ForceSquaringKernels(const KernelFamily& family) { squaringKernels = &CompleteOrReference(family); }

const KernelFamily& SquaringKernels() { return squaringKernels != nullptr ? *squaringKernels : X87Kernels(); }

const KernelFamily& ProductKernels() { return productKernels != nullptr ? *productKernels : X87Kernels(); }

GfnCarryVariant GfnCarryKernels() { return gfnCarry; }

const char* GfnCarryVariantName(GfnCarryVariant variant) {
    switch (variant) {
        case GfnCarryVariant::kX87: return "x87";
        case GfnCarryVariant::kX87Prefetch: return "x87-prefetch";
        case GfnCarryVariant::kSse2: return "sse2";
        case GfnCarryVariant::kAvx2: return "avx2";
        case GfnCarryVariant::kAvx512: return "avx512";
    }
    return "?";
}

}  // namespace numen
