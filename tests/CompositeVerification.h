// Composite verification (option VerifComposites): a number found
// composite with base A and residue X = A^e mod N is computed twice more,
// with the next base B and with the product A*B. The second line says
// whether B alone agrees; the third checks the multiplicativity
// (AB)^e = A^e B^e (mod N), which any correct arithmetic satisfies.
//
// A mismatch of the multiplicativity is an arithmetic fault, not a verdict:
// its failed-verification line is printed and ArithmeticFault is raised,
// so the run ends with the error line like any other detected fault. The
// number stays not prime either way.
#pragma once

#include <cstdint>

#include "arith/BigInt.h"
#include "arith/Candidate.h"
#include "arith/RadixInt.h"
#include "sieve/PrimeSieve.h"
#include "tests/RunContext.h"

namespace numen {

// The multiplicativity decision: prints the line for the base product ab
// (a failed verification when W != Z, else a composite line) and raises
// ArithmeticFault when W != Z.
void CheckMultiplicativity(const RunContext& run, const Candidate& form, uint32_t ab, const BigInt& W,
                           const BigInt& Z);
void CheckMultiplicativity(const RunContext& run, const Candidate& form, uint32_t ab, const RadixInt& W,
                           const RadixInt& Z);

// N = k*2^n + c with the half exponent e; A and X as above, B the next
// non-residue the sieve gives after A. Two power runs with stage 0 on
// PowerRunBase2. False when stopped.
bool VerifyCompositeBase2(const RunContext& run, const Candidate& form, const BigInt& N, const BigInt& e,
                          PrimeSieve& sieve, uint32_t A, const BigInt& X);

// N = k*b^n + c after the Fermat test with base 2 and e = N - 1, X its
// residue: bases 3 and 6 (PowerRunRadix, stage 0). Requires N > 6. False
// when stopped.
bool VerifyCompositeFermat(const RunContext& run, const Candidate& form, const BigInt& e, const RadixInt& X);

}  // namespace numen
