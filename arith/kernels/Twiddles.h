// Twiddle tables of the FFT kernels, computed in extended precision, built
// once per shape and never changed afterwards.
//
// Angles theta_i = 2*pi*i/m, i = 1 .. m/4 - 1, m the column length b
// (column tables) or the row length g (row tables). Two layouts side by
// side, entry i at index i:
//
//   x87  (6 doubles):  cot t, sin t, cot 2t, sin 2t, cot 3t, sin 3t
//                      entry 0 = sqrt(1/2), 2.0, 0, 0, 0, 0
//   SSE2 column (8):   cos t, cos 3t, sin t, -sin 3t, cos 2t, cos 2t, sin 2t, -sin 2t
//                      entry 0 = sqrt(1/2), sqrt(1/2), -sqrt(1/2), sqrt(1/2), 2.0, 2.0, 0, 0
//   SSE2 row (8):      cos t, cos t, sin t, sin t, cos 2t, cos 2t, sin 2t, sin 2t
//                      entry 0 = -2.0, -2.0, 0, 0, 0, 0, 0, 0
//
// A rotation of (x, y) by e^{-i phi}: x87 entry (sin phi (x cot phi + y),
// sin phi (y cot phi - x)); SSE2 entry (x cos phi + y sin phi, y cos phi - x sin phi).
//
// Twist table (two-pass shapes only): for d = 1 .. b-1 the pair
// (cot phi_d, sin phi_d), phi_d = 2*pi*d/(g*b), in 80-bit precision, stored
// at position r = d with its log2 b low bits reversed; position 0 unused.
// Row r (which holds column frequency d after the column pass) is rotated
// with the entry at position r.
//
// The record is plain pointers and lengths, so the files compiled for other
// instruction sets can take it without seeing a standard-library template.
#pragma once

#include <cstdint>

namespace numen {

struct TwistEntry {
    long double cot;
    long double sin;
};

// The tables of one shape: b rows of g elements, b = 1 for one pass.
struct KernelTables {
    uint32_t rowLength;           // g
    uint32_t rows;                // b (1: one pass, no column or twist tables)
    const double* columnX87;      // b/4 entries of 6 doubles (null when one-pass)
    const double* columnSse2;     // b/4 entries of 8 doubles (null when one-pass)
    const double* rowX87;         // g/4 entries of 6 doubles
    const double* rowSse2;        // g/4 entries of 8 doubles
    const TwistEntry* twist;      // b entries, by row position (null when one-pass)
    bool onePass() const { return rows == 1; }
};

// The tables of b rows of g elements (g >= 4 and b = 1 or b >= 4, powers of
// two), built at the first request for that shape and kept, unchanged, for
// the life of the process: the reference stays valid and may be read by any
// thread. Safe to call from any thread. ArithmeticFault when the tables do
// not fit in memory.
const KernelTables& KernelTablesFor(uint32_t g, uint32_t b);

}  // namespace numen
