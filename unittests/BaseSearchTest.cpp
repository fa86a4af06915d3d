// The tests' preliminaries: IsSmallPrime and the non-residue search against
// GMP, the size refusals, k >= b^n, and the inputs that must end without a
// base (even, tiny, squares of any size) with their exact verdicts.
#include <gmp.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "arith/ArithmeticFault.h"
#include "ref/GmpOracle.h"
#include "ref/RunFixture.h"
#include "tests/BaseSearch.h"
#include "tests/PlusOneTest.h"

namespace numen {
namespace {

using testing::FromMpz;
using testing::Mpz;
using testing::RunFixture;
using Lines = std::vector<std::string>;

TEST(IsSmallPrime, AgreesWithGmp) {
    for (uint32_t q = 0; q < 200000; ++q)
        ASSERT_EQ(IsSmallPrime(q), mpz_probab_prime_p(Mpz{long(q)}, 30) > 0) << q;
    // Near 2^32: the largest prime, a square of a prime, the largest value.
    for (uint32_t q : {4294967291u, 4294967279u, 4293001441u /* 65521^2 */, 4294967295u, 4294836225u /* 65535^2 */})
        EXPECT_EQ(IsSmallPrime(q), mpz_probab_prime_p(Mpz{long(q)}, 30) > 0) << q;
}

uint32_t NextPrime(uint32_t p) {
    Mpz x{long(p)};
    mpz_nextprime(x, x);
    return uint32_t(mpz_get_ui(x));
}

TEST(NextNonResidue, FollowsGmpsJacobiSymbolInSieveOrder) {
    testing::RandomOperands random(testing::TestSeed());
    PrimeSieve& sieve = SharedPrimeSieve();
    for (int i = 0; i < 200; ++i) {
        BigInt N = random.value(1 + random.below(40), false);
        if (N.lowBits(1) == 0) N.addInt(1);
        if (N.compareInt(1000) < 0) N.addInt(1001);
        const Mpz v = testing::ToMpz(N);
        if (mpz_perfect_square_p(v)) continue;
        // Two bases in a row, as a test and its verification draw them.
        uint32_t expected = 2, found = NextNonResidue(sieve, sieve.Restart(), N);
        for (int round = 0; round < 2; ++round) {
            while (mpz_ui_kronecker(expected, v) != -1) expected = NextPrime(expected);
            ASSERT_EQ(found, expected) << N.toString();
            expected = NextPrime(expected);
            found = NextNonResidue(sieve, sieve.Next(), N);
        }
    }
}

TEST(NextNonResidue, EndsWithoutABase) {
    PrimeSieve& sieve = SharedPrimeSieve();
    const auto search = [&](const BigInt& N) { return NextNonResidue(sieve, sieve.Restart(), N); };
    for (int32_t v : {-7, 0, 1, 2, 4, 28, 9, 25})
        EXPECT_EQ(search(BigInt(v)), 0u) << v;
    // 3 has the non-residue 2, but nothing from 3 on lies below it.
    sieve.Restart();
    EXPECT_EQ(NextNonResidue(sieve, sieve.Next(), BigInt(3)), 0u);
    EXPECT_EQ(search(BigInt(3)), 2u);
    // Odd squares beyond the 64 bases before the square check, up to
    // thousands of bits.
    Mpz r, s;
    for (uint32_t bits : {20u, 64u, 3000u}) {
        mpz_ui_pow_ui(r, 3, bits * 10 / 16);
        mpz_mul(s, r, r);
        EXPECT_EQ(search(FromMpz(s)), 0u) << bits;
    }
}

TEST(SizeChecks, RefuseWithTheirTexts) {
    RunFixture f;
    EXPECT_TRUE(RefusedBySizeBase2(f.context(), 4, 2));
    EXPECT_FALSE(RefusedBySizeBase2(f.context(), 3, 2));
    EXPECT_FALSE(RefusedBySizeBase2(f.context(), 0xffffffffu, 32));
    EXPECT_TRUE(RefusedBySizeBase2(f.context(), 0xffffffffu, 31));
    EXPECT_TRUE(RefusedBySize(f.context(), 1000, 10, 3));
    EXPECT_FALSE(RefusedBySize(f.context(), 999, 10, 3));
    EXPECT_FALSE(RefusedBySize(f.context(), 0xffffffffu, 3, 32));
    EXPECT_EQ(f.paneTexts(), (Lines{"4 >= 2^2\r\n", "4294967295 >= 2^31\r\n", "1000 >= 10^3\r\n"}));
    EXPECT_EQ(f.logFile(), "");
}

TEST(SizeChecks, KAtLeastPowerIsExact) {
    EXPECT_TRUE(KAtLeastPower(1000, 10, 3));
    EXPECT_FALSE(KAtLeastPower(999, 10, 3));
    EXPECT_TRUE(KAtLeastPower(5, 999999, 0));
    EXPECT_TRUE(KAtLeastPower(0xffffffffu, 2, 31));
    EXPECT_FALSE(KAtLeastPower(0xffffffffu, 2, 32));
    EXPECT_FALSE(KAtLeastPower(0xffffffffu, 999999, 1000000));  // no overflow on the way
}

TEST(DecideExactly, LinesOfEachVerdict) {
    RunFixture f;
    f.log.setOptions({true, false, false});
    const Candidate two{1, 5, 0, 1}, six{1, 5, 1, 1}, nine{8, 1, 1, 1};
    EXPECT_TRUE(DecideExactly(f.context(), two, BigInt(2), true, VerdictKind::Proof));
    EXPECT_FALSE(DecideExactly(f.context(), six, BigInt(6), true, VerdictKind::Proof));
    EXPECT_FALSE(DecideExactly(f.context(), nine, BigInt(9), false, VerdictKind::Proof));
    EXPECT_TRUE(DecideExactly(f.context(), two, BigInt(2), false, VerdictKind::ProbablePrime));
    EXPECT_EQ(f.paneLines(), (Lines{"1*5^0 + 1 is prime! [1 digits]\r\n", " - Generalized Fermat (5^0 + 1) -\r\n",
                                    "1*5^1 + 1 : verification failed !? (a = 2)\r\n",
                                    "8*1^1 + 1 is composite (square)\r\n", "1*5^0 + 1 may be prime. (a = 2)\r\n"}));
    // Beyond 2^64 only a square can be without a base.
    Mpz big;
    mpz_ui_pow_ui(big, 3, 101);
    EXPECT_THROW(DecideExactly(f.context(), Candidate{1, 3, 101, 0}, FromMpz(big), false, VerdictKind::Proof),
                 ArithmeticFault);
}

}  // namespace
}  // namespace numen
