#include "search/CandidateHandlers.h"

#include <memory>
#include <string>

#include "report/ResultLines.h"
#include "report/ResultLogTrialReport.h"
#include "search/CheckpointFile.h"
#include "search/FolderCheckpoint.h"
#include "search/RelatedPrimes.h"
#include "sieve/TrialDivide.h"
#include "tests/ChainMemberTest.h"
#include "tests/FermatDivisibility.h"
#include "tests/GfnTest.h"
#include "tests/MinusOneTest.h"
#include "tests/PlusOneTest.h"

namespace numen {

namespace {

// Stages of the checkpoint record at which a resumed candidate re-enters.
constexpr uint32_t kStageProofBase2First = 1, kStageProofBase2Second = 2, kStageDivisibility = 3;
constexpr uint32_t kStageEulerMinus = 4, kStageProbable = 5, kStageProofFirst = 6, kStageProofSecond = 7;

// 2k must stay below 2^31 - 1 for the doubled neighbour.
constexpr uint32_t kLargestDoubledK = 1073741823;

class Handlers {
public:
    explicit Handlers(SearchRun& run)
        : run_(run),
          job_(run.job),
          log_(run.log),
          checkpoint_(run.log.folder(), &run.log),
          context_{run.log, run.job.running, run.job.live,
                   run.checkpoint ? run.checkpoint : &checkpoint_,  // a front end's own store first
                   run.job.options, {}},
          trialReport_(run.log),
          trial_{trialReport_, run.job.running, run.job.trialLimit} {}

    // The job's test options as they are now: a verifier run forces
    // Use16bitBRT after the handlers were made.
    void readOptions() { context_.options = job_.options; }

    bool plus2(uint32_t k, uint32_t n, uint32_t depth, bool verify);
    bool minus2(uint32_t k, uint32_t n, uint32_t depth, bool verify);
    bool plusB(uint32_t k, uint32_t n, uint32_t depth, bool verify);
    bool minusB(uint32_t k, uint32_t n, uint32_t depth, bool verify);
    bool plus2c(uint32_t k, uint32_t n, int32_t c, uint32_t depth, bool verify);
    bool gfn(uint32_t k, uint32_t n, uint32_t depth, bool verify);
    bool any(uint32_t k, uint32_t n, uint32_t depth, bool verify);

private:
    enum class Entry { Divide, Test, Proof, Prime };

    // Where a candidate at depth 0 re-enters after a Continue: the stage of
    // the record when the candidate is large and one was saved.
    bool resumeStage(uint32_t b, uint32_t n, uint32_t depth, uint32_t& stage) const {
        return depth == 0 && IsLargeCandidate(b, n) && ReadStage(log_.folder(), stage);
    }
    void postPosition(uint32_t k, uint32_t n) const {
        log_.PostToWindow(std::to_string(n), CurrentN);
        log_.PostToWindow(std::to_string(k), CurrentK);
    }
    // Trial division and Only factors: true in `goOn` when the candidate is
    // still to be tested.
    bool divide(const Candidate& N, bool& goOn) {
        bool found = false;
        if (!TrialDivide(found, N, trial_)) return false;
        goOn = !found;
        if (goOn && job_.onlyFactors) {
            log_.PrintLine(NoSmallFactorLine(N));
            goOn = false;
        }
        return true;
    }
    // The checkpoint files belong to the candidate a loop asked for; a
    // related prime never writes them, so it must not delete them either
    // (a stop inside a later neighbour would then lose the candidate's
    // finished work).
    bool finish(uint32_t b, uint32_t n, uint32_t depth) const {
        if (depth == 0 && IsLargeCandidate(b, n)) DeleteCheckpoint(log_.folder());
        return true;
    }
    // Stage 3 skips the test: only a divisibility record of this very
    // candidate may say it was already found prime.
    bool hasDivisibilityRecord(uint32_t k, uint32_t n) const {
        uint32_t steps = 0, remaining = 0;
        BigInt x2, x3, x5;
        return ReadDivisibilityRecord(log_.folder(), kStageDivisibility, k, n, steps, remaining, x2, x3, x5);
    }

    SearchRun& run_;
    SearchJob& job_;
    ResultLog& log_;
    FolderCheckpoint checkpoint_;
    RunContext context_;
    ResultLogTrialReport trialReport_;
    TrialContext trial_;
};

bool DividedByThree(uint32_t k, uint32_t n, uint32_t residueEven, uint32_t residueOdd) {
    return k % 3 == ((n & 1) == 0 ? residueEven : residueOdd);
}

bool Handlers::plus2(uint32_t k, uint32_t n, uint32_t depth, bool verify) {
    if (k == 3 && n % 2 == 0 && job_.morehead) return true;
    const Candidate N{k, 2, n, 1};
    if (run_.found.contains(N)) return true;
    const CandidateTimer timer(log_, N);
    Entry entry = Entry::Test;
    if (verify || depth > 0) {
        if (DividedByThree(k, n, 2, 1)) {
            log_.ReportFactor(N, 3);
            return true;
        }
        uint32_t stage = 0;
        entry = Entry::Divide;
        if (resumeStage(2, n, depth, stage)) {
            if (stage == kStageProofBase2First || stage == kStageProofBase2Second) entry = Entry::Test;
            if (stage == kStageDivisibility && hasDivisibilityRecord(k, n)) entry = Entry::Prime;
        }
        if (entry == Entry::Divide) {
            postPosition(k, n);
            bool goOn = false;
            if (!divide(N, goOn)) return false;
            if (!goOn) return finish(2, n, depth);
        }
    }
    if (entry != Entry::Prime) {
        bool prime = false;
        if (!PlusOneTestBase2(context_, k, n, depth, verify, prime)) return false;
        if (!prime) return finish(2, n, depth);
    }
    const bool recorded = RecordPrime(run_.found, log_, N);
    if (!FermatDivisibility(context_, k, n, depth)) return false;
    if (recorded) {
        if (!minus2(k, n, depth + 1, verify)) return false;
        if (!plus2c(k, n + 1, 3, depth + 1, verify)) return false;
        if (!plus2(k, n + 1, depth + 1, verify)) return false;
        if (n > 0 && !plus2(k, n - 1, depth + 1, verify)) return false;
    }
    return finish(2, n, depth);
}

bool Handlers::minus2(uint32_t k, uint32_t n, uint32_t depth, bool verify) {
    const Candidate N{k, 2, n, -1};
    if (run_.found.contains(N)) return true;
    const CandidateTimer timer(log_, N);
    if (verify || depth > 0) {
        if (DividedByThree(k, n, 1, 2)) {
            log_.ReportFactor(N, 3);
            return true;
        }
        uint32_t stage = 0;
        if (!(resumeStage(2, n, depth, stage) && stage == kStageEulerMinus)) {
            postPosition(k, n);
            bool goOn = false;
            if (!divide(N, goOn)) return false;
            if (!goOn) return finish(2, n, depth);
        }
        bool mayBePrime = false;
        if (!EulerProbableTestBase2(context_, k, n, -1, depth, mayBePrime)) return false;
        if (!mayBePrime) return finish(2, n, depth);
    }
    bool prime = false;
    if (!LucasProofBase2(context_, k, n, prime)) return false;
    if (prime && RecordPrime(run_.found, log_, N)) {
        if (!plus2(k, n, depth + 1, verify)) return false;
        if (!minus2(k, n + 1, depth + 1, verify)) return false;
        if (n > 0 && !minus2(k, n - 1, depth + 1, verify)) return false;
    }
    return finish(2, n, depth);
}

bool Handlers::plusB(uint32_t k, uint32_t n, uint32_t depth, bool verify) {
    const uint32_t b = job_.base;
    const Candidate N{k, b, n, 1};
    if (run_.found.contains(N)) return true;
    const CandidateTimer timer(log_, N);
    if (verify || depth > 0) {
        uint32_t stage = 0;
        Entry entry = Entry::Divide;
        if (resumeStage(b, n, depth, stage)) {
            if (stage == kStageProbable) entry = Entry::Test;
            if (stage == kStageProofFirst || stage == kStageProofSecond) entry = Entry::Proof;
        }
        if (entry == Entry::Divide) {
            postPosition(k, n);
            bool goOn = false;
            if (!divide(N, goOn)) return false;
            if (!goOn) return finish(b, n, depth);
        }
        if (entry != Entry::Proof) {
            bool mayBePrime = false;
            if (!FermatProbableTest(context_, k, b, n, 1, depth, mayBePrime)) return false;
            if (!mayBePrime) return finish(b, n, depth);
        }
    }
    bool prime = false;
    if (!PocklingtonProof(context_, k, b, n, depth, prime)) return false;
    if (prime) {
        const bool recorded = RecordPrime(run_.found, log_, N);
        if (!PhiDivisibility(context_, k, b, n)) return false;
        if (recorded) {
            if (!minusB(k, n, depth + 1, verify)) return false;
            if (k <= kLargestDoubledK && !plusB(2 * k, n, depth + 1, verify)) return false;
            if (k % 2 == 0 && !plusB(k / 2, n, depth + 1, verify)) return false;
        }
    }
    return finish(b, n, depth);
}

bool Handlers::minusB(uint32_t k, uint32_t n, uint32_t depth, bool verify) {
    const uint32_t b = job_.base;
    const Candidate N{k, b, n, -1};
    if (run_.found.contains(N)) return true;
    const CandidateTimer timer(log_, N);
    if (verify || depth > 0) {
        uint32_t stage = 0;
        if (!(resumeStage(b, n, depth, stage) && stage == kStageProbable)) {
            postPosition(k, n);
            bool goOn = false;
            if (!divide(N, goOn)) return false;
            if (!goOn) return finish(b, n, depth);
        }
        bool mayBePrime = false;
        if (!FermatProbableTest(context_, k, b, n, -1, depth, mayBePrime)) return false;
        if (!mayBePrime) return finish(b, n, depth);
    }
    bool prime = false;
    if (!LucasProofGeneral(context_, k, b, n, prime)) return false;
    if (prime && RecordPrime(run_.found, log_, N)) {
        if (!plusB(k, n, depth + 1, verify)) return false;
        if (k <= kLargestDoubledK && !minusB(2 * k, n, depth + 1, verify)) return false;
        if (k % 2 == 0 && !minusB(k / 2, n, depth + 1, verify)) return false;
    }
    return finish(b, n, depth);
}

bool Handlers::plus2c(uint32_t k, uint32_t n, int32_t c, uint32_t depth, bool verify) {
    const Candidate N{k, 2, n, c};
    if (run_.found.contains(N)) return true;
    const CandidateTimer timer(log_, N);
    bool goOn = false;
    if (!divide(N, goOn)) return false;
    if (!goOn) return finish(2, n, depth);
    bool prime = false;
    if (!ChainMemberTest(context_, k, n, c, verify, prime)) return false;
    // The next offset 2c + 1 must stay a 32-bit signed value.
    if (prime && RecordPrime(run_.found, log_, N) && c < (1 << 29))
        if (!plus2c(k, n + 1, 2 * c + 1, depth + 1, verify)) return false;
    return finish(2, n, depth);
}

bool Handlers::gfn(uint32_t k, uint32_t n, uint32_t depth, bool verify) {
    const CandidateTimer timer(log_, Candidate{1, k, n, 1});
    Entry entry = Entry::Proof;
    if (verify || depth > 0) {
        uint32_t stage = 0;
        entry = Entry::Divide;
        if (resumeStage(k, n, depth, stage)) {
            if (stage == kStageProbable) entry = Entry::Test;
            if (stage == kStageProofFirst || stage == kStageProofSecond) entry = Entry::Proof;
        }
        if (entry == Entry::Divide) {
            if (n == 0 || (n & (n - 1)) != 0) return !context_.stopRequested();
            postPosition(k, n);
            bool found = false;
            if (!TrialDivideGfn(found, k, n, trial_)) return false;
            if (found) return finish(k, n, depth);
            if (job_.onlyFactors) {
                log_.PrintLine(GfnNoSmallFactorLine(k, n));
                return finish(k, n, depth);
            }
        }
        if (entry != Entry::Proof) {
            bool mayBePrime = false;
            if (!GfnProbableTest(context_, k, n, mayBePrime)) return false;
            if (!mayBePrime) return finish(k, n, depth);
        }
    }
    bool prime = false;
    if (!PocklingtonProof(context_, 1, k, n, depth, prime)) return false;
    return finish(k, n, depth);
}

bool Handlers::any(uint32_t k, uint32_t n, uint32_t, bool) {
    const CandidateTimer timer(log_, ResultNumber::Cyclotomic(n, k));
    postPosition(k, n);
    bool found = false;
    if (!TrialDividePhi(found, n, k, trial_)) return false;
    if (found) return true;
    if (job_.onlyFactors) {
        log_.PrintLine(CyclotomicNoSmallFactorLine(k, n));
        return true;
    }
    bool mayBePrime = false;
    return CyclotomicTest(context_, n, k, mayBePrime);
}

}  // namespace

CandidateHandlers SearchHandlers(SearchRun& run) {
    auto h = std::make_shared<Handlers>(run);
    // Each call from a procedure takes the job's options as they are then.
    auto entry = [h](bool (Handlers::*check)(uint32_t, uint32_t, uint32_t, bool)) {
        return [h, check](uint32_t k, uint32_t n, uint32_t d, bool v) {
            h->readOptions();
            return ((*h).*check)(k, n, d, v);
        };
    };
    CandidateHandlers handlers;
    handlers.checkPlus2 = entry(&Handlers::plus2);
    handlers.checkMinus2 = entry(&Handlers::minus2);
    handlers.checkPlusB = entry(&Handlers::plusB);
    handlers.checkMinusB = entry(&Handlers::minusB);
    handlers.checkGfn = entry(&Handlers::gfn);
    handlers.checkAny = entry(&Handlers::any);
    handlers.checkPlus2c = [h](uint32_t k, uint32_t n, int32_t c, uint32_t d, bool v) {
        h->readOptions();
        return h->plus2c(k, n, c, d, v);
    };
    return handlers;
}

}  // namespace numen
