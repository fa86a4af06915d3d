// Exact transform products of RadixInt against GMP: radices from B(3) to
// B(999999) and 2^20 (b = 4), every power-of-two length boundary up to
// L = 2^13 here (the largest in long/TransformProductLongTest.cpp), both
// layouts, every kernel family, the 16/17-digit thresholds, and a disturbed
// product failing its digit-sum check. Also the radix limits of the planner.
#include <gtest/gtest.h>

#include <random>

#include "arith/ArithmeticFault.h"
#include "arith/RadixChoice.h"
#include "arith/TransformProduct.h"
#include "ref/TransformOracle.h"

namespace numen {
namespace {

using testing::AllFamilies;
using testing::Describe;
using testing::Mpz;
using testing::Settings;

// Radices of small, middle and large bases: B(3) = 3^12, B(10) = 10^6,
// B(4) = 2^20 (the largest), B(1023) = 1023 (m = 1), the largest base.
const uint32_t kBases[] = {3, 4, 5, 6, 7, 10, 12, 31, 100, 1023, 1025, 65537, 524287, 999999};

void CheckRadixProducts(std::mt19937_64& rng, uint32_t radix, uint32_t n, const TransformSettings& s,
                        uint64_t seed) {
    SCOPED_TRACE("seed=" + std::to_string(seed) + " radix=" + std::to_string(radix) + " digits=" +
                 std::to_string(n) + " " + Describe(s));
    RadixInt x = testing::RandomRadixInt(rng, radix, n), y = testing::RandomRadixInt(rng, radix, n);
    Mpz mx = testing::ToMpz(x), my = testing::ToMpz(y), want;
    double err = -1;
    RadixInt sq(x);
    try {
        TransformSquare(sq, s, &err);
    } catch (const ArithmeticFault&) {
        // Digits near 2^20 at L = 4096 leave little room: an operand at the
        // edge of the digit range (all digits B/2, say) can fail the SSE2
        // checksum or reach the fast families' 0.45 limit. A fault is right
        // only there, where the reference family measures a large error too.
        double reference = 0;
        RadixInt again(x);
        TransformSquare(again, Settings(X87Kernels(), s.lat64k, s.gap), &reference);
        EXPECT_GT(reference, 0.25) << "a fault on an operand far from the edge";
        return;
    }
    mpz_mul(want, mx, mx);
    EXPECT_TRUE(testing::SameValue(sq, want));
    EXPECT_GE(err, 0.0);
    EXPECT_LT(err, 0.5);
    RadixInt p(x);
    try {
        TransformMultiply(p, y, s, &err);
    } catch (const ArithmeticFault&) {
        double reference = 0;
        RadixInt again(x);
        TransformMultiply(again, y, Settings(X87Kernels(), s.lat64k, s.gap), &reference);
        EXPECT_GT(reference, 0.25) << "a fault on an operand far from the edge";
        return;
    }
    mpz_mul(want, mx, my);
    EXPECT_TRUE(testing::SameValue(p, want));
    EXPECT_LT(err, 0.5);
}

TEST(RadixTransform, EveryRadixAtEveryLengthBoundary) {
    const uint64_t seed = testing::TestSeed();
    std::mt19937_64 rng(seed);
    for (uint32_t b : kBases) {
        const KernelFamily* f = AllFamilies()[b % AllFamilies().size()];
        for (uint32_t p = 16; p <= (1u << 12); p *= 2)
            for (uint32_t n : {p, p + 1}) CheckRadixProducts(rng, RadixOf(b), n, Settings(*f, 5, 1), seed);
        // Two-pass at L = 2^12 and 2^13.
        CheckRadixProducts(rng, RadixOf(b), 4096, Settings(*f, 6, 3), seed);
        CheckRadixProducts(rng, RadixOf(b), 4097, Settings(*f, 6, 0), seed);
    }
}

TEST(RadixTransform, FamiliesOnWorstCaseDigits) {
    for (const KernelFamily* f : AllFamilies()) {
        for (uint32_t b : {4u, 10u, 999999u}) {
            for (uint32_t n : {17u, 1024u, 2048u, 4096u}) {
                TransformSettings s = Settings(*f, 6, 1);
                SCOPED_TRACE("b=" + std::to_string(b) + " digits=" + std::to_string(n) + " " + Describe(s));
                RadixInt x = testing::WorstCaseRadixInt(RadixOf(b), n);
                Mpz mx = testing::ToMpz(x), want;
                double err = -1;
                // At 4096 digits near 2^20 the coefficients reach 2^50, where
                // the reference family's own round-off is already 0.43 to
                // 0.49; the fast families read out in double precision (a
                // quarter unit apart at that size) and refuse a product
                // whose round-off reaches 0.45: exact or a fault, never a
                // wrong value.
                const bool edge = n >= 4096 && f->weightRow != nullptr;
                try {
                    TransformSquare(x, s, &err);
                } catch (const ArithmeticFault&) {
                    EXPECT_TRUE(edge);
                    continue;
                }
                mpz_mul(want, mx, mx);
                EXPECT_TRUE(testing::SameValue(x, want));
                EXPECT_LT(err, edge ? 0.45 : 0.5);
            }
        }
    }
}

// Digits all B - 1 square to long runs of B - 1 and 0: the fast read-out's
// carries must cross its row quarters and rows, walked as far as they go.
TEST(RadixTransform, LongCarryRunsOnEveryFamily) {
    for (const KernelFamily* f : AllFamilies()) {
        for (uint32_t b : {3u, 10u, 1023u, 999999u}) {
            const uint32_t radix = RadixOf(b);
            for (uint32_t n : {17u, 1000u, 4096u, 5000u}) {
                TransformSettings s = Settings(*f, 6, 1);
                SCOPED_TRACE("b=" + std::to_string(b) + " digits=" + std::to_string(n) + " " + Describe(s));
                RadixInt x = testing::MakeRadixInt(radix, n, false, [&](uint32_t) { return radix - 1; });
                RadixInt y = testing::MakeRadixInt(radix, n, true, [&](uint32_t i) { return i < n / 2 ? radix - 1 : 0; });
                Mpz mx = testing::ToMpz(x), my = testing::ToMpz(y), want;
                RadixInt square(x), product(x);
                TransformSquare(square, s);
                mpz_mul(want, mx, mx);
                EXPECT_TRUE(testing::SameValue(square, want));
                TransformMultiply(product, y, s);
                mpz_mul(want, mx, my);
                EXPECT_TRUE(testing::SameValue(product, want));
            }
        }
    }
}

int gTransforms = 0;
uint32_t gLastLength = 0;
void CountTransform(Complex*, const TransformPlan& plan) {
    ++gTransforms;
    gLastLength = plan.length;
}

TEST(RadixTransform, ThresholdsSignsAndLargeRadices) {
    std::mt19937_64 rng(testing::TestSeed());
    SetTransformDisturbance(CountTransform);
    const uint32_t radix = RadixOf(10);
    struct Case {
        uint32_t x, y;    // y = 0: square
        uint32_t length;  // 0: schoolbook
    } cases[] = {{16, 0, 0}, {17, 0, 32}, {17, 16, 0}, {16, 17, 0}, {17, 17, 32}, {33, 20, 64}};
    for (const Case& c : cases) {
        SCOPED_TRACE("x=" + std::to_string(c.x) + " y=" + std::to_string(c.y));
        RadixInt x = testing::RandomRadixInt(rng, radix, c.x);
        RadixInt y = testing::RandomRadixInt(rng, radix, c.y == 0 ? 1 : c.y);
        if (x.isNegative() == y.isNegative()) y.negate();
        Mpz mx = testing::ToMpz(x), my = testing::ToMpz(y), want;
        gTransforms = 0;
        double err = 99;
        if (c.y == 0) {
            x.square(true, &err);
            mpz_mul(want, mx, mx);
        } else {
            x.mulTransform(y, true, &err);
            mpz_mul(want, mx, my);
        }
        EXPECT_TRUE(testing::SameValue(x, want));
        EXPECT_EQ(gTransforms, c.length == 0 ? 0 : 1);
        if (c.length != 0) {
            EXPECT_EQ(gLastLength, c.length);
        }
        EXPECT_LT(err, 0.5);
    }
    // A generalized-Fermat base above 2^20 stays with the schoolbook product.
    gTransforms = 0;
    RadixInt big = testing::RandomRadixInt(rng, 3000000, 100);
    Mpz mb = testing::ToMpz(big), want;
    big.square();
    mpz_mul(want, mb, mb);
    EXPECT_TRUE(testing::SameValue(big, want));
    EXPECT_EQ(gTransforms, 0);
    SetTransformDisturbance(nullptr);

    RadixInt other(RadixOf(3), 5);
    RadixInt mine = testing::RandomRadixInt(rng, radix, 40);
    EXPECT_THROW(TransformMultiply(mine, other, Settings(X87Kernels())), ArithmeticFault);
}

void Disturb(Complex* array, const TransformPlan& plan) { array[plan.index(plan.length / 3)].re += 1000.0; }

TEST(RadixTransform, DisturbedProductFailsItsChecksum) {
    std::mt19937_64 rng(testing::TestSeed());
    SetTransformDisturbance(Disturb);
    for (uint32_t n : {40u, 3000u}) {
        TransformSettings s = Settings(Sse2Kernels(), 6, 1);
        SCOPED_TRACE("digits=" + std::to_string(n));
        RadixInt x = testing::RandomRadixInt(rng, RadixOf(7), n), y = testing::RandomRadixInt(rng, RadixOf(7), n);
        EXPECT_THROW(TransformSquare(x, s), ArithmeticFault);
        EXPECT_THROW(TransformMultiply(y, x, s), ArithmeticFault);
    }
    SetTransformDisturbance(nullptr);
}

TEST(RadixChoice, ExponentAndGeneralizedFermatLimits) {
    EXPECT_EQ(LargestExponent(2), 33554400u);
    EXPECT_EQ(LargestExponent(10), 6u * (1u << 20) - 32);
    EXPECT_EQ(LargestExponent(999999), (1u << 20) - 32);
    EXPECT_EQ(LargestExponent(3), 12u * (1u << 20) - 32);
    // floor(C / n^0.3), even: C = 36e6 up to n = 2048, 40e6 above.
    EXPECT_EQ(LargestGeneralizedFermatBase(1), 36000000u);
    EXPECT_EQ(LargestGeneralizedFermatBase(3), 25892030u);
    EXPECT_EQ(LargestGeneralizedFermatBase(1024), 4500000u);  // 1024^0.3 = 8 exactly
    EXPECT_EQ(LargestGeneralizedFermatBase(2048), 3655134u);
    EXPECT_EQ(LargestGeneralizedFermatBase(4096), 3298768u);
    EXPECT_EQ(LargestGeneralizedFermatBase(1u << 20), 625000u);
    for (uint32_t n = 2; n <= (1u << 22); n *= 2) EXPECT_EQ(LargestGeneralizedFermatBase(n) % 2, 0u) << n;
}

}  // namespace
}  // namespace numen
