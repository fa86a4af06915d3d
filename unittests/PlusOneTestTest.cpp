// PlusOneTestBase2 and the two probable-prime stages (Euler base 2, Fermat
// any base): verdicts against GMP, the base chosen by Jacobi symbols
// against GMP's, every line in order (first and "verification : " lines,
// verifier mode, size refusal, square), composite verification, the stop,
// and the resume at the verification run.
#include <gmp.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ref/GmpOracle.h"
#include "ref/RunFixture.h"
#include "report/ResultLines.h"
#include "report/TextFormat.h"
#include "search/CheckpointFile.h"
#include "search/FolderCheckpoint.h"
#include "tests/PlusOneTest.h"

namespace numen {
namespace {

using testing::GmpDigits;
using testing::GmpPrime;

using testing::Mpz;
using testing::RunFixture;
using Lines = std::vector<std::string>;

Mpz ValueOf(const Candidate& N) { return testing::CandidateValue(N); }


uint32_t NextPrimeAfter(uint32_t p) {
    if (p < 2) return 2;
    Mpz x{long(p)};
    mpz_nextprime(x, x);
    return uint32_t(mpz_get_ui(x));
}

// The bases GMP's Jacobi symbol picks: the first prime after `after` with
// (a/N) = -1.
uint32_t GmpNonResidue(const Candidate& N, uint32_t after) {
    const Mpz v = ValueOf(N);
    for (uint32_t a = NextPrimeAfter(after);; a = NextPrimeAfter(a))
        if (mpz_ui_kronecker(a, v) == -1) return a;
}

struct Fixture : RunFixture {
    Fixture() { log.setOptions({true, false, false}); }  // composite lines reach the pane
};

// --- PlusOneTestBase2 ------------------------------------------------------------

TEST(PlusOneTestBase2, ProvesPrimesInASearchWithTwoLines) {
    // 3*2^n + 1 for listed exponents, and primes of 1000 and 2000 bits found
    // by GMP (13*2^1000 + 1, 1047*2^2000 + 1).
    const Candidate primes[] = {{3, 2, 2, 1},   {3, 2, 5, 1},   {3, 2, 189, 1}, {3, 2, 2208, 1},
                                {13, 2, 1000, 1}, {306, 2, 1000, 1}, {1047, 2, 2000, 1}};
    for (const Candidate& N : primes) {
        ASSERT_TRUE(GmpPrime(N)) << N.k << " " << N.n;
        Fixture f;
        bool prime = false;
        ASSERT_TRUE(PlusOneTestBase2(f.context(), N.k, N.n, 0, true, prime));
        EXPECT_TRUE(prime) << N.k << "*2^" << N.n;
        const uint32_t a = GmpNonResidue(N, 0), b = GmpNonResidue(N, a);
        EXPECT_EQ(f.paneLines(), (Lines{PrimeLine(N, int32_t(a), 0, false, GmpDigits(N)),
                                        PrimeLine(N, int32_t(b), 0, true, GmpDigits(N))}))
            << N.k << "*2^" << N.n;
        // Only the verified line leaves a record.
        EXPECT_EQ(f.folder.read("Numen.txt"), Format("%u*2^%u+1\n", N.k, N.n));
    }
}

TEST(PlusOneTestBase2, NamesBasesThreeAndFiveWhenBothAreNonResidues) {
    const Candidate N{2401, 2, 500, 1};  // (3/N) = (5/N) = -1, found with GMP
    ASSERT_TRUE(GmpPrime(N));
    ASSERT_EQ(GmpNonResidue(N, 0), 3u);
    ASSERT_EQ(GmpNonResidue(N, 3), 5u);
    Fixture f;
    bool prime = false;
    ASSERT_TRUE(PlusOneTestBase2(f.context(), N.k, N.n, 0, true, prime));
    EXPECT_TRUE(prime);
    EXPECT_EQ(f.paneLines(), (Lines{PrimeLine(N, 3, 0, false, GmpDigits(N)), PrimeLine(N, 5, 0, true, GmpDigits(N))}));
}

TEST(PlusOneTestBase2, ThirteenTakesBaseTwo) {
    Fixture f;
    bool prime = false;
    ASSERT_TRUE(PlusOneTestBase2(f.context(), 3, 2, 0, true, prime));
    EXPECT_TRUE(prime);
    ASSERT_EQ(f.paneLines().size(), 2u);
    EXPECT_EQ(f.paneLines()[0], "3*2^2 + 1 is prime! (a = 2) [2 digits]\r\n");
    EXPECT_EQ(f.paneLines()[1], "3*2^2 + 1 is prime! (verification : a = 5) [2 digits]\r\n");
}

TEST(PlusOneTestBase2, VerifierModeGivesOneFinalLine) {
    const Candidate prime{13, 2, 1000, 1}, composite{6, 2, 1000, 1};  // 6*2^1000 + 1: no factor below 10^4
    ASSERT_FALSE(GmpPrime(composite));
    {
        Fixture f;
        bool isPrime = false;
        ASSERT_TRUE(PlusOneTestBase2(f.context(), prime.k, prime.n, 0, false, isPrime));
        EXPECT_TRUE(isPrime);
        const uint32_t a = GmpNonResidue(prime, 0);
        EXPECT_EQ(f.paneLines(), Lines{PrimeLine(prime, int32_t(a), 0, true, GmpDigits(prime))});
        EXPECT_EQ(f.folder.read("Numen.txt"), "13*2^1000+1\n");
    }
    {
        Fixture f;
        bool isPrime = true;
        ASSERT_TRUE(PlusOneTestBase2(f.context(), composite.k, composite.n, 0, false, isPrime));
        EXPECT_FALSE(isPrime);
        const uint32_t a = GmpNonResidue(composite, 0);
        EXPECT_EQ(f.paneLines(), Lines{CompositeLine(composite, int32_t(a), 0, true)});
    }
    {
        // At depth > 0 without verification the first line is an ordinary one.
        Fixture f;
        bool isPrime = false;
        ASSERT_TRUE(PlusOneTestBase2(f.context(), prime.k, prime.n, 1, false, isPrime));
        EXPECT_TRUE(isPrime);
        EXPECT_EQ(f.paneLines(), Lines{PrimeLine(prime, int32_t(GmpNonResidue(prime, 0)), 0, false, GmpDigits(prime))});
    }
}

TEST(PlusOneTestBase2, RejectsCompositesWithoutSmallFactors) {
    // No factor below 10^4 (chosen with GMP).
    const Candidate composites[] = {{6, 2, 1000, 1}, {15, 2, 1000, 1}, {1, 2, 2000, 1}};
    for (const Candidate& N : composites) {
        ASSERT_FALSE(GmpPrime(N));
        Fixture f;
        bool prime = true;
        ASSERT_TRUE(PlusOneTestBase2(f.context(), N.k, N.n, 0, true, prime));
        EXPECT_FALSE(prime);
        EXPECT_EQ(f.paneLines(), Lines{CompositeLine(N, int32_t(GmpNonResidue(N, 0)), 0, false)});
    }
}

TEST(PlusOneTestBase2, AgreesWithGmpOnEverySmallCandidate) {
    for (uint32_t n = 1; n <= 40; n += 3)
        for (uint32_t k = 1; k < 200; k += 2) {
            if (n < 32 && (k >> n) != 0) continue;
            const Candidate N{k, 2, n, 1};
            Fixture f;
            bool prime = false;
            ASSERT_TRUE(PlusOneTestBase2(f.context(), k, n, 0, true, prime));
            EXPECT_EQ(prime, GmpPrime(N)) << k << "*2^" << n;
        }
}

TEST(PlusOneTestBase2, RefusesKAtLeastTwoToTheN) {
    Fixture f;
    bool prime = true;
    ASSERT_TRUE(PlusOneTestBase2(f.context(), 5, 2, 0, true, prime));
    EXPECT_FALSE(prime);
    EXPECT_EQ(f.paneTexts(), Lines{"5 >= 2^2\r\n"});
    EXPECT_EQ(f.logFile(), "");  // transient: no composite line, nothing logged
}

TEST(PlusOneTestBase2, CatchesSquares) {
    // 9 = 1*2^3 + 1 called as the verifier does; 3*2^4 + 1 = 49; 15*2^4 + 1 = 241
    // is not a square.
    for (uint32_t k : {1u, 3u}) {
        const uint32_t n = k == 1 ? 3 : 4;
        Fixture f;
        bool prime = true;
        ASSERT_TRUE(PlusOneTestBase2(f.context(), k, n, 0, false, prime));
        EXPECT_FALSE(prime);
        EXPECT_EQ(f.paneLines(), Lines{Format("%u*2^%u + 1 is composite (square)\r\n", k, n)});
    }
}

TEST(PlusOneTestBase2, EndsOnDegenerateInputs) {
    // k = 0 leaves N = 1 at any n; beyond n = 1024 no square check is made
    // before the base search, which must still end.
    for (uint32_t n : {5u, 2000u}) {
        Fixture f;
        bool prime = true;
        ASSERT_TRUE(PlusOneTestBase2(f.context(), 0, n, 0, true, prime));
        EXPECT_FALSE(prime);
        EXPECT_EQ(f.paneLines(), Lines{Format("0*2^%u + 1 is composite (square)\r\n", n)});
    }
    // 1*2^1 + 1 = 3 has no second base below it: the verdict stays exact.
    Fixture f;
    bool prime = false;
    ASSERT_TRUE(PlusOneTestBase2(f.context(), 1, 1, 0, true, prime));
    EXPECT_TRUE(prime);
    EXPECT_EQ(f.paneLines(), (Lines{"1*2^1 + 1 is prime! (a = 2) [1 digits]\r\n", "1*2^1 + 1 is prime! [1 digits]\r\n",
                                    " - Fermat (2^1 + 1) -\r\n"}));
}

TEST(PlusOneTestBase2, CompositeVerificationAddsTwoLines) {
    const Candidate N{6, 2, 1000, 1};
    Fixture f;
    f.options.verifComposites = true;
    bool prime = true;
    ASSERT_TRUE(PlusOneTestBase2(f.context(), N.k, N.n, 0, true, prime));
    EXPECT_FALSE(prime);
    const uint32_t a = GmpNonResidue(N, 0), b = GmpNonResidue(N, a);
    EXPECT_EQ(f.paneLines(), (Lines{CompositeLine(N, int32_t(a), 0, false), CompositeLine(N, int32_t(b), 0, false),
                                    CompositeLine(N, int32_t(a * b), 0, false)}));
}

TEST(PlusOneTestBase2, StopPrintsNoVerdict) {
    {
        Fixture f;
        f.running = false;
        bool prime = false;
        EXPECT_FALSE(PlusOneTestBase2(f.context(), 13, 1000, 0, true, prime));
        EXPECT_TRUE(f.paneLines().empty());
    }
    {
        // Stopped during the verification run: the first line only.
        Fixture f;
        f.live.nbIter = 16;
        int ticks = 0;
        const RunContext run{f.log, f.running, f.live, nullptr, {}, [&] {
                                 // the first run reads the clock 63 times (start, 62 ticks)
                                 if (++ticks == 70) f.running = false;
                                 return uint64_t(0);
                             }};
        bool prime = false;
        EXPECT_FALSE(PlusOneTestBase2(run, 13, 1000, 0, true, prime));
        const Candidate N{13, 2, 1000, 1};
        EXPECT_EQ(f.paneLines(), Lines{PrimeLine(N, int32_t(GmpNonResidue(N, 0)), 0, false, GmpDigits(N))});
    }
}

// A resumed search whose record holds stage 2 goes straight to the
// verification run. Stopped at its first step, the run leaves its own
// record behind: stage 2 with the second base shows which run it was.
TEST(PlusOneTestBase2, ResumesAtTheVerificationRun) {
    const uint32_t k = 3, n = 100001;  // n ln 2 > 69315
    const Candidate N{k, 2, n, 1};
    const uint32_t a = GmpNonResidue(N, 0), b = GmpNonResidue(N, a);
    for (bool stageTwo : {true, false}) {
        Fixture f;
        FolderCheckpoint store(f.folder.path());
        f.checkpoint = &store;
        if (stageTwo) store.writePower(2, {b, k, 2, n, 1}, 5, 7, BigInt(12345));
        SetResumeRequested(true);
        f.running = false;
        bool prime = false;
        EXPECT_FALSE(PlusOneTestBase2(f.context(), k, n, 0, true, prime));
        SetResumeRequested(false);
        EXPECT_TRUE(f.paneLines().empty());
        uint32_t steps = 0, bit = 0;
        BigInt residue;
        const uint32_t stage = stageTwo ? 2 : 1;
        EXPECT_TRUE(store.readPower(stage, {stageTwo ? b : a, k, 2, n, 1}, steps, bit, residue)) << stageTwo;
    }
}

// --- EulerProbableTestBase2 ----------------------------------------------------------

TEST(EulerProbableTestBase2, AgreesWithGmpForBothSigns) {
    for (int32_t c : {1, -1})
        for (uint32_t k = 1; k < 60; k += 2) {
            const Candidate N{k, 2, 300, c};
            Fixture f;
            bool mayBePrime = false;
            ASSERT_TRUE(EulerProbableTestBase2(f.context(), k, 300, c, 0, mayBePrime));
            const bool expected = GmpPrime(N);
            EXPECT_EQ(mayBePrime, expected) << k << " " << c;
            const uint32_t a = GmpNonResidue(N, 0);
            const std::string line = expected ? MayBePrimeLine(N, a) : CompositeLine(N, int32_t(a), 0, false);
            EXPECT_EQ(f.paneLines(), Lines{line}) << k << " " << c;
        }
}

TEST(EulerProbableTestBase2, RefusalAndSquare) {
    Fixture f;
    bool mayBePrime = true;
    ASSERT_TRUE(EulerProbableTestBase2(f.context(), 9, 3, -1, 0, mayBePrime));
    EXPECT_FALSE(mayBePrime);
    EXPECT_EQ(f.paneTexts(), Lines{"9 >= 2^3\r\n"});
    f.sink.clear();
    ASSERT_TRUE(EulerProbableTestBase2(f.context(), 3, 4, 1, 0, mayBePrime));  // 49
    EXPECT_FALSE(mayBePrime);
    EXPECT_EQ(f.paneLines(), Lines{"3*2^4 + 1 is composite (square)\r\n"});
}

TEST(EulerProbableTestBase2, CompositeVerification) {
    const Candidate N{15, 2, 1000, 1};
    Fixture f;
    f.options.verifComposites = true;
    bool mayBePrime = true;
    ASSERT_TRUE(EulerProbableTestBase2(f.context(), N.k, N.n, N.c, 0, mayBePrime));
    EXPECT_FALSE(mayBePrime);
    const uint32_t a = GmpNonResidue(N, 0), b = GmpNonResidue(N, a);
    EXPECT_EQ(f.paneLines(), (Lines{CompositeLine(N, int32_t(a), 0, false), CompositeLine(N, int32_t(b), 0, false),
                                    CompositeLine(N, int32_t(a * b), 0, false)}));
}

// --- FermatProbableTest ------------------------------------------------------------------

TEST(FermatProbableTest, AgreesWithGmpOverBases) {
    for (uint32_t b : {3u, 5u, 6u, 10u, 12u, 19u, 1000u, 999999u})
        for (int32_t c : {1, -1})
            for (uint32_t k = 2; k < 40; ++k) {
                const uint32_t n = b > 100 ? 20 : 100;
                const Candidate N{k, b, n, c};
                Fixture f;
                bool mayBePrime = false;
                ASSERT_TRUE(FermatProbableTest(f.context(), k, b, n, c, 0, mayBePrime));
                const bool expected = GmpPrime(N);
                EXPECT_EQ(mayBePrime, expected) << k << "*" << b << "^" << n << " " << c;
                const std::string line = expected ? MayBePrimeLine(N, 2) : CompositeLine(N, 2, 0, false);
                EXPECT_EQ(f.paneLines(), Lines{line});
            }
}

TEST(FermatProbableTest, BaseFourIsEulerWithTwiceTheExponent) {
    for (int32_t c : {1, -1})
        for (uint32_t k = 1; k < 40; k += 2) {
            Fixture fermat, euler;
            bool a = false, b = false;
            ASSERT_TRUE(FermatProbableTest(fermat.context(), k, 4, 150, c, 0, a));
            ASSERT_TRUE(EulerProbableTestBase2(euler.context(), k, 300, c, 0, b));
            EXPECT_EQ(a, b);
            EXPECT_EQ(fermat.paneTexts(), euler.paneTexts());
        }
}

TEST(FermatProbableTest, RefusalSquareAndTinyNumbers) {
    Fixture f;
    bool mayBePrime = true;
    ASSERT_TRUE(FermatProbableTest(f.context(), 10, 3, 2, 1, 0, mayBePrime));
    EXPECT_FALSE(mayBePrime);
    EXPECT_EQ(f.paneTexts(), Lines{"10 >= 3^2\r\n"});
    f.sink.clear();
    ASSERT_TRUE(FermatProbableTest(f.context(), 8, 3, 2, 9, 0, mayBePrime));  // 81
    EXPECT_FALSE(mayBePrime);
    EXPECT_EQ(f.paneLines(), Lines{"8*3^2 + 9 is composite (square)\r\n"});
    // 1*3^1 - 1 = 2 lies below the bases 2, 3 and 6 and is decided exactly.
    f.sink.clear();
    ASSERT_TRUE(FermatProbableTest(f.context(), 1, 3, 1, -1, 0, mayBePrime));
    EXPECT_TRUE(mayBePrime);
    EXPECT_EQ(f.paneLines(), Lines{"1*3^1 - 1 may be prime. (a = 2)\r\n"});
}

TEST(FermatProbableTest, CompositeVerificationUsesThreeAndSix) {
    Candidate N{2, 10, 100, 1};
    while (GmpPrime(N)) ++N.k;
    Fixture f;
    f.options.verifComposites = true;
    bool mayBePrime = true;
    ASSERT_TRUE(FermatProbableTest(f.context(), N.k, N.b, N.n, N.c, 0, mayBePrime));
    EXPECT_FALSE(mayBePrime);
    EXPECT_EQ(f.paneLines(),
              (Lines{CompositeLine(N, 2, 0, false), CompositeLine(N, 3, 0, false), CompositeLine(N, 6, 0, false)}));
}

TEST(FermatProbableTest, StopPrintsNoVerdict) {
    Fixture f;
    f.running = false;
    bool mayBePrime = false;
    EXPECT_FALSE(FermatProbableTest(f.context(), 231, 10, 300, 1, 0, mayBePrime));
    EXPECT_TRUE(f.paneLines().empty());
}

}  // namespace
}  // namespace numen
