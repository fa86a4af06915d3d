// PocklingtonProof: primes k*b^n + 1 of many bases proven with the line and
// base GMP predicts, composites refused, the divisor order and early end,
// the "may be prime" retry with the next base, the run choice of Use16bitBRT,
// k >= b^n decided exactly, and the stop.
#include <gmp.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "ref/GmpOracle.h"
#include "ref/RunFixture.h"
#include "arith/RadixChoice.h"
#include "report/ResultLines.h"
#include "report/TextFormat.h"
#include "tests/PlusOneTest.h"
#include "tests/PocklingtonDivisors.h"

namespace numen {
namespace {

using testing::GmpDigits;
using testing::GmpPrime;

using testing::Mpz;
using testing::RunFixture;
using Lines = std::vector<std::string>;

Mpz ValueOf(const Candidate& N) { return testing::CandidateValue(N); }


// The first prime base after `after` (from 3) with (a/N) = -1, as GMP sees it.
uint32_t GmpNonResidue(const Candidate& N, uint32_t after) {
    const Mpz v = ValueOf(N);
    Mpz a{long(after)};
    for (;;) {
        mpz_nextprime(a, a);
        if (mpz_kronecker(a, v) == -1) return uint32_t(mpz_get_ui(a));
    }
}

// Whether base a fails the condition of some prime d of b: a^((N-1)/d) = 1.
bool FailsADivisor(const Candidate& N, uint32_t a) {
    const Mpz v = ValueOf(N);
    Mpz e, r, base{long(a)};
    for (uint32_t d = 2; d <= N.b; ++d) {
        if (N.b % d != 0 || !IsSmallPrime(d)) continue;
        mpz_sub_ui(e, v, 1);
        mpz_divexact_ui(e.v, e.v, d);
        mpz_powm(r, base, e, v);
        if (mpz_cmp_ui(r.v, 1) == 0) return true;
    }
    return false;
}

struct Fixture : RunFixture {
    Fixture() { log.setOptions({true, false, false}); }  // composite lines reach the pane
};

// The first k >= 2 making k*b^n + 1 prime by GMP.
Candidate FirstPrime(uint32_t b, uint32_t n) {
    for (uint32_t k = 2;; ++k)
        if (GmpPrime({k, b, n, 1})) return {k, b, n, 1};
}

TEST(PocklingtonProof, ProvesPrimesOfManyBasesWithTheBaseGmpPredicts) {
    const uint32_t bases[] = {3, 5, 6, 10, 12, 19, 1000, 5000, 999983};
    for (uint32_t b : bases) {
        for (uint32_t bits : {60u, 900u, 3000u}) {
            const uint32_t n = std::max(1u, uint32_t(bits / std::log2(double(b))));
            const Candidate N = FirstPrime(b, n);
            Fixture f;
            bool prime = false;
            ASSERT_TRUE(PocklingtonProof(f.context(), N.k, b, n, 0, prime));
            EXPECT_TRUE(prime) << N.k << "*" << b << "^" << n;
            // Bases failing a divisor print "may be prime" and the next one is
            // taken; the last line names the base that proved it. Radixes of
            // 65536 or more (the radix of b, not b) are not independent of the
            // probable-prime stage.
            Lines want;
            uint32_t a = GmpNonResidue(N, 2);
            while (FailsADivisor(N, a)) {
                want.push_back(MayBePrimeLine(N, a));
                a = GmpNonResidue(N, a);
            }
            want.push_back(PrimeLine(N, int32_t(a), 0, RadixOf(b) < 65536, GmpDigits(N)));
            EXPECT_EQ(f.paneLines(), want) << N.k << "*" << b << "^" << n;
        }
    }
}

TEST(PocklingtonProof, GeneralizedFermatPrimesThroughBothRunLengths) {
    // b^n + 1 for n = 2, 8 (plain walk) and 64, 128 (the transform).
    for (uint32_t n : {2u, 8u, 64u, 128u}) {
        uint32_t b = 2;
        while ((b & (b - 1)) == 0 || !GmpPrime({1, b, n, 1})) ++b;
        Fixture f;
        bool prime = false;
        ASSERT_TRUE(PocklingtonProof(f.context(), 1, b, n, 0, prime));
        EXPECT_TRUE(prime) << b << "^" << n << " + 1";
        // The prime line (the record's form notes follow it).
        const std::string stem = Format("1*%u^%u + 1 is prime! (verification : a = ", b, n);
        bool announced = false;
        for (const std::string& line : f.paneLines()) announced |= line.rfind(stem, 0) == 0;
        EXPECT_TRUE(announced) << stem;
    }
}

TEST(PocklingtonProof, GeneralizedFermatBaseBeyondTheTransformLimit) {
    // Such b^n + 1 are proven on BigInt residues, with the line of the
    // transform's run (a radix above 65536: not independent).
    const uint32_t n = 64;
    uint32_t b = LargestGeneralizedFermatBase(n) + 2;
    while (!GmpPrime({1, b, n, 1})) b += 2;
    Fixture f;
    bool prime = false;
    ASSERT_TRUE(PocklingtonProof(f.context(), 1, b, n, 0, prime));
    EXPECT_TRUE(prime) << b;
    const std::string stem = Format("1*%u^%u + 1 is prime! (a = ", b, n);
    bool announced = false;
    for (const std::string& line : f.paneLines()) announced |= line.rfind(stem, 0) == 0;
    EXPECT_TRUE(announced) << stem;

    // A composite beyond the limit is refused.
    uint32_t c = LargestGeneralizedFermatBase(n) + 2;
    while (GmpPrime({1, c, n, 1})) c += 2;
    Fixture g;
    prime = true;
    ASSERT_TRUE(PocklingtonProof(g.context(), 1, c, n, 0, prime));
    EXPECT_FALSE(prime) << c;
}

TEST(PocklingtonProof, CompositesAreRefused) {
    // Composites of each base whose smallest factor is above 1000.
    for (uint32_t b : {3u, 10u, 12u, 1000u, 999983u}) {
        int found = 0;
        for (uint32_t k = 2; found < 3; ++k) {
            const Candidate N{k, b, 200, 1};
            const Mpz v = ValueOf(N);
            if (mpz_probab_prime_p(v, 30) != 0) continue;
            bool smallFactor = false;
            for (unsigned long p = 2; p < 1000 && !smallFactor; ++p) smallFactor = mpz_divisible_ui_p(v, p);
            if (smallFactor) continue;
            ++found;
            Fixture f;
            bool prime = true;
            ASSERT_TRUE(PocklingtonProof(f.context(), k, b, 200, 0, prime));
            EXPECT_FALSE(prime) << k << "*" << b << "^200 + 1";
            ASSERT_FALSE(f.paneLines().empty());
            EXPECT_NE(f.paneLines().back().find(": verification failed !? (a = "), std::string::npos);
        }
    }
}

TEST(PocklingtonProof, DivisorsLargestFirstUntilTheProvedPartSuffices) {
    // b = 10: 5 alone when 2.5^n > k, else 5 and 2.
    EXPECT_EQ(PocklingtonDivisors(3, 10, 100), (std::vector<uint32_t>{5}));
    EXPECT_EQ(PocklingtonDivisors(1000, 10, 4), (std::vector<uint32_t>{5, 2}));
    EXPECT_EQ(PocklingtonDivisors(39, 10, 4), (std::vector<uint32_t>{5}));   // 2.5^4 = 39.06
    EXPECT_EQ(PocklingtonDivisors(40, 10, 4), (std::vector<uint32_t>{5, 2}));
    EXPECT_EQ(PocklingtonDivisors(7, 30, 50), (std::vector<uint32_t>{5, 3}));
    EXPECT_EQ(PocklingtonDivisors(7, 999983, 3), (std::vector<uint32_t>{999983}));
}

TEST(PocklingtonProof, UseOf16bitRunMakesLargeRadixesIndependent) {
    const Candidate N = FirstPrime(999983, 40);
    Fixture f;
    f.options.use16bitBRT = true;
    bool prime = false;
    ASSERT_TRUE(PocklingtonProof(f.context(), N.k, N.b, N.n, 0, prime));
    EXPECT_TRUE(prime);
    EXPECT_NE(f.paneLines().back().find("(verification : a = "), std::string::npos) << f.paneLines().back();
}

TEST(PocklingtonProof, SmallAndDegenerateNumbersAreDecidedExactly) {
    // k >= b^n and n = 0: the theorem does not apply; every verdict must
    // still agree with GMP, and each call ends.
    for (uint32_t b : {3u, 5u, 10u, 12u}) {
        for (uint32_t n : {0u, 1u, 2u}) {
            for (uint32_t k = 1; k < 400; ++k) {
                const Candidate N{k, b, n, 1};
                Fixture f;
                bool prime = false;
                ASSERT_TRUE(PocklingtonProof(f.context(), k, b, n, 0, prime));
                ASSERT_EQ(prime, GmpPrime(N)) << k << "*" << b << "^" << n << " + 1";
            }
        }
    }
}

TEST(PocklingtonProof, PowerOfTwoBaseGoesToTheBase2Test) {
    Fixture f;
    bool prime = false;
    ASSERT_TRUE(PocklingtonProof(f.context(), 3, 4, 1, 0, prime));  // 3*4 + 1 = 13
    EXPECT_TRUE(prime);
    EXPECT_EQ(f.paneLines(), (Lines{PrimeLine({3, 2, 2, 1}, 2, 0, true, 2)}));
}

TEST(PocklingtonProof, StopPrintsNoVerdict) {
    const Candidate N = FirstPrime(10, 300);
    Fixture f;
    f.running = false;
    bool prime = true;
    EXPECT_FALSE(PocklingtonProof(f.context(), N.k, N.b, N.n, 0, prime));
    EXPECT_TRUE(f.paneLines().empty());
}

}  // namespace
}  // namespace numen
