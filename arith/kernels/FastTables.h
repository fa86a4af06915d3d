// Tables of the fast kernel families (AVX2, AVX-512), built in baseline code
// so that the families' own files (compiled for their instruction sets) hold
// nothing but vector loops.
//
// Every entry is a complex root of unity e^{-2 pi i k/M}, computed in 80-bit
// precision from the exact angle and rounded once; tables are built on first
// use and kept for the life of the process (they depend on a length only,
// never on a shape), so a pointer handed out stays valid. Any thread may ask
// for them: a built table costs one acquire load, a new one is built under
// a mutex.
//
//   LevelTable(q)  radix-4 level of quarter span q (span 4q): 3q entries,
//                  W1[j] = w^j, W2[j] = w^{2j}, W3[j] = w^{3j}, w = e^{-2 pi i/(4q)},
//                  stored as W1[0..q), W2[0..q), W3[0..q)
//   HalfTable(h)   radix-2 level of half span h: h entries e^{-2 pi i j/(2h)}
//   TwistTables(L) the four-step twist e^{-2 pi i e/L} for any e < L as the
//                  product Hi[e >> shift] * Lo[e & (2^shift - 1)] of two
//                  tables of about sqrt(L) entries each
#pragma once

#include <cstddef>
#include <cstdint>

#include "arith/kernels/Complex.h"

namespace numen {

const Complex* FastLevelTable(size_t q);
const Complex* FastHalfTable(size_t h);

struct FastTwist {
    const Complex* lo;
    const Complex* hi;
    uint32_t shift;
    uint64_t mask;  // L - 1
};
FastTwist FastTwistTables(uint64_t length);

// A per-thread block of at least `count` elements, 64-byte aligned, kept
// between calls; slot 0 and 1 are independent blocks.
Complex* FastScratch(int slot, size_t count);

}  // namespace numen
