// The exponent walk every power run shares: left to right over the bits of
// e below the top one, with the step order, the ticks, the stop and the
// checkpoint around each step. The runs differ only in the residue type and
// in the step itself (a modular square, then a product by the base when the
// bit is 1), which they pass in.
//
// One step, in order: count it (at a tick the timed text is posted and,
// when the run keeps a checkpoint, the record written: the residue before
// this step, the count including it, the bit index still pointing at it);
// at a stop request write the same record and return false; square and
// multiply. The record is therefore always one whose step is still to do,
// and a stop loses at most one step.
//
// Per step the bookkeeping is RunProgress::beginStep (one increment, one
// modulo) and one relaxed load of the running flag; the walk itself
// allocates nothing.
#pragma once

#include <cstdint>
#include <string>
#include <utility>

#include "arith/BigInt.h"
#include "arith/RadixInt.h"
#include "tests/RunCheckpoint.h"
#include "tests/RunContext.h"
#include "tests/RunProgress.h"

namespace numen {

// Bit i of |e|; i must be at most e.topBitIndex().
inline bool ExponentBit(const BigInt& e, uint32_t i) {
    return (e.words()[i >> 5] >> (i & 31)) & 1u;
}

// How a walk is shown and saved.
struct PowerWalkSetup {
    std::string stem;          // progress text before the bracket
    uint32_t intervalNum = 1;  // ticks every nbIter * num / den steps
    uint32_t intervalDen = 1;
    bool keepsCheckpoint = false;  // KeepsCheckpoint(run, b, n, stage)
    uint32_t stage = 0;
    PowerRecordParams params{};
};

namespace detail {

inline bool ReadWalkRecord(RunCheckpoint& store, const PowerWalkSetup& s, uint32_t& stepCount,
                           uint32_t& bitIndex, BigInt& residue) {
    return store.readPower(s.stage, s.params, stepCount, bitIndex, residue);
}

inline bool ReadWalkRecord(RunCheckpoint& store, const PowerWalkSetup& s, uint32_t& stepCount,
                           uint32_t& bitIndex, RadixInt& residue) {
    return store.readPower(s.stage, s.params, residue.radix(), stepCount, bitIndex, residue);
}

}  // namespace detail

// x holds the start value a (in the residue's representation) on entry and
// the result of the walk on a true return; e >= 1 (e = 1 has no step and
// only shows the start text; x stays a, for the caller to reduce). Resumes from a
// matching record when the setup keeps checkpoints; a record whose bit
// index lies outside this exponent's walk is no record. step(x, bit)
// performs one step: x := x^2, then x := a x when bit is true.
template <class Residue, class Step>
bool WalkPower(const RunContext& run, const PowerWalkSetup& setup, const BigInt& e, Residue& x,
               Step&& step) {
    const uint32_t T = e.topBitIndex();
    if (T == 0) {
        RunProgress(run, setup.stem, 0, setup.intervalNum, setup.intervalDen).start(0, 0);
        return true;
    }
    uint32_t stepCount = 0;
    uint32_t bitIndex = T - 1;
    if (setup.keepsCheckpoint) {
        uint32_t savedCount = 0, savedBit = 0;
        Residue saved(x);
        if (detail::ReadWalkRecord(*run.checkpoint, setup, savedCount, savedBit, saved) && savedBit < T) {
            // The record already counts the step at its bit, which is done
            // again now: without taking it back every resume would add one
            // and the percentage pass 100.
            stepCount = savedCount > 0 ? savedCount - 1 : 0;
            bitIndex = savedBit;
            x = std::move(saved);
        }
    }
    RunProgress progress(run, setup.stem, T, setup.intervalNum, setup.intervalDen);
    progress.start(stepCount, bitIndex + 1);
    auto save = [&](uint32_t i) {
        // A failed write keeps the previous record; the run goes on.
        if (setup.keepsCheckpoint)
            run.checkpoint->writePower(setup.stage, setup.params, progress.stepCount(), i, x);
    };
    for (uint32_t i = bitIndex + 1; i-- != 0;) {
        if (progress.beginStep()) save(i);
        if (progress.stopRequested()) {
            save(i);
            return false;
        }
        step(x, ExponentBit(e, i));
    }
    return true;
}

// The same walk with nothing around it: no progress, no polling, no
// checkpoint (the short paths of the runs on small numbers).
template <class Residue, class Step>
void WalkPowerPlain(const BigInt& e, Residue& x, Step&& step) {
    for (uint32_t i = e.topBitIndex(); i-- != 0;) step(x, ExponentBit(e, i));
}

}  // namespace numen
