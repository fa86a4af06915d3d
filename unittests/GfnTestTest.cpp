// The generalized Fermat and cyclotomic probable-prime tests against GMP:
// verdicts over boxes of bases and exponents, published generalized Fermat
// primes, the algebraic-factor line, the bases chosen for powers of two, the
// composite verification, and the ten bases of a cyclotomic prime.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <set>
#include <string>

#include "arith/ArithmeticFault.h"
#include "arith/CyclotomicValue.h"
#include "ref/GmpOracle.h"
#include "ref/RunFixture.h"
#include "tests/GfnTest.h"

namespace numen {
namespace {

using testing::Mpz;
using testing::RunFixture;

bool GmpPrime(const BigInt& x) {
    Mpz v = testing::ToMpz(x);
    return mpz_cmp_ui(v.v, 1) > 0 && mpz_probab_prime_p(v.v, 30) != 0;
}

BigInt Gfn(uint32_t b, uint32_t n) {
    BigInt N;
    N.setCandidate(1, b, n, 1);
    return N;
}

TEST(GfnProbableTest, VerdictsAgreeWithGmpFromTinyToTransformSizes) {
    for (uint32_t n : {1u, 2u, 4u, 8u, 16u, 32u, 64u, 128u}) {
        for (uint32_t b = 2; b <= (n >= 64 ? 60u : 200u); b += (n >= 64 ? 2 : 1)) {
            RunFixture f;
            bool may = false;
            ASSERT_TRUE(GfnProbableTest(f.context(), b, n, may));
            EXPECT_EQ(may, GmpPrime(Gfn(b, n))) << b << "^" << n << " + 1";
        }
    }
}

TEST(GfnProbableTest, PublishedPrimesMayBePrimeWithTheirLine) {
    const std::pair<uint32_t, uint32_t> primes[] = {{30, 32}, {102, 64}, {120, 128}, {278, 256}, {46, 512}, {824, 1024}};
    for (const auto& [b, n] : primes) {
        RunFixture f;
        bool may = false;
        ASSERT_TRUE(GfnProbableTest(f.context(), b, n, may));
        EXPECT_TRUE(may) << b << "^" << n;
        const auto lines = f.paneLines();
        ASSERT_EQ(lines.size(), 1u);
        const std::string head = std::to_string(b) + "^" + std::to_string(n) + " + 1 may be prime. (a = 2, err = ";
        EXPECT_EQ(lines[0].rfind(head, 0), 0u) << lines[0];
    }
}

TEST(GfnProbableTest, PerfectPowerBases) {
    // 8 = 2^3: 2^4 + 1 divides 8^4 + 1, said in the verbose line.
    RunFixture f;
    f.log.setOptions({true, false, false});
    bool may = true;
    ASSERT_TRUE(GfnProbableTest(f.context(), 8, 4, may));
    EXPECT_FALSE(may);
    ASSERT_EQ(f.paneLines().size(), 1u);
    EXPECT_EQ(f.paneLines()[0], "8^4 + 1 factor : 2^(1*4) + 1.\r\n");

    // 4 = 2^2 and 9 = 3^2: no factor line; base 3 for a power of two, else 2,
    // and the verification bases 5, 15 and 3, 6.
    for (const auto& [b, bases] : {std::pair<uint32_t, std::string>{4, "3 5 15"}, {9, "2 3 6"}}) {
        RunFixture g;
        g.log.setOptions({true, false, false});
        g.options.verifComposites = true;
        bool m = true;
        ASSERT_TRUE(GfnProbableTest(g.context(), b, 64, m));  // 4^64 + 1 = 2^128 + 1, 9^64 + 1: composite
        EXPECT_FALSE(m);
        const auto lines = g.paneLines();
        ASSERT_EQ(lines.size(), 3u);
        std::string seen;
        for (const std::string& l : lines) {
            const size_t at = l.find("(a = ");
            ASSERT_NE(at, std::string::npos) << l;
            if (!seen.empty()) seen += ' ';
            seen.append(l, at + 5, l.find(',', at) - at - 5);
            EXPECT_EQ(l.find("verification failed"), std::string::npos) << l;
        }
        EXPECT_EQ(seen, bases);
    }
}

// A verification whose residues are not multiplicative is a fault of the
// arithmetic: the line comes first, then ArithmeticFault, never a verdict.
TEST(GfnProbableTest, NonMultiplicativeResiduesAreAFault) {
    RunFixture f;
    f.log.setOptions({true, false, false});
    const Candidate N{1, 30, 64, 1};
    RadixInt W(900, 7), Z(900, 7);
    EXPECT_NO_THROW(CheckGfnMultiplicativity(f.context(), N, 15, W, Z, 0.125f));
    Z = RadixInt(900, 8);
    EXPECT_THROW(CheckGfnMultiplicativity(f.context(), N, 15, W, Z, 0.125f), ArithmeticFault);
    const auto lines = f.paneLines();
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0].find("verification failed"), std::string::npos) << lines[0];
    EXPECT_EQ(lines[1].rfind("1*30^64 + 1 : verification failed !? (a = 15", 0), 0u) << lines[1];
}

TEST(CyclotomicTest, TenBasesForAPrimeOneLineForAComposite) {
    uint32_t found = 0;
    for (uint32_t n = 3; n <= 40; ++n)
        for (uint32_t b = 2; b <= 12; ++b) {
            const BigInt N = CyclotomicValue(n, b);
            RunFixture f;
            f.log.setOptions({true, false, false});
            bool may = false;
            ASSERT_TRUE(CyclotomicTest(f.context(), n, b, may));
            const bool prime = GmpPrime(N);
            EXPECT_EQ(may, prime) << n << "." << b;
            const auto lines = f.paneLines();
            if (prime && N.compareInt(1000) > 0) {
                ++found;
                ASSERT_EQ(lines.size(), 10u) << n << "." << b;
                std::set<std::string> bases;
                char head[64];
                std::snprintf(head, sizeof head, "\"%u.%u\" may be prime. (a = ", n, b);
                const size_t headSize = std::strlen(head);
                for (const std::string& l : lines) {
                    EXPECT_EQ(l.rfind(head, 0), 0u) << l;
                    bases.insert(l.substr(headSize, l.find(')') - headSize));
                }
                EXPECT_EQ(bases.size(), 10u);
                EXPECT_EQ(bases.count("2"), 0u);
            } else if (!prime) {
                // Bases that passed before the one that failed have their lines.
                ASSERT_FALSE(lines.empty());
                EXPECT_NE(lines.back().find("\" is composite. (a = "), std::string::npos) << lines.back();
            }
        }
    EXPECT_GT(found, 5u);
}

}  // namespace
}  // namespace numen
