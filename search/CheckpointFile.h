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
// checksum matches. Nothing read from the file is trusted before it is
// checked, so a damaged file never allocates more than the file itself holds.
//
// The previous checkpoint. Every write keeps the record it replaces, when
// that one is whole, as "Numen.dta.prev" (and a generalized-Fermat run its
// transform state as "Numen.dtf.prev"), in the same byte formats. A read
// takes the current file when it is a whole record; a whole record of
// another stage, candidate or radix is no checkpoint, and the run starts
// over as it always has. Only when the current file is missing or damaged
// (short, overlong, a bad word or checksum, not a record at all) is the
// previous one read instead, by the same rules; the caller learns so
// through RecordSource and tells the user in one line.
//
// Writes. Each file is written under a temporary name (name + ".tmp"),
// flushed to the disk, and only then renamed, each rename followed by an
// fsync of the folder so the renames reach the disk in their order:
//
//   record:  1 write Numen.dta.tmp   2 Numen.dta -> .prev   3 .tmp -> Numen.dta
//
//   pair:    1 write Numen.dtf.tmp   2 write Numen.dta.tmp
//            3 Numen.dta -> Numen.dta.prev   4 Numen.dtf -> Numen.dtf.prev
//            5 Numen.dtf.tmp -> Numen.dtf    6 Numen.dta.tmp -> Numen.dta
//
// Step 2 of a record is left out when Numen.dta is not a whole record,
// steps 3 and 4 of a pair each when that file is not part of the newest
// pair whose record and state carry the same bit index (in the reader's
// order below), so a damaged file never pushes out a good previous one. A
// crash after any step leaves the old record (or pair) whole under its
// current or its previous names: after step 3 of a pair Numen.dta.prev
// pairs with Numen.dtf, after 4 and 5 with Numen.dtf.prev, and nothing new
// is taken before step 6. The reader of a pair tries record Numen.dta,
// then Numen.dta.prev, each with state Numen.dtf, then Numen.dtf.prev, and
// takes the first whose bit indices agree. A write that fails removes its temporaries and leaves the files
// as a crash at that step would. Only the worker thread reads and writes
// these files; all functions take the working folder explicitly.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <limits>
#include <string>
#include <string_view>
#include <vector>

#include "arith/BigInt.h"
#include "arith/RadixInt.h"
#include "tests/RunCheckpoint.h"  // PowerRecordParams, GfnPowerParams

namespace numen {

inline constexpr uint32_t kCheckpointMagic = 700;

// "Numen.dta" and "Numen.dtf" in the working folder, and the previous
// checkpoint beside them, "Numen.dta.prev" and "Numen.dtf.prev".
std::filesystem::path CheckpointPath(const std::filesystem::path& folder);
std::filesystem::path TransformStatePath(const std::filesystem::path& folder);
std::filesystem::path PreviousCheckpointPath(const std::filesystem::path& folder);
std::filesystem::path PreviousTransformStatePath(const std::filesystem::path& folder);

// Where an accepted record came from: the current files, or the previous
// ones because `failedFile` ("Numen.dta" or "Numen.dtf") was missing or
// damaged.
struct RecordSource {
    bool previous = false;
    const char* failedFile = "";
    bool missing = false;
};

// The line that tells the user a run resumes from the previous checkpoint,
// "Numen.dta is damaged: resuming from the previous checkpoint." (or
// "... is missing: ..."), without a line end.
std::string PreviousCheckpointNotice(const RecordSource& source);

// --- the process-wide "resume requested" flag -------------------------------
// Set by Continue (and by the automatic continue at start-up), cleared by
// Start, before the worker begins. Only ReadStage consults it: a fresh run
// must test a candidate from its beginning even if an old record is lying
// around, while the power runs accept a matching record in either case.
void SetResumeRequested(bool requested);
bool ResumeRequested();

// The stage of the record in "Numen.dta" (or in "Numen.dta.prev" when the
// current file is missing or damaged and the previous one is whole), for
// the search drivers to decide where a test re-enters. When neither is
// whole the current file's header answers as it always did: false, stage
// unchanged, when no resume was requested, the file cannot be opened, its
// first word is not 700 or it has no second word.
bool ReadStage(const std::filesystem::path& folder, uint32_t& stage);

// A power record of `stage` for `params`. On true the counters and the
// residue are those saved; on false every output is left unchanged. A
// RadixInt residue must be in `radix`, the radix the run computes in
// (RadixOf(b), or B of a generalized-Fermat run): digits of another radix
// are another number, so such a record is refused like a parameter.
// `source`, when given, says on true which file was read.
bool ReadPowerRecord(const std::filesystem::path& folder, uint32_t stage,
                     const PowerRecordParams& params, uint32_t& stepCount, uint32_t& bitIndex,
                     BigInt& residue, RecordSource* source = nullptr);
bool ReadPowerRecord(const std::filesystem::path& folder, uint32_t stage,
                     const PowerRecordParams& params, uint32_t radix, uint32_t& stepCount,
                     uint32_t& bitIndex, RadixInt& residue, RecordSource* source = nullptr);

// Replaces "Numen.dta" with a power record (the record sequence above).
// False when it could not be written; the last good record is then still
// there and the run goes on without.
bool WritePowerRecord(const std::filesystem::path& folder, uint32_t stage,
                      const PowerRecordParams& params, uint32_t stepCount, uint32_t bitIndex,
                      const BigInt& residue);
bool WritePowerRecord(const std::filesystem::path& folder, uint32_t stage,
                      const PowerRecordParams& params, uint32_t stepCount, uint32_t bitIndex,
                      const RadixInt& residue);

// The divisibility record of k*2^n + 1, as ReadPowerRecord / WritePowerRecord.
bool ReadDivisibilityRecord(const std::filesystem::path& folder, uint32_t stage, uint32_t k,
                            uint32_t n, uint32_t& stepCount, uint32_t& remaining, BigInt& x2,
                            BigInt& x3, BigInt& x5, RecordSource* source = nullptr);
bool WriteDivisibilityRecord(const std::filesystem::path& folder, uint32_t stage, uint32_t k,
                             uint32_t n, uint32_t stepCount, uint32_t remaining, const BigInt& x2,
                             const BigInt& x3, const BigInt& x5);

// Resume of a generalized-Fermat power run, in the one safe order: a radix
// record (its start value in radix params.b = B) must be accepted first,
// and only then is a transform state loaded, by loadTransformState(state
// file, bit index of that record) (GfnLoadCheckpointFile). The pairs are
// tried newest first as drawn above; true when one was accepted, with
// `source` (when given) saying whether it was the current pair. A whole
// current record that is refused ends the search (another stage or
// number); so does a previous record refused. When no state matched an
// accepted record the outputs hold that record's values but the run must
// start over (re-initialising the transform array, which a failed load may
// have overwritten).
bool ResumeGfnRun(const std::filesystem::path& folder, uint32_t stage,
                  const PowerRecordParams& params, uint32_t& stepCount, uint32_t& bitIndex,
                  RadixInt& start,
                  const std::function<bool(const std::filesystem::path& stateFile, uint32_t bitIndex)>&
                      loadTransformState,
                  RecordSource* source = nullptr);

// Writes the record and the transform state "stateBytes" (GfnCheckpointBytes)
// of a generalized-Fermat run as a pair (the pair sequence above).
bool WriteGfnPair(const std::filesystem::path& folder, uint32_t stage, const PowerRecordParams& params,
                  uint32_t stepCount, uint32_t bitIndex, const RadixInt& start, std::string stateBytes);

// Deletes the current and the previous checkpoint, "Numen.dta", "Numen.dtf",
// "Numen.dta.prev", "Numen.dtf.prev" (and temporaries a crash may have left
// beside them); missing files are not an error.
void DeleteCheckpoint(const std::filesystem::path& folder);

// --- the write sequences, one step at a time ---------------------------------

// The file operations of one checkpoint write in their order: each either
// writes a temporary (name + ".tmp", flushed) or renames one file to
// another. Built by the *Write functions below, which look at the files
// already there to decide what is kept as previous; run() performs them.
class CheckpointWrite {
public:
    static constexpr size_t kAllSteps = std::numeric_limits<size_t>::max();

    void writeTemporary(std::filesystem::path target, std::string bytes);
    void rename(std::filesystem::path from, std::filesystem::path to);
    size_t steps() const { return steps_.size(); }

    // Performs the steps in order. True when all were done. A step that
    // fails ends the write: its temporaries are removed, false. With
    // `limit` below steps() only the first `limit` steps are done, and the
    // write stops there as a crash would, leaving everything as it is (the
    // tests' way to crash at every point).
    bool run(size_t limit = kAllSteps);

private:
    struct Step {
        std::filesystem::path from, to;  // a write: the target in `to`
        std::string bytes;
        bool write;
    };
    std::vector<Step> steps_;
};

CheckpointWrite PowerRecordWrite(const std::filesystem::path& folder, uint32_t stage,
                                 const PowerRecordParams& params, uint32_t stepCount, uint32_t bitIndex,
                                 const BigInt& residue);
CheckpointWrite PowerRecordWrite(const std::filesystem::path& folder, uint32_t stage,
                                 const PowerRecordParams& params, uint32_t stepCount, uint32_t bitIndex,
                                 const RadixInt& residue);
CheckpointWrite DivisibilityRecordWrite(const std::filesystem::path& folder, uint32_t stage, uint32_t k,
                                        uint32_t n, uint32_t stepCount, uint32_t remaining,
                                        const BigInt& x2, const BigInt& x3, const BigInt& x5);
CheckpointWrite GfnPairWrite(const std::filesystem::path& folder, uint32_t stage,
                             const PowerRecordParams& params, uint32_t stepCount, uint32_t bitIndex,
                             const RadixInt& start, std::string stateBytes);

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
// old file as it was. Keeps no previous file (the records' writes do).
bool ReplaceCheckpointFile(const std::filesystem::path& file, std::string_view bytes);

}  // namespace numen
