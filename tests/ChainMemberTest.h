// The test of a Cunningham-chain member k*2^n + c (odd c >= 3) above a prime
// k*2^(n-1) + (c - 1)/2: a Fermat test to base 2, confirmed to base 3.
// Keep-going return and verdict flag as in PlusOneTest.h; no checkpoint.
#pragma once

#include <cstdint>

#include "tests/RunContext.h"

namespace numen {

bool ChainMemberTest(const RunContext& run, uint32_t k, uint32_t n, int32_t c, bool verify, bool& prime);

}  // namespace numen
