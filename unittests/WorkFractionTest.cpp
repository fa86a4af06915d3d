// WorkFraction: the percentage read from the progress texts the runs really
// post, other pane texts ignored, and a fraction over the list that grows
// with lines and tests and never goes back.
#include <gtest/gtest.h>

#include "arith/Candidate.h"
#include "report/ProgressLines.h"
#include "shell/console/boinc/WorkFraction.h"

namespace numen {
namespace {

TEST(WorkFractionTest, ProgressPercentReadsTheRunsOwnTextsAndNothingElse) {
    const std::string stem = PowerProgressStem(Candidate{3, 2, 110000, 1});
    EXPECT_DOUBLE_EQ(*ProgressPercent(UntimedProgressText(stem, 12.5)), 12.5);
    EXPECT_DOUBLE_EQ(*ProgressPercent(TimedProgressText(stem, 99.25, 125)), 99.25);
    EXPECT_DOUBLE_EQ(*ProgressPercent(UntimedProgressText(GfnProgressStem(1361846, 65536), 0.0)), 0.0);
    EXPECT_DOUBLE_EQ(*ProgressPercent(UntimedProgressText(CyclotomicProgressStem(5, 1000), 50.0)), 50.0);

    EXPECT_FALSE(ProgressPercent(""));
    EXPECT_FALSE(ProgressPercent("45*2^200 + 1 is prime! (a = 7) [62 digits]\r\n"));
    EXPECT_FALSE(ProgressPercent("3*2^2 + 1 is prime! (a = 2) [2 digits]"));   // no percent sign
    EXPECT_FALSE(ProgressPercent(LucasProgressStem(3, 2, 120000)));           // the bare stem of a Lucas run
    EXPECT_FALSE(ProgressPercent("x [%]"));
}

TEST(WorkFractionTest, LinesAndTheRunningTestAddUpAndNeverGoBack) {
    WorkFraction f(4);
    EXPECT_DOUBLE_EQ(f.value(), 0.0);
    f.candidatePercent(50);
    EXPECT_DOUBLE_EQ(f.value(), 0.125);
    f.candidatePercent(100);   // the test ends, the verification starts again at 0 %
    f.candidatePercent(10);
    EXPECT_DOUBLE_EQ(f.value(), 0.25);
    f.linesDone(1);            // the next line: its own share starts from 0
    EXPECT_DOUBLE_EQ(f.value(), 0.25);
    f.candidatePercent(40);
    EXPECT_DOUBLE_EQ(f.value(), 0.35);
    f.linesDone(0);            // a restart that reports fewer lines cannot lower it
    EXPECT_DOUBLE_EQ(f.value(), 0.35);
    f.linesDone(4);
    f.candidatePercent(80);    // the related primes after the last line
    EXPECT_DOUBLE_EQ(f.value(), 1.0);
    f.linesDone(9);            // a list longer than counted stays at 1
    EXPECT_DOUBLE_EQ(f.value(), 1.0);
}

TEST(WorkFractionTest, ARunWithoutListOrWithAnEmptyCountIsOneLine) {
    WorkFraction f(0);
    f.candidatePercent(250);   // clamped
    EXPECT_DOUBLE_EQ(f.value(), 1.0);
    WorkFraction g(1);
    g.candidatePercent(-5);
    EXPECT_DOUBLE_EQ(g.value(), 0.0);
}

}  // namespace
}  // namespace numen
