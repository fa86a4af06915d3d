#include "shell/console/boinc/DeferredCheckpoint.h"

namespace numen {

bool DeferredCheckpoint::mayWrite() {
    // A stop writes unasked: the client is waiting for the process to end,
    // and the steps since the last tick would otherwise be lost.
    if (!running_.load(std::memory_order_relaxed)) return true;
    if (gate_.timeToCheckpoint()) return true;
    ++deferred_;
    return false;
}

void DeferredCheckpoint::writePower(uint32_t stage, const PowerRecordParams& params, uint32_t stepCount,
                                    uint32_t bitIndex, const BigInt& residue) {
    if (!mayWrite()) return;
    inner_.writePower(stage, params, stepCount, bitIndex, residue);
    gate_.checkpointCompleted();
}

void DeferredCheckpoint::writePower(uint32_t stage, const PowerRecordParams& params, uint32_t stepCount,
                                    uint32_t bitIndex, const RadixInt& residue) {
    if (!mayWrite()) return;
    inner_.writePower(stage, params, stepCount, bitIndex, residue);
    gate_.checkpointCompleted();
}

void DeferredCheckpoint::saveGfn(uint32_t stage, const PowerRecordParams& params, uint32_t stepCount,
                                 uint32_t bitIndex, const RadixInt& start, const GfnTransform& transform) {
    if (!mayWrite()) return;
    inner_.saveGfn(stage, params, stepCount, bitIndex, start, transform);
    gate_.checkpointCompleted();
}

void DeferredCheckpoint::writeDivisibility(uint32_t stage, uint32_t k, uint32_t n, uint32_t stepCount,
                                           uint32_t countdown, const BigInt& x2, const BigInt& x3,
                                           const BigInt& x5) {
    if (!mayWrite()) return;
    inner_.writeDivisibility(stage, k, n, stepCount, countdown, x2, x3, x5);
    gate_.checkpointCompleted();
}

}  // namespace numen
