// The standard and algebraic loops with recording handlers: opening lines,
// the order of candidates, Continue, the four ways a run ends.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <utility>
#include <vector>

#include "ref/SlotHandlers.h"
#include "arith/ArithmeticFault.h"
#include "report/RecordingSink.h"
#include "ref/TempFolder.h"
#include "search/SearchRun.h"

namespace numen {
namespace {

using Visit = std::pair<uint32_t, uint32_t>;  // (k, n)

// A run whose handlers record every call; `stopAt` makes one return false,
// as a handler does when the running flag was cleared.
struct RecordingRun {
    testing::TempFolder folder;
    RecordingSink sink;
    ResultLog log{&sink, folder.path()};
    SearchJob job;
    std::vector<Visit> visits;
    std::vector<char> handlerUsed;  // which slot handled each call
    Visit stopAt{0, 0};
    bool throwFault = false;

    CandidateHandler recorder(char slot) {
        return [this, slot](uint32_t k, uint32_t n, uint32_t depth, bool verify) {
            EXPECT_EQ(depth, 0u);
            EXPECT_TRUE(verify);
            visits.push_back({k, n});
            handlerUsed.push_back(slot);
            if (throwFault) throw ArithmeticFault("checksum");
            return Visit{k, n} != stopAt;
        };
    }

    SearchRun make() {
        return SearchRun{job, log, testing::SlotHandlers([this](char slot) { return recorder(slot); }), {}, {}};
    }

    std::string logFile() const {
        std::ifstream in(folder / "Numen.log");
        std::stringstream s;
        s << in.rdbuf();
        return s.str();
    }
};

void SetRange(SearchJob& job, uint32_t nMin, uint32_t nMax, uint32_t kMin, uint32_t kMax, uint32_t kStep) {
    job.nMin = nMin;
    job.nMax = nMax;
    job.kMin = kMin;
    job.kMax = kMax;
    job.kStep = kStep;
}

TEST(SearchLoopsOpeningLines, StandardForms) {
    SearchJob job;
    SetRange(job, 1000, 2000, 3, 99, 2);
    EXPECT_EQ(StandardOpeningLine(job), "Start: For n=1000 to 2000, For k=3 to 99 step 2, k*2^n+1.\r\n");
    job.continueRun = true;
    job.currentN = 1500;
    job.currentK = 41;
    EXPECT_EQ(StandardOpeningLine(job),
              "Continue: n=1500, k=41, For n=1000 to 2000, For k=3 to 99 step 2, k*2^n+1.\r\n");
    job.continueRun = false;
    job.base = 10;
    job.testForm = MinusOneForm;
    EXPECT_EQ(StandardOpeningLine(job), "Start: For n=1000 to 2000, For k=3 to 99 step 2, k*10^n-1.\r\n");
    job.testForm = GfnForm;
    EXPECT_EQ(StandardOpeningLine(job), "Start: For n=1000 to 2000, For k=3 to 99 step 2, GFN.\r\n");
}

TEST(SearchLoopsOpeningLines, AlgebraicForms) {
    SearchJob job;
    job.nMin = 100;
    job.nMax = 5000;
    job.a = 0, job.b = 1, job.c = 0;
    EXPECT_EQ(AlgebraicOpeningLine(job), "Start: For n=100 to 5000, Cullen, k*2^n+1.\r\n");
    job.nMin = 10, job.nMax = 20, job.testForm = MinusOneForm;
    EXPECT_EQ(AlgebraicOpeningLine(job), "Start: For n=10 to 20, Woodall, k*2^n-1.\r\n");
    job.testForm = AnyForm;
    EXPECT_EQ(AlgebraicOpeningLine(job), "Start: For n=10 to 20,Any.\r\n");
    job.testForm = PlusOneForm;
    job.b = 3;
    EXPECT_EQ(AlgebraicOpeningLine(job), "Start: For n=10 to 20, k=3*n, k*2^n+1.\r\n");
    job.a = -5;
    job.continueRun = true;
    job.currentN = 12;
    EXPECT_EQ(AlgebraicOpeningLine(job), "Continue: n=12, For n=10 to 20, k=-5+3*n, k*2^n+1.\r\n");
    job.c = 2;
    EXPECT_EQ(AlgebraicOpeningLine(job), "Continue: n=12, For n=10 to 20, k=-5+3*n+2*n^2, k*2^n+1.\r\n");
}

TEST(SearchLoopsStandard, WalksNOuterKInnerAndEndsWithDone) {
    RecordingRun r;
    SetRange(r.job, 5, 6, 3, 7, 2);
    SearchRun run = r.make();
    EXPECT_EQ(StandardLoop(run), 0);
    const std::vector<Visit> want = {{3, 5}, {5, 5}, {7, 5}, {3, 6}, {5, 6}, {7, 6}};
    EXPECT_EQ(r.visits, want);
    EXPECT_EQ(std::string(r.handlerUsed.begin(), r.handlerUsed.end()), "pppppp");
    const std::vector<RecordingSink::Message> tail = {
        {CurrentN, "6"}, {CurrentK, "7"}, {PaneText, "Done.\r\n"}, {PaneText, "cestfini"}};
    ASSERT_GE(r.sink.messages.size(), tail.size());
    EXPECT_TRUE(std::equal(tail.begin(), tail.end(), r.sink.messages.end() - tail.size()));
    EXPECT_EQ(r.logFile(), "Start: For n=5 to 6, For k=3 to 7 step 2, k*2^n+1.\nDone.\n");
}

TEST(SearchLoopsStandard, MultiplesOfTheBaseAreSkippedForPlusAndMinusForms) {
    RecordingRun r;
    r.job.base = 10;
    SetRange(r.job, 2, 2, 10, 21, 1);
    SearchRun run = r.make();
    StandardLoop(run);
    ASSERT_EQ(r.visits.size(), 10u);  // 10 and 20 passed over
    EXPECT_EQ(r.visits.front(), Visit(11, 2));
    EXPECT_EQ(r.handlerUsed.front(), 'P');

    RecordingRun g;
    g.job.base = 10;
    g.job.testForm = GfnForm;
    SetRange(g.job, 2, 2, 10, 12, 1);
    SearchRun gRun = g.make();
    StandardLoop(gRun);
    EXPECT_EQ(g.visits.size(), 3u);  // every k for the generalized Fermat form
    EXPECT_EQ(g.handlerUsed.front(), 'g');
}

TEST(SearchLoopsStandard, ContinueStartsAtTheSavedCandidateThenRestartsK) {
    RecordingRun r;
    SetRange(r.job, 1000, 1001, 3, 99, 2);
    r.job.continueRun = true;
    r.job.currentN = 1000;
    r.job.currentK = 95;
    SearchRun run = r.make();
    StandardLoop(run);
    ASSERT_GE(r.visits.size(), 4u);
    EXPECT_EQ(r.visits[0], Visit(95, 1000));
    EXPECT_EQ(r.visits[1], Visit(97, 1000));
    EXPECT_EQ(r.visits[2], Visit(99, 1000));
    EXPECT_EQ(r.visits[3], Visit(3, 1001));
    EXPECT_EQ(r.sink.texts().front(), "Continue: n=1000, k=95, For n=1000 to 1001, For k=3 to 99 step 2, k*2^n+1.\r\n");
}

TEST(SearchLoopsStandard, KWrapsAroundAtTheTopOfTheWordRange) {
    RecordingRun r;
    SetRange(r.job, 7, 8, 4294967291u, 4294967295u, 2);
    SearchRun run = r.make();
    StandardLoop(run);
    const std::vector<Visit> want = {{4294967291u, 7}, {4294967293u, 7}, {4294967295u, 7},
                                     {4294967291u, 8}, {4294967293u, 8}, {4294967295u, 8}};
    EXPECT_EQ(r.visits, want);
}

TEST(SearchLoopsStandard, StopPrintsTheStopLineOnlyWithRangeInfo) {
    RecordingRun r;
    SetRange(r.job, 10, 12, 1, 9, 2);
    r.stopAt = {5, 11};
    SearchRun run = r.make();
    StandardLoop(run);
    EXPECT_EQ(r.visits.back(), Visit(5, 11));
    EXPECT_EQ(r.sink.texts().back(), "Stop: n=11, k=5.\r\n");
    EXPECT_NE(r.logFile().find("Stop: n=11, k=5.\n"), std::string::npos);

    RecordingRun quiet;
    SetRange(quiet.job, 10, 12, 1, 9, 2);
    quiet.job.rangeInfo = false;
    quiet.stopAt = {5, 11};
    SearchRun quietRun = quiet.make();
    StandardLoop(quietRun);
    EXPECT_TRUE(quiet.sink.messages.empty());  // no line, and no "cestfini"
    EXPECT_FALSE(std::filesystem::exists(quiet.folder / "Numen.log"));
}

TEST(SearchLoopsStandard, ArithmeticFaultEndsTheRunAndDeletesCheckpoints) {
    RecordingRun r;
    SetRange(r.job, 10, 12, 1, 9, 2);
    r.throwFault = true;
    std::ofstream(r.folder / "Numen.dta") << "x";
    std::ofstream(r.folder / "Numen.dtf") << "x";
    SearchRun run = r.make();
    EXPECT_EQ(StandardLoop(run), 0);
    EXPECT_EQ(r.visits.size(), 1u);
    const std::vector<std::string> tail = {"Error!!! (rounding or checksum or not enough memory.)\r\n", "cestfini"};
    const std::vector<std::string> pane = r.sink.texts();
    ASSERT_GE(pane.size(), 2u);
    EXPECT_EQ(std::vector<std::string>(pane.end() - 2, pane.end()), tail);
    EXPECT_FALSE(std::filesystem::exists(r.folder / "Numen.dta"));
    EXPECT_FALSE(std::filesystem::exists(r.folder / "Numen.dtf"));
    EXPECT_EQ(r.logFile().find("Error"), std::string::npos);  // pane only
}

TEST(SearchLoopsAlgebraic, CullenWalksKEqualsNAndEndsWithDone) {
    RecordingRun r;
    r.job.mode = CullenMode;
    r.job.a = 0, r.job.b = 1, r.job.c = 0;
    r.job.nMin = 10, r.job.nMax = 13;
    r.job.base = 10;
    SearchRun run = r.make();
    AlgebraicLoop(run);
    const std::vector<Visit> want = {{10, 10}, {11, 11}, {12, 12}, {13, 13}};
    EXPECT_EQ(r.visits, want);  // k = 10, 12 tested although divisible by the base
    const std::vector<RecordingSink::Message> tail = {{CurrentN, "13"}, {PaneText, "Done.\r\n"}, {PaneText, "cestfini"}};
    EXPECT_TRUE(std::equal(tail.begin(), tail.end(), r.sink.messages.end() - tail.size()));
    EXPECT_TRUE(r.sink.texts(CurrentK).empty());
}

TEST(SearchLoopsAlgebraic, PolynomialValuesContinueAndStop) {
    RecordingRun r;
    r.job.a = 7, r.job.b = -3, r.job.c = 2;  // k = 2n^2 - 3n + 7
    r.job.nMin = 1, r.job.nMax = 6;
    r.job.continueRun = true;
    r.job.currentN = 3;
    r.stopAt = {2 * 25 - 15 + 7, 5};
    SearchRun run = r.make();
    AlgebraicLoop(run);
    const std::vector<Visit> want = {{16, 3}, {27, 4}, {42, 5}};
    EXPECT_EQ(r.visits, want);
    EXPECT_EQ(r.sink.texts().back(), "Stop: n=5.\r\n");
}

TEST(SearchLoopsAlgebraic, KOutOfRangeEndsTheRunWithoutStopLine) {
    RecordingRun r;
    r.job.a = -100, r.job.b = 0, r.job.c = 1;
    r.job.nMin = 5, r.job.nMax = 20;
    SearchRun run = r.make();
    AlgebraicLoop(run);
    EXPECT_TRUE(r.visits.empty());
    const std::vector<std::string> pane = r.sink.texts();
    ASSERT_EQ(pane.size(), 3u);
    EXPECT_EQ(pane[1], "k is out of range.\r\n");
    EXPECT_EQ(pane[2], "cestfini");
    EXPECT_EQ(r.logFile().find("out of range"), std::string::npos);

    // Above 2^31 - 1: c*n^2 exceeds the 32-bit range.
    RecordingRun big;
    big.job.a = 0, big.job.b = 0, big.job.c = 65536;
    big.job.nMin = 181, big.job.nMax = 183;
    SearchRun bigRun = big.make();
    AlgebraicLoop(bigRun);
    EXPECT_EQ(big.visits.size(), 1u);  // 65536*181^2 fits, 65536*182^2 does not
    EXPECT_EQ(big.sink.texts()[big.sink.texts().size() - 2], "k is out of range.\r\n");
}

TEST(FoundListTest, RecordsUpToItsCapacityAndFindsEntries) {
    FoundList list;
    for (uint32_t i = 0; i < FoundList::kCapacity; ++i) EXPECT_TRUE(list.append({i, 2, 10, 1}));
    EXPECT_FALSE(list.append({999, 2, 10, 1}));
    EXPECT_EQ(list.count(), FoundList::kCapacity);
    EXPECT_TRUE(list.contains({63, 2, 10, 1}));
    EXPECT_FALSE(list.contains({63, 2, 10, -1}));
    EXPECT_FALSE(list.contains({999, 2, 10, 1}));
    list.clear();
    EXPECT_FALSE(list.contains({0, 2, 10, 1}));
}

}  // namespace
}  // namespace numen
