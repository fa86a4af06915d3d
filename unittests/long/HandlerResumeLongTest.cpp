// A large candidate stopped in the middle of its test and continued through
// the handlers, as a Continue after a crash or a signal does: the verdict
// lines are those of an uninterrupted run, and the continued power run
// shows a first percentage above 0 (it took up its checkpoint rather than
// starting over). Generalized Fermat numbers keep their transform state in
// a second file; numbers k*b^n + 1 of another base use radix records.
#include <gtest/gtest.h>

#include <regex>
#include <string>
#include <vector>

#include "ref/GmpOracle.h"
#include "ref/TempFolder.h"
#include "report/RecordingSink.h"
#include "search/CandidateHandlers.h"
#include "search/CheckpointFile.h"
#include "sieve/SmallPrimes.h"

namespace numen {
namespace {

// Clears the running flag at the given progress text, as a stop would.
class StoppingSink final : public RecordingSink {
public:
    explicit StoppingSink(std::atomic<bool>& running) : running_(running) {}
    void post(int kind, std::string_view text) override {
        RecordingSink::post(kind, text);
        if (kind == PaneText && text.find("Computing power [") != std::string_view::npos && ++seen_ == stopAt)
            running_ = false;
    }
    int stopAt = 0;   // 0: never

private:
    std::atomic<bool>& running_;
    int seen_ = 0;
};

struct Attempt {
    SearchJob job;
    StoppingSink sink{job.running};
    ResultLog log;
    SearchRun run{job, log, {}, {}, {}};

    Attempt(const testing::TempFolder& folder, int form, uint32_t base, int stopAt) : log(&sink, folder.path()) {
        job.testForm = form;
        job.base = base;
        job.running = true;
        job.rangeInfo = false;
        job.live.nbIter.store(200);
        job.trialLimit = {true, 1000};
        log.setOptions({true, false, false});   // composite and factor lines too
        sink.stopAt = stopAt;
        run.handlers = SearchHandlers(run);
        InitSmallPrimes();
    }
    bool candidate(uint32_t k, uint32_t n) {
        run.found.clear();
        return SelectHandler(run.handlers, job.testForm, job.base)(k, n, 0, true);
    }
    // The lines that stay, without the round-off figures (a resumed run's
    // error covers only its own steps).
    std::vector<std::string> verdicts() const {
        static const std::regex kErr(R"(, err = [0-9.e+-]+)");
        std::vector<std::string> out;
        for (const std::string& t : sink.texts(PaneText))
            if (t.ends_with("\r\n")) out.push_back(std::regex_replace(t, kErr, ""));
        return out;
    }
    double firstPercent() const {
        static const std::regex kPercent(R"(Computing power \[([0-9.]+)%)");
        for (const std::string& t : sink.texts(PaneText)) {
            std::smatch m;
            if (std::regex_search(t, m, kPercent)) return std::stod(m[1]);
        }
        return -1;
    }
};

// Uninterrupted, then stopped at each given progress text and continued.
void ExpectResumedVerdictsAgree(int form, uint32_t base, uint32_t k, uint32_t n, std::vector<int> stops) {
    testing::TempFolder whole;
    Attempt reference(whole, form, base, 0);
    ASSERT_TRUE(reference.candidate(k, n));
    const std::vector<std::string> expected = reference.verdicts();
    ASSERT_FALSE(expected.empty());

    testing::TempFolder folder;
    std::vector<std::string> got;
    bool resumed = false;
    for (size_t attempt = 0; attempt <= stops.size(); ++attempt) {
        SetResumeRequested(resumed);
        Attempt a(folder, form, base, attempt < stops.size() ? stops[attempt] : 0);
        const bool finished = a.candidate(k, n);
        if (resumed) {
            EXPECT_GT(a.firstPercent(), 0.0) << "attempt " << attempt << " started over";
        }
        for (const std::string& line : a.verdicts()) got.push_back(line);
        EXPECT_EQ(finished, attempt == stops.size()) << "attempt " << attempt;
        resumed = true;
    }
    SetResumeRequested(false);
    EXPECT_EQ(got, expected);
}

// 67234^16384 + 1 (262k bits) is prime: stopped once in its probable-prime
// run and once in the run of its proof.
TEST(HandlerResumeLong, GeneralizedFermatPrimeStoppedTwice) {
    ExpectResumedVerdictsAgree(GfnForm, 2, 67234, 16384, {20, 30});
}

// A base-3 candidate k*3^63103 + 1 just above the large-number size, with
// no factor below the trial limit, stopped in its probable-prime run.
TEST(HandlerResumeLong, BaseThreeCandidateStoppedOnce) {
    uint32_t k = 2;
    for (;; k += 2) {
        if (k % 3 == 0) continue;
        testing::Mpz N = testing::CandidateValue({k, 3, 63103, 1});
        bool divided = false;
        for (unsigned long p = 5; p < 1000 && !divided; p += 2) divided = mpz_divisible_ui_p(N.v, p) != 0;
        if (!divided) break;
    }
    ExpectResumedVerdictsAgree(PlusOneForm, 3, k, 63103, {20});
}

}  // namespace
}  // namespace numen
