// Reduction modulo N = k*b^n + c on radix-B digits, B = b^mu a power of the
// candidate's base (RadixChoice.h): with n = q*mu + t and rho = b^t,
// N = k*rho*B^q + c, so floor(x / b^n) is a shift by q digits and a division
// by the word rho, and the multiple of N to subtract needs only a division by
// the word k and a shift back. The same identity as for base 2
// (ReduceBase2.h): x = s*N + (x - s*k*b^n) - c*s with s = floor(x / (k b^n)).
//
// N (in the residue's radix), mu, q, t and rho are kept in a process-wide
// cache keyed by the candidate (k, b, n, c) and the residue's radix B; a
// call with a different key rebuilds it, nothing else does. Single-threaded.
#pragma once

#include <cstdint>

#include "arith/Candidate.h"
#include "arith/RadixInt.h"

namespace numen {

// x := x mod N in [0, N), N = k*b^n + c, on x's own digits. Requires x >= 0,
// k >= 1 (any 32-bit k), 2 <= b, x's radix B an exact power b^mu of b
// (ArithmeticFault otherwise), N > 1. About two subtractions of N are needed
// when x < b^n * N (squares and small multiples of reduced residues are);
// larger x take about x / (b^n N) subtractions per unit of |c|.
void reduceRadix(RadixInt& x, const Candidate& N);

// The cached modulus and its shape for a residue in radix B.
struct RadixModulusShape {
    uint32_t mu;   // base-b digits per radix digit, B = b^mu
    uint32_t q;    // floor(n / mu)
    uint32_t t;    // n mod mu
    uint32_t rho;  // b^t (1 when t = 0)
};
const RadixInt& RadixModulus(const Candidate& N, uint32_t radix);
RadixModulusShape RadixModulusShapeOf(const Candidate& N, uint32_t radix);

// Number of times the radix modulus cache was (re)built in this process.
uint64_t RadixModulusRebuilds();

}  // namespace numen
