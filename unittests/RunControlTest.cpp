// RunControl with handlers of the test's own: the loop of each mode runs on
// the worker, the posted position and the running state reach "Numen.ini"
// as they are posted, a stop keeps Running for the next start, and the ends
// (done, error line, stopped) are told apart.
#include <gtest/gtest.h>

#include <filesystem>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "arith/ArithmeticFault.h"
#include "platform/Priority.h"
#include "ref/TempFolder.h"
#include "search/CheckpointFile.h"
#include "shell/RunControl.h"

namespace numen {
namespace {

class RecordingOutput final : public RunOutput {
public:
    void showPaneText(std::string_view text) override {
        std::lock_guard lock(mutex);
        texts.emplace_back(text);
    }
    void showBlockingMessage(std::string_view, const std::atomic<bool>&) override {}
    void showPosition(int kind, std::string_view text) override {
        std::lock_guard lock(mutex);
        positions.emplace_back(std::to_string(kind) + ":" + std::string(text));
    }
    void runEnded() override { ++ends; }
    std::vector<std::string> positions;
    std::atomic<int> ends{0};
    std::vector<std::string> lines() {
        std::lock_guard lock(mutex);
        return texts;
    }
    std::mutex mutex;
    std::vector<std::string> texts;
};

// Every candidate posts its position, as the real handlers do, and is
// recorded; `onCandidate` may stop or fail the run.
struct FakeHandlers {
    std::vector<std::pair<uint32_t, uint32_t>> seen;   // (k, n)
    std::function<bool(SearchRun&, uint32_t k, uint32_t n)> onCandidate = [](SearchRun&, uint32_t, uint32_t) {
        return true;
    };

    HandlerFactory factory() {
        return [this](SearchRun& run) {
            CandidateHandlers h;
            h.checkPlus2 = [this, &run](uint32_t k, uint32_t n, uint32_t, bool) {
                run.log.PostToWindow(std::to_string(n), CurrentN);
                run.log.PostToWindow(std::to_string(k), CurrentK);
                seen.emplace_back(k, n);
                return onCandidate(run, k, n);
            };
            h.checkMinus2 = h.checkPlusB = h.checkMinusB = h.checkGfn = h.checkAny = h.checkPlus2;
            return h;
        };
    }
};

class RunControlTest : public ::testing::Test {
protected:
    Settings Range(int mode, uint32_t nMin, uint32_t nMax, uint32_t kMin, uint32_t kMax) {
        Settings s;
        s.Mode1 = mode;
        s.Mode2 = PlusOneForm;
        s.File = 0;
        s.nMin = nMin;
        s.nMax = nMax;
        s.kMin = kMin;
        s.kMax = kMax;
        s.kStep = 2;
        s.WThreadPriority = 1;   // a test worker competes with other tests
        return s;
    }
    Settings Stored() { return ReadSettings(ini); }

    testing::TempFolder temp;
    IniFile ini{temp.path()};
    RecordingOutput output;
    FakeHandlers handlers;
};

// "Lowest" puts the worker under SCHED_IDLE, "normal" leaves it as the
// starting thread is.
TEST_F(RunControlTest, WorkerPriorityFollowsTheSetting) {
    for (int setting : {0, 1}) {
        bool idle = setting == 1;
        handlers.onCandidate = [&idle](SearchRun&, uint32_t, uint32_t) {
            idle = CurrentThreadIdle();
            return true;
        };
        Settings s = Range(StandardMode, 2, 2, 3, 3);
        s.WThreadPriority = setting;
        RunControl control(temp.path(), s, output, handlers.factory());
        ASSERT_EQ(control.StartRun(false), StartResult::Started);
        control.Wait();
        EXPECT_EQ(idle, setting == 0) << "WThreadPriority=" << setting;
    }
    EXPECT_FALSE(CurrentThreadIdle());
}

TEST_F(RunControlTest, StartWalksTheRangeAndStoresPositionAndEnd) {
    RunControl control(temp.path(), Range(StandardMode, 0, 3, 4, 6), output, handlers.factory());
    ASSERT_EQ(control.StartRun(false), StartResult::Started);
    control.Wait();
    EXPECT_EQ(control.LastEnd(), RunEnd::ByItself);
    // Normalised: n from 2, odd k 5..7.
    const std::vector<std::pair<uint32_t, uint32_t>> expected = {{5, 2}, {7, 2}, {5, 3}, {7, 3}};
    EXPECT_EQ(handlers.seen, expected);
    Settings stored = Stored();
    EXPECT_EQ(stored.nMin, 2u);
    EXPECT_EQ(stored.kMin, 5u);
    EXPECT_EQ(stored.kMax, 7u);
    EXPECT_EQ(stored.n, "3");
    EXPECT_EQ(stored.k, "7");
    EXPECT_EQ(stored.Running, 0);
    EXPECT_FALSE(ResumeRequested());
    const std::vector<std::string> lines = output.lines();
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(lines.front(), "Start: For n=2 to 3, For k=5 to 7 step 2, k*2^n+1.\r\n");
    EXPECT_EQ(lines.back(), "Done.\r\n");   // "cestfini" is not shown
}

// The JsonResults key reaches the worker's log: a search writes
// "Numen.json" only while it is set.
TEST_F(RunControlTest, JsonResultsTurnsTheMachineReadableFileOnAndOff) {
    handlers.onCandidate = [](SearchRun& run, uint32_t k, uint32_t n) {
        run.log.AnnouncePrime(Candidate{k, 2, n, 1}, 0, 0, false, false);
        return true;
    };
    for (int setting : {0, 1}) {
        Settings s = Range(StandardMode, 2, 2, 3, 3);   // 3*2^2 + 1 = 13
        s.JsonResults = setting;
        RunControl control(temp.path(), s, output, handlers.factory());
        ASSERT_EQ(control.StartRun(false), StartResult::Started);
        control.Wait();
        EXPECT_EQ(std::filesystem::exists(temp / "Numen.json"), setting == 1) << "JsonResults=" << setting;
    }
    EXPECT_NE(temp.read("Numen.json").find("\"candidate\":\"3*2^2+1\""), std::string::npos);
}

TEST_F(RunControlTest, InterruptKeepsRunningAndThePositionForContinue) {
    handlers.onCandidate = [](SearchRun& run, uint32_t k, uint32_t n) {
        if (k == 7 && n == 2) {   // a long test, stopped from outside at its next poll
            while (run.job.running.load()) std::this_thread::yield();
            return false;
        }
        return true;
    };
    RunControl control(temp.path(), Range(StandardMode, 2, 3, 5, 7), output, handlers.factory());
    ASSERT_EQ(control.StartRun(false), StartResult::Started);
    while (Stored().k != "7") std::this_thread::yield();
    EXPECT_EQ(Stored().Running, 1);
    control.Interrupt();
    control.Wait();
    EXPECT_EQ(control.LastEnd(), RunEnd::Stopped);
    EXPECT_EQ(Stored().Running, 1);
    EXPECT_EQ(output.lines().back(), "Stop: n=2, k=7.\r\n");

    // Continue from the stored position: the interrupted candidate first, with the resume asked for.
    handlers.seen.clear();
    handlers.onCandidate = [](SearchRun&, uint32_t, uint32_t) { return true; };
    Settings resumed = Range(StandardMode, 2, 3, 5, 7);
    resumed.n = Stored().n;
    resumed.k = Stored().k;
    RunControl again(temp.path(), resumed, output, handlers.factory());
    ASSERT_EQ(again.StartRun(true), StartResult::Started);
    EXPECT_TRUE(ResumeRequested());
    again.Wait();
    const std::vector<std::pair<uint32_t, uint32_t>> expected = {{7, 2}, {5, 3}, {7, 3}};
    EXPECT_EQ(handlers.seen, expected);
    EXPECT_EQ(Stored().Running, 0);
    SetResumeRequested(false);
}

TEST_F(RunControlTest, StopClearsRunningInTheFile) {
    handlers.onCandidate = [](SearchRun& run, uint32_t, uint32_t) {
        while (run.job.running.load()) std::this_thread::yield();
        return false;
    };
    RunControl control(temp.path(), Range(StandardMode, 2, 3, 5, 7), output, handlers.factory());
    ASSERT_EQ(control.StartRun(false), StartResult::Started);
    while (Stored().k != "5") std::this_thread::yield();
    control.Stop();
    control.Wait();
    EXPECT_EQ(control.LastEnd(), RunEnd::Stopped);
    EXPECT_EQ(Stored().Running, 0);
}

TEST_F(RunControlTest, ArithmeticFaultEndsTheRunWithTheErrorLine) {
    handlers.onCandidate = [](SearchRun&, uint32_t, uint32_t) -> bool { throw ArithmeticFault("checksum"); };
    RunControl control(temp.path(), Range(StandardMode, 2, 3, 5, 7), output, handlers.factory());
    ASSERT_EQ(control.StartRun(false), StartResult::Started);
    control.Wait();
    EXPECT_EQ(control.LastEnd(), RunEnd::Error);
    EXPECT_EQ(output.lines().back(), std::string(kArithmeticErrorLine));
    EXPECT_EQ(Stored().Running, 0);
}

// A reported factor that does not divide ends the run the way a finished
// one ends ("cestfini"), but it is an arithmetic failure, not a finished run.
TEST_F(RunControlTest, AFactorThatDoesNotDivideIsAnError) {
    handlers.onCandidate = [](SearchRun& run, uint32_t, uint32_t) {
        run.log.ReportFactor({1, 2, 11, -1}, 29);   // 2047 = 23 * 89
        return run.job.running.load();
    };
    RunControl control(temp.path(), Range(StandardMode, 2, 3, 5, 7), output, handlers.factory());
    ASSERT_EQ(control.StartRun(false), StartResult::Started);
    control.Wait();
    EXPECT_EQ(control.LastEnd(), RunEnd::Error);
    EXPECT_EQ(handlers.seen.size(), 1u);
    EXPECT_EQ(Stored().Running, 0);
}

// The window hears of each stored position and of the end; its own changes
// are written, but never over what a running worker stored.
TEST_F(RunControlTest, PositionsEndsAndTheFrontEndsChanges) {
    RunControl control(temp.path(), Range(StandardMode, 2, 2, 5, 7), output, handlers.factory());
    ASSERT_EQ(control.StartRun(false), StartResult::Started);
    control.Wait();
    EXPECT_EQ(output.positions, (std::vector<std::string>{"1:2", "2:5", "1:2", "2:7", "1:2", "2:7"}));
    EXPECT_EQ(output.ends.load(), 1);

    Settings changed = control.settings();
    changed.Info = 0;
    changed.n = "99";
    control.ChangeSettings(changed);
    EXPECT_EQ(Stored().Info, 0);
    EXPECT_EQ(Stored().n, "99");   // no worker: taken as given

    std::atomic<bool> release{false};
    handlers.onCandidate = [&release](SearchRun&, uint32_t, uint32_t) {
        while (!release) std::this_thread::yield();
        return true;
    };
    ASSERT_EQ(control.StartRun(false), StartResult::Started);
    while (Stored().k != "5") std::this_thread::yield();
    Settings during = control.settings();
    during.n = "1234";
    during.Screen = 1;
    control.ChangeSettings(during);
    release = true;
    control.Wait();
    EXPECT_EQ(Stored().Screen, 1);
    EXPECT_EQ(Stored().n, "2");
}

TEST_F(RunControlTest, CullenTakesKEqualToNAndMovesNMinAlong) {
    Settings s = Range(CullenMode, 10, 12, 3, 3);
    s.a = 5;   // overridden: Cullen numbers have k = n
    s.b = 7;
    RunControl control(temp.path(), s, output, handlers.factory());
    ASSERT_EQ(control.StartRun(false), StartResult::Started);
    control.Wait();
    const std::vector<std::pair<uint32_t, uint32_t>> expected = {{10, 10}, {11, 11}, {12, 12}};
    EXPECT_EQ(handlers.seen, expected);
    EXPECT_EQ(Stored().nMin, 12u);
    EXPECT_EQ(output.lines().front(), "Start: For n=10 to 12, Cullen, k*2^n+1.\r\n");
}

TEST_F(RunControlTest, RefusalsStartNothing) {
    Settings outside = Range(StandardMode, 2, 3, 5, 7);
    outside.n = "9";
    outside.k = "5";
    RunControl control(temp.path(), outside, output, handlers.factory());
    EXPECT_EQ(control.StartRun(true), StartResult::OutOfRange);
    EXPECT_EQ(Stored().nMin, 2u);   // normalised and written back all the same
    EXPECT_EQ(Stored().Running, 0);

    EXPECT_TRUE(handlers.seen.empty());
    EXPECT_TRUE(output.lines().empty());
}

// File mode: Start begins the list again, Continue keeps its line. The Test
// and benchmark commands take the settings as they are.
TEST_F(RunControlTest, ListLineAndCommandsWithoutNormalisation) {
    Settings s = Range(FileMode, 2, 3, 5, 7);
    s.FileLine = 7;
    s.VerifierFilename = "list.txt";
    {
        RunControl control(temp.path(), s, output, handlers.factory());
        ASSERT_EQ(control.StartRun(true), StartResult::Started);
        EXPECT_EQ(control.job().listFile, "list.txt");
        control.Wait();
        EXPECT_EQ(Stored().FileLine, 7);
        ASSERT_EQ(control.StartRun(false), StartResult::Started);
        control.Wait();
        EXPECT_EQ(Stored().FileLine, 0);
    }
    testing::TempFolder other;
    Settings raw = Range(StandardMode, 0, 3, 4, 6);   // nMin 0 would be normalised to 2
    RunControl control(other.path(), raw, output, handlers.factory());
    ASSERT_EQ(control.StartCommand(WorkerCommand::SelfTest), StartResult::Started);
    control.Wait();
    EXPECT_EQ(control.LastEnd(), RunEnd::ByItself);
    const std::string ini = other.read("Numen.ini");
    EXPECT_EQ(ini.find("nMin="), std::string::npos) << ini;
    // A self-test or benchmark is never continued at the next start, and
    // leaves the mark of an interrupted search alone.
    EXPECT_EQ(ini.find("Running="), std::string::npos) << ini;
    Settings interrupted = raw;
    interrupted.Running = 1;
    control.ChangeSettings(interrupted);
    ASSERT_EQ(control.StartCommand(WorkerCommand::SelfTest), StartResult::Started);
    control.Wait();
    EXPECT_NE(other.read("Numen.ini").find("Running=1"), std::string::npos);
}

}  // namespace
}  // namespace numen
