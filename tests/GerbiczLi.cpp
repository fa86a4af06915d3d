#include "tests/GerbiczLi.h"

#include <cmath>

namespace numen {

GerbiczLiPlan PlanGerbiczLi(uint32_t steps) {
    const double target = std::sqrt(double(steps) / 8);
    uint32_t L = 32;
    while (L < 2048 && 2.0 * L <= target) L *= 2;
    return {L, 2 * L};
}

}  // namespace numen
