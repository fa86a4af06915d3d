#include "sieve/TrialLimit.h"

#include <cmath>

namespace numen {

uint32_t CandidateBits(uint32_t b, uint32_t n) {
    if (b == 2) return n;
    const long double e = (long double)n * std::log((long double)b) / std::log(2.0L);
    return e >= 4294967295.0L ? 0xffffffffu : uint32_t(e);
}

uint64_t TrialLimit(uint32_t e, ManualLimit manual) {
    if (manual.on) {
        // Settings keep PMax within 0..1.15e18; anything else is clamped to
        // 0..2^60, which keeps divisors in range of the 64-bit kernels.
        if (!(manual.pMax > 0)) return 0;
        if (manual.pMax >= 1152921504606846976.0) return uint64_t(1) << 60;
        return uint64_t(manual.pMax);
    }
    if (e < 20) return uint64_t(1) << e;
    if (e < 2897) return 1048576;
    return uint64_t(e) * (e / 8);
}

}  // namespace numen
