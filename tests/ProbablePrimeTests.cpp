// The two probable-prime stages: the Euler test of k*2^n + c with a
// non-residue base, and the Fermat test of k*b^n + c with base 2.
#include <cmath>

#include "arith/RadixChoice.h"
#include "report/ResidueWord.h"
#include "report/ResultLines.h"
#include "tests/BaseSearch.h"
#include "tests/CompositeVerification.h"
#include "tests/ExactPrime64.h"
#include "tests/PlusOneTest.h"
#include "tests/PowerRuns.h"

namespace numen {

namespace {

// The Fermat test's bases 2, 3 and 6 must lie below N: a smaller N is
// decided exactly, with the lines the test would print for it.
constexpr int32_t kSmallestFermatModulus = 7;

}  // namespace

bool EulerProbableTestBase2(const RunContext& run, uint32_t k, uint32_t n, int32_t c, uint32_t depth,
                            bool& mayBePrime) {
    mayBePrime = false;
    if (RefusedBySizeBase2(run, k, n)) return true;
    const Candidate form{k, 2, n, c};
    BigInt N;
    N.setCandidate(k, 2, n, c);
    if (ReportedAsSquare(run, form, N)) return true;
    PrimeSieve& sieve = SharedPrimeSieve();
    const uint32_t a = NextNonResidue(sieve, sieve.Restart(), N);
    if (a == 0) {
        mayBePrime = DecideExactly(run, form, N, false, VerdictKind::ProbablePrime);
        return true;
    }

    BigInt e = N - 1;
    e.shift(1);
    BigInt x;
    if (!PowerRunBase2(run, form, a, e, depth == 0 ? 4 : 0, x)) return false;
    if (x.compare(N - 1) == 0) {
        mayBePrime = true;
        run.log.PrintLine(MayBePrimeLine(form, a));
        return true;
    }
    run.log.ReportComposite(form, int32_t(a), 0, false,
                            ResidueFacts("prp", ResidueWord(x, N), "(N-1)/2"));
    if (run.options.verifComposites) return VerifyCompositeBase2(run, form, N, e, sieve, a, x);
    return true;
}

bool FermatProbableTest(const RunContext& run, uint32_t k, uint32_t b, uint32_t n, int32_t c, uint32_t depth,
                        bool& mayBePrime) {
    mayBePrime = false;
    if (RefusedBySize(run, k, b, n)) return true;
    if ((b & (b - 1)) == 0) return EulerProbableTestBase2(run, k, uint32_t(__builtin_ctz(b)) * n, c, depth, mayBePrime);
    const Candidate form{k, b, n, c};
    BigInt N;
    N.setCandidate(k, b, n, c);
    if (ReportedAsSquare(run, form, N)) return true;
    if (N.compareInt(kSmallestFermatModulus) < 0) {
        uint64_t value = 0;
        mayBePrime = FitsIn64(N, value) && IsPrime64(value);
        if (mayBePrime)
            run.log.PrintLine(MayBePrimeLine(form, 2));
        else
            run.log.ReportComposite(form, 2, 0, false, ProofFacts("exact"));
        return true;
    }

    const BigInt e = N - 1;
    RadixInt x(RadixOf(b));
    if (!PowerRunRadix(run, form, 2, e, depth == 0 ? 5 : 0, x)) return false;
    if (x.compareInt(1) == 0) {
        mayBePrime = true;
        run.log.PrintLine(MayBePrimeLine(form, 2));
        return true;
    }
    run.log.ReportComposite(form, 2, 0, false, ResidueFacts("prp", ResidueWord(x, N), "N-1"));
    if (run.options.verifComposites) return VerifyCompositeFermat(run, form, e, x);
    return true;
}

}  // namespace numen
