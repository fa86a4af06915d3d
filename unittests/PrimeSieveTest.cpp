// SmallPrimes and PrimeSieve against a plain sieve: the sequence from 2 on,
// known prime counts, sampled windows below 2^32 (through RestartAt), the end
// of Next at 2^32 and Next64 beyond it, and the two marking forms.
#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <vector>

#include "ref/GmpOracle.h"
#include "ref/PlainSieve.h"
#include "sieve/PrimeSieve.h"
#include "sieve/SmallPrimes.h"

namespace numen {
namespace {

using testing::PlainPrimes;

TEST(PrimeSieveSmallPrimes, AreTheOddPrimesBelow65536) {
    InitSmallPrimes();
    ASSERT_TRUE(SmallPrimesReady());
    std::vector<uint32_t> plain = PlainPrimes(65536);
    plain.erase(plain.begin());   // 2
    ASSERT_EQ(plain.size(), kSmallPrimeCount);
    EXPECT_TRUE(std::equal(plain.begin(), plain.end(), SmallPrimes().begin()));
    EXPECT_EQ(SmallPrimes().back(), 65521u);
}

TEST(PrimeSieve, SequenceFromTwoMatchesPlainSieveAcrossWindows) {
    // 2^21 spans 32 windows; every boundary is crossed.
    const std::vector<uint32_t> plain = PlainPrimes(1u << 21);
    PrimeSieve sieve;
    std::vector<uint32_t> ours = {sieve.Restart()};
    for (uint32_t p; (p = sieve.Next()) < (1u << 21);) ours.push_back(p);
    EXPECT_EQ(ours, plain);
    // A second Restart starts over, whatever was left in the window.
    EXPECT_EQ(sieve.Restart(), 2u);
    EXPECT_EQ(sieve.Next(), 3u);
    EXPECT_EQ(sieve.Next(), 5u);
}

TEST(PrimeSieve, KnownPrimeCounts) {
    PrimeSieve sieve;
    sieve.Restart();
    uint64_t count = 1;   // 2
    uint32_t p;
    const std::pair<uint32_t, uint64_t> known[] = {{100, 25}, {65536, 6542}, {1000000, 78498}, {10000000, 664579}};
    for (const auto& [bound, expected] : known) {
        sieve.Restart();
        count = 1;
        while ((p = sieve.Next()) < bound) ++count;
        EXPECT_EQ(count, expected) << "below " << bound;
    }
}

TEST(PrimeSieve, BothMarkingFormsGiveTheSameSequence) {
    PrimeSieve plainForm, testingForm;
    plainForm.Restart();
    testingForm.Restart();
    plainForm.setTestBeforeWriting(false);
    testingForm.setTestBeforeWriting(true);
    for (int i = 0; i < 200000; ++i) {
        const uint32_t a = plainForm.Next(), b = testingForm.Next();
        ASSERT_EQ(a, b) << "at step " << i;
    }
}

std::vector<uint64_t> PlainWindow(uint64_t windowIndex) {
    return testing::PlainSurvivors(windowIndex << 16, (windowIndex + 1) << 16);
}

TEST(PrimeSieve, SampledWindowsBelow2e32MatchPlainSieve) {
    const uint64_t seed = testing::TestSeed();
    std::mt19937_64 rng(seed);
    PrimeSieve sieve;
    const int windows = testing::Repeats(40);
    for (int i = 0; i < windows; ++i) {
        // Two consecutive windows from a random start, the last pair of windows included.
        const uint64_t first = i == 0 ? 65534 : rng() % 65535;
        sieve.RestartAt(first);
        std::vector<uint64_t> expected = PlainWindow(first), next = PlainWindow(first + 1);
        expected.insert(expected.end(), next.begin(), next.end());
        std::vector<uint64_t> ours;
        for (size_t j = 0; j < expected.size(); ++j) ours.push_back(sieve.Next());
        ASSERT_EQ(ours, expected) << "seed " << seed << " window " << first;
    }
}

TEST(PrimeSieve, NextEndsAt2e32AndNext64GoesOn) {
    PrimeSieve sieve;
    sieve.RestartAt(65535);
    uint32_t last = 0;
    for (uint32_t p; (p = sieve.Next()) != 0;) last = p;
    EXPECT_EQ(last, 4294967291u);   // the largest prime below 2^32

    sieve.RestartAt(65535);
    std::vector<uint64_t> expected = PlainWindow(65535), above = PlainWindow(65536), further = PlainWindow(65537);
    expected.insert(expected.end(), above.begin(), above.end());
    expected.insert(expected.end(), further.begin(), further.end());
    std::vector<uint64_t> ours;
    for (size_t j = 0; j < expected.size(); ++j) ours.push_back(sieve.Next64());
    EXPECT_EQ(ours, expected);
    EXPECT_EQ(above.front(), 4294967311u);   // the first prime above 2^32

    // Far past 2^32 the survivors include composites with no factor below 65536.
    const uint64_t window = (uint64_t(1) << 24) + 12345;   // W near 2^40
    sieve.RestartAt(window);
    const std::vector<uint64_t> far = PlainWindow(window);
    for (uint64_t x : far) ASSERT_EQ(sieve.Next64(), x);
}

}  // namespace
}  // namespace numen
