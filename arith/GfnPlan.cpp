// Planning of the generalized-Fermat transform: the shape of L = m/2
// elements for the processor's caches, the buffer, and the weights
//
//     w_j = e^{i pi j/(2L)} = c_j - i s_j,   (c_j, s_j) = (cos psi_j, sin psi_j),
//     psi_j = -pi j/(2L),
//
// generated row by row: b row starts (cos, sin) of -pi r/(2b) and the step
// rotation (cot theta, sin theta), theta = -pi/(2L), in 80-bit precision.
// The lane passes read double tables instead (GfnLanes.h): the weight of
// element j is laneRows[j / G] times laneColumns[j % G], both entries from
// the exact angle, so one complex product with FMA is within a few ulps and
// no recurrence runs.
// Unlike the exact products' weights there is no scale factor: the carry
// pass removes the kernels' factor L explicitly.
#include <algorithm>
#include <cmath>
#include <numbers>

#include "arith/ArithmeticFault.h"
#include "arith/GfnLanes.h"
#include "arith/GfnState.h"
#include "arith/ProcessorProfile.h"
#include "arith/TransformBuffer.h"
#include "arith/kernels/KernelFamily.h"
#include "arith/kernels/Twiddles.h"

namespace numen {

namespace {

GfnState gState;
uint32_t gRadix = 0;

uint32_t Log2(uint32_t x) {
    uint32_t l = 0;
    while ((1u << (l + 1)) <= x) ++l;
    return l;
}

// 256 KB: the size the row lengths of the first two rows were tuned for.
constexpr uint32_t kTunedL2 = 256 * 1024;
// Below 256 KB: a 64 KB sweep under 6 cycles per double keeps longer
// transforms in one pass (the same threshold as the exact products).
constexpr int32_t kGfnFastCacheLatency = 6;

}  // namespace

GfnState& Gfn() { return gState; }

GfnShape GfnChooseShape(uint32_t length, uint32_t l2Bytes, int32_t lat64k, bool fastFamily) {
    const uint32_t L = length;
    if (fastFamily && L <= kGfnOnePassFastFamily) return {};
    uint32_t g = 0, b = 0;
    if (l2Bytes >= kTunedL2) {
        if (L <= 4096) return {};
        if (l2Bytes == kTunedL2) {
            g = L == 8192 ? 512 : (L == 16384 || L == 32768 || L == 65536 || L == 262144) ? 1024 : 2048;
        } else {
            g = L == 16384 ? 1024 : (L == 262144 || L == 1048576) ? 4096 : 2048;
        }
        if (g > L) g = L;
        b = L / g;
        while (b < 4) {
            b *= 2;
            g /= 2;
        }
    } else if (lat64k >= kGfnFastCacheLatency) {
        if (L <= 1024) return {};
        b = 1u << ((Log2(L) - 1) / 2);
        g = L / b;
    } else {
        if (L <= 2048) return {};
        g = L <= 8192 ? 256 : 1024;
        b = L / g;
    }
    return {g, b};
}

uint32_t GfnDigitCount() { return 2 * gState.length; }
uint32_t GfnRadix() { return gRadix; }
GfnShape GfnCurrentShape() { return {gState.rowLength, gState.rows}; }
uint32_t GfnElementCount() { return gState.passRows() * gState.rowStride(); }

void GfnPlan(uint32_t m, uint32_t radix) {
    if (m < 64 || m > (1u << 23) || (m & (m - 1)) != 0 || radix < 2 || radix > (1u << 31))
        throw ArithmeticFault("generalized-Fermat transform: unsupported size or radix");
    const ProcessorProfile& profile = CurrentProcessorProfile();
    GfnState& st = gState;
    st.length = m / 2;
    const GfnShape shape = GfnChooseShape(st.length, profile.L2, profile.lat64k, SquaringKernels().avxLevel > 0);
    st.rowLength = shape.rowLength;
    st.rows = shape.rows;
    st.gap = shape.onePass() ? 0 : uint32_t(profile.gap > 0 ? profile.gap : 0);
    ColumnTwiddles::Invalidate();
    RowTwiddles::Invalidate();
    TransformWeights::Invalidate();
    TransformBuffer::Reserve(GfnElementCount());
    st.array = TransformBuffer::First();
    if (shape.onePass()) RowTwiddles::Prepare(st.length, 0);

    gRadix = radix;
    st.radix = double(radix);
    st.inverseRadix = 1.0 / double(radix);
    const long double pi = std::numbers::pi_v<long double>;
    const long double theta = -pi / (2.0L * st.length);
    st.stepSin = std::sin(theta);
    st.stepCot = std::cos(theta) / st.stepSin;
    const uint32_t b = st.passRows();
    st.rowStarts.resize(b);
    for (uint32_t r = 0; r < b; ++r) {
        const long double psi = -pi * r / (2.0L * b);
        st.rowStarts[r] = {std::cos(psi), std::sin(psi)};
    }
    // Lane rows inside the buffer's rows and short enough that every
    // segment of the widest split is whole lane rows.
    const uint32_t G = std::min(st.passRowLength(), st.length / kGfnMaxSegments);
    st.laneRowLength = G;
    st.laneRows.resize(2 * size_t(st.length / G));
    for (uint32_t v = 0; v < st.length / G; ++v) {
        const long double psi = -pi * (static_cast<long double>(v) * G) / (2.0L * st.length);
        st.laneRows[2 * v] = double(std::cos(psi));
        st.laneRows[2 * v + 1] = double(std::sin(psi));
    }
    st.laneColumns.resize(2 * size_t(G));
    for (uint32_t c = 0; c < G; ++c) {
        const long double psi = -pi * c / (2.0L * st.length);
        st.laneColumns[2 * c] = double(std::cos(psi));
        st.laneColumns[2 * c + 1] = double(std::sin(psi));
    }
    st.carryR = st.carryI = 0;
    st.maxError = 0;
}

}  // namespace numen
