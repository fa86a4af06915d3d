// An exact primality decision for 64-bit integers: strong probable-prime
// tests to the twelve prime bases 2 .. 37, which no composite below
// 3.3 * 10^24 passes (Sorenson and Webster, Math. Comp. 86, 2017), with
// 128-bit products. The proofs use it where their own argument does not
// hold (k >= b^n, where the factored part of N -+ 1 is below sqrt N).
#pragma once

#include <cstdint>

namespace numen {

bool IsPrime64(uint64_t n);

}  // namespace numen
