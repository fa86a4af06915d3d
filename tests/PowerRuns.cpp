// The power runs on BigInt and RadixInt residues (PowerRuns.h): each picks
// its modular steps, progress text, interval and record, and hands the walk
// to WalkPower (PowerWalk.h). The generalized-Fermat runs live apart.
#include "arith/ModularSteps.h"
#include "arith/RadixChoice.h"
#include "arith/ReduceGeneral.h"
#include "arith/ReduceRadix.h"
#include "report/ProgressLines.h"
#include "tests/PowerRunWeighted.h"
#include "tests/PowerRuns.h"
#include "tests/PowerWalk.h"

namespace numen {

namespace {

PowerWalkSetup SetupOf(const RunContext& run, const Candidate& N, uint32_t a, int32_t stage,
                       uint32_t intervalDen) {
    PowerWalkSetup s;
    s.stem = PowerProgressStem(N);
    s.intervalDen = intervalDen;
    s.keepsCheckpoint = KeepsCheckpoint(run, N.b, N.n, stage);
    s.stage = s.keepsCheckpoint ? uint32_t(stage) : 0;
    s.params = {a, N.k, N.b, N.n, N.c};
    return s;
}

}  // namespace

bool PowerRunBase2(const RunContext& run, const Candidate& N, uint32_t a, const BigInt& e,
                   int32_t stage, BigInt& x) {
    if (e.topBitIndex() >= 2 && UsesWeightedTransform(N.k, N.n, N.c))
        return PowerRunWeightedBase2(run, SetupOf(run, N, a, stage, 1), N, a, e, x);
    LastWeightedRunStats() = {};
    x.setUnsigned(a);
    const bool completed = WalkPower(run, SetupOf(run, N, a, stage, 1), e, x, [&](BigInt& r, bool bit) {
        SquareStepBase2(r, N);
        if (bit) MulStepBase2(r, a, N);
    });
    // Also brings a itself into [0, N) when e = 1.
    if (completed) FinishBase2(x, N);
    return completed;
}

bool PowerRunGeneral(const RunContext& run, const Candidate& N, uint32_t a, const BigInt& e,
                     int32_t stage, BigInt& x) {
    x.setUnsigned(a);
    const bool completed = WalkPower(run, SetupOf(run, N, a, stage, 4), e, x, [&](BigInt& r, bool bit) {
        SquareStepGeneral(r, N);
        if (bit) MulStepGeneral(r, a, N);
    });
    if (completed && e.topBitIndex() == 0) reduceGeneral(x, N);
    return completed;
}

bool PowerRunRadix(const RunContext& run, const Candidate& N, uint32_t a, const BigInt& e,
                   int32_t stage, RadixInt& x) {
    x.setRadix(RadixOf(N.b));
    x.setUnsigned(a);
    auto step = [&](RadixInt& r, bool bit) {
        SquareStepRadix(r, N);
        if (bit) MulStepRadix(r, int32_t(a), N);
    };
    bool completed;
    if (N.n <= 32) {
        WalkPowerPlain(e, x, step);
        completed = !run.stopRequested();
    } else {
        completed = WalkPower(run, SetupOf(run, N, a, stage, 1), e, x, step);
    }
    if (completed && e.topBitIndex() == 0) reduceRadix(x, N);
    return completed;
}

bool PowerRunCyclotomic(const RunContext& run, uint32_t n, uint32_t b, uint32_t a, const BigInt& e,
                        BigInt& x) {
    x.setUnsigned(a);
    PowerWalkSetup s;
    s.stem = CyclotomicProgressStem(n, b);
    const bool completed = WalkPower(run, s, e, x, [&](BigInt& r, bool bit) {
        SquareStepCyclotomic(r, n, b);
        if (bit) MulStepCyclotomic(r, a, n, b);
    });
    if (completed && e.topBitIndex() == 0) reduceCyclotomic(x, n, b);
    return completed;
}

}  // namespace numen
