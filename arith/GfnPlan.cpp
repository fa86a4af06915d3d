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
#include <memory>
#include <numbers>

#include "arith/ArithmeticFault.h"
#include "arith/GfnLanes.h"
#include "arith/GfnState.h"
#include "arith/ProcessorProfile.h"
#include "arith/kernels/KernelFamily.h"
#include "arith/kernels/Twiddles.h"

namespace numen {

namespace {

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

GfnShape GfnChooseShape(uint32_t length, uint32_t l2Bytes, int32_t lat64k, bool fastFamily) {
    const uint32_t L = length;
    const GfnShape onePass{L, 1};
    if (fastFamily && L <= kGfnOnePassFastFamily) return onePass;
    uint32_t g = 0, b = 0;
    if (l2Bytes >= kTunedL2) {
        if (L <= 4096) return onePass;
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
        if (L <= 1024) return onePass;
        b = 1u << ((Log2(L) - 1) / 2);
        g = L / b;
    } else {
        if (L <= 2048) return onePass;
        g = L <= 8192 ? 256 : 1024;
        b = L / g;
    }
    return {g, b};
}

GfnSettings CurrentGfnSettings() {
    const ProcessorProfile& p = CurrentProcessorProfile();
    return {&SquaringKernels(), GfnCarryKernels(), p.L2, p.lat64k, p.gap};
}

void GfnTransform::plan(uint32_t m, uint32_t radix) { plan(m, radix, CurrentGfnSettings()); }

void GfnTransform::plan(uint32_t m, uint32_t radix, const GfnSettings& settings) {
    if (m < 64 || m > (1u << 23) || (m & (m - 1)) != 0 || radix < 2 || radix > (1u << 31))
        throw ArithmeticFault("generalized-Fermat transform: unsupported size or radix");
    // Built aside and taken over whole: a failed plan leaves no half state,
    // and the old buffer is reused when it is large enough.
    std::unique_ptr<GfnState> old = std::move(state_);
    auto st = std::make_unique<GfnState>();
    if (old) st->buffer = std::move(old->buffer);
    old.reset();
    st->settings = settings;
    st->length = m / 2;
    const GfnShape shape = GfnChooseShape(st->length, settings.l2Bytes, settings.lat64k, settings.family->avxLevel > 0);
    st->rowLength = shape.rowLength;
    st->rows = shape.rows;
    st->gap = shape.onePass() ? 0 : uint32_t(settings.gap > 0 ? settings.gap : 0);
    st->buffer.reserve(st->elementCount());
    st->array = st->buffer.first();
    st->tables = &KernelTablesFor(st->rowLength, st->rows);

    st->radixValue = radix;
    st->radix = double(radix);
    st->inverseRadix = 1.0 / double(radix);
    const long double pi = std::numbers::pi_v<long double>;
    const long double theta = -pi / (2.0L * st->length);
    st->stepSin = std::sin(theta);
    st->stepCot = std::cos(theta) / st->stepSin;
    const uint32_t b = st->rows;
    st->rowStarts.resize(b);
    for (uint32_t r = 0; r < b; ++r) {
        const long double psi = -pi * r / (2.0L * b);
        st->rowStarts[r] = {std::cos(psi), std::sin(psi)};
    }
    // Lane rows inside the buffer's rows and short enough that every
    // segment of the widest split is whole lane rows.
    const uint32_t G = std::min(st->rowLength, st->length / kGfnMaxSegments);
    st->laneRowLength = G;
    st->laneRows.resize(2 * size_t(st->length / G));
    for (uint32_t v = 0; v < st->length / G; ++v) {
        const long double psi = -pi * (static_cast<long double>(v) * G) / (2.0L * st->length);
        st->laneRows[2 * v] = double(std::cos(psi));
        st->laneRows[2 * v + 1] = double(std::sin(psi));
    }
    st->laneColumns.resize(2 * size_t(G));
    for (uint32_t c = 0; c < G; ++c) {
        const long double psi = -pi * c / (2.0L * st->length);
        st->laneColumns[2 * c] = double(std::cos(psi));
        st->laneColumns[2 * c + 1] = double(std::sin(psi));
    }
    st->carryR = st->carryI = 0;
    st->maxError = 0;
    state_ = std::move(st);
}

GfnTransform::GfnTransform() = default;
GfnTransform::GfnTransform(GfnTransform&&) noexcept = default;
GfnTransform& GfnTransform::operator=(GfnTransform&&) noexcept = default;
GfnTransform::~GfnTransform() = default;

GfnTransform::GfnTransform(const GfnTransform& other) { *this = other; }

GfnTransform& GfnTransform::operator=(const GfnTransform& other) {
    if (this == &other) return *this;
    if (!other.state_) {
        state_.reset();
        return *this;
    }
    // Taken out while the buffer grows, so a failed reserve leaves no plan.
    std::unique_ptr<GfnState> st = state_ ? std::move(state_) : std::make_unique<GfnState>();
    const GfnState& from = *other.state_;
    st->buffer.reserve(from.elementCount());
    static_cast<GfnPlanValues&>(*st) = from;
    st->array = st->buffer.first();
    std::copy_n(from.array, from.elementCount(), st->array);
    state_ = std::move(st);
    return *this;
}

bool GfnTransform::planned() const { return state_ != nullptr; }
uint32_t GfnTransform::digitCount() const { return state_ ? 2 * state_->length : 0; }
uint32_t GfnTransform::radix() const { return state_ ? state_->radixValue : 0; }
GfnShape GfnTransform::shape() const { return state_ ? GfnShape{state_->rowLength, state_->rows} : GfnShape{}; }
uint32_t GfnTransform::elementCount() const { return state_ ? state_->elementCount() : 0; }
const GfnSettings& GfnTransform::settings() const {
    if (!state_) throw ArithmeticFault("generalized-Fermat transform: no plan");
    return state_->settings;
}

}  // namespace numen
