// Fuzz target: the records of "Numen.dta" (search/CheckpointFile.h).
//
// The first input byte chooses the reader, the rest is the file. Bits 0-1:
// power record with a BigInt residue, with a RadixInt residue, divisibility
// record, stage only. Bit 2: the caller's parameters are the ones the file
// names (so that the residues are reached), else those of a small run.
//
// Properties: a refused record leaves every output as it was; an accepted
// one is written back byte for byte as it was read, but for the leading
// zeros and ignored words its values may carry (fuzz::AppendCanonicalValue).
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <type_traits>

#include "FuzzSupport.h"
#include "search/CheckpointFile.h"

namespace numen {
namespace {

namespace fs = std::filesystem;
using fuzz::LoadWord;

// What the outputs hold before a read; a refusal must leave them so.
constexpr uint32_t kUnsetSteps = 0xdeadbeef, kUnsetBit = 0xfeedface;
constexpr int32_t kUnsetValue = -12345;

bool IsUnset(const BigInt& x) { return x.compareInt(kUnsetValue) == 0; }
bool IsUnset(const RadixInt& x) { return x.radix() == 7 && x.toBigInt().compareInt(kUnsetValue) == 0; }

PowerRecordParams PowerParams(std::string_view file, bool fromFile) {
    if (!fromFile) return {3, 5, 2, 100, 1};
    return {LoadWord(file, 8), LoadWord(file, 12), LoadWord(file, 16), LoadWord(file, 20),
            int32_t(LoadWord(file, 24))};
}

// An accepted record written back is the file, but for what the value
// readers normalise (leading zeros, a RadixInt's radixLog2 and padding):
// `values` serialised values from `offset` on, each of `headWords`.
void CheckWrittenBack(std::string_view file, const fs::path& rewritten, size_t offset, int values,
                      size_t headWords) {
    std::string expected(file.substr(0, offset));
    for (int i = 0; i < values; ++i) offset = fuzz::AppendCanonicalValue(expected, file, offset, headWords);
    expected.append(file.substr(offset));
    NUMEN_FUZZ_CHECK(fuzz::ReadWholeFile(CheckpointPath(rewritten)) == expected);
}

template <class Residue>
void FuzzPower(std::string_view file, const fs::path& folder, uint32_t stage, const PowerRecordParams& p,
               uint32_t radix, Residue residue) {
    uint32_t steps = kUnsetSteps, bit = kUnsetBit;
    bool read;
    if constexpr (std::is_same_v<Residue, BigInt>)
        read = ReadPowerRecord(folder, stage, p, steps, bit, residue);
    else
        read = ReadPowerRecord(folder, stage, p, radix, steps, bit, residue);
    if (!read) {
        NUMEN_FUZZ_CHECK(steps == kUnsetSteps && bit == kUnsetBit && IsUnset(residue));
        return;
    }
    if constexpr (!std::is_same_v<Residue, BigInt>) NUMEN_FUZZ_CHECK(residue.radix() == radix);
    const fs::path rewritten = fuzz::ScratchSubfolder("rewritten");
    NUMEN_FUZZ_CHECK(WritePowerRecord(rewritten, stage, p, steps, bit, residue));
    CheckWrittenBack(file, rewritten, 36, 1, std::is_same_v<Residue, BigInt> ? 1 : 5);
}

void FuzzDivisibility(std::string_view file, const fs::path& folder, uint32_t stage, bool fromFile) {
    const uint32_t k = fromFile ? LoadWord(file, 8) : 5, n = fromFile ? LoadWord(file, 12) : 100;
    uint32_t steps = kUnsetSteps, left = kUnsetBit;
    BigInt x2(kUnsetValue), x3(kUnsetValue), x5(kUnsetValue);
    if (!ReadDivisibilityRecord(folder, stage, k, n, steps, left, x2, x3, x5)) {
        NUMEN_FUZZ_CHECK(steps == kUnsetSteps && left == kUnsetBit && IsUnset(x2) && IsUnset(x3) && IsUnset(x5));
        return;
    }
    const fs::path rewritten = fuzz::ScratchSubfolder("rewritten");
    NUMEN_FUZZ_CHECK(WriteDivisibilityRecord(rewritten, stage, k, n, steps, left, x2, x3, x5));
    CheckWrittenBack(file, rewritten, 24, 3, 1);
}

}  // namespace
}  // namespace numen

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace numen;
    if (size == 0) return 0;
    const uint8_t choice = data[0];
    const std::string_view file(reinterpret_cast<const char*>(data + 1), size - 1);
    const fs::path folder = fuzz::ScratchSubfolder("read");
    fuzz::WriteWholeFile(CheckpointPath(folder), file);

    const bool fromFile = (choice & 4) != 0;
    const uint32_t stage = fromFile ? LoadWord(file, 4) : 1;
    switch (choice & 3) {
    case 0:
        FuzzPower(file, folder, stage, PowerParams(file, fromFile), 0, BigInt(kUnsetValue));
        break;
    case 1: {
        // The residue's own radix word when the file has one, so that its
        // digits are reached; else that of the small run.
        const uint32_t radix = fromFile ? LoadWord(file, 40) : 2;
        FuzzPower(file, folder, stage, PowerParams(file, fromFile), radix, RadixInt(7, kUnsetValue));
        break;
    }
    case 2:
        FuzzDivisibility(file, folder, stage, fromFile);
        break;
    case 3: {
        SetResumeRequested(true);
        uint32_t read = kUnsetSteps;
        const bool found = ReadStage(folder, read);
        NUMEN_FUZZ_CHECK(found == (file.size() >= 8 && LoadWord(file, 0) == kCheckpointMagic));
        NUMEN_FUZZ_CHECK(found ? read == LoadWord(file, 4) : read == kUnsetSteps);
        break;
    }
    }
    return 0;
}
