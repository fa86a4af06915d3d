// The radix-p passes around the kernels (MixedRadixPass.h), baseline form.
// One template per p, so the p-point sums unroll into straight code: with
// z = e^{-2 pi i/p} and h = (p-1)/2, the pairs s_q = x_q + x_{p-q},
// d_q = x_q - x_{p-q} give
//     A_k = x_0 + sum_q cos(2 pi kq/p) s_q,   B_k = sum_q sin(2 pi kq/p) d_q,
//     a_k = A_k - i B_k,   a_{p-k} = A_k + i B_k   (k = 1 .. h),
// h^2 real-by-complex products per side instead of (p-1)^2 complex ones.
#include "arith/MixedRadixPass.h"

#include <cmath>
#include <numbers>

#include "arith/ArithmeticFault.h"

namespace numen {

namespace {

// a_k = sum_q z^{kq} x_q, in place.
template <uint32_t P>
inline void SmallTransform(double (&re)[P], double (&im)[P], const MixedRadixJob& z) {
    constexpr uint32_t H = (P - 1) / 2;
    double sr[H], si[H], dr[H], di[H];
    for (uint32_t q = 1; q <= H; ++q) {
        sr[q - 1] = re[q] + re[P - q];
        si[q - 1] = im[q] + im[P - q];
        dr[q - 1] = re[q] - re[P - q];
        di[q - 1] = im[q] - im[P - q];
    }
    double sumR = re[0], sumI = im[0];
    for (uint32_t q = 0; q < H; ++q) {
        sumR += sr[q];
        sumI += si[q];
    }
    for (uint32_t k = 1; k <= H; ++k) {
        double ar = re[0], ai = im[0], br = 0, bi = 0;
        for (uint32_t q = 0; q < H; ++q) {
            ar += z.cosine[k - 1][q] * sr[q];
            ai += z.cosine[k - 1][q] * si[q];
            br += z.sine[k - 1][q] * dr[q];
            bi += z.sine[k - 1][q] * di[q];
        }
        // -i B = (B.im, -B.re)
        re[k] = ar + bi;
        im[k] = ai - br;
        re[P - k] = ar - bi;
        im[P - k] = ai + br;
    }
    re[0] = sumR;
    im[0] = sumI;
}

// v_k := v_k w^{km}, k = 1 .. p-1, w^{km} = high * low from the tables.
template <uint32_t P>
inline void Rotate(double (&re)[P], double (&im)[P], const MixedRadixJob& t, uint32_t hi, uint32_t lo) {
    for (uint32_t k = 1; k < P; ++k) {
        const double* h = t.high + 2 * (size_t(k - 1) * t.highCount + hi);
        const double* l = t.low + 2 * (size_t(k - 1) * t.lowCount + lo);
        const double c = h[0] * l[0] - h[1] * l[1], s = h[1] * l[0] + h[0] * l[1];
        const double x = re[k], y = im[k];
        re[k] = x * c - y * s;
        im[k] = x * s + y * c;
    }
}

template <uint32_t P, bool kForward>
void Pass(Complex* array, const MixedRadixJob& t) {
    const size_t sub = t.subStride;
    const uint32_t g = t.rowLength, lowMask = t.lowCount - 1;
    for (uint32_t r = 0; r < t.rows; ++r) {
        Complex* base = array + size_t(r) * t.rowStride;
        for (uint32_t col = 0; col < g; ++col) {
            const uint32_t m = r * g + col;
            double re[P], im[P];
            for (uint32_t q = 0; q < P; ++q) {
                re[q] = base[q * sub + col].re;
                im[q] = base[q * sub + col].im;
            }
            if constexpr (kForward) {
                SmallTransform<P>(re, im, t);
                Rotate<P>(re, im, t, m >> t.lowShift, m & lowMask);
            } else {
                Rotate<P>(re, im, t, m >> t.lowShift, m & lowMask);
                SmallTransform<P>(re, im, t);
            }
            for (uint32_t q = 0; q < P; ++q) base[q * sub + col] = {re[q], im[q]};
        }
    }
}

MixedRadixJob JobOf(const MixedRadixTables& t) {
    MixedRadixJob job{};
    job.radix = t.radix;
    job.rows = t.rows;
    job.rowLength = t.rowLength;
    job.rowStride = t.rowStride;
    job.subStride = t.subStride();
    job.lowShift = t.lowShift;
    job.lowCount = 1u << t.lowShift;
    job.highCount = ((t.length - 1) >> t.lowShift) + 1;
    job.high = t.highRotation.data();
    job.low = t.lowRotation.data();
    for (int k = 0; k < 3; ++k)
        for (int q = 0; q < 3; ++q) {
            job.cosine[k][q] = t.cosine[k][q];
            job.sine[k][q] = t.sine[k][q];
        }
    return job;
}

template <bool kForward>
void Dispatch(Complex* array, const MixedRadixTables& t) {
    if (t.radix == 1) return;
    const MixedRadixJob job = JobOf(t);
    if (t.wide) return kForward ? MixedRadixForwardAvx2(array, job) : MixedRadixInverseAvx2(array, job);
    switch (t.radix) {
        case 3: return Pass<3, kForward>(array, job);
        case 5: return Pass<5, kForward>(array, job);
        case 7: return Pass<7, kForward>(array, job);
        default: throw ArithmeticFault("mixed-radix pass: radix not 1, 3, 5 or 7");
    }
}

}  // namespace

MixedRadixTables MixedRadixTablesFor(uint32_t radix, uint32_t rowLength, uint32_t rows, uint32_t rowStride,
                                     bool wide) {
    MixedRadixTables t;
    t.radix = radix;
    t.rowLength = rowLength;
    t.rows = rows;
    t.rowStride = rowStride;
    t.length = rowLength * rows;
    t.wide = wide && rowLength % 2 == 0;
    if (radix == 1) return t;
    uint32_t logM = 0;
    while ((1u << (logM + 1)) <= t.length) ++logM;
    t.lowShift = (logM + 1) / 2;
    const uint32_t lowCount = 1u << t.lowShift, highCount = ((t.length - 1) >> t.lowShift) + 1;
    const long double pi = std::numbers::pi_v<long double>;
    const uint64_t total = uint64_t(radix) * t.length;
    // w^{km} = e^{-2 pi i k m/(pM)}; the angle's numerator reduced mod pM.
    auto fill = [&](std::vector<double>& table, uint32_t count, uint32_t step) {
        table.resize(2 * size_t(radix - 1) * count);
        for (uint32_t k = 1; k < radix; ++k)
            for (uint32_t i = 0; i < count; ++i) {
                const uint64_t num = (uint64_t(k) * i * step) % total;
                const long double a = -2.0L * pi * static_cast<long double>(num) / static_cast<long double>(total);
                const size_t at = 2 * (size_t(k - 1) * count + i);
                table[at] = double(std::cos(a));
                table[at + 1] = double(std::sin(a));
            }
    };
    fill(t.highRotation, highCount, lowCount);
    fill(t.lowRotation, lowCount, 1);
    const uint32_t h = (radix - 1) / 2;
    for (uint32_t k = 1; k <= h; ++k)
        for (uint32_t q = 1; q <= h; ++q) {
            const long double a = 2.0L * pi * static_cast<long double>((k * q) % radix) / radix;
            t.cosine[k - 1][q - 1] = double(std::cos(a));
            t.sine[k - 1][q - 1] = double(std::sin(a));
        }
    return t;
}

void MixedRadixForward(Complex* array, const MixedRadixTables& t) { Dispatch<true>(array, t); }
void MixedRadixInverse(Complex* array, const MixedRadixTables& t) { Dispatch<false>(array, t); }

}  // namespace numen
