#include <cmath>

#include "arith/ArithmeticFault.h"
#include "arith/RadixChoice.h"
#include "arith/ReduceGfn.h"
#include "report/ResidueWord.h"
#include "report/ResultLines.h"
#include "tests/BaseSearch.h"
#include "tests/ExactPrime64.h"
#include "tests/GfnTest.h"
#include "tests/PowerRuns.h"

namespace numen {

namespace {

constexpr int32_t kStageGfnProbable = 5;

// b = r^e with the largest e in 2..30 for which an integer r > 1 exists.
void PerfectPower(uint32_t b, uint32_t& r, uint32_t& e) {
    for (uint32_t exponent = 30; exponent >= 2; --exponent) {
        const uint64_t root = uint64_t(std::pow(double(b), 1.0 / exponent) + 0.5);
        if (root < 2) continue;
        uint64_t p = 1;
        for (uint32_t i = 0; i < exponent && p <= b; ++i) p *= root;
        if (p == b) {
            r = uint32_t(root);
            e = exponent;
            return;
        }
    }
    r = b;
    e = 1;
}

}  // namespace

bool GfnProbableTest(const RunContext& run, uint32_t b, uint32_t n, bool& mayBePrime) {
    mayBePrime = false;
    uint32_t r = b, e = 1;
    PerfectPower(b, r, e);
    if ((e & (e - 1)) != 0) {
        uint32_t i = 3;
        while (e % i != 0) i += 2;
        run.log.PrintVerbose(GfnAlgebraicFactorLine(b, n, r, e / i));
        return true;
    }
    const Candidate form{1, b, n, 1};
    BigInt N;
    N.setCandidate(1, b, n, 1);
    const uint32_t a = r == 2 ? 3 : 2, a2 = r == 2 ? 5 : 3;

    // Numbers of a word are decided exactly (3 = 2 + 1 would fail base 3).
    uint64_t small = 0;
    if (FitsIn64(N, small)) {
        mayBePrime = IsPrime64(small);
        if (mayBePrime) run.log.PrintLine(GfnMayBePrimeLine(b, n, a, 0.0));
        else run.log.ReportCompositeErr(form, int32_t(a), 0, false, 0.0f, ProofFacts("exact"));
        return true;
    }

    // Square the radix while it stays small and within the transform's
    // limit: each step halves the transform length.
    uint32_t B = b, m = n;
    while (B < 2048 && m > 2) {
        const uint32_t half = m / 2;
        if (uint64_t(B) * B >= LargestGeneralizedFermatBase(half)) break;
        B *= B;
        m = half;
    }
    BigInt exponent = N - 1;
    RadixInt x(B);
    float err = 0;
    if (!PowerRunGfn(run, B, m, a, exponent, kStageGfnProbable, x, err)) return false;
    if (x.compareInt(1) == 0) {
        mayBePrime = true;
        run.log.PrintLine(GfnMayBePrimeLine(b, n, a, err));
        return true;
    }
    run.log.ReportCompositeErr(form, int32_t(a), 0, false, err,
                               ResidueFacts("prp", ResidueWord(x, N), "N-1"));
    if (!run.options.verifComposites) return true;

    RadixInt y(B);
    float errY = 0;
    if (!PowerRunGfnAlt(run, B, m, a2, exponent, 0, y, errY)) return false;
    run.log.ReportCompositeErr(form, int32_t(a2), 0, y.compareInt(1) == 0, errY,
                               ResidueFacts("prp", ResidueWord(y, N), "N-1"));
    RadixInt Z(x);
    Z.mulTransform(y);
    reduceGfn(Z, B, m);
    RadixInt w(B);
    float errW = 0;
    if (!PowerRunGfnAlt(run, B, m, a * a2, exponent, 0, w, errW)) return false;
    CheckGfnMultiplicativity(run, form, a * a2, w, Z, errW);
    return true;
}

void CheckGfnMultiplicativity(const RunContext& run, const Candidate& form, uint32_t ab, const RadixInt& W,
                              const RadixInt& Z, float err) {
    const bool mismatch = W.compare(Z) != 0;
    BigInt N;
    N.setCandidate(form.k, form.b, form.n, form.c);
    run.log.ReportCompositeErr(form, int32_t(ab), 0, mismatch, err,
                               ResidueFacts("prp", ResidueWord(W, N), "N-1"));
    // (ab)^e = a^e b^e holds in any correct arithmetic: a mismatch is a
    // fault of the computation, never a sign that the number is prime.
    if (mismatch) throw ArithmeticFault("generalized Fermat residues are not multiplicative");
}

}  // namespace numen
