// The largest exact transform products (label long; CI skips them): BigInt
// up to L = 2^21 and RadixInt up to L = 2^20, every kernel family, against
// GMP, with the round-off of random, all-ones and worst-case operands
// printed as a table per family and length.
//
// Random and all-ones operands (whose balanced digits are -1, 0, ..., 0, 1)
// must round below 0.5 at every length. The constructed worst case -- every
// balanced digit at its largest magnitude with one sign -- makes coefficient
// k of the square k (B/2)^2, beyond the 53-bit mantissa from L = 2^20 for
// BigInt and from L = 2^13 .. 2^15 for radices near 2^20: there the product
// must fail its checksum (ArithmeticFault), never come out wrong.
#include <gtest/gtest.h>

#include <cstdio>
#include <random>

#include "arith/RadixChoice.h"
#include "arith/TransformProduct.h"
#include "ref/TransformOracle.h"

namespace numen {
namespace {

using testing::AllFamilies;
using testing::Describe;
using testing::Mpz;
using testing::Settings;

// Round-off of one square, or -1 when it failed its checksum.
template <class Int>
double SquareError(Int x, const TransformSettings& s, mpz_srcptr expected, bool* exact) {
    double err = -1;
    try {
        TransformSquare(x, s, &err);
    } catch (const ArithmeticFault&) {
        *exact = false;
        return -1;
    }
    *exact = testing::SameValue(x, expected);
    return err;
}

TEST(TransformProductLong, BigIntUpToTheLargestLength) {
    const uint64_t seed = testing::TestSeed();
    testing::RandomOperands rnd(seed);
    std::printf("family        L        random    all-ones  worst-case  (largest rounding distance)\n");
    for (const KernelFamily* f : AllFamilies()) {
        for (uint32_t p = 1u << 13; p <= (1u << 20); p *= 2) {
            for (uint32_t n : {p, p + 1}) {
                if (TransformLength(n, DigitSystem::kBinary16) > kMaxBigIntTransformLength) continue;
                TransformSettings s = Settings(*f, 6, 4);
                SCOPED_TRACE("seed=" + std::to_string(seed) + " words=" + std::to_string(n) + " " + Describe(s));
                BigInt x = rnd.value(n), y = rnd.value(n);
                Mpz mx = testing::ToMpz(x), my = testing::ToMpz(y), want;
                bool exact = false;
                mpz_mul(want, mx, mx);
                double random = SquareError(x, s, want, &exact);
                EXPECT_TRUE(exact);
                BigInt product(x);
                TransformMultiply(product, y, s);
                mpz_mul(want, mx, my);
                EXPECT_TRUE(testing::SameValue(product, want));
                if (n != p) continue;
                BigInt ones = testing::AllOnesBigInt(n), worst = testing::WorstCaseBigInt(n);
                mpz_mul(want, testing::ToMpz(ones).v, testing::ToMpz(ones).v);
                double allOnes = SquareError(ones, s, want, &exact);
                EXPECT_TRUE(exact);
                mpz_mul(want, testing::ToMpz(worst).v, testing::ToMpz(worst).v);
                double worstErr = SquareError(worst, s, want, &exact);
                EXPECT_TRUE(exact || worstErr < 0) << "a wrong product passed its checksum";
                std::printf("%-13s %-8u %-9.3g %-9.3g %-9.3g%s\n", f->name, 2 * p, random, allOnes, worstErr,
                            worstErr < 0 ? "  (checksum fault)" : "");
                EXPECT_LT(random, 0.5);
                EXPECT_LT(allOnes, 0.5);
            }
        }
    }
}

TEST(TransformProductLong, RadixIntUpToTheLargestLength) {
    const uint64_t seed = testing::TestSeed();
    std::mt19937_64 rng(seed);
    std::printf("family        b       L        random    worst-case\n");
    for (const KernelFamily* f : AllFamilies()) {
        for (uint32_t b : {3u, 4u, 10u, 999999u}) {
            const uint32_t radix = RadixOf(b);
            for (uint32_t p : {1u << 13, 1u << 15, 1u << 17, 1u << 19, 1u << 20}) {
                TransformSettings s = Settings(*f, 6, 1);
                SCOPED_TRACE("seed=" + std::to_string(seed) + " b=" + std::to_string(b) + " digits=" +
                             std::to_string(p) + " " + Describe(s));
                RadixInt x = testing::MakeRadixInt(radix, p, false, [&](uint32_t) { return uint32_t(rng() % radix); });
                RadixInt y = testing::RandomRadixInt(rng, radix, p);
                Mpz mx = testing::ToMpz(x), my = testing::ToMpz(y), want;
                bool exact = false;
                mpz_mul(want, mx, mx);
                double random = SquareError(x, s, want, &exact);
                EXPECT_TRUE(exact);
                RadixInt product(x);
                TransformMultiply(product, y, s);
                mpz_mul(want, mx, my);
                EXPECT_TRUE(testing::SameValue(product, want));
                RadixInt worst = testing::WorstCaseRadixInt(radix, p);
                mpz_mul(want, testing::ToMpz(worst).v, testing::ToMpz(worst).v);
                double worstErr = SquareError(worst, s, want, &exact);
                EXPECT_TRUE(exact || worstErr < 0) << "a wrong product passed its checksum";
                std::printf("%-13s %-7u %-8u %-9.3g %-9.3g%s\n", f->name, b, p, random, worstErr,
                            exact ? "" : "  (checksum fault)");
                EXPECT_LT(random, 0.5);
            }
        }
    }
}

// More radices than the unit tests, at a middle length: random bases, with
// random digits or all digits B - 1.
TEST(TransformProductLong, RandomBases) {
    const uint64_t seed = testing::TestSeed();
    std::mt19937_64 rng(seed);
    for (int i = 0; i < testing::Repeats(200); ++i) {
        uint32_t b = 3 + uint32_t(rng() % 999997);
        uint32_t n = 17 + uint32_t(rng() % 20000);
        TransformSettings s = Settings(*AllFamilies()[i % AllFamilies().size()], 5 + i % 2, i % 8);
        SCOPED_TRACE("seed=" + std::to_string(seed) + " b=" + std::to_string(b) + " digits=" + std::to_string(n) +
                     " " + Describe(s));
        const uint32_t radix = RadixOf(b);
        auto digit = [&](uint32_t) { return i % 3 == 0 ? radix - 1 : uint32_t(rng() % radix); };
        RadixInt x = testing::MakeRadixInt(radix, n, rng() & 1, digit);
        RadixInt y = testing::MakeRadixInt(radix, n, rng() & 1, digit);
        Mpz mx = testing::ToMpz(x), my = testing::ToMpz(y), want;
        mpz_mul(want, mx, my);
        TransformMultiply(x, y, s);
        EXPECT_TRUE(testing::SameValue(x, want));
    }
}

}  // namespace
}  // namespace numen
