// Long checks of the sieve and trial division (label "long"): the whole
// range below 2^32 from Restart, and factors above 2^31 found by both
// kernel widths.
#include <gmp.h>
#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <random>

#include <unistd.h>

#include "ref/GmpOracle.h"
#include "ref/TempFolder.h"
#include "report/RecordingSink.h"
#include "report/ResultLines.h"
#include "report/ResultLog.h"
#include "report/ResultLogTrialReport.h"
#include "sieve/PrimeSieve.h"
#include "sieve/TrialDivide.h"

namespace numen {
namespace {

TEST(PrimeSieveLong, CountsEveryPrimeBelow2e32ThenGoesOn) {
    PrimeSieve sieve;
    sieve.Restart();
    uint64_t count = 1;
    uint32_t last = 0;
    for (uint32_t p; (p = sieve.Next()) != 0;) last = p, ++count;
    EXPECT_EQ(count, 203280221u);
    EXPECT_EQ(last, 4294967291u);

    // Next64 from 0 crosses 2^32 as RestartAt does.
    PrimeSieve walked, started;
    walked.Restart();
    uint64_t x;
    while ((x = walked.Next64()) < (uint64_t(1) << 32)) {}
    started.RestartAt(65536);
    EXPECT_EQ(x, started.Next64());
    for (int i = 0; i < 100000; ++i) ASSERT_EQ(walked.Next64(), started.Next64());
}

uint64_t RandomPrime(std::mt19937_64& rng, uint64_t lo, uint64_t hi) {
    testing::Mpz x;
    const uint64_t start = lo + rng() % (hi - lo);
    mpz_import(x, 1, 1, sizeof(start), 0, 0, &start);
    mpz_nextprime(x, x);
    return mpz_get_ui(x);
}

// N = q*r with primes q < r, written as k*2^32 + c (c a 32-bit offset): the
// smallest factor q lies above 2^30 (32-bit kernels) or 2^31 (64-bit kernels).
TEST(TrialDivisionLong, FactorsAbove2e30And2e31) {
    testing::TempFolder folder;
    RecordingSink sink;
    ResultLog log(&sink, folder.path(), OutputOptions{true, false, false});
    ResultLogTrialReport report(log);
    std::atomic<bool> running{true};
    std::mt19937_64 rng(testing::TestSeed());
    for (const auto& [lo, hi, pMax] : {std::tuple{uint64_t(1) << 30, uint64_t(2000000000), 2100000000.0},
                                       std::tuple{uint64_t(1) << 31, (uint64_t(1) << 32) - 2000000, 4294967296.0 + 1e6}}) {
        const uint64_t q = RandomPrime(rng, lo, hi), r = RandomPrime(rng, q + 1, q + 1000000);
        const unsigned __int128 product = static_cast<unsigned __int128>(q) * r;
        ASSERT_LT(product, static_cast<unsigned __int128>(1) << 64);
        const uint64_t N = uint64_t(product);
        uint32_t k = uint32_t(N >> 32);
        int64_t c = int64_t(N & 0xffffffffu);
        if (c >= (int64_t(1) << 31)) ++k, c -= int64_t(1) << 32;
        sink.clear();
        bool found = false;
        const Candidate candidate{k, 2, 32, int32_t(c)};
        ASSERT_TRUE(TrialDivide(found, candidate, TrialContext{report, running, {true, pMax}}));
        EXPECT_TRUE(found);
        const std::vector<std::string> texts = sink.texts();
        ASSERT_EQ(texts.size(), 2u);
        EXPECT_EQ(texts[1], FactorLine(candidate, q)) << q << " " << r;
    }
}

}  // namespace
}  // namespace numen
