// Pocklington's proof of N = k*b^n + 1 over the prime factors d of b: with
// q = a^((N-1)/b), N is prime when q^b = 1 and gcd(a^((N-1)/d) - 1, N) = 1
// for primes d whose powers d^n multiply to more than sqrt(N - 1) (all of
// them suffice when k < b^n). One power run serves every d.
#include <optional>
#include <vector>

#include "arith/RadixChoice.h"
#include "report/ResidueWord.h"
#include "report/ResultLines.h"
#include "report/TextFormat.h"
#include "tests/BaseSearch.h"
#include "tests/ExactPrime64.h"
#include "tests/PlusOneTest.h"
#include "tests/PocklingtonDivisors.h"
#include "tests/PowerRuns.h"

namespace numen {

namespace {

enum class PowerRunKind { GfnAlt, Radix, General };

struct RunChoice {
    PowerRunKind kind;
    int32_t stage;
    bool independent;  // not the arithmetic the probable-prime stage used
};

// N = b^n + 1 takes the generalized-Fermat transform, which needs n a power
// of two (up to 2^23) and b within the transform's largest base for n, where
// its round-off stays safe; any other k*b^n + 1 takes the radix run.
// Use16bitBRT moves large radixes to the BigInt run.
bool IsGfnExponent(uint32_t n) { return n != 0 && (n & (n - 1)) == 0 && n <= (1u << 23); }

bool FitsGfnTransform(uint32_t b, uint32_t n) { return n <= 32 || b <= LargestGeneralizedFermatBase(n); }

RunChoice ChoosePowerRun(const RunContext& run, uint32_t k, uint32_t b, uint32_t n) {
    const bool use16 = run.options.use16bitBRT;
    if (k == 1 && IsGfnExponent(n)) {
        if (b >= 65536 && use16) return {PowerRunKind::General, 7, true};
        if (FitsGfnTransform(b, n)) return {PowerRunKind::GfnAlt, 6, b < 65536 || use16};
        // A base beyond the transform's limit is a radix above 2^20, whose
        // radix run costs minutes where the BigInt run costs seconds; the
        // line stays the one the transform's run would print.
        return {PowerRunKind::General, 7, b < 65536};
    }
    const uint32_t radix = RadixOf(b);
    if (radix >= 65536 && use16) return {PowerRunKind::General, 7, true};
    return {PowerRunKind::Radix, 6, radix < 65536 || use16};
}

BigInt AsBigInt(const BigInt& x) { return x; }
BigInt AsBigInt(const RadixInt& x) { return x.toBigInt(); }

enum class Conditions { Proved, NextBase, Composite };

// The Fermat condition q^b = 1, then the conditions of the divisors d
// (PocklingtonDivisors): a^((N-1)/d) - 1 = q^(b/d) - 1 prime to N.
// A composite's JSON line carries the power run's residue q = a^((N-1)/b).
template <class Residue>
Conditions CheckConditions(const RunContext& run, const Candidate& form, const BigInt& N, const Residue& q,
                           uint32_t a, const std::vector<uint32_t>& divisors, std::optional<double> maxError) {
    const uint32_t b = form.b;
    const auto facts = [&] {
        return ResidueFacts(nullptr, ResidueWord(q, N), Format("(N-1)/%u", b), maxError);
    };
    if (SmallPower(q, int32_t(b), form).compareInt(1) != 0) {
        run.log.ReportComposite(form, int32_t(a), 0, true, facts());
        return Conditions::Composite;
    }
    for (uint32_t d : divisors) {
        BigInt p = AsBigInt(SmallPower(q, int32_t(b / d), form));
        p.subInt(1);
        if (p.isNegative()) p.add(N);
        if (p.isZero()) {
            run.log.PrintLine(MayBePrimeLine(form, a));
            return Conditions::NextBase;
        }
        if (gcd(p, N).compareInt(1) != 0) {
            run.log.ReportComposite(form, int32_t(a), 0, true, facts());
            return Conditions::Composite;
        }
    }
    return Conditions::Proved;
}

}  // namespace

bool PocklingtonProof(const RunContext& run, uint32_t k, uint32_t b, uint32_t n, uint32_t depth, bool& prime) {
    prime = false;
    if ((b & (b - 1)) == 0) return PlusOneTestBase2(run, k, uint32_t(__builtin_ctz(b)) * n, depth, false, prime);
    const Candidate form{k, b, n, 1};
    BigInt N;
    N.setCandidate(k, b, n, 1);
    // With k >= b^n (N < 2^64) the factored part b^n is too small for the
    // theorem: a prime verdict then needs the exact test to agree. With
    // n = 0, b does not even divide N - 1; such N are decided exactly.
    const bool unproved = KAtLeastPower(k, b, n);
    const RunChoice choice = ChoosePowerRun(run, k, b, n);
    const std::vector<uint32_t> divisors = PocklingtonDivisors(k, b, n);
    PrimeSieve& sieve = SharedPrimeSieve();
    sieve.Restart();
    uint32_t a = n == 0 ? 0 : NextNonResidue(sieve, sieve.Next(), N);
    BigInt e = N - 1;
    if (n != 0) e.divMagnitudeWord(b);

    while (a != 0) {
        Conditions verdict;
        std::optional<double> maxError;  // measured by the generalized-Fermat run only
        if (choice.kind == PowerRunKind::General) {
            BigInt q;
            if (!PowerRunGeneral(run, form, a, e, choice.stage, q)) return false;
            verdict = CheckConditions(run, form, N, q, a, divisors, maxError);
        } else {
            RadixInt q(choice.kind == PowerRunKind::GfnAlt ? b : RadixOf(b));
            float maxErr = 0;
            const bool completed = choice.kind == PowerRunKind::GfnAlt
                                       ? PowerRunGfnAlt(run, b, n, a, e, choice.stage, q, maxErr)
                                       : PowerRunRadix(run, form, a, e, choice.stage, q);
            if (!completed) return false;
            if (choice.kind == PowerRunKind::GfnAlt) maxError = double(maxErr);
            verdict = CheckConditions(run, form, N, q, a, divisors, maxError);
        }
        if (verdict == Conditions::Composite) return true;
        if (verdict == Conditions::Proved) {
            uint64_t value = 0;
            if (unproved && !(FitsIn64(N, value) && IsPrime64(value))) {
                run.log.ReportComposite(form, int32_t(a), 0, true, ProofFacts("exact", maxError));
                return true;
            }
            run.log.AnnouncePrime(form, int32_t(a), 0, choice.independent, true,
                                  ProofFacts(unproved ? "exact" : "N-1", maxError));
            prime = true;
            return true;
        }
        a = NextNonResidue(sieve, sieve.Next(), N);
    }
    // No base below N (N even, tiny or a square), or n = 0.
    prime = DecideExactly(run, form, N, true, VerdictKind::Proof);
    return true;
}

}  // namespace numen
