// The radix-p passes (MixedRadixPass.h) in AVX2 and FMA: two elements of a
// sub-array row (re, im, re, im) a vector, the same sums as the baseline
// form (MixedRadixPass.cpp). Compiled with -mavx2 -mfma; sees no
// standard-library template (MixedRadixJob.h).
#include <immintrin.h>

#include "arith/MixedRadixJob.h"

namespace numen {

namespace {

// a * b for two packed complex pairs.
inline __m256d Multiply(__m256d a, __m256d b) {
    const __m256d bre = _mm256_movedup_pd(b), bim = _mm256_permute_pd(b, 0xF);
    return _mm256_fmaddsub_pd(a, bre, _mm256_mul_pd(_mm256_permute_pd(a, 0x5), bim));
}

template <uint32_t P>
inline void SmallTransform(__m256d (&x)[P], const MixedRadixJob& z) {
    constexpr uint32_t H = (P - 1) / 2;
    __m256d s[H], d[H];
    __m256d sum = x[0];
    for (uint32_t q = 1; q <= H; ++q) {
        s[q - 1] = _mm256_add_pd(x[q], x[P - q]);
        d[q - 1] = _mm256_sub_pd(x[q], x[P - q]);
        sum = _mm256_add_pd(sum, s[q - 1]);
    }
    for (uint32_t k = 1; k <= H; ++k) {
        __m256d a = x[0], b = _mm256_setzero_pd();
        for (uint32_t q = 0; q < H; ++q) {
            a = _mm256_fmadd_pd(_mm256_set1_pd(z.cosine[k - 1][q]), s[q], a);
            b = _mm256_fmadd_pd(_mm256_set1_pd(z.sine[k - 1][q]), d[q], b);
        }
        // i B swapped: (B.im, B.re); a_{p-k} = (Ar - Bi, Ai + Br), a_k = (Ar + Bi, Ai - Br).
        const __m256d swapped = _mm256_permute_pd(b, 0x5);
        x[P - k] = _mm256_addsub_pd(a, swapped);
        x[k] = _mm256_addsub_pd(a, _mm256_sub_pd(_mm256_setzero_pd(), swapped));
    }
    x[0] = sum;
}

template <uint32_t P>
inline void Rotate(__m256d (&x)[P], const MixedRadixJob& t, uint32_t hi, uint32_t lo) {
    for (uint32_t k = 1; k < P; ++k) {
        const double* h = t.high + 2 * (size_t(k - 1) * t.highCount + hi);
        const __m256d high = _mm256_broadcast_pd(reinterpret_cast<const __m128d*>(h));
        const __m256d low = _mm256_loadu_pd(t.low + 2 * (size_t(k - 1) * t.lowCount + lo));
        x[k] = Multiply(x[k], Multiply(high, low));
    }
}

template <uint32_t P, bool kForward>
void Pass(Complex* array, const MixedRadixJob& t) {
    const size_t sub = 2 * t.subStride;  // in doubles
    const uint32_t g = t.rowLength, lowMask = t.lowCount - 1;
    for (uint32_t r = 0; r < t.rows; ++r) {
        double* base = &array[size_t(r) * t.rowStride].re;
        for (uint32_t col = 0; col < g; col += 2) {
            // m and m + 1 share their high bits (m even, lowCount >= 2).
            const uint32_t m = r * g + col;
            __m256d x[P];
            for (uint32_t q = 0; q < P; ++q) x[q] = _mm256_loadu_pd(base + q * sub + 2 * col);
            if constexpr (kForward) {
                SmallTransform<P>(x, t);
                Rotate<P>(x, t, m >> t.lowShift, m & lowMask);
            } else {
                Rotate<P>(x, t, m >> t.lowShift, m & lowMask);
                SmallTransform<P>(x, t);
            }
            for (uint32_t q = 0; q < P; ++q) _mm256_storeu_pd(base + q * sub + 2 * col, x[q]);
        }
    }
}

template <bool kForward>
void Dispatch(Complex* array, const MixedRadixJob& job) {
    switch (job.radix) {
        case 3: return Pass<3, kForward>(array, job);
        case 5: return Pass<5, kForward>(array, job);
        case 7: return Pass<7, kForward>(array, job);
        default: return;
    }
}

}  // namespace

void MixedRadixForwardAvx2(Complex* array, const MixedRadixJob& job) { Dispatch<true>(array, job); }
void MixedRadixInverseAvx2(Complex* array, const MixedRadixJob& job) { Dispatch<false>(array, job); }

}  // namespace numen
