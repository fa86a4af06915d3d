#include "tests/RunContext.h"

#include <chrono>
#include <cmath>

namespace numen {

uint32_t StepInterval(const LiveSettings& live, uint32_t num, uint32_t den) {
    uint64_t nbIter = live.nbIter.load(std::memory_order_relaxed);
    if (nbIter < 16) nbIter = 65536;
    const uint64_t interval = nbIter * num / den;
    return interval == 0 ? 1 : interval > UINT32_MAX ? UINT32_MAX : uint32_t(interval);
}

uint64_t SteadyMilliseconds() {
    using namespace std::chrono;
    return uint64_t(duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}

bool IsLargeCandidate(uint32_t b, uint32_t n) {
    // In extended precision, as the other size rules of the tests.
    return static_cast<long double>(n) * std::log(static_cast<long double>(b)) > 69315.0L;
}

bool KeepsCheckpoint(const RunContext& run, uint32_t b, uint32_t n, int32_t stage) {
    return stage > 0 && run.checkpoint != nullptr && IsLargeCandidate(b, n);
}

}  // namespace numen
