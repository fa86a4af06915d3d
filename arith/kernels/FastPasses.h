// The passes of the fast kernel families, written once over a register type
// and instantiated by avx2.cpp and avx512.cpp, each with its own traits V
// declared in an anonymous namespace: every instantiation then has internal
// linkage, so no copy compiled for one instruction set can be merged with,
// and called in place of, another. Include only from those two files; the
// headers below declare, they define no inline arithmetic.
//
// The transforms are those of every family (KernelFamily.h): radix-4
// decimation in frequency forward, bit-reversed out, decimation in time
// inverse with the same forward-signed rotations. The radix-4 butterfly is
// two fused radix-2 levels, so the order is exactly bit-reversed; a length
// with odd log2 takes one radix-2 level, in rows at the top of the cached
// leaf the recursion reaches, in columns over the whole column.
//
// V supplies (one register = V::kN complex values, re and im interleaved):
//   Load, Store (unaligned), Add, Sub, MulMinusI, Mul (complex product with
//   an interleaved register), Broadcast + MulB (with one value for all
//   lanes), Conj, ConjSquare, and LoadBlocks / StoreBlocks, which read kN
//   blocks of 4 consecutive values transposed so that register k holds
//   element k of every block (and write them back); for the weights
//   DigitPairs (kN reals, each doubled), MulReal (lane by lane), Round,
//   Abs, Max, MaxLane, Zero, NoNaN / NoteBad / HasBad (a NaN, or a
//   coefficient of 2^62 or more, which no int64_t carry chain may take) and
//   Deinterleave.
//
// Rows vectorise along the row: a level whose legs are whole registers
// apart (quarter span >= kN) takes its rotations as registers from the
// level tables; the last level (blocks of 4) runs on transposed blocks.
// Columns vectorise across 8 adjacent columns (8 / kN registers per leg),
// every rotation broadcast. Both recurse: a long transform does its top
// level over the whole length, then the quarters one after the other, so
// each quarter's remaining levels run from the first-level cache.
#pragma once

#include <cassert>
#include <cstddef>
#include <cstdint>

#include "arith/kernels/Complex.h"
#include "arith/kernels/FastTables.h"
#include "arith/kernels/KernelFamily.h"
#include "arith/kernels/Twiddles.h"

namespace numen::fastpasses {

// Rows up to this length run their levels iteratively (16 KB).
inline constexpr size_t kRowLeaf = 1024;
// Column blocks (8 columns x m rows, 128 bytes per row) up to this many rows.
inline constexpr size_t kColumnLeaf = 128;
inline constexpr size_t kColumns = 8;

template <class V>
struct Passes {
    using T = typename V::T;
    static constexpr size_t N = V::kN;
    static constexpr size_t W = kColumns / N;  // registers per column leg

    // --- butterflies -------------------------------------------------------

    // Forward radix-4 on registers (u0 = x0 + x2, u2 = x0 - x2, u1 = x1 + x3,
    // u3 = -i (x1 - x3)); rotations applied by the caller.
    static inline void Forward4(T& x0, T& x1, T& x2, T& x3) {
        const T u0 = V::Add(x0, x2), u2 = V::Sub(x0, x2);
        const T u1 = V::Add(x1, x3), u3 = V::MulMinusI(V::Sub(x1, x3));
        x0 = V::Add(u0, u1);
        x1 = V::Sub(u0, u1);
        x2 = V::Add(u2, u3);
        x3 = V::Sub(u2, u3);
    }
    static inline void Inverse4(T& x0, T& x1, T& x2, T& x3) {
        const T P = V::Add(x0, x1), Q = V::Sub(x0, x1);
        const T R = V::Add(x2, x3), S = V::MulMinusI(V::Sub(x2, x3));
        x0 = V::Add(P, R);
        x1 = V::Add(Q, S);
        x2 = V::Sub(P, R);
        x3 = V::Sub(Q, S);
    }

    // --- rows ----------------------------------------------------------------

    // One radix-4 level (quarter span q >= N) over one group at p.
    static void RowLevelForward(Complex* p, size_t q, const Complex* table) {
        const Complex* w1 = table;
        const Complex* w2 = table + q;
        const Complex* w3 = table + 2 * q;
        for (size_t j = 0; j < q; j += N) {
            T x0 = V::Load(p + j), x1 = V::Load(p + q + j), x2 = V::Load(p + 2 * q + j), x3 = V::Load(p + 3 * q + j);
            Forward4(x0, x1, x2, x3);
            V::Store(p + j, x0);
            V::Store(p + q + j, V::Mul(x1, V::Load(w2 + j)));
            V::Store(p + 2 * q + j, V::Mul(x2, V::Load(w1 + j)));
            V::Store(p + 3 * q + j, V::Mul(x3, V::Load(w3 + j)));
        }
    }
    static void RowLevelInverse(Complex* p, size_t q, const Complex* table) {
        const Complex* w1 = table;
        const Complex* w2 = table + q;
        const Complex* w3 = table + 2 * q;
        for (size_t j = 0; j < q; j += N) {
            T x0 = V::Load(p + j);
            T x1 = V::Mul(V::Load(p + q + j), V::Load(w2 + j));
            T x2 = V::Mul(V::Load(p + 2 * q + j), V::Load(w1 + j));
            T x3 = V::Mul(V::Load(p + 3 * q + j), V::Load(w3 + j));
            Inverse4(x0, x1, x2, x3);
            V::Store(p + j, x0);
            V::Store(p + q + j, x1);
            V::Store(p + 2 * q + j, x2);
            V::Store(p + 3 * q + j, x3);
        }
    }

    // Radix-2 level of half span h over the group at p.
    static void RowHalfForward(Complex* p, size_t h) {
        const Complex* w = FastHalfTable(h);
        for (size_t j = 0; j < h; j += N) {
            const T a = V::Load(p + j), b = V::Load(p + h + j);
            V::Store(p + j, V::Add(a, b));
            V::Store(p + h + j, V::Mul(V::Sub(a, b), V::Load(w + j)));
        }
    }
    static void RowHalfInverse(Complex* p, size_t h) {
        const Complex* w = FastHalfTable(h);
        for (size_t j = 0; j < h; j += N) {
            const T a = V::Load(p + j), b = V::Mul(V::Load(p + h + j), V::Load(w + j));
            V::Store(p + j, V::Add(a, b));
            V::Store(p + h + j, V::Sub(a, b));
        }
    }

    // The last level: blocks of 4, kN blocks per step.
    static void BlocksForward(Complex* p, size_t m) {
        for (size_t k = 0; k < m; k += 4 * N) {
            T t[4];
            V::LoadBlocks(p + k, t);
            Forward4(t[0], t[1], t[2], t[3]);
            V::StoreBlocks(p + k, t);
        }
    }
    static void BlocksInverse(Complex* p, size_t m) {
        for (size_t k = 0; k < m; k += 4 * N) {
            T t[4];
            V::LoadBlocks(p + k, t);
            Inverse4(t[0], t[1], t[2], t[3]);
            V::StoreBlocks(p + k, t);
        }
    }
    // Last forward level, conj(z^2), first inverse level, in registers.
    static void BlocksSquare(Complex* p, size_t m) {
        for (size_t k = 0; k < m; k += 4 * N) {
            T t[4];
            V::LoadBlocks(p + k, t);
            Forward4(t[0], t[1], t[2], t[3]);
            t[0] = V::ConjSquare(t[0]);
            t[1] = V::ConjSquare(t[1]);
            t[2] = V::ConjSquare(t[2]);
            t[3] = V::ConjSquare(t[3]);
            Inverse4(t[0], t[1], t[2], t[3]);
            V::StoreBlocks(p + k, t);
        }
    }

    // Forward levels of a group of length m (log2 m even, m >= 4N) down to
    // blocks of 4, recursing on quarters above the leaf size.
    static void RowDown(Complex* p, size_t m) {
        if (m > kRowLeaf) {
            RowLevelForward(p, m / 4, FastLevelTable(m / 4));
            for (size_t k = 0; k < 4; ++k) RowDown(p + k * (m / 4), m / 4);
            return;
        }
        for (size_t q = m / 4; q >= N && q > 1; q /= 4) {
            const Complex* table = FastLevelTable(q);
            for (size_t g0 = 0; g0 < m; g0 += 4 * q) RowLevelForward(p + g0, q, table);
        }
    }
    static void RowUp(Complex* p, size_t m) {
        if (m > kRowLeaf) {
            for (size_t k = 0; k < 4; ++k) RowUp(p + k * (m / 4), m / 4);
            RowLevelInverse(p, m / 4, FastLevelTable(m / 4));
            return;
        }
        size_t q = 4;
        while (q < N) q *= 4;
        for (; q <= m / 4; q *= 4) {
            const Complex* table = FastLevelTable(q);
            for (size_t g0 = 0; g0 < m; g0 += 4 * q) RowLevelInverse(p + g0, q, table);
        }
    }
    // Forward, square and inverse of a group with log2 m even; each quarter
    // is finished before the next is touched.
    static void RowSquareEven(Complex* p, size_t m) {
        if (m > kRowLeaf) {
            const Complex* table = FastLevelTable(m / 4);
            RowLevelForward(p, m / 4, table);
            for (size_t k = 0; k < 4; ++k) RowSquareEven(p + k * (m / 4), m / 4);
            RowLevelInverse(p, m / 4, table);
            return;
        }
        RowDown(p, m);
        BlocksSquare(p, m);
        RowUp(p, m);
    }

    static bool OddLog(size_t m) { return (m & 0x5555555555555555ull) == 0; }

    // Any length >= 4N. Above the leaf size a radix-4 level and the quarters
    // in turn; at the leaf an odd log2 takes its radix-2 level there, in the
    // first-level cache, rather than as one more sweep over the whole row.
    static void RowSquareAll(Complex* p, size_t m) {
        if (m > kRowLeaf) {
            const Complex* table = FastLevelTable(m / 4);
            RowLevelForward(p, m / 4, table);
            for (size_t k = 0; k < 4; ++k) RowSquareAll(p + k * (m / 4), m / 4);
            RowLevelInverse(p, m / 4, table);
        } else if (OddLog(m)) {
            RowHalfForward(p, m / 2);
            RowSquareEven(p, m / 2);
            RowSquareEven(p + m / 2, m / 2);
            RowHalfInverse(p, m / 2);
        } else {
            RowSquareEven(p, m);
        }
    }
    static void RowForwardAll(Complex* p, size_t m) {
        if (m > kRowLeaf) {
            RowLevelForward(p, m / 4, FastLevelTable(m / 4));
            for (size_t k = 0; k < 4; ++k) RowForwardAll(p + k * (m / 4), m / 4);
            return;
        }
        const size_t half = OddLog(m) ? m / 2 : m;
        if (half != m) RowHalfForward(p, half);
        for (size_t s = 0; s < m; s += half) {
            RowDown(p + s, half);
            BlocksForward(p + s, half);
        }
    }
    static void RowInverseAll(Complex* p, size_t m) {
        if (m > kRowLeaf) {
            for (size_t k = 0; k < 4; ++k) RowInverseAll(p + k * (m / 4), m / 4);
            RowLevelInverse(p, m / 4, FastLevelTable(m / 4));
            return;
        }
        const size_t half = OddLog(m) ? m / 2 : m;
        for (size_t s = 0; s < m; s += half) {
            BlocksInverse(p + s, half);
            RowUp(p + s, half);
        }
        if (half != m) RowHalfInverse(p, half);
    }

    // --- twist -----------------------------------------------------------------

    // Element k of a row that holds column frequency d is rotated by
    // e^{-2 pi i d k/L}: each group of 8 elements takes a broadcast of the
    // factor of its first element times the fixed factors e^{-2 pi i d t/L},
    // t < 8, so the scalar table work is one product per 8 elements. The
    // factors go to `keep` when it is given.
    static constexpr size_t kTwistGroup = 8;
    static void Twist(Complex* row, size_t g, uint64_t d, uint64_t length, Complex* keep) {
        const FastTwist t = FastTwistTables(length);
        Complex groupFactors[kTwistGroup];
        for (size_t lane = 0; lane < kTwistGroup; ++lane) groupFactors[lane] = TwistFactor(t, d * lane);
        T lanes[kTwistGroup / N];
        for (size_t v = 0; v < kTwistGroup / N; ++v) lanes[v] = V::Load(groupFactors + v * N);
        for (size_t k = 0; k < g; k += kTwistGroup) {
            const auto base = V::Broadcast(TwistFactor(t, d * k));
            for (size_t v = 0; v < kTwistGroup / N; ++v) {
                const T f = V::MulB(lanes[v], base);
                Complex* at = row + k + v * N;
                if (keep != nullptr) V::Store(keep + k + v * N, f);
                V::Store(at, V::Mul(V::Load(at), f));
            }
        }
    }
    static void Untwist(Complex* row, size_t g, const Complex* kept) {
        for (size_t k = 0; k < g; k += N) V::Store(row + k, V::Mul(V::Load(row + k), V::Load(kept + k)));
    }
    static Complex TwistFactor(const FastTwist& t, uint64_t e) {
        e &= t.mask;
        const Complex a = t.hi[e >> t.shift], b = t.lo[e & ((uint64_t(1) << t.shift) - 1)];
        return {a.re * b.re - a.im * b.im, a.re * b.im + a.im * b.re};
    }
    static uint64_t ReverseBits(uint64_t r, uint64_t rows) {
        uint64_t d = 0;
        for (uint64_t bit = 1; bit < rows; bit <<= 1, r >>= 1) d = (d << 1) | (r & 1);
        return d;
    }

    // --- columns ---------------------------------------------------------------

    struct Leg {
        T v[W];
    };
    static inline void LoadLeg(Leg& l, const Complex* p) {
        for (size_t w = 0; w < W; ++w) l.v[w] = V::Load(p + w * N);
    }
    static inline void StoreLeg(Complex* p, const Leg& l) {
        for (size_t w = 0; w < W; ++w) V::Store(p + w * N, l.v[w]);
    }

    // The eight columns of the next call lie right after this call's in
    // every row, 512 rows and as many pages apart: a column block touches
    // too many pages for the hardware prefetchers, so the level that sweeps
    // the whole block (the first forward, the last inverse) asks for the
    // next block's two cache lines of each row it touches.
    static inline void PrefetchNextBlock(const Complex* e) {
        __builtin_prefetch(e + kColumns, 1, 3);
        __builtin_prefetch(e + kColumns + 4, 1, 3);
    }

    static void ColumnLevelForward(Complex* p, size_t q, size_t s, const Complex* table, bool ahead) {
        const size_t d = q * s;
        for (size_t j = 0; j < q; ++j, p += s) {
            const auto r1 = V::Broadcast(table[j]), r2 = V::Broadcast(table[q + j]), r3 = V::Broadcast(table[2 * q + j]);
            if (ahead)
                for (size_t k = 0; k < 4; ++k) PrefetchNextBlock(p + k * d);
            for (size_t w = 0; w < W; ++w) {
                Complex* e = p + w * N;
                T x0 = V::Load(e), x1 = V::Load(e + d), x2 = V::Load(e + 2 * d), x3 = V::Load(e + 3 * d);
                Forward4(x0, x1, x2, x3);
                V::Store(e, x0);
                V::Store(e + d, V::MulB(x1, r2));
                V::Store(e + 2 * d, V::MulB(x2, r1));
                V::Store(e + 3 * d, V::MulB(x3, r3));
            }
        }
    }
    static void ColumnLevelInverse(Complex* p, size_t q, size_t s, const Complex* table, bool ahead) {
        const size_t d = q * s;
        for (size_t j = 0; j < q; ++j, p += s) {
            const auto r1 = V::Broadcast(table[j]), r2 = V::Broadcast(table[q + j]), r3 = V::Broadcast(table[2 * q + j]);
            if (ahead)
                for (size_t k = 0; k < 4; ++k) PrefetchNextBlock(p + k * d);
            for (size_t w = 0; w < W; ++w) {
                Complex* e = p + w * N;
                T x0 = V::Load(e), x1 = V::MulB(V::Load(e + d), r2);
                T x2 = V::MulB(V::Load(e + 2 * d), r1), x3 = V::MulB(V::Load(e + 3 * d), r3);
                Inverse4(x0, x1, x2, x3);
                V::Store(e, x0);
                V::Store(e + d, x1);
                V::Store(e + 2 * d, x2);
                V::Store(e + 3 * d, x3);
            }
        }
    }
    static void ColumnHalfForward(Complex* p, size_t h, size_t s) {
        const Complex* table = FastHalfTable(h);
        for (size_t j = 0; j < h; ++j, p += s) {
            const auto r = V::Broadcast(table[j]);
            PrefetchNextBlock(p);
            PrefetchNextBlock(p + h * s);
            for (size_t w = 0; w < W; ++w) {
                Complex* e = p + w * N;
                const T a = V::Load(e), b = V::Load(e + h * s);
                V::Store(e, V::Add(a, b));
                V::Store(e + h * s, V::MulB(V::Sub(a, b), r));
            }
        }
    }
    static void ColumnHalfInverse(Complex* p, size_t h, size_t s) {
        const Complex* table = FastHalfTable(h);
        for (size_t j = 0; j < h; ++j, p += s) {
            const auto r = V::Broadcast(table[j]);
            PrefetchNextBlock(p);
            PrefetchNextBlock(p + h * s);
            for (size_t w = 0; w < W; ++w) {
                Complex* e = p + w * N;
                const T a = V::Load(e), b = V::MulB(V::Load(e + h * s), r);
                V::Store(e, V::Add(a, b));
                V::Store(e + h * s, V::Sub(a, b));
            }
        }
    }
    // log2 m even; `ahead`: this call's first level sweeps the whole block.
    static void ColumnDown(Complex* p, size_t m, size_t s, bool ahead) {
        if (m > kColumnLeaf) {
            ColumnLevelForward(p, m / 4, s, FastLevelTable(m / 4), ahead);
            for (size_t k = 0; k < 4; ++k) ColumnDown(p + k * (m / 4) * s, m / 4, s, false);
            return;
        }
        for (size_t q = m / 4; q >= 1; q /= 4, ahead = false) {
            const Complex* table = FastLevelTable(q);
            for (size_t g0 = 0; g0 < m; g0 += 4 * q) ColumnLevelForward(p + g0 * s, q, s, table, ahead);
        }
    }
    // `ahead`: this call's last level sweeps the whole block.
    static void ColumnUp(Complex* p, size_t m, size_t s, bool ahead) {
        if (m > kColumnLeaf) {
            for (size_t k = 0; k < 4; ++k) ColumnUp(p + k * (m / 4) * s, m / 4, s, false);
            ColumnLevelInverse(p, m / 4, s, FastLevelTable(m / 4), ahead);
            return;
        }
        for (size_t q = 1; q <= m / 4; q *= 4) {
            const Complex* table = FastLevelTable(q);
            for (size_t g0 = 0; g0 < m; g0 += 4 * q)
                ColumnLevelInverse(p + g0 * s, q, s, table, ahead && 4 * q == m);
        }
    }
    static void ColumnForwardAll(Complex* p, size_t m, size_t s) {
        if (OddLog(m)) {
            ColumnHalfForward(p, m / 2, s);
            ColumnDown(p, m / 2, s, false);
            ColumnDown(p + (m / 2) * s, m / 2, s, false);
        } else {
            ColumnDown(p, m, s, true);
        }
    }
    static void ColumnInverseAll(Complex* p, size_t m, size_t s) {
        if (OddLog(m)) {
            ColumnUp(p, m / 2, s, false);
            ColumnUp(p + (m / 2) * s, m / 2, s, false);
            ColumnHalfInverse(p, m / 2, s);
        } else {
            ColumnUp(p, m, s, true);
        }
    }

    // --- the family's row entry points ------------------------------------------

    static void RowSquare(Complex* array, uint32_t g, uint32_t rows, uint32_t gap, const KernelTables& t) {
        assert(t.rowLength == g && t.rows == rows);
        (void)t;
        Complex* factors = rows > 1 ? FastScratch(0, g) : nullptr;
        const uint64_t length = uint64_t(g) * rows;
        for (uint32_t r = 0; r < rows; ++r) {
            Complex* row = array + size_t(r) * (g + gap);
            if (r > 0) Twist(row, g, ReverseBits(r, rows), length, factors);
            RowSquareAll(row, g);
            if (r > 0) Untwist(row, g, factors);
        }
    }
    // The row count (for the twist) is the shape's, from its tables record;
    // the family's own tables depend on lengths only (FastTables.h).
    static void RowForward(Complex* row, uint32_t g, uint32_t rowPosition, const KernelTables& t) {
        assert(t.rowLength == g && rowPosition < t.rows);
        const uint32_t rows = t.rows;
        if (rowPosition > 0) Twist(row, g, ReverseBits(rowPosition, rows), uint64_t(g) * rows, nullptr);
        RowForwardAll(row, g);
    }
    static void RowInverse(Complex* row, uint32_t g, uint32_t rowPosition, const KernelTables& t) {
        assert(t.rowLength == g && rowPosition < t.rows);
        const uint32_t rows = t.rows;
        RowInverseAll(row, g);
        if (rowPosition > 0) Twist(row, g, ReverseBits(rowPosition, rows), uint64_t(g) * rows, nullptr);
    }
    static void PointwiseMultiply(Complex* a, const Complex* b, uint32_t g) {
        for (uint32_t k = 0; k < g; k += N) V::Store(a + k, V::Conj(V::Mul(V::Load(a + k), V::Load(b + k))));
    }

    static void ColumnForward(Complex* firstColumn, uint32_t b, uint32_t stride, const KernelTables& t) {
        assert(t.rows == b);
        (void)t;
        ColumnForwardAll(firstColumn, b, stride);
    }
    static void ColumnInverse(Complex* firstColumn, uint32_t b, uint32_t stride, const KernelTables& t) {
        assert(t.rows == b);
        (void)t;
        ColumnInverseAll(firstColumn, b, stride);
    }
    static constexpr KernelFamily Family(const char* name, int32_t avxLevel) {
        return {name,       kColumns,   ColumnForward,     ColumnInverse, RowSquare, RowForward,
                RowInverse, PointwiseMultiply, avxLevel, WeightRow,     RoundRow};
    }

    // --- weights -------------------------------------------------------------------

    static void WeightRow(Complex* row, const double* digits, uint32_t g, Complex rowStart,
                          const Complex* columnWeights) {
        const auto start = V::Broadcast(rowStart);
        for (uint32_t c = 0; c < g; c += N) {
            const T w = V::MulB(V::Load(columnWeights + c), start);
            V::Store(row + c, V::MulReal(V::DigitPairs(digits + c), w));
        }
    }
    static double RoundRow(const Complex* row, uint32_t g, Complex rowStart, const Complex* columnWeights,
                           double* low, double* high) {
        const auto start = V::Broadcast(rowStart);
        T err = V::Zero();
        auto bad = V::NoNaN();
        for (uint32_t c = 0; c < g; c += N) {
            const T w = V::MulB(V::Load(columnWeights + c), start);
            const T z = V::Mul(V::Load(row + c), w);
            const T k = V::Round(z);
            const T d = V::Abs(V::Sub(z, k));
            bad = V::NoteBad(bad, d, k);
            err = V::Max(err, d);
            V::Deinterleave(k, low + c, high + c);
        }
        return V::HasBad(bad) ? __builtin_nan("") : V::MaxLane(err);
    }
};

}  // namespace numen::fastpasses
