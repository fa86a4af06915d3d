// Power runs: x = a^e mod N for a small base a and an exponent e as large
// as N, with everything a computation of hours or weeks needs around the
// arithmetic: the left-to-right walk over the bits of e, progress with the
// time remaining, a stop polled once per step, a checkpoint at every tick
// and at a stop, and the resume from a matching checkpoint.
//
// Walk: T = index of the top bit of e; x := a; for i = T-1 down to 0 one
// step: x := x^2, then x := a x when bit i is 1. The step count runs 1..T.
// One step, in order: count it; at a tick post the timed text and (large
// numbers, stage > 0) write the checkpoint -- the residue before this
// step, the count including it, the bit index still pointing at it; if the
// stop was requested write the checkpoint and return false; square;
// multiply. A stop loses at most one step.
//
// Every run returns true when it finished and false when it was stopped;
// x is then meaningless. Arithmetic faults (checksum mismatch, exhausted
// memory, a generalized-Fermat rounding error at the limit) raise
// ArithmeticFault and are not caught here. e >= 1; a >= 2, a < N.
#pragma once

#include <cstdint>

#include "arith/BigInt.h"
#include "arith/Candidate.h"
#include "arith/RadixInt.h"
#include "tests/RunContext.h"

namespace numen {

// N = k*2^n + c (N.b = 2); x fully reduced into [0, N). Interval nbIter;
// BigInt record. Where the weighted transform serves N (and NoWeighted is
// off) the walk runs in it with the error check (PowerRunWeighted.h), else
// on a BigInt with the folding reduction; either resumes the other's record.
bool PowerRunBase2(const RunContext& run, const Candidate& N, uint32_t a, const BigInt& e,
                   int32_t stage, BigInt& x);

// Any base, BigInt arithmetic with the general reduction. Interval nbIter/4.
bool PowerRunGeneral(const RunContext& run, const Candidate& N, uint32_t a, const BigInt& e,
                     int32_t stage, BigInt& x);

// Any base, x a RadixInt in RadixOf(N.b). Interval nbIter; radix record.
// n <= 32: the plain walk with no progress, polling or checkpoint; false
// when the running flag is found cleared after it.
bool PowerRunRadix(const RunContext& run, const Candidate& N, uint32_t a, const BigInt& e,
                   int32_t stage, RadixInt& x);

// B^m + 1 (m a power of two) in the generalized-Fermat transform, x a
// RadixInt in radix B; maxErr is the largest rounding error since the value
// was set or restored (0 for m <= 32, which take the plain RadixInt walk).
// Interval 2 nbIter; radix record with the start value plus "Numen.dtf".
// PowerRunGfn multiplies inside the carry pass, PowerRunGfnAlt after it.
bool PowerRunGfn(const RunContext& run, uint32_t B, uint32_t m, uint32_t a, const BigInt& e,
                 int32_t stage, RadixInt& x, float& maxErr);
bool PowerRunGfnAlt(const RunContext& run, uint32_t B, uint32_t m, uint32_t a, const BigInt& e,
                    int32_t stage, RadixInt& x, float& maxErr);

// Phi_n(b), BigInt arithmetic; interval nbIter; never checkpointed.
bool PowerRunCyclotomic(const RunContext& run, uint32_t n, uint32_t b, uint32_t a, const BigInt& e,
                        BigInt& x);

// y^e mod N for a 32-bit e, right to left; e <= 0 gives 1, e = 1 gives y.
// No progress, no polling. y in [0, N); the RadixInt form in y's radix.
BigInt SmallPower(const BigInt& y, int32_t e, const Candidate& N);
RadixInt SmallPower(const RadixInt& y, int32_t e, const Candidate& N);

}  // namespace numen
