// The AVX2 family of the FFT kernels ("avx2"): the passes of FastPasses.h on
// 256-bit registers, two complex values each, with fused multiply-add. This
// file is compiled for AVX2 and FMA; the dispatch calls it only on
// processors whose profile reports both, with the register state saved by
// the operating system.
//
// Register layout (memory order): | re0 im0 | re1 im1 |. A complex product:
//     x w = fmaddsub(x, (wr, wr), swap(x) (wi, wi)).
#include <immintrin.h>

#include <cstddef>
#include <cstdint>

#include "arith/kernels/FastPasses.h"

namespace numen {
namespace {

struct Avx2 {
    using T = __m256d;
    static constexpr size_t kN = 2;
    struct B {
        T re, im;
    };
    using Mask = __m256d;

    static inline T Load(const Complex* p) { return _mm256_loadu_pd(&p->re); }
    static inline void Store(Complex* p, T v) { _mm256_storeu_pd(&p->re, v); }
    static inline T Add(T a, T b) { return _mm256_add_pd(a, b); }
    static inline T Sub(T a, T b) { return _mm256_sub_pd(a, b); }
    static inline T Swap(T v) { return _mm256_permute_pd(v, 0x5); }
    static inline T OddSigns() { return _mm256_set_pd(-0.0, 0.0, -0.0, 0.0); }
    // v (-i) = (im, -re).
    static inline T MulMinusI(T v) { return _mm256_xor_pd(Swap(v), OddSigns()); }
    static inline T Conj(T v) { return _mm256_xor_pd(v, OddSigns()); }
    static inline T Mul(T x, T w) {
        return _mm256_fmaddsub_pd(x, _mm256_movedup_pd(w), _mm256_mul_pd(Swap(x), _mm256_permute_pd(w, 0xF)));
    }
    static inline B Broadcast(const Complex& w) { return {_mm256_set1_pd(w.re), _mm256_set1_pd(w.im)}; }
    static inline T MulB(T x, const B& w) { return _mm256_fmaddsub_pd(x, w.re, _mm256_mul_pd(Swap(x), w.im)); }
    static inline T ConjSquare(T z) {
        const T y = Conj(z);
        return Mul(y, y);
    }
    // Two blocks of 4: (x0 x1)(x2 x3) of each -> register k = element k of both.
    static inline void LoadBlocks(const Complex* p, T t[4]) {
        const T a0 = Load(p), a1 = Load(p + 2), b0 = Load(p + 4), b1 = Load(p + 6);
        t[0] = _mm256_permute2f128_pd(a0, b0, 0x20);
        t[1] = _mm256_permute2f128_pd(a0, b0, 0x31);
        t[2] = _mm256_permute2f128_pd(a1, b1, 0x20);
        t[3] = _mm256_permute2f128_pd(a1, b1, 0x31);
    }
    static inline void StoreBlocks(Complex* p, T t[4]) {
        Store(p, _mm256_permute2f128_pd(t[0], t[1], 0x20));
        Store(p + 2, _mm256_permute2f128_pd(t[2], t[3], 0x20));
        Store(p + 4, _mm256_permute2f128_pd(t[0], t[1], 0x31));
        Store(p + 6, _mm256_permute2f128_pd(t[2], t[3], 0x31));
    }

    // (d0, d0, d1, d1).
    static inline T DigitPairs(const double* d) {
        const __m128d two = _mm_loadu_pd(d);
        return _mm256_permute4x64_pd(_mm256_castpd128_pd256(two), 0x50);
    }
    static inline T MulReal(T a, T b) { return _mm256_mul_pd(a, b); }
    static inline T Round(T v) { return _mm256_round_pd(v, _MM_FROUND_TO_NEAREST_INT | _MM_FROUND_NO_EXC); }
    static inline T Abs(T v) { return _mm256_andnot_pd(_mm256_set1_pd(-0.0), v); }
    static inline T Max(T a, T b) { return _mm256_max_pd(a, b); }
    static inline T Zero() { return _mm256_setzero_pd(); }
    static inline Mask NoNaN() { return _mm256_setzero_pd(); }
    static inline Mask NoteBad(Mask m, T d, T k) {
        const T large = _mm256_cmp_pd(Abs(k), _mm256_set1_pd(0x1p62), _CMP_GE_OQ);
        return _mm256_or_pd(m, _mm256_or_pd(large, _mm256_cmp_pd(d, d, _CMP_UNORD_Q)));
    }
    static inline bool HasBad(Mask m) { return _mm256_movemask_pd(m) != 0; }
    static inline double MaxLane(T v) {
        const __m128d m = _mm_max_pd(_mm256_castpd256_pd128(v), _mm256_extractf128_pd(v, 1));
        return _mm_cvtsd_f64(_mm_max_sd(m, _mm_unpackhi_pd(m, m)));
    }
    static inline void Deinterleave(T k, double* re, double* im) {
        const T ordered = _mm256_permute4x64_pd(k, 0xD8);  // re0 re1 im0 im1
        _mm_storeu_pd(re, _mm256_castpd256_pd128(ordered));
        _mm_storeu_pd(im, _mm256_extractf128_pd(ordered, 1));
    }
};

}  // namespace

// Constant-initialised: taking the table runs no code of this file, so any
// processor may ask for it (the dispatch then decides whether to call it).
const KernelFamily& Avx2Kernels() {
    static constexpr KernelFamily family = fastpasses::Passes<Avx2>::Family("avx2", 1);
    return family;
}

}  // namespace numen
