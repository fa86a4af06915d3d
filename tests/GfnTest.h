// Probable-prime tests of the generalized Fermat numbers b^n + 1 (n a power
// of two) and of the cyclotomic values Phi_n(b). Keep-going return and
// verdict flag as in PlusOneTest.h; the proof of a generalized Fermat number
// is PocklingtonProof (1, b, n).
#pragma once

#include <cstdint>

#include "arith/RadixInt.h"
#include "tests/RunContext.h"

namespace numen {

// A Fermat test in the generalized-Fermat transform; a base that is a
// perfect power with an exponent other than a power of two is composite by
// its algebraic factor, which is printed.
bool GfnProbableTest(const RunContext& run, uint32_t b, uint32_t n, bool& mayBePrime);

// The last step of the composite verification: W = (ab)^e against
// Z = a^e * b^e. Prints the verification line for ab; a mismatch raises
// ArithmeticFault after the line.
void CheckGfnMultiplicativity(const RunContext& run, const Candidate& form, uint32_t ab, const RadixInt& W,
                              const RadixInt& Z, float err);

// Euler tests of Phi_n(b) to ten bases with Jacobi symbol -1.
bool CyclotomicTest(const RunContext& run, uint32_t n, uint32_t b, bool& mayBePrime);

}  // namespace numen
