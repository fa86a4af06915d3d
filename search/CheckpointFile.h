// The checkpoint file "Numen.dta": where a long power run or the Fermat
// divisibility loop stood when it last saved, so that a stopped, closed or
// crashed run continues from there instead of from the start.
//
// All records are 32-bit little-endian words. A BigInt value is its
// serialised form (writeBigInt: signed size s, then |s| words); a RadixInt
// value is writeRadixInt's (s, radix, 0, radixLog2, 0, then |s| digits).
//
//   Power record, BigInt or RadixInt residue (stage >= 1):
//
//   +-----+-------+---+---+---+---+---+-------+-------+----------------+-----+
//   | 700 | stage | a | k | b | n | c | steps | bit i | residue ...    | sum |
//   +-----+-------+---+---+---+---+---+-------+-------+----------------+-----+
//     sum = xorHash(residue) ^ steps ^ bit i
//
//   For a generalized-Fermat run (B^m + 1 in the transform's radix) the
//   words a..c are a, 1, B, m, 1 and the residue is the start value a; the
//   working value lives in "Numen.dtf" (arith/Gfn*), which carries the same
//   bit index i.
//
//   Divisibility record (Fermat divisibility of k*2^n + 1, stage 3):
//
//   +-----+-------+---+---+-------+------+-----+-----+-----+-----+
//   | 700 | stage | k | n | steps | left | x2  | x3  | x5  | sum |
//   +-----+-------+---+---+-------+------+-----+-----+-----+-----+
//     sum = xorHash(x2) ^ xorHash(x3) ^ xorHash(x5) ^ steps ^ left
//
// A record is accepted only when its magic, stage and every parameter equal
// the caller's (and a RadixInt residue is in the caller's radix) and the
// checksum matches; anything else -- a missing, short,
// overlong or foreign file, a size word the record's parameters or the
// file's length cannot hold -- is simply no checkpoint, and the run starts
// over without a message. Nothing read from the file is trusted before it is
// checked, so a damaged file never allocates more than the file itself holds.
//
// Writes replace the file atomically (temporary file, fsync, rename), so a
// crash or a full disk during a write leaves the previous checkpoint whole.
// Only the worker thread reads and writes these files; all functions take
// the working folder explicitly.
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <string_view>

#include "arith/BigInt.h"
#include "arith/RadixInt.h"
#include "tests/RunCheckpoint.h"  // PowerRecordParams, GfnPowerParams

namespace numen {

inline constexpr uint32_t kCheckpointMagic = 700;

// "Numen.dta" and "Numen.dtf" in the working folder.
std::filesystem::path CheckpointPath(const std::filesystem::path& folder);
std::filesystem::path TransformStatePath(const std::filesystem::path& folder);

// --- the process-wide "resume requested" flag -------------------------------
// Set by Continue (and by the automatic continue at start-up), cleared by
// Start, before the worker begins. Only ReadStage consults it: a fresh run
// must test a candidate from its beginning even if an old record is lying
// around, while the power runs accept a matching record in either case.
void SetResumeRequested(bool requested);
bool ResumeRequested();

// The stage of the record in "Numen.dta", for the search drivers to decide
// where a test re-enters. False, stage unchanged, when no resume was
// requested, the file cannot be opened, its first word is not 700 or it has
// no second word. Reads nothing beyond the stage.
bool ReadStage(const std::filesystem::path& folder, uint32_t& stage);

// A power record of `stage` for `params`. On true the counters and the
// residue are those saved; on false every output is left unchanged. A
// RadixInt residue must be in `radix`, the radix the run computes in
// (RadixOf(b), or B of a generalized-Fermat run): digits of another radix
// are another number, so such a record is refused like a bad checksum.
bool ReadPowerRecord(const std::filesystem::path& folder, uint32_t stage,
                     const PowerRecordParams& params, uint32_t& stepCount, uint32_t& bitIndex,
                     BigInt& residue);
bool ReadPowerRecord(const std::filesystem::path& folder, uint32_t stage,
                     const PowerRecordParams& params, uint32_t radix, uint32_t& stepCount,
                     uint32_t& bitIndex, RadixInt& residue);

// Replaces "Numen.dta" with a power record. False when it could not be
// written; the previous file is then untouched and the run goes on without.
bool WritePowerRecord(const std::filesystem::path& folder, uint32_t stage,
                      const PowerRecordParams& params, uint32_t stepCount, uint32_t bitIndex,
                      const BigInt& residue);
bool WritePowerRecord(const std::filesystem::path& folder, uint32_t stage,
                      const PowerRecordParams& params, uint32_t stepCount, uint32_t bitIndex,
                      const RadixInt& residue);

// The divisibility record of k*2^n + 1, as ReadPowerRecord / WritePowerRecord.
bool ReadDivisibilityRecord(const std::filesystem::path& folder, uint32_t stage, uint32_t k,
                            uint32_t n, uint32_t& stepCount, uint32_t& remaining, BigInt& x2,
                            BigInt& x3, BigInt& x5);
bool WriteDivisibilityRecord(const std::filesystem::path& folder, uint32_t stage, uint32_t k,
                             uint32_t n, uint32_t stepCount, uint32_t remaining, const BigInt& x2,
                             const BigInt& x3, const BigInt& x5);

// Resume of a generalized-Fermat power run, in the one safe order: the
// radix record in "Numen.dta" (its start value in radix params.b = B) must
// be accepted first, and only then is the
// transform state loaded, by loadTransformState(bit index of that record)
// (GfnLoadCheckpoint). True when both were accepted. When the record is
// rejected the transform state is not touched; when the state is rejected
// after the record was accepted, the outputs hold the record's values but
// the run must start over (re-initialising the transform array, which a
// failed load may have overwritten).
bool ResumeGfnRun(const std::filesystem::path& folder, uint32_t stage,
                  const PowerRecordParams& params, uint32_t& stepCount, uint32_t& bitIndex,
                  RadixInt& start, const std::function<bool(uint32_t bitIndex)>& loadTransformState);

// Deletes "Numen.dta" and "Numen.dtf" (and temporaries a crash may have left
// beside them); missing files are not an error.
void DeleteCheckpoint(const std::filesystem::path& folder);

// --- the atomic write, shared with the "Numen.dtf" writer ---------------------

// The bytes of one record, assembled in memory so that the file can be
// replaced in one atomic step.
class CheckpointBytes {
public:
    void reserve(size_t bytes) { bytes_.reserve(bytes); }
    void word(uint32_t w);
    // The same bytes as writeBigInt / writeRadixInt produce.
    void value(const BigInt& x);
    void value(const RadixInt& x);
    std::string_view view() const { return bytes_; }

private:
    std::string bytes_;
};

// Replaces `file` with `bytes`: temporary file beside it, fsync, rename. A
// failure at any point (cannot open, disk full) returns false and leaves the
// old file as it was.
bool ReplaceCheckpointFile(const std::filesystem::path& file, std::string_view bytes);

}  // namespace numen
