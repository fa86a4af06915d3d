// The checked base-2 power run in the weighted transform (PowerRunWeighted.h).
#include "tests/PowerRunWeighted.h"

#include <atomic>
#include <utility>

#include "arith/ModularSteps.h"
#include "arith/ReduceBase2.h"
#include "tests/RunCheckpoint.h"

namespace numen {

namespace {

std::atomic<bool> weightedRuns{true};
std::atomic<uint32_t> weightedFromBits{kWeightedRunsFromBits};
thread_local WeightedRunStats lastStats;
thread_local WeightedStepSeam stepSeam;
thread_local uint64_t seamSteps = 0;

// Runs one transform operation; a fault it raises marks the run's ops.
template <class F>
void Guarded(bool& fault, F&& f) {
    try {
        f();
    } catch (const ArithmeticFault&) {
        fault = true;
        throw;
    }
}

// The old path from a given point: the steps of WalkPower from bit `bit`
// down, with its record at ticks and at a stop, then FinishBase2.
bool ExactStepsFrom(const RunContext& run, const PowerWalkSetup& setup, const Candidate& N, uint32_t a,
                    const BigInt& e, uint32_t stepCount, uint32_t bit, BigInt& x) {
    RunProgress progress(run, setup.stem, e.topBitIndex(), setup.intervalNum, setup.intervalDen);
    progress.start(stepCount, bit + 1);
    auto save = [&](uint32_t i) {
        if (setup.keepsCheckpoint)
            run.checkpoint->writePower(setup.stage, setup.params, progress.stepCount(), i, x);
    };
    for (uint32_t i = bit + 1; i-- != 0;) {
        if (progress.beginStep()) save(i);
        if (progress.stopRequested()) {
            save(i);
            return false;
        }
        SquareStepBase2(x, N);
        if (ExponentBit(e, i)) MulStepBase2(x, a, N);
    }
    FinishBase2(x, N);
    return true;
}

}  // namespace

void SetWeightedRuns(bool on, uint32_t fromBits) {
    weightedRuns.store(on, std::memory_order_relaxed);
    weightedFromBits.store(fromBits, std::memory_order_relaxed);
}
bool WeightedRunsEnabled() { return weightedRuns.load(std::memory_order_relaxed); }

bool UsesWeightedTransform(uint32_t k, uint32_t n, int32_t c) {
    return WeightedRunsEnabled() && n >= weightedFromBits.load(std::memory_order_relaxed) &&
           PlanWeighted(k, n, c).served;
}

WeightedRunStats& LastWeightedRunStats() { return lastStats; }

void SetWeightedStepSeam(WeightedStepSeam seam) {
    stepSeam = std::move(seam);
    seamSteps = 0;
}

void AfterWeightedStepForTest(WeightedTransform& t) {
    if (stepSeam) stepSeam(t, ++seamSteps);
}

void WeightedOps::step(Residue& x, bool bit) {
    for (WeightedTransform& t : x) {
        Guarded(transformFault, [&] {
            // The base's product rides on the square's carry pass.
            if (bit) t.squareStepTimes(a);
            else t.squareStep();
        });
        AfterWeightedStepForTest(t);
    }
}

void WeightedOps::multiply(Residue& x, const Residue& y) {
    for (size_t i = 0; i < x.size(); ++i) Guarded(transformFault, [&] { x[i].multiply(y[i]); });
}

void WeightedOps::setOne(Residue& x) {
    x.assign(components, *shape);
    for (WeightedTransform& t : x) t.setValue(1);
}

bool WeightedOps::equal(const Residue& x, const Residue& y) {
    bool same = x.size() == y.size();
    for (size_t i = 0; same && i < x.size(); ++i)
        Guarded(transformFault, [&] { same = x[i].value().compare(y[i].value()) == 0; });
    return same;
}

bool WeightedHooks::stopRequested() {
    if (counts.rollbacks != rollbacksSeen) {
        // The walk went back to the last verified state: so does the count.
        rollbacksSeen = counts.rollbacks;
        restartProgress(verifiedSteps);
    }
    if (progress->beginStep()) tickPending = true;
    return progress->stopRequested();
}

void WeightedHooks::verified(const GerbiczLiState<WeightedResidue>& s) {
    verifiedSteps = s.stepsDone;
    if (onVerified) onVerified(s);
    if (tickPending) {
        tickPending = false;
        save(s);
    }
}

bool PowerRunWeightedBase2(const RunContext& run, const PowerWalkSetup& setup, const Candidate& N,
                           uint32_t a, const BigInt& e, BigInt& x) {
    const uint32_t T = e.topBitIndex();
    WeightedRunStats& stats = lastStats;
    stats = WeightedRunStats{};
    stats.weighted = true;

    GerbiczLiState<WeightedResidue> state;
    BigInt start;
    start.setUnsigned(a);
    // The shown count less the walk's position; 0 unless a record says
    // otherwise (WalkPower takes both from the record as they are).
    int64_t countOffset = 0;
    if (setup.keepsCheckpoint) {
        uint32_t savedCount = 0, savedBit = 0;
        BigInt saved;
        if (run.checkpoint->readPower(setup.stage, setup.params, savedCount, savedBit, saved) && savedBit < T) {
            // As in WalkPower: the record counts its step (at savedBit),
            // which is still to do.
            state.stepsDone = T - 1 - savedBit;
            countOffset = int64_t(savedCount > 0 ? savedCount - 1 : 0) - int64_t(state.stepsDone);
            start = std::move(saved);
        }
    }
    auto shownCount = [&](uint32_t stepsDone) {
        const int64_t c = int64_t(stepsDone) + countOffset;
        return uint32_t(c < 0 ? 0 : c);
    };
    // A record of the old path may hold a folded residue, |x| < k 2^n, and
    // negative.
    reduceBase2(start, N.k, N.n, N.c);
    FinishBase2(start, N);
    state.x.resize(1);
    state.x[0].plan(N.k, N.n, N.c);
    state.x[0].set(start);

    std::optional<RunProgress> progress;
    auto startProgress = [&](uint32_t stepsDone) {
        progress.emplace(run, setup.stem, T, setup.intervalNum, setup.intervalDen);
        progress->start(shownCount(stepsDone), T - stepsDone);
    };
    startProgress(state.stepsDone);
    auto save = [&](const GerbiczLiState<WeightedResidue>& s) {
        if (setup.keepsCheckpoint && s.stepsDone < T)
            run.checkpoint->writePower(setup.stage, setup.params, shownCount(s.stepsDone) + 1, T - 1 - s.stepsDone,
                                       s.x[0].value());
    };
    WeightedHooks hooks{progress, stats.counts, startProgress, save, {}, state.stepsDone};
    WeightedTransform shape(state.x[0]);
    WeightedOps ops{a, &shape};

    bool completed;
    try {
        completed = WalkPowerChecked(ops, hooks, e, PlanGerbiczLi(T), state, stats.counts);
    } catch (const ArithmeticFault&) {
        if (!ops.transformFault) throw;
        // The verified state is whole (the walk assigns it only between
        // steps): the exact steps go on from there.
        stats.fellBack = true;
        stats.fellBackAt = state.stepsDone;
        x = state.x[0].value();
        return ExactStepsFrom(run, setup, N, a, e, shownCount(state.stepsDone), T - 1 - state.stepsDone, x);
    }
    if (!completed) {
        save(state);
        return false;
    }
    x = state.x[0].value();
    return true;
}

}  // namespace numen
