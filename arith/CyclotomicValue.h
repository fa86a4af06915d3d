// The cyclotomic value Phi_n(b) = prod over d | n of (b^d - 1)^mu(n/d), the
// number behind the form "Any" (printed "b.n"), with the Moebius function
// and the divisor list it needs. Integer arithmetic only: the cyclotomic
// reduction (ReduceGeneral.h), the trial division of Phi_n(b) and the
// cyclotomic test all build the value here.
#pragma once

#include <cstdint>
#include <vector>

#include "arith/BigInt.h"

namespace numen {

// The divisors of n >= 1 in ascending order (1 and n included), by trial up
// to sqrt(n): O(sqrt n) divisions.
std::vector<uint32_t> DivisorsOf(uint32_t n);

// mu(m) for m >= 1, searching divisors from d (callers pass 2): the
// smallest divisor t >= d of m; none: +1; t^2 | m: 0; else -mu(m/t) from t+1.
int Moebius(uint32_t m, uint32_t d);

// Phi_n(b) for n >= 1, b >= 2: the product of b^t - 1 over the divisors t
// with mu(n/t) = +1, divided exactly by those with mu(n/t) = -1. Schoolbook
// products: the size of Phi_n(b) is about phi(n) * log2(b) bits.
BigInt CyclotomicValue(uint32_t n, uint32_t b);

}  // namespace numen
