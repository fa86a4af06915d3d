// The base-2 power run in the weighted transform with the error check:
// PowerRunBase2 against mpz_powm over multipliers, offsets and lengths at
// the plan's boundaries with NoWeighted off and on; the same texts and ticks
// as the exact path; a fault planted in one step of a real run rolled back,
// a persistent one raised, a fault of the transform itself continued on the
// exact steps; stop and resume across check periods, and each path resuming
// the other's record.
#include <gmp.h>
#include <gtest/gtest.h>

#include <atomic>
#include <cstdint>
#include <filesystem>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "arith/ArithmeticFault.h"
#include "arith/WeightedState.h"
#include "arith/WeightedTransform.h"
#include "ref/GmpOracle.h"
#include "ref/RunFixture.h"
#include "report/ProgressLines.h"
#include "search/CheckpointFile.h"
#include "search/FolderCheckpoint.h"
#include "tests/ChainMemberTest.h"
#include "tests/PlusOneTest.h"
#include "tests/PowerRunWeighted.h"
#include "tests/PowerRuns.h"

namespace numen {
namespace {

namespace fs = std::filesystem;
using testing::FromMpz;
using testing::Mpz;
using testing::RunFixture;
using testing::SameValue;
using testing::ToMpz;

std::string Name(const Candidate& N) {
    return std::to_string(N.k) + "*2^" + std::to_string(N.n) + (N.c < 0 ? "" : "+") + std::to_string(N.c);
}

Mpz Powm(uint32_t a, const BigInt& e, mpz_srcptr modulus) {
    Mpz base{long(a)}, r;
    mpz_powm(r, base, ToMpz(e), modulus);
    return r;
}

BigInt RandomExponent(std::mt19937_64& rng, uint32_t bits) {
    Mpz e;
    for (uint32_t i = 0; i < bits; ++i)
        if (i + 1 == bits || (rng() & 1)) mpz_setbit(e, i);
    return FromMpz(e);
}

// The timed text up to its estimate: "stem [p%, ".
std::string TimedPrefixOf(const std::string& stem, double percent) {
    std::string t = UntimedProgressText(stem, percent);
    t.pop_back();
    return t + ", ";
}

// Sets NoWeighted for one test and restores it and the seam afterwards.
class PowerRunWeightedTest : public ::testing::Test {
protected:
    ~PowerRunWeightedTest() override {
        SetWeightedRuns(before, 0);
        SetWeightedStepSeam({});
    }
    const bool before = WeightedRunsEnabled();
};

// PowerRunBase2 with the setting as given; checks the value against GMP
// and which path was taken.
void CheckRun(const RunContext& run, const Candidate& N, uint32_t a, const BigInt& e, bool weighted) {
    SetWeightedRuns(weighted, 0);
    LastWeightedRunStats() = {};
    BigInt x;
    ASSERT_TRUE(PowerRunBase2(run, N, a, e, 1, x));
    const Mpz modulus = testing::CandidateValue(N);
    EXPECT_TRUE(SameValue(x, Powm(a, e, modulus))) << Name(N) << (weighted ? " weighted" : " exact");
    EXPECT_EQ(LastWeightedRunStats().weighted, weighted && e.topBitIndex() >= 2 && PlanWeighted(N.k, N.n, N.c).served)
        << Name(N);
    EXPECT_FALSE(LastWeightedRunStats().fellBack);
    EXPECT_EQ(LastWeightedRunStats().counts.rollbacks, 0u);
}

// The first n from `from` at which the plan for (k, c) takes more digits.
uint32_t NextPlanBoundary(uint32_t k, int32_t c, uint32_t from) {
    const uint32_t digits = PlanWeighted(k, from, c).digits;
    uint32_t n = from;
    while (PlanWeighted(k, n, c).digits == digits) ++n;
    return n;
}

TEST_F(PowerRunWeightedTest, AgreesWithGmpOverFormsWithTheSettingOnAndOff) {
    RunFixture f;
    const RunContext run = f.context();
    std::mt19937_64 rng(testing::TestSeed());
    // k = 1 and larger k, both signs of c, chain offsets, the smallest
    // served n and the n on both sides of the plan's digit-count steps.
    std::vector<Candidate> forms = {
        {1, 2, 127, -1},  {1, 2, 521, -1},  {3, 2, 64, 1},    {3, 2, 1000, -1}, {5, 2, 1200, 3},
        {15, 2, 2000, -3}, {9, 2, 1030, 7},  {1023, 2, 900, 1}, {4095, 2, 3000, -1}, {3, 2, 700, 65536},
        {7, 2, 800, -65536}, {1, 2, 4500, 1}, {27, 2, 5000, -5},
    };
    for (const auto& [k, c] : std::vector<std::pair<uint32_t, int32_t>>{{1, 1}, {3, -1}, {63, 3}, {1023, -1}}) {
        const uint32_t b = NextPlanBoundary(k, c, 200);
        forms.push_back({k, 2, b - 1, c});
        forms.push_back({k, 2, b, c});
        const uint32_t b2 = NextPlanBoundary(k, c, 20000);
        forms.push_back({k, 2, b2 - 1, c});
        forms.push_back({k, 2, b2, c});
    }
    for (const Candidate& N : forms) {
        SCOPED_TRACE(Name(N));
        const Mpz modulus = testing::CandidateValue(N);
        Mpz half;
        mpz_sub_ui(half, modulus, 1);
        mpz_fdiv_q_2exp(half, half, 1);
        // The whole Euler exponent on the short numbers; a few hundred
        // steps on the long ones (the rounding does not depend on e).
        const BigInt e = N.n <= 3000 ? FromMpz(half) : RandomExponent(rng, 300);
        for (uint32_t a : {3u, 5u}) {
            if (a == 5 && N.n > 1200) continue;
            CheckRun(run, N, a, e, true);
            CheckRun(run, N, a, e, false);
        }
    }
    // Not served (n below 64 digits, |c| beyond 2^16): the exact path,
    // with the setting on.
    for (const Candidate& N : {Candidate{3, 2, 40, 1}, Candidate{5, 2, 3000, 65537}}) {
        ASSERT_FALSE(PlanWeighted(N.k, N.n, N.c).served);
        CheckRun(run, N, 3, RandomExponent(rng, 100), true);
    }
    // Exponents of one, two and three bits.
    for (uint32_t bits : {1u, 2u, 3u}) {
        CheckRun(run, {3, 2, 1000, 1}, 7, RandomExponent(rng, bits), true);
    }
}

TEST_F(PowerRunWeightedTest, TextsAndTicksAreThoseOfTheExactPath) {
    std::mt19937_64 rng(testing::TestSeed());
    const BigInt e = RandomExponent(rng, 1001);
    std::vector<std::string> texts[2];
    for (int weighted = 0; weighted < 2; ++weighted) {
        SetWeightedRuns(weighted != 0, 0);
        RunFixture f;
        f.live.nbIter = 100;
        f.clockStep = 10;
        BigInt x;
        ASSERT_TRUE(PowerRunBase2(f.context(), {3, 2, 3000, -1}, 3, e, 0, x));
        texts[weighted] = f.paneTexts();
    }
    EXPECT_EQ(texts[0].size(), 11u);
    EXPECT_EQ(texts[0], texts[1]);
}

// The handlers' verdicts over primes and composites of k*2^n + 1 (N - 1
// proof), k*2^n - 1 (Euler test) and chain members 2^n + c (Fermat test),
// with the power runs in the weighted transform and on the exact path.
TEST_F(PowerRunWeightedTest, HandlersDecidePrimesAndCompositesAsGmpDoesOnBothPaths) {
    struct Form {
        uint32_t k;
        int32_t c;
    } forms[] = {{9, 1}, {27, 1}, {3, -1}, {15, -1}, {1, 3}, {5, 3}};
    for (const Form& form : forms) {
        int primes = 0, composites = 0;
        // From 600 bits: the plan's 64 digits need 8 bits each.
        for (uint32_t n = 600; n < 2000 && (primes < 2 || composites < 2); ++n) {
            const Candidate N{form.k, 2, n, form.c};
            const bool gmpPrime = testing::GmpPrime(N);
            if (!gmpPrime && composites >= 2) continue;
            if (gmpPrime && primes >= 2) continue;
            // A composite without a small factor, so that the power decides.
            if (!gmpPrime && mpz_fdiv_ui(testing::CandidateValue(N), 3 * 5 * 7 * 11 * 13) == 0) continue;
            (gmpPrime ? primes : composites) += 1;
            for (bool weighted : {true, false}) {
                SCOPED_TRACE(Name(N) + (weighted ? " weighted" : " exact"));
                SetWeightedRuns(weighted, 0);
                RunFixture f;
                bool verdict = false;
                if (form.c == 1) ASSERT_TRUE(PlusOneTestBase2(f.context(), N.k, n, 0, true, verdict));
                else if (form.c == -1) ASSERT_TRUE(EulerProbableTestBase2(f.context(), N.k, n, -1, 0, verdict));
                else ASSERT_TRUE(ChainMemberTest(f.context(), N.k, n, form.c, true, verdict));
                EXPECT_EQ(verdict, gmpPrime);
                EXPECT_EQ(LastWeightedRunStats().weighted, weighted);
                ASSERT_TRUE(PlanWeighted(N.k, n, N.c).served);
            }
        }
        EXPECT_GE(primes, 1) << form.k << " " << form.c;
        EXPECT_EQ(composites, 2);
    }
}

// --- faults -------------------------------------------------------------------

// A weighted step's result plus one: digit 0 (place value 1, weight 1)
// is the real part of element 0 in both forms.
void AddOne(WeightedTransform& t) {
    const BigInt before = t.value();
    t.elementsForTest()[0].re += 1.0;
    EXPECT_NE(t.value().compare(before), 0);
}

TEST_F(PowerRunWeightedTest, FaultInOneStepIsRolledBackAndTheResultIsRight) {
    RunFixture f;
    std::mt19937_64 rng(testing::TestSeed());
    const Candidate N{3, 2, 20000, 1};
    const BigInt e = RandomExponent(rng, 3000);  // L = 32, checks every 2048 steps
    const Mpz modulus = testing::CandidateValue(N);
    // Early in a period, late in one (beyond the first check), in the
    // check's own steps and in the doubled tail.
    for (uint64_t at : {5ull, 2040ull, 2050ull, 3010ull}) {
        SCOPED_TRACE(at);
        SetWeightedStepSeam([at](WeightedTransform& t, uint64_t step) {
            if (step == at) AddOne(t);
        });
        BigInt x;
        ASSERT_TRUE(PowerRunBase2(f.context(), N, 3, e, 0, x));
        EXPECT_TRUE(SameValue(x, Powm(3, e, modulus)));
        const WeightedRunStats& stats = LastWeightedRunStats();
        EXPECT_TRUE(stats.weighted);
        EXPECT_FALSE(stats.fellBack);
        EXPECT_EQ(stats.counts.rollbacks, 1u);
    }
    // c < 0 (one digit per element) the same.
    SetWeightedStepSeam([](WeightedTransform& t, uint64_t step) {
        if (step == 700) AddOne(t);
    });
    const Candidate M{5, 2, 20000, -1};
    BigInt x;
    ASSERT_TRUE(PowerRunBase2(f.context(), M, 3, e, 0, x));
    EXPECT_TRUE(SameValue(x, Powm(3, e, testing::CandidateValue(M))));
    EXPECT_EQ(LastWeightedRunStats().counts.rollbacks, 1u);
}

TEST_F(PowerRunWeightedTest, PersistentFaultRaisesArithmeticFault) {
    RunFixture f;
    std::mt19937_64 rng(testing::TestSeed());
    const BigInt e = RandomExponent(rng, 3000);
    SetWeightedStepSeam([](WeightedTransform& t, uint64_t step) {
        if (step % 97 == 0) t.elementsForTest()[0].re += 1.0;
    });
    BigInt x;
    EXPECT_THROW(PowerRunBase2(f.context(), {3, 2, 20000, 1}, 3, e, 0, x), ArithmeticFault);
    EXPECT_FALSE(LastWeightedRunStats().fellBack);
}

TEST_F(PowerRunWeightedTest, TransformFaultContinuesOnTheExactStepsFromTheLastVerifiedState) {
    std::mt19937_64 rng(testing::TestSeed());
    const Candidate N{3, 2, 20000, 1};
    const BigInt e = RandomExponent(rng, 5000);
    const Mpz modulus = testing::CandidateValue(N);
    // A NaN makes the next carry pass refuse its result.
    for (uint64_t at : {10ull, 2500ull, 4500ull}) {
        SCOPED_TRACE(at);
        RunFixture f;
        f.live.nbIter = 1000;
        SetWeightedStepSeam([at](WeightedTransform& t, uint64_t step) {
            if (step == at) t.elementsForTest()[0].re = std::numeric_limits<double>::quiet_NaN();
        });
        BigInt x;
        ASSERT_TRUE(PowerRunBase2(f.context(), N, 3, e, 0, x));
        EXPECT_TRUE(SameValue(x, Powm(3, e, modulus)));
        const WeightedRunStats& stats = LastWeightedRunStats();
        EXPECT_TRUE(stats.fellBack);
        EXPECT_LT(stats.fellBackAt, at);
        // The count goes back with the run: the last tick is the one at
        // 4000 steps, as on the exact path, never past 100 %.
        std::string lastTimed;
        for (const std::string& t : f.paneTexts())
            if (t.find(" remaining]") != std::string::npos) lastTimed = t;
        EXPECT_EQ(lastTimed.rfind(TimedPrefixOf(PowerProgressStem(N), 4000.0 * 100 / 4999), 0), 0u) << lastTimed;
    }
}

// --- stop and resume ------------------------------------------------------------

// A store over the fixture's folder that clears the running flag after its
// n-th write.
class StoppingStore final : public RunCheckpoint {
public:
    StoppingStore(const fs::path& folder, std::atomic<bool>& running) : inner_(folder), running_(running) {}
    int writes = 0, stopAfterWrites = 0;

    bool readStage(uint32_t& stage) override { return inner_.readStage(stage); }
    bool readPower(uint32_t stage, const PowerRecordParams& p, uint32_t& s, uint32_t& i, BigInt& r) override {
        return inner_.readPower(stage, p, s, i, r);
    }
    bool readPower(uint32_t stage, const PowerRecordParams& p, uint32_t radix, uint32_t& s, uint32_t& i,
                   RadixInt& r) override {
        return inner_.readPower(stage, p, radix, s, i, r);
    }
    void writePower(uint32_t stage, const PowerRecordParams& p, uint32_t s, uint32_t i, const BigInt& r) override {
        inner_.writePower(stage, p, s, i, r);
        if (++writes == stopAfterWrites) running_ = false;
    }
    void writePower(uint32_t, const PowerRecordParams&, uint32_t, uint32_t, const RadixInt&) override {}
    bool resumeGfn(uint32_t, const PowerRecordParams&, uint32_t&, uint32_t&, RadixInt&, GfnTransform&) override {
        return false;
    }
    void saveGfn(uint32_t, const PowerRecordParams&, uint32_t, uint32_t, const RadixInt&,
                 const GfnTransform&) override {}
    bool readDivisibility(uint32_t, uint32_t, uint32_t, uint32_t&, uint32_t&, BigInt&, BigInt&, BigInt&) override {
        return false;
    }
    void writeDivisibility(uint32_t, uint32_t, uint32_t, uint32_t, uint32_t, const BigInt&, const BigInt&,
                           const BigInt&) override {}

private:
    FolderCheckpoint inner_;
    std::atomic<bool>& running_;
};

// The residue before the step of bit i: a^(e >> (i+1)).
Mpz ResidueBeforeBit(uint32_t a, const BigInt& e, uint32_t i, mpz_srcptr N) {
    Mpz high;
    mpz_fdiv_q_2exp(high, ToMpz(e), i + 1);
    Mpz base{long(a)}, r;
    mpz_powm(r, base, high, N);
    return r;
}

TEST_F(PowerRunWeightedTest, StopAndResumeAcrossCheckPeriodsAndBetweenThePaths) {
    std::mt19937_64 rng(testing::TestSeed());
    const Candidate N{3, 2, 100003, -1};  // large: keeps a record at stage 1
    const PowerRecordParams params{3, N.k, 2, N.n, N.c};
    const Mpz modulus = testing::CandidateValue(N);
    const BigInt e = RandomExponent(rng, 700);  // L = 32: verified states at the ticks
    const uint32_t T = 699;
    // first path, second path: weighted (1) or exact (0).
    for (const auto& [first, second] : std::vector<std::pair<bool, bool>>{{1, 1}, {0, 1}, {1, 0}}) {
        SCOPED_TRACE(std::to_string(first) + " then " + std::to_string(second));
        RunFixture f;
        StoppingStore store(f.folder.path(), f.running);
        f.checkpoint = &store;
        f.live.nbIter = 150;
        // Stopped after the record of the third tick (450 steps, three check
        // periods) and the stop's own record.
        store.stopAfterWrites = 3;
        SetWeightedRuns(first, 0);
        BigInt x;
        EXPECT_FALSE(PowerRunBase2(f.context(), N, 3, e, 1, x));
        EXPECT_EQ(LastWeightedRunStats().weighted, first);
        uint32_t steps = 0, bit = 0;
        BigInt r;
        ASSERT_TRUE(ReadPowerRecord(f.folder.path(), 1, params, steps, bit, r));
        // The record is the old path's kind: the count includes the step
        // at its bit, which is still to do; the weighted one is a verified
        // state at most a block past the tick.
        EXPECT_EQ(steps, T - bit);
        EXPECT_GE(steps, 3 * 150u);
        EXPECT_LE(steps, 3 * 150u + (first ? 32u : 0u));
        Mpz rm = ToMpz(r);
        mpz_mod(rm, rm, modulus);
        EXPECT_EQ(mpz_cmp(rm, ResidueBeforeBit(3, e, bit, modulus)), 0);

        f.running = true;
        f.sink.clear();
        store.stopAfterWrites = 0;
        SetWeightedRuns(second, 0);
        ASSERT_TRUE(PowerRunBase2(f.context(), N, 3, e, 1, x));
        EXPECT_EQ(LastWeightedRunStats().weighted, second);
        EXPECT_TRUE(SameValue(x, Powm(3, e, modulus)));
        const auto texts = f.paneTexts();
        ASSERT_FALSE(texts.empty());
        EXPECT_EQ(texts[0], UntimedProgressText(PowerProgressStem(N), (steps - 1) * 100.0 / T));
    }
}

TEST_F(PowerRunWeightedTest, StopBeforeTheFirstStepSavesTheStartValue) {
    RunFixture f;
    FolderCheckpoint store(f.folder.path());
    f.checkpoint = &store;
    f.running = false;
    const Candidate N{3, 2, 100003, 1};
    std::mt19937_64 rng(testing::TestSeed());
    const BigInt e = RandomExponent(rng, 20);
    BigInt x;
    EXPECT_FALSE(PowerRunBase2(f.context(), N, 3, e, 2, x));
    EXPECT_TRUE(LastWeightedRunStats().weighted);
    uint32_t steps = 0, bit = 0;
    BigInt r;
    ASSERT_TRUE(ReadPowerRecord(f.folder.path(), 2, {3, N.k, 2, N.n, N.c}, steps, bit, r));
    EXPECT_EQ(steps, 1u);
    EXPECT_EQ(bit, 18u);
    EXPECT_EQ(r.compareInt(3), 0);
    f.running = true;
    ASSERT_TRUE(PowerRunBase2(f.context(), N, 3, e, 2, x));
    EXPECT_TRUE(SameValue(x, Powm(3, e, testing::CandidateValue(N))));
    EXPECT_TRUE(LastWeightedRunStats().weighted);

    // The exact path's fold leaves negative residues in its records: such a
    // record (3^(e >> 10) - N before bit 9) is taken as well.
    const Mpz modulus = testing::CandidateValue(N);
    Mpz folded = ResidueBeforeBit(3, e, 9, modulus);
    mpz_sub(folded, folded, modulus);
    ASSERT_TRUE(WritePowerRecord(f.folder.path(), 2, {3, N.k, 2, N.n, N.c}, 10, 9, FromMpz(folded)));
    f.sink.clear();
    ASSERT_TRUE(PowerRunBase2(f.context(), N, 3, e, 2, x));
    EXPECT_TRUE(SameValue(x, Powm(3, e, modulus)));
    EXPECT_EQ(f.paneTexts().at(0), UntimedProgressText(PowerProgressStem(N), 9 * 100.0 / 19));
}

// Small numbers keep the exact path unless a caller lowers the threshold;
// the escape hatch wins over both.
TEST_F(PowerRunWeightedTest, SmallNumbersKeepTheExactPath) {
    const bool before = WeightedRunsEnabled();
    SetWeightedRuns(true);
    EXPECT_FALSE(UsesWeightedTransform(3, kWeightedRunsFromBits - 1, 1));
    EXPECT_TRUE(UsesWeightedTransform(3, kWeightedRunsFromBits, 1));
    SetWeightedRuns(true, 0);
    EXPECT_TRUE(UsesWeightedTransform(3, 1000, 1));
    SetWeightedRuns(false, 0);
    EXPECT_FALSE(UsesWeightedTransform(3, 100000, 1));
    SetWeightedRuns(before, 0);
}

}  // namespace
}  // namespace numen
