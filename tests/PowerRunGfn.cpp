// The power runs modulo B^m + 1. For m > 32 the residue lives in the
// generalized-Fermat transform from the start value to the last square:
// each step below the last is one square and one carry pass (which also
// multiplies by a when the bit is 1), the last step a square and the
// read-out, after which a times the digits (bit 0 set) is reduced in radix
// B. The checkpoint is the record with the start value a plus the
// transform's own state file of the same bit index.
//
// The steps down to bit 1 go through the error check (GerbiczLi.h): the
// walk over e >> 1, whose step at its bit j is the run's step at bit j + 1,
// so a walk state after s steps is the run's residue before the step at
// bit T - 1 - s. Checkpoints hold verified states only: a tick asks the walk
// for one, which it gives at the end of the block, and a stop hands back the
// last one (the whole blocks since are checked first). The last square is
// done twice from the walk's result and the two read-outs compared.
//
// For m <= 32 the number fits in a few digits and the plain RadixInt walk
// is cheaper than planning a transform.
#include <algorithm>
#include <cstdint>
#include <vector>

#include "arith/ArithmeticFault.h"
#include "arith/GfnTransform.h"
#include "arith/ModularSteps.h"
#include "arith/RadixChoice.h"
#include "arith/RadixInt.h"
#include "arith/ReduceGfn.h"
#include "report/ProgressLines.h"
#include "tests/GerbiczLi.h"
#include "tests/PowerRuns.h"
#include "tests/RunCheckpoint.h"
#include "tests/RunProgress.h"

namespace numen {

namespace {

bool BitOf(const BigInt& e, uint32_t i) { return (e.words()[i >> 5] >> (i & 31)) & 1u; }

// How a 1 bit multiplies: inside the carry pass, or by a pass of its own.
enum class Multiplication { InCarry, AfterCarry };

// carry(a) rounds a times the square, so its round-off is that of a square
// of a B^2 in the digits' place. Up to the square of the limit radix that
// is what the planner admits for a plain carry; beyond it the double
// passes (SSE2, AVX) meet the 0.45 guard within a few hundred steps at the
// limit radix (a = 3), and even the x87 pass comes within 0.1 of it, so
// there the run multiplies after the carry, on the balanced digits, which
// costs one more pass over the array per 1 bit and keeps the round-off of
// a plain carry.
Multiplication GfnMultiplication(uint32_t B, uint32_t m, uint32_t a) {
    const long double limit = LargestGeneralizedFermatBase(m);
    const long double scaled = static_cast<long double>(a) * B * B;
    return scaled <= limit * limit ? Multiplication::InCarry : Multiplication::AfterCarry;
}

// m <= 32: square, multiply by a on a 1 bit, one reduction per step.
RadixInt PlainGfnPower(uint32_t B, uint32_t m, uint32_t a, const BigInt& e) {
    RadixInt x(B);
    x.setUnsigned(a);
    reduceGfn(x, B, m);
    for (uint32_t i = e.topBitIndex(); i-- != 0;) {
        x.square();
        if (BitOf(e, i)) x.mulMagnitudeWord(a);
        reduceGfn(x, B, m);
    }
    return x;
}

// The residue arithmetic of the checked walk on transforms of the run's
// plan: a step as the run does it, the product of two residues, 1, and the
// exact comparison.
struct GfnWalkOps {
    using Residue = GfnTransform;
    uint32_t a;
    Multiplication multiplication;
    const GfnTransform& one;  // 1 in the run's plan

    void step(GfnTransform& x, bool bit) const {
        x.square();
        const uint32_t multiplier = bit ? a : 1;
        if (multiplication == Multiplication::InCarry) x.carry(multiplier);
        else x.carryThenMultiply(multiplier);
    }
    void multiply(GfnTransform& x, const GfnTransform& y) const {
        x.multiply(y);
        x.carry(1);
    }
    void setOne(GfnTransform& x) const { x = one; }
    bool equal(const GfnTransform& x, const GfnTransform& y) const { return x.sameValue(y); }
};

using GfnWalkState = GerbiczLiState<GfnTransform>;

// Progress, stop and checkpoint around the walk. Every step of the run is
// counted once, as it always was (the ticks fall on the same counts); the
// steps done again after a rollback are not counted a second time. A tick
// of a run that keeps checkpoints asks for a verified state at the end of
// its block, and that state is the checkpoint written.
class GfnWalkHooks {
public:
    GfnWalkHooks(const RunContext& run, RunProgress& progress, bool keeps, int32_t stage,
                 const PowerRecordParams& params, uint32_t T, const RadixInt& start, uint32_t stepsDone)
        : run_(run), progress_(progress), keeps_(keeps), stage_(stage), params_(params), T_(T), start_(start),
          position_(stepsDone), counted_(stepsDone) {}

    bool stopRequested() {
        if (++position_ > counted_) {
            counted_ = position_;
            if (progress_.beginStep() && keeps_) tickPending_ = true;
        }
        return progress_.stopRequested();
    }
    // After a rollback the tick's state is the one verified once the walk
    // is back where the tick fell.
    bool wantsVerifiedState() const { return tickPending_ && position_ >= counted_; }
    void verified(const GfnWalkState& state) {
        if (!wantsVerifiedState()) return;
        tickPending_ = false;
        save(state);
    }
    void rolledBack(const GfnWalkState& state) { position_ = state.stepsDone; }

    // The record of the residue before the step at bit T - 1 - s counts that
    // step (s + 1), which the resumed run does again.
    void save(const GfnWalkState& state) {
        if (!keeps_ || state.stepsDone == saved_) return;
        run_.checkpoint->saveGfn(uint32_t(stage_), params_, state.stepsDone + 1, T_ - 1 - state.stepsDone, start_,
                                 state.x);
        saved_ = state.stepsDone;
    }

private:
    const RunContext& run_;
    RunProgress& progress_;
    const bool keeps_;
    const int32_t stage_;
    const PowerRecordParams params_;
    const uint32_t T_;
    const RadixInt& start_;
    uint32_t position_;   // the count of the step being polled
    uint32_t counted_;    // the furthest count given to the progress
    bool tickPending_ = false;
    uint32_t saved_ = UINT32_MAX;  // steps of the state last written
};

// The last square, read out (not carried) from a copy of the residue.
float FinalSquare(const GfnTransform& from, std::vector<int32_t>& digits) {
    GfnTransform t = from;
    t.square();
    return t.unload(digits.data());
}

// m > 32: the walk inside the transform, with progress, stop and checkpoint.
bool TransformGfnPower(const RunContext& run, uint32_t B, uint32_t m, uint32_t a, const BigInt& e,
                       int32_t stage, Multiplication multiplication, RadixInt& x, float& maxErr) {
    const uint32_t T = e.topBitIndex();
    RunProgress progress(run, GfnProgressStem(B, m), T, 2, 1);
    RadixInt start(B);
    start.setUnsigned(a);
    if (T == 0) {  // e = 1: no step, no square
        progress.start(0, 0);
        x = start;
        reduceGfn(x, B, m);
        maxErr = 0;
        return true;
    }

    GfnWalkState state;
    state.x.plan(m, B);
    const bool keeps = KeepsCheckpoint(run, B, m, stage);
    const PowerRecordParams params = GfnPowerParams(a, B, m);
    bool resumed = false;
    if (keeps) {
        uint32_t savedCount = 0, savedBit = 0;
        RadixInt savedStart(B);
        // A state accepted for a bit outside this walk, or beside another
        // start value, is no checkpoint: the transform is set afresh. The
        // record counts the step at its bit, which is done again.
        resumed = run.checkpoint->resumeGfn(uint32_t(stage), params, savedCount, savedBit, savedStart, state.x) &&
                  savedBit < T && savedStart.compare(start) == 0;
        if (resumed) state.stepsDone = T - 1 - savedBit;
    }
    if (!resumed) state.x.setValue(a);

    progress.start(state.stepsDone, T - state.stepsDone);
    GfnTransform one = state.x;
    one.setValue(1);
    GfnWalkOps ops{a, multiplication, one};
    GfnWalkHooks hooks(run, progress, keeps, stage, params, T, start, state.stepsDone);
    BigInt walked(e);
    walked.shift(1);  // right: the bits above bit 0
    GerbiczLiCounts counts;
    bool finished = WalkPowerChecked(ops, hooks, walked, PlanGerbiczLi(T - 1), state, counts);
    if (finished) {  // the step at bit 0, counted and polled as every other
        finished = !hooks.stopRequested();
        if (hooks.wantsVerifiedState()) hooks.verified(state);
    }
    if (!finished) {
        hooks.save(state);
        maxErr = state.x.maxError();
        return false;
    }

    std::vector<int32_t> first(m), second(m);
    for (int attempt = 0;; ++attempt) {
        maxErr = FinalSquare(state.x, first);
        FinalSquare(state.x, second);
        if (first == second) break;
        if (attempt == 1) throw ArithmeticFault("power run gave two different last squares from the same residue");
    }
    x.setRadix(B);
    x.fromGfnTransform(m, nullptr,
                       [&](int32_t* digits, uint32_t, double*) { std::copy(first.begin(), first.end(), digits); });
    if (BitOf(e, 0)) MulStepGfn(x, int32_t(a), B, m);
    else reduceGfn(x, B, m);
    return true;
}

bool GfnPower(const RunContext& run, uint32_t B, uint32_t m, uint32_t a, const BigInt& e, int32_t stage,
              Multiplication multiplication, RadixInt& x, float& maxErr) {
    if (m > 32) return TransformGfnPower(run, B, m, a, e, stage, multiplication, x, maxErr);
    x = PlainGfnPower(B, m, a, e);
    maxErr = 0;
    return !run.stopRequested();
}

}  // namespace

bool PowerRunGfn(const RunContext& run, uint32_t B, uint32_t m, uint32_t a, const BigInt& e, int32_t stage,
                 RadixInt& x, float& maxErr) {
    return GfnPower(run, B, m, a, e, stage, GfnMultiplication(B, m, a), x, maxErr);
}

bool PowerRunGfnAlt(const RunContext& run, uint32_t B, uint32_t m, uint32_t a, const BigInt& e,
                    int32_t stage, RadixInt& x, float& maxErr) {
    return GfnPower(run, B, m, a, e, stage, Multiplication::AfterCarry, x, maxErr);
}

}  // namespace numen
