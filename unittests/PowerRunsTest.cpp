// Power runs: every run against GMP's mpz_powm over the forms, bases, sizes
// and squaring kernel families; the progress texts and their intervals; the
// stop, the checkpoint at ticks and at a stop, and the resume (matching,
// foreign, damaged, unwritable); SmallPower.
#include <gmp.h>
#include <gtest/gtest.h>

#include <atomic>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "arith/RadixChoice.h"
#include "arith/kernels/KernelFamily.h"
#include "ref/GmpOracle.h"
#include "ref/RunFixture.h"
#include "ref/TransformOracle.h"
#include "report/ProgressLines.h"
#include "search/CheckpointFile.h"
#include "search/FolderCheckpoint.h"
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

Mpz ModulusOf(const Candidate& N) { return testing::CandidateValue(N); }

// Phi_n(b) = prod over d | n of (b^d - 1)^mu(n/d).
int Moebius(uint32_t m) {
    int mu = 1;
    for (uint32_t p = 2; p * p <= m; ++p) {
        if (m % p) continue;
        m /= p;
        if (m % p == 0) return 0;
        mu = -mu;
    }
    return m > 1 ? -mu : mu;
}

Mpz CyclotomicOf(uint32_t n, uint32_t b) {
    Mpz num{1}, den{1}, t;
    for (uint32_t d = 1; d <= n; ++d) {
        if (n % d) continue;
        const int mu = Moebius(n / d);
        if (mu == 0) continue;
        mpz_ui_pow_ui(t, b, d);
        mpz_sub_ui(t, t, 1);
        mpz_mul(mu > 0 ? num : den, mu > 0 ? num : den, t);
    }
    Mpz phi;
    mpz_divexact(phi, num, den);
    return phi;
}

Mpz Powm(uint32_t a, const BigInt& e, mpz_srcptr modulus) {
    Mpz base{long(a)}, r;
    mpz_powm(r, base, ToMpz(e), modulus);
    return r;
}

BigInt MinusOne(const Mpz& N) {
    Mpz e;
    mpz_sub_ui(e, N, 1);
    return FromMpz(e);
}

// (N - 1) / 2, the exponent of the Euler test.
BigInt HalfOf(const Mpz& N) {
    Mpz e;
    mpz_sub_ui(e, N, 1);
    mpz_fdiv_q_2exp(e, e, 1);
    return FromMpz(e);
}

// A random exponent of exactly `bits` bits (top bit set).
BigInt RandomExponent(std::mt19937_64& rng, uint32_t bits) {
    Mpz e;
    for (uint32_t i = 0; i < bits; ++i)
        if (i + 1 == bits || (rng() & 1)) mpz_setbit(e, i);
    return FromMpz(e);
}

// 2^bits + low: a walk of exactly `bits` steps whose last bits are low's.
BigInt ExponentOfSteps(uint32_t bits, uint32_t low) {
    Mpz e{long(low)};
    mpz_setbit(e, bits);
    return FromMpz(e);
}

std::string Name(const Candidate& N) {
    return std::to_string(N.k) + "*" + std::to_string(N.b) + "^" + std::to_string(N.n) + (N.c < 0 ? "" : "+") +
           std::to_string(N.c);
}

// The timed text up to its estimate: "stem [p%, ".
std::string TimedPrefix(const std::string& stem, double percent) {
    std::string t = UntimedProgressText(stem, percent);
    t.pop_back();
    return t + ", ";
}

int TimedTexts(const std::vector<std::string>& texts) {
    int timed = 0;
    for (const std::string& t : texts) timed += t.find(" remaining]") != std::string::npos;
    return timed;
}

// Each run of one residue type, for the tests that treat the three alike.
enum class Run { Base2, General, Radix };
const char* RunName(Run r) { return r == Run::Base2 ? "base2" : r == Run::General ? "general" : "radix"; }

// x as a GMP value reduced modulo N (a base-2 record holds a folded value).
Mpz Reduced(mpz_srcptr v, mpz_srcptr N) {
    Mpz r;
    mpz_mod(r, v, N);
    return r;
}

// Runs `which` and checks the result is fully reduced and equal to
// a^e mod N; returns the run's completed flag.
bool RunAndCheck(Run which, const RunContext& run, const Candidate& N, uint32_t a, const BigInt& e,
                 int32_t stage, bool expectResult = true) {
    const Mpz modulus = ModulusOf(N);
    bool completed = false;
    Mpz got;
    bool canonical = false;
    if (which == Run::Radix) {
        RadixInt x(2);
        completed = PowerRunRadix(run, N, a, e, stage, x);
        got = ToMpz(x);
        canonical = x.radix() == RadixOf(N.b) && SameValue(x, got);
    } else {
        BigInt x;
        completed = which == Run::Base2 ? PowerRunBase2(run, N, a, e, stage, x)
                                        : PowerRunGeneral(run, N, a, e, stage, x);
        got = ToMpz(x);
        canonical = SameValue(x, got);
    }
    if (completed && expectResult) {
        EXPECT_TRUE(canonical) << RunName(which);
        EXPECT_GE(mpz_sgn(got.v), 0) << RunName(which);
        EXPECT_LT(mpz_cmp(got, modulus), 0) << RunName(which);
        EXPECT_EQ(mpz_cmp(got, Powm(a, e, modulus)), 0) << RunName(which) << " " << Name(N);
    }
    return completed;
}

// Restores the squaring family chosen at start-up after tests that force
// others, and NoWeighted after the tests of the exact path's records.
class PowerRunsTest : public ::testing::Test {
protected:
    ~PowerRunsTest() override {
        ForceSquaringKernels(before);
        SetWeightedRuns(weightedBefore, 0);
    }
    const KernelFamily& before = SquaringKernels();
    const bool weightedBefore = WeightedRunsEnabled();
};

// --- values ---------------------------------------------------------------------

TEST_F(PowerRunsTest, EveryRunAgreesWithGmpOverFormsAndBases) {
    RunFixture f;
    const RunContext run = f.context();
    // Base 2 with the chain offsets; the other bases of the search, across
    // the schoolbook limit (32 words, 16 radix digits) and into the
    // transform.
    const Candidate forms[] = {
        {3, 2, 5, 1},      {5, 2, 40, -1},    {1, 2, 127, -1},   {15, 2, 1000, 1},  {9, 2, 1030, -1},
        {3, 2, 1100, 3},   {3, 2, 700, 7},    {2147483647u, 2, 64, -1}, {4294967295u, 2, 300, 1},
        {7, 3, 33, 1},     {2, 3, 700, -1},   {4, 5, 120, 1},    {2, 5, 450, -1},   {3, 10, 100, 1},
        {3, 10, 97, -1},   {5, 12, 300, -1},  {3, 1000, 40, 1},  {3, 1000, 110, -1}, {2, 999999, 33, -1},
        {2, 999999, 70, 1},
    };
    for (const Candidate& N : forms) {
        SCOPED_TRACE(Name(N));
        const Mpz modulus = ModulusOf(N);
        const BigInt e = HalfOf(modulus);
        for (uint32_t a : {3u, 5u}) {
            if (N.b == 2) RunAndCheck(Run::Base2, run, N, a, e, 1);
            RunAndCheck(Run::General, run, N, a, e, 1);
            RunAndCheck(Run::Radix, run, N, a, e, 1);
        }
    }
}

TEST_F(PowerRunsTest, EveryRunAgreesWithGmpThroughEverySquaringFamily) {
    RunFixture f;
    const RunContext run = f.context();
    std::mt19937_64 rng(testing::TestSeed());
    // Sizes at the transform's shapes: one-pass, two-pass, and beyond the
    // 4096-element one-pass limit; short random exponents keep it quick.
    const Candidate forms[] = {
        {3, 2, 1500, 1},   {7, 2, 16500, -1}, {5, 2, 70000, 3}, {3, 10, 460, 1},
        {5, 12, 4800, -1}, {3, 1000, 7000, 1}, {2, 999999, 3000, -1},
    };
    for (const KernelFamily* family : testing::AllFamilies()) {
        ForceSquaringKernels(*family);
        for (const Candidate& N : forms) {
            SCOPED_TRACE(std::string(family->name) + " " + Name(N));
            const BigInt e = RandomExponent(rng, 24);
            if (N.b == 2) RunAndCheck(Run::Base2, run, N, 3, e, 0);
            RunAndCheck(Run::General, run, N, 3, e, 0);
            RunAndCheck(Run::Radix, run, N, 3, e, 0);
        }
    }
}

TEST_F(PowerRunsTest, CyclotomicRunAgreesWithGmp) {
    RunFixture f;
    const RunContext run = f.context();
    std::mt19937_64 rng(testing::TestSeed());
    struct Case { uint32_t n, b; } cases[] = {{3, 2}, {7, 10}, {12, 999999}, {105, 1000}, {1009, 10}, {2048, 3}, {6, 2}};
    for (const KernelFamily* family : testing::AllFamilies()) {
        ForceSquaringKernels(*family);
        for (const Case& c : cases) {
            SCOPED_TRACE(std::string(family->name) + " Phi_" + std::to_string(c.n) + "(" + std::to_string(c.b) + ")");
            const Mpz phi = CyclotomicOf(c.n, c.b);
            const BigInt e = mpz_sizeinbase(phi, 2) < 200 ? MinusOne(phi) : RandomExponent(rng, 200);
            BigInt x;
            ASSERT_TRUE(PowerRunCyclotomic(run, c.n, c.b, 2, e, x));
            EXPECT_TRUE(SameValue(x, Powm(2, e, phi)));
        }
    }
    // A stop is answered at the first step, with nothing to save.
    f.running = false;
    BigInt x;
    EXPECT_FALSE(PowerRunCyclotomic(run, 1009, 10, 2, RandomExponent(rng, 100), x));
}

TEST_F(PowerRunsTest, ExponentOneGivesTheBaseReduced) {
    RunFixture f;
    const RunContext run = f.context();
    const BigInt one(1);
    // a < N as the tests pass it, and a >= N on the tiniest moduli: a mod N
    // either way.
    for (const Candidate& N : {Candidate{3, 2, 2, 1}, Candidate{3, 2, 200, -1}, Candidate{1, 10, 1, 3},
                               Candidate{3, 10, 40, 1}, Candidate{3, 10, 400, 1}}) {
        SCOPED_TRACE(Name(N));
        for (uint32_t a : {2u, 3u, 13u, 101u}) {
            if (N.b == 2) RunAndCheck(Run::Base2, run, N, a, one, 1);
            RunAndCheck(Run::General, run, N, a, one, 1);
            RunAndCheck(Run::Radix, run, N, a, one, 1);
        }
    }
    BigInt x;
    ASSERT_TRUE(PowerRunCyclotomic(run, 5, 2, 40, one, x));  // Phi_5(2) = 31
    EXPECT_EQ(x.compareInt(9), 0);
    // The start text only: no step, no tick.
    EXPECT_EQ(TimedTexts(f.paneTexts()), 0);
}

TEST_F(PowerRunsTest, SmallPowerAgreesWithGmp) {
    std::mt19937_64 rng(testing::TestSeed());
    for (const Candidate& N : {Candidate{3, 2, 61, 1}, Candidate{5, 2, 3000, -1}, Candidate{3, 2, 1100, 7},
                               Candidate{3, 10, 800, 1}, Candidate{5, 3, 90, -1}, Candidate{7, 999999, 40, 1}}) {
        SCOPED_TRACE(Name(N));
        const Mpz modulus = ModulusOf(N);
        Mpz y;
        gmp_randstate_t state;
        gmp_randinit_mt(state);
        gmp_randseed_ui(state, rng());
        mpz_urandomm(y, state, modulus);
        gmp_randclear(state);
        const BigInt yb = FromMpz(y);
        const RadixInt yr(RadixOf(N.b), yb);
        for (int32_t e : {-5, 0, 1, 2, 3, 65537, 0x7fffffff, int32_t(rng() >> 33)}) {
            Mpz want;
            if (e <= 0) mpz_set_ui(want, 1);
            else mpz_powm_ui(want, y, uint32_t(e), modulus);
            EXPECT_TRUE(SameValue(SmallPower(yb, e, N), want)) << e;
            const RadixInt xr = SmallPower(yr, e, N);
            EXPECT_EQ(xr.radix(), yr.radix());
            EXPECT_TRUE(SameValue(xr, want)) << e;
        }
    }
}

// --- progress -------------------------------------------------------------------

TEST_F(PowerRunsTest, HundredThousandStepsTickOnceForBase2AndSixTimesForGeneral) {
    const Candidate N{3, 2, 64, 1};
    const BigInt e = ExponentOfSteps(100000, 12345);
    {
        RunFixture f;
        ASSERT_TRUE(RunAndCheck(Run::Base2, f.context(), N, 3, e, 1));
        const auto texts = f.paneTexts();
        ASSERT_EQ(texts.size(), 2u);
        EXPECT_EQ(texts[0], "3*2^64 + 1 ? Computing power [0.00%]");
        EXPECT_EQ(texts[1].rfind("3*2^64 + 1 ? Computing power [65.54%, ", 0), 0u) << texts[1];
    }
    {
        RunFixture f;
        ASSERT_TRUE(RunAndCheck(Run::General, f.context(), N, 3, e, 1));
        const auto texts = f.paneTexts();
        ASSERT_EQ(texts.size(), 7u);
        EXPECT_EQ(TimedTexts(texts), 6);
        for (int i = 1; i <= 6; ++i)
            EXPECT_EQ(texts[i].rfind(TimedPrefix("3*2^64 + 1 ? Computing power", 16384.0 * i / 1000.0), 0), 0u)
                << texts[i];
        EXPECT_EQ(texts[6].rfind("3*2^64 + 1 ? Computing power [98.30%, ", 0), 0u) << texts[6];
    }
}

TEST_F(PowerRunsTest, IntervalsPercentagesAndTextsOfEachRun) {
    RunFixture f;
    f.live.nbIter = 10;  // below 16: the default 65536
    const BigInt e = ExponentOfSteps(70000, 1);
    ASSERT_TRUE(RunAndCheck(Run::Radix, f.context(), {5, 10, 40, -1}, 7, e, 1));
    BigInt x;
    ASSERT_TRUE(PowerRunCyclotomic(f.context(), 15, 7, 2, e, x));
    auto texts = f.paneTexts();
    ASSERT_EQ(texts.size(), 4u);
    EXPECT_EQ(texts[0], "5*10^40 - 1 ? Computing power [0.00%]");
    EXPECT_EQ(texts[1].rfind("5*10^40 - 1 ? Computing power [93.62%, ", 0), 0u) << texts[1];
    EXPECT_EQ(texts[2], "\"15.7\" ? Computing power [0.00%]");
    EXPECT_EQ(texts[3].rfind("\"15.7\" ? Computing power [93.62%, ", 0), 0u) << texts[3];

    // nbIter 100: every 100 steps for base 2, radix and cyclotomic, every
    // 25 for the general run; the clock gives the estimate.
    RunFixture g;
    g.live.nbIter = 100;
    g.clockStep = 10;  // each reading 10 ms later: start, then one per tick
    const BigInt e400 = ExponentOfSteps(400, 5);
    ASSERT_TRUE(RunAndCheck(Run::Base2, g.context(), {3, 2, 40, -1}, 3, e400, 1));
    texts = g.paneTexts();
    ASSERT_EQ(texts.size(), 5u);
    // First tick: 10 ms for 100 of 400 steps, 30 ms to go.
    EXPECT_EQ(texts[1], "3*2^40 - 1 ? Computing power [25.00%, 0 mn 00 s remaining]");
    EXPECT_EQ(texts[4], "3*2^40 - 1 ? Computing power [100.00%, 0 mn 00 s remaining]");
    g.sink.clear();
    ASSERT_TRUE(RunAndCheck(Run::General, g.context(), {3, 2, 40, -1}, 3, e400, 1));
    EXPECT_EQ(g.paneTexts().size(), 17u);
    g.sink.clear();
    ASSERT_TRUE(PowerRunCyclotomic(g.context(), 9, 10, 3, e400, x));
    EXPECT_EQ(g.paneTexts().size(), 5u);
}

TEST_F(PowerRunsTest, RemainingTimeComesFromTheClockOfThisCall) {
    RunFixture f;
    f.live.nbIter = 1000;
    f.clockStep = 1500;  // 1.5 s per 1000 steps
    ASSERT_TRUE(RunAndCheck(Run::Base2, f.context(), {3, 2, 70, 1}, 3, ExponentOfSteps(100000, 0), 1));
    const auto texts = f.paneTexts();
    ASSERT_EQ(texts.size(), 101u);
    // After 1000 steps: 1.5 s * (100000/1000 - 1) = 148.5 s.
    EXPECT_EQ(texts[1], "3*2^70 + 1 ? Computing power [1.00%, 2 mn 28 s remaining]");
    EXPECT_EQ(texts[50], "3*2^70 + 1 ? Computing power [50.00%, 1 mn 15 s remaining]");
}

TEST_F(PowerRunsTest, ShortRadixPathShowsNothingAndAnswersTheRunningFlagAfterwards) {
    RunFixture f;
    const Candidate N{3, 10, 32, 1};
    const BigInt e = HalfOf(ModulusOf(N));
    ASSERT_TRUE(RunAndCheck(Run::Radix, f.context(), N, 3, e, 1));
    EXPECT_TRUE(f.paneTexts().empty());
    f.running = false;
    RadixInt x(2);
    EXPECT_FALSE(PowerRunRadix(f.context(), N, 3, e, 1, x));
    // The walk itself ran to its end.
    EXPECT_TRUE(SameValue(x, Powm(3, e, ModulusOf(N))));
    EXPECT_TRUE(f.paneTexts().empty());
    // n = 33 takes the full run: a stop at its first step.
    EXPECT_FALSE(RunAndCheck(Run::Radix, f.context(), {3, 10, 33, 1}, 3, e, 1));
    EXPECT_EQ(f.paneTexts().size(), 1u);
}

TEST_F(PowerRunsTest, NbIterChangedDuringARunTakesEffectAtTheNextStep) {
    RunFixture f;
    f.live.nbIter = 1000;
    // The clock is read at start and at each tick; after the first tick the
    // front end sets a shorter interval.
    int reads = 0;
    RunContext run{f.log, f.running, f.live, nullptr, {}, [&] {
                       if (++reads == 2) f.live.nbIter = 250;
                       return uint64_t(reads);
                   }};
    ASSERT_TRUE(RunAndCheck(Run::Base2, run, {3, 2, 50, 1}, 3, ExponentOfSteps(4000, 9), 1));
    // Ticks at 1000, then every 250: 1250 ... 4000.
    EXPECT_EQ(TimedTexts(f.paneTexts()), 1 + 12);
}

// --- stop, checkpoint and resume ----------------------------------------------------

// A store over the fixture's folder that can clear the running flag after
// its n-th write, refuse every write, and counts the calls.
class TestStore final : public RunCheckpoint {
public:
    TestStore(const fs::path& folder, std::atomic<bool>& running) : inner_(folder), running_(running) {}

    int writes = 0, reads = 0;
    int stopAfterWrites = 0;  // 0: never
    bool refuseWrites = false;

    bool readStage(uint32_t& stage) override { return inner_.readStage(stage); }
    bool readPower(uint32_t stage, const PowerRecordParams& p, uint32_t& s, uint32_t& i, BigInt& r) override {
        ++reads;
        return inner_.readPower(stage, p, s, i, r);
    }
    bool readPower(uint32_t stage, const PowerRecordParams& p, uint32_t radix, uint32_t& s, uint32_t& i,
                   RadixInt& r) override {
        ++reads;
        return inner_.readPower(stage, p, radix, s, i, r);
    }
    void writePower(uint32_t stage, const PowerRecordParams& p, uint32_t s, uint32_t i, const BigInt& r) override {
        if (!refuseWrites) inner_.writePower(stage, p, s, i, r);
        wrote();
    }
    void writePower(uint32_t stage, const PowerRecordParams& p, uint32_t s, uint32_t i,
                    const RadixInt& r) override {
        if (!refuseWrites) inner_.writePower(stage, p, s, i, r);
        wrote();
    }
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
    void wrote() {
        if (++writes == stopAfterWrites) running_ = false;
    }
    FolderCheckpoint inner_;
    std::atomic<bool>& running_;
};

// The large numbers of the stop tests (n ln b > 69315), one per run, with
// exponents of a few hundred steps.
struct LargeCase {
    Run run;
    Candidate N;
    uint32_t a;
};
const LargeCase kLarge[] = {
    {Run::Base2, {3, 2, 100003, 1}, 3},
    {Run::General, {7, 10, 30110, -1}, 5},
    {Run::Radix, {3, 10, 30110, 1}, 7},
};

struct SavedRecord {
    uint32_t steps = 0, bit = 0;
    Mpz residue;
};

bool ReadRecord(const LargeCase& c, const fs::path& folder, uint32_t stage, SavedRecord& out) {
    const PowerRecordParams params{c.a, c.N.k, c.N.b, c.N.n, c.N.c};
    if (c.run == Run::Radix) {
        RadixInt r(RadixOf(c.N.b));
        if (!ReadPowerRecord(folder, stage, params, RadixOf(c.N.b), out.steps, out.bit, r)) return false;
        out.residue = ToMpz(r);
    } else {
        BigInt r;
        if (!ReadPowerRecord(folder, stage, params, out.steps, out.bit, r)) return false;
        out.residue = ToMpz(r);
    }
    return true;
}

// The residue a record must hold before the step of bit i: a^(e >> (i+1)).
Mpz ResidueBeforeBit(uint32_t a, const BigInt& e, uint32_t i, mpz_srcptr N) {
    Mpz high;
    mpz_fdiv_q_2exp(high, ToMpz(e), i + 1);
    Mpz base{long(a)}, r;
    mpz_powm(r, base, high, N);
    return r;
}

TEST_F(PowerRunsTest, StoppedLargeRunContinuesFromItsCheckpoint) {
    // The exact path's record at every tick; the weighted path's records
    // (verified states) are PowerRunWeightedTest's.
    SetWeightedRuns(false, 0);
    std::mt19937_64 rng(testing::TestSeed());
    for (const LargeCase& c : kLarge) {
        SCOPED_TRACE(RunName(c.run));
        RunFixture f;
        TestStore store(f.folder.path(), f.running);
        f.checkpoint = &store;
        f.live.nbIter = 32;  // the general run ticks every 8 steps
        const uint32_t interval = c.run == Run::General ? 8 : 32;
        const BigInt e = RandomExponent(rng, 120);
        const uint32_t T = 119;
        const Mpz modulus = ModulusOf(c.N);

        // Stopped at the third tick: the record of that tick, written again
        // by the stop, holds the step still to do.
        store.stopAfterWrites = 3;
        EXPECT_FALSE(RunAndCheck(c.run, f.context(), c.N, c.a, e, 1));
        EXPECT_EQ(store.writes, 4);
        SavedRecord saved;
        ASSERT_TRUE(ReadRecord(c, f.folder.path(), 1, saved));
        EXPECT_EQ(saved.steps, 3 * interval);
        EXPECT_EQ(saved.bit, T - saved.steps);  // at most this one step is lost
        EXPECT_EQ(mpz_cmp(Reduced(saved.residue, modulus), ResidueBeforeBit(c.a, e, saved.bit, modulus)), 0);

        // A fresh call continues there: its start text shows the steps done
        // (the record counts the one still to do).
        f.running = true;
        f.sink.clear();
        store.stopAfterWrites = 0;
        store.writes = 0;
        EXPECT_TRUE(RunAndCheck(c.run, f.context(), c.N, c.a, e, 1));
        const auto texts = f.paneTexts();
        ASSERT_FALSE(texts.empty());
        EXPECT_EQ(texts[0], UntimedProgressText(PowerProgressStem(c.N), (saved.steps - 1) * 100.0 / T));
        // The resumed count goes on from the saved one: the step of the saved
        // tick ticks again, and the count ends at T (never past 100 %).
        EXPECT_EQ(store.writes, int(T / interval - 2));
        EXPECT_EQ(texts.back().find("100."), std::string::npos);
        // The record stays after the run, for the handler to delete.
        EXPECT_TRUE(fs::exists(CheckpointPath(f.folder.path())));
    }
}

TEST_F(PowerRunsTest, StopBeforeTheFirstStepSavesTheStartValue) {
    std::mt19937_64 rng(testing::TestSeed());
    for (const LargeCase& c : kLarge) {
        SCOPED_TRACE(RunName(c.run));
        RunFixture f;
        FolderCheckpoint store(f.folder.path());
        f.checkpoint = &store;
        f.running = false;
        const BigInt e = RandomExponent(rng, 20);
        EXPECT_FALSE(RunAndCheck(c.run, f.context(), c.N, c.a, e, 2));
        SavedRecord saved;
        ASSERT_TRUE(ReadRecord(c, f.folder.path(), 2, saved));
        EXPECT_EQ(saved.steps, 1u);
        EXPECT_EQ(saved.bit, 18u);
        EXPECT_EQ(mpz_cmp_ui(saved.residue.v, c.a), 0);
        f.running = true;
        EXPECT_TRUE(RunAndCheck(c.run, f.context(), c.N, c.a, e, 2));
    }
}

TEST_F(PowerRunsTest, ForeignOrDamagedCheckpointIsIgnored) {
    std::mt19937_64 rng(testing::TestSeed());
    for (const LargeCase& c : kLarge) {
        SCOPED_TRACE(RunName(c.run));
        RunFixture f;
        FolderCheckpoint store(f.folder.path());
        f.checkpoint = &store;
        f.live.nbIter = 16;
        const BigInt e = RandomExponent(rng, 14);
        const fs::path file = CheckpointPath(f.folder.path());
        const PowerRecordParams mine{c.a, c.N.k, c.N.b, c.N.n, c.N.c};
        // Records of another stage or other parameters, holding a residue
        // that would give a wrong result if it were taken.
        std::vector<std::pair<uint32_t, PowerRecordParams>> foreign = {
            {2, mine},
            {1, {c.a + 1, c.N.k, c.N.b, c.N.n, c.N.c}},
            {1, {c.a, c.N.k + 2, c.N.b, c.N.n, c.N.c}},
            {1, {c.a, c.N.k, c.N.b + 1, c.N.n, c.N.c}},
            {1, {c.a, c.N.k, c.N.b, c.N.n + 1, c.N.c}},
            {1, {c.a, c.N.k, c.N.b, c.N.n, -c.N.c}},
        };
        for (const auto& [stage, params] : foreign) {
            if (c.run == Run::Radix) WritePowerRecord(f.folder.path(), stage, params, 5, 5, RadixInt(RadixOf(c.N.b), 12345));
            else WritePowerRecord(f.folder.path(), stage, params, 5, 5, BigInt(12345));
            f.sink.clear();
            EXPECT_TRUE(RunAndCheck(c.run, f.context(), c.N, c.a, e, 1));
            EXPECT_EQ(f.paneTexts().at(0), UntimedProgressText(PowerProgressStem(c.N), 0.0));
        }
        // A record of this run with its bit index beyond this exponent.
        if (c.run == Run::Radix) WritePowerRecord(f.folder.path(), 1, mine, 5, 13, RadixInt(RadixOf(c.N.b), 12345));
        else WritePowerRecord(f.folder.path(), 1, mine, 5, 13, BigInt(12345));
        EXPECT_TRUE(RunAndCheck(c.run, f.context(), c.N, c.a, e, 1));
        // A matching record, then damaged: truncated, a flipped residue
        // word, garbage.
        if (c.run == Run::Radix) WritePowerRecord(f.folder.path(), 1, mine, 5, 5, RadixInt(RadixOf(c.N.b), 12345));
        else WritePowerRecord(f.folder.path(), 1, mine, 5, 5, BigInt(12345));
        std::string bytes = f.folder.read(file.filename());
        for (const std::string& damaged : {bytes.substr(0, bytes.size() - 2),
                                           bytes.substr(0, 40) + char(bytes[40] ^ 1) + bytes.substr(41),
                                           std::string(bytes.size(), '\x5a'), std::string()}) {
            f.folder.write(file.filename(), damaged);
            fs::remove(PreviousCheckpointPath(f.folder.path()));  // nothing to fall back on
            f.sink.clear();
            EXPECT_TRUE(RunAndCheck(c.run, f.context(), c.N, c.a, e, 1));
            EXPECT_EQ(f.paneTexts().at(0), UntimedProgressText(PowerProgressStem(c.N), 0.0));
        }
        // Undamaged, the same record is taken (its made-up residue gives a
        // wrong power, so the value is not checked): the runs above really
        // went past a resume attempt.
        f.folder.write(file.filename(), bytes);
        f.sink.clear();
        RunAndCheck(c.run, f.context(), c.N, c.a, e, 1, false);
        EXPECT_EQ(f.paneTexts().at(0), UntimedProgressText(PowerProgressStem(c.N), (5 - 1) * 100.0 / 13));
    }
}

TEST_F(PowerRunsTest, UnwritableStoreStillGivesTheResult) {
    // The exact path's record at every tick; the weighted path's records
    // (verified states) are PowerRunWeightedTest's.
    SetWeightedRuns(false, 0);
    std::mt19937_64 rng(testing::TestSeed());
    for (const LargeCase& c : kLarge) {
        SCOPED_TRACE(RunName(c.run));
        RunFixture f;
        f.live.nbIter = 16;
        const BigInt e = RandomExponent(rng, 40);
        // A store whose writes do nothing: stopped, then started over.
        TestStore refusing(f.folder.path(), f.running);
        refusing.refuseWrites = true;
        refusing.stopAfterWrites = 2;
        f.checkpoint = &refusing;
        EXPECT_FALSE(RunAndCheck(c.run, f.context(), c.N, c.a, e, 1));
        f.running = true;
        f.sink.clear();
        refusing.stopAfterWrites = 0;
        EXPECT_TRUE(RunAndCheck(c.run, f.context(), c.N, c.a, e, 1));
        EXPECT_EQ(f.paneTexts().at(0), UntimedProgressText(PowerProgressStem(c.N), 0.0));
        // A folder that cannot hold files (it is a file): every write fails.
        f.folder.write("plain-file", "x");
        FolderCheckpoint broken(f.folder / "plain-file");
        f.checkpoint = &broken;
        EXPECT_TRUE(RunAndCheck(c.run, f.context(), c.N, c.a, e, 1));
    }
}

TEST_F(PowerRunsTest, OnlyLargeNumbersAtStageAboveZeroTouchTheCheckpoint) {
    std::mt19937_64 rng(testing::TestSeed());
    const BigInt e = RandomExponent(rng, 20);
    for (const LargeCase& c : kLarge) {
        SCOPED_TRACE(RunName(c.run));
        RunFixture f;
        TestStore store(f.folder.path(), f.running);
        f.checkpoint = &store;
        f.live.nbIter = 16;
        // Stage 0 and negative stages: no read, no write, also at a stop.
        EXPECT_TRUE(RunAndCheck(c.run, f.context(), c.N, c.a, e, 0));
        EXPECT_TRUE(RunAndCheck(c.run, f.context(), c.N, c.a, e, -1));
        f.running = false;
        EXPECT_FALSE(RunAndCheck(c.run, f.context(), c.N, c.a, e, 0));
        f.running = true;
        // Just below the size limit: n ln b <= 69315.
        Candidate small = c.N;
        small.n = c.N.b == 2 ? 100000 : 30103;
        EXPECT_TRUE(RunAndCheck(c.run, f.context(), small, c.a, e, 1));
        EXPECT_EQ(store.reads, 0);
        EXPECT_EQ(store.writes, 0);
        EXPECT_FALSE(fs::exists(CheckpointPath(f.folder.path())));
    }
    // The cyclotomic run never, whatever its size.
    RunFixture f;
    TestStore store(f.folder.path(), f.running);
    f.checkpoint = &store;
    f.live.nbIter = 16;
    BigInt x;
    ASSERT_TRUE(PowerRunCyclotomic(f.context(), 100003, 2, 3, e, x));
    EXPECT_EQ(store.reads + store.writes, 0);
}

}  // namespace
}  // namespace numen
