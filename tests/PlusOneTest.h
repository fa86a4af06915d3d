// Tests of N = k*b^n + 1, and the two probable-prime stages the -1 forms
// share. Every entry point returns keep-going (false only when a power run
// was stopped; no verdict is printed then) and writes its verdict through
// the last argument. Lines are printed through the run's ResultLog.
#pragma once

#include <cstdint>

#include "tests/RunContext.h"

namespace numen {

// k*2^n + 1 by the N - 1 criterion; verify: a second base confirms a prime
// (false in verifier mode, where the first verdict is final).
bool PlusOneTestBase2(const RunContext& run, uint32_t k, uint32_t n, uint32_t depth, bool verify,
                      bool& prime);

// 2^(N-1) mod N for k*b^n + c: composite or may be prime.
bool FermatProbableTest(const RunContext& run, uint32_t k, uint32_t b, uint32_t n, int32_t c,
                        uint32_t depth, bool& mayBePrime);

// a^((N-1)/2) mod N for k*2^n + c with a non-residue a: composite or may be
// prime.
bool EulerProbableTestBase2(const RunContext& run, uint32_t k, uint32_t n, int32_t c,
                            uint32_t depth, bool& mayBePrime);

// Pocklington's proof of k*b^n + 1 over the prime factors of b.
bool PocklingtonProof(const RunContext& run, uint32_t k, uint32_t b, uint32_t n, uint32_t depth,
                      bool& prime);

// Trial division by 3, 5, 7, ... up to floor(sqrt q) + 1.
bool IsSmallPrime(uint32_t q);

}  // namespace numen
