// The lane carry pass of the generalized-Fermat transform with AVX-512F
// (GfnLanes.h; the formulas are GfnCarryX87.cpp's). Compiled with
// -mavx512f and called only on processors that have it; the layout is
// gfn_avx2.cpp's with eight lanes per vector: element c of lanes 0, 2, 4, 6
// and of lanes 1, 3, 5, 7 gathered by 128-bit loads and inserts, then split
// into real and imaginary vectors by two unpacks.
//
// Rounding is VRNDSCALEPD to nearest, exact at every magnitude (see
// gfn_avx2.cpp).
#include <immintrin.h>

#include <cstddef>
#include <cstdint>

#include "arith/GfnLanes.h"

namespace numen {

namespace {

constexpr int kNearest = _MM_FROUND_TO_NEAREST_INT | _MM_FROUND_NO_EXC;
constexpr uint32_t kLanes = 8;
constexpr uint32_t kGroups = kGfnSegmentsAvx512 / kLanes;
static_assert(kGroups * kLanes == kGfnSegmentsAvx512 && kGfnSegmentsAvx512 <= kGfnMaxSegments);

struct Group {
    __m512d rowCos, rowSin;    // weights of the lanes' current rows
    __m512d carryRe, carryIm;  // the lanes' chains
    __m512d error;
};

// The elements (re, im) at a, b, c, d side by side in one vector.
inline __m512d Gather(const double* a, const double* b, const double* c, const double* d) {
    const __m256d ab = _mm256_insertf128_pd(_mm256_castpd128_pd256(_mm_load_pd(a)), _mm_load_pd(b), 1);
    const __m256d cd = _mm256_insertf128_pd(_mm256_castpd128_pd256(_mm_load_pd(c)), _mm_load_pd(d), 1);
    return _mm512_insertf64x4(_mm512_castpd256_pd512(ab), cd, 1);
}

inline void Scatter(__m512d v, double* a, double* b, double* c, double* d) {
    const __m256d ab = _mm512_castpd512_pd256(v), cd = _mm512_extractf64x4_pd(v, 1);
    _mm_store_pd(a, _mm256_castpd256_pd128(ab));
    _mm_store_pd(b, _mm256_extractf128_pd(ab, 1));
    _mm_store_pd(c, _mm256_castpd256_pd128(cd));
    _mm_store_pd(d, _mm256_extractf128_pd(cd, 1));
}

template <bool kFromSquare>
inline void Step(Group& q, double* const* lane, size_t offset, __m512d colCos, __m512d colSin, __m512d scale,
                 __m512d radix, __m512d inverse) {
    double* const at[kLanes] = {lane[0] + offset, lane[1] + offset, lane[2] + offset, lane[3] + offset,
                                lane[4] + offset, lane[5] + offset, lane[6] + offset, lane[7] + offset};
    const __m512d even = Gather(at[0], at[2], at[4], at[6]), odd = Gather(at[1], at[3], at[5], at[7]);
    const __m512d f = _mm512_unpacklo_pd(even, odd);  // re of lanes 0..7
    const __m512d e = _mm512_unpackhi_pd(even, odd);  // im
    // (wc, ws) = (cos, sin) of the element's angle: row weight times column weight.
    const __m512d wc = _mm512_fmsub_pd(q.rowCos, colCos, _mm512_mul_pd(q.rowSin, colSin));
    const __m512d ws = _mm512_fmadd_pd(q.rowSin, colCos, _mm512_mul_pd(q.rowCos, colSin));
    __m512d p, r;
    if constexpr (kFromSquare) {  // conj(z (c - i s))
        p = _mm512_fmadd_pd(wc, f, _mm512_mul_pd(ws, e));
        r = _mm512_fmsub_pd(ws, f, _mm512_mul_pd(wc, e));
    } else {  // z (c + i s)
        p = _mm512_fmsub_pd(wc, f, _mm512_mul_pd(ws, e));
        r = _mm512_fmadd_pd(ws, f, _mm512_mul_pd(wc, e));
    }
    p = _mm512_mul_pd(p, scale);
    r = _mm512_mul_pd(r, scale);
    const __m512d P = _mm512_roundscale_pd(p, kNearest), R = _mm512_roundscale_pd(r, kNearest);
    const __m512d distance = _mm512_max_pd(_mm512_abs_pd(_mm512_sub_pd(p, P)), _mm512_abs_pd(_mm512_sub_pd(r, R)));
    q.error = _mm512_max_pd(distance, q.error);  // a NaN distance is dropped here, caught by the carries
    const __m512d tr = _mm512_add_pd(P, q.carryRe), ti = _mm512_add_pd(R, q.carryIm);
    q.carryRe = _mm512_roundscale_pd(_mm512_mul_pd(tr, inverse), kNearest);
    q.carryIm = _mm512_roundscale_pd(_mm512_mul_pd(ti, inverse), kNearest);
    const __m512d dr = _mm512_fnmadd_pd(q.carryRe, radix, tr), di = _mm512_fnmadd_pd(q.carryIm, radix, ti);
    // (dr + i di)(c - i s)
    const __m512d outRe = _mm512_fmadd_pd(wc, dr, _mm512_mul_pd(ws, di));
    const __m512d outIm = _mm512_fmsub_pd(wc, di, _mm512_mul_pd(ws, dr));
    Scatter(_mm512_unpacklo_pd(outRe, outIm), at[0], at[2], at[4], at[6]);
    Scatter(_mm512_unpackhi_pd(outRe, outIm), at[1], at[3], at[5], at[7]);
}

template <bool kFromSquare>
void Run(GfnLaneJob& job) {
    constexpr uint32_t S = kGfnSegmentsAvx512;
    const uint32_t G = job.laneRowLength, rowsPerSegment = job.laneRows / S;
    const __m512d scale = _mm512_set1_pd(job.scale);
    const __m512d radix = _mm512_set1_pd(job.radix), inverse = _mm512_set1_pd(job.inverseRadix);
    Group groups[kGroups];
    for (Group& q : groups) q.carryRe = q.carryIm = q.error = _mm512_setzero_pd();
    double* lane[S];
    for (uint32_t rr = 0; rr < rowsPerSegment; ++rr) {
        alignas(64) double cosines[S], sines[S];
        for (uint32_t k = 0; k < S; ++k) {
            const uint32_t v = k * rowsPerSegment + rr, j = v * G;
            lane[k] = job.array + 2 * (size_t(j / job.rowLength) * job.rowStride + j % job.rowLength);
            cosines[k] = job.rowWeights[2 * v];
            sines[k] = job.rowWeights[2 * v + 1];
        }
        for (uint32_t g = 0; g < kGroups; ++g) {
            groups[g].rowCos = _mm512_load_pd(cosines + kLanes * g);
            groups[g].rowSin = _mm512_load_pd(sines + kLanes * g);
        }
        for (uint32_t c = 0; c < G; ++c) {
            const __m512d colCos = _mm512_set1_pd(job.columnWeights[2 * c]);
            const __m512d colSin = _mm512_set1_pd(job.columnWeights[2 * c + 1]);
            for (uint32_t g = 0; g < kGroups; ++g)
                Step<kFromSquare>(groups[g], lane + kLanes * g, 2 * size_t(c), colCos, colSin, scale, radix, inverse);
        }
    }
    double error = 0;
    for (uint32_t g = 0; g < kGroups; ++g) {
        alignas(64) double re[kLanes], im[kLanes], err[kLanes];
        _mm512_store_pd(re, groups[g].carryRe);
        _mm512_store_pd(im, groups[g].carryIm);
        _mm512_store_pd(err, groups[g].error);
        for (uint32_t i = 0; i < kLanes; ++i) {
            job.carries[2 * (kLanes * g + i)] = re[i];
            job.carries[2 * (kLanes * g + i) + 1] = im[i];
            if (err[i] > error) error = err[i];
        }
    }
    job.error = error;
}

}  // namespace

void GfnUnloadLanesAvx512(GfnLaneJob& job, double* coefficients) {
    const uint32_t G = job.laneRowLength, L = job.laneRows * G;
    const __m512d scale = _mm512_set1_pd(job.scale);
    const __m512i even = _mm512_set_epi64(14, 12, 10, 8, 6, 4, 2, 0), odd = _mm512_set_epi64(15, 13, 11, 9, 7, 5, 3, 1);
    __m512d error = _mm512_setzero_pd();
    __mmask8 bad = 0;
    for (uint32_t v = 0; v < job.laneRows; ++v) {
        const __m512d rowCos = _mm512_set1_pd(job.rowWeights[2 * v]), rowSin = _mm512_set1_pd(job.rowWeights[2 * v + 1]);
        const uint32_t first = v * G;
        const double* row = job.array + 2 * (size_t(first / job.rowLength) * job.rowStride + first % job.rowLength);
        for (uint32_t c = 0; c < G; c += kLanes) {
            const __m512d z0 = _mm512_loadu_pd(row + 2 * c), z1 = _mm512_loadu_pd(row + 2 * c + 8);
            const __m512d w0 = _mm512_loadu_pd(job.columnWeights + 2 * c), w1 = _mm512_loadu_pd(job.columnWeights + 2 * c + 8);
            const __m512d f = _mm512_permutex2var_pd(z0, even, z1), e = _mm512_permutex2var_pd(z0, odd, z1);
            const __m512d colCos = _mm512_permutex2var_pd(w0, even, w1), colSin = _mm512_permutex2var_pd(w0, odd, w1);
            const __m512d wc = _mm512_fmsub_pd(rowCos, colCos, _mm512_mul_pd(rowSin, colSin));
            const __m512d ws = _mm512_fmadd_pd(rowSin, colCos, _mm512_mul_pd(rowCos, colSin));
            const __m512d p = _mm512_mul_pd(_mm512_fmadd_pd(wc, f, _mm512_mul_pd(ws, e)), scale);
            const __m512d q = _mm512_mul_pd(_mm512_fmsub_pd(ws, f, _mm512_mul_pd(wc, e)), scale);
            const __m512d P = _mm512_roundscale_pd(p, kNearest), Q = _mm512_roundscale_pd(q, kNearest);
            const __m512d dp = _mm512_abs_pd(_mm512_sub_pd(p, P)), dq = _mm512_abs_pd(_mm512_sub_pd(q, Q));
            bad |= _mm512_cmp_pd_mask(dp, dq, _CMP_UNORD_Q);
            error = _mm512_max_pd(error, _mm512_max_pd(dp, dq));
            _mm512_storeu_pd(coefficients + first + c, P);
            _mm512_storeu_pd(coefficients + L + first + c, Q);
        }
    }
    job.error = bad != 0 ? __builtin_nan("") : _mm512_reduce_max_pd(error);
}

void GfnCarryLanesAvx512(GfnLaneJob& job) {
    if (job.fromSquare) Run<true>(job);
    else Run<false>(job);
}

}  // namespace numen
