// The decimal digit count against the length of GMP's decimal text, with
// values right next to powers of ten, where the logarithm cannot decide.
#include <gmp.h>
#include <gtest/gtest.h>

#include "arith/DecimalDigits.h"
#include "ref/GmpOracle.h"

namespace numen {
namespace {

using testing::FromMpz;
using testing::Mpz;
using testing::RandomOperands;
using testing::TestSeed;

size_t GmpDigits(mpz_srcptr v) {
    Mpz absolute;
    mpz_abs(absolute, v);
    return absolute.str().size();
}

TEST(DecimalDigitCount, SmallValuesAndSigns) {
    EXPECT_EQ(DecimalDigitCount(BigInt()), 1u);
    EXPECT_EQ(DecimalDigitCount(BigInt(9)), 1u);
    EXPECT_EQ(DecimalDigitCount(BigInt(10)), 2u);
    EXPECT_EQ(DecimalDigitCount(BigInt(-99)), 2u);
    BigInt x;
    x.setUnsigned64(0xffffffffu, 0xffffffffu);  // 18446744073709551615
    EXPECT_EQ(DecimalDigitCount(x), 20u);
}

TEST(DecimalDigitCount, NextToPowersOfTen) {
    // 10^d - 1, 10^d, 10^d + 1 and neighbours at a distance of whole words.
    for (unsigned d : {19u, 20u, 29u, 38u, 39u, 100u, 617u, 1000u, 4931u, 20000u, 30103u}) {
        Mpz p, v;
        mpz_ui_pow_ui(p, 10, d);
        for (long delta : {-1000000L, -1L, 0L, 1L, 7L}) {
            if (delta < 0) mpz_sub_ui(v, p, (unsigned long)(-delta)); else mpz_add_ui(v, p, (unsigned long)delta);
            EXPECT_EQ(DecimalDigitCount(FromMpz(v)), GmpDigits(v)) << "10^" << d << " + " << delta;
        }
        // Just below by a relative 1e-12: the logarithm is within its guard band.
        mpz_tdiv_q_ui(v, p, 1000000);
        mpz_tdiv_q_ui(v, v, 1000000);
        mpz_sub(v, p, v);
        EXPECT_EQ(DecimalDigitCount(FromMpz(v)), d) << "10^" << d << " (1 - 1e-12)";
    }
}

TEST(DecimalDigitCount, RandomValuesAgainstGmp) {
    RandomOperands rnd(TestSeed() + 20);
    for (uint32_t words : {1u, 2u, 3u, 4u, 17u, 100u, 1000u, 3000u}) {
        for (int rep = 0; rep < 10; ++rep) {
            BigInt x = rnd.value(words);
            EXPECT_EQ(DecimalDigitCount(x), GmpDigits(testing::ToMpz(x))) << words;
        }
    }
}

}  // namespace
}  // namespace numen
