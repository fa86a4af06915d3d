// Exact checks of a reported factor f of N = k*b^n + c, for f < 2^63:
// the remainder N mod f by binary modular exponentiation in 128-bit
// products, and whether N is f itself. Both are O(log n) word operations.
#pragma once

#include <cstdint>

#include "arith/Candidate.h"

namespace numen {

// (k*b^n + c) mod f in [0, f), c reduced as a true residue (c < 0 included).
// Raises ArithmeticFault for f = 0.
uint64_t CandidateResidue(const Candidate& N, uint64_t f);

// k*b^n + c == f exactly (no overflow for any n).
bool CandidateEquals(const Candidate& N, uint64_t f);

}  // namespace numen
