// The lane carry passes of the generalized-Fermat transform (GfnLanes.h):
// everything outside the vector code. Reads the plan into a GfnLaneJob,
// runs the AVX2 or AVX-512 lanes, then joins the segments: the carries out
// of segment k are added to the first digits of segment k + 1 and walked up
// element by element until both are spent, exactly as the wrap walks the
// final carries (GfnTransform.cpp). A walk usually stops within an element
// or two; through a run of digits at the edge of the balanced range it goes
// on, possibly through later segments and out of the top, where what is left
// joins the last segment's carries as the pass's final carries.
#include <algorithm>
#include <cmath>
#include <limits>

#include "arith/GfnLanes.h"
#include "arith/GfnState.h"

namespace numen {

namespace {

// Adds the carries to the chains at element j and walks them up.
void WalkUp(GfnState& st, uint32_t j, long double intoRe, long double intoIm, float& err) {
    const long double radix = st.radix, inverse = st.inverseRadix;
    const uint32_t G = st.laneRowLength;
    for (; intoRe != 0 || intoIm != 0; ++j) {
        if (j == st.length) {
            st.carryR += intoRe;
            st.carryI += intoIm;
            return;
        }
        const long double rc = st.laneRows[2 * (j / G)], rs = st.laneRows[2 * (j / G) + 1];
        const long double cc = st.laneColumns[2 * (j % G)], cs = st.laneColumns[2 * (j % G) + 1];
        const long double c = rc * cc - rs * cs, s = rs * cc + rc * cs;
        Complex* z = st.element(j);
        const long double f = z->re, e = z->im;
        const long double p = c * f - s * e, q = s * f + c * e;
        const long double P = std::nearbyint(p), Q = std::nearbyint(q);
        err = std::max(err, float(std::max(std::fabs(p - P), std::fabs(q - Q))));
        const long double tr = P + intoRe, ti = Q + intoIm;
        intoRe = std::nearbyint(tr * inverse);
        intoIm = std::nearbyint(ti * inverse);
        const long double dr = tr - intoRe * radix, di = ti - intoIm * radix;
        z->re = double(c * dr + s * di);
        z->im = double(c * di - s * dr);
    }
}

GfnLaneJob JobOf(const GfnState& st) {
    GfnLaneJob job;
    job.array = &st.array[0].re;
    job.rowLength = st.rowLength;
    job.rowStride = st.rowStride();
    job.laneRowLength = st.laneRowLength;
    job.laneRows = uint32_t(st.laneRows.size() / 2);
    job.rowWeights = st.laneRows.data();
    job.columnWeights = st.laneColumns.data();
    job.radix = st.radix;
    job.inverseRadix = st.inverseRadix;
    return job;
}

void LanePass(GfnState& st, long double h, bool fromSquare, void (*lanes)(GfnLaneJob&), uint32_t segments) {
    double carries[2 * kGfnMaxSegments];
    GfnLaneJob job = JobOf(st);
    job.scale = double(h);
    job.fromSquare = fromSquare;
    job.carries = carries;
    lanes(job);
    st.carryR = st.carryI = 0;
    for (uint32_t k = 0; k < 2 * segments; ++k) {
        if (!std::isfinite(carries[k])) {  // a NaN or infinity met in that segment
            st.maxError = std::numeric_limits<float>::quiet_NaN();
            return;
        }
    }
    float err = std::max(st.maxError, float(job.error));
    const uint32_t n = st.length / segments;
    for (uint32_t k = 0; k + 1 < segments; ++k) WalkUp(st, (k + 1) * n, carries[2 * k], carries[2 * k + 1], err);
    st.carryR += carries[2 * (segments - 1)];
    st.carryI += carries[2 * (segments - 1) + 1];
    st.maxError = err;
}

}  // namespace

bool GfnUnloadByLanes(const GfnState& st, std::vector<double>& coefficients, float& error) {
    const GfnCarryVariant variant = st.settings.carry;
    const bool avx2 = variant == GfnCarryVariant::kAvx2, avx512 = variant == GfnCarryVariant::kAvx512;
    if ((!avx2 && !avx512) || st.laneRowLength % 8 != 0) return false;
    coefficients.resize(2 * size_t(st.length));
    GfnLaneJob job = JobOf(st);
    job.scale = 1.0 / double(st.length);  // a power of two: exact
    job.fromSquare = true;
    (avx2 ? GfnUnloadLanesAvx2 : GfnUnloadLanesAvx512)(job, coefficients.data());
    error = std::isnan(job.error) ? std::numeric_limits<float>::quiet_NaN() : float(job.error);
    return true;
}

void GfnCarryPassAvx2(GfnState& st, long double h, bool fromSquare) {
    LanePass(st, h, fromSquare, GfnCarryLanesAvx2, kGfnSegmentsAvx2);
}

void GfnCarryPassAvx512(GfnState& st, long double h, bool fromSquare) {
    LanePass(st, h, fromSquare, GfnCarryLanesAvx512, kGfnSegmentsAvx512);
}

}  // namespace numen
