#include "tests/CompositeVerification.h"

#include "arith/ArithmeticFault.h"
#include "arith/ReduceGeneral.h"
#include "arith/ReduceRadix.h"
#include "tests/BaseSearch.h"
#include "tests/PowerRuns.h"

namespace numen {

namespace {

template <class Residue>
void CheckProduct(const RunContext& run, const Candidate& form, uint32_t ab, const Residue& W,
                  const Residue& Z) {
    const bool mismatch = W.compare(Z) != 0;
    run.log.ReportComposite(form, int32_t(ab), 0, mismatch);
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
    run.log.ReportComposite(form, int32_t(B), 0, Y.compare(minusOne) == 0);

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
    CheckMultiplicativity(run, form, ab, W, Z);
    return true;
}

bool VerifyCompositeFermat(const RunContext& run, const Candidate& form, const BigInt& e, const RadixInt& X) {
    RadixInt y(X.radix());
    if (!PowerRunRadix(run, form, 3, e, 0, y)) return false;
    run.log.ReportComposite(form, 3, 0, y.compareInt(1) == 0);

    RadixInt Z(X);
    Z.mulTransform(y);
    reduceRadix(Z, form);

    RadixInt w(X.radix());
    if (!PowerRunRadix(run, form, 6, e, 0, w)) return false;
    CheckMultiplicativity(run, form, 6, w, Z);
    return true;
}

}  // namespace numen
