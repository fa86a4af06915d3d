// The bookkeeping every long run shares: the step counters, the ticks, the
// progress texts with percentage and time remaining, and the stop request.
//
// A run builds one RunProgress, calls start() once it knows where it
// resumes, and beginStep() at the start of every step: that counts the
// step and, when the step count is a multiple of the interval (reread from
// the live settings at every step, so a new nbIter takes effect at once),
// posts the timed text and answers true so that the run writes its
// checkpoint. The clock is read only at start() and at ticks; the check of a
// tick is one integer division.
//
// Texts go to the results pane only (kind 0), never to a log file.
#pragma once

#include <cstdint>
#include <string>

#include "tests/RunContext.h"

namespace numen {

class RunProgress {
public:
    // stem: the text before the bracket ("3*2^100 + 1 ? Computing power").
    // totalSteps: T, the steps of the whole run (percentage = count*100/T).
    // The interval is nbIter * intervalNum / intervalDen. startHasPercent:
    // whether the untimed text at start carries " [p%]" (the power runs) or
    // is the bare stem (the Lucas runs).
    RunProgress(const RunContext& run, std::string stem, uint32_t totalSteps, uint32_t intervalNum,
                uint32_t intervalDen, bool startHasPercent = true);

    // Where this call starts: the step count restored (0 for a fresh run) and
    // the steps that remain (R of the estimate). Posts the untimed text.
    void start(uint32_t stepCount, uint32_t remaining);

    // Start of a step: counts it; true at a tick, after posting the timed
    // text.
    bool beginStep();

    bool stopRequested() const { return run_.stopRequested(); }
    uint32_t stepCount() const { return stepCount_; }

    // The percentage and the whole seconds remaining for the current counts
    // (shown at the next tick); exposed for tests.
    double percent() const;
    int64_t secondsRemaining(uint64_t nowMs) const;

private:
    const RunContext& run_;
    std::string stem_;
    uint32_t totalSteps_;
    uint32_t intervalNum_, intervalDen_;
    bool startHasPercent_;
    uint32_t stepCount_ = 0;       // including steps restored from a checkpoint
    uint32_t startCount_ = 0;      // stepCount_ at start(): w = stepCount_ - startCount_
    uint32_t nbIterSeen_;          // the live value interval_ was derived from
    uint32_t interval_;
    uint32_t remainingAtStart_ = 0;  // R
    uint64_t startMs_ = 0;
};

}  // namespace numen
