// TrialReport: what a trial division tells its caller while it runs -- that
// a division begins (the one progress text the user sees) and the divisor
// it found. The search hands in the adapter to its result log
// (report/ResultLogTrialReport.h), which composes and prints the texts;
// the list modes, the self-test and the benchmarks may hand in their own.
// Called on the worker thread, at most once per start and once per factor.
#pragma once

#include <cstdint>

#include "arith/Candidate.h"

namespace numen {

class TrialReport {
public:
    virtual ~TrialReport() = default;

    // TrialDivide of N begins: the primes below limit.
    virtual void divisionStarted(const Candidate& N, uint64_t limit) = 0;
    // TrialDivideGfn of b^n + 1 begins: the divisors step*i + 1, i < count.
    virtual void gfnDivisionStarted(uint32_t b, uint32_t n, uint64_t count, uint64_t step) = 0;
    // f divides N, 2 <= f < 2^63 (or so the division believes: the receiver
    // checks it). TrialDivideGfn names b^n + 1 as 1*b^n + 1, TrialDividePhi
    // names Phi_n(b) as 1*b^n - 1, which it divides.
    virtual void factorFound(const Candidate& N, uint64_t f) = 0;
};

}  // namespace numen
