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
      startHasPercent_(startHasPercent) {}

void RunProgress::start(uint32_t stepCount, uint32_t remaining) {
    stepCount_ = stepCount;
    stepsThisCall_ = 0;
    remainingAtStart_ = remaining;
    startMs_ = run_.now();
    run_.log.PostToWindow(startHasPercent_ ? UntimedProgressText(stem_, percent()) : stem_, PaneText);
}

bool RunProgress::beginStep() {
    ++stepCount_;
    ++stepsThisCall_;
    if (stepCount_ % StepInterval(run_.live, intervalNum_, intervalDen_) != 0) return false;
    run_.log.PostToWindow(TimedProgressText(stem_, percent(), secondsRemaining(run_.now())), PaneText);
    return true;
}

double RunProgress::percent() const {
    // T = 0 (an exponent of 1) has no steps: nothing is left to do.
    if (totalSteps_ == 0) return 0.0;
    return double(stepCount_) * 100.0 / double(totalSteps_);
}

int64_t RunProgress::secondsRemaining(uint64_t nowMs) const {
    if (stepsThisCall_ == 0) return 0;
    const double elapsed = double(nowMs - startMs_);
    const double seconds = elapsed * (double(remainingAtStart_) / double(stepsThisCall_) - 1.0) / 1000.0;
    return seconds > 0 ? int64_t(std::trunc(seconds)) : 0;
}

}  // namespace numen
