// Planning of the weighted transform modulo k*2^n + c (WeightedTransform.h):
// the digit count from the measured round-off, the shape, the buffer and
// the tables (u_j and 1/u_j per digit; for the negacyclic form the
// rotations e^{i pi j/(2L)} as buffer-row starts times column rotations).
//
// The rule. With k = 1 and c = +-1 the largest round-off of a square of
// random balanced digits grows with the length; the bits per digit that
// keep it near 0.2 (measured, arith/README.md) are close to
//     B1(D) = 21.5 - 0.15 log2 D.
// The weights' spread by k costs the sum of the squared weights over the
// smallest one: with u falling from k to 1 that is D (k^2 - 1)/(2 ln k)
// against D for k = 1, so the limit is
//     B(D, k, c) = B1(D) - log2(F(k |c|)) / 2,   F(x) = (x^2 - 1)/(2 ln x), F(1) = 1,
// |c| counted with k since it widens the spread and the wrapped terms alike.
// D is a power of two or 3, 5 or 7 times one (MixedRadixPass.h); the latter
// pay kSubArrayCost for the radix-p passes' part of the round-off.
#include <algorithm>
#include <cmath>
#include <numbers>

#include "arith/ArithmeticFault.h"
#include "arith/GfnTransform.h"
#include "arith/ProcessorProfile.h"
#include "arith/WeightedState.h"
#include "arith/kernels/Twiddles.h"

namespace numen {

namespace {

constexpr double kLimitAtOne = 21.5;
constexpr double kLimitSlope = 0.15;
// Lengths of 3, 5 or 7 sub-arrays round like a power of two of about twice
// their length (measured, arith/README.md): 0.1 bit less than their size
// alone would give.
constexpr double kSubArrayCost = 0.1;
// Digit 0's base k 2^{e_1} must stay an exact double below 2^52.
constexpr double kMostBits = 20.0;
uint32_t Log2(uint32_t x) {
    uint32_t l = 0;
    while ((1u << (l + 1)) <= x) ++l;
    return l;
}

// D = p 2^s with p in {1, 3, 5, 7}: p, or 0 for any other D.
uint32_t RadixOfDigits(uint32_t D) {
    if (D == 0) return 0;
    while (D % 2 == 0) D /= 2;
    return D == 1 || D == 3 || D == 5 || D == 7 ? D : 0;
}

// The shortest sub-array the radix-p passes hand to the kernels (the
// power-of-two lengths start at 32 elements as well).
constexpr uint32_t kLeastSubArray = 32;

// Whether D digits make a transform of this form: D from the least to the
// most digits, p 2^s, and for p > 1 sub-arrays of at least kLeastSubArray
// elements (D/2 elements for c > 0, so D even, D elements for c < 0).
bool DigitCountServes(uint32_t D, bool negacyclic) {
    const uint32_t p = RadixOfDigits(D);
    if (p == 0 || D < kWeightedMinDigits || D > kWeightedMaxDigits) return false;
    if (p == 1) return true;
    return (negacyclic ? D / 2 : D) / p >= kLeastSubArray && (!negacyclic || D % 2 == 0);
}

uint32_t Magnitude(int32_t c) { return c < 0 ? uint32_t(0) - uint32_t(c) : uint32_t(c); }

double SpreadCost(double x) {
    if (x <= 1.0) return 1.0;
    return (x * x - 1.0) / (2.0 * std::log(x));
}

}  // namespace

double WeightedBitLimit(uint32_t digits, uint32_t k, int32_t c) {
    const double base = kLimitAtOne - kLimitSlope * std::log2(double(digits)) -
                        (RadixOfDigits(digits) > 1 ? kSubArrayCost : 0.0);
    return std::min(kMostBits, base - 0.5 * std::log2(SpreadCost(double(k) * double(Magnitude(c)))));
}

WeightedPlan PlanWeighted(uint32_t k, uint32_t n, int32_t c) {
    WeightedPlan plan;
    if (k == 0 || c == 0 || Magnitude(c) > kWeightedMaxOffset) return plan;
    const double bits = double(n) + std::log2(double(k));
    // Ascending: 2^s, 5 2^{s-2}, 3 2^{s-1}, 7 2^{s-2}, 2^{s+1}, ...
    for (uint32_t P = kWeightedMinDigits; P <= kWeightedMaxDigits; P *= 2) {
        for (uint32_t D : {P, P / 4 * 5, P / 2 * 3, P / 4 * 7}) {
            if (!DigitCountServes(D, c > 0)) continue;
            const double limit = WeightedBitLimit(D, k, c);
            if (bits / D > limit) continue;
            plan.digits = D;
            plan.elements = c > 0 ? D / 2 : D;
            plan.bitsPerDigit = bits / D;
            plan.limitBits = limit;
            // Below the least useful bits (k too large for the lengths, or n
            // too small), or digits of no bits at all: the exact path serves.
            plan.served = plan.bitsPerDigit >= kWeightedMinBits && D <= n;
            return plan;
        }
    }
    return plan;
}

WeightedSettings CurrentWeightedSettings() {
    const ProcessorProfile& p = CurrentProcessorProfile();
    return {&SquaringKernels(), p.L2, p.lat64k, p.gap};
}

void WeightedTransform::plan(uint32_t k, uint32_t n, int32_t c) { plan(k, n, c, CurrentWeightedSettings()); }

void WeightedTransform::plan(uint32_t k, uint32_t n, int32_t c, const WeightedSettings& settings) {
    const WeightedPlan p = PlanWeighted(k, n, c);
    if (!p.served) throw ArithmeticFault("weighted transform: the plan does not serve this number");
    planDigits(k, n, c, p.digits, settings);
}

void WeightedTransform::planDigits(uint32_t k, uint32_t n, int32_t c, uint32_t D, const WeightedSettings& settings) {
    if (k == 0 || c == 0 || Magnitude(c) > kWeightedMaxOffset || D < kWeightedMinDigits || D > kWeightedMaxDigits ||
        !DigitCountServes(D, c > 0) || D > n || double(n) / D > kMostBits)
        throw ArithmeticFault("weighted transform: unsupported number or digit count");
    // Built aside and taken over whole, reusing the old buffer.
    std::unique_ptr<WeightedState> old = std::move(state_);
    auto st = std::make_unique<WeightedState>();
    if (old) st->buffer = std::move(old->buffer);
    old.reset();
    st->settings = settings;
    st->k = k;
    st->n = n;
    st->c = c;
    st->modulus.setCandidate(k, 2, n, c);
    if (st->modulus.compareInt(1) <= 0) throw ArithmeticFault("weighted transform: modulus below 2");
    st->negacyclic = c > 0;
    st->digits = D;
    st->lowBits = n / D;
    st->length = st->negacyclic ? D / 2 : D;
    // p sub-arrays of the kernels' shape for length / p, one after the other.
    st->radix = RadixOfDigits(D);
    const GfnShape shape =
        GfnChooseShape(st->length / st->radix, settings.l2Bytes, settings.lat64k, settings.family->avxLevel > 0);
    st->rowLength = shape.rowLength;
    st->kernelRows = shape.rows;
    st->rows = st->radix * shape.rows;
    st->rowShift = Log2(st->rowLength);
    st->gap = shape.onePass() ? 0 : uint32_t(std::max(settings.gap, 0));
    st->buffer.reserve(st->elementCount());
    st->array = st->buffer.first();
    st->tables = &KernelTablesFor(st->rowLength, st->kernelRows);
    st->mixed = MixedRadixTablesFor(st->radix, st->rowLength, st->kernelRows, st->rowStride(),
                                    settings.family->avxLevel > 0);
    st->digitWidth.assign(D, 0);
    for (uint32_t j = 1; j < D; ++j) st->digitWidth[j] = uint8_t(st->exponent(j + 1) - st->exponent(j));

    st->firstExponent = st->exponent(1);
    st->base0 = std::ldexp(double(k), int(st->firstExponent));
    st->inverseBase0 = 1.0 / st->base0;
    // u_j = 2^{(e_j - j n/D) + ([j >= 1] - j/D) log2 k + (j/D) log2 |c|}.
    const long double logK = std::log2(static_cast<long double>(k));
    const long double logC = std::log2(static_cast<long double>(Magnitude(c)));
    st->weight.resize(D);
    st->inverseWeight.resize(D);
    for (uint32_t j = 0; j < D; ++j) {
        const long double fraction =
            static_cast<long double>(uint64_t(st->exponent(j)) * D - uint64_t(j) * n) / D;  // in [0, 1)
        const long double share = static_cast<long double>(j) / D;
        const long double e = fraction + ((j >= 1 ? 1.0L : 0.0L) - share) * logK + share * logC;
        st->weight[j] = double(std::exp2(e));
        st->inverseWeight[j] = double(std::exp2(-e));
    }
    if (st->negacyclic) {
        const long double pi = std::numbers::pi_v<long double>;
        const uint32_t L = st->length, g = st->rowLength;
        st->rotationRows.resize(2 * size_t(st->rows));
        for (uint32_t r = 0; r < st->rows; ++r) {
            const long double psi = pi * (static_cast<long double>(r) * g) / (2.0L * L);
            st->rotationRows[2 * r] = double(std::cos(psi));
            st->rotationRows[2 * r + 1] = double(std::sin(psi));
        }
        st->columnCos.resize(g);
        st->columnSin.resize(g);
        for (uint32_t col = 0; col < g; ++col) {
            const long double psi = pi * col / (2.0L * L);
            st->columnCos[col] = double(std::cos(psi));
            st->columnSin[col] = double(std::sin(psi));
        }
    }
    st->scratch.resize(D);
    // The vector carry sweep's segment stride and wider-base bits (digit
    // 0's own base is handled in scalar code: it lies in the first block).
    // A stride of 4 digits less than D/16 keeps the 16 streams off one set
    // of the first-level cache (at D/16 a power of two they would share it);
    // the last segment takes the 64 digits left over.
    if (D % (4 * kWeightedVectorSegments) == 0) {
        const uint32_t run = D / kWeightedVectorSegments >= 8 ? D / kWeightedVectorSegments - 4
                                                              : D / kWeightedVectorSegments;
        const uint32_t narrow = n / D;
        st->vectorRun = run;
        st->wideMasks.assign(run / 4, 0);
        for (uint32_t s = 0; s < kWeightedVectorSegments; ++s)
            for (uint32_t i = 0; i < run; ++i) {
                const uint32_t j = s * run + i;
                if (j >= 1 && st->digitBits(j) > narrow) st->wideMasks[i / 4] |= uint64_t(1) << (4 * s + i % 4);
            }
    }
    st->carryPass = settings.family->avxLevel >= 1 && WeightedVectorCarryFits(*st) ? WeightedCarry::kAvx2
                                                                                   : WeightedCarry::kScalar;
    st->maxError = 0;
    state_ = std::move(st);
    setValue(0);
}

WeightedTransform::WeightedTransform() = default;
WeightedTransform::WeightedTransform(WeightedTransform&&) noexcept = default;
WeightedTransform& WeightedTransform::operator=(WeightedTransform&&) noexcept = default;
WeightedTransform::~WeightedTransform() = default;

bool WeightedTransform::planned() const { return state_ != nullptr; }
uint32_t WeightedTransform::digitCount() const { return state_ ? state_->digits : 0; }
uint32_t WeightedTransform::elementCount() const { return state_ ? state_->elementCount() : 0; }

}  // namespace numen
