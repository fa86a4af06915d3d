// SSE2 family of the FFT kernels: the same unnormalised radix-4 transforms as
// the x87 reference family (decimation in frequency forward, bit-reversed
// order out; decimation in time inverse with the same forward-signed
// rotations, bit-reversed in, natural order out), with packed doubles.
//
// One complex value per register:
//
//     xmm  = | im | re |        high lane, low lane (memory order re, im)
//
// A rotation by e^{-i phi} takes (c, c) and (s, -s) and the swapped value:
//
//     v * (cos, cos)  +  | re | im | * | -sin | sin |   =  (re cos + im sin,
//                                                         im cos - re sin)
//
// and a product by -i is a swap and a sign flip of the high lane. The
// twiddle triples (phi = theta, 2 theta, 3 theta) are expanded into these
// pairs once per table entry and shared by every group of a level (and, in
// the column passes, by the four columns of a call).
//
// Column passes work on four adjacent columns per call: each leg of a
// butterfly is four registers, one per column, read from 64 contiguous
// bytes of one row. Row passes run in place, one level per sweep over the
// row; the last forward radix-4 level, the conjugated square and the first
// inverse radix-4 level are one sweep over blocks of 4 elements (of 8 when
// log2 g is odd, taking the radix-2 step on each side along). In the fused
// square, two complex values are transposed so that their real parts share
// one register and their imaginary parts another:
//
//     z0 = | b0 | a0 |  z1 = | b1 | a1 |   ->   re = | a1 | a0 |  im = | b1 | b0 |
//     conj(z^2):  re' = (re - im)(re + im),  im' = -2 re im,  then back.
//
// The twist and untwist of a two-pass row use the extended-precision
// recurrence of the x87 family, in long double, element by element; a row
// square runs the recurrence once and keeps its factors for the untwist.
//
// Method: Cooley and Tukey's radix-4 split (Gentleman and Sande ordering for
// the forward pass); the four-step transform of Bailey for two passes.
#include <emmintrin.h>

#ifndef __SSE2__
#error "arith/kernels/sse2.cpp needs SSE2 (baseline on every x86-64 target)"
#endif

#include <cassert>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "arith/kernels/KernelFamily.h"
#include "arith/kernels/Twiddles.h"

namespace numen {
namespace {

using V = __m128d;

inline V Load(const Complex* p) { return _mm_load_pd(&p->re); }
inline void Store(Complex* p, V v) { _mm_store_pd(&p->re, v); }
inline V Swap(V v) { return _mm_shuffle_pd(v, v, 1); }

// Sign masks of the high lane and of the low lane.
inline V HighSign() { return _mm_set_pd(-0.0, 0.0); }
inline V LowSign() { return _mm_set_pd(0.0, -0.0); }

// v * (-i) = (im, -re).
inline V MulMinusI(V v) { return _mm_xor_pd(Swap(v), HighSign()); }

// A rotation by e^{-i phi}: c = (cos phi, cos phi), s = (sin phi, -sin phi).
struct Rotation {
    V c;
    V s;
};
inline V Rotate(V v, const Rotation& r) {
    return _mm_add_pd(_mm_mul_pd(v, r.c), _mm_mul_pd(Swap(v), r.s));
}

// The three rotations of one butterfly: by theta (leg 2 of the forward
// butterfly), 2 theta (leg 1) and 3 theta (leg 3).
struct Rotations {
    Rotation r1;
    Rotation r2;
    Rotation r3;
};

// Row layout entry: cos t, cos t, sin t, sin t, cos 2t, cos 2t, sin 2t, sin 2t.
// The row table has no 3t; its pair comes from t and 2t by the addition
// theorems, one rounding away from the tabled value.
inline Rotations RowEntry(const double* e) {
    const V c1 = _mm_load_pd(e);
    const V s1 = _mm_load_pd(e + 2);
    const V c2 = _mm_load_pd(e + 4);
    const V s2 = _mm_load_pd(e + 6);
    const V c3 = _mm_sub_pd(_mm_mul_pd(c1, c2), _mm_mul_pd(s1, s2));
    const V s3 = _mm_add_pd(_mm_mul_pd(s1, c2), _mm_mul_pd(c1, s2));
    return {{c1, _mm_xor_pd(s1, HighSign())},
            {c2, _mm_xor_pd(s2, HighSign())},
            {c3, _mm_xor_pd(s3, HighSign())}};
}

// Column layout entry: cos t, cos 3t, sin t, -sin 3t, cos 2t, cos 2t,
// sin 2t, -sin 2t.
inline Rotations ColumnEntry(const double* e) {
    const V c13 = _mm_load_pd(e);      // | cos 3t  | cos t |
    const V s13 = _mm_load_pd(e + 2);  // | -sin 3t | sin t |
    const V s1 = _mm_unpacklo_pd(s13, s13);
    const V s3 = _mm_unpackhi_pd(s13, s13);
    return {{_mm_unpacklo_pd(c13, c13), _mm_xor_pd(s1, HighSign())},
            {_mm_load_pd(e + 4), _mm_load_pd(e + 6)},
            {_mm_unpackhi_pd(c13, c13), _mm_xor_pd(s3, LowSign())}};
}

struct RowTable {
    const double* t;
    Rotations operator()(size_t i) const { return RowEntry(t + 8 * i); }
};
struct ColumnTable {
    const double* t;
    Rotations operator()(size_t i) const { return ColumnEntry(t + 8 * i); }
};

// ---------------------------------------------------------------------------
// Butterflies on W adjacent columns (W = 1 for a row). p points at leg 0,
// legs are d elements apart.

// Forward radix-4: u0 = x0 + x2, u1 = x1 + x3, u2 = x0 - x2, u3 = x1 - x3;
// slots 0..3 get u0 + u1, (u0 - u1) e^{-2it}, (u2 - i u3) e^{-it},
// (u2 + i u3) e^{-3it}.
template <int W, bool Rotated>
inline void Forward4(Complex* p, size_t d, const Rotations& t) {
    for (int w = 0; w < W; ++w) {
        const V x0 = Load(p + w), x1 = Load(p + d + w);
        const V x2 = Load(p + 2 * d + w), x3 = Load(p + 3 * d + w);
        const V u0 = _mm_add_pd(x0, x2), u2 = _mm_sub_pd(x0, x2);
        const V u1 = _mm_add_pd(x1, x3), u3 = MulMinusI(_mm_sub_pd(x1, x3));
        V y1 = _mm_sub_pd(u0, u1), y2 = _mm_add_pd(u2, u3), y3 = _mm_sub_pd(u2, u3);
        if constexpr (Rotated) {
            y1 = Rotate(y1, t.r2);
            y2 = Rotate(y2, t.r1);
            y3 = Rotate(y3, t.r3);
        }
        Store(p + w, _mm_add_pd(u0, u1));
        Store(p + d + w, y1);
        Store(p + 2 * d + w, y2);
        Store(p + 3 * d + w, y3);
    }
}

// Inverse radix-4: w1 = s1 e^{-2it}, w2 = s2 e^{-it}, w3 = s3 e^{-3it};
// P = s0 + w1, Q = s0 - w1, R = w2 + w3, T = w2 - w3;
// slots 0..3 get P + R, Q - iT, P - R, Q + iT.
template <int W, bool Rotated>
inline void Inverse4(Complex* p, size_t d, const Rotations& t) {
    for (int w = 0; w < W; ++w) {
        const V s0 = Load(p + w);
        V w1 = Load(p + d + w), w2 = Load(p + 2 * d + w), w3 = Load(p + 3 * d + w);
        if constexpr (Rotated) {
            w1 = Rotate(w1, t.r2);
            w2 = Rotate(w2, t.r1);
            w3 = Rotate(w3, t.r3);
        }
        const V P = _mm_add_pd(s0, w1), Q = _mm_sub_pd(s0, w1);
        const V R = _mm_add_pd(w2, w3), T = MulMinusI(_mm_sub_pd(w2, w3));
        Store(p + w, _mm_add_pd(P, R));
        Store(p + d + w, _mm_add_pd(Q, T));
        Store(p + 2 * d + w, _mm_sub_pd(P, R));
        Store(p + 3 * d + w, _mm_sub_pd(Q, T));
    }
}

// v * e^{-ik pi/4} for k = 0 .. 3, the rotations of the radix-2 step.
template <int K>
inline V EighthRotate(V v) {
    const V h = _mm_set1_pd(0.70710678118654752440);
    if constexpr (K == 0) {
        return v;
    } else if constexpr (K == 1) {
        return _mm_mul_pd(_mm_add_pd(v, MulMinusI(v)), h);  // sqrt(1/2) (1 - i) v
    } else if constexpr (K == 2) {
        return MulMinusI(v);
    } else {
        return _mm_mul_pd(_mm_sub_pd(MulMinusI(v), v), h);  // sqrt(1/2) (-1 - i) v
    }
}

// Forward radix-2 step of a sub-length 8: elements k and k + 4 (stride s)
// become x_k + x_{k+4} and (x_k - x_{k+4}) e^{-ik pi/4}.
template <int W, int K>
inline void Forward2Leg(Complex* p, size_t s) {
    for (int w = 0; w < W; ++w) {
        const V a = Load(p + K * s + w), b = Load(p + (K + 4) * s + w);
        Store(p + K * s + w, _mm_add_pd(a, b));
        Store(p + (K + 4) * s + w, EighthRotate<K>(_mm_sub_pd(a, b)));
    }
}
template <int W>
inline void Forward2(Complex* p, size_t s) {
    Forward2Leg<W, 0>(p, s);
    Forward2Leg<W, 1>(p, s);
    Forward2Leg<W, 2>(p, s);
    Forward2Leg<W, 3>(p, s);
}

// Its mirror: y = x_{k+4} e^{-ik pi/4}; x_k + y and x_k - y.
template <int W, int K>
inline void Inverse2Leg(Complex* p, size_t s) {
    for (int w = 0; w < W; ++w) {
        const V a = Load(p + K * s + w), y = EighthRotate<K>(Load(p + (K + 4) * s + w));
        Store(p + K * s + w, _mm_add_pd(a, y));
        Store(p + (K + 4) * s + w, _mm_sub_pd(a, y));
    }
}
template <int W>
inline void Inverse2(Complex* p, size_t s) {
    Inverse2Leg<W, 0>(p, s);
    Inverse2Leg<W, 1>(p, s);
    Inverse2Leg<W, 2>(p, s);
    Inverse2Leg<W, 3>(p, s);
}

// ---------------------------------------------------------------------------
// Levels over a length m (stride s elements, W columns).

// At a level with quarter span q the butterfly at offset j uses table entry
// j * m / (4q). The offsets are taken in runs of up to kRun: the rotations
// of a run are expanded first, then every group is swept over that run. A
// run walks each leg sequentially, so every cache line is loaded once per
// level, and groups of a long row (legs 4 KB apart or more, all in one
// cache set) are never revisited offset by offset.
constexpr size_t kRun = 64;

template <int W, bool Inverse, class Table>
void Radix4Level(Complex* a, size_t m, size_t s, size_t q, const Table& table) {
    const size_t span = 4 * q;
    const size_t step = m / span;
    const size_t d = q * s;
    Rotations t[kRun];
    for (size_t j0 = 0; j0 < q; j0 += kRun) {
        const size_t j1 = j0 + kRun < q ? j0 + kRun : q;
        for (size_t j = j0 == 0 ? 1 : j0; j < j1; ++j) t[j - j0] = table(j * step);
        for (size_t g0 = 0; g0 < m; g0 += span) {
            Complex* p = a + (g0 + j0) * s;
            size_t j = j0;
            if (j == 0) {  // offset 0: no rotation
                if constexpr (Inverse) {
                    Inverse4<W, false>(p, d, t[0]);
                } else {
                    Forward4<W, false>(p, d, t[0]);
                }
                p += s;
                ++j;
            }
            for (; j < j1; ++j, p += s) {
                if constexpr (Inverse) {
                    Inverse4<W, true>(p, d, t[j - j0]);
                } else {
                    Forward4<W, true>(p, d, t[j - j0]);
                }
            }
        }
    }
}

// Forward radix-4 levels down to sub-length 8 or 16; returns the quarter
// span left (2: a radix-2 step is due; 1: only the last radix-4 level).
template <int W, class Table>
size_t ForwardLevels(Complex* a, size_t m, size_t s, const Table& table) {
    size_t q = m / 4;
    for (; q >= 4; q /= 4) Radix4Level<W, false>(a, m, s, q, table);
    return q;
}

// Inverse radix-4 levels from quarter span q up to m/4.
template <int W, class Table>
void InverseLevels(Complex* a, size_t m, size_t s, size_t q, const Table& table) {
    for (; q <= m / 4; q *= 4) Radix4Level<W, true>(a, m, s, q, table);
}

// The complete forward pass (Algorithm of the x87 family, last level included).
template <int W, class Table>
void ForwardPass(Complex* a, size_t m, size_t s, const Table& table) {
    const Rotations none{};
    if (ForwardLevels<W>(a, m, s, table) == 2) {
        for (size_t g0 = 0; g0 < m; g0 += 8) Forward2<W>(a + g0 * s, s);
    }
    for (size_t g0 = 0; g0 < m; g0 += 4) Forward4<W, false>(a + g0 * s, s, none);
}

// The complete inverse pass, bit-reversed in, natural order out.
template <int W, class Table>
void InversePass(Complex* a, size_t m, size_t s, const Table& table) {
    const Rotations none{};
    for (size_t g0 = 0; g0 < m; g0 += 4) Inverse4<W, false>(a + g0 * s, s, none);
    size_t q = 4;
    if ((m & 0x5555555555555555ull) == 0) {  // log2 m odd: radix-8 head
        for (size_t g0 = 0; g0 < m; g0 += 8) Inverse2<W>(a + g0 * s, s);
        q = 8;
    }
    InverseLevels<W>(a, m, s, q, table);
}

// ---------------------------------------------------------------------------
// The fused innermost step of a row square.

// conj(z^2) of two values at once, transposed to (re, re), (im, im).
inline void ConjSquarePair(V& z0, V& z1) {
    const V re = _mm_unpacklo_pd(z0, z1);
    const V im = _mm_unpackhi_pd(z0, z1);
    const V nre = _mm_mul_pd(_mm_sub_pd(re, im), _mm_add_pd(re, im));
    const V nim = _mm_mul_pd(_mm_mul_pd(re, im), _mm_set1_pd(-2.0));
    z0 = _mm_unpacklo_pd(nre, nim);
    z1 = _mm_unpackhi_pd(nre, nim);
}

// Last forward radix-4 butterfly, conj(z^2) of its four outputs, first
// inverse radix-4 butterfly, all in registers.
inline void ForwardSquareInverse4(V& x0, V& x1, V& x2, V& x3) {
    const V u0 = _mm_add_pd(x0, x2), u2 = _mm_sub_pd(x0, x2);
    const V u1 = _mm_add_pd(x1, x3), u3 = MulMinusI(_mm_sub_pd(x1, x3));
    V z0 = _mm_add_pd(u0, u1), z1 = _mm_sub_pd(u0, u1);
    V z2 = _mm_add_pd(u2, u3), z3 = _mm_sub_pd(u2, u3);
    ConjSquarePair(z0, z1);
    ConjSquarePair(z2, z3);
    const V P = _mm_add_pd(z0, z1), Q = _mm_sub_pd(z0, z1);
    const V R = _mm_add_pd(z2, z3), T = MulMinusI(_mm_sub_pd(z2, z3));
    x0 = _mm_add_pd(P, R);
    x1 = _mm_add_pd(Q, T);
    x2 = _mm_sub_pd(P, R);
    x3 = _mm_sub_pd(Q, T);
}

// Blocks of 4 (log2 g even).
void SquareBlocks4(Complex* row, size_t g) {
    for (size_t k = 0; k < g; k += 4) {
        Complex* p = row + k;
        V x0 = Load(p), x1 = Load(p + 1), x2 = Load(p + 2), x3 = Load(p + 3);
        ForwardSquareInverse4(x0, x1, x2, x3);
        Store(p, x0);
        Store(p + 1, x1);
        Store(p + 2, x2);
        Store(p + 3, x3);
    }
}

// Blocks of 8 (log2 g odd): the forward radix-2 step, two fused blocks of 4,
// the inverse radix-2 step.
void SquareBlocks8(Complex* row, size_t g) {
    for (size_t k = 0; k < g; k += 8) {
        Complex* p = row + k;
        V a0 = Load(p), a1 = Load(p + 1), a2 = Load(p + 2), a3 = Load(p + 3);
        V b0 = Load(p + 4), b1 = Load(p + 5), b2 = Load(p + 6), b3 = Load(p + 7);
        V c0 = _mm_add_pd(a0, b0), d0 = _mm_sub_pd(a0, b0);
        V c1 = _mm_add_pd(a1, b1), d1 = EighthRotate<1>(_mm_sub_pd(a1, b1));
        V c2 = _mm_add_pd(a2, b2), d2 = EighthRotate<2>(_mm_sub_pd(a2, b2));
        V c3 = _mm_add_pd(a3, b3), d3 = EighthRotate<3>(_mm_sub_pd(a3, b3));
        ForwardSquareInverse4(c0, c1, c2, c3);
        ForwardSquareInverse4(d0, d1, d2, d3);
        d1 = EighthRotate<1>(d1);
        d2 = EighthRotate<2>(d2);
        d3 = EighthRotate<3>(d3);
        Store(p, _mm_add_pd(c0, d0));
        Store(p + 4, _mm_sub_pd(c0, d0));
        Store(p + 1, _mm_add_pd(c1, d1));
        Store(p + 5, _mm_sub_pd(c1, d1));
        Store(p + 2, _mm_add_pd(c2, d2));
        Store(p + 6, _mm_sub_pd(c2, d2));
        Store(p + 3, _mm_add_pd(c3, d3));
        Store(p + 7, _mm_sub_pd(c3, d3));
    }
}

// ---------------------------------------------------------------------------
// Twist of a two-pass row: element k (1 <= k < g) times e^{-ik phi}, the
// factors from the extended-precision recurrence (cos phi, sin phi) =
// (cot phi sin phi, sin phi), (c', s') = (sin phi (cot phi c - s),
// sin phi (c + cot phi s)); each product formed in extended precision.
// The untwist applies the very same factors again. The recurrence is one
// long chain of dependent x87 operations (several times the cost of the
// products), so RowSquare keeps the factors of the twist in `keep`
// (2 (g - 1) values) and the untwist reads them back instead of running it
// a second time.
void TwistRow(Complex* row, uint32_t g, const TwistEntry& e, long double* keep) {
    const long double cot = e.cot;
    const long double sn = e.sin;
    long double c = cot * sn;
    long double s = sn;
    for (uint32_t k = 1; k < g; ++k) {
        const long double x = row[k].re;
        const long double y = row[k].im;
        row[k].re = static_cast<double>(x * c + y * s);
        row[k].im = static_cast<double>(y * c - x * s);
        if (keep) {
            keep[2 * k - 2] = c;
            keep[2 * k - 1] = s;
        }
        const long double next = sn * (cot * c - s);
        s = sn * (c + cot * s);
        c = next;
    }
}

void UntwistRow(Complex* row, uint32_t g, const long double* kept) {
    for (uint32_t k = 1; k < g; ++k) {
        const long double c = kept[2 * k - 2];
        const long double s = kept[2 * k - 1];
        const long double x = row[k].re;
        const long double y = row[k].im;
        row[k].re = static_cast<double>(x * c + y * s);
        row[k].im = static_cast<double>(y * c - x * s);
    }
}

// ---------------------------------------------------------------------------
// The family's entry points.

void ColumnForwardSse2(Complex* firstColumn, uint32_t b, uint32_t stride, const KernelTables& t) {
    assert(t.rows == b && t.columnSse2 != nullptr);
    ForwardPass<4>(firstColumn, b, stride, ColumnTable{t.columnSse2});
}

void ColumnInverseSse2(Complex* firstColumn, uint32_t b, uint32_t stride, const KernelTables& t) {
    assert(t.rows == b && t.columnSse2 != nullptr);
    InversePass<4>(firstColumn, b, stride, ColumnTable{t.columnSse2});
}

void RowSquareSse2(Complex* array, uint32_t g, uint32_t rows, uint32_t gap, const KernelTables& t) {
    assert(t.rowLength == g && g >= 16 && t.rows == rows);
    const RowTable table{t.rowSse2};
    const TwistEntry* twist = t.twist;
    const bool oddLog = (g & 0x55555555u) == 0;
    thread_local std::vector<long double> factors;
    if (rows > 1 && factors.size() < 2 * size_t(g)) factors.resize(2 * size_t(g));
    for (uint32_t r = 0; r < rows; ++r) {
        Complex* row = array + static_cast<size_t>(r) * (g + gap);
        if (r > 0) TwistRow(row, g, twist[r], factors.data());
        ForwardLevels<1>(row, g, 1, table);
        if (oddLog) {
            SquareBlocks8(row, g);
            InverseLevels<1>(row, g, 1, 8, table);
        } else {
            SquareBlocks4(row, g);
            InverseLevels<1>(row, g, 1, 4, table);
        }
        if (r > 0) UntwistRow(row, g, factors.data());
    }
}

void RowForwardSse2(Complex* row, uint32_t g, uint32_t rowPosition, const KernelTables& t) {
    assert(t.rowLength == g && g >= 16 && rowPosition < t.rows);
    if (rowPosition > 0) TwistRow(row, g, t.twist[rowPosition], nullptr);
    ForwardPass<1>(row, g, 1, RowTable{t.rowSse2});
}

void RowInverseSse2(Complex* row, uint32_t g, uint32_t rowPosition, const KernelTables& t) {
    assert(t.rowLength == g && g >= 16 && rowPosition < t.rows);
    InversePass<1>(row, g, 1, RowTable{t.rowSse2});
    if (rowPosition > 0) TwistRow(row, g, t.twist[rowPosition], nullptr);
}

// a := conj(a b): with t1 = a (br, br) = (ar br, ai br) and
// t2 = swap(a) (bi, bi) = (ai bi, ar bi), conj(a b) = (t1 with its high
// lane negated) - t2.
void PointwiseMultiplySse2(Complex* a, const Complex* b, uint32_t g) {
    for (uint32_t k = 0; k < g; ++k) {
        const V x = Load(a + k);
        const V y = Load(b + k);
        const V t1 = _mm_mul_pd(x, _mm_unpacklo_pd(y, y));
        const V t2 = _mm_mul_pd(Swap(x), _mm_unpackhi_pd(y, y));
        Store(a + k, _mm_sub_pd(_mm_xor_pd(t1, HighSign()), t2));
    }
}

}  // namespace

const KernelFamily& Sse2Kernels() {
    static const KernelFamily family{
        "sse2",
        4,
        ColumnForwardSse2,
        ColumnInverseSse2,
        RowSquareSse2,
        RowForwardSse2,
        RowInverseSse2,
        PointwiseMultiplySse2,
        0,
        nullptr,
        nullptr,
    };
    return family;
}

}  // namespace numen
