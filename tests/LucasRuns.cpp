// The doubling run of k*2^n - 1 and the matrix run of k*b^n - 1 (see
// LucasRuns.h).
#include "tests/LucasRuns.h"

#include <optional>
#include <utility>

#include "arith/ArithmeticFault.h"
#include "arith/ReduceBase2.h"
#include "arith/WeightedTransform.h"
#include "report/ProgressLines.h"
#include "tests/PowerRunWeighted.h"
#include "tests/RunProgress.h"

namespace numen {
namespace {

// x := x / 2 modulo N for x in [0, N), N odd: an odd x is made even by N.
void HalveModulo(BigInt& x, const BigInt& N) {
    if (x.lowBits(1) != 0) x.add(N);
    x.shift(1);
}

// The doubling steps from `done` to `steps` on U and V in the exact
// product and reduction; false when stopped.
bool ExactDoublingSteps(RunProgress& progress, const ModulusForm& form, const BigInt& N, uint32_t done,
                        uint32_t steps, BigInt& U, BigInt& V) {
    for (uint32_t i = done; i < steps; ++i) {
        progress.beginStep();
        if (progress.stopRequested()) return false;
        // U_{2m} = U_m V_m, V_{2m} = V_m^2 - 2 Q^m with Q^m = 1 (m even).
        U.mulTransform(V);
        ReduceByForm(U, form);
        V.square();
        ReduceByForm(V, form);
        V.subInt(2);
        if (V.isNegative()) V.add(N);
    }
    return true;
}

// V^2 - D U^2 = 4 Q^m with D = P^2 - 4Q = P^2 + 4 and Q^m = 1 (m even):
// the invariant of every pair the doubling steps produce, U and V in [0, N).
bool PairHolds(const BigInt& U, const BigInt& V, uint32_t P, const ModulusForm& form) {
    BigInt lhs(V);
    lhs.square();
    ReduceByForm(lhs, form);
    BigInt rhs(U);
    rhs.square();
    ReduceByForm(rhs, form);
    BigInt D;
    const uint64_t d = uint64_t(P) * P + 4;
    D.setUnsigned64(uint32_t(d), uint32_t(d >> 32));
    rhs.mulTransform(D);
    rhs.addInt(4);
    ReduceByForm(rhs, form);
    return lhs.compare(rhs) == 0;
}

// The same steps in the weighted transform: U := U V is a product of two
// transforms, V := V^2 - 2 a square whose carry pass adds -2. The check of
// one power does not fit the pair; its identity V^2 - D U^2 = 4 does, and
// is tested on the values read out at every tick and at the end (two exact
// squares): a pair that fails goes back to the last one that held, and a
// second failure from that pair raises ArithmeticFault. A fault of the
// transform itself (round-off at the guard) goes on from the last pair
// that held in the exact steps. The count goes back with the run.
bool WeightedDoublingSteps(const RunContext& run, std::optional<RunProgress>& progress, uint32_t k, uint32_t n,
                           uint32_t P, const ModulusForm& form, const BigInt& N, uint32_t steps, BigInt& U,
                           BigInt& V) {
    WeightedRunStats& stats = LastWeightedRunStats();
    stats.weighted = true;
    WeightedTransform u, v;
    u.plan(k, n, -1);
    u.set(U);
    v = u;
    v.set(V);
    uint32_t heldAt = 0;              // steps done when U and V last held
    uint32_t failedFrom = UINT32_MAX;  // heldAt of the last failure
    bool failedTwice = false;
    auto restartAt = [&](uint32_t done) {
        progress.emplace(run, LucasProgressStem(k, 2, n), steps, 1, 2, false);
        progress->start(done, steps - done);
    };
    // Reads the pair out after `done` steps; false (the transforms set back
    // to the last pair that held) when it fails the identity.
    auto verify = [&](uint32_t done) {
        BigInt u1 = u.value(), v1 = v.value();
        if (PairHolds(u1, v1, P, form)) {
            U = std::move(u1);
            V = std::move(v1);
            heldAt = done;
            failedFrom = UINT32_MAX;
            ++stats.counts.checks;
            return true;
        }
        ++stats.counts.rollbacks;
        if (failedFrom == heldAt) {
            failedTwice = true;
            throw ArithmeticFault("Lucas run failed its check twice from the same values");
        }
        failedFrom = heldAt;
        u.set(U);
        v.set(V);
        restartAt(heldAt);
        return false;
    };
    try {
        uint32_t i = 0;
        for (;;) {
            while (i < steps) {
                if (progress->beginStep() && !verify(i)) {
                    i = heldAt;
                    continue;
                }
                if (progress->stopRequested()) return false;
                u.multiply(v);
                v.square();
                v.carry(-2);
                AfterWeightedStepForTest(v);
                ++i;
            }
            if (verify(steps)) return true;
            i = heldAt;
        }
    } catch (const ArithmeticFault&) {
        if (failedTwice) throw;
        stats.fellBack = true;
        stats.fellBackAt = heldAt;
        restartAt(heldAt);
        return ExactDoublingSteps(*progress, form, N, heldAt, steps, U, V);
    }
}

}  // namespace

bool LucasDoublingRun(const RunContext& run, uint32_t k, uint32_t n, uint32_t P,
                      LucasMatrixBase2& matrix) {
    const ModulusForm form = LucasFormBase2(k, n);
    const BigInt& N = Base2Modulus(k, n, -1);
    if (n < 2) {
        // No doubling to do: M itself, the power for n = 1 (m = 1); the
        // proof never comes here, n = 0 has no such power.
        matrix = {BigInt(), BigInt(1), BigInt(1), BigInt()};
        matrix.m00.setUnsigned(P);
        ReduceByForm(matrix.m00, form);
        ReduceByForm(matrix.m01, form);
        ReduceByForm(matrix.m10, form);
        return true;
    }
    // U_2 = P, V_2 = P^2 + 2 (Q = -1), reduced for a P at or above a tiny N.
    BigInt U;
    U.setUnsigned(P);
    ReduceByForm(U, form);
    BigInt V;
    V.setUnsigned64(uint32_t(uint64_t(P) * P + 2), uint32_t((uint64_t(P) * P + 2) >> 32));
    ReduceByForm(V, form);

    const uint32_t steps = n - 2;
    std::optional<RunProgress> progress;
    progress.emplace(run, LucasProgressStem(k, 2, n), steps, 1, 2, false);
    progress->start(0, steps);
    LastWeightedRunStats() = {};
    const bool done = UsesWeightedTransform(k, n, -1)
                          ? WeightedDoublingSteps(run, progress, k, n, P, form, N, steps, U, V)
                          : ExactDoublingSteps(*progress, form, N, 0, steps, U, V);
    if (!done) return false;

    // M^m from U_m and V_m: U_{m+1} = (V + P U)/2, U_{m-1} = (V - P U)/2,
    // the difference formed as V + P (N - U) so that it stays non-negative.
    BigInt PU(U);
    PU.mulUnsigned(P);
    BigInt m00(V);
    m00.add(PU);
    ReduceByForm(m00, form);
    HalveModulo(m00, N);
    BigInt m11(N);
    m11.sub(U);
    m11.mulUnsigned(P);
    m11.add(V);
    ReduceByForm(m11, form);
    HalveModulo(m11, N);
    matrix.m00 = std::move(m00);
    matrix.m01 = U;
    matrix.m10 = std::move(U);
    matrix.m11 = std::move(m11);
    return true;
}

bool LucasMatrixRun(const RunContext& run, uint32_t k, uint32_t b, uint32_t n,
                    const LucasMatrixRadix& M, const BigInt& e, LucasMatrixRadix& R) {
    const uint32_t steps = e.size() > 0 ? e.topBitIndex() : 0;
    RunProgress progress(run, LucasProgressStem(k, b, n), steps, 1, 4, false);
    progress.start(0, steps);
    return LucasLargePower(run, M, e, LucasFormRadix(k, b, n), R, &progress);
}

}  // namespace numen
