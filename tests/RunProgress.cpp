#include "tests/RunProgress.h"

#include <cmath>
#include <utility>

#include "report/MessageSink.h"
#include "report/ProgressLines.h"

namespace numen {

RunProgress::RunProgress(const RunContext& run, std::string stem, uint32_t totalSteps,
                         uint32_t intervalNum, uint32_t intervalDen, bool startHasPercent)
    : run_(run),
      stem_(std::move(stem)),
      totalSteps_(totalSteps),
      intervalNum_(intervalNum),
      intervalDen_(intervalDen),
      startHasPercent_(startHasPercent),
      nbIterSeen_(run.live.nbIter.load(std::memory_order_relaxed)),
      interval_(StepInterval(run.live, intervalNum, intervalDen)) {}

void RunProgress::start(uint32_t stepCount, uint32_t remaining) {
    stepCount_ = stepCount;
    startCount_ = stepCount;
    remainingAtStart_ = remaining;
    startMs_ = run_.now();
    run_.log.PostToWindow(startHasPercent_ ? UntimedProgressText(stem_, percent()) : stem_, PaneText);
}

bool RunProgress::beginStep() {
    ++stepCount_;
    // The interval is derived again only when the live value changed, so a
    // step pays one load, one comparison and the one division of the tick.
    const uint32_t nbIter = run_.live.nbIter.load(std::memory_order_relaxed);
    if (nbIter != nbIterSeen_) {
        nbIterSeen_ = nbIter;
        interval_ = StepInterval(run_.live, intervalNum_, intervalDen_);
    }
    if (stepCount_ % interval_ != 0) return false;
    run_.log.PostToWindow(TimedProgressText(stem_, percent(), secondsRemaining(run_.now())), PaneText);
    return true;
}

double RunProgress::percent() const {
    // T = 0 (an exponent of 1) has no steps: nothing is left to do.
    if (totalSteps_ == 0) return 0.0;
    return double(stepCount_) * 100.0 / double(totalSteps_);
}

int64_t RunProgress::secondsRemaining(uint64_t nowMs) const {
    const uint32_t stepsThisCall = stepCount_ - startCount_;
    if (stepsThisCall == 0) return 0;
    const double elapsed = double(nowMs - startMs_);
    const double seconds = elapsed * (double(remainingAtStart_) / double(stepsThisCall) - 1.0) / 1000.0;
    return seconds > 0 ? int64_t(std::trunc(seconds)) : 0;
}

}  // namespace numen
