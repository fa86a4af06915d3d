// The long Lucas-sequence runs of the k*b^n - 1 proofs: progress and a stop
// polled once per step like the power runs (PowerRuns.h), never
// checkpointed.
#pragma once

#include <cstdint>

#include "arith/BigInt.h"
#include "tests/LucasMatrix.h"
#include "tests/RunContext.h"

namespace numen {

// The matrix of M^(2^(n-1)) for Q = -1 modulo k*2^n - 1 from n - 2 doubling
// steps (U := U V, V := V^2 - 2) from U_2 = P, V_2 = P^2 + 2. Interval
// nbIter/2; requires n >= 2. False when stopped.
bool LucasDoublingRun(const RunContext& run, uint32_t k, uint32_t n, uint32_t P,
                      LucasMatrixBase2& matrix);

// R = M^e modulo k*b^n - 1, left to right over the bits of e below its top
// bit (R := R R, then R := M R for a 1 bit); interval nbIter/4; the stop is
// polled once per bit. False when stopped.
bool LucasMatrixRun(const RunContext& run, uint32_t k, uint32_t b, uint32_t n,
                    const LucasMatrixRadix& M, const BigInt& e, LucasMatrixRadix& R);

}  // namespace numen
