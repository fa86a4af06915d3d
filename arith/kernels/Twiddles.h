// Twiddle tables of the FFT kernels, computed in extended precision and kept
// until their key changes.
//
// Angles theta_i = 2*pi*i/m, i = 1 .. m/4 - 1, m the column length b
// (ColumnTwiddles) or the row length g (RowTwiddles). Two layouts side by
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
// TwistTable (filled with RowTwiddles when b != 0): for d = 1 .. b-1 the pair
// (cot phi_d, sin phi_d), phi_d = 2*pi*d/(g*b), in 80-bit precision, stored
// at position r = d with its log2 b low bits reversed; position 0 unused.
// Row r (which holds column frequency d after the column pass) is rotated
// with the entry at position r.
//
// Both keys are cleared by the generalized-Fermat transform when it takes
// the buffer (Invalidate), forcing recomputation at the next use.
#pragma once

#include <cstdint>

namespace numen {

struct TwistEntry {
    long double cot;
    long double sin;
};

class ColumnTwiddles {
public:
    // Fills the tables when b changed; records the stride (g + gap) in elements.
    static void Prepare(uint32_t b, uint32_t strideElements);
    static uint32_t Length();          // b of the current tables
    static uint32_t StrideElements();
    static const double* X87();        // 6 doubles per entry
    static const double* Sse2();       // 8 doubles per entry
    static void Invalidate();
};

class RowTwiddles {
public:
    // Fills the row tables (and TwistTable when b != 0) when (g, b) changed;
    // b = 0 for one-pass use.
    static void Prepare(uint32_t g, uint32_t b);
    static uint32_t Length();          // g of the current tables
    static uint32_t Rows();            // b of the current tables (0: one-pass)
    static const double* X87();
    static const double* Sse2();
    static const TwistEntry* Twist();  // indexed by row position r
    static void Invalidate();
};

}  // namespace numen
