// The cyclotomic value Phi_n(b) = prod over d | n of (b^d - 1)^mu(n/d), the
// number behind the form "Any" (printed "b.n"), and the Moebius function
// it needs.
#pragma once

#include <cstdint>

#include "arith/BigInt.h"

namespace numen {

// mu(m) for m >= 1, searching divisors from d (callers pass 2): the
// smallest divisor t >= d of m; none: +1; t^2 | m: 0; else -mu(m/t) from t+1.
int Moebius(uint32_t m, uint32_t d);

// Phi_n(b) for n >= 1, b >= 2: the product of b^t - 1 over the divisors t
// with mu(n/t) = +1, divided exactly by those with mu(n/t) = -1. Schoolbook
// products: the size of Phi_n(b) is about phi(n) * log2(b) bits.
BigInt CyclotomicValue(uint32_t n, uint32_t b);

}  // namespace numen
