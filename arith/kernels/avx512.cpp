// The AVX-512F family of the FFT kernels ("avx512"): the passes of
// FastPasses.h on 512-bit registers, four complex values each. This file is
// compiled for AVX-512F (and AVX2, FMA); the dispatch calls it only on
// processors whose profile reports AVX-512F with its register state saved
// by the operating system.
//
// Register layout (memory order): | re0 im0 | re1 im1 | re2 im2 | re3 im3 |,
// one complex value per 128-bit lane. A complex product takes the swapped
// value and the duplicated real and imaginary parts of the factor:
//     x w = fmaddsub(x, (wr, wr), swap(x) (wi, wi)).
#include <immintrin.h>

#include <cstddef>
#include <cstdint>

#include "arith/kernels/FastPasses.h"

namespace numen {
namespace {

struct Avx512 {
    using T = __m512d;
    static constexpr size_t kN = 4;
    struct B {
        T re, im;
    };
    using Mask = __mmask8;

    static inline T Load(const Complex* p) { return _mm512_loadu_pd(&p->re); }
    static inline void Store(Complex* p, T v) { _mm512_storeu_pd(&p->re, v); }
    static inline T Add(T a, T b) { return _mm512_add_pd(a, b); }
    static inline T Sub(T a, T b) { return _mm512_sub_pd(a, b); }
    static inline T Swap(T v) { return _mm512_permute_pd(v, 0x55); }
    // v (-i) = (im, -re): swap, then negate the odd (imaginary) elements.
    static inline T MulMinusI(T v) {
        const T s = Swap(v);
        return _mm512_mask_sub_pd(s, 0xAA, _mm512_setzero_pd(), s);
    }
    static inline T Conj(T v) { return _mm512_mask_sub_pd(v, 0xAA, _mm512_setzero_pd(), v); }
    static inline T Mul(T x, T w) {
        return _mm512_fmaddsub_pd(x, _mm512_movedup_pd(w), _mm512_mul_pd(Swap(x), _mm512_permute_pd(w, 0xFF)));
    }
    static inline B Broadcast(const Complex& w) { return {_mm512_set1_pd(w.re), _mm512_set1_pd(w.im)}; }
    static inline T MulB(T x, const B& w) { return _mm512_fmaddsub_pd(x, w.re, _mm512_mul_pd(Swap(x), w.im)); }
    static inline T ConjSquare(T z) {
        const T y = Conj(z);
        return Mul(y, y);
    }
    // Transpose of 4 x 4 lanes: register k gets lane k of v0 .. v3.
    static inline void Transpose(T& v0, T& v1, T& v2, T& v3) {
        const T a = _mm512_shuffle_f64x2(v0, v1, 0x44), b = _mm512_shuffle_f64x2(v0, v1, 0xEE);
        const T c = _mm512_shuffle_f64x2(v2, v3, 0x44), d = _mm512_shuffle_f64x2(v2, v3, 0xEE);
        v0 = _mm512_shuffle_f64x2(a, c, 0x88);
        v1 = _mm512_shuffle_f64x2(a, c, 0xDD);
        v2 = _mm512_shuffle_f64x2(b, d, 0x88);
        v3 = _mm512_shuffle_f64x2(b, d, 0xDD);
    }
    static inline void LoadBlocks(const Complex* p, T t[4]) {
        t[0] = Load(p);
        t[1] = Load(p + 4);
        t[2] = Load(p + 8);
        t[3] = Load(p + 12);
        Transpose(t[0], t[1], t[2], t[3]);
    }
    static inline void StoreBlocks(Complex* p, T t[4]) {
        Transpose(t[0], t[1], t[2], t[3]);
        Store(p, t[0]);
        Store(p + 4, t[1]);
        Store(p + 8, t[2]);
        Store(p + 12, t[3]);
    }

    // (d0, d0, d1, d1, d2, d2, d3, d3).
    static inline T DigitPairs(const double* d) {
        const __m256d four = _mm256_loadu_pd(d);
        return _mm512_permutexvar_pd(_mm512_set_epi64(3, 3, 2, 2, 1, 1, 0, 0), _mm512_castpd256_pd512(four));
    }
    static inline T MulReal(T a, T b) { return _mm512_mul_pd(a, b); }
    static inline T Round(T v) { return _mm512_roundscale_pd(v, _MM_FROUND_TO_NEAREST_INT | _MM_FROUND_NO_EXC); }
    static inline T Abs(T v) { return _mm512_abs_pd(v); }
    static inline T Max(T a, T b) { return _mm512_max_pd(a, b); }
    static inline T Zero() { return _mm512_setzero_pd(); }
    static inline Mask NoNaN() { return 0; }
    static inline Mask NoteBad(Mask m, T d, T k) {
        return m | _mm512_cmp_pd_mask(d, d, _CMP_UNORD_Q) |
               _mm512_cmp_pd_mask(_mm512_abs_pd(k), _mm512_set1_pd(0x1p62), _CMP_GE_OQ);
    }
    static inline bool HasBad(Mask m) { return m != 0; }
    static inline double MaxLane(T v) { return _mm512_reduce_max_pd(v); }
    static inline void Deinterleave(T k, double* re, double* im) {
        const __m512i even = _mm512_set_epi64(6, 4, 2, 0, 6, 4, 2, 0), odd = _mm512_set_epi64(7, 5, 3, 1, 7, 5, 3, 1);
        _mm256_storeu_pd(re, _mm512_castpd512_pd256(_mm512_permutexvar_pd(even, k)));
        _mm256_storeu_pd(im, _mm512_castpd512_pd256(_mm512_permutexvar_pd(odd, k)));
    }
};

}  // namespace

// Constant-initialised: taking the table runs no code of this file, so any
// processor may ask for it (the dispatch then decides whether to call it).
const KernelFamily& Avx512Kernels() {
    static constexpr KernelFamily family = fastpasses::Passes<Avx512>::Family("avx512", 2);
    return family;
}

}  // namespace numen
