// SearchJob: what the window hands to the worker for one run, and the
// position the worker reports back for Continue.
//
// Written by the window thread while no worker is alive; afterwards the
// worker only reads it, except `running`, which the window clears to stop
// the run and the worker polls inside every long loop.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>

#include "sieve/TrialLimit.h"
#include "tests/RunContext.h"

namespace numen {

enum SearchMode : int { StandardMode = 0, AlgebraicMode = 1, CullenMode = 2, FileMode = 3, VerifierMode = 4 };

// The form of the numbers of a run.
enum TestForm : int { PlusOneForm = 0, MinusOneForm = 1, GfnForm = 2, AnyForm = 3 };

struct SearchJob {
    int mode = StandardMode;
    int testForm = PlusOneForm;
    uint32_t base = 2;
    uint32_t nMin = 0, nMax = 0;
    uint32_t kMin = 0, kMax = 0, kStep = 1;
    int32_t a = 0, b = 0, c = 0;  // algebraic mode: k = a + b*n + c*n^2
    uint32_t currentN = 0, currentK = 0;  // position saved for Continue
    std::atomic<bool> running{false};
    LiveSettings live;  // written by the front end at any time, read at ticks
    bool continueRun = false;  // Continue (or the automatic one at start-up)
    bool rangeInfo = true;     // Start, Continue and Stop lines
    bool onlyFactors = false;
    bool morehead = false;
    TestOptions options;  // VerifComposites, Use16bitBRT
    ManualLimit trialLimit;  // the "Manual PMax" preference
    // File and Verifier modes: the list, and the count of its lines already
    // handled (File mode), advanced by the worker and read by the window on
    // each kind-3 message.
    std::string listFile;
    std::atomic<int32_t> listLine{0};
};

// The run's description of its form, as the opening lines show it.
const char* FormDescriptionTemplate(int testForm);

}  // namespace numen
