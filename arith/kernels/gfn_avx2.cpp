// The lane passes of the generalized-Fermat transform with AVX2 and FMA:
// GfnLanePasses.h on 256-bit registers of four lanes, two registers per
// carry pass (kGfnSegmentsAvx2 = 8). Compiled with -mavx2 -mfma and called
// only on processors that have both.
//
// A carry step gathers element c of lanes 0, 2 and of lanes 1, 3 by two
// 128-bit loads and an insert each. The read-out loads four consecutive
// elements as two registers, whose unpacking leaves the lanes in the order
// 0, 2, 1, 3 (the column weights alike, so the products pair up), restored
// by one permutation per store.
#include <immintrin.h>

#include <cstddef>
#include <cstdint>

#include "arith/kernels/GfnLanePasses.h"

namespace numen {
namespace {

struct Avx2Lanes {
    using T = __m256d;
    // Element order and element loads and stores.
    static inline T GatherPairs(double* const* lane, size_t k) {
        return _mm256_insertf128_pd(_mm256_castpd128_pd256(_mm_load_pd(lane[0] + k)), _mm_load_pd(lane[2] + k), 1);
    }
    static inline void ScatterPairs(T v, double* const* lane, size_t k) {
        _mm_store_pd(lane[0] + k, _mm256_castpd256_pd128(v));
        _mm_store_pd(lane[2] + k, _mm256_extractf128_pd(v, 1));
    }
    static inline void LoadSplit(const double* p, T& re, T& im) {
        const T z0 = _mm256_loadu_pd(p), z1 = _mm256_loadu_pd(p + 4);
        re = _mm256_unpacklo_pd(z0, z1);  // lanes 0, 2, 1, 3
        im = _mm256_unpackhi_pd(z0, z1);
    }
    static inline void StoreInOrder(double* p, T v) { _mm256_storeu_pd(p, _mm256_permute4x64_pd(v, 0xD8)); }
    static inline T UnpackLow(T a, T b) { return _mm256_unpacklo_pd(a, b); }
    static inline T UnpackHigh(T a, T b) { return _mm256_unpackhi_pd(a, b); }

    // Whole registers.
    static inline T Splat(double x) { return _mm256_set1_pd(x); }
    static inline T Load(const double* p) { return _mm256_load_pd(p); }
    static inline void Store(double* p, T v) { _mm256_store_pd(p, v); }

    // Lane by lane, besides the register type's own +, - and *.
    static inline T Abs(T v) { return _mm256_andnot_pd(_mm256_set1_pd(-0.0), v); }
    static inline T Max(T a, T b) { return _mm256_max_pd(a, b); }
    static inline T Fma(T a, T b, T c) { return _mm256_fmadd_pd(a, b, c); }
    static inline T Round(T v) { return _mm256_round_pd(v, _MM_FROUND_TO_NEAREST_INT | _MM_FROUND_NO_EXC); }

    using Mask = __m256d;  // all ones in a lane that met a NaN
    static inline Mask NoNaN() { return _mm256_setzero_pd(); }
    static inline Mask NoteUnordered(Mask m, T a, T b) { return _mm256_or_pd(m, _mm256_cmp_pd(a, b, _CMP_UNORD_Q)); }
    static inline bool HasBad(Mask m) { return _mm256_movemask_pd(m) != 0; }
};

using Passes = gfnlanes::LanePasses<Avx2Lanes, kGfnSegmentsAvx2>;

}  // namespace

void GfnCarryLanesAvx2(GfnLaneJob& job) { Passes::Carry(job); }
void GfnUnloadLanesAvx2(GfnLaneJob& job, double* coefficients) { Passes::Unload(job, coefficients); }

}  // namespace numen
