// Trial division of the three kinds of candidates by small primes, before
// the transform-based tests:
//   TrialDivide      N = k*b^n + c   (c = +-1, or a chain offset such as 3, 7)
//   TrialDivideGfn   N = b^n + 1, n = 2^m, by divisors 2n*i + 1
//   TrialDividePhi   N = Phi_n(b), by the divisors of n and by j*n + 1
//
// Contract of all three: a true result means the division ran to its end;
// found is then true exactly when a divisor was found and handed to
// TrialReport::factorFound (in a search: ResultLog::ReportFactor, which
// checks it exactly and prints it). A false result means the running flag
// was cleared: the run is stopping, found is left unwritten, and the caller
// returns at once. The flag is polled after every pair of primes
// (TrialDivide), every kept divisor (TrialDivideGfn) or every divisor
// (TrialDividePhi). TrialDivide and TrialDivideGfn (when it divides at
// all) report their start once; TrialDividePhi shows no progress.
//
// Worker thread only: uses the process-wide SharedPrimeSieve().
#pragma once

#include <atomic>
#include <cstdint>

#include "arith/Candidate.h"
#include "sieve/TrialLimit.h"
#include "sieve/TrialReport.h"

namespace numen {

// What a trial division reads from outside: where its start and its factor
// are reported, the running flag of the run, and the manual limit
// preference (shell/Settings.h: ManualLimitOf).
struct TrialContext {
    TrialReport& report;
    const std::atomic<bool>& running;
    ManualLimit manual{};
};

// N = k*b^n + c, up to TrialLimit(CandidateBits(b, n)). Primes are taken in
// pairs (2, 3), (5, 7), ... and the division ends at the first pair whose
// second member is not below the limit; that pair is not tested. The
// smaller member of a pair is tested first, so the first divisor reported
// is the smallest below the limit (up to that untested last pair).
// Divisibility is decided from the true residue of c modulo p, so chain
// offsets larger than p are handled exactly. A limit above kLimit32 uses
// the 64-bit kernels and Next64 throughout.
bool TrialDivide(bool& found, const Candidate& N, const TrialContext& context);

// N = b^n + 1 with n a power of two (n < 64: no division). Every prime
// factor is 1 mod 2n, so the divisors are q = 2n*i + 1 for 1 <= i < I,
// I = min(floor(L / ln L), floor(2^60 / 2n)) with L the limit of b^n; those
// divisible by 3, 5 or 7 are skipped. Kept divisors are tested in groups of
// four; a group left incomplete at the end is not tested. The first divisor
// of a group that divides N is reported, as a factor of 1*b^n + 1.
bool TrialDivideGfn(bool& found, uint32_t b, uint32_t n, const TrialContext& context);

// N = Phi_n(b), n >= 1, b >= 2: first the divisors t >= 2 of n in ascending
// order, then q = j*n + 1 for j = 1 .. floor(10^8 / n). A divisor equal to N
// itself does not count (found stays false). A factor is reported as a
// factor of 1*b^n - 1, which Phi_n(b) divides.
bool TrialDividePhi(bool& found, uint32_t n, uint32_t b, const TrialContext& context);

}  // namespace numen
