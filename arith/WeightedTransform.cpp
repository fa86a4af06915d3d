// The operations of the weighted transform modulo k*2^n + c
// (WeightedTransform.h): loading a BigInt, the square through the planned
// kernel family, the carry pass with its wrap, the multiplication by a word
// and the exact read-out.
//
// The carry pass is three sweeps. Element j has the rotation
// (C, S) = e^{i pi j/(2L)} (negacyclic form; the cyclic form has C = 1,
// S = 0 and one digit an element):
//
//   1. unweight and round into a digit array:
//        after a square:  p + i q = conj(z (C + i S)) / L   (the kernels return L conj(x (*) x))
//        between passes:  p + i q = z (C - i S)
//        digit j = round(p / u_j), digit j + L = round(q / u_{j+L}); error = largest distance
//   2. carry the digits: t = digit + carry, carry = round(t / base_j),
//      digit = t - carry base_j, base_j = 2^{b_j} but for digit 0 (k 2^{e_1});
//      in digit order the real chain runs into the imaginary one, and the
//      carry out of digit D - 1 enters digit 0 times -c (k 2^n = -c);
//   3. weight back: element j = (u_j digit_j + i u_{j+L} digit_{j+L}) (C + i S).
//
// Sweeps 1 and 3 are plain loops along the buffer's rows; sweep 2 runs
// eight chains side by side and walks each one's carry into the next. A
// plan of an AVX family runs the AVX2 versions of the three sweeps instead
// (arith/kernels/weighted_avx2.cpp, 16 chains), with the same walks; the
// scalar ones serve every other family and are the tests' oracle.
// squareStepTimes(a) multiplies the carried digits by a and carries them
// once more, on the digit array only, before the weighting back.
// Rounding uses 1.5 * 2^52 (x + R - R rounds to nearest for |x| < 2^51):
// baseline x86-64 has no rounding instruction. A coefficient of 2^50 or
// more, or a NaN, sets the error to the limit, so a corrupted buffer can
// never pass as exact.
#include <algorithm>
#include <cmath>
#include <limits>
#include <vector>

#include "arith/ArithmeticFault.h"
#include "arith/WeightedState.h"
#include "arith/kernels/KernelFamily.h"
#include "arith/kernels/WeightedSweeps.h"

namespace numen {

namespace {

constexpr double kRound = 6755399441055744.0;  // 1.5 * 2^52
constexpr double kLargest = 1125899906842624.0;  // 2^50

inline double Round(double x) {
    return (x + kRound) - kRound;
}

// Notes the rounding distance of x and returns x rounded.
inline double RoundNoting(double x, double& err) {
    const double r = Round(x);
    const double d = std::fabs(x - r);
    if (!(d <= err)) err = d;  // a NaN is kept: it fails the guard
    if (!(std::fabs(x) < kLargest)) err = std::numeric_limits<double>::quiet_NaN();
    return r;
}

WeightedState& Planned(const std::unique_ptr<WeightedState>& state) {
    if (!state) throw ArithmeticFault("weighted transform: no plan");
    return *state;
}

void CheckError(WeightedState& st, double err) {
    if (!(err <= st.maxError)) st.maxError = err;
    if (!(err < kWeightedErrorLimit))
        throw ArithmeticFault("weighted transform: round-off error reached 0.45");
}

// Sweep 1: every element unweighted and rounded into the digit array
// (digit j and j + L of element j), the largest rounding distance returned
// (NaN for a non-number or a coefficient of 2^50 or more).
template <bool kNegacyclic, bool kFromSquare>
double Unweight(const WeightedState& st, double scale, double* __restrict out) {
    const uint32_t g = st.rowLength, L = st.length;
    const double* __restrict iw = st.inverseWeight.data();
    double err = 0, largest = 0;
    for (uint32_t r = 0; r < st.rows; ++r) {
        const double* __restrict row = &st.array[size_t(r) * st.rowStride()].re;
        const uint32_t first = r * g;
        if constexpr (kNegacyclic) {
            const double rc = st.rotationRows[2 * r], rs = st.rotationRows[2 * r + 1];
            const double* __restrict cc = st.columnCos.data();
            const double* __restrict cs = st.columnSin.data();
            for (uint32_t col = 0; col < g; ++col) {
                const double C = rc * cc[col] - rs * cs[col], S = rs * cc[col] + rc * cs[col];
                const double f = row[2 * col], e = row[2 * col + 1];
                double p, q;
                if constexpr (kFromSquare) {
                    p = (f * C - e * S) * scale;
                    q = -(f * S + e * C) * scale;
                } else {
                    p = (f * C + e * S) * scale;
                    q = (e * C - f * S) * scale;
                }
                p *= iw[first + col];
                q *= iw[first + col + L];
                const double P = Round(p), Q = Round(q);
                err = std::max(err, std::max(std::fabs(p - P), std::fabs(q - Q)));
                largest = std::max(largest, std::max(std::fabs(p), std::fabs(q)));
                out[first + col] = P;
                out[first + col + L] = Q;
            }
        } else {
            for (uint32_t col = 0; col < g; ++col) {
                const double p = row[2 * col] * scale * iw[first + col];
                // The imaginary part of a real square is round-off alone.
                const double q = row[2 * col + 1] * scale * iw[first + col];
                const double P = Round(p);
                err = std::max(err, std::max(std::fabs(p - P), std::fabs(q)));
                // q is not carried: a NaN there must reach the guard (a NaN
                // in `largest` stays, std::max keeps its first argument).
                if (!(std::fabs(q) < kLargest)) largest = std::numeric_limits<double>::quiet_NaN();
                largest = std::max(largest, std::fabs(p));
                out[first + col] = P;
            }
        }
    }
    // max() drops NaN; a NaN anywhere leaves the sums below not finite.
    if (!(largest < kLargest)) return std::numeric_limits<double>::quiet_NaN();
    return err;
}

// Sweep 3: the digits weighted back into the elements.
template <bool kNegacyclic>
void Reweight(WeightedState& st, const double* __restrict digits) {
    const uint32_t g = st.rowLength, L = st.length;
    const double* __restrict w = st.weight.data();
    for (uint32_t r = 0; r < st.rows; ++r) {
        double* __restrict row = &st.array[size_t(r) * st.rowStride()].re;
        const uint32_t first = r * g;
        if constexpr (kNegacyclic) {
            const double rc = st.rotationRows[2 * r], rs = st.rotationRows[2 * r + 1];
            const double* __restrict cc = st.columnCos.data();
            const double* __restrict cs = st.columnSin.data();
            for (uint32_t col = 0; col < g; ++col) {
                const double C = rc * cc[col] - rs * cs[col], S = rs * cc[col] + rc * cs[col];
                const double ar = digits[first + col] * w[first + col], ai = digits[first + col + L] * w[first + col + L];
                row[2 * col] = ar * C - ai * S;
                row[2 * col + 1] = ar * S + ai * C;
            }
        } else {
            for (uint32_t col = 0; col < g; ++col) {
                row[2 * col] = digits[first + col] * w[first + col];
                row[2 * col + 1] = 0.0;
            }
        }
    }
}

// Sweep 2: the carries, on the digit array. In digit order the real chain
// (digits 0 .. L-1) runs straight into the imaginary one (L .. D-1), so the
// pass is one chain through D digits whose carry out of the top enters
// digit 0 times -c. A single chain is bound by its latency (an add, a
// rounding, a multiply and a subtraction per digit): the digits are cut
// into runs carried side by side (kSegments in scalar code,
// kWeightedVectorSegments in the vector sweep), and each run's carry is
// then walked into the next as far as it goes.
constexpr uint32_t kSegments = 8;

struct DigitBases {
    double base[2], inverse[2];  // floor(n/D) bits, one more
    uint32_t low;
};

DigitBases BasesOf(const WeightedState& st) {
    DigitBases b;
    b.low = st.n / st.digits;
    for (int k = 0; k < 2; ++k) {
        b.base[k] = std::ldexp(1.0, int(b.low) + k);
        b.inverse[k] = std::ldexp(1.0, -int(b.low) - k);
    }
    return b;
}

// d[j] + carry split into a balanced digit; returns the carry out.
inline double SplitDigit(const WeightedState& st, const DigitBases& b, double* d, uint32_t j, double carry) {
    const double t = d[j] + carry;
    double base, inverse;
    if (j == 0) {
        base = st.base0;
        inverse = st.inverseBase0;
    } else {
        const uint32_t k = st.digitBits(j) - b.low;
        base = b.base[k];
        inverse = b.inverse[k];
    }
    const double q = Round(t * inverse);
    d[j] = t - q * base;
    return q;
}

// Walks `carry` up from digit j; returns what passes digit D - 1.
double WalkDigits(const WeightedState& st, const DigitBases& b, double* d, uint32_t j, double carry) {
    for (; carry != 0 && j < st.digits; ++j) carry = SplitDigit(st, b, d, j, carry);
    return carry;
}

// The segments' own chains, carries out in `carry` (kSegments of them).
void CarrySegmentsScalar(const WeightedState& st, const DigitBases& b, double* d, double* carry) {
    const uint32_t run = st.digits / kSegments;
    for (uint32_t i = 0; i < run; ++i) {
#pragma GCC unroll 8
        for (uint32_t s = 0; s < kSegments; ++s) carry[s] = SplitDigit(st, b, d, s * run + i, carry[s]);
    }
}

// The same for kWeightedVectorSegments segments of vectorRun digits (the
// last one to D): the first block of every segment (digit 0's base among
// them) in scalar code, the rest in the vector sweep, the last segment's
// tail in scalar code.
void CarrySegmentsVector(const WeightedState& st, const DigitBases& b, double* d, double* carry) {
    const uint32_t run = st.vectorRun, last = kWeightedVectorSegments - 1;
    for (uint32_t s = 0; s < kWeightedVectorSegments; ++s)
        for (uint32_t i = 0; i < 4; ++i) carry[s] = SplitDigit(st, b, d, s * run + i, carry[s]);
    const WeightedCarryJob job{d, run, 1, st.wideMasks.data(), b.base[0], b.inverse[0], b.base[1], b.inverse[1], carry};
    WeightedCarrySegmentsAvx2(job);
    for (uint32_t j = kWeightedVectorSegments * run; j < st.digits; ++j)
        carry[last] = SplitDigit(st, b, d, j, carry[last]);
}

// Returns false when a carry is not a number (a corrupted buffer).
bool CarryDigits(const WeightedState& st, double* d) {
    const DigitBases b = BasesOf(st);
    const bool vector = st.carryPass == WeightedCarry::kAvx2;
    const uint32_t segments = vector ? kWeightedVectorSegments : kSegments;
    const uint32_t run = vector ? st.vectorRun : st.digits / kSegments;
    double carry[kWeightedVectorSegments] = {};
    if (vector)
        CarrySegmentsVector(st, b, d, carry);
    else
        CarrySegmentsScalar(st, b, d, carry);
    for (uint32_t s = 0; s < segments; ++s)
        if (!std::isfinite(carry[s])) return false;
    double top = carry[segments - 1];
    for (uint32_t s = 0; s + 1 < segments; ++s) top += WalkDigits(st, b, d, (s + 1) * run, carry[s]);
    const double minusC = -double(st.c);
    for (uint32_t rounds = 0; top != 0; ++rounds) {
        if (rounds > 4) throw ArithmeticFault("weighted transform: carry does not settle");
        top = WalkDigits(st, b, d, 0, minusC * top);
    }
    return true;
}

// Carried digits times a (1 < a < 2^32), before their second carry sweep.
// Digits 1 .. D-1 have at most 20 bits, balanced: |d a| < 2^51 is exact.
// Digit 0's base k 2^{e_1} may reach 2^52, so its product is split in
// integers and its carry joins digit 1.
void MultiplyCarriedDigits(const WeightedState& st, double* d, uint32_t a) {
    const double m = double(a);
    for (uint32_t j = 1; j < st.digits; ++j) d[j] *= m;
    const int64_t base0 = int64_t(st.k) << st.firstExponent;
    const __int128 t = static_cast<__int128>(int64_t(d[0])) * a + base0 / 2;
    __int128 q = t / base0;
    if (t % base0 < 0) --q;  // floor((t + base0/2) / base0)
    d[0] = double(int64_t(t - q * base0 - base0 / 2));
    d[1] += double(int64_t(q));
}

WeightedSweepJob SweepJobOf(WeightedState& st) {
    return {&st.array[0].re,        st.rows,          st.rowLength,       st.rowStride(),
            st.length,              st.negacyclic,    st.weight.data(),   st.inverseWeight.data(),
            st.rotationRows.data(), st.columnCos.data(), st.columnSin.data(), st.scratch.data()};
}

// multiplier: 1, or a for the product by a fused into the pass of a square.
template <bool kNegacyclic, bool kFromSquare>
double RunPass(WeightedState& st, double scale, int32_t addend, uint32_t multiplier) {
    double* d = st.scratch.data();
    const bool vector = st.carryPass == WeightedCarry::kAvx2;
    double err = vector ? WeightedUnweightAvx2(SweepJobOf(st), scale, kFromSquare)
                        : Unweight<kNegacyclic, kFromSquare>(st, scale, d);
    // Digit 0 is balanced within k 2^{e_1} / 2, far from 2^50: a small
    // addend there is exact and the carries take it on.
    d[0] += double(addend);
    // A corrupted buffer stops here, leaving the elements as they were.
    if (err < kWeightedErrorLimit && !CarryDigits(st, d)) err = std::numeric_limits<double>::quiet_NaN();
    CheckError(st, err);
    if (multiplier != 1) {
        MultiplyCarriedDigits(st, d, multiplier);
        CarryDigits(st, d);
    }
    if (vector)
        WeightedReweightAvx2(SweepJobOf(st));
    else
        Reweight<kNegacyclic>(st, d);
    return err;
}

}  // namespace

bool WeightedVectorCarryFits(const WeightedLayout& st) {
    return st.rowLength % 4 == 0 && st.digits % (4 * kWeightedVectorSegments) == 0;
}

void UseWeightedCarryForTest(WeightedTransform& t, WeightedCarry pass) {
    auto* st = const_cast<WeightedState*>(t.state());
    if (!st) throw ArithmeticFault("weighted transform: no plan");
    if (pass == WeightedCarry::kAvx2 && !WeightedVectorCarryFits(*st))
        throw ArithmeticFault("weighted transform: the shape does not allow the vector carry pass");
    st->carryPass = pass;
}

template <bool kFromSquare>
double WeightedPass(WeightedState& st, double scale, int32_t addend, uint32_t multiplier) {
    return st.negacyclic ? RunPass<true, kFromSquare>(st, scale, addend, multiplier)
                         : RunPass<false, kFromSquare>(st, scale, addend, multiplier);
}
template double WeightedPass<true>(WeightedState&, double, int32_t, uint32_t);
template double WeightedPass<false>(WeightedState&, double, int32_t, uint32_t);

namespace {


// Bits [from, from + count) of the magnitude of x, count <= 33.
uint64_t BitsAt(const BigInt& x, uint32_t from, uint32_t count) {
    const uint32_t* w = x.words();
    const uint32_t len = x.length();
    unsigned __int128 v = 0;
    const uint32_t word = from / 32, shift = from % 32;
    for (uint32_t i = 0; i < 3 && word + i < len; ++i) v |= static_cast<unsigned __int128>(w[word + i]) << (32 * i);
    return uint64_t(v >> shift) & ((uint64_t(1) << count) - 1);
}

}  // namespace

void BalanceWeightedDigits(const WeightedState& st, std::vector<int64_t>& d) {
    const uint32_t D = st.digits;
    const int64_t base0 = int64_t(st.base0);
    int64_t carry = 0;
    auto settle = [&](uint32_t j) {
        const int64_t base = j == 0 ? base0 : int64_t(1) << st.digitBits(j);
        const int64_t t = d[j] + carry;
        // floor((t + base/2) / base), for either sign of t.
        const int64_t shifted = t + base / 2;
        int64_t q = shifted / base;
        if (shifted % base != 0 && shifted < 0) --q;
        carry = q;
        d[j] = t - q * base;
    };
    for (uint32_t j = 0; j < D; ++j) settle(j);
    for (uint64_t steps = 0; carry != 0; ++steps) {
        if (steps > 4 * uint64_t(D)) throw ArithmeticFault("weighted transform: carry does not settle");
        carry *= -int64_t(st.c);
        for (uint32_t j = 0; j < D && carry != 0; ++j, ++steps) settle(j);
    }
}

void ReadWeightedDigits(const WeightedState& st, std::vector<int64_t>& d, double& error) {
    const uint32_t L = st.length;
    d.assign(st.digits, 0);
    for (uint32_t j = 0; j < L; ++j) {
        const Complex* z = st.element(j);
        double C = 1, S = 0;
        if (st.negacyclic) st.rotation(j, C, S);
        const double p = z->re * C + z->im * S, q = z->im * C - z->re * S;
        d[j] = int64_t(RoundNoting(p * st.inverseWeight[j], error));
        if (st.negacyclic) d[j + L] = int64_t(RoundNoting(q * st.inverseWeight[j + L], error));
    }
}

void WriteWeightedDigits(WeightedState& st, const std::vector<int64_t>& d) {
    const uint32_t L = st.length;
    for (uint32_t j = 0; j < L; ++j) {
        Complex* z = st.element(j);
        if (st.negacyclic) {
            double C, S;
            st.rotation(j, C, S);
            const double ar = double(d[j]) * st.weight[j], ai = double(d[j + L]) * st.weight[j + L];
            *z = {ar * C - ai * S, ar * S + ai * C};
        } else {
            *z = {double(d[j]) * st.weight[j], 0.0};
        }
    }
}

void WeightedTransform::setValue(uint32_t v) {
    BigInt x;
    x.setUnsigned(v);
    set(x);
}

void WeightedTransform::set(const BigInt& v) {
    WeightedState& st = Planned(state_);
    if (v.isNegative()) throw ArithmeticFault("weighted transform: negative value");
    BigInt x = v.compare(st.modulus) >= 0 ? mod(v, st.modulus) : v;
    // x = x_0 + base0 T with x_0 = x mod base0; T's bit fields are the
    // digits 1 .. D-1 (the top one takes whatever is left).
    const uint32_t e1 = st.firstExponent;
    const uint64_t low = BitsAt(x, 0, e1);
    BigInt T(x, e1);
    const uint32_t r = T.divMagnitudeWord(st.k);
    std::vector<int64_t> d(st.digits, 0);
    d[0] = int64_t((uint64_t(r) << e1) | low);
    for (uint32_t j = 1; j < st.digits; ++j) {
        const uint32_t from = st.exponent(j) - e1;
        const uint32_t count = j + 1 < st.digits ? st.digitBits(j) : 33;  // the top digit: the rest
        d[j] = int64_t(BitsAt(T, from, count));
    }
    BalanceWeightedDigits(st, d);
    WriteWeightedDigits(st, d);
    st.maxError = 0;
}

BigInt WeightedTransform::value() const {
    const WeightedState& st = Planned(state_);
    std::vector<int64_t> d;
    double err = 0;
    ReadWeightedDigits(st, d, err);
    if (!(err < kWeightedErrorLimit)) throw ArithmeticFault("weighted transform: digits are not integers");
    // T = sum_{j>=1} d_j 2^{e_j - e_1}, streamed into words; x = d_0 + k 2^{e_1} T.
    std::vector<uint32_t> words;
    words.reserve((st.n + 64) / 32 + 2);
    __int128 acc = 0;
    uint32_t accBits = 0;
    for (uint32_t j = 1; j < st.digits; ++j) {
        acc += static_cast<__int128>(d[j]) << accBits;
        accBits += st.digitBits(j);
        while (accBits >= 32) {
            words.push_back(uint32_t(acc));
            acc >>= 32;
            accBits -= 32;
        }
    }
    while (acc != 0 && acc != -1) {
        words.push_back(uint32_t(acc));
        acc >>= 32;
    }
    BigInt x;
    x.reserve(uint32_t(words.size()) + 1);
    std::copy(words.begin(), words.end(), x.words());
    x.setLengthAndSign(uint32_t(words.size()), false);
    if (acc == -1) {  // T = words - 2^{32 |words|}
        BigInt top;
        top.setBitsAt(32 * uint32_t(words.size()), 1);
        x.sub(top);
    }
    x.mulUnsigned(st.k);
    x.shift(-int32_t(st.firstExponent));
    BigInt d0;
    d0.setInt64(d[0]);
    x.add(d0);
    // |x| is below about 2N: a few corrections.
    for (int i = 0; x.isNegative() && i < 8; ++i) x.add(st.modulus);
    for (int i = 0; x.compare(st.modulus) >= 0 && i < 8; ++i) x.sub(st.modulus);
    if (x.isNegative() || x.compare(st.modulus) >= 0) throw ArithmeticFault("weighted transform: digits out of range");
    return x;
}

namespace {

// The kernels' square of one sub-array (length / radix elements).
void SquareSubArray(const WeightedState& st, Complex* sub) {
    const KernelFamily& family = *st.settings.family;
    const KernelTables& tables = *st.tables;
    const uint32_t g = st.rowLength, b = st.kernelRows, step = family.columnsPerCall, stride = st.rowStride();
    if (b == 1) {
        family.rowSquare(sub, g, 1, 0, tables);
        return;
    }
    for (uint32_t col = 0; col < g; col += step) family.columnForward(sub + col, b, stride, tables);
    family.rowSquare(sub, g, b, st.gap, tables);
    for (uint32_t col = 0; col < g; col += step) family.columnInverse(sub + col, b, stride, tables);
}

// The kernels' product of one sub-array by the same one of `other`.
void MultiplySubArray(const WeightedState& st, Complex* a, Complex* other) {
    const KernelFamily& family = *st.settings.family;
    const KernelTables& tables = *st.tables;
    const uint32_t g = st.rowLength, b = st.kernelRows, step = family.columnsPerCall, stride = st.rowStride();
    if (b == 1) {
        family.rowForward(a, g, 0, tables);
        family.rowForward(other, g, 0, tables);
        family.pointwiseMultiply(a, other, g);
        family.rowInverse(a, g, 0, tables);
        return;
    }
    for (uint32_t col = 0; col < g; col += step) {
        family.columnForward(a + col, b, stride, tables);
        family.columnForward(other + col, b, stride, tables);
    }
    for (uint32_t r = 0; r < b; ++r) {
        Complex* rowA = a + size_t(r) * stride;
        Complex* rowB = other + size_t(r) * stride;
        family.rowForward(rowA, g, r, tables);
        family.rowForward(rowB, g, r, tables);
        family.pointwiseMultiply(rowA, rowB, g);
        family.rowInverse(rowA, g, r, tables);
    }
    for (uint32_t col = 0; col < g; col += step) family.columnInverse(a + col, b, stride, tables);
}

}  // namespace

// A length of p sub-arrays: the radix-p pass, the kernels on each, the
// inverse pass (MixedRadixPass.h), which keeps length * conj(x (*) y).
void SquareWeightedElements(const WeightedState& st) {
    const size_t sub = size_t(st.kernelRows) * st.rowStride();
    MixedRadixForward(st.array, st.mixed);
    for (uint32_t q = 0; q < st.radix; ++q) SquareSubArray(st, st.array + q * sub);
    MixedRadixInverse(st.array, st.mixed);
}

void MultiplyWeightedElements(const WeightedState& st, Complex* other) {
    const size_t sub = size_t(st.kernelRows) * st.rowStride();
    MixedRadixForward(st.array, st.mixed);
    MixedRadixForward(other, st.mixed);
    for (uint32_t q = 0; q < st.radix; ++q) MultiplySubArray(st, st.array + q * sub, other + q * sub);
    MixedRadixInverse(st.array, st.mixed);
}

void WeightedTransform::square() { SquareWeightedElements(Planned(state_)); }

double WeightedTransform::carry(int32_t addend) {
    WeightedState& st = Planned(state_);
    return WeightedPass<true>(st, 1.0 / st.length, addend, 1);
}

double WeightedTransform::multiplySmall(uint32_t a) {
    WeightedState& st = Planned(state_);
    if (a == 0) throw ArithmeticFault("weighted transform: multiplier 0");
    return WeightedPass<false>(st, double(a), 0, 1);
}

double WeightedTransform::squareStep() {
    square();
    return carry();
}

double WeightedTransform::squareStepTimes(uint32_t a) {
    if (a == 0) throw ArithmeticFault("weighted transform: multiplier 0");
    square();
    WeightedState& st = Planned(state_);
    return WeightedPass<true>(st, 1.0 / st.length, 0, a);
}

double WeightedTransform::maxError() const { return Planned(state_).maxError; }

Complex* WeightedTransform::elementsForTest() { return Planned(state_).array; }

}  // namespace numen
