// The carry pass of the weighted transform on AVX2 and FMA
// (WeightedSweeps.h). Compiled with -mavx2 -mfma, called only where the
// plan's squaring family is an AVX one. Internal linkage throughout and no
// standard-library templates (see arith/kernels/README.md).
//
// Sweeps 1 and 3 take four elements a step: two 256-bit loads, split into
// real and imaginary parts (unpack, then a lane permutation back to element
// order), and the same arithmetic as the scalar sweeps with fused
// multiply-adds. Sweep 2 runs 16 carry chains in four registers: four
// consecutive digits of four segments are loaded and transposed, so that
// each step of a chain is one register operation per four chains; the
// base of each digit comes from one mask word per block (a variable shift
// brings the digit's bit to the sign, which selects the wider base).
#include <immintrin.h>

#include <cstddef>
#include <cstdint>

#include "arith/kernels/WeightedSweeps.h"

namespace numen {
namespace {

using V = __m256d;

constexpr double kLargest = 1125899906842624.0;  // 2^50

inline V RoundV(V x) { return _mm256_round_pd(x, _MM_FROUND_TO_NEAREST_INT | _MM_FROUND_NO_EXC); }
inline V AbsV(V x) { return _mm256_andnot_pd(_mm256_set1_pd(-0.0), x); }
// Lanes of a NaN or of |x| >= 2^50.
inline V Bad(V x) { return _mm256_cmp_pd(AbsV(x), _mm256_set1_pd(kLargest), _CMP_NLT_UQ); }

// Elements 4c .. 4c + 3 of a row: real and imaginary parts in element order.
inline void LoadElements(const double* p, V& re, V& im) {
    const V z0 = _mm256_loadu_pd(p), z1 = _mm256_loadu_pd(p + 4);
    re = _mm256_permute4x64_pd(_mm256_unpacklo_pd(z0, z1), 0xD8);
    im = _mm256_permute4x64_pd(_mm256_unpackhi_pd(z0, z1), 0xD8);
}

inline void StoreElements(double* p, V re, V im) {
    const V lo = _mm256_unpacklo_pd(re, im), hi = _mm256_unpackhi_pd(re, im);
    _mm256_storeu_pd(p, _mm256_permute2f128_pd(lo, hi, 0x20));
    _mm256_storeu_pd(p + 4, _mm256_permute2f128_pd(lo, hi, 0x31));
}

inline double LargestLane(V x) {
    const __m128d h = _mm_max_pd(_mm256_castpd256_pd128(x), _mm256_extractf128_pd(x, 1));
    return _mm_cvtsd_f64(_mm_max_sd(h, _mm_unpackhi_pd(h, h)));
}

inline void Transpose(V& a, V& b, V& c, V& d) {
    const V t0 = _mm256_unpacklo_pd(a, b), t1 = _mm256_unpackhi_pd(a, b);
    const V t2 = _mm256_unpacklo_pd(c, d), t3 = _mm256_unpackhi_pd(c, d);
    a = _mm256_permute2f128_pd(t0, t2, 0x20);
    b = _mm256_permute2f128_pd(t1, t3, 0x20);
    c = _mm256_permute2f128_pd(t0, t2, 0x31);
    d = _mm256_permute2f128_pd(t1, t3, 0x31);
}

template <bool kFromSquare>
double UnweightNegacyclic(const WeightedSweepJob& job, double scale) {
    const uint32_t g = job.rowLength, L = job.length;
    const V vscale = _mm256_set1_pd(scale), vneg = _mm256_set1_pd(-scale);
    V err = _mm256_setzero_pd(), bad = _mm256_setzero_pd();
    for (uint32_t r = 0; r < job.rows; ++r) {
        const double* row = job.array + 2 * size_t(r) * job.rowStride;
        const double* iw = job.inverseWeight + size_t(r) * g;
        double* out = job.digits + size_t(r) * g;
        const V rc = _mm256_set1_pd(job.rotationRows[2 * r]), rs = _mm256_set1_pd(job.rotationRows[2 * r + 1]);
        for (uint32_t col = 0; col < g; col += 4) {
            const V cc = _mm256_loadu_pd(job.columnCos + col), cs = _mm256_loadu_pd(job.columnSin + col);
            const V C = _mm256_fmsub_pd(rc, cc, _mm256_mul_pd(rs, cs));
            const V S = _mm256_fmadd_pd(rs, cc, _mm256_mul_pd(rc, cs));
            V f, e;
            LoadElements(row + 2 * col, f, e);
            V p, q;
            if constexpr (kFromSquare) {
                p = _mm256_mul_pd(_mm256_fmsub_pd(f, C, _mm256_mul_pd(e, S)), vscale);
                q = _mm256_mul_pd(_mm256_fmadd_pd(f, S, _mm256_mul_pd(e, C)), vneg);
            } else {
                p = _mm256_mul_pd(_mm256_fmadd_pd(f, C, _mm256_mul_pd(e, S)), vscale);
                q = _mm256_mul_pd(_mm256_fmsub_pd(e, C, _mm256_mul_pd(f, S)), vscale);
            }
            p = _mm256_mul_pd(p, _mm256_loadu_pd(iw + col));
            q = _mm256_mul_pd(q, _mm256_loadu_pd(iw + col + L));
            const V P = RoundV(p), Q = RoundV(q);
            err = _mm256_max_pd(err, _mm256_max_pd(AbsV(_mm256_sub_pd(p, P)), AbsV(_mm256_sub_pd(q, Q))));
            bad = _mm256_or_pd(bad, _mm256_or_pd(Bad(p), Bad(q)));
            _mm256_storeu_pd(out + col, P);
            _mm256_storeu_pd(out + col + L, Q);
        }
    }
    if (_mm256_movemask_pd(bad) != 0) return __builtin_nan("");
    return LargestLane(err);
}

double UnweightCyclic(const WeightedSweepJob& job, double scale) {
    const uint32_t g = job.rowLength;
    const V vscale = _mm256_set1_pd(scale);
    V err = _mm256_setzero_pd(), bad = _mm256_setzero_pd();
    for (uint32_t r = 0; r < job.rows; ++r) {
        const double* row = job.array + 2 * size_t(r) * job.rowStride;
        const double* iw = job.inverseWeight + size_t(r) * g;
        double* out = job.digits + size_t(r) * g;
        for (uint32_t col = 0; col < g; col += 4) {
            V f, e;
            LoadElements(row + 2 * col, f, e);
            const V u = _mm256_mul_pd(vscale, _mm256_loadu_pd(iw + col));
            const V p = _mm256_mul_pd(f, u), q = _mm256_mul_pd(e, u);
            const V P = RoundV(p);
            // The imaginary part of a real square is round-off alone.
            err = _mm256_max_pd(err, _mm256_max_pd(AbsV(_mm256_sub_pd(p, P)), AbsV(q)));
            bad = _mm256_or_pd(bad, _mm256_or_pd(Bad(p), Bad(q)));
            _mm256_storeu_pd(out + col, P);
        }
    }
    if (_mm256_movemask_pd(bad) != 0) return __builtin_nan("");
    return LargestLane(err);
}

// d + carry split into a balanced digit and the carry out; `wide` has the
// sign set in lanes whose digit has the wider base.
inline void CarryStep(V& d, V& carry, V wide, V narrowBase, V narrowInverse, V wideBase, V wideInverse) {
    const V base = _mm256_blendv_pd(narrowBase, wideBase, wide);
    const V inverse = _mm256_blendv_pd(narrowInverse, wideInverse, wide);
    const V x = _mm256_add_pd(d, carry);
    carry = RoundV(_mm256_mul_pd(x, inverse));
    d = _mm256_fnmadd_pd(carry, base, x);
}

// One block of four digits of four segments (digits at p[0], p[run], ...).
inline void CarryBlock(double* p, size_t run, uint64_t mask, uint32_t firstBit, V narrowBase, V narrowInverse,
                       V wideBase, V wideInverse, V& carry) {
    V d0 = _mm256_loadu_pd(p), d1 = _mm256_loadu_pd(p + run), d2 = _mm256_loadu_pd(p + 2 * run),
      d3 = _mm256_loadu_pd(p + 3 * run);
    Transpose(d0, d1, d2, d3);
    const __m256i m = _mm256_set1_epi64x(int64_t(mask));
    // Lane s of step t needs bit firstBit + 4 s + t at the sign.
    const __m256i shift0 = _mm256_set_epi64x(63 - (firstBit + 12), 63 - (firstBit + 8), 63 - (firstBit + 4),
                                             63 - firstBit);
    const __m256i one = _mm256_set1_epi64x(1);
    const __m256i shift1 = _mm256_sub_epi64(shift0, one), shift2 = _mm256_sub_epi64(shift1, one),
                  shift3 = _mm256_sub_epi64(shift2, one);
    auto wide = [&](__m256i shift) { return _mm256_castsi256_pd(_mm256_sllv_epi64(m, shift)); };
    CarryStep(d0, carry, wide(shift0), narrowBase, narrowInverse, wideBase, wideInverse);
    CarryStep(d1, carry, wide(shift1), narrowBase, narrowInverse, wideBase, wideInverse);
    CarryStep(d2, carry, wide(shift2), narrowBase, narrowInverse, wideBase, wideInverse);
    CarryStep(d3, carry, wide(shift3), narrowBase, narrowInverse, wideBase, wideInverse);
    Transpose(d0, d1, d2, d3);
    _mm256_storeu_pd(p, d0);
    _mm256_storeu_pd(p + run, d1);
    _mm256_storeu_pd(p + 2 * run, d2);
    _mm256_storeu_pd(p + 3 * run, d3);
}

}  // namespace

double WeightedUnweightAvx2(const WeightedSweepJob& job, double scale, bool fromSquare) {
    if (!job.negacyclic) return UnweightCyclic(job, scale);
    return fromSquare ? UnweightNegacyclic<true>(job, scale) : UnweightNegacyclic<false>(job, scale);
}

void WeightedReweightAvx2(const WeightedSweepJob& job) {
    const uint32_t g = job.rowLength, L = job.length;
    for (uint32_t r = 0; r < job.rows; ++r) {
        double* row = job.array + 2 * size_t(r) * job.rowStride;
        const double* w = job.weight + size_t(r) * g;
        const double* in = job.digits + size_t(r) * g;
        if (!job.negacyclic) {
            for (uint32_t col = 0; col < g; col += 4)
                StoreElements(row + 2 * col, _mm256_mul_pd(_mm256_loadu_pd(in + col), _mm256_loadu_pd(w + col)),
                              _mm256_setzero_pd());
            continue;
        }
        const V rc = _mm256_set1_pd(job.rotationRows[2 * r]), rs = _mm256_set1_pd(job.rotationRows[2 * r + 1]);
        for (uint32_t col = 0; col < g; col += 4) {
            const V cc = _mm256_loadu_pd(job.columnCos + col), cs = _mm256_loadu_pd(job.columnSin + col);
            const V C = _mm256_fmsub_pd(rc, cc, _mm256_mul_pd(rs, cs));
            const V S = _mm256_fmadd_pd(rs, cc, _mm256_mul_pd(rc, cs));
            const V ar = _mm256_mul_pd(_mm256_loadu_pd(in + col), _mm256_loadu_pd(w + col));
            const V ai = _mm256_mul_pd(_mm256_loadu_pd(in + col + L), _mm256_loadu_pd(w + col + L));
            StoreElements(row + 2 * col, _mm256_fmsub_pd(ar, C, _mm256_mul_pd(ai, S)),
                          _mm256_fmadd_pd(ar, S, _mm256_mul_pd(ai, C)));
        }
    }
}

void WeightedCarrySegmentsAvx2(const WeightedCarryJob& job) {
    const size_t run = job.run;
    const V nb = _mm256_set1_pd(job.narrowBase), ni = _mm256_set1_pd(job.narrowInverse);
    const V wb = _mm256_set1_pd(job.wideBase), wi = _mm256_set1_pd(job.wideInverse);
    V c0 = _mm256_loadu_pd(job.carries), c1 = _mm256_loadu_pd(job.carries + 4);
    V c2 = _mm256_loadu_pd(job.carries + 8), c3 = _mm256_loadu_pd(job.carries + 12);
    double* d = job.digits;
    for (size_t block = job.firstBlock; block < run / 4; ++block) {
        const uint64_t mask = job.wideMasks[block];
        double* p = d + 4 * block;
        CarryBlock(p, run, mask, 0, nb, ni, wb, wi, c0);
        CarryBlock(p + 4 * run, run, mask, 16, nb, ni, wb, wi, c1);
        CarryBlock(p + 8 * run, run, mask, 32, nb, ni, wb, wi, c2);
        CarryBlock(p + 12 * run, run, mask, 48, nb, ni, wb, wi, c3);
    }
    _mm256_storeu_pd(job.carries, c0);
    _mm256_storeu_pd(job.carries + 4, c1);
    _mm256_storeu_pd(job.carries + 8, c2);
    _mm256_storeu_pd(job.carries + 12, c3);
}

}  // namespace numen
