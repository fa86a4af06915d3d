// DeferredCheckpoint: a checkpoint store that writes only when its gate
// allows, over the store that really writes (search/FolderCheckpoint).
//
// The power runs offer a checkpoint at every tick (every nbIter steps); a
// tick the gate refuses is simply passed over, as a failed write would be:
// the previous checkpoint stays, and a later tick writes. The write a run
// makes when it is stopped (running flag cleared) always goes through, so a
// quit or a suspension never loses the work since the last tick. Reads go
// straight to the inner store. Costs one gate call per offered write.
#pragma once

#include <atomic>

#include "shell/console/boinc/CheckpointGate.h"
#include "tests/RunCheckpoint.h"

namespace numen {

class DeferredCheckpoint final : public RunCheckpoint {
public:
    // `running` is the run's flag (SearchJob::running); all three must
    // outlive the store.
    DeferredCheckpoint(RunCheckpoint& inner, CheckpointGate& gate, const std::atomic<bool>& running)
        : inner_(inner), gate_(gate), running_(running) {}

    bool readStage(uint32_t& stage) override { return inner_.readStage(stage); }
    bool readPower(uint32_t stage, const PowerRecordParams& params, uint32_t& stepCount, uint32_t& bitIndex,
                   BigInt& residue) override {
        return inner_.readPower(stage, params, stepCount, bitIndex, residue);
    }
    bool readPower(uint32_t stage, const PowerRecordParams& params, uint32_t radix, uint32_t& stepCount,
                   uint32_t& bitIndex, RadixInt& residue) override {
        return inner_.readPower(stage, params, radix, stepCount, bitIndex, residue);
    }
    bool resumeGfn(uint32_t stage, const PowerRecordParams& params, uint32_t& stepCount, uint32_t& bitIndex,
                   RadixInt& start, GfnTransform& transform) override {
        return inner_.resumeGfn(stage, params, stepCount, bitIndex, start, transform);
    }
    bool readDivisibility(uint32_t stage, uint32_t k, uint32_t n, uint32_t& stepCount, uint32_t& countdown,
                          BigInt& x2, BigInt& x3, BigInt& x5) override {
        return inner_.readDivisibility(stage, k, n, stepCount, countdown, x2, x3, x5);
    }

    void writePower(uint32_t stage, const PowerRecordParams& params, uint32_t stepCount, uint32_t bitIndex,
                    const BigInt& residue) override;
    void writePower(uint32_t stage, const PowerRecordParams& params, uint32_t stepCount, uint32_t bitIndex,
                    const RadixInt& residue) override;
    void saveGfn(uint32_t stage, const PowerRecordParams& params, uint32_t stepCount, uint32_t bitIndex,
                 const RadixInt& start, const GfnTransform& transform) override;
    void writeDivisibility(uint32_t stage, uint32_t k, uint32_t n, uint32_t stepCount, uint32_t countdown,
                           const BigInt& x2, const BigInt& x3, const BigInt& x5) override;

    // Writes offered and passed over since the store was made.
    uint64_t deferredWrites() const { return deferred_; }

private:
    // True when the offered write is to be made now.
    bool mayWrite();

    RunCheckpoint& inner_;
    CheckpointGate& gate_;
    const std::atomic<bool>& running_;
    uint64_t deferred_ = 0;
};

}  // namespace numen
