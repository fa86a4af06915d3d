// ChainMemberTest against GMP: chain members 2N + 1 above primes, their
// composites, the verify and VerifComposites runs with their lines, the
// size refusal, the square, and the exact verdict where N is small.
#include <gmp.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "ref/GmpOracle.h"
#include "ref/RunFixture.h"
#include "tests/ChainMemberTest.h"

namespace numen {
namespace {

using testing::GmpDigits;
using testing::GmpPrime;

using testing::Mpz;
using testing::RunFixture;
using Lines = std::vector<std::string>;

using Fixture = testing::VerboseRunFixture;


std::string PrimeLine(const Candidate& N, const char* prefix, int a) {
    char t[200];
    std::snprintf(t, sizeof t, "%u*%u^%u + %d is prime! (%sa = %d) [%u digits]\r\n", N.k, N.b, N.n, N.c, prefix, a,
                  GmpDigits(N));
    return t;
}
std::string CompositeLine(const Candidate& N, int a) {
    char t[160];
    std::snprintf(t, sizeof t, "%u*%u^%u + %d is composite. (a = %d)\r\n", N.k, N.b, N.n, N.c, a);
    return t;
}
std::string FailedLine(const Candidate& N, int a) {
    char t[160];
    std::snprintf(t, sizeof t, "%u*%u^%u + %d : verification failed !? (a = %d)\r\n", N.k, N.b, N.n, N.c, a);
    return t;
}


TEST(ChainMemberTest, ChainMembersAboveSmallPrimesAgreeWithGmp) {
    // 2N + 1 = k*2^(n+1) + 3 above N = k*2^n + 1, and the next member
    // k*2^(n+2) + 7, for primes N with n from 2 to 200.
    int primes = 0, composites = 0;
    for (uint32_t k = 1; k < 40; k += 2)
        for (uint32_t n = 2; n < 200; n += 7) {
            if (!GmpPrime({k, 2, n, 1})) continue;
            for (int32_t c : {3, 7}) {
                const Candidate M{k, 2, n + (c == 3 ? 1u : 2u), c};
                if (k >= (1u << std::min(M.n, 31u)) && M.n < 32) continue;
                Fixture f;
                bool prime = false;
                ASSERT_TRUE(ChainMemberTest(f.context(), M.k, M.n, M.c, false, prime));
                const bool expected = GmpPrime(M);
                ASSERT_EQ(prime, expected) << k << "*2^" << M.n << "+" << c;
                const Lines first{expected ? PrimeLine(M, "", 2) : CompositeLine(M, 2)};
                ASSERT_EQ(f.paneLines(), first);
                (expected ? primes : composites) += 1;
            }
        }
    EXPECT_GT(primes, 5);
    EXPECT_GT(composites, 20);
}

TEST(ChainMemberTest, VerifyConfirmsAPrimeToBase3WithItsRecord) {
    const Candidate M{1, 2, 2, 3};  // 7 = 2*3 + 1
    Fixture f;
    bool prime = false;
    ASSERT_TRUE(ChainMemberTest(f.context(), 1, 2, 3, true, prime));
    EXPECT_TRUE(prime);
    const Lines lines = f.paneLines();
    ASSERT_GE(lines.size(), 2u);
    EXPECT_EQ(lines[0], PrimeLine(M, "", 2));
    EXPECT_EQ(lines[1], PrimeLine(M, "verification : ", 3));
    EXPECT_FALSE(f.folder.read("Numen.txt").empty());

    // A larger one, the first prime 5*2^n + 3 from n = 100 by GMP.
    for (uint32_t n = 100; n < 400; ++n) {
        const Candidate L{5, 2, n, 3};
        if (!GmpPrime(L)) continue;
        Fixture g;
        ASSERT_TRUE(ChainMemberTest(g.context(), L.k, L.n, L.c, true, prime));
        EXPECT_TRUE(prime);
        EXPECT_EQ(g.paneLines()[1], PrimeLine(L, "verification : ", 3));
        break;
    }
}

TEST(ChainMemberTest, CompositeVerificationRunsOnlyWithTheOption) {
    const Candidate M{5, 2, 10, 3};  // 5123 = 47 * 109
    ASSERT_FALSE(GmpPrime(M));
    bool prime = true;
    Fixture off;
    ASSERT_TRUE(ChainMemberTest(off.context(), M.k, M.n, M.c, true, prime));
    EXPECT_FALSE(prime);
    EXPECT_EQ(off.paneLines(), Lines{CompositeLine(M, 2)});

    Fixture on;
    on.options.verifComposites = true;
    ASSERT_TRUE(ChainMemberTest(on.context(), M.k, M.n, M.c, false, prime));
    EXPECT_FALSE(prime);
    EXPECT_EQ(on.paneLines(), (Lines{CompositeLine(M, 2), CompositeLine(M, 3)}));
}

TEST(ChainMemberTest, SmallNumbersAreDecidedExactly) {
    // 341 = 1*2^1 + 339 is a base-2 Fermat pseudoprime; the exact test
    // knows it. With VerifComposites base 3 (3^340 != 1 mod 341) agrees.
    bool prime = true;
    Fixture f;
    ASSERT_TRUE(ChainMemberTest(f.context(), 1, 1, 339, false, prime));
    EXPECT_FALSE(prime);
    EXPECT_EQ(f.paneLines(), Lines{CompositeLine({1, 2, 1, 339}, 2)});

    // 1105 = 1*2^1 + 1103 is a Carmichael number: base 3 passes a number
    // found composite, which is a failed verification.
    Fixture g;
    g.options.verifComposites = true;
    ASSERT_TRUE(ChainMemberTest(g.context(), 1, 1, 1103, false, prime));
    EXPECT_FALSE(prime);
    const Candidate C{1, 2, 1, 1103};
    Mpz y;
    mpz_powm_ui(y, Mpz(3), 1104, Mpz(1105));
    EXPECT_EQ(g.paneLines(), (Lines{CompositeLine(C, 2), mpz_cmp_ui(static_cast<mpz_srcptr>(y), 1) == 0
                                                                 ? FailedLine(C, 3)
                                                                 : CompositeLine(C, 3)}));

    // Prime n = 1: 2 + 3 = 5.
    Fixture h;
    ASSERT_TRUE(ChainMemberTest(h.context(), 1, 1, 3, false, prime));
    EXPECT_TRUE(prime);
    EXPECT_EQ(h.paneLines(), Lines{PrimeLine({1, 2, 1, 3}, "", 2)});
}

TEST(ChainMemberTest, RefusesKAtLeastTwoToTheNAndReportsSquares) {
    bool prime = true;
    Fixture f;
    ASSERT_TRUE(ChainMemberTest(f.context(), 5, 0, 3, true, prime));  // n = 0: k >= 1 always
    EXPECT_FALSE(prime);
    EXPECT_EQ(f.paneTexts(), Lines{"5 >= 2^0\r\n"});

    Fixture g;  // 1*2^4 + 9 = 25
    ASSERT_TRUE(ChainMemberTest(g.context(), 1, 4, 9, false, prime));
    EXPECT_FALSE(prime);
    EXPECT_EQ(g.paneLines(), Lines{"1*2^4 + 9 is composite (square)\r\n"});
}

TEST(ChainMemberTest, StopGivesNoVerdict) {
    Fixture f;
    f.running = false;
    bool prime = false;
    EXPECT_FALSE(ChainMemberTest(f.context(), 3, 400, 3, true, prime));
    EXPECT_TRUE(f.paneLines().empty());
}

}  // namespace
}  // namespace numen
