// Reduction modulo a generalized Fermat number N = B^n + 1 on digits in the
// radix B itself: since B^n = -1 mod N, x = hi*B^n + lo is congruent to
// lo - hi, so the high digits are subtracted from the low ones and at most a
// few N added back.
//
// N is kept in a process-wide cache keyed by (B, n); a call with a different
// key rebuilds it, nothing else does. Single-threaded.
#pragma once

#include <cstdint>

#include "arith/RadixInt.h"

namespace numen {

// x := x mod (B^n + 1) in [0, B^n + 1) for any signed x, B = base, which
// must be x's radix (ArithmeticFault otherwise); n >= 1. A value of at most
// n digits is returned unchanged. A high part of more than n digits is
// reduced first, so x of any length is handled in time linear in its length
// (the plain subtraction loop would add N about hi / N times).
void reduceGfn(RadixInt& x, uint32_t base, uint32_t n);

// The cached B^n + 1; valid until the next call with another key.
const RadixInt& GfnModulus(uint32_t base, uint32_t n);

// Number of times the generalized-Fermat modulus cache was (re)built.
uint64_t GfnModulusRebuilds();

}  // namespace numen
