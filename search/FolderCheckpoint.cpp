#include "search/FolderCheckpoint.h"

#include <string>

#include "arith/GfnCheckpoint.h"
#include "report/ResultLog.h"

namespace numen {

bool FolderCheckpoint::told(bool accepted, const RecordSource& source) {
    if (accepted && source.previous && log_ != nullptr) log_->PrintLine(PreviousCheckpointNotice(source) + "\r\n");
    return accepted;
}

bool FolderCheckpoint::readStage(uint32_t& stage) { return ReadStage(folder_, stage); }

bool FolderCheckpoint::readPower(uint32_t stage, const PowerRecordParams& params, uint32_t& stepCount,
                                 uint32_t& bitIndex, BigInt& residue) {
    RecordSource source;
    return told(ReadPowerRecord(folder_, stage, params, stepCount, bitIndex, residue, &source), source);
}

bool FolderCheckpoint::readPower(uint32_t stage, const PowerRecordParams& params, uint32_t radix,
                                 uint32_t& stepCount, uint32_t& bitIndex, RadixInt& residue) {
    RecordSource source;
    return told(ReadPowerRecord(folder_, stage, params, radix, stepCount, bitIndex, residue, &source), source);
}

// A failed write keeps the last good checkpoint and the run goes on
// without, so the result is not needed here.
void FolderCheckpoint::writePower(uint32_t stage, const PowerRecordParams& params, uint32_t stepCount,
                                  uint32_t bitIndex, const BigInt& residue) {
    PowerRecordWrite(folder_, stage, params, stepCount, bitIndex, residue).run(writeSteps_);
}

void FolderCheckpoint::writePower(uint32_t stage, const PowerRecordParams& params, uint32_t stepCount,
                                  uint32_t bitIndex, const RadixInt& residue) {
    PowerRecordWrite(folder_, stage, params, stepCount, bitIndex, residue).run(writeSteps_);
}

bool FolderCheckpoint::resumeGfn(uint32_t stage, const PowerRecordParams& params, uint32_t& stepCount,
                                 uint32_t& bitIndex, RadixInt& start, GfnTransform& transform) {
    RecordSource source;
    const bool resumed = ResumeGfnRun(
        folder_, stage, params, stepCount, bitIndex, start,
        [&](const std::filesystem::path& state, uint32_t bit) { return GfnLoadCheckpointFile(transform, state, bit); },
        &source);
    return told(resumed, source);
}

void FolderCheckpoint::saveGfn(uint32_t stage, const PowerRecordParams& params, uint32_t stepCount,
                               uint32_t bitIndex, const RadixInt& start, const GfnTransform& transform) {
    std::string state = GfnCheckpointBytes(transform, bitIndex);
    if (state.empty()) return;
    GfnPairWrite(folder_, stage, params, stepCount, bitIndex, start, std::move(state)).run(writeSteps_);
}

bool FolderCheckpoint::readDivisibility(uint32_t stage, uint32_t k, uint32_t n, uint32_t& stepCount,
                                        uint32_t& countdown, BigInt& x2, BigInt& x3, BigInt& x5) {
    RecordSource source;
    return told(ReadDivisibilityRecord(folder_, stage, k, n, stepCount, countdown, x2, x3, x5, &source), source);
}

void FolderCheckpoint::writeDivisibility(uint32_t stage, uint32_t k, uint32_t n, uint32_t stepCount,
                                         uint32_t countdown, const BigInt& x2, const BigInt& x3,
                                         const BigInt& x5) {
    DivisibilityRecordWrite(folder_, stage, k, n, stepCount, countdown, x2, x3, x5).run(writeSteps_);
}

}  // namespace numen
