// The runs' checkpoint store over a working folder: "Numen.dta" through
// CheckpointFile.h and, for the generalized-Fermat runs, "Numen.dtf"
// through GfnCheckpoint.h, in the one safe order (record first).
#pragma once

#include <filesystem>

#include "tests/RunCheckpoint.h"

namespace numen {

class FolderCheckpoint final : public RunCheckpoint {
public:
    explicit FolderCheckpoint(std::filesystem::path folder) : folder_(std::move(folder)) {}

    const std::filesystem::path& folder() const { return folder_; }

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
    std::filesystem::path folder_;
};

}  // namespace numen
