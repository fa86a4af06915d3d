// The generalized-Fermat transform against GMP: powerings a^e mod B^m + 1
// in every shape and carry variant, the wrap-around carry, the round-off
// guard, the shape table and "Numen.dtf".
#include <gmp.h>
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <fstream>
#include <limits>
#include <random>
#include <vector>

#include "arith/ArithmeticFault.h"
#include "arith/GfnCheckpoint.h"
#include "arith/GfnState.h"
#include "arith/GfnTransform.h"
#include "arith/ProcessorProfile.h"
#include "arith/RadixChoice.h"
#include "arith/kernels/KernelFamily.h"
#include "ref/GfnFixture.h"
#include "ref/GmpOracle.h"
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
// carry multipliers 1 and a from the exponent's bits.
TEST_F(GfnTransformTest, PoweringMatchesGmpUpTo2To16) {
    for (const ProcessorProfile& profile : {Profile(1024 * 1024, 8, 1), Profile(0, 8, 4)}) {
        Use(profile);
        for (uint32_t m = 64; m <= (1u << 16); m *= 2) {
            const uint32_t B = LargestGeneralizedFermatBase(m);
            const uint64_t e = m <= 4096 ? 0x1d3a7u : 0x2b5u;
            float err = 0;
            ExpectPowerMatches(m, B, 3, e, false, &err);
            EXPECT_LT(err, 0.4f) << "m " << m;
        }
    }
}

// Full-size random operands at the limit radix, m = 64 .. 2^16, two-pass
// from m = 4096 on, every carry variant: the round-off stays well inside
// the guard and the result is GMP's.
TEST_F(GfnTransformTest, FullSizeSquaringsAtTheLimitRadixMatchGmp) {
    Use(Profile(0, 8, 1));
    for (GfnCarryVariant variant : {GfnCarryVariant::kX87, GfnCarryVariant::kX87Prefetch, GfnCarryVariant::kSse2}) {
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
// double-precision pass with a = 3 reaches 0.45 -- and must then raise, not
// hand back a value.
TEST_F(GfnTransformTest, LongRunsAtTheLimitRadix) {
    Use(Profile(1024 * 1024, 8, 1));
    const uint32_t m = 4096, B = LargestGeneralizedFermatBase(m);
    for (GfnCarryVariant variant : {GfnCarryVariant::kX87, GfnCarryVariant::kX87Prefetch, GfnCarryVariant::kSse2}) {
        GfnSelectCarryVariant(variant);
        float err = 1;
        ExpectChainMatches(m, B, 100, 77, &err, true);
        EXPECT_LT(err, 0.25f) << "variant " << int(variant);
    }
    GfnSelectCarryVariant(GfnCarryVariant::kSse2);
    GfnPlan(m, B);
    GfnSetValue(3);
    EXPECT_THROW(
        for (int i = 0; i < 150; ++i) {
            GfnSquare();
            GfnCarry(3);
        },
        ArithmeticFault);
}

TEST_F(GfnTransformTest, EveryCarryVariantAndShapeGivesTheSamePower) {
    for (GfnCarryVariant variant : {GfnCarryVariant::kX87, GfnCarryVariant::kX87Prefetch, GfnCarryVariant::kSse2}) {
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
    for (const KernelFamily* family : {&X87Kernels(), &AmdKernels(), &Sse2Kernels()}) {
        ForceSquaringKernels(*family);
        for (uint32_t m : {256u, 8192u}) ExpectPowerMatches(m, LargestGeneralizedFermatBase(m), 5, 0x71, false, nullptr);
    }
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
    for (GfnCarryVariant variant : {GfnCarryVariant::kX87, GfnCarryVariant::kX87Prefetch, GfnCarryVariant::kSse2}) {
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
