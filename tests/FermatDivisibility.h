// Does a prime found by a search divide a Fermat number, a generalized
// Fermat number of base 3, 5, 6, 10 or 12, or a cyclotomic value
// Phi(b^m, 2)? Every hit is printed and appended to "Numen.txt"; a base
// without a hit gets its "doesn't divide" line. Both return keep-going:
// false only when the run was stopped.
#pragma once

#include <cstdint>

#include "tests/RunContext.h"

namespace numen {

// N = k*2^n + 1, known prime; m runs from 1 to n - 1. At depth 0 a large N
// saves and resumes its position (stage 3); related primes (depth > 0)
// never do. The hit flags are not in the record: after a resume a base
// that had its hit before the stop gets its "doesn't divide" line too (the
// hit line is in the log already; nothing here can know it).
bool FermatDivisibility(const RunContext& run, uint32_t k, uint32_t n, uint32_t depth);

// N = k*b^n + 1, known prime, b != 2: the first m (1 .. n + 9) with
// 2^(b^m) = 1 mod N. Nothing for a base that is not prime.
bool PhiDivisibility(const RunContext& run, uint32_t k, uint32_t b, uint32_t n);

}  // namespace numen
