// WalkPowerChecked: the checked walk gives a^e mod N as GMP does for
// exponents of every shape (tails, a single block, many checks), finds a
// fault in a step, in the product d and in the tail and recovers from it,
// raises ArithmeticFault when a fault repeats, hands out only verified
// states, and a stop and resume from such a state gives the same result.
#include <gmp.h>
#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "ref/GmpOracle.h"
#include "tests/GerbiczLi.h"

namespace numen {
namespace {

using testing::FromMpz;
using testing::Mpz;
using testing::SameValue;
using testing::ToMpz;

// Schoolbook arithmetic mod N, with faults planted at chosen step numbers.
struct ModOps {
    using Residue = BigInt;
    BigInt N;
    uint32_t a = 3;
    uint64_t stepCount = 0;
    std::vector<uint64_t> faultySteps;  // each fault fires once, at that step count
    uint64_t faultyProduct = 0;         // 1-based product count to corrupt, 0 none
    uint64_t productCount = 0;
    bool everyTailStepFaulty = false;
    uint32_t tailFrom = UINT32_MAX;  // steps at or after this count are "tail" steps

    void reduce(BigInt& x) {
        BigInt q(x), r;
        q.divMod(r, N);
        if (r.isNegative()) r.add(N);
        x = r;
    }
    void step(BigInt& x, bool bit) {
        ++stepCount;
        x.mul(x);
        if (bit) x.mulUnsigned(a);
        reduce(x);
        for (uint64_t& s : faultySteps)
            if (s == stepCount) {
                x.addInt(1);  // a flipped low bit
                s = 0;
            }
    }
    void multiply(BigInt& x, const BigInt& y) {
        x.mul(y);
        reduce(x);
        if (++productCount == faultyProduct) x.addInt(7);
    }
    void setOne(BigInt& x) { x.setUnsigned(1); }
    bool equal(const BigInt& x, const BigInt& y) { return x.compare(y) == 0; }
};

struct Hooks {
    uint32_t stopAfterPolls = UINT32_MAX;
    uint32_t polls = 0;
    bool checkEveryBlock = false;
    std::vector<uint32_t> verifiedAt;
    std::vector<BigInt> verifiedValues;
    bool stopRequested() { return ++polls > stopAfterPolls; }
    bool wantsVerifiedState() { return checkEveryBlock; }
    void verified(const GerbiczLiState<BigInt>& s) {
        verifiedAt.push_back(s.stepsDone);
        verifiedValues.push_back(s.x);
    }
};

Mpz RandomOddModulus(std::mt19937_64& rng, unsigned bits) {
    Mpz n;
    for (unsigned i = 0; i < bits; i += 32) {
        mpz_mul_2exp(n, n, 32);
        mpz_add_ui(n, n, uint32_t(rng()));
    }
    mpz_tdiv_r_2exp(n, n, bits);
    mpz_setbit(n, bits - 1);
    mpz_setbit(n, 0);
    return n;
}

Mpz RandomExponent(std::mt19937_64& rng, unsigned bits) {
    Mpz e = RandomOddModulus(rng, bits);
    mpz_clrbit(e, 0);
    if (rng() & 1) mpz_setbit(e, 0);
    return e;
}

BigInt Expected(const BigInt& N, uint32_t a, const BigInt& e) {
    Mpz r, base{long(a)};
    mpz_powm(r, base, ToMpz(e), ToMpz(N));
    return FromMpz(r);
}

struct CheckedRun {
    ModOps ops;
    Hooks hooks;
    GerbiczLiCounts counts;
    GerbiczLiState<BigInt> state;
    bool completed = false;

    CheckedRun(const BigInt& N, uint32_t a) {
        ops.N = N;
        ops.a = a;
        state.x.setUnsigned(a);
    }
    void walk(const BigInt& e, const GerbiczLiPlan& plan) {
        completed = WalkPowerChecked(ops, hooks, e, plan, state, counts);
    }
};

TEST(GerbiczLi, ResiduesEqualGmpForEveryShapeOfExponent) {
    std::mt19937_64 rng(testing::TestSeed());
    const GerbiczLiPlan plan{8, 4};  // a check every 32 steps
    // Lengths around the block and check boundaries: tail only, one block,
    // a check exactly at the end, checks plus a tail, long runs.
    for (unsigned bits : {2u, 5u, 8u, 9u, 10u, 31u, 32u, 33u, 64u, 65u, 100u, 257u, 1000u}) {
        const BigInt N = FromMpz(RandomOddModulus(rng, 192));
        const BigInt e = FromMpz(RandomExponent(rng, bits));
        for (uint32_t a : {2u, 3u, 65537u}) {
            CheckedRun r(N, a);
            r.walk(e, plan);
            ASSERT_TRUE(r.completed);
            EXPECT_EQ(r.state.x.compare(Expected(N, a, e)), 0) << bits << " bits, a = " << a;
            EXPECT_EQ(r.state.stepsDone, e.topBitIndex());
            EXPECT_EQ(r.counts.rollbacks, 0u);
        }
    }
    // An exponent of one bit has no step.
    CheckedRun one(FromMpz(RandomOddModulus(rng, 64)), 5);
    BigInt e1;
    e1.setUnsigned(1);
    one.walk(e1, plan);
    EXPECT_TRUE(one.completed);
    EXPECT_EQ(one.state.x.compareInt(5), 0);
}

TEST(GerbiczLi, LongBlocksCarryTheirSumsAcrossWords) {
    // L = 128: block values of four words, sums above 2^L.
    std::mt19937_64 rng(testing::TestSeed() + 1);
    const BigInt N = FromMpz(RandomOddModulus(rng, 128));
    const BigInt e = FromMpz(RandomExponent(rng, 128 * 9 + 77));
    CheckedRun r(N, 3);
    r.walk(e, {128, 4});
    ASSERT_TRUE(r.completed);
    EXPECT_EQ(r.state.x.compare(Expected(N, 3, e)), 0);
    EXPECT_EQ(r.counts.checks, 3u);  // 9 blocks: two whole checks and the last one
}

TEST(GerbiczLi, FaultsAreFoundAndRolledBack) {
    std::mt19937_64 rng(testing::TestSeed() + 2);
    const BigInt N = FromMpz(RandomOddModulus(rng, 160));
    const BigInt e = FromMpz(RandomExponent(rng, 300));
    const BigInt want = Expected(N, 3, e);
    const GerbiczLiPlan plan{8, 4};

    // One fault in a block step, in each position of a check period.
    for (uint64_t at : {1u, 7u, 8u, 9u, 31u, 32u, 33u, 150u}) {
        CheckedRun r(N, 3);
        r.ops.faultySteps = {at};
        r.walk(e, plan);
        ASSERT_TRUE(r.completed);
        EXPECT_EQ(r.state.x.compare(want), 0) << "fault at step " << at;
        EXPECT_EQ(r.counts.rollbacks, 1u) << at;
    }
    // A fault in the running product d.
    CheckedRun product(N, 3);
    product.ops.faultyProduct = 2;
    product.walk(e, plan);
    EXPECT_EQ(product.state.x.compare(want), 0);
    EXPECT_EQ(product.counts.rollbacks, 1u);

    // A fault in the tail (299 steps: 296 in blocks, 3 doubled).
    CheckedRun tail(N, 3);
    tail.walk(e, plan);
    const uint64_t clean = tail.ops.stepCount;
    CheckedRun faulty(N, 3);
    faulty.ops.faultySteps = {clean - 1};  // a step of the tail's second copy
    faulty.walk(e, plan);
    EXPECT_EQ(faulty.state.x.compare(want), 0);
    EXPECT_EQ(faulty.counts.rollbacks, 1u);

    // Two independent faults in two check periods: each is recovered.
    CheckedRun two(N, 3);
    two.ops.faultySteps = {5, 100};
    two.walk(e, plan);
    EXPECT_EQ(two.state.x.compare(want), 0);
    EXPECT_EQ(two.counts.rollbacks, 2u);
}

// Hooks that also want to hear of every rollback (a run whose progress
// must not count the steps done again): told the state the walk goes back to.
struct RollbackHooks : Hooks {
    std::vector<uint32_t> rolledBackTo;
    std::vector<uint32_t> pollsAtRollback;
    void rolledBack(const GerbiczLiState<BigInt>& s) {
        rolledBackTo.push_back(s.stepsDone);
        pollsAtRollback.push_back(polls);
    }
};

TEST(GerbiczLi, RollbacksAreReportedToHooksThatAskForThem) {
    std::mt19937_64 rng(testing::TestSeed() + 6);
    const BigInt N = FromMpz(RandomOddModulus(rng, 128));
    const BigInt e = FromMpz(RandomExponent(rng, 300));
    ModOps ops;
    ops.N = N;
    ops.faultySteps = {50};  // in the second period (its steps count from 45, after the first check)
    RollbackHooks hooks;
    GerbiczLiCounts counts;
    GerbiczLiState<BigInt> state;
    state.x.setUnsigned(3);
    ASSERT_TRUE(WalkPowerChecked(ops, hooks, e, {8, 4}, state, counts));
    EXPECT_EQ(state.x.compare(Expected(N, 3, e)), 0);
    // Back to the state verified after 32 steps, once the second period's
    // 32 steps were polled.
    EXPECT_EQ(hooks.rolledBackTo, std::vector<uint32_t>{32});
    EXPECT_EQ(hooks.pollsAtRollback, std::vector<uint32_t>{64});
    // A doubled tail that differs goes back to the state before the tail.
    ModOps clean = ops;
    clean.stepCount = 0;
    clean.faultySteps.clear();
    Hooks plain;
    GerbiczLiState<BigInt> again;
    again.x.setUnsigned(3);
    ASSERT_TRUE(WalkPowerChecked(clean, plain, e, {8, 4}, again, counts));
    ModOps tailFault = clean;
    tailFault.stepCount = 0;
    tailFault.faultySteps = {clean.stepCount};  // the last step of the tail's second copy
    RollbackHooks tailHooks;
    GerbiczLiState<BigInt> tail;
    tail.x.setUnsigned(3);
    ASSERT_TRUE(WalkPowerChecked(tailFault, tailHooks, e, {8, 4}, tail, counts));
    EXPECT_EQ(tail.x.compare(Expected(N, 3, e)), 0);
    EXPECT_EQ(tailHooks.rolledBackTo, std::vector<uint32_t>{e.topBitIndex() / 8 * 8});
}

TEST(GerbiczLi, RepeatedFaultFromTheSameStateRaises) {
    std::mt19937_64 rng(testing::TestSeed() + 3);
    const BigInt N = FromMpz(RandomOddModulus(rng, 128));
    const BigInt e = FromMpz(RandomExponent(rng, 200));
    const GerbiczLiPlan plan{8, 4};
    // The redo of the first period (steps 1..32, check 12 steps, redo from
    // step 45) hits a fault again.
    CheckedRun r(N, 3);
    r.ops.faultySteps = {3, 47};
    EXPECT_THROW(r.walk(e, plan), ArithmeticFault);
    EXPECT_TRUE(r.hooks.verifiedAt.empty());
    // A persistent fault: every step from 40 on is corrupted.
    CheckedRun persistent(N, 3);
    for (uint64_t s = 40; s < 4000; ++s) persistent.ops.faultySteps.push_back(s);
    EXPECT_THROW(persistent.walk(e, plan), ArithmeticFault);
}

TEST(GerbiczLi, OnlyVerifiedStatesAreHandedOut) {
    std::mt19937_64 rng(testing::TestSeed() + 4);
    const BigInt N = FromMpz(RandomOddModulus(rng, 128));
    const BigInt e = FromMpz(RandomExponent(rng, 400));
    CheckedRun r(N, 7);
    r.ops.faultySteps = {20};
    r.walk(e, {8, 4});
    ASSERT_TRUE(r.completed);
    ASSERT_FALSE(r.hooks.verifiedAt.empty());
    for (size_t i = 0; i < r.hooks.verifiedAt.size(); ++i) {
        const uint32_t done = r.hooks.verifiedAt[i];
        EXPECT_EQ(done % 8, 0u);
        // The residue after `done` steps is a^(top done+1 bits of e).
        BigInt prefix(e);
        prefix.shift(int32_t(e.topBitIndex() - done));
        EXPECT_EQ(r.hooks.verifiedValues[i].compare(Expected(N, 7, prefix)), 0) << done;
    }
    // A check at every block when the run asks for a verified state.
    CheckedRun asked(N, 7);
    asked.hooks.checkEveryBlock = true;
    asked.walk(e, {8, 4});
    EXPECT_EQ(asked.hooks.verifiedAt.size(), size_t(399 / 8));
}

TEST(GerbiczLi, StopAndResumeFromTheVerifiedState) {
    std::mt19937_64 rng(testing::TestSeed() + 5);
    const BigInt N = FromMpz(RandomOddModulus(rng, 128));
    const BigInt e = FromMpz(RandomExponent(rng, 500));
    const BigInt want = Expected(N, 3, e);
    for (uint32_t stopAt : {3u, 8u, 45u, 130u, 497u}) {
        CheckedRun first(N, 3);
        first.hooks.stopAfterPolls = stopAt;
        first.walk(e, {8, 4});
        ASSERT_FALSE(first.completed) << stopAt;
        // The state handed back is verified: whole blocks before the stop.
        EXPECT_EQ(first.state.stepsDone % 8, 0u);
        EXPECT_LE(first.state.stepsDone, stopAt);
        EXPECT_GT(first.state.stepsDone + 8, stopAt > 496 ? 496u : stopAt);
        CheckedRun second(N, 3);
        second.state = first.state;
        second.walk(e, {8, 4});
        ASSERT_TRUE(second.completed);
        EXPECT_EQ(second.state.x.compare(want), 0) << stopAt;
    }
}

TEST(GerbiczLi, PlanKeepsTheCheckBelowTwoPercentOfLongRuns) {
    for (uint32_t steps : {1u << 17, 1u << 20, 1u << 23, 33554400u}) {
        const GerbiczLiPlan p = PlanGerbiczLi(steps);
        // Per period: t products (about two steps each) and L check steps.
        const double overhead = double(2 * p.blocksPerCheck + p.blockLength) /
                                (double(p.blockLength) * p.blocksPerCheck);
        EXPECT_LE(overhead, 0.02) << steps;
        // At least four periods: a fault costs at most a quarter of the run.
        EXPECT_GE(steps / (p.blockLength * p.blocksPerCheck), 4u) << steps;
    }
    EXPECT_EQ(PlanGerbiczLi(100).blockLength, 32u);
}

}  // namespace
}  // namespace numen
