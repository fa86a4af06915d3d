// The operations of the weighted transform modulo k*2^n + c
// (WeightedTransform.h): loading a BigInt, the square through the planned
// kernel family, the carry pass with its wrap, the multiplication by a word
// and the exact read-out.
//
// The carry pass, element j with rotation (C, S) = e^{i pi j/(2L)}
// (negacyclic form; the cyclic form has C = 1, S = 0 and one digit):
//
//     after a square:  p + i q = conj(z (C + i S)) / L    (the kernels return L conj(x (*) x))
//     between passes:  p + i q = z (C - i S)
//     coefficients:    P = round(p / u_j),  Q = round(q / u_{j+L});  error = max distance
//     chains:          t = P + carry, carry = round(t / base_j), digit = t - carry base_j
//     store:           (u_j digit_j + i u_{j+L} digit_{j+L}) (C + i S)
//
// base_j = 2^{b_j} except digit 0 (k 2^{e_1}). The real chain runs through
// digits 0 .. L-1 and carries into digit L (the imaginary part of element
// 0); the imaginary chain through L .. D-1 and carries out of the top,
// where k 2^n = -c: into digit 0 times -c. Both are then walked up from
// element 0 as far as they go, as in the generalized-Fermat transform.
//
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

// The base of digit j as a double and its reciprocal (exact but for digit 0).
struct DigitBase {
    double base, inverse;
};
inline DigitBase BaseOf(const WeightedState& st, uint32_t j) {
    if (j == 0) return {st.base0, st.inverseBase0};
    const int bits = int(st.digitBits(j));
    return {std::ldexp(1.0, bits), std::ldexp(1.0, -bits)};
}

// t + carry split into a balanced digit and the carry out of it.
inline double Split(double t, double& carry, const DigitBase& b) {
    carry = Round(t * b.inverse);
    return t - carry * b.base;
}

// One pass over the elements in order; the chains' final carries out.
template <bool kNegacyclic, bool kFromSquare>
double CarryPass(WeightedState& st, double scale, double& carryR, double& carryI) {
    const uint32_t L = st.length, g = st.rowLength;
    const double* w = st.weight.data();
    const double* iw = st.inverseWeight.data();
    double err = 0;
    carryR = carryI = 0;
    // Digits j >= 1 have floor(n/D) or one bit more.
    const uint32_t low = st.n >> st.logDigits;
    const DigitBase bases[2] = {{std::ldexp(1.0, int(low)), std::ldexp(1.0, -int(low))},
                                {std::ldexp(1.0, int(low) + 1), std::ldexp(1.0, -int(low) - 1)}};
    // The bases of both chains come from the exponents, walked along.
    uint32_t eR = 0, eI = st.exponent(L);
    for (uint32_t r = 0; r < st.rows; ++r) {
        Complex* row = st.array + size_t(r) * st.rowStride();
        for (uint32_t col = 0; col < g; ++col) {
            const uint32_t j = r * g + col;
            const double f = row[col].re, e = row[col].im;
            double C = 1, S = 0;
            if constexpr (kNegacyclic) st.rotation(j, C, S);
            double p, q;
            if constexpr (kFromSquare) {
                p = (f * C - e * S) * scale;
                q = -(f * S + e * C) * scale;
            } else {
                p = (f * C + e * S) * scale;
                q = (e * C - f * S) * scale;
            }
            const double P = RoundNoting(p * iw[j], err);
            // Real chain: digit j.
            const uint32_t eRNext = st.exponent(j + 1);
            const DigitBase bR = j == 0 ? DigitBase{st.base0, st.inverseBase0} : bases[eRNext - eR - low];
            eR = eRNext;
            const double dr = Split(P + carryR, carryR, bR);
            if constexpr (kNegacyclic) {
                const uint32_t jI = j + L;
                const double Q = RoundNoting(q * iw[jI], err);
                const uint32_t eINext = st.exponent(jI + 1);
                const DigitBase bI = bases[eINext - eI - low];
                eI = eINext;
                const double di = Split(Q + carryI, carryI, bI);
                const double ar = dr * w[j], ai = di * w[jI];
                row[col] = {ar * C - ai * S, ar * S + ai * C};
            } else {
                // The imaginary part of a real square is round-off alone.
                const double Q = RoundNoting(q * iw[j], err);
                if (Q != 0) err = std::max(err, 1.0);
                row[col] = {dr * w[j], 0.0};
            }
        }
    }
    return err;
}

// Adds the carries at element 0 (the real chain's into digit L, the
// imaginary chain's times -c into digit 0) and walks them up.
template <bool kNegacyclic>
void WrapCarries(WeightedState& st, double carryR, double carryI, double& err) {
    const double minusC = -double(st.c);
    const uint32_t L = st.length;
    double intoRe, intoIm;
    if constexpr (kNegacyclic) {
        intoRe = minusC * carryI;
        intoIm = carryR;
    } else {
        intoRe = minusC * carryR;
        intoIm = 0;
    }
    uint32_t j = 0;
    for (uint64_t steps = 0; intoRe != 0 || intoIm != 0; ++steps) {
        if (steps > 2 * uint64_t(L) + 2) throw ArithmeticFault("weighted transform: carry does not settle");
        Complex* z = st.element(j);
        double C = 1, S = 0;
        if constexpr (kNegacyclic) st.rotation(j, C, S);
        const double p = z->re * C + z->im * S, q = z->im * C - z->re * S;
        const double P = RoundNoting(p * st.inverseWeight[j], err);
        const double dr = Split(P + intoRe, intoRe, BaseOf(st, j));
        if constexpr (kNegacyclic) {
            const double Q = RoundNoting(q * st.inverseWeight[j + L], err);
            const double di = Split(Q + intoIm, intoIm, BaseOf(st, j + L));
            const double ar = dr * st.weight[j], ai = di * st.weight[j + L];
            *z = {ar * C - ai * S, ar * S + ai * C};
        } else {
            *z = {dr * st.weight[j], 0.0};
        }
        if (!std::isfinite(intoRe) || !std::isfinite(intoIm)) err = std::numeric_limits<double>::quiet_NaN();
        if (!(err < kWeightedErrorLimit)) return;
        if (++j == L) {  // past the top again
            j = 0;
            if constexpr (kNegacyclic) {
                const double oldRe = intoRe;
                intoRe = minusC * intoIm;
                intoIm = oldRe;
            } else {
                intoRe = minusC * intoRe;
            }
        }
    }
}

template <bool kNegacyclic, bool kFromSquare>
double RunPass(WeightedState& st, double scale) {
    double carryR, carryI;
    double err = CarryPass<kNegacyclic, kFromSquare>(st, scale, carryR, carryI);
    if (!std::isfinite(carryR) || !std::isfinite(carryI)) err = std::numeric_limits<double>::quiet_NaN();
    if (err < kWeightedErrorLimit) WrapCarries<kNegacyclic>(st, carryR, carryI, err);
    CheckError(st, err);
    return err;
}

template <bool kFromSquare>
double Pass(WeightedState& st, double scale) {
    return st.negacyclic ? RunPass<true, kFromSquare>(st, scale) : RunPass<false, kFromSquare>(st, scale);
}

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

void WeightedTransform::square() {
    WeightedState& st = Planned(state_);
    const KernelFamily& family = *st.settings.family;
    const KernelTables& tables = *st.tables;
    if (st.rows == 1) {
        family.rowSquare(st.array, st.length, 1, 0, tables);
        return;
    }
    const uint32_t g = st.rowLength, b = st.rows, step = family.columnsPerCall, stride = st.rowStride();
    for (uint32_t col = 0; col < g; col += step) family.columnForward(st.array + col, b, stride, tables);
    family.rowSquare(st.array, g, b, st.gap, tables);
    for (uint32_t col = 0; col < g; col += step) family.columnInverse(st.array + col, b, stride, tables);
}

double WeightedTransform::carry() {
    WeightedState& st = Planned(state_);
    return Pass<true>(st, 1.0 / st.length);
}

double WeightedTransform::multiplySmall(uint32_t a) {
    WeightedState& st = Planned(state_);
    if (a == 0) throw ArithmeticFault("weighted transform: multiplier 0");
    return Pass<false>(st, double(a));
}

double WeightedTransform::squareStep() {
    square();
    return carry();
}

double WeightedTransform::maxError() const { return Planned(state_).maxError; }

Complex* WeightedTransform::elementsForTest() { return Planned(state_).array; }

}  // namespace numen
