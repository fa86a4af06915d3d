// The kernel families of the complex FFT: one table of functions per family
// (x87, x87 with prefetch hints, AMD, SSE2), all computing the same values up
// to rounding, and the one dispatch point that chooses among them.
//
// Contract common to every family (unnormalised, in place):
//   forward  = radix-4 decimation in frequency, output in bit-reversed order;
//   pointwise step stores the complex conjugate of each square or product;
//   inverse  = decimation in time with the same forward-signed rotations,
//              bit-reversed order in, natural order out.
// A square or product pipeline therefore turns inputs x, y of length N into
// N * conj(x (*) y), (*) the cyclic convolution. No bit reversal is ever done.
//
// Two-pass (four-step) layout of N = g*b points: b rows of g elements, each
// row followed by `gap` unused padding elements, so the column stride is
// g + gap elements:
//
//     row 0:  e[0]      e[1]  ...  e[g-1]      | gap |
//     row 1:  e[g]      ...        e[2g-1]     | gap |
//     ...
//     row b-1 ...
//
// Column passes run down columns (length b, stride g + gap); row r is then
// twisted by the twist table entry at position r, transformed, squared (or
// multiplied), transformed back and untwisted.
//
// Every entry point reads its tables from the KernelTables record of the
// shape (Twiddles.h), which the caller passes in: nothing is kept between
// calls, so any number of transforms of any shapes may be in progress.
#pragma once

#include <cstddef>
#include <cstdint>

#include "arith/kernels/Complex.h"

namespace numen {

struct ProcessorProfile;
struct KernelTables;

struct KernelFamily {
    const char* name;           // "x87", "x87-prefetch", "amd", "sse2", "avx2", "avx512"
    uint32_t columnsPerCall;    // adjacent columns per column call: 1, 2, 4 or 8
    // Length-b forward (inverse) transforms down `columnsPerCall` adjacent
    // columns starting at firstColumn, elements `stride` apart; `tables`
    // are those of the shape (b rows).
    void (*columnForward)(Complex* firstColumn, uint32_t b, uint32_t stride, const KernelTables& tables);
    void (*columnInverse)(Complex* firstColumn, uint32_t b, uint32_t stride, const KernelTables& tables);
    // For each of `rows` rows (row r at array + r*(g + gap)): twist (r > 0),
    // forward length-g transform, conj(z^2) fused into the last level,
    // inverse transform, untwist (r > 0). Natural order in and out.
    // The one-pass square is rowSquare(array, L, 1, 0, KernelTablesFor(L, 1)).
    void (*rowSquare)(Complex* array, uint32_t g, uint32_t rows, uint32_t gap, const KernelTables& tables);
    // Products: twist (rowPosition > 0) and forward transform of one row;
    // inverse transform and untwist of one row.
    void (*rowForward)(Complex* row, uint32_t g, uint32_t rowPosition, const KernelTables& tables);
    void (*rowInverse)(Complex* row, uint32_t g, uint32_t rowPosition, const KernelTables& tables);
    // a[k] := conj(a[k] * b[k]) for k < g.
    void (*pointwiseMultiply)(Complex* a, const Complex* b, uint32_t g);

    // The rest is filled by the fast families only (null in the others).
    // Instructions beyond x86-64 the family needs: 0 none, 1 AVX2 and FMA,
    // 2 AVX-512F (see ProcessorProfile::avxLevel).
    int32_t avxLevel;
    // Weighting in double precision: the product weight of row element c is
    // rowStart * columnWeights[c] (two tables of b and g entries instead of
    // an 80-bit recurrence). row[c] := digits[c] * weight, c < g.
    void (*weightRow)(Complex* row, const double* digits, uint32_t g, Complex rowStart,
                      const Complex* columnWeights);
    // Read-out: (low[c], high[c]) := row[c] * weight rounded to integers,
    // c < g; returns the largest rounding distance of the row, or NaN when
    // an element is not a number or rounds to 2^62 or more in magnitude.
    double (*roundRow)(const Complex* row, uint32_t g, Complex rowStart, const Complex* columnWeights,
                       double* low, double* high);
};

// The families. Each exists on every x86-64 build; a family whose
// instructions the processor lacks is never chosen.
const KernelFamily& X87Kernels();          // reference family, long double
const KernelFamily& X87PrefetchKernels();  // the same with prefetch hints
const KernelFamily& AmdKernels();          // two columns per call
const KernelFamily& Sse2Kernels();         // four columns per call
const KernelFamily& Avx2Kernels();         // AVX2 + FMA, packed pairs of complex values
const KernelFamily& Avx512Kernels();       // AVX-512F, packed quadruples of complex values

// Whether a processor with this profile can run the family.
bool KernelFamilyRuns(const KernelFamily& family, const ProcessorProfile& profile);

// The carry passes of the generalized-Fermat transform (arith/GfnTransform.h);
// all compute the same value with balanced digits (the SSE2 and AVX ones
// round in double precision, which the 0.45 guard leaves room for).
enum class GfnCarryVariant { kX87, kX87Prefetch, kSse2, kAvx2, kAvx512 };
// "x87", "x87-prefetch", "sse2", "avx2", "avx512": the names of the
// squaring families of the same instruction sets.
const char* GfnCarryVariantName(GfnCarryVariant variant);

// The one dispatch point. With SSE level 2 and neither NoSSE2 nor NoAVX set,
// the widest AVX family the profile's AVX level allows (2: avx512, 1: avx2)
// runs squarings and products, and the generalized-Fermat carry pass of the
// same instruction set. Otherwise squarings use AMD for AMD family 6 or more,
// else SSE2 at SSE level 2 with NoSSE2 off, else x87 (with prefetch when the
// SSE level is not 0), and products the x87 form; the carry pass is then
// chosen by the SSE level alone (0: x87; 2 with NoSSE2 off: SSE2; else x87
// with prefetch) -- an AMD squaring family takes the one its SSE level
// allows, which is why the carry pass is a member of the choice and not a
// slot of each family's table (its code lives above the kernels, too). A
// chosen AVX family with an empty slot gives way to the rule without AVX
// (carry pass included); any other incomplete table to the x87 family. Set
// once at start-up (and by tests that run every family); before that, the
// x87 family and the x87 carry pass.
struct KernelChoice {
    const KernelFamily* squaring;
    const KernelFamily* products;
    GfnCarryVariant gfnCarry;
};
// The rule alone, before any incomplete table is replaced.
KernelChoice ChosenKernelFamilies(const ProcessorProfile& profile, bool noSse2, bool noAvx);
bool KernelFamilyComplete(const KernelFamily& family);
void ChooseKernelFamilies(const ProcessorProfile& profile, bool noSse2, bool noAvx = false);
void ForceSquaringKernels(const KernelFamily& family);
const KernelFamily& SquaringKernels();
const KernelFamily& ProductKernels();
GfnCarryVariant GfnCarryKernels();

}  // namespace numen
