// The shared bookkeeping of the long runs: ticks at the live interval, the
// progress texts, the time-remaining estimate; and the exact 64-bit
// primality decision the proofs fall back on (against GMP).
#include <gmp.h>
#include <gtest/gtest.h>

#include <random>

#include "ref/GmpOracle.h"
#include "ref/RunFixture.h"
#include "report/ProgressLines.h"
#include "report/ResultLines.h"
#include "tests/ExactPrime64.h"
#include "tests/RunProgress.h"

namespace numen {
namespace {

using testing::RunFixture;

TEST(RunProgress, IntervalFollowsLiveSettingsAndRejectsTinyValues) {
    LiveSettings live;
    EXPECT_EQ(StepInterval(live, 1, 1), 65536u);
    EXPECT_EQ(StepInterval(live, 1, 4), 16384u);
    EXPECT_EQ(StepInterval(live, 2, 1), 131072u);
    live.nbIter = 10;  // below 16 reads as the default
    EXPECT_EQ(StepInterval(live, 1, 1), 65536u);
    live.nbIter = 16;
    EXPECT_EQ(StepInterval(live, 1, 4), 4u);
    EXPECT_EQ(StepInterval(live, 1, 32), 1u);  // never 0
    live.nbIter = 0xFFFFFFFFu;
    EXPECT_EQ(StepInterval(live, 2, 1), 0xFFFFFFFFu);
}

TEST(RunProgress, TicksCountAndTextsOfAHundredThousandSteps) {
    RunFixture f;
    const RunContext run = f.context();
    RunProgress base2(run, PowerProgressStem({3, 2, 100000, 1}), 100000, 1, 1);
    base2.start(0, 100000);
    int ticks = 0;
    for (int i = 0; i < 100000; ++i) ticks += base2.beginStep();
    EXPECT_EQ(ticks, 1);
    RunProgress general(run, PowerProgressStem({3, 10, 30000, -1}), 100000, 1, 4);
    general.start(0, 100000);
    ticks = 0;
    for (int i = 0; i < 100000; ++i) ticks += general.beginStep();
    EXPECT_EQ(ticks, 6);
    const auto texts = f.paneTexts();
    ASSERT_EQ(texts.size(), 1u + 1u + 1u + 6u);
    EXPECT_EQ(texts[0], "3*2^100000 + 1 ? Computing power [0.00%]");
    EXPECT_EQ(texts[1].rfind("3*2^100000 + 1 ? Computing power [65.54%, ", 0), 0u) << texts[1];
    EXPECT_EQ(texts[2], "3*10^30000 - 1 ? Computing power [0.00%]");
    EXPECT_EQ(texts[3].rfind("3*10^30000 - 1 ? Computing power [16.38%, ", 0), 0u) << texts[3];
}

TEST(RunProgress, RemainingTimeUsesTheRateOfThisCall) {
    RunFixture f;
    f.live.nbIter = 1000;
    const RunContext run = f.context();
    // Resumed at step 4000 of 10000 with 6000 left; 1000 steps take 2.5 s.
    RunProgress p(run, LucasProgressStem(5, 2, 10002), 10000, 1, 1, false);
    f.clockMs = 1'000'000;
    p.start(4000, 6000);
    for (int i = 0; i < 999; ++i) EXPECT_FALSE(p.beginStep());
    f.clockMs += 2500;
    EXPECT_TRUE(p.beginStep());
    const auto texts = f.paneTexts();
    ASSERT_EQ(texts.size(), 2u);
    EXPECT_EQ(texts[0], "5*2^10002 - 1 ? Computing Lucas seq.");
    // 2.5 s * (6000/1000 - 1) = 12.5 s.
    EXPECT_EQ(texts[1], "5*2^10002 - 1 ? Computing Lucas seq. [50.00%, 0 mn 12 s remaining]");
}

TEST(RunProgress, NbIterChangedDuringARunTakesEffectAtOnce) {
    RunFixture f;
    f.live.nbIter = 100;
    const RunContext run = f.context();
    RunProgress p(run, GfnProgressStem(1000, 1024), 1000, 1, 1);
    p.start(0, 1000);
    int ticks = 0;
    for (int i = 0; i < 300; ++i) ticks += p.beginStep();
    f.live.nbIter = 50;
    for (int i = 0; i < 100; ++i) ticks += p.beginStep();
    EXPECT_EQ(ticks, 3 + 2);
}

TEST(ProgressLines, StemsOfEveryRun) {
    EXPECT_EQ(PowerProgressStem({7, 12, 500, -1}), "7*12^500 - 1 ? Computing power");
    EXPECT_EQ(PowerProgressStem({7, 2, 500, 3}), "7*2^500 + 3 ? Computing power");
    EXPECT_EQ(GfnProgressStem(30, 4096), "30^4096 + 1 ? Computing power");
    EXPECT_EQ(CyclotomicProgressStem(15, 7), "\"15.7\" ? Computing power");
    EXPECT_EQ(LucasProgressStem(3, 10, 99), "3*10^99 - 1 ? Computing Lucas seq.");
    EXPECT_EQ(TimedProgressText("x", 12.345, 3725), "x [12.35%, 62 mn 05 s remaining]");
}

TEST(ExactPrime64, AgreesWithGmpOnHardCases) {
    // Strong pseudoprimes to many bases, Carmichael numbers, squares of
    // primes, primes next to 2^64 and random values.
    const uint64_t known[] = {0, 1, 2, 3, 4, 37, 41, 561, 1373653, 25326001, 3215031751ull,
                              2152302898747ull, 3474749660383ull, 341550071728321ull,
                              3825123056546413051ull, 18446744073709551557ull,
                              18446744073709551615ull, 4294967291ull * 4294967291ull,
                              1000000007ull * 998244353ull};
    testing::Mpz m;
    auto gmpPrime = [&](uint64_t n) {
        mpz_set_ui(m, 0);
        mpz_import(m, 1, 1, sizeof n, 0, 0, &n);
        return mpz_probab_prime_p(m, 40) != 0;
    };
    for (uint64_t n : known) EXPECT_EQ(IsPrime64(n), gmpPrime(n)) << n;
    std::mt19937_64 rng(testing::TestSeed());
    for (int i = 0; i < testing::Repeats(20000); ++i) {
        const uint64_t n = rng() >> (rng() % 60) | 1;
        ASSERT_EQ(IsPrime64(n), gmpPrime(n)) << n;
    }
}

}  // namespace
}  // namespace numen

namespace numen {
namespace {

TEST(TestLines, MayBePrimeAndSizeRefusal) {
    EXPECT_EQ(MayBePrimeLine({3, 2, 1000, 1}, 3), "3*2^1000 + 1 may be prime. (a = 3)\r\n");
    EXPECT_EQ(MayBePrimeLine({3, 2, 1000, -1}, 5), "3*2^1000 - 1 may be prime. (a = 5)\r\n");
    EXPECT_EQ(MayBePrimeLine({7, 10, 99, 1}, 2), "7*10^99 + 1 may be prime. (a = 2)\r\n");
    EXPECT_EQ(LucasMayBePrimeLine(7, 10, 99, 3, -2), "7*10^99 - 1 may be prime. (P = 3, Q = -2)\r\n");
    EXPECT_EQ(SizeRefusalText(5, 2, 2), "5 >= 2^2\r\n");
    EXPECT_EQ(SizeRefusalText(500, 10, 2), "500 >= 10^2\r\n");
}

}  // namespace
}  // namespace numen
