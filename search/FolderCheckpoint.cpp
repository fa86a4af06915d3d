#include "search/FolderCheckpoint.h"

#include "arith/GfnCheckpoint.h"
#include "search/CheckpointFile.h"

namespace numen {

bool FolderCheckpoint::readStage(uint32_t& stage) { return ReadStage(folder_, stage); }

bool FolderCheckpoint::readPower(uint32_t stage, const PowerRecordParams& params, uint32_t& stepCount,
                                 uint32_t& bitIndex, BigInt& residue) {
    return ReadPowerRecord(folder_, stage, params, stepCount, bitIndex, residue);
}

bool FolderCheckpoint::readPower(uint32_t stage, const PowerRecordParams& params, uint32_t radix,
                                 uint32_t& stepCount, uint32_t& bitIndex, RadixInt& residue) {
    return ReadPowerRecord(folder_, stage, params, radix, stepCount, bitIndex, residue);
}

// A failed write keeps the previous file whole (atomic replacement) and the
// run goes on without, so the result is not needed here.
void FolderCheckpoint::writePower(uint32_t stage, const PowerRecordParams& params, uint32_t stepCount,
                                  uint32_t bitIndex, const BigInt& residue) {
    WritePowerRecord(folder_, stage, params, stepCount, bitIndex, residue);
}

void FolderCheckpoint::writePower(uint32_t stage, const PowerRecordParams& params, uint32_t stepCount,
                                  uint32_t bitIndex, const RadixInt& residue) {
    WritePowerRecord(folder_, stage, params, stepCount, bitIndex, residue);
}

bool FolderCheckpoint::resumeGfn(uint32_t stage, const PowerRecordParams& params, uint32_t& stepCount,
                                 uint32_t& bitIndex, RadixInt& start, GfnTransform& transform) {
    return ResumeGfnRun(folder_, stage, params, stepCount, bitIndex, start, [&](uint32_t bit) {
        return GfnLoadCheckpoint(transform, folder_, bit);
    });
}

// The transform state first: a record is only ever accepted with a state
// file of its bit beside it, and a crash between the two writes leaves a
// new state with an old record, which the bit index refuses.
void FolderCheckpoint::saveGfn(uint32_t stage, const PowerRecordParams& params, uint32_t stepCount,
                               uint32_t bitIndex, const RadixInt& start, const GfnTransform& transform) {
    if (!GfnSaveCheckpoint(transform, folder_, bitIndex)) return;
    WritePowerRecord(folder_, stage, params, stepCount, bitIndex, start);
}

bool FolderCheckpoint::readDivisibility(uint32_t stage, uint32_t k, uint32_t n, uint32_t& stepCount,
                                        uint32_t& countdown, BigInt& x2, BigInt& x3, BigInt& x5) {
    return ReadDivisibilityRecord(folder_, stage, k, n, stepCount, countdown, x2, x3, x5);
}

void FolderCheckpoint::writeDivisibility(uint32_t stage, uint32_t k, uint32_t n, uint32_t stepCount,
                                         uint32_t countdown, const BigInt& x2, const BigInt& x3,
                                         const BigInt& x5) {
    WriteDivisibilityRecord(folder_, stage, k, n, stepCount, countdown, x2, x3, x5);
}

}  // namespace numen
