#include "tests/CompositeVerification.h"

#include "arith/ArithmeticFault.h"
#include "arith/ReduceGeneral.h"
#include "arith/ReduceRadix.h"
#include "report/ResidueWord.h"
#include "tests/BaseSearch.h"
#include "tests/PowerRuns.h"

namespace numen {

namespace {

// The facts of a verification run's line: its residue x = a^e, e named by
// `exponent` (empty: not known here).
template <class Residue>
VerdictFacts RunFacts(const Candidate& form, const Residue& x, const char* exponent) {
    BigInt N;
    N.setCandidate(form.k, form.b, form.n, form.c);
    return ResidueFacts("prp", ResidueWord(x, N), exponent);
}

// e is (N-1)/2 for the Euler and Proth runs, N-1 for the Fermat runs.
const char* ExponentName(const BigInt& e, const BigInt& N) { return e.compare(N - 1) == 0 ? "N-1" : "(N-1)/2"; }

template <class Residue>
void CheckProduct(const RunContext& run, const Candidate& form, uint32_t ab, const Residue& W,
                  const Residue& Z, const char* exponent = "") {
    const bool mismatch = W.compare(Z) != 0;
    run.log.ReportComposite(form, int32_t(ab), 0, mismatch, RunFacts(form, W, exponent));
    if (mismatch) throw ArithmeticFault("multiplicativity check failed: (AB)^e != A^e B^e");
}

}  // namespace

void CheckMultiplicativity(const RunContext& run, const Candidate& form, uint32_t ab, const BigInt& W,
                           const BigInt& Z) {
    CheckProduct(run, form, ab, W, Z);
}

void CheckMultiplicativity(const RunContext& run, const Candidate& form, uint32_t ab, const RadixInt& W,
                           const RadixInt& Z) {
    CheckProduct(run, form, ab, W, Z);
}

bool VerifyCompositeBase2(const RunContext& run, const Candidate& form, const BigInt& N, const BigInt& e,
                          PrimeSieve& sieve, uint32_t A, const BigInt& X) {
    const uint32_t B = NextNonResidue(sieve, sieve.Next(), N);
    if (B == 0) return true;  // a tiny N: no second base below it
    BigInt Y;
    if (!PowerRunBase2(run, form, B, e, 0, Y)) return false;
    const BigInt minusOne = N - 1;
    run.log.ReportComposite(form, int32_t(B), 0, Y.compare(minusOne) == 0, RunFacts(form, Y, ExponentName(e, N)));

    BigInt Z(X);
    Z.mulTransform(Y);
    reduceGeneral(Z, form);

    // The base A*B as one word; below N it is the run's base as it is, at
    // or above N (only for N of a few digits) its residue stands for it.
    const uint32_t ab = A * B;
    BigInt base;
    base.setUnsigned64(uint32_t(uint64_t(A) * B), uint32_t((uint64_t(A) * B) >> 32));
    if (base.compare(N) >= 0) base = mod(base, N);
    if (base.length() > 1) return true;  // no one-word base to run with
    BigInt W;
    if (base.compareInt(1) <= 0) {
        W = base;
    } else if (!PowerRunBase2(run, form, base.words()[0], e, 0, W)) {
        return false;
    }
    CheckProduct(run, form, ab, W, Z, ExponentName(e, N));
    return true;
}

bool VerifyCompositeFermat(const RunContext& run, const Candidate& form, const BigInt& e, const RadixInt& X) {
    RadixInt y(X.radix());
    if (!PowerRunRadix(run, form, 3, e, 0, y)) return false;
    run.log.ReportComposite(form, 3, 0, y.compareInt(1) == 0, RunFacts(form, y, "N-1"));

    RadixInt Z(X);
    Z.mulTransform(y);
    reduceRadix(Z, form);

    RadixInt w(X.radix());
    if (!PowerRunRadix(run, form, 6, e, 0, w)) return false;
    CheckProduct(run, form, 6, w, Z, "N-1");
    return true;
}

}  // namespace numen
