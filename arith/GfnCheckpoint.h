// "Numen.dtf": the state of a generalized-Fermat powering, the weighted
// array exactly as stored, so that a run resumes at the bit it saved.
//
// Binary, little-endian, replaced atomically (temporary file, flush, rename):
//
//     offset 0        magic 720
//            4        bit index of the powering when saved
//            8        row length g (0 one-pass)
//           12        rows b (0 one-pass)
//           16        element count E: (g + gap) b, or L one-pass
//           20        E elements, (re, im) doubles, padding included
//     20 + 16 E       check word: b ^ g ^ E ^ bit ^ 720 ^ every 32-bit word
//                     of the array
//     24 + 16 E       largest error, 32-bit float
//
// E carries the gap, so a file from another gap is refused; a one-pass file
// (E = L) does not depend on it.
//
// The search keeps a previous state beside this file and writes it together
// with its record in "Numen.dta" (search/CheckpointFile.h); the functions
// taking a file rather than a folder serve that pair.
#pragma once
#include <cstdint>
#include <filesystem>
#include <string>

namespace numen {

inline constexpr const char* kGfnCheckpointName = "Numen.dtf";

class GfnTransform;

// Writes folder/Numen.dtf for the transform's plan and number; false when
// it is not planned or the file cannot be written (the old file, if any, is
// then left as it was).
bool GfnSaveCheckpoint(const GfnTransform& transform, const std::filesystem::path& folder, uint32_t bitIndex);

// Reads folder/Numen.dtf into the transform. True only when the file has
// the magic, `expectedBit`, the plan's g, b and E, exactly the length those
// imply, and a matching check word; the array and the largest error are
// then those of the file. Every refusal leaves the transform as it was
// (number and largest error). Never reads more than the plan's size; the
// array is read into a second buffer of the plan's size (ArithmeticFault
// when there is no memory for it), which then replaces the first.
bool GfnLoadCheckpoint(GfnTransform& transform, const std::filesystem::path& folder, uint32_t expectedBit);

// The bytes GfnSaveCheckpoint writes, for a writer that places the file
// itself; empty when the transform is not planned. Costs a copy of the array.
std::string GfnCheckpointBytes(const GfnTransform& transform, uint32_t bitIndex);

// GfnLoadCheckpoint from any file (the previous state, say).
bool GfnLoadCheckpointFile(GfnTransform& transform, const std::filesystem::path& file, uint32_t expectedBit);

// Whether `file` is a whole state file of any plan -- magic, exactly the
// length its E implies, a matching check word -- and then its bit index.
// Needs no transform: the writer asks it before it keeps a file as the
// previous state. Reads the file once in blocks of 1 MiB, allocating no more.
bool GfnCheckpointFileBit(const std::filesystem::path& file, uint32_t& bitIndex);

}  // namespace numen
