// Lucas-sequence proofs of N = k*b^n - 1 (see MinusOneTest.h).
//
// With (D/N) = -1 for D = P^2 - 4Q, N is prime when U_{N+1} = 0 (mod N) and
// gcd(U_{(N+1)/d}, N) = 1 for the primes d of the factored part F of N + 1,
// provided F > sqrt N: every prime factor of N is then +-1 modulo F (Lehmer,
// Ann. of Math. 31, 1930; Brillhart, Lehmer and Selfridge, Math. Comp. 29,
// 1975). F is b^n here, so the argument holds only for k < b^n; below that
// bound (n < 32, N < 2^64) a verdict of prime is confirmed by IsPrime64.
//
// Numbers the argument cannot take at all -- n = 0 or 1 in base 2 (no
// doubling run), n = 0 in a general base, N <= 3, an even N, a square (no Q
// or P with symbol -1 exists, and the searches would never end), a base
// below 2 -- are decided exactly instead: a prime gets the prime line with
// the parameters the searches choose, anything else the failure line with
// P = 1, Q = -1, the first values the searches try.
#include "tests/MinusOneTest.h"

#include <cmath>
#include <cstdint>

#include "arith/BigInt.h"
#include "arith/RadixChoice.h"
#include "report/ResidueWord.h"
#include "report/ResultLines.h"
#include "report/TextFormat.h"
#include "tests/BaseSearch.h"  // KAtLeastPower, IsSquare
#include "tests/ExactPrime64.h"
#include "tests/LucasMatrix.h"
#include "tests/LucasRuns.h"
#include "tests/PlusOneTest.h"

namespace numen {
namespace {

// How far the parameter searches go. For an odd N the symbols depend only on
// the argument modulo N, so P = 1..N and Q = -1..-N see every value; for
// N = 2 (Kronecker's symbol) the argument modulo 8 decides. A larger N
// finds its parameters among the first few values; the 32-bit range only
// guarantees that the searches end.
int64_t SearchLimit(const BigInt& N) {
    if (N.topBitIndex() >= 31) return INT32_MAX;
    const int64_t n = N.words()[0];
    return n < 8 ? 8 : n;
}

// The first P above `after` and not above limit with ((P^2 - 4Q)/N) = -1
// (a symbol of 0 is rejected like +1); 0 when there is none.
int32_t NextP(const BigInt& N, int32_t Q, int32_t after, int64_t limit) {
    BigInt D;
    for (int64_t P = int64_t(after) + 1; P <= limit; ++P) {
        D.setInt64(P * P - 4 * int64_t(Q));
        if (jacobi(D, N) == -1) return int32_t(P);
    }
    return 0;
}

// Q = -1, -2, ...: the first with (Q/N) = -1; 0 when there is none, which is
// what a square gives. The square is tested (one integer square root) only
// once the cheap symbols have failed for a while.
int32_t FirstQ(const BigInt& N, int64_t limit) {
    constexpr int64_t kTriesBeforeSquareTest = 64;
    BigInt Q;
    for (int64_t q = 1; q <= limit; ++q) {
        if (q == kTriesBeforeSquareTest && IsSquare(N)) return 0;
        Q.setInt64(-q);
        if (jacobi(Q, N) == -1) return int32_t(-q);
    }
    return 0;
}

uint64_t LowWords64(const BigInt& N) {
    if (N.size() <= 0) return 0;
    const uint64_t low = N.words()[0];
    return N.size() == 1 ? low : low | uint64_t(N.words()[1]) << 32;
}


// The decision for numbers outside the argument (see the file comment).
// fixedQ: base 2, where Q is -1.
bool DecideExactly(const RunContext& run, const Candidate& candidate, const BigInt& N, bool fixedQ,
                   bool& prime) {
    prime = false;
    if (N.compareInt(2) == 0) {
        prime = true;
    } else if (N.compareInt(3) >= 0 && N.lowBits(1) != 0 && N.topBitIndex() < 64) {
        prime = IsPrime64(LowWords64(N));
    }
    if (!prime) {
        run.log.ReportComposite(candidate, 1, -1, true, ProofFacts("exact"));
        return true;
    }
    // A prime has parameters within the search limits, so both searches end
    // with an answer.
    const int64_t limit = SearchLimit(N);
    const int32_t Q = fixedQ ? -1 : FirstQ(N, limit);
    const int32_t P = NextP(N, Q, 0, limit);
    run.log.AnnouncePrime(candidate, P, Q, false, true, ProofFacts("exact"));
    return true;
}

// The verdict of a completed argument; confirm: k >= b^n, where only the
// exact decision may call N prime. U is the run's U_{N+1}, for the JSON line
// of a composite.
bool Conclude(const RunContext& run, const Candidate& candidate, const BigInt& N, int32_t P, int32_t Q,
              bool passes, bool confirm, const BigInt& U, bool& prime) {
    const bool decidedExactly = passes && confirm;
    if (decidedExactly) passes = IsPrime64(LowWords64(N));
    prime = passes;
    if (passes) {
        run.log.AnnouncePrime(candidate, P, Q, false, true, ProofFacts(confirm ? "exact" : "N+1"));
    } else if (decidedExactly) {
        run.log.ReportComposite(candidate, P, Q, true, ProofFacts("exact"));
    } else {
        run.log.ReportComposite(candidate, P, Q, true, ResidueFacts(nullptr, ResidueWord(U, N), "N+1"));
    }
    return true;
}

}  // namespace

bool LucasProofBase2(const RunContext& run, uint32_t k, uint32_t n, bool& prime) {
    prime = false;
    const Candidate candidate{k, 2, n, -1};
    BigInt N;
    N.setCandidate(k, 2, n, -1);
    if (n <= 1 || N.compareInt(3) <= 0) return DecideExactly(run, candidate, N, true, prime);

    // n >= 2: N = 3 (mod 4), so Q = -1 is a non-residue and N no square.
    const ModulusForm form = LucasFormBase2(k, n);
    const int64_t limit = SearchLimit(N);
    BigInt K;
    K.setUnsigned(k);
    int32_t P = 0;
    for (;;) {
        const int32_t next = NextP(N, -1, P, limit);
        if (next == 0) {
            run.log.ReportComposite(candidate, P == 0 ? 1 : P, -1, true, ProofFacts("exact"));
            return true;
        }
        P = next;
        LucasMatrixBase2 doubled;  // M^m, m = 2^(n-1)
        if (!LucasDoublingRun(run, k, n, uint32_t(P), doubled)) return false;
        LucasMatrixBase2 half;  // M^((N+1)/2) = (M^m)^k
        if (!LucasLargePower(run, doubled, K, form, half)) return false;
        if (half.m10.isZero()) continue;  // U_{(N+1)/2} = 0: this P cannot decide
        LucasMatrixBase2 whole;  // M^(N+1)
        LucasSquare(whole, half, form);
        const bool passes = whole.m10.isZero() && gcd(half.m10, N).compareInt(1) == 0;
        return Conclude(run, candidate, N, P, -1, passes, n < 32 && k >= (uint32_t(1) << n), whole.m10, prime);
    }
}

bool LucasProofGeneral(const RunContext& run, uint32_t k, uint32_t b, uint32_t n, bool& prime) {
    prime = false;
    if (b >= 2 && (b & (b - 1)) == 0) return LucasProofBase2(run, k, uint32_t(__builtin_ctz(b)) * n, prime);

    const Candidate candidate{k, b, n, -1};
    BigInt N;
    if (b < 2) {
        N.setInt64(int64_t(k) * (b == 0 && n > 0 ? 0 : 1) - 1);  // b^n is 0 or 1
    } else {
        N.setCandidate(k, b, n, -1);
    }
    if (b < 2 || n == 0 || N.compareInt(3) <= 0 || N.lowBits(1) == 0)
        return DecideExactly(run, candidate, N, false, prime);

    const int64_t limit = SearchLimit(N);
    const int32_t Q = FirstQ(N, limit);  // chosen once for every P
    if (Q == 0) return DecideExactly(run, candidate, N, false, prime);  // a square

    const uint32_t radix = RadixOf(b);
    const ModulusForm form = LucasFormRadix(k, b, n);
    BigInt e;  // (N + 1)/b
    e.setCandidate(k, b, n - 1, 0);
    const long double half = (static_cast<long double>(n) * std::log(static_cast<long double>(b)) +
                              std::log(static_cast<long double>(k))) / 2.0L;
    const bool confirm = KAtLeastPower(k, b, n);
    int32_t P = 0;
    for (;;) {
        const int32_t next = NextP(N, Q, P, limit);
        if (next == 0) {
            run.log.ReportComposite(candidate, P == 0 ? 1 : P, Q, true, ProofFacts("exact"));
            return true;
        }
        P = next;
        LucasMatrixRadix M{RadixInt(radix, P), RadixInt(radix, -Q), RadixInt(radix, 1), RadixInt(radix)};
        ReduceByForm(M.m00, form);  // P and -Q may exceed a small N
        ReduceByForm(M.m01, form);
        LucasMatrixRadix T = LucasIdentity(M.m00);  // M^((N+1)/b)
        if (!LucasMatrixRun(run, k, b, n, M, e, T)) return false;
        const LucasMatrixRadix whole = LucasSmallPower(T, int32_t(b), form);  // M^(N+1)
        if (!whole.m10.isZero()) {  // U_{N+1}
            run.log.ReportComposite(candidate, P, Q, true,
                                    ResidueFacts(nullptr, ResidueWord(whole.m10, N), "N+1"));
            return true;
        }
        // The prime divisors d of b from the largest, until the proved part
        // exceeds sqrt N.
        bool undecided = false;
        long double proved = 0;
        for (uint32_t d = b; d >= 2; --d) {
            if (b % d != 0 || !IsSmallPrime(d)) continue;
            const LucasMatrixRadix R = LucasSmallPower(T, int32_t(b / d), form);  // M^((N+1)/d)
            if (R.m10.isZero()) {
                run.log.PrintLine(LucasMayBePrimeLine(k, b, n, P, Q));
                undecided = true;
                break;
            }
            const BigInt Ud = R.m10.toBigInt();  // U_{(N+1)/d}
            if (gcd(Ud, N).compareInt(1) != 0) {
                run.log.ReportComposite(candidate, P, Q, true,
                                        ResidueFacts(nullptr, ResidueWord(Ud, N), Format("(N+1)/%u", d)));
                return true;
            }
            proved += static_cast<long double>(n) * std::log(static_cast<long double>(d));
            if (proved > half) break;
        }
        if (undecided) continue;
        return Conclude(run, candidate, N, P, Q, true, confirm, BigInt(), prime);
    }
}

}  // namespace numen
