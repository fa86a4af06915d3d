// What a long computation needs from the run around it: where to report,
// the stop request, the settings that may change while it goes, where to
// keep its checkpoint, the test options and a millisecond clock.
//
// One RunContext is built by the search for a run and passed by reference
// down to every test and power run; nothing here is process-wide. The
// running flag and the live settings are written by the front end (window
// or console) at any time and read by the worker without locking: a stale
// read delays a stop or a new interval by one step.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>

#include "report/ResultLog.h"

namespace numen {

class RunCheckpoint;

// The settings a running computation rereads while it goes. The front end
// stores the INI value here as it changes; the worker reads it at every tick.
struct LiveSettings {
    std::atomic<uint32_t> nbIter{65536};
};

// The number of steps between two ticks: nbIter (a value below 16 reads as
// 65536) times num / den, at least 1. The runs use 1/1, 1/4, 2/1 and 1/2.
uint32_t StepInterval(const LiveSettings& live, uint32_t num, uint32_t den);

// Options of the tests, fixed for a run (INI "VerifComposites",
// "Use16bitBRT").
struct TestOptions {
    bool verifComposites = false;  // two more runs confirm every composite
    bool use16bitBRT = false;      // large radixes take the BigInt run
};

// Milliseconds of a monotonic clock; only differences are used.
using MillisecondClock = std::function<uint64_t()>;
uint64_t SteadyMilliseconds();

struct RunContext {
    ResultLog& log;
    const std::atomic<bool>& running;  // cleared by the front end to stop
    const LiveSettings& live;
    RunCheckpoint* checkpoint = nullptr;  // null: nothing is saved or resumed
    TestOptions options{};
    MillisecondClock clock{};  // null: SteadyMilliseconds

    bool stopRequested() const { return !running.load(std::memory_order_relaxed); }
    uint64_t now() const { return clock ? clock() : SteadyMilliseconds(); }
};

// n ln b > 69315 (the number has more than about 100,000 bits): only such
// numbers read, write and delete checkpoints.
bool IsLargeCandidate(uint32_t b, uint32_t n);

// A run keeps a checkpoint when its number is large, its stage is above 0
// and the context has somewhere to keep it.
bool KeepsCheckpoint(const RunContext& run, uint32_t b, uint32_t n, int32_t stage);

}  // namespace numen
