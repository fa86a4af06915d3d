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

// The same steps in the weighted transform: U := U V is a product of two
// transforms, V := V^2 - 2 a square whose carry pass adds -2. Not checked:
// the pair does not fit the check of one power. A fault of the transform
// (round-off at the guard) sends the run back to the values of the last
// tick, which go on in the exact steps.
bool WeightedDoublingSteps(const RunContext& run, std::optional<RunProgress>& progress, uint32_t k, uint32_t n,
                           const ModulusForm& form, const BigInt& N, uint32_t steps, BigInt& U, BigInt& V) {
    WeightedTransform u, v;
    u.plan(k, n, -1);
    u.set(U);
    v = u;
    v.set(V);
    uint32_t snapshotAt = 0;  // steps done when U and V were last read out
    LastWeightedRunStats().weighted = true;
    try {
        for (uint32_t i = 0; i < steps; ++i) {
            if (progress->beginStep()) {
                U = u.value();
                V = v.value();
                snapshotAt = i;
            }
            if (progress->stopRequested()) return false;
            u.multiply(v);
            v.square();
            v.carry(-2);
            AfterWeightedStepForTest(v);
        }
    } catch (const ArithmeticFault&) {
        LastWeightedRunStats().fellBack = true;
        LastWeightedRunStats().fellBackAt = snapshotAt;
        progress.emplace(run, LucasProgressStem(k, 2, n), steps, 1, 2, false);
        progress->start(snapshotAt, steps - snapshotAt);
        return ExactDoublingSteps(*progress, form, N, snapshotAt, steps, U, V);
    }
    U = u.value();
    V = v.value();
    return true;
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
                          ? WeightedDoublingSteps(run, progress, k, n, form, N, steps, U, V)
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
