// The size rule and the one-pass / two-pass shape of the exact transform
// products (the rules are drawn in TransformPlan.h).
#include "arith/TransformPlan.h"

#include <bit>

namespace numen {

uint32_t PowerOfTwoAtLeast(uint32_t n) {
    uint32_t p = 1;
    while (p < n) p <<= 1;
    return p;
}

uint32_t TransformLength(uint32_t length, DigitSystem digits) {
    uint32_t p = PowerOfTwoAtLeast(length);
    return digits == DigitSystem::kBinary16 ? 2 * p : p;
}

TransformPlan PlanTransform(uint32_t length, int32_t lat64k, int32_t gap, bool fastFamily) {
    TransformPlan plan;
    plan.length = length;
    uint32_t onePassLimit = fastFamily                     ? kOnePassLengthFastFamily
                            : lat64k < kFastCacheLatency ? kOnePassLengthFastCache
                                                         : kOnePassLength;
    if (length <= onePassLimit) {
        plan.rowLength = length;
        plan.rows = 1;
        return plan;
    }
    uint32_t lambda = uint32_t(std::countr_zero(length));
    uint32_t b = 1u << ((lambda - 1) / 2);
    uint32_t g = length / b;
    while (g < kTwoPassMinRowLength && b > kTwoPassMinRows) {
        g *= 2;
        b /= 2;
    }
    plan.rowLength = g;
    plan.rows = b;
    plan.gap = gap > 0 ? uint32_t(gap) : 0;
    return plan;
}

}  // namespace numen
