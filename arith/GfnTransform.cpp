// The operations of the generalized-Fermat transform (GfnTransform.h):
// loading, squaring through the kernel family it was planned with, the
// carry pass with its wrap-around, the multiplication by a small factor and
// the final read-out.
//
// The wrap. After a pass the chain of the real parts leaves a carry out of
// d_{L-1}, which belongs to d_L (imaginary part of element 0), and the chain
// of the imaginary parts a carry out of d_{m-1}, which since B^m = -1 enters
// d_0 negated:
//
//     (carry into re z_0, carry into im z_0) = (-carryI, carryR)
//
// Both are walked up from element 0, element by element, for as long as
// either is not zero, wrapping again past element L-1 if they get there.
// A carry usually dies within one or two elements, but a run of digits at
// the edge of the balanced range (+-B/2) passes it on to the end, so a
// fixed number of elements would leave a digit outside the range, and the
// next squaring's round-off would grow with it. The walk ends: the carry
// out of a balanced digit is at most one in size, and the first digit not
// at the edge of the range absorbs it. It is bounded all the same, so that
// a corrupted (NaN) buffer raises ArithmeticFault instead of looping.
#include <algorithm>
#include <atomic>
#include <cmath>
#include <memory>
#include <vector>

#include "arith/ArithmeticFault.h"
#include "arith/GfnState.h"
#include "arith/kernels/KernelFamily.h"
#include "arith/kernels/Twiddles.h"

namespace numen {

namespace {

// 3 * 2^62: adding and subtracting it rounds an 80-bit value of magnitude
// below 2^62 to the nearest integer.
constexpr long double kRound = 3.0L * 4611686018427387904.0L;

inline long double RoundX87(long double x) {
    const long double t = x + kRound;
    return t - kRound;
}

// Walks the weights element by element, from element 0, wrapping to 0 after
// L - 1 (row starts exact, the rotation inside a row).
struct WeightWalk {
    const GfnState& st;
    uint32_t j = 0;
    ExtendedComplex w;
    explicit WeightWalk(const GfnState& s) : st(s), w(s.rowStarts[0]) {}
    void advance() {
        ++j;
        if (j == st.length) j = 0;
        if (j % st.rowLength == 0)
            w = st.rowStarts[j / st.rowLength];
        else
            w = RotateWeight(w, st.stepCot, st.stepSin);
    }
};

void CheckError(const GfnState& st) {
    if (!(st.maxError < kGfnErrorLimit))
        throw ArithmeticFault("generalized-Fermat transform: round-off error reached 0.45");
}

// Puts the pass's final carries back in at element 0 (see the head of the
// file) and walks them up until both are spent.
void WrapCarries(GfnState& st) {
    long double intoRe = -st.carryI, intoIm = st.carryR;
    st.carryR = st.carryI = 0;
    const long double radix = st.radix, inverse = st.inverseRadix;
    float err = st.maxError;
    WeightWalk walk(st);
    // A NaN never compares equal to zero: the bound turns a corrupted
    // buffer into a fault instead of an endless walk.
    for (uint64_t steps = 0; intoRe != 0 || intoIm != 0; ++steps) {
        if (steps > 2 * uint64_t(st.length) + 2)
            throw ArithmeticFault("generalized-Fermat transform: carry does not settle");
        Complex* z = st.element(walk.j);
        const long double c = walk.w.re, s = walk.w.im;
        const long double f = z->re, e = z->im;
        const long double p = c * f - s * e, q = s * f + c * e;
        const long double P = RoundX87(p), Q = RoundX87(q);
        err = std::max(err, float(std::max(std::fabs(p - P), std::fabs(q - Q))));
        long double tr = P + intoRe, ti = Q + intoIm;
        intoRe = RoundX87(tr * inverse);
        intoIm = RoundX87(ti * inverse);
        const long double dr = tr - intoRe * radix, di = ti - intoIm * radix;
        z->re = double(c * dr + s * di);
        z->im = double(c * di - s * dr);
        if (walk.j == st.length - 1) {  // past the top again: wrap once more
            const long double oldRe = intoRe;
            intoRe = -intoIm;
            intoIm = oldRe;
        }
        walk.advance();
    }
    st.maxError = err;
    CheckError(st);
}

// The job of an x87 or SSE2 pass over the state's buffer.
void RunJobPass(GfnState& st, long double h, bool fromSquare, void (*pass)(GfnPassJob&)) {
    GfnPassJob job;
    job.array = st.array;
    job.rowLength = st.rowLength;
    job.rows = st.rows;
    job.rowStride = st.rowStride();
    job.rowStarts = st.rowStarts.data();
    job.stepCot = st.stepCot;
    job.stepSin = st.stepSin;
    job.radix = st.radix;
    job.inverseRadix = st.inverseRadix;
    job.scale = h;
    job.fromSquare = fromSquare;
    job.maxError = st.maxError;
    pass(job);
    st.carryR = job.carryR;
    st.carryI = job.carryI;
    st.maxError = job.maxError;
}

void RunPass(GfnState& st, long double h, bool fromSquare) {
    switch (st.settings.carry) {
        case GfnCarryVariant::kX87: RunJobPass(st, h, fromSquare, GfnCarryPassX87); break;
        case GfnCarryVariant::kX87Prefetch: RunJobPass(st, h, fromSquare, GfnCarryPassX87Prefetch); break;
        case GfnCarryVariant::kSse2: RunJobPass(st, h, fromSquare, GfnCarryPassSse2); break;
        case GfnCarryVariant::kAvx2: GfnCarryPassAvx2(st, h, fromSquare); break;
        case GfnCarryVariant::kAvx512: GfnCarryPassAvx512(st, h, fromSquare); break;
    }
    CheckError(st);
    WrapCarries(st);
}

std::atomic<GfnSquareDisturbance> gDisturbance{nullptr};

GfnState& Planned(const std::unique_ptr<GfnState>& state) {
    if (!state) throw ArithmeticFault("generalized-Fermat transform: no plan");
    return *state;
}

}  // namespace

void GfnTransform::setValue(uint32_t v) {
    GfnState& st = Planned(state_);
    for (uint32_t r = 0; r < st.rows; ++r)
        std::fill_n(st.array + size_t(r) * st.rowStride(), st.rowLength, Complex{0, 0});
    st.array[0] = {double(v), 0};  // w_0 = 1
    st.maxError = 0;
}

void GfnTransform::setDigits(const int32_t* digits) {
    GfnState& st = Planned(state_);
    WeightWalk walk(st);
    for (uint32_t j = 0; j < st.length; ++j, walk.advance()) {
        const long double dr = digits[j], di = digits[j + st.length];
        const long double c = walk.w.re, s = walk.w.im;
        *st.element(j) = {double(c * dr + s * di), double(c * di - s * dr)};
    }
    st.maxError = 0;
}

void GfnTransform::readDigits(int32_t* digits) const {
    const GfnState& st = Planned(state_);
    WeightWalk walk(st);
    for (uint32_t j = 0; j < st.length; ++j, walk.advance()) {
        const Complex* z = st.element(j);
        const long double c = walk.w.re, s = walk.w.im;
        digits[j] = int32_t(RoundX87(c * z->re - s * z->im));
        digits[j + st.length] = int32_t(RoundX87(s * z->re + c * z->im));
    }
}

void GfnTransform::square() {
    GfnState& st = Planned(state_);
    const KernelFamily& family = *st.settings.family;
    const KernelTables& tables = *st.tables;
    if (st.onePass()) {
        family.rowSquare(st.array, st.length, 1, 0, tables);
    } else {
        const uint32_t g = st.rowLength, b = st.rows, step = family.columnsPerCall, stride = st.rowStride();
        for (uint32_t c = 0; c < g; c += step) family.columnForward(st.array + c, b, stride, tables);
        family.rowSquare(st.array, g, b, st.gap, tables);
        for (uint32_t c = 0; c < g; c += step) family.columnInverse(st.array + c, b, stride, tables);
    }
    if (const GfnSquareDisturbance d = gDisturbance.load(std::memory_order_relaxed); d != nullptr)
        d(st.array, st.length);
}

// The kernels of the exact products (TransformProduct.cpp) on the two
// weighted arrays: forward both, conj(x y) per element, inverse, which
// leaves L conj(x (*) y) exactly where square leaves L conj(x (*) x).
void GfnTransform::multiply(const GfnTransform& y) {
    GfnState& st = Planned(state_);
    if (&y == this) {
        square();
        return;
    }
    const GfnState& other = Planned(y.state_);
    if (other.length != st.length || other.radixValue != st.radixValue || other.rowLength != st.rowLength ||
        other.rows != st.rows || other.gap != st.gap || other.settings.family != st.settings.family)
        throw ArithmeticFault("generalized-Fermat transform: product of two different plans");
    st.factor.reserve(st.elementCount());
    Complex* f = st.factor.first();
    std::copy_n(other.array, st.elementCount(), f);
    const KernelFamily& family = *st.settings.family;
    const KernelTables& tables = *st.tables;
    if (st.onePass()) {
        family.rowForward(st.array, st.length, 0, tables);
        family.rowForward(f, st.length, 0, tables);
        family.pointwiseMultiply(st.array, f, st.length);
        family.rowInverse(st.array, st.length, 0, tables);
        return;
    }
    const uint32_t g = st.rowLength, b = st.rows, step = family.columnsPerCall, stride = st.rowStride();
    for (uint32_t c = 0; c < g; c += step) {
        family.columnForward(st.array + c, b, stride, tables);
        family.columnForward(f + c, b, stride, tables);
    }
    for (uint32_t r = 0; r < b; ++r) {
        Complex* rowX = st.array + size_t(r) * stride;
        Complex* rowY = f + size_t(r) * stride;
        family.rowForward(rowX, g, r, tables);
        family.rowForward(rowY, g, r, tables);
        family.pointwiseMultiply(rowX, rowY, g);
        family.rowInverse(rowX, g, r, tables);
    }
    for (uint32_t c = 0; c < g; c += step) family.columnInverse(st.array + c, b, stride, tables);
}

namespace {

// x - y from digit vectors: the difference carried into [0, B) with the
// carry out of the top subtracted at d_0 (B^m = -1), until no carry is
// left; then the digits are the residue itself, below B^m, and zero only
// for a multiple of N. Three rounds settle every residue but -1 (= B^m,
// which m digits below B cannot hold and the rounds pass around for ever):
// a fourth round means not zero.
bool DifferenceIsZero(const std::vector<int32_t>& dx, const std::vector<int32_t>& dy, int64_t B) {
    const size_t m = dx.size();
    std::vector<int64_t> d(m);
    for (size_t j = 0; j < m; ++j) d[j] = int64_t(dx[j]) - dy[j];
    int64_t top = 0;
    for (int round = 0; round < 4; ++round) {
        int64_t carry = -top;
        for (size_t j = 0; j < m; ++j) {
            const int64_t t = d[j] + carry;
            int64_t q = t / B, r = t % B;
            if (r < 0) r += B, --q;
            d[j] = r;
            carry = q;
        }
        top = carry;
        if (top == 0) return std::all_of(d.begin(), d.end(), [](int64_t v) { return v == 0; });
    }
    return false;
}

// One digit difference into a chain of digits in [0, B): the carry out,
// and whether the digit left is zero.
inline bool CarryDigit(int64_t t, int64_t B, int64_t& carry) {
    if (t == 0) {
        carry = 0;
        return true;
    }
    int64_t q = t / B, r = t % B;
    if (r < 0) r += B, --q;
    carry = q;
    return r == 0;
}

}  // namespace

// First in one pass over both arrays, no digit stored: the two halves'
// chains of x - y (as in the carry pass) carried into [0, B) side by side.
// When neither leaves a carry the difference is those digits, zero or not;
// otherwise (digits of one value that differ at a carry, rare) the digit
// vectors are read out and carried in full.
bool GfnTransform::sameValue(const GfnTransform& y) const {
    const GfnState& st = Planned(state_);
    const GfnState& other = Planned(y.state_);
    if (&y == this) return true;
    if (other.length != st.length || other.radixValue != st.radixValue)
        throw ArithmeticFault("generalized-Fermat transform: values of two different moduli compared");
    const int64_t B = st.radixValue;
    WeightWalk wx(st), wy(other);
    int64_t carryLow = 0, carryHigh = 0;
    bool zero = true;
    for (uint32_t j = 0; j < st.length; ++j, wx.advance(), wy.advance()) {
        const Complex* zx = st.element(j);
        const Complex* zy = other.element(j);
        const long double cx = wx.w.re, sx = wx.w.im, cy = wy.w.re, sy = wy.w.im;
        // Differences of integers, exact in 80 bits; converted (a change
        // of the x87 control word each) only where one is not zero.
        const long double low = RoundX87(cx * zx->re - sx * zx->im) - RoundX87(cy * zy->re - sy * zy->im);
        const long double high = RoundX87(sx * zx->re + cx * zx->im) - RoundX87(sy * zy->re + cy * zy->im);
        if (low != 0 || carryLow != 0) zero &= CarryDigit(int64_t(low) + carryLow, B, carryLow);
        if (high != 0 || carryHigh != 0) zero &= CarryDigit(int64_t(high) + carryHigh, B, carryHigh);
    }
    if (carryLow == 0 && carryHigh == 0) return zero;
    const size_t m = 2 * size_t(st.length);
    std::vector<int32_t> dx(m), dy(m);
    readDigits(dx.data());
    y.readDigits(dy.data());
    return DifferenceIsZero(dx, dy, B);
}

void GfnTransform::carry(uint32_t a) {
    GfnState& st = Planned(state_);
    RunPass(st, static_cast<long double>(a) / st.length, true);
}

void GfnTransform::multiplySmall(uint32_t a) {
    GfnState& st = Planned(state_);
    RunPass(st, static_cast<long double>(a), false);
}

void GfnTransform::carryThenMultiply(uint32_t a) {
    carry(1);
    if (a != 1) multiplySmall(a);
}

float GfnTransform::unload(int32_t* digits) {
    GfnState& st = Planned(state_);
    const uint32_t L = st.length;
    const long double inverseL = 1.0L / L;
    const int64_t radix = int64_t(st.radix);
    float err = st.maxError;
    // Exact coefficients (they fit 64 bits: |coefficient| < 2^53 while the
    // error is below 0.45), then two balanced carry chains in integers.
    std::vector<int64_t> coeff(2 * size_t(L));
    std::vector<double> rounded;
    float laneErr = 0;
    if (GfnUnloadByLanes(st, rounded, laneErr)) {
        if (!(laneErr < kGfnErrorLimit)) err = kGfnErrorLimit;  // NaN too
        err = std::max(err, laneErr < kGfnErrorLimit ? laneErr : kGfnErrorLimit);
        for (size_t j = 0; j < 2 * size_t(L); ++j) {
            if (!(std::fabs(rounded[j]) < 9.0e18)) err = kGfnErrorLimit;
            coeff[j] = err < kGfnErrorLimit ? int64_t(rounded[j]) : 0;
        }
    } else {
        WeightWalk walk(st);
        for (uint32_t j = 0; j < L; ++j, walk.advance()) {
            const Complex* z = st.element(j);
            const long double c = walk.w.re, s = walk.w.im;
            const long double p = (c * z->re + s * z->im) * inverseL;
            const long double q = (s * z->re - c * z->im) * inverseL;
            const long double P = RoundX87(p), Q = RoundX87(q);
            err = std::max(err, float(std::max(std::fabs(p - P), std::fabs(q - Q))));
            if (!(std::fabs(P) < 9.0e18L && std::fabs(Q) < 9.0e18L)) err = kGfnErrorLimit;
            coeff[j] = err < kGfnErrorLimit ? int64_t(P) : 0;
            coeff[j + L] = err < kGfnErrorLimit ? int64_t(Q) : 0;
        }
    }
    st.maxError = err;
    CheckError(st);
    // Balanced split, rounding the quotient to nearest.
    auto split = [radix](int64_t t, int64_t& carry) {
        int64_t q = t / radix, r = t % radix;
        if (2 * r > radix) ++q, r -= radix;
        else if (2 * r < -radix) --q, r += radix;
        carry = q;
        return r;
    };
    int64_t carryR = 0, carryI = 0;
    for (uint32_t j = 0; j < L; ++j) {
        coeff[j] = split(coeff[j] + carryR, carryR);
        coeff[j + L] = split(coeff[j + L] + carryI, carryI);
    }
    // The wrap, walked as far as it goes (head of the file): the real carry
    // enters d_L, the imaginary one d_0 negated.
    const size_t m = 2 * size_t(L);
    int64_t carries[2] = {-carryI, carryR};  // into d_0, into d_L
    for (int chain = 0; chain < 2; ++chain) {
        size_t j = chain == 0 ? 0 : L;
        int64_t carry = carries[chain];
        for (size_t steps = 0; carry != 0; ++steps) {
            if (steps > 2 * m) throw ArithmeticFault("generalized-Fermat transform: carry does not settle");
            coeff[j] = split(coeff[j] + carry, carry);
            if (++j == m) {
                j = 0;
                carry = -carry;
            }
        }
    }
    for (size_t j = 0; j < m; ++j) digits[j] = int32_t(coeff[j]);
    return err;
}

void SetGfnSquareDisturbance(GfnSquareDisturbance disturbance) {
    gDisturbance.store(disturbance, std::memory_order_relaxed);
}

float GfnTransform::maxError() const { return Planned(state_).maxError; }
void GfnTransform::setMaxError(float error) { Planned(state_).maxError = error; }

}  // namespace numen
