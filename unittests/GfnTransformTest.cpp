// The generalized-Fermat transform against GMP: powerings a^e mod B^m + 1
// in every shape and carry variant, the wrap-around carry, the round-off
// guard, the shape table and "Numen.dtf".
#include <gmp.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <fstream>
#include <limits>
#include <random>
#include <string>
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
    GfnPlan(64, 2);
    GfnSetValue(2);
    for (int i = 0; i < 5; ++i) {
        GfnSquare();
        GfnCarry(1);
    }
    GfnSquare();
    Digits d(64);
    EXPECT_LT(GfnUnload(d.data()), 0.01f);
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
                EXPECT_LT(err, 0.4f) << "m " << m << " variant " << VariantName(variant);
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
        GfnSelectCarryVariant(variant);
        for (uint32_t m = 64; m <= (1u << 16); m *= 4) {
            float err = 1;
            ExpectChainMatches(m, LargestGeneralizedFermatBase(m), 3, TestSeed() + m, &err);
            EXPECT_LT(err, kGfnErrorLimit) << "m " << m;
        }
    }
}

// GfnCarry(a) scales the transform's round-off by a; GfnCarryThenMultiply
// multiplies balanced digits and does not. Over a long run at the limit
// radix the latter stays far inside the guard in every variant, while the
// double-precision passes with a = 3 reach 0.45 -- and must then raise, not
// hand back a value.
TEST_F(GfnTransformTest, LongRunsAtTheLimitRadix) {
    Use(Profile(1024 * 1024, 8, 1));
    const uint32_t m = 4096, B = LargestGeneralizedFermatBase(m);
    for (GfnCarryVariant variant : RunnableCarryVariants()) {
        GfnSelectCarryVariant(variant);
        float err = 1;
        ExpectChainMatches(m, B, 100, 77, &err, true);
        EXPECT_LT(err, 0.25f) << "variant " << VariantName(variant);
    }
    std::vector<GfnCarryVariant> doublePasses{GfnCarryVariant::kSse2};
    for (GfnCarryVariant v : RunnableAvxCarryVariants()) doublePasses.push_back(v);
    for (GfnCarryVariant variant : doublePasses) {
        GfnSelectCarryVariant(variant);
        GfnPlan(m, B);
        GfnSetValue(3);
        EXPECT_THROW(
            for (int i = 0; i < 150; ++i) {
                GfnSquare();
                GfnCarry(3);
            },
            ArithmeticFault)
            << VariantName(variant);
    }
}

TEST_F(GfnTransformTest, EveryCarryVariantAndShapeGivesTheSamePower) {
    for (GfnCarryVariant variant : RunnableCarryVariants()) {
        GfnSelectCarryVariant(variant);
        for (const ProcessorProfile& profile : {Profile(256 * 1024, 8, 1), Profile(0, 2, 4), Profile(0, 8, 1)}) {
            Use(profile);
            for (uint32_t m : {128u, 4096u, 8192u, 16384u}) {
                const uint32_t B = LargestGeneralizedFermatBase(m);
                ExpectPowerMatches(m, B, 13, 0x5b, false, nullptr);
                ExpectPowerMatches(m, B, 7, 0x5b, true, nullptr);  // GfnCarryThenMultiply
            }
        }
    }
}

TEST_F(GfnTransformTest, SquaringKernelFamiliesAgree) {
    Use(Profile(0, 8, 1));
    const KernelFamily& before = SquaringKernels();
    // Every family the host runs; the fast ones plan m = 2^16 in one pass
    // and 2^17 in rows.
    for (const KernelFamily* family : AllFamilies()) {
        ForceSquaringKernels(*family);
        for (uint32_t m : {256u, 8192u, 65536u, 131072u}) {
            if (m > 8192 && family->avxLevel == 0) continue;
            SCOPED_TRACE(std::string(family->name) + " m=" + std::to_string(m));
            ExpectPowerMatches(m, LargestGeneralizedFermatBase(m), 5, 0x71, false, nullptr);
        }
    }
    ForceSquaringKernels(before);
}

// The transform takes the shared buffer and tables: an exact product of the
// same length afterwards must rebuild its own, and a powering after a
// product must rebuild the transform's.
TEST_F(GfnTransformTest, SharesTheBufferWithExactProducts) {
    Use(Profile(0, 8, 1));
    RandomOperands random(TestSeed());
    for (int round = 0; round < 2; ++round) {
        ExpectPowerMatches(4096, LargestGeneralizedFermatBase(4096), 3, 0x1d3a7u, false, nullptr);
        BigInt x = random.value(1024, false);  // L = 2048: the same two-pass length
        Mpz want = ToMpz(x);
        mpz_mul(want, want, want);
        x.square();
        EXPECT_TRUE(SameValue(x, want)) << "round " << round;
    }
}

TEST_F(GfnTransformTest, MultiplySmallMatchesGmp) {
    Use(Profile(0, 8, 1));
    const uint32_t m = 4096, B = LargestGeneralizedFermatBase(m);
    Digits in = RandomDigits(m, B, 11);
    GfnPlan(m, B);
    GfnSetDigits(in.data());
    GfnMultiplySmall(12345);
    Digits out(m);
    GfnReadDigits(out.data());
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
        GfnSelectCarryVariant(variant);
        for (const ProcessorProfile& profile : {Profile(0, 8, 1), Profile(0, 8, 3)}) {
            Use(profile);
            for (uint32_t m : {64u, 4096u}) {
                const int32_t B = 1000;
                Digits in(m);
                for (uint32_t j = 0; j < m; ++j) in[j] = j < m / 2 ? -B / 2 : B / 2;
                in[m - 1] = B;
                GfnPlan(m, B);
                GfnSetDigits(in.data());
                GfnMultiplySmall(1);
                Digits out(m);
                GfnReadDigits(out.data());
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
            GfnPlan(m, 1000);
            const GfnState& st = Gfn();
            const uint32_t L = st.length, G = st.laneRowLength;
            ASSERT_EQ(L % (G * kGfnMaxSegments), 0u) << "m " << m;
            ASSERT_EQ(st.passRowLength() % G, 0u) << "a lane row crosses a buffer row, m " << m;
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
        GfnSelectCarryVariant(variant);
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
                GfnPlan(m, B);
                GfnSetDigits(in.data());
                GfnMultiplySmall(1);
                Digits out(m);
                GfnReadDigits(out.data());
                const std::string where = std::string(VariantName(variant)) + " m " + std::to_string(m) + " g " +
                                          std::to_string(GfnCurrentShape().rowLength) + " stop " + std::to_string(stop);
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
        GfnSelectCarryVariant(variant);
        for (uint32_t m : {256u, 4096u}) {
            const uint32_t L = m / 2;
            for (uint32_t j : {5u, L / 2 + 1, L - 1}) {
                for (int component = 0; component < 2; ++component) {
                    for (double poison : poisons) {
                        for (bool afterSquare : {true, false}) {
                            GfnPlan(m, 1000);
                            GfnSetValue(3);
                            if (afterSquare) GfnSquare();
                            Complex* z = Gfn().element(j);
                            (component == 0 ? z->re : z->im) = poison;
                            if (afterSquare) {
                                Digits out(m);
                                EXPECT_THROW(GfnUnload(out.data()), ArithmeticFault)
                                    << VariantName(variant) << " j " << j;
                                EXPECT_THROW(GfnCarry(1), ArithmeticFault) << VariantName(variant) << " j " << j;
                            } else {
                                EXPECT_THROW(GfnMultiplySmall(5), ArithmeticFault) << VariantName(variant) << " j " << j;
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
            GfnSelectCarryVariant(variant);
            for (uint32_t m = 64; m <= (1u << 16); m *= 2) {
                float err = 1;
                ExpectChainMatches(m, LargestGeneralizedFermatBase(m), 2, TestSeed() + 3 * m, &err, ownFamily);
                EXPECT_LT(err, 0.4f) << "m " << m << " " << VariantName(variant) << (ownFamily ? " own family" : "");
            }
        }
    }
}

// The AVX read-out of GfnUnload gives the very digits of the reference
// read-out, on the same transformed square (GfnUnload leaves the buffer as
// it found it), in one-pass and two-pass shapes.
TEST_F(GfnTransformTest, LaneUnloadGivesTheReferenceDigits) {
    for (GfnCarryVariant variant : RunnableAvxCarryVariants()) {
        UseVariant(variant);
        for (const ProcessorProfile& profile : {Profile(0, 8, 1), Profile(1024 * 1024, 8, 3)}) {
            Use(profile);
            for (uint32_t m : {64u, 256u, 4096u, 65536u, 131072u}) {
                const uint32_t B = LargestGeneralizedFermatBase(m);
                GfnPlan(m, B);
                const Digits in = RandomDigits(m, B, TestSeed() + m);
                GfnSetDigits(in.data());
                GfnSquare();
                Digits reference(m), lanes(m);
                GfnSelectCarryVariant(GfnCarryVariant::kX87);
                const float referenceErr = GfnUnload(reference.data());
                GfnSelectCarryVariant(variant);
                const float laneErr = GfnUnload(lanes.data());
                EXPECT_EQ(lanes, reference) << VariantName(variant) << " m " << m;
                EXPECT_NEAR(laneErr, referenceErr, 0.07f) << VariantName(variant) << " m " << m;
            }
        }
    }
}

TEST_F(GfnTransformTest, RoundOffAtOrAbove045Raises) {
    Use(Profile(0, 8, 1));
    // Far above the limit radix: the square's coefficients lose their units.
    GfnPlan(4096, 1u << 30);
    Digits in = RandomDigits(4096, 1u << 30, 5);
    GfnSetDigits(in.data());
    GfnSquare();
    EXPECT_THROW(GfnCarry(1), ArithmeticFault);
    // A poisoned element is a fault, not a value or an endless carry.
    GfnPlan(256, 1000);
    GfnSetValue(3);
    GfnSquare();
    Gfn().array[5].re = std::numeric_limits<double>::quiet_NaN();
    EXPECT_THROW(GfnCarry(1), ArithmeticFault);
    GfnSetValue(3);
    GfnSquare();
    Digits out(256);
    GfnSetMaxError(0.45f);
    EXPECT_THROW(GfnUnload(out.data()), ArithmeticFault);
}

// --- Numen.dtf ----------------------------------------------------------------

class GfnCheckpointTest : public GfnTransformTest {
protected:
    TempFolder folder;
    std::filesystem::path file() const { return folder / "Numen.dtf"; }
    // A number a few steps into a powering.
    void Start(uint32_t m) {
        GfnPlan(m, 1000);
        GfnSetValue(7);
        for (int i = 0; i < 3; ++i) {
            GfnSquare();
            GfnCarry(7);
        }
    }
    Digits Read() {
        Digits d(GfnDigitCount());
        GfnReadDigits(d.data());
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
        GfnSetMaxError(0.125f);
        const Digits saved = Read();
        ASSERT_TRUE(GfnSaveCheckpoint(folder.path(), 41));
        EXPECT_FALSE(std::filesystem::exists(folder / "Numen.dtf.tmp"));
        EXPECT_EQ(Bytes().size(), 28 + 16 * size_t(GfnElementCount()));
        GfnSetValue(1);
        ASSERT_TRUE(GfnLoadCheckpoint(folder.path(), 41));
        EXPECT_EQ(Read(), saved);
        EXPECT_EQ(GfnMaxError(), 0.125f);
    }
}

TEST_F(GfnCheckpointTest, RefusesWhatDoesNotMatchBeforeTouchingTheArray) {
    Use(Profile(0, 8, 1));
    Start(4096);  // two-pass, g = 64, b = 32
    ASSERT_TRUE(GfnSaveCheckpoint(folder.path(), 9));
    const std::string good = Bytes();
    auto refusedUntouched = [&](const char* what) {
        GfnSetValue(5);
        EXPECT_FALSE(GfnLoadCheckpoint(folder.path(), 9)) << what;
        Digits d = Read();
        EXPECT_EQ(d[0], 5) << what;
    };
    EXPECT_FALSE(GfnLoadCheckpoint(folder.path(), 10));  // another bit
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
        const KernelFamily& before = SquaringKernels();
        ForceSquaringKernels(*fast);
        Use(Profile(0, 8, 1));
        Start(4096);
        EXPECT_TRUE(GfnCurrentShape().onePass());
        refusedUntouched("fast family's shape");
        ForceSquaringKernels(before);
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
    // A flipped array bit fails the check word (the array is then overwritten).
    bad = good;
    bad[20 + 16 * 3 + 2] ^= 0x10;
    Write(bad);
    EXPECT_FALSE(GfnLoadCheckpoint(folder.path(), 9));
    Write(good);
    EXPECT_TRUE(GfnLoadCheckpoint(folder.path(), 9));
}

TEST_F(GfnCheckpointTest, OnePassFileDoesNotDependOnGap) {
    Use(Profile(0, 8, 1));
    Start(256);
    const Digits saved = Read();
    ASSERT_TRUE(GfnSaveCheckpoint(folder.path(), 3));
    Use(Profile(0, 8, 4));
    GfnPlan(256, 1000);
    GfnSetValue(0);
    ASSERT_TRUE(GfnLoadCheckpoint(folder.path(), 3));
    EXPECT_EQ(Read(), saved);
}

TEST_F(GfnCheckpointTest, SaveFailsInAMissingFolder) {
    Use(Profile(0, 8, 1));
    Start(256);
    EXPECT_FALSE(GfnSaveCheckpoint(folder / "absent", 3));
}

}  // namespace
}  // namespace numen::testing
