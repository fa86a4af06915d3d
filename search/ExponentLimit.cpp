#include "search/ExponentLimit.h"

#include "search/SearchJob.h"

namespace numen {

uint32_t ExponentLimit(int testForm, uint32_t base) {
    if (testForm == GfnForm) return 8388608u;
    if (base == 2) return 33554400u;
    // m = floor(20 ln 2 / ln b), counted exactly: the largest m with b^m <= 2^20.
    uint32_t m = 0;
    for (uint64_t power = base; power <= (1u << 20); power *= base) ++m;
    if (m == 0) m = 1;  // bases above 2^20 are refused by the Base rule
    return m * 1048576u - 32u;
}

}  // namespace numen
