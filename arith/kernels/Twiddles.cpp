// Twiddle tables of the FFT kernels: the column tables (key b), the row
// tables (key g) and the four-step twist table (key g and b). Every sine and
// cosine is computed in 80-bit extended precision (sinl, cosl) from the
// exact angle 2*pi*i/m, then rounded once to double (or kept in 80 bits for
// the twist), so each entry is within half an ulp of the true value and no
// error accumulates along a table. Layouts: see Twiddles.h.
//
// A column table of length b holds b/4 entries (b/4 * 48 bytes x87, b/4 * 64
// bytes SSE2); a row table of length g the same for g (at most 1024 entries
// for g = 4096); the twist table b entries of 32 bytes. Filling costs about
// ten transcendental calls per entry, once per key.
#include "arith/kernels/Twiddles.h"

#include <cassert>
#include <cmath>
#include <new>
#include <vector>

#include "arith/ArithmeticFault.h"

namespace numen {

namespace {

constexpr long double kTwoPi = 6.283185307179586476925286766559005768L;
constexpr double kSqrtHalf = 0.7071067811865476;

[[maybe_unused]] bool IsPowerOfTwo(uint32_t m) { return m != 0 && (m & (m - 1)) == 0; }

// The `bits` low bits of d in reverse order.
uint32_t ReverseBits(uint32_t d, int bits) {
    uint32_t r = 0;
    for (int i = 0; i < bits; ++i, d >>= 1) r = (r << 1) | (d & 1);
    return r;
}

// Angle 2*pi*i/m; i*3 < 3m, exact in 80 bits.
long double Angle(uint32_t i, uint32_t m) { return kTwoPi * static_cast<long double>(i) / static_cast<long double>(m); }

template <class T>
void Resize(std::vector<T>& v, size_t n) {
    try {
        v.assign(n, T{});
    } catch (const std::bad_alloc&) {
        throw ArithmeticFault("not enough memory for the twiddle tables");
    }
}

// x87 entry i >= 1 of a table of length m: cot t, sin t, cot 2t, sin 2t, cot 3t, sin 3t.
void FillX87(std::vector<double>& x87, uint32_t m) {
    Resize(x87, size_t(m / 4) * 6);
    x87[0] = kSqrtHalf;
    x87[1] = 2.0;
    for (uint32_t i = 1; i < m / 4; ++i) {
        double* e = &x87[size_t(i) * 6];
        for (uint32_t k = 1; k <= 3; ++k) {
            const long double t = Angle(k * i, m);
            const long double s = sinl(t), c = cosl(t);
            e[2 * (k - 1)] = static_cast<double>(c / s);
            e[2 * (k - 1) + 1] = static_cast<double>(s);
        }
    }
}

struct ColumnState {
    uint32_t length = 0;   // 0: not filled (or invalidated)
    uint32_t stride = 0;
    std::vector<double> x87;
    std::vector<double> sse2;
};

struct RowState {
    uint32_t length = 0;   // 0: not filled (or invalidated)
    uint32_t rows = 0;
    std::vector<double> x87;
    std::vector<double> sse2;
    std::vector<TwistEntry> twist;
};

ColumnState& ColumnTables() {
    static ColumnState state;
    return state;
}

RowState& RowTables() {
    static RowState state;
    return state;
}

}  // namespace

void ColumnTwiddles::Prepare(uint32_t b, uint32_t strideElements) {
    assert(IsPowerOfTwo(b) && b >= 4);
    ColumnState& st = ColumnTables();
    st.stride = strideElements;
    if (st.length == b) return;
    st.length = 0;
    FillX87(st.x87, b);
    // SSE2 column entry: cos t, cos 3t, sin t, -sin 3t, cos 2t, cos 2t, sin 2t, -sin 2t.
    Resize(st.sse2, size_t(b / 4) * 8);
    const double head[8] = {kSqrtHalf, kSqrtHalf, -kSqrtHalf, kSqrtHalf, 2.0, 2.0, 0.0, 0.0};
    for (int k = 0; k < 8; ++k) st.sse2[k] = head[k];
    for (uint32_t i = 1; i < b / 4; ++i) {
        double* e = &st.sse2[size_t(i) * 8];
        const long double t1 = Angle(i, b), t2 = Angle(2 * i, b), t3 = Angle(3 * i, b);
        e[0] = static_cast<double>(cosl(t1));
        e[1] = static_cast<double>(cosl(t3));
        e[2] = static_cast<double>(sinl(t1));
        e[3] = static_cast<double>(-sinl(t3));
        e[4] = e[5] = static_cast<double>(cosl(t2));
        e[6] = static_cast<double>(sinl(t2));
        e[7] = -e[6];
    }
    st.length = b;
}

uint32_t ColumnTwiddles::Length() { return ColumnTables().length; }
uint32_t ColumnTwiddles::StrideElements() { return ColumnTables().stride; }
const double* ColumnTwiddles::X87() { return ColumnTables().x87.data(); }
const double* ColumnTwiddles::Sse2() { return ColumnTables().sse2.data(); }
void ColumnTwiddles::Invalidate() { ColumnTables().length = 0; }

void RowTwiddles::Prepare(uint32_t g, uint32_t b) {
    assert(IsPowerOfTwo(g) && g >= 4);
    assert(b == 0 || IsPowerOfTwo(b));
    RowState& st = RowTables();
    if (st.length == g && st.rows == b) return;
    const bool sameRowTables = st.length == g;
    st.length = 0;   // stays 0 if a fill below fails
    if (!sameRowTables) {
        FillX87(st.x87, g);
        // SSE2 row entry: cos t, cos t, sin t, sin t, cos 2t, cos 2t, sin 2t, sin 2t.
        Resize(st.sse2, size_t(g / 4) * 8);
        st.sse2[0] = st.sse2[1] = -2.0;
        for (uint32_t i = 1; i < g / 4; ++i) {
            double* e = &st.sse2[size_t(i) * 8];
            const long double t1 = Angle(i, g), t2 = Angle(2 * i, g);
            e[0] = e[1] = static_cast<double>(cosl(t1));
            e[2] = e[3] = static_cast<double>(sinl(t1));
            e[4] = e[5] = static_cast<double>(cosl(t2));
            e[6] = e[7] = static_cast<double>(sinl(t2));
        }
    }
    // One-pass use (b = 0) keeps whatever twist entries an earlier two-pass
    // use left: the kernels never twist row position 0, the only row.
    if (b != 0) {
        Resize(st.twist, b);
        const int bits = __builtin_ctz(b);
        const long double n = static_cast<long double>(g) * static_cast<long double>(b);
        for (uint32_t d = 1; d < b; ++d) {
            const uint32_t r = ReverseBits(d, bits);
            const long double phi = kTwoPi * static_cast<long double>(d) / n;
            const long double s = sinl(phi);
            st.twist[r] = TwistEntry{cosl(phi) / s, s};
        }
    }
    st.length = g;
    st.rows = b;
}

uint32_t RowTwiddles::Length() { return RowTables().length; }
uint32_t RowTwiddles::Rows() { return RowTables().rows; }
const double* RowTwiddles::X87() { return RowTables().x87.data(); }
const double* RowTwiddles::Sse2() { return RowTables().sse2.data(); }
const TwistEntry* RowTwiddles::Twist() { return RowTables().twist.data(); }
void RowTwiddles::Invalidate() {
    RowTables().length = 0;
    RowTables().rows = 0;
}

}  // namespace numen
