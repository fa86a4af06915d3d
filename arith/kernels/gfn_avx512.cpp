// The lane passes of the generalized-Fermat transform with AVX-512F:
// GfnLanePasses.h on 512-bit registers of eight lanes, one register per
// carry pass (kGfnSegmentsAvx512 = 8). Compiled with -mavx512f and called
// only on processors that have it.
//
// A carry step gathers element c of lanes 0, 2, 4, 6 and of lanes 1, 3, 5, 7
// by four 128-bit loads and three inserts each. The read-out splits eight
// consecutive elements into real and imaginary parts by two-register
// permutations, already in memory order.
#include <immintrin.h>

#include <cstddef>
#include <cstdint>

#include "arith/kernels/GfnLanePasses.h"

namespace numen {
namespace {

struct Avx512Lanes {
    using T = __m512d;
    // Element order and element loads and stores.
    // (re, im) at a and at b side by side.
    static inline __m256d Pair(const double* a, const double* b) {
        return _mm256_insertf128_pd(_mm256_castpd128_pd256(_mm_load_pd(a)), _mm_load_pd(b), 1);
    }
    static inline T GatherPairs(double* const* lane, size_t k) {
        const __m256d low = Pair(lane[0] + k, lane[2] + k), high = Pair(lane[4] + k, lane[6] + k);
        return _mm512_insertf64x4(_mm512_castpd256_pd512(low), high, 1);
    }
    static inline void ScatterPairs(T v, double* const* lane, size_t k) {
        const __m256d low = _mm512_castpd512_pd256(v), high = _mm512_extractf64x4_pd(v, 1);
        _mm_store_pd(lane[0] + k, _mm256_castpd256_pd128(low));
        _mm_store_pd(lane[2] + k, _mm256_extractf128_pd(low, 1));
        _mm_store_pd(lane[4] + k, _mm256_castpd256_pd128(high));
        _mm_store_pd(lane[6] + k, _mm256_extractf128_pd(high, 1));
    }
    static inline void LoadSplit(const double* p, T& re, T& im) {
        const __m512i even = _mm512_set_epi64(14, 12, 10, 8, 6, 4, 2, 0);
        const __m512i odd = _mm512_set_epi64(15, 13, 11, 9, 7, 5, 3, 1);
        const T z0 = _mm512_loadu_pd(p), z1 = _mm512_loadu_pd(p + 8);
        re = _mm512_permutex2var_pd(z0, even, z1);
        im = _mm512_permutex2var_pd(z0, odd, z1);
    }
    static inline void StoreInOrder(double* p, T v) { _mm512_storeu_pd(p, v); }
    static inline T UnpackLow(T a, T b) { return _mm512_unpacklo_pd(a, b); }
    static inline T UnpackHigh(T a, T b) { return _mm512_unpackhi_pd(a, b); }

    // Whole registers.
    static inline T Splat(double x) { return _mm512_set1_pd(x); }
    static inline T Load(const double* p) { return _mm512_load_pd(p); }
    static inline void Store(double* p, T v) { _mm512_store_pd(p, v); }

    // Lane by lane, besides the register type's own +, - and *.
    static inline T Abs(T v) { return _mm512_abs_pd(v); }
    static inline T Max(T a, T b) { return _mm512_max_pd(a, b); }
    static inline T Fma(T a, T b, T c) { return _mm512_fmadd_pd(a, b, c); }
    static inline T Round(T v) { return _mm512_roundscale_pd(v, _MM_FROUND_TO_NEAREST_INT | _MM_FROUND_NO_EXC); }

    using Mask = __mmask8;  // a set bit for a lane that met a NaN
    static inline Mask NoNaN() { return 0; }
    static inline Mask NoteUnordered(Mask m, T a, T b) { return m | _mm512_cmp_pd_mask(a, b, _CMP_UNORD_Q); }
    static inline bool HasBad(Mask m) { return m != 0; }
};

using Passes = gfnlanes::LanePasses<Avx512Lanes, kGfnSegmentsAvx512>;

}  // namespace

void GfnCarryLanesAvx512(GfnLaneJob& job) { Passes::Carry(job); }
void GfnUnloadLanesAvx512(GfnLaneJob& job, double* coefficients) { Passes::Unload(job, coefficients); }

}  // namespace numen
