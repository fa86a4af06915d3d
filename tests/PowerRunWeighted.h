// Base-2 runs in the weighted transform (arith/WeightedTransform.h) with the
// error check of tests/GerbiczLi.h around them.
//
// The residue of a checked walk is one weighted transform per value the run
// follows (one for a power run, three for the divisibility scan), all of one
// plan; a step squares each (and multiplies by the base on a 1 bit). The
// transform has no checksum, so the check is what stands between a wrong
// rounding and a wrong verdict.
//
// Around the walk the hooks do what WalkPower does around its steps: one
// RunProgress::beginStep and one stop poll per step; at a tick the walk is
// asked for a verified state, which is what the record stores, and at a stop
// the verified state it hands back is written. A record is the old path's
// record (the residue before a step, the count including it, the bit index
// of that step), so either path resumes from the other's.
//
// A fault of the transform itself (a round-off at the 0.45 guard, a NaN, a
// carry that does not settle) is not a reason to end the run: the rounding
// of a given value is deterministic and would fail again, so the run goes
// on from the last verified state with the exact square and fold. A check
// that fails twice from the same verified state still raises
// ArithmeticFault.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

#include "arith/ArithmeticFault.h"
#include "arith/BigInt.h"
#include "arith/Candidate.h"
#include "arith/WeightedTransform.h"
#include "tests/GerbiczLi.h"
#include "tests/PowerWalk.h"
#include "tests/RunContext.h"
#include "tests/RunProgress.h"

namespace numen {

// The escape hatch (INI "NoWeighted"): set once at start-up, before any run;
// on by default. Off, every run keeps the exact square and fold. Below
// `fromBits` bits of n the exact path is kept as well: there a run is a few
// hundred steps and the plan and the check's first blocks cost more than
// the shorter transform saves (`numen-bench prp`, prp-3-2-<n>-weighted rows:
// 1.24x the exact path at n = 1000, 0.83x at 2000). Tests pass 0 to reach
// the weighted path with small numbers.
inline constexpr uint32_t kWeightedRunsFromBits = 1536;
void SetWeightedRuns(bool on, uint32_t fromBits = kWeightedRunsFromBits);
bool WeightedRunsEnabled();

// Whether a k*2^n + c run takes the weighted transform: enabled, n at least
// the threshold, and served by PlanWeighted.
bool UsesWeightedTransform(uint32_t k, uint32_t n, int32_t c);

// What the last weighted run of this thread did (for the tests and the
// benchmarks; nothing decides on it).
struct WeightedRunStats {
    bool weighted = false;   // the run took the weighted transform
    bool fellBack = false;   // a transform fault sent it to the exact steps
    uint32_t fellBackAt = 0; // the verified step count it went on from
    GerbiczLiCounts counts;
};
WeightedRunStats& LastWeightedRunStats();

// Test seam: called after every weighted step on this thread (in a checked
// walk the check's own steps included; in the Lucas run once per step, on V) with the transform just stepped
// and the number of steps so far, 1 first. Empty: nothing is called.
using WeightedStepSeam = std::function<void(WeightedTransform&, uint64_t)>;
void SetWeightedStepSeam(WeightedStepSeam seam);
// Hands a stepped transform to the seam (the walks call it after each step).
void AfterWeightedStepForTest(WeightedTransform& t);

using WeightedResidue = std::vector<WeightedTransform>;

// The modular arithmetic of a checked walk over weighted residues.
struct WeightedOps {
    using Residue = WeightedResidue;
    uint32_t a = 1;                           // the base of the 1 bits
    const WeightedTransform* shape = nullptr;  // any planned transform of the run
    size_t components = 1;                    // transforms per residue
    bool transformFault = false;              // set when the transform raised

    void step(Residue& x, bool bit);
    void multiply(Residue& x, const Residue& y);
    void setOne(Residue& x);
    bool equal(const Residue& x, const Residue& y);
};

// The hooks of a checked walk: progress, stop, and the record at ticks.
// `save` writes a verified state; `onVerified` (optional) sees every one.
struct WeightedHooks {
    std::optional<RunProgress>& progress;
    const GerbiczLiCounts& counts;
    std::function<void(uint32_t stepsDone)> restartProgress;  // after a rollback
    std::function<void(const GerbiczLiState<WeightedResidue>&)> save;
    std::function<void(const GerbiczLiState<WeightedResidue>&)> onVerified;
    uint32_t verifiedSteps = 0;
    uint32_t rollbacksSeen = 0;
    bool tickPending = false;

    bool stopRequested();
    bool wantsVerifiedState() const { return tickPending; }
    void verified(const GerbiczLiState<WeightedResidue>& s);
};

// x = a^e mod N in the weighted transform with the check; the caller has
// made sure UsesWeightedTransform(N) and e >= 2. Progress, stop, record and
// resume as in WalkPower with `setup`; x in [0, N) on a true return.
bool PowerRunWeightedBase2(const RunContext& run, const PowerWalkSetup& setup, const Candidate& N,
                           uint32_t a, const BigInt& e, BigInt& x);

}  // namespace numen
