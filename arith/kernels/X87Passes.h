// The radix-4 passes of the complex FFT in x87 extended precision, written
// once and instantiated by the x87 family (one column per call, optional
// PREFETCHT1 hints) and the AMD family (two adjacent columns per call,
// prefetch 64 bytes ahead). Elements are loaded as doubles, every butterfly
// is computed in `long double`, and each level stores its results as doubles.
//
// Method: radix-4 decimation in frequency (Cooley-Tukey, the split of
// Gentleman and Sande, "Fast Fourier transforms -- for fun and profit",
// AFIPS 1966), output in bit-reversed order; the inverse is the mirror
// decimation in time with the same forward-signed rotations, bit-reversed in,
// natural order out. With the pointwise step storing conj(z^2) or
// conj(a*b), forward + pointwise + inverse = N * conj(cyclic convolution).
//
// Levels of a pass of length m (q = quarter span, legs j, j+q, j+2q, j+3q):
//
//   forward, m = 4^k:      q = m/4, m/16, ..., 4   then last level q = 1
//   forward, m = 2*4^k:    q = m/4, ..., 8         then radix-2 over legs four
//                          apart (rotations 1, e^{-i pi/4}, -i, e^{-3i pi/4})
//                          then last level q = 1
//   inverse: the same levels in reverse order (q = 1 first, radix-2 next
//            when log2 m is odd, then q growing fourfold up to m/4).
//
// A level with quarter span q rotates offset j by the table entry j*m/(4q),
// angle theta = 2*pi*j/(4q); entry 0 (j = 0) is never used for a rotation.
// The last forward level and the first inverse level have no rotations; in a
// row square they are fused with the pointwise step, one load and one store
// per block of four elements.
//
// Rotation by e^{-i phi} from an x87 table entry (cot phi, sin phi):
//   (x, y) -> (sin phi * (x cot phi + y), sin phi * (y cot phi - x)).
#pragma once

#include <cassert>
#include <cstddef>
#include <cstdint>

#include "arith/kernels/Complex.h"
#include "arith/kernels/Twiddles.h"

namespace numen::x87passes {

using Real = long double;

struct Value {
    Real re;
    Real im;
};

inline Value operator+(Value a, Value b) { return {a.re + b.re, a.im + b.im}; }
inline Value operator-(Value a, Value b) { return {a.re - b.re, a.im - b.im}; }
// a - i*b and a + i*b.
inline Value MinusI(Value a, Value b) { return {a.re + b.im, a.im - b.re}; }
inline Value PlusI(Value a, Value b) { return {a.re - b.im, a.im + b.re}; }

inline Value Load(const Complex* p) { return {p->re, p->im}; }
inline void Store(Complex* p, Value v) {
    p->re = static_cast<double>(v.re);
    p->im = static_cast<double>(v.im);
}

// z * e^{-i phi} from (cot phi, sin phi).
inline Value Rotate(Value z, Real cot, Real sin) {
    return {sin * (z.re * cot + z.im), sin * (z.im * cot - z.re)};
}

inline bool OddLog2(uint32_t m) { return (__builtin_ctz(m) & 1) != 0; }

// Prefetch policies. Touch(leg, firstLevel, j) is called with the address of
// each leg of a butterfly (first column of the group) before it is loaded.
// Hints only: they never change a value.
struct NoPrefetch {
    static void Touch(const Complex*, bool, uint32_t) {}
};
// x87 columns: during the first level of a column, the same leg of the next
// column (16 bytes on) goes to the second-level cache (PREFETCHT1), so the
// next call starts on warm lines.
struct PrefetchNextColumn {
    static void Touch(const Complex* leg, bool firstLevel, uint32_t) {
        if (firstLevel) __builtin_prefetch(leg + 1, 0, 2);
    }
};
// AMD columns: two columns per call use 32 bytes of a row; during the first
// level the line 64 bytes on is fetched for the calls after the next.
struct PrefetchColumns64Ahead {
    static void Touch(const Complex* leg, bool firstLevel, uint32_t) {
        if (firstLevel) __builtin_prefetch(leg + 4, 0, 3);
    }
};
// AMD rows: legs walk along the row, one 64-byte line per four offsets; the
// next line of each leg is requested once per line.
struct PrefetchRow64Ahead {
    static void Touch(const Complex* leg, bool, uint32_t j) {
        if ((j & 3) == 0) __builtin_prefetch(leg + 4, 0, 3);
    }
};

// Butterflies on four legs. `w` is an x87 table entry:
// w[0..5] = cot t, sin t, cot 2t, sin 2t, cot 3t, sin 3t.
inline void ForwardButterfly(Complex* x0, Complex* x1, Complex* x2, Complex* x3, const double* w) {
    const Value a0 = Load(x0), a1 = Load(x1), a2 = Load(x2), a3 = Load(x3);
    const Value u0 = a0 + a2, u1 = a1 + a3, u2 = a0 - a2, u3 = a1 - a3;
    Store(x0, u0 + u1);
    Store(x1, Rotate(u0 - u1, w[2], w[3]));
    Store(x2, Rotate(MinusI(u2, u3), w[0], w[1]));
    Store(x3, Rotate(PlusI(u2, u3), w[4], w[5]));
}

inline void ForwardButterflyPlain(Complex* x0, Complex* x1, Complex* x2, Complex* x3) {
    const Value a0 = Load(x0), a1 = Load(x1), a2 = Load(x2), a3 = Load(x3);
    const Value u0 = a0 + a2, u1 = a1 + a3, u2 = a0 - a2, u3 = a1 - a3;
    Store(x0, u0 + u1);
    Store(x1, u0 - u1);
    Store(x2, MinusI(u2, u3));
    Store(x3, PlusI(u2, u3));
}

inline void InverseButterfly(Complex* x0, Complex* x1, Complex* x2, Complex* x3, const double* w) {
    const Value s0 = Load(x0);
    const Value w1 = Rotate(Load(x1), w[2], w[3]);
    const Value w2 = Rotate(Load(x2), w[0], w[1]);
    const Value w3 = Rotate(Load(x3), w[4], w[5]);
    const Value p = s0 + w1, q = s0 - w1, r = w2 + w3, t = w2 - w3;
    Store(x0, p + r);
    Store(x1, MinusI(q, t));
    Store(x2, p - r);
    Store(x3, PlusI(q, t));
}

inline void InverseButterflyPlain(Complex* x0, Complex* x1, Complex* x2, Complex* x3) {
    const Value s0 = Load(x0), s1 = Load(x1), s2 = Load(x2), s3 = Load(x3);
    const Value p = s0 + s1, q = s0 - s1, r = s2 + s3, t = s2 - s3;
    Store(x0, p + r);
    Store(x1, MinusI(q, t));
    Store(x2, p - r);
    Store(x3, PlusI(q, t));
}

// d * w8^j for j = 0..3, w8 = e^{-i pi/4}; the diagonal ones multiply the
// sum and the difference of the parts by sqrt(1/2).
inline Value RotateEighth(Value d, uint32_t j, Real sqrtHalf) {
    switch (j) {
        case 0: return d;
        case 1: return {sqrtHalf * (d.re + d.im), sqrtHalf * (d.im - d.re)};
        case 2: return {d.im, -d.re};
        default: return {sqrtHalf * (d.im - d.re), -sqrtHalf * (d.re + d.im)};
    }
}

// One block of four consecutive elements of a row: last forward level,
// z := conj(z^2) on each result, first inverse level.
inline void SquareBlock(Complex* x) {
    const Value a0 = Load(x), a1 = Load(x + 1), a2 = Load(x + 2), a3 = Load(x + 3);
    const Value u0 = a0 + a2, u1 = a1 + a3, u2 = a0 - a2, u3 = a1 - a3;
    Value y[4] = {u0 + u1, u0 - u1, MinusI(u2, u3), PlusI(u2, u3)};
    for (Value& z : y) z = {z.re * z.re - z.im * z.im, -2 * z.re * z.im};
    const Value p = y[0] + y[1], q = y[0] - y[1], r = y[2] + y[3], t = y[2] - y[3];
    Store(x, p + r);
    Store(x + 1, MinusI(q, t));
    Store(x + 2, p - r);
    Store(x + 3, PlusI(q, t));
}

// Multiplies element k (1 <= k < g) of a row by e^{-i k phi}. The factors
// come from the rotation recurrence in extended precision:
//   (c, s) := (cot phi * sin phi, sin phi), then
//   (c, s) := (sin phi (cot phi c - s), sin phi (c + cot phi s)).
// Applied before the forward row transform (twist) and, with the same
// factors, after the inverse one: on conjugated data that undoes the twist.
inline void TwistRow(Complex* row, uint32_t g, const TwistEntry& e) {
    const Real cot = e.cot, sin = e.sin;
    Real c = cot * sin, s = sin;
    for (uint32_t k = 1; k < g; ++k) {
        const Value z = Load(row + k);
        Store(row + k, {z.re * c + z.im * s, z.im * c - z.re * s});
        const Real next = sin * (cot * c - s);
        s = sin * (c + cot * s);
        c = next;
    }
}

// a[k] := conj(a[k] * b[k]), k < g.
inline void PointwiseMultiplyRow(Complex* a, const Complex* b, uint32_t g) {
    for (uint32_t k = 0; k < g; ++k) {
        const Value x = Load(a + k), y = Load(b + k);
        Store(a + k, {x.re * y.re - x.im * y.im, -(x.re * y.im + x.im * y.re)});
    }
}

// Passes over `Lanes` adjacent sequences (columns) at once: element p of
// lane l is at a[p * s + l]. Rows are Lanes = 1, s = 1.
template <uint32_t Lanes, class Hints>
struct Passes {
    static void Touch4(const Complex* x0, size_t span, bool first, uint32_t j) {
        Hints::Touch(x0, first, j);
        Hints::Touch(x0 + span, first, j);
        Hints::Touch(x0 + 2 * span, first, j);
        Hints::Touch(x0 + 3 * span, first, j);
    }

    // One radix-4 level with rotations, quarter span q (q >= 4).
    static void ForwardLevel(Complex* a, uint32_t m, size_t s, uint32_t q, const double* table, bool first) {
        const size_t span = q * s;
        const uint32_t step = m / (4 * q);
        for (uint32_t group = 0; group < m; group += 4 * q) {
            Complex* x = a + group * s;
            Touch4(x, span, first, 0);
            for (uint32_t l = 0; l < Lanes; ++l)
                ForwardButterflyPlain(x + l, x + span + l, x + 2 * span + l, x + 3 * span + l);
            for (uint32_t j = 1; j < q; ++j) {
                Complex* xj = x + j * s;
                const double* w = table + 6 * size_t(j) * step;
                Touch4(xj, span, first, j);
                for (uint32_t l = 0; l < Lanes; ++l)
                    ForwardButterfly(xj + l, xj + span + l, xj + 2 * span + l, xj + 3 * span + l, w);
            }
        }
    }

    static void InverseLevel(Complex* a, uint32_t m, size_t s, uint32_t q, const double* table, bool first) {
        const size_t span = q * s;
        const uint32_t step = m / (4 * q);
        for (uint32_t group = 0; group < m; group += 4 * q) {
            Complex* x = a + group * s;
            Touch4(x, span, first, 0);
            for (uint32_t l = 0; l < Lanes; ++l)
                InverseButterflyPlain(x + l, x + span + l, x + 2 * span + l, x + 3 * span + l);
            for (uint32_t j = 1; j < q; ++j) {
                Complex* xj = x + j * s;
                const double* w = table + 6 * size_t(j) * step;
                Touch4(xj, span, first, j);
                for (uint32_t l = 0; l < Lanes; ++l)
                    InverseButterfly(xj + l, xj + span + l, xj + 2 * span + l, xj + 3 * span + l, w);
            }
        }
    }

    // Radix-2 level over each block of 8: legs j and j+4, j = 0..3.
    static void ForwardRadix2(Complex* a, uint32_t m, size_t s, Real sqrtHalf, bool first) {
        for (uint32_t block = 0; block < m; block += 8) {
            for (uint32_t j = 0; j < 4; ++j) {
                Complex* x = a + (block + j) * s;
                Hints::Touch(x, first, j);
                Hints::Touch(x + 4 * s, first, j);
                for (uint32_t l = 0; l < Lanes; ++l) {
                    const Value u = Load(x + l), v = Load(x + 4 * s + l);
                    Store(x + l, u + v);
                    Store(x + 4 * s + l, RotateEighth(u - v, j, sqrtHalf));
                }
            }
        }
    }

    static void InverseRadix2(Complex* a, uint32_t m, size_t s, Real sqrtHalf, bool first) {
        for (uint32_t block = 0; block < m; block += 8) {
            for (uint32_t j = 0; j < 4; ++j) {
                Complex* x = a + (block + j) * s;
                Hints::Touch(x, first, j);
                Hints::Touch(x + 4 * s, first, j);
                for (uint32_t l = 0; l < Lanes; ++l) {
                    const Value u = Load(x + l), v = RotateEighth(Load(x + 4 * s + l), j, sqrtHalf);
                    Store(x + l, u + v);
                    Store(x + 4 * s + l, u - v);
                }
            }
        }
    }

    // Radix-4 level without rotations on each block of 4 (q = 1).
    static void ForwardLast(Complex* a, uint32_t m, size_t s, bool first) {
        for (uint32_t block = 0; block < m; block += 4) {
            Complex* x = a + block * s;
            Touch4(x, s, first, block);
            for (uint32_t l = 0; l < Lanes; ++l) ForwardButterflyPlain(x + l, x + s + l, x + 2 * s + l, x + 3 * s + l);
        }
    }

    static void InverseFirst(Complex* a, uint32_t m, size_t s, bool first) {
        for (uint32_t block = 0; block < m; block += 4) {
            Complex* x = a + block * s;
            Touch4(x, s, first, block);
            for (uint32_t l = 0; l < Lanes; ++l) InverseButterflyPlain(x + l, x + s + l, x + 2 * s + l, x + 3 * s + l);
        }
    }

    // Forward pass of length m (a power of two, m >= 4), stride s, x87
    // table of length m; `withLast` false leaves the last radix-4 level to
    // the fused square.
    static void Forward(Complex* a, uint32_t m, size_t s, const double* table, bool withLast) {
        const bool odd = OddLog2(m);
        bool first = true;
        for (uint32_t q = m / 4; q >= (odd ? 8u : 4u); q /= 4) {
            ForwardLevel(a, m, s, q, table, first);
            first = false;
        }
        if (odd) {
            ForwardRadix2(a, m, s, table[0], first);
            first = false;
        }
        if (withLast) ForwardLast(a, m, s, first);
    }

    // Inverse pass: the mirror of Forward; `withFirst` false when the first
    // level was fused into the square.
    static void Inverse(Complex* a, uint32_t m, size_t s, const double* table, bool withFirst) {
        const bool odd = OddLog2(m);
        bool first = true;
        if (withFirst) {
            InverseFirst(a, m, s, first);
            first = false;
        }
        if (odd) {
            InverseRadix2(a, m, s, table[0], first);
            first = false;
        }
        for (uint32_t q = odd ? 8 : 4; q <= m / 4; q *= 4) {
            InverseLevel(a, m, s, q, table, first);
            first = false;
        }
    }
};

// Kernel entry points in the shape of the KernelFamily table: column passes
// read the column tables of `t` (b rows), row passes its row tables (rows of
// g) and its twist table.

template <uint32_t Lanes, class Hints>
void ColumnForward(Complex* firstColumn, uint32_t b, uint32_t stride, const KernelTables& t) {
    assert(t.rows == b && t.columnX87 != nullptr);
    Passes<Lanes, Hints>::Forward(firstColumn, b, stride, t.columnX87, true);
}

template <uint32_t Lanes, class Hints>
void ColumnInverse(Complex* firstColumn, uint32_t b, uint32_t stride, const KernelTables& t) {
    assert(t.rows == b && t.columnX87 != nullptr);
    Passes<Lanes, Hints>::Inverse(firstColumn, b, stride, t.columnX87, true);
}

template <class Hints>
void RowSquare(Complex* array, uint32_t g, uint32_t rows, uint32_t gap, const KernelTables& t) {
    assert(t.rowLength == g && g >= 16);
    assert(t.rows == rows);
    const double* table = t.rowX87;
    const TwistEntry* twist = t.twist;
    for (uint32_t r = 0; r < rows; ++r) {
        Complex* row = array + size_t(r) * (g + gap);
        if (r > 0) TwistRow(row, g, twist[r]);
        Passes<1, Hints>::Forward(row, g, 1, table, false);
        for (uint32_t k = 0; k < g; k += 4) {
            Hints::Touch(row + k, false, k);
            SquareBlock(row + k);
        }
        Passes<1, Hints>::Inverse(row, g, 1, table, false);
        if (r > 0) TwistRow(row, g, twist[r]);
    }
}

template <class Hints>
void RowForward(Complex* row, uint32_t g, uint32_t rowPosition, const KernelTables& t) {
    assert(t.rowLength == g && g >= 16 && rowPosition < t.rows);
    if (rowPosition > 0) TwistRow(row, g, t.twist[rowPosition]);
    Passes<1, Hints>::Forward(row, g, 1, t.rowX87, true);
}

template <class Hints>
void RowInverse(Complex* row, uint32_t g, uint32_t rowPosition, const KernelTables& t) {
    assert(t.rowLength == g && g >= 16 && rowPosition < t.rows);
    Passes<1, Hints>::Inverse(row, g, 1, t.rowX87, true);
    if (rowPosition > 0) TwistRow(row, g, t.twist[rowPosition]);
}

}  // namespace numen::x87passes
