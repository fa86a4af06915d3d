// The lane carry pass of the generalized-Fermat transform with AVX2 and FMA
// (GfnLanes.h; the formulas are GfnCarryX87.cpp's). Compiled with -mavx2
// -mfma and called only on processors that have both.
//
// Four segments per vector, split into real and imaginary vectors: one load
// step takes element c of each lane's row (two 128-bit loads and two
// inserts) and two unpacks give (re of lanes 0-3) and (im of lanes 0-3); the
// store step undoes it. All lanes are at the same column, so the column
// weight is a broadcast and only the row weights differ per lane.
//
// Rounding is VROUNDPD to nearest, exact at every magnitude: the
// coefficients can approach 2^51 at the limit radix, where the usual
// 1.5 2^52 addition would round wrongly.
#include <immintrin.h>

#include <cstddef>
#include <cstdint>

#include "arith/GfnLanes.h"

namespace numen {

namespace {

constexpr int kNearest = _MM_FROUND_TO_NEAREST_INT | _MM_FROUND_NO_EXC;
constexpr uint32_t kLanes = 4;
constexpr uint32_t kGroups = kGfnSegmentsAvx2 / kLanes;
static_assert(kGroups * kLanes == kGfnSegmentsAvx2 && kGfnSegmentsAvx2 <= kGfnMaxSegments);

struct Group {
    __m256d rowCos, rowSin;    // weights of the lanes' current rows
    __m256d carryRe, carryIm;  // the lanes' chains
    __m256d error;
};

template <bool kFromSquare>
inline void Step(Group& q, double* const* lane, size_t offset, __m256d colCos, __m256d colSin, __m256d scale,
                 __m256d radix, __m256d inverse) {
    double* a = lane[0] + offset;
    double* b = lane[1] + offset;
    double* c = lane[2] + offset;
    double* d = lane[3] + offset;
    const __m256d ac = _mm256_insertf128_pd(_mm256_castpd128_pd256(_mm_load_pd(a)), _mm_load_pd(c), 1);
    const __m256d bd = _mm256_insertf128_pd(_mm256_castpd128_pd256(_mm_load_pd(b)), _mm_load_pd(d), 1);
    const __m256d f = _mm256_unpacklo_pd(ac, bd);  // re of lanes 0..3
    const __m256d e = _mm256_unpackhi_pd(ac, bd);  // im
    // (wc, ws) = (cos, sin) of the element's angle: row weight times column weight.
    const __m256d wc = _mm256_fmsub_pd(q.rowCos, colCos, _mm256_mul_pd(q.rowSin, colSin));
    const __m256d ws = _mm256_fmadd_pd(q.rowSin, colCos, _mm256_mul_pd(q.rowCos, colSin));
    __m256d p, r;
    if constexpr (kFromSquare) {  // conj(z (c - i s))
        p = _mm256_fmadd_pd(wc, f, _mm256_mul_pd(ws, e));
        r = _mm256_fmsub_pd(ws, f, _mm256_mul_pd(wc, e));
    } else {  // z (c + i s)
        p = _mm256_fmsub_pd(wc, f, _mm256_mul_pd(ws, e));
        r = _mm256_fmadd_pd(ws, f, _mm256_mul_pd(wc, e));
    }
    p = _mm256_mul_pd(p, scale);
    r = _mm256_mul_pd(r, scale);
    const __m256d P = _mm256_round_pd(p, kNearest), R = _mm256_round_pd(r, kNearest);
    const __m256d signBit = _mm256_set1_pd(-0.0);
    const __m256d distance = _mm256_max_pd(_mm256_andnot_pd(signBit, _mm256_sub_pd(p, P)),
                                           _mm256_andnot_pd(signBit, _mm256_sub_pd(r, R)));
    q.error = _mm256_max_pd(distance, q.error);  // a NaN distance is dropped here, caught by the carries
    const __m256d tr = _mm256_add_pd(P, q.carryRe), ti = _mm256_add_pd(R, q.carryIm);
    q.carryRe = _mm256_round_pd(_mm256_mul_pd(tr, inverse), kNearest);
    q.carryIm = _mm256_round_pd(_mm256_mul_pd(ti, inverse), kNearest);
    const __m256d dr = _mm256_fnmadd_pd(q.carryRe, radix, tr), di = _mm256_fnmadd_pd(q.carryIm, radix, ti);
    // (dr + i di)(c - i s)
    const __m256d outRe = _mm256_fmadd_pd(wc, dr, _mm256_mul_pd(ws, di));
    const __m256d outIm = _mm256_fmsub_pd(wc, di, _mm256_mul_pd(ws, dr));
    const __m256d outAc = _mm256_unpacklo_pd(outRe, outIm), outBd = _mm256_unpackhi_pd(outRe, outIm);
    _mm_store_pd(a, _mm256_castpd256_pd128(outAc));
    _mm_store_pd(c, _mm256_extractf128_pd(outAc, 1));
    _mm_store_pd(b, _mm256_castpd256_pd128(outBd));
    _mm_store_pd(d, _mm256_extractf128_pd(outBd, 1));
}

template <bool kFromSquare>
void Run(GfnLaneJob& job) {
    constexpr uint32_t S = kGfnSegmentsAvx2;
    const uint32_t G = job.laneRowLength, rowsPerSegment = job.laneRows / S;
    const __m256d scale = _mm256_set1_pd(job.scale);
    const __m256d radix = _mm256_set1_pd(job.radix), inverse = _mm256_set1_pd(job.inverseRadix);
    Group groups[kGroups];
    for (Group& q : groups) q.carryRe = q.carryIm = q.error = _mm256_setzero_pd();
    double* lane[S];
    for (uint32_t rr = 0; rr < rowsPerSegment; ++rr) {
        alignas(32) double cosines[S], sines[S];
        for (uint32_t k = 0; k < S; ++k) {
            const uint32_t v = k * rowsPerSegment + rr, j = v * G;
            lane[k] = job.array + 2 * (size_t(j / job.rowLength) * job.rowStride + j % job.rowLength);
            cosines[k] = job.rowWeights[2 * v];
            sines[k] = job.rowWeights[2 * v + 1];
        }
        for (uint32_t g = 0; g < kGroups; ++g) {
            groups[g].rowCos = _mm256_load_pd(cosines + kLanes * g);
            groups[g].rowSin = _mm256_load_pd(sines + kLanes * g);
        }
        for (uint32_t c = 0; c < G; ++c) {
            const __m256d colCos = _mm256_broadcast_sd(job.columnWeights + 2 * c);
            const __m256d colSin = _mm256_broadcast_sd(job.columnWeights + 2 * c + 1);
            for (uint32_t g = 0; g < kGroups; ++g)
                Step<kFromSquare>(groups[g], lane + kLanes * g, 2 * size_t(c), colCos, colSin, scale, radix, inverse);
        }
    }
    double error = 0;
    for (uint32_t g = 0; g < kGroups; ++g) {
        alignas(32) double re[kLanes], im[kLanes], err[kLanes];
        _mm256_store_pd(re, groups[g].carryRe);
        _mm256_store_pd(im, groups[g].carryIm);
        _mm256_store_pd(err, groups[g].error);
        for (uint32_t i = 0; i < kLanes; ++i) {
            job.carries[2 * (kLanes * g + i)] = re[i];
            job.carries[2 * (kLanes * g + i) + 1] = im[i];
            if (err[i] > error) error = err[i];
        }
    }
    job.error = error;
}

}  // namespace

void GfnUnloadLanesAvx2(GfnLaneJob& job, double* coefficients) {
    const uint32_t G = job.laneRowLength, L = job.laneRows * G;
    const __m256d scale = _mm256_set1_pd(job.scale);
    const __m256d signBit = _mm256_set1_pd(-0.0);
    __m256d error = _mm256_setzero_pd(), bad = _mm256_setzero_pd();
    for (uint32_t v = 0; v < job.laneRows; ++v) {
        const __m256d rowCos = _mm256_set1_pd(job.rowWeights[2 * v]), rowSin = _mm256_set1_pd(job.rowWeights[2 * v + 1]);
        const uint32_t first = v * G;
        const double* row = job.array + 2 * (size_t(first / job.rowLength) * job.rowStride + first % job.rowLength);
        for (uint32_t c = 0; c < G; c += 4) {
            // Unpacking two registers of two values each gives the parts in
            // the order 0, 2, 1, 3; the same order for the weights, and one
            // permutation restores it before the stores.
            const __m256d z0 = _mm256_loadu_pd(row + 2 * c), z1 = _mm256_loadu_pd(row + 2 * c + 4);
            const __m256d w0 = _mm256_loadu_pd(job.columnWeights + 2 * c), w1 = _mm256_loadu_pd(job.columnWeights + 2 * c + 4);
            const __m256d f = _mm256_unpacklo_pd(z0, z1), e = _mm256_unpackhi_pd(z0, z1);
            const __m256d colCos = _mm256_unpacklo_pd(w0, w1), colSin = _mm256_unpackhi_pd(w0, w1);
            const __m256d wc = _mm256_fmsub_pd(rowCos, colCos, _mm256_mul_pd(rowSin, colSin));
            const __m256d ws = _mm256_fmadd_pd(rowSin, colCos, _mm256_mul_pd(rowCos, colSin));
            const __m256d p = _mm256_mul_pd(_mm256_fmadd_pd(wc, f, _mm256_mul_pd(ws, e)), scale);
            const __m256d q = _mm256_mul_pd(_mm256_fmsub_pd(ws, f, _mm256_mul_pd(wc, e)), scale);
            const __m256d P = _mm256_round_pd(p, kNearest), Q = _mm256_round_pd(q, kNearest);
            const __m256d dp = _mm256_andnot_pd(signBit, _mm256_sub_pd(p, P));
            const __m256d dq = _mm256_andnot_pd(signBit, _mm256_sub_pd(q, Q));
            bad = _mm256_or_pd(bad, _mm256_cmp_pd(dp, dq, _CMP_UNORD_Q));
            error = _mm256_max_pd(error, _mm256_max_pd(dp, dq));
            _mm256_storeu_pd(coefficients + first + c, _mm256_permute4x64_pd(P, 0xD8));
            _mm256_storeu_pd(coefficients + L + first + c, _mm256_permute4x64_pd(Q, 0xD8));
        }
    }
    alignas(32) double lanes[4];
    _mm256_store_pd(lanes, error);
    double largest = 0;
    for (double x : lanes) largest = x > largest ? x : largest;
    job.error = _mm256_movemask_pd(bad) != 0 ? __builtin_nan("") : largest;
}

void GfnCarryLanesAvx2(GfnLaneJob& job) {
    if (job.fromSquare) Run<true>(job);
    else Run<false>(job);
}

}  // namespace numen
