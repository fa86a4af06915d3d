// What the error check of the generalized-Fermat runs needs from the
// transform, against GMP: the product of two residues in every kernel
// family the host runs, one-pass and two-pass; copies that are computations
// of their own; and the exact comparison of two residues whatever their
// digits.
#include <gmp.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "arith/ArithmeticFault.h"
#include "arith/GfnState.h"
#include "arith/GfnTransform.h"
#include "arith/RadixChoice.h"
#include "arith/kernels/KernelFamily.h"
#include "ref/GfnFixture.h"
#include "ref/GmpOracle.h"
#include "ref/TransformOracle.h"

namespace numen::testing {
namespace {

using Digits = std::vector<int32_t>;

class GfnProductTest : public GfnTransformTest {
protected:
    Digits DigitsOf(const GfnTransform& t) {
        Digits d(t.digitCount());
        t.readDigits(d.data());
        return d;
    }
    // x y mod N from random full-size digits at the limit radix, checked
    // against GMP; y keeps its digits; the product of a transform with a
    // copy of itself gives the square's digits exactly.
    void ExpectProductMatches(uint32_t m, uint64_t seed, const std::string& where) {
        const uint32_t B = LargestGeneralizedFermatBase(m);
        const Digits dx = RandomDigits(m, B, seed), dy = RandomDigits(m, B, seed + 1);
        GfnTransform x, y;
        x.plan(m, B, Settings());
        y.plan(m, B, Settings());
        x.setDigits(dx.data());
        y.setDigits(dy.data());
        x.multiply(y);
        x.carry(1);
        const Mpz n = Modulus(m, B);
        Mpz want;
        mpz_mul(want, ExactValue(dx, B), ExactValue(dy, B));
        EXPECT_TRUE(Congruent(ExactValue(DigitsOf(x), B), want, n)) << where << " m " << m;
        EXPECT_LT(x.maxError(), 0.3f) << where << " m " << m;
        EXPECT_EQ(DigitsOf(y), dy) << where << " m " << m;

        GfnTransform copy = y, squared = y;
        y.multiply(copy);
        y.carry(1);
        squared.square();
        squared.carry(1);
        EXPECT_EQ(DigitsOf(y), DigitsOf(squared)) << where << " m " << m;
    }
};

// The baseline families with the x87 pass and the AVX ones with their own
// passes; the profile makes m >= 4096 two-pass for the baseline families,
// the AVX families plan one pass up to 2^16.
TEST_F(GfnProductTest, ProductsMatchGmpInEveryFamilyAndShape) {
    Use(Profile(0, 8, 1));
    auto lengths = [&](const std::vector<uint32_t>& ms) {
        for (uint32_t m : ms) ExpectProductMatches(m, TestSeed() + m, Family().name);
        GfnTransform longest;
        longest.plan(ms.back(), 1000, Settings());
        EXPECT_FALSE(longest.shape().onePass()) << Family().name;
    };
    for (const KernelFamily* family : AllFamilies()) {
        if (family->avxLevel > 0) continue;
        UseCarry(GfnCarryVariant::kX87);
        UseFamily(*family);
        lengths({64, 1024, 4096, 16384});
    }
    for (GfnCarryVariant variant : RunnableAvxCarryVariants()) {
        UseVariant(variant);
        lengths({64, 4096, 1u << 17});
    }
}

TEST_F(GfnProductTest, ProductsOfDifferentPlansAreRefused) {
    Use(Profile(0, 8, 1));
    GfnTransform x, other;
    x.plan(4096, 1000, Settings());
    x.setValue(3);
    other.plan(2048, 1000, Settings());
    other.setValue(3);
    EXPECT_THROW(x.multiply(other), ArithmeticFault);
    other.plan(4096, 1002, Settings());
    other.setValue(3);
    EXPECT_THROW(x.multiply(other), ArithmeticFault);
    EXPECT_THROW(x.sameValue(other), ArithmeticFault);
    GfnSettings another = Settings();
    another.family = &X87PrefetchKernels() == another.family ? &X87Kernels() : &X87PrefetchKernels();
    other.plan(4096, 1000, another);
    other.setValue(3);
    EXPECT_THROW(x.multiply(other), ArithmeticFault);
    GfnTransform unplanned;
    EXPECT_THROW(x.multiply(unplanned), ArithmeticFault);
    EXPECT_THROW(unplanned.multiply(x), ArithmeticFault);
}

// A copy carries on exactly as the original would, and neither touches the
// other; a copy into a transform of another plan takes the plan over, and
// a copy of an unplanned transform leaves none.
TEST_F(GfnProductTest, CopiesAreComputationsOfTheirOwn) {
    for (const ProcessorProfile& profile : {Profile(0, 8, 1), Profile(0, 8, 3)}) {
        Use(profile);
        for (uint32_t m : {64u, 8192u}) {
            const uint32_t B = 1000;
            Plan(m, B);
            gfn.setValue(3);
            for (int i = 0; i < 12; ++i) {
                gfn.square();
                gfn.carry(i % 3 ? 3 : 1);
            }
            GfnTransform copy(gfn);
            EXPECT_EQ(copy.shape().rows, gfn.shape().rows);
            EXPECT_EQ(copy.maxError(), gfn.maxError());
            EXPECT_NE(copy.state()->array, gfn.state()->array);
            const Digits before = DigitsOf(gfn);
            for (int i = 0; i < 5; ++i) {
                copy.square();
                copy.carry(3);
            }
            EXPECT_EQ(DigitsOf(gfn), before) << "m " << m;
            for (int i = 0; i < 5; ++i) {
                gfn.square();
                gfn.carry(3);
            }
            EXPECT_EQ(DigitsOf(copy), DigitsOf(gfn)) << "m " << m;

            GfnTransform other;
            other.plan(m == 64 ? 8192 : 64, 7, Settings());
            other.setValue(5);
            other = copy;
            EXPECT_EQ(other.digitCount(), m);
            EXPECT_EQ(other.radix(), B);
            EXPECT_EQ(DigitsOf(other), DigitsOf(copy)) << "m " << m;
            const GfnTransform& alias = other;
            other = alias;  // a self-assignment keeps the value
            EXPECT_EQ(DigitsOf(other), DigitsOf(copy)) << "m " << m;
            other = GfnTransform();
            EXPECT_FALSE(other.planned());
            const GfnTransform unplanned;
            copy = unplanned;
            EXPECT_FALSE(copy.planned());
        }
    }
}

// Residues are compared, not digits: the balanced digits of one value
// differ (a digit of B/2 or a carry left at the top), and the residue -1,
// which no m digits below B hold, compares as any other.
TEST_F(GfnProductTest, SameValueComparesResiduesNotDigits) {
    Use(Profile(0, 8, 1));
    const int32_t B = 1000;
    for (uint32_t m : {64u, 4096u}) {
        GfnTransform x, y;
        x.plan(m, B, Settings());
        y.plan(m, B, Settings());
        auto compare = [&](const Digits& a, const Digits& b) {
            x.setDigits(a.data());
            y.setDigits(b.data());
            const bool same = x.sameValue(y);
            EXPECT_EQ(same, y.sameValue(x)) << "m " << m;
            EXPECT_EQ(same, Congruent(ExactValue(a, B), ExactValue(b, B), Modulus(m, B))) << "m " << m;
            return same;
        };
        Digits a(m, 0), b(m, 0);
        a[5] = B / 2;
        b[5] = -B / 2;
        b[6] = 1;
        EXPECT_TRUE(compare(a, b));
        // B^m = -1: a carry at the top is -1 at the bottom.
        a.assign(m, 0);
        b.assign(m, 0);
        a[m - 1] = B;
        b[0] = -1;
        EXPECT_TRUE(compare(a, b));
        EXPECT_FALSE(compare(b, Digits(m, 0)));   // -1 is not 0
        Digits one(m, 0);
        one[0] = 1;
        EXPECT_FALSE(compare(b, one));            // nor 1
        // B^m - 1 = -2, every digit B - 1.
        a.assign(m, B - 1);
        b.assign(m, 0);
        b[0] = -2;
        EXPECT_TRUE(compare(a, b));
        b[0] = -3;
        EXPECT_FALSE(compare(a, b));
        // Random residues and the same with one digit off by one anywhere.
        const Digits r = RandomDigits(m, B, TestSeed() + m);
        EXPECT_TRUE(compare(r, r));
        for (uint32_t j : {0u, 1u, m / 2, m - 1}) {
            Digits s = r;
            s[j] += 1;
            EXPECT_FALSE(compare(r, s)) << "digit " << j;
        }
        EXPECT_TRUE(x.sameValue(x));
    }
}

}  // namespace
}  // namespace numen::testing
