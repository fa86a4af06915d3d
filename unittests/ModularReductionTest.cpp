// The special-form reductions and the power-loop steps against GMP: random
// operands over each reduction's input range for many (k, b, n, c), k up to
// 2^32 - 1, every kind of radix; long chains of squarings and
// multiplications compared step by step; the small worked examples; and the
// modulus caches (a new key rebuilds, the same key does not).
#include <gmp.h>
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <random>
#include <string>
#include <tuple>
#include <vector>

#include "arith/Candidate.h"
#include "arith/ModularSteps.h"
#include "arith/RadixChoice.h"
#include "arith/ReduceBase2.h"
#include "arith/ReduceGeneral.h"
#include "arith/ReduceGfn.h"
#include "arith/ReduceRadix.h"
#include "ref/GmpOracle.h"
#include "arith/CyclotomicValue.h"

namespace numen {
namespace {

using testing::FromMpz;
using testing::Mpz;
using testing::RandomOperands;
using testing::Repeats;
using testing::SameValue;
using testing::TestSeed;
using testing::ToMpz;

std::string Describe(const Candidate& f) {
    return std::to_string(f.k) + "*" + std::to_string(f.b) + "^" + std::to_string(f.n) + (f.c < 0 ? "" : "+") +
           std::to_string(f.c) + " seed " + std::to_string(TestSeed());
}

Mpz ModulusOf(const Candidate& f) {
    Mpz m;
    mpz_ui_pow_ui(m, f.b, f.n);
    mpz_mul_ui(m, m, f.k);
    if (f.c >= 0) mpz_add_ui(m, m, uint32_t(f.c));
    else mpz_sub_ui(m, m, uint32_t(-int64_t(f.c)));
    return m;
}

// Value of a RadixInt, and whether its digits keep the representation rules.
Mpz ValueOf(const RadixInt& x) {
    Mpz acc;
    for (uint32_t i = x.length(); i-- > 0;) {
        mpz_mul_ui(acc, acc, x.radix());
        mpz_add_ui(acc, acc, x.digits()[i]);
    }
    if (x.isNegative()) mpz_neg(acc, acc);
    return acc;
}

bool SameValue(const RadixInt& x, mpz_srcptr m) {
    for (uint32_t i = 0; i < x.length(); ++i) {
        if (x.digits()[i] >= x.radix()) return false;
    }
    if (x.length() != 0 && x.digits()[x.length() - 1] == 0) return false;
    return mpz_cmp(ValueOf(x), m) == 0;
}

RadixInt ToRadix(uint32_t radix, mpz_srcptr m) { return RadixInt(radix, FromMpz(m)); }

// Operands in [0, bound): uniform ones, edge-biased ones (runs of ones and
// zeros, powers of two +- 1) folded into range, and bound - 1, 0, 1.
std::vector<Mpz> OperandsBelow(mpz_srcptr bound, RandomOperands& rng, gmp_randstate_t state, int count) {
    std::vector<Mpz> out(3);
    mpz_sub_ui(out[0], bound, 1);
    mpz_set_ui(out[1], 0);
    mpz_set_ui(out[2], 1);
    uint32_t words = uint32_t(mpz_sizeinbase(bound, 2) / 32 + 1);
    for (int i = 0; i < count; ++i) {
        Mpz v;
        if (i % 2 == 0) {
            mpz_urandomm(v, state, bound);
        } else {
            ToMpz(v, rng.value(1 + rng.below(words), false));
            mpz_mod(v, v, bound);
        }
        out.push_back(v);
    }
    return out;
}

class GmpRandom {
public:
    GmpRandom() {
        gmp_randinit_default(state);
        gmp_randseed_ui(state, (unsigned long)TestSeed());
    }
    ~GmpRandom() { gmp_randclear(state); }
    gmp_randstate_t state;
};

// --- worked examples ------------------------------------------------------------

TEST(ModularReduction, WorkedExamples) {
    auto base2 = [](int32_t v, int32_t c) {
        BigInt x(v);
        reduceBase2(x, 3, 2, c);
        return x.toString();
    };
    EXPECT_EQ(base2(100, 1), "9");
    EXPECT_EQ(base2(12, 1), "12");
    EXPECT_EQ(base2(13, 1), "0");
    EXPECT_EQ(base2(100, -1), "1");
    EXPECT_EQ(base2(121, -1), "0");

    BigInt folded(100);
    foldBase2(folded, 3, 2, 1);
    EXPECT_EQ(folded.toString(), "-4");
    FinishBase2(folded, {3, 2, 2, 1});
    EXPECT_EQ(folded.toString(), "9");

    BigInt g(161 * 161 - 1);
    reduceGeneral(g, {2, 3, 4, -1});
    EXPECT_EQ(g.toString(), "160");
    BigInt zero;
    reduceGeneral(zero, {2, 3, 4, -1});
    EXPECT_TRUE(zero.isZero());

    RadixModulusShape shape = RadixModulusShapeOf({1, 10, 13, 1}, 1000000);
    EXPECT_EQ(shape.mu, 6u);
    EXPECT_EQ(shape.q, 2u);
    EXPECT_EQ(shape.t, 1u);
    EXPECT_EQ(shape.rho, 10u);
    EXPECT_EQ(RadixModulus({1, 10, 13, 1}, 1000000).toBigInt().toString(), "10000000000001");

    // B^n -> B^n, B^(2n) -> 1, at most n digits unchanged; n = 3, B = 1000.
    RadixInt p(1000, 1);
    p.shiftDigits(-3);
    reduceGfn(p, 1000, 3);
    EXPECT_EQ(p.toBigInt().toString(), "1000000000");
    RadixInt q(1000, 1);
    q.shiftDigits(-6);
    reduceGfn(q, 1000, 3);
    EXPECT_EQ(q.toBigInt().toString(), "1");
    RadixInt r(1000, BigInt(999999));
    r.mulInt(1000);
    r.addInt(999);
    reduceGfn(r, 1000, 3);
    EXPECT_EQ(r.toBigInt().toString(), "999999999");
}

// --- base 2 ---------------------------------------------------------------------

const std::vector<uint32_t> kWords = {1, 3, 5, 0x7fffffffu, 0x80000001u, 0xfffffffbu, 0xffffffffu, 12345};
const std::vector<int32_t> kOffsets = {1, -1, 3, -3, 7, 15, -15, 2, 0, 1001, -999};
const std::vector<uint32_t> kBase2Exponents = {1, 2, 31, 32, 33, 64, 100, 1021, 4000};

TEST(ModularReduction, ReduceBase2MatchesGmpForSquaresAndSmallMultiples) {
    RandomOperands rng(TestSeed());
    GmpRandom gr;
    for (uint32_t k : kWords) {
        for (uint32_t n : kBase2Exponents) {
            for (int32_t c : kOffsets) {
                const Candidate f{k, 2, n, c};
                Mpz N = ModulusOf(f);
                if (mpz_cmp_ui(N.v, 1) <= 0) continue;
                Mpz square;
                mpz_mul(square, N, N);
                Mpz top;  // the range of the power loop: below 2^n N
                mpz_mul_2exp(top, N, n);
                for (mpz_srcptr bound : {mpz_srcptr(square), mpz_srcptr(top)}) {
                    for (const Mpz& v : OperandsBelow(bound, rng, gr.state, Repeats(3))) {
                        BigInt x = FromMpz(v);
                        reduceBase2(x, k, n, c);
                        Mpz want;
                        mpz_mod(want, v, N);
                        ASSERT_TRUE(SameValue(x, want)) << Describe(f) << " x " << v.str();
                    }
                }
            }
        }
    }
}

TEST(ModularReduction, FoldBase2IsCongruentAndStaysBelowKTimes2PowN) {
    RandomOperands rng(TestSeed() + 1);
    GmpRandom gr;
    for (uint32_t k : kWords) {
        for (uint32_t n : kBase2Exponents) {
            for (int32_t c : kOffsets) {
                const Candidate f{k, 2, n, c};
                Mpz N = ModulusOf(f);
                if (mpz_cmp_ui(N.v, 1) <= 0) continue;
                Mpz kShifted;
                mpz_set_ui(kShifted, k);
                mpz_mul_2exp(kShifted, kShifted, n);
                // A fold shrinks |x| by about k 2^n / |c|: only forms with
                // |c| far below k 2^n are folded.
                if (mpz_cmpabs_ui(kShifted.v, uint32_t(std::abs(c)) << 8) < 0) continue;
                // Signed inputs up to 4 N^2 and far beyond (8 n more bits).
                Mpz bound;
                mpz_mul(bound, N, N);
                mpz_mul_ui(bound, bound, 4);
                Mpz huge;
                mpz_mul_2exp(huge, bound, 8 * n + 40);
                for (mpz_srcptr b : {mpz_srcptr(bound), mpz_srcptr(huge)}) {
                    for (const Mpz& v0 : OperandsBelow(b, rng, gr.state, Repeats(3))) {
                        Mpz v(v0);
                        if (rng.below(2) != 0) mpz_neg(v, v);
                        BigInt x = FromMpz(v);
                        foldBase2(x, k, n, c);
                        Mpz got = ToMpz(x);
                        Mpz diff;
                        mpz_sub(diff, got, v);
                        ASSERT_TRUE(mpz_divisible_p(diff, N)) << Describe(f) << " x " << v.str();
                        ASSERT_LT(mpz_cmpabs(got, kShifted), 0) << Describe(f) << " x " << v.str();
                        if (c == -1 && mpz_sgn(v.v) >= 0) {
                            ASSERT_GE(mpz_sgn(got.v), 0) << Describe(f);
                        }
                        FinishBase2(x, f);
                        Mpz want;
                        mpz_mod(want, v, N);
                        ASSERT_TRUE(SameValue(x, want)) << Describe(f);
                    }
                }
            }
        }
    }
}

// The fold's quotient pass divides a shifted word stream by k with a
// reciprocal: all-ones words push every quotient word and remainder to its
// largest value, and inputs below 2^n or just above it leave no quotient.
TEST(ModularReduction, FoldBase2AtTheExtremesOfTheQuotientPass) {
    for (uint32_t k : {1u, 3u, 1000003u, 0x80000000u, 0xffffffffu}) {
        for (uint32_t n : {30u, 31u, 32u, 95u, 3000u}) {
            for (int32_t c : {1, -1, 3}) {
                const Candidate f{k, 2, n, c};
                Mpz N = ModulusOf(f);
                for (uint32_t bits : {n - 1, n, n + 1, n + 33, 2 * n + 64}) {
                    Mpz v;
                    mpz_set_ui(v, 1);
                    mpz_mul_2exp(v, v, bits);
                    mpz_sub_ui(v, v, 1);
                    for (int sign : {1, -1}) {
                        if (sign < 0) mpz_neg(v, v);
                        BigInt x = FromMpz(v);
                        foldBase2(x, k, n, c);
                        FinishBase2(x, f);
                        Mpz want;
                        mpz_mod(want, v, N);
                        ASSERT_TRUE(SameValue(x, want)) << Describe(f) << " bits " << bits << " sign " << sign;
                    }
                }
            }
        }
    }
}

// --- Barrett ------------------------------------------------------------------------

TEST(ModularReduction, ReduceGeneralMatchesGmpUpToTheTopOfItsRange) {
    RandomOperands rng(TestSeed() + 2);
    GmpRandom gr;
    const std::vector<uint32_t> bases = {3, 5, 6, 7, 10, 12, 1000, 999999, 2};
    const std::vector<uint32_t> exponents = {1, 2, 5, 17, 60, 333};
    for (uint32_t b : bases) {
        for (uint32_t k : {1u, 2u, 7u, 0x80000001u, 0xffffffffu}) {
            for (uint32_t n : exponents) {
                for (int32_t c : {1, -1, 3, -3, 7, 15, 0}) {
                    const Candidate f{k, b, n, c};
                    Mpz N = ModulusOf(f);
                    if (mpz_cmp_ui(N.v, 1) <= 0) continue;
                    // The documented range: below 2^(2 lambda + 2).
                    Mpz bound;
                    mpz_set_ui(bound, 1);
                    mpz_mul_2exp(bound, bound, 2 * (mpz_sizeinbase(N, 2) - 1) + 2);
                    for (const Mpz& v : OperandsBelow(bound, rng, gr.state, Repeats(3))) {
                        BigInt x = FromMpz(v);
                        reduceGeneral(x, f);
                        Mpz want;
                        mpz_mod(want, v, N);
                        ASSERT_TRUE(SameValue(x, want)) << Describe(f) << " x " << v.str();
                    }
                }
            }
        }
    }
}

TEST(ModularReduction, ReduceCyclotomicMatchesGmp) {
    RandomOperands rng(TestSeed() + 3);
    GmpRandom gr;
    const std::vector<std::pair<uint32_t, uint32_t>> values = {
        {1, 3}, {2, 2}, {3, 2}, {4, 10}, {5, 10}, {6, 7}, {12, 7}, {30, 999999}, {105, 2}, {210, 3}, {1024, 5},
        {997, 2}};
    for (auto [m, b] : values) {
        Mpz M = ToMpz(CyclotomicValue(m, b));
        Mpz bound;
        mpz_set_ui(bound, 1);
        mpz_mul_2exp(bound, bound, 2 * (mpz_sizeinbase(M, 2) - 1) + 2);
        for (const Mpz& v : OperandsBelow(bound, rng, gr.state, Repeats(6))) {
            BigInt x = FromMpz(v);
            reduceCyclotomic(x, m, b);
            Mpz want;
            mpz_mod(want, v, M);
            ASSERT_TRUE(SameValue(x, want)) << "Phi_" << m << "(" << b << ") x " << v.str();
        }
    }
    BigInt one(1);
    EXPECT_THROW(reduceCyclotomic(one, 1, 2), ArithmeticFault);  // Phi_1(2) = 1
}

// --- radix digits ---------------------------------------------------------------------

// Every kind of radix: B(b) = b^m for small bases, a base that is its own radix,
// a power of two (b = 4 and b = 2 in radix 2^20), and radices b^j below B(b).
struct RadixCase {
    uint32_t b, radix;
};
const std::vector<RadixCase> kRadixCases = {
    {3, RadixOf(3)}, {5, RadixOf(5)},   {7, RadixOf(7)},     {10, RadixOf(10)},    {12, RadixOf(12)},
    {999999, 999999}, {1000, 1000000}, {4, RadixOf(4)},     {2, 1u << 20},        {10, 10},
    {10, 1000},      {3, 9},           {65537, 65537},      {2, 2},
};

TEST(ModularReduction, ReduceRadixMatchesGmpInEveryKindOfRadix) {
    RandomOperands rng(TestSeed() + 4);
    GmpRandom gr;
    for (const RadixCase& rc : kRadixCases) {
        for (uint32_t k : {1u, 3u, 0x7fffffffu, 0x80000000u, 0xffffffffu}) {
            for (uint32_t n : {1u, 2u, 5u, 6u, 7u, 13u, 40u, 241u}) {
                for (int32_t c : {1, -1, 3, -3, 7, 15, -15, 0}) {
                    const Candidate f{k, rc.b, n, c};
                    Mpz N = ModulusOf(f);
                    if (mpz_cmp_ui(N.v, 1) <= 0) continue;
                    Mpz square;
                    mpz_mul(square, N, N);
                    for (const Mpz& v : OperandsBelow(square, rng, gr.state, Repeats(2))) {
                        RadixInt x = ToRadix(rc.radix, v);
                        reduceRadix(x, f);
                        Mpz want;
                        mpz_mod(want, v, N);
                        ASSERT_TRUE(SameValue(x, want))
                            << Describe(f) << " radix " << rc.radix << " x " << v.str();
                    }
                }
            }
        }
    }
}

TEST(ModularReduction, ReduceRadixRefusesARadixThatIsNoPowerOfTheBase) {
    RadixInt x(1000000, 12345);
    EXPECT_THROW(reduceRadix(x, {1, 3, 10, 1}), ArithmeticFault);
    RadixInt y(1u << 20, 12345);
    EXPECT_THROW(reduceRadix(y, {1, 10, 10, 1}), ArithmeticFault);
}

// --- generalized Fermat -----------------------------------------------------------------

TEST(ModularReduction, ReduceGfnMatchesGmpForSignedValuesOfAnyLength) {
    RandomOperands rng(TestSeed() + 5);
    GmpRandom gr;
    for (uint32_t base : {2u, 10u, 1000u, 65536u, 123456u, 30000000u, 0x7fffffffu}) {
        for (uint32_t n : {1u, 2u, 4u, 16u, 64u}) {
            Mpz N;
            mpz_ui_pow_ui(N, base, n);
            mpz_add_ui(N, N, 1);
            // Up to N^2 (a square) and up to B^(5n) (far beyond).
            Mpz square, far;
            mpz_mul(square, N, N);
            mpz_ui_pow_ui(far, base, 5 * n);
            for (mpz_srcptr bound : {mpz_srcptr(square), mpz_srcptr(far)}) {
                for (const Mpz& v0 : OperandsBelow(bound, rng, gr.state, Repeats(4))) {
                    Mpz v(v0);
                    if (rng.below(2) != 0) mpz_neg(v, v);
                    RadixInt x = ToRadix(base, v);
                    reduceGfn(x, base, n);
                    Mpz want;
                    mpz_mod(want, v, N);
                    ASSERT_TRUE(SameValue(x, want)) << base << "^" << n << "+1 x " << v.str();
                }
            }
        }
    }
    RadixInt foreign(1000, 5);
    EXPECT_THROW(reduceGfn(foreign, 10, 3), ArithmeticFault);
}

// --- the caches -----------------------------------------------------------------------------

TEST(ModularReduction, ANewKeyRebuildsTheCacheAndTheSameKeyDoesNot) {
    BigInt x(1000);
    reduceBase2(x, 3, 5, 1);
    uint64_t before = Base2ModulusRebuilds();
    reduceBase2(x, 3, 5, 1);
    foldBase2(x, 3, 5, 1);  // needs no modulus
    EXPECT_EQ(Base2ModulusRebuilds(), before);
    for (auto [k, n, c] : {std::tuple{3u, 5u, -1}, {5u, 5u, -1}, {5u, 6u, -1}, {5u, 6u, 1}}) {
        BigInt y(100000);
        reduceBase2(y, k, n, c);
        EXPECT_EQ(Base2ModulusRebuilds(), ++before);
        EXPECT_EQ(y.toString(), std::to_string(100000 % ((int64_t(k) << n) + c)));
    }

    BigInt g(100000);
    reduceGeneral(g, {2, 3, 4, -1});
    before = GeneralModulusRebuilds();
    reduceGeneral(g, {2, 3, 4, -1});
    EXPECT_EQ(GeneralModulusRebuilds(), before);
    for (auto [k, b, n, c] : {std::tuple{2u, 5u, 4u, -1}, {2u, 5u, 3u, -1}, {3u, 5u, 3u, -1}, {3u, 5u, 3u, 1}}) {
        BigInt y(100000);
        reduceGeneral(y, {k, b, n, c});
        EXPECT_EQ(GeneralModulusRebuilds(), ++before);
        int64_t N = int64_t(k) * int64_t(std::pow(b, n) + 0.5) + c;
        EXPECT_EQ(y.toString(), std::to_string(100000 % N));
    }
    BigInt viaBase2(100000);
    reduceGeneral(viaBase2, {3, 2, 5, 1});  // b = 2 goes to the base-2 cache
    EXPECT_EQ(GeneralModulusRebuilds(), before);
    EXPECT_EQ(viaBase2.toString(), std::to_string(100000 % 97));

    BigInt m(100000);
    reduceCyclotomic(m, 5, 10);
    before = CyclotomicModulusRebuilds();
    reduceCyclotomic(m, 5, 10);
    EXPECT_EQ(CyclotomicModulusRebuilds(), before);
    reduceCyclotomic(m, 5, 3);
    reduceCyclotomic(m, 6, 3);
    EXPECT_EQ(CyclotomicModulusRebuilds(), before + 2);

    // The radix is part of the key: the same (k, b, n, c) on residues in two
    // radices needs the modulus written in each.
    RadixInt r1(1000000, BigInt(123456789));
    reduceRadix(r1, {1, 10, 5, 1});
    before = RadixModulusRebuilds();
    reduceRadix(r1, {1, 10, 5, 1});
    EXPECT_EQ(RadixModulusRebuilds(), before);
    RadixInt r2(1000, BigInt(123456789));
    reduceRadix(r2, {1, 10, 5, 1});
    EXPECT_EQ(RadixModulusRebuilds(), ++before);
    EXPECT_EQ(r2.toBigInt().toString(), std::to_string(123456789 % 100001));
    for (auto [k, b, n, c] : {std::tuple{2u, 10u, 5u, 1}, {2u, 10u, 6u, 1}, {2u, 10u, 6u, -1}}) {
        RadixInt y(1000, BigInt(123456789));
        reduceRadix(y, {k, b, n, c});
        EXPECT_EQ(RadixModulusRebuilds(), ++before);
    }

    RadixInt gf(1000, BigInt(123456789));
    reduceGfn(gf, 1000, 2);
    before = GfnModulusRebuilds();
    reduceGfn(gf, 1000, 2);
    EXPECT_EQ(GfnModulusRebuilds(), before);
    RadixInt gf2(10, BigInt(123456789));
    reduceGfn(gf2, 10, 2);
    reduceGfn(gf2, 10, 4);
    EXPECT_EQ(GfnModulusRebuilds(), before + 2);
    EXPECT_EQ(gf2.toBigInt().toString(), std::to_string(123456789 % 101));
}

// --- the power loops, step by step --------------------------------------------------------------

// A chain of `steps` squarings, each followed with probability 1/2 by a
// multiplication by a, every residue compared with GMP (the base-2 residue
// after a copy has been brought into [0, N)).
void RunChain(const Candidate& f, uint32_t a, int steps, bool radixToo) {
    std::mt19937 rng(uint32_t(TestSeed()) ^ f.n);
    Mpz N = ModulusOf(f), want(a);
    BigInt x{int32_t(a)};
    RadixInt rx(RadixOf(f.b), int32_t(a));
    for (int i = 0; i < steps; ++i) {
        bool multiply = (rng() & 1) != 0;
        mpz_mul(want, want, want);
        if (multiply) mpz_mul_ui(want, want, a);
        mpz_mod(want, want, N);
        if (f.b == 2) {
            SquareStepBase2(x, f);
            if (multiply) MulStepBase2(x, a, f);
            BigInt finished(x);
            FinishBase2(finished, f);
            ASSERT_TRUE(SameValue(finished, want)) << Describe(f) << " step " << i;
        } else {
            SquareStepGeneral(x, f);
            if (multiply) MulStepGeneral(x, a, f);
            ASSERT_TRUE(SameValue(x, want)) << Describe(f) << " step " << i;
        }
        if (radixToo) {
            SquareStepRadix(rx, f);
            if (multiply) MulStepRadix(rx, int32_t(a), f);
            ASSERT_TRUE(SameValue(rx, want)) << Describe(f) << " radix step " << i;
        }
    }
}

TEST(ModularPowerLoop, SquaringChainsFollowGmpStepByStep) {
    // Sizes from one word to a few thousand bits (transform products), every
    // offset sign, k at both ends of its range.
    const std::vector<Candidate> forms = {
        {3, 2, 2, 1},          {1, 2, 127, -1},        {0xffffffffu, 2, 3001, 1}, {0x80000001u, 2, 5000, -1},
        {12345, 2, 2000, 3},   {15, 2, 4100, -15},     {7, 2, 3000, 7},           {0xffffffffu, 3, 1900, -1},
        {2, 10, 1000, 1},      {999, 10, 1001, -3},    {5, 12, 1200, 15},         {0x7fffffffu, 999999, 200, 1},
        {1, 4, 1500, -1},      {65535, 7, 1700, 1},
    };
    for (const Candidate& f : forms) {
        for (uint32_t a : {3u, 5u}) RunChain(f, a, Repeats(40), f.b != 2 || f.n < 1000);
    }
}

TEST(ModularPowerLoop, CyclotomicAndGfnStepsAndPowersFollowGmp) {
    // Phi_m(b) chain.
    {
        const uint32_t m = 1155, b = 7;
        Mpz M = ToMpz(CyclotomicValue(m, b)), want(3);
        BigInt x(3);
        for (int i = 0; i < Repeats(30); ++i) {
            SquareStepCyclotomic(x, m, b);
            MulStepCyclotomic(x, 3, m, b);
            mpz_mul(want, want, want);
            mpz_mul_ui(want, want, 3);
            mpz_mod(want, want, M);
            ASSERT_TRUE(SameValue(x, want)) << "step " << i;
        }
    }
    // B^n + 1: squares reduced by reduceGfn, then the multiplication step.
    {
        const uint32_t base = 123458, n = 256;
        Mpz N, want(5);
        mpz_ui_pow_ui(N, base, n);
        mpz_add_ui(N, N, 1);
        RadixInt x(base, 5);
        for (int i = 0; i < Repeats(20); ++i) {
            x.square();
            reduceGfn(x, base, n);
            MulStepGfn(x, 5, base, n);
            mpz_mul(want, want, want);
            mpz_mul_ui(want, want, 5);
            mpz_mod(want, want, N);
            ASSERT_TRUE(SameValue(x, want)) << "step " << i;
        }
    }
    // Right-to-left powers with general products, every kind of modulus.
    const uint32_t e = 0xfedcba97u;
    const std::vector<ModulusForm> forms = {
        {ModulusKind::Base2, {0xffffffffu, 2, 1500, -1}}, {ModulusKind::General, {5, 10, 700, 7}},
        {ModulusKind::Cyclotomic, {0, 3, 210, 0}},        {ModulusKind::Radix, {0x80000001u, 12, 600, -3}},
        {ModulusKind::Gfn, {0, 1000000, 128, 0}},
    };
    for (const ModulusForm& f : forms) {
        Mpz N;
        if (f.kind == ModulusKind::Cyclotomic) {
            N = ToMpz(CyclotomicValue(f.N.n, f.N.b));
        } else if (f.kind == ModulusKind::Gfn) {
            mpz_ui_pow_ui(N, f.N.b, f.N.n);
            mpz_add_ui(N, N, 1);
        } else {
            N = ModulusOf(f.N);
        }
        Mpz base, want;
        mpz_sub_ui(base, N, 2);
        mpz_powm_ui(want, base, e, N);
        if (f.kind == ModulusKind::Radix || f.kind == ModulusKind::Gfn) {
            uint32_t radix = f.kind == ModulusKind::Gfn ? f.N.b : RadixOf(f.N.b);
            RadixInt p = PowerByForm(ToRadix(radix, base), e, f);
            EXPECT_TRUE(SameValue(p, want)) << int(f.kind);
            BigInt binary(1);
            EXPECT_THROW(ReduceByForm(binary, f), ArithmeticFault);
        } else {
            BigInt p = PowerByForm(FromMpz(base), e, f);
            EXPECT_TRUE(SameValue(p, want)) << int(f.kind);
        }
    }
}

}  // namespace
}  // namespace numen
