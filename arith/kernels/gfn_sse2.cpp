// The carry pass of the generalized-Fermat transform in double precision
// with SSE2 (see GfnCarryX87.cpp for the formulas), over the job record the
// transform hands it (GfnState.h). The weights still come
// from the 80-bit recurrence; the products, the rounding (adding and
// subtracting 2^52, see below) and the carries are done on
// packed doubles, the pair (re, im) in one register. The sign changes are
// XORs with the sign bit, the error an absolute value and a maximum.
//
// Rounding adds and subtracts 2^52 carrying the value's own sign, exact for
// |x| < 2^52; the more usual 1.5 2^52 is exact only below 2^51, and at the
// limit radix a coefficient times the powering base comes within a bit of
// that. Near 2^50 a double keeps only two bits below the point, so this
// pass measures (and adds) about 1/8 more round-off than the x87 one.
#include "arith/GfnState.h"

#if !defined(__SSE2__)
#error "arith/kernels/gfn_sse2.cpp needs SSE2 (baseline on every x86-64 target)"
#endif
#include <emmintrin.h>

namespace numen {

void GfnCarryPassSse2(GfnPassJob& job) {
    const bool fromSquare = job.fromSquare;
    const __m128d two52 = _mm_set1_pd(4503599627370496.0);  // 2^52
    const __m128d radix = _mm_set1_pd(job.radix), inverse = _mm_set1_pd(job.inverseRadix);
    const __m128d signBit = _mm_set1_pd(-0.0);
    const __m128d scale = _mm_set1_pd(double(job.scale));
    // fromSquare: (p, q) = (c f + s e, s f - c e) = c (f, -e) + s (e, f)
    // multiply:   (p, q) = (c f - s e, s f + c e) = c (f, e) + s (-e, f)
    const __m128d flipHigh = _mm_set_pd(-0.0, 0.0), flipLow = _mm_set_pd(0.0, -0.0);
    const long double cot = job.stepCot, sin = job.stepSin;
    const uint32_t g = job.rowLength, rows = job.rows, stride = job.rowStride;
    __m128d carry = _mm_setzero_pd();  // (carryR, carryI)
    __m128d err = _mm_set1_pd(double(job.maxError));
    __m128d bad = _mm_setzero_pd();
    for (uint32_t r = 0; r < rows; ++r) {
        double* row = reinterpret_cast<double*>(job.array + size_t(r) * stride);
        long double c = job.rowStarts[r].re, s = job.rowStarts[r].im;
        for (uint32_t k = 0; k < g; ++k) {
            if (k + 16 < g) _mm_prefetch(reinterpret_cast<const char*>(row + 2 * (k + 16)), _MM_HINT_T0);
            const __m128d cc = _mm_set1_pd(double(c)), ss = _mm_set1_pd(double(s));
            const __m128d z = _mm_load_pd(row + 2 * k);               // (f, e)
            const __m128d swapped = _mm_shuffle_pd(z, z, 1);          // (e, f)
            __m128d pq;
            if (fromSquare)
                pq = _mm_add_pd(_mm_mul_pd(cc, _mm_xor_pd(z, flipHigh)), _mm_mul_pd(ss, swapped));
            else
                pq = _mm_add_pd(_mm_mul_pd(cc, z), _mm_mul_pd(ss, _mm_xor_pd(swapped, flipLow)));
            pq = _mm_mul_pd(pq, scale);
            const __m128d roundPq = _mm_or_pd(two52, _mm_and_pd(pq, signBit));
            const __m128d PQ = _mm_sub_pd(_mm_add_pd(pq, roundPq), roundPq);
            const __m128d d = _mm_andnot_pd(signBit, _mm_sub_pd(pq, PQ));
            bad = _mm_or_pd(bad, _mm_cmpunord_pd(d, d));
            err = _mm_max_pd(err, d);
            const __m128d t = _mm_add_pd(PQ, carry);
            const __m128d quotient = _mm_mul_pd(t, inverse);
            const __m128d roundQ = _mm_or_pd(two52, _mm_and_pd(quotient, signBit));
            carry = _mm_sub_pd(_mm_add_pd(quotient, roundQ), roundQ);
            const __m128d digit = _mm_sub_pd(t, _mm_mul_pd(carry, radix));   // (dr, di)
            // (dr + i di)(c - i s) = (c dr + s di, c di - s dr)
            const __m128d dSwapped = _mm_shuffle_pd(digit, digit, 1);      // (di, dr)
            const __m128d out = _mm_add_pd(_mm_mul_pd(cc, digit), _mm_mul_pd(ss, _mm_xor_pd(dSwapped, flipHigh)));
            _mm_store_pd(row + 2 * k, out);
            const long double nc = sin * (cot * c - s);
            s = sin * (c + cot * s);
            c = nc;
        }
    }
    double carries[2], errs[2], nan[2];
    _mm_storeu_pd(carries, carry);
    _mm_storeu_pd(errs, err);
    _mm_storeu_pd(nan, bad);
    job.carryR = carries[0];
    job.carryI = carries[1];
    const double e = errs[0] > errs[1] ? errs[0] : errs[1];
    job.maxError = (nan[0] != 0 || nan[1] != 0) ? __builtin_nanf("") : float(e);
}

}  // namespace numen
