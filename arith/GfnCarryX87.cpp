// The carry pass of the generalized-Fermat transform in 80-bit arithmetic,
// with and without PREFETCHT0 hints (processors with SSE but the x87 path).
//
// For element j with weight (c, s) and stored value z = (f, e):
//
//     after a square:   p + i q = conj(z (c - i s)) h = (c f + s e) + i (s f - c e), times h
//     small multiply:   p + i q = z (c + i s) h       = (c f - s e) + i (s f + c e), times h
//
//     P, Q = p, q rounded (+- 3 2^62);  error = max |p - P|, |q - Q|
//     real chain:  t = P + carryR, carryR = round(t / B), dr = t - carryR B
//     imag chain:  t = Q + carryI, carryI = round(t / B), di = t - carryI B
//     store (dr + i di)(c - i s)
//
// h = a/L after a square (the kernels return L times the product), h = a
// for a small multiply. The wrap of the final carries is GfnTransform.cpp's.
#include <algorithm>
#include <cmath>

#include "arith/GfnState.h"

namespace numen {

namespace {

constexpr long double kRound = 3.0L * 4611686018427387904.0L;

// Elements ahead of the current one that the prefetching pass asks for: four
// cache lines, about one pass step's latency on the processors it serves.
constexpr uint32_t kPrefetchAhead = 16;

template <bool kPrefetch>
void CarryPass(GfnPassJob& job) {
    const long double radix = job.radix, inverse = job.inverseRadix;
    const long double cot = job.stepCot, sin = job.stepSin;
    const long double h = job.scale;
    const bool fromSquare = job.fromSquare;
    const uint32_t g = job.rowLength, rows = job.rows, stride = job.rowStride;
    long double carryR = 0, carryI = 0;
    long double err = job.maxError;
    for (uint32_t r = 0; r < rows; ++r) {
        Complex* row = job.array + size_t(r) * stride;
        long double c = job.rowStarts[r].re, s = job.rowStarts[r].im;
        for (uint32_t k = 0; k < g; ++k) {
            if constexpr (kPrefetch) {
                if (k + kPrefetchAhead < g) __builtin_prefetch(row + k + kPrefetchAhead, 1, 3);
            }
            const long double f = row[k].re, e = row[k].im;
            long double p, q;
            if (fromSquare) {
                p = (c * f + s * e) * h;
                q = (s * f - c * e) * h;
            } else {
                p = (c * f - s * e) * h;
                q = (s * f + c * e) * h;
            }
            const long double vp = p + kRound, vq = q + kRound;
            const long double P = vp - kRound, Q = vq - kRound;
            const long double d = std::max(std::fabs(p - P), std::fabs(q - Q));
            if (!(d <= err)) err = d;  // a NaN is kept: it fails the guard
            const long double tr = P + carryR, ti = Q + carryI;
            const long double vr = tr * inverse + kRound, vi = ti * inverse + kRound;
            carryR = vr - kRound;
            carryI = vi - kRound;
            const long double dr = tr - carryR * radix, di = ti - carryI * radix;
            row[k].re = double(c * dr + s * di);
            row[k].im = double(c * di - s * dr);
            const long double nc = sin * (cot * c - s);
            s = sin * (c + cot * s);
            c = nc;
        }
    }
    job.carryR = carryR;
    job.carryI = carryI;
    job.maxError = float(err);
}

}  // namespace

void GfnCarryPassX87(GfnPassJob& job) { CarryPass<false>(job); }
void GfnCarryPassX87Prefetch(GfnPassJob& job) { CarryPass<true>(job); }

}  // namespace numen
