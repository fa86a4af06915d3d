// The generalized-Fermat transform against GMP: powerings a^e mod B^m + 1
// in every shape and carry variant, the wrap-around carry, the round-off
// guard, the shape table, "Numen.dtf", and computations held at once (two
// transforms beside exact products, one per thread).
#include <gmp.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <fstream>
#include <limits>
#include <random>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "arith/ArithmeticFault.h"
#include "arith/GfnCheckpoint.h"
#include "arith/GfnLanes.h"
#include "arith/GfnState.h"
#include "arith/GfnTransform.h"
#include "arith/ProcessorProfile.h"
#include "arith/RadixChoice.h"
#include "arith/kernels/KernelFamily.h"
#include "ref/GfnFixture.h"
#include "ref/GmpOracle.h"
#include "ref/TransformOracle.h"
#include "ref/TempFolder.h"

namespace numen::testing {
namespace {

using Digits = std::vector<int32_t>;

TEST(GfnShapeTest, TableOfShapes) {
    constexpr uint32_t k256K = 256 * 1024;
    // m = 64 is one-pass on every processor.
    for (uint32_t l2 : {0u, 128u * 1024, k256K, 1024u * 1024})
        for (int32_t lat : {2, 8}) EXPECT_TRUE(GfnChooseShape(32, l2, lat).onePass()) << l2 << " " << lat;
    EXPECT_TRUE(GfnChooseShape(4096, k256K, 8).onePass());
    auto expect = [](uint32_t L, uint32_t l2, int32_t lat, uint32_t g, uint32_t b) {
        const GfnShape s = GfnChooseShape(L, l2, lat);
        EXPECT_EQ(s.rowLength, g) << "L " << L << " L2 " << l2 << " lat64k " << lat;
        EXPECT_EQ(s.rows, b) << "L " << L << " L2 " << l2 << " lat64k " << lat;
    };
    expect(8192, k256K, 8, 512, 16);
    expect(16384, k256K, 8, 1024, 16);
    expect(1u << 17, k256K, 8, 2048, 64);
    expect(262144, k256K, 8, 1024, 256);
    expect(16384, 2 * k256K, 8, 1024, 16);
    expect(1u << 20, 2 * k256K, 8, 4096, 256);
    expect(8192, 2 * k256K, 8, 2048, 4);
    expect(1u << 20, 0, 8, 2048, 512);
    expect(1u << 20, 0, 2, 1024, 1024);
    expect(2048, 0, 8, 64, 32);
    EXPECT_TRUE(GfnChooseShape(1024, 0, 8).onePass());
    EXPECT_TRUE(GfnChooseShape(2048, 0, 2).onePass());
    expect(4096, 0, 2, 256, 16);
    expect(16384, 0, 2, 1024, 16);
    // Fast families: one pass up to 32768, then the rule above.
    for (uint32_t l2 : {0u, k256K, 2 * k256K}) {
        EXPECT_TRUE(GfnChooseShape(32768, l2, 2, true).onePass()) << l2;
        const GfnShape fast = GfnChooseShape(65536, l2, 2, true), other = GfnChooseShape(65536, l2, 2, false);
        EXPECT_EQ(fast.rowLength, other.rowLength) << l2;
        EXPECT_EQ(fast.rows, other.rows) << l2;
    }
}

TEST_F(GfnTransformTest, TwoToThe64IsMinusOne) {
    // 2 squared six times with B = 2, m = 64: the last square, of 2^32
    // (d_32 = 1), passes X^64 = -1, and the digits say -1 exactly.
    Use(Profile(0, 8, 1));
    Plan(64, 2);
    gfn.setValue(2);
    for (int i = 0; i < 5; ++i) {
        gfn.square();
        gfn.carry(1);
    }
    gfn.square();
    Digits d(64);
    EXPECT_LT(gfn.unload(d.data()), 0.01f);
    Mpz v = ExactValue(d, 2);
    EXPECT_EQ(mpz_cmp_si(v.v, -1), 0) << v.str();
}

// a^e modulo B^m + 1 for m = 64 .. 2^16 at the planner's limit radix, in
// one-pass and two-pass shapes (the profile makes m >= 4096 two-pass), with
// carry multipliers 1 and a from the exponent's bits; the x87 pass and the
// lane passes this processor runs.
TEST_F(GfnTransformTest, PoweringMatchesGmpUpTo2To16) {
    std::vector<GfnCarryVariant> variants{GfnCarryVariant::kX87};
    for (GfnCarryVariant v : RunnableAvxCarryVariants()) variants.push_back(v);
    for (GfnCarryVariant variant : variants) {
        UseVariant(variant);  // the AVX families plan up to 2^16 in one pass
        for (const ProcessorProfile& profile : {Profile(1024 * 1024, 8, 1), Profile(0, 8, 4)}) {
            Use(profile);
            for (uint32_t m = 64; m <= (1u << 16); m *= 2) {
                const uint32_t B = LargestGeneralizedFermatBase(m);
                const uint64_t e = m <= 4096 ? 0x1d3a7u : 0x2b5u;
                float err = 0;
                ExpectPowerMatches(m, B, 3, e, false, &err);
                EXPECT_LT(err, 0.4f) << "m " << m << " variant " << GfnCarryVariantName(variant);
            }
        }
    }
}

// Full-size random operands at the limit radix, m = 64 .. 2^16, two-pass
// from m = 4096 on, every carry variant: the round-off stays well inside
// the guard and the result is GMP's.
TEST_F(GfnTransformTest, FullSizeSquaringsAtTheLimitRadixMatchGmp) {
    Use(Profile(0, 8, 1));
    for (GfnCarryVariant variant : RunnableCarryVariants()) {
        UseCarry(variant);
        for (uint32_t m = 64; m <= (1u << 16); m *= 4) {
            float err = 1;
            ExpectChainMatches(m, LargestGeneralizedFermatBase(m), 3, TestSeed() + m, &err);
            EXPECT_LT(err, kGfnErrorLimit) << "m " << m;
        }
    }
}

// carry(a) scales the transform's round-off by a; carryThenMultiply
// multiplies balanced digits and does not. Over a long run at the limit
// radix the latter stays far inside the guard in every variant, while the
// double-precision passes with a = 3 reach 0.45 -- and must then raise, not
// hand back a value.
TEST_F(GfnTransformTest, LongRunsAtTheLimitRadix) {
    Use(Profile(1024 * 1024, 8, 1));
    const uint32_t m = 4096, B = LargestGeneralizedFermatBase(m);
    for (GfnCarryVariant variant : RunnableCarryVariants()) {
        UseCarry(variant);
        float err = 1;
        ExpectChainMatches(m, B, 100, 77, &err, true);
        EXPECT_LT(err, 0.25f) << "variant " << GfnCarryVariantName(variant);
    }
    std::vector<GfnCarryVariant> doublePasses{GfnCarryVariant::kSse2};
    for (GfnCarryVariant v : RunnableAvxCarryVariants()) doublePasses.push_back(v);
    for (GfnCarryVariant variant : doublePasses) {
        UseCarry(variant);
        Plan(m, B);
        gfn.setValue(3);
        EXPECT_THROW(
            for (int i = 0; i < 150; ++i) {
                gfn.square();
                gfn.carry(3);
            },
            ArithmeticFault)
            << GfnCarryVariantName(variant);
    }
}

TEST_F(GfnTransformTest, EveryCarryVariantAndShapeGivesTheSamePower) {
    for (GfnCarryVariant variant : RunnableCarryVariants()) {
        UseCarry(variant);
        for (const ProcessorProfile& profile : {Profile(256 * 1024, 8, 1), Profile(0, 2, 4), Profile(0, 8, 1)}) {
            Use(profile);
            for (uint32_t m : {128u, 4096u, 8192u, 16384u}) {
                const uint32_t B = LargestGeneralizedFermatBase(m);
                ExpectPowerMatches(m, B, 13, 0x5b, false, nullptr);
                ExpectPowerMatches(m, B, 7, 0x5b, true, nullptr);  // carryThenMultiply
            }
        }
    }
}

TEST_F(GfnTransformTest, SquaringKernelFamiliesAgree) {
    Use(Profile(0, 8, 1));
    const KernelFamily& before = Family();
    // Every family the host runs; the fast ones plan m = 2^16 in one pass
    // and 2^17 in rows.
    for (const KernelFamily* family : AllFamilies()) {
        UseFamily(*family);
        for (uint32_t m : {256u, 8192u, 65536u, 131072u}) {
            if (m > 8192 && family->avxLevel == 0) continue;
            SCOPED_TRACE(std::string(family->name) + " m=" + std::to_string(m));
            ExpectPowerMatches(m, LargestGeneralizedFermatBase(m), 5, 0x71, false, nullptr);
        }
    }
    UseFamily(before);
}

// One step of the powering of ExpectPowerMatches for bit `bit` of e.
void PowerStep(GfnTransform& t, uint32_t a, uint64_t e, int bit) {
    t.square();
    t.carry((e >> bit) & 1 ? a : 1);
}

// The digits of a^e the powering leaves (before the final multiplication by
// a for an odd e), from one transform on its own.
Digits PowerAlone(const GfnSettings& settings, uint32_t m, uint32_t B, uint32_t a, uint64_t e) {
    GfnTransform t;
    t.plan(m, B, settings);
    t.setValue(a);
    for (int bit = 62; bit >= 1; --bit)
        if ((e >> (bit + 1)) != 0) PowerStep(t, a, e, bit);
    t.square();
    Digits d(m);
    t.unload(d.data());
    return d;
}

// Two transforms of different sizes and shapes held at once, their steps
// interleaved with each other and with exact products of other shapes (a
// two-pass and a one-pass BigInt square, a RadixInt product), give the
// digits each gives alone, and the products are GMP's.
TEST_F(GfnTransformTest, TwoComputationsHeldAtOnceMatchOneAtATime) {
    Use(Profile(0, 8, 1));
    std::vector<GfnCarryVariant> variants{GfnCarryVariant::kX87, GfnCarryVariant::kSse2};
    for (GfnCarryVariant v : RunnableAvxCarryVariants()) variants.push_back(v);
    RandomOperands random(TestSeed());
    for (GfnCarryVariant variant : variants) {
        UseVariant(variant);
        const GfnSettings settings = Settings();
        // Rows for A: the fast families plan up to m = 2^16 in one pass.
        const uint32_t mA = settings.family->avxLevel > 0 ? (1u << 17) : 8192, mB = 256;
        const uint32_t BA = LargestGeneralizedFermatBase(mA), BB = 1000;
        const uint64_t eA = 0x1d3a7, eB = 0x2b5c9;
        const Digits wantA = PowerAlone(settings, mA, BA, 3, eA), wantB = PowerAlone(settings, mB, BB, 7, eB);
        GfnTransform a, b;
        a.plan(mA, BA, settings);
        b.plan(mB, BB, settings);
        a.setValue(3);
        b.setValue(7);
        for (int bit = 62; bit >= 1; --bit) {
            if ((eA >> (bit + 1)) != 0) PowerStep(a, 3, eA, bit);
            BigInt x = random.value(bit % 2 ? 1024 : 40, false);  // L = 2048 in rows, L = 128 in one
            Mpz want = ToMpz(x);
            mpz_mul(want, want, want);
            x.square();
            ASSERT_TRUE(SameValue(x, want)) << "bit " << bit;
            if ((eB >> (bit + 1)) != 0) PowerStep(b, 7, eB, bit);
            if (bit % 8 == 0) {
                const RadixInt y = RandomRadixInt(random.engine(), 10000, 700),
                               z = RandomRadixInt(random.engine(), 10000, 300);
                Mpz product;
                mpz_mul(product, ToMpz(y), ToMpz(z));
                ASSERT_TRUE(SameValue(ProductOf(y, z), product)) << "bit " << bit;
            }
        }
        a.square();
        b.square();
        Digits gotA(mA), gotB(mB);
        b.unload(gotB.data());
        a.unload(gotA.data());
        EXPECT_EQ(gotA, wantA) << GfnCarryVariantName(variant);
        EXPECT_EQ(gotB, wantB) << GfnCarryVariantName(variant);
        EXPECT_NE(a.shape().rows, b.shape().rows);  // two-pass beside one-pass
    }
}

// One computation per thread: two powerings and a run of exact products on
// three threads at once give what each gives alone (the shared tables are
// built by whichever thread asks first).
TEST_F(GfnTransformTest, ComputationsOnSeparateThreadsMatchOneAtATime) {
    Use(Profile(0, 8, 1));
    const GfnSettings settings = Settings();
    const uint32_t mA = 16384, mB = 512, BA = LargestGeneralizedFermatBase(mA), BB = 99999;
    const uint64_t eA = 0x3a5, eB = 0x1b2d7;
    const Digits wantA = PowerAlone(settings, mA, BA, 5, eA), wantB = PowerAlone(settings, mB, BB, 3, eB);
    Digits gotA, gotB;
    bool productsRight = true;
    std::thread first([&] { gotA = PowerAlone(settings, mA, BA, 5, eA); });
    std::thread second([&] { gotB = PowerAlone(settings, mB, BB, 3, eB); });
    std::thread third([&] {
        RandomOperands random(TestSeed() + 1);
        for (uint32_t words : {3000u, 50u, 600u, 3000u, 9000u}) {
            BigInt x = random.value(words, false);
            Mpz want = ToMpz(x);
            mpz_mul(want, want, want);
            x.square();
            productsRight = productsRight && SameValue(x, want);
        }
    });
    first.join();
    second.join();
    third.join();
    EXPECT_EQ(gotA, wantA);
    EXPECT_EQ(gotB, wantB);
    EXPECT_TRUE(productsRight);
}

// Moving a transform moves its computation: the moved-to object carries on
// where the other stopped, and an unplanned one refuses every operation.
TEST_F(GfnTransformTest, MovedTransformCarriesOnAndUnplannedRefuses) {
    Use(Profile(0, 8, 1));
    const uint64_t e = 0x5b3;
    const Digits want = PowerAlone(Settings(), 4096, 1000, 3, e);
    GfnTransform t;
    EXPECT_FALSE(t.planned());
    EXPECT_THROW(t.square(), ArithmeticFault);
    EXPECT_THROW(t.setValue(1), ArithmeticFault);
    t.plan(4096, 1000, Settings());
    t.setValue(3);
    int bit = 62;
    while ((e >> (bit + 1)) == 0) --bit;
    for (int i = 0; i < 4; ++i, --bit) PowerStep(t, 3, e, bit);
    GfnTransform moved(std::move(t));
    EXPECT_FALSE(t.planned());
    for (; bit >= 1; --bit) PowerStep(moved, 3, e, bit);
    moved.square();
    Digits got(4096);
    moved.unload(got.data());
    EXPECT_EQ(got, want);
}

TEST_F(GfnTransformTest, MultiplySmallMatchesGmp) {
    Use(Profile(0, 8, 1));
    const uint32_t m = 4096, B = LargestGeneralizedFermatBase(m);
    Digits in = RandomDigits(m, B, 11);
    Plan(m, B);
    gfn.setDigits(in.data());
    gfn.multiplySmall(12345);
    Digits out(m);
    gfn.readDigits(out.data());
    Mpz n = Modulus(m, B), want = ExactValue(in, B), got = ExactValue(out, B);
    mpz_mul_ui(want, want, 12345);
    EXPECT_TRUE(Congruent(got, want, n));
    for (int32_t d : out) ASSERT_LE(std::abs(int64_t(d)), int64_t(B / 2));
}

// The wrapped carries travel as far as they have to: with every real digit
// at -B/2 and every imaginary one at +B/2, the carry out of d_{m-1} runs
// through the whole real half and on into d_L. Every digit ends balanced
// and the value is unchanged modulo N, in every carry variant.
TEST_F(GfnTransformTest, WrappedCarryRunsThroughEveryDigit) {
    for (GfnCarryVariant variant : RunnableCarryVariants()) {
        UseCarry(variant);
        for (const ProcessorProfile& profile : {Profile(0, 8, 1), Profile(0, 8, 3)}) {
            Use(profile);
            for (uint32_t m : {64u, 4096u}) {
                const int32_t B = 1000;
                Digits in(m);
                for (uint32_t j = 0; j < m; ++j) in[j] = j < m / 2 ? -B / 2 : B / 2;
                in[m - 1] = B;
                Plan(m, B);
                gfn.setDigits(in.data());
                gfn.multiplySmall(1);
                Digits out(m);
                gfn.readDigits(out.data());
                Mpz n = Modulus(m, B), want = ExactValue(in, B), got = ExactValue(out, B);
                EXPECT_TRUE(Congruent(got, want, n)) << "m " << m;
                for (uint32_t j = 0; j < m; ++j) ASSERT_LE(std::abs(out[j]), B / 2) << "digit " << j << " m " << m;
                EXPECT_EQ(out[0], B / 2 - 1);
                EXPECT_EQ(out[m / 2 - 1], B / 2 - 1);
                EXPECT_EQ(out[m / 2], B / 2 - 1);
            }
        }
    }
}

// The lane passes' weights: rowWeights[j / G] * columnWeights[j % G] must be
// e^{-i pi j/(2L)} to within a few ulps for every element, in one-pass and
// two-pass shapes, with lane rows as long as the buffer's rows or shorter.
TEST_F(GfnTransformTest, LaneWeightTablesGiveEveryWeightToAFewUlps) {
    const long double pi = 3.14159265358979323846264338327950288L;
    for (const ProcessorProfile& profile : {Profile(1024 * 1024, 8, 1), Profile(0, 8, 3)}) {
        Use(profile);
        for (uint32_t m : {64u, 4096u, 16384u, 1u << 17}) {
            Plan(m, 1000);
            const GfnState& st = State();
            const uint32_t L = st.length, G = st.laneRowLength;
            ASSERT_EQ(L % (G * kGfnMaxSegments), 0u) << "m " << m;
            ASSERT_EQ(st.rowLength % G, 0u) << "a lane row crosses a buffer row, m " << m;
            ASSERT_EQ(st.laneRows.size(), 2 * size_t(L / G));
            long double worst = 0;
            for (uint32_t j = 0; j < L; ++j) {
                const double rc = st.laneRows[2 * (j / G)], rs = st.laneRows[2 * (j / G) + 1];
                const double cc = st.laneColumns[2 * (j % G)], cs = st.laneColumns[2 * (j % G) + 1];
                // As the vector code forms it: one product, one fused operation.
                const double c = std::fma(rc, cc, -(rs * cs)), s = std::fma(rs, cc, rc * cs);
                const long double psi = -pi * j / (2.0L * L);
                worst = std::max({worst, std::fabs(c - std::cos(psi)), std::fabs(s - std::sin(psi))});
            }
            EXPECT_LT(worst, 4 * 0x1p-53L) << "m " << m;
        }
    }
}

// Carries that leave one segment of a lane pass run on through the next
// ones: with an odd radix the digits +-(B-1)/2 sit at the edge of the
// balanced range and pass a carry of one on (turning into the opposite
// edge). A carry starts near element 0 in both chains and runs through every
// later segment -- out of the top and round the wrap -- or stops at a zero
// digit in the middle. Same digits in every variant and shape: one-pass, two
// rows per segment, and lane rows shorter than the buffer's rows (b = 4).
TEST_F(GfnTransformTest, CarriesRunAcrossSegmentBoundaries) {
    const int32_t B = 999, h = (B - 1) / 2;
    struct Case {
        ProcessorProfile profile;
        uint32_t m;
    };
    const Case cases[] = {{Profile(0, 8, 1), 64},  {Profile(1024 * 1024, 8, 1), 8192}, {Profile(0, 8, 1), 4096},
                          {Profile(0, 8, 3), 16384}, {Profile(1024 * 1024, 8, 3), 16384}};
    for (GfnCarryVariant variant : RunnableCarryVariants()) {
        UseCarry(variant);
        for (const Case& c : cases) {
            Use(c.profile);
            const uint32_t m = c.m, L = m / 2;
            for (uint32_t stop : {L, L / 2 + 3}) {
                Digits in(m);
                for (uint32_t j = 0; j < L; ++j) {
                    in[j] = h;
                    in[L + j] = -h;
                }
                in[1] = B;        // digit 0, carry +1 along the real chain
                in[L] = 0;
                in[L + 1] = -B;   // digit 0, carry -1 along the imaginary chain
                if (stop < L) in[stop] = 0;
                Plan(m, B);
                gfn.setDigits(in.data());
                gfn.multiplySmall(1);
                Digits out(m);
                gfn.readDigits(out.data());
                const std::string where = std::string(GfnCarryVariantName(variant)) + " m " + std::to_string(m) + " g " +
                                          std::to_string(gfn.shape().rowLength) + " stop " + std::to_string(stop);
                EXPECT_TRUE(Congruent(ExactValue(out, B), ExactValue(in, B), Modulus(m, B))) << where;
                // The imaginary carry leaves the top and enters d_0 negated:
                // h + 1 passes one on into d_1.
                EXPECT_EQ(out[0], -h) << where;
                EXPECT_EQ(out[1], 1) << where;
                for (uint32_t j = 2; j < L; ++j)
                    ASSERT_EQ(out[j], j < stop ? -h : j == stop ? 1 : h) << where << " digit " << j;
                EXPECT_EQ(out[L], stop == L ? 1 : 0) << where;  // the real carry out of the top
                EXPECT_EQ(out[L + 1], 0) << where;
                for (uint32_t j = L + 2; j < m; ++j) ASSERT_EQ(out[j], h) << where << " digit " << j;
            }
        }
    }
}

// A NaN or an infinity anywhere -- first, middle or last segment of a lane
// pass, real or imaginary component -- raises ArithmeticFault in every variant,
// after a square or a small multiplication, instead of a value or an
// endless carry walk.
TEST_F(GfnTransformTest, CorruptedElementRaisesInEveryVariant) {
    Use(Profile(0, 8, 1));
    const double poisons[] = {std::numeric_limits<double>::quiet_NaN(), std::numeric_limits<double>::infinity()};
    for (GfnCarryVariant variant : RunnableCarryVariants()) {
        UseCarry(variant);
        for (uint32_t m : {256u, 4096u}) {
            const uint32_t L = m / 2;
            for (uint32_t j : {5u, L / 2 + 1, L - 1}) {
                for (int component = 0; component < 2; ++component) {
                    for (double poison : poisons) {
                        for (bool afterSquare : {true, false}) {
                            Plan(m, 1000);
                            gfn.setValue(3);
                            if (afterSquare) gfn.square();
                            Complex* z = State().element(j);
                            (component == 0 ? z->re : z->im) = poison;
                            if (afterSquare) {
                                Digits out(m);
                                EXPECT_THROW(gfn.unload(out.data()), ArithmeticFault)
                                    << GfnCarryVariantName(variant) << " j " << j;
                                EXPECT_THROW(gfn.carry(1), ArithmeticFault) << GfnCarryVariantName(variant) << " j " << j;
                            } else {
                                EXPECT_THROW(gfn.multiplySmall(5), ArithmeticFault) << GfnCarryVariantName(variant) << " j " << j;
                            }
                        }
                    }
                }
            }
        }
    }
}

// The round-off of three squarings from random full-size digits at the
// limit radix, every m from 64 to 2^16, with the lane passes (the long tests
// print the table up to 2^20): clearly inside the guard.
TEST_F(GfnTransformTest, LanePassRoundOffAtTheLimitRadix) {
    Use(Profile(0, 8, 1));
    for (GfnCarryVariant variant : RunnableAvxCarryVariants()) {
        for (bool ownFamily : {false, true}) {
            // With x87 squares the multiplier may sit in the carry; with the
            // AVX family's squares it comes after it, as in a run.
            UseVariant(ownFamily ? variant : GfnCarryVariant::kX87);  // the family
            UseCarry(variant);
            for (uint32_t m = 64; m <= (1u << 16); m *= 2) {
                float err = 1;
                ExpectChainMatches(m, LargestGeneralizedFermatBase(m), 2, TestSeed() + 3 * m, &err, ownFamily);
                EXPECT_LT(err, 0.4f) << "m " << m << " " << GfnCarryVariantName(variant) << (ownFamily ? " own family" : "");
            }
        }
    }
}

// The AVX read-out of unload gives the very digits of the reference
// read-out, on the same transformed square (unload leaves the buffer as
// it found it), in one-pass and two-pass shapes.
TEST_F(GfnTransformTest, LaneUnloadGivesTheReferenceDigits) {
    for (GfnCarryVariant variant : RunnableAvxCarryVariants()) {
        UseVariant(variant);
        for (const ProcessorProfile& profile : {Profile(0, 8, 1), Profile(1024 * 1024, 8, 3)}) {
            Use(profile);
            for (uint32_t m : {64u, 256u, 4096u, 65536u, 131072u}) {
                const uint32_t B = LargestGeneralizedFermatBase(m);
                Plan(m, B);
                const Digits in = RandomDigits(m, B, TestSeed() + m);
                gfn.setDigits(in.data());
                gfn.square();
                Digits reference(m), lanes(m);
                State().settings.carry = GfnCarryVariant::kX87;
                const float referenceErr = gfn.unload(reference.data());
                State().settings.carry = variant;
                const float laneErr = gfn.unload(lanes.data());
                EXPECT_EQ(lanes, reference) << GfnCarryVariantName(variant) << " m " << m;
                EXPECT_NEAR(laneErr, referenceErr, 0.07f) << GfnCarryVariantName(variant) << " m " << m;
            }
        }
    }
}

TEST_F(GfnTransformTest, RoundOffAtOrAbove045Raises) {
    Use(Profile(0, 8, 1));
    // Far above the limit radix: the square's coefficients lose their units.
    Plan(4096, 1u << 30);
    Digits in = RandomDigits(4096, 1u << 30, 5);
    gfn.setDigits(in.data());
    gfn.square();
    EXPECT_THROW(gfn.carry(1), ArithmeticFault);
    // A poisoned element is a fault, not a value or an endless carry.
    Plan(256, 1000);
    gfn.setValue(3);
    gfn.square();
    State().array[5].re = std::numeric_limits<double>::quiet_NaN();
    EXPECT_THROW(gfn.carry(1), ArithmeticFault);
    gfn.setValue(3);
    gfn.square();
    Digits out(256);
    gfn.setMaxError(0.45f);
    EXPECT_THROW(gfn.unload(out.data()), ArithmeticFault);
}

// --- Numen.dtf ----------------------------------------------------------------

class GfnCheckpointTest : public GfnTransformTest {
protected:
    TempFolder folder;
    std::filesystem::path file() const { return folder / "Numen.dtf"; }
    // A number a few steps into a powering.
    void Start(uint32_t m) {
        Plan(m, 1000);
        gfn.setValue(7);
        for (int i = 0; i < 3; ++i) {
            gfn.square();
            gfn.carry(7);
        }
    }
    Digits Read() {
        Digits d(gfn.digitCount());
        gfn.readDigits(d.data());
        return d;
    }
    std::string Bytes() {
        std::ifstream in(file(), std::ios::binary);
        return {std::istreambuf_iterator<char>(in), {}};
    }
    void Write(const std::string& bytes) { std::ofstream(file(), std::ios::binary) << bytes; }
};

TEST_F(GfnCheckpointTest, RoundTripRestoresArrayAndError) {
    for (const ProcessorProfile& profile : {Profile(0, 8, 1), Profile(0, 8, 4)}) {
        Use(profile);
        Start(4096);
        gfn.setMaxError(0.125f);
        const Digits saved = Read();
        ASSERT_TRUE(GfnSaveCheckpoint(gfn, folder.path(), 41));
        EXPECT_FALSE(std::filesystem::exists(folder / "Numen.dtf.tmp"));
        EXPECT_EQ(Bytes().size(), 28 + 16 * size_t(gfn.elementCount()));
        gfn.setValue(1);
        ASSERT_TRUE(GfnLoadCheckpoint(gfn, folder.path(), 41));
        EXPECT_EQ(Read(), saved);
        EXPECT_EQ(gfn.maxError(), 0.125f);
    }
}

TEST_F(GfnCheckpointTest, RefusesWhatDoesNotMatchBeforeTouchingTheArray) {
    Use(Profile(0, 8, 1));
    Start(4096);  // two-pass, g = 64, b = 32
    ASSERT_TRUE(GfnSaveCheckpoint(gfn, folder.path(), 9));
    const std::string good = Bytes();
    auto refusedUntouched = [&](const char* what) {
        gfn.setValue(5);
        gfn.setMaxError(0.0625f);
        EXPECT_FALSE(GfnLoadCheckpoint(gfn, folder.path(), 9)) << what;
        Digits d = Read();
        EXPECT_EQ(d[0], 5) << what;
        EXPECT_EQ(gfn.maxError(), 0.0625f) << what;
    };
    EXPECT_FALSE(GfnLoadCheckpoint(gfn, folder.path(), 10));  // another bit
    // Another gap: E differs.
    Use(Profile(0, 8, 4));
    Start(4096);
    refusedUntouched("gap");
    // Another g and b (another cache size).
    Use(Profile(0, 2, 1));
    Start(4096);
    refusedUntouched("shape");
    // A fast kernel family plans this length in one pass.
    for (const KernelFamily* fast : {&Avx2Kernels(), &Avx512Kernels()}) {
        if (!HostRuns(*fast)) continue;
        const KernelFamily& before = Family();
        UseFamily(*fast);
        Use(Profile(0, 8, 1));
        Start(4096);
        EXPECT_TRUE(gfn.shape().onePass());
        refusedUntouched("fast family's shape");
        UseFamily(before);
    }
    Use(Profile(0, 8, 1));
    Start(4096);
    // Damaged files: wrong magic, truncated, a header claiming a huge E, extra bytes.
    std::string bad = good;
    bad[0] = 1;
    Write(bad);
    refusedUntouched("magic");
    Write(good.substr(0, good.size() - 5));
    refusedUntouched("truncated");
    Write(good.substr(0, 10));
    refusedUntouched("header cut");
    bad = good;
    const uint32_t huge = 0xfffffff0u;
    std::memcpy(&bad[16], &huge, 4);
    Write(bad);
    refusedUntouched("huge count");
    Write(good + "x");
    refusedUntouched("trailing byte");
    std::filesystem::remove(file());
    refusedUntouched("missing");
    // A flipped array bit fails the check word.
    bad = good;
    bad[20 + 16 * 3 + 2] ^= 0x10;
    Write(bad);
    refusedUntouched("check word");
    Write(good);
    EXPECT_TRUE(GfnLoadCheckpoint(gfn, folder.path(), 9));
}

// Found by fuzzing: a file whose header and length match and whose check
// word does not was refused only after its array and largest error had
// been taken. The smallest such file: m = 64 (E = 32), the saved file with
// one bit of the check word flipped.
TEST_F(GfnCheckpointTest, CheckWordMismatchLeavesNumberAndErrorUnchanged) {
    Use(Profile(0, 8, 1));
    Plan(64, 1000);
    gfn.setValue(7);
    gfn.setMaxError(0.25f);
    ASSERT_TRUE(GfnSaveCheckpoint(gfn, folder.path(), 1));
    std::string bytes = Bytes();
    ASSERT_EQ(bytes.size(), 20 + 16 * 32 + 8u);
    bytes[20 + 16 * 32] ^= 1;
    Write(bytes);
    gfn.setValue(3);
    gfn.setMaxError(0.125f);
    EXPECT_FALSE(GfnLoadCheckpoint(gfn, folder.path(), 1));
    EXPECT_EQ(gfn.maxError(), 0.125f);
    const Digits d = Read();
    EXPECT_EQ(d[0], 3);
    for (size_t j = 1; j < d.size(); ++j) ASSERT_EQ(d[j], 0) << j;
}

TEST_F(GfnCheckpointTest, OnePassFileDoesNotDependOnGap) {
    Use(Profile(0, 8, 1));
    Start(256);
    const Digits saved = Read();
    ASSERT_TRUE(GfnSaveCheckpoint(gfn, folder.path(), 3));
    Use(Profile(0, 8, 4));
    Plan(256, 1000);
    gfn.setValue(0);
    ASSERT_TRUE(GfnLoadCheckpoint(gfn, folder.path(), 3));
    EXPECT_EQ(Read(), saved);
}

TEST_F(GfnCheckpointTest, SaveFailsInAMissingFolder) {
    Use(Profile(0, 8, 1));
    Start(256);
    EXPECT_FALSE(GfnSaveCheckpoint(gfn, folder / "absent", 3));
}

}  // namespace
}  // namespace numen::testing
