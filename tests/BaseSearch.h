// The preliminaries every test of k*b^n + c shares before its power runs:
// the size refusals, the square check, the search for a base a with
// Jacobi symbol (a/N) = -1 over the shared PrimeSieve, and the exact
// decision of the few N the criteria cannot take (even, tiny, a square the
// search ran into).
//
// Bases come from the sieve in the order 2, 3, 5, 7, 11, ...; a search
// continues the sequence where the previous one of the same test stopped.
// Everything here is BigInt arithmetic, negligible beside one power run.
#pragma once

#include <cstdint>

#include "arith/BigInt.h"
#include "arith/Candidate.h"
#include "sieve/PrimeSieve.h"
#include "tests/RunContext.h"

namespace numen {

// Only n < 32, when k >= 2^n: posts the refusal "k >= 2^n" as a transient
// pane text and answers true (the candidate counts as not prime).
bool RefusedBySizeBase2(const RunContext& run, uint32_t k, uint32_t n);

// Only n < 32, when ln k >= n ln b in extended precision: posts the refusal
// "k >= b^n" and answers true.
bool RefusedBySize(const RunContext& run, uint32_t k, uint32_t b, uint32_t n);

// k >= b^n, exactly. Then N = k*b^n + 1 < 2^64 and the factored part b^n of
// N - 1 is below sqrt N, so the proofs' own argument does not hold.
bool KAtLeastPower(uint32_t k, uint32_t b, uint32_t n);

// Only n < 1024: when N is a square, reports the square line and answers
// true.
bool ReportedAsSquare(const RunContext& run, const Candidate& form, const BigInt& N);

bool IsSquare(const BigInt& N);

// N as a 64-bit value when 0 <= N < 2^64.
bool FitsIn64(const BigInt& N, uint64_t& value);

// The first base of the sieve's sequence, starting with `first` (a value
// already drawn from it), with (a/N) = -1 and a < N; a symbol of 0 is
// rejected like +1. 0 when there is none: N is even or below 3, N is a
// square (checked once when the search runs long, so it ends for squares of
// any size), the sequence passed N (a tiny N), or it passed 2^32 (an odd
// non-square N below 2^25 bits always has a much smaller prime
// non-residue).
uint32_t NextNonResidue(PrimeSieve& sieve, uint32_t first, const BigInt& N);

// What the line of an exact decision is.
enum class VerdictKind {
    Proof,          // the plain prime line "is prime! [d digits]" with its record
    ProbablePrime,  // "may be prime. (a = 2)"
};

// Decides N exactly when no base can be used (N even, tiny, or a square):
// a square gets the square line; otherwise N must be below 2^64 and
// IsPrime64 decides; a composite gets the composite line naming a = 2 (the
// witness of an even N), with `verification` for the failed-verification
// form. Returns the verdict. ArithmeticFault for an N above 2^64 that is
// not a square, which no search can produce in practice (see
// NextNonResidue).
bool DecideExactly(const RunContext& run, const Candidate& form, const BigInt& N, bool verification,
                   VerdictKind kind);

}  // namespace numen
