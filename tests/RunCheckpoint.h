// Where a long run keeps its position. The power runs save and resume
// through this interface; the search supplies the implementation over the
// working folder's "Numen.dta" and "Numen.dtf" (search/FolderCheckpoint.h),
// the unit tests may supply others (one that fails every write, say).
//
// A read is accepted only when the stored stage and every parameter equal
// the caller's and the record is whole; anything else is no checkpoint.
// A failed write is not an error: the run goes on, and the previous
// checkpoint stays as it was.
#pragma once

#include <cstdint>

#include "arith/BigInt.h"
#include "arith/RadixInt.h"

namespace numen {

class GfnTransform;

// The parameters of a power run, as its record stores them.
struct PowerRecordParams {
    uint32_t a = 0;  // base of the power
    uint32_t k = 0;
    uint32_t b = 0;
    uint32_t n = 0;
    int32_t c = 0;   // N = k*b^n + c
};

// The parameters of a generalized-Fermat run on B^m + 1 with base a.
inline PowerRecordParams GfnPowerParams(uint32_t a, uint32_t B, uint32_t m) {
    return {a, 1, B, m, 1};
}

class RunCheckpoint {
public:
    virtual ~RunCheckpoint() = default;

    // The stage of the stored record, for the tests' resume shortcuts; false
    // when no resume was requested or there is no readable record.
    virtual bool readStage(uint32_t& stage) = 0;

    // A power record of `stage` for `params`; on false the outputs are left
    // unchanged. A RadixInt residue must be in `radix`.
    virtual bool readPower(uint32_t stage, const PowerRecordParams& params, uint32_t& stepCount,
                           uint32_t& bitIndex, BigInt& residue) = 0;
    virtual bool readPower(uint32_t stage, const PowerRecordParams& params, uint32_t radix,
                           uint32_t& stepCount, uint32_t& bitIndex, RadixInt& residue) = 0;
    virtual void writePower(uint32_t stage, const PowerRecordParams& params, uint32_t stepCount,
                            uint32_t bitIndex, const BigInt& residue) = 0;
    virtual void writePower(uint32_t stage, const PowerRecordParams& params, uint32_t stepCount,
                            uint32_t bitIndex, const RadixInt& residue) = 0;

    // A generalized-Fermat run: the record (start value in radix params.b)
    // first, and only when it is accepted the transform state of its bit
    // index. True when both were accepted; when the record was accepted and
    // the state was not, the run must start over and re-initialise the
    // transform.
    virtual bool resumeGfn(uint32_t stage, const PowerRecordParams& params, uint32_t& stepCount,
                           uint32_t& bitIndex, RadixInt& start, GfnTransform& transform) = 0;
    virtual void saveGfn(uint32_t stage, const PowerRecordParams& params, uint32_t stepCount,
                         uint32_t bitIndex, const RadixInt& start, const GfnTransform& transform) = 0;

    // The divisibility scan of k*2^n + 1: its step count, countdown and the
    // residues of 2, 3 and 5. On false the outputs are left unchanged.
    virtual bool readDivisibility(uint32_t stage, uint32_t k, uint32_t n, uint32_t& stepCount,
                                  uint32_t& countdown, BigInt& x2, BigInt& x3, BigInt& x5) = 0;
    virtual void writeDivisibility(uint32_t stage, uint32_t k, uint32_t n, uint32_t stepCount,
                                   uint32_t countdown, const BigInt& x2, const BigInt& x3,
                                   const BigInt& x5) = 0;
};

}  // namespace numen
