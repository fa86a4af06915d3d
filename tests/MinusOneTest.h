// Lucas-sequence (N + 1) proofs of N = k*b^n - 1, after a probable-prime
// stage answered may be prime (or directly, in verifier mode). Keep-going
// return and verdict flag as in PlusOneTest.h.
#pragma once

#include <cstdint>

#include "tests/RunContext.h"

namespace numen {

bool LucasProofBase2(const RunContext& run, uint32_t k, uint32_t n, bool& prime);
// A power-of-two base 2^l is handed to LucasProofBase2 (k, l n).
bool LucasProofGeneral(const RunContext& run, uint32_t k, uint32_t b, uint32_t n, bool& prime);

}  // namespace numen
