// Reduction modulo an N of no usable binary form by Barrett's method
// (P. Barrett, CRYPTO '86; Menezes, van Oorschot, Vanstone, Handbook of
// Applied Cryptography, 14.42): with lambda = floor(log2 N) and the cached
// reciprocal R = floor(2^(2 lambda + 1) / N), the quotient estimate
//
//     t = floor( floor(x / 2^lambda) * R / 2^(lambda + 1) )
//
// is at most x / N and falls short by at most 3 for x < 2^(2 lambda + 2), so
// x - t N needs at most three corrections. The two products are transform
// products (mulTransform) of about the size of N; the division that builds
// R is paid once per modulus.
//
// Two moduli use it: N = k*b^n + c (reduceGeneral; b = 2 goes to the
// shift-and-divide reduction of ReduceBase2.h) and the cyclotomic value
// Phi_m(b) (reduceCyclotomic). Each keeps N, lambda and R in a process-wide
// cache of its own, keyed by the candidate (k, b, n, c) and by (m, b); a
// call with a different key rebuilds it, nothing else does. Single-threaded.
#pragma once

#include <cstdint>

#include "arith/BigInt.h"
#include "arith/Candidate.h"

namespace numen {

// x := x mod N in [0, N), N = k*b^n + c. Requires 0 <= x < 2^(2 lambda + 2)
// (true for the product of two reduced residues and for a reduced residue
// times a word below N), k >= 1, b >= 2, N > 1. Larger x stay correct but
// cost one subtraction of N per unit of the shortfall. b = 2 calls
// reduceBase2 (no range limit beyond its own). Products raise ArithmeticFault
// (checksum mismatch, exhausted memory).
void reduceGeneral(BigInt& x, const Candidate& N);

// x := x mod Phi_m(b) in [0, Phi_m(b)). Requires 0 <= x < 2^(2 lambda + 2)
// with lambda = floor(log2 Phi_m(b)), m >= 1, b >= 2 and Phi_m(b) > 1
// (m = 1 with b = 2 gives the modulus 1 and is refused by ArithmeticFault).
void reduceCyclotomic(BigInt& x, uint32_t m, uint32_t b);

// The cached moduli, rebuilt when the key differs; valid until the next call
// with another key.
const BigInt& GeneralModulus(const Candidate& N);
const BigInt& CyclotomicModulus(uint32_t m, uint32_t b);

// Number of times each cache was (re)built in this process.
uint64_t GeneralModulusRebuilds();
uint64_t CyclotomicModulusRebuilds();

}  // namespace numen
