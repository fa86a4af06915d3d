// The runs' checkpoint store over a working folder: "Numen.dta" through
// CheckpointFile.h and, for the generalized-Fermat runs, "Numen.dtf"
// through GfnCheckpoint.h, written as a pair and read record first. Each
// keeps its previous copy ("Numen.dta.prev", "Numen.dtf.prev"); a resume
// that has to take the previous checkpoint says so in one line on the pane
// and in "Numen.log".
#pragma once

#include <cstddef>
#include <filesystem>

#include "search/CheckpointFile.h"
#include "tests/RunCheckpoint.h"

namespace numen {

class ResultLog;

class FolderCheckpoint final : public RunCheckpoint {
public:
    // `log` (may be null: nothing is told) takes the line of a resume from
    // the previous checkpoint.
    explicit FolderCheckpoint(std::filesystem::path folder, ResultLog* log = nullptr)
        : folder_(std::move(folder)), log_(log) {}

    const std::filesystem::path& folder() const { return folder_; }

    // For the tests: every later write stops after `steps` of its steps, as
    // a crash there would (CheckpointWrite::run); kAllSteps undoes it.
    void limitWriteSteps(size_t steps) { writeSteps_ = steps; }

    bool readStage(uint32_t& stage) override;
    bool readPower(uint32_t stage, const PowerRecordParams& params, uint32_t& stepCount,
                   uint32_t& bitIndex, BigInt& residue) override;
    bool readPower(uint32_t stage, const PowerRecordParams& params, uint32_t radix, uint32_t& stepCount,
                   uint32_t& bitIndex, RadixInt& residue) override;
    void writePower(uint32_t stage, const PowerRecordParams& params, uint32_t stepCount,
                    uint32_t bitIndex, const BigInt& residue) override;
    void writePower(uint32_t stage, const PowerRecordParams& params, uint32_t stepCount,
                    uint32_t bitIndex, const RadixInt& residue) override;
    bool resumeGfn(uint32_t stage, const PowerRecordParams& params, uint32_t& stepCount,
                   uint32_t& bitIndex, RadixInt& start, GfnTransform& transform) override;
    void saveGfn(uint32_t stage, const PowerRecordParams& params, uint32_t stepCount,
                 uint32_t bitIndex, const RadixInt& start, const GfnTransform& transform) override;
    bool readDivisibility(uint32_t stage, uint32_t k, uint32_t n, uint32_t& stepCount, uint32_t& countdown,
                          BigInt& x2, BigInt& x3, BigInt& x5) override;
    void writeDivisibility(uint32_t stage, uint32_t k, uint32_t n, uint32_t stepCount, uint32_t countdown,
                           const BigInt& x2, const BigInt& x3, const BigInt& x5) override;

private:
    // Tells the user when an accepted read came from the previous files.
    bool told(bool accepted, const RecordSource& source);

    std::filesystem::path folder_;
    ResultLog* log_;
    size_t writeSteps_ = CheckpointWrite::kAllSteps;
};

}  // namespace numen
