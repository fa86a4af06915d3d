// Fermat and generalized-Fermat divisibility of k*2^n + 1, and the
// cyclotomic divisibility Phi(b^m, 2) of k*b^n + 1 (FermatDivisibility.h).
#include "tests/FermatDivisibility.h"

#include <algorithm>
#include <cstdio>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "arith/BigInt.h"
#include "arith/Candidate.h"
#include "arith/RadixChoice.h"
#include "arith/RadixInt.h"
#include "arith/ReduceBase2.h"
#include "report/MessageSink.h"
#include "report/TextFormat.h"
#include "tests/GerbiczLi.h"
#include "tests/PlusOneTest.h"
#include "tests/PowerRunWeighted.h"
#include "tests/PowerRuns.h"
#include "tests/RunCheckpoint.h"
#include "tests/RunProgress.h"

namespace numen {

namespace {

constexpr uint32_t DivisibilityStage = 3;
// The last phase follows all six bases; the fast phase only 2, 3 and 5.
constexpr uint32_t LastPhaseSteps = 50;

// The six bases in report order, with their lines.
enum Base { Two, Three, Five, Six, Ten, Twelve, BaseCount };

struct BaseLines {
    const char* divides;  // the number divided, for "Numen.json"
    const char* hit;      // pane and "Numen.log"
    const char* record;   // "Numen.txt"
    const char* none;     // verbose closing line
};

constexpr BaseLines Lines[BaseCount] = {
    {"F%u", "%u*2^%u + 1 divides F%u !\r\n", "%u*2^%u+1 Divides Fermat F(%u)\n",
     "%u*2^%u + 1 doesn't divide any Fm.\r\n"},
    {"GF(%u, 3)", "%u*2^%u + 1 divides GF(%u, 3) !\r\n", "%u*2^%u+1 Divides GF(%u, 3)\n",
     "%u*2^%u + 1 doesn't divide any GF(3, m).\r\n"},
    {"GF(%u, 5)", "%u*2^%u + 1 divides GF(%u, 5) !\r\n", "%u*2^%u+1 Divides GF(%u, 5)\n",
     "%u*2^%u + 1 doesn't divide any GF(5, m).\r\n"},
    {"GF(%u, 6)", "%u*2^%u + 1 divides GF(%u, 6) !\r\n", "%u*2^%u+1 Divides GF(%u, 6)\n",
     "%u*2^%u + 1 doesn't divide any GF(6, m).\r\n"},
    {"GF(%u, 10)", "%u*2^%u + 1 divides GF(%u, 10) !\r\n", "%u*2^%u+1 Divides GF(%u, 10)\n",
     "%u*2^%u + 1 doesn't divide any GF(10, m).\r\n"},
    {"GF(%u, 12)", "%u*2^%u + 1 divides GF(%u, 12) !\r\n", "%u*2^%u+1 Divides GF(%u, 12)\n",
     "%u*2^%u + 1 doesn't divide any GF(12, m).\r\n"},
};

struct DivisibilityScan {
    const RunContext& run;
    uint32_t k, n;
    BigInt minusOne;  // N - 1 = k*2^n, the residue -1
    bool hit[BaseCount] = {};

    // x is a^(2^m) mod N, fully reduced.
    void check(const BigInt& x, Base base, uint32_t m) {
        if (x.compare(minusOne) == 0) report(base, m);
    }
    void report(Base base, uint32_t m) {
        hit[base] = true;
        run.log.PrintLine(Format(Lines[base].hit, k, n, m));
        run.log.AppendResults(Format(Lines[base].record, k, n, m));
        run.log.ReportDivisibility(Candidate{k, 2, n, 1}, Format(Lines[base].divides, m), m);
    }
    void squareAndCheck(BigInt& x, Base base, uint32_t m) {
        x.square();
        reduceBase2(x, k, n, 1);
        check(x, base, m);
    }
    BigInt product(const BigInt& x, const BigInt& y) {
        BigInt p(x);
        p.mulTransform(y);
        reduceBase2(p, k, n, 1);
        return p;
    }
};


// The fast phase: squares of the residues of 2, 3 and 5 while the
// countdown r is above the last phase, with the progress, the record at
// ticks and at a stop, and the resume.
struct FastPhase {
    const RunContext& run;
    DivisibilityScan& scan;
    bool keepsCheckpoint;
    std::string stem;
    std::optional<RunProgress> progress;
    uint32_t& r;
    BigInt* x[3];

    void startProgress(uint32_t stepCount, uint32_t countdown) {
        progress.emplace(run, stem, scan.n, 1, 2);
        progress->start(stepCount, countdown + 1);
    }
    void save(uint32_t stepCount, uint32_t countdown, const BigInt& v2, const BigInt& v3, const BigInt& v5) {
        if (keepsCheckpoint)
            run.checkpoint->writeDivisibility(DivisibilityStage, scan.k, scan.n, stepCount, countdown, v2, v3, v5);
    }

    bool exactSteps() {
        while (r > LastPhaseSteps) {
            if (progress->beginStep()) save(progress->stepCount(), r, *x[0], *x[1], *x[2]);
            if (progress->stopRequested()) {
                save(progress->stepCount(), r, *x[0], *x[1], *x[2]);
                return false;
            }
            const uint32_t m = scan.n - r;
            scan.squareAndCheck(*x[Two], Two, m);
            scan.squareAndCheck(*x[Three], Three, m);
            scan.squareAndCheck(*x[Five], Five, m);
            --r;
        }
        return true;
    }

    // The squares in the weighted transform, the three residues one state
    // of the checked walk (Gerbicz's check: every bit 0). The hit lines
    // cannot come from the steps (a check or a rollback does steps again),
    // so they come from the verified states: after a^(2^m) = -1 every
    // square is 1, so a residue that is +-1 now and was not at the state
    // before had its hit in between, found by the exact squares from that
    // state (only for a divisor, once). A fault of the transform goes on in
    // the exact steps from the last verified state.
    bool weightedSteps(uint32_t stepCount) {
        const uint32_t n = scan.n, first = n - 1 - r;  // fast steps done
        const uint32_t total = n - 1 - LastPhaseSteps;
        const int64_t countOffset = int64_t(stepCount) - int64_t(first);
        auto shownCount = [&](uint32_t done) { return uint32_t(std::max<int64_t>(0, done + countOffset)); };
        BigInt e;
        e.setUnsigned(1);
        e.shift(-int32_t(total));  // left: a walk of `total` squarings

        GerbiczLiState<WeightedResidue> state;
        state.stepsDone = first;
        state.x.resize(3);
        state.x[0].plan(scan.k, n, 1);
        for (int i = 0; i < 3; ++i) {
            if (i > 0) state.x[i] = state.x[0];
            state.x[i].set(*x[i]);
        }
        // The values and step count the last hit search started from.
        BigInt seen[3] = {*x[0], *x[1], *x[2]};
        uint32_t seenAt = first;
        auto findHits = [&](const std::vector<BigInt>& now, uint32_t done) {
            std::vector<std::pair<uint32_t, Base>> hits;
            for (int i = 0; i < 3; ++i) {
                if (IsPlusMinusOne(seen[i]) || !IsPlusMinusOne(now[i])) continue;
                BigInt y(seen[i]);
                for (uint32_t j = seenAt; j < done; ++j) {
                    y.square();
                    reduceBase2(y, scan.k, n, 1);
                    if (y.compare(scan.minusOne) == 0) hits.push_back({j + 1, Base(i)});
                }
            }
            std::sort(hits.begin(), hits.end());
            for (const auto& [m, base] : hits) scan.report(base, m);
            for (int i = 0; i < 3; ++i) seen[i] = now[i];
            seenAt = done;
        };
        auto valuesOf = [](const WeightedResidue& w) {
            std::vector<BigInt> v;
            for (const WeightedTransform& t : w) v.push_back(t.value());
            return v;
        };
        auto saveState = [&](const GerbiczLiState<WeightedResidue>& s, const std::vector<BigInt>& v) {
            if (s.stepsDone < total) save(shownCount(s.stepsDone) + 1, n - 1 - s.stepsDone, v[0], v[1], v[2]);
        };
        auto restart = [&](uint32_t done) { startProgress(shownCount(done), n - 1 - done); };

        WeightedRunStats& stats = LastWeightedRunStats();
        stats = WeightedRunStats{};
        stats.weighted = true;
        WeightedHooks hooks{progress, stats.counts, restart, [&](const GerbiczLiState<WeightedResidue>& s) {
                                saveState(s, valuesOf(s.x));
                            },
                            [&](const GerbiczLiState<WeightedResidue>& s) { findHits(valuesOf(s.x), s.stepsDone); },
                            first};
        WeightedTransform shape(state.x[0]);
        WeightedOps ops{1, &shape, 3};
        bool completed;
        try {
            completed = WalkPowerChecked(ops, hooks, e, PlanGerbiczLi(total), state, stats.counts);
        } catch (const ArithmeticFault&) {
            if (!ops.transformFault) throw;
            stats.fellBack = true;
            stats.fellBackAt = state.stepsDone;
            const std::vector<BigInt> v = valuesOf(state.x);
            findHits(v, state.stepsDone);
            for (int i = 0; i < 3; ++i) *x[i] = v[i];
            r = n - 1 - state.stepsDone;
            restart(state.stepsDone);
            return exactSteps();
        }
        const std::vector<BigInt> v = valuesOf(state.x);
        findHits(v, state.stepsDone);
        if (!completed) {
            saveState(state, v);
            return false;
        }
        for (int i = 0; i < 3; ++i) *x[i] = v[i];
        r = LastPhaseSteps;
        return true;
    }

    bool IsPlusMinusOne(const BigInt& v) const { return v.compareInt(1) == 0 || v.compare(scan.minusOne) == 0; }
};

}  // namespace

bool FermatDivisibility(const RunContext& run, uint32_t k, uint32_t n, uint32_t depth) {
    const bool keepsCheckpoint = depth == 0 && KeepsCheckpoint(run, 2, n, DivisibilityStage);
    DivisibilityScan scan{run, k, n, {}};
    scan.minusOne.setCandidate(k, 2, n, 0);

    uint32_t stepCount = 0;
    uint32_t r = n == 0 ? 0 : n - 1;
    BigInt x2(2), x3(3), x5(5);
    if (keepsCheckpoint) {
        uint32_t savedCount = 0, savedLeft = 0;
        BigInt s2, s3, s5;
        if (run.checkpoint->readDivisibility(DivisibilityStage, k, n, savedCount, savedLeft, s2, s3, s5) &&
            savedLeft <= r) {
            // The record counts the step at its countdown, which is done
            // again now (as in the power runs).
            stepCount = savedCount > 0 ? savedCount - 1 : 0;
            r = savedLeft;
            x2 = std::move(s2);
            x3 = std::move(s3);
            x5 = std::move(s5);
        }
    }
    // Small N (n <= 3): 2, 3 or 5 may not be below N; one reduction makes
    // them residues.
    reduceBase2(x2, k, n, 1);
    reduceBase2(x3, k, n, 1);
    reduceBase2(x5, k, n, 1);

    FastPhase fast{run, scan, keepsCheckpoint, Format("%u*2^%u + 1 ? Checking GFm div.", k, n), {}, r,
                   {&x2, &x3, &x5}};
    fast.startProgress(stepCount, r);
    const bool weighted = r > LastPhaseSteps && UsesWeightedTransform(k, n, 1);
    if (!(weighted ? fast.weightedSteps(stepCount) : fast.exactSteps())) return false;
    while (r > 0) {
        if (run.stopRequested()) return false;
        const uint32_t m = n - r;
        scan.squareAndCheck(x2, Two, m);
        scan.squareAndCheck(x3, Three, m);
        scan.squareAndCheck(x5, Five, m);
        const BigInt x6 = scan.product(x2, x3);
        scan.check(x6, Six, m);
        scan.check(scan.product(x6, x2), Twelve, m);
        scan.check(scan.product(x2, x5), Ten, m);
        --r;
    }
    for (int base = Two; base < BaseCount; ++base)
        if (!scan.hit[base]) run.log.PrintVerbose(Format(Lines[base].none, k, n));
    return true;
}

bool PhiDivisibility(const RunContext& run, uint32_t k, uint32_t b, uint32_t n) {
    if (!IsSmallPrime(b)) return true;
    const Candidate N{k, b, n, 1};
    RadixInt x(RadixOf(b), 2);
    int64_t r = int64_t(n) - 1;
    const std::string stem = Format("%u*%u^%u + 1 ? Checking Phi(%u^m, 2) div.", k, b, n, b);
    RunProgress progress(run, stem, n, 1, 1);
    progress.start(0, n + 9);
    do {
        progress.beginStep();
        if (progress.stopRequested()) return false;
        x = SmallPower(x, int32_t(b), N);
        if (x.compareInt(1) == 0) {
            const uint32_t m = uint32_t(int64_t(n) - r);
            run.log.PrintLine(Format("%u*%u^%u + 1 divides Phi(%u^%u, 2) !\r\n", k, b, n, b, m));
            run.log.AppendResults(Format("%u*%u^%u+1 Divides Phi(%u^%u,2)\n", k, b, n, b, m));
            run.log.ReportDivisibility(N, Format("Phi(%u^%u, 2)", b, m), m);
            return true;
        }
        --r;
    } while (r > -10);
    run.log.PrintVerbose(Format("%u*%u^%u + 1 doesn't divide any Phi(%u^m, 2) !\r\n", k, b, n, b));
    return true;
}

}  // namespace numen
