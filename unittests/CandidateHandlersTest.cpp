// The search handlers end to end, with GMP as the oracle: a box of
// candidates yields exactly the primes GMP finds in it (each confirmed by a
// second base), the related-prime walk reports twins, Sophie Germain pairs
// and chains at the member that closes them, and a resumed candidate skips
// its test only on a record of its own.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <regex>
#include <set>
#include <string>
#include <tuple>

#include "ref/GmpOracle.h"
#include "ref/TempFolder.h"
#include "report/RecordingSink.h"
#include "search/CandidateHandlers.h"
#include "search/CheckpointFile.h"
#include "sieve/SmallPrimes.h"

namespace numen {
namespace {

using testing::GmpDigits;
using testing::GmpPrime;

using testing::CandidateValue;
using Found = std::tuple<uint32_t, uint32_t, int32_t>;  // k, n, c of k*b^n + c

struct HandlerRun {
    testing::TempFolder folder;
    RecordingSink sink;
    ResultLog log{&sink, folder.path()};
    SearchJob job;
    SearchRun run{job, log, {}, {}, {}};

    HandlerRun(int form, uint32_t base) {
        job.testForm = form;
        job.base = base;
        job.running = true;
        job.rangeInfo = false;
        log.setOptions({true, false, false});  // factor and composite lines in the pane
        run.handlers = SearchHandlers(run);
        InitSmallPrimes();
    }
    void box(uint32_t nMin, uint32_t nMax, uint32_t kMin, uint32_t kMax, uint32_t kStep) {
        job.nMin = nMin;
        job.nMax = nMax;
        job.kMin = kMin;
        job.kMax = kMax;
        job.kStep = kStep;
        StandardLoop(run);
    }
    // One top-level candidate, as the loop hands it over.
    bool candidate(uint32_t k, uint32_t n) {
        run.found.clear();
        return SelectHandler(run.handlers, job.testForm, job.base)(k, n, 0, true);
    }
    std::vector<std::string> lines() const {
        std::vector<std::string> out;
        for (const std::string& t : sink.texts(PaneText))
            if (t.size() >= 2 && t.compare(t.size() - 2, 2, "\r\n") == 0) out.push_back(t);
        return out;
    }
    // Every number announced prime (first lines, not verifications).
    std::set<Found> announced(std::set<Found>* verified = nullptr) const {
        static const std::regex kPrime(R"(^(\d+)\*(\d+)\^(\d+) ([+-]) (\d+) is prime! (\((verification : )?)?)");
        std::set<Found> out;
        for (const std::string& line : lines()) {
            std::smatch m;
            if (!std::regex_search(line, m, kPrime)) continue;
            const int32_t c = (m[4] == "+" ? 1 : -1) * std::stoi(m[5]);
            const Found f{uint32_t(std::stoul(m[1])), uint32_t(std::stoul(m[3])), c};
            if (m[7].matched) {
                if (verified) verified->insert(f);
            } else {
                out.insert(f);
            }
        }
        return out;
    }
    size_t count(const std::string& line) const {
        size_t n = 0;
        for (const std::string& l : lines()) n += l == line;
        return n;
    }
};

// Every candidate of the box that GMP calls prime is announced, and every
// announced number (neighbours included) is prime; a prime above the trial
// limit also has its verification line.
void ExpectBoxAgreesWithGmp(int form, uint32_t base, uint32_t nMin, uint32_t nMax, uint32_t kMin, uint32_t kMax,
                            uint32_t kStep) {
    HandlerRun r(form, base);
    r.box(nMin, nMax, kMin, kMax, kStep);
    std::set<Found> verified;
    const std::set<Found> got = r.announced(&verified);
    const int32_t c = form == PlusOneForm ? 1 : -1;
    for (uint32_t n = nMin; n <= nMax; ++n)
        for (uint32_t k = kMin; k <= kMax; k += kStep) {
            if (k % base == 0) continue;
            // k >= b^n is refused by the size checks: not a candidate.
            if (n < 32 && std::log(double(k)) >= n * std::log(double(base))) continue;
            const bool prime = GmpPrime({k, base, n, c});
            EXPECT_EQ(got.count({k, n, c}) == 1, prime) << k << "*" << base << "^" << n << " " << c;
        }
    for (const auto& [k, n, cc] : got) EXPECT_TRUE(GmpPrime({k, base, n, cc})) << k << "*" << base << "^" << n;
    // A prime k*2^n + 1 beyond the reach of trial division is confirmed by a
    // second base (the other forms by their probable-prime stage, which
    // prints no prime line).
    for (const Found& f : got) {
        const auto& [k, n, cc] = f;
        if (base == 2 && cc > 0 && n > 40) {
            EXPECT_EQ(verified.count(f), 1u) << k << "*2^" << n;
        }
    }
}

TEST(CandidateHandlersBox, BaseTwoBothFormsAgreeWithGmp) {
    ExpectBoxAgreesWithGmp(PlusOneForm, 2, 2, 80, 3, 99, 2);
    ExpectBoxAgreesWithGmp(MinusOneForm, 2, 2, 80, 3, 99, 2);
}

TEST(CandidateHandlersBox, OtherBasesAgreeWithGmp) {
    ExpectBoxAgreesWithGmp(PlusOneForm, 3, 1, 40, 2, 60, 2);
    ExpectBoxAgreesWithGmp(MinusOneForm, 3, 1, 40, 2, 60, 2);
    ExpectBoxAgreesWithGmp(PlusOneForm, 10, 1, 25, 2, 40, 1);
    ExpectBoxAgreesWithGmp(MinusOneForm, 6, 1, 25, 2, 40, 1);
}

// Cullen mode is the algebraic loop with k = n: over n = 1..900 it finds
// exactly the published Cullen and Woodall primes, each named as such.
TEST(CandidateHandlersBox, CullenAndWoodallRunsFindThePublishedPrimes) {
    const std::vector<uint32_t> cullen = {1, 141};
    const std::vector<uint32_t> woodall = {2, 3, 6, 30, 75, 81, 115, 123, 249, 362, 384, 462, 512, 751, 822};
    for (int form : {PlusOneForm, MinusOneForm}) {
        HandlerRun r(form, 2);
        r.job.a = 0;
        r.job.b = 1;
        r.job.c = 0;
        r.job.nMin = 1;
        r.job.nMax = 900;
        AlgebraicLoop(r.run);
        const int32_t c = form == PlusOneForm ? 1 : -1;
        std::vector<uint32_t> got;
        for (const auto& [k, n, cc] : r.announced())
            if (k == n && cc == c) got.push_back(n);
        std::sort(got.begin(), got.end());
        EXPECT_EQ(got, form == PlusOneForm ? cullen : woodall);
        const char* note = form == PlusOneForm ? " - Cullen (141*2^141 + 1) -\r\n" : " - Woodall (822*2^822 - 1) -\r\n";
        EXPECT_EQ(r.count(note), 1u);
    }
}

// Algebraic mode, k = 1 + n^2: every k*2^n + 1 GMP calls prime is announced.
TEST(CandidateHandlersBox, AlgebraicRunAgreesWithGmp) {
    HandlerRun r(PlusOneForm, 2);
    r.job.a = 1;
    r.job.b = 0;
    r.job.c = 1;
    r.job.nMin = 1;
    r.job.nMax = 150;
    AlgebraicLoop(r.run);
    const std::set<Found> got = r.announced();
    for (uint32_t n = 1; n <= 150; ++n) {
        const uint32_t k = 1 + n * n;
        if (n < 32 && k >= (1u << n)) continue;  // refused by the size check ("2 >= 2^1")
        EXPECT_EQ(got.count({k, n, 1}) == 1, GmpPrime({k, 2, n, 1})) << k << "*2^" << n << " + 1";
    }
    for (const auto& [k, n, cc] : got) EXPECT_TRUE(GmpPrime({k, 2, n, cc})) << k << "*2^" << n;
    EXPECT_EQ(r.count("Done.\r\n"), 1u);
}

// k and n of the first k*2^n - 1 (odd k from 3, n from 40) above which
// `wanted` says the neighbourhood has the relation looked for.
template <class Wanted>
std::pair<uint32_t, uint32_t> FirstWith(Wanted wanted) {
    for (uint32_t n = 40; n < 200; ++n)
        for (uint32_t k = 3; k < 2000; k += 2)
            if (wanted(k, n)) return {k, n};
    return {0, 0};
}

TEST(CandidateHandlersRelations, TwinReportedOnceAtTheSecondMember) {
    const auto [k, n] =
        FirstWith([](uint32_t k, uint32_t n) { return GmpPrime({k, 2, n, 1}) && GmpPrime({k, 2, n, -1}); });
    ASSERT_NE(k, 0u);
    HandlerRun r(PlusOneForm, 2);
    ASSERT_TRUE(r.candidate(k, n));
    EXPECT_EQ(r.count(" - Twin -\r\n"), 1u);
    const std::set<Found> got = r.announced();
    EXPECT_TRUE(got.count({k, n, 1}) && got.count({k, n, -1}));
    // The note follows the second member's prime line and goes to the results.
    const auto lines = r.lines();
    for (size_t i = 0; i < lines.size(); ++i)
        if (lines[i] == " - Twin -\r\n") {
            ASSERT_GT(i, 0u);
            EXPECT_NE(lines[i - 1].find(std::to_string(k) + "*2^" + std::to_string(n) + " - 1 is prime!"),
                      std::string::npos)
                << lines[i - 1];
        }
    EXPECT_NE(r.folder.read("Numen.txt").find(" - Twin -\n"), std::string::npos);

}

TEST(CandidateHandlersRelations, SophieGermainAndChainOfLengthThree) {
    // N = k*2^n - 1, 2N + 1 = k*2^(n+1) - 1 and 4N + 3 = k*2^(n+2) - 1 prime,
    // with (N - 1)/2 not prime so that N is the chain's first member.
    const auto [k, n] = FirstWith([](uint32_t k, uint32_t n) {
        return GmpPrime({k, 2, n, -1}) && GmpPrime({k, 2, n + 1, -1}) && GmpPrime({k, 2, n + 2, -1}) &&
               !GmpPrime({k, 2, n - 1, -1}) && !GmpPrime({k, 2, n + 3, -1});
    });
    ASSERT_NE(k, 0u);
    HandlerRun r(MinusOneForm, 2);
    ASSERT_TRUE(r.candidate(k, n));
    EXPECT_EQ(r.count(" - Sophie Germain -\r\n"), 1u);
    EXPECT_EQ(r.count(" - Cunningham chain of length 3 -\r\n"), 1u);
    EXPECT_EQ(r.count(" - Cunningham chain of length 4 -\r\n"), 0u);
}

TEST(CandidateHandlersRelations, ChainMembersAboveAPlusOnePrime) {
    // N = k*2^n + 1 prime and 2N + 1 = k*2^(n+1) + 3 prime: the chain member
    // is tested and closes a Sophie Germain pair.
    uint32_t k = 0, n = 0;
    for (uint32_t nn = 40; nn < 120 && k == 0; ++nn)
        for (uint32_t kk = 3; kk < 2000; kk += 2)
            if (GmpPrime({kk, 2, nn, 1}) && GmpPrime({kk, 2, nn + 1, 3})) {
                k = kk;
                n = nn;
                break;
            }
    ASSERT_NE(k, 0u);
    HandlerRun r(PlusOneForm, 2);
    ASSERT_TRUE(r.candidate(k, n));
    EXPECT_TRUE(r.announced().count({k, n + 1, 3})) << "chain member not announced";
    EXPECT_GE(r.count(" - Sophie Germain -\r\n"), 1u);
}

TEST(CandidateHandlersNeighbours, PlusTwoVisitsItsNeighboursInOrderAndStopsWhenAsked) {
    // A prime above the trial limit, so that it is tested and walked.
    uint32_t n = 60, k = 3;
    while (!GmpPrime({k, 2, n, 1})) k += 2;
    HandlerRun r(PlusOneForm, 2);
    ASSERT_TRUE(r.candidate(k, n));
    // The order is read from the first text of each neighbour (its trial
    // division or its factor 3).
    const std::string ks = std::to_string(k) + "*2^";
    const std::vector<std::string> want = {ks + std::to_string(n) + " - 1 ", ks + std::to_string(n + 1) + " + 3 ",
                                           ks + std::to_string(n + 1) + " + 1 ", ks + std::to_string(n - 1) + " + 1 "};
    std::vector<std::string> order;
    for (const std::string& t : r.sink.texts(PaneText))
        for (const std::string& w : want)
            if (t.rfind(w, 0) == 0 && std::find(order.begin(), order.end(), w) == order.end()) order.push_back(w);
    EXPECT_EQ(order, want);

    // A stop inside the walk returns false through every level.
    HandlerRun stopped(PlusOneForm, 2);
    stopped.job.running = false;
    EXPECT_FALSE(stopped.candidate(k, n));
}

TEST(CandidateHandlersOptions, OnlyFactorsAndMorehead) {
    HandlerRun r(PlusOneForm, 2);
    r.job.onlyFactors = true;
    uint32_t k = 3, n = 61;
    while (!GmpPrime({k, 2, n, 1})) k += 2;
    ASSERT_TRUE(r.candidate(k, n));
    EXPECT_EQ(r.count(std::to_string(k) + "*2^61 + 1 has no small factor.\r\n"), 1u);
    EXPECT_TRUE(r.announced().empty());

    HandlerRun m(PlusOneForm, 2);
    m.job.morehead = true;
    ASSERT_TRUE(m.candidate(3, 62));
    EXPECT_TRUE(m.sink.messages.empty());  // not even the position

    HandlerRun q(PlusOneForm, 2);
    ASSERT_TRUE(q.candidate(5, 62));  // 5*2^62 + 1: n even, k = 2 mod 3
    EXPECT_NE(q.lines().at(0).find("5*2^62 + 1 factor : 3"), std::string::npos) << q.lines().at(0);
}

TEST(CandidateHandlersResume, StageThreeSkipsTheTestOnlyForItsOwnCandidate) {
    // A divisibility record of another large candidate must not make this
    // one count as prime: 5*2^100003 + 1 (divisible by 7) goes through trial
    // division as a fresh candidate would.
    HandlerRun r(PlusOneForm, 2);
    r.job.trialLimit = {true, 1000};
    r.job.onlyFactors = true;
    BigInt two(2), three(3), five(5);
    ASSERT_TRUE(WriteDivisibilityRecord(r.folder.path(), 3, 7, 100003, 99000, 1003, two, three, five));
    SetResumeRequested(true);
    uint32_t k = 5;
    while (!(mpz_divisible_ui_p(CandidateValue({k, 2, 100003, 1}), 7) && k % 3 != 1)) k += 2;
    EXPECT_TRUE(r.candidate(k, 100003));
    SetResumeRequested(false);
    const auto lines = r.lines();
    ASSERT_FALSE(lines.empty());
    EXPECT_NE(lines[0].find("factor : 7"), std::string::npos) << lines[0];
    for (const std::string& l : lines) EXPECT_EQ(l.find("doesn't divide"), std::string::npos) << l;
}

}  // namespace
}  // namespace numen
