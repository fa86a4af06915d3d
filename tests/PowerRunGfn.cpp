// The power runs modulo B^m + 1. For m > 32 the residue lives in the
// generalized-Fermat transform from the start value to the last square:
// each step below the last is one square and one carry pass (which also
// multiplies by a when the bit is 1), the last step a square and the
// read-out, after which a times the digits (bit 0 set) is reduced in radix
// B. The checkpoint is the record with the start value a plus the
// transform's own state file of the same bit index.
//
// For m <= 32 the number fits in a few digits and the plain RadixInt walk
// is cheaper than planning a transform.
#include <cstdint>

#include "arith/GfnTransform.h"
#include "arith/ModularSteps.h"
#include "arith/RadixChoice.h"
#include "arith/RadixInt.h"
#include "arith/ReduceGfn.h"
#include "report/ProgressLines.h"
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

    GfnTransform t;
    t.plan(m, B);
    const bool keeps = KeepsCheckpoint(run, B, m, stage);
    const PowerRecordParams params = GfnPowerParams(a, B, m);
    uint32_t stepCount = 0, bitIndex = T - 1;
    bool resumed = false;
    if (keeps) {
        uint32_t savedCount = 0, savedBit = 0;
        RadixInt savedStart(B);
        // A state accepted for a bit outside this walk, or beside another
        // start value, is no checkpoint: the transform is set afresh.
        resumed = run.checkpoint->resumeGfn(uint32_t(stage), params, savedCount, savedBit, savedStart, t) &&
                  savedBit < T && savedStart.compare(start) == 0;
        if (resumed) {
            // The record counts the step at its bit, which is done again.
            stepCount = savedCount > 0 ? savedCount - 1 : 0;
            bitIndex = savedBit;
        }
    }
    if (!resumed) t.setValue(a);

    progress.start(stepCount, bitIndex + 1);
    auto save = [&](uint32_t i) {
        if (keeps) run.checkpoint->saveGfn(uint32_t(stage), params, progress.stepCount(), i, start, t);
    };
    for (uint32_t i = bitIndex;; --i) {
        if (progress.beginStep()) save(i);
        if (progress.stopRequested()) {
            save(i);
            maxErr = t.maxError();
            return false;
        }
        t.square();
        if (i == 0) break;  // the last square is read out, not carried
        const uint32_t multiplier = BitOf(e, i) ? a : 1;
        if (multiplication == Multiplication::InCarry) t.carry(multiplier);
        else t.carryThenMultiply(multiplier);
    }
    x.setRadix(B);
    x.fromGfnTransform(m, nullptr, [&](int32_t* digits, uint32_t, double*) { maxErr = t.unload(digits); });
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
