// The Lucas proofs of k*b^n - 1 against GMP: primes of many bases proved
// with the parameters GMP's symbols choose, composites rejected, the
// parameter retry, the order of the divisors of b, the confirmation of
// k >= b^n, the numbers outside the argument (n = 0 and 1, N <= 3, even N,
// squares) and the stop.
#include <gmp.h>
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "ref/GmpOracle.h"
#include "ref/RunFixture.h"
#include "tests/MinusOneTest.h"

namespace numen {
namespace {

using testing::Mpz;
using testing::RunFixture;

// k*b^n - 1.
Mpz CandidateValue(uint32_t k, uint32_t b, uint32_t n) { return testing::CandidateValue({k, b, n, -1}); }

int Jacobi(long a, mpz_srcptr N) {
    Mpz A(a);
    return mpz_jacobi(A, N);
}

long FirstQ(mpz_srcptr N) {
    long Q = -1;
    while (Jacobi(Q, N) != -1) --Q;
    return Q;
}

long NextP(mpz_srcptr N, long Q, long after) {
    long P = after + 1;
    while (Jacobi(P * P - 4 * Q, N) != -1) ++P;
    return P;
}

std::string Name(uint32_t k, uint32_t b, uint32_t n) {
    return std::to_string(k) + "*" + std::to_string(b) + "^" + std::to_string(n) + " - 1";
}

std::string PrimeLine(uint32_t k, uint32_t b, uint32_t n, long P, long Q, size_t digits) {
    return Name(k, b, n) + " is prime! (P = " + std::to_string(P) + ", Q = " + std::to_string(Q) + ") [" +
           std::to_string(digits) + " digits]\r\n";
}

std::string FailedLine(uint32_t k, uint32_t b, uint32_t n, long P, long Q) {
    return Name(k, b, n) + " : verification failed !? (P = " + std::to_string(P) + ", Q = " + std::to_string(Q) +
           ")\r\n";
}

std::string MayBePrimeLine(uint32_t k, uint32_t b, uint32_t n, long P, long Q) {
    return Name(k, b, n) + " may be prime. (P = " + std::to_string(P) + ", Q = " + std::to_string(Q) + ")\r\n";
}

size_t Digits(const Mpz& N) { return N.str().size(); }

// Runs the proof of k*b^n - 1 (base 2 through its own entry point) and
// returns the lines that stay.
std::vector<std::string> Prove(uint32_t k, uint32_t b, uint32_t n, bool& prime, bool general = true) {
    RunFixture f;
    const RunContext run = f.context();
    const bool completed = general && b != 2 ? LucasProofGeneral(run, k, b, n, prime) : LucasProofBase2(run, k, n, prime);
    EXPECT_TRUE(completed);
    // A prime's special-form notes (" - Mersenne ... -") follow its line;
    // the proofs' own lines are the others.
    std::vector<std::string> lines;
    for (const std::string& line : f.paneLines())
        if (line.rfind(" - ", 0) != 0) lines.push_back(line);
    return lines;
}

TEST(MinusOneTest, SevenIsProvedWithPOneAndQMinusOne) {
    bool prime = false;
    EXPECT_EQ(Prove(1, 2, 3, prime), std::vector<std::string>{PrimeLine(1, 2, 3, 1, -1, 1)});
    EXPECT_TRUE(prime);
}

TEST(MinusOneTest, PrimesOfManyBasesAreProvedWithTheChosenParameters) {
    // The first k with k*b^n - 1 prime (GMP), k < b^n, sizes up to 1500 bits.
    struct Case {
        uint32_t k, b, n;
    } cases[] = {{3, 2, 18}, {229, 2, 1499}, {1198, 3, 946}, {96, 5, 646}, {82, 6, 580}, {54, 10, 452},
                 {63, 12, 419}, {1568, 19, 353}, {113, 1000, 151}, {1022, 999999, 76}, {42, 999998, 76},
                 {2, 3, 3}, {5, 10, 3}};
    for (const Case& c : cases) {
        const Mpz N = CandidateValue(c.k, c.b, c.n);
        ASSERT_TRUE(mpz_probab_prime_p(N, 25)) << Name(c.k, c.b, c.n);
        const long Q = c.b == 2 ? -1 : FirstQ(N);
        // Q = -1 exactly when N = 3 (mod 4).
        EXPECT_EQ(Q == -1, mpz_fdiv_ui(N, 4) == 3) << Name(c.k, c.b, c.n);
        bool prime = false;
        const auto lines = Prove(c.k, c.b, c.n, prime);
        EXPECT_TRUE(prime) << Name(c.k, c.b, c.n);
        ASSERT_FALSE(lines.empty());
        // Every line before the last is a retry with the same Q and the next P.
        long P = 0;
        for (size_t i = 0; i + 1 < lines.size(); ++i) {
            P = NextP(N, Q, P);
            EXPECT_EQ(lines[i], MayBePrimeLine(c.k, c.b, c.n, P, Q));
        }
        EXPECT_EQ(lines.back(), PrimeLine(c.k, c.b, c.n, NextP(N, Q, P), Q, Digits(N)));
    }
}

TEST(MinusOneTest, BaseEightIsBaseTwoWithThreeTimesTheExponent) {
    bool prime8 = false, prime2 = false;
    EXPECT_EQ(Prove(3, 8, 6, prime8), Prove(3, 2, 18, prime2));
    EXPECT_TRUE(prime8);
    EXPECT_EQ(Prove(5, 8, 40, prime8), Prove(5, 2, 120, prime2));  // composite
    EXPECT_FALSE(prime8);
    EXPECT_EQ(Prove(2, 1024, 3, prime8), Prove(2, 2, 30, prime2));
}

TEST(MinusOneTest, AParameterThatCannotDecideIsFollowedByTheNextPWithTheSameQ) {
    // Primes whose first P gives U_{(N+1)/d} = 0 for an odd d (found with GMP).
    struct Case {
        uint32_t k, b, n;
    } cases[] = {{6, 3, 2}, {27, 10, 2}, {7, 6, 2}};
    for (const Case& c : cases) {
        const Mpz N = CandidateValue(c.k, c.b, c.n);
        const long Q = FirstQ(N);
        const long P1 = NextP(N, Q, 0), P2 = NextP(N, Q, P1);
        bool prime = false;
        EXPECT_EQ(Prove(c.k, c.b, c.n, prime),
                  (std::vector<std::string>{MayBePrimeLine(c.k, c.b, c.n, P1, Q),
                                            PrimeLine(c.k, c.b, c.n, P2, Q, Digits(N))}));
        EXPECT_TRUE(prime);
    }
}

TEST(MinusOneTest, BaseTenTriesTheDivisorFiveBeforeTwo) {
    bool prime = false;
    // 119 = 7*17 (k >= b^n): the first P fails at d = 5 (U = 0, a retry);
    // had d = 2 come first the gcd there would have ended the proof.
    auto lines = Prove(12, 10, 1, prime);
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0].find("12*10^1 - 1 may be prime. (P = "), 0u);
    EXPECT_EQ(lines[1].find("12*10^1 - 1 : verification failed !? (P = "), 0u);
    EXPECT_FALSE(prime);
    // 779 = 19*41: d = 5 passes, then d = 2 finds the factor.
    const Mpz N779 = CandidateValue(78, 10, 1);
    const long Q = FirstQ(N779);
    EXPECT_EQ(Prove(78, 10, 1, prime), std::vector<std::string>{FailedLine(78, 10, 1, NextP(N779, Q, 0), Q)});
    EXPECT_FALSE(prime);
}

TEST(MinusOneTest, CompositesAreRejected) {
    struct Case {
        uint32_t k, b, n;
    } cases[] = {
        {1, 2, 11},       // 2047 = 23*89, a strong base-2 pseudoprime
        {1, 2, 29},       // 2^29 - 1, a base-2 probable prime like every Mersenne number
        {5, 2, 120},      // composite without small factors? checked below only as composite
        {3, 2, 1500},     // odd composites of every base, checked with GMP
        {7, 3, 900},   {11, 10, 400}, {13, 6, 500}, {2, 999999, 60},
    };
    for (const Case& c : cases) {
        const Mpz N = CandidateValue(c.k, c.b, c.n);
        ASSERT_FALSE(mpz_probab_prime_p(N, 25)) << Name(c.k, c.b, c.n);
        bool prime = true;
        const auto lines = Prove(c.k, c.b, c.n, prime);
        EXPECT_FALSE(prime) << Name(c.k, c.b, c.n);
        ASSERT_FALSE(lines.empty());
        EXPECT_NE(lines.back().find(" : verification failed !? (P = "), std::string::npos) << lines.back();
    }
}

TEST(MinusOneTest, KAtLeastThePowerIsConfirmedExactly) {
    bool prime = true;
    // 119 = 7*17 = 30*2^2 - 1: the Lucas conditions hold for P = first P
    // (N + 1 = 15*2^3, 8 < sqrt 119), so only the exact test refuses it.
    const Mpz N119 = CandidateValue(30, 2, 2);
    EXPECT_EQ(Prove(30, 2, 2, prime), std::vector<std::string>{FailedLine(30, 2, 2, NextP(N119, -1, 0), -1)});
    EXPECT_FALSE(prime);
    // Other composites the unconfirmed proof would announce (found with GMP).
    for (uint32_t k : {6993u, 7908u, 8160u}) {
        EXPECT_EQ(Prove(k, 2, 2, prime).back().find(" : verification failed !? "), Name(k, 2, 2).size());
        EXPECT_FALSE(prime);
    }
    // Primes with k >= b^n keep their line.
    const uint32_t primes[][3] = {{5, 2, 2}, {4000000010u, 2, 2}, {4, 3, 1}, {20, 3, 2}, {27, 10, 1}};
    for (const auto& c : primes) {
        const Mpz N = CandidateValue(c[0], c[1], c[2]);
        ASSERT_TRUE(mpz_probab_prime_p(N, 25)) << Name(c[0], c[1], c[2]);
        const long Q = c[1] == 2 ? -1 : FirstQ(N);
        const auto lines = Prove(c[0], c[1], c[2], prime);
        EXPECT_TRUE(prime) << Name(c[0], c[1], c[2]);
        ASSERT_FALSE(lines.empty());
        EXPECT_EQ(lines.back().find(Name(c[0], c[1], c[2]) + " is prime! (P = "), 0u) << lines.back();
        EXPECT_NE(lines.back().find("Q = " + std::to_string(Q) + ")"), std::string::npos) << lines.back();
    }
}

TEST(MinusOneTest, NumbersOutsideTheArgumentAreDecidedExactly) {
    bool prime = true;
    // Base 2, n = 0 and 1 and N <= 3: primes with the P of the search.
    EXPECT_EQ(Prove(3, 2, 0, prime), std::vector<std::string>{PrimeLine(3, 2, 0, 1, -1, 1)});  // 2
    EXPECT_TRUE(prime);
    EXPECT_EQ(Prove(6, 2, 0, prime), std::vector<std::string>{PrimeLine(6, 2, 0, 2, -1, 1)});  // 5
    EXPECT_TRUE(prime);
    EXPECT_EQ(Prove(2, 2, 1, prime), std::vector<std::string>{PrimeLine(2, 2, 1, 1, -1, 1)});  // 3
    EXPECT_EQ(Prove(1, 2, 2, prime), std::vector<std::string>{PrimeLine(1, 2, 2, 1, -1, 1)});  // 3
    EXPECT_EQ(Prove(7, 2, 1, prime), std::vector<std::string>{PrimeLine(7, 2, 1, 1, -1, 2)});  // 13
    EXPECT_TRUE(prime);
    // ... and everything else fails with the first parameters.
    for (const auto& c : std::vector<std::vector<uint32_t>>{{1, 0}, {2, 0}, {1, 1}, {5, 1}, {0, 5}, {2017, 1},
                                                             {4294967295u, 0}, {4294967295u, 1}}) {
        EXPECT_EQ(Prove(c[0], 2, c[1], prime), std::vector<std::string>{FailedLine(c[0], 2, c[1], 1, -1)});
        EXPECT_FALSE(prime);
    }
    // A general base: N = 2 (Kronecker's symbol picks Q = -3), n = 0, even N,
    // a square that passes the base-2 Fermat test (1093^2), a large even N.
    EXPECT_EQ(Prove(1, 3, 1, prime), std::vector<std::string>{PrimeLine(1, 3, 1, 1, -3, 1)});
    EXPECT_TRUE(prime);
    EXPECT_EQ(Prove(12, 5, 0, prime), std::vector<std::string>{PrimeLine(12, 5, 0, 2, -1, 2)});  // 11
    EXPECT_TRUE(prime);
    for (const auto& c : std::vector<std::vector<uint32_t>>{
             {2, 3, 0}, {10, 7, 0}, {1, 3, 2}, {47786, 5, 2}, {1, 3, 5000}, {1, 10, 1}, {2, 5, 2}}) {
        EXPECT_EQ(Prove(c[0], c[1], c[2], prime), std::vector<std::string>{FailedLine(c[0], c[1], c[2], 1, -1)})
            << Name(c[0], c[1], c[2]);
        EXPECT_FALSE(prime);
    }
}

TEST(MinusOneTest, AStopEndsTheProofWithoutAVerdict) {
    for (uint32_t b : {2u, 10u}) {
        RunFixture f;
        f.running = false;
        const RunContext run = f.context();
        bool prime = true;
        EXPECT_FALSE(LucasProofGeneral(run, 54, b, 452, prime));
        EXPECT_FALSE(prime);
        EXPECT_TRUE(f.paneLines().empty());
        EXPECT_TRUE(f.logFile().empty());
    }
}

}  // namespace
}  // namespace numen
