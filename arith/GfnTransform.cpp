// The operations of the generalized-Fermat transform (GfnTransform.h):
// loading, squaring through the kernel family of the exact products, the
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
#include <cmath>

#include "arith/ArithmeticFault.h"
#include "arith/GfnState.h"
#include "arith/kernels/KernelFamily.h"
#include "arith/kernels/Twiddles.h"

namespace numen {

namespace {

GfnCarryVariant gVariant = GfnCarryVariant::kX87;

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
        if (j % st.passRowLength() == 0)
            w = st.rowStarts[j / st.passRowLength()];
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

void RunPass(long double h, bool fromSquare) {
    switch (gVariant) {
        case GfnCarryVariant::kX87: GfnCarryPassX87(h, fromSquare); break;
        case GfnCarryVariant::kX87Prefetch: GfnCarryPassX87Prefetch(h, fromSquare); break;
        case GfnCarryVariant::kSse2: GfnCarryPassSse2(h, fromSquare); break;
        case GfnCarryVariant::kAvx2: GfnCarryPassAvx2(h, fromSquare); break;
        case GfnCarryVariant::kAvx512: GfnCarryPassAvx512(h, fromSquare); break;
    }
    CheckError(Gfn());
    WrapCarries(Gfn());
}

void RequirePlan() {
    if (Gfn().length == 0) throw ArithmeticFault("generalized-Fermat transform: no plan");
}

}  // namespace

GfnCarryVariant GfnCarryVariantFor(int32_t sseLevel, bool noSse2) {
    if (sseLevel == 0) return GfnCarryVariant::kX87;
    if (sseLevel >= 2 && !noSse2) return GfnCarryVariant::kSse2;
    return GfnCarryVariant::kX87Prefetch;
}

GfnCarryVariant GfnCarryVariantFor(int32_t sseLevel, bool noSse2, int32_t avxLevel, bool noAvx) {
    if (sseLevel >= 2 && !noSse2 && !noAvx && avxLevel >= 1)
        return avxLevel >= 2 ? GfnCarryVariant::kAvx512 : GfnCarryVariant::kAvx2;
    return GfnCarryVariantFor(sseLevel, noSse2);
}

void GfnSelectCarryVariant(GfnCarryVariant variant) { gVariant = variant; }
GfnCarryVariant GfnSelectedCarryVariant() { return gVariant; }

void GfnSetValue(uint32_t v) {
    RequirePlan();
    GfnState& st = Gfn();
    for (uint32_t r = 0; r < st.passRows(); ++r)
        std::fill_n(st.array + size_t(r) * st.rowStride(), st.passRowLength(), Complex{0, 0});
    st.array[0] = {double(v), 0};  // w_0 = 1
    st.maxError = 0;
}

void GfnSetDigits(const int32_t* digits) {
    RequirePlan();
    GfnState& st = Gfn();
    WeightWalk walk(st);
    for (uint32_t j = 0; j < st.length; ++j, walk.advance()) {
        const long double dr = digits[j], di = digits[j + st.length];
        const long double c = walk.w.re, s = walk.w.im;
        *st.element(j) = {double(c * dr + s * di), double(c * di - s * dr)};
    }
    st.maxError = 0;
}

void GfnReadDigits(int32_t* digits) {
    RequirePlan();
    const GfnState& st = Gfn();
    WeightWalk walk(st);
    for (uint32_t j = 0; j < st.length; ++j, walk.advance()) {
        const Complex* z = st.element(j);
        const long double c = walk.w.re, s = walk.w.im;
        digits[j] = int32_t(RoundX87(c * z->re - s * z->im));
        digits[j + st.length] = int32_t(RoundX87(s * z->re + c * z->im));
    }
}

void GfnSquare() {
    RequirePlan();
    const GfnState& st = Gfn();
    const KernelFamily& family = SquaringKernels();
    if (st.rows == 0) {
        RowTwiddles::Prepare(st.length, 0);
        family.rowSquare(st.array, st.length, 1, 0);
        return;
    }
    const uint32_t g = st.rowLength, b = st.rows, step = family.columnsPerCall;
    ColumnTwiddles::Prepare(b, st.rowStride());
    RowTwiddles::Prepare(g, b);
    for (uint32_t c = 0; c < g; c += step) family.columnForward(st.array + c, b);
    family.rowSquare(st.array, g, b, st.gap);
    for (uint32_t c = 0; c < g; c += step) family.columnInverse(st.array + c, b);
}

void GfnCarry(uint32_t a) {
    RequirePlan();
    RunPass(static_cast<long double>(a) / Gfn().length, true);
}

void GfnMultiplySmall(uint32_t a) {
    RequirePlan();
    RunPass(static_cast<long double>(a), false);
}

void GfnCarryThenMultiply(uint32_t a) {
    GfnCarry(1);
    if (a != 1) GfnMultiplySmall(a);
}

float GfnUnload(int32_t* digits) {
    RequirePlan();
    GfnState& st = Gfn();
    const uint32_t L = st.length;
    const long double inverseL = 1.0L / L;
    const int64_t radix = int64_t(st.radix);
    float err = st.maxError;
    // Exact coefficients (they fit 64 bits: |coefficient| < 2^53 while the
    // error is below 0.45), then two balanced carry chains in integers.
    std::vector<int64_t> coeff(2 * size_t(L));
    std::vector<double> rounded;
    float laneErr = 0;
    if (GfnUnloadByLanes(gVariant, rounded, laneErr)) {
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

float GfnMaxError() { return Gfn().maxError; }
void GfnSetMaxError(float error) { Gfn().maxError = error; }

}  // namespace numen
