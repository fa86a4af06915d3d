// FermatDivisibility and PhiDivisibility against GMP: every hit line and
// record, the closing lines, both phases, the stop and resume of a large
// number through the folder's checkpoint, and the cyclotomic order of 2.
#include <gmp.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <limits>
#include <string>
#include <vector>

#include "ref/GmpOracle.h"
#include "ref/RunFixture.h"
#include "search/FolderCheckpoint.h"
#include "tests/FermatDivisibility.h"
#include "tests/PowerRunWeighted.h"

namespace numen {
namespace {

using testing::Mpz;
using testing::RunFixture;
using Lines = std::vector<std::string>;

using Fixture = testing::VerboseRunFixture;

std::string Fmt(const char* f, uint32_t k, uint32_t n, uint32_t m = 0) {
    char t[160];
    std::snprintf(t, sizeof t, f, k, n, m);
    return t;
}

struct Expected {
    Lines pane;
    std::string records;
};

// The scan redone with GMP from residues x2, x3, x5 = a^(2^m0) at countdown
// r0 (the start: m0 = 0, r0 = n - 1).
Expected GmpScan(uint32_t k, uint32_t n, uint32_t r0, Mpz x2, Mpz x3, Mpz x5) {
    static const char* hit[] = {"%u*2^%u + 1 divides F%u !\r\n", "%u*2^%u + 1 divides GF(%u, 3) !\r\n",
                                "%u*2^%u + 1 divides GF(%u, 5) !\r\n", "%u*2^%u + 1 divides GF(%u, 6) !\r\n",
                                "%u*2^%u + 1 divides GF(%u, 10) !\r\n", "%u*2^%u + 1 divides GF(%u, 12) !\r\n"};
    static const char* rec[] = {"%u*2^%u+1 Divides Fermat F(%u)\n", "%u*2^%u+1 Divides GF(%u, 3)\n",
                                "%u*2^%u+1 Divides GF(%u, 5)\n", "%u*2^%u+1 Divides GF(%u, 6)\n",
                                "%u*2^%u+1 Divides GF(%u, 10)\n", "%u*2^%u+1 Divides GF(%u, 12)\n"};
    static const char* none[] = {"Fm.", "GF(3, m).", "GF(5, m).", "GF(6, m).", "GF(10, m).", "GF(12, m)."};
    const Mpz N = testing::CandidateValue({k, 2, n, 1});
    Mpz minusOne;
    mpz_sub_ui(minusOne, N, 1);
    Expected e;
    bool any[6] = {};
    auto check = [&](const Mpz& x, int base, uint32_t m) {
        if (mpz_cmp(x, minusOne) != 0) return;
        any[base] = true;
        e.pane.push_back(Fmt(hit[base], k, n, m));
        e.records += Fmt(rec[base], k, n, m);
    };
    for (uint32_t r = r0; r > 0; --r) {
        const uint32_t m = n - r;
        Mpz* xs[] = {&x2, &x3, &x5};
        for (int i = 0; i < 3; ++i) {
            mpz_powm_ui(*xs[i], *xs[i], 2, N);
            check(*xs[i], i, m);
        }
        if (r <= 50) {
            Mpz p;
            mpz_mul(p, x2, x3);
            mpz_mod(p, p, N);
            check(p, 3, m);
            mpz_mul(p, p, x2);
            mpz_mod(p, p, N);
            check(p, 5, m);
            mpz_mul(p, x2, x5);
            mpz_mod(p, p, N);
            check(p, 4, m);
        }
    }
    for (int base = 0; base < 6; ++base)
        if (!any[base]) e.pane.push_back(Fmt("%u*2^%u + 1 doesn't divide any ", k, n) + none[base] + "\r\n");
    return e;
}

Expected GmpScan(uint32_t k, uint32_t n) { return GmpScan(k, n, n - 1, Mpz(2), Mpz(3), Mpz(5)); }

TEST(FermatDivisibility, SixHundredFortyOneDividesF5) {
    Fixture f;
    EXPECT_TRUE(FermatDivisibility(f.context(), 5, 7, 0));
    const Lines lines = f.paneLines();
    // GF(4, 10) comes first: the lines name m, then the base.
    EXPECT_EQ(lines, (Lines{"5*2^7 + 1 divides GF(4, 10) !\r\n", "5*2^7 + 1 divides F5 !\r\n",
                            "5*2^7 + 1 divides GF(5, 5) !\r\n",
                            "5*2^7 + 1 doesn't divide any GF(3, m).\r\n",
                            "5*2^7 + 1 doesn't divide any GF(6, m).\r\n",
                            "5*2^7 + 1 doesn't divide any GF(12, m).\r\n"}));
    EXPECT_EQ(lines, GmpScan(5, 7).pane);
    EXPECT_EQ(f.folder.read("Numen.txt"), "5*2^7+1 Divides GF(4, 10)\n5*2^7+1 Divides Fermat F(5)\n5*2^7+1 Divides GF(5, 5)\n");
    EXPECT_EQ(f.folder.read("Numen.txt"), GmpScan(5, 7).records);
    // The hit stays in the log; the closing lines are verbose (screen only).
    EXPECT_NE(f.logFile().find("5*2^7 + 1 divides F5 !"), std::string::npos);
    EXPECT_EQ(f.paneTexts().front(), "5*2^7 + 1 ? Checking GFm div. [0.00%]");
}

TEST(FermatDivisibility, SmallPrimesAgreeWithGmpInBothPhases) {
    // Every prime k*2^n + 1 with odd k < 200 and n < 60: n <= 51 follows all
    // six bases for every m, larger n only 2, 3 and 5 before the last 50.
    int tested = 0, hits = 0;
    for (uint32_t k = 1; k < 200; k += 2)
        for (uint32_t n = 1; n < 60; ++n) {
            if (mpz_probab_prime_p(testing::CandidateValue({k, 2, n, 1}), 30) == 0) continue;
            Fixture f;
            ASSERT_TRUE(FermatDivisibility(f.context(), k, n, 1));
            const Expected e = GmpScan(k, n);
            ASSERT_EQ(f.paneLines(), e.pane) << k << "*2^" << n << "+1";
            ASSERT_EQ(f.folder.read("Numen.txt"), e.records) << k << "*2^" << n << "+1";
            hits += int(e.records.size() > 0);
            ++tested;
        }
    EXPECT_GT(tested, 300);
    EXPECT_GT(hits, 20);  // the box holds real hits of several bases
}

TEST(FermatDivisibility, StopsAndResumesALargeNumberWithTheSameLines) {
    // A large N (n ln 2 > 69315); the scan is entered from a stage-3 record
    // 80 steps before the end, so the fast phase is short. The residues need
    // not be powers: the scan only squares and compares.
    const uint32_t k = 3, n = 100003, left = 80;
    Mpz N = testing::CandidateValue({k, 2, n, 1});
    Mpz x2, x3, x5;
    mpz_set_ui(x2, 7);
    mpz_powm_ui(x3, x2, 123457, N);
    mpz_powm_ui(x5, x2, 98765, N);
    const Expected expected = GmpScan(k, n, left, x2, x3, x5);
    // The exact steps' record at every tick: 30 fast steps are less than
    // one block of the weighted walk, which keeps no record inside it.
    const bool weighted = WeightedRunsEnabled();
    SetWeightedRuns(false, 0);

    Fixture f;
    FolderCheckpoint store(f.folder.path());
    f.checkpoint = &store;
    f.live.nbIter = 16;  // a tick every 8 steps
    auto seed = [&] {
        store.writeDivisibility(3, k, n, n - 1 - left + 1, left, testing::FromMpz(x2), testing::FromMpz(x3),
                                testing::FromMpz(x5));
    };

    seed();
    Fixture whole;
    FolderCheckpoint wholeStore(whole.folder.path());
    whole.checkpoint = &wholeStore;
    std::filesystem::copy_file(f.folder.path() / "Numen.dta", whole.folder.path() / "Numen.dta");
    ASSERT_TRUE(FermatDivisibility(whole.context(), k, n, 0));
    EXPECT_EQ(whole.paneLines(), expected.pane);

    // Stop at the fourth clock read (start, then ticks every 8 steps): the
    // record moves on; the resume finishes with the lines of the
    // uninterrupted scan.
    int steps = 0;
    f.running = true;
    {
        auto ctx = f.context();
        ctx.clock = [&] {
            if (++steps == 4) f.running = false;
            return f.clockMs += 1;
        };
        EXPECT_FALSE(FermatDivisibility(ctx, k, n, 0));
    }
    uint32_t count = 0, countdown = 0;
    BigInt s2, s3, s5;
    ASSERT_TRUE(store.readDivisibility(3, k, n, count, countdown, s2, s3, s5));
    EXPECT_LT(countdown, left);
    EXPECT_GT(countdown, 50u);
    EXPECT_EQ(f.paneLines(), Lines{});
    f.sink.clear();
    f.running = true;
    ASSERT_TRUE(FermatDivisibility(f.context(), k, n, 0));
    EXPECT_EQ(f.paneLines(), expected.pane);
    // The resumed percentage starts where the record left it.
    char start[96];
    std::snprintf(start, sizeof start, "3*2^100003 + 1 ? Checking GFm div. [%.2f%%]", (count - 1) * 100.0 / n);
    EXPECT_EQ(f.paneTexts().front(), start);

    // A related prime (depth 1) neither reads nor writes the record.
    Fixture related;
    FolderCheckpoint relatedStore(related.folder.path());
    related.checkpoint = &relatedStore;
    related.running = false;
    EXPECT_FALSE(FermatDivisibility(related.context(), k, n, 1));
    EXPECT_FALSE(std::filesystem::exists(related.folder.path() / "Numen.dta"));
    SetWeightedRuns(weighted, 0);
}

// The fast phase in the weighted transform gives the lines of the exact
// scan: primes past the plan's smallest length, with NoWeighted off and on.
TEST(FermatDivisibility, WeightedFastPhaseAgreesWithGmpForPrimesPastSixtyFourBits) {
    const bool before = WeightedRunsEnabled();
    int tested = 0;
    for (uint32_t k = 1; k < 40; k += 2)
        for (uint32_t n = 64; n < 400; n += 7) {
            if (mpz_probab_prime_p(testing::CandidateValue({k, 2, n, 1}), 30) == 0) continue;
            const Expected e = GmpScan(k, n);
            for (bool weighted : {true, false}) {
                SetWeightedRuns(weighted, 0);
                Fixture f;
                ASSERT_TRUE(FermatDivisibility(f.context(), k, n, 1));
                ASSERT_EQ(f.paneLines(), e.pane) << k << "*2^" << n << "+1";
                ASSERT_EQ(f.folder.read("Numen.txt"), e.records);
                EXPECT_EQ(LastWeightedRunStats().weighted, weighted && PlanWeighted(k, n, 1).served);
            }
            ++tested;
        }
    EXPECT_GE(tested, 15);
    SetWeightedRuns(before, 0);
}

// Hits inside the weighted fast phase, from a record whose residues are
// made to reach -1 there: modulo 2^n + 1 with n = 2^17, 2^(2^(17-j)) reaches
// -1 after j squares. Found in an uninterrupted scan, in one stopped at a
// tick and resumed, and after a fault of the transform.
TEST(FermatDivisibility, WeightedFastPhaseFindsHitsAcrossAStopAndAFault) {
    const bool before = WeightedRunsEnabled();
    SetWeightedRuns(true, 0);
    const uint32_t k = 1, n = 1u << 17, left = 51 + 300;
    const Mpz N = testing::CandidateValue({k, 2, n, 1});
    Mpz x2, x3, x5;
    mpz_ui_pow_ui(x2, 2, 1u << 11);  // -1 after 6 squares
    mpz_set_ui(x3, 3);
    mpz_ui_pow_ui(x5, 2, 1);         // -1 after 17 squares
    const Expected expected = GmpScan(k, n, left, x2, x3, x5);
    ASSERT_EQ(expected.records.size() > 0, true);
    auto seed = [&](FolderCheckpoint& store) {
        store.writeDivisibility(3, k, n, n - 1 - left + 1, left, testing::FromMpz(x2), testing::FromMpz(x3),
                                testing::FromMpz(x5));
    };
    {
        Fixture f;
        FolderCheckpoint store(f.folder.path());
        f.checkpoint = &store;
        seed(store);
        ASSERT_TRUE(FermatDivisibility(f.context(), k, n, 0));
        EXPECT_EQ(f.paneLines(), expected.pane);
        EXPECT_EQ(f.folder.read("Numen.txt"), expected.records);
        EXPECT_TRUE(LastWeightedRunStats().weighted);
    }
    {
        // Stopped at the second tick (every 64 steps of the count, the
        // first 32 steps in): the record is the verified state of the last
        // whole block, past the hits, which are printed before the stop.
        // As on the exact path the hit flags are not saved: the resume
        // prints every closing line.
        Fixture f;
        FolderCheckpoint store(f.folder.path());
        f.checkpoint = &store;
        f.live.nbIter = 128;
        seed(store);
        int reads = 0;
        auto ctx = f.context();
        ctx.clock = [&] {
            if (++reads == 3) f.running = false;
            return f.clockMs += 1;
        };
        EXPECT_FALSE(FermatDivisibility(ctx, k, n, 0));
        uint32_t count = 0, countdown = 0;
        BigInt s2, s3, s5;
        ASSERT_TRUE(store.readDivisibility(3, k, n, count, countdown, s2, s3, s5));
        EXPECT_EQ(countdown, left - 64);
        EXPECT_EQ(count, n - countdown);
        EXPECT_EQ(f.paneLines(), Lines(expected.pane.begin(), expected.pane.begin() + 2));
        f.sink.clear();
        f.running = true;
        ASSERT_TRUE(FermatDivisibility(f.context(), k, n, 0));
        const Lines after = f.paneLines();
        ASSERT_EQ(after.size(), 6u);
        for (const std::string& l : after) EXPECT_NE(l.find("doesn't divide any"), std::string::npos) << l;
        EXPECT_EQ(f.folder.read("Numen.txt"), expected.records);
    }
    for (uint64_t at : {4ull, 200ull}) {
        SCOPED_TRACE(at);
        Fixture f;
        FolderCheckpoint store(f.folder.path());
        f.checkpoint = &store;
        seed(store);
        SetWeightedStepSeam([at](WeightedTransform& t, uint64_t step) {
            if (step == at) t.elementsForTest()[0].re = std::numeric_limits<double>::quiet_NaN();
        });
        ASSERT_TRUE(FermatDivisibility(f.context(), k, n, 0));
        SetWeightedStepSeam({});
        EXPECT_TRUE(LastWeightedRunStats().fellBack);
        EXPECT_EQ(f.paneLines(), expected.pane);
        EXPECT_EQ(f.folder.read("Numen.txt"), expected.records);
    }
    SetWeightedRuns(before, 0);
}

// The first m in 1 .. n + 9 with 2^(b^m) = 1 mod N, 0 when none.
uint32_t GmpPhiOrder(uint32_t k, uint32_t b, uint32_t n) {
    const Mpz N = testing::CandidateValue({k, b, n, 1});
    Mpz x(2);
    for (uint32_t m = 1; m <= n + 9; ++m) {
        mpz_powm_ui(x, x, b, N);
        if (mpz_cmp_ui(static_cast<mpz_srcptr>(x), 1) == 0) return m;
    }
    return 0;
}

TEST(PhiDivisibility, FindsTheOrderOfTwoForPrimeBases) {
    int tested = 0, hits = 0;
    for (uint32_t b : {3u, 5u})
        for (uint32_t k = 1; k < 60; ++k)
            for (uint32_t n = 1; n < 40; ++n) {
                if (mpz_probab_prime_p(testing::CandidateValue({k, b, n, 1}), 30) == 0) continue;
                Fixture f;
                ASSERT_TRUE(PhiDivisibility(f.context(), k, b, n));
                char line[160], record[160];
                const uint32_t m = GmpPhiOrder(k, b, n);
                Lines expected;
                if (m > 0) {
                    std::snprintf(line, sizeof line, "%u*%u^%u + 1 divides Phi(%u^%u, 2) !\r\n", k, b, n, b, m);
                    std::snprintf(record, sizeof record, "%u*%u^%u+1 Divides Phi(%u^%u,2)\n", k, b, n, b, m);
                    ++hits;
                } else {
                    std::snprintf(line, sizeof line, "%u*%u^%u + 1 doesn't divide any Phi(%u^m, 2) !\r\n", k, b,
                                  n, b);
                    record[0] = 0;
                }
                ASSERT_EQ(f.paneLines(), Lines{line}) << k << "*" << b << "^" << n;
                ASSERT_EQ(f.folder.read("Numen.txt"), record);
                ++tested;
            }
    EXPECT_GT(tested, 50);
    EXPECT_GT(hits, 5);
}

TEST(PhiDivisibility, CompositeBasePrintsNothing) {
    Fixture f;
    EXPECT_TRUE(PhiDivisibility(f.context(), 1, 6, 1));  // 7
    EXPECT_TRUE(f.paneTexts().empty());
    EXPECT_EQ(f.folder.read("Numen.txt"), "");
}

TEST(PhiDivisibility, StopReturnsFalseWithoutALine) {
    Fixture f;
    f.running = false;
    EXPECT_FALSE(PhiDivisibility(f.context(), 2, 3, 4));  // 163
    EXPECT_TRUE(f.paneLines().empty());
}

}  // namespace
}  // namespace numen
