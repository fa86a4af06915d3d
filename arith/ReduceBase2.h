// Reduction modulo N = k*2^n + c for a one-word k: the division by N is
// replaced by a shift by n bits and a division by the word k.
//
// Write |x| = s*k*2^n + r*2^n + l with l < 2^n and r < k. Since k*2^n = N - c,
// |x| = s*N + (r*2^n + l) - c*s: the fold keeps r*2^n + l (below k*2^n) and
// subtracts c*s. foldBase2 does this once or twice and leaves a value of the
// order of N, possibly negative, for the squaring loop of k*2^n + c, where
// the full correction is paid once at the end; reduceBase2 subtracts the
// largest multiple of N not above x and returns x mod N.
//
// The modulus N is kept in a process-wide cache keyed by (k, n, c): a call
// with a different key rebuilds it, nothing else does. Single-threaded.
#pragma once

#include <cstdint>

#include "arith/BigInt.h"

namespace numen {

// x := a value congruent to x modulo N = k*2^n + c with |x| < k*2^n,
// possibly negative. x may be negative on entry; the magnitude is reduced
// and the sign restored, so with c = -1 a non-negative x stays non-negative.
// Requires k >= 1 and |c| < k*2^n: each fold turns |x| into at most
// max(k*2^n, |c| |x| / (k*2^n)), so it is meant for |c| far below k*2^n, as
// in every form tested (then two folds bring a square of a residue down).
// Should those leave |x| >= k*2^n (an input far above N^2, or a square near
// N^2 whose low part happens to be small), the magnitude is folded again, so
// a long chain of squarings cannot drift upward.
void foldBase2(BigInt& x, uint32_t k, uint32_t n, int32_t c);

// x := x mod N in [0, N), N = k*2^n + c. Requires x >= 0, k >= 1, N > 1; the
// work is one shift, one division by k and a few subtractions of N when
// x < 2^n * N (squares and small multiples of reduced residues are); larger
// x take about x / (2^n N) subtractions per unit of |c|.
void reduceBase2(BigInt& x, uint32_t k, uint32_t n, int32_t c);

// The cached N = k*2^n + c (rebuilt when the key differs). The reference is
// valid until the next call with another key.
const BigInt& Base2Modulus(uint32_t k, uint32_t n, int32_t c);

// Number of times the base-2 modulus cache was (re)built in this process.
uint64_t Base2ModulusRebuilds();

}  // namespace numen
